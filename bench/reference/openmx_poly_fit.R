# A reference polytomous marginal fit by OpenMx (Bock-Aitkin EM, Oakes
# information), for the benchmark only: the graded response or generalized
# partial credit model on every item, no priors, the quadrature given.
# Usage: Rscript openmx_poly_fit.R RESPONSES ITEMS START MODEL POINTS THREADS
#   RESPONSES: response file (one score digit per item from column START,
#              anything else missing); MODEL: grm or gpcm; POINTS: equally
#              spaced points on [-6, 6] of N(0, 1); THREADS: OpenMx's threads
# Prints "seconds cpu cycles loglik": the wall and processor time of the fit
# alone, standard errors included (reading the data and starting R left
# out), the EM cycles and the marginal log-likelihood.
suppressMessages({
    library(OpenMx)
    library(rpf)
})
args <- commandArgs(TRUE)
responseFile <- args[1]
k <- as.integer(args[2])
start <- as.integer(args[3])
graded <- args[4] == "grm"
points <- as.integer(args[5])
mxOption(NULL, "Number of Threads", as.integer(args[6]))

codes <- substr(readLines(responseFile), start, start + k - 1)
m <- matrix(suppressWarnings(as.integer(unlist(strsplit(codes, "")))), ncol = k, byrow = TRUE)
m[!(m %in% 0:8)] <- NA
outcomes <- max(m, na.rm = TRUE) + 1
data <- as.data.frame(lapply(seq_len(k), function(i) mxFactor(m[, i], levels = 0:(outcomes - 1))))
names(data) <- paste0("i", seq_len(k))

steps <- outcomes - 1
if (graded) {
    itemModel <- rpf.grm(outcomes = outcomes)
    values <- sapply(seq_len(k), function(i) {
        share <- sapply(seq_len(steps), function(s) mean(m[, i] >= s, na.rm = TRUE))
        c(1, qlogis(share))
    })
    free <- rep(TRUE, 1 + steps)
} else {
    # Category slopes 0, 1, .., K-1 (the scoring contrasts fixed at 1, 0, ..).
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
# Slopes free of sign, as the program's.
imat$lbound[1, ] <- -1e6
model <- mxModel("itemModel", imat, mxData(observed = data, type = "raw"),
                 mxExpectationBA81(rep(list(itemModel), k), qwidth = 6, qpoints = points),
                 mxFitFunctionML(),
                 mxComputeSequence(list(
                     mxComputeEM("expectation", "scores", mxComputeNewtonRaphson(),
                                 information = "oakes1999",
                                 infoArgs = list(fitfunction = "fitfunction")),
                     mxComputeHessianQuality(),
                     mxComputeStandardError())))
started <- proc.time()
fit <- mxRun(model, silent = TRUE, suppressWarnings = TRUE)
used <- proc.time() - started
cat(sprintf("%.3f %.3f %d %.6f\n", used[["elapsed"]], used[["user.self"]] + used[["sys.self"]],
            fit$compute$steps[[1]]$output$EMcycles, -fit$output$fit / 2))
