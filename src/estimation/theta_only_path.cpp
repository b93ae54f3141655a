#include <string>

#include "estimation/driver.h"
#include "estimation/theta_estimation.h"

namespace tarvo {

// Abilities for given items, one examinee at a time, each row written as
// soon as it is estimated so that a Stop keeps every finished row.
bool RunThetaOnly(int mode, ItemTable& items, const PersonTable& persons, RunHost& host,
                  ResultWriter& writer) {
    writer.PersonHeader();
    if (mode == 7) {
        for (std::size_t i = 0; i < items.itemCount(); ++i) {
            items.a[i] = 1;
            items.c[i] = 0;
        }
    }
    host.ProgressInit("Calibrating theta...");

    const std::size_t personCount = persons.personCount();
    const std::string ofCount = " of " + std::to_string(personCount) + ".";
    int lastPercent = 0;
    bool stopped = false;
    for (std::size_t j = 1; j <= personCount; ++j) {
        const int percent = RoundedPercent(j, personCount);
        if (percent != lastPercent) {
            host.ProgressSet(percent, "Person " + std::to_string(j) + ofCount);
            lastPercent = percent;
        }
        host.Breathe();
        if (host.ProgressIsCancelled()) {
            stopped = true;
            break;
        }
        double theta = 0;
        double seetheta = -1;
        std::int32_t Nvalid = 0;
        EstimateTheta(theta, items.a, items.b, items.c, persons.ResponsesOf(j - 1), seetheta,
                      Nvalid);
        writer.Person(j, persons.ExaminID[j - 1], Nvalid, theta, seetheta);
    }
    host.ProgressShutdown();
    return stopped;
}

}  // namespace tarvo
