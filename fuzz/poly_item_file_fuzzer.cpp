// The polytomous item parameter file: a polytomous result file's item rows
// read back to hold items at their values.
//
// Input: one byte of item count, then the file. A file is read whole or
// refused with a message naming it and holds no item then; every held row
// has a count of categories the models allow and a number for each value.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/polytomous_models.h"
#include "estimation/polytomous/inputs/poly_item_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tarvo::fuzz::MemoryFile file;
    tarvo::fuzz::InputBytes input(data, size);
    const std::size_t itemCount = input.Byte() % 64;
    const std::string& path = file.Write(input.Rest());
    const tarvo::poly::HeldItems held = tarvo::poly::ReadPolytomousItemFile(path, itemCount);
    FUZZ_CHECK(held.items.size() == itemCount);
    for (const auto& row : held.items) {
        if (!held.error.empty()) {
            FUZZ_CHECK(!row);
            continue;
        }
        if (!row) continue;
        FUZZ_CHECK(row->categories >= 2 && row->categories <= tarvo::kMostCategories);
        FUZZ_CHECK(std::isfinite(row->a) && std::isfinite(row->c));
        for (int k = 0; k + 1 < row->categories; ++k) {
            FUZZ_CHECK(std::isfinite(row->b[static_cast<std::size_t>(k)]));
        }
    }
    if (!held.error.empty()) FUZZ_CHECK(held.error.find(path) != std::string::npos);
    return 0;
}
