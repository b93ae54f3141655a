// The option analysis on small tests whose answers are known: the flags
// that question a key, the option set, no responses, groups that keep ties
// together, the point-biserial against a plain Pearson correlation, and the
// category shares of an item scored 0..m.
#include "report/option_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tarvo::report {
namespace {

// Responses as strings, one per examinee; codes scored against the key
// (a blank or "9" is no response), or by digit where the key says "+".
struct Keyed {
    std::vector<char> options;
    std::vector<std::uint8_t> codes;
    std::string key;
    std::size_t items = 0;

    Keyed(const std::vector<std::string>& rows, std::string keyText) : key(std::move(keyText)) {
        items = key.size();
        for (const std::string& row : rows) {
            for (std::size_t i = 0; i < items; ++i) {
                const char c = row[i];
                options.push_back(c);
                if (c == ' ' || c == '9') {
                    codes.push_back(9);
                } else if (key[i] == '+') {
                    codes.push_back(static_cast<std::uint8_t>(c - '0'));
                } else {
                    codes.push_back(c == key[i] ? 1 : 0);
                }
            }
        }
    }

    OptionAnalysis Analyse(const std::vector<double>& ability = {},
                           const std::vector<int>& categories = {}) const {
        OptionInputs in;
        in.itemCount = items;
        in.options = options;
        in.codes = codes;
        in.key = key;
        in.categories = categories;
        in.ability = ability;
        in.abilityName = ability.empty() ? "total score" : "theta";
        return AnalyseOptions(in);
    }
};

const OptionRow& Row(const OptionItem& item, char code) {
    for (const OptionRow& row : item.options) {
        if (row.code == code) return row;
    }
    static const OptionRow none;
    ADD_FAILURE() << "no option " << code;
    return none;
}

TEST(OptionAnalysis, AWrongKeyIsQuestionedAndItsRivalFlagged) {
    // Item 1's key is A, but the five strongest (by the other items) choose
    // C; E is given, so D, never chosen, is an option too.
    std::vector<std::string> rows;
    for (int j = 0; j < 10; ++j) {
        const bool strong = j >= 5;
        std::string row;
        row += strong ? 'C' : (j % 2 == 0 ? 'A' : (j == 1 ? 'E' : 'B'));
        for (int k = 0; k < 4; ++k) row += (strong || k < j % 3) ? '1' : '2';
        rows.push_back(row);
    }
    const Keyed test(rows, "A1111");
    const OptionAnalysis analysis = test.Analyse();
    ASSERT_EQ(analysis.items.size(), 5u);
    const OptionItem& item = analysis.items[0];
    EXPECT_EQ(item.key, 'A');
    ASSERT_EQ(item.options.size(), 5u);  // A B C D E
    EXPECT_TRUE(Row(item, 'A').isKey);
    EXPECT_LT(Row(item, 'A').pointBiserial, 0);
    EXPECT_TRUE(Row(item, 'A').flags & kOptionKeyNegative);
    EXPECT_GT(Row(item, 'C').pointBiserial, 0);
    EXPECT_TRUE(Row(item, 'C').flags & kOptionAttractsStrongest);
    EXPECT_TRUE(Row(item, 'C').flags & kOptionBeatsKeyAtTop);
    EXPECT_EQ(Row(item, 'D').count, 0u);
    EXPECT_TRUE(Row(item, 'D').flags & kOptionChosenByNobody);
    EXPECT_FALSE(Row(item, 'B').flags & (kOptionAttractsStrongest | kOptionBeatsKeyAtTop));
    EXPECT_EQ(item.flags, kOptionKeyNegative | kOptionAttractsStrongest | kOptionBeatsKeyAtTop |
                              kOptionChosenByNobody);
    const std::vector<std::string> texts = OptionFlagTexts(item);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0].rfind("check the key: option C attracts the strongest examinees", 0), 0u)
        << texts[0];
    // A sound item is not flagged.
    EXPECT_EQ(analysis.items[1].flags & (kOptionKeyNegative | kOptionAttractsStrongest), 0u);
}

