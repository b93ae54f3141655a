// The item-models file: one line per item naming its model.
//
// Input: one byte of item count, then the file. The file is read whole,
// one model per item, or refused with a message naming it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/polytomous_models.h"
#include "estimation/polytomous/inputs/item_models_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tarvo::fuzz::MemoryFile file;
    tarvo::fuzz::InputBytes input(data, size);
    const std::size_t itemCount = input.Byte() % 64;
    const std::string& path = file.Write(input.Rest());
    const tarvo::poly::ItemModels models = tarvo::poly::ReadItemModels(path, itemCount);
    if (!models.error.empty()) {
        FUZZ_CHECK(models.error.find(path) != std::string::npos);
        FUZZ_CHECK(models.lines.empty());
        return 0;
    }
    FUZZ_CHECK(models.lines.size() == itemCount);
    for (const auto& line : models.lines) {
        FUZZ_CHECK(line.categories == 0 ||
                   (line.categories >= 2 && line.categories <= tarvo::kMostCategories));
        if (line.polytomous == tarvo::PolytomousModel::None) FUZZ_CHECK(line.categories == 0);
        FUZZ_CHECK(line.text.find('\n') == std::string::npos);
    }
    return 0;
}
