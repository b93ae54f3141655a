#include "linking/forms/item_form.h"

#include <limits>

namespace tarvo::linking {

bool ParseFormModel(std::string_view text, FormModel& model) {
    if (text == "3pl") {
        model = FormModel::ThreePL;
    } else if (text == "2pl") {
        model = FormModel::TwoPL;
    } else if (text == "1pl") {
        model = FormModel::OnePL;
    } else {
        return false;
    }
    return true;
}

const char* FormModelName(FormModel model) {
    switch (model) {
        case FormModel::TwoPL:
            return "2pl";
        case FormModel::OnePL:
            return "1pl";
        case FormModel::FourPL:
            return "4pl";
        case FormModel::ThreePL:
            break;
    }
    return "3pl";
}

void ItemForm::Resize(std::size_t count) {
    const double unknown = std::numeric_limits<double>::quiet_NaN();
    id.resize(count);
    a.resize(count, 0.0);
    b.resize(count, 0.0);
    c.resize(count, 0.0);
    u.resize(count, 1.0);
    seA.resize(count, unknown);
    seB.resize(count, unknown);
    seC.resize(count, unknown);
    seU.resize(count, 0.0);
}

void ApplyModel(ItemForm& form, FormModel model) {
    form.model = model;
    for (std::size_t i = 0; i < form.size(); ++i) {
        if (model == FormModel::OnePL) {
            form.a[i] = 1;
            form.seA[i] = 0;
        }
        if (model != FormModel::ThreePL && model != FormModel::FourPL) {
            form.c[i] = 0;
            form.seC[i] = 0;
        }
        if (model != FormModel::FourPL) {
            form.u[i] = 1;
            form.seU[i] = 0;
        }
    }
}

}  // namespace tarvo::linking
