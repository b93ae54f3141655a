# The expected values of tests/dif: the Mantel-Haenszel, standardization and
# logistic regression DIF screens of the questionnaire spi (items
# dichotomised agree/disagree, score >= 3 -> 1, and as scored 0..5; group
# sex, reference F, the first group in the file) and of a simulated file
# written here (tests/data/dif/dif_sim.dat), computed independently of TARVO
# with base R's mantelhaen.test(correct = TRUE) and glm(family = binomial)
# and, for items scored 0..5, Mantel's ordinal statistic by its formula and
# MASS::polr. The matching score is the total score purified in two stages:
# the items the first stage (total score over every item) puts in ETS
# category B or C are left out of the second stage's sum, except as the
# studied item.
# Run once from the repository root: Rscript bench/reference/dif_spi.R
options(digits = 15)
suppressMessages(library(MASS))
cat(R.version.string, "\n")

ReadFixed <- function(path, items) {
  lines <- readLines(path)
  lines <- sub("\r$", "", lines)
  lines <- formatC(lines, width = 19 + items, flag = "-")
  group <- trimws(substr(lines, 10, 10))
  codes <- sapply(seq_len(items), function(i) {
    ch <- substr(lines, 19 + i, 19 + i)
    suppressWarnings(as.integer(ifelse(ch == " ", NA, ch)))
  })
  list(group = ifelse(group == "", NA, group), codes = codes)
}

EtsCategory <- function(delta, se, p) {
  if (!is.finite(delta) || !is.finite(se) || !is.finite(p)) return(" ")
  if (abs(delta) < 1 || p >= 0.05) return("A")
  if (abs(delta) >= 1.5 && (abs(delta) - 1) / se > qnorm(0.95)) return("C")
  "B"
}

MhBinary <- function(y, g, s, ref, foc) {
  keep <- !is.na(y) & !is.na(g)
  t <- table(factor(g[keep], levels = c(ref, foc)), factor(y[keep], levels = c(1, 0)), s[keep])
  t <- t[, , apply(t, 3, sum) >= 2, drop = FALSE]
  m <- mantelhaen.test(t, correct = TRUE)
  est <- unname(m$estimate)
  sdLog <- (log(m$conf.int[2]) - log(est)) / qnorm(0.975)
  delta <- -2.35 * log(est)
  c(chi = unname(m$statistic), p = m$p.value, alpha = est, delta = delta, se = 2.35 * sdLog,
    cat = EtsCategory(delta, 2.35 * sdLog, m$p.value))
}

# Mantel's ordinal statistic, the Liu-Agresti odds ratio and SMD by formula.
MhOrdinal <- function(y, g, s, ref, foc, m) {
  keep <- !is.na(y) & !is.na(g)
  y <- y[keep]; g <- g[keep]; s <- s[keep]
  sF <- 0; sE <- 0; sV <- 0; num <- 0; den <- 0
  for (k in unique(s)) {
    r <- y[s == k & g == ref]; f <- y[s == k & g == foc]
    nR <- length(r); nF <- length(f); t <- nR + nF
    if (t < 2 || nR == 0 || nF == 0) next
    all <- c(r, f)
    sF <- sF + sum(f); sE <- sE + nF * sum(all) / t
    sV <- sV + nR * nF * (t * sum(all^2) - sum(all)^2) / (t^2 * (t - 1))
    for (j in 0:(m - 2)) {
      num <- num + sum(r > j) * sum(f <= j) / t
      den <- den + sum(r <= j) * sum(f > j) / t
    }
  }
  chi <- (sF - sE)^2 / sV
  c(chi = chi, p = pchisq(chi, 1, lower.tail = FALSE), alpha = num / den, smd = Std(y, g, s, ref, foc))
}

