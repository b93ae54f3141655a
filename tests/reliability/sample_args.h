#pragma once

#include <string>
#include <vector>

#include "reliability/runner_process.h"
#include "support/run_fixture.h"

namespace tarvo::test_support {

// tarvo-run's options for a fixture's files in the sample layout.
inline std::vector<std::string> SampleArgs(const RunFixture& data, int mode, int items,
                                           const std::string& output) {
    std::vector<std::string> args = {
        "--mode=" + std::to_string(mode),        "--response-file=" + data.responseFile(),
        "--item-file=" + data.itemFile(),        "--output-file=" + output,
        "--item-count=" + std::to_string(items),
    };
    for (const char* layout :
         {"--response-start=20", "--examinee-id-start=1", "--examinee-id-length=8",
          "--theta-start=12", "--theta-length=7", "--item-id-start=1", "--item-id-length=8",
          "--a-start=22", "--a-length=9", "--b-start=32", "--b-length=9", "--c-start=42",
          "--c-length=9"}) {
        args.emplace_back(layout);
    }
    return args;
}

// A runner process for those options, its standard error kept in the
// fixture's folder.
inline ProcessSettings SampleRun(const RunFixture& data, int mode, int items,
                                 const std::string& output) {
    ProcessSettings settings;
    settings.args = SampleArgs(data, mode, items, output);
    settings.errFile = data.dir.File("stderr.txt");
    return settings;
}

}  // namespace tarvo::test_support
