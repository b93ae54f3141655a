#include "request/value_checks.h"

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

}  // namespace tarvo::request
