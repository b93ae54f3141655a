#' tarvo: item response theory calibration
#'
#' The TARVO engine in R: \code{\link{tarvo_calibrate}} (marginal maximum
#' likelihood) and \code{\link{tarvo_classic}} (the classic joint modes),
#' with the usual methods on the fit (\code{coef}, \code{summary},
#' \code{logLik}, \code{AIC}, \code{BIC}, \code{anova}, \code{fitted},
#' \code{residuals}, \code{plot}) and \code{\link{scores}},
#' \code{\link{itemfit}}, \code{\link{personfit}},
#' \code{\link{tarvo_score_table}}. Ctrl-C stops a run at its next check
#' point.
#' @useDynLib tarvo, .registration = TRUE
#' @importFrom Rcpp sourceCpp
#' @importFrom stats AIC BIC anova coef fitted logLik nobs residuals
#' @keywords internal
"_PACKAGE"
