// The layers of src/ and what each may include. Every target sees the whole
// src/ folder, so the compiler alone would let an engine file include a
// desktop header; this test reads every #include line and fails on one that
// crosses a layer the wrong way.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tarvo {
namespace {

// The layers each layer may include besides itself. A layer is a folder of
// src/ or one of its subfolders ("estimation/classic"); a file belongs to
// the deepest layer whose folder holds it. The engine (everything but cli,
// shell and capi) uses no toolkit; the two front ends (cli, shell) do not
// know each other, and both run through the library.
const std::map<std::string, std::set<std::string>>& AllowedLayers() {
    static const std::set<std::string> kEngine{"core",
                                               "platform",
                                               "irt",
                                               "fit",
                                               "dif",
                                               "input",
                                               "input/text",
                                               "input/format",
                                               "input/check",
                                               "output",
                                               "report",
                                               "report/html",
                                               "request",
                                               "parallel",
                                               "estimation",
                                               "estimation/kernels",
                                               "estimation/classic",
                                               "estimation/marginal",
                                               "estimation/models",
                                               "estimation/polytomous",
                                               "estimation/polytomous/inputs",
                                               "run",
                                               "run/groups",
                                               "linking/forms",
                                               "linking/methods",
                                               "linking/tables",
                                               "linking"};
    // The front ends run a calibration through the library's road.
    static const std::set<std::string> kFrontEnd = [] {
        auto layers = kEngine;
        layers.insert("library");
        return layers;
    }();
    static const std::map<std::string, std::set<std::string>> kAllowed{
        {"core", {}},
        {"platform", {"core"}},
        {"irt", {"core"}},
        {"fit", {"core", "irt", "parallel"}},
        {"dif", {"core", "fit", "parallel"}},
        {"input/text", {"core", "platform"}},
        {"input/format", {"core", "platform", "input/text"}},
        {"input/check", {"core", "platform", "input/text", "input/format"}},
        {"input", {"core", "platform", "input/text", "input/format", "input/check"}},
        {"output", {"core"}},
        {"report", {"core", "irt", "linking/tables"}},
        {"report/html", {"core", "irt", "report", "linking/tables"}},
        {"linking/forms", {"core", "input/text", "output"}},
        {"linking/methods", {"core", "irt", "linking/forms"}},
        {"linking/tables", {"core", "irt", "linking/forms"}},
        {"linking",
         {"core", "irt", "input/text", "output", "linking/forms", "linking/methods",
          "linking/tables"}},
        {"request", {"core", "platform", "input/text", "input/format", "output"}},
        {"parallel", {}},
        {"estimation", {"core", "platform", "input", "output", "parallel"}},
        {"estimation/kernels", {"core", "estimation"}},
        {"estimation/classic",
         {"core", "platform", "output", "parallel", "estimation", "estimation/kernels"}},
        {"estimation/marginal",
         {"core", "platform", "irt", "input", "input/text", "output", "parallel", "estimation",
          "estimation/kernels", "estimation/classic"}},
        {"estimation/models",
         {"core", "platform", "irt", "input", "input/text", "output", "parallel", "estimation",
          "estimation/kernels", "estimation/classic", "estimation/marginal"}},
        {"estimation/polytomous/inputs", {"core", "input/text", "output"}},
        {"estimation/polytomous",
         {"core", "platform", "irt", "input", "input/text", "output", "parallel", "estimation",
          "estimation/kernels", "estimation/classic", "estimation/marginal", "estimation/models",
          "estimation/polytomous/inputs"}},
        {"run/groups",
         {"core", "platform", "irt", "input", "output", "report", "fit", "parallel", "estimation",
          "estimation/polytomous"}},
        {"run",
         {"core",
          "platform",
          "irt",
          "input",
          "input/text",
          "input/check",
          "output",
          "report",
          "fit",
          "dif",
          "parallel",
          "estimation",
          "estimation/classic",
          "estimation/marginal",
          "estimation/models",
          "estimation/polytomous",
          "linking",
          "linking/forms",
          "linking/tables",
          "run/groups"}},
        {"cli", kFrontEnd},
        {"library", kEngine},
        {"shell", kFrontEnd},
        {"capi",
         [] {
             auto layers = kFrontEnd;
             layers.insert("shell");
             return layers;
         }()},
    };
    return kAllowed;
}

// The layer a path below src/ belongs to: the deepest layer whose folder
// holds it; empty when none does.
std::string LayerOf(const std::string& path) {
    std::string found;
    for (const auto& [layer, allowed] : AllowedLayers()) {
        if (path.rfind(layer + "/", 0) == 0 && layer.size() > found.size()) found = layer;
    }
    return found;
}

bool UsesToolkit(const std::string& layer) { return layer == "shell" || layer == "capi"; }

// The forbidden includes of one file of a layer, one message each.
std::vector<std::string> ForbiddenIncludes(const std::string& layer, const std::string& file,
                                           std::istream& text) {
    std::vector<std::string> problems;
    const auto& allowed = AllowedLayers();
    const auto rules = allowed.find(layer);
    if (rules == allowed.end()) {
        problems.push_back(file + ": folder src/" + layer + " has no layering rule");
        return problems;
    }
    std::string line;
    while (std::getline(text, line)) {
        const auto hash = line.find_first_not_of(" \t");
        if (hash == std::string::npos || line.compare(hash, 1, "#") != 0) continue;
        const auto include = line.find("include", hash);
        if (include == std::string::npos || line.find_first_not_of(" \t", hash + 1) != include) {
            continue;
        }
        const auto open = line.find_first_of("\"<", include);
        if (open == std::string::npos) continue;
        const auto close = line.find_first_of("\">", open + 1);
        const std::string target = line.substr(open + 1, close - open - 1);
        if (line[open] == '<') {
            if (!UsesToolkit(layer) && (target.rfind("Q", 0) == 0 || target.rfind("qt", 0) == 0)) {
                problems.push_back(file + ": " + layer + " may not use the toolkit: " + line);
            }
            continue;
        }
        if (target.find('/') == std::string::npos) continue;  // beside the file
        const std::string included = LayerOf(target);
        if (included.empty()) continue;  // a library's header, e.g. "nlohmann/json.hpp"
        if (included != layer && !rules->second.contains(included)) {
            problems.push_back(file + ": " + layer + " may not include " + included + ": " + line);
        }
    }
    return problems;
}

std::vector<std::string> ForbiddenIncludes(const std::string& layer, const std::string& text) {
    std::istringstream stream(text);
    return ForbiddenIncludes(layer, "example", stream);
}

TEST(IncludeRules, NoFileOfSrcCrossesALayer) {
    const std::filesystem::path src = std::filesystem::path(TARVO_SOURCE_DIR) / "src";
    std::vector<std::string> problems;
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
        const auto extension = entry.path().extension();
        if (!entry.is_regular_file() ||
            (extension != ".h" && extension != ".cpp" && extension != ".in")) {
            continue;
        }
        const std::string relative = std::filesystem::relative(entry.path(), src).generic_string();
        std::string layer = LayerOf(relative);
        if (layer.empty()) layer = relative.substr(0, relative.find('/'));
        std::ifstream text(entry.path());
        for (auto& problem : ForbiddenIncludes(layer, entry.path().string(), text)) {
            problems.push_back(std::move(problem));
        }
        ++files;
    }
    EXPECT_GT(files, 50);
    std::string all;
    for (const auto& problem : problems) all += problem + "\n";
    EXPECT_TRUE(problems.empty()) << all;
}

