# The R package's cost over the runner: the same 2PL calibration of a
# simulated 50,000 x 100 test by tarvo-run (from a CSV file) and by
# tarvo_calibrate (from a data frame in memory), wall and processor time of each, and
# whether their estimates are the same bits.
#   Rscript bench/r_binding.R [examinees] [items] [threads]
# with the package installed (scripts/r-package, or R CMD INSTALL r).
library(tarvo)
args <- commandArgs(trailingOnly = TRUE)
n <- if (length(args) >= 1) as.integer(args[1]) else 50000L
items <- if (length(args) >= 2) as.integer(args[2]) else 100L
threads <- if (length(args) >= 3) as.integer(args[3]) else 2L
set.seed(20261210)
theta <- rnorm(n)
a <- runif(items, 0.5, 1.5)
b <- rnorm(items)
p <- plogis(1.7 * sweep(outer(theta, b, "-"), 2, a, "*"))
data <- as.data.frame(matrix(as.integer(runif(n * items) < p), n, items))
names(data) <- sprintf("I%03d", seq_len(items))
folder <- tempfile("bench")
dir.create(folder)
csv <- file.path(folder, "data.csv")
utils::write.csv(data, csv, row.names = FALSE)
runner <- Sys.getenv("TARVO_RUN", system.file("bin", "tarvo-run", package = "tarvo"))
report <- file.path(folder, "report.json")
runnerArgs <- c("--response-file", csv, "--format", "csv", "--method", "mml", "--model", "2pl",
                "--output-file", file.path(folder, "result.txt"), "--report", report, "--quiet",
                "--threads", threads)
# The best of three of each: the wall time, and the processor time of the
# runner's process or of the package's call (which stays comparable when
# other work shares the machine).
best <- function(timings) {
    c(wall = min(vapply(timings, function(t) t[["elapsed"]], numeric(1))),
      cpu = min(vapply(timings, function(t) sum(t[c(1, 2, 4, 5)], na.rm = TRUE), numeric(1))))
}
runnerTime <- best(lapply(1:3, function(k) system.time(system2(runner, runnerArgs))))
packageTime <- best(lapply(1:3, function(k)
    system.time(fit <<- tarvo_calibrate(data, model = "2pl", threads = threads))))
runnerA <- vapply(jsonlite::fromJSON(report, simplifyVector = FALSE)$items, function(r) r$a,
                  numeric(1))
cat(sprintf(paste0("%d x %d, %d threads (best of 3): tarvo-run %.2f s wall, %.2f s processor; ",
                   "tarvo_calibrate %.2f s wall (%+.1f%%), %.2f s processor (%+.1f%%); same a: %s\n"),
            n, items, threads, runnerTime[["wall"]], runnerTime[["cpu"]], packageTime[["wall"]],
            100 * (packageTime[["wall"]] - runnerTime[["wall"]]) / runnerTime[["wall"]],
            packageTime[["cpu"]],
            100 * (packageTime[["cpu"]] - runnerTime[["cpu"]]) / runnerTime[["cpu"]],
            identical(fit$items$a, runnerA)))
unlink(folder, recursive = TRUE)
