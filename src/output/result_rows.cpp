#include "output/result_rows.h"

#include "core/modes.h"
#include "core/result_ids.h"
#include "output/masks.h"

namespace tarvo {

namespace {

bool HasOnlyDifficulty(int mode) { return IsMode(mode) && RulesOf(mode).onePL; }

std::string Parameter(double value) { return FormatWithMask(value, kMaskParameter); }

std::string Count(double value) { return FormatWithMask(value, kMaskCount); }

}  // namespace

std::string ItemHeader(int mode) {
    if (!IsMode(mode)) return {};
    return std::string(RulesOf(mode).itemHeader);
}

std::string ItemRowLeadCsv(const ItemRow& row) {
    std::string text = Count(static_cast<double>(row.seq));
    text += ", ";
    text += RowText(row.AccNo);
    text += ", ";
    text += Count(row.Nobs);
    text += ',';
    return text;
}

std::string ItemRowValuesCsv(int mode, const ItemRow& row) {
    if (HasOnlyDifficulty(mode)) return Parameter(row.b) + ',' + Parameter(row.seeb);
    std::string text = Parameter(row.a);
    for (double value : {row.b, row.c, row.seea, row.seeb, row.seec}) {
        text += ',';
        text += Parameter(value);
    }
    return text;
}

std::string ItemListingLine1(const ItemRow& row) {
    std::string text = Count(static_cast<double>(row.seq));
    text += "  ";
    text += RowText(row.AccNo);
    return text;
}

std::string ItemListingLine2(const ItemRow& row) {
    return "  compu a,b,c=" + Parameter(row.a) + Parameter(row.b) + Parameter(row.c);
}

std::string ItemListingLine3(const ItemRow& row) {
    return "        see = " + Parameter(row.seea) + Parameter(row.seeb) + Parameter(row.seec) +
           "   Nobs= " + std::to_string(row.Nobs) + ' ';
}

std::string RowText(std::string_view text) {
    std::string written(text);
    for (char& ch : written) {
        if (BreaksResultRow(static_cast<unsigned char>(ch))) ch = kResultRowStandIn;
    }
    return written;
}

std::string ExaminIdField(std::string_view ExaminID) {
    // The identifier fills exactly 12 positions: right-aligned, cut after 12.
    const std::string_view shown = ExaminID.substr(0, kExaminIdWidth);
    std::string text(kExaminIdWidth - shown.size(), ' ');
    text += RowText(shown);
    return text;
}

std::string PersonHeader() { return " SeqID,    ExaminID,Nvalid,   theta, seetheta"; }

std::string PersonRow(std::size_t seq, std::string_view ExaminID, std::int32_t Nvalid, double theta,
                      double seetheta) {
    std::string text = FormatWithMask(static_cast<double>(seq), kMaskSeqId);
    text += ", ";
    text += ExaminIdField(ExaminID);
    text += ", ";
    text += Count(Nvalid);
    text += ',';
    text += FormatWithMask(theta, kMaskTheta);
    text += ", ";
    text += FormatWithMask(seetheta, kMaskSeeTheta);
    return text;
}

bool IsCsvLayout(std::string_view outputFile) {
    constexpr std::string_view kExtension = ".csv";
    if (outputFile.size() < kExtension.size()) return false;
    const std::string_view tail = outputFile.substr(outputFile.size() - kExtension.size());
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        // ASCII letters only, whatever the locale: the name is a string of bytes.
        char ch = tail[i];
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        if (ch != kExtension[i]) return false;
    }
    return true;
}

}  // namespace tarvo
