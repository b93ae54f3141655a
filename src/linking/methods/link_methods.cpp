#include "linking/methods/link_methods.h"

#include <cmath>

#include "linking/methods/curve_methods.h"
#include "linking/methods/moment_methods.h"

namespace tarvo::linking {

const char* LinkMethodName(LinkMethod method) {
    switch (method) {
        case LinkMethod::MeanMean:
            return "mean/mean";
        case LinkMethod::MeanSigma:
            return "mean/sigma";
        case LinkMethod::Haebara:
            return "haebara";
        case LinkMethod::StockingLord:
            break;
    }
    return "stocking-lord";
}

bool ParseLinkMethod(std::string_view text, LinkMethod& method) {
    for (const LinkMethod candidate : kLinkMethods) {
        if (text == LinkMethodName(candidate)) {
            method = candidate;
            return true;
        }
    }
    return false;
}

void DeltaErrors(const AnchorSet& set, const Sensitivity& sensitivity, LinkConstants& constants) {
    const std::vector<double>* errors[kPairParameters] = {&set.seABase, &set.seBBase, &set.seCBase,
                                                          &set.seUBase, &set.seANew,  &set.seBNew,
                                                          &set.seCNew,  &set.seUNew};
    double varianceA = 0, varianceB = 0;
    for (std::size_t k = 0; k < set.size(); ++k) {
        for (std::size_t u = 0; u < kPairParameters; ++u) {
            const double dA = sensitivity.dA[kPairParameters * k + u];
            const double dB = sensitivity.dB[kPairParameters * k + u];
            // An unknown error (NaN) leaves unknown what depends on it.
            const double se = (*errors[u])[k];
            if (dA != 0) varianceA += dA * dA * se * se;
            if (dB != 0) varianceB += dB * dB * se * se;
        }
    }
    constants.seA = std::sqrt(varianceA);
    constants.seB = std::sqrt(varianceB);
}

LinkConstants Link(LinkMethod method, const AnchorSet& set, const LinkSettings& settings,
                   const StepWatch& watch) {
    Sensitivity sensitivity;
    LinkConstants constants;
    switch (method) {
        case LinkMethod::MeanMean:
            constants = MeanMean(set, settings.slopeFixed, sensitivity);
            break;
        case LinkMethod::MeanSigma:
            constants = MeanSigma(set, settings.slopeFixed, sensitivity);
            break;
        case LinkMethod::Haebara:
        case LinkMethod::StockingLord: {
            // Start from mean/sigma, or mean/mean where the b's do not vary.
            Sensitivity unused;
            LinkConstants start = MeanSigma(set, settings.slopeFixed, unused);
            if (!start.ok) start = MeanMean(set, settings.slopeFixed, unused);
            if (!start.ok) start = LinkConstants{};
            constants = CharacteristicCurveLink(method, set, settings, start.A, start.B,
                                                sensitivity, watch);
            break;
        }
    }
    if (constants.ok && settings.deltaErrors) DeltaErrors(set, sensitivity, constants);
    return constants;
}

}  // namespace tarvo::linking
