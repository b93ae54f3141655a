#include "estimation/classic/classic_estimators.h"

#include "core/modes.h"
#include "estimation/classic/classic_paths.h"

namespace tarvo {

namespace {

// The classic estimator in the path of its mode's rules; it writes the
// layout of its own mode.
class ClassicEstimator final : public Estimator {
  public:
    explicit ClassicEstimator(const RunRequest& request)
        : mode_(request.mode), standardize_(request.standardize) {}
    int LayoutMode() const override { return mode_; }

    EstimationOutcome Estimate(RunInputs& inputs, RunHost& host, ResultWriter& writer,
                               const Engine& engine) override {
        switch (RulesOf(mode_).path) {
            case RunPath::ThetaOnly:
                return RunThetaOnly(mode_, inputs.items, inputs.persons, host, writer, engine);
            case RunPath::ItemsOnly:
                return RunItemsOnly(mode_, inputs.items, inputs.persons, host, writer, engine);
            case RunPath::Joint:
                break;
        }
        return RunJoint(mode_, standardize_, inputs.items, inputs.persons, host, writer, engine);
    }

  private:
    const int mode_;
    const std::optional<bool> standardize_;
};

}  // namespace

std::unique_ptr<Estimator> MakeClassicEstimator(const RunRequest& request) {
    return std::make_unique<ClassicEstimator>(request);
}

}  // namespace tarvo
