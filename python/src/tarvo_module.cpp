// tarvo._tarvo: the library interface for Python. The responses are read in
// place from a two-dimensional uint8 array of response characters (any
// strides); the estimates come back as numpy views into the result's rows,
// which the arrays keep alive, without copies.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tarvo/tarvo.hpp"

namespace py = pybind11;

namespace {

using tarvo::lib::Options;
using tarvo::lib::Prior;
using tarvo::lib::Result;

// How often a running calibration takes the interpreter's lock to look at
// Python's signals (Ctrl-C) when the run polls its stop flag.
constexpr auto kSignalLook = std::chrono::milliseconds(20);

template <typename T>
std::optional<T> Get(const py::dict& options, const char* key) {
    if (!options.contains(key) || options[key].is_none()) return std::nullopt;
    return options[key].cast<T>();
}

std::string GetText(const py::dict& options, const char* key) {
    return Get<std::string>(options, key).value_or(std::string());
}

bool GetFlag(const py::dict& options, const char* key) {
    return Get<bool>(options, key).value_or(false);
}

// A prior: None (the model's own), "none" or False (off), or (first, second).
std::optional<Prior> GetPrior(const py::dict& options, const char* key) {
    if (!options.contains(key) || options[key].is_none()) return std::nullopt;
    const py::object value = options[key];
    if (py::isinstance<py::str>(value) || py::isinstance<py::bool_>(value)) {
        return Prior{false, 0, 0};
    }
    const auto pair = value.cast<std::pair<double, double>>();
    return Prior{true, pair.first, pair.second};
}

Options OptionsOf(const py::dict& d) {
    Options o;
    o.mode = Get<int>(d, "mode");
    o.method = GetText(d, "method");
    o.model = GetText(d, "model");
    o.binaryModel = GetText(d, "binary_model");
    o.itemModelsFile = GetText(d, "item_models");
    o.priorA = GetPrior(d, "prior_a");
    o.priorB = GetPrior(d, "prior_b");
    o.priorC = GetPrior(d, "prior_c");
    o.polyPriorA = GetPrior(d, "poly_prior_a");
    o.polyPriorB = GetPrior(d, "poly_prior_b");
    o.quadrature = Get<int>(d, "quadrature");
    o.scoring = GetText(d, "scoring");
    o.emCycles = Get<int>(d, "em_cycles");
    o.emTolerance = Get<double>(d, "em_tolerance");
    o.compare = Get<std::vector<std::string>>(d, "compare").value_or(std::vector<std::string>{});
    o.fixItems = GetFlag(d, "fix_items");
    o.scoringOnly = GetFlag(d, "scoring_only");
    o.estimatePopulation = GetFlag(d, "estimate_population");
    o.collapseEmpty = GetFlag(d, "collapse_empty");
    o.standardize = Get<bool>(d, "standardize");
    o.threads = Get<unsigned>(d, "threads").value_or(0);
    o.strict = GetFlag(d, "strict");
    o.populationMean = Get<double>(d, "population_mean");
    o.populationSd = Get<double>(d, "population_sd");
    o.populationRange = Get<double>(d, "population_range");
    o.populationPoints = Get<int>(d, "population_points");
    o.outputFile = GetText(d, "output_file");
    o.reportFile = GetText(d, "report_file");
    o.scoreTableFile = GetText(d, "score_table_file");
    o.scoreTable = GetFlag(d, "score_table");
    o.runnerOptions = Get<std::vector<std::pair<std::string, std::string>>>(d, "runner_options")
                          .value_or(std::vector<std::pair<std::string, std::string>>{});
    if (d.contains("given_items") && !d["given_items"].is_none()) {
        const py::dict given = d["given_items"];
        tarvo::lib::GivenItems items;
        items.ids = given["ids"].cast<std::vector<std::string>>();
        items.a = given["a"].cast<std::vector<double>>();
        items.b = given["b"].cast<std::vector<double>>();
        items.c = given["c"].cast<std::vector<double>>();
        o.givenItems = std::move(items);
    }
    return o;
}

// A numpy view of one double member of every row, owned by holder.
template <typename Row>
py::array Column(const std::vector<Row>& rows, const double Row::*member,
                 const py::object& holder) {
    if (rows.empty()) return py::array_t<double>(0);
    const std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(rows.size())};
    const std::vector<py::ssize_t> strides{static_cast<py::ssize_t>(sizeof(Row))};
    py::array_t<double> view(shape, strides, &(rows.front().*member), holder);
    py::detail::array_proxy(view.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return view;
}

template <typename Row, typename T>
py::array Copied(const std::vector<Row>& rows, T Row::*member) {
    py::array_t<T> column(static_cast<py::ssize_t>(rows.size()));
    auto out = column.template mutable_unchecked<1>();
    for (std::size_t k = 0; k < rows.size(); ++k)
        out(static_cast<py::ssize_t>(k)) = rows[k].*member;
    return column;
}

template <typename Row>
py::list Texts(const std::vector<Row>& rows, std::string Row::*member) {
    py::list list;
    for (const Row& row : rows) list.append(py::str(row.*member));
    return list;
}

py::dict ItemsOf(const Result& r, const py::object& holder) {
    using tarvo::lib::ItemRow;
    py::dict items;
    items["number"] = Copied(r.items, &ItemRow::number);
    items["id"] = Texts(r.items, &ItemRow::id);
    items["name"] = Texts(r.items, &ItemRow::name);
    items["model"] = Texts(r.items, &ItemRow::model);
    for (const auto& [name, member] :
         std::vector<std::pair<const char*, double ItemRow::*>>{{"a", &ItemRow::a},
                                                                {"b", &ItemRow::b},
                                                                {"c", &ItemRow::c},
                                                                {"se_a", &ItemRow::seA},
                                                                {"se_b", &ItemRow::seB},
                                                                {"se_c", &ItemRow::seC},
                                                                {"p_value", &ItemRow::pValue},
                                                                {"item_rest", &ItemRow::itemRest},
                                                                {"mean_score", &ItemRow::meanScore},
                                                                {"s_x2", &ItemRow::sx2},
                                                                {"p", &ItemRow::p},
                                                                {"p_adjusted", &ItemRow::pAdjusted},
                                                                {"infit", &ItemRow::infit},
                                                                {"outfit", &ItemRow::outfit},
                                                                {"infit_t", &ItemRow::infitT},
                                                                {"outfit_t", &ItemRow::outfitT}}) {
        items[name] = Column(r.items, member, holder);
    }
    items["df"] = Copied(r.items, &ItemRow::df);
    items["categories"] = Copied(r.items, &ItemRow::categories);
    items["nobs"] = Copied(r.items, &ItemRow::nobs);
    items["omitted"] = Copied(r.items, &ItemRow::omitted);
    items["held"] = Copied(r.items, &ItemRow::held);
    py::list thresholds, flags;
    for (const ItemRow& row : r.items) {
        thresholds.append(py::cast(row.thresholds));
        flags.append(py::cast(row.flagNames));
    }
    items["thresholds"] = thresholds;
    items["flags"] = flags;
    items["fit_note"] = Texts(r.items, &ItemRow::fitNote);
    return items;
}

py::dict PersonsOf(const Result& r, const py::object& holder) {
    using tarvo::lib::PersonRow;
    py::dict persons;
    persons["id"] = Texts(r.persons, &PersonRow::id);
    persons["theta"] = Column(r.persons, &PersonRow::theta, holder);
    persons["se"] = Column(r.persons, &PersonRow::se, holder);
    persons["raw_score"] = Copied(r.persons, &PersonRow::rawScore);
    persons["nvalid"] = Copied(r.persons, &PersonRow::nvalid);
    persons["lz"] = Column(r.persons, &PersonRow::lz, holder);
    persons["infit"] = Column(r.persons, &PersonRow::infit, holder);
    persons["outfit"] = Column(r.persons, &PersonRow::outfit, holder);
    py::list flags;
    for (const PersonRow& row : r.persons) flags.append(py::cast(row.flagNames));
    persons["flags"] = flags;
    return persons;
}

py::dict Tables(std::unique_ptr<Result> owned) {
    const Result& r = *owned;
    // The arrays below view the rows; the capsule keeps them alive.
    const py::capsule holder(owned.release(),
                             [](void* result) { delete static_cast<Result*>(result); });
    py::dict d;
    d["ok"] = r.ok;
    d["end"] = r.end;
    d["error"] = r.error;
    d["messages"] = r.messages;
    d["warnings"] = r.warnings;
    py::list findings;
    for (const auto& f : r.findings) {
        py::dict finding;
        finding["code"] = f.code;
        finding["message"] = f.message;
        finding["count"] = f.count;
        finding["examples"] = f.examples;
        finding["serious"] = f.serious;
        findings.append(finding);
    }
    d["findings"] = findings;
    d["method"] = r.method;
    d["model"] = r.model;
    d["mode"] = r.mode;
    d["items"] = ItemsOf(r, holder);
    d["persons"] = PersonsOf(r, holder);
    py::dict modelFit;
    modelFit["defined"] = r.modelFit.defined;
    modelFit["minus_2_log_likelihood"] = r.modelFit.minus2LogLikelihood;
    modelFit["parameters"] = r.modelFit.parameters;
    modelFit["examinees"] = r.modelFit.examinees;
    modelFit["aic"] = r.modelFit.aic;
    modelFit["bic"] = r.modelFit.bic;
    modelFit["note"] = r.modelFit.note;
    d["model_fit"] = modelFit;
    d["log_likelihood"] = r.logLikelihood;
    d["priors"] = r.priors;
    d["population"] =
        py::dict(py::arg("estimated") = r.population.estimated, py::arg("mean") = r.population.mean,
                 py::arg("sd") = r.population.sd, py::arg("se_mean") = r.population.seMean,
                 py::arg("se_sd") = r.population.seSd);
    d["trace"] = py::dict(
        py::arg("step") = r.trace.step, py::arg("end") = r.trace.end,
        py::arg("passes") = r.trace.passes, py::arg("completed") = r.trace.completed,
        py::arg("log_likelihood") = r.trace.logLikelihood,
        py::arg("largest_change") = r.trace.largestChange, py::arg("ms_error") = r.trace.msError);
    py::list pairs;
    for (const auto& pair : r.localDependence) {
        pairs.append(py::make_tuple(pair.first, pair.second, pair.q3));
    }
    d["local_dependence"] = pairs;
    d["average_q3"] = r.averageQ3;
    py::list comparison;
    for (const auto& m : r.comparison) {
        comparison.append(py::dict(py::arg("model") = m.model, py::arg("run_model") = m.runModel,
                                   py::arg("defined") = m.defined,
                                   py::arg("minus_2_log_likelihood") = m.minus2LogLikelihood,
                                   py::arg("parameters") = m.parameters, py::arg("aic") = m.aic,
                                   py::arg("bic") = m.bic, py::arg("em_cycles") = m.emCycles,
                                   py::arg("em_end") = m.emEnd, py::arg("note") = m.note));
    }
    d["comparison"] = comparison;
    py::list tests;
    for (const auto& t : r.comparisonTests) {
        tests.append(py::dict(py::arg("smaller") = t.smaller, py::arg("larger") = t.larger,
                              py::arg("chi_square") = t.chiSquare, py::arg("df") = t.df,
                              py::arg("p") = t.p, py::arg("note") = t.note,
                              py::arg("caution") = t.caution));
    }
    d["comparison_tests"] = tests;
    using tarvo::lib::ScoreRow;
    d["score_table"] = py::dict(py::arg("score") = Copied(r.scoreTable, &ScoreRow::score),
                                py::arg("proportion") = Copied(r.scoreTable, &ScoreRow::proportion),
                                py::arg("eap") = Copied(r.scoreTable, &ScoreRow::eap),
                                py::arg("eap_sd") = Copied(r.scoreTable, &ScoreRow::eapSd),
                                py::arg("ml") = Copied(r.scoreTable, &ScoreRow::ml));
    d["alpha"] = r.alpha;
    d["empirical_reliability"] = r.empiricalReliability;
    d["threads"] = r.threads;
    d["report_json"] = r.reportJson;
    // The result itself, for a link or a score table of this fit.
    d["engine_result"] = holder;
    return d;
}

// The caller's executor (a Python callable executor(count, run) that starts
// run(k) for every k < count on its threads without waiting for them), as
// the run's. run releases the interpreter's lock while it works. An
// exception the executor raises stops the run and is raised once it ended.
tarvo::lib::Executor ExecutorOf(const py::object& executor,
                                std::optional<py::error_already_set>& raised) {
    if (executor.is_none()) return {};
    // By reference: the run copies the executor where it holds no lock, and
    // the callable outlives the run in the caller's frame.
    return [&executor, &raised](unsigned count, std::function<void(unsigned)> task) {
        py::gil_scoped_acquire gil;
        if (raised) return;
        const py::cpp_function run(
            [task](unsigned k) {
                py::gil_scoped_release released;
                task(k);
            },
            py::arg("k"));
        try {
            executor(count, run);
        } catch (py::error_already_set& failure) {
            raised.emplace(std::move(failure));
        }
    };
}

// The run with the interpreter's lock released; the stop poll and the
// progress callback take it back on the calling thread. Ctrl-C (Python's
// KeyboardInterrupt) or an exception in the callback stops the run, and is
// raised once the run has ended.
py::dict Calibrate(py::array_t<std::uint8_t> cells, std::vector<std::string> itemNames,
                   std::vector<std::string> ids, std::vector<double> thetas, std::string key,
                   std::string label, py::dict options, py::object progress,
                   std::vector<std::size_t> rowCells, py::object executor) {
    if (cells.ndim() != 2) throw py::value_error("the responses must be a two-dimensional array");
    tarvo::lib::Responses responses;
    responses.examinees = static_cast<std::size_t>(cells.shape(0));
    responses.items = static_cast<std::size_t>(cells.shape(1));
    responses.cells = reinterpret_cast<const char*>(cells.data());
    responses.examineeStride = cells.strides(0);
    responses.itemStride = cells.strides(1);
    responses.itemNames = std::move(itemNames);
    responses.ids = std::move(ids);
    responses.thetas = std::move(thetas);
    responses.key = std::move(key);
    responses.rowCells = std::move(rowCells);
    if (!label.empty()) responses.label = std::move(label);
    // One label per examinee ('' unknown); the run checks the count.
    if (options.contains("group_labels") && !options["group_labels"].is_none()) {
        responses.groups = options["group_labels"].cast<std::vector<std::string>>();
    }
    const Options parsed = OptionsOf(options);

    std::optional<py::error_already_set> raised;
    auto lastLook = std::chrono::steady_clock::now();
    tarvo::lib::Control control;
    control.stopPoll = [&]() {
        if (raised) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastLook < kSignalLook) return false;
        lastLook = now;
        py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
            raised.emplace();
            return true;
        }
        return false;
    };
    if (!progress.is_none()) {
        control.progress = [&](int percent, const std::string& text) {
            if (raised) return;
            py::gil_scoped_acquire gil;
            try {
                progress(percent, text);
            } catch (py::error_already_set& failure) {
                raised.emplace(std::move(failure));
            }
        };
    }
    control.executor = ExecutorOf(executor, raised);
    auto result = std::make_unique<Result>();
    {
        py::gil_scoped_release released;
        *result = tarvo::lib::Calibrate(responses, parsed, control);
    }
    if (raised) throw std::move(*raised);
    return Tables(std::move(result));
}

