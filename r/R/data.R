# R data as the engine takes it: the responses as columns (a data frame's
# own columns or a matrix, handed over without a copy of R's cells), their
# item names and examinee IDs; given items as an item parameter file.

tarvo_prepare_responses <- function(data) {
  if (is.null(data)) stop("data must be a data frame or a matrix of responses, not NULL")
  if (is.data.frame(data)) {
    columns <- unclass(data)
    attributes(columns) <- NULL
    bad <- vapply(columns, function(col) !is.atomic(col) || !is.null(dim(col)), logical(1))
    if (any(bad)) {
      stop(sprintf("Column '%s' is not one response per examinee.", names(data)[which(bad)[1]]))
    }
    factors <- vapply(columns, is.factor, logical(1))
    columns[factors] <- lapply(columns[factors], as.character)
    ids <- attr(data, "row.names")
    items <- names(data)
    values <- columns
  } else if (is.matrix(data)) {
    if (!(is.numeric(data) || is.logical(data) || is.character(data))) {
      stop("data must hold numbers, logical values or text")
    }
    ids <- rownames(data)
    items <- colnames(data)
    values <- data
  } else if (is.list(data)) {
    lengths <- vapply(data, length, integer(1))
    if (length(unique(lengths)) > 1) {
      stop(sprintf("The response data are not rectangular: the items hold %s responses.",
                   paste(unique(lengths), collapse = ", ")))
    }
    return(tarvo_prepare_responses(as.data.frame(data, stringsAsFactors = FALSE)))
  } else {
    stop("data must be a data frame or a matrix of responses")
  }
  count <- if (is.matrix(values)) ncol(values) else length(values)
  n <- nrow(data)
  ids <- if (is.character(ids)) ids else as.character(seq_len(n))
  if (is.null(items)) items <- paste0("Item", seq_len(count))
  unnamed <- is.na(items) | items == ""
  items[unnamed] <- paste0("Item", which(unnamed))
  list(values = values, items = items, ids = ids, examinees = n)
}

# A number as text that reads back to the same double. NaN stays "NaN", so
# that the reader refuses it with its own message; NA is an empty field (not
# given).
tarvo_number_text <- function(x) {
  out <- sprintf("%.17g", x)
  out[is.nan(x)] <- "NaN"
  out[is.na(x) & !is.nan(x)] <- ""
  out
}

# The item parameter file: a (1-26), b (28-53), c (55-80) in fixed columns,
# each value to 17 significant digits, one line per item in column order.
tarvo_item_columns <- list(a = c(1, 26), b = c(28, 26), c = c(55, 26))

# Given item parameters as three numeric columns a, b, c, one value per item
# (a 1 and c 0 where the frame has no such column).
tarvo_given_items <- function(items, nitems) {
  if (!is.data.frame(items) && !is.matrix(items)) {
    stop("items must be a data frame with columns a, b and c (one row per item)")
  }
  items <- as.data.frame(items)
  if (nrow(items) != nitems) {
    stop(sprintf("items has %d rows, but the data have %d items.", nrow(items), nitems))
  }
  if (!("b" %in% names(items))) stop("items must have a column b")
  column <- function(name, default) {
    if (name %in% names(items)) as.numeric(items[[name]]) else rep(default, nitems)
  }
  list(a = column("a", 1), b = column("b", NA_real_), c = column("c", 0))
}

# The item parameter file of given items, where some are left free (NA).
tarvo_write_items <- function(given, file) {
  free <- is.na(given$a) & is.na(given$b) & is.na(given$c) &
    !is.nan(given$a) & !is.nan(given$b) & !is.nan(given$c)
  line <- sprintf("%26s %26s %26s", tarvo_number_text(given$a), tarvo_number_text(given$b),
                  tarvo_number_text(given$c))
  line[free] <- ""
  writeLines(line, file)
}

# The responses as scores (NA missing): the key's right answer 1, any other
# answer 0; without a key the cells' own numbers.
tarvo_scores_of <- function(prepared, key) {
  values <- prepared$values
  cells <- if (is.matrix(values)) values else do.call(cbind, values)
  if (!is.null(key)) {
    keys <- if (length(key) == 1) strsplit(key, "")[[1]] else as.character(key)
    scored <- matrix(as.numeric(t(t(cells) == keys)), nrow = nrow(cells))
    scored[is.na(cells) | cells == ""] <- NA
  } else {
    scored <- suppressWarnings(matrix(as.numeric(cells), nrow = nrow(cells)))
  }
  dimnames(scored) <- list(prepared$ids, prepared$items)
  scored
}
