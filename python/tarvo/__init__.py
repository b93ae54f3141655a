"""TARVO's item response theory calibration from pandas and numpy.

    import tarvo
    fit = tarvo.calibrate(frame, model="3pl", method="mml")
    fit.items, fit.persons, fit.fit, fit.loglik, fit.aic, print(fit.summary())
    linked = tarvo.link(base_fit, new_fit, method="stocking-lord")
    table = tarvo.score_table(fit)

The run is the runner's (tarvo-run) for the same data and options: the same
estimates to the bit, the same messages. Missing responses are NaN, None or
an empty cell. The interpreter's lock is released while the run estimates;
Ctrl-C stops it and raises KeyboardInterrupt.
"""

from ._responses import TarvoError, response_cells
from ._fit import Fit
from ._link import Link, link, score_table
from ._groups import group_runner_options, split_groups
from . import _tarvo

__all__ = ["calibrate", "Fit", "Link", "link", "score_table", "TarvoError", "version"]


def version():
    """The program's name and version."""
    return _tarvo.version()


def calibrate(data, model=None, method=None, *, mode=None, key=None, ids=None, thetas=None,
              item_names=None, given_items=None, strict=True, progress=None, threads=0,
              executor=None, label="responses", group=None, groups=False,
              reference_group=None, focal_groups=None, dif=None, dif_match=None,
              anchors=None, free_items=None, free_dif=False, **options):
    """Calibrates the responses in data and returns a Fit.

    data: a pandas DataFrame (columns are items, named by their labels; the
    index gives the examinee IDs unless it is the default range), a
    two-dimensional numpy array or a list of rows. Cells hold 0/1, scores
    0..8 or, with key, one character each; NaN, None, '' or 'NA' is missing.

    method: "mml" (marginal maximum likelihood; the default without mode)
    or "jml" (the classic estimator, in mode 1..8, 2 when not given).
    model: the marginal model ("3pl", "2pl", "1pl", "rasch", "grm", "gpcm",
    "pcm", "rsm", ...). key: the answer key as tarvo-run --key takes it.
    thetas: given abilities (modes that read them). given_items: a frame
    of a, b and c (c 0 when left out) indexed by item ID, in item order, in
    place of an item parameter file: the items fix_items=True holds, or a
    classic mode reads (mode=1). strict: a serious
    finding of the input check raises instead of running on.
    progress: called with (percent, text) as the run goes.
    executor: the caller's thread pool for the run's parallel passes, a
    callable executor(count, run) that starts run(k) for every k < count
    on its threads and returns without waiting, e.g. with a
    concurrent.futures.ThreadPoolExecutor pool:
    lambda count, run: [pool.submit(run, k) for k in range(count)];
    threads then counts its threads with the calling one.
    group: the examinees' groups, a column name of a DataFrame (that
    column is then no item) or one label per examinee (None or NaN:
    unknown). groups=True calibrates the groups together (mml: the
    reference group N(0, 1), each other group's mean and SD estimated);
    reference_group, focal_groups (a label or a list) pick the groups;
    dif: the DIF screens, "mh", "std", "lr", "irt" or a list of them;
    dif_match: "total" or "rest"; anchors: the items held equal across
    the groups by the IRT screen (names or 1-based numbers). free_items:
    items whose parameters are estimated apart in each group of a
    groups=True calibration; free_dif=True frees those the screens flag.
    The fit's groups, group_calibration and dif tables hold what the run
    reported.
    Other keyword options are the runner's, with underscores: quadrature,
    scoring, em_cycles, em_tolerance, prior_a=(mean, sd) or "none",
    prior_b, prior_c, compare=["1pl", "2pl"], standardize, score_table,
    output_file, report_file, score_table_file, runner_options=[(name, text)].

    Raises TarvoError with the runner's message when the run cannot be made.
    """
    if method is None:
        method = "jml" if mode is not None else "mml"
    data, labels = split_groups(data, group)
    cells, names, row_ids, row_cells = response_cells(data, item_names=item_names, ids=ids)
    run_options = dict(options)
    grouping = group_runner_options(groups, reference_group, focal_groups, dif, dif_match,
                                    anchors, free_items, free_dif)
    if grouping:
        run_options["runner_options"] = list(options.get("runner_options") or []) + grouping
    run_options["group_labels"] = labels
    run_options.update(mode=mode, method=method, model=model, strict=strict, threads=threads)
    compare = run_options.get("compare")
    if isinstance(compare, str):
        run_options["compare"] = [part.strip() for part in compare.split(",")]
    if given_items is not None:
        run_options["given_items"] = _given_items(given_items)
    given = [] if thetas is None else [float(t) for t in thetas]
    result = _tarvo.calibrate(cells, names, row_ids, given, key or "", label, run_options,
                              progress, row_cells, executor)
    if not result["ok"]:
        raise TarvoError(result["error"], result)
    for finding in result["findings"]:
        if row_cells and finding["code"] == "cell-count":
            raise TarvoError(finding["message"], result)
    return Fit(result, names, row_ids)


def _given_items(frame):
    import pandas as pd
    frame = pd.DataFrame(frame)
    count = len(frame)
    column = lambda name: ([float(v) for v in frame[name]] if name in frame else [0.0] * count)
    ids = ([] if isinstance(frame.index, pd.RangeIndex) else [str(i) for i in frame.index])
    return {"ids": ids, "a": column("a"), "b": column("b"), "c": column("c")}