// The rules draw no arrow up: following the layers a layer may include
// never leads back to it.
TEST(IncludeRules, TheLayersFormNoCycle) {
    const auto& allowed = AllowedLayers();
    for (const auto& [start, direct] : allowed) {
        std::set<std::string> reached;
        std::vector<std::string> open(direct.begin(), direct.end());
        while (!open.empty()) {
            const std::string layer = open.back();
            open.pop_back();
            EXPECT_NE(layer, start) << start << " reaches itself";
            if (layer == start || !reached.insert(layer).second) continue;
            const auto next = allowed.find(layer);
            ASSERT_NE(next, allowed.end()) << layer << " has no rule";
            open.insert(open.end(), next->second.begin(), next->second.end());
        }
    }
}

// Every folder of src/ stays small enough to be read as one part.
TEST(FolderSizes, NoFolderOfSrcHoldsMoreThan25Files) {
    const std::filesystem::path src = std::filesystem::path(TARVO_SOURCE_DIR) / "src";
    std::map<std::string, int> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
        if (entry.is_regular_file()) ++files[entry.path().parent_path().string()];
    }
    EXPECT_GT(files.size(), 10u);
    for (const auto& [folder, count] : files) EXPECT_LE(count, 25) << folder;
}

// The rule itself: what it must catch and what it must let pass.
TEST(IncludeRules, CatchesEveryForbiddenKindOfInclude) {
    struct Case {
        const char* layer;
        const char* text;
        bool forbidden;
    };
    const Case cases[] = {
        {"estimation", "#include \"shell/main_dialog.h\"", true},
        {"estimation", "#  include \"cli/options.h\"", true},
        {"estimation", "#include \"capi/tarvo.h\"", true},
        {"input", "#include <QString>", true},
        {"output", "#include <QtCore/QString>", true},
        {"output", "#include \"input/front_part.h\"", true},
        {"core", "#include \"estimation/model.h\"", true},
        {"cli", "#include \"shell/mode_rules.h\"", true},
        {"fit", "#include \"report/run_report.h\"", true},
        {"fit", "#include \"estimation/marginal/mml_quadrature.h\"", true},
        {"shell", "#include \"cli/options.h\"", true},
        {"linking", "#include \"estimation/marginal/mml_em.h\"", true},
        {"linking", "#include <QChart>", true},
        {"estimation", "#include \"linking/methods/link_methods.h\"", true},
        {"linking/methods", "#include \"linking/tables/score_table.h\"", true},
        {"linking/forms", "#include \"linking/link_session.h\"", true},
        {"linking", "#include \"linking/tables/score_table.h\"", false},
        {"linking", "#include \"irt/summed_scores.h\"", false},
        {"estimation", "#include \"core/modes.h\"", false},
        {"run", "#include \"input/front_part.h\"", false},
        {"fit", "#include \"irt/summed_scores.h\"", false},
        {"shell", "#include <QWidget>", false},
        {"capi", "#include \"shell/main_dialog.h\"", false},
        {"capi", "#include \"tarvo.h\"", false},
        {"estimation", "// #include \"shell/x.h\" in a comment", false},
        {"estimation", "#include <vector>", false},
        {"estimation/kernels", "#include \"estimation/classic/model.h\"", true},
        {"estimation/classic", "#include \"estimation/kernels/fast_kernels.h\"", false},
        {"estimation/classic", "#include \"run/calibration_run.h\"", true},
        {"run", "#include \"estimation/classic/driver.h\"", false},
        {"report", "#include \"nlohmann/json.hpp\"", false},
        {"report", "#include \"report/html/html_report.h\"", true},
        {"report/html", "#include \"report/run_report.h\"", false},
        {"report/html", "#include \"run/calibration_run.h\"", true},
        {"input/text", "#include \"input/format/key_file.h\"", true},
        {"input/format", "#include \"input/check/input_check.h\"", true},
        {"input/check", "#include \"input/front_part.h\"", true},
        {"input/format", "#include \"input/text/line_reader.h\"", false},
        {"input", "#include \"input/check/input_check.h\"", false},
    };
    for (const Case& t : cases) {
        EXPECT_EQ(!ForbiddenIncludes(t.layer, t.text).empty(), t.forbidden)
            << t.layer << ": " << t.text;
    }
    EXPECT_FALSE(ForbiddenIncludes("newlayer", "").empty()) << "a folder without a rule";
}

}  // namespace
}  // namespace tarvo
