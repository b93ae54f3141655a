// The screen as a whole: the counting pass, the strata of either matching,
// the groups it compares and leaves out, the purification and the
// adjustment of the p-values.
#include "dif/dif_screen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "dif/dif_report.h"
#include "dif/score_counts.h"

namespace tarvo::dif {
namespace {

// Right/wrong answers of the 2PL (D = 1.7) for groups 0.. in turn, the
// focal groups' ability lower; item 0 harder for every group but the first.
struct Simulated {
    std::size_t items = 0;
    std::vector<std::uint8_t> codes;
    std::vector<std::int32_t> group;
    std::size_t groups = 0;
    DifData Data() const { return DifData{items, codes, group, groups}; }
};

Simulated Simulate(std::size_t perGroup, std::size_t groups, std::size_t items, unsigned seed) {
    Simulated out;
    out.items = items;
    out.groups = groups;
    std::mt19937_64 random(seed);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform;
    for (std::size_t g = 0; g < groups; ++g) {
        for (std::size_t j = 0; j < perGroup; ++j) {
            const double theta = normal(random) - 0.3 * static_cast<double>(g);
            for (std::size_t i = 0; i < items; ++i) {
                const double b = -1.5 + 3.0 * static_cast<double>(i) / static_cast<double>(items) +
                                 (i == 0 && g > 0 ? 1.0 : 0.0);
                const double p = 1 / (1 + std::exp(-1.7 * (theta - b)));
                out.codes.push_back(uniform(random) < p ? 1 : 0);
            }
            out.group.push_back(static_cast<std::int32_t>(g));
        }
    }
    return out;
}

DifOptions Methods(std::vector<DifMethod> methods) {
    DifOptions options;
    options.methods = std::move(methods);
    return options;
}

TEST(ScoreCounts, TheStrataOfEitherMatchingFromOnePass) {
    // Three items; examinee scores: item 0 is the studied one.
    const std::vector<std::uint8_t> codes{1, 1, 0,  //
                                          0, 1, 1,  //
                                          1, 9, 1,  //
                                          0, 0, 0};
    const std::vector<std::int32_t> group{0, 1, 1, -1};
    const DifData data{3, codes, group, 2};
    WorkerPool pool(1);
    const std::vector<int> categories{2, 2, 2};
    const std::vector<char> every(3, 1);
    const ScoreCounts counts = CountScores(data, categories, every, pool);
    const ItemStrata total = StrataOf(counts, 0, Matching::Total, 0, 1);
    EXPECT_EQ(total.at(2, 0, 1), 1);  // total 2, right
    EXPECT_EQ(total.at(2, 1, 0), 1);  // total 2 (0 + 1 + 1), wrong
    EXPECT_EQ(total.at(2, 1, 1), 1);  // total 2 (1 + missing + 1), right
    const ItemStrata rest = StrataOf(counts, 0, Matching::Rest, 0, 1);
    EXPECT_EQ(rest.at(1, 0, 1), 1);
    EXPECT_EQ(rest.at(2, 1, 0), 1);
    EXPECT_EQ(rest.at(1, 1, 1), 1);
    double all = 0;
    for (const double n : total.counts) all += n;
    EXPECT_EQ(all, 3);  // the examinee without a group is left out
    // Item 1: the examinee who missed it is not counted for it.
    double item1 = 0;
    for (const double n : StrataOf(counts, 1, Matching::Total, 0, 1).counts) item1 += n;
    EXPECT_EQ(item1, 2);
    // Item 0 left out of the matching set: the total adds it back.
    const ScoreCounts without = CountScores(data, categories, std::vector<char>{0, 1, 1}, pool);
    const ItemStrata again = StrataOf(without, 0, Matching::Total, 0, 1);
    EXPECT_EQ(again.counts, total.counts);
    const ItemStrata restAgain = StrataOf(without, 0, Matching::Rest, 0, 1);
    EXPECT_EQ(restAgain.counts, rest.counts);
}

TEST(ScoreCounts, TheSameOnAnyNumberOfThreads) {
    const Simulated sim = Simulate(9000, 2, 12, 5);  // more than one block of examinees
    WorkerPool one(1), two(2);
    const std::vector<int> categories = ItemCategories(sim.Data(), two);
    EXPECT_EQ(categories, std::vector<int>(12, 2));
    const std::vector<char> every(12, 1);
    EXPECT_EQ(CountScores(sim.Data(), categories, every, one).counts,
              CountScores(sim.Data(), categories, every, two).counts);
}

TEST(DifScreen, FindsThePlantedItemAndPurifiesTheMatchingOfIt) {
    const Simulated sim = Simulate(1500, 2, 20, 11);
    WorkerPool pool(2);
    const DifScreen screen = ScreenDif(
        sim.Data(),
        Methods({DifMethod::MantelHaenszel, DifMethod::Standardization, DifMethod::Logistic}),
        pool);
    ASSERT_EQ(screen.comparisons.size(), 1u);
    const DifComparison& c = screen.comparisons[0];
    EXPECT_EQ(c.referenceCount, 1500u);
    ASSERT_FALSE(c.purified.empty());
    EXPECT_EQ(c.purified[0], 0u);
    for (const DifTable& table : c.tables) {
        EXPECT_EQ(table.rows[0].category, 'C') << MethodName(table.method);
        std::size_t flagged = 0;
        for (const DifRow& row : table.rows) flagged += row.flagged() ? 1 : 0;
        EXPECT_LE(flagged, 3u) << MethodName(table.method);
    }
    EXPECT_LT(c.tables[0].rows[0].effect, -1.5);  // harder for the focal group
    // The adjusted p-values keep the order of the p-values and are no smaller.
    for (const DifRow& row : c.tables[0].rows) {
        EXPECT_GE(row.pAdjusted, row.p);
        for (const DifRow& other : c.tables[0].rows) {
            if (row.p < other.p) {
                EXPECT_LE(row.pAdjusted, other.pAdjusted);
            }
        }
    }
    EXPECT_TRUE(std::isnan(c.tables[1].rows[0].pAdjusted));  // STD P-DIF has no test
    EXPECT_FALSE(std::isnan(c.tables[2].rows[3].uniformPAdjusted));
}

TEST(DifScreen, EachFocalGroupAgainstTheReference) {
    const Simulated sim = Simulate(800, 3, 10, 3);
    WorkerPool pool(2);
    DifOptions options = Methods({DifMethod::MantelHaenszel});
    const DifScreen every = ScreenDif(sim.Data(), options, pool);
    ASSERT_EQ(every.comparisons.size(), 2u);
    EXPECT_EQ(every.comparisons[0].focal, 1u);
    EXPECT_EQ(every.comparisons[1].focal, 2u);
    options.reference = 2;
    options.focal = {0};
    const DifScreen chosen = ScreenDif(sim.Data(), options, pool);
    ASSERT_EQ(chosen.comparisons.size(), 1u);
    EXPECT_EQ(chosen.comparisons[0].reference, 2u);
    // Group 2 against group 0 is group 0 against group 2 turned over.
    EXPECT_NEAR(chosen.comparisons[0].tables[0].rows[0].effect,
                -every.comparisons[1].tables[0].rows[0].effect, 1e-9);
}

TEST(DifScreen, ItemsScoredZeroToMTakeTheOrdinalForms) {
    // Item 2 scored 0..2 from two right/wrong answers.
    Simulated sim = Simulate(1000, 2, 8, 17);
    for (std::size_t j = 0; j < sim.group.size(); ++j) {
        sim.codes[j * 8 + 2] =
            static_cast<std::uint8_t>(sim.codes[j * 8 + 2] + sim.codes[j * 8 + 3]);
    }
    WorkerPool pool(1);
    const DifScreen screen =
        ScreenDif(sim.Data(), Methods({DifMethod::MantelHaenszel, DifMethod::Logistic}), pool);
    EXPECT_EQ(screen.categories[2], 3);
    const DifRow& mh = screen.comparisons[0].tables[0].rows[2];
    EXPECT_EQ(mh.categories, 3);
    EXPECT_TRUE(std::isfinite(mh.mantel.smd));
    EXPECT_TRUE(std::isfinite(mh.mantel.alpha));
    EXPECT_TRUE(std::isnan(mh.mantel.seDelta));
    EXPECT_TRUE(screen.comparisons[0].tables[1].rows[2].logistic.converged);
}

// The observed scores of each group by matching score, as the plots read
// them: counted straight from the responses on the purified total score.
TEST(DifScreen, ObservedScoresByGroupFollowTheMatchingTheTablesUse) {
    Simulated sim = Simulate(400, 2, 8, 29);
    sim.codes[5] = kMissing;  // examinee 0 missed item 5
    WorkerPool pool(2);
    const DifScreen screen = ScreenDif(sim.Data(), Methods({DifMethod::MantelHaenszel}), pool);
    const DifComparison& c = screen.comparisons[0];
    ASSERT_FALSE(c.purified.empty());
    ASSERT_EQ(c.observed.size(), 8u);
    std::vector<char> matching(8, 1);
    for (const std::size_t i : c.purified) matching[i] = 0;
    for (std::size_t item = 0; item < 8; ++item) {
        SCOPED_TRACE(item);
        // Per group and score: examinees who answered the item, their sum.
        std::map<std::pair<int, std::size_t>, std::pair<std::size_t, double>> expected;
        for (std::size_t j = 0; j < sim.group.size(); ++j) {
            const std::uint8_t* row = sim.codes.data() + j * 8;
            if (row[item] == kMissing) continue;
            std::size_t score = 0;
            for (std::size_t i = 0; i < 8; ++i) {
                if (row[i] != kMissing && (matching[i] || i == item)) score += row[i];
            }
            auto& cell = expected[{sim.group[j], score}];
            cell.first += 1;
            cell.second += row[item];
        }
        const ObservedCurve* curves[2] = {&c.observed[item].reference, &c.observed[item].focal};
        std::size_t points = 0;
        for (int g = 0; g < 2; ++g) {
            const ObservedCurve& curve = *curves[g];
            ASSERT_EQ(curve.count.size(), curve.score.size());
            ASSERT_EQ(curve.meanScore.size(), curve.score.size());
            for (std::size_t k = 0; k < curve.score.size(); ++k) {
                const auto found = expected.find({g, curve.score[k]});
                ASSERT_NE(found, expected.end()) << "score " << curve.score[k];
                EXPECT_EQ(curve.count[k], found->second.first);
                EXPECT_DOUBLE_EQ(curve.meanScore[k],
                                 found->second.second / static_cast<double>(found->second.first));
                if (k > 0) {
                    EXPECT_LT(curve.score[k - 1], curve.score[k]);
                }
            }
            points += curve.score.size();
        }
        EXPECT_EQ(points, expected.size());  // no stratum left out, none empty
    }
}

// What a run's screens cannot compare is said, never screened: no group
// field, one group, a label the file does not have, a group on both sides.
TEST(DifOfRun, GroupsItCannotCompareAreToldByName) {
    const Simulated sim = Simulate(300, 2, 6, 23);
    PersonTable persons;
    persons.itemCount = sim.items;
    persons.responses = sim.codes;
    persons.theta.assign(sim.group.size(), 0.0);
    persons.group = sim.group;
    persons.groupLabels = {"men", "women"};
    DifRequest request;
    request.mantelHaenszel = true;
    GroupSettings groups{10, 1, "", "", {}};
    WorkerPool pool(1);
    const ItemNames names;
    const auto warning = [&](const GroupSettings& g, const PersonTable& p) {
        const DifReport report = DifOfRun(request, g, p, names, pool);
        return report.warnings.empty() ? std::string() : report.warnings[0];
    };
    EXPECT_EQ(warning(groups, persons),
              "Mantel-Haenszel flags 1 item for DIF between 'women' and "
              "'men': item 1 (C). Have them reviewed before their "
              "scores are reported.");
    EXPECT_EQ(warning(GroupSettings{}, persons),
              "The DIF screens (--dif) were not formed: the examinees have no group field to "
              "compare.");
    GroupSettings unknown = groups;
    unknown.reference = "other";
    EXPECT_EQ(warning(unknown, persons),
              "The DIF screens (--dif) were not formed: the reference group 'other' is not among "
              "the file's groups.");
    GroupSettings twice = groups;
    twice.reference = "men";
    twice.focal = {"men"};
    EXPECT_EQ(warning(twice, persons),
              "The DIF screens (--dif) were not formed: the group 'men' is both the reference and "
              "a focal group.");
    PersonTable one = persons;
    one.groupLabels = {"men"};
    for (std::int32_t& g : one.group) g = 0;
    EXPECT_EQ(warning(groups, one),
              "The DIF screens (--dif) were not formed: every examinee is in one group, 'men'.");
}

}  // namespace
}  // namespace tarvo::dif
