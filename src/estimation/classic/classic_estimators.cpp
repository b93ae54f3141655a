#include "estimation/classic/classic_estimators.h"

#include "core/modes.h"
#include "estimation/classic/classic_paths.h"

namespace tarvo {

namespace {

// One estimator per path; each writes the layout of its own mode.
class ClassicEstimator : public Estimator {
  public:
    explicit ClassicEstimator(const RunRequest& request)
        : mode_(request.mode), standardize_(request.standardize) {}
    int LayoutMode() const override { return mode_; }

  protected:
    const int mode_;
    const std::optional<bool> standardize_;
};

class ThetaOnlyEstimator final : public ClassicEstimator {
  public:
    using ClassicEstimator::ClassicEstimator;
    EstimationOutcome Estimate(RunInputs& inputs, RunHost& host, ResultWriter& writer,
                               const Engine& engine) override {
        return RunThetaOnly(mode_, inputs.items, inputs.persons, host, writer, engine);
    }
};

class ItemsOnlyEstimator final : public ClassicEstimator {
  public:
    using ClassicEstimator::ClassicEstimator;
    EstimationOutcome Estimate(RunInputs& inputs, RunHost& host, ResultWriter& writer,
                               const Engine& engine) override {
        return RunItemsOnly(mode_, inputs.items, inputs.persons, host, writer, engine);
    }
};

class JointEstimator final : public ClassicEstimator {
  public:
    using ClassicEstimator::ClassicEstimator;
    EstimationOutcome Estimate(RunInputs& inputs, RunHost& host, ResultWriter& writer,
                               const Engine& engine) override {
        return RunJoint(mode_, standardize_, inputs.items, inputs.persons, host, writer, engine);
    }
};

}  // namespace

std::unique_ptr<Estimator> MakeClassicEstimator(const RunRequest& request) {
    switch (RulesOf(request.mode).path) {
        case RunPath::ThetaOnly:
            return std::make_unique<ThetaOnlyEstimator>(request);
        case RunPath::ItemsOnly:
            return std::make_unique<ItemsOnlyEstimator>(request);
        case RunPath::Joint:
            break;
    }
    return std::make_unique<JointEstimator>(request);
}

}  // namespace tarvo
