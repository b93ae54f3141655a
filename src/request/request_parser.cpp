#include "request/request_parser.h"

#include <array>

#include "core/modes.h"
#include "input/format/response_format.h"
#include "input/text/settings_reader.h"
#include "platform/control_ids.h"
#include "platform/control_texts.h"
#include "request/group_request.h"
#include "request/value_checks.h"

namespace tarvo::request {

namespace {

// What each checked setting may hold. The quadrature needs enough points to
// resolve a posterior, and more than a thousand only costs time; the cycle
// limit only guards against a run that never ends. The priors' numbers are
// kept where a prior still means something: an SD below 0.01 pins its
// parameter, one above 100 is no prior; a beta below 1 has no mode.
constexpr WholeRange kModes{kFirstMode, kLastMode};
constexpr WholeRange kThreads{1, 1024};
// The examinees an HTML report lists before it summarises them.
constexpr WholeRange kHtmlExaminees{0, 100000000};
constexpr WholeRange kQuadraturePoints{5, 1001};
constexpr WholeRange kEmCycles{1, 100000};
constexpr NumberRange kEmTolerance{1e-12, 1};
constexpr NumberRange kLogAMean{-3, 3};
constexpr NumberRange kPriorSd{0.01, 100};
constexpr NumberRange kBMean{-10, 10};
constexpr NumberRange kBetaParameter{1, 1000};
// The score table's population: as the quadrature, points enough to
// resolve a posterior; a mean and SD where abilities are shown.
constexpr WholeRange kPopulationPoints{5, 1001};
constexpr NumberRange kPopulationRange{1, 10};
constexpr NumberRange kPopulationMean{-10, 10};
constexpr NumberRange kPopulationSd{0.01, 100};

struct Field {
    RequestField field;
    FieldName name;
};

constexpr Field kMode{RequestField::Mode, {"The mode", "--mode"}};
constexpr Field kMethod{RequestField::Method, {"The method", "--method"}};
constexpr Field kModel{RequestField::Model, {"The model", "--model"}};
constexpr Field kScoring{RequestField::Scoring, {"The scoring", "--scoring"}};
constexpr Field kStandardErrors{RequestField::StandardErrors,
                                {"The standard errors", "--standard-errors"}};
constexpr Field kStandardize{RequestField::Standardize,
                             {"The answer to the standardise question", "--standardize"}};
constexpr Field kThreadCount{RequestField::Threads, {"The thread count", "--threads"}};
constexpr Field kHtmlExamineeCount{RequestField::HtmlExaminees,
                                   {"The HTML report's examinee limit", "--html-examinees"}};
constexpr Field kQuadrature{RequestField::Quadrature, {"Quadrature points", "--quadrature"}};
constexpr Field kCycles{RequestField::EmCycles, {"The EM cycle limit", "--em-cycles"}};
constexpr Field kTolerance{RequestField::EmTolerance, {"The EM tolerance", "--em-tolerance"}};
constexpr Field kCompare{RequestField::Compare, {"The models to compare", "--compare"}};
constexpr Field kDif{RequestField::Dif, {"The DIF screens", "--dif"}};
constexpr Field kDifMatch{RequestField::Dif, {"The DIF screens' matching score", "--dif-match"}};

// The models a comparison can take, each nested in the next: the 1PL is the
// Rasch model with its common slope held at 1, the Rasch model the 2PL with
// every slope equal, the 2PL the 3PL with c = 0. A c given by the item file
// is nested in none of them.
constexpr std::array<MarginalModel, 4> kComparable{MarginalModel::OnePL, MarginalModel::Rasch,
                                                   MarginalModel::TwoPL, MarginalModel::ThreePL};
constexpr Field kPopulationPointCount{RequestField::ScorePopulation,
                                      {"The score table's points", "--population-points"}};
constexpr Field kPopulationSpan{RequestField::ScorePopulation,
                                {"The score table's range", "--population-range"}};
constexpr Field kPopulationMeanField{RequestField::ScorePopulation,
                                     {"The score table's population mean", "--population-mean"}};
constexpr Field kPopulationSdField{RequestField::ScorePopulation,
                                   {"The score table's population SD", "--population-sd"}};

// A prior's two numbers: their fields, words and ranges.
struct PriorFields {
    Field first, second;
    NumberRange firstRange, secondRange;
};
constexpr PriorFields kPriorA{
    {RequestField::PriorAMean, {"The mean of log a in the prior on a", "--prior-a MEAN,SD"}},
    {RequestField::PriorASd, {"The SD of log a in the prior on a", "--prior-a MEAN,SD"}},
    kLogAMean,
    kPriorSd};
constexpr PriorFields kPriorB{
    {RequestField::PriorBMean, {"The mean of the prior on b", "--prior-b MEAN,SD"}},
    {RequestField::PriorBSd, {"The SD of the prior on b", "--prior-b MEAN,SD"}},
    kBMean,
    kPriorSd};
constexpr PriorFields kPolytomousPriorA{
    {RequestField::PolytomousPriorAMean,
     {"The mean of log |a| in the polytomous items' prior on a", "--poly-prior-a MEAN,SD"}},
    {RequestField::PolytomousPriorASd,
     {"The SD of log |a| in the polytomous items' prior on a", "--poly-prior-a MEAN,SD"}},
    kLogAMean,
    kPriorSd};
constexpr PriorFields kPolytomousPriorB{
    {RequestField::PolytomousPriorBMean,
     {"The mean of the polytomous items' prior on b", "--poly-prior-b MEAN,SD"}},
    {RequestField::PolytomousPriorBSd,
     {"The SD of the polytomous items' prior on b", "--poly-prior-b MEAN,SD"}},
    kBMean,
    kPriorSd};
constexpr PriorFields kPriorC{
    {RequestField::PriorCAlpha, {"Alpha of the prior on c", "--prior-c ALPHA,BETA"}},
    {RequestField::PriorCBeta, {"Beta of the prior on c", "--prior-c ALPHA,BETA"}},
    kBetaParameter,
    kBetaParameter};
constexpr PriorFields kPriorU{
    {RequestField::PriorUAlpha, {"Alpha of the prior on u", "--prior-u ALPHA,BETA"}},
    {RequestField::PriorUBeta, {"Beta of the prior on u", "--prior-u ALPHA,BETA"}},
    kBetaParameter,
    kBetaParameter};

// The dialog's boxes for the text rules.
class BoxTexts final : public ControlTexts {
  public:
    explicit BoxTexts(const std::map<int, std::string>& texts) : texts_(texts) {}
    std::string ControlText(int controlId) const override {
        const auto found = texts_.find(controlId);
        return found == texts_.end() ? std::string() : found->second;
    }

