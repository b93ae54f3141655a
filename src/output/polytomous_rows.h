#pragma once

// The rows of a polytomous run's result file: a header, one row per item
// (its model, its categories, a, the thresholds b1..bK, c, [u,] then their
// standard errors, K the most thresholds of any item; cells an item does
// not have are empty), one empty line, then a header and one row per
// examinee (raw score, the largest score of the items answered, theta and
// its error), with the program's masks.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarvo {

struct PolytomousItemRow {
    std::size_t seq = 0;
    std::string_view AccNo;
    std::string_view model;
    int categories = 0;
    bool hasC = false;  // right/wrong items
    bool hasU = false;  // items with an upper asymptote (4PL)
    double a = 0, c = 0, seA = -1, seC = -1;
    double u = 1, seU = -1;
    std::span<const double> b, seB;  // categories - 1 each
};

// With upper, the columns u and seeu after c and seec: a run with an item
// that has an upper asymptote (its cells empty for the other items).
std::string PolytomousItemHeader(int mostThresholds, bool upper = false);
// The first cells of an item's row: SeqItem, AccNo, Model, Categories.
std::string PolytomousLeadingCells(std::size_t seq, std::string_view AccNo, std::string_view model,
                                   int categories);
std::string PolytomousItemRowText(const PolytomousItemRow& row, int mostThresholds,
                                  bool upper = false);

std::string PolytomousPersonHeader();
std::string PolytomousPersonRowText(std::size_t seq, std::string_view ExaminID,
                                    std::int32_t rawScore, std::int32_t maximumScore, double theta,
                                    double seTheta);

}  // namespace tarvo
