#include "report/report_builder.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/modes.h"
#include "report/ability_statistics.h"
#include "report/report_flags.h"
#include "report/report_warnings.h"
#include "report/response_counts.h"

namespace tarvo::report {

namespace {

void FillItemRows(RunReport& report, const ItemTable& items, const ResponseCounts& counts,
                  const std::vector<double>& itemRest, std::size_t rows) {
    report.itemRows.resize(rows);
    for (std::size_t i = 0; i < rows; ++i) {
        ItemReport& row = report.itemRows[i];
        row.seqItem = static_cast<int>(i + 1);
        row.accNo = items.AccNo[i];
        row.a = items.a[i];
        row.b = items.b[i];
        row.c = items.c[i];
        row.seea = items.seea[i];
        row.seeb = items.seeb[i];
        row.seec = items.seec[i];
        row.nobs = counts.itemValid[i];
        row.omitted = counts.itemOmitted[i];
        row.pValue = PValue(counts, i);
        row.itemRest = itemRest[i];
        row.flags = ItemFlagsOf(row, report.mode);
    }
}

void FillPersonRows(RunReport& report, const PersonTable& persons, const ResponseCounts& counts,
                    std::size_t rows) {
    report.personRows.resize(rows);
    for (std::size_t j = 0; j < rows; ++j) {
        PersonReport& row = report.personRows[j];
        row.examinId = persons.ExaminID[j];
        row.theta = persons.theta[j];
        row.seetheta = persons.seetheta[j];
        row.rawScore = counts.rawScore[j];
        row.nvalid = counts.nvalid[j];
        row.flags = PersonFlagsOf(row, report.mode);
    }
}

}  // namespace

const char* PathOf(int mode) { return IsMode(mode) ? PathName(RulesOf(mode).path).data() : ""; }

const char* ModelOf(int mode) { return IsMode(mode) ? ModelName(RulesOf(mode)).data() : ""; }

void DescribeRun(RunReport& report, int mode) {
    report.mode = mode;
    report.path = PathOf(mode);
    report.model = ModelOf(mode);
}

namespace {

void SetCounts(RunReport& report, const ResponseCounts& counts) {
    report.examinees = counts.personCount;
    report.items = counts.itemCount;
    report.missingResponses = counts.missing;
    const double cells = static_cast<double>(counts.personCount) * counts.itemCount;
    report.missingShare = cells > 0 ? counts.missing / cells : 0;
}

}  // namespace

void CountRunInputs(RunReport& report, const PersonTable& persons) {
    SetCounts(report, CountResponses(persons));
}

void CompleteRunReport(RunReport& report, const ItemTable& items, const PersonTable& persons,
                       std::size_t reached) {
    const ResponseCounts counts = CountResponses(persons);
    SetCounts(report, counts);

    const std::string path = report.path;
    const std::size_t itemRows =
        path == "items-only" ? std::min(reached, counts.itemCount) : counts.itemCount;
    const std::size_t personRows =
        path == "theta-only" ? std::min(reached, counts.personCount) : counts.personCount;
    FillItemRows(report, items, counts, ItemRestCorrelations(persons, counts), itemRows);
    FillPersonRows(report, persons, counts, personRows);

    const std::span<const double> theta(persons.theta.data(), personRows);
    const std::span<const std::int32_t> rawScore(counts.rawScore.data(), personRows);
    const std::span<const std::int32_t> nvalid(counts.nvalid.data(), personRows);
    FillAbilityGroups(persons, theta, nvalid, report.itemRows);

    report.alpha = Kr20(counts);
    report.empiricalReliability = std::numeric_limits<double>::quiet_NaN();
    if (EstimatesTheta(report.mode)) {
        std::vector<bool> unflagged(personRows);
        for (std::size_t j = 0; j < personRows; ++j) {
            unflagged[j] = report.personRows[j].flags == 0;
        }
        report.empiricalReliability = EmpiricalReliability(
            theta, std::span<const double>(persons.seetheta.data(), personRows), unflagged);
    }
    report.rawScoreOrderInversions = -1;
    if (report.model == "1pl" && EstimatesTheta(report.mode)) {
        report.rawScoreOrderInversions = RawScoreOrderInversions(theta, rawScore, nvalid);
    }
    report.warnings = WarningsFor(report);
}

}  // namespace tarvo::report
