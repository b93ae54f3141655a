#include "run/groups/free_items.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>

namespace tarvo {

namespace {

constexpr std::uint8_t kMissing = 9;

bool AllDigits(const std::string& text) {
    return !text.empty() && text.size() < 9 && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

// Copies a per-item vector into the split's columns, when it is per item.
template <typename T>
void Spread(std::vector<T>& values, const ItemSplit& split, std::size_t items) {
    if (values.size() != items) return;
    std::vector<T> spread;
    spread.reserve(split.origin.size());
    for (const std::size_t i : split.origin) spread.push_back(values[i]);
    values = std::move(spread);
}

}  // namespace

std::string DisplayNameOf(const RunInputs& inputs, std::size_t item) {
    if (item < inputs.items.AccNo.size() && !inputs.items.AccNo[item].empty()) {
        return inputs.items.AccNo[item];
    }
    if (item < inputs.itemNames.size() && !inputs.itemNames[item].empty()) {
        return inputs.itemNames[item];
    }
    return "item " + std::to_string(item + 1);
}

std::optional<std::vector<std::size_t>> ResolveItems(std::span<const std::string> names,
                                                     const RunInputs& inputs,
                                                     const std::string& option,
                                                     std::string& problem) {
    const std::size_t count = inputs.persons.itemCount;
    std::vector<std::size_t> items;
    for (const std::string& name : names) {
        std::optional<std::size_t> found;
        for (std::size_t i = 0; i < count && !found; ++i) {
            const bool byId = i < inputs.items.AccNo.size() && inputs.items.AccNo[i] == name;
            const bool byHeader = i < inputs.itemNames.size() && inputs.itemNames[i] == name;
            if (byId || byHeader) found = i;
        }
        if (!found && AllDigits(name)) {
            const std::size_t number = std::stoul(name);
            if (number >= 1 && number <= count) found = number - 1;
        }
        if (!found) {
            problem = "ERROR " + option + " names the item '" + name +
                      "', which is not among the " + std::to_string(count) +
                      " items of the response file " + inputs.settings.responseFile +
                      ": give item names as the item file or the header has them, or numbers "
                      "from 1 to " +
                      std::to_string(count) + ".";
            return std::nullopt;
        }
        items.push_back(*found);
    }
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    return items;
}

ItemSplit SplitItems(RunInputs& inputs, std::span<const std::size_t> freed,
                     std::span<const std::int32_t> groupOf, std::span<const std::string> labels) {
    PersonTable& persons = inputs.persons;
    const std::size_t items = persons.itemCount;
    const std::size_t groups = labels.size();
    ItemSplit split;
    split.labels.assign(labels.begin(), labels.end());
    std::vector<std::string> names(items);
    for (std::size_t i = 0; i < items; ++i) {
        const bool free = std::binary_search(freed.begin(), freed.end(), i);
        if (free) names[i] = DisplayNameOf(inputs, i);
        if (free) split.freed.push_back(i);
        if (free) split.columns.emplace_back();
        for (std::size_t g = 0; g < (free ? groups : 1); ++g) {
            if (free) split.columns.back().push_back(split.origin.size());
            split.origin.push_back(i);
            split.group.push_back(free ? static_cast<int>(g) : -1);
        }
    }
    const std::size_t columns = split.origin.size();

    // The responses: a split column holds its own group's codes alone.
    std::vector<std::uint8_t> codes(persons.personCount() * columns, kMissing);
    for (std::size_t j = 0; j < persons.personCount(); ++j) {
        const std::span<const std::uint8_t> row = persons.ResponsesOf(j);
        std::uint8_t* to = &codes[j * columns];
        for (std::size_t col = 0; col < columns; ++col) {
            const int g = split.group[col];
            if (g < 0 || (j < groupOf.size() && groupOf[j] == g)) to[col] = row[split.origin[col]];
        }
    }
    persons.responses = std::move(codes);
    if (persons.options.size() == persons.personCount() * items) {
        std::vector<char> options(persons.personCount() * columns, ' ');
        for (std::size_t j = 0; j < persons.personCount(); ++j) {
            for (std::size_t col = 0; col < columns; ++col) {
                const int g = split.group[col];
                if (g < 0 || (j < groupOf.size() && groupOf[j] == g)) {
                    options[j * columns + col] = persons.options[j * items + split.origin[col]];
                }
            }
        }
        persons.options = std::move(options);
    }
    if (persons.optionKey.size() == items) {
        std::string key;
        for (const std::size_t i : split.origin) key += persons.optionKey[i];
        persons.optionKey = std::move(key);
    }
    Spread(persons.keyed, split, items);
    persons.itemCount = columns;

    ItemTable& table = inputs.items;
    Spread(table.AccNo, split, items);
    Spread(table.a, split, items);
    Spread(table.b, split, items);
    Spread(table.c, split, items);
    Spread(table.seea, split, items);
    Spread(table.seeb, split, items);
    Spread(table.seec, split, items);
    Spread(table.Nobs, split, items);
    const bool headerNames = inputs.itemNames.size() == items;
    Spread(inputs.itemNames, split, items);
    Spread(inputs.itemLinesGiven, split, items);
    Spread(inputs.itemFieldTexts, split, items);
    // Each copy named by its item and its group, where the report reads names.
    for (std::size_t col = 0; col < columns; ++col) {
        const int g = split.group[col];
        if (g < 0) continue;
        const std::string name =
            names[split.origin[col]] + " [" + labels[static_cast<std::size_t>(g)] + "]";
        table.AccNo[col] = name;
        if (headerNames) inputs.itemNames[col] = name;
    }
    inputs.settings.itemCount = static_cast<std::uint16_t>(columns);
    return split;
}

ReportSection FreedItemsSection(const ItemSplit& split, std::span<const std::string> names,
                                std::span<const std::string> whys, bool byDif) {
    using Json = nlohmann::ordered_json;
    ReportSection section;
    section.key = "free_items";
    Json items = Json::array();
    std::string listed;
    for (std::size_t k = 0; k < split.freed.size(); ++k) {
        const std::size_t i = split.freed[k];
        Json columns = Json::array();
        for (std::size_t g = 0; g < split.columns[k].size(); ++g) {
            columns.push_back(Json{{"column", split.columns[k][g] + 1},
                                   {"group", split.labels[g]},
                                   {"name", names[k] + " [" + split.labels[g] + "]"}});
        }
        items.push_back(Json{{"item", i + 1},
                             {"name", names[k]},
                             {"why", whys[i]},
                             {"columns", std::move(columns)}});
        listed += (listed.empty() ? "" : ", ") + names[k] + " (" + whys[i] + ")";
    }
    const Json json{{"items", std::move(items)},
                    {"by_dif", byDif},
                    {"layout",
                     "each freed item is estimated in each group on its own: the result file and "
                     "the item table hold it once per group, named 'NAME [GROUP]', in its place, "
                     "so the items after it move down; every other item is one item for all "
                     "groups"}};
    section.json = json.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (split.freed.empty()) {
        section.summary.push_back(byDif ? "Free items (--free-dif): the DIF screens flag no item "
                                          "to free; every item is equal across the groups."
                                        : "Free items: none; every item is equal across the "
                                          "groups.");
        return section;
    }
    section.summary.push_back(
        "Free items: " + std::to_string(split.freed.size()) +
        (split.freed.size() == 1 ? " item is" : " items are") +
        " estimated in each group on its own, shown once per group as 'NAME [GROUP]' in the "
        "result file and the item table: " +
        listed + ".");
    return section;
}

}  // namespace tarvo
