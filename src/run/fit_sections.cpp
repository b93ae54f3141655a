#include "run/fit_sections.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <numeric>

#include "fit/compute_fit.h"
#include "fit/multiple_testing.h"
#include "report/plural.h"

namespace tarvo {

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// A number, or null where the statistic is not defined.
Json Value(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }

Json Note(const std::string& note) { return note.empty() ? Json(nullptr) : Json(note); }

// "item 3" or "item 3 'Q17'": the number in the result file and the identifier.
std::string Named(const char* what, std::size_t seq, const std::string& id) {
    return std::string(what) + " " + std::to_string(seq) + (id.empty() ? "" : " '" + id + "'");
}

using report::Plural;

// "a, b and c".
std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k > 0) text += k + 1 == parts.size() ? " and " : ", ";
        text += parts[k];
    }
    return text;
}

std::string ItemMembers(const fit::ItemFit& item) {
    Json residuals = Json::array();
    for (const double r : item.groupResidual) residuals.push_back(Value(r));
    const bool sx2 = std::isfinite(item.sx2);
    Json fit{
        {"s_x2", Value(item.sx2)},
        {"df", sx2 ? Json(item.df) : Json(nullptr)},
        {"p", Value(item.p)},
        {"p_adjusted", Value(item.pAdjusted)},
        {"infit", Value(item.infit)},
        {"outfit", Value(item.outfit)},
        {"infit_t", Value(item.infitT)},
        {"outfit_t", Value(item.outfitT)},
        {"group_residuals", std::move(residuals)},
    };
    if (!item.model.empty()) fit["model"] = item.model;
    return "\"fit\":" + Dump(fit) + ",\"fit_note\":" + Dump(Note(item.note));
}

std::string PersonMembers(const fit::PersonFit& person) {
    const Json fit{
        {"lz", Value(person.lz)}, {"infit", Value(person.infit)}, {"outfit", Value(person.outfit)}};
    return "\"fit\":" + Dump(fit) +
           ",\"fit_note\":" + Dump(Note(fit::PersonFitGapText(person.gap)));
}

Json PairOf(const fit::Q3Pair& pair) {
    return Json{{"items", {pair.first + 1, pair.second + 1}}, {"q3", pair.q3}};
}

Json PairsOf(const std::vector<fit::Q3Pair>& pairs) {
    Json list = Json::array();
    for (const fit::Q3Pair& pair : pairs) list.push_back(PairOf(pair));
    return list;
}

Json LocalDependenceJson(const fit::LocalDependence& q3, std::size_t items) {
    Json matrix(nullptr);
    if (!q3.matrix.empty()) {
        matrix = Json::array();
        for (std::size_t i = 0; i < items; ++i) {
            Json row = Json::array();
            for (std::size_t k = 0; k < items; ++k) row.push_back(Value(q3.matrix[i * items + k]));
            matrix.push_back(std::move(row));
        }
    }
    return Json{
        {"average_q3", Value(q3.averageQ3)},
        {"flag_above", Value(q3.flagAbove)},
        {"defined_pairs", q3.definedPairs},
        {"flagged", PairsOf(q3.flagged)},
        {"largest", PairsOf(q3.largest)},
        {"matrix", std::move(matrix)},
        {"note", Note(q3.note)},
    };
}

constexpr const char* kPenalisedNote =
    "Priors acted: -2LL, AIC and BIC are of the penalised maximum (the posterior mode), not "
    "of the likelihood's own maximum.";

Json ModelFitJson(const fit::ModelFit& model) {
    if (!model.defined) return Json{{"defined", false}, {"note", Note(model.note)}};
    return Json{
        {"defined", true},
        {"minus_2_log_likelihood", model.minus2LogLikelihood},
        {"parameters", model.parameters},
        {"examinees", model.examinees},
        {"aic", model.aic},
        {"bic", model.bic},
        {"penalised", model.penalised},
        {"note", model.penalised ? Json(kPenalisedNote) : Json(nullptr)},
    };
}

// How much an item misfits, for naming the worst first: its adjusted p,
// or where S-X2 is undefined how far a mean square is from 1.
double MisfitOrder(const fit::ItemFit& item) {
    if (std::isfinite(item.pAdjusted)) return item.pAdjusted;
    return 1 - std::max(std::fabs(item.infit - 1), std::fabs(item.outfit - 1));
}

