#' Methods for a TARVO fit
#'
#' \code{coef} gives the item parameters (a, b, c; the thresholds b1..bm of
#' items scored 0..m) with item names as row names; \code{logLik} the
#' marginal log-likelihood with the number of free parameters, so that
#' \code{AIC} and \code{BIC} work; \code{fitted} each examinee's expected
#' score on each item at the estimated ability, \code{residuals} the
#' observed score less it (\code{type = "standardized"} divides by its SD).
#'
#' @param object,x a \code{tarvo_fit}.
#' @param ... further fits (\code{anova}) or ignored.
#' @param type for \code{residuals}: "raw" or "standardized".
#' @name tarvo_fit_methods
NULL

#' @rdname tarvo_fit_methods
#' @export
coef.tarvo_fit <- function(object, ...) {
  items <- object$items
  keep <- c("a", "b", "c", grep("^b[0-9]+$", names(items), value = TRUE))
  items[, keep, drop = FALSE]
}

#' @rdname tarvo_fit_methods
#' @export
print.tarvo_fit <- function(x, ...) {
  cat(sprintf("TARVO calibration: %s, model %s, %d examinees x %d items (%s metric, D = %g)\n",
              if (identical(x$method, "mml")) "marginal ML" else sprintf("classic mode %d", x$mode),
              x$model, nrow(x$persons), nrow(x$items), x$metric, x$D))
  if (!is.na(x$loglik)) cat(sprintf("log-likelihood %.4f\n", x$loglik))
  print(coef(x), digits = 4)
  invisible(x)
}

#' @rdname tarvo_fit_methods
#' @export
summary.tarvo_fit <- function(object, ...) {
  items <- object$items
  columns <- intersect(c("model", "a", "se_a", "b", "se_b", "c", "se_c", "nobs", "p_value",
                         "item_rest", "flags"), names(items))
  structure(list(fit = object, items = items[, columns, drop = FALSE],
                 itemfit = object$itemfit, reliability = object$reliability,
                 warnings = object$warnings),
            class = "summary.tarvo_fit")
}

#' @export
print.summary.tarvo_fit <- function(x, ...) {
  fit <- x$fit
  print.tarvo_fit(fit)
  cat("\nItems:\n")
  print(x$items, digits = 4)
  if (!is.na(fit$loglik)) {
    cat(sprintf("\n-2LL %.4f  AIC %.4f  BIC %.4f  (%d parameters)\n", -2 * fit$loglik,
                stats::AIC(fit), stats::BIC(fit), fit$npar))
  }
  r <- x$reliability
  if (!is.null(r$empirical)) cat(sprintf("Empirical reliability %.4f\n", r$empirical))
  if (length(x$warnings)) cat("\nWarnings:\n", paste0("- ", x$warnings, "\n"), sep = "")
  invisible(x)
}

#' @rdname tarvo_fit_methods
#' @export
logLik.tarvo_fit <- function(object, ...) {
  structure(object$loglik, df = object$npar, nobs = nrow(object$persons), class = "logLik")
}

#' @rdname tarvo_fit_methods
#' @export
nobs.tarvo_fit <- function(object, ...) nrow(object$persons)

#' @rdname tarvo_fit_methods
#' @export
anova.tarvo_fit <- function(object, ...) {
  fits <- c(list(object), list(...))
  if (length(fits) == 1) {
    if (is.null(object$comparison)) {
      stop("anova needs two nested fits, or one fitted with compare = ")
    }
    return(object$comparison)
  }
  n <- vapply(fits, function(f) nrow(f$persons), integer(1))
  same <- vapply(fits, function(f) identical(f$prepared$values, object$prepared$values),
                 logical(1))
  if (!all(same)) stop("the fits are not of the same data")
  ll <- vapply(fits, function(f) f$loglik, numeric(1))
  df <- vapply(fits, function(f) as.numeric(f$npar), numeric(1))
  if (anyNA(ll)) stop("a fit without a marginal log-likelihood cannot be compared")
  order <- order(df)
  ll <- ll[order]
  df <- df[order]
  chisq <- c(NA, 2 * diff(ll))
  ddf <- c(NA, diff(df))
  table <- data.frame(
    npar = df, logLik = ll, AIC = -2 * ll + 2 * df, BIC = -2 * ll + log(n[1]) * df,
    chisq = chisq, df = ddf,
    p = ifelse(is.na(ddf) | ddf <= 0, NA_real_, stats::pchisq(chisq, ddf, lower.tail = FALSE)))
  rownames(table) <- make.unique(vapply(fits[order], function(f) f$model, character(1)))
  class(table) <- c("anova", "data.frame")
  attr(table, "heading") <- "Likelihood-ratio tests of nested TARVO models"
  table
}

