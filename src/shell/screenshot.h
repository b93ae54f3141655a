#pragma once

#include <QString>

namespace tarvo::shell {

// Shows the main dialog (with the sample response file chosen) and a progress
// window, and saves pictures of their client areas as PNG files, and one of
// the marginal options dialog as tarvo-marginal-options.png beside the
// dialog's. Returns 0 when all were written.
int SaveScreenshots(const QString& dialogPng, const QString& progressPng);

}  // namespace tarvo::shell