std::string ItemEvidence(const fit::ItemFit& item) {
    if (std::isfinite(item.sx2)) {
        return "S-X2 " + fit::FixedText(item.sx2, 1) + ", df " + std::to_string(item.df) +
               ", adjusted p " + fit::PValueText(item.pAdjusted);
    }
    return "infit " + fit::FixedText(item.infit, 2) + ", outfit " + fit::FixedText(item.outfit, 2);
}

// The indexes of the misfitting rows, the worst (lowest key) first.
template <typename Row, typename Key>
std::vector<std::size_t> MisfittingWorstFirst(const std::vector<Row>& rows, Key key) {
    std::vector<std::size_t> order;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        if (rows[k].misfit) order.push_back(k);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return key(rows[x]) < key(rows[y]); });
    return order;
}

// What a misfit warning says: the rows counted, the rule, how the named
// ones are introduced when not all are named, and what to do.
struct MisfitWords {
    const char* one;
    const char* many;
    const char* rule;
    const char* worst;
    const char* advice;
};

// "N rows ... (rule): the worst few by key, each as describe gives it. Advice."
template <typename Row, typename Key, typename Describe>
std::string MisfitWarning(const std::vector<Row>& rows, Key key, Describe describe,
                          const MisfitWords& words) {
    const std::vector<std::size_t> order = MisfittingWorstFirst(rows, key);
    std::vector<std::string> named;
    for (std::size_t k = 0; k < std::min(order.size(), kWorstNamed); ++k) {
        named.push_back(describe(order[k]));
    }
    return Plural(order.size(), words.one, words.many) + words.rule +
           (order.size() > kWorstNamed ? std::string("; ") + words.worst + ": " : ": ") +
           Joined(named) + ". " + words.advice;
}

constexpr const char* kItemMisfitRule =
    "S-X2 p below 0.01 after the Benjamini-Hochberg correction over the items; where S-X2 "
    "is not defined, infit or outfit outside 0.7 to 1.3";
constexpr const char* kSummedScoreMisfitRule =
    "S-X2 p below 0.01 after the Benjamini-Hochberg correction over the items";

std::string ItemWarning(const fit::FitResults& fit, const ItemTable& items) {
    const char* rule = fit.itemsBySx2Only
                           ? " not fit the model (S-X2 p below 0.01 after the Benjamini-Hochberg "
                             "correction)"
                           : " not fit the model (S-X2 p below 0.01 after the Benjamini-Hochberg "
                             "correction, or infit or outfit outside 0.7 to 1.3 where S-X2 is "
                             "not defined)";
    return MisfitWarning(
        fit.items, MisfitOrder,
        [&](std::size_t i) {
            const fit::ItemFit& item = fit.items[i];
            return Named("item", i + 1, items.AccNo[i]) + " (" +
                   (item.model.empty() ? "" : item.model + ", ") + ItemEvidence(item) + ")";
        },
        {"item does", "items do", rule, "the worst",
         "Check each one's key and wording, and drop an item that stays misfitting and run "
         "again."});
}

std::string PersonWarning(const fit::FitResults& fit, const PersonTable& persons) {
    return MisfitWarning(
        fit.persons, [](const fit::PersonFit& person) { return person.lz; },
        [&](std::size_t j) {
            return Named("examinee", j + 1, persons.ExaminID[j]) + " (lz " +
                   fit::FixedText(fit.persons[j].lz, 2) + ")";
        },
        {"examinee responds", "examinees respond",
         " unlike the model expects (lz below -1.96, about 2.5% of examinees even when the "
         "model holds)",
         "the most aberrant",
         "Review their records for a shifted answer sheet, a wrong form, copying or guessing "
         "before reporting their scores."});
}

std::string PairWarning(const fit::LocalDependence& q3, const ItemTable& items) {
    std::vector<std::string> named;
    for (std::size_t k = 0; k < std::min(q3.flagged.size(), kWorstNamed); ++k) {
        const fit::Q3Pair& pair = q3.flagged[k];
        named.push_back(Named("items", pair.first + 1, items.AccNo[pair.first]) + " and " +
                        Named("", pair.second + 1, items.AccNo[pair.second]).substr(1) + " (Q3 " +
                        fit::FixedText(pair.q3, 2) + ")");
    }
    return Plural(q3.flagged.size(), "pair of items depends", "pairs of items depend") +
           " on each other beyond the ability (Q3 more than 0.2 above its average of " +
           fit::FixedText(q3.averageQ3, 3) + ")" +
           (q3.flagged.size() > kWorstNamed ? "; the largest: " : ": ") + Joined(named) +
           ". Check whether they share a stem, a passage or a clue; join such items into one "
           "score or keep one of them.";
}

