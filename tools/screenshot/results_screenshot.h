#pragma once

#include <QString>

// Pictures of the results window for the documentation: a mode 3 run of the
// sample response file from the dialog, then one picture of every tab and
// of every plot, saved as tarvo-results-<tab>.png in the folder.
namespace tarvo::shell {

// 0 when every picture was saved.
int SaveResultsScreenshots(const QString& sampleResponses, const QString& folder);

}  // namespace tarvo::shell
