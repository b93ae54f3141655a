// Lord's Wald test from a fit's joint covariances: the copies found among
// other items, the covariance of the difference with the cross terms taken
// off, and a note in place of a number where the test cannot be formed.
#include "run/groups/lords_wald.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tarvo {
namespace {

// Three asked items: the reference copy (a, d), another item of one
// parameter between, the focal copy (a, d); the covariance over all five.
ItemCovariances TwoCopies() {
    ItemCovariances c;
    c.items = {4, 5, 6};
    c.widths = {2, 1, 2};
    c.values = {1.5, 0.5, 9.0, 0.5, -1.5};  // d = (1, 2)
    // V_RR = V_FF = diag(0.5, 1), V_RF = [[0.25, 0.1], [0, 0.5]] and
    // V_FR its transpose; the middle item correlated with both.
    c.covariance = {
        0.50, 0.00, 0.30, 0.25, 0.10,  //
        0.00, 1.00, 0.20, 0.00, 0.50,  //
        0.30, 0.20, 2.00, 0.10, 0.10,  //
        0.25, 0.00, 0.10, 0.50, 0.00,  //
        0.10, 0.50, 0.10, 0.00, 1.00,
    };
    return c;
}

TEST(LordsWald, IsTheQuadraticFormOfTheDifferenceInItsCovariance) {
    const WaldTest test = LordsWald(TwoCopies(), 0, 2);
    // V = [[0.5, -0.1], [-0.1, 1]]: d' V^-1 d = (1 + 2 * 0.1 * 2 + 0.5 * 4) / 0.49.
    EXPECT_NEAR(test.statistic, 3.4 / 0.49, 1e-12);
    EXPECT_EQ(test.df, 2);
    EXPECT_NEAR(test.p, std::exp(-0.5 * test.statistic), 1e-14);
    EXPECT_TRUE(test.note.empty());
    // Either copy as the reference: the same statistic.
    EXPECT_NEAR(LordsWald(TwoCopies(), 2, 0).statistic, test.statistic, 1e-12);
}

TEST(LordsWald, SaysWhyWhereItHasNoStatistic) {
    // Copies that move together exactly: the difference has no variance.
    ItemCovariances same = TwoCopies();
    for (std::size_t r = 0; r < 2; ++r) {
        for (std::size_t s = 0; s < 2; ++s) {
            same.covariance[r * 5 + 3 + s] = same.covariance[(3 + s) * 5 + r] =
                same.covariance[r * 5 + s];
            same.covariance[(3 + r) * 5 + 3 + s] = same.covariance[r * 5 + s];
        }
    }
    WaldTest test = LordsWald(same, 0, 2);
    EXPECT_TRUE(std::isnan(test.statistic));
    EXPECT_TRUE(std::isnan(test.p));
    EXPECT_EQ(test.df, 0);
    EXPECT_NE(test.note.find("not positive definite"), std::string::npos) << test.note;

    ItemCovariances missing = TwoCopies();
    missing.covariance.clear();
    missing.problem = "the observed information is not positive definite";
    test = LordsWald(missing, 0, 2);
    EXPECT_TRUE(std::isnan(test.statistic));
    EXPECT_EQ(test.note,
              "the covariances were not formed: the observed information is not positive "
              "definite");

    EXPECT_NE(LordsWald(TwoCopies(), 0, 1).note.find("different parameters"), std::string::npos);
    ItemCovariances unestimated = TwoCopies();
    unestimated.widths[2] = 0;
    unestimated.values.resize(3);
    EXPECT_NE(LordsWald(unestimated, 0, 2).note.find("not estimated"), std::string::npos);
    EXPECT_FALSE(LordsWald(TwoCopies(), 0, 3).note.empty());
    ItemCovariances truncated = TwoCopies();
    truncated.covariance.resize(9);
    EXPECT_NE(LordsWald(truncated, 0, 2).note.find("do not match"), std::string::npos);
}

}  // namespace
}  // namespace tarvo