std::string SummaryLine(const fit::FitResults& fit) {
    const std::string items =
        fit.itemsBySx2Only ? " misfitting by S-X2, each item by its own model, " : " misfitting, ";
    return "Fit: " + std::to_string(fit.misfittingItems) + " of " +
           Plural(fit.items.size(), "item", "items") + items +
           std::to_string(fit.misfittingPersons) + " of " +
           Plural(fit.persons.size(), "examinee", "examinees") + " with lz below -1.96, " +
           Plural(fit.localDependence.flagged.size(), "item pair", "item pairs") +
           " locally dependent; S-X2 from " +
           Plural(fit.sx2Examinees, "complete record", "complete records") + " (" +
           std::to_string(fit.sx2LeftOutForMissing) + " with a missing response left out).";
}

std::string ModelLine(const fit::ModelFit& model) {
    if (!model.defined) return "Model fit: not defined. " + model.note;
    return std::string(model.penalised ? "Model fit at the penalised maximum (priors acted): "
                                       : "Model fit: ") +
           "-2LL " + fit::FixedText(model.minus2LogLikelihood, 3) + ", " +
           Plural(static_cast<std::size_t>(model.parameters), "parameter", "parameters") +
           ", AIC " + fit::FixedText(model.aic, 3) + ", BIC " + fit::FixedText(model.bic, 3) + ".";
}

}  // namespace

std::vector<ReportSection> FitSections(const fit::FitResults& fit, const ItemTable& items,
                                       const PersonTable& persons, const std::string& gridText) {
    ReportSection rows;
    rows.key = "fit";
    rows.json = Dump(Json{
        {"ability_distribution", gridText},
        {"s_x2_examinees", fit.sx2Examinees},
        {"s_x2_left_out_for_missing", fit.sx2LeftOutForMissing},
        {"misfitting_items", fit.misfittingItems},
        {"misfitting_examinees", fit.misfittingPersons},
        {"item_misfit_rule", fit.itemsBySx2Only ? kSummedScoreMisfitRule : kItemMisfitRule},
        {"examinee_misfit_rule", "lz below -1.96"},
    });
    rows.summary.push_back(SummaryLine(fit));
    rows.itemMembers.reserve(fit.items.size());
    rows.itemFlags.reserve(fit.items.size());
    for (const fit::ItemFit& item : fit.items) {
        rows.itemMembers.push_back(ItemMembers(item));
        rows.itemFlags.push_back((item.misfit ? kItemMisfit : 0u) |
                                 (item.locallyDependent ? kItemLocalDependence : 0u));
    }
    rows.personMembers.reserve(fit.persons.size());
    rows.personFlags.reserve(fit.persons.size());
    for (const fit::PersonFit& person : fit.persons) {
        rows.personMembers.push_back(PersonMembers(person));
        rows.personFlags.push_back(person.misfit ? kPersonMisfit : 0u);
    }
    if (fit.misfittingItems > 0) rows.warnings.push_back(ItemWarning(fit, items));
    if (fit.misfittingPersons > 0) rows.warnings.push_back(PersonWarning(fit, persons));
    if (!fit.localDependence.flagged.empty()) {
        rows.warnings.push_back(PairWarning(fit.localDependence, items));
    }

    ReportSection dependence;
    dependence.key = "local_dependence";
    dependence.json = Dump(LocalDependenceJson(fit.localDependence, fit.items.size()));

    ReportSection model;
    model.key = "model_fit";
    model.json = Dump(ModelFitJson(fit.model));
    model.summary.push_back(ModelLine(fit.model));

    std::vector<ReportSection> sections;
    sections.push_back(std::move(rows));
    sections.push_back(std::move(dependence));
    sections.push_back(std::move(model));
    return sections;
}

ReportSection FitFailedSection(const std::string& why) {
    ReportSection section;
    section.key = "fit";
    section.json = Dump(Json{{"note", "The fit statistics could not be formed: " + why}});
    section.warnings.push_back("The fit statistics could not be formed: " + why +
                               " The result file is complete; only the fit is missing.");
    return section;
}

}  // namespace tarvo
