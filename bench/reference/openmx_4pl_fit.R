# The 4PL reference: simulates a right/wrong test of 3,000 examinees and 20
# items under the 4PL (seed 4004, D = 1.7) into tests/data/models/sim_4pl.dat
# (ID in columns 1-8, responses 0/1 from column 20) and fits it with OpenMx
# (rpf.drm: slope, intercept, logit g, logit u; mxComputeEM over 61 points
# on [-6, 6] of N(0, 1), Newton-Raphson M-step, tolerance 1e-9), once
# without priors and once with the priors tarvo-run takes for the 4PL by
# default: log a ~ N(0, 0.5^2) with its 1 / a, c ~ Beta(5, 17), u ~ Beta(17, 5)
# (on the probabilities, not their logits). Prints the log-likelihood (of
# the data alone, without priors; with priors, of the data at the
# posterior's maximum) and each item's a, b, c, u on the D = 1.7 metric.
# Usage: Rscript openmx_4pl_fit.R OUTPUT_DATA_FILE
suppressMessages({
    library(OpenMx)
    library(rpf)
})
args <- commandArgs(TRUE)
dataFile <- args[1]
D <- 1.7
k <- 20
n <- 3000
set.seed(4004)
a <- runif(k, 0.8, 2.0)
b <- runif(k, -1.5, 1.5)
cc <- runif(k, 0.08, 0.25)
u <- runif(k, 0.85, 0.97)
theta <- rnorm(n)
p <- sapply(seq_len(k), function(i) cc[i] + (u[i] - cc[i]) / (1 + exp(-D * a[i] * (theta - b[i]))))
x <- matrix(as.integer(runif(n * k) < p), n, k)
lines <- sprintf("%-8s%11s%s", sprintf("P%05d", seq_len(n)), "", apply(x, 1, paste, collapse = ""))
writeLines(lines, dataFile)
cat("generating a, b, c, u:\n")
print(round(cbind(a, b, cc, u), 4))

data <- as.data.frame(lapply(seq_len(k), function(i) mxFactor(x[, i], levels = 0:1)))
names(data) <- paste0("i", seq_len(k))

Fit <- function(priors) {
    imat <- mxMatrix(name = "item", nrow = 4, ncol = k,
                     values = c(D, 0, logit(0.15), logit(0.9)), free = TRUE)
    rownames(imat) <- c("f1", "b", "g", "u")
    colnames(imat) <- names(data)
    imat$labels["f1", ] <- paste0("a", seq_len(k))
    imat$labels["b", ] <- paste0("d", seq_len(k))
    imat$labels["g", ] <- paste0("g", seq_len(k))
    imat$labels["u", ] <- paste0("u", seq_len(k))
    itemModel <- mxModel("itemModel", imat, mxData(observed = data, type = "raw"),
                         mxExpectationBA81(rep(list(rpf.drm(factors = 1)), k), qwidth = 6,
                                           qpoints = 61),
                         mxFitFunctionML())
    parts <- list(itemModel)
    groups <- "itemModel"
    if (priors) {
        Prior <- function(name, row, fit, grad, hess) {
            labels <- imat$labels[row, ]
            par <- mxMatrix(name = "par", nrow = 1, ncol = k, free = TRUE, labels = labels,
                            values = imat$values[row, ])
            mxModel(name, par, mxAlgebraFromString(fit, name = "fit"),
                    mxAlgebraFromString(grad, name = "grad", dimnames = list(c(), labels)),
                    mxAlgebraFromString(hess, name = "hess", dimnames = list(labels, labels)),
                    mxFitFunctionAlgebra("fit", gradient = "grad", hessian = "hess"))
        }
        # -2 log prior of a = slope / 1.7: log-normal, log a ~ N(0, 0.5^2).
        parts[[2]] <- Prior("aPrior", "f1",
            "-2 * sum(-log(par / 1.7) - log(par / 1.7)^2 / 0.5)",
            "-2 * ((-1 - log(par / 1.7) / 0.25) / par)",
            "vec2diag(-2 * ((1 - 4 + log(par / 1.7) / 0.25) / par^2))")
        # -2 log Beta(5, 17) of c = logistic(g), by g.
        parts[[3]] <- Prior("cPrior", "g",
            "-2 * sum(4 * log(1 / (1 + exp(-par))) + 16 * log(1 / (1 + exp(par))))",
            "-2 * (4 / (1 + exp(par)) - 16 / (1 + exp(-par)))",
            "vec2diag(40 / ((1 + exp(-par)) * (1 + exp(par))))")
        # -2 log Beta(17, 5) of u = logistic(v), by v.
        parts[[4]] <- Prior("uPrior", "u",
            "-2 * sum(16 * log(1 / (1 + exp(-par))) + 4 * log(1 / (1 + exp(par))))",
            "-2 * (16 / (1 + exp(par)) - 4 / (1 + exp(-par)))",
            "vec2diag(40 / ((1 + exp(-par)) * (1 + exp(par))))")
        groups <- c(groups, "aPrior", "cPrior", "uPrior")
    }
    plan <- mxComputeSequence(list(
        mxComputeEM("itemModel.expectation", "scores", mxComputeNewtonRaphson(),
                    maxIter = 5000L, tolerance = 1e-9)))
    top <- do.call(mxModel, c(list("top"), parts,
                              list(mxFitFunctionMultigroup(groups = groups), plan)))
    fit <- mxRun(top, silent = TRUE, suppressWarnings = TRUE)
    est <- fit$itemModel$item$values
    # The data's own log-likelihood at the estimates.
    logLik <- -fit$itemModel$fitfunction$result[1] / 2
    cat(sprintf("priors %s: log-likelihood %.6f, EM cycles %d\n", priors, logLik,
                fit$compute$steps[[1]]$output$EMcycles))
    out <- cbind(a = est["f1", ] / D, b = -est["b", ] / est["f1", ],
                 c = 1 / (1 + exp(-est["g", ])), u = 1 / (1 + exp(-est["u", ])))
    print(format(out, digits = 10), quote = FALSE)
}
Fit(FALSE)
Fit(TRUE)
