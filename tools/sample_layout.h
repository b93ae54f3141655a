#pragma once

// The sample layout of simulated data files, shared by tarvo-simulate, the
// benchmark and the tests:
//   responses: examinee ID in columns 1-8, generating theta in 12-18, one
//              response per item from column 20 (a blank where none is valid);
//   items:     item ID in columns 1-8, a in 22-30, b in 32-40, c in 42-50.
// Lines end in CR LF.

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "simulator.h"

namespace tarvo::sim {

// Writes the response file examinee by examinee, so that even a million
// examinees need no more memory than their codes. With letters, the
// responses are the letters A-D and a key record (identifier KEY) leads the
// file; the key and the wrong letters are drawn from letterSeed. False when
// a write fails.
bool WriteSampleResponses(std::FILE* file, const SimulatedData& data, bool letters = false,
                          std::uint64_t letterSeed = 0);

// Writes the generating item parameters. False when a write fails.
bool WriteSampleItems(std::FILE* file, const SimulatedData& data);

// The dialog's control texts for files in this layout, by control identifier.
std::map<int, std::string> SampleControlTexts(std::size_t itemCount,
                                              const std::string& responseFile,
                                              const std::string& itemFile,
                                              const std::string& outputFile);

}  // namespace tarvo::sim
