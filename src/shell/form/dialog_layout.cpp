#include "shell/form/dialog_layout.h"

#include "core/modes.h"
#include "output/masks.h"
#include "shell/form/program_version.h"

namespace tarvo::shell {
namespace {

using K = ControlKind;

constexpr std::array<ControlLayout, 60> kControls{{
    {kModePanel, K::Panel, "", 6, 26, 363, 29},
    {kCalibrateFrame, K::GroupBox, "Calibrate", 5, 21, 365, 34},
    {1003, K::RadioButton, RulesOf(1).caption, 10, 30, 85, 10},
    {1004, K::RadioButton, RulesOf(2).caption, 190, 29, 85, 10},
    {1005, K::RadioButton, RulesOf(3).caption, 100, 29, 88, 10},
    {1006, K::RadioButton, RulesOf(4).caption, 280, 29, 85, 10},
    {1007, K::RadioButton, RulesOf(5).caption, 10, 41, 85, 10},
    {1008, K::RadioButton, RulesOf(6).caption, 100, 41, 85, 10},
    {1009, K::RadioButton, RulesOf(7).caption, 190, 41, 85, 10},
    {1010, K::RadioButton, RulesOf(8).caption, 280, 41, 85, 10},
    {1108, K::GroupBox, "Response Input", 5, 55, 180, 105},
    {1011, K::Label, "Input File: ", 10, 72, 35, 10},
    {1061, K::NameBox, "", 45, 70, 95, 13},
    {1025, K::PushButton, "Browse", 335, 68, 30, 15},
    {1013, K::Label, "Start Column", 85, 85, 25, 15},
    {1014, K::Label, "Length", 110, 90, 25, 10},
    {1015, K::Label, "Examinee ID", 30, 102, 45, 10},
    {1083, K::NumberBox, "", 85, 102, 20, 10},
    {1084, K::NumberBox, "", 115, 102, 15, 10},
    {1033, K::Label, "Ignored", 135, 102, 40, 10},
    {1020, K::Label, "theta", 30, 117, 50, 10},
    {1076, K::NumberBox, "", 85, 117, 20, 10},
    {1077, K::NumberBox, "", 85, 132, 20, 10},
    {1078, K::NumberBox, "", 110, 117, 20, 10},
    {1079, K::NumberBox, "", 110, 132, 20, 10},
    {1017, K::Label, "item responses", 30, 132, 50, 10},
    {1034, K::Label, "Required", 135, 117, 40, 10},
    {1035, K::Label, "Required", 135, 132, 40, 10},
    {1028, K::GroupBox, "Item Parameter Input", 195, 55, 175, 105},
    {1024, K::Label, "Input File: ", 203, 72, 35, 10},
    {1085, K::NameBox, "", 235, 70, 95, 13},
    {1026, K::Label, "Start Column", 255, 85, 25, 15},
    {1027, K::Label, "Length", 285, 90, 25, 10},
    {1069, K::NumberBox, "", 255, 101, 20, 10},
    {1064, K::NumberBox, "", 255, 114, 20, 10},
    {1066, K::NumberBox, "", 255, 127, 20, 10},
    {1068, K::NumberBox, "", 255, 140, 20, 10},
    {1070, K::NumberBox, "", 285, 101, 15, 10},
    {1065, K::NumberBox, "", 285, 114, 15, 10},
    {1071, K::NumberBox, "", 285, 127, 15, 10},
    {1067, K::NumberBox, "", 285, 140, 15, 10},
    {1049, K::Label, "Item ID", 227, 103, 28, 10},
    {1029, K::Label, "a", 241, 114, 10, 8},
    {1030, K::Label, "b", 241, 127, 10, 8},
    {1031, K::Label, "c", 241, 140, 10, 8},
    {1036, K::Label, "Optional", 310, 101, 50, 10},
    {1038, K::Label, "Computed", 310, 114, 50, 10},
    {1040, K::Label, "Computed", 310, 127, 50, 10},
    {1042, K::Label, "Computed", 310, 140, 50, 10},
    {1110, K::PushButton, "Browse", 145, 68, 30, 15},
    {1044, K::GroupBox, "Output", 5, 165, 180, 35},
    {1045, K::Label, "Output file name", 10, 182, 50, 10},
    {1080, K::NameBox, "", 60, 180, 85, 13},
    {1046, K::PushButton, "Browse", 150, 178, 30, 15},
    {32651, K::PushButton, "Help", 340, 165, 30, 15},
    {1047, K::PushButton, "Go", 200, 178, 25, 15},
    {1043, K::PushButton, "Exit", 340, 187, 30, 15},
    // The shadow sits 2 units right of and below the title box, one unit larger.
    {kUnaddressed, K::GrayRect, "", 233, 165, 100, 37},
    {1052, K::TitleBox, "IRT Calibration\r", 231, 163, 99, 36},
    {1051, K::VersionBox, "", 233, 174, 93, 24},
}};

constexpr bool InRange(int id, int first, int last) { return id >= first && id <= last; }

}  // namespace

std::span<const ControlLayout> MainDialogControls() { return kControls; }

std::string_view ModeCaption(int mode) {
    for (const ControlLayout& row : kControls) {
        if (row.id == 1002 + mode && row.kind == ControlKind::RadioButton) return row.text;
    }
    return {};
}

std::string VersionText() {
    return "Version " + FormatWithMask(kProgramVersion, kMaskVersion) +
           "\rby the TARVO team\rFree to use and share";
}

ControlColours ColoursForControl(int id) {
    ControlColours colours;
    if (id == 1108) colours = {std::nullopt, kSurfaceColour};
    if (id == 1052) colours = {Rgb{192, 0, 0}, kTitleBoxBackground};
    if (id == 1051) colours = {Rgb{0, 0, 0}, kTitleBoxBackground};
    if (InRange(id, 1001, 1050)) colours = {std::nullopt, kSurfaceColour};
    if (InRange(id, 1003, 1010)) colours = {std::nullopt, kModeColour};
    if (id == kCalibrateFrame || id == kModePanel) colours = {std::nullopt, kModeColour};
    return colours;
}

}  // namespace tarvo::shell
