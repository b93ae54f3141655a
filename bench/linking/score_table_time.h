#pragma once

namespace tarvo::bench {

// Prints how long the summed-score table takes for tests of 100 to 1,000
// items.
void PrintScoreTableTimes();

}  // namespace tarvo::bench
