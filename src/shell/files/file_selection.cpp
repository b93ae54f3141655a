#include "shell/files/file_selection.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <array>
#include <cctype>

#include "platform/control_ids.h"
#include "shell/files/file_filters.h"
#include "shell/form/mode_rules.h"
#include "shell/program_folder.h"

namespace tarvo::shell {
namespace {

namespace id = tarvo::control;

constexpr std::array<Preset, 8> kItemPresets{{
    {id::kAStart, "22"},
    {id::kALength, "9"},
    {id::kBStart, "32"},
    {id::kBLength, "9"},
    {id::kCStart, "42"},
    {id::kCLength, "9"},
    {id::kItemIdStart, "1"},
    {id::kItemIdLength, "8"},
}};

constexpr std::array<Preset, 6> kResponsePresets{{
    {id::kExamineeIdStart, "1"},
    {id::kExamineeIdLength, "8"},
    {id::kThetaStart, "12"},
    {id::kThetaLength, "7"},
    {id::kResponseStart, "20"},
    {id::kItemCount, "45"},
}};

std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return lower;
}

bool NameContainsEither(std::string_view chosenName, std::string_view first,
                        std::string_view second) {
    const std::string lower = LowerCase(chosenName);
    return lower.find(first) != std::string::npos || lower.find(second) != std::string::npos;
}

bool SameFolder(const QString& first, const QString& second) {
    const QString firstFound = QFileInfo(first).canonicalFilePath();
    return !firstFound.isEmpty() && firstFound == QFileInfo(second).canonicalFilePath();
}

void WritePresets(DialogControls& controls, std::span<const Preset> presets) {
    for (const auto& [box, text] : presets) controls.SetText(box, std::string(text));
}

}  // namespace

PickerArguments ItemParameterPicker() {
    return {"Item Parameter File",
            "*.itm",
            "",
            "ITM Files (*.itm)|*.itm|Text Files (*.txt)|*.txt|CSV Files (*.csv)|*.csv|"
            "Data Files (*.dat)|*.dat|All Files (*.*)|*.*",
            ".asc",
            true};
}

PickerArguments ResponsePicker() {
    return {"Input File",
            "*.dat",
            "",
            "Data Files (*.dat)|*.dat|Text Files (*.txt)|*.txt|CSV Files (*.csv)|*.csv|"
            "ASC Files (*.asc)|*.asc|All Files (*.*)|*.*",
            ".dat",
            true};
}

PickerArguments OutputPicker(std::string_view outputBoxText) {
    // A blank box offers the CSV pattern; otherwise the text goes in untrimmed.
    std::string name = TrimSpaces(outputBoxText).empty() ? "*.csv" : std::string(outputBoxText);
    return {"Output File",
            std::move(name),
            "",
            "CSV Files (*.csv)|*.csv|Data Files (*.dat)|*.dat|Text Files (*.txt)|*.txt|"
            "ASC Files (*.asc)|*.asc|All Files (*.*)|*.*",
            ".txt",
            false};
}

std::string PickerStartFolder() {
    const QString current = QDir::currentPath();
    if (SameFolder(current, QString::fromStdString(ProgramFolder()))) {
        return QDir::homePath().toStdString();
    }
    return current.toStdString();
}

PickerArguments JobFilePicker(std::string_view title) {
    return {std::string(title),
            "*.json",
            "",
            "Job files (*.json)|*.json|All Files (*.*)|*.*",
            ".json",
            false};
}

PickerRequest OpenRequest(const PickerArguments& arguments) {
    PickerRequest request;
    request.title = arguments.title;
    request.name = arguments.name.substr(0, kOpenNameLength);
    request.folder =
        arguments.initialFolder.empty() ? PickerStartFolder() : arguments.initialFolder;
    request.nulFilter = ToNulSeparatedFilter(arguments.barFilter);
    request.filterIndex = 1;
    request.defaultExtension = arguments.defaultExtension;
    request.fileMustExist = arguments.fileMustExist;
    return request;
}

PickerRequest SaveRequest(const PickerArguments& arguments) {
    PickerRequest request;
    request.title = arguments.title;
    request.folder =
        arguments.initialFolder.empty() ? PickerStartFolder() : arguments.initialFolder;
    request.nulFilter = ToNulSeparatedFilter(arguments.barFilter);

    std::string_view extension = arguments.defaultExtension;
    while (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    request.defaultExtension = std::string(extension);

    const std::string nameForFilter =
        arguments.name.empty() ? "." + request.defaultExtension : arguments.name;
    request.filterIndex = FilterIndexForName(request.nulFilter, nameForFilter);
    request.name = arguments.name.substr(0, kSaveNameLength);
    request.fileMustExist = arguments.fileMustExist;
    return request;
}

std::optional<std::string> PickOpenFile(FilePicker& picker, const PickerArguments& arguments) {
    return picker.PickOpen(OpenRequest(arguments));
}

std::optional<std::string> PickSaveFile(FilePicker& picker, const PickerArguments& arguments) {
    return picker.PickSave(SaveRequest(arguments));
}

std::span<const Preset> ItemParameterPresets(std::string_view chosenName) {
    if (NameContainsEither(chosenName, "testdata.itm", "testdata0.itm")) return kItemPresets;
    return {};
}

std::span<const Preset> ResponsePresets(std::string_view chosenName) {
    if (NameContainsEither(chosenName, "testdata.dat", "testdata0.dat")) return kResponsePresets;
    return {};
}

std::pair<std::string, std::string> SplitFolder(std::string_view name) {
    const std::size_t slash = name.rfind('/');
    if (slash == std::string_view::npos) return {std::string(), std::string(name)};
    return {std::string(name.substr(0, slash + 1)), std::string(name.substr(slash + 1))};
}

std::optional<std::string> ProposedOutputName(std::string_view bareName,
                                              std::string_view tempFolder) {
    const std::size_t dot = bareName.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    return std::string(tempFolder) + std::string(bareName.substr(0, dot)) + "out.csv";
}

std::string TempFolder() {
    std::string folder = QDir::tempPath().toStdString();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

void SelectItemParameterFile(DialogControls& controls, FilePicker& picker) {
    const std::optional<std::string> chosen = PickOpenFile(picker, ItemParameterPicker());
    if (!chosen) return;
    controls.SetText(id::kItemParameterFile, *chosen);
    WritePresets(controls, ItemParameterPresets(*chosen));
}

void SelectResponseFile(DialogControls& controls, FilePicker& picker) {
    const std::optional<std::string> chosen = PickOpenFile(picker, ResponsePicker());
    if (!chosen) return;
    controls.SetText(id::kResponseFile, *chosen);
    WritePresets(controls, ResponsePresets(*chosen));

    const auto [folder, bareName] = SplitFolder(*chosen);
    // Later pickers, "Help" and relative names all start from this folder; a
    // failure to change there is not reported.
    if (!folder.empty()) QDir::setCurrent(QString::fromStdString(folder));
    if (const auto proposed = ProposedOutputName(bareName, TempFolder())) {
        controls.SetText(id::kOutputFile, *proposed);
    }
}

void SelectOutputFile(DialogControls& controls, FilePicker& picker) {
    const PickerArguments arguments = OutputPicker(controls.Text(id::kOutputFile));
    if (const auto chosen = PickSaveFile(picker, arguments)) {
        controls.SetText(id::kOutputFile, *chosen);
    }
}

}  // namespace tarvo::shell
