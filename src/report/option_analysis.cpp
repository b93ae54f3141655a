#include "report/option_analysis.h"

#include <array>
#include <cmath>

#include "core/model_constants.h"
#include "report/ability_statistics.h"

namespace tarvo::report {

namespace {

constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();
constexpr std::size_t kCodes = 256;
constexpr std::int32_t kNoSlot = -1;

std::size_t ByteOf(char code) { return static_cast<unsigned char>(code); }

bool IsMissingCode(char code) { return code == ' ' || code == '9'; }

// An item the analysis takes: keyed right/wrong with its characters kept,
// or scored 0..m by its digit.
bool KeyedItem(const OptionInputs& in, std::size_t i) {
    const bool scoredByDigit = i < in.categories.size() && in.categories[i] > 2;
    return !in.options.empty() && !scoredByDigit && i < in.key.size() && in.key[i] != '+';
}
bool CategoryItem(const OptionInputs& in, std::size_t i) {
    return i < in.categories.size() && in.categories[i] > 2;
}

// The codes of one kind from the first to `highest`, which an item whose
// options are those codes has whether anyone chose them or not.
void FillRun(std::array<bool, kCodes>& set, char first, char last) {
    char highest = 0;
    for (char c = first; c <= last; ++c) {
        if (set[ByteOf(c)]) highest = c;
    }
    if (highest == 0) return;
    for (char c = first; c <= highest; ++c) set[ByteOf(c)] = true;
}

// Per item and code a slot of the accumulators, in byte order.
struct OptionSlots {
    std::vector<std::int32_t> of;  // item * 256 + code -> slot, or kNoSlot
    std::vector<std::size_t> firstOfItem;
    std::size_t count = 0;
};

OptionSlots SlotsOf(const OptionInputs& in, std::size_t persons) {
    const std::size_t items = in.itemCount;
    std::vector<char> seen(items * kCodes, 0);
    for (std::size_t j = 0; j < persons; ++j) {
        const char* row = in.options.data() + j * items;
        for (std::size_t i = 0; i < items; ++i) seen[i * kCodes + ByteOf(row[i])] = 1;
    }
    OptionSlots slots;
    slots.of.assign(items * kCodes, kNoSlot);
    slots.firstOfItem.assign(items + 1, 0);
    for (std::size_t i = 0; i < items; ++i) {
        slots.firstOfItem[i] = slots.count;
        if (!KeyedItem(in, i)) continue;
        std::array<bool, kCodes> set{};
        for (std::size_t c = 0; c < kCodes; ++c) set[c] = seen[i * kCodes + c] != 0;
        set[ByteOf(in.key[i])] = true;
        FillRun(set, '1', '8');
        FillRun(set, 'A', 'Z');
        FillRun(set, 'a', 'z');
        for (std::size_t c = 0; c < kCodes; ++c) {
            if (set[c]) slots.of[i * kCodes + c] = static_cast<std::int32_t>(slots.count++);
        }
    }
    slots.firstOfItem[items] = slots.count;
    return slots;
}

double Correlation(double sxy, double sxx, double syy) {
    if (!(sxx > 0) || !(syy > 0)) return kUndefined;
    return sxy / std::sqrt(sxx * syy);
}

void FlagItem(OptionItem& item, std::size_t groups) {
    const OptionRow* key = nullptr;
    for (const OptionRow& row : item.options) {
        if (row.isKey) key = &row;
    }
    const std::size_t top = groups == 0 ? 0 : groups - 1;
    for (OptionRow& row : item.options) {
        if (row.missing) continue;
        if (row.count == 0) row.flags |= kOptionChosenByNobody;
        if (row.isKey) {
            if (row.pointBiserial < 0) row.flags |= kOptionKeyNegative;
        } else if (key != nullptr) {
            const double keyR = key->pointBiserial;
            if (row.pointBiserial > 0 && (std::isnan(keyR) || row.pointBiserial > keyR)) {
                row.flags |= kOptionAttractsStrongest;
            }
            if (groups > 0 && row.groupProportion[top] > key->groupProportion[top]) {
                row.flags |= kOptionBeatsKeyAtTop;
            }
        }
        item.flags |= row.flags;
    }
}

}  // namespace

std::string OptionLabel(char code) { return code == ' ' ? "blank" : std::string(1, code); }

OptionAnalysis AnalyseOptions(const OptionInputs& in) {
    OptionAnalysis result;
    result.abilityName = in.abilityName;
    const std::size_t items = in.itemCount;
    if (items == 0) return result;
    const std::size_t persons = in.codes.size() / items;
    const bool withOptions = in.options.size() == in.codes.size() && !in.options.empty();
    OptionInputs inputs = in;
    if (!withOptions) inputs.options = {};
    result.examinees = persons;

    // The summed score and the valid responses of every examinee.
    std::vector<double> total(persons, 0);
    std::vector<std::int32_t> valid(persons, 0);
    for (std::size_t j = 0; j < persons; ++j) {
        const std::uint8_t* row = in.codes.data() + j * items;
        for (std::size_t i = 0; i < items; ++i) {
            if (row[i] == kNoResponse) continue;
            total[j] += row[i];
            ++valid[j];
        }
    }
    const std::span<const double> ability =
        in.ability.size() == persons ? in.ability : std::span<const double>(total);
    const AbilityGroups grouped = AbilityGroupsOf(ability, valid, kOptionGroups);
    const std::size_t groups = grouped.groups;
    result.groups = groups;
    result.groupMeanAbility.assign(groups, 0);
    result.groupSize.assign(groups, 0);
    for (const std::size_t j : grouped.order) {
        const auto g = static_cast<std::size_t>(grouped.of[j]);
        result.groupMeanAbility[g] += ability[j];
        ++result.groupSize[g];
    }
    for (std::size_t g = 0; g < groups; ++g) {
        result.groupMeanAbility[g] /= static_cast<double>(result.groupSize[g]);
    }

    // The mean rest score of every item, so that the sums below are of
    // deviations from it.
    std::vector<double> meanRest(items, 0);
    for (std::size_t j = 0; j < persons; ++j) {
        const std::uint8_t* row = in.codes.data() + j * items;
        for (std::size_t i = 0; i < items; ++i) {
            meanRest[i] += total[j] - (row[i] == kNoResponse ? 0 : row[i]);
        }
    }
    for (double& mean : meanRest) mean /= static_cast<double>(persons == 0 ? 1 : persons);

    const OptionSlots slots = withOptions ? SlotsOf(inputs, persons) : OptionSlots{};
    std::vector<std::size_t> chosen(slots.count, 0);
    std::vector<std::size_t> chosenInGroup(slots.count * groups, 0);
    std::vector<double> restDeviation(slots.count, 0), abilitySum(slots.count, 0);
    std::vector<std::size_t> withAbility(slots.count, 0);
    std::vector<double> restSquares(items, 0);
    // Items scored 0..m: per item, group and score, the valid responses.
    std::vector<std::size_t> categoryAt(items + 1, 0);
    for (std::size_t i = 0; i < items; ++i) {
        categoryAt[i + 1] =
            categoryAt[i] + (CategoryItem(in, i) ? static_cast<std::size_t>(in.categories[i]) : 0);
    }
    std::vector<std::size_t> scoreInGroup(categoryAt[items] * (groups + 1), 0);

    for (std::size_t j = 0; j < persons; ++j) {
        const std::uint8_t* row = in.codes.data() + j * items;
        const std::int32_t g = grouped.of[j];
        for (std::size_t i = 0; i < items; ++i) {
            const double rest = total[j] - (row[i] == kNoResponse ? 0 : row[i]);
            const double deviation = rest - meanRest[i];
            restSquares[i] += deviation * deviation;
            if (categoryAt[i + 1] > categoryAt[i] && row[i] != kNoResponse) {
                // Column `groups` counts every valid response.
                const std::size_t at = (categoryAt[i] + row[i]) * (groups + 1);
                ++scoreInGroup[at + groups];
                if (g >= 0) ++scoreInGroup[at + static_cast<std::size_t>(g)];
            }
            if (!withOptions) continue;
            const std::int32_t slot = slots.of[i * kCodes + ByteOf(in.options[j * items + i])];
            if (slot == kNoSlot) continue;
            const auto s = static_cast<std::size_t>(slot);
            ++chosen[s];
            restDeviation[s] += deviation;
            if (g >= 0) {
                ++chosenInGroup[s * groups + static_cast<std::size_t>(g)];
                abilitySum[s] += ability[j];
                ++withAbility[s];
            }
        }
    }

    const double n = static_cast<double>(persons);
    for (std::size_t i = 0; i < items; ++i) {
        const bool keyed = withOptions && KeyedItem(inputs, i);
        if (!keyed && !CategoryItem(in, i)) continue;
        OptionItem item;
        item.item = i;
        item.key = i < in.key.size() ? in.key[i] : '+';
        for (std::size_t c = 0; keyed && c < kCodes; ++c) {
            const std::int32_t slot = slots.of[i * kCodes + c];
            if (slot == kNoSlot) continue;
            const auto s = static_cast<std::size_t>(slot);
            OptionRow option;
            option.code = static_cast<char>(c);
            option.isKey = option.code == item.key;
            option.missing = IsMissingCode(option.code);
            option.count = chosen[s];
            option.proportion = static_cast<double>(chosen[s]) / n;
            option.groupProportion.resize(groups);
            for (std::size_t g = 0; g < groups; ++g) {
                option.groupProportion[g] = static_cast<double>(chosenInGroup[s * groups + g]) /
                                            static_cast<double>(result.groupSize[g]);
            }
            if (withAbility[s] > 0) {
                option.meanAbility = abilitySum[s] / static_cast<double>(withAbility[s]);
            }
            // Choosing it against the rest score: the cross products of the
            // deviations are the choosers' rest deviations, since those of
            // every examinee add to 0.
            const double k = static_cast<double>(chosen[s]);
            option.pointBiserial = Correlation(restDeviation[s], k - k * k / n, restSquares[i]);
            item.options.push_back(std::move(option));
        }
        if (CategoryItem(in, i)) {
            for (std::size_t score = 0; score < categoryAt[i + 1] - categoryAt[i]; ++score) {
                const std::size_t at = (categoryAt[i] + score) * (groups + 1);
                CategoryRow category;
                category.score = static_cast<int>(score);
                category.count = scoreInGroup[at + groups];
                category.groupProportion.assign(groups, kUndefined);
                item.categories.push_back(std::move(category));
            }
            // Shares of the group's valid responses to the item.
            for (std::size_t g = 0; g < groups; ++g) {
                std::size_t answered = 0;
                for (std::size_t score = 0; score < item.categories.size(); ++score) {
                    answered += scoreInGroup[(categoryAt[i] + score) * (groups + 1) + g];
                }
                if (answered == 0) continue;
                for (std::size_t score = 0; score < item.categories.size(); ++score) {
                    item.categories[score].groupProportion[g] =
                        static_cast<double>(
                            scoreInGroup[(categoryAt[i] + score) * (groups + 1) + g]) /
                        static_cast<double>(answered);
                }
            }
        }
        FlagItem(item, groups);
        result.items.push_back(std::move(item));
    }
    return result;
}

std::string OptionList(const std::vector<std::string>& codes) {
    std::string list = codes.size() == 1 ? "option " : "options ";
    for (std::size_t k = 0; k < codes.size(); ++k) {
        list += (k == 0 ? "" : (k + 1 == codes.size() ? " and " : ", ")) + codes[k];
    }
    return list;
}

std::vector<std::string> OptionFlagTexts(const OptionItem& item) {
    // The key's trouble first, then the options that compete with it; the
    // options of one flag named together.
    std::vector<std::string> texts;
    const auto codesOf = [&](OptionFlag flag) {
        std::vector<std::string> codes;
        for (const OptionRow& row : item.options) {
            if (row.flags & flag) codes.push_back(OptionLabel(row.code));
        }
        return codes;
    };
    const auto verb = [](const std::vector<std::string>& codes, const char* one, const char* many) {
        return std::string(codes.size() == 1 ? one : many);
    };
    if (const auto codes = codesOf(kOptionAttractsStrongest); !codes.empty()) {
        texts.push_back("check the key: " + OptionList(codes) +
                        verb(codes, " attracts", " attract") +
                        " the strongest examinees (a point-biserial above the key's)");
    }
    if (const auto codes = codesOf(kOptionKeyNegative); !codes.empty()) {
        texts.push_back("the key " + codes.front() +
                        " has a negative point-biserial: those who choose it score lower");
    }
    if (const auto codes = codesOf(kOptionBeatsKeyAtTop); !codes.empty()) {
        texts.push_back(OptionList(codes) + verb(codes, " is", " are") +
                        " chosen by more of the top group than the key");
    }
    if (const auto codes = codesOf(kOptionChosenByNobody); !codes.empty()) {
        texts.push_back(OptionList(codes) + verb(codes, " is", " are") + " chosen by nobody");
    }
    return texts;
}

}  // namespace tarvo::report
