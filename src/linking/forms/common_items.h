#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "input/text/input_file.h"
#include "linking/forms/item_form.h"

// The items two forms share, and their parameters side by side as the
// linking methods take them.
namespace tarvo::linking {

// Pairs of item indices: base[k] in the base form is new[k] in the new form.
struct CommonItems {
    std::vector<std::size_t> base;
    std::vector<std::size_t> fresh;  // in the new form
    std::size_t size() const { return base.size(); }
};

struct MatchResult {
    std::optional<CommonItems> common;
    std::string error;  // why not, when common is empty
    // Neither form names its items, so they were paired by position.
    bool byPosition = false;
};

// Items of the same identifier, in the new form's order. Items without an
// identifier take no part; an identifier held by two items of one form
// is refused, as it could not say which is meant. When neither form has a
// single identifier and both hold the same number of items, item k of the
// new form is item k of the base form (byPosition says so).
MatchResult MatchById(const ItemForm& base, const ItemForm& fresh);

// The pairs of an anchors file: one pair of identifiers a line, base form
// first, separated by blanks, a tab or a comma; empty lines and lines
// beginning with # are passed over.
struct AnchorPairs {
    std::optional<std::vector<std::pair<std::string, std::string>>> pairs;
    std::string error;
};
// stop is asked while the file is opened or read (a FIFO without a writer).
AnchorPairs ReadAnchorPairs(const std::string& path, const StopPoll& stop = {});

// The pairs looked up by identifier in each form.
MatchResult MatchByPairs(const ItemForm& base, const ItemForm& fresh,
                         const std::vector<std::pair<std::string, std::string>>& pairs);

// The common items' parameters and standard errors, base and new side by
// side, in the order of the pairs. An item without an identifier is named by
// its position in its form ("item 3"). u is the upper asymptote, 1 with an
// error of 0 for every item but a 4PL one.
struct AnchorSet {
    std::vector<std::string> baseId, newId;
    std::vector<double> aBase, bBase, cBase, uBase, seABase, seBBase, seCBase, seUBase;
    std::vector<double> aNew, bNew, cNew, uNew, seANew, seBNew, seCNew, seUNew;
    std::size_t size() const { return aBase.size(); }
};

AnchorSet MakeAnchorSet(const ItemForm& base, const ItemForm& fresh, const CommonItems& common);

// The pairs at the positions picks names, in that order, into out (a pair
// may be picked more than once, as the bootstrap does). Reusing out keeps
// repeated picks from allocating again.
void PickAnchors(const AnchorSet& set, std::span<const std::size_t> picks, AnchorSet& out);

}  // namespace tarvo::linking