// A form: a fit's engine result (the capsule calibrate returned) or a file.
tarvo::lib::Form FormOf(const py::object& form, const std::string& model,
                        const std::string& label) {
    tarvo::lib::Form out;
    if (py::isinstance<py::capsule>(form)) {
        out.fit = static_cast<const Result*>(form.cast<py::capsule>().get_pointer());
    } else {
        out.file = form.cast<std::string>();
    }
    out.model = model;
    out.label = label;
    return out;
}

py::dict CurveOf(const tarvo::lib::TestCurve& c) {
    return py::dict(py::arg("theta") = c.theta, py::arg("expected_score") = c.expectedScore,
                    py::arg("information") = c.information, py::arg("se") = c.se);
}

py::dict ScoreRowsOf(const std::vector<tarvo::lib::ScoreRow>& rows) {
    using tarvo::lib::ScoreRow;
    return py::dict(py::arg("score") = Copied(rows, &ScoreRow::score),
                    py::arg("proportion") = Copied(rows, &ScoreRow::proportion),
                    py::arg("eap") = Copied(rows, &ScoreRow::eap),
                    py::arg("eap_sd") = Copied(rows, &ScoreRow::eapSd),
                    py::arg("ml") = Copied(rows, &ScoreRow::ml));
}

py::list ConstantsOf(const std::vector<tarvo::lib::LinkConstants>& rows) {
    py::list list;
    for (const auto& k : rows) {
        list.append(py::dict(py::arg("method") = k.method, py::arg("ok") = k.ok, py::arg("A") = k.A,
                             py::arg("B") = k.B, py::arg("se_A") = k.seA, py::arg("se_B") = k.seB,
                             py::arg("problem") = k.problem,
                             py::arg("bootstrap_replicates") = k.bootstrapReplicates));
    }
    return list;
}

