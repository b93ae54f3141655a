#include "cli/marginal_options.h"

#include <charconv>
#include <cmath>

namespace tarvo::cli {

namespace {

bool ParseNumber(std::string_view text, double& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty() && std::isfinite(value);
}

bool ParseWhole(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// "X,Y" into two numbers.
bool ParsePair(std::string_view text, double& first, double& second) {
    const auto comma = text.find(',');
    if (comma == std::string_view::npos) return false;
    return ParseNumber(text.substr(0, comma), first) && ParseNumber(text.substr(comma + 1), second);
}

std::string Quoted(std::string_view value) { return "'" + std::string(value) + "'"; }

}  // namespace

bool IsMethodFlag(std::string_view name) {
    return name == "fix-items" || name == "estimate-population";
}

void ApplyMethodFlag(std::string_view name, MethodOptions& options) {
    options.marginalOptionGiven = true;
    if (name == "fix-items") options.settings.fixItems = true;
    if (name == "estimate-population") options.settings.estimatePopulation = true;
}

bool IsMethodOption(std::string_view name) {
    return name == "method" || name == "model" || name == "prior-a" || name == "prior-b" ||
           name == "prior-c" || name == "quadrature" || name == "scoring" || name == "em-cycles" ||
           name == "em-tolerance";
}

std::string ApplyMethodOption(std::string_view name, std::string_view value,
                              MethodOptions& options) {
    MarginalSettings& s = options.settings;
    if (name == "method") {
        if (value == "jml") {
            options.marginal = false;
        } else if (value == "mml") {
            options.marginal = true;
        } else {
            return "--method takes jml or mml, not " + Quoted(value);
        }
        return {};
    }
    options.marginalOptionGiven = true;
    if (name == "model") {
        options.modelGiven = true;
        if (value == "3pl") {
            s.model = MarginalModel::ThreePL;
        } else if (value == "3pl-c-given") {
            s.model = MarginalModel::ThreePLCGiven;
        } else if (value == "2pl") {
            s.model = MarginalModel::TwoPL;
        } else if (value == "1pl") {
            s.model = MarginalModel::OnePL;
        } else if (value == "rasch") {
            s.model = MarginalModel::Rasch;
        } else {
            return "--model takes 3pl, 3pl-c-given, 2pl, 1pl or rasch, not " + Quoted(value);
        }
    } else if (name == "prior-a" || name == "prior-b") {
        NormalPrior& prior = name == "prior-a" ? s.priorLogA : s.priorB;
        if (value == "none") {
            prior.on = false;
            return {};
        }
        double mean = 0, sd = 0;
        if (!ParsePair(value, mean, sd) || !(sd > 0))
            return "--" + std::string(name) + " takes MEAN,SD with SD above 0, or none, not " +
                   Quoted(value);
        prior = NormalPrior{true, mean, sd};
    } else if (name == "prior-c") {
        if (value == "none") {
            s.priorC.on = false;
            return {};
        }
        double alpha = 0, beta = 0;
        if (!ParsePair(value, alpha, beta) || !(alpha >= kSmallestBetaParameter) ||
            !(beta >= kSmallestBetaParameter))
            return "--prior-c takes ALPHA,BETA, each at least 1, or none, not " + Quoted(value);
        s.priorC = BetaPrior{true, alpha, beta};
    } else if (name == "quadrature") {
        int points = 0;
        if (!ParseWhole(value, points) || points < kFewestQuadraturePoints ||
            points > kMostQuadraturePoints)
            return "--quadrature takes a number of points from " +
                   std::to_string(kFewestQuadraturePoints) + " to " +
                   std::to_string(kMostQuadraturePoints) + ", not " + Quoted(value);
        s.quadraturePoints = points;
    } else if (name == "scoring") {
        if (value == "eap") {
            s.scoring = MarginalScoring::Eap;
        } else if (value == "map") {
            s.scoring = MarginalScoring::Map;
        } else if (value == "ml") {
            s.scoring = MarginalScoring::Ml;
        } else {
            return "--scoring takes eap, map or ml, not " + Quoted(value);
        }
    } else if (name == "em-cycles") {
        int cycles = 0;
        if (!ParseWhole(value, cycles) || cycles < 1 || cycles > kMostEmCycles)
            return "--em-cycles takes a number from 1 to " + std::to_string(kMostEmCycles) +
                   ", not " + Quoted(value);
        s.maxCycles = cycles;
    } else if (name == "em-tolerance") {
        double tolerance = 0;
        if (!ParseNumber(value, tolerance) || !(tolerance > 0))
            return "--em-tolerance takes a number above 0, not " + Quoted(value);
        s.tolerance = tolerance;
    }
    return {};
}

std::string FinishMethodOptions(int mode, MethodOptions& options) {
    if (!options.marginal) {
        if (options.marginalOptionGiven)
            return "the estimator options (--model, --prior-*, --quadrature, --scoring, "
                   "--fix-items, ...) need --method mml";
        return {};
    }
    if (!options.modelGiven) options.settings.model = DefaultMarginalModel(mode);
    return {};
}

std::string MethodHelpText() {
    return "  --method jml|mml          estimator: jml, the classic joint maximum likelihood\n"
           "                            of --mode (default); mml, marginal maximum likelihood\n"
           "                            (Bock-Aitkin EM) with the options below\n"
           "Marginal estimator (--method mml):\n"
           "  --model M                 3pl, 3pl-c-given (c from the item file), 2pl, 1pl, or\n"
           "                            rasch (1pl with one common slope); default from --mode:\n"
           "                            5 gives 3pl-c-given, 6 gives 1pl, others 3pl. The\n"
           "                            result has the layout of mode 3 (3pl, 2pl), 5 or 6\n"
           "  --prior-a MEAN,SD|none    log-normal prior on a: log a ~ N(MEAN, SD) (0,0.5)\n"
           "  --prior-b MEAN,SD|none    normal prior on b (none)\n"
           "  --prior-c ALPHA,BETA|none beta prior on c, 3pl only (5,17)\n"
           "  --quadrature N            quadrature points from -6 to 6 (61)\n"
           "  --scoring eap|map|ml      examinee scores (eap)\n"
           "  --fix-items               hold the items of the item file at their values\n"
           "  --estimate-population     with held items: estimate ability mean and SD\n"
           "  --em-cycles N             most EM cycles (500)\n"
           "  --em-tolerance X          largest parameter change to stop at (0.0001)\n";
}

}  // namespace tarvo::cli
