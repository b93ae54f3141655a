#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One calibrated form's items as linking sees them: identifier, a, b, c and
// their standard errors, and the model the form was calibrated with.
namespace tarvo::linking {

enum class FormModel {
    ThreePL,  // a, b, c as given
    TwoPL,    // c = 0
    OnePL,    // a = 1, c = 0
};

// "3pl", "2pl", "1pl"; false for any other text.
bool ParseFormModel(std::string_view text, FormModel& model);
const char* FormModelName(FormModel model);

// Standard errors: NaN where the file does not say, 0 for a parameter that
// was not estimated (fixed by the model or given).
struct ItemForm {
    std::vector<std::string> id;  // AccNo without its leading and trailing blanks
    std::vector<double> a, b, c;
    std::vector<double> seA, seB, seC;
    FormModel model = FormModel::ThreePL;

    std::size_t size() const { return a.size(); }
    void Resize(std::size_t count);
};

// Sets what the model fixes: the 2PL's c to 0, the 1PL's a to 1 and c to 0,
// with standard errors of 0.
void ApplyModel(ItemForm& form, FormModel model);

}  // namespace tarvo::linking
