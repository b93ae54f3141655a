#include "shell/files/qt_file_picker.h"

#include <QFileDialog>
#include <QStringList>

#include "shell/files/file_filters.h"

namespace tarvo::shell {
namespace {

bool IsPattern(const QString& name) {
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

}  // namespace

std::optional<std::string> QtFilePicker::PickOpen(const PickerRequest& request) {
    return Pick(request, false);
}

std::optional<std::string> QtFilePicker::PickSave(const PickerRequest& request) {
    return Pick(request, true);
}

std::optional<std::string> QtFilePicker::Pick(const PickerRequest& request, bool save) {
    QFileDialog dialog(owner_, QString::fromStdString(request.title),
                       QString::fromStdString(request.folder));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);

    QStringList filters;
    for (const std::string& filter : DialogNameFilters(request.nulFilter)) {
        filters << QString::fromStdString(filter);
    }
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size()) {
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    }
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));

    // A pattern such as "*.itm" is already shown by the filter; a name is
    // offered in the name field.
    const QString name = QString::fromStdString(request.name);
    if (!name.isEmpty() && !IsPattern(name)) dialog.selectFile(name);

    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.front().toStdString();
}

}  // namespace tarvo::shell
