#include "linking/link_options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tarvo::linking {
namespace {

std::string_view OptionName(std::string_view arg) {
    const std::string_view name = arg.substr(2);
    return name.substr(0, name.find('='));
}

bool ParseWhole(std::string_view text, unsigned long long& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool ParseReal(std::string_view text, double& value) {
    const std::string copy(text);
    char* end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    return !copy.empty() && end == copy.c_str() + copy.size() && std::isfinite(value);
}

// A column option sets one half of a field; a whole number 0 .. 65535.
struct ColumnOption {
    std::string_view name;
    FieldSpec ItemColumns::*field;
    bool start;
};

constexpr ColumnOption kColumnOptions[] = {
    {"item-id-start", &ItemColumns::id, true}, {"item-id-length", &ItemColumns::id, false},
    {"a-start", &ItemColumns::a, true},        {"a-length", &ItemColumns::a, false},
    {"b-start", &ItemColumns::b, true},        {"b-length", &ItemColumns::b, false},
    {"c-start", &ItemColumns::c, true},        {"c-length", &ItemColumns::c, false},
    {"seea-start", &ItemColumns::seA, true},   {"seea-length", &ItemColumns::seA, false},
    {"seeb-start", &ItemColumns::seB, true},   {"seeb-length", &ItemColumns::seB, false},
    {"seec-start", &ItemColumns::seC, true},   {"seec-length", &ItemColumns::seC, false},
};

const ColumnOption* FindColumnOption(std::string_view name) {
    for (const ColumnOption& option : kColumnOptions) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

}  // namespace

bool IsLinkCommand(const std::vector<std::string_view>& args) {
    for (const std::string_view arg : args) {
        if (arg == "--link" || (arg.substr(0, 2) == "--" && OptionName(arg) == "items"))
            return true;
    }
    return false;
}

LinkParse ParseLinkCommandLine(const std::vector<std::string_view>& args, TableFile tableFile) {
    LinkOptions options;
    LinkRequest& request = options.request;
    auto fail = [](std::string message) { return LinkParse{std::nullopt, std::move(message)}; };
    bool link = false, items = false;

    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string_view arg = args[k];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg.substr(0, 2) != "--") return fail("unexpected argument '" + std::string(arg) + "'");
        const std::string_view name = OptionName(arg);
        if (name == "link") {
            link = true;
            continue;
        }
        if (name == "symmetric") {
            request.criterion.symmetric = true;
            continue;
        }
        if (name == "drop-drifting") {
            request.dropDrifting = true;
            continue;
        }
        if (name == "quiet") {
            options.quiet = true;
            continue;
        }

        std::optional<std::string_view> value;
        if (const auto eq = arg.find('='); eq != std::string_view::npos) value = arg.substr(eq + 1);
        if (!value && k + 1 < args.size()) value = args[++k];
        const std::string option = "--" + std::string(name);
        if (!value) return fail("option '" + option + "' needs a value");
        const std::string_view text = *value;
        auto needsFile = [&](std::string& target) -> std::string {
            if (text.empty()) return option + " needs a file name";
            target = std::string(text);
            return {};
        };
        // A finite number; positive when it must be.
        auto number = [&](double& target, bool positive) -> std::string {
            double parsed = 0;
            if (!ParseReal(text, parsed) || (positive && !(parsed > 0))) {
                return option + " takes a " + (positive ? "number above 0" : "number") + ", not '" +
                       std::string(text) + "'";
            }
            target = parsed;
            return {};
        };
        auto whole = [&](unsigned long long lowest, unsigned long long highest,
                         unsigned long long& target) -> std::string {
            unsigned long long parsed = 0;
            if (!ParseWhole(text, parsed) || parsed < lowest || parsed > highest) {
                return option + " takes a whole number from " + std::to_string(lowest) + " to " +
                       std::to_string(highest) + ", not '" + std::string(text) + "'";
            }
            target = parsed;
            return {};
        };
        auto model = [&](std::optional<FormModel>& target) -> std::string {
            FormModel parsed{};
            if (!ParseFormModel(text, parsed)) {
                return option + " takes 3pl, 2pl or 1pl, not '" + std::string(text) + "'";
            }
            target = parsed;
            return {};
        };

        std::string error;
        unsigned long long count = 0;
        if (const ColumnOption* column = FindColumnOption(name)) {
            error = whole(0, 65535, count);
            // One layout for both forms.
            for (ItemColumns* columns : {&request.baseColumns, &request.newColumns}) {
                FieldSpec& field = columns->*(column->field);
                (column->start ? field.start : field.length) = static_cast<std::uint16_t>(count);
            }
        } else if (name == "base-items") {
            error = needsFile(request.basePath);
        } else if (name == "new-items") {
            error = needsFile(request.newPath);
        } else if (name == "items") {
            items = true;
            error = needsFile(request.basePath);
        } else if (name == "anchors") {
            error = needsFile(request.anchorsPath);
        } else if (name == "base-model" || name == "model") {
            error = model(request.baseModel);
        } else if (name == "new-model") {
            error = model(request.newModel);
        } else if (name == "link-method") {
            if (!ParseLinkMethod(text, request.chosen)) {
                error = option + " takes mean/mean, mean/sigma, haebara or stocking-lord, not '" +
                        std::string(text) + "'";
            }
        } else if (name == "criterion-points") {
            error = whole(3, 1001, count);
            request.criterion.points = static_cast<int>(count);
        } else if (name == "criterion-range") {
            error = number(request.criterion.range, true);
        } else if (name == "criterion-mean") {
            error = number(request.criterion.mean, false);
        } else if (name == "criterion-sd") {
            error = number(request.criterion.sd, true);
        } else if (name == "bootstrap") {
            error = whole(2, 100000, count);
            request.bootstrap = static_cast<int>(count);
        } else if (name == "seed") {
            error = whole(0, ~0ull, count);
            request.seed = count;
        } else if (name == "drift-z") {
            error = number(request.driftThreshold, true);
        } else if (name == "population-points") {
            error = whole(5, 1001, count);
            request.population.points = static_cast<int>(count);
        } else if (name == "population-range") {
            error = number(request.population.range, true);
        } else if (name == "population-mean") {
            error = number(request.population.mean, false);
        } else if (name == "population-sd") {
            error = number(request.population.sd, true);
        } else if (name == "report") {
            error = needsFile(options.reportFile);
        } else if (name == "html-report") {
            error = needsFile(options.htmlReportFile);
        } else if (name == "transformed-items") {
            error = needsFile(options.transformedItems);
        } else if (name == "abilities") {
            error = needsFile(options.abilitiesFrom);
        } else if (name == "transformed-abilities") {
            error = needsFile(options.transformedAbilities);
        } else if (name == "score-table") {
            error = needsFile(options.scoreTable);
        } else if (name == "equating-table") {
            error = needsFile(options.equatingTable);
        } else {
            return fail("unknown option '" + option + "' for " +
                        (items && !link ? "--items" : "--link"));
        }
        if (!error.empty()) return fail(error);
    }
    if (options.help) return LinkParse{options, {}};
    if (link && items) return fail("--link and --items are two commands: give one");
    if (items) {
        options.kind = LinkCommandKind::ScoreTable;
        if (tableFile == TableFile::Required && options.scoreTable.empty() &&
            options.reportFile.empty() && options.htmlReportFile.empty()) {
            return fail("--items needs --score-table FILE or --report FILE");
        }
        if (!request.newPath.empty() || !options.transformedItems.empty() ||
            !options.equatingTable.empty() || !options.abilitiesFrom.empty()) {
            return fail("--items makes a score table; linking options need --link");
        }
        return LinkParse{options, {}};
    }
    if (request.basePath.empty() || request.newPath.empty()) {
        return fail("--link needs --base-items FILE and --new-items FILE");
    }
    if (options.abilitiesFrom.empty() != options.transformedAbilities.empty()) {
        return fail("--abilities RESULT-FILE and --transformed-abilities FILE go together");
    }
    return LinkParse{options, {}};
}

