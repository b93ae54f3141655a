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
    // The report is the viewer's to keep: a large run's is moved, not copied.
    virtual void ShowResults(const std::string& resultFile, RunReport report) = 0;
    // The dialog ends while the last results shown are open (it was closed
    // during the run that opened them): their window keeps the program
    // running until it is closed.
    virtual void KeepProgramOpen() {}
};

}  // namespace tarvo::shell
