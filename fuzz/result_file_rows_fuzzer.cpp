// The reader of this program's result files, as the link commands, the
// Link window and --abilities read them back.
//
// Input: the file's text. A file is either read whole, every row with the
// fields its header names, or refused with the line it goes wrong on and no
// rows at all.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "output/result_file_rows.h"

namespace {

using tarvo::results::PrintedTable;

void CheckTable(const PrintedTable& table, bool listing) {
    for (const auto& row : table.rows) {
        FUZZ_CHECK(row.size() == table.columns.size());
        if (!listing) FUZZ_CHECK(!std::isnan(tarvo::results::PrintedNumber(row.front())));
        for (const auto& field : row) FUZZ_CHECK(field.find('\n') == std::string::npos);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tarvo::results::ResultFileRows rows = tarvo::results::ParseResultFile(text);
    if (!rows.error.empty()) {
        FUZZ_CHECK(rows.error.rfind("line ", 0) == 0);
        FUZZ_CHECK(rows.items.rows.empty() && rows.persons.rows.empty());
        return 0;
    }
    CheckTable(rows.items, rows.listingLayout);
    CheckTable(rows.persons, false);
    if (rows.listingLayout) FUZZ_CHECK(rows.items.columns.size() == 9);
    return 0;
}
