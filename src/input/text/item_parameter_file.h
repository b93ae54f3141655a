#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/run_tables.h"
#include "input/text/line_reader.h"

namespace tarvo {

// Reads the item parameter file at path into items: line i describes item i,
// for i up to items.itemCount(); later lines are not read. Each field of
// non-zero length is cut from the line: the identifier into AccNo as it
// stands (blanks kept), a, b and c by the text-to-number rule. Fields of
// length 0 are not read, so the item keeps what it had. Lines missing at the
// end read as empty lines. Only the bytes up to the end of the last field of
// a line are held in memory. A file that cannot be read, or that another run
// holds for writing, says so in the status; the items then hold what was read
// before the failure, if anything. With linesGiven (itemCount entries), item
// i's entry says whether its line holds anything but blanks up to the end of
// the last field read. The stop poll is asked while the file is opened or
// read (Stopped). With fieldTexts (itemCount entries), item i's entry
// holds the texts cut for a, b and c, as they stand (empty when not read).
ReadStatus ReadItemParameterFile(const std::string& path, const RunSettings& settings,
                                 ItemTable& items, std::vector<char>* linesGiven = nullptr,
                                 std::vector<std::array<std::string, 3>>* fieldTexts = nullptr,
                                 const StopPoll& stop = {});

}  // namespace tarvo
