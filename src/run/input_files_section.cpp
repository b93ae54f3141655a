#include "run/input_files_section.h"

#include <nlohmann/json.hpp>
#include <string>

#include "input/text/file_digest.h"

namespace tarvo {

namespace {

using Json = nlohmann::ordered_json;

Json FileEntry(const std::string& name) {
    const auto digest = DigestFile(name);
    return Json{{"name", name},
                {"bytes", digest ? Json(digest->bytes) : Json(nullptr)},
                {"sha256", digest ? Json(digest->sha256) : Json(nullptr)}};
}

}  // namespace

ReportSection InputFilesSection(const RunSettings& settings) {
    const Json inputs{{"response_file", FileEntry(settings.responseFile)},
                      {"item_parameter_file", settings.itemParameterFile.empty()
                                                  ? Json(nullptr)
                                                  : FileEntry(settings.itemParameterFile)}};
    ReportSection section;
    section.key = "inputs";
    // File names are the user's bytes, which need not be UTF-8.
    section.json = inputs.dump(-1, ' ', false, Json::error_handler_t::replace);
    return section;
}

}  // namespace tarvo
