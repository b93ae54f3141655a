// Reading a form for linking from a result file or an item parameter file.
//
// Input: one byte of model (none, 3PL, 2PL, 1PL), two bytes (start, length)
// for each of the id, a, b, c and three standard error columns, then the
// file. A form is read whole, with every item's values, or refused with a
// message naming the file.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "linking/forms/form_reader.h"

namespace {

using tarvo::FieldSpec;
using tarvo::linking::FormModel;

FieldSpec SmallField(tarvo::fuzz::InputBytes& input) {
    const auto start = static_cast<std::uint16_t>(input.Byte() % 64);
    const auto length = static_cast<std::uint16_t>(input.Byte() % 16);
    return {start, length};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tarvo::fuzz::MemoryFile file;
    tarvo::fuzz::InputBytes input(data, size);
    std::optional<FormModel> model;
    switch (input.Byte() % 4) {
        case 1:
            model = FormModel::ThreePL;
            break;
        case 2:
            model = FormModel::TwoPL;
            break;
        case 3:
            model = FormModel::OnePL;
            break;
        default:
            break;
    }
    tarvo::linking::ItemColumns columns;
    for (FieldSpec* field : {&columns.id, &columns.a, &columns.b, &columns.c, &columns.seA,
                             &columns.seB, &columns.seC}) {
        *field = SmallField(input);
    }
    const std::string& path = file.Write(input.Rest());
    const tarvo::linking::FormRead read = tarvo::linking::ReadItemForm(path, columns, model);
    if (!read.form) {
        FUZZ_CHECK(read.error.rfind(path, 0) == 0);
        return 0;
    }
    const auto& form = *read.form;
    const std::size_t count = form.size();
    FUZZ_CHECK(count > 0);
    FUZZ_CHECK(form.id.size() == count && form.b.size() == count && form.c.size() == count);
    FUZZ_CHECK(form.seA.size() == count && form.seB.size() == count && form.seC.size() == count);
    for (std::size_t i = 0; i < count; ++i) {
        FUZZ_CHECK(!std::isnan(form.a[i]) && !std::isnan(form.b[i]) && !std::isnan(form.c[i]));
        if (form.model != FormModel::ThreePL) FUZZ_CHECK(form.c[i] == 0 && form.seC[i] == 0);
        if (form.model == FormModel::OnePL) FUZZ_CHECK(form.a[i] == 1 && form.seA[i] == 0);
    }
    return 0;
}
