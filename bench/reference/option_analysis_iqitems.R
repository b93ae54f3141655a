# The expected values of the option analysis on tests/data/options/iqitems:
# per item and per code given (no response included), the count, the
# proportion of all examinees, and the point-biserial of choosing it with
# the rest score (the number right on the other 15 items, a missing
# response counting as wrong), computed here independently of TARVO with
# base R's table and cor. Prints the rows as C++ initialisers for
# tests/report/option_analysis_test.cpp.
# Run once: Rscript bench/reference/option_analysis_iqitems.R
args <- commandArgs(trailingOnly = FALSE)
here <- dirname(sub("^--file=", "", args[grep("^--file=", args)]))
data <- file.path(here, "..", "..", "tests", "data", "options")
x <- read.csv(file.path(data, "iqitems.csv"), colClasses = "character", na.strings = "NA")
key <- strsplit(trimws(readLines(file.path(data, "iqitems.key"))), "")[[1]]
n <- nrow(x)
scored <- sapply(seq_along(key), function(i) as.integer(!is.na(x[[i]]) & x[[i]] == key[i]))
total <- rowSums(scored)
cat(sprintf("// %s, %d examinees\n", R.version.string, n))
for (i in seq_along(key)) {
  rest <- total - scored[, i]
  counts <- table(x[[i]], useNA = "ifany")
  for (k in seq_along(counts)) {
    code <- names(counts)[k]
    chose <- if (is.na(code)) is.na(x[[i]]) else !is.na(x[[i]]) & x[[i]] == code
    r <- cor(as.numeric(chose), rest)
    cat(sprintf("{%d, '%s', %d, %.17g, %.17g},\n", i, if (is.na(code)) " " else code,
                as.integer(counts[k]), as.integer(counts[k]) / n, r))
  }
}
