# The engine's typed tables made into the fit object's data frames: item
# names and examinee IDs as row names, NA where a value is not defined.

tarvo_item_frame <- function(items, names, metric) {
  scale <- if (metric == "logistic") tarvo_D else 1
  frame <- data.frame(model = items$model, a = items$a * scale, b = items$b, c = items$c,
                      se_a = items$se_a * scale, se_b = items$se_b, se_c = items$se_c,
                      nobs = items$nobs, omitted = items$omitted, p_value = items$p_value,
                      item_rest = items$item_rest, held = items$held,
                      categories = items$categories, flags = items$flags,
                      stringsAsFactors = FALSE)
  rownames(frame) <- make.unique(names)
  # Items scored 0..m: their thresholds b1..bm, beside b.
  thresholds <- items$thresholds
  most <- max(0L, vapply(thresholds, length, integer(1)))
  if (most > 1) {
    for (k in seq_len(most)) {
      frame[[paste0("b", k)]] <- vapply(thresholds, function(t) {
        if (length(t) >= k) t[[k]] else NA_real_
      }, numeric(1))
    }
  }
  frame
}

tarvo_frame <- function(columns, names, rows) {
  frame <- as.data.frame(columns[names], stringsAsFactors = FALSE)
  rownames(frame) <- make.unique(rows)
  frame
}

tarvo_fit_of <- function(run, prepared, metric, call) {
  items <- run$items
  persons <- run$persons
  comparison <- if (length(run$comparison$models$model)) {
    models <- as.data.frame(run$comparison$models, stringsAsFactors = FALSE)
    tests <- as.data.frame(run$comparison$tests, stringsAsFactors = FALSE)
    structure(models, tests = tests)
  }
  modelFit <- run$model_fit
  # An item freed across groups is one row per group ("Q1 [ref]"), so the
  # rows then go by the run's own item names.
  itemRows <- if (length(prepared$items) == length(items$a)) prepared$items else items$name
  fit <- list(
    call = call,
    method = run$method,
    model = run$model,
    mode = run$mode,
    metric = metric,
    D = if (metric == "logistic") 1 else tarvo_D,
    items = tarvo_item_frame(items, itemRows, metric),
    persons = tarvo_frame(persons, c("theta", "se_theta", "raw_score", "nvalid", "flags"),
                          prepared$ids),
    itemfit = tarvo_frame(items, c("S_X2", "df", "p", "p_adjusted", "infit", "outfit",
                                   "infit_t", "outfit_t", "note"), itemRows),
    personfit = tarvo_frame(persons, c("lz", "infit", "outfit", "note"), prepared$ids),
    loglik = run$log_likelihood,
    npar = if (isTRUE(modelFit$defined)) modelFit$parameters else NA_integer_,
    model_fit = modelFit,
    comparison = comparison,
    score_table = if (length(run$score_table$score)) {
      as.data.frame(run$score_table, stringsAsFactors = FALSE)
    },
    reliability = run$reliability,
    trace = run$trace,
    warnings = run$warnings,
    report_json = run$report_json,
    engine = run$engine_result)
  fit[c("groups", "group_calibration", "dif")] <- tarvo_group_tables(run$group_sections_json)
  class(fit) <- "tarvo_fit"
  fit
}

#' The run's whole report
#'
#' @param fit a \code{tarvo_fit}.
#' @return the run report as the runner's \code{--report} writes it, read
#'   by \code{jsonlite::fromJSON} (every section: the input check's
#'   findings, local dependence, the population, ...).
#' @export
tarvo_report <- function(fit) {
  stopifnot(inherits(fit, "tarvo_fit"))
  jsonlite::fromJSON(fit$report_json, simplifyVector = FALSE)
}
