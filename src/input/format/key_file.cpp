#include "input/format/key_file.h"

#include "input/text/line_reader.h"
#include "input/text/number_text.h"

namespace tarvo {

namespace {

// The key of one line, or nothing when the line is not itemCount keys.
std::optional<std::string> KeyOfLine(std::string_view line, std::size_t itemCount, char delimiter) {
    std::optional<std::string> key = KeyCharacters(line, delimiter);
    if (!key || key->size() != itemCount) return std::nullopt;
    return key;
}

std::string HowToWriteIt(char delimiter) {
    return ": write the key as one line, one character per item (ACDB...)" +
           std::string(delimiter != 0 ? " or one cell per item" : "");
}

}  // namespace

std::optional<std::string> KeyCharacters(std::string_view line, char delimiter) {
    std::string key;
    if (delimiter != 0 && line.find(delimiter) != std::string_view::npos) {
        while (true) {
            const std::size_t stop = line.find(delimiter);
            const std::string_view cell = TrimBlanks(line.substr(0, stop));
            if (cell.size() > 1) return std::nullopt;
            key.push_back(cell.empty() ? ' ' : cell.front());
            if (stop == std::string_view::npos) break;
            line.remove_prefix(stop + 1);
        }
    } else {
        const std::size_t last = line.find_last_not_of(' ');
        key = std::string(line.substr(0, last == std::string_view::npos ? 0 : last + 1));
    }
    return key;
}

KeyOrError ReadTypedKey(std::string_view text, std::size_t itemCount, char delimiter) {
    if (auto key = KeyOfLine(text, itemCount, delimiter)) return {std::move(key), {}};
    return {std::nullopt, "the typed key (--key) '" + std::string(text) +
                              "' does not give one key character for each of the " +
                              std::to_string(itemCount) + " items" + HowToWriteIt(delimiter)};
}

KeyOrError ReadKeyFile(const std::string& path, std::size_t itemCount, char delimiter,
                       const StopPoll& stop) {
    LineReader reader(path, LineReader::kDefaultBufferSize, stop);
    const std::string first = reader.ReadLine();
    const std::string second = reader.ReadLine();
    if (reader.Status() == ReadStatus::Stopped) return {std::nullopt, {}, true};
    if (reader.Status() != ReadStatus::Read) {
        return {std::nullopt, "key file " + path + " cannot be read"};
    }
    for (const std::string* line : {&first, &second}) {
        if (auto key = KeyOfLine(*line, itemCount, delimiter)) return {std::move(key), {}};
    }
    return {std::nullopt, "key file " + path + " does not give one key character for each of the " +
                              std::to_string(itemCount) + " items on its first line" +
                              HowToWriteIt(delimiter)};
}

}  // namespace tarvo
