#pragma once

#include <string>
#include <string_view>
#include <vector>

// The file type filters of the pickers. A filter is written as description
// and pattern fields, alternating, each followed by a bar; a pattern may list
// several masks separated by ";". The pickers work on the NUL-separated form.
namespace tarvo::shell {

// "Text (*.txt)|*.txt|" becomes "Text (*.txt)\0*.txt\0\0": every bar a NUL,
// plus one closing NUL.
std::string ToNulSeparatedFilter(std::string_view barFilter);

// The 1-based description/pattern pair to preselect for a file name: the
// first pair with a mask "*" + the name's upper-cased extension, else the
// last pair. Returns 0, leaving the filter alone, when the filter does not
// hold an even number (at least two) of fields. The extension is the text
// from the name's last "." when that comes after any "\", "/" or ":"; ".*"
// when one of those three comes last; empty when the name has none of them.
// Trailing spaces of the name do not count. The filter is handed back
// rejoined, with the matching mask moved to the front of its pattern.
int FilterIndexForName(std::string& nulFilter, std::string_view name);

// Tests one pair: true when a mask of the pattern, upper-cased, equals "*"
// followed by the extension. A match that is not the pattern's first mask is
// swapped with the first mask, in the pattern and in the description's
// parenthesised list alike.
bool MatchFilterPattern(std::string_view extension, std::string& description, std::string& pattern);

// The pairs of a NUL-separated filter as name filters for a file dialog:
// "ITM Files (*.itm)". The masks in the parentheses are the pattern's, and
// "*.*" becomes "*" so that names without a dot are listed too.
std::vector<std::string> DialogNameFilters(std::string_view nulFilter);

}  // namespace tarvo::shell
