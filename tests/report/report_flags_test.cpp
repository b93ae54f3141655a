// Each flag is raised by a constructed case and not by its neighbour.
#include "report/report_flags.h"

#include <gtest/gtest.h>

#include <functional>

namespace tarvo::report {
namespace {

// An item estimated in mode 3 well inside every bound.
ItemReport PlainItem() {
    ItemReport item;
    item.a = 1;
    item.b = 0;
    item.c = 0.2;
    item.seea = item.seeb = item.seec = 0.1;
    item.nobs = 100;
    item.pValue = 0.6;
    return item;
}

TEST(ItemFlags, EachFlagIsRaisedAtItsBoundAndNotJustInside) {
    struct Case {
        const char* name;
        int mode;
        std::function<void(ItemReport&)> raise, neighbour;
        std::uint32_t flag;
    };
    const float aLow = 0.0001f, cLow = 0.0001f, cHigh = 0.999f;
    const Case cases[] = {
        {"a upper", 3, [](auto& i) { i.a = 2; }, [](auto& i) { i.a = 1.999; }, kItemAAtBound},
        {"a lower", 2, [&](auto& i) { i.a = aLow; }, [](auto& i) { i.a = 0.001; }, kItemAAtBound},
        {"b upper", 3, [](auto& i) { i.b = 5; }, [](auto& i) { i.b = 4.999; }, kItemBAtBound},
        {"b lower", 8, [](auto& i) { i.b = -5; }, [](auto& i) { i.b = -4.999; }, kItemBAtBound},
        {"c upper", 3, [&](auto& i) { i.c = cHigh; }, [](auto& i) { i.c = 0.99; }, kItemCAtBound},
        {"c lower", 2, [&](auto& i) { i.c = cLow; }, [](auto& i) { i.c = 0.001; }, kItemCAtBound},
        {"se cap", 5, [](auto& i) { i.seea = 99; }, [](auto& i) { i.seea = 98.9; }, kItemSeAtCap},
        {"not estimated", 6, [](auto& i) { i.seeb = -1; }, [](auto& i) { i.seeb = 0.01; },
         kItemNotEstimated},
        {"all correct", 1, [](auto& i) { i.pValue = 1; }, [](auto& i) { i.pValue = 0.99; },
         kItemAllCorrect},
        {"all wrong", 7, [](auto& i) { i.pValue = 0; }, [](auto& i) { i.pValue = 0.01; },
         kItemAllWrong},
        {"too few", 3, [](auto& i) { i.nobs = 9; }, [](auto& i) { i.nobs = 10; },
         kItemTooFewResponses},
    };
    for (const Case& c : cases) {
        ItemReport raised = PlainItem(), neighbour = PlainItem();
        c.raise(raised);
        c.neighbour(neighbour);
        EXPECT_EQ(ItemFlagsOf(raised, ClassicJudgement(c.mode)), c.flag) << c.name;
        EXPECT_EQ(ItemFlagsOf(neighbour, ClassicJudgement(c.mode)), 0u) << c.name;
    }
}

TEST(ItemFlags, GivenOrForcedParametersAndResetValuesAreNotOnABound) {
    ItemReport item = PlainItem();
    item.a = 2;
    item.c = 0.999f;
    EXPECT_EQ(ItemFlagsOf(item, ClassicJudgement(1)), 0u);             // given a, b, c
    EXPECT_EQ(ItemFlagsOf(item, ClassicJudgement(6)), 0u);             // a and c forced
    EXPECT_EQ(ItemFlagsOf(item, ClassicJudgement(5)), kItemAAtBound);  // c given
    // Items-only reset of an item with too few responses: -1 errors, a = 0.
    ItemReport reset = PlainItem();
    reset.a = reset.b = reset.c = 0;
    reset.seea = reset.seeb = reset.seec = -1;
    reset.nobs = 9;
    EXPECT_EQ(ItemFlagsOf(reset, ClassicJudgement(2)), kItemNotEstimated | kItemTooFewResponses);
    // No valid response at all: too few, and no p-value to be all anything.
    reset.nobs = 0;
    reset.pValue = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(ItemFlagsOf(reset, ClassicJudgement(2)), kItemNotEstimated | kItemTooFewResponses);
}

// The marginal estimator's items are judged by the model table's ranges,
// not by the classic loops' bounds, and only the parameters the model
// estimates. A right/wrong item's slope and b have no bound: a negative
// slope discriminates negatively (check the key), a slope nearer 0 than 0.05
// leaves b undefined, and one at the search's reach of 100 (with no error)
// had no maximum. A polytomous run's right/wrong items are judged alike.
TEST(ItemFlags, MarginalItemsAreJudgedByTheirModelsBounds) {
    const EstimateJudgement twoPL = MarginalJudgement(SettingsFor(MarginalModel::TwoPL), 0, 1);
    MarginalSettings mixedSettings = SettingsFor(MarginalModel::TwoPL);
    mixedSettings.polytomous = PolytomousModel::Grm;
    const EstimateJudgement mixed = MarginalJudgement(mixedSettings, 0, 1);
    ItemReport item = PlainItem();
    item.c = 0;
    item.seec = -1;                             // the 2PL's c is not a parameter
    for (const double a : {2.97, 8.0, 12.0}) {  // beyond the classic bound of 2, and 8
        item.a = a;
        EXPECT_EQ(ItemFlagsOf(item, twoPL), 0u) << a;
        EXPECT_EQ(ItemFlagsOf(item, mixed), 0u) << a;
    }
    item.a = -1.4;  // a negative slope, b far out: no bound, a finding
    item.b = 25;
    EXPECT_EQ(ItemFlagsOf(item, twoPL), kItemNegativeDiscrimination);
    EXPECT_EQ(ItemFlagsOf(item, mixed), kItemNegativeDiscrimination);
    item.a = -0.05;
    EXPECT_EQ(ItemFlagsOf(item, twoPL), kItemNegativeDiscrimination);
    for (const double a : {0.049, -0.03, -0.049, 0.0}) {
        item.a = a;
        EXPECT_EQ(ItemFlagsOf(item, twoPL), kItemNotDiscriminating) << a;
    }
    item.a = 0.05;
    EXPECT_EQ(ItemFlagsOf(item, twoPL), 0u);
    item.a = -100;
    item.seea = -1;
    EXPECT_EQ(ItemFlagsOf(item, twoPL), kItemNoMaximum | kItemNegativeDiscrimination);
    item.a = 99;
    EXPECT_EQ(ItemFlagsOf(item, twoPL), kItemNotEstimated);
    // The 1PL's slope is not estimated: its sign is not judged.
    item.a = -1;
    item.seea = 0.1;
    EXPECT_EQ(ItemFlagsOf(item, MarginalJudgement(SettingsFor(MarginalModel::OnePL), 0, 1)), 0u);
    item.b = 0;
    item.a = 1;
    item.seea = 0.1;
    item.b = 9.99;
    item.seeb = -1;
    EXPECT_EQ(ItemFlagsOf(item, twoPL), kItemNotEstimated);
    // A stopped run that formed no errors: nothing is "not estimated".
    EXPECT_EQ(ItemFlagsOf(item, twoPL, true), 0u);
    // An item held at the item file's values is not judged at all.
    item.held = true;
    EXPECT_EQ(ItemFlagsOf(item, twoPL), 0u);
    // One valid response is enough for the marginal estimator.
    item = PlainItem();
    item.nobs = 1;
    EXPECT_EQ(ItemFlagsOf(item, MarginalJudgement(SettingsFor(MarginalModel::ThreePL), 0, 1)), 0u);
    // The 1PL's a is not estimated; the Rasch model's common slope is, in
    // [0.02, 8].
    item.a = 0.02;
    EXPECT_EQ(ItemFlagsOf(item, MarginalJudgement(SettingsFor(MarginalModel::OnePL), 0, 1)), 0u);
    EXPECT_EQ(ItemFlagsOf(item, MarginalJudgement(SettingsFor(MarginalModel::Rasch), 0, 1)),
              kItemAAtBound);
}

TEST(ItemFlags, ANegativeItemRestCorrelationIsFlaggedInEveryEstimator) {
    ItemReport item = PlainItem();
    item.itemRest = -0.05;
    EXPECT_EQ(ItemFlagsOf(item, ClassicJudgement(3)), kItemNegativeDiscrimination);
    EXPECT_EQ(ItemFlagsOf(item, MarginalJudgement(SettingsFor(MarginalModel::TwoPL), 0, 1)),
              kItemNegativeDiscrimination);
    item.itemRest = 0;
    EXPECT_EQ(ItemFlagsOf(item, ClassicJudgement(3)), 0u);
}

TEST(PersonFlags, MarginalScoresAreJudgedByTheQuadrature) {
    PersonReport person;
    person.rawScore = 2;
    person.nvalid = 5;
    person.theta = 3.5;  // beyond the classic bound, inside the quadrature
    MarginalSettings eap = SettingsFor(MarginalModel::TwoPL);
    EXPECT_EQ(PersonFlagsOf(person, MarginalJudgement(eap, 0, 1)), 0u);
    person.theta = 6;
    EXPECT_EQ(PersonFlagsOf(person, MarginalJudgement(eap, 0, 1)), kPersonThetaAtBound);
    // The population's mean and SD move the quadrature: its 6 SDs of 0.5
    // end at 3.
    EXPECT_EQ(PersonFlagsOf(person, MarginalJudgement(eap, 1, 1)), 0u);
    person.theta = 3.5;
    EXPECT_EQ(PersonFlagsOf(person, MarginalJudgement(eap, 0, 0.5)), kPersonThetaAtBound);
    EXPECT_EQ(PersonFlagsOf(person, MarginalJudgement(eap, 1, 0.5)), 0u);
    // ML scores are the classic ability estimates, bounded at 3.
    MarginalSettings ml = eap;
    ml.scoring = MarginalScoring::Ml;
    person.theta = 3;
    EXPECT_EQ(PersonFlagsOf(person, MarginalJudgement(ml, 0, 1)), kPersonThetaAtBound);
}

TEST(PersonFlags, EachFlagIsRaisedAtItsBoundAndNotJustInside) {
    struct Case {
        const char* name;
        int mode;
        PersonReport raise, neighbour;
        std::uint32_t flag;
    };
    auto person = [](double theta, int raw, int nvalid) {
        PersonReport p;
        p.theta = theta;
        p.rawScore = raw;
        p.nvalid = nvalid;
        return p;
    };
    const Case cases[] = {
        {"all correct", 1, person(0, 5, 5), person(0, 4, 5), kPersonAllCorrect},
        {"all wrong", 3, person(0, 0, 5), person(0, 1, 5), kPersonAllWrong},
        {"no valid", 7, person(0, 0, 0), person(0, 0, 1), kPersonNoValid},
        {"theta +3", 6, person(3, 2, 5), person(2.999, 2, 5), kPersonThetaAtBound},
        {"theta -3", 5, person(-3, 2, 5), person(-2.999, 2, 5), kPersonThetaAtBound},
        {"beyond", 3, person(7.1, 2, 5), person(0, 2, 5), kPersonThetaAtBound},
    };
    for (const Case& c : cases) {
        const std::uint32_t neighbourFlags = c.flag == kPersonNoValid ? kPersonAllWrong : 0u;
        EXPECT_EQ(PersonFlagsOf(c.raise, ClassicJudgement(c.mode)), c.flag) << c.name;
        EXPECT_EQ(PersonFlagsOf(c.neighbour, ClassicJudgement(c.mode)), neighbourFlags) << c.name;
    }
    // Given abilities (items-only modes) are not judged.
    EXPECT_EQ(PersonFlagsOf(person(3, 2, 5), ClassicJudgement(2)), 0u);
}

TEST(FlagNames, FollowTheBitOrder) {
    EXPECT_EQ(ItemFlagNames(kItemAAtBound | kItemTooFewResponses),
              (std::vector<std::string>{"a_at_bound", "too_few_responses"}));
    EXPECT_EQ(PersonFlagNames(kPersonNoValid), (std::vector<std::string>{"no_valid_response"}));
}

}  // namespace
}  // namespace tarvo::report