TEST(OptionAnalysis, PointBiserialIsPearsonWithTheRestScoreAndNoResponseIsItsOwnOption) {
    const std::vector<std::string> rows = {"3121", "3 12", "2922", "3111", "1212",
                                           "3121", "4111", "3 22", "2121", "3111"};
    const Keyed test(rows, "3121");
    const OptionAnalysis analysis = test.Analyse();
    const OptionItem& item = analysis.items[1];
    const std::size_t n = rows.size();
    // rest = number right on items 1, 3, 4.
    std::vector<double> rest(n);
    for (std::size_t j = 0; j < n; ++j) {
        rest[j] = (rows[j][0] == '3') + (rows[j][2] == '2') + (rows[j][3] == '1');
    }
    auto pearson = [&](char code) {
        double mx = 0, my = 0;
        for (std::size_t j = 0; j < n; ++j) {
            mx += rows[j][1] == code;
            my += rest[j];
        }
        mx /= n;
        my /= n;
        double sxy = 0, sxx = 0, syy = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const double x = (rows[j][1] == code) - mx, y = rest[j] - my;
            sxy += x * y;
            sxx += x * x;
            syy += y * y;
        }
        return sxy / std::sqrt(sxx * syy);
    };
    for (const char code : {'1', '2', ' ', '9'}) {
        EXPECT_NEAR(Row(item, code).pointBiserial, pearson(code), 1e-14) << code;
    }
    EXPECT_TRUE(Row(item, ' ').missing);
    EXPECT_TRUE(Row(item, '9').missing);
    EXPECT_EQ(Row(item, ' ').count, 2u);
    EXPECT_DOUBLE_EQ(Row(item, ' ').proportion, 0.2);
    // No response is never flagged, whatever its correlation.
    EXPECT_EQ(Row(item, ' ').flags | Row(item, '9').flags, 0u);
    // Item 1's options: 1 to the highest given (4), every one given.
    EXPECT_EQ(analysis.items[0].options.size(), 4u);
    EXPECT_EQ(analysis.items[0].flags & kOptionChosenByNobody, 0u);
}

TEST(OptionAnalysis, GroupsKeepTiesTogetherAndSharesAddUp) {
    // 20 examinees; abilities 0 (8 of them), 1 (4), 2 (8): a cut at 4, 8,
    // 12, 16 would split the ties, so the groups are three, cut at 8 and 12.
    std::vector<std::string> rows;
    std::vector<double> ability;
    for (int j = 0; j < 20; ++j) {
        const double theta = j < 8 ? 0 : (j < 12 ? 1 : 2);
        ability.push_back(theta);
        rows.push_back(std::string(1, theta == 2 ? 'A' : (j % 2 ? 'B' : 'C')) + "1");
    }
    const Keyed test(rows, "A1");
    const OptionAnalysis analysis = test.Analyse(ability);
    ASSERT_EQ(analysis.groups, 3u);
    EXPECT_EQ(analysis.groupSize, (std::vector<std::size_t>{8, 4, 8}));
    EXPECT_EQ(analysis.groupMeanAbility, (std::vector<double>{0, 1, 2}));
    const OptionItem& item = analysis.items[0];
    EXPECT_EQ(Row(item, 'A').groupProportion, (std::vector<double>{0, 0, 1}));
    EXPECT_DOUBLE_EQ(Row(item, 'A').meanAbility, 2);
    EXPECT_DOUBLE_EQ(Row(item, 'B').meanAbility, 2.0 / 6);  // j = 1, 3, 5, 7, 9, 11
    for (std::size_t g = 0; g < analysis.groups; ++g) {
        double sum = 0;
        for (const OptionRow& row : item.options) sum += row.groupProportion[g];
        EXPECT_DOUBLE_EQ(sum, 1) << g;
    }
    // Item 2, answered right by all, has no spread: no correlation, no flag.
    EXPECT_TRUE(std::isnan(Row(analysis.items[1], '1').pointBiserial));
    EXPECT_EQ(analysis.items[1].flags, 0u);
}

TEST(OptionAnalysis, AnItemScoredByCategoryGetsItsSharesByGroup) {
    // Item 2 is scored 0..2 by its digit; item 1 is keyed.
    std::vector<std::string> rows;
    for (int j = 0; j < 15; ++j) {
        const char score = j < 5 ? '0' : (j < 10 ? '1' : '2');
        rows.push_back(std::string(1, j >= 7 ? 'B' : 'A') + (j == 14 ? ' ' : score));
    }
    const Keyed test(rows, "B+");
    const std::vector<int> categories = {2, 3};
    const OptionAnalysis analysis = test.Analyse({}, categories);
    ASSERT_EQ(analysis.items.size(), 2u);
    const OptionItem& scored = analysis.items[1];
    EXPECT_TRUE(scored.options.empty());
    ASSERT_EQ(scored.categories.size(), 3u);
    EXPECT_EQ(scored.categories[2].count, 4u);  // the blank is no response
    for (std::size_t g = 0; g < analysis.groups; ++g) {
        double sum = 0;
        for (const CategoryRow& row : scored.categories) sum += row.groupProportion[g];
        EXPECT_NEAR(sum, 1, 1e-15) << g;
    }
    // The top group by total score holds the highest scores.
    const std::size_t top = analysis.groups - 1;
    EXPECT_GT(scored.categories[2].groupProportion[top], scored.categories[0].groupProportion[top]);
    // Without the characters there is no option analysis, but the
    // categories stay.
    OptionInputs in;
    in.itemCount = 2;
    in.codes = test.codes;
    in.key = test.key;
    in.categories = categories;
    in.abilityName = "total score";
    const OptionAnalysis bare = AnalyseOptions(in);
    ASSERT_EQ(bare.items.size(), 1u);
    EXPECT_EQ(bare.items[0].item, 1u);
}

}  // namespace
}  // namespace tarvo::report
