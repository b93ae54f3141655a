# The expected values of tests/linking: the linking constants, their
# delta-method errors, the score table and the true-score equating of one
# fixed pair of forms, computed here independently of TARVO with base R
# only (optim and optimize for the minima, numerical derivatives for the
# errors, every response pattern summed for the score likelihoods).
# Run once: Rscript bench/reference/linking_reference.R
options(digits = 12)
D <- 1.7
P <- function(theta, a, b, c) c + (1 - c) / (1 + exp(-D * a * (theta - b)))

base <- list(a = c(0.8, 1.2, 1.0, 1.5, 0.6, 1.1, 0.9, 1.3),
             b = c(-1.5, -0.8, -0.2, 0.0, 0.4, 0.9, 1.3, 2.0),
             c = c(0.15, 0.2, 0.1, 0.25, 0.2, 0.15, 0.1, 0.2))
A0 <- 1.2; B0 <- 0.3
new <- list(a = A0 * base$a * (1 + c(0.05, -0.04, 0.02, -0.06, 0.03, 0.01, -0.02, 0.04)),
            b = (base$b - B0) / A0 + c(0.06, -0.05, 0.03, 0.02, -0.04, 0.05, -0.03, -0.02),
            c = base$c + c(0.01, -0.02, 0, 0.02, 0.01, 0.01, 0, 0.01))
k <- 0:7
se <- list(aBase = 0.10 + 0.01 * k, bBase = 0.08 + 0.01 * k, cBase = rep(0.03, 8),
           aNew = 0.12 + 0.01 * k, bNew = 0.09 + 0.01 * k, cNew = rep(0.04, 8))
cat("new a:", sprintf("%.10f", new$a), "\n")
cat("new b:", sprintf("%.10f", new$b), "\n")
cat("new c:", sprintf("%.10f", new$c), "\n")

grid <- seq(-4, 4, length.out = 41)
w <- dnorm(grid); w <- w / sum(w)

meanmean <- function(p) {
  A <- mean(p$aNew) / mean(p$aBase)
  c(A, mean(p$bBase) - A * mean(p$bNew))
}
sdn <- function(x) sqrt(mean((x - mean(x))^2))
meansigma <- function(p) {
  A <- sdn(p$bBase) / sdn(p$bNew)
  c(A, mean(p$bBase) - A * mean(p$bNew))
}
criterion <- function(x, p, method, symmetric) {
  A <- x[1]; B <- x[2]
  part <- function(aF, bF, cF, aM, bM, cM) {
    total <- 0
    for (q in seq_along(grid)) {
      pf <- P(grid[q], aF, bF, cF); pm <- P(grid[q], aM, bM, cM)
      total <- total + w[q] * (if (method == "haebara") sum((pf - pm)^2) else (sum(pf) - sum(pm))^2)
    }
    total
  }
  v <- part(p$aBase, p$bBase, p$cBase, p$aNew / A, A * p$bNew + B, p$cNew)
  if (symmetric) v <- v + part(p$aNew, p$bNew, p$cNew, A * p$aBase, (p$bBase - B) / A, p$cBase)
  v
}
curvelinkB <- function(p, m, s = FALSE) {
  f <- function(x) criterion(x, p, m, s)
  fit <- optim(meansigma(p), f, method = "BFGS", control = list(reltol = 1e-16, maxit = 10000))
  fit <- optim(fit$par, f, method = "Nelder-Mead", control = list(reltol = 1e-16, maxit = 20000))
  fit <- optim(fit$par, f, method = "BFGS", control = list(reltol = 1e-16, maxit = 10000))
  fit$par
}
p <- list(aBase = base$a, bBase = base$b, cBase = base$c, aNew = new$a, bNew = new$b, cNew = new$c)
methods <- list("mean/mean" = meanmean, "mean/sigma" = meansigma,
                "haebara" = function(p) curvelinkB(p, "haebara"),
                "stocking-lord" = function(p) curvelinkB(p, "sl"),
                "haebara symmetric" = function(p) curvelinkB(p, "haebara", TRUE),
                "stocking-lord symmetric" = function(p) curvelinkB(p, "sl", TRUE))
names(se) <- c("aBase", "bBase", "cBase", "aNew", "bNew", "cNew")
for (name in names(methods)) {
  f <- methods[[name]]
  x <- f(p)
  # delta method: central differences of the constants in each parameter
  varA <- 0; varB <- 0
  for (u in names(se)) for (i in 1:8) {
    h <- 1e-4
    up <- p; up[[u]][i] <- up[[u]][i] + h
    dn <- p; dn[[u]][i] <- dn[[u]][i] - h
    d <- (f(up) - f(dn)) / (2 * h)
    varA <- varA + d[1]^2 * se[[u]][i]^2
    varB <- varB + d[2]^2 * se[[u]][i]^2
  }
  cat(sprintf("%-24s A %.10f B %.10f se_A %.8f se_B %.8f\n", name, x[1], x[2], sqrt(varA), sqrt(varB)))
}

# The score table of the new form carried over by Stocking-Lord's constants,
# for N(0, 1) over 61 points from -6 to 6, every pattern summed.
x <- curvelinkB(p, "sl")
moved <- list(a = new$a / x[1], b = x[1] * new$b + x[2], c = new$c)
cat("moved a:", sprintf("%.10f", moved$a), "\n")
cat("moved b:", sprintf("%.10f", moved$b), "\n")
pts <- seq(-6, 6, length.out = 61)
pw <- dnorm(pts); pw <- pw / sum(pw)
patterns <- as.matrix(expand.grid(rep(list(0:1), 8)))
scoreLik <- function(theta, items) {
  pr <- P(theta, items$a, items$b, items$c)
  lik <- apply(patterns, 1, function(r) prod(ifelse(r == 1, pr, 1 - pr)))
  sapply(0:8, function(s) sum(lik[rowSums(patterns) == s]))
}
L <- sapply(pts, scoreLik, items = moved)  # 9 x 61
for (s in 0:8) {
  m <- sum(pw * L[s + 1, ])
  eap <- sum(pw * L[s + 1, ] * pts) / m
  sd <- sqrt(sum(pw * L[s + 1, ] * pts^2) / m - eap^2)
  ml <- NA
  if (s > 0 && s < 8) {
    opt <- optimize(function(t) scoreLik(t, moved)[s + 1], c(-10, 10), maximum = TRUE, tol = 1e-12)
    floorLik <- scoreLik(-1e3, moved)[s + 1]
    if (opt$objective > floorLik && opt$maximum > -9.9) ml <- opt$maximum
  }
  cat(sprintf("score %d proportion %.10f eap %.10f sd %.10f ml %s\n", s, m, eap, sd,
              ifelse(is.na(ml), "NA", sprintf("%.8f", ml))))
}
# True-score equating of the moved new form to the base form.
tcc <- function(t, items) sum(P(t, items$a, items$b, items$c))
for (s in 0:8) {
  if (s <= sum(moved$c)) {
    e <- s * sum(base$c) / sum(moved$c); th <- NA
  } else if (s == 8) {
    e <- 8; th <- Inf
  } else {
    th <- uniroot(function(t) tcc(t, moved) - s, c(-40, 40), tol = 1e-14)$root
    e <- tcc(th, base)
  }
  cat(sprintf("equate %d theta %.10f base %.10f\n", s, th, e))
}
