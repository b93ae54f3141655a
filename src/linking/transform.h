#pragma once

#include <span>

#include "linking/item_form.h"

namespace tarvo::linking {

// The new form's items on the base scale: a / A, A b + B, c, with standard
// errors seA / A, A seB and seC (the constants taken as known).
ItemForm TransformItems(const ItemForm& fresh, double A, double B);

// Abilities and their standard errors on the base scale: A theta + B and
// A se, in place; an error at the cap (99) or marking an ability not
// estimated (-1) is kept.
void TransformAbilities(std::span<double> theta, std::span<double> se, double A, double B);

}  // namespace tarvo::linking
