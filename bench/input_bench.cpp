// tarvo-input-bench: times the reading of the response file in both formats
// and the input check, on 1,000,000 simulated examinees and 100 items (the
// benchmark's theta-only data set, written once under --data). It prints:
// - the fixed-column reading without and with the input check's counts;
// - the input check over what was read;
// - the same data as CSV, read by the delimited reader (target: under 2 s);
// - a whole theta-only run, and the check's share of it (target: under 5%);
// - the fixed-column reading followed by the SHA-256 of the file (the run
//   report's inputs section), against the reading alone.
// Usage: tarvo-input-bench [--data DIR] [--persons N]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "bench_data.h"
#include "input/format/delimited_response_file.h"
#include "input/response_input.h"
#include "input/text/file_digest.h"
#include "input/text/line_reader.h"
#include "input/text/response_file.h"
#include "platform/control_ids.h"
#include "quiet_host.h"
#include "run/calibration_run.h"

namespace {

using namespace tarvo;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The processor time of the process so far, every thread's: on a machine
// shared with other work the wall clock counts their time too.
double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The fixed-column file (ID 1-8, theta 12-18, responses from 20) as CSV
// rows with a header: id, theta, i1..iN; a blank response an empty cell.
bool WriteCsv(const std::string& fixed, const std::string& csv, std::size_t items) {
    if (std::ifstream(csv).good()) return true;
    LineReader reader(fixed);
    std::ofstream out(csv + ".part", std::ios::binary);
    out << "id,theta";
    for (std::size_t i = 1; i <= items; ++i) out << ",i" << i;
    out << "\r\n";
    std::string line, row;
    while (!reader.Ended()) {
        reader.ReadLine(line);
        line.resize(19 + items, ' ');
        row.assign(line, 0, 8);
        row += ',';
        row.append(line, 11, 7);
        for (std::size_t i = 0; i < items; ++i) {
            row += ',';
            if (line[19 + i] != ' ') row += line[19 + i];
        }
        row += "\r\n";
        out << row;
    }
    out.close();
    return out.good() && std::rename((csv + ".part").c_str(), csv.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = "build/bench-data";
    std::size_t persons = 1'000'000;
    for (int k = 1; k + 1 < argc; k += 2) {
        if (std::strcmp(argv[k], "--data") == 0) dir = argv[k + 1];
        if (std::strcmp(argv[k], "--persons") == 0) persons = std::stoul(argv[k + 1]);
    }
    bench::DataSet data;
    data.persons = persons;
    data.items = 100;
    const bench::DataFiles files = bench::EnsureDataFiles(data, dir);
    const std::string csv = dir + "/" + data.Name() + ".csv";
    if (files.responseFile.empty() || !WriteCsv(files.responseFile, csv, data.items)) {
        std::fprintf(stderr, "tarvo-input-bench: cannot write the data under %s\n", dir.c_str());
        return 1;
    }
    std::printf("data: %zu examinees x %zu items (%s)\n", data.persons, data.items, dir.c_str());

    const std::string output = dir + "/input-bench-out.csv";
    const auto texts = bench::ControlTexts(data, files, output);
    bench::QuietHost host;
    RunSettings settings;
    settings.itemCount = static_cast<std::uint16_t>(data.items);
    settings.responseFile = files.responseFile;
    settings.responseStart = 20;
    settings.examineeIdField = {1, 8};
    settings.thetaField = {12, 7};

    // The first reading warms the page cache; each figure is the least
    // processor time of three.
    auto best = [](auto&& work) {
        double fastest = 1e300;
        for (int k = 0; k < 3; ++k) {
            const double start = ProcessorSeconds();
            work();
            fastest = std::min(fastest, ProcessorSeconds() - start);
        }
        return fastest;
    };
    PersonTable persons1;
    const double plain = best([&] { ReadResponseFile(files.responseFile, settings, persons1); });
    ResponsePlan plan = PlanResponseFile(bench::MapTexts(texts));
    ResponseFileRead read;
    const double counted = best([&] { read = ReadPlannedResponses(plan, settings, persons1); });
    std::vector<InputFinding> findings;
    const double check = best([&] {
        findings = CheckReadInput(bench::MapTexts(texts), plan, settings, read, persons1, true);
    });
    std::printf(
        "fixed columns: read %.3f s; with the check's counts %.3f s; check %.3f s "
        "(%zu findings)\n",
        plain, counted, check, findings.size());

    auto csvTexts = texts;
    csvTexts[control::kResponseFile] = csv;
    csvTexts[control::kResponseFormat] = "csv";
    csvTexts[control::kIdColumn] = "id";
    csvTexts[control::kThetaColumn] = "theta";
    // The boxes would name cells of a delimited file.
    for (const int box :
         {control::kItemCount, control::kResponseStart, control::kExamineeIdStart,
          control::kExamineeIdLength, control::kThetaStart, control::kThetaLength}) {
        csvTexts.erase(box);
    }
    RunSettings csvSettings = settings;
    csvSettings.responseFile = csv;
    PersonTable persons2;
    const double delimited = best([&] {
        const ResponsePlan csvPlan = PlanResponseFile(bench::MapTexts(csvTexts));
        ReadPlannedResponses(csvPlan, csvSettings, persons2);
    });
    std::printf(
        "csv: read %.3f s (target: under 2 s), %zu examinees, %s the fixed columns' "
        "tables\n",
        delimited, persons2.personCount(),
        persons2.responses == persons1.responses && persons2.theta == persons1.theta &&
                persons2.ExaminID == persons1.ExaminID
            ? "the same as"
            : "NOT the same as");

    // On one thread, so that the run's processor time is its time.
    const auto start = Clock::now();
    const double startCpu = ProcessorSeconds();
    const RunEnd outcome = RunCalibration(bench::RequestFor(texts, 1, 1), host);
    const double run = ProcessorSeconds() - startCpu;
    const double share = (counted - plain + check) / run;
    std::printf(
        "theta-only run on one thread: %.3f s (wall %.3f s, %s); the check's share: %.1f%% "
        "(target: under 5%%)\n",
        run, SecondsSince(start), outcome == RunEnd::Finished ? "finished" : "did not finish",
        100 * share);

    std::optional<FileDigest> digest;
    const double hashOnly = best([&] { digest = DigestFile(files.responseFile); });
    const double readAndHash = best([&] {
        ReadResponseFile(files.responseFile, settings, persons1);
        digest = DigestFile(files.responseFile);
    });
    const double megabytes = digest ? static_cast<double>(digest->bytes) / 1e6 : 0;
    std::printf(
        "fixed columns, read then SHA-256 of the file (%.1f MB): %.3f s against %.3f s read "
        "alone (+%.0f%%); the hash alone %.3f s (%.0f MB/s)\n",
        megabytes, readAndHash, plain, 100 * (readAndHash - plain) / plain, hashOnly,
        megabytes / hashOnly);
    std::printf("(times are processor seconds, the least of three)\n");
    return outcome == RunEnd::Finished ? 0 : 1;
}
