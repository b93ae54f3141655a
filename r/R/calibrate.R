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
#' @return an object of class \code{tarvo_fit}.
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
                            output_file = NULL) {
  metric <- match.arg(metric)
  scoring <- match.arg(scoring)
  if (!identical(method, "mml")) {
    stop("method must be \"mml\"; the classic joint estimator is tarvo_classic()")
  }
  options <- c("--method", "mml", "--model", model, "--quadrature", tarvo_whole(quadrature),
               "--scoring", scoring, "--em-cycles", tarvo_whole(em_cycles),
               "--em-tolerance", format(em_tolerance, digits = 17))
  options <- c(options, tarvo_prior("--prior-a", prior_a), tarvo_prior("--prior-b", prior_b),
               tarvo_prior("--prior-c", prior_c))
  if (!is.null(compare)) options <- c(options, "--compare", paste(compare, collapse = ","))
  if (!is.null(binary_model)) options <- c(options, "--binary-model", binary_model)
  if (isTRUE(collapse_empty)) options <- c(options, "--collapse-empty")
  if (isTRUE(fix_items)) options <- c(options, "--fix-items")
  if (isTRUE(estimate_population)) options <- c(options, "--estimate-population")
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
  options <- c("--method", "jml", "--standardize", if (isTRUE(standardize)) "yes" else "no")
  tarvo_fit_run(data, options, mode = mode, key = key, items = items, theta = theta,
                metric = metric, score_table = score_table, threads = threads,
                strict = strict, output_file = output_file, call = match.call())
}

tarvo_whole <- function(x) {
  if (!is.numeric(x) || length(x) != 1 || is.na(x)) return(as.character(x))
  sprintf("%.0f", x)
}

tarvo_prior <- function(option, value) {
  if (is.null(value)) return(character())
  if (isFALSE(value) || identical(value, "none")) return(c(option, "none"))
  c(option, paste(format(value, digits = 17, trim = TRUE), collapse = ","))
}

# Runs the engine on the data with the runner's options and reads its
# report into a fit object.
tarvo_fit_run <- function(data, options, mode, key, items, theta, metric, score_table,
                          threads, strict, output_file, call) {
  prepared <- tarvo_prepare_responses(data)
  folder <- tempfile("tarvo")
  dir.create(folder)
  on.exit(unlink(folder, recursive = TRUE), add = TRUE)
  responses <- file.path(folder, "responses.csv")
  if (!is.null(theta) && length(theta) != nrow(prepared$cells)) {
    stop(sprintf("theta has %d values, but the data have %d examinees.", length(theta),
                 nrow(prepared$cells)))
  }
  tarvo_write_responses(prepared, responses, theta)
  first <- if (is.null(theta)) 2 else 3
  options <- c("--mode", tarvo_whole(mode), options, "--response-file", responses,
               "--format", "csv", "--id-column", "1",
               "--item-columns", sprintf("%d:%d", first, first + ncol(prepared$cells) - 1),
               "--output-file", if (is.null(output_file)) file.path(folder, "result.txt")
                                else path.expand(output_file),
               "--threads", tarvo_whole(threads))
  if (!is.null(theta)) options <- c(options, "--theta-column", "2")
  if (!is.null(key)) {
    options <- c(options, "--key", paste(key, collapse = if (length(key) > 1) "," else ""))
  }
  if (!is.null(items)) {
    itemFile <- file.path(folder, "items.txt")
    tarvo_write_items(items, ncol(prepared$cells), itemFile)
    cols <- tarvo_item_columns
    options <- c(options, "--item-file", itemFile,
                 "--a-start", cols$a[1], "--a-length", cols$a[2],
                 "--b-start", cols$b[1], "--b-length", cols$b[2],
                 "--c-start", cols$c[1], "--c-length", cols$c[2])
  }
  tableFile <- NULL
  if (isTRUE(score_table)) {
    tableFile <- file.path(folder, "scores.csv")
    options <- c(options, "--score-table", tableFile)
  }
  if (isTRUE(strict)) options <- c(options, "--strict")
  run <- .tarvo_run(as.character(options))
  report <- jsonlite::fromJSON(run$report, simplifyVector = FALSE)
  if (!identical(run$end, "finished")) {
    message <- c(run$messages, report$run$error)
    message <- sub("^ERROR ", "", message[nzchar(message)])
    if (!length(message)) message <- sprintf("The run ended: %s.", run$end)
    stop(paste(unique(message), collapse = "\n"), call. = FALSE)
  }
  table <- if (!is.null(tableFile) && file.exists(tableFile)) {
    utils::read.csv(tableFile, check.names = FALSE)
  }
  fit <- tarvo_fit_from_report(report, prepared, metric, call)
  if (is.null(fit$score_table) && !is.null(table)) fit$score_table <- table
  fit$scored <- tarvo_scores_of(prepared, key)
  fit
}

# The responses as scores (NA missing): the key's right answer 1, any other
# answer 0; without a key the cells' own numbers.
tarvo_scores_of <- function(prepared, key) {
  cells <- prepared$cells
  if (!is.null(key)) {
    keys <- if (length(key) == 1) strsplit(key, "")[[1]] else as.character(key)
    scored <- matrix(as.numeric(t(t(cells) == keys)), nrow = nrow(cells))
  } else {
    scored <- suppressWarnings(matrix(as.numeric(cells), nrow = nrow(cells)))
  }
  scored[cells == "" | is.na(cells)] <- NA
  dimnames(scored) <- list(prepared$ids, prepared$items)
  scored
}
