#include "estimation/polytomous/inputs/item_models_file.h"

#include <algorithm>
#include <map>

#include "input/text/line_reader.h"

namespace tarvo::poly {

namespace {

std::vector<std::string_view> WordsOf(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    const auto separator = [](char ch) { return ch == ' ' || ch == '\t' || ch == ','; };
    while (at < line.size()) {
        while (at < line.size() && separator(line[at])) ++at;
        const std::size_t start = at;
        while (at < line.size() && !separator(line[at])) ++at;
        if (at > start) words.push_back(line.substr(start, at - start));
    }
    return words;
}

std::string Where(std::string_view fileName, std::size_t line, std::string_view text) {
    return "ERROR Item models file " + std::string(fileName) + ", line " + std::to_string(line) +
           " ('" + std::string(text) + "'): ";
}

std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    return line;
}

// The line's model, or its error.
std::string ParseLine(std::string_view line, ItemModelLine& model) {
    const std::vector<std::string_view> words = WordsOf(line);
    if (words.empty()) return "the line is empty; each item needs its model";
    const std::string_view name = words[0];
    if (const auto binary = ModelNamed(name); binary == MarginalModel::ThreePL ||
                                              binary == MarginalModel::TwoPL ||
                                              binary == MarginalModel::OnePL) {
        model.binaryModel = *binary;
        if (words.size() > 1) {
            return "a right/wrong model (" + std::string(name) + ") takes nothing after its name";
        }
        return {};
    }
    const auto polytomous = PolytomousModelNamed(name);
    if (!polytomous) {
        return "unknown model '" + std::string(name) +
               "'; the models are grm, gpcm, pcm, rsm, 3pl, 2pl and 1pl";
    }
    // A nominal item is read by its option codes, which only a whole run
    // of the model does (--model nominal).
    if (*polytomous == PolytomousModel::Nominal) {
        return "nominal is a model of a whole run (--model nominal), not of one item";
    }
    model.polytomous = *polytomous;
    const bool rated = RulesOf(*polytomous).sharedSteps;
    if (words.size() > (rated ? 3u : 2u)) {
        return rated ? "rsm takes at most the number of categories and a scale's name"
                     : std::string(name) + " takes at most the number of categories";
    }
    if (words.size() >= 2) {
        const std::string_view count = words[1];
        if (count.size() != 1 || count[0] < '2' || count[0] > '0' + kMostCategories) {
            return "the number of categories must be a whole number from 2 to " +
                   std::to_string(kMostCategories) + ", not '" + std::string(count) + "'";
        }
        model.categories = count[0] - '0';
    }
    if (words.size() == 3) model.scale = std::string(words[2]);
    return {};
}

}  // namespace

ItemModels ParseItemModels(std::string_view fileName, std::span<const std::string> lines,
                           std::size_t itemCount) {
    ItemModels models;
    std::size_t count = lines.size();
    while (count > 0 && WordsOf(WithoutLineEnd(lines[count - 1])).empty()) --count;
    if (count != itemCount) {
        models.error = "ERROR Item models file " + std::string(fileName) + " has " +
                       std::to_string(count) + (count == 1 ? " line" : " lines") +
                       ", but the test has " + std::to_string(itemCount) +
                       (itemCount == 1 ? " item" : " items") + ": give one line per item.";
        return models;
    }
    for (std::size_t k = 0; k < count; ++k) {
        ItemModelLine model;
        model.text = std::string(WithoutLineEnd(lines[k]));
        const std::string error = ParseLine(model.text, model);
        if (!error.empty()) {
            models.error = Where(fileName, k + 1, model.text) + error + ".";
            models.lines.clear();
            return models;
        }
        models.lines.push_back(std::move(model));
    }
    return models;
}

ItemModels ReadItemModels(const std::string& path, std::size_t itemCount, const StopPoll& stop) {
    std::vector<std::string> lines;
    {
        LineReader reader(path, LineReader::kDefaultBufferSize, stop);
        std::string line;
        while (!reader.Ended()) {
            // An item's line is a few words; the rest of a long one is not kept.
            reader.ReadLine(line, 200);
            lines.push_back(line);
            // A file far longer than any test is not one of item models.
            if (lines.size() > itemCount + 1000) break;
        }
        if (reader.Status() != ReadStatus::Read) {
            ItemModels models;
            models.error =
                "ERROR Item models file " + path +
                (reader.Status() == ReadStatus::Stopped ? " was not read: the run was stopped."
                                                        : " cannot be read.");
            return models;
        }
    }
    return ParseItemModels(path, lines, itemCount);
}

std::string CheckItemModels(std::string_view fileName, std::span<const ItemModelLine> lines,
                            std::span<const CategoryCounts> counts, std::span<const char> keyed) {
    std::map<std::string, int> scaleCategories;
    for (std::size_t i = 0; i < lines.size() && i < counts.size(); ++i) {
        const ItemModelLine& model = lines[i];
        const std::string where = Where(fileName, i + 1, model.text);
        const std::string item = "item " + std::to_string(i + 1);
        const int seen = CategoriesOf(counts[i]);
        const bool isKeyed = i < keyed.size() && keyed[i];
        if (model.polytomous == PolytomousModel::None) {
            if (seen > 2) {
                return where + item + " has scores 0 to " + std::to_string(seen - 1) +
                       ": a right/wrong model cannot fit it; give grm, gpcm, pcm or rsm.";
            }
            continue;
        }
        if (isKeyed) {
            return where + item +
                   " is scored right or wrong by the key, so its model is 3pl, 2pl or 1pl "
                   "(key it \"+\" to score it by its digit).";
        }
        if (model.categories != 0 && model.categories < seen) {
            return where + item + " has scores 0 to " + std::to_string(seen - 1) + ", more than " +
                   std::to_string(model.categories) + " categories.";
        }
        if (!RulesOf(model.polytomous).sharedSteps || model.scale.empty()) continue;
        const int categories = std::max(model.categories, seen);
        const auto [at, added] = scaleCategories.emplace(model.scale, categories);
        if (!added && at->second != categories) {
            return where + item + " has " + std::to_string(categories) +
                   " categories, the other items of scale '" + model.scale + "' " +
                   std::to_string(at->second) + ": the items of one scale share their steps.";
        }
    }
    return {};
}

}  // namespace tarvo::poly
