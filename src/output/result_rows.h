#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo {

// Text of the result file's lines, without the CR LF line end.

// The item header of a mode that has an item section (2, 3, 4, 5, 6, 8).
std::string ItemHeader(int mode);

// One item's values as the result file shows them.
struct ItemRow {
    std::size_t seq = 0;  // item number, from 1
    std::string_view AccNo;
    std::int32_t Nobs = 0;
    double a = 0, b = 0, c = 0;
    double seea = 0, seeb = 0, seec = 0;
};

// CSV layout, split where the items-only path writes it: the leading fields
// (SeqItem, AccNo, Nobs, with the trailing ",") before the item is estimated,
// the value fields after. Modes 6 and 8 have only b and seeb.
std::string ItemRowLeadCsv(const ItemRow& row);
std::string ItemRowValuesCsv(int mode, const ItemRow& row);

// Listing layout of the items-only modes: line 1 before estimation, then
// lines 2 and 3 (line 4 is the empty line the caller ends the entry with).
std::string ItemListingLine1(const ItemRow& row);
std::string ItemListingLine2(const ItemRow& row);
std::string ItemListingLine3(const ItemRow& row);

// An identifier as a row holds it: each byte that would break the row (a
// line end, byte 26) written as '?'. Other bytes stay as read; commas and
// quotes too: the rows are read back by their fields from both ends.
std::string RowText(std::string_view text);

// The person section.
std::string PersonHeader();
// An examinee's identifier as every person row shows it: right-aligned in
// 12 positions, cut after 12, written by RowText.
std::string ExaminIdField(std::string_view ExaminID);
std::string PersonRow(std::size_t seq, std::string_view ExaminID, std::int32_t Nvalid, double theta,
                      double seetheta);

// True when the last four characters of the name, lower-cased, are ".csv".
bool IsCsvLayout(std::string_view outputFile);

}  // namespace tarvo
