#include "shell/files/file_filters.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace tarvo::shell {
namespace {

std::vector<std::string> Split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = text.find(separator, begin);
        if (end == std::string_view::npos) {
            parts.emplace_back(text.substr(begin));
            return parts;
        }
        parts.emplace_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
}

std::string Join(const std::vector<std::string>& parts, char separator) {
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) joined += separator;
        joined += parts[i];
    }
    return joined;
}

std::string UpperCase(std::string_view text) {
    std::string upper(text);
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return upper;
}

std::string_view WithoutTrailing(std::string_view text, char unwanted) {
    while (!text.empty() && text.back() == unwanted) text.remove_suffix(1);
    return text;
}

std::string ExtensionOf(std::string_view name) {
    name = WithoutTrailing(name, ' ');
    const std::size_t last = name.find_last_of("\\/:.");
    if (last == std::string_view::npos) return {};
    if (name[last] == '.') return UpperCase(name.substr(last));
    return ".*";
}

// Swaps the list item at position k with the first one inside the
// description's parentheses: "Files (*.a,*.b)" with k = 1 gives "Files (*.b,*.a)".
void SwapDescriptionItems(std::string& description, std::size_t k) {
    const std::size_t open = description.find('(');
    if (open == std::string::npos) return;  // nothing listed to reorder
    const std::string head = description.substr(0, open + 1);
    std::string rest = description.substr(open + 1);
    if (!rest.empty()) rest.pop_back();  // the closing parenthesis
    std::vector<std::string> items = Split(rest, ',');
    if (k < items.size()) std::swap(items[k], items[0]);
    description = head + Join(items, ',') + ")";
}

std::string_view WithoutParenthesisedTail(std::string_view description) {
    const std::string_view trimmed = WithoutTrailing(description, ' ');
    if (!trimmed.empty() && trimmed.back() == ')') {
        const std::size_t open = trimmed.rfind('(');
        if (open != std::string_view::npos) return WithoutTrailing(trimmed.substr(0, open), ' ');
    }
    return trimmed;
}

}  // namespace

std::string ToNulSeparatedFilter(std::string_view barFilter) {
    std::string filter(barFilter);
    std::replace(filter.begin(), filter.end(), '|', '\0');
    filter += '\0';
    return filter;
}

int FilterIndexForName(std::string& nulFilter, std::string_view name) {
    const std::string extension = ExtensionOf(name);
    std::vector<std::string> fields = Split(WithoutTrailing(nulFilter, '\0'), '\0');
    if (fields.size() < 2 || fields.size() % 2 != 0) return 0;

    int pair = 0;
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        ++pair;
        if (MatchFilterPattern(extension, fields[i], fields[i + 1])) break;
    }
    nulFilter = Join(fields, '\0') + '\0';
    return pair;
}

bool MatchFilterPattern(std::string_view extension, std::string& description,
                        std::string& pattern) {
    std::string wanted = "*";
    wanted += extension;
    std::vector<std::string> masks = Split(pattern, ';');
    for (std::size_t k = 0; k < masks.size(); ++k) {
        if (UpperCase(masks[k]) != wanted) continue;
        if (k != 0) {
            std::swap(masks[k], masks[0]);
            pattern = Join(masks, ';');
            SwapDescriptionItems(description, k);
        }
        return true;
    }
    return false;
}

std::vector<std::string> DialogNameFilters(std::string_view nulFilter) {
    const std::vector<std::string> fields = Split(WithoutTrailing(nulFilter, '\0'), '\0');
    std::vector<std::string> filters;
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        std::vector<std::string> masks = Split(fields[i + 1], ';');
        for (std::string& mask : masks) {
            if (mask == "*.*") mask = "*";
        }
        std::string base(WithoutParenthesisedTail(fields[i]));
        if (!base.empty()) base += ' ';
        filters.push_back(base + "(" + Join(masks, ' ') + ")");
    }
    return filters;
}

}  // namespace tarvo::shell
