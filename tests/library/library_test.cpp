// The library's calibration of responses in memory against the runner's
// road over the same responses written as a CSV file: the same result file
// byte for byte and the same estimates bit for bit, the runner's messages
// as error values, and a stop.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "library/simulated_responses.h"
#include "platform/run_host.h"
#include "report/report_json.h"
#include "request/option_table.h"
#include "request/request_parser.h"
#include "run/calibration_run.h"
#include "support/temp_dir.h"
#include "tarvo/tarvo.hpp"

namespace tarvo {
namespace {

using test_support::AsCsv;
using test_support::Data;
using test_support::ResponsesOf;
using test_support::Simulate;

// Answers every question Yes, as the runner does, and keeps the messages.
class YesHost final : public HeadlessHost {
  public:
    YesHost() : HeadlessHost(true) {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

// The runner's road: its options over the CSV file, parsed by the one
// parser, and the run.
RunEnd RunnerRun(const std::vector<std::pair<std::string, std::string>>& options,
                 const std::string& csv, RunReport& report) {
    request::RequestTexts texts;
    for (const auto& [name, value] : options) {
        EXPECT_EQ(request::ApplyOption(name, value, texts), "") << name;
    }
    EXPECT_EQ(request::ApplyOption("response-file", csv, texts), "");
    texts.format = {{"format", "csv"}, {"id-column", "id"}};
    const request::RequestCheck check = request::ParseRequest(texts);
    EXPECT_TRUE(check.request.has_value()) << check.message;
    YesHost host;
    return RunCalibration(*check.request, host, &report);
}

std::uint64_t Bits(double x) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

void ExpectSameTables(const RunReport& runner, const lib::Result& result) {
    ASSERT_EQ(result.items.size(), runner.itemRows.size());
    for (std::size_t i = 0; i < result.items.size(); ++i) {
        const ItemReport& r = runner.itemRows[i];
        const lib::ItemRow& l = result.items[i];
        EXPECT_EQ(Bits(l.a), Bits(r.a)) << "item " << i;
        EXPECT_EQ(Bits(l.b), Bits(r.b)) << "item " << i;
        EXPECT_EQ(Bits(l.c), Bits(r.c)) << "item " << i;
        EXPECT_EQ(Bits(l.seA), Bits(r.seea)) << "item " << i;
        EXPECT_EQ(Bits(l.seB), Bits(r.seeb)) << "item " << i;
        EXPECT_EQ(l.thresholds, r.thresholds) << "item " << i;
        EXPECT_EQ(l.name, r.name);
    }
    ASSERT_EQ(result.persons.size(), runner.personRows.size());
    for (std::size_t j = 0; j < result.persons.size(); ++j) {
        EXPECT_EQ(Bits(result.persons[j].theta), Bits(runner.personRows[j].theta)) << j;
        EXPECT_EQ(Bits(result.persons[j].se), Bits(runner.personRows[j].seetheta)) << j;
        EXPECT_EQ(result.persons[j].id, runner.personRows[j].examinId);
    }
    EXPECT_EQ(Bits(result.logLikelihood), Bits(runner.logLikelihood));
    EXPECT_EQ(result.trace.logLikelihood, runner.loop.logLikelihood);
    EXPECT_EQ(result.trace.msError, runner.loop.msError);
    EXPECT_EQ(result.warnings, runner.warnings);
}

struct Case {
    const char* name;
    int maxScore;
    std::vector<std::pair<std::string, std::string>> runner;
    lib::Options options;
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    auto add = [&cases](const char* name, int maxScore,
                        std::vector<std::pair<std::string, std::string>> runner,
                        lib::Options options) {
        cases.push_back({name, maxScore, std::move(runner), std::move(options)});
    };
    lib::Options classic3;
    classic3.mode = 3;
    add("classic mode 3", 1, {{"mode", "3"}}, classic3);
    lib::Options classic6;
    classic6.mode = 6;
    classic6.standardize = false;
    add("classic mode 6", 1, {{"mode", "6"}, {"standardize", "no"}}, classic6);
    lib::Options mml3;
    mml3.method = "mml";
    mml3.compare = {"1pl", "2pl"};
    add("mml 3pl compared", 1, {{"method", "mml"}, {"compare", "1pl,2pl"}}, mml3);
    lib::Options mml2;
    mml2.method = "mml";
    mml2.model = "2pl";
    mml2.priorB = lib::Prior{true, 0, 2};
    mml2.emTolerance = 1e-5;
    add("mml 2pl with a prior", 1,
        {{"method", "mml"}, {"model", "2pl"}, {"prior-b", "0,2"}, {"em-tolerance", "1e-05"}}, mml2);
    lib::Options grm;
    grm.method = "mml";
    grm.model = "grm";
    grm.scoring = "map";
    add("mml grm", 3, {{"method", "mml"}, {"model", "grm"}, {"scoring", "map"}}, grm);
    lib::Options gpcm;
    gpcm.method = "mml";
    gpcm.model = "gpcm";
    gpcm.quadrature = 31;
    add("mml gpcm", 2, {{"method", "mml"}, {"model", "gpcm"}, {"quadrature", "31"}}, gpcm);
    return cases;
}

TEST(LibraryCalibration, EqualsTheRunnerOverTheSameCsvBitForBit) {
    const test_support::TempDir dir;
    for (Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const Data data = Simulate(400, 10, c.maxScore, 7);
        const std::string csv = dir.Write("responses.csv", AsCsv(data));
        c.runner.emplace_back("output-file", dir.File("runner.csv"));
        c.runner.emplace_back("threads", "2");
        RunReport runner;
        ASSERT_EQ(RunnerRun(c.runner, csv, runner), RunEnd::Finished);

        c.options.outputFile = dir.File("library.csv");
        c.options.threads = 1;
        const lib::Result result = lib::Calibrate(ResponsesOf(data), c.options);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.end, "finished");
        EXPECT_EQ(test_support::ReadFile(dir.File("library.csv")),
                  test_support::ReadFile(dir.File("runner.csv")));
        ExpectSameTables(runner, result);
        // Every row and section of the report, fit and comparison included,
        // as the runner's; the typed fit as its JSON gives it.
        const auto mine = nlohmann::json::parse(result.reportJson);
        const auto theirs = nlohmann::json::parse(report::ReportJson(runner));
        for (const char* key : {"items", "examinees", "fit", "model_fit", "local_dependence",
                                "model_comparison", "input_check", "polytomous"}) {
            EXPECT_EQ(mine.value(key, nlohmann::json()), theirs.value(key, nlohmann::json()))
                << key;
        }
        // A key a report leaves out reads as null (operator[] of a const
        // object must not be given a missing key).
        const auto at = [](const nlohmann::json& object, const char* key) {
            return object.is_object() && object.contains(key) ? object[key] : nlohmann::json();
        };
        ASSERT_TRUE(theirs.contains("model_fit"));
        const nlohmann::json aic = at(theirs["model_fit"], "aic");
        if (aic.is_number()) {
            EXPECT_EQ(Bits(result.modelFit.aic), Bits(aic.get<double>()));
        } else {
            EXPECT_FALSE(result.modelFit.defined);
        }
        for (std::size_t i = 0; i < result.items.size(); ++i) {
            const nlohmann::json fit = at(at(theirs["items"][i], "fit"), "s_x2");
            if (fit.is_number()) {
                EXPECT_EQ(Bits(result.items[i].sx2), Bits(fit.get<double>())) << i;
            } else {
                EXPECT_TRUE(std::isnan(result.items[i].sx2)) << i;
            }
        }
        if (!c.options.compare.empty()) {
            ASSERT_TRUE(theirs.contains("model_comparison"));
            const nlohmann::json& comparison = theirs["model_comparison"];
            EXPECT_EQ(result.comparison.size(), at(comparison, "models").size());
            EXPECT_GE(result.comparison.size(), 2u);
            EXPECT_EQ(result.comparisonTests.size(), at(comparison, "tests").size());
        }
    }
}

// Every refusal is a value holding the runner's message; nothing throws.
TEST(LibraryCalibration, RefusalsAreValuesWithTheRunnersMessages) {
    const Data data = Simulate(50, 6, 1, 3);
    lib::Options badQuadrature;
    badQuadrature.method = "mml";
    badQuadrature.quadrature = 4;
    lib::Result result = lib::Calibrate(ResponsesOf(data), badQuadrature);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.end, "refused");
    EXPECT_EQ(result.error,
              "Quadrature points (--quadrature) must be a whole number from 5 to 1001, not '4'.");

