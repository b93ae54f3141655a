#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One calibrated form's items as linking sees them: identifier, a, b, c, the
// upper asymptote u and their standard errors, and the model the form was
// calibrated with. An item's curve is P = c + (u - c) / (1 + exp(-D a (theta
// - b))); u is 1 for every model but the 4PL.
namespace tarvo::linking {

enum class FormModel {
    ThreePL,  // a, b, c as given
    TwoPL,    // c = 0
    OnePL,    // a = 1, c = 0
    FourPL,   // a, b, c and u as given: read only from a result file with a u column
};

// "3pl", "2pl", "1pl"; false for any other text (a 4PL form is known by its
// result file's u column, never named).
bool ParseFormModel(std::string_view text, FormModel& model);
const char* FormModelName(FormModel model);

// Standard errors: NaN where the file does not say, 0 for a parameter that
// was not estimated (fixed by the model or given).
struct ItemForm {
    std::vector<std::string> id;  // AccNo without its leading and trailing blanks
    std::vector<double> a, b, c, u;
    std::vector<double> seA, seB, seC, seU;
    FormModel model = FormModel::ThreePL;

    std::size_t size() const { return a.size(); }
    void Resize(std::size_t count);
};

// Sets what the model fixes: the 2PL's c to 0, the 1PL's a to 1 and c to 0,
// every model's but the 4PL's u to 1, with standard errors of 0.
void ApplyModel(ItemForm& form, FormModel model);

}  // namespace tarvo::linking
