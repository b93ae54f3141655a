#include "shell/program_folder.h"

#include <QCoreApplication>
#include <filesystem>
#include <system_error>

#include "shell/dialog_commands.h"

namespace tarvo::shell {
namespace {

bool HoldsFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

std::string ProgramFolder() {
    // On Linux Qt takes the path from /proc/self/exe, which the kernel gives
    // with every symbolic link already resolved.
    return QCoreApplication::applicationDirPath().toStdString();
}

std::string HelpDocumentToOpen(const std::string& programFolder) {
    if (HoldsFile(kHelpDocument)) return kHelpDocument;
    if (!programFolder.empty()) {
        const std::filesystem::path beside = std::filesystem::path(programFolder) / kHelpDocument;
        if (HoldsFile(beside)) return beside.string();
    }
    return kHelpDocument;
}

}  // namespace tarvo::shell