    lib::Responses shortKey = ResponsesOf(data);
    shortKey.key = "AB";
    result = lib::Calibrate(shortKey, {});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.end, "ended_at_check");
    EXPECT_EQ(result.error.rfind("ERROR Response file responses: ", 0), 0u) << result.error;

    lib::Responses empty = ResponsesOf(data);
    empty.examinees = 0;
    result = lib::Calibrate(empty, {});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error,
              "ERROR The response frame 'responses' holds no row: give it at least one "
              "examinee's responses.");
    empty.label = "scores";
    result = lib::Calibrate(empty, {});
    EXPECT_EQ(result.error.rfind("ERROR The response frame 'scores' holds no row", 0), 0u)
        << result.error;

    // A row cut short: its cells beyond are missing, and the check counts
    // it as the runner counts a CSV row with fewer cells.
    lib::Responses ragged = ResponsesOf(data);
    ragged.rowCells.assign(data.examinees, data.items);
    ragged.rowCells[2] = 4;
    result = lib::Calibrate(ragged, {});
    ASSERT_EQ(result.findings.size(), 1u);
    EXPECT_EQ(result.findings[0].code, "cell-count");
    EXPECT_NE(result.findings[0].message.find("(first: row 4, 5 cells)"), std::string::npos)
        << result.findings[0].message;

