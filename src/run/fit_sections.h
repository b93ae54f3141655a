#pragma once

#include <string>
#include <vector>

#include "core/run_tables.h"
#include "fit/fit_results.h"
#include "report/run_report.h"

namespace tarvo {

// The worst rows the summary's warnings name.
inline constexpr std::size_t kWorstNamed = 5;

// The fit statistics as the report's sections: "fit" (what the statistics
// were formed on and the counts flagged, with each item's and examinee's
// "fit" and "fit_note" members and their misfit and local dependence flags),
// "local_dependence" (Yen's Q3) and "model_fit" (-2LL, AIC and BIC, or why
// they are not defined), with the summary's lines and warnings that say what
// to do. gridText names the ability distribution S-X2 integrated over.
std::vector<ReportSection> FitSections(const fit::FitResults& fit, const ItemTable& items,
                                       const PersonTable& persons, const std::string& gridText);

// The section that stands for the fit when it could not be formed: a
// warning that says why.
ReportSection FitFailedSection(const std::string& why);

}  // namespace tarvo
