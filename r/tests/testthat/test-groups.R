# Groups from R: a column or a vector of labels gives the run its groups, and
# the group tables equal the runner's report for the same data written as a
# file with a group column.

# LSAT-7 with groups: the abler half of the score range leans to "focal";
# every 25th examinee has no group.
grouped_lsat7 <- function() {
  data <- lsat7()
  k <- seq_len(nrow(data)) - 1
  group <- ifelse(xor(rowSums(data) >= 4, k %% 4 == 0), "focal", "ref")
  group[k %% 25 == 24] <- NA
  cbind(cohort = group, data, stringsAsFactors = FALSE)
}

null_na <- function(x) if (is.null(x)) NA_real_ else x

timed_test("a two-group 2PL fit equals the runner's group calibration", 120, {
  data <- grouped_lsat7()
  fit <- tarvo_calibrate(data, model = "2pl", group = "cohort", groups = TRUE,
                         reference_group = "ref", threads = 2)
  runner <- run_runner(data[-1], c("--method", "mml", "--model", "2pl", "--groups",
                                   "--reference-group", "ref"), group = data$cohort)
  expect_equal(runner$status, 0L)
  expect_setequal(rownames(fit$group_calibration), c("ref", "focal"))
  for (expected in runner$report$group_calibration$groups) {
    for (column in c("mean", "sd", "se_mean", "se_sd")) {
      expect_identical(fit$group_calibration[expected$label, column], null_na(expected[[column]]))
    }
  }
  expect_gt(fit$group_calibration["focal", "mean"], 0.1)
  expect_identical(rownames(fit$items), names(data)[-1])  # the group column is no item
  expect_identical(fit$groups[c("ref", "focal"), "count"], c(422L, 538L))
  # The same labels as a vector.
  again <- tarvo_calibrate(data[-1], model = "2pl", group = data$cohort, groups = TRUE,
                           reference_group = "ref", threads = 2)
  expect_identical(again$group_calibration, fit$group_calibration)
})

timed_test("the DIF table equals the runner's", 120, {
  data <- grouped_lsat7()
  fit <- tarvo_calibrate(data, model = "2pl", group = "cohort", reference_group = "ref",
                         dif = c("mh", "std", "lr"), threads = 2)
  runner <- run_runner(data[-1], c("--method", "mml", "--model", "2pl", "--dif", "mh,std,lr",
                                   "--reference-group", "ref"), group = data$cohort)
  expect_equal(runner$status, 0L)
  rows <- list()
  for (table in runner$report$dif$comparisons[[1]]$tables) {
    for (row in table$rows) rows[[length(rows) + 1]] <- c(method = table$method, row)
  }
  expect_equal(nrow(fit$dif), length(rows))
  expect_identical(fit$dif$method, vapply(rows, `[[`, "", "method"))
  for (column in c("statistic", "p", "p_adjusted", "effect")) {
    expect_identical(fit$dif[[column]], vapply(rows, function(r) null_na(r[[column]]), 0))
  }
  expect_identical(fit$dif$category, vapply(rows, `[[`, "", "category"))
  expect_false(anyNA(fit$dif$uniform_chi_square[fit$dif$method == "lr"]))
  expect_null(fit$group_calibration)
})

timed_test("group mistakes are errors with the run's message", 60, {
  data <- lsat7()
  expect_error(tarvo_calibrate(data, model = "2pl", group = rep("a", 999), threads = 2),
               "999 group labels for 1000 examinees", fixed = TRUE)
  expect_error(tarvo_calibrate(data, model = "2pl", group = "cohort", threads = 2),
               "'cohort'", fixed = TRUE)
  fit <- tarvo_calibrate(data, model = "2pl", threads = 2)
  expect_null(fit$groups)
  expect_null(fit$dif)
})

timed_test("freed items and the IRT screen's anchors reach the run as the runner's options", 180, {
  data <- grouped_lsat7()
  fit <- tarvo_calibrate(data, model = "2pl", group = "cohort", groups = TRUE,
                         reference_group = "ref", free_items = "Q1", threads = 2)
  runner <- run_runner(data[-1], c("--method", "mml", "--model", "2pl", "--groups",
                                   "--reference-group", "ref", "--free-items", "Q1"),
                       group = data$cohort)
  expect_equal(runner$status, 0L)
  expect_identical(rownames(fit$items), c("Q1 [ref]", "Q1 [focal]", "Q2", "Q3", "Q4", "Q5"))
  expect_identical(fit$items$a, vapply(runner$report$items, function(r) r$a, 0))
  screened <- tarvo_calibrate(data, model = "2pl", group = "cohort", groups = TRUE,
                              reference_group = "ref", dif = "irt", anchors = c("Q2", "Q3"),
                              dif_match = "rest", threads = 2)
  expect_setequal(unique(screened$dif$method), c("irt", "wald"))
  expect_setequal(screened$dif$item, c(1, 4, 5))  # the anchors are not studied
})
