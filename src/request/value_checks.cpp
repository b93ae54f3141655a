#include "request/value_checks.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tarvo::request {

namespace {

std::string Shown(double value) { return ShortestText(value); }

}  // namespace

std::string_view WithoutBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string ShortestText(double value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string();
}

std::string Refusal(FieldName field, std::string_view wanted, std::string_view text) {
    return std::string(field.words) + " (" + std::string(field.option) + ") must be " +
           std::string(wanted) + ", not '" + std::string(text) + "'.";
}

std::optional<int> WholeIn(std::string_view text, WholeRange range, FieldName field,
                           std::string& message) {
    const std::string_view digits = WithoutBlanks(text);
    int value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (!digits.empty() && error == std::errc() && stop == end && value >= range.lowest &&
        value <= range.highest) {
        return value;
    }
    message = Refusal(field,
                      "a whole number from " + std::to_string(range.lowest) + " to " +
                          std::to_string(range.highest),
                      text);
    return std::nullopt;
}

std::optional<double> NumberIn(std::string_view text, NumberRange range, FieldName field,
                               std::string& message) {
    const std::string_view number = WithoutBlanks(text);
    double value = 0;
    const char* end = number.data() + number.size();
    const auto [stop, error] = std::from_chars(number.data(), end, value);
    if (!number.empty() && error == std::errc() && stop == end && std::isfinite(value) &&
        value >= range.lowest && value <= range.highest) {
        return value;
    }
    message = Refusal(field, "a number from " + Shown(range.lowest) + " to " + Shown(range.highest),
                      text);
    return std::nullopt;
}

std::optional<std::vector<std::size_t>> DistinctWordsIn(std::string_view text,
                                                        std::span<const std::string_view> words,
                                                        std::size_t fewest, std::string_view wanted,
                                                        FieldName field, std::string& message) {
    std::vector<std::size_t> found;
    std::string_view rest = text;
    while (true) {
        const std::size_t comma = rest.find(',');
        const std::string_view word = WithoutBlanks(rest.substr(0, comma));
        const auto known = std::find(words.begin(), words.end(), word);
        const std::size_t index = static_cast<std::size_t>(known - words.begin());
        if (known == words.end() || std::find(found.begin(), found.end(), index) != found.end()) {
            message = Refusal(field, wanted, text);
            return std::nullopt;
        }
        found.push_back(index);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    if (found.size() < fewest) {
        message = Refusal(field, wanted, text);
        return std::nullopt;
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace tarvo::request
