#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "input/text/input_file.h"

namespace tarvo {

// Reads a delimited text file (comma- or tab-separated) record by record, as
// RFC 4180 describes it:
// - cells are separated by the delimiter; a record ends at CR LF, and also
//   at a lone LF or CR (files from every system);
// - a cell that begins with a double quote is quoted: it runs to the next
//   quote that is not doubled, and holds delimiters, line ends and doubled
//   quotes ("" for one ") as text; what follows the closing quote up to the
//   next delimiter or line end is kept as written;
// - a quote inside an unquoted cell is an ordinary character;
// - the last record needs no line end; an empty line is a record of one
//   empty cell.
// Cells are kept exactly as written (no blanks removed). A byte order mark
// in front of the first record is passed over (InputFile).
class DelimitedRecords {
  public:
    DelimitedRecords(const std::string& path, char delimiter,
                     std::size_t bufferSize = InputFile::kDefaultBufferSize, StopPoll stop = {});

    // Reads the next record; false when the file has no more.
    bool Next();

    std::size_t CellCount() const { return ends_.size(); }
    std::string_view Cell(std::size_t index) const {
        const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
        return std::string_view(text_).substr(begin, ends_[index] - begin);
    }
    // The record's number in the file, counted from 1.
    std::size_t RecordNumber() const { return records_; }
    // Whether the last record's final quoted cell ran to the end of the file
    // without its closing quote.
    bool QuoteLeftOpen() const { return quoteLeftOpen_; }

    ReadStatus Status() const { return file_.Status(); }

    // Bounds the bytes a record may hold, for a reader that looks only at a
    // file's first records: a longer record (a quote left open in a file
    // of any size) is cut after the block that passed the bound, RecordCut()
    // says so, and no record follows it.
    void LimitRecordBytes(std::size_t most) { mostRecordBytes_ = most; }
    bool RecordCut() const { return recordCut_; }

  private:
    void EndCell() { ends_.push_back(text_.size()); }

    InputFile file_;
    char delimiter_;
    std::string text_;               // the record's cells, one after another
    std::vector<std::size_t> ends_;  // where each cell ends in text_
    std::size_t records_ = 0;
    bool quoteLeftOpen_ = false;
    std::size_t mostRecordBytes_ = static_cast<std::size_t>(-1);
    bool recordCut_ = false;
};

}  // namespace tarvo
