#include "linking/forms/form_values.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <utility>

#include "input/text/item_parameter_file.h"
#include "input/text/number_text.h"
#include "output/item_values.h"

namespace tarvo::linking {

namespace {

std::string AsRead(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

}  // namespace

std::string CheckFormValues(const std::string& path, const ItemForm& form) {
    struct Value {
        const char* name;
        const std::vector<double>& values;
        ItemValue kind;
    };
    const std::array<Value, 6> values{{{"a", form.a, ItemValue::A},
                                       {"b", form.b, ItemValue::B},
                                       {"c", form.c, ItemValue::C},
                                       {"standard error of a", form.seA, ItemValue::Error},
                                       {"standard error of b", form.seB, ItemValue::Error},
                                       {"standard error of c", form.seC, ItemValue::Error}}};
    for (std::size_t i = 0; i < form.size(); ++i) {
        const std::string id = form.id[i].empty() ? std::string() : " (" + form.id[i] + ")";
        const std::string item = path + ", item " + std::to_string(i + 1) + id;
        for (const Value& value : values) {
            const double x = value.values[i];
            // A standard error the file does not give is not known: NaN.
            if (value.kind == ItemValue::Error && std::isnan(x)) continue;
            const std::string fault = ItemValueFault(value.kind, x);
            if (fault.empty()) continue;
            return item + ": the " + value.name + " " + fault + ", not '" + AsRead(x) + "'";
        }
        // The upper asymptote of a 4PL item lies above its c, at most 1.
        if (!(form.u[i] > form.c[i] && form.u[i] <= 1)) {
            return item + ": the u must be above c and at most 1, not '" + AsRead(form.u[i]) + "'";
        }
        if (const std::string fault = ItemValueFault(ItemValue::Error, form.seU[i]);
            !std::isnan(form.seU[i]) && !fault.empty()) {
            return item + ": the standard error of u " + fault + ", not '" + AsRead(form.seU[i]) +
                   "'";
        }
    }
    return {};
}

std::string CheckItemFileTexts(const std::string& path, const ItemColumns& columns,
                               std::size_t itemCount) {
    // The reader's own pass, once for the values' columns and once for the
    // errors', each keeping the texts it cut.
    const std::array<std::array<std::pair<const char*, FieldSpec>, 3>, 2> passes{{
        {{{"a", columns.a}, {"b", columns.b}, {"c", columns.c}}},
        {{{"standard error of a", columns.seA},
          {"standard error of b", columns.seB},
          {"standard error of c", columns.seC}}},
    }};
    for (const auto& pass : passes) {
        if (pass[0].second.length == 0 && pass[1].second.length == 0 &&
            pass[2].second.length == 0) {
            continue;
        }
        RunSettings settings;
        settings.itemCount = static_cast<std::uint16_t>(itemCount);
        settings.aField = pass[0].second;
        settings.bField = pass[1].second;
        settings.cField = pass[2].second;
        ItemTable table(itemCount);
        std::vector<std::array<std::string, 3>> texts(itemCount);
        if (ReadItemParameterFile(path, settings, table, nullptr, &texts) != ReadStatus::Read) {
            return path + ": cannot read this file";
        }
        for (std::size_t i = 0; i < itemCount; ++i) {
            for (std::size_t p = 0; p < 3; ++p) {
                if (pass[p].second.length == 0) continue;
                const std::string_view text = TrimBlanks(texts[i][p]);
                // A blank field is 0, as in every mode's item parameter file.
                if (text.empty() || IsWholeNumberText(text)) continue;
                const std::string line = std::to_string(i + 1);
                return path + ", line " + line + " (item " + line + "): the " + pass[p].first +
                       " must be a number, not '" + std::string(text) + "'";
            }
        }
    }
    return {};
}

}  // namespace tarvo::linking
