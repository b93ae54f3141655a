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

ResponseLayout ReadResponseLayout(const ControlTexts& texts, std::string& error) {
    ResponseLayout layout;
    const std::string formatText = texts.ControlText(control::kResponseFormat);
    const std::optional<ResponseFormat> format = ParseResponseFormat(formatText);
    if (!format) {
        error = "the format must be fixed, csv, tsv or auto, not '" + formatText + "'";
        return layout;
    }
    layout.format = *format;
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