  private:
    const std::map<int, std::string>& texts_;
};

// Collects the first refusal; every later check is skipped.
class Checker {
  public:
    bool Refused() const { return !check_.message.empty(); }
    RequestCheck Result(RunRequest request) {
        if (!Refused()) check_.request = std::move(request);
        return std::move(check_);
    }

    void Refuse(RequestField field, std::string message) {
        if (Refused()) return;
        check_.field = field;
        check_.message = std::move(message);
    }

    template <typename T>
    void Whole(const Text& text, WholeRange range, const Field& field, T& value) {
        if (!text || Refused()) return;
        std::string message;
        if (const auto whole = WholeIn(*text, range, field.name, message)) {
            value = static_cast<T>(*whole);
        } else {
            Refuse(field.field, std::move(message));
        }
    }

    void Number(const Text& text, NumberRange range, const Field& field, double& value) {
        if (!text || Refused()) return;
        std::string message;
        if (const auto number = NumberIn(*text, range, field.name, message)) {
            value = *number;
        } else {
            Refuse(field.field, std::move(message));
        }
    }

    // One of the words; its index in words, or nothing when refused.
    template <std::size_t N>
    std::optional<std::size_t> Word(const Text& text, const char* const (&words)[N],
                                    std::string_view wanted, const Field& field) {
        if (!text || Refused()) return std::nullopt;
        for (std::size_t i = 0; i < N; ++i) {
            if (*text == words[i]) return i;
        }
        Refuse(field.field, Refusal(field.name, wanted, *text));
        return std::nullopt;
    }

    // A prior's state and numbers. Not given: as the model (defaultOn), its
    // numbers read only when the prior is on.
    template <typename Prior>
    void TakePrior(const PriorTexts& texts, bool defaultOn, const PriorFields& fields, Prior& prior,
                   double Prior::*first, double Prior::*second) {
        prior.on = texts.state ? *texts.state == "on" : defaultOn;
        if (!prior.on) return;
        Number(texts.first, fields.firstRange, fields.first, prior.*first);
        Number(texts.second, fields.secondRange, fields.second, prior.*second);
    }