template <typename T>
void Set(const py::dict& d, const char* key, std::optional<T>& target) {
    target = Get<T>(d, key);
}

tarvo::lib::LinkOptions LinkOptionsOf(const py::dict& d) {
    tarvo::lib::LinkOptions o;
    o.method = GetText(d, "method");
    o.anchorsFile = GetText(d, "anchors_file");
    o.anchors = Get<std::vector<std::pair<std::string, std::string>>>(d, "anchors")
                    .value_or(std::vector<std::pair<std::string, std::string>>{});
    Set(d, "criterion_points", o.criterionPoints);
    Set(d, "criterion_range", o.criterionRange);
    Set(d, "criterion_mean", o.criterionMean);
    Set(d, "criterion_sd", o.criterionSd);
    o.symmetric = GetFlag(d, "symmetric");
    Set(d, "bootstrap", o.bootstrap);
    Set(d, "seed", o.seed);
    Set(d, "drift_z", o.driftZ);
    o.dropDrifting = GetFlag(d, "drop_drifting");
    Set(d, "population_points", o.populationPoints);
    Set(d, "population_mean", o.populationMean);
    Set(d, "population_sd", o.populationSd);
    Set(d, "population_range", o.populationRange);
    o.reportFile = GetText(d, "report_file");
    o.htmlReportFile = GetText(d, "html_report_file");
    o.transformedItemsFile = GetText(d, "transformed_items_file");
    o.scoreTableFile = GetText(d, "score_table_file");
    o.equatingTableFile = GetText(d, "equating_table_file");
    o.abilitiesFrom = GetText(d, "abilities_from");
    o.transformedAbilitiesFile = GetText(d, "transformed_abilities_file");
    o.runnerOptions = Get<std::vector<std::pair<std::string, std::string>>>(d, "runner_options")
                          .value_or(std::vector<std::pair<std::string, std::string>>{});
    return o;
}

