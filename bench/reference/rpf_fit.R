# Reference fit statistics by R's rpf package, for the benchmark only: S-X2
# (SitemFit, the items' estimated parameters marked free) and the infit and
# outfit mean squares (rpf.1dim.fit) on given item parameters and abilities,
# so that tarvo's numbers can be set beside them.
# Usage: Rscript rpf_fit.R RESPONSES ITEMS THETAS OUTPUT
#   RESPONSES: one line per examinee, one code per item (1 correct,
#              0 incorrect, anything else missing)
#   ITEMS: one line per item "a,b,c,free" on tarvo's metric
#              P = c + (1 - c) / (1 + exp(-1.7 a (theta - b))),
#              free = how many of the item's parameters were estimated
#   THETAS: one ability per line, one line per examinee
# Writes OUTPUT: per item "item,sx2,df,p,infit,infit_t,outfit,outfit_t"; per
# item and rest score, before rpf joins any cells, "table,ITEM,REST,observed
# incorrect,observed correct,expected incorrect,expected correct" (ITEM and
# REST from 0); then
# per examinee rpf keeps "person,N,infit,infit_t,outfit,outfit_t" (N counted
# from 1; rpf leaves out examinees whose responses are all right or all
# wrong).
#
# The parameterisation: rpf's drm item is logit P* = slope theta + intercept
# with a lower asymptote g on the logit scale and an upper one u, so
# slope = 1.7 a, intercept = -1.7 a b, g = logit(c), u = logit(1) = Inf.
# The ability distribution is the standard normal on 61 points from -6 to 6
# (qwidth 6, qpoints 61), the marginal estimator's default quadrature.
suppressMessages(library(rpf))
args <- commandArgs(TRUE)
codes <- readLines(args[1])
items <- read.csv(args[2], header = FALSE, col.names = c("a", "b", "c", "free"))
theta <- as.numeric(readLines(args[3]))
output <- args[4]
k <- nrow(items)
D <- 1.7

m <- matrix(unlist(strsplit(codes, "")), ncol = k, byrow = TRUE)
data <- as.data.frame(lapply(seq_len(k), function(i) {
    x <- suppressWarnings(as.integer(m[, i]))
    x[!(x %in% 0:1)] <- NA
    factor(x, levels = 0:1, ordered = TRUE)
}))
names(data) <- paste0("i", seq_len(k))

models <- rep(list(rpf.drm(factors = 1)), k)
param <- rbind(D * items$a, -D * items$a * items$b, qlogis(items$c), qlogis(1))
colnames(param) <- names(data)
free <- sapply(items$free, function(n) c(rep(TRUE, n), rep(FALSE, 4 - n)))
grp <- list(spec = models, param = param, free = free, mean = 0, cov = matrix(1), data = data,
            qwidth = 6, qpoints = 61L)

sfit <- SitemFit(grp, .parallel = FALSE)
# SitemFit's p is on the log scale whatever its log argument says; the
# chi-square tail is taken here from its statistic and df instead.
sx2 <- sapply(sfit, function(x) x$statistic)
df <- sapply(sfit, function(x) x$df)
p <- pchisq(sx2, df, lower.tail = FALSE)

ifit <- suppressWarnings(rpf.1dim.fit(models, param, data, theta, 2, wh.exact = TRUE))
pfit <- suppressWarnings(rpf.1dim.fit(models, param, data, theta, 1, wh.exact = TRUE))
f <- function(x) ifelse(is.na(x), "NA", sprintf("%.12g", x))
tables <- unlist(lapply(seq_len(k), function(i) {
    o <- sfit[[i]]$orig.observed
    e <- sfit[[i]]$orig.expected
    sprintf("table,%d,%s,%s,%s,%s,%s", i - 1, rownames(o), f(o[, 1]), f(o[, 2]), f(e[, 1]),
            f(e[, 2]))
}))
lines <- c(tables,
    sprintf("item,%s,%s,%s,%s,%s,%s,%s", f(sx2), f(df), f(p), f(ifit$infit), f(ifit$infit.z),
            f(ifit$outfit), f(ifit$outfit.z)),
    sprintf("person,%s,%s,%s,%s,%s", as.character(pfit$name), f(pfit$infit), f(pfit$infit.z),
            f(pfit$outfit), f(pfit$outfit.z)))
writeLines(lines, output)
