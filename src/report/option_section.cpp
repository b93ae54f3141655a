#include "report/option_section.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "report/plural.h"

namespace tarvo::report {

namespace {

using Json = nlohmann::ordered_json;

// At most this many flagged items are named in the summary; the JSON has
// every one.
constexpr std::size_t kItemsNamed = 12;

// NaN (nobody, no spread) is null.
Json Number(double value) { return std::isfinite(value) ? Json(value) : Json(nullptr); }

Json Numbers(const std::vector<double>& values) {
    Json list = Json::array();
    for (const double value : values) list.push_back(Number(value));
    return list;
}

Json FlagNames(std::uint32_t flags) {
    Json names = Json::array();
    if (flags & kOptionAttractsStrongest) names.push_back("attracts_strongest");
    if (flags & kOptionKeyNegative) names.push_back("key_negative");
    if (flags & kOptionChosenByNobody) names.push_back("chosen_by_nobody");
    if (flags & kOptionBeatsKeyAtTop) names.push_back("beats_key_at_top");
    return names;
}

Json ItemJson(const OptionItem& item) {
    Json json;
    json["item"] = item.item + 1;
    json["key"] = std::string(1, item.key);
    json["flags"] = FlagNames(item.flags);
    Json options = Json::array();
    for (const OptionRow& row : item.options) {
        Json option;
        option["code"] = OptionLabel(row.code);
        option["key"] = row.isKey;
        option["missing"] = row.missing;
        option["count"] = row.count;
        option["proportion"] = Number(row.proportion);
        option["group_proportion"] = Numbers(row.groupProportion);
        option["mean_ability"] = Number(row.meanAbility);
        option["point_biserial"] = Number(row.pointBiserial);
        option["flags"] = FlagNames(row.flags);
        options.push_back(std::move(option));
    }
    if (!item.options.empty()) json["options"] = std::move(options);
    if (!item.categories.empty()) {
        Json categories = Json::array();
        for (const CategoryRow& row : item.categories) {
            categories.push_back({{"score", row.score},
                                  {"count", row.count},
                                  {"group_proportion", Numbers(row.groupProportion)}});
        }
        json["categories"] = std::move(categories);
    }
    return json;
}

std::string Dump(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::vector<std::string> OptionSummary(const OptionAnalysis& analysis) {
    std::size_t keyed = 0, flagged = 0;
    for (const OptionItem& item : analysis.items) {
        keyed += !item.options.empty();
        flagged += item.flags != 0;
    }
    std::vector<std::string> lines;
    const std::size_t byCategory = analysis.items.size() - keyed;
    const std::string groups =
        std::to_string(analysis.groups) + " ability groups by " + analysis.abilityName;
    std::string line = "Options: ";
    if (keyed > 0) {
        line += Plural(keyed, "keyed item", "keyed items") + " in " + groups +
                ", point-biserials with the " + analysis.correlatedWith;
        if (byCategory > 0) line += "; ";
    }
    if (byCategory > 0) {
        line +=
            Plural(byCategory, "item", "items") + " scored 0..m, each score's share in " + groups;
    }
    lines.push_back(line + "; " + std::to_string(flagged) + " flagged.");
    std::size_t named = 0;
    for (const OptionItem& item : analysis.items) {
        if (item.flags == 0) continue;
        if (named++ == kItemsNamed) {
            lines.push_back("  ... and " + std::to_string(flagged - kItemsNamed) +
                            " more (the report's options section lists them).");
            break;
        }
        std::string text;
        for (const std::string& flag : OptionFlagTexts(item)) {
            text += (text.empty() ? "" : "; ") + flag;
        }
        lines.push_back("  Item " + std::to_string(item.item + 1) + ": " + text + ".");
    }
    return lines;
}

ReportSection OptionSection(const OptionAnalysis& analysis) {
    ReportSection section;
    section.key = "options";
    Json json;
    json["ability"] = analysis.abilityName;
    json["correlated_with"] = analysis.correlatedWith;
    json["option_set"] =
        "every code given to the item, and the codes of one kind (1 to 8, A to Z, a to z) from "
        "the first to the highest given or keyed";
    json["examinees"] = analysis.examinees;
    json["groups"] = analysis.groups;
    json["group_size"] = analysis.groupSize;
    json["group_mean_ability"] = Numbers(analysis.groupMeanAbility);
    Json items = Json::array();
    for (const OptionItem& item : analysis.items) items.push_back(ItemJson(item));
    json["items"] = std::move(items);
    section.json = Dump(json);
    section.summary = OptionSummary(analysis);

    // The key's own trouble is worth a warning; the rest is in the summary.
    std::vector<std::size_t> suspect;
    for (const OptionItem& item : analysis.items) {
        if (item.flags & (kOptionAttractsStrongest | kOptionKeyNegative)) {
            suspect.push_back(item.item + 1);
        }
    }
    if (!suspect.empty()) {
        std::string list;
        for (std::size_t k = 0; k < suspect.size(); ++k) {
            list += (k == 0 ? "" : (k + 1 == suspect.size() ? " and " : ", ")) +
                    std::to_string(suspect[k]);
        }
        section.warnings.push_back(
            (suspect.size() == 1 ? "Item " + list + " has a key" : "Items " + list + " have keys") +
            " that the option analysis questions (a wrong option draws the stronger examinees, "
            "or the key the weaker): check the key against the items.");
    }
    return section;
}

}  // namespace tarvo::report
