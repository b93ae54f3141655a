# The engine's scaling constant: parameters are printed on the normal-ogive
# metric, logit = D a (theta - b) with D = 1.7; metric = "logistic" prints
# a as D a (D = 1), as most R packages do.
tarvo_D <- 1.7

#' Calibrate item responses by marginal maximum likelihood
#'
#' Fits an item response model to a matrix or data frame of responses with
#' the TARVO engine and returns a fit object. The estimates are the runner
#' \code{tarvo-run}'s for the same data and options, to the last bit.
#'
#' @param data a data frame or matrix, one row per examinee and one column
#'   per item: 0/1 (or logical), whole scores 0..8 for items scored 0..m,
#'   or characters scored by \code{key}; \code{NA} is a missing response.
#'   Row names are the examinees' IDs, column names the items'.
#' @param model "3pl", "2pl", "1pl", "rasch", "3pl-c-given", or for items
#'   scored 0..m "grm", "gpcm", "pcm", "rsm".
#' @param method "mml" (marginal maximum likelihood); for the classic joint
#'   estimator see \code{\link{tarvo_classic}}.
#' @param key the answer key for character responses: one string with one
#'   character per item, or a vector with one cell per item.
#' @param items given item parameters (a data frame with columns a, b, c),
#'   held with \code{fix_items = TRUE}; \code{NA} leaves an item free.
#' @param fix_items hold the items given in \code{items} at their values.
#' @param metric "tarvo" (D = 1.7, the default) or "logistic" (D = 1).
#' @param prior_a,prior_b,prior_c priors: \code{NULL} for the model's own,
#'   \code{FALSE} for none, or \code{c(mean, sd)} (\code{c(alpha, beta)}
#'   for c).
#' @param quadrature quadrature points.
#' @param scoring "eap", "map" or "ml".
#' @param em_cycles,em_tolerance the EM cycle limit and tolerance.
#' @param compare models to fit besides for a comparison (\code{anova}).
#' @param binary_model the model of right/wrong items beside items scored
#'   0..m.
#' @param collapse_empty merge an unused middle category of an item.
#' @param estimate_population with held items: estimate the ability mean
#'   and SD.
#' @param score_table form the summed-score table (\code{tarvo_score_table}).
#' @param threads worker threads (0: one per core).
#' @param strict end the run with an error on a serious finding of the input
#'   check (letters without a key, scores read as right/wrong, ...); with
#'   \code{FALSE} the run goes on, as the runner's does without
#'   \code{--strict}, and the findings are among the fit's warnings.
#' @param output_file write the runner's result file here (none by default).
#' @param group the examinees' groups: the name of a column of \code{data}
#'   (that column is then no item) or one label per examinee; \code{NA} is
#'   unknown.
#' @param groups calibrate the groups together: one set of items, the
#'   reference group N(0, 1), each other group's mean and SD estimated.
#' @param reference_group,focal_groups the reference group's label and the
#'   focal groups' (default: the first group, and all others).
#' @param dif DIF screens of each focal group against the reference group:
#'   any of "mh", "std", "lr", "irt".
#' @param dif_match the screens' matching score, "total" or "rest".
#' @param anchors the items the IRT screen holds equal across the groups
#'   (names or 1-based numbers); by default every item but the one studied.
#' @param free_items items whose parameters are estimated apart in each group
#'   of a calibration with \code{groups = TRUE} (names or 1-based numbers).
#' @param free_dif with \code{groups = TRUE}: free the items the DIF screens
#'   flag.
#' @return an object of class \code{tarvo_fit}; with groups, its
#'   \code{groups}, \code{group_calibration} and \code{dif} data frames
#'   hold what the run reported (\code{NULL} when it reported none).
#' @examples
#' data <- read.csv(system.file("extdata", "lsat7.csv", package = "tarvo"))
#' fit <- tarvo_calibrate(data, model = "2pl", threads = 1)
#' coef(fit)
#' @export
tarvo_calibrate <- function(data, model = "3pl", method = "mml", key = NULL, items = NULL,
                            fix_items = FALSE, metric = c("tarvo", "logistic"),
                            prior_a = NULL, prior_b = NULL, prior_c = NULL, quadrature = 61,
                            scoring = c("eap", "map", "ml"), em_cycles = 500,
                            em_tolerance = 1e-4, compare = NULL, binary_model = NULL,
                            collapse_empty = FALSE, estimate_population = FALSE,
                            score_table = FALSE, threads = 0, strict = TRUE,
                            output_file = NULL, group = NULL, groups = FALSE,
                            reference_group = NULL, focal_groups = NULL, dif = NULL,
                            dif_match = NULL, anchors = NULL, free_items = NULL,
                            free_dif = FALSE) {
  metric <- match.arg(metric)
  scoring <- match.arg(scoring)
  split <- tarvo_split_groups(data, group)
  data <- split$data
  if (!identical(method, "mml")) {
    stop("method must be \"mml\"; the classic joint estimator is tarvo_classic()")
  }
  options <- list(method = "mml", model = model, quadrature = quadrature, scoring = scoring,
                  em_cycles = em_cycles, em_tolerance = em_tolerance,
                  prior_a = tarvo_prior(prior_a), prior_b = tarvo_prior(prior_b),
                  prior_c = tarvo_prior(prior_c), compare = compare,
                  binary_model = binary_model, collapse_empty = isTRUE(collapse_empty),
                  fix_items = isTRUE(fix_items),
                  estimate_population = isTRUE(estimate_population),
                  group_labels = split$labels,
                  runner_options = tarvo_group_options(groups, reference_group, focal_groups,
                                                       dif, dif_match, anchors, free_items,
                                                       free_dif))
  tarvo_fit_run(data, options, mode = 3, key = key, items = items, theta = NULL,
                metric = metric, score_table = score_table, threads = threads,
                strict = strict, output_file = output_file, call = match.call())
}

