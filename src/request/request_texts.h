#pragma once

// The texts of a run's settings as a front end holds them, before they
// become values: the dialog's boxes by control identifier, and every other
// setting as the runner's option (or the dialog's own control) gives it.
// A text that is not there was not given and takes its default; an empty
// text was given and is checked like any other.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarvo::request {

using Text = std::optional<std::string>;

// A prior: on with its two numbers (mean and SD, or alpha and beta), off
// ("none"), or, when the state is not given, as the model has it.
struct PriorTexts {
    Text state;  // "on" or "none"; not given: as the model
    Text first, second;
};

struct RequestTexts {
    std::map<int, std::string> controls;  // files and columns, by control identifier
    Text mode;
    Text method;
    // The marginal estimator's.
    Text model;
    Text binaryModel;
    Text itemModels;  // the item-models file
    PriorTexts priorA, priorB, priorC, priorU;
    PriorTexts polytomousPriorA, polytomousPriorB;
    Text quadrature;
    Text scoring;
    Text standardErrors;  // louis, crossproduct or none
    Text emCycles;
    Text emTolerance;
    Text compare;  // the models to compare, by name, separated by commas
    bool fixItems = false;
    bool scoringOnly = false;
    bool estimatePopulation = false;
    bool groups = false;  // calibrate the group field's groups together
    bool collapseEmpty = false;
    // The runner's.
    Text standardize;
    Text threads;
    Text report;
    Text htmlReport;
    Text htmlExaminees;
    Text scoreTable;
    Text dif;              // the DIF screens, by key, separated by commas
    Text difMatch;         // total or rest
    Text anchors;          // the IRT DIF screen's anchor items, by commas
    Text freeItems;        // items free across the groups, by commas
    bool freeDif = false;  // free the items the DIF screens flag
    bool strict = false;
    // The examinees' group field as a delimited file's column (its fixed
    // columns are boxes); the reference group and the focal groups (labels,
    // by commas).
    Text groupColumn, referenceGroup, focalGroups;
    // The classic estimator's score table population.
    Text populationMean, populationSd, populationPoints, populationRange;
    std::vector<std::pair<std::string, std::string>> format;

    bool AnyPopulationText() const {
        return populationMean || populationSd || populationPoints || populationRange;
    }

    // Whether any of the marginal estimator's own settings was given.
    bool AnyMarginalText() const {
        return model || binaryModel || itemModels || collapseEmpty || priorA.state ||
               priorB.state || priorC.state || priorU.state || polytomousPriorA.state ||
               polytomousPriorB.state || quadrature || scoring || standardErrors || emCycles ||
               emTolerance || compare || fixItems || scoringOnly || estimatePopulation || groups;
    }
};

}  // namespace tarvo::request