    lib::Responses names = ResponsesOf(data);
    names.itemNames.pop_back();
    result = lib::Calibrate(names, {});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error,
              "ERROR The response frame 'responses': there are 5 item names for 6 items.");
}

// A key scores letters as the runner's --key does; the stop flag ends the
// run as stopped; a strided view reads the same responses as packed rows.
TEST(LibraryCalibration, KeyStopAndStridedCells) {
    Data data = Simulate(300, 8, 1, 11);
    Data letters = data;
    const std::string key = "ABCDABCD";
    for (std::size_t j = 0; j < data.examinees; ++j) {
        for (std::size_t i = 0; i < data.items; ++i) {
            char& cell = letters.cells[j * data.items + i];
            if (cell == '1') cell = key[i];
            if (cell == '0') cell = key[i] == 'A' ? 'B' : 'A';
        }
    }
    lib::Options options;
    options.mode = 3;
    const lib::Result byDigits = lib::Calibrate(ResponsesOf(data), options);
    lib::Responses keyed = ResponsesOf(letters);
    keyed.key = key;
    const lib::Result byKey = lib::Calibrate(keyed, options);
    ASSERT_TRUE(byDigits.ok) << byDigits.error;
    ASSERT_TRUE(byKey.ok) << byKey.error;
    ASSERT_EQ(byKey.items.size(), byDigits.items.size());
    for (std::size_t i = 0; i < byKey.items.size(); ++i) {
        EXPECT_EQ(Bits(byKey.items[i].b), Bits(byDigits.items[i].b));
    }

    // Item-major cells: item i's responses one after another.
    std::vector<char> columns(data.cells.size());
    for (std::size_t j = 0; j < data.examinees; ++j) {
        for (std::size_t i = 0; i < data.items; ++i) {
            columns[i * data.examinees + j] = data.cells[j * data.items + i];
        }
    }
    lib::Responses strided = ResponsesOf(data);
    strided.cells = columns.data();
    strided.examineeStride = 1;
    strided.itemStride = static_cast<std::ptrdiff_t>(data.examinees);
    const lib::Result byColumns = lib::Calibrate(strided, options);
    ASSERT_TRUE(byColumns.ok);
    for (std::size_t j = 0; j < data.examinees; ++j) {
        EXPECT_EQ(Bits(byColumns.persons[j].theta), Bits(byDigits.persons[j].theta));
    }

    std::atomic<bool> stop{false};
    int calls = 0;
    lib::Control control;
    control.stop = &stop;
    control.progress = [&](int, const std::string&) {
        if (++calls == 2) stop = true;
    };
    lib::Options mml;
    mml.method = "mml";
    const lib::Result stopped = lib::Calibrate(ResponsesOf(data), mml, control);
    EXPECT_FALSE(stopped.ok);
    EXPECT_EQ(stopped.end, "stopped");
    EXPECT_GE(calls, 2);
}

