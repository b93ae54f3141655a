#include "fit/model_fit.h"

#include <cmath>

#include "fit/chi_square.h"

namespace tarvo::fit {

ModelFit DescribeModelFit(const std::optional<ModelLikelihood>& likelihood, std::size_t examinees) {
    ModelFit out;
    out.examinees = examinees;
    if (!likelihood) {
        out.note =
            "The classic estimator has no marginal likelihood (its likelihood grows with "
            "every examinee's own ability), so -2LL, AIC and BIC are not defined; use the "
            "marginal estimator to compare models.";
        return out;
    }
    if (!std::isfinite(likelihood->logLikelihood) || examinees == 0) {
        out.note = "The marginal likelihood is not finite, so -2LL, AIC and BIC are not defined.";
        return out;
    }
    out.defined = true;
    out.parameters = likelihood->parameters;
    out.minus2LogLikelihood = -2 * likelihood->logLikelihood;
    const double k = likelihood->parameters;
    out.aic = out.minus2LogLikelihood + 2 * k;
    out.bic = out.minus2LogLikelihood + k * std::log(static_cast<double>(examinees));
    return out;
}

NestedComparison CompareNested(const ModelFit& smaller, const ModelFit& larger) {
    NestedComparison out;
    if (!smaller.defined || !larger.defined) {
        out.note = "A model without a marginal likelihood cannot be compared.";
        return out;
    }
    if (smaller.examinees != larger.examinees) {
        out.note = "The models were fitted to different examinees.";
        return out;
    }
    out.df = larger.parameters - smaller.parameters;
    if (out.df < 1) {
        out.note = "The larger model has no more parameters than the smaller one.";
        return out;
    }
    out.statistic = smaller.minus2LogLikelihood - larger.minus2LogLikelihood;
    if (out.statistic < 0) {
        // The larger model contains the smaller one, so at their maxima it
        // fits at least as well: it stopped short of its maximum.
        out.note =
            "The larger model fits worse than the smaller one, so its estimation did "
            "not reach the maximum; the test is not defined.";
        out.p = kUndefined;
        return out;
    }
    out.p = ChiSquareUpperTail(out.statistic, out.df);
    return out;
}

}  // namespace tarvo::fit
