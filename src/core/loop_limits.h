#pragma once

// The limits of the joint loop, which alternates ability and item passes:
// how many passes it makes at most, from which pass on it may settle and
// the change of MSError that counts as settled. The run's progress texts
// and its report state them from here.

namespace tarvo {

// The passes the joint loop makes at most: the progress text announces "of
// no more than 100", and the loop ends after the pass that text numbers 101.
inline constexpr int kJointPassesAnnounced = 100;
inline constexpr int kMostJointPasses = kJointPassesAnnounced + 1;

// The loop may settle after this many passes, when MSError changed by less
// than kMSErrorTolerance over the last pass.
inline constexpr int kFewestJointPasses = 5;
inline constexpr double kMSErrorTolerance = 1e-10;

}  // namespace tarvo
