#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::report {

// The option (distractor) analysis of a keyed test: for every item and
// every code its examinees gave, who chose it. Plain data, for the report's
// JSON and text, the results window and any other writer of the report.

inline constexpr std::size_t kOptionGroups = 5;

// Why an item's options deserve a look.
enum OptionFlag : std::uint32_t {
    // A wrong option whose point-biserial is positive and above the key's:
    // the strongest examinees choose it (a wrong key, or a second answer).
    kOptionAttractsStrongest = 1u << 0,
    kOptionKeyNegative = 1u << 1,     // the key's point-biserial is below 0
    kOptionChosenByNobody = 1u << 2,  // an option of the item that nobody chose
    kOptionBeatsKeyAtTop = 1u << 3,   // more of the top group chose it than the key
};

struct OptionRow {
    // The code as read (one character); a blank is shown as "blank".
    char code = ' ';
    bool isKey = false;
    bool missing = false;  // a blank or "9": no response
    std::size_t count = 0;
    double proportion = 0;  // of every examinee
    // The share of each ability group that chose it (NaN: an empty group).
    std::vector<double> groupProportion;
    // The mean ability (theta or total score) of those who chose it, NaN:
    // nobody with an ability did.
    double meanAbility = std::numeric_limits<double>::quiet_NaN();
    // The correlation of choosing it (1 or 0) with the rest score, over
    // every examinee; NaN where either does not vary.
    double pointBiserial = std::numeric_limits<double>::quiet_NaN();
    std::uint32_t flags = 0;  // OptionFlag bits that name this option
};

// An item scored 0..m by its digit: the share of each score in each group
// among the group's valid responses (the observed category curves).
struct CategoryRow {
    int score = 0;
    std::size_t count = 0;
    std::vector<double> groupProportion;
};

struct OptionItem {
    std::size_t item = 0;            // 0-based
    char key = ' ';                  // the key's character; '+' for an item scored by its digit
    std::vector<OptionRow> options;  // keyed items, codes in byte order
    std::vector<CategoryRow> categories;  // items scored 0..m
    std::uint32_t flags = 0;              // every OptionFlag of its options
};

struct OptionAnalysis {
    // What the groups and the means are by: "theta" where the run estimated
    // abilities, else "total score" (the summed score over every item).
    std::string abilityName;
    // The point-biserials' partner: the total score without the item's own
    // score, so that the key is not correlated with itself.
    std::string correlatedWith = "rest score";
    std::size_t examinees = 0;
    std::size_t groups = 0;
    std::vector<double> groupMeanAbility;  // per group, its mean ability
    std::vector<std::size_t> groupSize;    // per group, its examinees
    std::vector<OptionItem> items;         // every keyed item and item scored 0..m, in order
};

// What the analysis is formed from: per examinee, itemCount response
// characters as read (empty: no key, no options analysed), the scored codes
// (1, 0, 9; 0..8 for items scored by their digit), the key; per item its
// categories (more than 2: scored 0..m by its digit, analysed by category;
// empty: every item right/wrong); per examinee the ability the groups and
// the means are by (NaN: in no group).
struct OptionInputs {
    std::size_t itemCount = 0;
    std::span<const char> options;
    std::span<const std::uint8_t> codes;
    std::string_view key;
    std::span<const int> categories;
    std::span<const double> ability;
    std::string abilityName;
};

// Five ability groups by the report's rule (cut only where the ability
// rises, so ties share a group), proportions over every examinee (missing
// included), and for the key and the wrong options the point-biserial with
// the rest score. An item's option set is every code seen on it, and the
// codes of one kind from the first ("1", "A" or "a") to the highest seen
// or keyed: one of those nobody chose is listed with a count of 0 and
// flagged.
OptionAnalysis AnalyseOptions(const OptionInputs& in);

// "blank" for a blank, the character otherwise.
std::string OptionLabel(char code);

// The flags in words, for one item, the options of one flag together:
// "check the key: option C attracts the strongest examinees", ...
std::vector<std::string> OptionFlagTexts(const OptionItem& item);

// "option C", "options 0, 1 and 3".
std::string OptionList(const std::vector<std::string>& codes);

}  // namespace tarvo::report
