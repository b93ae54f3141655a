#pragma once

#include <string>

#include "linking/link_session.h"

// The JSON reports of a link and of a score table. Numbers that are not
// defined (an error the inputs do not give, an ML ability that does not
// exist) are null.
namespace tarvo::linking {

// linking: [{method, A, B, se_A, se_B}] (after any relink), the errors'
// source, the drift screen's findings and what was dropped, the constants
// before the relink, both forms' test curves on the base scale, the
// equating and the new form's score table.
std::string LinkReportJson(const LinkRequest& request, const LinkOutcome& outcome);

// score_table and curves of one form, and the population the table was
// formed for when given.
std::string ScoreReportJson(const std::vector<ScoreRow>& table, const TestCurves& curves,
                            const PopulationSettings* population = nullptr);

}  // namespace tarvo::linking
