# The run's report (the runner's JSON, read by jsonlite without
# simplification) made into the fit object's data frames.

tarvo_num <- function(x) if (is.null(x)) NA_real_ else as.numeric(x)
tarvo_int <- function(x) if (is.null(x)) NA_integer_ else as.integer(x)
tarvo_chr <- function(x) if (is.null(x)) NA_character_ else as.character(x)
tarvo_field <- function(rows, getter, type) vapply(rows, getter, type)
tarvo_flags <- function(x) if (length(x)) paste(unlist(x), collapse = ",") else ""

# A standard error of -1 means the parameter was not estimated.
tarvo_se <- function(x) ifelse(!is.na(x) & x < 0, NA_real_, x)

tarvo_item_frame <- function(rows, names, metric) {
  scale <- if (metric == "logistic") tarvo_D else 1
  get <- function(name) tarvo_field(rows, function(r) tarvo_num(r[[name]]), numeric(1))
  frame <- data.frame(
    model = tarvo_field(rows, function(r) {
      model <- r$polytomous$model
      if (is.null(model)) model <- r$fit$model
      tarvo_chr(model)
    }, character(1)),
    a = get("a") * scale, b = get("b"), c = get("c"),
    se_a = tarvo_se(get("se_a")) * scale, se_b = tarvo_se(get("se_b")),
    se_c = tarvo_se(get("se_c")),
    nobs = tarvo_field(rows, function(r) tarvo_int(r$nobs), integer(1)),
    omitted = tarvo_field(rows, function(r) tarvo_int(r$omitted), integer(1)),
    p_value = get("p_value"), item_rest = get("item_rest"),
    held = tarvo_field(rows, function(r) isTRUE(r$held), logical(1)),
    categories = tarvo_field(rows, function(r) {
      if (is.null(r$polytomous$categories)) 2L else as.integer(r$polytomous$categories)
    }, integer(1)),
    flags = tarvo_field(rows, function(r) tarvo_flags(r$flags), character(1)),
    stringsAsFactors = FALSE)
  rownames(frame) <- make.unique(names)
  # Items scored 0..m: their thresholds b1..bm and errors, beside b.
  thresholds <- lapply(rows, function(r) unlist(r$polytomous$thresholds))
  most <- max(0L, vapply(thresholds, length, integer(1)))
  if (most > 1) {
    errors <- lapply(rows, function(r) unlist(r$polytomous$threshold_errors))
    for (k in seq_len(most)) {
      frame[[paste0("b", k)]] <- vapply(thresholds, function(t) {
        if (length(t) >= k) t[[k]] else NA_real_
      }, numeric(1))
    }
    for (k in seq_len(most)) {
      frame[[paste0("se_b", k)]] <- tarvo_se(vapply(errors, function(t) {
        if (length(t) >= k) t[[k]] else NA_real_
      }, numeric(1)))
    }
  }
  frame
}

tarvo_person_frame <- function(rows, ids) {
  get <- function(name) tarvo_field(rows, function(r) tarvo_num(r[[name]]), numeric(1))
  frame <- data.frame(
    theta = get("theta"), se_theta = tarvo_se(get("se_theta")),
    raw_score = tarvo_field(rows, function(r) tarvo_int(r$raw_score), integer(1)),
    nvalid = tarvo_field(rows, function(r) tarvo_int(r$nvalid), integer(1)),
    flags = tarvo_field(rows, function(r) tarvo_flags(r$flags), character(1)),
    stringsAsFactors = FALSE)
  rownames(frame) <- make.unique(ids)
  frame
}

tarvo_itemfit_frame <- function(rows, names) {
  get <- function(name) tarvo_field(rows, function(r) tarvo_num(r$fit[[name]]), numeric(1))
  frame <- data.frame(S_X2 = get("s_x2"), df = get("df"), p = get("p"),
                      p_adjusted = get("p_adjusted"), infit = get("infit"),
                      outfit = get("outfit"), infit_t = get("infit_t"),
                      outfit_t = get("outfit_t"),
                      note = tarvo_field(rows, function(r) tarvo_chr(r$fit_note), character(1)),
                      stringsAsFactors = FALSE)
  rownames(frame) <- make.unique(names)
  frame
}

tarvo_personfit_frame <- function(rows, ids) {
  get <- function(name) tarvo_field(rows, function(r) tarvo_num(r$fit[[name]]), numeric(1))
  frame <- data.frame(lz = get("lz"), infit = get("infit"), outfit = get("outfit"),
                      note = tarvo_field(rows, function(r) tarvo_chr(r$fit_note), character(1)),
                      stringsAsFactors = FALSE)
  rownames(frame) <- make.unique(ids)
  frame
}

tarvo_rows_frame <- function(rows) {
  if (!length(rows)) return(NULL)
  columns <- unique(unlist(lapply(rows, names)))
  frame <- lapply(columns, function(name) {
    values <- lapply(rows, function(r) r[[name]])
    if (all(vapply(values, function(v) is.null(v) || (is.atomic(v) && length(v) == 1),
                   logical(1)))) {
      values <- lapply(values, function(v) if (is.null(v)) NA else v)
      unlist(values)
    } else {
      I(values)
    }
  })
  names(frame) <- columns
  as.data.frame(frame, stringsAsFactors = FALSE)
}

# The fit object: the tables as R users expect them (item names as row
# names, NA where a value is not defined) and the whole report besides.
tarvo_fit_from_report <- function(report, prepared, metric, call) {
  itemRows <- report$items
  personRows <- report$examinees
  modelFit <- report$model_fit
  loglik <- tarvo_num(report$mml$log_likelihood)
  summed <- report$summed_scores
  fit <- list(
    call = call,
    method = report$run$method,
    model = report$run$model,
    mode = report$run$mode,
    metric = metric,
    D = if (metric == "logistic") 1 else tarvo_D,
    items = tarvo_item_frame(itemRows, prepared$items, metric),
    persons = tarvo_person_frame(personRows, prepared$ids),
    itemfit = tarvo_itemfit_frame(itemRows, prepared$items),
    personfit = tarvo_personfit_frame(personRows, prepared$ids),
    loglik = loglik,
    npar = if (isTRUE(modelFit$defined)) as.integer(modelFit$parameters) else NA_integer_,
    model_fit = modelFit,
    comparison = tarvo_rows_frame(report$model_comparison$models),
    local_dependence = report$local_dependence,
    score_table = if (!is.null(summed)) tarvo_rows_frame(summed$score_table),
    reliability = report$reliability,
    loop = report$loop,
    warnings = unlist(report$warnings),
    responses = prepared$cells,
    report = report)
  class(fit) <- "tarvo_fit"
  fit
}
