#include "estimation/marginal/held_items_check.h"

#include <array>
#include <string_view>

#include "input/text/number_text.h"
#include "output/item_values.h"

namespace tarvo::mml {

namespace {

// Why a held value cannot be used; empty when it can.
std::string Fault(char name, std::string_view text, bool textKnown, double value) {
    if (textKnown && !IsWholeNumberText(text)) return "must be a number";
    const ItemValue kind = name == 'a' ? ItemValue::A : name == 'b' ? ItemValue::B : ItemValue::C;
    return ItemValueFault(kind, value);
}

}  // namespace

std::string CheckHeldItems(const RunInputs& inputs, const MarginalModelRules& rules) {
    const RunSettings& settings = inputs.settings;
    const ItemTable& items = inputs.items;
    const std::array<FieldSpec, 3> fields{settings.aField, settings.bField, settings.cField};
    // The values the model takes from a held item's line: a unless a = 1,
    // b always, c unless the model has no floor.
    const std::array<bool, 3> taken{!rules.aIsOne, true, !rules.cIsZero};
    const std::array<char, 3> names{'a', 'b', 'c'};
    for (std::size_t i = 0; i < items.itemCount() && i < inputs.itemLinesGiven.size(); ++i) {
        if (!inputs.itemLinesGiven[i]) continue;
        const std::array<double, 3> values{items.a[i], items.b[i], items.c[i]};
        for (std::size_t p = 0; p < 3; ++p) {
            if (!taken[p] || fields[p].length == 0) continue;
            const bool textKnown = i < inputs.itemFieldTexts.size();
            const std::string_view text =
                textKnown ? TrimBlanks(inputs.itemFieldTexts[i][p]) : std::string_view();
            const std::string fault = Fault(names[p], text, textKnown, values[p]);
            if (fault.empty()) continue;
            const std::string line = std::to_string(i + 1);
            return "ERROR Item parameter file " + settings.itemParameterFile + ", line " + line +
                   " (item " + line + "): the held " + names[p] + " " + fault + ", not '" +
                   std::string(text) + "'.";
        }
    }
    return {};
}

}  // namespace tarvo::mml
