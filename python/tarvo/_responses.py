"""The responses of a frame, an array or a list of rows as one byte per
response: the character a delimited file's cell would hold ('0'..'9', a
letter), a blank for a missing response."""

import math

import numpy as np
import pandas as pd

BLANK = ord(" ")
ZERO = ord("0")


class TarvoError(Exception):
    """A run that could not be made or finished: the runner's message, and
    the run's tables as far as it got (result)."""

    def __init__(self, message, result=None):
        super().__init__(message)
        self.result = result


def _long_cell(row, column, text, id_column):
    # The reader's message for a cell of more than one character.
    message = (f"row {row + 2}, {column} holds '{text[:40]}', more than one character: an item "
               "cell holds one response, or nothing, NA or 9 when the response is missing")
    if not id_column and column.startswith("column 1 "):
        message += ("; if this column holds the examinee IDs, name it as the ID column "
                    "(--id-column, or the Examinee ID start box)")
    else:
        message += ("; if it is no item, leave it out of the item columns (--item-columns, "
                    "or the item responses start and length boxes)")
    return "ERROR Response file responses: " + message + "."


def _numeric_column(values, out, label, id_column):
    values = np.asarray(values)
    if values.dtype.kind in "biu":
        # Whole numbers, none missing: checked and written without a
        # floating-point copy of the column.
        bad = (values < 0) | (values > 9)
        if bad.any():
            row = int(np.flatnonzero(bad)[0])
            raise TarvoError(_long_cell(row, label, str(int(values[row])), id_column))
        np.add(values, ZERO, out=out, casting="unsafe")
        return
    values = np.asarray(values, dtype=np.float64)
    missing = np.isnan(values)
    whole = np.floor(values) == values
    good = missing | (whole & (values >= 0) & (values <= 9))
    if not good.all():
        row = int(np.flatnonzero(~good)[0])
        value = values[row]
        text = str(int(value)) if math.isfinite(value) and value == int(value) else repr(value)
        raise TarvoError(_long_cell(row, label, text, id_column))
    out[:] = np.where(missing, BLANK, np.where(missing, 0, values) + ZERO).astype(np.uint8)


def _text_column(values, out, label, id_column):
    for row, value in enumerate(values):
        if value is None or (isinstance(value, float) and math.isnan(value)):
            out[row] = BLANK
            continue
        if isinstance(value, (int, np.integer, float, np.floating)) and not isinstance(value, bool):
            if float(value) != int(value) or not 0 <= int(value) <= 9:
                raise TarvoError(_long_cell(row, label, str(value), id_column))
            out[row] = ZERO + int(value)
            continue
        if isinstance(value, bytes):
            value = value.decode("latin-1")
        text = str(value).strip(" \t")
        if text in ("", "NA"):
            out[row] = BLANK
        elif len(text.encode("utf-8")) != 1:
            raise TarvoError(_long_cell(row, label, text, id_column))
        else:
            out[row] = ord(text)


def _label(index, name, id_column):
    return f"column {index + 1 + (1 if id_column else 0)} ({name})"


def _fill(columns, names, rows, id_column):
    cells = np.empty((rows, len(columns)), dtype=np.uint8, order="F")
    for i, values in enumerate(columns):
        label = _label(i, names[i], id_column)
        kind = getattr(values, "dtype", np.dtype(object)).kind
        if kind in "biuf":
            _numeric_column(values, cells[:, i], label, id_column)
        else:
            _text_column(values, cells[:, i], label, id_column)
    return cells


def response_cells(data, item_names=None, ids=None):
    """(cells, item names, examinee IDs, row lengths) of data; the row
    lengths are empty unless the rows were of different lengths."""
    row_cells = []
    if isinstance(data, pd.DataFrame):
        names = [str(c) for c in data.columns] if item_names is None else list(item_names)
        if ids is None and not isinstance(data.index, pd.RangeIndex):
            ids = data.index
        columns = [data.iloc[:, i].to_numpy() for i in range(data.shape[1])]
        rows = data.shape[0]
    elif isinstance(data, np.ndarray):
        if data.ndim != 2:
            raise TarvoError("ERROR Response file responses: the responses must be a table of "
                             f"examinees by items, not an array of {data.ndim} dimensions.")
        rows, count = data.shape
        names = ([f"item{i + 1}" for i in range(count)] if item_names is None
                 else list(item_names))
        if data.dtype == np.dtype("S1"):
            # One byte per response already: read in place.
            return (data.view(np.uint8), names, _ids(ids, rows), row_cells)
        columns = [data[:, i] for i in range(count)]
    else:
        rows_list = [list(row) for row in data]
        rows = len(rows_list)
        lengths = [len(row) for row in rows_list]
        count = max(lengths, default=0)
        if any(length != count for length in lengths):
            row_cells = lengths
        names = ([f"item{i + 1}" for i in range(count)] if item_names is None
                 else list(item_names))
        columns = [np.array([row[i] if i < len(row) else None for row in rows_list],
                            dtype=object) for i in range(count)]
        columns = [_as_numbers(c) for c in columns]
    row_ids = _ids(ids, rows)
    cells = _fill(columns, names, rows, bool(row_ids))
    return cells, names, row_ids, row_cells


def _as_numbers(column):
    try:
        return column.astype(np.float64)
    except (TypeError, ValueError):
        return column


def _ids(ids, rows):
    if ids is None:
        return []
    return [str(i) for i in ids]
