#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "output/result_file.h"
#include "output/result_rows.h"

namespace tarvo {

struct ItemTable;
struct PersonTable;

// Writes the sections of a result file in the order a run produces them.
// The mode decides the item header and columns; csvLayout decides between
// the CSV rows and the four-line listing of the items-only modes.
class ResultWriter {
  public:
    ResultWriter(ResultFile& file, int mode, bool csvLayout)
        : file_(file), mode_(mode), csvLayout_(csvLayout) {}

    // Items-only modes, written while the items are estimated: the header
    // (CSV layout only), then per item the part known before its estimation
    // and the rest once it is done.
    void ItemsOnlyHeader();
    void ItemBeforeEstimation(const ItemRow& row);
    void ItemAfterEstimation(const ItemRow& row);

    // Joint modes, after the iteration: the item header, every item's CSV
    // row from the table, and the empty line before the person section.
    void ItemSection(const ItemTable& items);

    void PersonHeader();
    void Person(std::size_t seq, std::string_view ExaminID, std::int32_t Nvalid, double theta,
                double seetheta);
    // Every examinee of the table, header first.
    void PersonSection(const PersonTable& persons);

    // One line of a layout of its own (the polytomous result), CR LF added.
    void Line(std::string_view text) { file_.WriteLine(text); }

  private:
    ResultFile& file_;
    int mode_;
    bool csvLayout_;
};

}  // namespace tarvo
