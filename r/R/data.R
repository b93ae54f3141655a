# Turning R data into the runner's input: a CSV file of the responses (an ID
# column, then one column per item) and, for given items, an item parameter
# file in fixed columns.

# The response matrix as characters, with its item names and examinee IDs.
# Logical and whole numbers become their digits, NA an empty cell; text
# stays text (scored by the key, or refused by the run when there is none).
tarvo_prepare_responses <- function(data) {
  if (is.null(data)) stop("data must be a data frame or a matrix of responses, not NULL")
  if (is.data.frame(data)) {
    if (ncol(data) == 0 || nrow(data) == 0) {
      stop(sprintf("The response data are empty: %d examinees x %d items.", nrow(data), ncol(data)))
    }
    bad <- vapply(data, function(col) is.list(col) || (!is.atomic(col)), logical(1))
    if (any(bad)) {
      stop(sprintf("Column '%s' is not one response per examinee (a list column).",
                   names(data)[which(bad)[1]]))
    }
    ids <- attr(data, "row.names")
    ids <- if (is.character(ids)) ids else as.character(seq_len(nrow(data)))
    items <- names(data)
    cells <- vapply(data, tarvo_cells, character(nrow(data)))
    if (!is.matrix(cells)) cells <- matrix(cells, nrow = nrow(data))
  } else if (is.matrix(data)) {
    if (ncol(data) == 0 || nrow(data) == 0) {
      stop(sprintf("The response data are empty: %d examinees x %d items.", nrow(data), ncol(data)))
    }
    ids <- rownames(data)
    if (is.null(ids)) ids <- as.character(seq_len(nrow(data)))
    items <- colnames(data)
    cells <- matrix(tarvo_cells(as.vector(data)), nrow = nrow(data))
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
  if (is.null(items)) items <- paste0("Item", seq_len(ncol(cells)))
  items[is.na(items) | items == ""] <- paste0("Item", which(is.na(items) | items == ""))
  list(cells = cells, items = items, ids = ids)
}

tarvo_cells <- function(x) {
  if (is.factor(x)) x <- as.character(x)
  if (is.logical(x)) x <- as.integer(x)
  if (is.numeric(x)) {
    finite <- !is.na(x)
    if (any(is.nan(x) | is.infinite(x))) x[is.nan(x) | is.infinite(x)] <- NA
    whole <- !finite | x == round(x)
    out <- ifelse(is.na(x), "", as.character(ifelse(whole, sprintf("%.0f", x), x)))
    return(out)
  }
  x <- as.character(x)
  x[is.na(x)] <- ""
  x
}

# One CSV cell: quoted when it holds a comma, a quote or a line end.
tarvo_csv_quote <- function(x) {
  needs <- grepl("[\",\r\n]", x)
  x[needs] <- paste0("\"", gsub("\"", "\"\"", x[needs]), "\"")
  x
}

# Writes the responses (and given abilities) as a CSV file with a header.
tarvo_write_responses <- function(prepared, file, theta = NULL) {
  header <- c("ExaminID", if (!is.null(theta)) "theta", prepared$items)
  body <- prepared$cells
  body[] <- tarvo_csv_quote(body)
  ids <- tarvo_csv_quote(prepared$ids)
  columns <- c(list(ids), if (!is.null(theta)) list(tarvo_number_text(theta)),
               lapply(seq_len(ncol(body)), function(j) body[, j]))
  lines <- do.call(paste, c(columns, sep = ","))
  writeLines(c(paste(tarvo_csv_quote(header), collapse = ","), lines), file, useBytes = TRUE)
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

tarvo_write_items <- function(items, nitems, file) {
  if (!is.data.frame(items) && !is.matrix(items)) {
    stop("items must be a data frame with columns a, b and c (one row per item)")
  }
  items <- as.data.frame(items)
  if (nrow(items) != nitems) {
    stop(sprintf("items has %d rows, but the data have %d items.", nrow(items), nitems))
  }
  column <- function(name, default) {
    if (name %in% names(items)) as.numeric(items[[name]]) else rep(default, nitems)
  }
  a <- column("a", 1)
  b <- column("b", NA_real_)
  c <- column("c", 0)
  if (!("b" %in% names(items))) stop("items must have a column b")
  line <- sprintf("%26s %26s %26s", tarvo_number_text(a), tarvo_number_text(b),
                  tarvo_number_text(c))
  writeLines(line, file)
}
