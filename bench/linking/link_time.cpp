// A whole link's time as the forms grow: a base form of N 3PL items with
// standard errors and a new form made from it with A = 1.2, B = 0.3 and
// small departures, every item common, written as item parameter files and
// linked by RunLink with the delta-method errors, as tarvo-run --link does:
// the seconds until the tables (the forms read, every method with its
// errors, the drift screen) and the whole link's. The tables (the new form's
// score table and its true-score equating, one row per raw score) are
// stopped after kTablesLimit seconds, as they grow with the square of the
// items and more.
#include "link_time.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "linking/link_files.h"
#include "linking/link_session.h"
#include "simulator.h"

namespace tarvo::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kTablesLimit = 120;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void DrawForms(std::size_t count, linking::ItemForm& base, linking::ItemForm& fresh) {
    sim::Random random(11);
    base.Resize(count);
    fresh.Resize(count);
    const std::vector<sim::SimulatedItem> items =
        sim::DrawItems(random, count, sim::ItemModel::ThreePL);
    for (std::size_t i = 0; i < count; ++i) {
        char id[32];
        std::snprintf(id, sizeof id, "I%06zu", i + 1);
        base.id[i] = fresh.id[i] = id;
        base.a[i] = items[i].a;
        base.b[i] = items[i].b;
        base.c[i] = items[i].c;
        fresh.a[i] = 1.2 * items[i].a * (1 + 0.03 * random.Normal());
        fresh.b[i] = (items[i].b - 0.3) / 1.2 + 0.03 * random.Normal();
        fresh.c[i] = items[i].c;
        base.seA[i] = fresh.seA[i] = 0.1;
        base.seB[i] = fresh.seB[i] = 0.1;
        base.seC[i] = fresh.seC[i] = 0.03;
    }
}

std::string Written(const std::filesystem::path& folder, const char* name,
                    const linking::ItemForm& form, linking::ItemColumns& columns) {
    const std::string path = (folder / name).string();
    std::string error;
    if (!linking::WriteItemFile(path, form, columns, {}, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
    }
    return path;
}

}  // namespace

void PrintLinkTimes(const std::vector<std::size_t>& counts) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tarvo-link-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::printf("# A whole link's time (delta-method errors, every item common)\n\n");
    std::printf("| items | seconds to the tables | seconds | A | B | se A | se B |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const std::size_t count : counts) {
        linking::ItemForm base, fresh;
        DrawForms(count, base, fresh);
        linking::LinkRequest request;
        request.basePath = Written(folder, "base.itm", base, request.baseColumns);
        request.newPath = Written(folder, "new.itm", fresh, request.newColumns);
        const auto start = Clock::now();
        double tablesFrom = -1;
        request.progress = [&](linking::LinkPhase phase, double) {
            if (phase == linking::LinkPhase::Tables && tablesFrom < 0) tablesFrom = Since(start);
        };
        request.stop = [&] { return tablesFrom >= 0 && Since(start) > tablesFrom + kTablesLimit; };
        const linking::LinkOutcome outcome = linking::RunLink(request);
        const double seconds = Since(start);
        const linking::MethodResult* chosen = outcome.Chosen(request.chosen);
        if (chosen == nullptr || !chosen->constants.ok) {
            std::printf("| %zu | %.2f | %.2f | failed: %s |\n", count, tablesFrom, seconds,
                        outcome.error.c_str());
            continue;
        }
        const linking::LinkConstants& k = chosen->constants;
        std::printf("| %zu | %.2f | %s | %.10f | %.10f | %.10f | %.10f |\n", count, tablesFrom,
                    outcome.stopped ? "tables stopped" : std::to_string(seconds).c_str(), k.A, k.B,
                    k.seA, k.seB);
        std::fflush(stdout);
    }
    std::filesystem::remove_all(folder);
}

}  // namespace tarvo::bench
