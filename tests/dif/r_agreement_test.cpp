// The screens against base R 4.2.2 Patched (2022-11-10): mantelhaen.test(
// correct = TRUE) on the same strata (those of at least two examinees), its
// estimate and the standard error of ln alpha from its confidence interval;
// STD P-DIF by its formula; glm(family = binomial, control = glm.control(
// epsilon = 1e-14)) log-likelihoods of y ~ x, y ~ x + g, y ~ x * g; for items
// scored 0..5 Mantel's ordinal chi-square and the Liu-Agresti odds ratio by
// their formulas and MASS 7.3-58.2 polr(method = "logistic", control =
// list(reltol = 1e-15)). Every number from bench/reference/dif_spi.R, to
// 1e-6 relative.
#include <gtest/gtest.h>

#include <cmath>

#include "dif/dif_screen.h"
#include "dif/fixed_dif_file.h"
#include "dif/logistic_dif.h"
#include "dif/mantel_haenszel.h"
#include "dif/score_counts.h"

namespace tarvo::dif {
namespace {

void ExpectAgrees(double actual, double expected, const char* what) {
    EXPECT_NEAR(actual, expected, 1e-6 * std::fabs(expected) + 1e-12) << what;
}

// One item's numbers as R printed them.
struct Expected {
    std::size_t item;  // 1-based
    double chi, p, alpha, delta, se;
    char category;
    double std;
    double uniform, nonUniform, both, pUniform, pNonUniform, pBoth, r2Both;
};

void ExpectScreen(const DifScreen& screen, const std::vector<Expected>& items) {
    ASSERT_EQ(screen.comparisons.size(), 1u);
    const DifComparison& c = screen.comparisons[0];
    ASSERT_EQ(c.tables.size(), 3u);
    for (const Expected& e : items) {
        SCOPED_TRACE("item " + std::to_string(e.item));
        const DifRow& mh = c.tables[0].rows[e.item - 1];
        ExpectAgrees(mh.statistic, e.chi, "MH chi-square");
        ExpectAgrees(mh.p, e.p, "MH p");
        ExpectAgrees(mh.mantel.alpha, e.alpha, "alpha");
        ExpectAgrees(mh.effect, e.delta, "delta");
        ExpectAgrees(mh.mantel.seDelta, e.se, "SE of delta");
        EXPECT_EQ(mh.category, e.category);
        ExpectAgrees(c.tables[1].rows[e.item - 1].statistic, e.std, "STD P-DIF");
        const DifRow& lr = c.tables[2].rows[e.item - 1];
        ExpectAgrees(lr.logistic.uniform, e.uniform, "uniform");
        ExpectAgrees(lr.logistic.nonUniform, e.nonUniform, "non-uniform");
        ExpectAgrees(lr.statistic, e.both, "2 df");
        ExpectAgrees(lr.logistic.uniformP, e.pUniform, "uniform p");
        ExpectAgrees(lr.logistic.nonUniformP, e.pNonUniform, "non-uniform p");
        ExpectAgrees(lr.p, e.pBoth, "2 df p");
        ExpectAgrees(lr.effect, e.r2Both, "R-squared change");
    }
}

DifOptions AllMethods() {
    DifOptions options;
    options.methods = {DifMethod::MantelHaenszel, DifMethod::Standardization, DifMethod::Logistic};
    return options;
}

TEST(DifAgreesWithR, SpiDichotomisedBySex) {
    FixedDifFile file = ReadFixedDifFile(DifTestData("polytomous/spi.dat"), 135);
    for (std::uint8_t& code : file.codes) {
        if (code != kMissing) code = code >= 3 ? 1 : 0;
    }
    ASSERT_EQ(file.labels, (std::vector<std::string>{"F", "M"}));
    WorkerPool pool(2);
    const DifScreen screen = ScreenDif(file.Data(), AllMethods(), pool);
    const std::vector<std::size_t> flagged{
        1,  5,  6,  9,  14, 17, 18, 19, 22, 23, 26,  28,  33,  44,  53,  55,  56,  60,  68,
        77, 79, 80, 81, 82, 83, 87, 90, 91, 99, 107, 108, 109, 110, 115, 116, 123, 126, 134};
    std::vector<std::size_t> purified;
    for (const std::size_t i : screen.comparisons[0].purified) purified.push_back(i + 1);
    EXPECT_EQ(purified, flagged);
    EXPECT_EQ(screen.comparisons[0].referenceCount, 2348u);
    EXPECT_EQ(screen.comparisons[0].focalCount, 1598u);
    ExpectScreen(
        screen,
        {{1, 55.6905560596, 8.48247979108e-14, 1.95636703083, -1.57705961433, 0.212661411886, 'C',
          -0.0877566979172, 55.7446344773, 0.237692059726, 55.982326537, 8.25231998028e-14,
          0.625878022685, 6.97577156634e-13, 0.023290221053},
         {2, 20.5103338342, 5.93101811653e-06, 1.36680960586, -0.734326282679, 0.161225138581, 'A',
          -0.0722706716599, 21.6500474146, 2.63938869735, 24.2894361119, 3.27201922016e-06,
          0.104243647869, 5.31637936945e-06, 0.00782903470099},
         {10, 9.80544463155, 0.00173995963129, 0.706026371816, 0.818041317598, 0.258088456632, 'A',
          0.0321585230478, 10.3635657799, 0.18518891612, 10.548754696, 0.00128526710876,
          0.666951375798, 0.00512114440656, 0.0051556687673},
         {47, 6.02103353266, 0.0141363657981, 0.722624477297, 0.763434129258, 0.303956143476, 'A',
          0.0208760209833, 6.76683404937, 0.0074311311123, 6.77426518049, 0.0092867434045,
          0.931304244108, 0.0338054721982, 0.00406670202432},
         {90, 28.2811835857, 1.04910839761e-07, 0.621409409979, 1.11804807652, 0.210429521426, 'B',
          0.0679080276596, 29.551243142, 1.40535941325, 30.9566025553, 5.44577144215e-08,
          0.235828287222, 1.89609095232e-07, 0.0127062403525},
         {135, 0.888105898282, 0.345991108106, 1.06944775671, -0.157784640033, 0.161410558741, 'A',
          -0.0161209010894, 1.40695649031, 2.25733229729, 3.6642887876, 0.235562290914,
          0.132982967674, 0.160069946477, 0.00118794854939}});
}

TEST(DifAgreesWithR, SimulatedFileWithPlantedDifAndMissingResponses) {
    const FixedDifFile file = ReadFixedDifFile(DifTestData("dif/dif_sim.dat"), 12);
    ASSERT_EQ(file.labels, (std::vector<std::string>{"R", "F"}));
    WorkerPool pool(1);
    const DifScreen screen = ScreenDif(file.Data(), AllMethods(), pool);
    EXPECT_EQ(screen.comparisons[0].purified, (std::vector<std::size_t>{2, 6}));
    ExpectScreen(
        screen,
        {{1, 4.42648540138, 0.0353853009211, 0.674806283976, 0.9243245976, 0.422521144799, 'A',
          0.0346104303478, 4.27191675641, 0.195814354644, 4.46773111106, 0.038747199676,
          0.658120804984, 0.107113575357, 0.00357496339729},
         {2, 0.129462499566, 0.718989989904, 1.07603453329, -0.17221400509, 0.38936446192, 'A',
          -0.00653784284435, 0.0845231152441, 9.5237194459, 9.60824256115, 0.771258901056,
          0.00202833070386, 0.00819589974741, 0.00579835523685},
         {3, 48.2688361424, 3.71611358627e-12, 2.58659542564, -2.23330488325, 0.323625420941, 'C',
          -0.151180842723, 49.5930774054, 1.51704916386, 51.1101265693, 1.89180055476e-12,
          0.218066589434, 7.97217880549e-12, 0.0287054782244},
         {7, 13.53087477, 0.000234670638465, 0.614035397923, 1.14610134772, 0.313987908733, 'B',
          0.0903866716344, 13.4714726699, 50.4695091543, 63.9409818242, 0.000242218120188,
          1.2103065208e-12, 1.30434420533e-14, 0.0390954429313},
         {10, 7.04548921162, 0.00794651175195, 1.5755800072, -1.06836513811, 0.39111408049, 'B',
          -0.0447176714809, 7.45416918867, 0.0531477336891, 7.50731692236, 0.00632896838544,
          0.817673799093, 0.0234318642887, 0.00532996261169},
         {12, 3.85498502431, 0.0495983695938, 0.750853977288, 0.673378596983, 0.332107112915, 'A',
          0.0407664695971, 4.79799012951, 0.306749918153, 5.10474004766, 0.0284929580523,
          0.579681447138, 0.0778968297118, 0.00317896440073}});
}

TEST(DifAgreesWithR, SimulatedFileMatchedOnTheRestScore) {
    const FixedDifFile file = ReadFixedDifFile(DifTestData("dif/dif_sim.dat"), 12);
    WorkerPool pool(2);
    DifOptions options = AllMethods();
    options.matching = Matching::Rest;
    const DifScreen screen = ScreenDif(file.Data(), options, pool);
    const DifComparison& c = screen.comparisons[0];
    EXPECT_EQ(c.purified, (std::vector<std::size_t>{2, 6}));
    struct Rest {
        std::size_t item;
        double chi, delta, uniform, nonUniform;
    };
    const Rest expected[] = {{1, 5.47492177435, 0.874648229764, 5.40509831456, 0.0021258379611},
                             {3, 53.4447662243, -2.11960229496, 55.0496549721, 0.531646744158},
                             {7, 9.51942294575, 0.861804454077, 9.56621987865, 67.3288752095}};
    for (const Rest& e : expected) {
        SCOPED_TRACE("item " + std::to_string(e.item));
        ExpectAgrees(c.tables[0].rows[e.item - 1].statistic, e.chi, "MH chi-square");
        ExpectAgrees(c.tables[0].rows[e.item - 1].effect, e.delta, "delta");
        ExpectAgrees(c.tables[2].rows[e.item - 1].logistic.uniform, e.uniform, "uniform");
        ExpectAgrees(c.tables[2].rows[e.item - 1].logistic.nonUniform, e.nonUniform, "non-uniform");
    }
}

TEST(DifAgreesWithR, SpiScoredZeroToFiveOnTheTotalScore) {
    const FixedDifFile file = ReadFixedDifFile(DifTestData("polytomous/spi.dat"), 135);
    WorkerPool pool(2);
    const std::vector<int> categories = ItemCategories(file.Data(), pool);
    const std::vector<char> every(135, 1);
    const ScoreCounts counts = CountScores(file.Data(), categories, every, pool);
    struct Ordinal {
        std::size_t item;
        double chi, p, alpha, smd, uniform, nonUniform, both;
    };
    const Ordinal expected[] = {{1, 129.388839029, 5.57530011132e-30, 2.08802622644,
                                 -0.439199487467, 149.146039877, 1.13315999707, 150.279199874},
                                {2, 33.3786355376, 7.58526746216e-09, 1.40896147654,
                                 -0.306128238742, 31.9804775067, 1.67005309827, 33.650530605},
                                {10, 55.5022090355, 9.33540486957e-14, 0.623791195553,
                                 0.245300410302, 60.6560458126, 0.0415059341176, 60.6975517467}};
    for (const Ordinal& e : expected) {
        SCOPED_TRACE("item " + std::to_string(e.item));
        const ItemStrata strata = StrataOf(counts, e.item - 1, Matching::Total, 0, 1);
        ASSERT_EQ(strata.categories, 6u);
        const MantelResult mantel = MantelOrdinal(strata);
        ExpectAgrees(mantel.chiSquare, e.chi, "Mantel chi-square");
        ExpectAgrees(mantel.p, e.p, "Mantel p");
        ExpectAgrees(mantel.alpha, e.alpha, "Liu-Agresti alpha");
        ExpectAgrees(mantel.smd, e.smd, "SMD");
        const LogisticResult lr = LogisticDif(strata);
        EXPECT_TRUE(lr.converged);
        ExpectAgrees(lr.uniform, e.uniform, "ordinal uniform");
        ExpectAgrees(lr.nonUniform, e.nonUniform, "ordinal non-uniform");
        ExpectAgrees(lr.both, e.both, "ordinal 2 df");
    }
}

}  // namespace
}  // namespace tarvo::dif
