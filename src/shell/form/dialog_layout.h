#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The main dialog as data: every control with its identifier, kind, starting
// text, place and size in dialog units, in creation order (which is also the
// tab order), plus the colours and fonts the controls get. The widget code
// builds the window from this table; nothing here depends on Qt.
namespace tarvo::shell {

enum class ControlKind {
    Label,     // left-aligned static text, wraps at its width
    GroupBox,  // frame with a caption; does not contain the controls it frames
    PushButton,
    RadioButton,  // one of the eight mode buttons
    NameBox,      // left-aligned edit box for a file name
    NumberBox,    // right-aligned edit box that takes digits as typed
    Panel,        // disabled, borderless edit box painted behind the mode buttons
    GrayRect,     // the shadow behind the title box
    TitleBox,     // centred text with a thin border
    VersionBox,   // centred text
};

struct ControlLayout {
    int id;
    ControlKind kind;
    std::string_view text;  // the version box gets its text from VersionText()
    int x, y, w, h;         // dialog units from the client area's top left corner
};

struct DialogRect {
    int x, y, w, h;
};

inline constexpr std::string_view kDialogTitle = "TARVO - 3PL & 1PL IRT Calibration";
inline constexpr DialogRect kDialogRect{74, 37, 382, 226};  // position on screen, client size

// Identifier of controls that nobody addresses (the gray rectangle).
inline constexpr int kUnaddressed = -1;
inline constexpr int kModePanel = 1055;
inline constexpr int kCalibrateFrame = 1002;

// The 60 controls in creation order.
std::span<const ControlLayout> MainDialogControls();

// The caption of mode button 1002 + mode, mode 1..8.
std::string_view ModeCaption(int mode);

// "Version 0.93", a credit line and a rights line joined by carriage returns.
std::string VersionText();

struct Rgb {
    std::uint8_t r, g, b;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kSurfaceColour{255, 255, 128};
inline constexpr Rgb kDialogTextColour{0, 128, 0};
inline constexpr Rgb kModeColour{174, 255, 174};
inline constexpr Rgb kTitleBoxBackground{255, 255, 223};

// The colours a control ends up with; an empty colour is the system's default.
struct ControlColours {
    std::optional<Rgb> text;
    std::optional<Rgb> background;
    friend bool operator==(const ControlColours&, const ControlColours&) = default;
};

// Resolves the start-up colour steps for one control identifier, later steps
// winning: the Response Input frame, the title and version boxes, the
// 1001..1050 range, the mode buttons, then the Calibrate frame and the panel.
ControlColours ColoursForControl(int id);

// The controls that get the bold group font, in the order it is assigned.
// 1001 has no control and is skipped by the builder.
inline constexpr std::array<int, 5> kGroupFontControls{1108, 1028, 1044, 1001, 1002};

}  // namespace tarvo::shell
