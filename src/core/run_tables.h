#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/model_constants.h"

namespace tarvo {

// One field of a fixed-column line: first column counted from 1, and its
// length in characters. Length 0 means the field is not in the file.
struct FieldSpec {
    std::uint16_t start = 0;
    std::uint16_t length = 0;
};

// What a run reads from the dialog when "Go" is pressed.
struct RunSettings {
    std::string itemParameterFile;  // trimmed of spaces; empty: no file
    std::string responseFile;       // exactly as typed
    std::uint16_t itemCount = 0;
    std::uint16_t responseStart = 0;
    FieldSpec examineeIdField;
    FieldSpec thetaField;
    FieldSpec itemIdField;
    FieldSpec aField;
    FieldSpec bField;
    FieldSpec cField;
};

// The items of a run, column by column. Item number i (1..itemCount, the
// number written in the result file) is stored at index i - 1.
struct ItemTable {
    std::vector<std::string> AccNo;
    std::vector<double> a, b, c;
    std::vector<double> seea, seeb, seec;
    std::vector<std::int32_t> Nobs;

    ItemTable() = default;
    explicit ItemTable(std::size_t itemCount)
        : AccNo(itemCount),
          a(itemCount),
          b(itemCount),
          c(itemCount),
          seea(itemCount),
          seeb(itemCount),
          seec(itemCount),
          Nobs(itemCount) {}

    std::size_t itemCount() const { return a.size(); }
};

// The examinees of a run in file order. Examinee number j (1..personCount) is
// stored at index j - 1. The scored responses are kept as codes 1, 0 and 9,
// itemCount codes per examinee, examinee after examinee.
struct PersonTable {
    std::size_t itemCount = 0;
    std::vector<std::string> ExaminID;
    std::vector<double> theta;
    std::vector<double> seetheta;
    std::vector<std::int32_t> Nvalid;
    std::vector<std::uint8_t> responses;
    // A polytomous run's items, 1 where the item is scored right or wrong by
    // the key, 0 where by its digit ("+"); empty for other runs.
    std::vector<char> keyed;
    // The response characters as read (a blank where the record had none),
    // itemCount per examinee; kept only when the run asks for them and the
    // responses have a key (a key record or a key file), for the report's
    // option analysis. Empty otherwise.
    std::vector<char> options;
    // The key as read: kept with options, and in a run that reads items by
    // option code (the nominal model), where it holds one option code per
    // item ('+' where the item has none) and the responses are the option
    // codes, code 1 as 0. Empty otherwise.
    std::string optionKey;
    // Each examinee's group, an index into groupLabels, or kNoGroup where the
    // group field was empty; both empty when the run has no group field.
    // Labels are the field's trimmed texts in order of first appearance.
    static constexpr std::int32_t kNoGroup = -1;
    std::vector<std::int32_t> group;
    std::vector<std::string> groupLabels;

    std::size_t personCount() const { return theta.size(); }

    // The codes of examinee index j (0-based), one per item.
    std::span<const std::uint8_t> ResponsesOf(std::size_t j) const {
        return std::span<const std::uint8_t>(responses).subspan(j * itemCount, itemCount);
    }
};

}  // namespace tarvo
