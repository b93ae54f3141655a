library(testthat)
library(tarvo)

test_check("tarvo")
