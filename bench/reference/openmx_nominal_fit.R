# A reference fit of Bock's nominal response model by OpenMx (Bock-Aitkin
# EM) on the raw options of a multiple-choice test, no priors.
# Usage: Rscript openmx_nominal_fit.R RESPONSES KEYFILE START COUNT POINTS [FIRST LAST]
#   RESPONSES: fixed columns, one option code per item from column START
#              (codes 1..8 are options; 0, a blank or anything else missing);
#   KEYFILE: the keyed option of each item on its first line; COUNT items;
#   POINTS: equally spaced points on [-6, 6] of N(0, 1);
#   FIRST LAST: fit only items FIRST..LAST (1-based), all by default.
# Each item's options run 1..its largest code, option 1 the reference:
#   P(X = k) proportional to exp(a_k theta + c_k), a_1 = c_1 = 0
# (rpf.nrm with identity contrasts and its overall slope held at 1).
# Prints the marginal log-likelihood and EM cycles, then per item its
# slopes a_2..a_m and intercepts c_2..c_m.
suppressMessages({
    library(OpenMx)
    library(rpf)
})
args <- commandArgs(TRUE)
responseFile <- args[1]
key <- as.integer(strsplit(trimws(readLines(args[2])[1]), "")[[1]])
start <- as.integer(args[3])
k <- as.integer(args[4])
points <- as.integer(args[5])
chosen <- if (length(args) >= 7) as.integer(args[6]):as.integer(args[7]) else seq_len(k)
mxOption(NULL, "Number of Threads", 1L)

codes <- substr(readLines(responseFile), start, start + k - 1)
codes <- formatC(codes, width = k, flag = "-")
m <- matrix(suppressWarnings(as.integer(unlist(strsplit(codes, "")))), ncol = k, byrow = TRUE)
m[!(m %in% 1:8)] <- NA
# Start values from the number right on every item: each option's slope
# by the rank of its choosers' mean rest score, the keyed option highest.
right <- rowSums(sweep(m, 2, key, "==") & !is.na(m), na.rm = TRUE)
m <- m[, chosen, drop = FALSE]
key <- key[chosen]
options <- apply(m, 2, max, na.rm = TRUE)
option_models <- lapply(options, function(n) rpf.nrm(outcomes = n, T.a = diag(n - 1), T.c = diag(n - 1)))
data <- as.data.frame(lapply(seq_along(chosen),
                             function(i) mxFactor(m[, i], levels = 1:options[i])))
names(data) <- paste0("i", chosen)
rows <- 1 + 2 * (max(options) - 1)
values <- matrix(0, rows, length(chosen))
free <- matrix(FALSE, rows, length(chosen))
for (i in seq_along(chosen)) {
    n <- options[i]
    seen <- !is.na(m[, i])
    rest <- right[seen] - (m[seen, i] == key[i])
    meanRest <- sapply(1:n, function(o) if (any(m[seen, i] == o)) mean(rest[m[seen, i] == o]) else 0)
    score <- meanRest
    score[key[i]] <- Inf
    slope <- numeric(n)
    slope[order(score)] <- -1 + 2 * (0:(n - 1)) / (n - 1)
    count <- tabulate(m[seen, i], n)
    intercept <- log(count + 0.5)
    values[1:(1 + 2 * (n - 1)), i] <- c(1, slope[-1] - slope[1], intercept[-1] - intercept[1])
    free[2:(1 + 2 * (n - 1)), i] <- TRUE
}
imat <- mxMatrix(name = "item", nrow = rows, ncol = length(chosen), values = values, free = free)
rownames(imat) <- names(rpf.rparam(option_models[[which.max(options)]]))
colnames(imat) <- names(data)
imat$lbound[, ] <- NA
imat$ubound[, ] <- NA
model <- mxModel("itemModel", imat, mxData(observed = data, type = "raw"),
                 mxExpectationBA81(option_models, qwidth = 6, qpoints = points),
                 mxFitFunctionML(),
                 mxComputeEM("expectation", "scores", mxComputeNewtonRaphson(),
                             tolerance = 1e-10, maxIter = 5000L))
fit <- mxRun(model, silent = TRUE, suppressWarnings = TRUE)
cat(sprintf("loglik %.6f cycles %d\n", -fit$output$fit / 2,
            fit$compute$output$EMcycles))
est <- fit$item$values
for (i in seq_along(chosen)) {
    n <- options[i]
    cat(sprintf("item %d options %d a %s c %s\n", chosen[i], n,
                paste(sprintf("%.6f", est[2:n, i]), collapse = " "),
                paste(sprintf("%.6f", est[(n + 1):(2 * n - 1), i]), collapse = " ")))
}
