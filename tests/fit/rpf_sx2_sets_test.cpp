// S-X2 on every public data set against R's rpf, which joins sparse cells
// by the rule tarvo follows. The expected values were printed by
// bench/reference/rpf_sx2_sets.R: rpf 1.0.11 (Debian r-cran-rpf) on R 4.2.2,
// SitemFit(grp, .parallel = FALSE) with qwidth 6, qpoints 61, alt FALSE,
// mean 0, cov 1, every item rpf.grm with slope 1.7 and intercepts -1.7 b_k,
// its slope and thresholds marked free; each item's tables joined again by
// rpf's collapse with the threshold 1 - 1e-9 (collapseCategoricalCells), as
// tarvo counts a cell whose expected count is 1 up to rounding as 1 (on the
// other items the numbers are SitemFit's own). The items' parameters are formed
// from the data alone (a = 1, b_k = log((1 - p_k) / p_k) / 1.7, p_k the
// share of the item's valid responses scored k or more), here as there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "estimation/marginal/mml_quadrature.h"
#include "fit/summed_score_fit.h"
#include "support/lsat_data.h"

namespace tarvo::fit {
namespace {

const double kLsat6Sx2[] = {29.67253989, 44.54327944, 44.34749856, 43.98137537, 40.97537173};
const int kLsat6Df[] = {3, 2, 2, 2, 3};
const double kLsat7Sx2[] = {22.91803239, 29.8395155, 9.785118225, 42.70735121, 43.06874864};
const int kLsat7Df[] = {3, 3, 3, 3, 3};
const double kVerbagg3Sx2[] = {57.71237222, 64.74515895, 58.54936687, 67.22783262, 44.49343589,
                               62.66888836, 62.58307556, 51.8481694,  51.9132029,  45.96767171,
                               53.62374145, 32.42049145, 61.19078161, 59.24636328, 50.25377446,
                               53.18091935, 46.68289516, 20.54214361, 69.12689316, 74.80490599,
                               54.5513101,  55.01841854, 72.72491008, 40.50490186};
const int kVerbagg3Df[] = {46, 47, 48, 48, 46, 48, 48, 47, 47, 49, 47, 41,
                           50, 47, 47, 38, 35, 24, 48, 48, 49, 48, 47, 36};
const double kBfiNSx2[] = {594.4060153, 605.4953459, 608.6138085, 456.9480159, 423.3235543};
const int kBfiNDf[] = {97, 94, 96, 98, 98};
const double kSimGrm5Sx2[] = {1259.523583, 1545.764321, 1073.151696, 2920.669302, 1502.365947,
                              1270.461139, 1760.651316, 1916.021963, 1748.785861, 1289.458026,
                              2810.018214, 1756.005571, 1130.827192, 1611.323346, 2228.070806,
                              1326.129721, 1510.722328, 2014.196516, 2035.464845, 1780.115706,
                              1999.14189,  1872.645794, 1493.879071, 1557.352152, 1551.406379,
                              1155.701868, 1384.393214, 1221.121646, 1212.432104, 1660.39794};
const int kSimGrm5Df[] = {397, 399, 400, 397, 389, 399, 396, 399, 394, 396,
                          396, 398, 398, 398, 392, 397, 399, 393, 396, 393,
                          397, 395, 395, 398, 392, 392, 399, 397, 399, 398};
const double kSpiSx2[] = {
    632.8411242, 729.1541999, 651.2199535, 805.6750217, 654.2145318, 683.2165241, 717.0246498,
    728.5881027, 494.0737032, 501.6241346, 675.8588598, 971.7997508, 764.3211937, 616.6675297,
    613.7583145, 651.0964195, 640.7255496, 709.9576589, 928.6427527, 505.208118,  676.8087965,
    732.8811429, 714.9212389, 837.6039099, 615.1752459, 656.3789343, 577.1659619, 701.020748,
    689.5366128, 960.3695083, 746.8976796, 618.7269552, 621.9134618, 511.723674,  684.2143969,
    764.606987,  537.1546256, 732.7548451, 876.0563728, 661.5833234, 591.2079706, 611.5818665,
    708.5892683, 603.9933582, 905.4621019, 603.5003858, 504.2639312, 599.6981475, 733.2537239,
    678.6668784, 855.3639095, 567.1000924, 1004.827522, 1195.404098, 682.5347093, 819.6210226,
    931.6514858, 678.981153,  655.7447305, 654.4623293, 611.3385791, 657.3211864, 525.7256282,
    538.932797,  601.6331499, 590.6636869, 700.4980038, 790.2966966, 981.2544873, 614.9319766,
    722.4175207, 634.2268918, 867.9191884, 552.5071169, 593.5856548, 716.6973785, 700.8803046,
    651.2195649, 822.0718859, 613.6814716, 706.0283991, 606.0965802, 795.8049617, 686.2504915,
    749.9201946, 656.5325597, 621.5837441, 677.5970522, 747.2128222, 586.2133691, 613.5726404,
    660.4564763, 682.9294294, 645.6348709, 615.6906975, 859.7769787, 687.0043612, 511.8192842,
    824.6269171, 977.3778259, 399.1076266, 508.002333,  828.7709954, 682.0432249, 626.552233,
    760.7726151, 1026.885111, 881.3471934, 701.1070951, 744.0759797, 795.6876772, 650.3907392,
    704.2610892, 637.3685319, 740.9798624, 543.1581305, 615.3871348, 569.2385531, 695.9289427,
    665.9331185, 780.1495246, 569.4855271, 688.3170628, 906.3647876, 914.5117365, 678.8045325,
    724.1645501, 596.7674416, 787.4321005, 792.712738,  668.4914397, 569.2887722, 654.9734167,
    784.2104306, 626.60374};
const int kSpiDf[] = {528, 607, 603, 603, 596, 574, 556, 600, 453, 474, 594, 590, 599, 564, 569,
                      580, 512, 606, 530, 468, 563, 601, 602, 602, 545, 598, 544, 501, 592, 606,
                      603, 568, 553, 470, 596, 568, 479, 595, 605, 600, 531, 593, 584, 513, 603,
                      537, 444, 550, 594, 595, 605, 546, 608, 589, 511, 610, 593, 587, 590, 598,
                      504, 593, 459, 492, 593, 564, 610, 604, 587, 564, 575, 591, 593, 524, 550,
                      594, 601, 562, 600, 572, 594, 520, 599, 596, 587, 595, 603, 611, 564, 528,
                      509, 592, 590, 540, 567, 597, 580, 471, 596, 599, 388, 480, 599, 587, 586,
                      600, 610, 600, 558, 603, 587, 557, 567, 594, 558, 499, 525, 487, 558, 579,
                      607, 563, 604, 598, 559, 598, 609, 528, 607, 600, 604, 488, 557, 612, 591};

// The codes of a fixed-column file: one score digit per item from column
// 20, a blank (or anything else) missing.
struct Codes {
    std::vector<std::uint8_t> codes;
    std::size_t items = 0;
};

Codes CodesOf(const std::string& text) {
    std::vector<std::string> rows;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string row = text.substr(at, end - at);
        if (!row.empty() && row.back() == '\r') row.pop_back();
        if (!row.empty()) rows.push_back(row.size() > 19 ? row.substr(19) : std::string());
        at = end + 1;
    }
    Codes out;
    for (const std::string& row : rows) out.items = std::max(out.items, row.size());
    for (const std::string& row : rows) {
        for (std::size_t i = 0; i < out.items; ++i) {
            const char c = i < row.size() ? row[i] : ' ';
            out.codes.push_back(c >= '0' && c <= '8' ? static_cast<std::uint8_t>(c - '0') : 9);
        }
    }
    return out;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ExpectRpfs(const Codes& data, std::span<const double> sx2, std::span<const int> df) {
    ASSERT_GT(data.items, 0u);
    ASSERT_EQ(sx2.size(), data.items);
    std::vector<ScoredItem> items(data.items);
    std::vector<int> estimated(data.items);
    const std::size_t persons = data.codes.size() / data.items;
    for (std::size_t i = 0; i < data.items; ++i) {
        int highest = 0;
        std::vector<double> atLeast(kMostCategories, 0);
        double valid = 0;
        for (std::size_t j = 0; j < persons; ++j) {
            const int code = data.codes[j * data.items + i];
            if (code == 9) continue;
            highest = std::max(highest, code);
            valid += 1;
            for (int k = 1; k <= code; ++k) atLeast[k] += 1;
        }
        ScoredItem& item = items[i];
        item.scoring = ItemScoring::Graded;
        item.categories = highest + 1;
        item.a = 1;
        for (int k = 1; k <= highest; ++k) {
            const double p = atLeast[k] / valid;
            item.b[k - 1] = std::log((1 - p) / p) / 1.7;
        }
        estimated[i] = item.categories;
    }
    const mml::Quadrature grid = mml::NormalQuadrature(61, 6);
    CategoryFitCounts counts;
    const std::vector<Sx2Outcome> ours =
        CategorySummedScoreFit(items, estimated, {grid.theta, grid.weight}, data.codes, counts);
    for (std::size_t i = 0; i < data.items; ++i) {
        SCOPED_TRACE("item " + std::to_string(i + 1));
        ASSERT_EQ(ours[i].gap, Sx2Gap::None);
        EXPECT_EQ(ours[i].df, df[i]);
        EXPECT_NEAR(ours[i].statistic, sx2[i], 1e-6 * sx2[i]);
    }
}

std::string Polytomous(const char* name) {
    return FileText(std::string(TARVO_SOURCE_DIR) + "/tests/data/polytomous/" + name);
}

TEST(RpfSx2Sets, LsatSixAndSeven) {
    ExpectRpfs(CodesOf(test_support::LsatResponseFile(test_support::Lsat::Section6)), kLsat6Sx2,
               kLsat6Df);
    ExpectRpfs(CodesOf(test_support::LsatResponseFile(test_support::Lsat::Section7)), kLsat7Sx2,
               kLsat7Df);
}

TEST(RpfSx2Sets, VerbalAggressionAndNeuroticism) {
    ExpectRpfs(CodesOf(Polytomous("verbagg3.dat")), kVerbagg3Sx2, kVerbagg3Df);
    ExpectRpfs(CodesOf(Polytomous("bfi_n.dat")), kBfiNSx2, kBfiNDf);
}

TEST(RpfSx2Sets, SimulatedGradedAndPersonalityInventory) {
    ExpectRpfs(CodesOf(Polytomous("sim_grm5.dat")), kSimGrm5Sx2, kSimGrm5Df);
    ExpectRpfs(CodesOf(Polytomous("spi.dat")), kSpiSx2, kSpiDf);
}

}  // namespace
}  // namespace tarvo::fit
