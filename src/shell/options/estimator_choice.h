#pragma once

#include <optional>
#include <string>

#include "core/marginal_settings.h"
#include "core/polytomous_models.h"
#include "request/request_texts.h"

// The estimator a run from the dialog uses, and the marginal estimator's
// options as the options dialog shows them: texts as typed. They become
// values only through the one request parser, with the same ranges,
// defaults and messages as tarvo-run's options.
namespace tarvo::shell {

enum class EstimatorMethod { Classic, Marginal };

// A prior as the options dialog sets it: as the model has it (on for the
// 3PL's a and c, off otherwise), on with the two numbers, or off.
enum class PriorChoice { AsTheModel, On, Off };

struct PriorEntry {
    PriorChoice choice = PriorChoice::AsTheModel;
    std::string first;   // mean, or alpha for the prior on c
    std::string second;  // SD, or beta for the prior on c
};

// A polytomous item's prior, off unless asked for: on or off with its mean
// and SD.
struct SwitchedPrior {
    bool on = false;
    std::string mean;
    std::string sd;
};

// What a run does with the examinees' groups (the group field is the
// Response Input frame's): DIF screens of each focal group against the
// reference group, matched on the total or the rest score. The counted
// screens need no particular estimator, so they reach the request with
// either method; the IRT screen refits the groups calibrated together (a
// classic run refuses it), and the free items reach only a marginal run's
// request. The options dialog and the main dialog's DIF dialog edit them.
struct GroupChoices {
    bool mantelHaenszel = false;
    bool standardization = false;
    bool logistic = false;
    // Refits of the groups calibrated together, each item freed in turn,
    // against the given anchors (by commas; empty: every other item).
    bool irt = false;
    std::string anchors;
    bool restScore = false;
    // Items estimated in each group on its own when the groups are
    // calibrated together, by commas, and whether the screens' flagged
    // items join them.
    std::string freeItems;
    bool freeDif = false;
    std::string reference;  // a label; empty: the first group in the file
    std::string focal;      // labels by commas; empty: every other group
};

struct MarginalOptionsForm {
    // Nothing: the model follows the mode (mode 5: 3pl-c-given, mode 6: 1pl,
    // any other: 3pl).
    std::optional<MarginalModel> model;
    // The model of the items with more than two categories; None: every
    // item is right/wrong and `model` fits them all. With one, the
    // right/wrong items beside them take binaryModel (nothing: 3pl), and an
    // unused middle category is merged away when collapseEmpty is set.
    PolytomousModel polytomous = PolytomousModel::None;
    std::optional<MarginalModel> binaryModel;
    bool collapseEmpty = false;
    PriorEntry priorA;  // log-normal on a: mean and SD of log a
    PriorEntry priorB;  // normal on b
    PriorEntry priorC;  // beta on c: alpha and beta
    PriorEntry priorU;  // beta on the 4PL's upper asymptote u: alpha and beta
    // The priors of the polytomous items: log-normal on the size of each
    // item's own slope, normal on every threshold.
    SwitchedPrior polytomousPriorA;
    SwitchedPrior polytomousPriorB;
    std::string quadraturePoints;
    MarginalScoring scoring = MarginalScoring::Eap;
    StandardErrorMethod standardErrors = StandardErrorMethod::Louis;
    bool fixItems = false;
    // With held items in a test with polytomous items: every item held,
    // only the abilities formed.
    bool scoringOnly = false;
    bool estimatePopulation = false;
    std::string emCycles;
    std::string emTolerance;
    // The models fitted besides the run's for the model comparison, as
    // typed ("rasch,2pl,3pl"); empty: none.
    std::string compare;
    // The item-models file (each item's model, polytomous ones too), as
    // typed; empty: none.
    std::string itemModels;
    // Calibrate the group field's groups together: one set of items, each
    // group its own ability distribution.
    bool groupsTogether = false;
    GroupChoices groups;
};

// The form filled with the marginal estimator's defaults: every prior as
// the model has it, with the usual numbers.
MarginalOptionsForm DefaultMarginalOptions();

// Whether the form asks for items scored in more than two categories: a
// polytomous model, or an item-models file, which may name one. Only then
// do its polytomous options reach the request.
bool HasPolytomousItems(const MarginalOptionsForm& form);

// The form's texts as the request's, and back (a loaded job file).
// PutForm writes the marginal estimator's own options and the group
// choices; PutGroupChoices only the DIF screens and the groups to compare,
// which a classic run takes too (the items free across the groups are the
// marginal estimator's).
void PutForm(const MarginalOptionsForm& form, request::RequestTexts& texts);
void PutGroupChoices(const GroupChoices& choices, request::RequestTexts& texts);
MarginalOptionsForm FormOf(const request::RequestTexts& texts);

// What the dialog's Method choice and its options hold between runs.
class EstimatorChoice {
  public:
    EstimatorMethod Method() const { return method_; }
    void SetMethod(EstimatorMethod method) { method_ = method; }
    const MarginalOptionsForm& Options() const { return options_; }
    void SetOptions(MarginalOptionsForm options) { options_ = std::move(options); }

    // The method and, with the marginal estimator, its options into texts.
    void PutInto(request::RequestTexts& texts) const;

  private:
    EstimatorMethod method_ = EstimatorMethod::Classic;
    MarginalOptionsForm options_ = DefaultMarginalOptions();
};

}  // namespace tarvo::shell
