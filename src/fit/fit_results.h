#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace tarvo::fit {

inline constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();

struct ItemFit {
    // S-X2 with its degrees of freedom and p, and p after the Benjamini-
    // Hochberg correction over the items that have one.
    double sx2 = kUndefined;
    int df = 0;
    double p = kUndefined;
    double pAdjusted = kUndefined;
    int sx2Groups = 0;       // rest-score groups with examinees
    int sx2JoinedCells = 0;  // cells joined into others for an expected count below 1
    std::string model;       // the item's model in a polytomous run; empty otherwise
    // Mean squares over the examinees with a mixed record.
    double infit = kUndefined, outfit = kUndefined;
    double infitT = kUndefined, outfitT = kUndefined;
    int meanSquareCount = 0;  // responses they were formed from
    // (observed - expected correct) / its standard deviation, per ability
    // group of the observed-proportion plot; NaN for a group without a
    // response to the item.
    std::vector<double> groupResidual;
    bool misfit = false;            // the misfit flag rule
    bool locallyDependent = false;  // in a pair flagged for local dependence
    std::string note;               // why a statistic is undefined; empty when all are defined
};

enum class PersonFitGap : std::uint8_t {
    None,
    NoAbility,        // the run gave no finite ability
    NoValidResponse,  // nothing answered
    AllSame,          // every valid response correct, or every one wrong: no residual to judge
    AllExtreme,       // every score its item's lowest, or every one its highest (items
                      // scored in categories): as AllSame
};

struct PersonFit {
    double lz = kUndefined;
    double infit = kUndefined, outfit = kUndefined;
    double infitT = kUndefined, outfitT = kUndefined;
    PersonFitGap gap = PersonFitGap::None;
    bool misfit = false;  // lz below -1.96
};

struct Q3Pair {
    std::uint32_t first = 0, second = 0;  // 0-based item indexes, first < second
    double q3 = 0;
};

struct LocalDependence {
    double averageQ3 = kUndefined;  // over the pairs where Q3 is defined
    double flagAbove = kUndefined;  // a pair above this is flagged: average + 0.2
    std::size_t definedPairs = 0;
    std::vector<double> matrix;   // items x items (NaN diagonal), up to 200 items; else empty
    std::vector<Q3Pair> largest;  // the 100 largest Q3, largest first
    std::vector<Q3Pair> flagged;  // every flagged pair, largest first
    std::string note;             // why there is no Q3; empty when some pair has one
};

struct ModelFit {
    bool defined = false;
    double minus2LogLikelihood = kUndefined;
    int parameters = 0;
    std::size_t examinees = 0;  // with at least one valid response: the BIC's n
    double aic = kUndefined, bic = kUndefined;
    std::string note;  // why it is not defined
    // Priors acted: the likelihood is that at the penalised maximum (the
    // posterior mode), below the likelihood's own maximum.
    bool penalised = false;
};

struct FitResults {
    std::vector<ItemFit> items;
    std::vector<PersonFit> persons;
    LocalDependence localDependence;
    ModelFit model;
    std::size_t sx2Examinees = 0;          // examinees who answered every item
    std::size_t sx2LeftOutForMissing = 0;  // examinees left out of S-X2 for a missing response
    std::size_t misfittingItems = 0;
    std::size_t misfittingPersons = 0;
    // A test of items scored in more than two categories, each item by its
    // own model: an item is judged by its S-X2 alone.
    bool itemsBySx2Only = false;
};

// A sentence for the note of an examinee whose fit is not defined.
const char* PersonFitGapText(PersonFitGap gap);

}  // namespace tarvo::fit
