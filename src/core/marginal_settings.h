#pragma once

#include "core/marginal_models.h"
#include "core/polytomous_models.h"

namespace tarvo {

// A prior that may be switched off: normal on b, or on log a for the
// log-normal prior on a.
struct NormalPrior {
    bool on = false;
    double mean = 0;
    double sd = 1;
};
// A beta prior on c.
struct BetaPrior {
    bool on = false;
    double alpha = 5;
    double beta = 17;
};

enum class MarginalScoring { Eap, Map, Ml };

// How the items' standard errors are formed: from the observed information
// (Louis' formula), from the sum of the examinees' gradients' cross-products
// (cheaper, an approximation), or not at all.
enum class StandardErrorMethod { Louis, CrossProduct, None };

// Everything the marginal (Bock-Aitkin EM) estimator is told. The
// defaults are the 3PL's; SettingsFor gives any model's.
struct MarginalSettings {
    MarginalModel model = MarginalModel::ThreePL;
    // Log-normal on a (on log a), normal on b, beta on c, with the usual 3PL
    // programs' numbers. Each acts only where the model table says it can.
    NormalPrior priorLogA{true, 0, 0.5};
    NormalPrior priorB{false, 0, 2};
    BetaPrior priorC{true, 5, 17};
    BetaPrior priorU{true, 17, 5};  // the upper asymptote's, mirroring c's
    int quadraturePoints = 61;
    double quadratureRange = 6;  // points from -range to +range
    int maxCycles = 500;
    double tolerance = 1e-4;               // largest parameter change between cycles
    double logLikelihoodTolerance = 1e-3;  // and change of the marginal log-likelihood
    // Squared extrapolation of the EM steps (fewer cycles to the same
    // maximum); plain EM without.
    bool accelerate = true;
    MarginalScoring scoring = MarginalScoring::Eap;
    StandardErrorMethod standardErrors = StandardErrorMethod::Louis;
    // Items read from the item parameter file keep their values.
    bool fixItems = false;
    // Every item held (with fixItems): only the examinees' scores are formed.
    bool scoringOnly = false;
    // Estimate the ability distribution's mean and SD (only with held
    // items, which set the scale).
    bool estimatePopulation = false;
    // Calibrate the groups of the request's group field together: one set
    // of items, each group its own population (the reference's N(0, 1)).
    bool groups = false;
    // Items scored 0..8 by their digit take this model, the right/wrong
    // items of the same test the model above; None: every item right/wrong.
    PolytomousModel polytomous = PolytomousModel::None;
    // An unused category below an item's highest is merged away instead of
    // ending the run.
    bool collapseEmpty = false;
    // The priors of the polytomous items, off unless asked for: log-normal
    // on the size of each item's own slope (a reverse-keyed item keeps its
    // sign), normal on every threshold.
    NormalPrior polytomousLogA{false, 0, 0.5};
    NormalPrior polytomousB{false, 0, 2};
};

// The settings of a model with the priors it has unless told otherwise.
constexpr MarginalSettings SettingsFor(MarginalModel model) {
    MarginalSettings settings;
    settings.model = model;
    settings.priorLogA.on = RulesOf(model).defaultPriorOnA;
    settings.priorC.on = RulesOf(model).defaultPriorOnC;
    settings.priorU.on = RulesOf(model).defaultPriorOnU;
    return settings;
}

// The priors that act in a run: those switched on that the model allows.
struct Priors {
    NormalPrior logA;
    NormalPrior b;
    BetaPrior c;
    NormalPrior polytomousLogA;
    NormalPrior polytomousB;
    BetaPrior u;
};
// Whether a run is fitted by the engine of the item model table: items
// scored 0..m, a right/wrong model only that engine fits, or groups
// calibrated together.
constexpr bool FitsByModelTable(const MarginalSettings& settings) {
    return settings.polytomous != PolytomousModel::None || RulesOf(settings.model).modelTable ||
           settings.groups;
}

constexpr Priors PriorsFor(const MarginalSettings& settings) {
    const MarginalModelRules& rules = RulesOf(settings.model);
    Priors priors;
    if (rules.priorOnA) priors.logA = settings.priorLogA;
    if (rules.priorOnB) priors.b = settings.priorB;
    if (rules.priorOnC) priors.c = settings.priorC;
    priors.logA.on = priors.logA.on && rules.priorOnA;
    priors.b.on = priors.b.on && rules.priorOnB;
    priors.c.on = priors.c.on && rules.priorOnC;
    if (rules.priorOnU) priors.u = settings.priorU;
    priors.u.on = priors.u.on && rules.priorOnU;
    priors.polytomousLogA = settings.polytomousLogA;
    priors.polytomousB = settings.polytomousB;
    return priors;
}

}  // namespace tarvo
