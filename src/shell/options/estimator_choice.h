#pragma once

#include <optional>
#include <string>

#include "estimation/marginal/mml_settings.h"

// The estimator a run from the dialog uses, and the marginal estimator's
// options as the options dialog shows them: texts as typed, turned into
// MarginalSettings with the same ranges and defaults as tarvo-run.
namespace tarvo::shell {

enum class EstimatorMethod { Classic, Marginal };

// The entries that take a number; names the field a message is about.
enum class OptionField {
    None,
    PriorAMean,
    PriorASd,
    PriorBMean,
    PriorBSd,
    PriorCAlpha,
    PriorCBeta,
    QuadraturePoints,
    EmCycles,
    EmTolerance,
};

struct PriorEntry {
    bool on = false;
    std::string first;   // mean, or alpha for the prior on c
    std::string second;  // SD, or beta for the prior on c
};

struct MarginalOptionsForm {
    // Nothing: the model follows the mode (mode 5: 3pl-c-given, mode 6: 1pl,
    // any other: 3pl).
    std::optional<MarginalModel> model;
    PriorEntry priorA;  // log-normal on a: mean and SD of log a
    PriorEntry priorB;  // normal on b
    PriorEntry priorC;  // beta on c: alpha and beta
    std::string quadraturePoints;
    MarginalScoring scoring = MarginalScoring::Eap;
    bool fixItems = false;
    std::string emCycles;
    std::string emTolerance;
};

// The form filled with the marginal estimator's defaults.
MarginalOptionsForm DefaultMarginalOptions();

// The model a run in this mode uses when none was chosen.
MarginalModel ModelForMode(int mode);

// The settings, or a message naming the field whose text was refused.
struct MarginalSettingsCheck {
    std::optional<MarginalSettings> settings;
    OptionField field = OptionField::None;
    std::string message;
};

MarginalSettingsCheck ToMarginalSettings(const MarginalOptionsForm& form, int mode);

// What the dialog's Method choice and its options hold between runs.
class EstimatorChoice {
  public:
    EstimatorMethod Method() const { return method_; }
    void SetMethod(EstimatorMethod method) { method_ = method; }
    const MarginalOptionsForm& Options() const { return options_; }
    void SetOptions(MarginalOptionsForm options) { options_ = std::move(options); }

    // For "Go": nothing with the classic estimator, else the marginal
    // settings for this mode (or the message that refuses them).
    std::optional<MarginalSettingsCheck> SettingsForRun(int mode) const;

  private:
    EstimatorMethod method_ = EstimatorMethod::Classic;
    MarginalOptionsForm options_ = DefaultMarginalOptions();
};

}  // namespace tarvo::shell
