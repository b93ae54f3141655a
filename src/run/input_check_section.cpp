#include "run/input_check_section.h"

#include <nlohmann/json.hpp>

namespace tarvo {

ReportSection InputCheckSection(const std::vector<InputFinding>& findings) {
    using Json = nlohmann::ordered_json;
    Json entries = Json::array();
    ReportSection section;
    section.key = "input_check";
    section.leads = true;
    for (const InputFinding& finding : findings) {
        entries.push_back(Json{{"code", finding.code},
                               {"message", finding.message},
                               {"count", finding.count},
                               {"examples", finding.examples},
                               {"serious", finding.serious}});
        section.warnings.push_back(finding.message);
    }
    // Examples are the input's bytes, which need not be UTF-8.
    section.json = entries.dump(-1, ' ', false, Json::error_handler_t::replace);
    return section;
}

}  // namespace tarvo
