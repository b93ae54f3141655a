# The package's numbers are the runner's for the same data and options: the
# result file byte for byte, the report's estimates bit for bit.

se_as_runner <- function(x) ifelse(is.na(x), -1, x)

expect_same_as_runner <- function(fit, runner, result) {
  expect_equal(runner$status, 0L)
  expect_identical(readLines(result), runner$result)
  report <- runner$report
  expect_identical(fit$items$a, runner_items(report, "a"))
  expect_identical(fit$items$b, runner_items(report, "b"))
  expect_identical(fit$items$c, runner_items(report, "c"))
  expect_identical(se_as_runner(fit$items$se_a), runner_items(report, "se_a"))
  expect_identical(se_as_runner(fit$items$se_b), runner_items(report, "se_b"))
  expect_identical(fit$persons$theta, runner_persons(report, "theta"))
  expect_identical(se_as_runner(fit$persons$se_theta), runner_persons(report, "se_theta"))
}

timed_test("the marginal right/wrong models equal the runner's", 120, {
  data <- lsat7()
  for (model in c("3pl", "2pl", "1pl", "rasch")) {
    result <- tempfile(fileext = ".txt")
    fit <- tarvo_calibrate(data, model = model, threads = 2, output_file = result)
    runner <- run_runner(data, c("--method", "mml", "--model", model))
    expect_same_as_runner(fit, runner, result)
    expect_identical(fit$loglik, runner$report$mml$log_likelihood)
    expect_identical(rownames(coef(fit)), names(data))
  }
})

timed_test("options reach the engine as the runner's do", 120, {
  data <- lsat7()
  result <- tempfile(fileext = ".txt")
  fit <- tarvo_calibrate(data, model = "3pl", prior_a = c(0.1, 0.4), prior_b = c(0, 2),
                         prior_c = FALSE, quadrature = 41, scoring = "map", threads = 2,
                         output_file = result)
  runner <- run_runner(data, c("--method", "mml", "--model", "3pl", "--prior-a", "0.1,0.4",
                               "--prior-b", "0,2", "--prior-c", "none", "--quadrature", "41",
                               "--scoring", "map"))
  expect_same_as_runner(fit, runner, result)
  # And they change the numbers: the defaults give others.
  plain <- tarvo_calibrate(data, model = "3pl", threads = 2)
  expect_false(identical(plain$items$a, fit$items$a))
})

timed_test("graded and partial credit items equal the runner's", 180, {
  data <- graded_data()
  for (model in c("grm", "gpcm")) {
    result <- tempfile(fileext = ".txt")
    fit <- tarvo_calibrate(data, model = model, threads = 2, output_file = result)
    runner <- run_runner(data, c("--method", "mml", "--model", model))
    expect_equal(runner$status, 0L)
    expect_identical(readLines(result), runner$result)
    thresholds <- lapply(runner$report$items, function(r) unlist(r$polytomous$thresholds))
    expect_identical(fit$items$b1, vapply(thresholds, `[`, numeric(1), 1))
    expect_identical(fit$items$b3, vapply(thresholds, `[`, numeric(1), 3))
    expect_identical(fit$items$a, runner_items(runner$report, "a"))
    expect_identical(fit$persons$theta, runner_persons(runner$report, "theta"))
    expect_true(all(fit$items$categories == 4L))
  }
})

timed_test("classic modes 3 and 6 equal the runner's", 120, {
  data <- lsat7()
  for (mode in c(3, 6)) {
    result <- tempfile(fileext = ".txt")
    fit <- tarvo_classic(data, mode = mode, threads = 2, output_file = result)
    runner <- run_runner(data, c("--mode", mode, "--standardize", "yes"))
    expect_same_as_runner(fit, runner, result)
    expect_identical(fit$method, "jml")
  }
})

timed_test("given abilities and given items reach the classic modes", 120, {
  data <- lsat7()
  theta <- seq(-2, 2, length.out = nrow(data))
  result <- tempfile(fileext = ".txt")
  fit <- tarvo_classic(data, mode = 2, theta = theta, threads = 2, output_file = result)
  runner <- run_runner(data, c("--mode", "2"), theta = theta)
  expect_same_as_runner(fit, runner, result)

  items <- data.frame(a = c(0.6, 0.6, 1, 0.45, 0.43), b = c(-1.9, -0.7, -1.1, -0.6, -2.5),
                      c = 0)
  scored <- tarvo_classic(data, mode = 1, items = items, threads = 2)
  expect_identical(scored$items$a, items$a)
  expect_identical(scored$items$b, items$b)
  expect_true(all(is.finite(scored$persons$theta)))
})

timed_test("fit statistics, model comparison and the score table are the report's", 120, {
  data <- lsat7()
  fit <- tarvo_calibrate(data, model = "2pl", compare = c("1pl", "2pl"), score_table = TRUE,
                         threads = 2)
  runner <- run_runner(data, c("--method", "mml", "--model", "2pl", "--compare", "1pl,2pl"))
  report <- runner$report
  expect_identical(itemfit(fit)$S_X2,
                   vapply(report$items, function(r) r$fit$s_x2, numeric(1)))
  lz <- vapply(report$examinees, function(r) if (is.null(r$fit$lz)) NA_real_ else r$fit$lz,
               numeric(1))
  expect_identical(personfit(fit)$lz, lz)
  expect_equal(-2 * as.numeric(logLik(fit)), report$model_fit$minus_2_log_likelihood)
  expect_equal(AIC(fit), report$model_fit$aic, tolerance = 1e-12)
  expect_equal(BIC(fit), report$model_fit$bic, tolerance = 1e-12)
  table <- anova(fit)
  expect_identical(table$model, c("1pl", "2pl"))
  expect_identical(table$minus_2_log_likelihood,
                   vapply(report$model_comparison$models, function(m) m$minus_2_log_likelihood,
                          numeric(1)))
  scores <- tarvo_score_table(fit)
  expect_identical(scores$score, 0:5)
  expect_equal(sum(scores$proportion), 1, tolerance = 1e-9)
})

timed_test("held items keep their values; NA leaves an item free", 120, {
  data <- lsat7()
  given <- data.frame(a = c(0.58, 0.64, 1, 0.45, NA), b = c(-1.88, -0.75, -1.06, -0.64, NA),
                      c = c(0, 0, 0, 0, NA))
  fit <- tarvo_calibrate(data, model = "2pl", items = given, fix_items = TRUE, threads = 2)
  expect_identical(fit$items$held, c(TRUE, TRUE, TRUE, TRUE, FALSE))
  expect_identical(fit$items$a[1:4], given$a[1:4])
  expect_identical(fit$items$b[1:4], given$b[1:4])
  expect_true(is.finite(fit$items$a[5]) && fit$items$a[5] > 0)
  # Every item given: by value, the same run as the runner's with the file.
  all <- given
  all[5, ] <- c(0.43, -2.52, 0)
  held <- tarvo_calibrate(data, model = "2pl", items = all, fix_items = TRUE, threads = 2,
                          estimate_population = TRUE)
  expect_true(all(held$items$held))
  expect_identical(held$items$b, all$b)
  expect_true(all(is.finite(held$persons$theta)))
})
