// The score table's time at 100, 300 and 1,000 3PL items (N(0, 1) over 61
// points), of a mixed test with a quarter of its items scored 0..4 by the
// graded response model, and of 100 and 300 partial credit items scored
// 0..8: each table once after one warm-up, on one thread.
#include "score_table_time.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "linking/forms/ability_grid.h"
#include "linking/tables/score_table.h"
#include "simulator.h"

namespace tarvo::bench {
namespace {

enum class Test { RightWrong, Mixed, Partial };

const char* Name(Test test) {
    switch (test) {
        case Test::Mixed:
            return "3PL, every 4th GRM 0..4";
        case Test::Partial:
            return "GPCM 0..8";
        case Test::RightWrong:
            break;
    }
    return "3PL";
}

std::vector<linking::ScoredItem> DrawTest(std::size_t count, Test test) {
    sim::Random random(7);
    std::vector<linking::ScoredItem> items;
    for (const sim::SimulatedItem& drawn : sim::DrawItems(random, count, sim::ItemModel::ThreePL)) {
        linking::ScoredItem item;
        item.a = drawn.a;
        item.b[0] = drawn.b;
        item.c = drawn.c;
        if (test == Test::Mixed && items.size() % 4 == 3) {
            item.scoring = linking::ItemScoring::Graded;
            item.categories = 5;
            item.c = 0;
            for (int k = 0; k < 4; ++k) item.b[k] = drawn.b - 1.5 + k;
        }
        if (test == Test::Partial) {
            item.scoring = linking::ItemScoring::PartialCredit;
            item.categories = 9;
            item.c = 0;
            for (int k = 0; k < 8; ++k) item.b[k] = drawn.b - 1.75 + 0.5 * k;
        }
        items.push_back(item);
    }
    return items;
}

double SecondsFor(const std::vector<linking::ScoredItem>& items, std::size_t& withMl) {
    const linking::AbilityGrid population = linking::NormalGrid(61, 6);
    const auto start = std::chrono::steady_clock::now();
    const std::vector<linking::ScoreRow> table = linking::SummedScoreTable(items, population);
    const auto end = std::chrono::steady_clock::now();
    withMl = 0;
    for (const linking::ScoreRow& row : table) withMl += std::isfinite(row.ml) ? 1 : 0;
    return std::chrono::duration<double>(end - start).count();
}

}  // namespace

void PrintScoreTableTimes() {
    std::printf("# Score table time (one thread, N(0, 1) over 61 points)\n\n");
    std::printf("| items | test | raw scores | with an ML ability | seconds |\n");
    std::printf("|---|---|---|---|---|\n");
    for (const Test test : {Test::RightWrong, Test::Mixed, Test::Partial}) {
        for (const std::size_t count : {100, 300, 1000}) {
            if (test == Test::Partial && count > 300) continue;
            const std::vector<linking::ScoredItem> items = DrawTest(count, test);
            std::size_t withMl = 0;
            SecondsFor(items, withMl);
            const double seconds = SecondsFor(items, withMl);
            std::printf("| %zu | %s | %d | %zu | %.3f |\n", count, Name(test),
                        linking::HighestScore(items) + 1, withMl, seconds);
            std::fflush(stdout);
        }
    }
}

}  // namespace tarvo::bench
