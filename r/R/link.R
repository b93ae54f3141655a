# Linking two calibrations, as tarvo-run --link makes it, over fits in
# memory or item and result files.

# A form as the engine takes it: a fit's engine result, or a file's path.
tarvo_form <- function(form) {
  if (inherits(form, "tarvo_fit")) {
    if (is.null(form$engine)) stop("the fit holds no engine result: link its result file instead")
    return(form$engine)
  }
  if (is.character(form) && length(form) == 1) return(path.expand(form))
  stop("a form is a tarvo_fit or the path of an item parameter file or a result file")
}

tarvo_path <- function(path) if (!is.null(path)) path.expand(path)

# Runner options as alternating names and values (without the dashes).
tarvo_runner_pairs <- function(options) {
  if (is.null(options)) return(NULL)
  as.character(rbind(names(options), unlist(options, use.names = FALSE)))
}

#' Put a new form on a base form's scale
#'
#' Links two calibrations from their common items, theta_base = A theta_new +
#' B, by mean/mean, mean/sigma, Haebara and Stocking-Lord, with the runner's
#' errors, drift screen, true-score equating and score table: the link
#' \code{tarvo-run --link} makes of the same forms, with the same JSON
#' report and files.
#'
#' @param base,new a \code{tarvo_fit} of right/wrong items (read at full
#'   precision; each item named by its ID, or its column name without one)
#'   or the path of an item parameter file or a result file.
#' @param method whose constants carry the new form over: "stocking-lord",
#'   "haebara", "mean/mean" or "mean/sigma".
#' @param anchors the common items: \code{NULL} the items of the same ID, a
#'   file's path, or a two-column matrix or data frame of IDs (base, new).
#' @param base_model,new_model "3pl", "2pl" or "1pl"; \code{NULL}: the fit's
#'   or the file's own.
#' @param bootstrap standard errors from this many resamples of the common
#'   items (\code{seed}); \code{NULL}: the delta method.
#' @param seed the resamples' seed.
#' @param drift_z,drop_drifting the drift screen's threshold, and whether to
#'   link again without the drifting items.
#' @param ... other options of \code{tarvo-run --link} with underscores:
#'   criterion_points, criterion_range, criterion_mean, criterion_sd,
#'   symmetric, population_mean, population_sd, population_points,
#'   population_range, report_file, transformed_items_file,
#'   score_table_file, equating_table_file, runner_options (a named list).
#' @return an object of class \code{tarvo_link}: \code{constants} (a data
#'   frame by method), \code{A}, \code{B}, \code{drift}, \code{transformed},
#'   \code{equating}, \code{score_table}, \code{curves} and
#'   \code{report_json}.
#' @export
tarvo_link <- function(base, new, method = "stocking-lord", anchors = NULL, base_model = NULL,
                       new_model = NULL, bootstrap = NULL, seed = NULL, drift_z = NULL,
                       drop_drifting = FALSE, ...) {
  extra <- list(...)
  options <- list(method = method, bootstrap = bootstrap, seed = seed, drift_z = drift_z,
                  drop_drifting = isTRUE(drop_drifting))
  for (name in names(extra)) {
    value <- extra[[name]]
    options[[name]] <- if (grepl("_file$", name)) tarvo_path(value) else value
  }
  options$runner_options <- tarvo_runner_pairs(extra$runner_options)
  if (is.character(anchors) && length(anchors) == 1) {
    options$anchors_file <- path.expand(anchors)
  } else if (!is.null(anchors)) {
    pairs <- as.matrix(anchors)
    if (ncol(pairs) != 2) stop("anchors: two columns of IDs, base then new")
    options$anchors <- as.character(t(pairs))
  }
  run <- .tarvo_link(tarvo_form(base), tarvo_form(new), if (is.null(base_model)) "" else base_model,
                     if (is.null(new_model)) "" else new_model, "", "", options)
  constants <- as.data.frame(run$constants, stringsAsFactors = FALSE)
  chosen <- constants[constants$method == run$method, ]
  structure(list(
    method = run$method,
    A = chosen$A,
    B = chosen$B,
    constants = constants,
    constants_before_drop = if (length(run$constants_before_drop$method)) {
      as.data.frame(run$constants_before_drop, stringsAsFactors = FALSE)
    },
    common_items = run$common_items,
    matched_by = run$matched_by,
    drift = as.data.frame(run$drift, stringsAsFactors = FALSE),
    dropped = run$dropped,
    transformed = as.data.frame(run$transformed, stringsAsFactors = FALSE),
    equating = as.data.frame(run$equating),
    score_table = as.data.frame(run$score_table),
    curves = list(base = as.data.frame(run$base_curve), new = as.data.frame(run$new_curve)),
    messages = run$messages,
    report_json = run$report_json), class = "tarvo_link")
}

#' @export
print.tarvo_link <- function(x, ...) {
  cat(sprintf("TARVO link (%s, %d common items by %s): A = %.6f, B = %.6f\n", x$method,
              as.integer(x$common_items), x$matched_by, x$A, x$B))
  print(x$constants[, c("method", "A", "B", "se_A", "se_B")], row.names = FALSE)
  if (length(x$dropped)) cat("dropped:", paste(x$dropped, collapse = ", "), "\n")
  invisible(x)
}
