# Examinees' groups: the labels a run takes, the runner options the typed
# arguments stand for, and the report's group sections as data frames.

# The data without the group column when group names one, and one label
# per examinee ("" unknown), or NULL without groups.
tarvo_split_groups <- function(data, group) {
  if (is.null(group)) return(list(data = data, labels = NULL))
  if (is.character(group) && length(group) == 1 && nrow(data) != 1) {
    if (!group %in% colnames(data)) {
      stop(sprintf(paste0("group names the column '%s', which the data do not have: name a ",
                          "column of the data or give one label per examinee."), group),
           call. = FALSE)
    }
    labels <- data[, group, drop = TRUE]
    data <- data[, colnames(data) != group, drop = FALSE]
  } else {
    labels <- group
  }
  labels <- if (is.factor(labels)) as.character(labels) else labels
  text <- trimws(as.character(labels))
  text[is.na(labels)] <- ""
  list(data = data, labels = text)
}

tarvo_group_options <- function(groups, reference_group, focal_groups, dif, dif_match = NULL,
                                anchors = NULL, free_items = NULL, free_dif = FALSE) {
  joined <- function(x) paste(x, collapse = ",")
  c(if (isTRUE(groups)) c("groups", "yes"),
    if (!is.null(reference_group)) c("reference-group", as.character(reference_group)),
    if (!is.null(focal_groups)) c("focal-groups", joined(focal_groups)),
    if (!is.null(dif)) c("dif", joined(dif)),
    if (!is.null(dif_match)) c("dif-match", as.character(dif_match)),
    if (!is.null(anchors)) c("anchors", joined(anchors)),
    if (!is.null(free_items)) c("free-items", joined(free_items)),
    if (isTRUE(free_dif)) c("free-dif", "yes"))
}

# A list of JSON objects as a data frame: null is NA, nested objects
# (the logistic screen's two tests) become columns prefix_name.
tarvo_rows_frame <- function(rows, drop = character()) {
  flat <- lapply(rows, function(row) {
    row <- row[setdiff(names(row), drop)]
    out <- list()
    for (name in names(row)) {
      value <- row[[name]]
      if (is.list(value)) {
        for (inner in names(value)) {
          out[[paste0(name, "_", inner)]] <- if (is.null(value[[inner]])) NA else value[[inner]]
        }
      } else {
        out[[name]] <- if (is.null(value)) NA else value
      }
    }
    out
  })
  columns <- unique(unlist(lapply(flat, names)))
  frame <- lapply(columns, function(column) {
    values <- lapply(flat, function(row) if (is.null(row[[column]])) NA else row[[column]])
    unlist(values)
  })
  names(frame) <- columns
  as.data.frame(frame, stringsAsFactors = FALSE, check.names = FALSE)
}

# The group tables from the report's group sections (a small JSON object:
# parsing the whole report would cost more than the run on large data).
tarvo_group_tables <- function(sections_json) {
  report <- jsonlite::fromJSON(sections_json, simplifyVector = FALSE)
  by_label <- function(frame) {
    rownames(frame) <- frame$label
    frame
  }
  groups <- report$groups
  calibration <- report$group_calibration
  dif <- report$dif
  list(
    groups = if (is.list(groups)) by_label(tarvo_rows_frame(groups$groups)),
    group_calibration = if (is.list(calibration)) {
      by_label(tarvo_rows_frame(calibration$groups, drop = "histogram"))
    },
    dif = if (is.list(dif) && !is.null(dif$comparisons)) {
      rows <- list()
      for (comparison in dif$comparisons) {
        for (table in comparison$tables) {
          for (row in table$rows) {
            rows[[length(rows) + 1]] <- c(list(reference = comparison$reference,
                                               focal = comparison$focal,
                                               method = table$method), row)
          }
        }
      }
      frame <- tarvo_rows_frame(rows)
      # The report writes undefined numbers as null.
      for (column in intersect(c("statistic", "p", "p_adjusted", "effect"), names(frame))) {
        frame[[column]] <- as.numeric(frame[[column]])
      }
      frame
    })
}
