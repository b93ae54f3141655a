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
// ranges only, without branches.
inline unsigned Expected(unsigned char ch, unsigned upper, unsigned lower, unsigned digit) {
    return static_cast<unsigned>(ch == ' ') | static_cast<unsigned>(ch == '9') |
           (upper & static_cast<unsigned>(static_cast<unsigned char>(ch - 'A') < 26)) |
           (lower & static_cast<unsigned>(static_cast<unsigned char>(ch - 'a') < 26)) |
           (digit & static_cast<unsigned>(static_cast<unsigned char>(ch - '0') < 10));
}

// Adds each response that is not of the key's kinds, a blank or a 9 to its
// item's count; returns how many there were in the record. Blocks of a fixed
// size let the compiler turn the loop into vector instructions.
unsigned CountUnexpected(RecordTally& tally, std::string_view responses) {
    constexpr std::size_t kBlock = 16;
    const unsigned upper = tally.upper, lower = tally.lower, digit = tally.digit;
    std::uint32_t* foreign = tally.foreignByItem.data();
    const auto* bytes = reinterpret_cast<const unsigned char*>(responses.data());
    const std::size_t size = responses.size();
    unsigned total = 0;
    std::size_t i = 0;
    for (; i + kBlock <= size; i += kBlock) {
        unsigned block[kBlock];
        for (std::size_t k = 0; k < kBlock; ++k) {
            block[k] = Expected(bytes[i + k], upper, lower, digit) ^ 1u;
        }
        for (std::size_t k = 0; k < kBlock; ++k) {
            foreign[i + k] += block[k];
            total += block[k];
        }
    }
    for (; i < size; ++i) {
        const unsigned unexpected = Expected(bytes[i], upper, lower, digit) ^ 1u;
        foreign[i] += unexpected;
        total += unexpected;
    }
    return total;
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
    if (present < tally.itemCount && !record.line.empty()) {
        ++tally.shortRecords;
        ++tally.shortAt[present];
        if (!tally.firstShort) tally.firstShort = Example(record.number, record.line);
    }
    if (!tally.rangesSuffice || CountUnexpected(tally, responses.substr(0, present)) != 0) {
        for (std::size_t i = 0; i < present; ++i) {
            const auto byte = static_cast<unsigned char>(responses[i]);
            if (tally.expected[byte]) continue;
            if (!tally.rangesSuffice) ++tally.foreignByItem[i];
            ++tally.foreignBytes[byte];
            if (!tally.firstForeign) {
                tally.firstForeign = Example(record.number, std::string(1, responses[i]));
            }
        }
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
