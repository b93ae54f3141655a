#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

// What a record of the response file turned out to be.
enum class RecordKind { Blank, Key, Examinee };

// One record as the reader saw it, before scoring: the raw texts the input
// check looks at. The views live only during the call.
struct RecordView {
    std::size_t number = 0;  // line (fixed columns) or row (delimited) from 1
    RecordKind kind = RecordKind::Examinee;
    std::string_view line;        // fixed columns: the line as kept; delimited: empty
    std::string_view head;        // the record's beginning: the line, or the first cell
    std::string_view identifier;  // as stored in ExaminID
    std::string_view theta;       // the theta field's or cell's text
    std::string_view responses;   // the response characters present, item 1 first
    std::string_view key;         // the answer key in force
    std::size_t cells = 0;        // delimited: the row's cells
    std::size_t idEnd = 0;        // fixed columns: the ID field's end column (0: no field)
};

// An example of what a finding is about: where, and the text.
struct RecordExample {
    std::size_t number = 0;
    std::string text;
};

// Counts of what the readers saw, gathered while the response file is read,
// for the input check. Only the first example of each kind is kept, so the
// tally costs the same for any file size.
struct RecordTally {
    std::size_t itemCount = 0;
    std::size_t records = 0;                   // lines or rows, blank ones included
    std::optional<RecordExample> firstRecord;  // the first record that is not blank: its head
    std::optional<std::size_t> keyRecord;      // the number of the key record
    std::size_t examinees = 0;

    // Fixed columns: records whose response field runs past the line's end;
    // shortAt[k] counts those with only k response characters present.
    std::size_t shortRecords = 0;
    std::vector<std::size_t> shortAt;
    std::size_t longestLine = 0;  // up to the bytes the reader keeps
    std::optional<RecordExample> firstShort;

    // Responses that are neither of the key's kind of character, nor blank,
    // nor 9 (for a key of letters: other letters of its case; of digits:
    // digits), per item and per byte.
    std::vector<std::uint32_t> foreignByItem;
    std::array<std::size_t, 256> foreignBytes{};
    std::optional<RecordExample> firstForeign;

    // Examinee identifiers with bytes above 127, and those cut inside a
    // character of several bytes (fixed columns).
    std::size_t wideIds = 0;
    std::optional<RecordExample> firstWideId;
    std::size_t cutIds = 0;
    std::optional<RecordExample> firstCutId;

    // Theta texts that are not one whole number.
    std::size_t thetaNotNumeric = 0;
    std::optional<RecordExample> firstThetaNotNumeric;

    // Delimited: rows whose cell count differs from the first row's.
    std::size_t firstRowCells = 0;
    std::size_t otherCellCounts = 0;
    std::optional<RecordExample> firstOtherCellCount;

    // Fixed columns: how often each of kDelimiters stands in the first
    // kDelimiterRecords records that are not blank: in the first of them,
    // and the records that hold it as often.
    static constexpr std::size_t kDelimiterRecords = 200;
    static constexpr std::size_t kDelimiterBytes = 65536;  // of each, the most looked at
    static constexpr std::array<char, 4> kDelimiters{'\t', ',', ';', '|'};
    std::size_t delimiterRecords = 0;
    std::array<std::size_t, 4> delimiterFirst{};
    std::array<std::size_t, 4> delimiterSame{};

    // The first examinee's responses: how many are present, how many
    // foreign (by item, as foreignByItem counts them), and its record.
    std::size_t firstExamineePresent = 0;
    std::size_t firstExamineeForeign = 0;
    std::optional<RecordExample> firstExamineeRecord;

    // The digits 0..8 among the responses of the first kScoreSample
    // examinees: how often each stands, and the responses looked at.
    static constexpr std::size_t kScoreSample = 1000;
    std::array<std::size_t, 9> digitResponses{};
    std::size_t sampledResponses = 0;

    // Fixed columns: a byte 26 that ended the data, and what followed it.
    bool endedAtMark = false;
    std::uint64_t markOffset = 0;
    std::uint64_t bytesNotRead = 0;
    std::uint64_t linesNotRead = 0;

    // Built from the key at the first examinee: the kinds of character it
    // holds, and every byte expected (the key's own included).
    std::array<bool, 256> expected{};
    bool expectedKnown = false;
    bool upper = false, lower = false, digit = false;
    bool rangesSuffice = true;  // every key byte is of a kind above, a blank or a 9
    bool keyAllOnes = false;    // the key scores "1" right on every item (no key given)
    bool byDigit = false;       // items are scored by their digit (a polytomous run)
};

// Starts a tally for a file of itemCount items.
void StartTally(RecordTally& tally, std::size_t itemCount);

// Counts one record (theta only when thetaRead).
void CountRecord(RecordTally& tally, const RecordView& record, bool thetaRead);

}  // namespace tarvo