// Calls the engine with the interpreter's lock released; Ctrl-C while a
// form is read stops it.
template <typename Answer, typename Call>
Answer Released(Call&& call) {
    std::optional<py::error_already_set> raised;
    tarvo::lib::Control control;
    control.stopPoll = [&raised] {
        py::gil_scoped_acquire gil;
        if (!raised && PyErr_CheckSignals() != 0) raised.emplace();
        return raised.has_value();
    };
    Answer answer;
    {
        py::gil_scoped_release released;
        answer = call(control);
    }
    if (raised) throw std::move(*raised);
    return answer;
}

py::dict Link(const py::object& base, const py::object& fresh, const std::string& baseModel,
              const std::string& newModel, const std::string& baseLabel,
              const std::string& newLabel, const py::dict& options) {
    const tarvo::lib::Form baseForm = FormOf(base, baseModel, baseLabel);
    const tarvo::lib::Form newForm = FormOf(fresh, newModel, newLabel);
    const tarvo::lib::LinkOptions parsed = LinkOptionsOf(options);
    const auto r = Released<tarvo::lib::LinkResult>([&](const tarvo::lib::Control& control) {
        return tarvo::lib::Link(baseForm, newForm, parsed, control);
    });
    py::dict d;
    d["ok"] = r.ok;
    d["error"] = r.error;
    d["messages"] = r.messages;
    d["constants"] = ConstantsOf(r.constants);
    d["constants_before_drop"] = ConstantsOf(r.constantsBeforeDrop);
    d["chosen_method"] = r.chosenMethod;
    d["common_items"] = r.commonItems;
    d["matched_by"] = r.matchedBy;
    d["drift_screened"] = r.driftScreened;
    d["drift_note"] = r.driftNote;
    py::list drift;
    for (const auto& f : r.drift) {
        drift.append(py::dict(
            py::arg("base_id") = f.baseId, py::arg("new_id") = f.newId, py::arg("b_base") = f.bBase,
            py::arg("b_new_on_base") = f.bNewOnBase, py::arg("difference") = f.difference,
            py::arg("z") = f.z, py::arg("se_difference") = f.seDifference,
            py::arg("difference_over_se") = f.differenceOverSe, py::arg("drifting") = f.drifting,
            py::arg("flagged_by") = f.flaggedBy));
    }
    d["drift"] = drift;
    d["dropped"] = r.dropped;
    py::list items;
    for (const auto& i : r.transformed) {
        items.append(py::dict(py::arg("id") = i.id, py::arg("a") = i.a, py::arg("b") = i.b,
                              py::arg("c") = i.c, py::arg("se_a") = i.seA, py::arg("se_b") = i.seB,
                              py::arg("se_c") = i.seC));
    }
    d["transformed"] = items;
    d["base_curve"] = CurveOf(r.baseCurve);
    d["new_curve"] = CurveOf(r.newCurve);
    py::list equating;
    for (const auto& e : r.equating) {
        equating.append(py::dict(py::arg("new_score") = e.newScore, py::arg("theta") = e.theta,
                                 py::arg("base_score") = e.baseScore));
    }
    d["equating"] = equating;
    d["equating_error"] = r.equatingError;
    d["score_table"] = ScoreRowsOf(r.scoreTable);
    d["report_json"] = r.reportJson;
    return d;
}

