"""Solving an instance: arguments checked, the model compiled, a solver run, the sample set made.

Embedded into the module at build time; `Instance.solve` and `Instance.write` call `solve` and
`write` with the instance, the solver functions of the other files of this folder and their own
arguments. A solver function takes (compiled, objective, penalty_weight, time_limit, options)
and returns a dict with "samples" (float64[k, n], one row of column values per sample),
"counts" (k ints), "status" (text), "solve_time" (seconds) and "metadata" (more entries for
the sample set's metadata).
"""
import math

import numpy as np

INSTALL_HINT = "pip install tarvex[solve]"


def check_time_limit(time_limit):
    if time_limit is None:
        return None
    if isinstance(time_limit, bool) or not isinstance(time_limit, (int, float)):
        raise TypeError(f"time_limit must be a number of seconds or None, not {type(time_limit).__name__}")
    if not time_limit > 0:
        raise ValueError(f"time_limit must be positive, not {time_limit!r}")
    return float(time_limit)


def check_penalty_weight(weight):
    if isinstance(weight, bool) or not isinstance(weight, (int, float)):
        raise TypeError(f"penalty_weight must be a number, not {type(weight).__name__}")
    if not (math.isfinite(weight) and weight >= 0):
        raise ValueError(f"penalty_weight must be finite and non-negative, not {weight!r}")
    return float(weight)


def objective_with_penalties(compiled, weight):
    """The objective handed to a solver under the problem's sense: the objective plus each
    penalty term times `weight`, subtracted when maximizing so that a penalty is a cost.

    Returned merged: {"constant": float, "linear": float64[n] (the coefficient of each column),
    "quad_row", "quad_column", "quad_value"} with each pair (row <= column) once, in ascending
    order, zeros dropped."""
    n = len(compiled["col_kind"])
    sign = -weight if compiled["sense"] == "maximize" else weight
    parts = [(1.0, compiled["objective"])] + [(sign, poly) for _, poly in compiled["penalties"]]
    linear = np.zeros(n)
    rows, cols, vals = [], [], []
    for s, poly in parts:
        np.add.at(linear, np.asarray(poly["linear_column"], dtype=np.int64),
                  s * np.asarray(poly["linear_value"], dtype=np.float64))
        r = np.asarray(poly["quad_row"], dtype=np.int64)
        c = np.asarray(poly["quad_column"], dtype=np.int64)
        rows.append(np.minimum(r, c))
        cols.append(np.maximum(r, c))
        vals.append(s * np.asarray(poly["quad_value"], dtype=np.float64))
    keys = np.concatenate(rows) * max(n, 1) + np.concatenate(cols)
    unique, inverse = np.unique(keys, return_inverse=True)
    sums = np.bincount(inverse, weights=np.concatenate(vals), minlength=unique.size).astype(np.float64)
    keep = sums != 0
    unique, sums = unique[keep], sums[keep]
    return {"constant": float(sum(s * p["constant"] for s, p in parts)), "linear": linear,
            "quad_row": unique // max(n, 1), "quad_column": unique % max(n, 1), "quad_value": sums}


def dense_record(compiled, samples, counts):
    """A dense Record: for each variable one array of its shape per row of `samples`."""
    import tarvex

    solution = {}
    for name, _kind, shape, first in compiled["variables"]:
        size = math.prod(shape)
        solution[name] = [np.array(row[first:first + size], dtype=np.float64).reshape(shape) for row in samples]
    return tarvex.Record(solution, [int(c) for c in counts]).to_dense()


def solve(instance, backends, /, solver="highs", *, time_limit=None, penalty_weight=1.0, **options):
    """Instance.solve: `backends` maps each solver name to its run function."""
    if not isinstance(solver, str) or solver not in backends:
        names = " or ".join(repr(name) for name in backends)
        raise ValueError(f"unknown solver {solver!r}: choose {names}")
    time_limit = check_time_limit(time_limit)
    weight = check_penalty_weight(penalty_weight)
    compiled = instance._compile()
    result = backends[solver](compiled, objective_with_penalties(compiled, weight), weight, time_limit, options)
    import tarvex

    samples = np.asarray(result["samples"], dtype=np.float64)
    sample_set = instance.evaluate(dense_record(compiled, samples, result["counts"]))
    sample_set.measuring_time = tarvex.MeasuringTime(solve=tarvex.SolvingTime(solve=result["solve_time"]))
    sample_set.metadata = {"solver": solver, "status": result["status"], **result["metadata"]}
    return sample_set


def write(instance, writer, /, path, *, penalty_weight=1.0):
    """Instance.write: `writer(compiled, objective, path)` writes the file."""
    import os

    path = os.fspath(path)
    if not isinstance(path, str):
        path = os.fsdecode(path)
    suffix = os.path.splitext(path)[1].lower()
    if suffix not in (".mps", ".lp"):
        raise ValueError(f"write: the file name must end in .mps or .lp (the format is chosen by it), not {path!r}")
    weight = check_penalty_weight(penalty_weight)
    compiled = instance._compile()
    writer(compiled, objective_with_penalties(compiled, weight), path)
