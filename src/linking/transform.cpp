#include "linking/transform.h"

#include "core/estimate_bounds.h"

namespace tarvo::linking {

ItemForm TransformItems(const ItemForm& fresh, double A, double B) {
    ItemForm moved = fresh;
    for (std::size_t i = 0; i < moved.size(); ++i) {
        moved.a[i] = fresh.a[i] / A;
        moved.b[i] = A * fresh.b[i] + B;
        moved.seA[i] = fresh.seA[i] / A;
        moved.seB[i] = A * fresh.seB[i];
    }
    // A 1PL form's items have a = 1 / A on the base scale unless A is 1.
    if (moved.model == FormModel::OnePL && A != 1) moved.model = FormModel::TwoPL;
    return moved;
}

void TransformAbilities(std::span<double> theta, std::span<double> se, double A, double B) {
    for (double& t : theta) t = A * t + B;
    // The cap and the not-estimated mark say what they say on any scale.
    for (double& s : se) {
        if (s > kNotEstimated && s < kStandardErrorCap) s = A * s;
    }
}

}  // namespace tarvo::linking
