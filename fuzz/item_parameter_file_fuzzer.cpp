// The item parameter file reader.
//
// Input: one byte of item count, two bytes (start, length) for each of the
// Item ID, a, b and c fields, one byte saying whether the table starts with
// values already in it, then the file. Line i belongs to item i; fields of
// length 0 leave what the table held.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/run_tables.h"
#include "fuzz_support.h"
#include "input/text/item_parameter_file.h"
#include "input/text/text_rules.h"

namespace {

using tarvo::FieldSpec;

FieldSpec SmallField(tarvo::fuzz::InputBytes& input) {
    const auto start = static_cast<std::uint16_t>(input.Byte() % 48);
    const auto length = static_cast<std::uint16_t>(input.Byte() % 12);
    return {start, length};
}

std::string_view ModelCut(std::string_view line, FieldSpec field) {
    if (field.start == 0 || field.start > line.size()) return {};
    return line.substr(field.start - 1u, field.length);
}

void CheckParameter(std::string_view line, FieldSpec field, double before, double after) {
    if (field.length == 0) {
        FUZZ_CHECK(after == before);
        return;
    }
    FUZZ_CHECK(!std::isnan(after));
    FUZZ_CHECK(after == tarvo::TextToNumber(ModelCut(line, field)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tarvo::fuzz::MemoryFile file;
    tarvo::fuzz::InputBytes input(data, size);
    tarvo::RunSettings settings;
    const std::size_t itemCount = input.Byte() % 32;
    settings.itemIdField = SmallField(input);
    settings.aField = SmallField(input);
    settings.bField = SmallField(input);
    settings.cField = SmallField(input);
    const bool prefilled = input.Byte() % 2 == 1;
    const std::string_view bytes = input.Rest();

    // The run starts from an empty table; a filled one shows that fields of
    // length 0 are left alone.
    const std::string oldAccNo = prefilled ? "OLD" : "";
    const double oldValue = prefilled ? 7.5 : 0.0;
    tarvo::ItemTable items(itemCount);
    for (std::size_t i = 0; i < itemCount; ++i) {
        items.AccNo[i] = oldAccNo;
        items.a[i] = items.b[i] = items.c[i] = oldValue;
    }

    FUZZ_CHECK(tarvo::ReadItemParameterFile(file.Write(bytes), settings, items) ==
               tarvo::ReadStatus::Read);

    FUZZ_CHECK(items.itemCount() == itemCount);
    FUZZ_CHECK(items.AccNo.size() == itemCount);
    FUZZ_CHECK(items.b.size() == itemCount && items.c.size() == itemCount);
    FUZZ_CHECK(items.seea.size() == itemCount && items.seeb.size() == itemCount);
    FUZZ_CHECK(items.seec.size() == itemCount && items.Nobs.size() == itemCount);

    const std::vector<std::string> lines = tarvo::fuzz::ModelLines(bytes);
    for (std::size_t i = 0; i < itemCount; ++i) {
        // Missing lines read as empty lines.
        const std::string_view line = i < lines.size() ? std::string_view(lines[i]) : "";
        if (settings.itemIdField.length == 0) {
            FUZZ_CHECK(items.AccNo[i] == oldAccNo);
        } else {
            FUZZ_CHECK(items.AccNo[i].size() <= settings.itemIdField.length);
            FUZZ_CHECK(items.AccNo[i] == ModelCut(line, settings.itemIdField));
        }
        CheckParameter(line, settings.aField, oldValue, items.a[i]);
        CheckParameter(line, settings.bField, oldValue, items.b[i]);
        CheckParameter(line, settings.cField, oldValue, items.c[i]);
        FUZZ_CHECK(items.seea[i] == 0.0 && items.seeb[i] == 0.0 && items.seec[i] == 0.0);
        FUZZ_CHECK(items.Nobs[i] == 0);
    }
    return 0;
}
