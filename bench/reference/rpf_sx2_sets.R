# S-X2 by R's rpf (SitemFit) on a public response file, for the agreement
# test of tarvo's joining of sparse cells (tests/fit/rpf_sx2_sets_test.cpp).
# Usage: Rscript rpf_sx2_sets.R RESPONSES NAME
#   RESPONSES: fixed columns, one score digit per item from column 20, a
#              blank for a missing response (the .dat files of the shared
#              data and of tests/data/polytomous)
# Prints, for NAME, the rpf version, each item's S-X2 and df as C++
# initialisers.
#
# The items are graded response items (two categories: the 2PL) with
# parameters every program can form from the data alone, so that the test
# needs no estimation: a = 1, and b_k = log((1 - p_k) / p_k) / 1.7 where
# p_k is the share of the item's valid responses scored k or more. On
# tarvo's metric P(X >= k) = 1 / (1 + exp(-1.7 a (theta - b_k))), which is
# rpf.grm with slope 1.7 a and intercepts -1.7 a b_k. Each item counts its
# slope and thresholds as free (df), the ability distribution is N(0, 1) on
# 61 points over +-6 (qwidth 6, qpoints 61), and examinees with a missing
# response are left out (rpf's sum scores need every item).
suppressMessages(library(rpf))
args <- commandArgs(TRUE)
lines <- readLines(args[1])
name <- args[2]
codes <- substring(sub("\r$", "", lines), 20)
k <- max(nchar(codes))
codes <- formatC(codes, width = -k)
m <- matrix(unlist(strsplit(codes, "")), ncol = k, byrow = TRUE)
x <- apply(m, 2, function(column) suppressWarnings(as.integer(column)))
outcomes <- apply(x, 2, function(column) max(column, na.rm = TRUE) + 1)
D <- 1.7
item_models <- lapply(outcomes, function(n) rpf.grm(outcomes = n))
param <- matrix(NA_real_, nrow = max(outcomes), ncol = k)
for (i in seq_len(k)) {
    valid <- x[!is.na(x[, i]), i]
    p <- sapply(seq_len(outcomes[i] - 1), function(s) mean(valid >= s))
    b <- log((1 - p) / p) / D
    param[seq_len(outcomes[i]), i] <- c(D, -D * b)
}
data <- as.data.frame(lapply(seq_len(k), function(i) {
    factor(x[, i], levels = 0:(outcomes[i] - 1), ordered = TRUE)
}))
names(data) <- colnames(param) <- paste0("i", seq_len(k))
free <- !is.na(param)
grp <- list(param = param, free = free, mean = 0, cov = matrix(1), data = data,
            qwidth = 6, qpoints = 61L)
# rpf reads the item models from the group's slot of that name.
grp[[paste0("sp", "ec")]] <- item_models
sfit <- SitemFit(grp, .parallel = FALSE)
# A cell whose expected count is 1 in exact arithmetic (a rest score of one
# examinee, joined into one cell) lands on either side of 1 by the last bit
# of its sum, and rpf then joins it or not by that bit. tarvo counts it as
# 1: rpf's own joining (its collapse with the threshold as an argument) with
# the threshold 1 - 1e-9 gives the numbers tarvo's rule is held to, from
# SitemFit's tables and its df rule.
again <- lapply(sfit, function(s) {
    keep <- apply(s$orig.observed, 1, sum) != 0
    o <- s$orig.observed[keep, , drop = FALSE]
    e <- s$orig.expected[keep, , drop = FALSE]
    kc <- rpf:::collapseCategoricalCells(o, e, 1 - 1e-9)
    mask <- !is.na(kc$E) & kc$E != 0
    c(sum((kc$O[mask] - kc$E[mask])^2 / kc$E[mask]),
      nrow(o) * (ncol(o) - 1) - s$free - sum(is.na(kc$E)))
})
plain <- sapply(sfit, function(s) s$statistic)
sx2 <- sapply(again, function(x) x[1])
df <- sapply(again, function(x) x[2])
cat(sprintf("// %s: rpf %s, %s; %d of %d items as SitemFit prints them\n", name,
            packageVersion("rpf"), R.version.string,
            sum(abs(sx2 - plain) < 1e-9 * plain & df == sapply(sfit, function(s) s$df)), k))
cat(sprintf("const double %sSx2[] = {%s};\n", name, paste(sprintf("%.10g", sx2), collapse = ", ")))
cat(sprintf("const int %sDf[] = {%s};\n", name, paste(df, collapse = ", ")))
