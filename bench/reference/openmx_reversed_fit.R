# A reference maximum for reverse-keyed items, for the tests' fixed numbers
# only (never run by the tests): OpenMx's marginal fit of the graded
# response, generalized partial credit or partial credit model (one slope
# common to every item, free) to a response file whose listed items are
# reversed (the highest score minus the score), no priors, the quadrature
# given. Usage:
#   Rscript openmx_reversed_fit.R RESPONSES ITEMS START MODEL POINTS REVERSED
#   RESPONSES: one score digit per item from column START, anything else
#              missing; MODEL: grm, gpcm or pcm; POINTS: equally spaced
#              points on [-6, 6] of N(0, 1); REVERSED: the items to reverse,
#              e.g. 2,4,6 (1-based), or "none".
# Prints the marginal log-likelihood, then per item a (the slope / 1.7) and
# its thresholds b_k on the theta metric (GRM: -c_k / slope; partial
# credit: gamma_k / slope), the reported metric of the tests.
suppressMessages({
    library(OpenMx)
    library(rpf)
})
args <- commandArgs(TRUE)
responseFile <- args[1]
k <- as.integer(args[2])
start <- as.integer(args[3])
model <- args[4]
points <- as.integer(args[5])
reversed <- if (args[6] == "none") integer(0) else as.integer(strsplit(args[6], ",")[[1]])
mxOption(NULL, "Number of Threads", 1L)

codes <- substr(readLines(responseFile), start, start + k - 1)
codes <- formatC(codes, width = -k)
m <- matrix(suppressWarnings(as.integer(unlist(strsplit(codes, "")))), ncol = k, byrow = TRUE)
m[!(m %in% 0:8)] <- NA
outcomes <- max(m, na.rm = TRUE) + 1
for (i in reversed) m[, i] <- (outcomes - 1) - m[, i]
data <- as.data.frame(lapply(seq_len(k), function(i) mxFactor(m[, i], levels = 0:(outcomes - 1))))
names(data) <- paste0("i", seq_len(k))

steps <- outcomes - 1
if (model == "grm") {
    itemModel <- rpf.grm(outcomes = outcomes)
    values <- sapply(seq_len(k), function(i) {
        share <- sapply(seq_len(steps), function(s) mean(m[, i] >= s, na.rm = TRUE))
        c(1, qlogis(share))
    })
    free <- rep(TRUE, 1 + steps)
} else {
    itemModel <- rpf.nrm(outcomes = outcomes, T.a = "trend", T.c = -lower.tri(diag(steps), TRUE))
    values <- sapply(seq_len(k), function(i) {
        n <- tabulate(m[, i] + 1, outcomes)
        c(1, 1, rep(0, steps - 1), log(n[-outcomes] / n[-1]))
    })
    free <- c(TRUE, rep(FALSE, steps), rep(TRUE, steps))
}
imat <- mxMatrix(name = "item", nrow = nrow(values), ncol = k, values = values, free = free)
rownames(imat) <- names(rpf.rparam(itemModel))
colnames(imat) <- names(data)
imat$lbound[1, ] <- -1e6
if (model == "pcm") imat$labels[1, ] <- "commonSlope"
fitted <- mxModel("itemModel", imat, mxData(observed = data, type = "raw"),
                  mxExpectationBA81(rep(list(itemModel), k), qwidth = 6, qpoints = points),
                  mxFitFunctionML(),
                  mxComputeEM("expectation", "scores", mxComputeNewtonRaphson(),
                              tolerance = 1e-9, maxIter = 5000L))
fit <- mxRun(fitted, silent = TRUE, suppressWarnings = TRUE)
cat(sprintf("OpenMx %s, rpf %s, R %s; %s, %d points on [-6, 6]; status %d\n",
            packageVersion("OpenMx"), packageVersion("rpf"), getRversion(), model, points,
            fit$output$status$code))
cat(sprintf("loglik %.6f\n", -fit$output$fit / 2))
est <- fit$item$values
for (i in seq_len(k)) {
    slope <- est[1, i]
    b <- if (model == "grm") -est[2:(1 + steps), i] / slope else
        est[(2 + steps):(1 + 2 * steps), i] / slope
    cat(sprintf("item %d a %.10g b %s\n", i, slope / 1.7, paste(sprintf("%.10g", b), collapse = " ")))
}
