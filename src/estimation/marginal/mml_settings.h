#pragma once

#include <string>

namespace tarvo {

// The item response models of the marginal estimator, all on the logistic
// metric with D = 1.7.
enum class MarginalModel {
    ThreePL,        // a, b, c per item
    ThreePLCGiven,  // a, b per item; c as the item parameter file gives it
    TwoPL,          // a, b per item; c = 0
    OnePL,          // b per item; a = 1, c = 0
    Rasch,          // b per item and one slope common to all items; c = 0
};

// A prior that may be switched off.
struct NormalPrior {  // on b, or on log a for the log-normal prior on a
    bool on = false;
    double mean = 0;
    double sd = 1;
};
struct BetaPrior {  // on c
    bool on = false;
    double alpha = 5;
    double beta = 17;
};

enum class MarginalScoring { Eap, Map, Ml };

// What the front ends accept for the settings that have limits: the
// quadrature needs enough points to resolve a posterior, and more than a
// thousand only costs time; the cycle limit only guards against a run
// that never ends. Prior SDs and tolerances must be above 0, beta
// parameters at least 1 (a beta prior below 1 has no mode).
inline constexpr int kFewestQuadraturePoints = 5;
inline constexpr int kMostQuadraturePoints = 1001;
inline constexpr int kMostEmCycles = 100000;
inline constexpr double kSmallestBetaParameter = 1;

// Everything the marginal (Bock-Aitkin EM) estimator is told.
struct MarginalSettings {
    MarginalModel model = MarginalModel::ThreePL;
    // Log-normal on a (on log a), normal on b, beta on c. The defaults
    // follow the usual 3PL programs: a and c on, b off. The c prior only
    // acts where c is estimated.
    NormalPrior priorLogA{true, 0, 0.5};
    NormalPrior priorB{false, 0, 2};
    BetaPrior priorC{true, 5, 17};
    int quadraturePoints = 61;
    double quadratureRange = 6;  // points from -range to +range
    int maxCycles = 500;
    double tolerance = 1e-4;               // largest parameter change between cycles
    double logLikelihoodTolerance = 1e-3;  // and change of the marginal log-likelihood
    MarginalScoring scoring = MarginalScoring::Eap;
    // Items read from the item parameter file keep their values.
    bool fixItems = false;
    // Estimate the ability distribution's mean and SD (only meaningful with
    // fixed items, which set the scale).
    bool estimatePopulation = false;
};

// "3pl", "3pl-c-given", "2pl", "1pl" or "rasch".
const char* ModelName(MarginalModel model);

// The model a run takes when none is chosen: the model of the joint mode
// chosen (3: 3PL, 5: c given, 6: 1PL); any other mode: the 3PL.
MarginalModel DefaultMarginalModel(int mode);

}  // namespace tarvo
