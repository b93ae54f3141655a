#include "input/front_part.h"

#include <algorithm>
#include <charconv>
#include <new>

#include "core/modes.h"
#include "input/check/group_check.h"
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

std::string ShortestNumberText(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
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

// Items given by value, as the item parameter file's lines would give them:
// each value's text the shortest that reads back as it ("nan" for a value
// that is not a number, which the checks of held items then refuse), and
// every field read.
void TakeGivenItems(const ItemValues& given, RunInputs& inputs) {
    RunSettings& settings = inputs.settings;
    if (settings.itemParameterFile.empty()) settings.itemParameterFile = "items";
    settings.itemIdField = {1, 1};
    settings.aField = {1, 1};
    settings.bField = {1, 1};
    settings.cField = {1, 1};
    ItemTable& items = inputs.items;
    const std::size_t count =
        std::min({items.itemCount(), given.a.size(), given.b.size(), given.c.size()});
    for (std::size_t i = 0; i < count; ++i) {
        if (i < given.ids.size()) items.AccNo[i] = given.ids[i];
        items.a[i] = given.a[i];
        items.b[i] = given.b[i];
        items.c[i] = given.c[i];
        inputs.itemLinesGiven[i] = 1;
        inputs.itemFieldTexts[i] = {ShortestNumberText(given.a[i]), ShortestNumberText(given.b[i]),
                                    ShortestNumberText(given.c[i])};
    }
}

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

std::optional<RunInputs> ReadRunInputs(const RunRequest& request, RunHost& host, bool keepOptions) {
    RunInputs inputs;
    RunSettings& settings = inputs.settings;
    settings = request.settings;
    const StopPoll stop = [&host] { return host.ProgressIsCancelled(); };

    // [response layout hook] A delimited file's columns give the item count,
    // so its layout is planned before the item parameter file is read.
    const RequestBoxes texts(request);
    const ResponseMatrix* matrix = request.responses;
    const ResponsePlan plan =
        matrix ? MatrixPlan(*matrix, texts) : PlanResponseFile(texts, stop, request.groups);
    if (plan.stopped) return StoppedWhileReading();
    if (const auto count = PlannedItemCount(plan)) settings.itemCount = *count;
    inputs.items = ItemTable(settings.itemCount);
    inputs.itemLinesGiven.assign(settings.itemCount, 0);
    inputs.itemFieldTexts.assign(settings.itemCount, {});

    if (request.givenItems != nullptr) {
        TakeGivenItems(*request.givenItems, inputs);
    } else if (!settings.itemParameterFile.empty() && !Exist(settings.itemParameterFile)) {
        // A missing item parameter file is reported, and the run goes on
        // without it: every item keeps an empty AccNo and zero a, b, c.
        host.ShowMessage("ERROR: Param file " + settings.itemParameterFile + " does not exists.");
        settings.itemParameterFile.clear();
    }
    if (request.givenItems == nullptr && !settings.itemParameterFile.empty()) {
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

    const bool byDigit = request.method == Method::Marginal && FitsByModelTable(request.marginal);
    // Without responses there is nothing to estimate: the run ends here.
    if (matrix == nullptr && !Exist(settings.responseFile)) {
        host.ShowMessage("ERROR Response file " + settings.responseFile + " does not exists.");
        return std::nullopt;
    }
    // [response layout hook] Fixed columns are read exactly as always;
    // delimited rows and a key file by the plan. A layout that does not fit
    // the file ends the run here, saying what to change.
    ResponseFileRead read;
    const bool byOption = request.method == Method::Marginal &&
                          request.marginal.polytomous == PolytomousModel::Nominal;
    if (matrix != nullptr) {
        read = ReadMatrixResponses(*matrix, plan, settings, inputs.persons, byDigit, stop,
                                   keepOptions, byOption);
    } else if (plan.error.empty()) {
        read = ReadPlannedResponses(plan, settings, inputs.persons, byDigit, stop, keepOptions,
                                    byOption);
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
    // The groups named by label can only be checked against the file's.
    if (const std::string refusal = GroupLabelsRefusal(request.groups, inputs.persons);
        !refusal.empty()) {
        host.ShowMessage("ERROR Response file " + settings.responseFile + ": " + refusal + ".");
        return std::nullopt;
    }

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
