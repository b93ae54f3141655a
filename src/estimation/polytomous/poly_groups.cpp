#include "estimation/polytomous/poly_groups.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "estimation/polytomous/poly_information.h"
#include "estimation/polytomous/poly_scales.h"

namespace tarvo::poly {

namespace {

// An SD below this is no distribution of abilities.
constexpr double kSmallestSd = 0.01;

// The sums a focal group's step needs: its posterior mass, and the sums of
// theta and theta squared under it.
struct Moments {
    double n = 0, sum = 0, squares = 0;
};

// The score of the normal log density by (mean, SD) at theta.
std::array<double, 2> NormalScore(double theta, double mean, double sd) {
    const double d = theta - mean;
    return {d / (sd * sd), (d * d - sd * sd) / (sd * sd * sd)};
}

}  // namespace

GroupPlan PlanGroups(const GroupSettings& settings, std::span<const std::int32_t> group,
                     std::span<const std::string> labels) {
    GroupPlan plan;
    const auto find = [&](const std::string& label) -> std::int32_t {
        const auto at = std::find(labels.begin(), labels.end(), label);
        return at == labels.end() ? -1 : static_cast<std::int32_t>(at - labels.begin());
    };
    // The file's group of each engine group.
    std::vector<std::int32_t> chosen;
    if (labels.empty()) {
        plan.error = "the group field holds no group";
        return plan;
    }
    const std::int32_t reference = settings.reference.empty() ? 0 : find(settings.reference);
    if (reference < 0) {
        plan.error = "the reference group '" + settings.reference + "' is not in the group field";
        return plan;
    }
    chosen.push_back(reference);
    if (settings.focal.empty()) {
        for (std::int32_t g = 0; g < static_cast<std::int32_t>(labels.size()); ++g) {
            if (g != reference) chosen.push_back(g);
        }
    }
    for (const std::string& label : settings.focal) {
        const std::int32_t g = find(label);
        if (g < 0) {
            plan.error = "the focal group '" + label + "' is not in the group field";
            return plan;
        }
        if (std::find(chosen.begin(), chosen.end(), g) == chosen.end()) chosen.push_back(g);
    }
    if (chosen.size() < 2) {
        plan.error = "the group field has only the group '" + labels[reference] +
                     "': calibrating groups needs two at least";
        return plan;
    }
    std::vector<std::int32_t> engineOf(labels.size(), -1);
    for (std::size_t e = 0; e < chosen.size(); ++e) {
        engineOf[static_cast<std::size_t>(chosen[e])] = static_cast<std::int32_t>(e);
        plan.labels.push_back(labels[static_cast<std::size_t>(chosen[e])]);
    }
    plan.counts.assign(chosen.size(), 0);
    plan.index.reserve(group.size());
    for (const std::int32_t g : group) {
        const std::int32_t e = g >= 0 ? engineOf[static_cast<std::size_t>(g)] : -1;
        plan.index.push_back(e);
        if (e < 0) {
            ++plan.leftOut;
        } else {
            ++plan.counts[static_cast<std::size_t>(e)];
        }
    }
    for (std::size_t e = 0; e < chosen.size(); ++e) {
        if (plan.counts[e] == 0) {
            plan.error = "the group '" + plan.labels[e] + "' has no examinee";
            return plan;
        }
    }
    return plan;
}

Groups::Groups(std::vector<std::int32_t> groupOf, int groupCount, int points, double reach)
    : of(std::move(groupOf)),
      estimates(static_cast<std::size_t>(groupCount)),
      populations(static_cast<std::size_t>(groupCount), mml::NormalQuadrature(points, reach)),
      range(reach) {
    for (std::size_t g = 1; g < estimates.size(); ++g) estimates[g].estimated = true;
}

void PlaceGroups(Groups& groups, mml::Quadrature& grid) {
    double lowest = -groups.range, highest = groups.range;
    for (const PopulationEstimate& group : groups.estimates) {
        lowest = std::min(lowest, group.mean - groups.range * group.sd);
        highest = std::max(highest, group.mean + groups.range * group.sd);
    }
    const int points = grid.Points();
    for (int q = 0; q < points; ++q) {
        grid.theta[q] = points == 1 ? 0 : lowest + (highest - lowest) * q / (points - 1);
    }
    WeighGroups(groups, grid);
}

void WeighGroups(Groups& groups, mml::Quadrature& grid) {
    const int points = grid.Points();
    for (std::size_t g = 0; g < groups.estimates.size(); ++g) {
        const PopulationEstimate& group = groups.estimates[g];
        mml::Quadrature& population = groups.populations[g];
        population.theta = grid.theta;
        double total = 0;
        for (int q = 0; q < points; ++q) {
            const double z = (grid.theta[q] - group.mean) / group.sd;
            population.weight[q] = std::exp(-0.5 * z * z);
            total += population.weight[q];
        }
        for (int q = 0; q < points; ++q) {
            population.weight[q] /= total;
            population.logWeight[q] = std::log(population.weight[q]);
        }
    }
    // The grid's own weights are the reference group's.
    grid.weight = groups.populations[0].weight;
    grid.logWeight = groups.populations[0].logWeight;
}

double MoveGroups(Groups& groups, Responses responses, mml::Quadrature& grid, EmTables& tables,
                  WorkerPool& pool) {
    const std::size_t count = groups.estimates.size();
    const std::size_t blockSize = BlockSize(responses.persons);
    const std::size_t blocks = (responses.persons + blockSize - 1) / blockSize;
    // Each block's sums, added in block order: the same bits for any number
    // of threads.
    std::vector<Moments> sums(blocks * count);
    const std::span<EmTables::Slot> slots = tables.Slots(pool.Threads());
    pool.ForEach(blocks, [&](std::size_t block, unsigned thread) {
        std::span<double> post = slots[thread].weights;
        std::span<std::uint8_t> patterns = slots[thread].patterns;
        const std::size_t from = block * blockSize;
        const std::size_t to = std::min(responses.persons, from + blockSize);
        for (std::size_t j = from; j < to; ++j) {
            const std::size_t g = static_cast<std::size_t>(responses.group[j]);
            if (g == 0) continue;
            PointRange range;
            PosteriorOf(responses.Row(j), tables, patterns, post, range, g);
            Moments& into = sums[block * count + g];
            for (int q = range.first; q <= range.last; ++q) {
                into.n += post[q];
                into.sum += post[q] * grid.theta[q];
                into.squares += post[q] * grid.theta[q] * grid.theta[q];
            }
        }
    });
    double change = 0;
    for (std::size_t g = 1; g < count; ++g) {
        Moments total;
        for (std::size_t block = 0; block < blocks; ++block) {
            total.n += sums[block * count + g].n;
            total.sum += sums[block * count + g].sum;
            total.squares += sums[block * count + g].squares;
        }
        if (!(total.n > 0)) continue;
        const double mean = total.sum / total.n;
        const double variance = total.squares / total.n - mean * mean;
        if (!(variance > 0)) continue;
        const double sd = std::max(std::sqrt(variance), kSmallestSd);
        PopulationEstimate& group = groups.estimates[g];
        change = std::max({change, std::abs(mean - group.mean), std::abs(sd - group.sd)});
        group.mean = mean;
        group.sd = sd;
    }
    PlaceGroups(groups, grid);
    return change;
}

void GroupInformation(std::span<const Item> items, std::span<const char> estimated,
                      const Groups& groups, Responses responses, const mml::Quadrature& grid,
                      const EmTables& tables, std::vector<double>& block,
                      std::vector<double>* cross) {
    const int points = grid.Points();
    const std::size_t focal = static_cast<std::size_t>(groups.Count() - 1);
    const std::size_t e = 2 * focal;
    block.assign(e * e, 0.0);
    // Each estimated item's parameters among all (its own, then a common
    // slope at the end), by the item's own form: a common slope first.
    int n = 0, common = -1;
    std::vector<int> start(items.size(), 0), width(items.size(), 0);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!estimated[i]) continue;
        start[i] = n;
        n += FreeCount(items[i]);
        width[i] = FreeCount(items[i]) + (items[i].commonSlope ? 1 : 0);
        if (items[i].commonSlope) common = 0;
    }
    if (common == 0) common = n++;
    const auto placeOf = [&](std::size_t i, int u) {
        if (!items[i].commonSlope) return start[i] + u;
        return u == 0 ? common : start[i] + u - 1;
    };
    if (cross) cross->assign(static_cast<std::size_t>(n) * e, 0.0);

    // The items' scores d log P(k) by their own parameters, [i][k][q][u].
    std::vector<std::size_t> scoreAt(items.size() + 1, 0);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::size_t size =
            cross && estimated[i]
                ? static_cast<std::size_t>(items[i].categories * points * width[i])
                : 0;
        scoreAt[i + 1] = scoreAt[i] + size;
    }
    std::vector<double> score(scoreAt.back(), 0.0);
    for (std::size_t i = 0; cross && i < items.size(); ++i) {
        if (!estimated[i]) continue;
        Item own = items[i];
        if (own.commonSlope) {
            own.slopeFree = true;
            own.commonSlope = false;
        }
        std::array<double, kMostCategories> p{};
        std::array<double, kMostCategories * kMostFree> d{};
        for (int q = 0; q < points; ++q) {
            CategoryProbabilities(own, grid.theta[q], p);
            CategoryDerivatives(own, grid.theta[q], p, d);
            for (int k = 0; k < own.categories; ++k) {
                double* g =
                    &score[scoreAt[i] + static_cast<std::size_t>((k * points + q) * width[i])];
                for (int u = 0; u < width[i]; ++u) {
                    g[u] = d[k * width[i] + u] / std::max(p[k], 1e-300);
                }
            }
        }
    }

    std::vector<double> post(tables.Stride());
    std::vector<std::uint8_t> patterns(tables.Groups());
    std::vector<double> sm(static_cast<std::size_t>(points)), ss(static_cast<std::size_t>(points));
    for (std::size_t j = 0; j < responses.persons; ++j) {
        const std::size_t g = static_cast<std::size_t>(responses.group[j]);
        if (g == 0) continue;
        const PopulationEstimate& group = groups.estimates[g];
        const double s = group.sd;
        const std::span<const std::uint8_t> row = responses.Row(j);
        PointRange range;
        PosteriorOf(row, tables, patterns, post, range, g);
        // The posterior moments of the population's score and of minus its
        // Hessian (Louis: E[-H] - E[s s'] + E[s] E[s]').
        double gm = 0, gs = 0, gmm = 0, gss = 0, gms = 0, hss = 0, hms = 0;
        for (int q = range.first; q <= range.last; ++q) {
            const double d = grid.theta[q] - group.mean;
            const std::array<double, 2> score2 = NormalScore(grid.theta[q], group.mean, s);
            sm[q] = score2[0];
            ss[q] = score2[1];
            gm += post[q] * sm[q];
            gs += post[q] * ss[q];
            gmm += post[q] * sm[q] * sm[q];
            gss += post[q] * ss[q] * ss[q];
            gms += post[q] * sm[q] * ss[q];
            hss += post[q] * (3 * d * d / (s * s * s * s) - 1 / (s * s));
            hms += post[q] * 2 * d / (s * s * s);
        }
        const std::size_t m = 2 * (g - 1);
        block[m * e + m] += 1 / (s * s) - (gmm - gm * gm);
        block[(m + 1) * e + m + 1] += hss - (gss - gs * gs);
        const double both = hms - (gms - gm * gs);
        block[m * e + m + 1] += both;
        block[(m + 1) * e + m] += both;
        if (!cross) continue;
        // The complete-data Hessian has no terms between items and groups:
        // only minus the posterior covariance of their scores.
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!estimated[i] || static_cast<int>(row[i]) >= items[i].categories) continue;
            for (int u = 0; u < width[i]; ++u) {
                double gu = 0, gum = 0, gus = 0;
                for (int q = range.first; q <= range.last; ++q) {
                    const double su = score[scoreAt[i] + static_cast<std::size_t>(
                                                             (row[i] * points + q) * width[i] + u)];
                    gu += post[q] * su;
                    gum += post[q] * su * sm[q];
                    gus += post[q] * su * ss[q];
                }
                double* to = &(*cross)[static_cast<std::size_t>(placeOf(i, u)) * e + m];
                to[0] -= gum - gu * gm;
                to[1] -= gus - gu * gs;
            }
        }
    }
}

