#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "estimation/marginal/mml_quadrature.h"
#include "fit/compute_fit.h"
#include "fit/mean_square.h"
#include "fit/residual_pass.h"
#include "fit_test_data.h"
#include "irt/item_curve.h"
#include "irt/scored_item.h"
#include "parallel/worker_pool.h"

namespace tarvo::fit {
namespace {

FitData SmallSet() {
    sim::SimulationSettings settings;
    settings.seed = 5;
    settings.personCount = 200;
    settings.itemCount = 12;
    settings.missingFraction = 0.1;
    return Simulated(settings);
}

std::vector<PersonFit> Persons(const FitData& data, ItemResidualSums* sums = nullptr) {
    std::vector<PersonFit> persons(data.theta.size());
    WorkerPool pool(1);
    const ItemResidualSums out = ResidualPass(data.Inputs(), persons, nullptr, pool);
    if (sums != nullptr) *sums = out;
    return persons;
}

TEST(PersonFit, LzEqualsTheLogLikelihoodStandardisedByItsMoments) {
    // Drasgow, Levine & Williams (1985): l0 = sum x ln P + (1 - x) ln Q,
    // E(l0) = sum P ln P + Q ln Q, Var(l0) = sum P Q (ln(P / Q))^2.
    const FitData data = SmallSet();
    const std::vector<PersonFit> persons = Persons(data);
    int checked = 0;
    for (std::size_t j = 0; j < data.theta.size(); ++j) {
        double l0 = 0, mean = 0, variance = 0;
        for (std::size_t i = 0; i < data.Items(); ++i) {
            const std::uint8_t x = data.responses[j * data.Items() + i];
            if (x == 9) continue;
            const Curve curve = CurveAt(data.theta[j], data.a[i], data.b[i], data.c[i]);
            const double p = curve.p, q = curve.q;
            l0 += x == 1 ? std::log(p) : std::log(q);
            mean += p * std::log(p) + q * std::log(q);
            variance += p * q * std::pow(std::log(p / q), 2);
        }
        if (persons[j].gap != PersonFitGap::None) continue;
        EXPECT_NEAR(persons[j].lz, (l0 - mean) / std::sqrt(variance), 1e-12) << "examinee " << j;
        EXPECT_EQ(persons[j].misfit, persons[j].lz < -1.96);
        ++checked;
    }
    EXPECT_GT(checked, 150);
}

TEST(PersonFit, ExamineesWithoutInformationAreLeftOutAndSayWhy) {
    FitData data = SmallSet();
    const std::size_t items = data.Items();
    auto row = [&](std::size_t j) { return data.responses.begin() + static_cast<long>(j * items); };
    std::fill(row(0), row(1), 1);      // all right
    std::fill(row(1), row(2), 0);      // all wrong
    std::fill(row(2), row(3), 9);      // nothing answered
    *row(3) = 1;                       // one right answer, the rest
    std::fill(row(3) + 1, row(4), 9);  // missing: all right among the valid
    data.theta[4] = NAN;
    ItemResidualSums with;
    const std::vector<PersonFit> persons = Persons(data, &with);
    EXPECT_EQ(persons[0].gap, PersonFitGap::AllSame);
    EXPECT_EQ(persons[1].gap, PersonFitGap::AllSame);
    EXPECT_EQ(persons[2].gap, PersonFitGap::NoValidResponse);
    EXPECT_EQ(persons[3].gap, PersonFitGap::AllSame);
    EXPECT_EQ(persons[4].gap, PersonFitGap::NoAbility);
    for (std::size_t j = 0; j < 5; ++j) {
        EXPECT_TRUE(std::isnan(persons[j].lz));
        EXPECT_FALSE(persons[j].misfit);
        EXPECT_NE(PersonFitGapText(persons[j].gap)[0], '\0');
    }
    EXPECT_EQ(persons[5].gap, PersonFitGap::None);

    // The items' mean squares do not see those examinees: the same sums
    // without them.
    FitData without = data;
    without.responses.erase(without.responses.begin(),
                            without.responses.begin() + static_cast<long>(5 * items));
    without.theta.erase(without.theta.begin(), without.theta.begin() + 5);
    ItemResidualSums expected;
    Persons(without, &expected);
    for (std::size_t i = 0; i < items; ++i) {
        EXPECT_EQ(with.meanSquares[i].count, expected.meanSquares[i].count);
        EXPECT_NEAR(with.meanSquares[i].squaredStandardized,
                    expected.meanSquares[i].squaredStandardized, 1e-9);
    }
}

TEST(MeanSquares, WilsonHilfertyAndUndefinedSpread) {
    // A mean square of 1 sits at q / 3 above 0; the transform is monotone.
    EXPECT_NEAR(WilsonHilferty(1, 0.3), 0.1, 1e-15);
    EXPECT_NEAR(WilsonHilferty(1.3, 0.1), (std::cbrt(1.3) - 1) * 30 + 0.1 / 3, 1e-13);
    EXPECT_LT(WilsonHilferty(0.7, 0.1), WilsonHilferty(0.8, 0.1));
    EXPECT_TRUE(std::isnan(WilsonHilferty(1.2, 0)));

    // One response at P = 1/2: outfit variance (P - Q)^2 / PQ = 0, no t.
    MeanSquareSums one;
    one.Add(ResponseMoments::Of(1, 0.5, 0.5));
    const MeanSquares squares = MeanSquaresOf(one);
    EXPECT_EQ(squares.outfit, 1);
    EXPECT_TRUE(std::isnan(squares.outfitT));
    EXPECT_TRUE(std::isnan(MeanSquaresOf(MeanSquareSums{}).infit));
}

TEST(ItemFit, GroupResidualsCompareObservedAndExpectedCorrectPerGroup) {
    // Two items, four examinees in two groups; item 1 missing for one.
    FitData data;
    data.a = {1, 1.5};
    data.b = {0, 0.5};
    data.c = {0, 0.2};
    data.estimated = {2, 3};
    data.theta = {-1, -0.5, 0.5, 1};
    data.responses = {0, 1, 1, 9, 1, 0, 1, 1};
    data.group = {0, 0, 1, 1};
    data.groups = 2;
    ItemResidualSums sums;
    Persons(data, &sums);
    auto p = [&](std::size_t j, std::size_t i) {
        return CurveAt(data.theta[j], data.a[i], data.b[i], data.c[i]).p;
    };
    // Item 1 (index 1), group 0: examinee 0 right; examinee 1 missing.
    EXPECT_NEAR(sums.groupObserved[0 * 2 + 1], 1, 0);
    EXPECT_NEAR(sums.groupExpected[0 * 2 + 1], p(0, 1), 1e-15);
    EXPECT_NEAR(sums.groupVariance[0 * 2 + 1], p(0, 1) * (1 - p(0, 1)), 1e-15);
    // Item 0, group 1: examinees 2 and 3 both right.
    EXPECT_NEAR(sums.groupObserved[1 * 2 + 0], 2, 0);
    EXPECT_NEAR(sums.groupExpected[1 * 2 + 0], p(2, 0) + p(3, 0), 1e-15);
}

// Items scored in categories, each by its own model: the same rules over
// the expected score E = sum k P_k and its variance.
namespace category {

ScoredItem Scored(ItemScoring scoring, double a, std::vector<double> b, double c = 0) {
    ScoredItem item;
    item.scoring = scoring;
    item.categories = static_cast<int>(b.size()) + 1;
    item.a = a;
    item.c = c;
    std::copy(b.begin(), b.end(), item.b.begin());
    return item;
}

struct CategoryData {
    std::vector<ScoredItem> items;
    std::vector<int> estimated;
    std::vector<std::uint8_t> responses;
    std::vector<double> theta;
    std::vector<std::int32_t> group;
    std::size_t groups = 0;
    mml::Quadrature grid = mml::NormalQuadrature(21, 5);

