#include "output/polytomous_rows.h"

#include "output/masks.h"
#include "output/result_rows.h"

namespace tarvo {

namespace {

std::string Parameter(double value) { return FormatWithMask(value, kMaskParameter); }

// The thresholds an item has, then empty cells up to the most of any item.
void AddThresholds(std::string& text, std::span<const double> values, int mostThresholds) {
    for (int k = 0; k < mostThresholds; ++k) {
        text += ',';
        if (k < static_cast<int>(values.size())) text += Parameter(values[k]);
    }
}

}  // namespace

std::string PolytomousItemHeader(int mostThresholds, bool upper) {
    std::string text = "SeqItem,AccNo,Model,Categories,a";
    for (int k = 1; k <= mostThresholds; ++k) text += ",b" + std::to_string(k);
    text += upper ? ",c,u,seea" : ",c,seea";
    for (int k = 1; k <= mostThresholds; ++k) text += ",seeb" + std::to_string(k);
    text += upper ? ",seec,seeu" : ",seec";
    return text;
}

std::string PolytomousLeadingCells(std::size_t seq, std::string_view AccNo, std::string_view model,
                                   int categories) {
    std::string text = FormatWithMask(static_cast<double>(seq), kMaskCount);
    text += ',';
    text += RowText(AccNo);
    text += ',';
    text += model;
    text += ',';
    text += FormatWithMask(categories, kMaskCount);
    return text;
}

std::string PolytomousItemRowText(const PolytomousItemRow& row, int mostThresholds, bool upper) {
    std::string text = PolytomousLeadingCells(row.seq, row.AccNo, row.model, row.categories);
    text += ',';
    text += Parameter(row.a);
    AddThresholds(text, row.b, mostThresholds);
    text += ',';
    if (row.hasC) text += Parameter(row.c);
    if (upper) {
        text += ',';
        if (row.hasU) text += Parameter(row.u);
    }
    text += ',';
    text += Parameter(row.seA);
    AddThresholds(text, row.seB, mostThresholds);
    text += ',';
    if (row.hasC) text += Parameter(row.seC);
    if (upper) {
        text += ',';
        if (row.hasU) text += Parameter(row.seU);
    }
    return text;
}

std::string PolytomousPersonHeader() {
    return "SeqPerson,    ExaminID,RawScore,MaxScore,   theta, seetheta";
}

std::string PolytomousPersonRowText(std::size_t seq, std::string_view ExaminID,
                                    std::int32_t rawScore, std::int32_t maximumScore, double theta,
                                    double seTheta) {
    std::string text = FormatWithMask(static_cast<double>(seq), kMaskSeqId);
    text += ", ";
    text += ExaminIdField(ExaminID);
    text += ", ";
    text += FormatWithMask(rawScore, kMaskCount);
    text += ", ";
    text += FormatWithMask(maximumScore, kMaskCount);
    text += ',';
    text += FormatWithMask(theta, kMaskTheta);
    text += ", ";
    text += FormatWithMask(seTheta, kMaskSeeTheta);
    return text;
}

}  // namespace tarvo
