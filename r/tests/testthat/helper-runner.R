# The runner built from the package's own sources (or TARVO_RUN), and a way
# to run it on the same data and options as the package.

runner_path <- function() {
  path <- Sys.getenv("TARVO_RUN", system.file("bin", "tarvo-run", package = "tarvo"))
  if (!nzchar(path) || !file.exists(path)) testthat::skip("tarvo-run is not there")
  path
}

# Each test ends within seconds (elapsed time); a run past it is stopped at
# its next check point.
timed_test <- function(name, seconds, code) {
  testthat::test_that(name, {
    setTimeLimit(elapsed = seconds, transient = TRUE)
    on.exit(setTimeLimit(elapsed = Inf), add = TRUE)
    code
  })
}

lsat7 <- function() read.csv(system.file("extdata", "lsat7.csv", package = "tarvo"))

# Responses of a graded test (n examinees, items scored 0..3), drawn the
# same every time.
graded_data <- function(n = 400, items = 6) {
  set.seed(20261210)
  theta <- rnorm(n)
  a <- seq(0.8, 1.6, length.out = items)
  out <- sapply(seq_len(items), function(j) {
    b <- c(-1.4, 0, 1.2) + (j - items / 2) / items
    above <- sapply(b, function(bk) plogis(1.7 * a[j] * (theta - bk)))
    rowSums(above > runif(n))
  })
  colnames(out) <- paste0("G", seq_len(items))
  as.data.frame(out)
}

# Runs tarvo-run on data written as the CSV file a user would write (an ID
# column, then the items), with the runner's options; returns the result
# file's lines, the JSON report, the status and the standard error. A group
# (one label per examinee, NA unknown) is a column of its own before the items.
run_runner <- function(data, options, ids = NULL, theta = NULL, items_file = NULL,
                       group = NULL) {
  folder <- tempfile("runner")
  dir.create(folder)
  if (is.null(ids)) ids <- as.character(seq_len(nrow(data)))
  frame <- data.frame(ExaminID = ids, check.names = FALSE)
  if (!is.null(theta)) frame$theta <- sprintf("%.17g", theta)
  if (!is.null(group)) frame$group <- ifelse(is.na(group), "", as.character(group))
  cells <- as.data.frame(lapply(data, function(x) ifelse(is.na(x), "", as.character(x))),
                         check.names = FALSE)
  first <- ncol(frame) + 1
  frame <- cbind(frame, cells)
  csv <- file.path(folder, "data.csv")
  utils::write.csv(frame, csv, row.names = FALSE, quote = TRUE)
  result <- file.path(folder, "result.txt")
  report <- file.path(folder, "report.json")
  args <- c(options, "--response-file", csv, "--format", "csv", "--id-column", "1",
            "--item-columns", sprintf("%d:%d", first, first + ncol(data) - 1),
            "--output-file", result, "--report", report, "--quiet", "--threads", "2")
  if (!is.null(theta)) args <- c(args, "--theta-column", "2")
  if (!is.null(group)) args <- c(args, "--group-column", "group")
  if (!is.null(items_file)) args <- c(args, items_file)
  err <- file.path(folder, "stderr.txt")
  status <- system2(runner_path(), shQuote(args), stdout = FALSE, stderr = err)
  list(status = status,
       result = if (file.exists(result)) readLines(result) else NULL,
       report = if (file.exists(report)) jsonlite::fromJSON(report, simplifyVector = FALSE),
       stderr = readLines(err))
}

runner_items <- function(report, name) {
  vapply(report$items, function(r) if (is.null(r[[name]])) NA_real_ else r[[name]], numeric(1))
}
runner_persons <- function(report, name) {
  vapply(report$examinees, function(r) if (is.null(r[[name]])) NA_real_ else r[[name]],
         numeric(1))
}
