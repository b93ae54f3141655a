# Reference maxima of right/wrong marginal fits without priors by OpenMx
# (Bock-Aitkin EM, the slope-intercept form with a slope free of sign), for
# the tests of slopes that change sign or grow large: a test with one item
# reversed (1 - x) has the maximum of the test as it was, with that item's
# slope negated, and a 3PL whose slope is large but finite.
# Usage: Rscript reach_reference.R RESPONSES ITEMS START MODEL [REVERSE [DICHOTOMISE]]
#   RESPONSES: response file (one digit per item from column START; with
#              DICHOTOMISE = t a digit of t or more is 1, below it 0; without
#              it 1 correct, 0 incorrect; anything else missing)
#   MODEL: 2pl or 3pl; REVERSE: the item (from 1) scored 1 - x, 0 for none
# Each slope starts with the sign of its item's item-rest correlation and
# has no lower bound (OpenMx's default keeps it above 1e-6, where a reversed
# item's slope stops); intercept 0, c 0.2. The ability distribution is the
# standard normal on 61 points from -6 to 6, the marginal estimator's default.
# Prints "loglik" then one line per item "a,b,c" on the D = 1.7 metric.
suppressMessages({
    library(OpenMx)
    library(rpf)
})
args <- commandArgs(TRUE)
responseFile <- args[1]
k <- as.integer(args[2])
start <- as.integer(args[3])
threePL <- args[4] == "3pl"
reverse <- if (length(args) >= 5) as.integer(args[5]) else 0L
cut <- if (length(args) >= 6) as.integer(args[6]) else NA
D <- 1.7

codes <- substr(readLines(responseFile), start, start + k - 1)
m <- matrix(unlist(strsplit(codes, "")), ncol = k, byrow = TRUE)
scores <- sapply(seq_len(k), function(i) {
    x <- suppressWarnings(as.integer(m[, i]))
    if (!is.na(cut)) x <- ifelse(is.na(x), NA, as.integer(x >= cut))
    x[!(x %in% 0:1)] <- NA
    if (i == reverse) x <- 1L - x
    x
})
scores <- scores[rowSums(!is.na(scores)) > 0, , drop = FALSE]
total <- rowSums(scores, na.rm = TRUE)
sign <- sapply(seq_len(k), function(i) {
    r <- suppressWarnings(cor(scores[, i], total - ifelse(is.na(scores[, i]), 0, scores[, i]),
                              use = "complete.obs"))
    if (is.na(r) || r >= 0) 1 else -1
})
data <- as.data.frame(lapply(seq_len(k), function(i) mxFactor(scores[, i], levels = 0:1)))
names(data) <- paste0("i", seq_len(k))

itemModels <- rep(list(rpf.drm(factors = 1)), k)
imat <- mxMatrix(name = "item", nrow = 4, ncol = k,
                 values = rbind(D * sign, 0, if (threePL) logit(0.2) else logit(0), logit(1)),
                 free = c(TRUE, TRUE, threePL, FALSE))
rownames(imat) <- c("f1", "b", "g", "u")
colnames(imat) <- names(data)
# OpenMx keeps a slope above 1e-6 unless given another bound.
imat$lbound["f1", ] <- -1e6
model <- mxModel("itemModel", imat, mxData(observed = data, type = "raw"),
                 mxExpectationBA81(itemModels, qwidth = 6, qpoints = 61), mxFitFunctionML(),
                 mxComputeEM("expectation", "scores", mxComputeNewtonRaphson(), maxIter = 5000L,
                             tolerance = 1e-9))
fit <- mxRun(model, silent = TRUE, suppressWarnings = TRUE)
est <- fit$item$values
cat(sprintf("%.6f\n", -fit$output$fit / 2))
for (i in seq_len(k)) {
    cat(sprintf("%.6f,%.6f,%.6f\n", est["f1", i] / D, -est["b", i] / est["f1", i],
                1 / (1 + exp(-est["g", i]))))
}
