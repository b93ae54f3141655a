#include "input/number_text.h"

namespace tarvo {

namespace {

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Scans the number form; false when text is not exactly one number.
bool ScanNumber(std::string_view text, bool& point) {
    std::size_t k = 0;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
    std::size_t digits = 0;
    point = false;
    for (; k < text.size(); ++k) {
        if (IsDigit(text[k])) {
            ++digits;
        } else if (text[k] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    if (k < text.size() && (text[k] == 'E' || text[k] == 'e' || text[k] == 'D' || text[k] == 'd')) {
        ++k;
        if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
        const std::size_t exponentStart = k;
        while (k < text.size() && IsDigit(text[k])) ++k;
        if (k == exponentStart) return false;
    }
    return k == text.size();
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    // By hand: find_first_not_of searches its set for every character.
    auto blank = [](char ch) { return ch == ' ' || ch == '\t'; };
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && blank(text[first])) ++first;
    while (end > first && blank(text[end - 1])) --end;
    return text.substr(first, end - first);
}

bool IsWholeNumberText(std::string_view text) {
    bool point = false;
    return ScanNumber(TrimBlanks(text), point);
}

bool IsDecimalNumberText(std::string_view text) {
    bool point = false;
    return ScanNumber(TrimBlanks(text), point) && point;
}

}  // namespace tarvo
