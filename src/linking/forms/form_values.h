#pragma once

#include <string>

#include "linking/forms/form_reader.h"
#include "linking/forms/item_form.h"

// A form's values as linking uses them, by the range every item value read
// from a file is checked against: a above 0, b finite, c from 0 to below 1,
// each fitting its column of a result file, and standard errors not
// negative where known. A form that passed it cannot carry a link into
// constants no test could have (b = 1e308 gives A = 5e-30).
namespace tarvo::linking {

// Empty, or the first value out of range, naming the file, the item (its
// place in the form and its ID) and the value.
std::string CheckFormValues(const std::string& path, const ItemForm& form);

// The fields an item parameter file's form was read from, as they stand:
// the reader takes text that is not a number ("nan", "1.5x") as 0, which
// no value check after it can tell from a 0 in the file (a blank field is 0,
// as in every mode's item parameter file). Columns of length 0 are not
// looked at. Empty, or the first such field, naming the file, the line and
// the text.
std::string CheckItemFileTexts(const std::string& path, const ItemColumns& columns,
                               std::size_t itemCount);

}  // namespace tarvo::linking
