#include "run/run_files.h"

#include "input/text/number_text.h"

namespace tarvo {

namespace {

// The key file as the response layout reads it: the format entry's text
// without the blanks around it.
std::string KeyFileOf(const RunRequest& request) {
    std::string keyFile;
    for (const auto& [entry, value] : request.format.entries) {
        if (entry == "key-file") keyFile = std::string(TrimBlanks(value));
    }
    return keyFile;
}

void AddNamed(std::vector<NamedFile>& files, const std::string& name, const char* what) {
    if (!name.empty()) files.push_back({name, what});
}

}  // namespace

std::vector<NamedFile> InputFilesOfRun(const RunRequest& request, const RunSettings& settings) {
    std::vector<NamedFile> files;
    AddNamed(files, settings.responseFile, "the response file");
    AddNamed(files, settings.itemParameterFile, "the item parameter file");
    AddNamed(files, KeyFileOf(request), "the key file");
    AddNamed(files, request.itemModelsFile, "the item-models file");
    return files;
}

std::vector<NamedFile> OutputFilesOfRun(const RunRequest& request) {
    std::vector<NamedFile> files;
    AddNamed(files, request.outputFile, "the result file");
    AddNamed(files, request.reportFile, "the report file");
    AddNamed(files, request.scoreTableFile, "the score table file");
    AddNamed(files, request.htmlReportFile, "the HTML report file");
    return files;
}

std::vector<NamedFile> FilesOfRun(const RunRequest& request) {
    std::vector<NamedFile> files = InputFilesOfRun(request, request.settings);
    for (NamedFile& output : OutputFilesOfRun(request)) files.push_back(std::move(output));
    return files;
}

std::vector<NamedFile> FilesOfRunBeside(const RunRequest& request, const std::string& output) {
    std::vector<NamedFile> files = InputFilesOfRun(request, request.settings);
    const std::pair<const std::string*, const char*> outputs[] = {
        {&request.outputFile, "the result file"},
        {&request.reportFile, "the report file"},
        {&request.scoreTableFile, "the score table file"},
        {&request.htmlReportFile, "the HTML report file"},
    };
    for (const auto& [name, what] : outputs) {
        if (name != &output) AddNamed(files, *name, what);
    }
    return files;
}

std::string OutputFileClash(const RunRequest& request, const RunSettings& settings) {
    const std::vector<NamedFile> inputs = InputFilesOfRun(request, settings);
    if (FileAmong(request.outputFile, inputs) != nullptr) {
        return "ERROR Output file " + request.outputFile + " is an input file.";
    }
    const std::string& table = request.scoreTableFile;
    if (table.empty()) return {};
    if (FileAmong(table, inputs) != nullptr) {
        return "ERROR Score table file " + table + " is an input file.";
    }
    if (NameOneFile(table, request.outputFile)) {
        return "ERROR Score table file " + table + " is the result file.";
    }
    if (NameOneFile(table, request.reportFile)) {
        return "ERROR Score table file " + table + " is the report file.";
    }
    if (NameOneFile(table, request.htmlReportFile)) {
        return "ERROR Score table file " + table + " is the HTML report file.";
    }
    return {};
}

}  // namespace tarvo
