#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "shell/form/dialog_controls.h"

// The three "Browse" selections: which picker each opens with which title,
// name, filter and default extension, and what a chosen name writes into the
// dialog (the name, the sample presets, the response file's folder as current
// directory and a proposed output name).
namespace tarvo::shell {

// What a picker is asked to show, after the arguments have been prepared.
struct PickerRequest {
    std::string title;             // empty: the platform's default title
    std::string name;              // initial name or pattern
    std::string folder;            // the folder the picker opens in
    std::string nulFilter;         // description/pattern pairs, NUL-separated
    int filterIndex = 1;           // 1-based pair to preselect
    std::string defaultExtension;  // appended to a name typed without one
    bool fileMustExist = false;
};

// The platform's open and save dialogs; tests answer them without a window.
// Each returns the chosen name, or nothing when the user cancelled.
class FilePicker {
  public:
    virtual ~FilePicker() = default;
    virtual std::optional<std::string> PickOpen(const PickerRequest& request) = 0;
    virtual std::optional<std::string> PickSave(const PickerRequest& request) = 0;
};

// The arguments of one picker, as the selections state them.
struct PickerArguments {
    std::string title;
    std::string name;
    std::string initialFolder;  // empty: the current directory
    std::string barFilter;      // "Description|pattern|..." with a closing bar
    std::string defaultExtension;
    bool fileMustExist = false;
};

inline constexpr std::size_t kOpenNameLength = 16384;
inline constexpr std::size_t kSaveNameLength = 260;

PickerArguments ItemParameterPicker();
PickerArguments ResponsePicker();
PickerArguments OutputPicker(std::string_view outputBoxText);
// The job files of "Save settings..." and "Load settings...".
PickerArguments JobFilePicker(std::string_view title);

// The folder a picker opens in when none is given: the current directory,
// or the user's home folder while the current directory is still the
// program's own folder, as start-up made it (no one keeps their files there).
std::string PickerStartFolder();

// Prepares the request of the open picker: filter index 1, the name cut to
// 16384 characters, PickerStartFolder() when no folder is given.
PickerRequest OpenRequest(const PickerArguments& arguments);
// Prepares the request of the save picker: the default extension without its
// leading dots, the name cut to 260 characters, and the filter pair matching
// the name (or "." + default extension when the name is empty).
PickerRequest SaveRequest(const PickerArguments& arguments);

std::optional<std::string> PickOpenFile(FilePicker& picker, const PickerArguments& arguments);
std::optional<std::string> PickSaveFile(FilePicker& picker, const PickerArguments& arguments);

// Column presets of the sample files: box identifier and its text.
using Preset = std::pair<int, std::string_view>;
// The presets a chosen name triggers (the lower-cased name contains
// "testdata.itm" or "testdata0.itm", resp. "testdata.dat" or "testdata0.dat");
// empty when it triggers none.
std::span<const Preset> ItemParameterPresets(std::string_view chosenName);
std::span<const Preset> ResponsePresets(std::string_view chosenName);

// Splits a chosen name at its last "/" into the folder (with the "/") and the
// bare file name; no "/" gives an empty folder.
std::pair<std::string, std::string> SplitFolder(std::string_view name);

// The output name proposed for a response file: tempFolder + the bare name up
// to its last "." + "out.csv"; nothing when the bare name has no ".".
std::optional<std::string> ProposedOutputName(std::string_view bareName,
                                              std::string_view tempFolder);

// The user's temporary-files folder, ending with "/".
std::string TempFolder();

// The three selections of the Browse buttons. Each leaves every box as it was
// when the picker is cancelled.
void SelectItemParameterFile(DialogControls& controls, FilePicker& picker);
void SelectResponseFile(DialogControls& controls, FilePicker& picker);
void SelectOutputFile(DialogControls& controls, FilePicker& picker);

}  // namespace tarvo::shell
