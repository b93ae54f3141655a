// The delimited record reader over arbitrary file bytes.
//
// Input: one byte choosing the read buffer size (small sizes put quotes and
// line ends across block boundaries) and the delimiter (comma or tab), then
// the file. The records are compared with a plain model of the quoting rules
// that reads the whole file at once.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "input/delimited_records.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// RFC 4180 as plainly as possible: a cell that starts with a quote runs to
// the next single quote ("" is a quote); after it, and in unquoted cells,
// everything up to a delimiter or a line end (CR LF, CR, LF) is text.
Rows ModelRows(std::string_view bytes, char delimiter) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    Rows rows;
    std::size_t k = 0;
    while (k < bytes.size()) {
        std::vector<std::string>& row = rows.emplace_back();
        while (true) {
            std::string cell;
            if (k < bytes.size() && bytes[k] == '"') {
                ++k;
                while (k < bytes.size()) {
                    if (bytes[k] != '"') {
                        cell.push_back(bytes[k++]);
                    } else if (k + 1 < bytes.size() && bytes[k + 1] == '"') {
                        cell.push_back('"');
                        k += 2;
                    } else {
                        ++k;
                        break;
                    }
                }
            }
            while (k < bytes.size() && bytes[k] != delimiter && bytes[k] != '\r' &&
                   bytes[k] != '\n') {
                cell.push_back(bytes[k++]);
            }
            row.push_back(cell);
            if (k < bytes.size() && bytes[k] == delimiter) {
                ++k;
                continue;
            }
            if (k < bytes.size() && bytes[k] == '\r') {
                ++k;
                if (k < bytes.size() && bytes[k] == '\n') ++k;
            } else if (k < bytes.size() && bytes[k] == '\n') {
                ++k;
            }
            break;
        }
    }
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tarvo::fuzz::MemoryFile file;
    tarvo::fuzz::InputBytes input(data, size);
    const std::uint8_t choice = input.Byte();
    const std::size_t bufferSize = choice & 0x80 ? 65536 : (choice & 7) + 1u;
    const char delimiter = choice & 0x40 ? '\t' : ',';
    const std::string_view bytes = input.Rest();

    tarvo::DelimitedRecords records(file.Write(bytes), delimiter, bufferSize);
    Rows rows;
    while (records.Next()) {
        std::vector<std::string>& row = rows.emplace_back();
        FUZZ_CHECK(records.CellCount() >= 1);
        for (std::size_t c = 0; c < records.CellCount(); ++c) row.emplace_back(records.Cell(c));
        FUZZ_CHECK(records.RecordNumber() == rows.size());
    }
    FUZZ_CHECK(records.Status() == tarvo::ReadStatus::Read);
    FUZZ_CHECK(rows == ModelRows(bytes, delimiter));
    return 0;
}
