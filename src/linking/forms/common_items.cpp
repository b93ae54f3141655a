#include "linking/forms/common_items.h"

#include <map>

#include "input/text/line_reader.h"

namespace tarvo::linking {
namespace {

struct IdIndex {
    std::map<std::string, std::size_t> index;
    std::string twice;  // an identifier held by two items, if any
};

IdIndex IndexById(const ItemForm& form) {
    IdIndex ids;
    for (std::size_t i = 0; i < form.size(); ++i) {
        if (form.id[i].empty()) continue;
        if (!ids.index.emplace(form.id[i], i).second && ids.twice.empty()) ids.twice = form.id[i];
    }
    return ids;
}

MatchResult Refused(std::string message) { return MatchResult{std::nullopt, std::move(message)}; }

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    for (const char ch : line) {
        if (ch == ' ' || ch == '\t' || ch == ',') {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word += ch;
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

bool NoIds(const ItemForm& form) {
    for (const std::string& id : form.id) {
        if (!id.empty()) return false;
    }
    return true;
}

std::string Named(const ItemForm& form, std::size_t i) {
    return form.id[i].empty() ? "item " + std::to_string(i + 1) : form.id[i];
}

}  // namespace

MatchResult MatchById(const ItemForm& base, const ItemForm& fresh) {
    const IdIndex baseIds = IndexById(base);
    if (!baseIds.twice.empty()) {
        return Refused("item ID " + baseIds.twice + " appears twice in the base form");
    }
    const IdIndex newIds = IndexById(fresh);
    if (!newIds.twice.empty()) {
        return Refused("item ID " + newIds.twice + " appears twice in the new form");
    }
    CommonItems common;
    if (NoIds(base) && NoIds(fresh) && base.size() == fresh.size()) {
        for (std::size_t i = 0; i < fresh.size(); ++i) {
            common.base.push_back(i);
            common.fresh.push_back(i);
        }
        MatchResult byPosition{std::move(common), {}};
        byPosition.byPosition = true;
        return byPosition;
    }
    for (std::size_t i = 0; i < fresh.size(); ++i) {
        const auto found = baseIds.index.find(fresh.id[i]);
        if (fresh.id[i].empty() || found == baseIds.index.end()) continue;
        common.base.push_back(found->second);
        common.fresh.push_back(i);
    }
    return MatchResult{std::move(common), {}};
}

AnchorPairs ReadAnchorPairs(const std::string& path, const StopPoll& stop) {
    LineReader reader(path, LineReader::kDefaultBufferSize, stop);
    std::vector<std::pair<std::string, std::string>> pairs;
    std::size_t number = 0;
    while (!reader.Ended()) {
        const std::string line = reader.ReadLine();
        ++number;
        const std::vector<std::string> words = Words(line);
        if (words.empty() || words.front().front() == '#') continue;
        if (words.size() != 2) {
            return AnchorPairs{std::nullopt, path + ", line " + std::to_string(number) +
                                                 ": expected two item IDs (base, new)"};
        }
        pairs.emplace_back(words[0], words[1]);
    }
    if (reader.Status() == ReadStatus::Stopped) {
        return AnchorPairs{std::nullopt, path + ": not read: a stop was asked for"};
    }
    if (reader.Status() != ReadStatus::Read) {
        return AnchorPairs{std::nullopt, path + ": cannot read this file"};
    }
    return AnchorPairs{std::move(pairs), {}};
}

MatchResult MatchByPairs(const ItemForm& base, const ItemForm& fresh,
                         const std::vector<std::pair<std::string, std::string>>& pairs) {
    const IdIndex baseIds = IndexById(base);
    const IdIndex newIds = IndexById(fresh);
    CommonItems common;
    std::map<std::size_t, bool> usedBase, usedNew;
    for (const auto& [baseId, newId] : pairs) {
        const auto inBase = baseIds.index.find(baseId);
        if (inBase == baseIds.index.end()) return Refused("the base form has no item " + baseId);
        if (baseId == baseIds.twice)
            return Refused("item ID " + baseId + " appears twice in the base form");
        const auto inNew = newIds.index.find(newId);
        if (inNew == newIds.index.end()) return Refused("the new form has no item " + newId);
        if (newId == newIds.twice)
            return Refused("item ID " + newId + " appears twice in the new form");
        if (usedBase[inBase->second] || usedNew[inNew->second]) {
            return Refused("the anchor pair " + baseId + " " + newId + " repeats an item");
        }
        usedBase[inBase->second] = usedNew[inNew->second] = true;
        common.base.push_back(inBase->second);
        common.fresh.push_back(inNew->second);
    }
    return MatchResult{std::move(common), {}};
}

namespace {

using Column = std::vector<double> AnchorSet::*;
constexpr Column kColumns[] = {
    &AnchorSet::aBase,   &AnchorSet::bBase,   &AnchorSet::cBase,   &AnchorSet::uBase,
    &AnchorSet::seABase, &AnchorSet::seBBase, &AnchorSet::seCBase, &AnchorSet::seUBase,
    &AnchorSet::aNew,    &AnchorSet::bNew,    &AnchorSet::cNew,    &AnchorSet::uNew,
    &AnchorSet::seANew,  &AnchorSet::seBNew,  &AnchorSet::seCNew,  &AnchorSet::seUNew,
};

}  // namespace

AnchorSet MakeAnchorSet(const ItemForm& base, const ItemForm& fresh, const CommonItems& common) {
    AnchorSet set;
    for (std::size_t k = 0; k < common.size(); ++k) {
        const std::size_t i = common.base[k], j = common.fresh[k];
        set.baseId.push_back(Named(base, i));
        set.newId.push_back(Named(fresh, j));
        const double values[] = {base.a[i],    base.b[i],    base.c[i],    base.u[i],
                                 base.seA[i],  base.seB[i],  base.seC[i],  base.seU[i],
                                 fresh.a[j],   fresh.b[j],   fresh.c[j],   fresh.u[j],
                                 fresh.seA[j], fresh.seB[j], fresh.seC[j], fresh.seU[j]};
        for (std::size_t u = 0; u < std::size(kColumns); ++u)
            (set.*kColumns[u]).push_back(values[u]);
    }
    return set;
}

void PickAnchors(const AnchorSet& set, std::span<const std::size_t> picks, AnchorSet& out) {
    out.baseId.resize(picks.size());
    out.newId.resize(picks.size());
    for (const Column column : kColumns) (out.*column).resize(picks.size());
    for (std::size_t k = 0; k < picks.size(); ++k) {
        out.baseId[k] = set.baseId[picks[k]];
        out.newId[k] = set.newId[picks[k]];
        for (const Column column : kColumns) (out.*column)[k] = (set.*column)[picks[k]];
    }
}

}  // namespace tarvo::linking
