#pragma once

namespace tarvo {

// One item's a, b and c: the shape in which every layer passes an item's
// parameters (or their standard errors) around, from the scoring loops to
// the results window's curves.
struct ItemParameters {
    double a = 0;
    double b = 0;
    double c = 0;
};

}  // namespace tarvo
