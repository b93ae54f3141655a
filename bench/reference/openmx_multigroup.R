# Reference fits of two groups calibrated together, by OpenMx, for the
# multiple-group tests' fixed values (never run by a test): every item's
# parameters equal across the groups by their labels, the reference group's
# ability distribution N(0, 1), the focal group's mean and variance free.
# One mxExpectationBA81 per group (equally spaced points on [-6, 6]), the
# groups joined by mxFitFunctionMultigroup, the whole maximised by
# mxComputeGradientDescent, standard errors from the numerical Hessian.
#
# Usage: Rscript openmx_multigroup.R make DIR   (writes DIR/sim_groups.dat)
#        Rscript openmx_multigroup.R fit FILE MODEL POINTS
#   FILE: fixed columns, ID 1-8, group in column 10 (blank: none; the first
#         group in the file is the reference), one score digit per item from
#         column 20 (blank: missing); MODEL: 2pl (scores 0/1; scores 0..5
#         taken as 1 from 3 on) or grm; POINTS: quadrature points.
# The tests' tests/data/groups/spi_neuro10_binary.dat holds the 2PL's responses
# (from 3 on taken as 1, the reverse-keyed items 8 and 10 the other way).
# Prints the marginal log-likelihood, -2LL, and each focal group's mean, SD
# (the square root of the variance) and their standard errors.
suppressMessages({
    library(OpenMx)
    library(rpf)
})
args <- commandArgs(TRUE)

if (args[1] == "make") {
    # 10 graded items (4 categories) and 2 right/wrong items; 1,500 examinees
    # per group, the reference N(0, 1), the focal N(0.5, 1.2^2); every 17th
    # response missing.
    set.seed(20261211)
    k <- 12
    a <- c(1.4, 0.9, 1.2, 0.7, 1.6, 1.0, 1.3, 0.8, 1.1, 1.5, 1.2, 0.9)
    b <- rbind(c(-1.2, -0.3, 0.8), c(-0.6, 0.2, 1.3), c(-1.5, -0.5, 0.4), c(-0.4, 0.6, 1.6),
               c(-1.0, 0.0, 0.9), c(-0.8, 0.3, 1.1), c(-1.3, -0.2, 0.7), c(-0.2, 0.7, 1.5),
               c(-0.9, 0.1, 1.0), c(-1.1, -0.1, 0.6))
    simulate <- function(theta) {
        sapply(seq_len(k), function(i) {
            if (i <= 10) {
                above <- sapply(1:3, function(s) plogis(a[i] * (theta - b[i, s])))
                rowSums(matrix(runif(length(theta)), ncol = 3, nrow = length(theta)) < above)
            } else {
                as.integer(runif(length(theta)) < plogis(a[i] * (theta - c(-0.3, 0.5)[i - 10])))
            }
        })
    }
    n <- 1500
    group <- rep(c("R", "F"), n)
    theta <- ifelse(group == "R", rnorm(2 * n), 0.5 + 1.2 * rnorm(2 * n))
    m <- simulate(theta)
    m[seq(17, length(m), by = 17)] <- NA
    digits <- apply(m, 1, function(row) paste(ifelse(is.na(row), " ", row), collapse = ""))
    lines <- sprintf("S%07d %-10s%s", seq_along(group), group, digits)
    writeLines(lines, file.path(args[2], "sim_groups.dat"))
    quit(save = "no")
}

file <- args[2]
binary <- args[3] == "2pl"
points <- as.integer(args[4])
text <- readLines(file)
group <- trimws(substr(text, 10, 10))
k <- max(nchar(text)) - 19
m <- t(sapply(text, function(line) {
    cells <- strsplit(substr(sprintf("%-*s", 19 + k, line), 20, 19 + k), "")[[1]]
    suppressWarnings(as.integer(cells))
}, USE.NAMES = FALSE))
if (binary && max(m, na.rm = TRUE) > 1) m <- ifelse(m >= 3, 1L, 0L)
keep <- group != ""
labels <- unique(group[keep])
# Each item its own categories, as the responses show them.
outcomes <- sapply(seq_len(k), function(i) max(m[, i], na.rm = TRUE) + 1)
item_models <- lapply(outcomes, function(o) rpf.grm(outcomes = o))
rows <- max(outcomes)
start <- sapply(seq_len(k), function(i) {
    share <- sapply(seq_len(outcomes[i] - 1), function(s) mean(m[keep, i] >= s, na.rm = TRUE))
    c(1, qlogis(share), rep(NA, rows - outcomes[i]))
})
used <- !is.na(start)
start[!used] <- 0
itemLabels <- matrix(sprintf("p%d_%d", row(start), col(start)), nrow(start))
itemLabels[!used] <- NA

groupModel <- function(g, reference) {
    who <- which(group == g)
    data <- as.data.frame(lapply(seq_len(k), function(i)
        mxFactor(m[who, i], levels = 0:(outcomes[i] - 1))))
    names(data) <- paste0("i", seq_len(k))
    imat <- mxMatrix(name = "item", nrow = nrow(start), ncol = k, values = start, free = used,
                     labels = itemLabels)
    rownames(imat) <- c("f1", paste0("b", seq_len(rows - 1)))
    colnames(imat) <- names(data)
    imat$lbound[1, ] <- -1e6
    mean <- mxMatrix(name = "mean", nrow = 1, ncol = 1, values = 0, free = !reference,
                     labels = paste0("mean_", g), dimnames = list(NULL, "f1"))
    cov <- mxMatrix(name = "cov", type = "Symm", nrow = 1, ncol = 1, values = 1,
                    free = !reference, labels = paste0("var_", g), lbound = 0.01,
                    dimnames = list("f1", "f1"))
    mxModel(paste0("g", g), imat, mean, cov, mxData(observed = data, type = "raw"),
            mxExpectationBA81(item_models, qwidth = 6, qpoints = points,
                              mean = "mean", cov = "cov"),
            mxFitFunctionML())
}
groups <- lapply(seq_along(labels), function(x) groupModel(labels[x], x == 1))
model <- mxModel("groups", groups, mxFitFunctionMultigroup(paste0("g", labels)),
                 mxComputeSequence(list(mxComputeGradientDescent(),
                                        mxComputeNumericDeriv(analytic = FALSE),
                                        mxComputeStandardError())))
fit <- mxRun(model, silent = TRUE, suppressWarnings = TRUE)
estimates <- omxGetParameters(fit)
errors <- fit$output$standardErrors[, 1]
cat(sprintf("OpenMx %s, %s, %d points; reference %s (%d), focal %s (%d)\n",
            packageVersion("OpenMx"), args[3], points, labels[1], sum(group == labels[1]),
            paste(labels[-1], collapse = " "), sum(keep) - sum(group == labels[1])))
cat(sprintf("loglik %.6f  -2LL %.6f\n", -fit$output$fit / 2, fit$output$fit))
for (g in labels[-1]) {
    mu <- estimates[[paste0("mean_", g)]]
    v <- estimates[[paste0("var_", g)]]
    seMu <- errors[[paste0("mean_", g)]]
    seV <- errors[[paste0("var_", g)]]
    # The SD's error from the variance's by the delta method.
    cat(sprintf("group %s mean %.6f (%.6f) sd %.6f (%.6f)\n", g, mu, seMu, sqrt(v),
                seV / (2 * sqrt(v))))
}
