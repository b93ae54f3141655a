// The drift screen on simulated forms with planted drifting items, the
// relink without them, the bootstrap's errors, and a small recovery study:
// new forms made from known constants with noise like a calibration's.
#include "linking/methods/drift.h"

#include <gtest/gtest.h>

#include <cmath>

#include "linking/link_session.h"
#include "linking/methods/bootstrap.h"
#include "linking/reference_forms.h"
#include "simulator.h"

namespace tarvo::linking {
namespace {

constexpr double kTrueA = 1.25, kTrueB = -0.4;

// 20 common items drawn by the simulator; the new form holds them on a
// scale where theta_base = 1.25 theta_new - 0.4, each parameter disturbed
// as an estimate from about 2,000 examinees would be.
AnchorSet SimulatedAnchors(std::uint64_t seed, double noiseOfB = 0.08) {
    sim::Random random(seed);
    const auto items = sim::DrawItems(random, 20, sim::ItemModel::ThreePL);
    AnchorSet set;
    for (std::size_t k = 0; k < items.size(); ++k) {
        set.baseId.push_back("B" + std::to_string(k + 1));
        set.newId.push_back("N" + std::to_string(k + 1));
        set.aBase.push_back(items[k].a * std::exp(0.08 * random.Normal()));
        set.bBase.push_back(items[k].b + noiseOfB * random.Normal());
        set.cBase.push_back(std::fmax(0.0, items[k].c + 0.02 * random.Normal()));
        set.aNew.push_back(kTrueA * items[k].a * std::exp(0.08 * random.Normal()));
        set.bNew.push_back((items[k].b - kTrueB) / kTrueA + noiseOfB * random.Normal());
        set.cNew.push_back(std::fmax(0.0, items[k].c + 0.02 * random.Normal()));
        for (auto* se : {&set.seABase, &set.seANew}) se->push_back(0.08);
        for (auto* se : {&set.seBBase, &set.seBNew}) se->push_back(0.08);
        for (auto* se : {&set.seCBase, &set.seCNew}) se->push_back(0.02);
        for (auto* se : {&set.seUBase, &set.seUNew}) se->push_back(0);
        for (auto* u : {&set.uBase, &set.uNew}) u->push_back(1);
    }
    return set;
}

TEST(DriftScreen, FindsThePlantedDriftingItemsAndTheRelinkLeavesThemOut) {
    for (std::uint64_t seed = 1; seed <= 5; ++seed) {
        AnchorSet set = SimulatedAnchors(seed, 0.05);
        set.bNew[4] += 0.9 / kTrueA;  // both harder on the new form
        set.bNew[13] += 0.8 / kTrueA;
        const LinkConstants first = Link(LinkMethod::StockingLord, set, LinkSettings{});
        const DriftScreen screen = ScreenDrift(set, first);
        ASSERT_TRUE(screen.screened) << screen.note;
        EXPECT_TRUE(screen.items[4].drifting) << "seed " << seed;
        EXPECT_TRUE(screen.items[13].drifting) << "seed " << seed;
        EXPECT_GT(screen.items[4].z, 2.7);
        // Beyond 2.7 by chance: about one item in 140 of a normal spread.
        EXPECT_LE(screen.DriftingCount(), 3u) << "seed " << seed;

        std::vector<std::size_t> kept;
        for (std::size_t k = 0; k < set.size(); ++k) {
            if (!screen.items[k].drifting) kept.push_back(k);
        }
        AnchorSet clean;
        PickAnchors(set, kept, clean);
        const LinkConstants relinked = Link(LinkMethod::StockingLord, clean, LinkSettings{});
        EXPECT_LT(std::fabs(relinked.B - kTrueB), std::fabs(first.B - kTrueB)) << seed;
    }
}

// Differences of b a few thousandths apart are the rounding of printed
// values: the robust SD's floor keeps them from being read as drift (they
// gave z = -2.73 for a difference of 0.000), while an item that moved
// among items that did not is still found.
TEST(DriftScreen, PassesOverRoundingAndFindsOneMovedItemAmongEqualOnes) {
    AnchorSet set = test::ReferenceAnchors();
    LinkConstants exact;
    exact.ok = true;
    for (std::size_t k = 0; k < set.size(); ++k) set.bNew[k] = set.bBase[k];
    const DriftScreen flat = ScreenDrift(set, exact);
    EXPECT_TRUE(flat.screened);
    EXPECT_EQ(flat.DriftingCount(), 0u);

    // As printed with three decimals: most differences 0.001, one 0.000
    // (without the floor its z was -13.5).
    const double noise[] = {0.001, 0.001, 0, 0.001, 0.001, 0.0012, 0.0008, 0.001};
    for (std::size_t k = 0; k < set.size(); ++k) set.bNew[k] = set.bBase[k] + noise[k];
    const DriftScreen rounded = ScreenDrift(set, exact);
    EXPECT_TRUE(rounded.screened);
    EXPECT_EQ(rounded.DriftingCount(), 0u) << rounded.items[2].z;
    EXPECT_LT(std::fabs(rounded.items[2].z), 0.2);

    set.bNew[5] = set.bBase[5] + 0.8;
    const DriftScreen moved = ScreenDrift(set, exact);
    EXPECT_TRUE(moved.items[5].drifting);
    EXPECT_EQ(moved.DriftingCount(), 1u);

    AnchorSet few;
    PickAnchors(set, std::vector<std::size_t>{0, 1, 2}, few);
    EXPECT_FALSE(ScreenDrift(few, exact).screened);
}

// An item far from the others by the robust z is judged against its own
// errors too: within them (a b-c trade-off in one calibration, a small
// sample's wide errors) it is not drift; where they are not known the
// robust z alone flags it, and says so.
TEST(DriftScreen, FlagsOnlyWhereTheItemsOwnErrorsAgree) {
    LinkConstants exact;
    exact.ok = true;
    AnchorSet set = test::ReferenceAnchors();
    const double spread[] = {0.02, -0.03, 0.01, 0, -0.01, 0.03, -0.02, 0.01};
    for (std::size_t k = 0; k < set.size(); ++k) {
        set.bNew[k] = set.bBase[k] + spread[k];
        set.seBBase[k] = set.seBNew[k] = 0.02;
    }
    // Item 4 lower by 0.18 with errors of 0.063 either side: z far beyond
    // 2.7, but -0.18 / sqrt(2 x 0.063^2) = -2.02 SE.
    set.bNew[3] = set.bBase[3] - 0.18;
    set.seBBase[3] = set.seBNew[3] = 0.063;
    // Item 7 higher by 0.5 with errors of 0.05: beyond both.
    set.bNew[6] = set.bBase[6] + 0.5;
    set.seBBase[6] = set.seBNew[6] = 0.05;
    DriftScreen screen = ScreenDrift(set, exact);
    ASSERT_TRUE(screen.screened);
    const DriftFinding& within = screen.items[3];
    EXPECT_LT(within.z, -2.7);
    EXPECT_NEAR(within.differenceOverSe, -2.02, 0.01);
    EXPECT_NEAR(within.seDifference, 0.063 * std::sqrt(2.0), 1e-12);
    EXPECT_FALSE(within.drifting);
    EXPECT_EQ(within.flaggedBy, DriftRule::None);
    const DriftFinding& drifted = screen.items[6];
    EXPECT_TRUE(drifted.drifting);
    EXPECT_EQ(drifted.flaggedBy, DriftRule::Both);
    EXPECT_NEAR(drifted.differenceOverSe, 0.5 / (0.05 * std::sqrt(2.0)), 1e-9);
    EXPECT_EQ(screen.DriftingCount(), 1u);

    // The new form's error counts at the scale of the base form: A = 2
    // doubles it.
    exact.A = 2;
    for (std::size_t k = 0; k < set.size(); ++k) set.bNew[k] /= 2;
    screen = ScreenDrift(set, exact);
    EXPECT_NEAR(screen.items[6].seDifference, std::sqrt(0.1 * 0.1 + 0.05 * 0.05), 1e-12);

    // Without the errors of b the robust z alone decides.
    exact.A = 1;
    for (std::size_t k = 0; k < set.size(); ++k) set.bNew[k] *= 2;
    set.seBNew.assign(set.size(), kUnknown);
    screen = ScreenDrift(set, exact);
    EXPECT_TRUE(screen.items[3].drifting);
    EXPECT_EQ(screen.items[3].flaggedBy, DriftRule::RobustZ);
    EXPECT_TRUE(std::isnan(screen.items[3].differenceOverSe));
    EXPECT_EQ(screen.DriftingCount(), 2u);
    // An exact match far from the others is no exception.
    for (std::size_t k = 0; k < set.size(); ++k) set.bNew[k] = set.bBase[k] + 0.5;
    set.bNew[0] = set.bBase[0];
    screen = ScreenDrift(set, exact);
    EXPECT_TRUE(std::isnan(screen.items[0].differenceOverSe));
    EXPECT_EQ(screen.items[0].flaggedBy, DriftRule::RobustZ);
    // Errors of 0 (items held, known exactly): the exact match is within
    // them however far the others moved; the others are beyond theirs.
    set.seBBase.assign(set.size(), 0);
    set.seBNew.assign(set.size(), 0);
    screen = ScreenDrift(set, exact);
    EXPECT_EQ(screen.items[0].differenceOverSe, 0);
    EXPECT_FALSE(screen.items[0].drifting);
    EXPECT_EQ(screen.items[0].flaggedBy, DriftRule::None);
}

// Two calibrations of random halves of one sample: the b differences are
// noise of about their errors (0.25), and an item at a robust z of 4 is
// still well within them.
TEST(DriftScreen, ARandomSplitOfOneSampleFlagsNothingWithinItsErrors) {
    LinkConstants exact;
    exact.ok = true;
    AnchorSet set = test::ReferenceAnchors();
    const double noise[] = {0.05, -0.04, 0.02, 0.0, -0.03, 0.04, -0.05, 0.45};
    for (std::size_t k = 0; k < set.size(); ++k) {
        set.bNew[k] = set.bBase[k] + noise[k];
        set.seBBase[k] = set.seBNew[k] = 0.25;
    }
    const DriftScreen screen = ScreenDrift(set, exact);
    ASSERT_TRUE(screen.screened);
    EXPECT_GT(screen.items[7].z, 4);
    EXPECT_LT(screen.items[7].differenceOverSe, 1.5);
    EXPECT_EQ(screen.DriftingCount(), 0u);
}

TEST(Bootstrap, IsTheSameForTheSameSeedAndNearTheDeltaErrors) {
    const AnchorSet set = SimulatedAnchors(7);
    const BootstrapErrors once = Bootstrap(LinkMethod::MeanSigma, set, LinkSettings{}, 200, 11);
    const BootstrapErrors again = Bootstrap(LinkMethod::MeanSigma, set, LinkSettings{}, 200, 11);
    const BootstrapErrors other = Bootstrap(LinkMethod::MeanSigma, set, LinkSettings{}, 200, 12);
    EXPECT_EQ(once.replicates, 200);
    EXPECT_EQ(once.seA, again.seA);
    EXPECT_EQ(once.seB, again.seB);
    EXPECT_NE(once.seA, other.seA);
    // Both describe the same noise of the items' estimates here.
    const LinkConstants delta = Link(LinkMethod::MeanSigma, set, LinkSettings{});
    EXPECT_GT(once.seA, 0.5 * delta.seA);
    EXPECT_LT(once.seA, 2 * delta.seA);
}

// Over many new forms drawn with the same known constants, each method's
// mean constants lie within a tenth of their spread of the truth.
TEST(LinkAccuracy, RecoveredConstantsHaveNoBiasWorthTheName) {
    constexpr int kReplicates = 400;
    LinkSettings settings;
    settings.deltaErrors = false;
    for (const LinkMethod method : kLinkMethods) {
        double sumA = 0, sumB = 0, squaresA = 0, squaresB = 0;
        for (int r = 0; r < kReplicates; ++r) {
            const LinkConstants k =
                Link(method, SimulatedAnchors(1000 + static_cast<std::uint64_t>(r)), settings);
            ASSERT_TRUE(k.ok);
            sumA += k.A - kTrueA;
            sumB += k.B - kTrueB;
            squaresA += (k.A - kTrueA) * (k.A - kTrueA);
            squaresB += (k.B - kTrueB) * (k.B - kTrueB);
        }
        const double biasA = sumA / kReplicates, biasB = sumB / kReplicates;
        const double sdA = std::sqrt(squaresA / kReplicates - biasA * biasA);
        const double sdB = std::sqrt(squaresB / kReplicates - biasB * biasB);
        EXPECT_LT(std::fabs(biasA), 0.1 * sdA) << LinkMethodName(method) << " bias " << biasA;
        EXPECT_LT(std::fabs(biasB), 0.1 * sdB) << LinkMethodName(method) << " bias " << biasB;
    }
}

}  // namespace
}  // namespace tarvo::linking