bool SetGroupStandardErrors(std::vector<Item>& items, std::span<const char> estimated,
                            Groups& groups, Responses responses, const Priors& priors,
                            const mml::Quadrature& grid, EmTables& tables, WorkerPool& pool,
                            const std::function<bool()>& keepGoing, ErrorForm* form,
                            GroupErrorSource* groupForm, StandardErrorMethod method,
                            VectorUnit unit, CovarianceQuery* query) {
    const std::size_t e = static_cast<std::size_t>(2 * (groups.Count() - 1));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto setGroupErrors = [&](std::span<const double> variances) {
        for (std::size_t g = 1; g < groups.estimates.size(); ++g) {
            const double vm = variances[2 * (g - 1)], vs = variances[2 * (g - 1) + 1];
            groups.estimates[g].seMean = vm > 0 ? std::sqrt(vm) : nan;
            groups.estimates[g].seSd = vs > 0 ? std::sqrt(vs) : nan;
        }
    };
    const bool shared = SharedStepCount(ScalesOf(items, estimated)) > 0;
    const bool whole = method == StandardErrorMethod::Louis && !ByItemBlocks(items);
    if (whole) {
        std::vector<double> information = ObservedInformation(items, estimated, responses, priors,
                                                              grid, tables, pool, keepGoing, unit);
        const std::size_t n = static_cast<std::size_t>(FreeParameterCount(items, estimated));
        if (information.size() != n * n) return false;
        // The tables as the information's last E-step left them: at the
        // estimates.
        EStep(items, responses, grid, tables, pool);
        std::vector<double> block, cross;
        GroupInformation(items, estimated, groups, responses, grid, tables, block,
                         shared ? nullptr : &cross);
        const std::size_t all = n + e;
        std::vector<double> joined(all * all, 0.0);
        for (std::size_t r = 0; r < n; ++r) {
            std::copy_n(&information[r * n], n, &joined[r * all]);
            for (std::size_t c = 0; c < e && !shared; ++c) {
                joined[r * all + n + c] = joined[(n + c) * all + r] = cross[r * e + c];
            }
        }
        for (std::size_t r = 0; r < e; ++r)
            std::copy_n(&block[r * e], e, &joined[(n + r) * all + n]);
        const std::vector<double> variances =
            SetErrorsFromInformation(items, estimated, joined, static_cast<int>(e), form, query);
        setGroupErrors(variances);
        *groupForm = shared ? GroupErrorSource::GroupsAlone : GroupErrorSource::WithItems;
        return true;
    }
    if (!SetStandardErrors(items, estimated, responses, priors, grid, tables, pool, keepGoing, form,
                           method, unit, query)) {
        return false;
    }
    if (method == StandardErrorMethod::None) {
        *groupForm = GroupErrorSource::NotFormed;
        return true;
    }
    EStep(items, responses, grid, tables, pool);
    std::vector<double> block;
    GroupInformation(items, estimated, groups, responses, grid, tables, block, nullptr);
    // The 2 by 2 block of each group inverted on its own.
    std::vector<double> variances(e, nan);
    for (std::size_t m = 0; m < e; m += 2) {
        const double a = block[m * e + m], b = block[m * e + m + 1], c = block[(m + 1) * e + m + 1];
        const double determinant = a * c - b * b;
        if (a > 0 && determinant > 0) {
            variances[m] = c / determinant;
            variances[m + 1] = a / determinant;
        }
    }
    setGroupErrors(variances);
    *groupForm = GroupErrorSource::GroupsAlone;
    return true;
}

}  // namespace tarvo::poly
