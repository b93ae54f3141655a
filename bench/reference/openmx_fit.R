# A reference marginal fit by OpenMx (Bock-Aitkin EM, Oakes information), for
# the benchmark only: the same model, priors and quadrature as
# tarvo-run --method mml, so that time and recovery can be compared.
# Usage: Rscript openmx_fit.R RESPONSES ITEMS START OUTPUT MODEL PRIORS
#   RESPONSES: response file (one response per item from column START,
#              1 correct, 0 incorrect, anything else missing)
#   MODEL: 3pl or 2pl; PRIORS: yes (log a ~ N(0, 0.5^2), c ~ Beta(5, 17)) or no
# Writes OUTPUT: one line per item "a,b,c,seea,seeb,seec" on the D = 1.7
# metric, and prints "seconds cycles loglik" (the time of the fit alone,
# standard errors included, reading the data and starting R left out; the
# marginal log-likelihood of the data, NA with priors).
suppressMessages({
    library(OpenMx)
    library(rpf)
})
args <- commandArgs(TRUE)
responseFile <- args[1]
k <- as.integer(args[2])
start <- as.integer(args[3])
output <- args[4]
threePL <- args[5] == "3pl"
priors <- args[6] == "yes"
D <- 1.7

codes <- substr(readLines(responseFile), start, start + k - 1)
m <- matrix(unlist(strsplit(codes, "")), ncol = k, byrow = TRUE)
data <- as.data.frame(lapply(seq_len(k), function(i) {
    x <- suppressWarnings(as.integer(m[, i]))
    x[!(x %in% 0:1)] <- NA
    mxFactor(x, levels = 0:1)
}))
names(data) <- paste0("i", seq_len(k))
data <- data[rowSums(!is.na(sapply(data, unclass))) > 0, , drop = FALSE]

itemModels <- rep(list(rpf.drm(factors = 1)), k)
imat <- mxMatrix(name = "item", nrow = 4, ncol = k,
                 values = c(D, 0, if (threePL) logit(0.2) else logit(0), logit(1)),
                 free = c(TRUE, TRUE, threePL, FALSE))
rownames(imat) <- c("f1", "b", "g", "u")
colnames(imat) <- names(data)
imat$labels["f1", ] <- paste0("a", seq_len(k))
imat$labels["b", ] <- paste0("d", seq_len(k))
if (threePL) imat$labels["g", ] <- paste0("g", seq_len(k))

itemModel <- mxModel("itemModel", imat, mxData(observed = data, type = "raw"),
                     mxExpectationBA81(itemModels, qwidth = 6, qpoints = 61), mxFitFunctionML())
groups <- "itemModel"
parts <- list(itemModel)
if (priors) {
    # -2 log prior of a = slope / D: log a ~ N(0, 0.5^2), a log-normal density.
    aLabels <- imat$labels["f1", ]
    aPar <- mxMatrix(name = "aPar", nrow = 1, ncol = k, free = TRUE, labels = aLabels,
                     values = imat$values["f1", ])
    aFit <- mxAlgebra(-2 * sum(-log(aPar / 1.7) - log(aPar / 1.7)^2 / 0.5), name = "aFit")
    aGrad <- mxAlgebra(-2 * ((-1 - log(aPar / 1.7) / 0.25) / aPar), name = "aGrad",
                       dimnames = list(c(), aLabels))
    aHess <- mxAlgebra(vec2diag(-2 * ((1 - 4 + log(aPar / 1.7) / 0.25) / aPar^2)),
                       name = "aHess", dimnames = list(aLabels, aLabels))
    parts[[length(parts) + 1]] <- mxModel("aPrior", aPar, aFit, aGrad, aHess,
        mxFitFunctionAlgebra("aFit", gradient = "aGrad", hessian = "aHess"))
    groups <- c(groups, "aPrior")
    if (threePL) {
        # -2 log prior of c = 1 / (1 + exp(-g)): c ~ Beta(5, 17), as a function of g.
        gLabels <- imat$labels["g", ]
        gPar <- mxMatrix(name = "gPar", nrow = 1, ncol = k, free = TRUE, labels = gLabels,
                         values = imat$values["g", ])
        cFit <- mxAlgebra(-2 * sum(4 * log(1 / (1 + exp(-gPar))) + 16 * log(1 / (1 + exp(gPar)))),
                          name = "cFit")
        cGrad <- mxAlgebra(-2 * (4 / (1 + exp(gPar)) - 16 / (1 + exp(-gPar))), name = "cGrad",
                           dimnames = list(c(), gLabels))
        cHess <- mxAlgebra(vec2diag(40 / ((1 + exp(-gPar)) * (1 + exp(gPar)))), name = "cHess",
                           dimnames = list(gLabels, gLabels))
        parts[[length(parts) + 1]] <- mxModel("cPrior", gPar, cFit, cGrad, cHess,
            mxFitFunctionAlgebra("cFit", gradient = "cGrad", hessian = "cHess"))
        groups <- c(groups, "cPrior")
    }
}
plan <- mxComputeSequence(list(
    mxComputeEM("itemModel.expectation", "scores", mxComputeNewtonRaphson(), maxIter = 2000L,
                information = "oakes1999", infoArgs = list(fitfunction = "fitfunction")),
    mxComputeHessianQuality(),
    mxComputeStandardError()))
top <- do.call(mxModel, c(list("top"), parts,
                          list(mxFitFunctionMultigroup(groups = groups), plan)))
started <- proc.time()[["elapsed"]]
fit <- mxRun(top, silent = TRUE, suppressWarnings = TRUE)
seconds <- proc.time()[["elapsed"]] - started

est <- fit$itemModel$item$values
covariance <- tryCatch(vcov(fit), error = function(e) NULL)
varOf <- function(x, y = x) {
    if (is.null(covariance) || !(x %in% rownames(covariance)) || !(y %in% rownames(covariance)))
        return(NA)
    covariance[x, y]
}
lines <- character(k)
for (i in seq_len(k)) {
    slope <- est["f1", i]
    d <- est["b", i]
    a <- slope / D
    b <- -d / slope
    cc <- 1 / (1 + exp(-est["g", i]))
    # Delta method from (slope, intercept, g) to (a, b, c).
    sA <- paste0("a", i)
    sD <- paste0("d", i)
    sa <- sqrt(varOf(sA)) / D
    sb <- sqrt(varOf(sD) / slope^2 + d^2 * varOf(sA) / slope^4 - 2 * d * varOf(sA, sD) / slope^3)
    sc <- if (threePL) sqrt(varOf(paste0("g", i))) * cc * (1 - cc) else NA
    fix <- function(x) if (is.na(x)) -1 else x
    lines[i] <- sprintf("%.6f,%.6f,%.6f,%.6f,%.6f,%.6f", a, b, cc, fix(sa), fix(sb), fix(sc))
}
writeLines(lines, output)
# Without priors the fit is -2 log-likelihood of the data alone.
logLik <- if (priors) NA else -fit$output$fit / 2
cat(sprintf("%.3f %d %.6f\n", seconds, fit$compute$steps[[1]]$output$EMcycles, logLik))
