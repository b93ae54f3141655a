#include "input/format/response_format.h"

#include "input/text/number_text.h"
#include "platform/control_ids.h"

namespace tarvo {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& ch : lower) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    return lower;
}

}  // namespace

std::optional<ResponseFormat> ParseResponseFormat(std::string_view text) {
    const std::string lower = Lower(TrimBlanks(text));
    const std::string first = lower.substr(0, lower.find_first_of(" ,"));
    if (first.empty() || first == "fixed") return ResponseFormat::Fixed;
    if (first == "csv") return ResponseFormat::Csv;
    if (first == "tsv") return ResponseFormat::Tsv;
    if (first == "auto") return ResponseFormat::Auto;
    return std::nullopt;
}

bool SaysNoHeader(std::string_view text) {
    return Lower(text).find("no header") != std::string::npos;
}

char DelimiterNamedBy(std::string_view formatText) {
    for (const char delimiter : {';', '|', ','}) {
        const char named[] = {'(', delimiter, ')', '\0'};
        if (formatText.find(named) != std::string_view::npos) return delimiter;
    }
    return 0;
}

std::optional<char> ParseDelimiter(std::string_view text) {
    if (text == "\t") return '\t';
    const std::string word = Lower(TrimBlanks(text));
    if (word == "," || word == "comma") return ',';
    if (word == ";" || word == "semicolon") return ';';
    if (word == "|" || word == "pipe" || word == "bar") return '|';
    if (word == "tab") return '\t';
    return std::nullopt;
}

std::string_view DelimiterText(char delimiter) {
    switch (delimiter) {
        case ';':
            return ";";
        case '|':
            return "|";
        case '\t':
            return "tab";
        default:
            break;
    }
    return ",";
}

ResponseLayout ReadResponseLayout(const ControlTexts& texts, std::string& error) {
    ResponseLayout layout;
    const std::string formatText = texts.ControlText(control::kResponseFormat);
    const std::optional<ResponseFormat> format = ParseResponseFormat(formatText);
    if (!format) {
        error = "the format must be fixed, csv, tsv or auto, not '" + formatText + "'";
        return layout;
    }
    layout.format = *format;
    layout.delimiter = DelimiterOf(*format);
    if (const char named = DelimiterNamedBy(formatText); named != 0) {
        layout.delimiter = named;
        layout.delimiterGiven = true;
    }
    const std::string delimiterText = texts.ControlText(control::kDelimiter);
    if (!delimiterText.empty()) {
        const std::optional<char> delimiter = ParseDelimiter(delimiterText);
        if (!delimiter) {
            error = "the delimiter (--delimiter) must be ',', ';', '|' or tab, not '" +
                    delimiterText + "'";
            return layout;
        }
        if (*format == ResponseFormat::Fixed) {
            error = "a delimiter (--delimiter " + std::string(DelimiterText(*delimiter)) +
                    ") is given, but the format is fixed columns: use --format csv (or auto)";
            return layout;
        }
        if (*format == ResponseFormat::Tsv && *delimiter != '\t') {
            error = "a TSV file is split by tabs, not by '" +
                    std::string(DelimiterText(*delimiter)) + "': use --format csv with --delimiter";
            return layout;
        }
        layout.delimiter = *delimiter;
        layout.delimiterGiven = true;
    }
    layout.header = !SaysNoHeader(formatText) &&
                    Lower(TrimBlanks(texts.ControlText(control::kHeaderRow))) != "no";
    layout.idColumn = std::string(TrimBlanks(texts.ControlText(control::kIdColumn)));
    layout.thetaColumn = std::string(TrimBlanks(texts.ControlText(control::kThetaColumn)));
    layout.itemColumns = std::string(TrimBlanks(texts.ControlText(control::kItemColumns)));
    layout.keyFile = std::string(TrimBlanks(texts.ControlText(control::kKeyFile)));
    // A blank inside a key is a key character; blanks at its end are not.
    layout.key = texts.ControlText(control::kAnswerKey);
    if (TrimBlanks(layout.key).empty()) layout.key.clear();
    return layout;
}

bool IsDelimited(ResponseFormat format) {
    return format == ResponseFormat::Csv || format == ResponseFormat::Tsv;
}

char DelimiterOf(ResponseFormat format) { return format == ResponseFormat::Tsv ? '\t' : ','; }

std::string_view FormatName(ResponseFormat format) {
    switch (format) {
        case ResponseFormat::Fixed:
            return "fixed";
        case ResponseFormat::Csv:
            return "csv";
        case ResponseFormat::Tsv:
            return "tsv";
        case ResponseFormat::Auto:
            return "auto";
    }
    return "fixed";
}

}  // namespace tarvo
