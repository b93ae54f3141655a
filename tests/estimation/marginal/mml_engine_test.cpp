// The marginal estimator's parts: the E-step's posteriors and counts, the
// M-step's derivatives, the observed information against a finite-difference
// Hessian of the marginal log-likelihood, and the same bits on any number
// of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "estimation/marginal/mml_em.h"
#include "estimation/marginal/mml_information.h"
#include "estimation/marginal/mml_scoring.h"
#include "mml_test_data.h"
#include "plain_information.h"

namespace tarvo::mml {
namespace {

using test::BestKernels;
using test::CountsAt;
using test::Data;
using test::Simulated;

// An easy item starts below the middle of the scale and a hard one above
// it, each as far from 0 as the other; a missing code is not a response.
TEST(MarginalEm, StartValuesPlaceEasyItemsLowAndHardItemsHigh) {
    // Ten examinees: item 1 answered right by nine, item 2 by one, item 3
    // missing for all but two, one right.
    std::vector<std::uint8_t> codes;
    for (int j = 0; j < 10; ++j) {
        codes.insert(codes.end(), {static_cast<std::uint8_t>(j < 9 ? 1 : 0),
                                   static_cast<std::uint8_t>(j < 1 ? 1 : 0),
                                   static_cast<std::uint8_t>(j < 1   ? 1
                                                             : j < 2 ? 0
                                                                     : 9)});
    }
    std::vector<double> a(3, 0), b(3, 0), c(3, 0);
    const std::vector<char> estimated(3, 1);
    MarginalSettings settings;
    settings.model = MarginalModel::TwoPL;
    SetStartValues(settings.model, {codes.data(), 10, 3}, estimated, PriorsFor(settings),
                   {a, b, c});
    EXPECT_LT(b[0], -0.5);
    EXPECT_GT(b[1], 0.5);
    EXPECT_DOUBLE_EQ(b[0], -b[1]);
    EXPECT_DOUBLE_EQ(b[2], 0);
    EXPECT_EQ(a, (std::vector<double>{1, 1, 1}));
}

TEST(MarginalEStep, PosteriorsSumToOneAndCountsMatchTheResponses) {
    Data d = Simulated(500, 12, 0.1, 3);
    const Quadrature q = NormalQuadrature(41, 6);
    LogCurveTables tables;
    tables.Fill(d.a, d.b, d.c, q);
    std::vector<double> w(q.Points());
    for (std::size_t j = 0; j < d.persons; j += 37) {
        PosteriorRange range;
        Posterior(d.View().Row(j), tables, q, w, range);
        double sum = 0;
        for (double x : w) sum += x;
        EXPECT_NEAR(sum, 1.0, 1e-12) << "examinee " << j;
        EXPECT_LE(range.first, range.last);
    }

    // The pattern tables give the same posteriors as going item by item.
    PatternPosteriors posteriors(d.View(), q.Points(), BestKernels());
    posteriors.Fill(tables, q);
    std::vector<double> padded(posteriors.Stride());
    for (std::size_t j = 0; j < d.persons; j += 37) {
        PosteriorRange range, patternRange;
        const double ll = Posterior(d.View().Row(j), tables, q, w, range);
        const double patternLl = posteriors.Posterior(j, padded.data(), patternRange);
        EXPECT_NEAR(patternLl, ll, 1e-12 * std::fabs(ll));
        EXPECT_EQ(patternRange.first, range.first);
        EXPECT_EQ(patternRange.last, range.last);
        for (int k = 0; k < q.Points(); ++k) EXPECT_NEAR(padded[k], w[k], 1e-14) << k;
        for (std::size_t k = q.Points(); k < padded.size(); ++k) EXPECT_EQ(padded[k], 0);
    }

    WorkerPool pool(1);
    const ExpectedCounts counts = CountsAt(posteriors, d.Spans(), q, pool);
    double mass = 0;
    for (double m : counts.mass) mass += m;
    EXPECT_NEAR(mass, static_cast<double>(d.persons), 1e-9);
    for (std::size_t i = 0; i < d.items; ++i) {
        double right = 0, valid = 0;
        for (std::size_t j = 0; j < d.persons; ++j) {
            const auto code = d.codes[j * d.items + i];
            if (code > 1) continue;
            valid += 1;
            right += code;
        }
        double expectedRight = 0, expectedValid = 0;
        for (int k = 0; k < q.Points(); ++k) {
            expectedRight += counts.correct[i * q.Points() + k];
            expectedValid += counts.correct[i * q.Points() + k] + counts.wrong[i * q.Points() + k];
        }
        EXPECT_NEAR(expectedRight, right, 1e-9) << "item " << i;
        EXPECT_NEAR(expectedValid, valid, 1e-9) << "item " << i;
    }
}

// The E-step takes its examinees in batches, a few groups' rows at a pass;
// each examinee's posterior and every pattern sum must come out as one
// examinee at a time gives them, bit for bit, on every unit (the scores and
// the information use the single posterior). 16 items make six groups: a
// pass of four groups and one of two.
TEST(MarginalEStep, BatchesGiveTheBitsOfOneExamineeAtATime) {
    Data d = Simulated(70, 16, 0.1, 9);
    const Quadrature q = NormalQuadrature(61, 6);
    LogCurveTables tables;
    tables.Fill(d.a, d.b, d.c, q);
    for (const VectorUnit unit : {VectorUnit::Portable, VectorUnit::Avx2, VectorUnit::Avx512}) {
        const MarginalKernels& kernels = MarginalKernelsFor(unit);
        PatternPosteriors posteriors(d.View(), q.Points(), kernels);
        posteriors.Fill(tables, q);
        const PatternTablesView view = posteriors.Tables();
        const std::size_t stride = posteriors.Stride();
        std::vector<double> single(stride), batch(d.persons * stride);
        std::vector<double> expectedSums(view.groups * PatternPosteriors::kPatterns * stride, 0.0);
        std::vector<double> sums(expectedSums.size(), 0.0);
        std::vector<PosteriorSums> batchSums(d.persons);
        for (const std::size_t count : {std::size_t{1}, std::size_t{5}, d.persons}) {
            std::fill(sums.begin(), sums.end(), 0.0);
            std::fill(expectedSums.begin(), expectedSums.end(), 0.0);
            for (std::size_t from = 0; from < d.persons; from += count) {
                const std::size_t n = std::min(count, d.persons - from);
                kernels.posteriors(view, posteriors.PatternsOf(from), n, batch.data(),
                                   batchSums.data());
                kernels.addPosteriors(view, sums.data(), posteriors.PatternsOf(from), n,
                                      batch.data(), batchSums.data());
                for (std::size_t b = 0; b < n; ++b) {
                    const std::size_t j = from + b;
                    const PosteriorSums one =
                        kernels.posterior(view, posteriors.PatternsOf(j), single.data());
                    ASSERT_EQ(batchSums[b].top, one.top) << kernels.name << " examinee " << j;
                    ASSERT_EQ(batchSums[b].sum, one.sum) << kernels.name << " examinee " << j;
                    ASSERT_EQ(batchSums[b].first, one.first);
                    ASSERT_EQ(batchSums[b].last, one.last);
                    ASSERT_TRUE(std::equal(single.begin(), single.end(), &batch[b * stride]))
                        << kernels.name << " examinee " << j;
                    for (std::size_t g = 0; g < view.groups; ++g) {
                        double* row =
                            &expectedSums[(view.firstRow[g] + posteriors.PatternsOf(j)[g]) *
                                          stride];
                        for (std::size_t k = 0; k < stride; ++k) row[k] += single[k];
                    }
                }
            }
            EXPECT_EQ(sums, expectedSums) << kernels.name << ", batches of " << count;
        }
    }
}

// The information's vector kernels against their scalar forms, bit for
// bit: the mean scores (sums over the points in order) and the residual
// rows, written into panels, a missing response giving 0 in both.
TEST(MarginalInformation, ScoreKernelsGiveTheScalarLoopsBits) {
    const std::size_t width = 16, kinds = 3, points = 9, rows = 3;
    std::vector<double> prob(points * width), factor(points * kinds * width), w(points);
    std::vector<double> x(width), v(width);
    for (std::size_t i = 0; i < width; ++i) {
        x[i] = i % 3 == 0 ? 1.0 : 0.0;
        v[i] = i % 5 == 4 ? 0.0 : 1.0;
        if (v[i] == 0) x[i] = 0;
    }
    for (std::size_t k = 0; k < points; ++k) {
        w[k] = 0.1 + 0.37 * static_cast<double>(k % 4);
        for (std::size_t i = 0; i < width; ++i) {
            prob[k * width + i] = 0.05 + 0.9 / (1 + static_cast<double>(i + k) / 7);
            for (std::size_t u = 0; u < kinds; ++u) {
                factor[(k * kinds + u) * width + i] = std::sin(1.3 * (i + 1) + 0.7 * k + u);
            }
        }
    }
    for (const VectorUnit unit : {VectorUnit::Portable, VectorUnit::Avx2, VectorUnit::Avx512}) {
        const MarginalKernels& kernels = MarginalKernelsFor(unit);
        const int first = 2, last = 7;
        std::vector<double> panels(rows * kinds * width, -1.0);
        const std::size_t row = 1;
        kernels.meanScores({prob.data(), factor.data(), width, kinds}, x.data(), v.data(), w.data(),
                           first, last, &panels[PanelIndex(rows, row, 0)], rows * kTileColumns);
        for (std::size_t u = 0; u < kinds; ++u) {
            for (std::size_t i = 0; i < width; ++i) {
                double sum = 0;
                for (int k = first; k <= last; ++k) {
                    const double e = v[i] != 0 ? w[k] * (x[i] - prob[k * width + i]) : 0.0;
                    sum += e * factor[(k * kinds + u) * width + i];
                }
                EXPECT_EQ(panels[PanelIndex(rows, row, u * width + i)], sum)
                    << kernels.name << " kind " << u << " item " << i;
            }
        }
        std::vector<double> residual(rows * width, -1.0), weighted(rows * width, -1.0);
        const double* pk = &prob[3 * width];
        kernels.residualRow(x.data(), v.data(), pk, 0.3, width, &residual[PanelIndex(rows, row, 0)],
                            &weighted[PanelIndex(rows, row, 0)], rows * kTileColumns);
        for (std::size_t i = 0; i < width; ++i) {
            EXPECT_EQ(residual[PanelIndex(rows, row, i)], x[i] - v[i] * pk[i]) << kernels.name;
            EXPECT_EQ(weighted[PanelIndex(rows, row, i)], v[i] != 0 ? 0.3 * (x[i] - pk[i]) : 0.0)
                << kernels.name;
            EXPECT_EQ(residual[PanelIndex(rows, 0, i)], -1.0) << "another examinee's row";
        }
    }
}

TEST(MarginalEStep, LogLikelihoodIsTheSumOfTheExamineesIntegrals) {
    // Three items, two examinees: the marginal likelihood written out by hand.
    Data d;
    d.a = {1.0, 0.7, 1.4};
    d.b = {-0.5, 0.3, 1.0};
    d.c = {0.0, 0.2, 0.1};
    d.codes = {1, 0, 9, 0, 1, 1};
    d.persons = 2;
    d.items = 3;
    const Quadrature q = NormalQuadrature(61, 6);
    double expected = 0;
    for (std::size_t j = 0; j < 2; ++j) {
        double integral = 0;
        for (int k = 0; k < q.Points(); ++k) {
            double l = q.weight[k];
            for (std::size_t i = 0; i < 3; ++i) {
                const auto code = d.codes[j * 3 + i];
                if (code > 1) continue;
                const double p =
                    d.c[i] + (1 - d.c[i]) / (1 + std::exp(-1.7 * d.a[i] * (q.theta[k] - d.b[i])));
                l *= code == 1 ? p : 1 - p;
            }
            integral += l;
        }
        expected += std::log(integral);
    }
    WorkerPool pool(1);
    PatternPosteriors posteriors(d.View(), q.Points(), BestKernels());
    const ExpectedCounts counts = CountsAt(posteriors, d.Spans(), q, pool);
    EXPECT_NEAR(counts.logLikelihood, expected, 1e-12);
}

// Central differences of the objective's value and gradient: the item's
// expected log-likelihood by (a, d, c), either sign of a, and the log priors
// by (a, b, c).
TEST(MarginalMStep, GradientAndHessianMatchFiniteDifferences) {
    const Quadrature q = NormalQuadrature(21, 5);
    std::vector<double> correct(q.Points()), wrong(q.Points());
    for (int k = 0; k < q.Points(); ++k) {
        correct[k] = 40 * q.weight[k] * (1 + 0.5 * std::sin(k));
        wrong[k] = 30 * q.weight[k] * (1 + 0.4 * std::cos(k));
    }
    Priors priors;
    priors.logA = {true, 0.1, 0.5};
    priors.b = {true, 0, 2};
    priors.c = {true, 5, 17};
    struct Case {
        double a, d, c;
    };
    const Case cases[] = {{1.0, 0.0, 0.2},   {0.4, 0.6, 0.05},  {2.2, -2.6, 0.3},
                          {0.8, -2.0, 0.15}, {-1.3, 0.7, 0.25}, {0.01, -0.4, 0.1}};
    for (bool withPriors : {false, true}) {
        for (const Case& at : cases) {
            if (withPriors && at.a <= 0) continue;
            // With priors the point is read as (a, b, c), b = d.
            auto objective = [&](double a, double d, double c) {
                if (!withPriors) {
                    return ItemExpectedLogLikelihood(BestKernels(), correct.data(), wrong.data(), q,
                                                     a, d, c);
                }
                ItemObjective o;
                AddPriors(o, a, d, c, priors, FreeParameters{});
                return o;
            };
            const ItemObjective o = objective(at.a, at.d, at.c);
            if (!withPriors) {
                // The kernels' sums are the plain ones to rounding.
                const ItemObjective plain =
                    ItemExpectedLogLikelihood(correct.data(), wrong.data(), q, at.a, at.d, at.c);
                EXPECT_NEAR(o.value, plain.value, 1e-13 * std::fabs(plain.value));
                for (int u = 0; u < 3; ++u) {
                    EXPECT_NEAR(o.gradient[u], plain.gradient[u],
                                1e-11 * (1 + std::fabs(plain.value)));
                    for (int v = 0; v < 3; ++v) {
                        EXPECT_NEAR(o.hessian[u][v], plain.hessian[u][v],
                                    1e-11 * (1 + std::fabs(plain.value)));
                    }
                }
            }
            const double h = 1e-5;
            for (int u = 0; u < 3; ++u) {
                double up[3] = {at.a, at.d, at.c}, down[3] = {at.a, at.d, at.c};
                up[u] += h;
                down[u] -= h;
                const ItemObjective hi = objective(up[0], up[1], up[2]);
                const ItemObjective lo = objective(down[0], down[1], down[2]);
                const double slope = (hi.value - lo.value) / (2 * h);
                EXPECT_NEAR(o.gradient[u], slope, 1e-5 * (1 + std::fabs(slope)))
                    << "parameter " << u << " at a=" << at.a << " priors " << withPriors;
                for (int v = 0; v < 3; ++v) {
                    const double curvature = (hi.gradient[v] - lo.gradient[v]) / (2 * h);
                    EXPECT_NEAR(o.hessian[u][v], curvature, 1e-5 * (1 + std::fabs(curvature)))
                        << "entry " << u << "," << v << " at a=" << at.a;
                }
            }
        }
    }
}

// Counts that a 3PL item would give to 5000 examinees on the grid.
void ExpectedCountsOf(const Quadrature& q, double a, double b, double c,
                      std::vector<double>& correct, std::vector<double>& wrong) {
    correct.assign(q.Points(), 0.0);
    wrong.assign(q.Points(), 0.0);
    for (int k = 0; k < q.Points(); ++k) {
        const double p = c + (1 - c) / (1 + std::exp(-1.7 * a * (q.theta[k] - b)));
        correct[k] = 5000 * q.weight[k] * p;
        wrong[k] = 5000 * q.weight[k] * (1 - p);
    }
}

TEST(MarginalMStep, NewtonReachesTheMaximumOnEitherSideOfZero) {
    const Quadrature q = NormalQuadrature(31, 6);
    std::vector<double> correct, wrong;
    ExpectedCountsOf(q, 1.3, 0.4, 0.18, correct, wrong);
    Priors none;
    double a = 1, d = 0, c = 0.2;
    MaximiseItem(BestKernels(), correct.data(), wrong.data(), q, none, FreeParameters{}, a, d, c);
    EXPECT_NEAR(a, 1.3, 1e-6);
    EXPECT_NEAR(LocationOf(a, d), 0.4, 1e-6);
    EXPECT_NEAR(c, 0.18, 1e-6);

    // A negative slope from a start of the other sign: a crosses 0.
    ExpectedCountsOf(q, -0.9, 0.5, 0, correct, wrong);
    a = 1, d = 0, c = 0;
    MaximiseItem(BestKernels(), correct.data(), wrong.data(), q, none,
                 FreeParameters{true, true, false}, a, d, c);
    EXPECT_NEAR(a, -0.9, 1e-6);
    EXPECT_NEAR(LocationOf(a, d), 0.5, 1e-6);

    // Under the log-normal prior a stays above 0.
    Priors logA;
    logA.logA = {true, 0, 0.5};
    a = 1, d = 0, c = 0;
    MaximiseItem(BestKernels(), correct.data(), wrong.data(), q, logA,
                 FreeParameters{true, true, false}, a, d, c);
    EXPECT_GT(a, 0);
    EXPECT_LT(a, 0.9);

    // All correct: the item has no maximum; the search ends inside its
    // reach with finite values.
    std::vector<double> none0(q.Points(), 0.0);
    a = 1, d = 0, c = 0;
    MaximiseItem(BestKernels(), correct.data(), none0.data(), q, none,
                 FreeParameters{true, true, false}, a, d, c);
    EXPECT_TRUE(std::isfinite(a) && std::isfinite(d));
    EXPECT_LE(std::fabs(a), kSlopeReach);
    EXPECT_GT(d, 0);
}

// The M-step moves (a, d, logit c) but keeps the maximum of the log
// posterior by (a, b, c): at its end the posterior's slope by a, b and c
// (central differences) is 0.
TEST(MarginalMStep, PriorsKeepTheirMaximumOnTheSlopeInterceptForm) {
    const Quadrature q = NormalQuadrature(31, 6);
    std::vector<double> correct, wrong;
    ExpectedCountsOf(q, 1.1, -0.3, 0.15, correct, wrong);
    for (int k = 0; k < q.Points(); ++k) correct[k] *= 0.02, wrong[k] *= 0.02;  // 100 examinees
    Priors priors;
    priors.logA = {true, 0, 0.5};
    priors.b = {true, 0.5, 1};
    priors.c = {true, 5, 17};
    double a = 1, d = 0, c = 0.2;
    MaximiseItem(BestKernels(), correct.data(), wrong.data(), q, priors, FreeParameters{}, a, d, c);
    // From 5% beside the maximum, Newton's steps with the exact curvature
    // (the priors' by a, d and logit c included) square the error each
    // time and settle in three; any slip in the curvature makes the steps
    // shrink only geometrically (four to eight of them).
    double nearA = a * 1.05, nearD = d + 0.05, nearC = c * 0.9;
    EXPECT_LE(MaximiseItem(BestKernels(), correct.data(), wrong.data(), q, priors, FreeParameters{},
                           nearA, nearD, nearC),
              3);
    auto posterior = [&](double pa, double pb, double pc) {
        ItemObjective o = ItemExpectedLogLikelihood(BestKernels(), correct.data(), wrong.data(), q,
                                                    pa, -pa * pb, pc);
        AddPriors(o, pa, pb, pc, priors, FreeParameters{});
        return o.value;
    };
    const double at[3] = {a, LocationOf(a, d), c};
    const double h = 1e-6;
    for (int u = 0; u < 3; ++u) {
        double up[3] = {at[0], at[1], at[2]}, down[3] = {at[0], at[1], at[2]};
        up[u] += h;
        down[u] -= h;
        const double slope =
            (posterior(up[0], up[1], up[2]) - posterior(down[0], down[1], down[2])) / (2 * h);
        EXPECT_NEAR(slope, 0, 1e-4) << "parameter " << u;
    }
}

// The marginal log-likelihood plus log priors as a function of the
// parameter vector of a layout.
double LogPosteriorAt(const Data& base, const ParameterLayout& layout,
                      const MarginalSettings& settings, const std::vector<double>& x,
                      const std::vector<char>& estimated) {
    Data d = base;
    for (std::size_t i = 0; i < d.items; ++i) {
        double* values[3] = {&d.a[i], &d.b[i], &d.c[i]};
        for (int u = 0; u < 3; ++u) {
            if (layout.index[3 * i + u] >= 0) *values[u] = x[layout.index[3 * i + u]];
        }
    }
    const Quadrature q = NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    WorkerPool pool(1);
    PatternPosteriors posteriors(d.View(), q.Points(), BestKernels());
    const ExpectedCounts counts = CountsAt(posteriors, d.Spans(), q, pool);
    return counts.logLikelihood + LogPrior(settings, estimated, d.Spans());
}

struct InformationCase {
    const char* name;
    MarginalModel model;
    bool priors;
    double missing;
};

class MarginalInformation : public ::testing::TestWithParam<InformationCase> {};

TEST_P(MarginalInformation, EqualsTheFiniteDifferenceHessianOfTheMarginalLikelihood) {
    const InformationCase& test = GetParam();
    Data d = Simulated(300, 4, test.missing, 11, test.model == MarginalModel::ThreePL);
    MarginalSettings settings;
    settings.model = test.model;
    settings.quadraturePoints = 31;
    settings.priorLogA.on = test.priors;
    settings.priorB = {test.priors, 0, 2};
    settings.priorC.on = test.priors;
    if (test.model == MarginalModel::Rasch) {
        for (double& a : d.a) a = 0.9;
    }
    // Away from the maximum on purpose: Louis' formula holds at any point.
    std::vector<char> estimated(d.items, 1);
    const ParameterLayout layout = MakeLayout(settings, estimated, d.Spans());
    const Quadrature q = NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    WorkerPool pool(2);
    PatternPosteriors posteriors(d.View(), q.Points(), BestKernels());
    const ExpectedCounts counts = CountsAt(posteriors, d.Spans(), q, pool);
    const std::vector<double> info =
        ObservedInformation(posteriors, layout, settings, d.Spans(), q, counts, pool);

    std::vector<double> x(layout.count);
    for (std::size_t i = 0; i < d.items; ++i) {
        const double values[3] = {d.a[i], d.b[i], d.c[i]};
        for (int u = 0; u < 3; ++u) {
            if (layout.index[3 * i + u] >= 0) x[layout.index[3 * i + u]] = values[u];
        }
    }
    const double h = 1e-4;
    const int n = layout.count;
    for (int p = 0; p < n; ++p) {
        for (int r = p; r < n; ++r) {
            auto f = [&](double dp, double dr) {
                std::vector<double> y = x;
                y[p] += dp;
                y[r] += dr;
                return LogPosteriorAt(d, layout, settings, y, estimated);
            };
            const double hessian = (f(h, h) - f(h, -h) - f(-h, h) + f(-h, -h)) / (4 * h * h);
            EXPECT_NEAR(info[p * n + r], -hessian, 2e-3 * (1 + std::fabs(hessian)))
                << test.name << " entry " << p << "," << r;
            EXPECT_DOUBLE_EQ(info[p * n + r], info[r * n + p]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Models, MarginalInformation,
    ::testing::Values(InformationCase{"3pl-priors", MarginalModel::ThreePL, true, 0},
                      InformationCase{"3pl-missing", MarginalModel::ThreePL, true, 0.15},
                      InformationCase{"2pl-no-priors", MarginalModel::TwoPL, false, 0},
                      InformationCase{"1pl", MarginalModel::OnePL, false, 0.05},
                      InformationCase{"rasch", MarginalModel::Rasch, true, 0}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name) {
            if (ch == '-') ch = '_';
        }
        return name;
    });

// The matrix products over examinees give the plain scalar loops' matrix to
// rounding, on several chunks of examinees and an item count that fills no
// whole tile, for every model's parameter kinds and with missing responses.
TEST_P(MarginalInformation, MatrixProductsEqualThePlainLoops) {
    const InformationCase& test = GetParam();
    Data d = Simulated(700, 13, test.missing, 19, test.model == MarginalModel::ThreePL);
    MarginalSettings settings = SettingsFor(test.model);
    settings.priorLogA.on = test.priors;
    settings.priorC.on = test.priors;
    if (test.model == MarginalModel::Rasch) {
        for (double& a : d.a) a = 1.1;
    }
    std::vector<char> estimated(d.items, 1);
    estimated[4] = 0;  // a held item has no rows or columns
    const ParameterLayout layout = MakeLayout(settings, estimated, d.Spans());
    const Quadrature q = NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    WorkerPool pool(3);
    PatternPosteriors posteriors(d.View(), q.Points(), BestKernels());
    const ExpectedCounts counts = CountsAt(posteriors, d.Spans(), q, pool);
    const std::vector<double> info =
        ObservedInformation(posteriors, layout, settings, d.Spans(), q, counts, pool);
    const std::vector<double> plain =
        test::PlainObservedInformation(d.View(), layout, settings, d.Spans(), q, counts);
    ASSERT_EQ(info.size(), plain.size());
    const int n = layout.count;
    double largest = 0;
    for (int p = 0; p < n; ++p) {
        for (int r = 0; r < n; ++r) {
            const double scale = std::sqrt(std::fabs(plain[p * n + p] * plain[r * n + r]));
            largest = std::max(largest, std::fabs(info[p * n + r] - plain[p * n + r]) / scale);
        }
    }
    EXPECT_LT(largest, 1e-12) << test.name;
}

// Leaving the cross-item terms out makes every error smaller, by up to 15%
// on 40 items.
TEST(MarginalInformation, ItemBlocksAloneGiveNearlyTheSameErrorsOnALongTest) {
    // At the maximum, where the information is positive definite.
    Data d = Simulated(2000, 40, 0.02, 17);
    MarginalSettings settings;
    std::vector<char> estimated(d.items, 1);
    Quadrature q = NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    WorkerPool pool(2);
    ExpectedCounts counts;
    PatternPosteriors posteriors(d.View(), q.Points(), BestKernels());
    RunEm(posteriors, settings, estimated, d.Spans(), pool, q, counts,
          [](int, double, double) { return true; });
    const ParameterLayout layout = MakeLayout(settings, estimated, d.Spans());
    std::vector<double> whole;
    ASSERT_TRUE(StandardErrorsFrom(
        ObservedInformation(posteriors, layout, settings, d.Spans(), q, counts, pool), layout.count,
        whole));
    const std::vector<double> byItem =
        StandardErrorsByItem(posteriors, layout, settings, d.Spans(), q, counts, pool);
    ASSERT_EQ(byItem.size(), whole.size());
    for (std::size_t p = 0; p < whole.size(); ++p) {
        EXPECT_GT(byItem[p], 0) << p;
        EXPECT_GT(byItem[p] / whole[p], 0.8) << "parameter " << p;
        EXPECT_LT(byItem[p] / whole[p], 1.0) << "parameter " << p;
    }
}

// The cross-product estimate (the examinees' gradients' outer products and
// the priors' curvature) comes near the observed information's errors on
// data the model fits, whole or by item blocks, and is the same bits on any
// number of threads.
TEST(MarginalInformation, CrossProductsGiveNearlyTheSameErrorsWhereTheModelFits) {
    Data d = Simulated(3000, 20, 0.02, 23);
    MarginalSettings settings;
    std::vector<char> estimated(d.items, 1);
    Quadrature q = NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    WorkerPool pool(2), one(1);
    ExpectedCounts counts;
    PatternPosteriors posteriors(d.View(), q.Points(), BestKernels());
    RunEm(posteriors, settings, estimated, d.Spans(), pool, q, counts,
          [](int, double, double) { return true; });
    const ParameterLayout layout = MakeLayout(settings, estimated, d.Spans());
    std::vector<double> louis, products;
    ASSERT_TRUE(StandardErrorsFrom(
        ObservedInformation(posteriors, layout, settings, d.Spans(), q, counts, pool), layout.count,
        louis));
    const std::vector<double> information =
        ObservedInformation(posteriors, layout, settings, d.Spans(), q, counts, pool, {}, true);
    EXPECT_EQ(
        ObservedInformation(posteriors, layout, settings, d.Spans(), q, counts, one, {}, true),
        information);
    ASSERT_TRUE(StandardErrorsFrom(information, layout.count, products));
    const std::vector<double> byItem =
        StandardErrorsByItem(posteriors, layout, settings, d.Spans(), q, counts, pool, {}, true);
    ASSERT_EQ(products.size(), louis.size());
    ASSERT_EQ(byItem.size(), louis.size());
    for (std::size_t p = 0; p < louis.size(); ++p) {
        EXPECT_NEAR(products[p] / louis[p], 1.0, 0.2) << "parameter " << p;
        EXPECT_GT(byItem[p], 0) << p;
        EXPECT_LE(byItem[p], products[p] * (1 + 1e-9)) << "blocks leave terms out: " << p;
    }
}

// The grid runs from mean - range SD to mean + range SD, symmetric about the
// mean, and its weights give the population's mean and SD.
TEST(MarginalQuadrature, IsSymmetricAboutTheMeanAndSpansTheRange) {
    const Quadrature q = NormalQuadrature(61, 6, 0.5, 2);
    ASSERT_EQ(q.Points(), 61);
    EXPECT_NEAR(q.theta.front(), 0.5 - 12, 1e-12);
    EXPECT_NEAR(q.theta.back(), 0.5 + 12, 1e-12);
    double total = 0, mean = 0, square = 0;
    for (int k = 0; k < 61; ++k) {
        EXPECT_NEAR(q.theta[k] - 0.5, 0.5 - q.theta[60 - k], 1e-12) << k;
        EXPECT_NEAR(q.weight[k], q.weight[60 - k], 1e-15) << k;
        EXPECT_NEAR(q.logWeight[k], std::log(q.weight[k]), 1e-12) << k;
        total += q.weight[k];
        mean += q.weight[k] * q.theta[k];
        square += q.weight[k] * (q.theta[k] - 0.5) * (q.theta[k] - 0.5);
    }
    EXPECT_NEAR(total, 1, 1e-14);
    EXPECT_NEAR(mean, 0.5, 1e-12);
    EXPECT_NEAR(std::sqrt(square), 2, 1e-6);  // the tails beyond 6 SD are left out
}

// A parameter on either end of its range, or where the search stopped it
// at its reach, gets no column of the information, so its standard error is
// not estimated. A slope of either sign is inside its range.
TEST(MarginalInformation, ParametersOnEitherEndOfTheirRangeGetNoColumn) {
    MarginalSettings settings;  // 3PL with the prior on c: c's floor is kLowestCWithPrior
    const double d = kInterceptReach;
    std::vector<double> as{1, kSlopeReach, -kSlopeReach, 1, 2, -0.5, 1};
    std::vector<double> bs{0, 0, 0, -d, d / 2, 0, 0};
    std::vector<double> cs{0.2, 0.2, 0.2, 0.2, 0.2, kLineC.highest, kLowestCWithPrior};
    const std::vector<char> estimated(as.size(), 1);
    const ParameterLayout layout = MakeLayout(settings, estimated, ItemSpans{as, bs, cs});
    // item, parameter (0 a, 1 b, 2 c) that sits on a bound
    const int onBound[][2] = {{1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 2}, {6, 2}};
    EXPECT_EQ(layout.count, 3 * 7 - 6);
    for (std::size_t i = 0; i < as.size(); ++i) {
        for (int p = 0; p < 3; ++p) {
            bool bound = false;
            for (const auto& pair : onBound) bound = bound || (pair[0] == int(i) && pair[1] == p);
            EXPECT_EQ(layout.index[3 * i + p] < 0, bound) << "item " << i << " parameter " << p;
        }
    }
}

TEST(MarginalInformation, StandardErrorsAreTheRootsOfTheInverseDiagonal) {
    // [[4, 2], [2, 3]]^-1 = [[3, -2], [-2, 4]] / 8.
    std::vector<double> se;
    ASSERT_TRUE(StandardErrorsFrom({4, 2, 2, 3}, 2, se));
    EXPECT_NEAR(se[0], std::sqrt(3.0 / 8), 1e-15);
    EXPECT_NEAR(se[1], std::sqrt(4.0 / 8), 1e-15);
    EXPECT_FALSE(StandardErrorsFrom({1, 2, 2, 1}, 2, se));
}

// Every number EM, the information and the scores give is the same bits on
// any number of threads and on every vector unit (one the processor lacks
// falls back to the widest it has).
TEST(MarginalEm, SameBitsOnEveryThreadCountAndVectorUnit) {
    Data base = Simulated(2100, 15, 0.05, 5);
    MarginalSettings settings;
    settings.maxCycles = 40;
    struct Way {
        unsigned threads;
        VectorUnit unit;
    };
    const Way ways[] = {{1, VectorUnit::Best},   {2, VectorUnit::Best}, {3, VectorUnit::Best},
                        {3, VectorUnit::Avx512}, {1, VectorUnit::Avx2}, {2, VectorUnit::Portable}};
    Data first;
    std::vector<double> firstInfo, firstTheta;
    double firstLl = 0;
    for (const Way& way : ways) {
        Data d = base;
        std::vector<char> estimated(d.items, 1);
        SetStartValues(settings.model, d.View(), estimated, PriorsFor(settings), d.Spans());
        WorkerPool pool(way.threads);
        Quadrature q = NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
        ExpectedCounts counts;
        PatternPosteriors posteriors(d.View(), q.Points(), MarginalKernelsFor(way.unit));
        const EmOutcome out = RunEm(posteriors, settings, estimated, d.Spans(), pool, q, counts,
                                    [](int, double, double) { return true; });
        const ParameterLayout layout = MakeLayout(settings, estimated, d.Spans());
        const auto info =
            ObservedInformation(posteriors, layout, settings, d.Spans(), q, counts, pool);
        std::vector<double> theta(d.persons), se(d.persons);
        std::vector<std::int32_t> valid(d.persons);
        ScoreEap(posteriors, q, pool, {theta, se, valid});
        theta.insert(theta.end(), se.begin(), se.end());
        if (firstInfo.empty()) {
            first = d, firstInfo = info, firstTheta = theta;
            firstLl = out.logLikelihood;
            continue;
        }
        const std::string where =
            std::to_string(way.threads) + " threads, " + MarginalKernelsFor(way.unit).name;
        EXPECT_EQ(d.a, first.a) << where;
        EXPECT_EQ(d.b, first.b) << where;
        EXPECT_EQ(d.c, first.c) << where;
        EXPECT_EQ(info, firstInfo) << where;
        EXPECT_EQ(theta, firstTheta) << where;
        EXPECT_EQ(out.logLikelihood, firstLl) << where;
    }
}

}  // namespace
}  // namespace tarvo::mml
