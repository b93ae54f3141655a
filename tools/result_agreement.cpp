#include "result_agreement.h"

#include <vector>

namespace tarvo {

namespace {

bool IsSeparator(char c) { return c == ',' || c == ' ' || c == '=' || c == '\r' || c == '\n'; }

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t k = 0;
    while (k < line.size()) {
        while (k < line.size() && IsSeparator(line[k])) ++k;
        const std::size_t start = k;
        while (k < line.size() && !IsSeparator(line[k])) ++k;
        if (k > start) words.push_back(line.substr(start, k - start));
    }
    return words;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// A printed number: an optional minus, digits, at most one point. Its value
// in units of the last digit, and the number of decimals.
struct PrintedNumber {
    std::int64_t units = 0;
    int decimals = 0;
};

bool ReadNumber(std::string_view word, PrintedNumber& number) {
    std::size_t k = 0;
    const bool negative = !word.empty() && word[0] == '-';
    if (negative) ++k;
    bool digits = false;
    bool point = false;
    std::int64_t units = 0;
    int decimals = 0;
    for (; k < word.size(); ++k) {
        const char c = word[k];
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            // 18 digits are the most a mask prints; more is not a result number.
            if (units > 99'999'999'999'999'999) return false;
            units = units * 10 + (c - '0');
            digits = true;
            if (point) ++decimals;
        } else {
            return false;
        }
    }
    if (!digits) return false;
    number = {negative ? -units : units, decimals};
    return true;
}

}  // namespace

Agreement CompareResultFiles(std::string_view expected, std::string_view actual) {
    Agreement agreement;
    const auto expectedLines = Lines(expected);
    const auto actualLines = Lines(actual);
    auto differ = [&](std::size_t line, std::string_view what) {
        if (agreement.firstDifference.empty()) {
            agreement.firstDifference =
                "line " + std::to_string(line + 1) + ": " + std::string(what);
        }
    };
    if (expectedLines.size() != actualLines.size()) {
        agreement.sameLayout = false;
        differ(std::min(expectedLines.size(), actualLines.size()), "line counts differ");
    }
    const std::size_t lineCount = std::min(expectedLines.size(), actualLines.size());
    for (std::size_t n = 0; n < lineCount; ++n) {
        const auto expectedWords = Words(expectedLines[n]);
        const auto actualWords = Words(actualLines[n]);
        if (expectedWords.size() != actualWords.size()) {
            agreement.sameLayout = false;
            differ(n, "word counts differ");
            continue;
        }
        for (std::size_t w = 0; w < expectedWords.size(); ++w) {
            PrintedNumber x;
            PrintedNumber y;
            const bool xNumber = ReadNumber(expectedWords[w], x);
            const bool yNumber = ReadNumber(actualWords[w], y);
            // Counts and sequence numbers (no decimals) must match like words.
            if (!xNumber || !yNumber || x.decimals != y.decimals || x.decimals == 0) {
                if (expectedWords[w] != actualWords[w]) {
                    agreement.sameLayout = false;
                    differ(n, std::string(expectedWords[w]) + " vs " + std::string(actualWords[w]));
                }
                continue;
            }
            ++agreement.numericFields;
            const std::uint64_t apart = x.units > y.units
                                            ? static_cast<std::uint64_t>(x.units - y.units)
                                            : static_cast<std::uint64_t>(y.units - x.units);
            if (apart == 0) {
                ++agreement.identicalFields;
            } else {
                differ(n, std::string(expectedWords[w]) + " vs " + std::string(actualWords[w]));
                if (apart > agreement.largestDifference) agreement.largestDifference = apart;
            }
        }
    }
    return agreement;
}

}  // namespace tarvo
