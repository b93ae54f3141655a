#include "shell/options/estimator_choice.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace tarvo::shell {
namespace {

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A finite number written in full, with a point for the decimals whatever
// the locale.
bool ParseNumber(std::string_view text, double& value) {
    text = Trimmed(text);
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end && std::isfinite(value);
}

bool ParseWhole(std::string_view text, int& value) {
    text = Trimmed(text);
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

std::string Shown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string Refusal(const std::string& field, const std::string& wanted, const std::string& text) {
    return field + " must be " + wanted + ", not '" + text + "'.";
}

// Fills check with the refusal; false when the text was refused.
bool TakeNumber(const std::string& text, double& value, bool (*acceptable)(double),
                OptionField field, const std::string& name, const std::string& wanted,
                MarginalSettingsCheck& check) {
    if (ParseNumber(text, value) && acceptable(value)) return true;
    check.field = field;
    check.message = Refusal(name, wanted, text);
    return false;
}

bool TakeWhole(const std::string& text, int& value, int lowest, int highest, OptionField field,
               const std::string& name, MarginalSettingsCheck& check) {
    if (ParseWhole(text, value) && value >= lowest && value <= highest) return true;
    check.field = field;
    check.message = Refusal(
        name, "a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest),
        text);
    return false;
}

bool Any(double) { return true; }
bool AboveZero(double value) { return value > 0; }
bool AtLeastOne(double value) { return value >= kSmallestBetaParameter; }

bool TakeNormalPrior(const PriorEntry& entry, NormalPrior& prior, OptionField meanField,
                     OptionField sdField, const std::string& name, MarginalSettingsCheck& check) {
    prior.on = entry.on;
    if (!entry.on) return true;  // the numbers of a prior that is off are not read
    return TakeNumber(entry.first, prior.mean, Any, meanField, name + ": the mean", "a number",
                      check) &&
           TakeNumber(entry.second, prior.sd, AboveZero, sdField, name + ": the SD",
                      "a number above 0", check);
}

}  // namespace

MarginalOptionsForm DefaultMarginalOptions() {
    const MarginalSettings defaults;
    MarginalOptionsForm form;
    form.priorA = {defaults.priorLogA.on, Shown(defaults.priorLogA.mean),
                   Shown(defaults.priorLogA.sd)};
    form.priorB = {defaults.priorB.on, Shown(defaults.priorB.mean), Shown(defaults.priorB.sd)};
    form.priorC = {defaults.priorC.on, Shown(defaults.priorC.alpha), Shown(defaults.priorC.beta)};
    form.quadraturePoints = std::to_string(defaults.quadraturePoints);
    form.scoring = defaults.scoring;
    form.fixItems = defaults.fixItems;
    form.emCycles = std::to_string(defaults.maxCycles);
    form.emTolerance = Shown(defaults.tolerance);
    return form;
}

MarginalModel ModelForMode(int mode) { return DefaultMarginalModel(mode); }

MarginalSettingsCheck ToMarginalSettings(const MarginalOptionsForm& form, int mode) {
    MarginalSettingsCheck check;
    MarginalSettings settings;
    settings.model = form.model.value_or(ModelForMode(mode));
    settings.scoring = form.scoring;
    settings.fixItems = form.fixItems;
    const bool taken =
        TakeNormalPrior(form.priorA, settings.priorLogA, OptionField::PriorAMean,
                        OptionField::PriorASd, "Prior on a", check) &&
        TakeNormalPrior(form.priorB, settings.priorB, OptionField::PriorBMean,
                        OptionField::PriorBSd, "Prior on b", check) &&
        (!form.priorC.on ||
         (TakeNumber(form.priorC.first, settings.priorC.alpha, AtLeastOne, OptionField::PriorCAlpha,
                     "Prior on c: alpha", "a number of at least 1", check) &&
          TakeNumber(form.priorC.second, settings.priorC.beta, AtLeastOne, OptionField::PriorCBeta,
                     "Prior on c: beta", "a number of at least 1", check))) &&
        TakeWhole(form.quadraturePoints, settings.quadraturePoints, kFewestQuadraturePoints,
                  kMostQuadraturePoints, OptionField::QuadraturePoints, "Quadrature points",
                  check) &&
        TakeWhole(form.emCycles, settings.maxCycles, 1, kMostEmCycles, OptionField::EmCycles,
                  "EM cycle limit", check) &&
        TakeNumber(form.emTolerance, settings.tolerance, AboveZero, OptionField::EmTolerance,
                   "EM tolerance", "a number above 0", check);
    settings.priorC.on = form.priorC.on;
    if (taken) check.settings = settings;
    return check;
}

std::optional<MarginalSettingsCheck> EstimatorChoice::SettingsForRun(int mode) const {
    if (method_ == EstimatorMethod::Classic) return std::nullopt;
    return ToMarginalSettings(options_, mode);
}

}  // namespace tarvo::shell