# STD P-DIF (and SMD): focal less reference, weighted by the focal count.
Std <- function(y, g, s, ref, foc) {
  keep <- !is.na(y) & !is.na(g)
  y <- y[keep]; g <- g[keep]; s <- s[keep]
  num <- 0; w <- 0
  for (k in unique(s)) {
    r <- y[s == k & g == ref]; f <- y[s == k & g == foc]
    if (length(r) == 0 || length(f) == 0) next
    num <- num + length(f) * (mean(f) - mean(r)); w <- w + length(f)
  }
  num / w
}

Nagelkerke <- function(ll, ll0, n) (1 - exp(-2 * (ll - ll0) / n)) / (1 - exp(2 * ll0 / n))

LrBinary <- function(y, g, s, ref, foc) {
  keep <- !is.na(y) & !is.na(g)
  yy <- y[keep]; x <- s[keep]; gg <- as.numeric(g[keep] == foc); n <- length(yy)
  ctl <- glm.control(epsilon = 1e-14, maxit = 200)
  ll <- function(f) as.numeric(logLik(glm(f, family = binomial, control = ctl)))
  l00 <- ll(yy ~ 1); l0 <- ll(yy ~ x); l1 <- ll(yy ~ x + gg); l2 <- ll(yy ~ x * gg)
  c(uniform = 2 * (l1 - l0), nonuniform = 2 * (l2 - l1), both = 2 * (l2 - l0),
    p_uniform = pchisq(2 * (l1 - l0), 1, lower.tail = FALSE),
    p_nonuniform = pchisq(2 * (l2 - l1), 1, lower.tail = FALSE),
    p_both = pchisq(2 * (l2 - l0), 2, lower.tail = FALSE),
    r2_both = Nagelkerke(l2, l00, n) - Nagelkerke(l0, l00, n))
}

LrOrdinal <- function(y, g, s, ref, foc) {
  keep <- !is.na(y) & !is.na(g)
  yy <- factor(y[keep]); x <- s[keep]; x <- (x - mean(x)) / sd(x)
  gg <- as.numeric(g[keep] == foc)
  ctl <- list(reltol = 1e-15, maxit = 10000)
  ll <- function(f) as.numeric(logLik(polr(f, method = "logistic", control = ctl)))
  l0 <- ll(yy ~ x); l1 <- ll(yy ~ x + gg); l2 <- ll(yy ~ x * gg)
  c(uniform = 2 * (l1 - l0), nonuniform = 2 * (l2 - l1), both = 2 * (l2 - l0))
}

# The purified matching score of each item.
Strata <- function(codes, group, ref, foc) {
  total <- rowSums(codes, na.rm = TRUE)
  cats <- apply(codes, 2, max, na.rm = TRUE) + 1
  flag1 <- sapply(seq_len(ncol(codes)), function(i) {
    if (cats[i] > 2) return(FALSE)  # the ordinal items' first stage: see below
    MhBinary(codes[, i], group, total, ref, foc)["cat"] %in% c("B", "C")
  })
  list(total = total, flagged = which(flag1),
       base = rowSums(codes[, !flag1, drop = FALSE], na.rm = TRUE))
}

Screen <- function(name, codes, group, ref, foc, items) {
  st <- Strata(codes, group, ref, foc)
  cat(name, ": first stage flags", length(st$flagged), "items:", st$flagged, "\n")
  for (i in items) {
    s <- st$base + if (i %in% st$flagged) ifelse(is.na(codes[, i]), 0, codes[, i]) else 0
    mh <- MhBinary(codes[, i], group, s, ref, foc)
    lr <- LrBinary(codes[, i], group, s, ref, foc)
    cat(sprintf("%s item %d MH chi %.12g p %.12g alpha %.12g delta %.12g se %.12g cat %s\n", name, i,
                as.numeric(mh["chi"]), as.numeric(mh["p"]), as.numeric(mh["alpha"]),
                as.numeric(mh["delta"]), as.numeric(mh["se"]), mh["cat"]))
    cat(sprintf("%s item %d STD %.12g\n", name, i, Std(codes[, i], group, s, ref, foc)))
    cat(sprintf("%s item %d LR %s\n", name, i, paste(sprintf("%.12g", lr), collapse = " ")))
  }
}

