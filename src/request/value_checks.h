#pragma once

// The one range checker of a run's settings. Every text that becomes a
// number is read the same way in both front ends (blanks around it
// ignored, a point for the decimals whatever the locale) and refused with
// one message shape: "FIELD must be WANTED, not 'TEXT'."

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::request {

// A setting's name as a message gives it: the words the dialog shows and
// the runner's option, e.g. {"Quadrature points", "--quadrature"}.
struct FieldName {
    std::string_view words;
    std::string_view option;
};

// "Quadrature points (--quadrature) must be a whole number from 5 to
// 1001, not '4'."
std::string Refusal(FieldName field, std::string_view wanted, std::string_view text);

struct WholeRange {
    int lowest, highest;
};
struct NumberRange {
    double lowest, highest;
};

// The value of text when it is a whole number or a finite number in the
// range; otherwise nothing, and message holds the refusal.
std::optional<int> WholeIn(std::string_view text, WholeRange range, FieldName field,
                           std::string& message);
std::optional<double> NumberIn(std::string_view text, NumberRange range, FieldName field,
                               std::string& message);

// The words of a list separated by commas (blanks around each ignored),
// each one of words and none twice, at least fewest of them: their indexes
// in words, ascending. Otherwise nothing, and message holds the refusal,
// which names what is wanted.
std::optional<std::vector<std::size_t>> DistinctWordsIn(std::string_view text,
                                                        std::span<const std::string_view> words,
                                                        std::size_t fewest, std::string_view wanted,
                                                        FieldName field, std::string& message);

// text without the blanks (spaces and tabs) around it.
std::string_view WithoutBlanks(std::string_view text);

// The shortest text that reads back as the same double ("0.5", "1e-05").
std::string ShortestText(double value);

}  // namespace tarvo::request