  private:
    RequestCheck check_;
};

// The polytomous models a polytomous run compares, in the order of the
// comparison: RSM in PCM in GPCM, the GRM beside them.
constexpr std::array<PolytomousModel, 4> kComparablePolytomous{
    PolytomousModel::Rsm, PolytomousModel::Pcm, PolytomousModel::Gpcm, PolytomousModel::Grm};

// The models --compare lists, each of the comparable ones at most once.
template <typename Model, std::size_t N, typename NameOf>
void TakeModelList(const Text& text, Checker& checker, const std::array<Model, N>& comparable,
                   NameOf nameOf, std::string_view expected, std::vector<Model>& models) {
    if (!text || checker.Refused()) return;
    std::array<std::string_view, N> names;
    for (std::size_t k = 0; k < N; ++k) names[k] = nameOf(comparable[k]);
    std::string message;
    const auto chosen = DistinctWordsIn(*text, names, 2, expected, kCompare.name, message);
    if (!chosen) {
        checker.Refuse(kCompare.field, std::move(message));
        return;
    }
    for (const std::size_t k : *chosen) models.push_back(comparable[k]);
}

void TakeComparePolytomous(const Text& text, Checker& checker,
                           std::vector<PolytomousModel>& models) {
    TakeModelList(
        text, checker, kComparablePolytomous,
        [](PolytomousModel model) { return std::string_view(RulesOf(model).name); },
        "two or more of grm, gpcm, pcm and rsm on a test of items scored 0..m, each once, "
        "separated by commas",
        models);
}

void TakeCompare(const Text& text, Checker& checker, std::vector<MarginalModel>& models) {
    TakeModelList(
        text, checker, kComparable,
        [](MarginalModel model) { return std::string_view(ModelName(model)); },
        "two or more of 1pl, rasch, 2pl and 3pl, each once, separated by commas", models);
}

void TakeMarginal(const RequestTexts& texts, int mode, Checker& checker, MarginalSettings& m) {
    MarginalModel model = DefaultMarginalModel(mode);
    PolytomousModel polytomous = PolytomousModel::None;
    if (texts.model && !checker.Refused()) {
        if (const auto named = ModelNamed(*texts.model)) {
            model = *named;
        } else if (const auto graded = PolytomousModelNamed(*texts.model)) {
            polytomous = *graded;
            model = MarginalModel::ThreePL;
        } else {
            checker.Refuse(
                kModel.field,
                Refusal(kModel.name,
                        "3pl, 3pl-c-given, 2pl, 1pl, rasch, 4pl, grm, gpcm, pcm, rsm or nominal",
                        *texts.model));
        }
    }
    if (texts.itemModels && !checker.Refused()) {
        if (texts.model || texts.binaryModel) {
            checker.Refuse(RequestField::ItemModels,
                           "The item-models file (--item-models) names every item's model: "
                           "leave out --model and --binary-model.");
        }
        polytomous = PolytomousModel::PerItem;
    }
    if (texts.binaryModel && !checker.Refused()) {
        const auto named = ModelNamed(*texts.binaryModel);
        if (polytomous == PolytomousModel::None) {
            checker.Refuse(kModel.field,
                           "The model of right/wrong items (--binary-model) is for tests with "
                           "polytomous items (--model grm, gpcm, pcm or rsm).");
        } else if (named == MarginalModel::ThreePL || named == MarginalModel::TwoPL ||
                   named == MarginalModel::OnePL || named == MarginalModel::FourPL) {
            model = *named;
        } else {
            checker.Refuse(kModel.field,
                           Refusal({"The model of right/wrong items", "--binary-model"},
                                   "3pl, 2pl, 1pl or 4pl", *texts.binaryModel));
        }
    }
    if (texts.collapseEmpty && polytomous == PolytomousModel::None && !checker.Refused()) {
        checker.Refuse(kModel.field,
                       "Collapsing empty categories (--collapse-empty) is for polytomous "
                       "items (--model grm, gpcm, pcm or rsm, or --item-models).");
    }
    m = SettingsFor(model);
    m.polytomous = polytomous;
    m.collapseEmpty = texts.collapseEmpty;
    const MarginalModelRules& rules = RulesOf(model);
    checker.TakePrior(texts.priorA, rules.defaultPriorOnA, kPriorA, m.priorLogA, &NormalPrior::mean,
                      &NormalPrior::sd);
    checker.TakePrior(texts.priorB, false, kPriorB, m.priorB, &NormalPrior::mean, &NormalPrior::sd);
    checker.TakePrior(texts.priorC, rules.defaultPriorOnC, kPriorC, m.priorC, &BetaPrior::alpha,
                      &BetaPrior::beta);
    checker.TakePrior(texts.priorU, rules.defaultPriorOnU, kPriorU, m.priorU, &BetaPrior::alpha,
                      &BetaPrior::beta);
    if ((texts.polytomousPriorA.state || texts.polytomousPriorB.state) &&
        polytomous == PolytomousModel::None) {
        checker.Refuse(RequestField::PolytomousPriorAMean,
                       "The polytomous items' priors (--poly-prior-a, --poly-prior-b) are for "
                       "tests with polytomous items (--model grm, gpcm, pcm or rsm, or "
                       "--item-models).");
    }
    if ((texts.polytomousPriorA.state || texts.polytomousPriorB.state) &&
        polytomous == PolytomousModel::Nominal) {
        checker.Refuse(RequestField::PolytomousPriorAMean,
                       "The polytomous items' priors (--poly-prior-a, --poly-prior-b) do not act "
                       "on the nominal model's slopes and intercepts: leave them out.");
    }
    checker.TakePrior(texts.polytomousPriorA, false, kPolytomousPriorA, m.polytomousLogA,
                      &NormalPrior::mean, &NormalPrior::sd);
    checker.TakePrior(texts.polytomousPriorB, false, kPolytomousPriorB, m.polytomousB,
                      &NormalPrior::mean, &NormalPrior::sd);
    checker.Whole(texts.quadrature, kQuadraturePoints, kQuadrature, m.quadraturePoints);
    constexpr const char* kScorings[] = {"eap", "map", "ml"};
    if (const auto scoring = checker.Word(texts.scoring, kScorings, "eap, map or ml", kScoring)) {
        m.scoring = static_cast<MarginalScoring>(*scoring);
    }
    constexpr const char* kErrorMethods[] = {"louis", "crossproduct", "none"};
    if (const auto method = checker.Word(texts.standardErrors, kErrorMethods,
                                         "louis, crossproduct or none", kStandardErrors)) {
        m.standardErrors = static_cast<StandardErrorMethod>(*method);
    }
    checker.Whole(texts.emCycles, kEmCycles, kCycles, m.maxCycles);
    checker.Number(texts.emTolerance, kEmTolerance, kTolerance, m.tolerance);
    m.scoringOnly = texts.scoringOnly;
    m.fixItems = texts.fixItems || texts.scoringOnly;
    if (m.scoringOnly && polytomous == PolytomousModel::None) {
        checker.Refuse(RequestField::ScoringOnly,
                       "Scoring only (--scoring-only) is for tests with polytomous items "
                       "(--model grm, gpcm, pcm or rsm, or --item-models); right/wrong items "
                       "are scored for given items by mode 1 or --fix-items.");
    }
    m.estimatePopulation = texts.estimatePopulation;
    m.groups = texts.groups;
    if (m.groups && m.fixItems) {
        checker.Refuse(RequestField::Groups,
                       "Calibrating groups (--groups) estimates every item across the groups: "
                       "it does not hold items (--fix-items, --scoring-only).");
    }
    if (m.groups && m.polytomous == PolytomousModel::Nominal) {
        checker.Refuse(RequestField::Groups,
                       "Calibrating groups (--groups) is not available for the nominal model.");
    }
    if (m.estimatePopulation && !m.fixItems) {
        checker.Refuse(RequestField::EstimatePopulation,
                       "Estimating the population (--estimate-population) needs items held at "
                       "the item file's values (--fix-items): without them the scale is the "
                       "population's own.");
    }
}

// The score table's file and, for the classic estimator, its population.
void TakeScoreTable(const RequestTexts& texts, Method method, Checker& checker,
                    RunRequest& request) {
    if (texts.scoreTable) request.scoreTableFile = *texts.scoreTable;
    if (!texts.AnyPopulationText()) return;
    if (!texts.scoreTable) {
        checker.Refuse(RequestField::ScorePopulation,
                       "The score table's population (--population-*) needs a score table "
                       "(--score-table FILE).");
        return;
    }
    if (method == Method::Marginal) {
        checker.Refuse(RequestField::ScorePopulation,
                       "The score table's population (--population-*) is the classic "
                       "estimator's: the marginal estimator forms the table over its own "
                       "quadrature and population.");
        return;
    }
    ScorePopulation& p = request.scorePopulation;
    checker.Whole(texts.populationPoints, kPopulationPoints, kPopulationPointCount, p.points);
    checker.Number(texts.populationRange, kPopulationRange, kPopulationSpan, p.range);
    checker.Number(texts.populationMean, kPopulationMean, kPopulationMeanField, p.mean);
    checker.Number(texts.populationSd, kPopulationSd, kPopulationSdField, p.sd);
}

// A list of item names or numbers by commas, blanks around each dropped.
std::vector<std::string> ItemList(std::string_view text) {
    std::vector<std::string> names;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view name = WithoutBlanks(text.substr(0, comma));
        if (!name.empty()) names.emplace_back(name);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return names;
}

// The DIF screens and their matching score; the IRT screen compares fits of
// the groups calibrated together, so it needs them.
void TakeDif(const RequestTexts& texts, Checker& checker, RunRequest& request) {
    if (checker.Refused()) return;
    DifRequest& dif = request.dif;
    const GroupSettings& groups = request.groups;
    const bool calibrated = request.method == Method::Marginal && request.marginal.groups;
    if (texts.dif) {
        constexpr std::array<std::string_view, 4> kScreens{"mh", "std", "lr", "irt"};
        std::string message;
        const auto chosen =
            DistinctWordsIn(*texts.dif, kScreens, 1,
                            "one or more of mh, std, lr and irt, each once, separated by commas",
                            kDif.name, message);
        if (!chosen) {
            checker.Refuse(kDif.field, std::move(message));
            return;
        }
        for (const std::size_t k : *chosen) {
            (k == 0   ? dif.mantelHaenszel
             : k == 1 ? dif.standardization
             : k == 2 ? dif.logistic
                      : dif.irt) = true;
        }
        if (!groups.present()) {
            checker.Refuse(kDif.field,
                           "The DIF screens (--dif) compare the examinees' groups: give their "
                           "group field (--group-start and --group-length, or --group-column).");
            return;
        }
        if (dif.irt && !calibrated) {
            checker.Refuse(kDif.field,
                           "The IRT DIF screen (--dif irt) compares fits of the groups calibrated "
                           "together: it needs --method mml --groups.");
            return;
        }
    }
    if (texts.anchors) {
        if (!dif.irt) {
            checker.Refuse(kDif.field,
                           "The anchor items (--anchors) are the IRT DIF screen's: they need "
                           "--dif irt.");
            return;
        }
        dif.anchors = ItemList(*texts.anchors);
    }
    if (texts.difMatch && !texts.dif) {
        checker.Refuse(kDifMatch.field,
                       "The DIF screens' matching score (--dif-match) needs the screens (--dif "
                       "mh,std,lr).");
        return;
    }
    constexpr const char* kMatches[] = {"total", "rest"};
    if (const auto match = checker.Word(texts.difMatch, kMatches, "total or rest", kDifMatch)) {
        dif.restScore = *match == 1;
    }
}

// The items freed across the groups: by name or number, or as the DIF
// screens flag them; only where groups are calibrated together.
void TakeFreeItems(const RequestTexts& texts, Checker& checker, RunRequest& request) {
    if (checker.Refused() || (!texts.freeItems && !texts.freeDif)) return;
    const char* option = texts.freeItems ? "--free-items" : "--free-dif";
    if (request.method != Method::Marginal || !request.marginal.groups) {
        checker.Refuse(RequestField::Groups,
                       std::string("Freeing items across the groups (") + option +
                           ") needs the groups calibrated together (--method mml --groups).");
        return;
    }
    if (request.marginal.polytomous == PolytomousModel::PerItem) {
        checker.Refuse(RequestField::Groups,
                       std::string("Freeing items across the groups (") + option +
                           ") is not offered with --item-models, whose lines name the items "
                           "as read: give the items' model by --model.");
        return;
    }
    if (texts.freeItems) request.freeItems.items = ItemList(*texts.freeItems);
    request.freeItems.byDif = texts.freeDif;
}

}  // namespace

RequestCheck ParseRequest(const RequestTexts& texts) {
    Checker checker;
    RunRequest request;
    checker.Whole(texts.mode, kModes, kMode, request.mode);
    const BoxTexts boxes(texts.controls);
    request.settings = ReadRunSettings(boxes);
    request.outputFile = boxes.ControlText(control::kOutputFile);
    if (std::string refusal = ReadGroupSettings(texts, request.settings, request.groups);
        !refusal.empty()) {
        checker.Refuse(RequestField::Groups, std::move(refusal));
    }

    constexpr const char* kMethods[] = {"jml", "mml"};
    if (const auto method = checker.Word(texts.method, kMethods, "jml or mml", kMethod)) {
        request.method = *method == 1 ? Method::Marginal : Method::Classic;
    }
    if (request.method == Method::Marginal) {
        TakeMarginal(texts, request.mode, checker, request.marginal);
        if (texts.itemModels) request.itemModelsFile = *texts.itemModels;
        if (request.marginal.polytomous == PolytomousModel::PerItem && texts.compare) {
            // Each item keeps the model its line names: there is no one
            // other model to fit in its place.
            checker.Refuse(RequestField::Compare,
                           "Comparing models (--compare) fits one model to every item, and "
                           "--item-models names each item's own: compare such runs by the "
                           "-2LL, AIC and BIC in each one's report, or compare one model for "
                           "all items (--model grm, gpcm, pcm or rsm with --compare grm,gpcm,"
                           "pcm,rsm).");
        } else if (request.marginal.polytomous == PolytomousModel::Nominal && texts.compare) {
            // Its items are read by option: the other models have no scores to fit.
            checker.Refuse(RequestField::Compare,
                           "Comparing models (--compare) is not offered for the nominal model, "
                           "whose items are read by option code.");
        } else if (request.marginal.polytomous != PolytomousModel::None) {
            TakeComparePolytomous(texts.compare, checker, request.comparePolytomous);
        } else {
            TakeCompare(texts.compare, checker, request.compareModels);
        }
    } else if (texts.compare) {
        checker.Refuse(RequestField::Compare,
                       "Comparing models (--compare) needs the marginal method (--method mml): "
                       "the classic estimator's likelihood grows with every examinee's own "
                       "ability, so its models cannot be compared by -2LL, AIC or BIC.");
    } else if (texts.AnyMarginalText()) {
        checker.Refuse(RequestField::Method,
                       "The marginal estimator's options (--model, --prior-*, --quadrature, "
                       "--scoring, --fix-items, ...) need the marginal method (--method mml).");
    }

    constexpr const char* kAnswers[] = {"no", "yes"};
    if (const auto answer = checker.Word(texts.standardize, kAnswers, "yes or no", kStandardize)) {
        request.standardize = *answer == 1;
    }
    checker.Whole(texts.threads, kThreads, kThreadCount, request.threads);
    if (texts.report) request.reportFile = *texts.report;
    if (texts.htmlReport) request.htmlReportFile = *texts.htmlReport;
    checker.Whole(texts.htmlExaminees, kHtmlExaminees, kHtmlExamineeCount, request.htmlExaminees);
    request.strict = texts.strict;
    // After the group field is read: the groups are its groups.
    if (request.marginal.groups && !request.groups.present()) {
        checker.Refuse(RequestField::Groups,
                       "Calibrating groups (--groups) needs the examinees' group field "
                       "(--group-start and --group-length, or --group-column).");
    }
    if (request.marginal.groups &&
        (!request.compareModels.empty() || !request.comparePolytomous.empty())) {
        checker.Refuse(RequestField::Groups,
                       "Comparing models (--compare) is not offered with groups calibrated "
                       "together (--groups).");
    }
    TakeScoreTable(texts, request.method, checker, request);
    TakeDif(texts, checker, request);
    TakeFreeItems(texts, checker, request);
    request.boxTexts = texts.controls;
    request.format.entries = texts.format;
    // A format given in the dialog's boxes is an entry like the runner's
    // option, unless the entry is given as well.
    for (const FormatEntryName& entry : kFormatEntryNames) {
        const auto box = texts.controls.find(entry.controlId);
        if (box == texts.controls.end()) continue;
        bool given = false;
        for (const auto& [name, value] : request.format.entries) given |= name == entry.name;
        if (!given) request.format.entries.emplace_back(std::string(entry.name), box->second);
    }
    return checker.Result(std::move(request));
}

}  // namespace tarvo::request
