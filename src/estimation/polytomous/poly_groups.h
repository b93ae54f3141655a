#pragma once

// Examinees of several groups calibrated together: one set of items, and
// each group its own normal ability distribution. The reference group's is
// N(0, 1), which sets the scale; every other (focal) group's mean and SD
// are estimated beside the items.
//
// Every group's distribution lies on the run's one grid of points, so that
// the E-step's expected counts of all groups add up at the same abilities
// and each item keeps one M-step: a group differs only by its weights over
// the grid. The grid spans every group's mean +- range SDs, so that no
// group's distribution is cut short, and moves with the groups.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/estimation_outcome.h"
#include "core/marginal_settings.h"
#include "core/run_request.h"
#include "estimation/engine_settings.h"
#include "estimation/polytomous/poly_em.h"
#include "estimation/polytomous/poly_information.h"
#include "parallel/worker_pool.h"

namespace tarvo::poly {

struct Groups {
    // Each examinee's group, 0 the reference, as many as the examinees.
    std::vector<std::int32_t> of;
    // Per group: its population (the reference's held at N(0, 1)) and its
    // weights over the grid.
    std::vector<PopulationEstimate> estimates;
    std::vector<mml::Quadrature> populations;
    double range = 6;

    Groups(std::vector<std::int32_t> groupOf, int groupCount, int points, double reach);

    int Count() const { return static_cast<int>(estimates.size()); }
    // The responses with their groups attached.
    Responses Attach(Responses responses) const {
        responses.group = of;
        responses.populations = populations;
        return responses;
    }
};

// Which of a run's groups are calibrated, as the engine numbers them: the
// reference (the settings' label, or the first group read) 0, the focal
// groups (the settings' labels, or every other group) 1 on, any other
// examinee -1 (left out). error names what is wrong with the settings.
struct GroupPlan {
    std::vector<std::int32_t> index;  // per examinee
    std::vector<std::string> labels;  // per engine group
    std::vector<std::size_t> counts;  // per engine group
    std::size_t leftOut = 0;
    std::string error;
};
GroupPlan PlanGroups(const GroupSettings& settings, std::span<const std::int32_t> group,
                     std::span<const std::string> labels);

// Lays the grid (as many points as it has) over every group's mean +- range
// SDs, and each group's normal weights on it.
void PlaceGroups(Groups& groups, mml::Quadrature& grid);
// Each group's normal weights on the grid as it lies (the grid's own are
// the reference group's).
void WeighGroups(Groups& groups, mml::Quadrature& grid);

// Each focal group's mean and SD from its examinees' posteriors under the
// items whose log probabilities the tables hold (the EM's step for a normal
// population), then the grid placed again. Returns the largest change.
double MoveGroups(Groups& groups, Responses responses, mml::Quadrature& grid, EmTables& tables,
                  WorkerPool& pool);

// The observed information's rows of the focal groups' (mean, SD) pairs,
// by Louis' formula: their block (2F by 2F, F focal groups, group after
// group, mean then SD) and, when cross is given, its terms with the free
// parameters of the estimated items in the order of FreeParameterCount
// (n by 2F, row after row; the steps of rating scales are not covered:
// callers leave cross out when items share steps). From the items' log
// probabilities as the tables hold them.
void GroupInformation(std::span<const Item> items, std::span<const char> estimated,
                      const Groups& groups, Responses responses, const mml::Quadrature& grid,
                      const EmTables& tables, std::vector<double>& block,
                      std::vector<double>* cross);

// The items' and the focal groups' standard errors of a run of several
// groups: with the observed information by Louis' formula (or by
// differences where rating scales share steps) and no shortcut, both from
// the inverse of the one information over items and groups; otherwise the
// items' as SetStandardErrors forms them and the groups' from their own
// block. False when keepGoing said stop. query, when given, takes its
// covariances from the same inverse (the groups' terms in it only where
// they are in the one information).
bool SetGroupStandardErrors(std::vector<Item>& items, std::span<const char> estimated,
                            Groups& groups, Responses responses, const Priors& priors,
                            const mml::Quadrature& grid, EmTables& tables, WorkerPool& pool,
                            const std::function<bool()>& keepGoing, ErrorForm* form,
                            GroupErrorSource* groupForm, StandardErrorMethod method,
                            VectorUnit unit, CovarianceQuery* query = nullptr);

}  // namespace tarvo::poly
