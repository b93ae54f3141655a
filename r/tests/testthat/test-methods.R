# What R users expect of a fit: shapes, names, metric, residuals.

timed_test("the logistic metric multiplies a and its error by D, nothing else", 60, {
  data <- lsat7()
  normal <- tarvo_calibrate(data, model = "2pl", threads = 1)
  logistic <- tarvo_calibrate(data, model = "2pl", metric = "logistic", threads = 1)
  expect_identical(logistic$items$a, normal$items$a * 1.7)
  expect_identical(logistic$items$se_a, normal$items$se_a * 1.7)
  expect_identical(logistic$items$b, normal$items$b)
  expect_identical(logistic$persons$theta, normal$persons$theta)
  # The curves are the same on either metric.
  expect_equal(fitted(logistic), fitted(normal), tolerance = 1e-12)
})

timed_test("tables carry item names and examinee IDs, NA for what is missing", 60, {
  data <- lsat7()[1:300, ]
  rownames(data) <- sprintf("P%03d", seq_len(nrow(data)))
  data[1, "Q2"] <- NA
  fit <- tarvo_calibrate(data, model = "2pl", threads = 1)
  expect_identical(rownames(coef(fit)), names(data))
  expect_identical(rownames(scores(fit)), rownames(data))
  expect_identical(rownames(itemfit(fit)), names(data))
  expect_identical(rownames(personfit(fit)), rownames(data))
  expect_identical(scores(fit)$nvalid[1:2], c(4L, 5L))
  expect_true(all(is.na(fit$items$se_c)))  # the 2PL has no c to estimate
  r <- residuals(fit)
  expect_identical(dim(r), dim(data))
  expect_true(is.na(r[1, "Q2"]))
  expect_equal(r[2, ], unlist(data[2, ]) - fitted(fit)[2, ], tolerance = 1e-15)
  z <- residuals(fit, type = "standardized")
  expect_true(all(abs(z[!is.na(z)]) < 20))
})

timed_test("anova of nested fits is the likelihood-ratio test", 60, {
  data <- lsat7()
  small <- tarvo_calibrate(data, model = "1pl", threads = 1)
  large <- tarvo_calibrate(data, model = "2pl", threads = 1)
  table <- anova(large, small)
  expect_identical(rownames(table), c("1pl", "2pl"))
  expect_equal(table$chisq[2], 2 * (large$loglik - small$loglik))
  expect_equal(table$df[2], large$npar - small$npar)
  expect_true(table$p[2] < 0.05)
  other <- tarvo_calibrate(data[1:500, ], model = "1pl", threads = 1)
  expect_error(anova(large, other), "not of the same data")
})

timed_test("print, summary and the three plots draw without error", 60, {
  fit <- tarvo_calibrate(graded_data(200, 4), model = "grm", threads = 1)
  expect_output(print(fit), "model grm")
  expect_output(print(summary(fit)), "Items:")
  grDevices::pdf(NULL)
  on.exit(grDevices::dev.off())
  for (type in c("icc", "info", "wright")) expect_silent(plot(fit, type = type))
  probs <- tarvo:::tarvo_category_probabilities(fit, c(-1, 0, 1))
  expect_equal(unname(rowSums(probs[[1]])), c(1, 1, 1))
  expect_error(plot(fit, items = "nope"), "does not have")
})
