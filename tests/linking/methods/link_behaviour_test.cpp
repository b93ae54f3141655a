// Behaviour that a changed sign, bound or divisor in the linking methods
// would break without another test noticing: each case is a sentence of
// inputs and the value they must give.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "linking/forms/common_items.h"
#include "linking/forms/transform.h"
#include "linking/methods/bootstrap.h"
#include "linking/methods/drift.h"
#include "linking/reference_forms.h"

namespace tarvo::linking {
namespace {

constexpr double kA = 1.25, kB = -0.4;

// n common items on an exact line theta_base = 1.25 theta_new - 0.4, their
// b spread from -2 to 2, every error 0.05.
AnchorSet ExactAnchors(std::size_t n) {
    AnchorSet set;
    for (std::size_t k = 0; k < n; ++k) {
        const double b = -2 + 4 * static_cast<double>(k) / static_cast<double>(n - 1);
        const double a = 0.8 + 0.1 * static_cast<double>(k % 5);
        set.baseId.push_back("B" + std::to_string(k + 1));
        set.newId.push_back("N" + std::to_string(k + 1));
        set.aBase.push_back(a);
        set.bBase.push_back(b);
        set.cBase.push_back(0);
        set.aNew.push_back(kA * a);
        set.bNew.push_back((b - kB) / kA);
        set.cNew.push_back(0);
        for (auto* se : {&set.seABase, &set.seANew, &set.seBBase, &set.seBNew}) se->push_back(0.05);
        for (auto* se : {&set.seCBase, &set.seCNew, &set.seUBase, &set.seUNew}) se->push_back(0);
        for (auto* u : {&set.uBase, &set.uNew}) u->push_back(1);
    }
    return set;
}

LinkConstants Exact(double A = 1, double B = 0) {
    LinkConstants constants;
    constants.ok = true;
    constants.A = A;
    constants.B = B;
    return constants;
}

// Common items whose b on the new form, carried over, differs from the
// base form's by the given amounts (A = 1, B = 0).
AnchorSet WithDifferences(const std::vector<double>& differences) {
    AnchorSet set = ExactAnchors(differences.size());
    for (std::size_t k = 0; k < set.size(); ++k) set.bNew[k] = set.bBase[k] + differences[k];
    return set;
}

TEST(DriftScreen, FlagsAnItemThatDriftedDownward) {
    // Item 3 of 12 made easier on the new form by 0.9 on the base scale.
    AnchorSet set = ExactAnchors(12);
    const double moved[] = {0.03, -0.02, 0, 0.01, -0.03, 0.02, -0.01, 0.03, 0.0, -0.02, 0.01, 0};
    for (std::size_t k = 0; k < set.size(); ++k) set.bNew[k] += moved[k] / kA;
    set.bNew[2] -= 0.9 / kA;
    const DriftScreen screen = ScreenDrift(set, Exact(kA, kB));
    ASSERT_TRUE(screen.screened) << screen.note;
    EXPECT_TRUE(screen.items[2].drifting);
    EXPECT_LT(screen.items[2].z, -2.7);
    EXPECT_EQ(screen.DriftingCount(), 1u);
}

TEST(DriftScreen, TakesTheMedianAndRobustSdOfTheDifferences) {
    // {0, 1, 2, 3, 4}: median 2, quartiles 1 and 3, robust SD 0.74 x 2.
    const DriftScreen screen = ScreenDrift(WithDifferences({3, 0, 4, 1, 2}), Exact());
    ASSERT_TRUE(screen.screened);
    EXPECT_DOUBLE_EQ(screen.median, 2);
    EXPECT_DOUBLE_EQ(screen.robustSd, 1.48);
    EXPECT_DOUBLE_EQ(screen.items[2].z, 2 / 1.48);
    EXPECT_DOUBLE_EQ(screen.items[1].z, -2 / 1.48);
}

TEST(DriftScreen, ScreensFourCommonItemsWithSpreadAndNotThree) {
    EXPECT_TRUE(ScreenDrift(WithDifferences({0.1, -0.2, 0.3, 0}), Exact()).screened);
    const DriftScreen three = ScreenDrift(WithDifferences({0.1, -0.2, 0.3}), Exact());
    EXPECT_FALSE(three.screened);
    EXPECT_EQ(three.note, "fewer than 4 common items");
}

// The bootstrap's documented draws: splitmix64 from the seed, each pick
// floor(u n) of a uniform u from the top 53 bits.
std::vector<std::size_t> Picks(std::uint64_t& state, std::size_t n) {
    std::vector<std::size_t> picks(n);
    for (std::size_t& pick : picks) {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        pick = static_cast<std::size_t>(static_cast<double>(z >> 11) * 0x1.0p-53 *
                                        static_cast<double>(n));
    }
    return picks;
}

TEST(Bootstrap, ErrorIsTheSampleSdOfItsReplicatesFromItsSeed) {
    // Ten exact anchors and one off the line: the replicates differ, so
    // the error is above 0, and it is the n - 1 SD of the replicates' A.
    AnchorSet set = ExactAnchors(10);
    set.baseId.push_back("OFF");
    set.newId.push_back("OFF");
    for (auto* column : {&set.aBase, &set.aNew}) column->push_back(1.0);
    set.bBase.push_back(0.5);
    set.bNew.push_back(1.4);
    for (auto* column :
         {&set.cBase, &set.cNew, &set.seCBase, &set.seCNew, &set.seUBase, &set.seUNew})
        column->push_back(0);
    for (auto* column : {&set.uBase, &set.uNew}) column->push_back(1);
    for (auto* column : {&set.seABase, &set.seANew, &set.seBBase, &set.seBNew})
        column->push_back(0.05);
    LinkSettings settings;
    settings.deltaErrors = false;
    const int replicates = 60;
    const std::uint64_t seed = 5;
    const BootstrapErrors errors =
        Bootstrap(LinkMethod::MeanSigma, set, settings, replicates, seed);
    ASSERT_EQ(errors.replicates, replicates);

    std::uint64_t state = seed;
    std::vector<double> as, bs;
    AnchorSet resample;
    for (int r = 0; r < replicates; ++r) {
        PickAnchors(set, Picks(state, set.size()), resample);
        const LinkConstants k = Link(LinkMethod::MeanSigma, resample, settings);
        ASSERT_TRUE(k.ok);
        as.push_back(k.A);
        bs.push_back(k.B);
    }
    const auto sampleSd = [](const std::vector<double>& values) {
        double mean = 0;
        for (const double v : values) mean += v / static_cast<double>(values.size());
        double squares = 0;
        for (const double v : values) squares += (v - mean) * (v - mean);
        return std::sqrt(squares / static_cast<double>(values.size() - 1));
    };
    EXPECT_GT(errors.seA, 0);
    EXPECT_NEAR(errors.seA, sampleSd(as), 1e-9 * sampleSd(as));
    EXPECT_NEAR(errors.seB, sampleSd(bs), 1e-9 * sampleSd(bs));
}

TEST(TransformItems, MovesEachErrorByTheSlope) {
    // seB 0.2 and seA 0.3 at A = 2: 0.4 and 0.15; seC as it was.
    ItemForm form = test::ReferenceNew();
    form.seA[0] = 0.3;
    form.seB[0] = 0.2;
    form.seC[0] = 0.04;
    const ItemForm moved = TransformItems(form, 2, 0.5);
    EXPECT_DOUBLE_EQ(moved.seB[0], 0.4);
    EXPECT_DOUBLE_EQ(moved.seA[0], 0.15);
    EXPECT_DOUBLE_EQ(moved.seC[0], 0.04);
}

TEST(TransformAbilities, KeepsTheCapAndTheNotEstimatedMark) {
    // At A = 2: an SE of 0.3 becomes 0.6; 99 (the cap) and -1 stay.
    std::vector<double> theta{0.5, 1, -1}, se{0.3, 99, -1};
    TransformAbilities(theta, se, 2, 0.5);
    EXPECT_EQ(theta, (std::vector<double>{1.5, 2.5, -1.5}));
    EXPECT_EQ(se, (std::vector<double>{0.6, 99, -1}));
}

TEST(CommonItems, AnchorPairsRepeatingANewItemAreRefused) {
    // ITEM01 and ITEM02 of the base form both paired with the new ITEM03.
    const ItemForm base = test::ReferenceBase(), fresh = test::ReferenceNew();
    const MatchResult match =
        MatchByPairs(base, fresh, {{"ITEM01", "ITEM03"}, {"ITEM02", "ITEM03"}});
    EXPECT_FALSE(match.common);
    EXPECT_EQ(match.error, "the anchor pair ITEM02 ITEM03 repeats an item");
}

}  // namespace
}  // namespace tarvo::linking