# The questionnaire, dichotomised.
spi <- ReadFixed("tests/data/polytomous/spi.dat", 135)
binary <- ifelse(spi$codes >= 3, 1L, 0L)
Screen("spi", binary, spi$group, "F", "M", c(1, 2, 10, 47, 90, 135))

# The questionnaire as scored 0..5, on the total of the scores (no
# purification: the first stage's categories of ordinal items come from SMD,
# which is checked on its own).
total <- rowSums(spi$codes, na.rm = TRUE)
for (i in c(1, 2, 10)) {
  mo <- MhOrdinal(spi$codes[, i], spi$group, total, "F", "M", 6)
  lr <- LrOrdinal(spi$codes[, i], spi$group, total, "F", "M")
  cat(sprintf("spi ordinal item %d Mantel chi %.12g p %.12g LA %.12g SMD %.12g\n", i, mo["chi"],
              mo["p"], mo["alpha"], mo["smd"]))
  cat(sprintf("spi ordinal item %d LR %s\n", i, paste(sprintf("%.12g", lr), collapse = " ")))
}

# A simulated file: 1,500 examinees (750 per group), 12 right/wrong items
# of the 2PL, item 3 harder for the focal group (b + 0.7), item 7 with a
# different slope (1.6 against 0.5), the focal group's mean -0.3, about
# 1% of the responses missing.
set.seed(20261211)
n <- 750
theta <- c(rnorm(n), rnorm(n, -0.3))
group <- rep(c("R", "F"), each = n)
a <- c(1.0, 1.2, 0.9, 1.5, 0.8, 1.1, 1.6, 0.7, 1.3, 1.0, 1.2, 0.9)
b <- c(-1.5, -1.0, -0.5, -0.2, 0, 0.2, 0.4, 0.6, 0.8, 1.0, 1.3, -0.8)
codes <- sapply(seq_along(a), function(i) {
  ai <- ifelse(group == "F" & i == 7, 0.5, a[i])
  bi <- b[i] + ifelse(group == "F" & i == 3, 0.7, 0)
  as.integer(runif(2 * n) < plogis(1.7 * ai * (theta - bi)))
})
codes[runif(length(codes)) < 0.01] <- NA
lines <- sprintf("S%07d %s         %s", seq_len(2 * n), group,
                 apply(ifelse(is.na(codes), " ", codes), 1, paste, collapse = ""))
dir.create("tests/data/dif", showWarnings = FALSE)
con <- file("tests/data/dif/dif_sim.dat", "wb")
writeLines(paste0(lines, "\r"), con, sep = "\n")
close(con)
Screen("sim", codes, group, "R", "F", 1:12)

# The same file matched on the rest score: the first stage on the total less
# the studied item, the second on the unflagged items less the studied one.
restTotal <- rowSums(codes, na.rm = TRUE)
y0 <- function(i) ifelse(is.na(codes[, i]), 0, codes[, i])
flagRest <- which(sapply(1:12, function(i)
  MhBinary(codes[, i], group, restTotal - y0(i), "R", "F")["cat"] %in% c("B", "C")))
cat("sim rest: first stage flags", flagRest, "\n")
restBase <- rowSums(codes[, -flagRest, drop = FALSE], na.rm = TRUE)
for (i in c(1, 3, 7)) {
  s <- restBase - if (i %in% flagRest) 0 else y0(i)
  mh <- MhBinary(codes[, i], group, s, "R", "F")
  lr <- LrBinary(codes[, i], group, s, "R", "F")
  cat(sprintf("sim rest item %d MH chi %.12g delta %.12g LR %.12g %.12g\n", i,
              as.numeric(mh["chi"]), as.numeric(mh["delta"]), lr["uniform"], lr["nonuniform"]))
}