// Items given by value are held as the item parameter file's would be; one
// that is not a number is refused with the runner's message for the file.
TEST(LibraryCalibration, GivenItemsAreHeldAndNaNIsRefused) {
    const Data data = Simulate(500, 6, 1, 9);
    lib::GivenItems items;
    for (std::size_t i = 0; i < data.items; ++i) {
        items.ids.push_back("I" + std::to_string(i + 1));
        items.a.push_back(1.0 + 0.1 * static_cast<double>(i));
        items.b.push_back(-1.0 + 0.4 * static_cast<double>(i));
        items.c.push_back(0.1);
    }
    lib::Options held;
    held.method = "mml";
    held.fixItems = true;
    held.givenItems = items;
    const lib::Result result = lib::Calibrate(ResponsesOf(data), held);
    ASSERT_TRUE(result.ok) << result.error;
    for (std::size_t i = 0; i < data.items; ++i) {
        EXPECT_TRUE(result.items[i].held);
        EXPECT_EQ(result.items[i].a, items.a[i]);
        EXPECT_EQ(result.items[i].b, items.b[i]);
        EXPECT_EQ(result.items[i].id, items.ids[i]);
    }

    // Mode 1: abilities for the given items, as the classic estimator reads them.
    lib::Options mode1;
    mode1.mode = 1;
    mode1.givenItems = items;
    const lib::Result abilities = lib::Calibrate(ResponsesOf(data), mode1);
    ASSERT_TRUE(abilities.ok) << abilities.error;
    EXPECT_EQ(abilities.items[2].b, items.b[2]);

    // No item parameter file: the rows are what the rules give from a = b =
    // c = 0, which the runner fails (status 1); so does the library, with
    // the runner's line, the tables kept.
    lib::Options noItems;
    noItems.mode = 1;
    noItems.runnerOptions = {{"item-file", "no such items.itm"}};
    const lib::Result unread = lib::Calibrate(ResponsesOf(data), noItems);
    EXPECT_FALSE(unread.ok);
    EXPECT_EQ(unread.end, "finished");
    EXPECT_EQ(unread.error,
              "ERROR No item parameters were read: every estimate uses a = b = c = 0.");
    EXPECT_EQ(unread.persons.size(), data.examinees);

    // Nothing to estimate: the runner's line, with its reason.
    lib::Responses noColumns = ResponsesOf(data);
    noColumns.items = 0;
    noColumns.itemNames.clear();
    const lib::Result nothing = lib::Calibrate(noColumns, mode1);
    EXPECT_FALSE(nothing.ok);
    EXPECT_EQ(nothing.end, "nothing_to_estimate");
    EXPECT_EQ(nothing.error.rfind("ERROR Nothing was estimated: the run has no items", 0), 0u)
        << nothing.error;

    held.givenItems->a[2] = std::nan("");
    const lib::Result refused = lib::Calibrate(ResponsesOf(data), held);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.end, "ended_at_check");
    EXPECT_EQ(refused.error,
              "ERROR Item parameter file items, line 3 (item 3): the held a must be a number, "
              "not 'nan'.");
}

