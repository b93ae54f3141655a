// The line reader and field cutting over arbitrary file bytes.
//
// Input: one byte choosing the read buffer size (small sizes put line ends
// across block boundaries), six bytes giving two fields to cut from every
// line (start and length as one byte each, then as two bytes each), and the
// rest as the file. The file is read a second time keeping each line only up
// to the end of a field, as the readers do.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/run_tables.h"
#include "fuzz_support.h"
#include "input/text/line_reader.h"
#include "input/text/text_rules.h"

namespace {

using tarvo::FieldSpec;
using tarvo::fuzz::InputBytes;

std::size_t BufferSize(std::uint8_t choice) {
    if (choice < 128) return choice % 8 + 1u;
    if (choice < 192) return choice % 64 + 1u;
    return tarvo::LineReader::kDefaultBufferSize;
}

std::uint16_t Word(InputBytes& input) {
    const unsigned high = input.Byte();
    return static_cast<std::uint16_t>(high << 8 | input.Byte());
}

// The cut is at most length characters, starts at column start of the line
// itself (not a copy) and is cut short only by the end of the line.
void CheckCut(std::string_view line, FieldSpec field) {
    const std::string_view cut = tarvo::CutField(line, field);
    FUZZ_CHECK(cut.size() <= field.length);
    if (field.start == 0 || field.start > line.size()) {
        FUZZ_CHECK(cut.empty());
        return;
    }
    const std::size_t offset = field.start - 1u;
    FUZZ_CHECK(cut.data() == line.data() + offset);
    FUZZ_CHECK(cut.size() == std::min<std::size_t>(field.length, line.size() - offset));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tarvo::fuzz::MemoryFile file;
    InputBytes input(data, size);
    const std::size_t bufferSize = BufferSize(input.Byte());
    const FieldSpec narrow{input.Byte(), input.Byte()};
    const FieldSpec wide{Word(input), Word(input)};
    const std::string_view bytes = input.Rest();

    const std::vector<std::string> expected = tarvo::fuzz::ModelLines(bytes);
    tarvo::LineReader reader(file.Write(bytes), bufferSize);
    std::vector<std::string> lines;
    std::string reused = "left over from before";
    while (!reader.Ended()) {
        FUZZ_CHECK(lines.size() < expected.size());  // no line beyond the data
        // Both forms of ReadLine; the reused string must lose its old text.
        if (lines.size() % 2 == 0) {
            reader.ReadLine(reused);
            lines.push_back(reused);
        } else {
            lines.push_back(reader.ReadLine());
        }
    }
    FUZZ_CHECK(lines == expected);

    std::size_t total = 0;
    for (const std::string& line : lines) {
        total += line.size();
        FUZZ_CHECK(line.find_first_of("\r\n\x1a") == std::string::npos);
        CheckCut(line, narrow);
        CheckCut(line, wide);
    }
    FUZZ_CHECK(total <= bytes.size());
    // Nothing at or after byte 26 is read.
    FUZZ_CHECK(total <= std::min(bytes.size(), bytes.find('\x1a')));

    // After the end every line is empty, and the reader stays ended.
    for (int i = 0; i < 3; ++i) {
        reader.ReadLine(reused);
        FUZZ_CHECK(reused.empty());
        FUZZ_CHECK(reader.ReadLine().empty());
        FUZZ_CHECK(reader.Ended());
    }

    CheckCut(bytes, narrow);
    CheckCut(bytes, wide);

    // Reading again keeping only the bytes up to a field's end gives the
    // same lines cut short there, and the same field.
    for (const FieldSpec field : {narrow, wide}) {
        const std::size_t keep = tarvo::FieldEnd(field);
        tarvo::LineReader shortened(file.Write(bytes), bufferSize);
        std::size_t count = 0;
        while (!shortened.Ended()) {
            FUZZ_CHECK(count < lines.size());
            shortened.ReadLine(reused, keep);
            const std::string& whole = lines[count++];
            FUZZ_CHECK(reused == whole.substr(0, std::min(keep, whole.size())));
            FUZZ_CHECK(tarvo::CutField(reused, field) == tarvo::CutField(whole, field));
        }
        FUZZ_CHECK(count == lines.size());
        FUZZ_CHECK(shortened.Status() == tarvo::ReadStatus::Read);
    }
    return 0;
}
