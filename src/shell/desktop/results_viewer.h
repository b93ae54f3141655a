#pragma once

#include <string>

namespace tarvo {
struct RunReport;
}

// Shows the result of a run that finished or was stopped. The desktop
// program opens its results window; without a viewer the shell hands the
// result file to the desktop's default application.
namespace tarvo::shell {

class ResultsViewer {
  public:
    virtual ~ResultsViewer() = default;
    virtual void ShowResults(const std::string& resultFile, const RunReport& report) = 0;
};

}  // namespace tarvo::shell
