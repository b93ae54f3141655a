#include "cli/options.h"

#include <charconv>

#include "cli/format_options.h"
#include "core/modes.h"
#include "platform/control_ids.h"

namespace tarvo::cli {

namespace {

struct TextOption {
    std::string_view name;
    int controlId;
    std::string_view help;
};

constexpr TextOption kTextOptions[] = {
    {"response-file", control::kResponseFile, "response file (examinee records)"},
    {"item-file", control::kItemParameterFile, "item parameter file"},  // + its modes
    {"output-file", control::kOutputFile, "result file to write"},
    {"item-count", control::kItemCount, "number of items (item responses: Length)"},
    {"response-start", control::kResponseStart, "column of the first response"},
    {"examinee-id-start", control::kExamineeIdStart, "examinee ID: start column"},
    {"examinee-id-length", control::kExamineeIdLength, "examinee ID: length"},
    {"theta-start", control::kThetaStart, "given theta: start column"},
    {"theta-length", control::kThetaLength, "given theta: length"},
    {"item-id-start", control::kItemIdStart, "item ID: start column"},
    {"item-id-length", control::kItemIdLength, "item ID: length"},
    {"a-start", control::kAStart, "a: start column"},
    {"a-length", control::kALength, "a: length"},
    {"b-start", control::kBStart, "b: start column"},
    {"b-length", control::kBLength, "b: length"},
    {"c-start", control::kCStart, "c: start column"},
    {"c-length", control::kCLength, "c: length"},
};

// " (modes 1, 4, 5, 7)": the modes that read an item parameter file.
std::string ModesReadingItemFile() {
    std::string modes;
    for (int m = kFirstMode; m <= kLastMode; ++m) {
        if (!RulesOf(m).needsItemFile) continue;
        modes += (modes.empty() ? " (modes " : ", ") + std::to_string(m);
    }
    return modes + ")";
}

bool ParseWhole(std::string_view text, unsigned& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string_view>& args) {
    Options options;
    auto fail = [](std::string message) { return ParseResult{std::nullopt, std::move(message)}; };

    for (std::size_t k = 0; k < args.size(); ++k) {
        std::string_view arg = args[k];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--view") {
            options.view = true;
            continue;
        }
        if (arg == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (arg.substr(0, 2) != "--") return fail("unexpected argument '" + std::string(arg) + "'");
        if (IsMethodFlag(arg.substr(2))) {
            ApplyMethodFlag(arg.substr(2), options.method);
            continue;
        }
        // [format options hook] The response file's format and columns.
        const FormatOptions format{&options.controlTexts, &options.detectFile};
        if (IsFormatFlag(arg.substr(2))) {
            ApplyFormatFlag(arg.substr(2), format);
            continue;
        }

        std::string_view name = arg.substr(2);
        std::optional<std::string_view> value;
        if (const auto eq = name.find('='); eq != std::string_view::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto takeValue = [&]() -> std::optional<std::string_view> {
            if (value) return value;
            if (k + 1 >= args.size()) return std::nullopt;
            return args[++k];
        };

        const TextOption* textOption = nullptr;
        for (const auto& candidate : kTextOptions) {
            if (candidate.name == name) textOption = &candidate;
        }
        const bool known = textOption || name == "mode" || name == "standardize" ||
                           name == "threads" || name == "report" || IsMethodOption(name) ||
                           IsFormatOption(name);
        if (!known) return fail("unknown option '--" + std::string(name) + "'");
        const auto text = takeValue();
        if (!text) return fail("option '--" + std::string(name) + "' needs a value");

        if (textOption) {
            options.controlTexts[textOption->controlId] = std::string(*text);
        } else if (IsFormatOption(name)) {
            if (auto error = ApplyFormatOption(name, *text, format); !error.empty())
                return fail(error);
        } else if (IsMethodOption(name)) {
            if (auto error = ApplyMethodOption(name, *text, options.method); !error.empty())
                return fail(error);
        } else if (name == "mode") {
            unsigned mode = 0;
            if (!ParseWhole(*text, mode) || !IsMode(static_cast<int>(mode)))
                return fail("--mode takes a number from 1 to 8, not '" + std::string(*text) + "'");
            options.mode = static_cast<int>(mode);
        } else if (name == "standardize") {
            if (*text == "yes") {
                options.standardize = true;
            } else if (*text == "no") {
                options.standardize = false;
            } else {
                return fail("--standardize takes yes or no, not '" + std::string(*text) + "'");
            }
        } else if (name == "report") {
            if (text->empty()) return fail("--report needs a file name");
            options.reportFile = std::string(*text);
        } else {
            unsigned threads = 0;
            if (!ParseWhole(*text, threads) || threads < 1 || threads > 1024)
                return fail("--threads takes a number from 1 to 1024, not '" + std::string(*text) +
                            "'");
            options.threads = threads;
        }
    }
    if (auto error = FinishMethodOptions(options.mode, options.method); !error.empty())
        return fail(error);
    return ParseResult{options, {}};
}

std::string HelpText() {
    std::string text =
        "Usage: tarvo-run [OPTION]...\n"
        "Calibrates item response data by maximum likelihood (3PL or 1PL) and writes one\n"
        "result file, as the desktop program's \"Go\" does. Each TEXT is what the dialog's\n"
        "box would hold; it is converted by the same rules (an option not given is empty).\n"
        "Options may be written --name VALUE or --name=VALUE; a later repeat wins.\n\n"
        "  --mode N                  calibration mode 1..8 (default 2, see below)\n";
    for (const auto& option : kTextOptions) {
        std::string left = "  --" + std::string(option.name) +
                           (option.controlId == control::kResponseFile ||
                                    option.controlId == control::kItemParameterFile ||
                                    option.controlId == control::kOutputFile
                                ? " PATH"
                                : " TEXT");
        left.resize(28, ' ');
        text += left + std::string(option.help);
        if (option.controlId == control::kItemParameterFile) text += ModesReadingItemFile();
        text += "\n";
    }
    text +=
        "  --standardize yes|no      joint modes: standardise theta after each pass (yes)\n"
        "  --threads N               worker threads (default: every core)\n"
        "  --view                    open the result in the desktop's viewer afterwards\n"
        "  --report FILE             write the run report (statistics, flags, warnings) as JSON\n"
        "  --quiet                   print no summary on standard output after the run\n"
        "  --help                    show this text\n"
        "  --link ...                link a new form to a base form's scale, and\n"
        "  --items FILE ...          a form's score table: see tarvo-run --link --help\n";
    text += MethodHelpText();
    text += FormatHelpText();
    text += "\nModes (estimated | given):\n";
    for (int m = kFirstMode; m <= kLastMode; ++m) {
        text += "  " + std::to_string(m) + "  " + std::string(RulesOf(m).caption) + "\n";
    }
    text +=
        "\nCtrl-C, SIGTERM or SIGHUP stops the run at its next check point; the result file\n"
        "then holds whole rows of what was computed, and standard error says how far the\n"
        "run got. A second such signal ends the program at once.\n"
        "\nAfter the run a short summary goes to standard output (to standard error when\n"
        "the result file is standard output): how the run ended, the reliabilities, and\n"
        "one line beginning WARNING for each thing to look at. The run's own messages\n"
        "stay on standard error.\n\n"
        "Exit status: 0 the run finished and the result file is complete (also when the\n"
        "joint loop did not settle: the summary says so),\n"
        "1 the run ended at a check (missing or unreadable response file, result file not\n"
        "writable) or failed (a write failed, memory ran out) and the result file is\n"
        "incomplete, or the --report file could not be written,\n"
        "2 a command-line error,\n"
        "128+N the run was stopped by signal N (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP):\n"
        "the result file holds whole rows but is not a complete result.\n\n"
        "Example (joint 3PL calibration of the samples):\n"
        "  tarvo-run --mode 3 --response-file samples/testdata.dat --item-count 45 \\\n"
        "    --response-start 20 --examinee-id-start 1 --examinee-id-length 8 \\\n"
        "    --output-file /tmp/testdataout.csv\n";
    return text;
}

}  // namespace tarvo::cli