// A label per examinee gives the run its groups, reported as a file's group
// column's; a reference label the labels lack is the runner's refusal.
TEST(LibraryCalibration, GroupLabelsPerExamineeReachTheReport) {
    const Data data = Simulate(120, 6, 1, 5);
    lib::Responses grouped = ResponsesOf(data);
    for (std::size_t j = 0; j < data.examinees; ++j) {
        grouped.groups.push_back(j % 10 == 9 ? "" : (j % 2 == 0 ? "north" : "south"));
    }
    lib::Options options;
    options.mode = 3;
    options.method = "jml";
    options.standardize = true;
    lib::Result result = lib::Calibrate(grouped, options);
    ASSERT_TRUE(result.ok) << result.error;
    const auto groups = nlohmann::json::parse(result.reportJson)["groups"];
    ASSERT_TRUE(groups.is_object()) << result.reportJson;
    EXPECT_EQ(groups["reference"], "north");
    EXPECT_EQ(groups["unknown"], 12);
    EXPECT_EQ(groups["groups"][0]["count"], 60);  // each ten: five north, four south
    EXPECT_EQ(groups["groups"][1]["count"], 48);
    EXPECT_EQ(groups["used"], false);
    // The group sections alone are the report's, for bindings.
    EXPECT_EQ(nlohmann::json::parse(result.groupSectionsJson),
              nlohmann::json({{"groups", groups}}));
    EXPECT_EQ(lib::Calibrate(ResponsesOf(data), options).groupSectionsJson, "{}");

    options.runnerOptions = {{"reference-group", "east"}};
    result = lib::Calibrate(grouped, options);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("'east' is no group of the file, whose groups are 'north', "
                                "'south'"),
              std::string::npos)
        << result.error;

    grouped.groups.pop_back();
    result = lib::Calibrate(grouped, {});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("119 group labels for 120 examinees"), std::string::npos)
        << result.error;
}

// The caller's executor runs the parallel passes in place of the run's own
// threads, with the same bits: the joint passes' hand-over, EM and the fit.
TEST(LibraryCalibration, TheCallersExecutorGivesTheSameBits) {
    const Data data = Simulate(500, 12, 1, 17);
    lib::Options mml;
    mml.method = "mml";
    mml.model = "2pl";
    lib::Options classic;
    classic.mode = 3;
    for (lib::Options options : {mml, classic}) {
        SCOPED_TRACE(options.method);
        options.threads = 3;
        const lib::Result own = lib::Calibrate(ResponsesOf(data), options);
        ASSERT_TRUE(own.ok) << own.error;

        std::atomic<int> calls{0}, tasks{0};
        std::vector<std::thread> threads;
        lib::Control control;
        control.executor = [&](unsigned count, std::function<void(unsigned)> task) {
            ++calls;
            for (unsigned k = 0; k < count; ++k) {
                threads.emplace_back([task, k, &tasks] {
                    task(k);
                    ++tasks;
                });
            }
        };
        const lib::Result borrowed = lib::Calibrate(ResponsesOf(data), options, control);
        for (std::thread& thread : threads) thread.join();
        ASSERT_TRUE(borrowed.ok) << borrowed.error;
        EXPECT_GT(calls.load(), 2);
        EXPECT_EQ(tasks.load(), 2 * calls.load());
        EXPECT_EQ(borrowed.threads, 3u);
        ASSERT_EQ(borrowed.items.size(), own.items.size());
        for (std::size_t i = 0; i < own.items.size(); ++i) {
            EXPECT_EQ(Bits(borrowed.items[i].a), Bits(own.items[i].a)) << i;
            EXPECT_EQ(Bits(borrowed.items[i].b), Bits(own.items[i].b)) << i;
            EXPECT_EQ(Bits(borrowed.items[i].seB), Bits(own.items[i].seB)) << i;
            EXPECT_EQ(Bits(borrowed.items[i].sx2), Bits(own.items[i].sx2)) << i;
        }
        for (std::size_t j = 0; j < own.persons.size(); ++j) {
            EXPECT_EQ(Bits(borrowed.persons[j].theta), Bits(own.persons[j].theta)) << j;
        }
        EXPECT_EQ(Bits(borrowed.averageQ3), Bits(own.averageQ3));
    }
}

}  // namespace
}  // namespace tarvo