    CategoryFitInputs Inputs() const {
        CategoryFitInputs in;
        in.items = items;
        in.estimatedParameters = estimated;
        in.responses = responses;
        in.grid = {grid.theta, grid.weight};
        in.theta = theta;
        in.abilityGroup = group;
        in.abilityGroups = groups;
        return in;
    }
};

struct Moments {
    double expected = 0, variance = 0, logObserved = 0, plogp = 0, plog2p = 0;
};

Moments MomentsAt(const ScoredItem& item, double theta, int x) {
    std::array<double, kMostCategories> p{};
    CategoryProbabilitiesAt(item, theta, p.data());
    Moments m;
    for (int k = 0; k < item.categories; ++k) m.expected += k * p[k];
    for (int k = 0; k < item.categories; ++k) {
        m.variance += (k - m.expected) * (k - m.expected) * p[k];
        m.plogp += p[k] * std::log(p[k]);
        m.plog2p += p[k] * std::log(p[k]) * std::log(p[k]);
    }
    m.logObserved = std::log(p[x]);
    return m;
}

TEST(CategoryFit, MeanSquaresLzAndQ3AreTheDirectSums) {
    CategoryData data;
    data.items = {Scored(ItemScoring::Graded, 1.1, {-1, 0, 1.2}),
                  Scored(ItemScoring::PartialCredit, 0.8, {-0.5, 0.6}),
                  Scored(ItemScoring::RightWrong, 1.0, {0.2}, 0.15)};
    data.estimated = {4, 3, 3};
    data.theta = {-1.2, -0.4, 0.0, 0.3, 0.9, 1.5, 0.1, std::nan("")};
    // Examinee 4 misses item 2; examinee 7 scores the lowest everywhere,
    // examinee 8 has no ability.
    data.responses = {0, 1, 0, 1, 0, 1, 2, 1, 0, 1, 9, 1, 3, 2, 0, 3, 1, 1, 0, 0, 0, 2, 1, 1};
    const FitResults fit = ComputeCategoryFit(data.Inputs());
    const std::size_t items = 3, persons = data.theta.size();
    EXPECT_EQ(fit.persons[6].gap, PersonFitGap::AllExtreme);
    EXPECT_EQ(fit.persons[7].gap, PersonFitGap::NoAbility);

    std::vector<double> itemSquared(items), itemVariance(items), itemStandardized(items),
        itemCount(items);
    std::vector<double> residual(persons * items, std::nan(""));
    for (std::size_t j = 0; j < persons; ++j) {
        if (!std::isfinite(data.theta[j])) continue;
        double squared = 0, variance = 0, standardized = 0, n = 0;
        double l0 = 0, mean = 0, lzVariance = 0;
        for (std::size_t i = 0; i < items; ++i) {
            const int x = data.responses[j * items + i];
            if (x == 9) continue;
            const Moments m = MomentsAt(data.items[i], data.theta[j], x);
            const double r = x - m.expected;
            residual[j * items + i] = r;
            squared += r * r;
            variance += m.variance;
            standardized += r * r / m.variance;
            n += 1;
            l0 += m.logObserved;
            mean += m.plogp;
            lzVariance += m.plog2p - m.plogp * m.plogp;
            if (j == 6) continue;  // left out of the items' mean squares
            itemSquared[i] += r * r;
            itemVariance[i] += m.variance;
            itemStandardized[i] += r * r / m.variance;
            itemCount[i] += 1;
        }
        if (j == 6) continue;
        EXPECT_NEAR(fit.persons[j].infit, squared / variance, 1e-12) << j;
        EXPECT_NEAR(fit.persons[j].outfit, standardized / n, 1e-12) << j;
        EXPECT_NEAR(fit.persons[j].lz, (l0 - mean) / std::sqrt(lzVariance), 1e-12) << j;
    }
    for (std::size_t i = 0; i < items; ++i) {
        EXPECT_NEAR(fit.items[i].infit, itemSquared[i] / itemVariance[i], 1e-12) << i;
        EXPECT_NEAR(fit.items[i].outfit, itemStandardized[i] / itemCount[i], 1e-12) << i;
        EXPECT_EQ(fit.items[i].meanSquareCount, static_cast<int>(itemCount[i])) << i;
    }
    // Q3 over every examinee with an ability who answered both items, the
    // one with the lowest scores too.
    for (std::size_t i = 0; i < items; ++i) {
        for (std::size_t k = i + 1; k < items; ++k) {
            double n = 0, si = 0, sk = 0, sii = 0, skk = 0, sik = 0;
            for (std::size_t j = 0; j < persons; ++j) {
                const double ri = residual[j * items + i], rk = residual[j * items + k];
                if (std::isnan(ri) || std::isnan(rk)) continue;
                n += 1;
                si += ri;
                sk += rk;
                sii += ri * ri;
                skk += rk * rk;
                sik += ri * rk;
            }
            const double q3 =
                (sik - si * sk / n) / std::sqrt((sii - si * si / n) * (skk - sk * sk / n));
            EXPECT_NEAR(fit.localDependence.matrix[i * items + k], q3, 1e-12) << i << " " << k;
        }
    }
    EXPECT_EQ(fit.localDependence.definedPairs, 3u);
}

// R's rpf 1.0.11, rpf.1dim.fit(wh.exact = TRUE) with margin 2 (items) and 1
// (examinees), on two GRM items (rpf.grm, slope 1.7 a, intercepts -1.7 a b_k)
// and a 3PL item (rpf.drm, logit of c) at the given abilities.
TEST(CategoryFit, MeanSquaresAgreeWithRpf) {
    CategoryData data;
    data.items = {Scored(ItemScoring::Graded, 1.1, {-1, 0, 1.2}),
                  Scored(ItemScoring::Graded, 0.8, {-0.5, 0.6}),
                  Scored(ItemScoring::RightWrong, 1.0, {0.2}, 0.15)};
    data.estimated = {4, 3, 3};
    data.theta = {-1.2, -0.4, 0.0, 0.3, 0.9, 1.5};
    data.responses = {0, 1, 0, 1, 0, 1, 2, 1, 0, 1, 9, 1, 3, 2, 0, 3, 1, 1};
    const FitResults fit = ComputeCategoryFit(data.Inputs());
    struct Expected {
        double infit, infitT, outfit, outfitT;
    };
    const Expected items[] = {
        {0.547447363377864, -0.767269352619962, 0.561330954788365, -0.6691184650301619},
        {0.705667826346569, -0.408642862055887, 0.810511285460064, -0.0993236298729052},
        {1.321376804391124, 0.884609765626327, 1.289307579647463, 0.6367650393822022}};
    const Expected persons[] = {
        {0.693049717025168, 0.0143298677614572, 0.629804576810051, -0.154630513664492},
        {0.620701638545588, -0.4699275443115146, 0.864067113479945, -0.099131631891650},
        {0.339769194779316, -1.3050858128858236, 0.474628536811104, -1.261703621341342},
        {0.718210446920179, -0.0168298642334389, 0.691655947811415, -0.291978937443446},
        {1.288994346140772, 0.5943956906120553, 1.924664128363333, 1.165152953671150},
        {0.868999343725556, 0.3342167117643058, 0.697860890633052, 0.213349597045834}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(fit.items[i].infit, items[i].infit, 1e-12) << i;
        EXPECT_NEAR(fit.items[i].outfit, items[i].outfit, 1e-12) << i;
        EXPECT_NEAR(fit.items[i].infitT, items[i].infitT, 1e-10) << i;
        EXPECT_NEAR(fit.items[i].outfitT, items[i].outfitT, 1e-10) << i;
    }
    for (std::size_t j = 0; j < 6; ++j) {
        EXPECT_NEAR(fit.persons[j].infit, persons[j].infit, 1e-12) << j;
        EXPECT_NEAR(fit.persons[j].outfit, persons[j].outfit, 1e-12) << j;
        EXPECT_NEAR(fit.persons[j].infitT, persons[j].infitT, 1e-10) << j;
        EXPECT_NEAR(fit.persons[j].outfitT, persons[j].outfitT, 1e-10) << j;
    }
}

// A right/wrong item gets the right/wrong pass's values: alone, every
// statistic, and beside items scored 0..3 its own, at the same abilities.
TEST(CategoryFit, RightWrongItemsGetTheRightWrongFitsValues) {
    FitData binary = SmallSet();
    const std::size_t persons = binary.theta.size(), binaryItems = binary.Items();
    binary.groups = 4;
    binary.group.resize(persons);
    for (std::size_t j = 0; j < persons; ++j) binary.group[j] = static_cast<std::int32_t>(j % 4);
    CategoryData alone;
    for (std::size_t i = 0; i < binaryItems; ++i) {
        alone.items.push_back(
            Scored(ItemScoring::RightWrong, binary.a[i], {binary.b[i]}, binary.c[i]));
    }
    alone.estimated = binary.estimated;
    alone.responses = binary.responses;
    alone.theta = binary.theta;
    alone.group = binary.group;
    alone.groups = binary.groups;
    alone.grid = mml::NormalQuadrature(61, 6);
    const FitResults right = ComputeFit(binary.Inputs());
    const FitResults same = ComputeCategoryFit(alone.Inputs());
    for (std::size_t j = 0; j < persons; ++j) {
        EXPECT_EQ(same.persons[j].gap == PersonFitGap::AllExtreme,
                  right.persons[j].gap == PersonFitGap::AllSame)
            << j;
        for (const auto member : {&PersonFit::lz, &PersonFit::infit, &PersonFit::outfit,
                                  &PersonFit::infitT, &PersonFit::outfitT}) {
            const double x = same.persons[j].*member, y = right.persons[j].*member;
            EXPECT_TRUE(x == y || (std::isnan(x) && std::isnan(y))) << j;
        }
    }
    EXPECT_EQ(same.localDependence.matrix.size(), right.localDependence.matrix.size());

    // Three GRM items beside them, an examinee whose right/wrong answers
    // are all right or all wrong without an ability in both (the rules of
    // leaving out differ there: over the right/wrong items or every item).
    std::mt19937 random(8);
    std::uniform_int_distribution<int> score(0, 3);
    CategoryData mixed = alone;
    for (int i = 0; i < 3; ++i) {
        mixed.items.push_back(Scored(ItemScoring::Graded, 0.9 + 0.2 * i, {-1, 0.1 * i, 1}));
        mixed.estimated.push_back(4);
    }
    const std::size_t items = binaryItems + 3;
    mixed.responses.clear();
    for (std::size_t j = 0; j < persons; ++j) {
        const auto row = binary.responses.begin() + static_cast<long>(j * binaryItems);
        mixed.responses.insert(mixed.responses.end(), row, row + static_cast<long>(binaryItems));
        for (int i = 0; i < 3; ++i)
            mixed.responses.push_back(static_cast<std::uint8_t>(score(random)));
        if (right.persons[j].gap == PersonFitGap::AllSame) {
            mixed.theta[j] = std::nan("");
            binary.theta[j] = std::nan("");
        }
    }
    const FitResults dichotomous = ComputeFit(binary.Inputs());
    const FitResults withGraded = ComputeCategoryFit(mixed.Inputs());
    for (std::size_t i = 0; i < binaryItems; ++i) {
        const ItemFit& x = withGraded.items[i];
        const ItemFit& y = dichotomous.items[i];
        EXPECT_EQ(x.infit, y.infit) << i;
        EXPECT_EQ(x.outfit, y.outfit) << i;
        EXPECT_EQ(x.infitT, y.infitT) << i;
        EXPECT_EQ(x.outfitT, y.outfitT) << i;
        EXPECT_EQ(x.meanSquareCount, y.meanSquareCount) << i;
        EXPECT_EQ(x.groupResidual, y.groupResidual) << i;
        for (std::size_t k = i + 1; k < binaryItems; ++k) {
            EXPECT_NEAR(withGraded.localDependence.matrix[i * items + k],
                        dichotomous.localDependence.matrix[i * binaryItems + k], 1e-12);
        }
    }
}

// An examinee who scores the lowest on the easy items and the highest on
// the hard ones is flagged; examinees drawn from the model mostly are not.
TEST(CategoryFit, ReversedAnswersOnAGradedTestAreFlagged) {
    CategoryData data;
    for (int i = 0; i < 10; ++i) {
        const double location = -1.5 + i / 3.0;
        data.items.push_back(
            Scored(ItemScoring::Graded, 1.4, {location - 0.8, location, location + 0.8}));
        data.estimated.push_back(0);
    }
    std::mt19937 random(31);
    std::normal_distribution<double> ability;
    std::uniform_real_distribution<double> uniform;
    const std::size_t drawn = 300;
    for (std::size_t j = 0; j < drawn; ++j) {
        const double theta = ability(random);
        data.theta.push_back(theta);
        for (const ScoredItem& item : data.items) {
            std::array<double, kMostCategories> p{};
            CategoryProbabilitiesAt(item, theta, p.data());
            const double u = uniform(random);
            std::uint8_t k = 0;
            for (double below = p[0]; k + 1 < item.categories && u >= below; below += p[++k]) {
            }
            data.responses.push_back(k);
        }
    }
    data.theta.push_back(0);
    for (int i = 0; i < 10; ++i) data.responses.push_back(i < 5 ? 0 : 3);
    const FitResults fit = ComputeCategoryFit(data.Inputs());
    EXPECT_TRUE(fit.persons[drawn].misfit);
    EXPECT_LT(fit.persons[drawn].lz, -4);
    std::size_t flagged = 0;
    for (std::size_t j = 0; j < drawn; ++j) flagged += fit.persons[j].misfit;
    EXPECT_LT(flagged, drawn * 6 / 100);
    EXPECT_EQ(fit.misfittingPersons, flagged + 1);
}

}  // namespace category

}  // namespace
}  // namespace tarvo::fit
