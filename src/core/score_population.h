#pragma once

// The population a summed-score table is formed for when no estimator gives
// one: a normal distribution over points equally spaced from mean - range sd
// to mean + range sd.
namespace tarvo {

struct ScorePopulation {
    int points = 61;
    double range = 6;
    double mean = 0;
    double sd = 1;
};

}  // namespace tarvo
