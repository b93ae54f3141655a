#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tarvo {

// Responses held in memory by the caller, read by a run in place of a
// response file: one response character per examinee and item, as a
// delimited file's item cell would hold it ('1', '0', a score '0'..'8', a
// letter scored by the key; a blank or '9' is missing). The cells are not
// copied: examinee j's response to item i is at
// cells[j * examineeStride + i * itemStride], and the caller keeps them
// unchanged until the run returns. The run reads them as it reads a
// delimited file with a header row of itemNames (after "id", "theta" and
// "group" when those are given), so that it scores, checks and counts rows
// alike.
struct ResponseMatrix {
    std::size_t examinees = 0;
    std::size_t items = 0;
    const char* cells = nullptr;
    std::ptrdiff_t examineeStride = 0;
    std::ptrdiff_t itemStride = 1;
    std::vector<std::string> itemNames;  // one per item, or empty: none
    std::vector<std::string> ids;        // one per examinee, or empty: no ID column
    std::vector<std::string> thetas;     // one text per examinee, or empty: no theta column
    // One group label per examinee (an empty text: no group), or empty: the
    // examinees have no group field.
    std::vector<std::string> groups;
    // Per examinee, the item cells its row held (the rest are blank); empty:
    // every row holds every item.
    std::vector<std::size_t> rowCells;

    char Cell(std::size_t examinee, std::size_t item) const {
        return cells[static_cast<std::ptrdiff_t>(examinee) * examineeStride +
                     static_cast<std::ptrdiff_t>(item) * itemStride];
    }
};

// Items given by value, read by a run in place of the item parameter file
// (whose name then only labels them in messages): item i's ID and a, b, c,
// as the file's line i would give them. Items beyond these have none.
struct ItemValues {
    std::vector<std::string> ids;  // one per item, or empty
    std::vector<double> a, b, c;   // one per item each
};

}  // namespace tarvo
