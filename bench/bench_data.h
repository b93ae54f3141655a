#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "simulator.h"

namespace tarvo::bench {

// One simulated data set of the benchmark, written once as input files in
// the sample layout and reused by later runs.
struct DataSet {
    std::size_t persons = 0;
    std::size_t items = 0;
    bool onePL = false;
    std::uint64_t seed = 1;
    double missingFraction = 0.02;

    std::string Name() const;  // e.g. "10000x60-3pl-s1"
};

// The simulator's settings that draw the set.
sim::SimulationSettings SimulationOf(const DataSet& data);

struct DataFiles {
    std::string responseFile;
    std::string itemFile;
};

// Writes the response file and the item parameter file of data under dir
// (created if needed) unless they are there already. Empty names on failure.
DataFiles EnsureDataFiles(const DataSet& data, const std::string& dir);

// The control texts a run needs to read files of this layout.
std::map<int, std::string> ControlTexts(const DataSet& data, const DataFiles& files,
                                        const std::string& outputFile);

// The whole content of a file; empty when it cannot be read.
std::string ReadWhole(const std::string& path);

}  // namespace tarvo::bench
