#include "input/front_part.h"

#include <new>

#include "core/modes.h"
#include "input/response_input.h"
#include "input/text/exist.h"
#include "input/text/item_parameter_file.h"
#include "input/text/response_file.h"

namespace tarvo {

namespace {

// What follows "cannot be read." when the reason is one the user can act on.
std::string Reason(ReadStatus status) {
    return status == ReadStatus::InUse ? " (in use by another run)" : "";
}

RunInputs StoppedWhileReading() {
    RunInputs inputs;
    inputs.stopped = true;
    return inputs;
}

// The request's texts as the layout and the input check read them: the
// format entries under their controls' identifiers, every box as it was
// given (a format box too, when no entry of its name is given).
class RequestBoxes final : public ControlTexts {
  public:
    explicit RequestBoxes(const RunRequest& request) : request_(request) {}
    std::string ControlText(int controlId) const override {
        for (const FormatEntryName& entry : kFormatEntryNames) {
            if (entry.controlId != controlId) continue;
            const std::string* text = nullptr;  // the last entry of the name wins
            for (const auto& [name, value] : request_.format.entries) {
                if (name == entry.name) text = &value;
            }
            if (text != nullptr) return *text;
        }
        const auto box = request_.boxTexts.find(controlId);
        return box == request_.boxTexts.end() ? std::string() : box->second;
    }

  private:
    const RunRequest& request_;
};

// Keeps what the front part shows; it asks nothing and shows no progress.
class CollectingHost final : public HeadlessHost {
  public:
    explicit CollectingHost(InputCheckPreview& preview) : HeadlessHost(false), preview_(preview) {}
    void ShowMessage(const std::string& text) override { preview_.messages.push_back(text); }

  private:
    InputCheckPreview& preview_;
};

}  // namespace

InputCheckPreview CheckRequestInputs(const RunRequest& request) {
    InputCheckPreview preview;
    CollectingHost host(preview);
    try {
        if (std::optional<RunInputs> inputs = ReadRunInputs(request, host)) {
            preview.findings = std::move(inputs->findings);
        }
    } catch (const std::bad_alloc&) {
        preview.messages.push_back("ERROR Not enough memory to read the input files.");
    }
    return preview;
}

std::optional<RunInputs> ReadRunInputs(const RunRequest& request, RunHost& host) {
    RunInputs inputs;
    RunSettings& settings = inputs.settings;
    settings = request.settings;
    const StopPoll stop = [&host] { return host.ProgressIsCancelled(); };

    // [response layout hook] A delimited file's columns give the item count,
    // so its layout is planned before the item parameter file is read.
    const RequestBoxes texts(request);
    const ResponsePlan plan = PlanResponseFile(texts, stop);
    if (plan.stopped) return StoppedWhileReading();
    if (const auto count = PlannedItemCount(plan)) settings.itemCount = *count;
    inputs.items = ItemTable(settings.itemCount);
    inputs.itemLinesGiven.assign(settings.itemCount, 0);
    inputs.itemFieldTexts.assign(settings.itemCount, {});

    // A missing item parameter file is reported, and the run goes on without
    // it: every item keeps an empty AccNo and zero a, b, c.
    if (!settings.itemParameterFile.empty() && !Exist(settings.itemParameterFile)) {
        host.ShowMessage("ERROR: Param file " + settings.itemParameterFile + " does not exists.");
        settings.itemParameterFile.clear();
    }
    if (!settings.itemParameterFile.empty()) {
        const ReadStatus status =
            ReadItemParameterFile(settings.itemParameterFile, settings, inputs.items,
                                  &inputs.itemLinesGiven, &inputs.itemFieldTexts, stop);
        if (status == ReadStatus::Stopped) return StoppedWhileReading();
        // One that cannot be read is treated like a missing one, whatever
        // part of it was read.
        if (status != ReadStatus::Read) {
            host.ShowMessage("ERROR: Param file " + settings.itemParameterFile +
                             " cannot be read." + Reason(status));
            settings.itemParameterFile.clear();
            inputs.items = ItemTable(settings.itemCount);
            inputs.itemLinesGiven.assign(settings.itemCount, 0);
            inputs.itemFieldTexts.assign(settings.itemCount, {});
        }
    }

    // Without responses there is nothing to estimate: the run ends here.
    if (!Exist(settings.responseFile)) {
        host.ShowMessage("ERROR Response file " + settings.responseFile + " does not exists.");
        return std::nullopt;
    }
    // [response layout hook] Fixed columns are read exactly as always;
    // delimited rows and a key file by the plan. A layout that does not fit
    // the file ends the run here, saying what to change.
    ResponseFileRead read;
    if (plan.error.empty()) {
        const bool byDigit = request.method == Method::Marginal &&
                             request.marginal.polytomous != PolytomousModel::None;
        const bool byOption = request.method == Method::Marginal &&
                              request.marginal.polytomous == PolytomousModel::Nominal;
        read = ReadPlannedResponses(plan, settings, inputs.persons, byDigit, stop, byOption);
    }
    if (read.status == ReadStatus::Stopped) return StoppedWhileReading();
    const std::string& layoutError = plan.error.empty() ? read.error : plan.error;
    if (!layoutError.empty() && read.status == ReadStatus::Read) {
        host.ShowMessage("ERROR Response file " + settings.responseFile + ": " + layoutError + ".");
        return std::nullopt;
    }
    const ReadStatus status = read.status;
    if (status != ReadStatus::Read) {
        host.ShowMessage("ERROR Response file " + settings.responseFile + " cannot be read." +
                         Reason(status));
        return std::nullopt;
    }
    inputs.itemNames = std::move(read.itemNames);

    // [input check hook] Until the run report carries them, each finding is
    // a warning the front end may show before the estimation.
    // Only the classic items-only modes read the given theta.
    const bool thetaUsed =
        request.method == Method::Classic && !RulesOf(request.mode).estimatesTheta();
    inputs.findings = CheckReadInput(texts, plan, settings, read, inputs.persons, thetaUsed);
    for (const InputFinding& finding : inputs.findings) host.ShowWarning(finding.message);
    return inputs;
}

}  // namespace tarvo
