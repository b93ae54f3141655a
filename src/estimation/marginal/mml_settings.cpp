#include "estimation/marginal/mml_settings.h"

#include "core/modes.h"

namespace tarvo {

MarginalModel DefaultMarginalModel(int mode) {
    if (!IsMode(mode) || RulesOf(mode).path != RunPath::Joint) return MarginalModel::ThreePL;
    if (RulesOf(mode).cGiven) return MarginalModel::ThreePLCGiven;
    return RulesOf(mode).onePL ? MarginalModel::OnePL : MarginalModel::ThreePL;
}

const char* ModelName(MarginalModel model) {
    switch (model) {
        case MarginalModel::ThreePL:
            return "3pl";
        case MarginalModel::ThreePLCGiven:
            return "3pl-c-given";
        case MarginalModel::TwoPL:
            return "2pl";
        case MarginalModel::OnePL:
            return "1pl";
        case MarginalModel::Rasch:
            return "rasch";
    }
    return "";
}

}  // namespace tarvo
