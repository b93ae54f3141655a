#pragma once

#include <optional>
#include <string>

#include "core/run_tables.h"
#include "input/text/input_file.h"
#include "linking/forms/item_form.h"

// Reading a form's items for linking: from an item parameter file, cut by
// the columns every mode reads it with, or from a result file of this
// program, whose item section is found by its header (or its listing
// layout) and read by column name.
namespace tarvo::linking {

// The columns of an item parameter file. The defaults are the layout of the
// bundled samples, which is also the layout this program writes
// transformed items in. Standard error columns are read only when given;
// a negative error there is one not known. (In a result file -1 marks a
// parameter that was not estimated, known exactly.)
struct ItemColumns {
    FieldSpec id{1, 8};
    FieldSpec a{22, 9};
    FieldSpec b{32, 9};
    FieldSpec c{42, 9};
    FieldSpec seA{}, seB{}, seC{};
};

struct FormRead {
    std::optional<ItemForm> form;
    bool resultFile = false;  // read from a result file's item section
    std::string error;        // names the file and the problem, when form is empty
};

// model: the form's model; without one, a result file's own (1PL when it
// has no a column) and otherwise the 3PL. The file is read as every input
// is (input/text/input_file.h): a FIFO's open does not wait for its writer,
// and stop is asked while nothing comes; a stop gives no form.
FormRead ReadItemForm(const std::string& path, const ItemColumns& columns,
                      std::optional<FormModel> model, const StopPoll& stop = {});

}  // namespace tarvo::linking
