# Reference fits for the IRT DIF screen and freed items, by OpenMx (never run
# by a test): two groups calibrated together, as openmx_multigroup.R fits
# them (one mxExpectationBA81 per group on equally spaced points over
# [-6, 6], joined by mxFitFunctionMultigroup, the reference N(0, 1), the
# focal mean and variance free, mxComputeGradientDescent), first with every
# item equal across the groups by its labels, then once per listed item with
# that item's labels its group's own (the item free across the groups).
#
# With "wald" last, every fit runs to an optimality tolerance of 1e-14 and
# each model with an item free is followed by the Hessian of its -2LL by
# numeric differences (mxComputeNumericDeriv, step 1e-5, four Richardson
# extrapolations), and Lord's Wald statistic of the item is printed from the
# parameter covariance 2 H^-1 (vcov): d the reference copy's slope and
# intercepts minus the focal copy's, V the covariance of d, W = d' V^-1 d on
# the item's number of free parameters.
#
# Usage: Rscript openmx_free_item.R FILE MODEL POINTS ITEMS [wald]
#   FILE: fixed columns, ID 1-8, group in column 10 (blank: none; the first
#         group in the file is the reference), one score digit per item from
#         column 20 (blank: missing); MODEL: 2pl or grm; POINTS: quadrature
#         points; ITEMS: the items to free, by commas ("all": every item).
# Prints -2LL of the model with every item equal, then per item -2LL with it
# free, G2 and its df (and Wald's W, df and p).
suppressMessages({
    library(OpenMx)
    library(rpf)
})
args <- commandArgs(TRUE)
file <- args[1]
binary <- args[2] == "2pl"
points <- as.integer(args[3])
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
wald <- length(args) >= 5 && args[5] == "wald"
items <- if (args[4] == "all") seq_len(k) else as.integer(strsplit(args[4], ",")[[1]])
outcomes <- sapply(seq_len(k), function(i) max(m[, i], na.rm = TRUE) + 1)
item_models <- lapply(outcomes, function(o) rpf.grm(outcomes = o))
rows <- max(outcomes)
start <- sapply(seq_len(k), function(i) {
    share <- sapply(seq_len(outcomes[i] - 1), function(s) mean(m[keep, i] >= s, na.rm = TRUE))
    c(1, qlogis(share), rep(NA, rows - outcomes[i]))
})
used <- !is.na(start)
start[!used] <- 0

# freed: the item whose labels are its group's own (0: none).
groupModel <- function(g, reference, freed) {
    who <- which(group == g)
    data <- as.data.frame(lapply(seq_len(k), function(i)
        mxFactor(m[who, i], levels = 0:(outcomes[i] - 1))))
    names(data) <- paste0("i", seq_len(k))
    itemLabels <- matrix(sprintf("p%d_%d", row(start), col(start)), nrow(start))
    if (freed > 0) itemLabels[, freed] <- paste0(itemLabels[, freed], "_", g)
    itemLabels[!used] <- NA
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
fitWith <- function(freed) {
    groups <- lapply(seq_along(labels), function(x) groupModel(labels[x], x == 1, freed))
    steps <- list(mxComputeGradientDescent())
    if (wald && freed > 0) {
        steps <- c(steps, list(mxComputeNumericDeriv(analytic = FALSE, stepSize = 1e-5,
                                                     iterations = 4),
                               mxComputeStandardError()))
    }
    model <- mxModel("groups", groups, mxFitFunctionMultigroup(paste0("g", labels)),
                     mxComputeSequence(steps))
    # The Hessian is only as good as the maximum it is taken at: the
    # optimizer's default tolerance moves W by up to 1%.
    if (wald) model <- mxOption(model, "Optimality tolerance", 1e-14)
    fit <- mxRun(model, silent = TRUE, suppressWarnings = TRUE)
    out <- list(m2ll = fit$output$fit, k = length(omxGetParameters(fit)))
    if (wald && freed > 0) out$wald <- lapply(labels[-1], function(g) waldOf(fit, freed, g))
    out
}
# Lord's Wald statistic of item i between the reference group and focal g.
waldOf <- function(fit, i, g) {
    rows <- which(used[, i])
    own <- function(x) sprintf("p%d_%d_%s", rows, i, x)
    estimates <- omxGetParameters(fit)
    covariance <- vcov(fit)
    d <- estimates[own(labels[1])] - estimates[own(g)]
    v <- covariance[own(labels[1]), own(labels[1])] + covariance[own(g), own(g)] -
        covariance[own(labels[1]), own(g)] - covariance[own(g), own(labels[1])]
    w <- drop(t(d) %*% solve(v, d))
    c(w = w, df = length(d), p = pchisq(w, length(d), lower.tail = FALSE))
}
cat(sprintf("OpenMx %s, %s, %d points; reference %s, focal %s\n", packageVersion("OpenMx"),
            args[2], points, labels[1], paste(labels[-1], collapse = " ")))
equal <- fitWith(0)
cat(sprintf("equal -2LL %.6f parameters %d\n", equal$m2ll, equal$k))
for (i in items) {
    free <- fitWith(i)
    cat(sprintf("item %d free -2LL %.6f G2 %.6f df %d\n", i, free$m2ll, equal$m2ll - free$m2ll,
                free$k - equal$k))
    for (x in seq_along(free$wald)) {
        w <- free$wald[[x]]
        cat(sprintf("item %d focal %s Wald %.6f df %d p %.6g\n", i, labels[x + 1], w["w"],
                    as.integer(w["df"]), w["p"]))
    }
}
