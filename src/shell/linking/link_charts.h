#pragma once

#include "linking/link_session.h"

class QChart;

// The Link window's plots, from a link's outcome: both forms' test
// characteristic curves on the base scale, their test information with the
// standard error of theta on a second axis, and the true-score equating.
// The series carry the names the legends show, so tests read them back.
namespace tarvo::shell {

QChart* MakeLinkedCharacteristicChart(const linking::LinkOutcome& outcome);
QChart* MakeLinkedInformationChart(const linking::LinkOutcome& outcome);
QChart* MakeEquatingChart(const linking::LinkOutcome& outcome);

}  // namespace tarvo::shell