# The category probabilities of every item at the abilities theta: a list
# by item of matrices, one row per ability and one column per score 0..m.
tarvo_category_probabilities <- function(fit, theta) {
  items <- fit$items
  D <- fit$D
  lapply(seq_len(nrow(items)), function(j) {
    a <- items$a[j]
    model <- items$model[j]
    if (items$categories[j] <= 2) {
      c <- if (is.na(items$c[j])) 0 else items$c[j]
      p <- c + (1 - c) * stats::plogis(D * a * (theta - items$b[j]))
      return(cbind(1 - p, p))
    }
    b <- unlist(items[j, paste0("b", seq_len(items$categories[j] - 1))])
    if (identical(model, "grm")) {
      above <- cbind(1, vapply(b, function(bk) stats::plogis(D * a * (theta - bk)),
                                numeric(length(theta))), 0)
      return(above[, -ncol(above), drop = FALSE] - above[, -1, drop = FALSE])
    }
    steps <- vapply(b, function(bk) D * a * (theta - bk), numeric(length(theta)))
    steps <- matrix(steps, nrow = length(theta))
    z <- cbind(0, t(apply(steps, 1, cumsum)))
    if (length(b) == 1) z <- cbind(0, steps)
    z <- exp(z - apply(z, 1, max))
    z / rowSums(z)
  })
}

#' @rdname tarvo_fit_methods
#' @export
fitted.tarvo_fit <- function(object, ...) {
  probs <- tarvo_category_probabilities(object, object$persons$theta)
  expected <- vapply(probs, function(p) as.vector(p %*% (seq_len(ncol(p)) - 1)),
                     numeric(nrow(object$persons)))
  expected <- matrix(expected, nrow = nrow(object$persons))
  dimnames(expected) <- list(rownames(object$persons), rownames(object$items))
  expected
}

#' @rdname tarvo_fit_methods
#' @export
residuals.tarvo_fit <- function(object, type = c("raw", "standardized"), ...) {
  type <- match.arg(type)
  expected <- fitted.tarvo_fit(object)
  observed <- tarvo_scores_of(object$prepared, object$key)
  out <- observed - expected
  if (type == "standardized") {
    probs <- tarvo_category_probabilities(object, object$persons$theta)
    variance <- vapply(seq_along(probs), function(j) {
      k <- seq_len(ncol(probs[[j]])) - 1
      as.vector(probs[[j]] %*% k^2) - expected[, j]^2
    }, numeric(nrow(expected)))
    out <- out / sqrt(matrix(variance, nrow = nrow(expected)))
  }
  dimnames(out) <- dimnames(expected)
  out
}

#' Examinees' scores, item fit and person fit
#'
#' @param fit a \code{tarvo_fit}.
#' @return data frames with examinee IDs or item names as row names:
#'   \code{scores} theta, its standard error and the raw score;
#'   \code{itemfit} S-X2 with its df and p (and p adjusted over the items),
#'   infit and outfit with their t; \code{personfit} lz, infit and outfit.
#'   \code{NA} where a statistic is not defined (the note says why).
#' @export
scores <- function(fit) {
  stopifnot(inherits(fit, "tarvo_fit"))
  fit$persons[, c("theta", "se_theta", "raw_score", "nvalid")]
}

#' @rdname scores
#' @export
itemfit <- function(fit) {
  stopifnot(inherits(fit, "tarvo_fit"))
  fit$itemfit
}

#' @rdname scores
#' @export
personfit <- function(fit) {
  stopifnot(inherits(fit, "tarvo_fit"))
  fit$personfit
}

#' The summed-score table of a fit or a form
#'
#' Per raw score its expected proportion, the EAP ability with its SD and
#' the ML ability. For a fit made with \code{score_table = TRUE} and no
#' population given, the run's own table (the marginal estimator's
#' quadrature and population); otherwise the table \code{tarvo-run --items}
#' makes of the fit's items (at full precision) or of an item or result
#' file, over a normal population.
#' @param fit a \code{tarvo_fit}, or the path of an item parameter file or
#'   a result file.
#' @param model the form's model ("3pl", "2pl" or "1pl"); \code{NULL}: the
#'   fit's or the file's own.
#' @param population_mean,population_sd,population_points,population_range
#'   the population: N(0, 1) over 61 points from -6 to 6 SD unless given.
#' @param score_table_file,report_file write the table (CSV) or the
#'   runner's JSON report here.
#' @param runner_options other options of \code{tarvo-run --items} as
#'   names and values (the item file's columns).
#' @return a data frame, with the test curve and the JSON report as the
#'   attributes \code{curve} and \code{report_json} when formed here.
#' @export
tarvo_score_table <- function(fit, model = NULL, population_mean = NULL, population_sd = NULL,
                              population_points = NULL, population_range = NULL,
                              score_table_file = NULL, report_file = NULL,
                              runner_options = NULL) {
  options <- list(population_mean = population_mean, population_sd = population_sd,
                  population_points = population_points, population_range = population_range,
                  score_table_file = tarvo_path(score_table_file),
                  report_file = tarvo_path(report_file),
                  runner_options = tarvo_runner_pairs(runner_options))
  asked <- !all(vapply(options, is.null, logical(1))) || !is.null(model)
  if (inherits(fit, "tarvo_fit") && !is.null(fit$score_table) && !asked) {
    return(fit$score_table)
  }
  form <- tarvo_form(fit)
  run <- .tarvo_form_score_table(form, if (is.null(model)) "" else model, "", options)
  table <- as.data.frame(run$rows, stringsAsFactors = FALSE)
  attr(table, "curve") <- as.data.frame(run$curve)
  attr(table, "report_json") <- run$report_json
  table
}