std::string LinkHelpText() {
    return "Usage: tarvo-run --link --base-items FILE --new-items FILE [OPTION]...\n"
           "       tarvo-run --items FILE --score-table FILE [OPTION]...\n"
           "--link puts the new form's items on the base form's scale from the items they\n"
           "share, theta_base = A theta_new + B, by mean/mean, mean/sigma, Haebara and\n"
           "Stocking-Lord, and prints one line per method: METHOD A B se_A se_B (NA where\n"
           "an error is not defined). --items writes one form's summed-score table.\n\n"
           "Item files are item parameter files cut by the columns below (the samples'\n"
           "layout unless given), or result files of this program (their item section is\n"
           "found and read by its header).\n"
           "  --base-items FILE         the form whose scale is kept\n"
           "  --new-items FILE          the form put on that scale\n"
           "  --anchors FILE            common items as pairs of IDs, base then new, one pair\n"
           "                            a line (default: the items of the same ID)\n"
           "  --item-id-start N, --item-id-length N, --a-start N, --a-length N,\n"
           "  --b-start N, --b-length N, --c-start N, --c-length N\n"
           "                            the columns of the item files (1 8, 22 9, 32 9, 42 9);\n"
           "                            a length of 0 leaves the field out (a = 1, c = 0)\n"
           "  --seea-start N, --seea-length N, --seeb-..., --seec-...\n"
           "                            columns of the standard errors, for the delta method\n"
           "  --base-model, --new-model 3pl|2pl|1pl  each form's model (default: 3pl, or\n"
           "                            what a result file shows); two 1PL forms keep A = 1\n"
           "  --criterion-points N, --criterion-range R, --criterion-mean M, --criterion-sd S\n"
           "                            the abilities the Haebara and Stocking-Lord criteria\n"
           "                            are summed over: N points (41) from M - R S to M + R S\n"
           "                            (R 4, M 0, S 1) with normal weights; give the base\n"
           "                            form's quadrature and population here\n"
           "  --symmetric               add each criterion on the new form's scale\n"
           "  --bootstrap N             standard errors from N resamples of the common items\n"
           "                            (default: the delta method from the items' errors)\n"
           "  --seed N                  the resamples' seed (1)\n"
           "  --drift-z Z               flag common items whose robust z of the b differences\n"
           "                            and whose difference over its standard error are both\n"
           "                            beyond Z either way (2.7)\n"
           "  --drop-drifting           link again without the flagged items\n"
           "  --link-method METHOD      whose constants carry the new form over, screen drift\n"
           "                            and equate (stocking-lord)\n"
           "  --transformed-items FILE  the new form's items on the base scale, as an item\n"
           "                            parameter file every mode and --fix-items read\n"
           "  --abilities RESULT-FILE --transformed-abilities FILE\n"
           "                            a result file's abilities carried to the base scale\n"
           "  --equating-table FILE     true-score equating, new raw score to base raw score\n"
           "  --score-table FILE        the summed-score table (CSV) of the new form on the\n"
           "                            base scale, or with --items of that form\n"
           "  --model 3pl|2pl|1pl       with --items: the form's model\n"
           "  --population-mean M, --population-sd S, --population-points N,\n"
           "  --population-range R      the score table's population: N(0, 1) over 61 points\n"
           "                            from M - 6 S to M + 6 S unless given\n"
           "  --report FILE             everything above as JSON: linking: [{method, A, B,\n"
           "                            se_A, se_B}], drift, curves, equating, score_table\n"
           "  --html-report FILE        the same as one printable HTML page\n"
           "  --quiet                   no progress line on standard error (shown on a\n"
           "                            terminal: the phase and the percent done)\n"
           "  --help                    show this text\n\n"
           "Ctrl-C stops the link between its steps; a second Ctrl-C ends it at once.\n"
           "Exit status: 0 done, 1 a file could not be read or written, the forms could\n"
           "not be linked or the link was stopped, 2 a command-line error.\n\n"
           "Example (the samples against themselves: A = 1, B = 0):\n"
           "  tarvo-run --link --base-items samples/testdata.itm \\\n"
           "    --new-items samples/testdata.itm --transformed-items /tmp/new-on-base.itm\n";
}

}  // namespace tarvo::linking
