#include "linking/methods/bootstrap.h"

#include <cmath>

namespace tarvo::linking {
namespace {

// splitmix64: a small generator whose sequence is fixed by its seed on
// every platform.
class Draws {
  public:
    explicit Draws(std::uint64_t seed) : state_(seed) {}
    // Uniform on 0 .. count - 1.
    std::size_t Below(std::size_t count) {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        const double uniform = static_cast<double>(z >> 11) * 0x1.0p-53;
        return static_cast<std::size_t>(uniform * static_cast<double>(count));
    }

  private:
    std::uint64_t state_;
};

}  // namespace

BootstrapErrors Bootstrap(LinkMethod method, const AnchorSet& set, const LinkSettings& given,
                          int replicates, std::uint64_t seed, const StepWatch& watch) {
    LinkSettings settings = given;
    settings.deltaErrors = false;
    BootstrapErrors errors;
    const std::size_t n = set.size();
    if (n == 0 || replicates < 2) return errors;
    Draws draws(seed);
    std::vector<std::size_t> picks(n);
    AnchorSet resample;
    double sumA = 0, sumB = 0, squaresA = 0, squaresB = 0;
    for (int r = 0; r < replicates; ++r) {
        const double done = static_cast<double>(r) / replicates;
        watch.Report(done);
        for (std::size_t& pick : picks) pick = draws.Below(n);
        PickAnchors(set, picks, resample);
        const LinkConstants constants =
            Link(method, resample, settings, watch.Part(done, (r + 1.0) / replicates));
        if (watch.Stopped()) {
            errors.seA = errors.seB = kUnknown;
            return errors;
        }
        if (!constants.ok) continue;
        ++errors.replicates;
        sumA += constants.A;
        sumB += constants.B;
        squaresA += constants.A * constants.A;
        squaresB += constants.B * constants.B;
    }
    const double used = errors.replicates;
    if (errors.replicates < 2) return errors;
    errors.seA = std::sqrt(std::fmax(0.0, (squaresA - sumA * sumA / used) / (used - 1)));
    errors.seB = std::sqrt(std::fmax(0.0, (squaresB - sumB * sumB / used) / (used - 1)));
    return errors;
}

}  // namespace tarvo::linking
