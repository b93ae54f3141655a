#pragma once

#include <optional>
#include <string>

#include "core/run_request.h"
#include "request/request_texts.h"

namespace tarvo::request {

// The setting a refusal is about, so that the dialog can take the user there.
enum class RequestField {
    None,
    Mode,
    Method,
    Model,
    PriorAMean,
    PriorASd,
    PriorBMean,
    PriorBSd,
    PriorCAlpha,
    PriorCBeta,
    PolytomousPriorAMean,
    PolytomousPriorASd,
    PolytomousPriorBMean,
    PolytomousPriorBSd,
    Quadrature,
    Scoring,
    StandardErrors,
    EmCycles,
    EmTolerance,
    Compare,
    ItemModels,
    ScoringOnly,
    EstimatePopulation,
    Standardize,
    Threads,
    HtmlExaminees,
    ScorePopulation,
    PriorUAlpha,
    PriorUBeta,
    Dif,
    Groups,
};

struct RequestCheck {
    std::optional<RunRequest> request;  // nothing when a text was refused
    RequestField field = RequestField::None;
    std::string message;  // the refusal, one sentence
};

// The one parser of a run's settings, for both front ends. The files and
// columns become values by the dialog's text rules (which refuse nothing);
// every other text is checked by the one range checker, the first refusal
// ending the check. A text not given takes its default: mode 2, the
// classic method, the model of the mode, the model's own priors, and the
// marginal estimator's numbers.
RequestCheck ParseRequest(const RequestTexts& texts);

}  // namespace tarvo::request
