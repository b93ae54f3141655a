#include "input/format/delimited_records.h"

#include <utility>

namespace tarvo {

namespace {

constexpr char kQuote = '"';
constexpr char kCarriageReturn = 13;
constexpr char kLineFeed = 10;

enum class CellState {
    Start,        // nothing of the cell read yet
    Plain,        // inside an unquoted cell
    Quoted,       // inside quotes
    QuoteInside,  // a quote seen inside quotes: doubled, or the closing one
    AfterQuotes,  // after the closing quote: the rest is kept as written
};

}  // namespace

DelimitedRecords::DelimitedRecords(const std::string& path, char delimiter, std::size_t bufferSize,
                                   StopPoll stop)
    : file_(path, bufferSize, std::move(stop)), delimiter_(delimiter) {}

bool DelimitedRecords::Next() {
    text_.clear();
    ends_.clear();
    quoteLeftOpen_ = false;
    if (recordCut_ || !file_.Fill()) return false;
    ++records_;

    CellState state = CellState::Start;
    while (file_.Fill()) {
        const std::string_view block = file_.Unread();
        std::size_t k = 0;
        // Unquoted text is copied in runs up to the next byte that matters.
        while (k < block.size()) {
            const char byte = block[k];
            if (state == CellState::Quoted) {
                const std::size_t quote = block.find(kQuote, k);
                const std::size_t stop = quote == std::string_view::npos ? block.size() : quote;
                text_.append(block.data() + k, stop - k);
                k = stop;
                if (quote != std::string_view::npos) {
                    state = CellState::QuoteInside;
                    ++k;
                }
                continue;
            }
            if (state == CellState::QuoteInside) {
                if (byte == kQuote) {  // a doubled quote is one quote of the text
                    text_.push_back(kQuote);
                    state = CellState::Quoted;
                    ++k;
                    continue;
                }
                state = CellState::AfterQuotes;
            }
            if (byte == delimiter_) {
                EndCell();
                state = CellState::Start;
                ++k;
                continue;
            }
            if (byte == kCarriageReturn || byte == kLineFeed) {
                EndCell();
                file_.Skip(k + 1);
                if (byte == kCarriageReturn && file_.Fill() &&
                    file_.Unread().front() == kLineFeed) {
                    file_.Skip(1);
                }
                return true;
            }
            if (state == CellState::Start && byte == kQuote) {
                state = CellState::Quoted;
                ++k;
                continue;
            }
            if (state == CellState::Start) state = CellState::Plain;
            std::size_t stop = k + 1;
            while (stop < block.size() && block[stop] != delimiter_ &&
                   block[stop] != kCarriageReturn && block[stop] != kLineFeed) {
                ++stop;
            }
            text_.append(block.data() + k, stop - k);
            k = stop;
        }
        file_.Skip(block.size());
        if (text_.size() > mostRecordBytes_) {
            // Cut: the record is left unread past here.
            recordCut_ = true;
            EndCell();
            return true;
        }
    }
    quoteLeftOpen_ = state == CellState::Quoted;
    EndCell();
    return true;
}

}  // namespace tarvo
