#include "openmx_reference.h"

#include <cstdio>

namespace tarvo::bench {

ReferenceMeasure RunReference(const std::string& script, const DataFiles& files, std::size_t items,
                              const std::string& output, bool priors) {
    ReferenceMeasure r;
    const std::string command = "Rscript '" + script + "' '" + files.responseFile + "' " +
                                std::to_string(items) + " 20 '" + output + "' 3pl " +
                                (priors ? "yes" : "no") + " 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char line[256] = {0};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    if (!read || std::sscanf(line, "%lf %d %lf", &r.seconds, &r.cycles, &r.logLikelihood) < 2)
        return r;
    for (const std::string& row : Lines(ReadWhole(output))) {
        ItemValues v;
        if (std::sscanf(row.c_str(), "%lf,%lf,%lf,%lf,%lf,%lf", &v.a, &v.b, &v.c, &v.seea, &v.seeb,
                        &v.seec) == 6) {
            r.items.push_back(v);
        }
    }
    r.ok = r.items.size() == items;
    return r;
}

}  // namespace tarvo::bench
