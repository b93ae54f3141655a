# R's interrupt reaches the run through its stop poll: the run stops at its
# next check point and the call ends in R's interrupt, not in a result. An
# elapsed-time limit is raised where Ctrl-C is, in R_CheckUserInterrupt.

timed_test("an interrupt stops a long run promptly", 120, {
  set.seed(7)
  # Large enough that the run outlasts the one-second limit on a fast, idle
  # machine (at 20,000 x 40 it could settle first, and the limit then fell
  # in R's own code after it, an error and not an interrupt), and a matrix,
  # which the package takes without R-side work inside the limit.
  n <- 100000
  items <- 40
  theta <- rnorm(n)
  b <- seq(-2, 2, length.out = items)
  data <- matrix(as.integer(runif(n * items) < plogis(1.7 * outer(theta, b, "-"))), n, items)
  outcome <- local({
    setTimeLimit(elapsed = 1, transient = TRUE)
    on.exit(setTimeLimit(elapsed = Inf))
    elapsed <- system.time(ended <- tryCatch(
      tarvo_calibrate(data, model = "3pl", em_cycles = 100000, em_tolerance = 1e-12,
                      threads = 2),
      interrupt = function(e) "interrupted"))[["elapsed"]]
    list(ended = ended, elapsed = elapsed)
  })
  expect_identical(outcome$ended, "interrupted")
  # Nowhere near the many seconds the run would take to its end.
  expect_lt(outcome$elapsed, 30)
  # The package is still usable after it.
  expect_s3_class(tarvo_calibrate(data[1:500, 1:5], model = "1pl", threads = 1), "tarvo_fit")
})
