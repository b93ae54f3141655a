#pragma once

#include <optional>
#include <string>
#include <vector>

#include "linking/forms/item_form.h"
#include "linking/link_options.h"
#include "tarvo/tarvo.hpp"

namespace tarvo::lib {

// A fit's right/wrong items as a form: each item's ID (its name where it has
// none), its values at full precision and their errors (-1, a parameter not
// estimated, as 0: known exactly). A fit with an item of another kind (a
// score 0..m, a nominal item, an upper asymptote) is refused by message.
struct FitForm {
    std::optional<linking::ItemForm> form;
    std::string model;  // the model the fit's items stand for: 3pl, 2pl or 1pl
    std::string error;
};
FitForm FormOfFit(const Result& fit, const std::string& label);

// The name a form goes by: its label, its file, or the fallback.
std::string FormName(const Form& form, const std::string& fallback);

// The typed options as the runner's --link or --items command line, parsed
// by the runner's own parser: the same request, or its refusal.
linking::LinkParse LinkOptionsOf(const Form& base, const Form& fresh, const LinkOptions& options);
linking::LinkParse ScoreTableOptionsOf(const Form& form, const ScoreTableOptions& options);

}  // namespace tarvo::lib
