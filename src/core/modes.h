#pragma once

// The calibration modes 1..8 as one table: what each mode estimates and
// what it is given, the path that runs it, its caption, the dialog's status
// words and its item header in the result file. Every rule that depends on
// the mode reads it from here.

#include <array>
#include <cstddef>
#include <string_view>

namespace tarvo {

// The three ways a run goes.
enum class RunPath {
    ThetaOnly,  // abilities for given items
    ItemsOnly,  // items for given abilities
    Joint,      // abilities and items in turn until the fit settles
};

// What a dialog row's status label says in a mode.
enum class Status { Required, Optional, Computed, Ignored };

struct ModeRules {
    RunPath path;
    bool estimatesA;     // CalibrateItem's cycle moves a
    bool estimatesC;     // CalibrateItem's cycle moves c
    bool onePL;          // a = 1 and c = 0 throughout (the 1PL modes)
    bool cGiven;         // c comes from the item parameter file and is kept
    bool needsItemFile;  // the run reads an item parameter file
    // The mode button's caption and tarvo-run's help: estimated | given.
    std::string_view caption;
    // The status of the form's rows: examinee ID, theta, item ID, a, b, c.
    std::array<Status, 6> status;
    // The item section's header in the CSV layout; empty: no item section.
    std::string_view itemHeader;

    constexpr bool estimatesTheta() const { return path != RunPath::ItemsOnly; }
    constexpr bool estimatesItems() const { return path != RunPath::ThetaOnly; }
};

inline constexpr int kFirstMode = 1;
inline constexpr int kLastMode = 8;

namespace modes_detail {
using enum RunPath;
constexpr Status R = Status::Required, O = Status::Optional, C = Status::Computed,
                 I = Status::Ignored;
// clang-format off
inline constexpr std::array<ModeRules, 8> kTable{{
    //          path  a      c      1PL    cGiven itemFile
    /* 1 */ {ThetaOnly, false, false, false, false, true, "theta | a,b,c,responses",
             {O, C, I, R, R, R}, ""},
    /* 2 */ {ItemsOnly, true, true, false, false, false, "a,b,c | theta,responses",
             {I, R, O, C, C, C}, "SeqItem,AccNo, Nobs, a_calib, b_calib, c_calib, seea, seeb, seec"},
    /* 3 */ {Joint, true, true, false, false, false, "theta,a,b,c | responses",
             {O, C, O, C, C, C}, "SeqItem,AccNo, Nobs, a_calib, b_calib,c_calib, seea, seeb, seec"},
    /* 4 */ {ItemsOnly, true, false, false, true, true, "a,b | c,theta,responses ",
             {I, R, O, C, C, R}, "SeqItem,AccNo, Nobs, a_calib, b_calib, c_given, seea, seeb, seec"},
    /* 5 */ {Joint, true, false, false, true, true, "theta,a,b | c,responses ",
             {O, C, O, C, C, R}, "SeqItem,AccNo, Nobs, a_calib, b_calib,c_given, seea, seeb, seec"},
    /* 6 */ {Joint, false, false, true, false, false, "theta,b | responses ",
             {O, C, O, I, C, I}, "SeqItem,AccNo, Nobs, b_calib, seeb"},
    /* 7 */ {ThetaOnly, false, false, true, false, true, "theta | b,responses ",
             {O, C, O, I, R, I}, ""},
    /* 8 */ {ItemsOnly, false, false, true, false, false, "b | theta,responses ",
             {O, R, O, I, C, I}, "SeqItem,AccNo, Nobs, b_calib, seeb"},
}};
// clang-format on
}  // namespace modes_detail

constexpr bool IsMode(int mode) { return mode >= kFirstMode && mode <= kLastMode; }

// The rules of mode 1..8; the mode must be one of them.
constexpr const ModeRules& RulesOf(int mode) {
    return modes_detail::kTable[static_cast<std::size_t>(mode - kFirstMode)];
}

// The path's and the model's names in the run report.
constexpr std::string_view PathName(RunPath path) {
    switch (path) {
        case RunPath::ThetaOnly:
            return "theta-only";
        case RunPath::ItemsOnly:
            return "items-only";
        case RunPath::Joint:
            break;
    }
    return "joint";
}

constexpr std::string_view ModelName(const ModeRules& rules) {
    if (rules.onePL) return "1pl";
    return rules.cGiven ? "3pl-c-given" : "3pl";
}

inline constexpr std::string_view StatusWord(Status status) {
    constexpr std::array<std::string_view, 4> kWords{"Required", "Optional", "Computed", "Ignored"};
    return kWords[static_cast<std::size_t>(status)];
}

}  // namespace tarvo
