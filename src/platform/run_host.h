#pragma once

#include <string>
#include <vector>

namespace tarvo {

// Everything a calibration run needs from its front end once it has its
// request. The desktop dialog, the command-line runner and the tests each
// provide one; the run never talks to a window, a terminal or the desktop in
// any other way.
class RunHost {
  public:
    virtual ~RunHost() = default;

    // A message the user must acknowledge (an OK box, or a line on stderr).
    virtual void ShowMessage(const std::string& text) = 0;

    // A warning about the inputs that does not stop the run: a finding of the
    // input check, shown before the estimation. A front end that shows the
    // findings elsewhere ignores it.
    virtual void ShowWarning(const std::string& text) { (void)text; }

    // The input check's serious findings (mistakes that make the results
    // wrong for most of the data), asked once before the estimation: true
    // runs on, false ends the run at the check. A front end without a user
    // to ask runs on (the runner's --strict ends the run instead).
    virtual bool RunDespiteFindings(const std::vector<std::string>& findings) {
        (void)findings;
        return true;
    }

    // A Yes/No question whose default answer is Yes; true means Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& title) = 0;

    // The progress window: opened once per run, updated, polled, shut.
    // ProgressSet clamps percent to 0..100 and takes one breathing step;
    // ProgressIsCancelled takes one breathing step, then reports whether the
    // user asked to stop (a request, once made, stays).
    virtual void ProgressInit(const std::string& caption) = 0;
    virtual void ProgressSet(int percent, const std::string& text) = 0;
    virtual bool ProgressIsCancelled() = 0;
    virtual void ProgressShutdown() = 0;

    // Lets the user interface handle what is waiting (the driver's own
    // breathing step between examinees or items).
    virtual void Breathe() = 0;

    // Says how far a run stopped by the user got ("the result holds ..."),
    // called once after the progress window is shut, for every estimator. A
    // front end that must tell a partial result from a whole one (the
    // runner) reports it; the desktop needs nothing more than the file.
    virtual void RunStopped(const std::string& whatTheResultHolds) { (void)whatTheResultHolds; }

    // Opens the finished result in the desktop's viewer, without waiting and
    // without reporting a failure.
    virtual void ViewResult(const std::string& outputFile) = 0;
};

// A front end without a window or a viewer: no progress, never a Stop, the
// question answered as given; what becomes of the messages is the deriving
// class's.
class HeadlessHost : public RunHost {
  public:
    explicit HeadlessHost(bool answer) : answer_(answer) {}
    bool AskYesNo(const std::string&, const std::string&) override { return answer_; }
    void ProgressInit(const std::string&) override {}
    void ProgressSet(int, const std::string&) override {}
    bool ProgressIsCancelled() override { return false; }
    void ProgressShutdown() override {}
    void Breathe() override {}
    void ViewResult(const std::string&) override {}

  private:
    bool answer_;
};

}  // namespace tarvo
