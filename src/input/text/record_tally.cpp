#include "input/text/record_tally.h"

#include <algorithm>

#include "input/text/number_text.h"
#include "input/text/scoring.h"

namespace tarvo {

namespace {

// The head of a record kept as an example: enough to recognise it.
constexpr std::size_t kExampleBytes = 40;

// Control bytes (a tab, a NUL) are shown as '?', so that an example prints
// as one line.
RecordExample Example(std::size_t number, std::string_view text) {
    std::string shown(text.substr(0, kExampleBytes));
    for (char& ch : shown) {
        if (static_cast<unsigned char>(ch) < 32 || ch == 127) ch = '?';
    }
    return {number, shown};
}

bool IsUpper(unsigned char ch) { return ch >= 'A' && ch <= 'Z'; }
bool IsLower(unsigned char ch) { return ch >= 'a' && ch <= 'z'; }
bool IsDigit(unsigned char ch) { return ch >= '0' && ch <= '9'; }
bool IsContinuationByte(unsigned char ch) { return (ch & 0xC0) == 0x80; }

void LearnExpected(RecordTally& tally, std::string_view key) {
    tally.expected.fill(false);
    tally.expected[' '] = true;
    tally.expected['9'] = true;
    bool upper = false, lower = false, digit = false;
    for (const char ch : key) {
        const auto byte = static_cast<unsigned char>(ch);
        tally.expected[byte] = true;
        upper = upper || IsUpper(byte);
        lower = lower || IsLower(byte);
        // An item scored by its digit ("+", polytomous runs) takes digits.
        digit = digit || IsDigit(byte) || ch == kScoredByDigit;
    }
    for (unsigned ch = 0; ch < 256; ++ch) {
        const auto byte = static_cast<unsigned char>(ch);
        if ((upper && IsUpper(byte)) || (lower && IsLower(byte)) || (digit && IsDigit(byte))) {
            tally.expected[byte] = true;
        }
    }
    tally.upper = upper;
    tally.lower = lower;
    tally.digit = digit;
    tally.keyAllOnes =
        !key.empty() && std::all_of(key.begin(), key.end(), [](char ch) { return ch == '1'; });
    tally.byDigit = key.find(kScoredByDigit) != std::string_view::npos;
    tally.rangesSuffice = std::all_of(key.begin(), key.end(), [&](char ch) {
        const auto byte = static_cast<unsigned char>(ch);
        return byte == ' ' || byte == '9' || ch == kScoredByDigit || (upper && IsUpper(byte)) ||
               (lower && IsLower(byte)) || (digit && IsDigit(byte));
    });
    tally.expectedKnown = true;
}

// A field cut inside a character of several bytes starts on a continuation
// byte, or the byte after it in the line is one (idEnd is that byte's index).
bool CutInsideCharacter(const RecordView& record) {
    const std::string_view id = record.identifier;
    if (!id.empty() && IsContinuationByte(static_cast<unsigned char>(id.front()))) return true;
    return record.idEnd != 0 && record.idEnd < record.line.size() &&
           IsContinuationByte(static_cast<unsigned char>(record.line[record.idEnd]));
}

// Whether a byte is of the key's kinds, a blank or a 9 (1) or not (0), by
// ranges only, without branches, in bytes, so that a loop over a record's
// responses runs sixteen or more of them at once.
inline std::uint8_t Expected(std::uint8_t ch, std::uint8_t upper, std::uint8_t lower,
                             std::uint8_t digit) {
    const std::uint8_t blank = ch == ' ', nine = ch == '9';
    const std::uint8_t isUpper = static_cast<std::uint8_t>(ch - 'A') < 26;
    const std::uint8_t isLower = static_cast<std::uint8_t>(ch - 'a') < 26;
    const std::uint8_t isDigit = static_cast<std::uint8_t>(ch - '0') < 10;
    return static_cast<std::uint8_t>(blank | nine | (upper & isUpper) | (lower & isLower) |
                                     (digit & isDigit));
}

// Whether any response is not of the key's kinds, a blank or a 9. Nearly
// every record has none, so only this test runs over all of them, and the
// counts are formed for the few that have one.
bool AnyUnexpected(const RecordTally& tally, std::string_view responses) {
    const std::uint8_t upper = tally.upper, lower = tally.lower, digit = tally.digit;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(responses.data());
    std::uint8_t unexpected = 0;
    for (std::size_t i = 0; i < responses.size(); ++i) {
        unexpected |= static_cast<std::uint8_t>(Expected(bytes[i], upper, lower, digit) ^ 1u);
    }
    return unexpected != 0;
}

// How often each delimiter stands in a fixed-column record, for the first
// records only.
void CountDelimiters(RecordTally& tally, std::string_view line) {
    if (line.empty() || tally.delimiterRecords >= RecordTally::kDelimiterRecords) return;
    const bool first = tally.delimiterRecords++ == 0;
    for (std::size_t d = 0; d < RecordTally::kDelimiters.size(); ++d) {
        const auto n = static_cast<std::size_t>(
            std::count(line.begin(), line.end(), RecordTally::kDelimiters[d]));
        if (first) tally.delimiterFirst[d] = n;
        tally.delimiterSame[d] += n == tally.delimiterFirst[d];
    }
}

void CountDigits(RecordTally& tally, std::string_view responses) {
    if (tally.examinees > RecordTally::kScoreSample) return;
    tally.sampledResponses += responses.size();
    for (const char ch : responses) {
        if (ch >= '0' && ch <= '8') ++tally.digitResponses[static_cast<std::size_t>(ch - '0')];
    }
}

}  // namespace

void StartTally(RecordTally& tally, std::size_t itemCount) {
    tally = RecordTally();
    tally.itemCount = itemCount;
    tally.shortAt.assign(itemCount + 1, 0);
    tally.foreignByItem.assign(itemCount, 0);
}

void CountRecord(RecordTally& tally, const RecordView& record, bool thetaRead) {
    ++tally.records;
    tally.longestLine = std::max(tally.longestLine, record.line.size());
    if (record.kind == RecordKind::Blank) return;
    CountDelimiters(tally, record.line);
    if (!tally.firstRecord) {
        tally.firstRecord = Example(record.number, record.head);
    }
    if (tally.firstRowCells != 0 && record.cells != tally.firstRowCells) {
        ++tally.otherCellCounts;
        if (!tally.firstOtherCellCount) {
            tally.firstOtherCellCount = Example(record.number, std::to_string(record.cells));
        }
    }
    if (record.kind == RecordKind::Key) {
        tally.keyRecord = record.number;
        return;
    }

    ++tally.examinees;
    if (!tally.expectedKnown) LearnExpected(tally, record.key);
    const std::string_view responses = record.responses;
    const std::size_t present = std::min(responses.size(), tally.itemCount);
    CountDigits(tally, responses.substr(0, present));
    std::size_t foreignHere = 0;
    if (present < tally.itemCount && !record.line.empty()) {
        ++tally.shortRecords;
        ++tally.shortAt[present];
        if (!tally.firstShort) tally.firstShort = Example(record.number, record.line);
    }
    // Per item, a response is foreign by the key's kinds when they hold
    // every key byte, else by the bytes expected; per byte, by the bytes
    // expected.
    if (!tally.rangesSuffice || AnyUnexpected(tally, responses.substr(0, present))) {
        const std::uint8_t upper = tally.upper, lower = tally.lower, digit = tally.digit;
        for (std::size_t i = 0; i < present; ++i) {
            const auto byte = static_cast<unsigned char>(responses[i]);
            const bool expected = tally.expected[byte];
            if (tally.rangesSuffice ? Expected(byte, upper, lower, digit) == 0 : !expected) {
                ++tally.foreignByItem[i];
                ++foreignHere;
            }
            if (expected) continue;
            ++tally.foreignBytes[byte];
            if (!tally.firstForeign) {
                tally.firstForeign = Example(record.number, std::string(1, responses[i]));
            }
        }
    }

    if (tally.examinees == 1) {
        tally.firstExamineePresent = present;
        tally.firstExamineeForeign = foreignHere;
        tally.firstExamineeRecord =
            Example(record.number, record.line.empty() ? record.head : record.line);
    }

    const std::string_view id = record.identifier;
    if (std::any_of(id.begin(), id.end(), [](char ch) { return (ch & 0x80) != 0; })) {
        ++tally.wideIds;
        if (!tally.firstWideId) tally.firstWideId = Example(record.number, id);
        // Only a field with such bytes can begin or end inside a character.
        if (CutInsideCharacter(record)) {
            ++tally.cutIds;
            if (!tally.firstCutId) tally.firstCutId = Example(record.number, id);
        }
    }

    if (thetaRead && !IsWholeNumberText(record.theta)) {
        ++tally.thetaNotNumeric;
        if (!tally.firstThetaNotNumeric) {
            tally.firstThetaNotNumeric = Example(record.number, record.theta);
        }
    }
}

}  // namespace tarvo
