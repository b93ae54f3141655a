#' Plots of a TARVO fit
#'
#' @param x a \code{tarvo_fit}.
#' @param type "icc" the item curves (expected score by ability), "info" the
#'   test information with the items' and the standard error of theta, or
#'   "wright" a Wright map of the examinees' abilities beside the items'
#'   locations.
#' @param items the items to draw (numbers or names; all by default).
#' @param theta the abilities to draw the curves over.
#' @param ... passed to the plotting functions.
#' @export
plot.tarvo_fit <- function(x, type = c("icc", "info", "wright"), items = NULL,
                           theta = seq(-4, 4, length.out = 161), ...) {
  type <- match.arg(type)
  chosen <- if (is.null(items)) seq_len(nrow(x$items)) else items
  names <- rownames(x$items)
  if (is.character(chosen)) chosen <- match(chosen, names)
  if (anyNA(chosen)) stop("items names an item the fit does not have")
  probs <- tarvo_category_probabilities(x, theta)[chosen]
  if (type == "icc") {
    expected <- vapply(probs, function(p) as.vector(p %*% (seq_len(ncol(p)) - 1)),
                       numeric(length(theta)))
    graphics::matplot(theta, expected, type = "l", lty = 1, xlab = "theta",
                      ylab = "expected score", main = "Item curves", ...)
    graphics::legend("topleft", legend = names[chosen], col = seq_along(chosen), lty = 1,
                     cex = 0.7, bty = "n")
  } else if (type == "info") {
    info <- vapply(probs, function(p) tarvo_item_information(p, theta), numeric(length(theta)))
    info <- matrix(info, nrow = length(theta))
    all <- tarvo_category_probabilities(x, theta)
    test <- rowSums(matrix(vapply(all, function(p) tarvo_item_information(p, theta),
                                  numeric(length(theta))), nrow = length(theta)))
    graphics::matplot(theta, cbind(test, info), type = "l", lty = c(1, rep(2, ncol(info))),
                      lwd = c(2, rep(1, ncol(info))), xlab = "theta", ylab = "information",
                      main = "Test information", ...)
    graphics::par(new = TRUE)
    graphics::plot(theta, 1 / sqrt(test), type = "l", col = "grey40", axes = FALSE,
                   xlab = "", ylab = "")
    graphics::axis(4)
    graphics::mtext("standard error", side = 4, line = -1.5, cex = 0.8)
  } else {
    ability <- x$persons$theta
    ability <- ability[is.finite(ability)]
    location <- x$items$b[chosen]
    old <- graphics::par(mfrow = c(1, 2))
    on.exit(graphics::par(old))
    range <- range(c(ability, location[is.finite(location)]))
    h <- graphics::hist(ability, breaks = 30, plot = FALSE)
    graphics::barplot(h$counts, horiz = TRUE, space = 0, main = "Examinees",
                      xlab = "count", ...)
    graphics::plot(rep(1, length(location)), location, ylim = range, pch = 4, xaxt = "n",
                   xlab = "", ylab = "theta / b", main = "Items")
    graphics::text(rep(1, length(location)), location, names[chosen], pos = 4, cex = 0.7)
  }
  invisible(x)
}

# An item's information at theta from its category probabilities (rows by
# ability): the sum over categories of P'^2 / P, P' by central differences.
tarvo_item_information <- function(p, theta) {
  n <- length(theta)
  if (n < 3) stop("theta needs at least three points")
  slope <- rbind(p[2, ] - p[1, ], (p[3:n, , drop = FALSE] - p[1:(n - 2), , drop = FALSE]) / 2,
                 p[n, ] - p[n - 1, ])
  step <- c(theta[2] - theta[1], (theta[3:n] - theta[1:(n - 2)]) / 2, theta[n] - theta[n - 1])
  slope <- slope / step
  rowSums(slope^2 / pmax(p, 1e-300))
}
