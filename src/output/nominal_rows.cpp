#include "output/nominal_rows.h"

#include "output/masks.h"
#include "output/polytomous_rows.h"

namespace tarvo {

namespace {

std::string Parameter(double value) { return FormatWithMask(value, kMaskParameter); }

// The reference option's value, the others', then empty cells up to the
// most options of any item.
void AddOptions(std::string& text, double reference, std::span<const double> values,
                int mostOptions) {
    for (int k = 0; k < mostOptions; ++k) {
        text += ',';
        if (k == 0) {
            text += Parameter(reference);
        } else if (k - 1 < static_cast<int>(values.size())) {
            text += Parameter(values[k - 1]);
        }
    }
}

void AddNames(std::string& text, std::string_view name, int mostOptions) {
    for (int k = 1; k <= mostOptions; ++k) {
        text += ',';
        text += name;
        text += std::to_string(k);
    }
}

}  // namespace

std::string NominalItemHeader(int mostOptions) {
    std::string text = "SeqItem,AccNo,Model,Categories,Key,a";
    AddNames(text, "a", mostOptions);
    AddNames(text, "c", mostOptions);
    text += ",seea";
    AddNames(text, "seea", mostOptions);
    AddNames(text, "seec", mostOptions);
    return text;
}

std::string NominalItemRowText(const NominalItemRow& row, int mostOptions) {
    std::string text = PolytomousLeadingCells(row.seq, row.AccNo, row.model, row.options);
    text += ',';
    text += FormatWithMask(row.keyedOption, kMaskCount);
    text += ',';
    text += Parameter(row.a);
    AddOptions(text, 0, row.slopes, mostOptions);
    AddOptions(text, 0, row.intercepts, mostOptions);
    text += ',';
    text += Parameter(row.seA);
    AddOptions(text, -1, row.seSlopes, mostOptions);
    AddOptions(text, -1, row.seIntercepts, mostOptions);
    return text;
}

}  // namespace tarvo