#' The classic joint estimator in one of its modes
#'
#' @param data responses as for \code{\link{tarvo_calibrate}}.
#' @param mode 1..8: 1 theta from given items; 2 items from given theta; 3
#'   theta, a, b, c; 4 a, b from given c and theta; 5 theta, a, b from given
#'   c; 6 theta, b (1PL); 7 theta from given b; 8 b from given theta.
#' @param items given item parameters (data frame with a, b, c) for modes
#'   1, 4, 5 and 7.
#' @param theta given abilities, one per examinee, for modes 2, 4 and 8.
#' @param standardize joint modes: standardise theta after each pass.
#' @inheritParams tarvo_calibrate
#' @return an object of class \code{tarvo_fit}.
#' @export
tarvo_classic <- function(data, mode = 3, key = NULL, items = NULL, theta = NULL,
                          standardize = TRUE, metric = c("tarvo", "logistic"),
                          score_table = FALSE, threads = 0, strict = TRUE,
                          output_file = NULL) {
  metric <- match.arg(metric)
  options <- list(method = "jml", standardize = isTRUE(standardize))
  tarvo_fit_run(data, options, mode = mode, key = key, items = items, theta = theta,
                metric = metric, score_table = score_table, threads = threads,
                strict = strict, output_file = output_file, call = match.call())
}

# A prior as the engine takes it: NULL the model's own, FALSE none, or its
# two numbers.
tarvo_prior <- function(value) {
  if (is.null(value)) return(NULL)
  if (isFALSE(value) || identical(value, "none")) return(FALSE)
  if (!is.numeric(value) || length(value) != 2) {
    stop("a prior is NULL (the model's own), FALSE (none) or two numbers")
  }
  as.numeric(value)
}

# Runs the engine on the data with the options and makes its tables a fit
# object.
tarvo_fit_run <- function(data, options, mode, key, items, theta, metric, score_table,
                          threads, strict, output_file, call) {
  prepared <- tarvo_prepare_responses(data)
  if (!is.null(theta) && length(theta) != prepared$examinees) {
    stop(sprintf("theta has %d values, but the data have %d examinees.", length(theta),
                 prepared$examinees))
  }
  options$mode <- mode
  options$threads <- threads
  options$strict <- isTRUE(strict)
  options$score_table <- isTRUE(score_table)
  options$output_file <- if (!is.null(output_file)) path.expand(output_file)
  if (!is.null(items)) {
    given <- tarvo_given_items(items, length(prepared$items))
    if (!any(is.na(unlist(given)) & !is.nan(unlist(given)))) {
      options$given_items <- given
    } else {
      # NA leaves an item free: a blank line of an item parameter file.
      folder <- tempfile("tarvo")
      dir.create(folder)
      on.exit(unlink(folder, recursive = TRUE), add = TRUE)
      itemFile <- file.path(folder, "items.txt")
      tarvo_write_items(given, itemFile)
      cols <- tarvo_item_columns
      options$runner_options <- c(
        options$runner_options, "item-file", itemFile, "a-start", cols$a[1], "a-length", cols$a[2],
        "b-start", cols$b[1], "b-length", cols$b[2], "c-start", cols$c[1], "c-length", cols$c[2])
    }
  }
  keyText <- if (is.null(key)) "" else paste(key, collapse = if (length(key) > 1) "," else "")
  run <- .tarvo_calibrate(prepared$values, prepared$items, prepared$ids,
                          if (is.null(theta)) numeric() else as.numeric(theta), keyText, options)
  fit <- tarvo_fit_of(run, prepared, metric, call)
  fit$key <- key
  fit$prepared <- prepared
  fit
}
