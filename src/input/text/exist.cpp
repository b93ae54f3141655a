#include "input/text/exist.h"

#include <filesystem>
#include <system_error>

namespace tarvo {

namespace fs = std::filesystem;

bool MatchesWildcard(std::string_view pattern, std::string_view entryName) {
    // Greedy match with one backtrack point: the position after the last "*".
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < entryName.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == entryName[n])) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool Exist(const std::string& name) {
    if (name.empty()) return false;

    const auto slash = name.rfind('/');
    const std::string_view lastPart = slash == std::string::npos
                                          ? std::string_view(name)
                                          : std::string_view(name).substr(slash + 1);
    std::error_code error;
    if (lastPart.find_first_of("*?") == std::string_view::npos) {
        return fs::exists(fs::symlink_status(name, error));
    }

    const fs::path folder = slash == std::string::npos ? fs::path(".")
                            : slash == 0               ? fs::path("/")
                                                       : fs::path(name.substr(0, slash));
    fs::directory_iterator entries(folder, error);
    if (error) return false;
    for (const fs::directory_iterator end; entries != end; entries.increment(error)) {
        if (error) return false;
        if (MatchesWildcard(lastPart, entries->path().filename().string())) return true;
    }
    return false;
}

}  // namespace tarvo
