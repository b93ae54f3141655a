#include "run/polytomous_section.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/polytomous_models.h"
#include "report/ability_statistics.h"
#include "report/plural.h"

namespace tarvo {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::int32_t kRareCategory = 10;

struct Moments {
    double n = 0, x = 0, y = 0, xx = 0, yy = 0, xy = 0;
    void Add(double a, double b) {
        n += 1;
        x += a;
        y += b;
        xx += a * a;
        yy += b * b;
        xy += a * b;
    }
    double Correlation() const {
        const double sxx = xx - x * x / n, syy = yy - y * y / n, sxy = xy - x * y / n;
        return n > 1 && sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : NAN;
    }
};

Json Number(double value) { return std::isfinite(value) ? Json(value) : Json(nullptr); }

std::string Fixed(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// An item's flags for an unused category and for one fewer than
// kRareCategory chose.
void AddCountFlags(const std::vector<std::int32_t>& counts, Json& flags) {
    for (const std::int32_t n : counts) {
        if (n == 0) {
            flags.push_back("empty_category");
            break;
        }
    }
    for (const std::int32_t n : counts) {
        if (n > 0 && n < kRareCategory) {
            flags.push_back("rare_category");
            break;
        }
    }
}

// One warning naming the flagged items and what their flags are about.
void AddFlaggedWarning(const std::vector<std::string>& flagged, const std::string& about,
                       ReportSection& section) {
    if (flagged.empty()) return;
    std::string list;
    for (const std::string& item : flagged) list += (list.empty() ? "" : ", ") + item;
    const bool one = flagged.size() == 1;
    section.warnings.push_back((one ? "Item " : "Items ") + list +
                               (one ? " has a flag of its" : " have a flag of their") + about +
                               ": see the report's polytomous section.");
}

// The histogram's bars: this wide, over the abilities' whole range.
constexpr double kBarWidth = 0.5;

// A value for a sentence: three decimals, or "undefined".
std::string FixedOrUndefined(double value) {
    return std::isfinite(value) ? Fixed(value) : std::string("undefined");
}

double NormalBelow(double x, double mean, double sd) {
    return 0.5 * std::erfc(-(x - mean) / (sd * std::sqrt(2.0)));
}

// Cronbach's alpha of the members' complete records, and their mean raw
// score over the items each answered.
void ScoreStatistics(const PersonTable& persons, const EstimationOutcome& outcome,
                     const std::vector<std::size_t>& members, double& meanScore, double& alpha) {
    const std::size_t itemCount = outcome.categories.size();
    std::vector<double> sum(itemCount, 0), squares(itemCount, 0);
    double n = 0, total = 0, totalSquares = 0, scores = 0;
    for (const std::size_t j : members) {
        const std::span<const std::uint8_t> row = persons.ResponsesOf(j);
        double raw = 0;
        bool complete = true;
        for (std::size_t i = 0; i < itemCount; ++i) {
            if (row[i] < outcome.categories[i]) {
                raw += row[i];
            } else {
                complete = false;
            }
        }
        scores += raw;
        if (!complete) continue;
        n += 1;
        total += raw;
        totalSquares += raw * raw;
        for (std::size_t i = 0; i < itemCount; ++i) {
            sum[i] += row[i];
            squares[i] += static_cast<double>(row[i]) * row[i];
        }
    }
    meanScore = members.empty() ? NAN : scores / static_cast<double>(members.size());
    double itemVariances = 0;
    for (std::size_t i = 0; i < itemCount; ++i) {
        itemVariances += n > 1 ? squares[i] - sum[i] * sum[i] / n : 0;
    }
    const double totalVariance = n > 1 ? totalSquares - total * total / n : 0;
    const double k = static_cast<double>(itemCount);
    alpha = itemCount > 1 && totalVariance > 0 ? k / (k - 1) * (1 - itemVariances / totalVariance)
                                               : NAN;
}

// The members' abilities in bars of kBarWidth, and the count the group's
// normal population expects in each.
Json Histogram(const PersonTable& persons, const std::vector<std::size_t>& members,
               const PopulationEstimate& population) {
    double lowest = INFINITY, highest = -INFINITY;
    for (const std::size_t j : members) {
        if (!std::isfinite(persons.theta[j])) continue;
        lowest = std::min(lowest, persons.theta[j]);
        highest = std::max(highest, persons.theta[j]);
    }
    Json bars = Json::array();
    if (!(lowest <= highest)) return bars;
    const double first = std::floor(lowest / kBarWidth) * kBarWidth;
    const std::size_t count =
        static_cast<std::size_t>(std::floor((highest - first) / kBarWidth)) + 1;
    std::vector<std::size_t> counts(count, 0);
    double finite = 0;
    for (const std::size_t j : members) {
        if (!std::isfinite(persons.theta[j])) continue;
        const std::size_t bar =
            std::min(count - 1,
                     static_cast<std::size_t>(std::floor((persons.theta[j] - first) / kBarWidth)));
        ++counts[bar];
        finite += 1;
    }
    for (std::size_t b = 0; b < count; ++b) {
        const double from = first + kBarWidth * static_cast<double>(b);
        const double to = from + kBarWidth;
        const double fitted = finite * (NormalBelow(to, population.mean, population.sd) -
                                        NormalBelow(from, population.mean, population.sd));
        bars.push_back(Json{{"from", from}, {"to", to}, {"count", counts[b]}, {"fitted", fitted}});
    }
    return bars;
}

std::string ErrorSourceName(GroupErrorSource source) {
    switch (source) {
        case GroupErrorSource::WithItems:
            return "observed_information";
        case GroupErrorSource::GroupsAlone:
            return "groups_block";
        case GroupErrorSource::NotFormed:
            break;
    }
    return "not_formed";
}

}  // namespace

ReportSection PolytomousSection(const ItemTable& items, const PersonTable& persons,
                                const EstimationOutcome& outcome) {
    const std::size_t itemCount = outcome.categories.size();
    ReportSection section;
    section.key = "polytomous";
    // Every examinee's score over the items answered.
    std::vector<double> total(persons.personCount(), 0);
    std::vector<char> complete(persons.personCount(), 1);
    for (std::size_t j = 0; j < persons.personCount(); ++j) {
        const auto row = persons.ResponsesOf(j);
        for (std::size_t i = 0; i < itemCount; ++i) {
            if (row[i] < outcome.categories[i]) {
                total[j] += row[i];
            } else {
                complete[j] = 0;
            }
        }
    }
    // Cronbach's alpha from the complete records: the items' variances
    // against the total's.
    std::vector<Moments> itemMoments(itemCount);
    Moments totalMoments;
    Json rows = Json::array();
    std::vector<std::string> flagged;
    for (std::size_t i = 0; i < itemCount; ++i) {
        const int categories = outcome.categories[i];
        std::vector<std::int32_t> counts(static_cast<std::size_t>(categories), 0);
        Moments rest;
        for (std::size_t j = 0; j < persons.personCount(); ++j) {
            const std::uint8_t code = persons.ResponsesOf(j)[i];
            if (code >= categories) continue;
            ++counts[code];
            rest.Add(code, total[j] - code);
            if (complete[j]) itemMoments[i].Add(code, 0);
        }
        const double answered = rest.n;
        Json shares = Json::array();
        for (const std::int32_t n : counts)
            shares.push_back(Number(answered > 0 ? n / answered : NAN));
        Json flags = Json::array();
        AddCountFlags(counts, flags);
        const std::vector<double>& b = outcome.thresholds[i];
        const bool partial = outcome.itemModels[i] == "gpcm" || outcome.itemModels[i] == "pcm";
        if (categories > 2 && items.a[i] < 0) flags.push_back("negative_discrimination");
        bool disordered = false;
        for (std::size_t k = 1; k < b.size(); ++k) disordered = disordered || b[k] < b[k - 1];
        if (partial && disordered) flags.push_back("disordered_steps");
        // A slope this near 0 leaves the thresholds beyond any ability.
        if (categories > 2 && std::abs(items.a[i]) < kLeastDiscrimination)
            flags.push_back("not_discriminating");
        if (!flags.empty()) flagged.push_back(std::to_string(i + 1));

        Json row{
            {"item", i + 1},
            {"model", outcome.itemModels[i]},
            {"categories", categories},
            {"category_counts", counts},
            {"category_proportions", shares},
            {"mean_score", Number(answered > 0 ? rest.x / answered : NAN)},
            {"item_rest_correlation", Number(rest.Correlation())},
            {"thresholds", b},
            {"threshold_errors",
             i < outcome.thresholdErrors.size() ? Json(outcome.thresholdErrors[i]) : Json::array()},
            {"flags", flags}};
        section.itemMembers.push_back("\"polytomous\":" + row.dump());
        rows.push_back(std::move(row));
    }
    for (std::size_t j = 0; j < persons.personCount(); ++j) {
        if (complete[j]) totalMoments.Add(total[j], 0);
    }
    double itemVariances = 0;
    for (const Moments& m : itemMoments) itemVariances += m.n > 1 ? m.xx - m.x * m.x / m.n : 0;
    const double totalVariance =
        totalMoments.n > 1 ? totalMoments.xx - totalMoments.x * totalMoments.x / totalMoments.n : 0;
    const double k = static_cast<double>(itemCount);
    const double alpha = itemCount > 1 && totalVariance > 0
                             ? k / (k - 1) * (1 - itemVariances / totalVariance)
                             : NAN;
    section.json =
        Json{{"alpha", Number(alpha)}, {"complete_records", totalMoments.n}, {"items", rows}}
            .dump();
    section.summary.push_back("Cronbach's alpha of all items by score: " +
                              (std::isfinite(alpha) ? Fixed(alpha) : std::string("undefined")) +
                              " over " +
                              report::Plural(static_cast<std::size_t>(totalMoments.n),
                                             "complete record", "complete records") +
                              ".");
    AddFlaggedWarning(flagged,
                      " categories or thresholds (an empty or rare category, a negative slope, "
                      "which a reverse-keyed item has, partial-credit steps out of order, a slope "
                      "too near 0 for its thresholds to be locations)",
                      section);
    return section;
}

ReportSection NominalSection(const ItemTable& items, const EstimationOutcome& outcome) {
    const std::size_t itemCount = outcome.optionSlopes.size();
    ReportSection section;
    section.key = "polytomous";
    Json rows = Json::array();
    std::vector<std::string> flagged;
    for (std::size_t i = 0; i < itemCount; ++i) {
        const std::vector<std::int32_t>& counts = outcome.optionCounts[i];
        const std::vector<double>& slopes = outcome.optionSlopes[i];
        const int keyed = outcome.keyedOptions[i];
        double answered = 0;
        for (const std::int32_t n : counts) answered += n;
        Json shares = Json::array();
        for (const std::int32_t n : counts)
            shares.push_back(Number(answered > 0 ? n / answered : NAN));
        Json flags = Json::array();
        AddCountFlags(counts, flags);
        if (keyed >= 0 && items.a[i] < 0) flags.push_back("negative_discrimination");
        if (keyed >= 0 && std::abs(items.a[i]) < kLeastDiscrimination)
            flags.push_back("not_discriminating");
        for (std::size_t k = 0; keyed >= 0 && k < slopes.size(); ++k) {
            if (static_cast<int>(k) != keyed &&
                slopes[k] > slopes[static_cast<std::size_t>(keyed)]) {
                flags.push_back("distractor_above_key");
                break;
            }
        }
        if (!flags.empty()) flagged.push_back(std::to_string(i + 1));
        Json row{{"item", i + 1},
                 {"model", outcome.itemModels[i]},
                 {"categories", counts.size()},
                 {"keyed_option", keyed >= 0 ? Json(keyed + 1) : Json(nullptr)},
                 {"category_counts", counts},
                 {"category_proportions", shares},
                 {"a", Number(items.a[i])},
                 {"option_slopes", slopes},
                 {"option_intercepts", outcome.optionIntercepts[i]},
                 {"option_slope_errors", outcome.optionSlopeErrors[i]},
                 {"option_intercept_errors", outcome.optionInterceptErrors[i]},
                 {"flags", flags}};
        section.itemMembers.push_back("\"polytomous\":" + row.dump());
        rows.push_back(std::move(row));
    }
    section.json = Json{{"items", rows}}.dump();
    section.summary.push_back(
        "Nominal model: each option of " + report::Plural(itemCount, "item", "items") +
        " has its own slope and intercept, the first option's 0; the fit statistics and the "
        "score table are not formed for it.");
    AddFlaggedWarning(flagged,
                      " options (an option nobody or few chose, a key less discriminating than "
                      "the other options or hardly at all, a distractor the ablest choose more "
                      "than the key)",
                      section);
    return section;
}

ReportSection GroupsSection(const PersonTable& persons, const EstimationOutcome& outcome) {
    ReportSection section;
    if (outcome.groups.empty()) return section;
    section.key = "group_calibration";
    // Each examinee's group of the run, by its label.
    std::vector<std::vector<std::size_t>> members(outcome.groups.size());
    std::vector<std::int32_t> runGroupOf(persons.groupLabels.size(), -1);
    for (std::size_t g = 0; g < outcome.groups.size(); ++g) {
        const auto at = std::find(persons.groupLabels.begin(), persons.groupLabels.end(),
                                  outcome.groups[g].label);
        if (at != persons.groupLabels.end()) {
            runGroupOf[static_cast<std::size_t>(at - persons.groupLabels.begin())] =
                static_cast<std::int32_t>(g);
        }
    }
    for (std::size_t j = 0; j < persons.group.size(); ++j) {
        const std::int32_t label = persons.group[j];
        if (label < 0) continue;
        const std::int32_t g = runGroupOf[static_cast<std::size_t>(label)];
        if (g >= 0) members[static_cast<std::size_t>(g)].push_back(j);
    }

    Json groups = Json::array();
    std::size_t calibrated = 0;
    for (std::size_t g = 0; g < outcome.groups.size(); ++g) {
        const GroupEstimate& group = outcome.groups[g];
        calibrated += group.examinees;
        double meanScore = NAN, alpha = NAN;
        ScoreStatistics(persons, outcome, members[g], meanScore, alpha);
        std::vector<bool> use(persons.personCount(), false);
        for (const std::size_t j : members[g]) use[j] = true;
        const double reliability =
            report::EmpiricalReliability(persons.theta, persons.seetheta, use);
        const PopulationEstimate& p = group.population;
        groups.push_back(Json{{"label", group.label},
                              {"reference", group.reference},
                              {"examinees", group.examinees},
                              {"mean", p.mean},
                              {"sd", p.sd},
                              {"se_mean", group.reference ? Json(nullptr) : Number(p.seMean)},
                              {"se_sd", group.reference ? Json(nullptr) : Number(p.seSd)},
                              {"mean_score", Number(meanScore)},
                              {"alpha", Number(alpha)},
                              {"empirical_reliability", Number(reliability)},
                              {"histogram", Histogram(persons, members[g], p)}});
        std::string line = "Group " + group.label + " (" +
                           report::Plural(group.examinees, "examinee", "examinees") + "): ";
        line += group.reference
                    ? "reference, N(0, 1)"
                    : "mean " + FixedOrUndefined(p.mean) + " (SE " + FixedOrUndefined(p.seMean) +
                          "), SD " + FixedOrUndefined(p.sd) + " (SE " + FixedOrUndefined(p.seSd) +
                          ")";
        line += "; mean score " + FixedOrUndefined(meanScore) + ", alpha " +
                FixedOrUndefined(alpha) + ", empirical reliability " +
                FixedOrUndefined(reliability) + ".";
        section.summary.push_back(line);
    }
    const double parameters =
        outcome.itemParameters + 2.0 * static_cast<double>(outcome.groups.size() - 1);
    const double minus2 = -2 * outcome.logLikelihood;
    const double n = static_cast<double>(calibrated);
    const double aic = minus2 + 2 * parameters;
    const double bic = minus2 + parameters * std::log(n);
    section.json = Json{
        {"groups", groups},
        {"examinees_without_group", outcome.examineesWithoutGroup},
        {"group_errors", ErrorSourceName(outcome.groupErrors)},
        {"log_likelihood", Number(outcome.logLikelihood)},
        {"minus_2ll", Number(minus2)},
        {"parameters", parameters},
        {"aic", Number(aic)},
        {"bic",
         Number(bic)}}.dump();
    section.summary.push_back(
        "Groups model: log-likelihood " + FixedOrUndefined(outcome.logLikelihood) + ", -2LL " +
        FixedOrUndefined(minus2) + ", AIC " + FixedOrUndefined(aic) + ", BIC " +
        FixedOrUndefined(bic) + " (" + std::to_string(static_cast<int>(parameters)) +
        " parameters, " + report::Plural(calibrated, "examinee", "examinees") + ").");
    if (outcome.groupErrors == GroupErrorSource::GroupsAlone) {
        section.summary.push_back(
            "The focal groups' standard errors are from their own block of the information, "
            "the items taken as known: they are somewhat smaller than the whole information's.");
    }
    if (outcome.examineesWithoutGroup > 0) {
        section.warnings.push_back(
            report::Plural(outcome.examineesWithoutGroup, "examinee was", "examinees were") +
            " left out of the calibration for want of a calibrated group (an empty group field "
            "or a group not asked for), and scored under the reference group's population.");
    }
    return section;
}

}  // namespace tarvo
