# Bad input is an R error carrying the engine's own message, never a crash
# or a silent result.

timed_test("letters without a key end the run with the input check's message", 60, {
  data <- data.frame(Q1 = c("A", "B", "A", "C"), Q2 = c("B", "B", "C", "A"))
  expect_error(tarvo_calibrate(data, model = "2pl", threads = 1),
               "the responses are letters, but no key")
  # With the key they are scored and the run goes through.
  scored <- tarvo_calibrate(data.frame(Q1 = rep(c("A", "B"), 50), Q2 = rep(c("B", "C"), 50),
                                       Q3 = rep(c("C", "C", "A", "C"), 25)),
                            model = "1pl", key = "ABC", threads = 1)
  expect_identical(unname(tarvo:::tarvo_scores_of(scored$prepared, "ABC")[1:2, 1]), c(1, 0))
})

timed_test("empty, ragged and unreadable data are refused with a message", 60, {
  expect_error(tarvo_calibrate(data.frame()), "The response frame 'responses' holds no row:",
               fixed = TRUE)
  expect_error(tarvo_calibrate(matrix(integer(), 0, 3)), "holds no row")
  expect_error(tarvo_calibrate(data.frame(Q1 = c(1, 0.5), Q2 = c(1, 0))),
               "Item 'Q1' holds 0.5")
  expect_error(tarvo_calibrate(data.frame(Q1 = c("AB", "C"), Q2 = c("A", "B")), key = "AB"),
               "Item 'Q1' holds 'AB'")
  expect_error(tarvo_calibrate(list(Q1 = c(1, 0, 1), Q2 = c(1, 0))), "not rectangular")
  expect_error(tarvo_calibrate("1011"), "data frame or a matrix")
})

timed_test("NaN in given items is the item check's refusal", 60, {
  data <- lsat7()
  items <- data.frame(a = c(NaN, 1, 1, 1, 1), b = 0, c = 0)
  runner_message <- tryCatch(tarvo_calibrate(data, model = "2pl", items = items,
                                             fix_items = TRUE, threads = 1),
                             error = conditionMessage)
  expect_match(runner_message, "line 1")
  expect_error(tarvo_calibrate(data, model = "2pl", items = items[1:4, ], fix_items = TRUE),
               "4 rows, but the data have 5 items")
})

timed_test("an option out of range is the parser's sentence", 60, {
  expect_error(tarvo_calibrate(lsat7(), quadrature = 4),
               "Quadrature points (--quadrature) must be a whole number from 5 to 1001, not '4'.",
               fixed = TRUE)
  expect_error(tarvo_calibrate(lsat7(), model = "5pl"), "5pl")
})
