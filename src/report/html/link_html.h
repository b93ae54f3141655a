#pragma once

#include <string>

// A link of two forms as one printable HTML page, from the link's JSON
// report: the constants of every method, the drift screen, both forms'
// test curves on the base scale, the true-score equating and the new form's
// score table; every number in a table is the JSON's (each cell keeps its
// JSON text, as in the run's HTML report). The JSON of a score table alone
// (tarvo-run --items) gives the page of its table and curves.
namespace tarvo::report {

// Empty when json is not a JSON object.
std::string LinkHtmlReport(const std::string& json);

}  // namespace tarvo::report
