#include "cli/options.h"

#include <utility>

#include "cli/format_options.h"
#include "core/modes.h"
#include "platform/control_ids.h"
#include "request/job_file.h"
#include "request/option_table.h"

namespace tarvo::cli {

namespace {

// The runner's own options, beside the run's options of the request table.
constexpr std::string_view kRunnerFlags[] = {"help", "view", "quiet"};

bool IsRunnerFlag(std::string_view name) {
    for (std::string_view flag : kRunnerFlags) {
        if (flag == name) return true;
    }
    return false;
}

std::string Indented(std::string_view help) {
    std::string text;
    for (char ch : help) {
        text += ch;
        if (ch == '\n') text += std::string(28, ' ');
    }
    return text;
}

// " (modes 1, 4, 5, 7)": the modes that read an item parameter file.
std::string ModesReadingItemFile() {
    std::string modes;
    for (int m = kFirstMode; m <= kLastMode; ++m) {
        if (!RulesOf(m).needsItemFile) continue;
        modes += (modes.empty() ? " (modes " : ", ") + std::to_string(m);
    }
    return modes + ")";
}

std::string HelpLine(std::string_view name, std::string_view value, std::string_view help) {
    std::string left = "  --" + std::string(name) + (value.empty() ? "" : " " + std::string(value));
    left.resize(std::max<std::size_t>(left.size() + 1, 28), ' ');
    return left + Indented(help) + "\n";
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string_view>& args) {
    Options options;
    auto fail = [](std::string message) { return ParseResult{std::nullopt, std::move(message)}; };

    // The options in their order, then the job file under them.
    std::vector<std::pair<std::string_view, std::string_view>> given;
    std::optional<std::string> job;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string_view arg = args[k];
        if (arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg.substr(0, 2) != "--") return fail("unexpected argument '" + std::string(arg) + "'");
        std::string_view name = arg.substr(2);
        std::optional<std::string_view> value;
        if (const auto eq = name.find('='); eq != std::string_view::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (IsRunnerFlag(name)) {
            if (name == "help") options.help = true;
            if (name == "view") options.view = true;
            if (name == "quiet") options.quiet = true;
            continue;
        }
        const request::OptionSpec* option = request::FindOption(name);
        if ((option != nullptr && option->value.empty()) || IsFormatFlag(name)) {
            given.emplace_back(name, "yes");  // a flag
            continue;
        }
        if (option == nullptr && !IsFormatOption(name) && name != "job" && name != "save-job") {
            return fail("unknown option '--" + std::string(name) + "'");
        }
        if (!value) {
            if (k + 1 >= args.size())
                return fail("option '--" + std::string(name) + "' needs a value");
            value = args[++k];
        }
        if (name == "job") {
            job = std::string(*value);
        } else if (name == "save-job") {
            if (value->empty()) return fail("--save-job needs a file name");
            options.saveJob = std::string(*value);
        } else {
            given.emplace_back(name, *value);
        }
    }
    if (job) {
        if (std::string problem = request::ReadJobFile(*job, options.texts); !problem.empty()) {
            return fail(problem);
        }
        options.jobFile = *job;
    }
    // The response file's format options set the request's format entries,
    // over the job file's; --detect asks for no run at all.
    const FormatOptions format{&options.texts.format, &options.detectFile};
    for (const auto& [name, value] : given) {
        const std::string refusal = IsFormatFlag(name) || IsFormatOption(name)
                                        ? ApplyFormatOption(name, value, format)
                                        : request::ApplyOption(name, value, options.texts);
        if (!refusal.empty()) return fail(refusal);
    }
    return ParseResult{std::move(options), {}};
}

std::string UsageText() {
    return "Usage: tarvo-run [OPTION]...\n"
           "Calibrates item response data; tarvo-run --help lists every option.\n";
}

std::string HelpText() {
    std::string text =
        "Usage: tarvo-run [OPTION]...\n"
        "Calibrates item response data by maximum likelihood (3PL or 1PL) and writes one\n"
        "result file, as the desktop program's \"Go\" does. Each TEXT is what the dialog's\n"
        "box would hold; it is converted by the same rules (an option not given is empty).\n"
        "Options may be written --name VALUE or --name=VALUE; a later repeat wins.\n\n";
    for (const request::OptionSpec& option : request::RunOptions()) {
        if (option.name == "method") {
            // The runner's own options come before the estimator's.
            text += HelpLine("view", "", "open the result in the desktop's viewer afterwards");
            text += HelpLine("quiet", "", "print no summary on standard output after the run");
            text +=
                HelpLine("job", "FILE", "take the settings of a job file; options beside it win");
            text += HelpLine("save-job", "FILE", "write the settings as a job file and do not run");
            text += HelpLine("help", "", "show this text");
            text += "Estimator:\n";
        }
        if (option.name == "model") text += "Marginal estimator (--method mml):\n";
        const std::string help =
            std::string(option.help) + (option.controlId == control::kItemParameterFile
                                            ? ModesReadingItemFile()
                                            : std::string());
        text += HelpLine(option.name, option.value, help);
    }
    text +=
        "  --link ...                link a new form to a base form's scale, and\n"
        "  --items FILE ...          a form's score table: see tarvo-run --link --help\n";
    text += FormatHelpText();
    text += "\nModes (estimated | given):\n";
    for (int m = kFirstMode; m <= kLastMode; ++m) {
        text += "  " + std::to_string(m) + "  " + std::string(RulesOf(m).caption) + "\n";
    }
    text +=
        "\nCtrl-C, SIGTERM or SIGHUP stops the run at its next check point, with either\n"
        "estimator and in every phase; the result file then holds whole rows of what was\n"
        "computed, and standard error says how far the run got. A second such signal ends\n"
        "the program at once.\n"
        "\nAfter the run a short summary goes to standard output (to standard error when\n"
        "the result file is standard output): how the run ended, for the marginal\n"
        "estimator its log-likelihood, priors and population, the reliabilities, and\n"
        "one line beginning WARNING for each thing to look at. The run's own messages\n"
        "stay on standard error.\n\n"
        "A job file (--save-job, --job) is a small JSON file of the options as written\n"
        "here, with a \"format\" section for the response file's layout.\n\n"
        "Exit status: 0 the run finished and the result file is complete (also when the\n"
        "estimation did not settle: the summary says so),\n"
        "1 the run ended at a check (missing or unreadable response file, result file not\n"
        "writable) or failed (a write failed, memory ran out) and the result file is\n"
        "incomplete, the run had no item or no examinee to estimate (standard error says\n"
        "why), or the --report file could not be written,\n"
        "2 a command-line error (also no arguments at all),\n"
        "128+N the run was stopped by signal N (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP):\n"
        "the result file holds whole rows but is not a complete result.\n\n"
        "Example (joint 3PL calibration of the samples):\n"
        "  tarvo-run --mode 3 --response-file samples/testdata.dat --item-count 45 \\\n"
        "    --response-start 20 --examinee-id-start 1 --examinee-id-length 8 \\\n"
        "    --output-file /tmp/testdataout.csv\n";
    return text;
}

}  // namespace tarvo::cli
