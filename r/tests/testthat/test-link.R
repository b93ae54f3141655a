# tarvo_link and tarvo_score_table equal tarvo-run --link and --items for
# the same forms: fits in memory against item files holding every digit of
# their items, and result files as they are.

exact_columns <- c("--a-start", "10", "--a-length", "24", "--b-start", "35", "--b-length", "24",
                   "--c-start", "60", "--c-length", "24", "--seea-start", "85",
                   "--seea-length", "24", "--seeb-start", "110", "--seeb-length", "24",
                   "--seec-start", "135", "--seec-length", "24")

# The fit's items as the package reads them: named by their column names,
# an error not estimated (NA) as 0.
exact_item_file <- function(fit) {
  items <- fit$items
  known <- function(x) ifelse(is.na(x), 0, x)
  lines <- sprintf("%-8s %24.17g %24.17g %24.17g %24.17g %24.17g %24.17g", rownames(items),
                   items$a, items$b, items$c, known(items$se_a), known(items$se_b),
                   known(items$se_c))
  path <- tempfile(fileext = ".itm")
  writeLines(lines, path)
  path
}

whole_file <- function(path) readChar(path, file.size(path), useBytes = TRUE)

run_link_runner <- function(args) {
  err <- tempfile()
  status <- system2(runner_path(), shQuote(args), stdout = FALSE, stderr = err)
  expect_equal(status, 0L, info = paste(readLines(err), collapse = "\n"))
}

timed_test("a link of fits equals the runner's over their items", 120, {
  data <- lsat7()
  base_fit <- tarvo_calibrate(data[c(TRUE, FALSE), ], model = "2pl", threads = 1)
  new_fit <- tarvo_calibrate(data[c(FALSE, TRUE), ], model = "2pl", threads = 1)
  base <- exact_item_file(base_fit)
  new <- exact_item_file(new_fit)
  report <- tempfile(fileext = ".json")
  run_link_runner(c("--link", "--base-items", base, "--new-items", new, "--base-model", "2pl",
                    "--new-model", "2pl", "--link-method", "haebara", "--report", report,
                    exact_columns))
  linked <- tarvo_link(base_fit, new_fit, method = "haebara")
  expected <- jsonlite::fromJSON(report, simplifyVector = FALSE)
  mine <- jsonlite::fromJSON(linked$report_json, simplifyVector = FALSE)
  # The forms are named by their files in the runner's report only.
  expected$base$file <- mine$base$file
  expected$new$file <- mine$new$file
  expect_identical(mine, expected)
  expect_identical(linked$A, expected$linking[[3]]$A)
  expect_equal(linked$common_items, 5)
  expect_equal(nrow(linked$equating), 6)
  expect_output(print(linked), "haebara")
})

timed_test("result files link and score as the runner's, refusals as its messages", 120, {
  data <- lsat7()
  base <- tempfile(fileext = ".txt")
  new <- tempfile(fileext = ".txt")
  tarvo_calibrate(data[c(TRUE, FALSE), ], model = "3pl", threads = 1, output_file = base)
  tarvo_calibrate(data[c(FALSE, TRUE), ], model = "3pl", threads = 1, output_file = new)
  report <- tempfile(fileext = ".json")
  run_link_runner(c("--link", "--base-items", base, "--new-items", new, "--report", report))
  expect_identical(tarvo_link(base, new)$report_json, whole_file(report))

  run_link_runner(c("--items", base, "--population-sd", "2", "--report", report))
  table <- tarvo_score_table(base, population_sd = 2)
  expect_identical(attr(table, "report_json"), whole_file(report))
  expect_equal(table$score, 0:5)

  expect_error(tarvo_link(base, new, method = "median"),
               "--link-method takes mean/mean, mean/sigma, haebara or stocking-lord, not 'median'",
               fixed = TRUE)
  fit <- tarvo_calibrate(graded_data(), model = "grm", threads = 1)
  expect_error(tarvo_link(fit, base), "not right/wrong items")
})
