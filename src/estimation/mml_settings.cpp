#include "estimation/mml_settings.h"

namespace tarvo {

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