py::dict ScoreTable(const py::object& form, const std::string& model, const std::string& label,
                    const py::dict& options) {
    const tarvo::lib::Form parsedForm = FormOf(form, model, label);
    tarvo::lib::ScoreTableOptions o;
    Set(options, "population_points", o.populationPoints);
    Set(options, "population_mean", o.populationMean);
    Set(options, "population_sd", o.populationSd);
    Set(options, "population_range", o.populationRange);
    o.reportFile = GetText(options, "report_file");
    o.htmlReportFile = GetText(options, "html_report_file");
    o.scoreTableFile = GetText(options, "score_table_file");
    o.runnerOptions =
        Get<std::vector<std::pair<std::string, std::string>>>(options, "runner_options")
            .value_or(std::vector<std::pair<std::string, std::string>>{});
    const auto r = Released<tarvo::lib::ScoreTableResult>([&](const tarvo::lib::Control& control) {
        return tarvo::lib::ScoreTable(parsedForm, o, control);
    });
    return py::dict(py::arg("ok") = r.ok, py::arg("error") = r.error,
                    py::arg("messages") = r.messages, py::arg("rows") = ScoreRowsOf(r.rows),
                    py::arg("curve") = CurveOf(r.curve), py::arg("report_json") = r.reportJson);
}

}  // namespace

PYBIND11_MODULE(_tarvo, m) {
    m.doc() = "TARVO's calibration for Python (the library interface)";
    m.def("calibrate", &Calibrate, py::arg("cells"), py::arg("item_names"), py::arg("ids"),
          py::arg("thetas"), py::arg("key"), py::arg("label"), py::arg("options"),
          py::arg("progress") = py::none(), py::arg("row_cells") = std::vector<std::size_t>{},
          py::arg("executor") = py::none());
    m.def("link", &Link, py::arg("base"), py::arg("new"), py::arg("base_model"),
          py::arg("new_model"), py::arg("base_label"), py::arg("new_label"), py::arg("options"));
    m.def("score_table", &ScoreTable, py::arg("form"), py::arg("model"), py::arg("label"),
          py::arg("options"));
    m.def("version", &tarvo::lib::Version);
}
