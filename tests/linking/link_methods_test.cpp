// The four methods' constants and delta-method errors on the reference
// forms, against an independent minimisation of the same criteria (see
// reference_forms.h for how the numbers were made).
#include "linking/link_methods.h"

#include <gtest/gtest.h>

#include <cmath>

#include "linking/curve_criteria.h"
#include "linking/reference_forms.h"

namespace tarvo::linking {
namespace {

struct Expected {
    LinkMethod method;
    bool symmetric;
    double A, B, seA, seB;
};

// Printed by bench/reference/linking_reference.R.
constexpr Expected kReference[] = {
    {LinkMethod::MeanMean, false, 1.1978571429, 0.2969383929, 0.07637898, 0.06797205},
    {LinkMethod::MeanSigma, false, 1.2168534517, 0.2974845367, 0.07967848, 0.06946624},
    {LinkMethod::Haebara, false, 1.1998740870, 0.3021132514, 0.07971602, 0.08223649},
    {LinkMethod::StockingLord, false, 1.1865315978, 0.3115923901, 0.08208112, 0.09210970},
    {LinkMethod::Haebara, true, 1.2026251020, 0.3029790614, 0.07981919, 0.08125461},
    {LinkMethod::StockingLord, true, 1.1890965714, 0.3124683990, 0.08193613, 0.09191435},
};

TEST(LinkMethods, AgreeWithAnIndependentMinimisationOfEachCriterion) {
    const AnchorSet set = test::ReferenceAnchors();
    for (const Expected& e : kReference) {
        LinkSettings settings;
        settings.criterion.symmetric = e.symmetric;
        const LinkConstants k = Link(e.method, set, settings);
        const std::string name =
            std::string(LinkMethodName(e.method)) + (e.symmetric ? " sym" : "");
        ASSERT_TRUE(k.ok) << name << ": " << k.problem;
        EXPECT_NEAR(k.A, e.A, 1e-6) << name;
        EXPECT_NEAR(k.B, e.B, 1e-6) << name;
        // The reference differentiates its minimum numerically (step 1e-4).
        EXPECT_NEAR(k.seA, e.seA, 2e-6) << name;
        EXPECT_NEAR(k.seB, e.seB, 2e-6) << name;
    }
}

TEST(LinkMethods, TheCriteriaGradientsAreTheirDerivatives) {
    const AnchorSet set = test::ReferenceAnchors();
    const AbilityGrid grid = NormalGrid(41, 4);
    for (const LinkMethod method : {LinkMethod::Haebara, LinkMethod::StockingLord}) {
        for (const bool symmetric : {false, true}) {
            double g[2], ignored[2];
            CurveCriterion(method, set, grid, symmetric, 1.1, 0.2, g);
            const double h = 1e-6;
            const double dA =
                (CurveCriterion(method, set, grid, symmetric, 1.1 + h, 0.2, ignored) -
                 CurveCriterion(method, set, grid, symmetric, 1.1 - h, 0.2, ignored)) /
                (2 * h);
            const double dB =
                (CurveCriterion(method, set, grid, symmetric, 1.1, 0.2 + h, ignored) -
                 CurveCriterion(method, set, grid, symmetric, 1.1, 0.2 - h, ignored)) /
                (2 * h);
            EXPECT_NEAR(g[0], dA, 1e-8 * (1 + std::fabs(dA)))
                << LinkMethodName(method) << symmetric;
            EXPECT_NEAR(g[1], dB, 1e-8 * (1 + std::fabs(dB)))
                << LinkMethodName(method) << symmetric;
        }
    }
}

// Items that are exactly the base items carried over: every method finds
// the constants they were made with, and the criteria are 0 there.
TEST(LinkMethods, RecoverTheConstantsOfAnExactTransformation) {
    AnchorSet set = test::ReferenceAnchors();
    for (std::size_t k = 0; k < set.size(); ++k) {
        set.aNew[k] = 0.8 * set.aBase[k];          // A = 0.8
        set.bNew[k] = (set.bBase[k] + 0.5) / 0.8;  // B = -0.5
        set.cNew[k] = set.cBase[k];
    }
    for (const LinkMethod method : kLinkMethods) {
        const LinkConstants k = Link(method, set, LinkSettings{});
        ASSERT_TRUE(k.ok) << LinkMethodName(method);
        EXPECT_NEAR(k.A, 0.8, 1e-9) << LinkMethodName(method);
        EXPECT_NEAR(k.B, -0.5, 1e-9) << LinkMethodName(method);
    }
}

TEST(LinkMethods, TwoOnePlFormsKeepTheSlopeAndFindTheShift) {
    AnchorSet set = test::ReferenceAnchors();
    for (std::size_t k = 0; k < set.size(); ++k) {
        set.aBase[k] = set.aNew[k] = 1;
        set.cBase[k] = set.cNew[k] = 0;
        set.seABase[k] = set.seANew[k] = set.seCBase[k] = set.seCNew[k] = 0;
        set.bNew[k] = set.bBase[k] - 0.4 + (k % 2 == 0 ? 0.01 : -0.01);
    }
    LinkSettings settings;
    settings.slopeFixed = true;
    for (const LinkMethod method : kLinkMethods) {
        const LinkConstants k = Link(method, set, settings);
        ASSERT_TRUE(k.ok) << LinkMethodName(method);
        EXPECT_EQ(k.A, 1) << LinkMethodName(method);
        EXPECT_EQ(k.seA, 0) << LinkMethodName(method);
        EXPECT_NEAR(k.B, 0.4, 0.011) << LinkMethodName(method);
    }
    // The moment methods' B is the difference of the mean b's, and its error
    // that of a difference of means.
    const LinkConstants mm = Link(LinkMethod::MeanMean, set, settings);
    double variance = 0;
    for (std::size_t k = 0; k < set.size(); ++k) {
        variance += set.seBBase[k] * set.seBBase[k] + set.seBNew[k] * set.seBNew[k];
    }
    EXPECT_NEAR(mm.B, 0.4, 1e-12);
    EXPECT_NEAR(mm.seB, std::sqrt(variance) / 8, 1e-12);
}

TEST(LinkMethods, SayWhyNoConstantsAreFound) {
    AnchorSet set = test::ReferenceAnchors();
    set.bNew.assign(set.size(), 0.5);  // no spread for mean/sigma
    const LinkConstants sigma = Link(LinkMethod::MeanSigma, set, LinkSettings{});
    EXPECT_FALSE(sigma.ok);
    EXPECT_NE(sigma.problem.find("do not vary"), std::string::npos);
    // The curve methods start from mean/mean then, and still find a minimum.
    EXPECT_TRUE(Link(LinkMethod::StockingLord, set, LinkSettings{}).ok);

    EXPECT_FALSE(Link(LinkMethod::Haebara, AnchorSet{}, LinkSettings{}).ok);
}

TEST(LinkMethods, ErrorsAreUnknownWhereTheItemsErrorsAre) {
    AnchorSet set = test::ReferenceAnchors();
    set.seBNew[3] = kUnknown;
    const LinkConstants k = Link(LinkMethod::MeanSigma, set, LinkSettings{});
    ASSERT_TRUE(k.ok);
    EXPECT_TRUE(std::isnan(k.seA));
    EXPECT_TRUE(std::isnan(k.seB));
    // Mean/mean's A does not depend on the b's.
    EXPECT_FALSE(std::isnan(Link(LinkMethod::MeanMean, set, LinkSettings{}).seA));
}

}  // namespace
}  // namespace tarvo::linking
