"""HiGHS: the compiled model handed to the MIP/LP/QP solver of the highspy package, run, or written.

Embedded into the module at build time and called through glue.py: `run` and `write` take the
compiled dict of `Instance._compile()` and the objective with its weighted penalties.
"""
import os
import time

import numpy as np

INSTALL_HINT = "pip install tarvex[solve]"
KIND_NAMES = ("binary", "integer", "continuous", "semi_continuous", "semi_integer")
CONTINUOUS = 2
# Largest count of columns in quadratic terms whose convexity is checked before HiGHS runs
# (a dense eigenvalue problem); above it HiGHS's own refusal is reported.
CONVEXITY_CHECK_LIMIT = 2000
# Models whose status says there is no solution to return, whatever point HiGHS holds.
NO_SOLUTION = ("Infeasible", "Unbounded", "Primal infeasible or unbounded")

_quiet_once = []


def highspy():
    try:
        import highspy as module
    except ImportError as e:
        raise ImportError(f"solving with HiGHS needs the highspy package: {INSTALL_HINT}") from e
    return module


def new_solver(module):
    """A silent Highs object. The first one of a process prints a banner straight to the
    standard output before any option can be set, so that one is made with it sent away."""
    if _quiet_once:
        solver = module.Highs()
    else:
        import sys

        sys.stdout.flush()
        saved = os.dup(1)
        try:
            with open(os.devnull, "w") as devnull:
                os.dup2(devnull.fileno(), 1)
                solver = module.Highs()
        finally:
            os.dup2(saved, 1)
            os.close(saved)
        _quiet_once.append(True)
    solver.setOptionValue("output_flag", False)
    return solver


def check_quadratic(compiled, objective):
    """Refuses a quadratic objective that HiGHS cannot take: with a variable that is not
    continuous, or not convex under the sense (checked on the columns of the terms)."""
    rows, cols, vals = objective["quad_row"], objective["quad_column"], objective["quad_value"]
    if rows.size == 0:
        return
    for name, kind, _shape, _first in compiled["variables"]:
        if kind != "continuous":
            raise ValueError(
                "HiGHS takes a quadratic objective (objective and penalty terms together) only when "
                f"every variable is continuous: '{name}' is {kind}")
    used, local = np.unique(np.concatenate([rows, cols]), return_inverse=True)
    if used.size > CONVEXITY_CHECK_LIMIT:
        return
    k = used.size
    q = np.zeros((k, k))
    r, c = local[:rows.size], local[rows.size:]
    np.add.at(q, (r, c), vals / 2)
    np.add.at(q, (c, r), vals / 2)
    eig = np.linalg.eigvalsh(q)
    tol = 1e-9 * max(1.0, float(np.abs(eig).max()))
    if compiled["sense"] == "minimize" and eig[0] < -tol:
        raise ValueError("HiGHS takes a convex quadratic objective only: this minimization's objective "
                         "(with its penalty terms) is not convex")
    if compiled["sense"] == "maximize" and eig[-1] > tol:
        raise ValueError("HiGHS takes a concave quadratic objective only when maximizing: this objective "
                         "(with its penalty terms) is not concave")


def build(module, compiled, objective, names=False):
    """A Highs object holding the model: columns, rows, objective, sense."""
    check_quadratic(compiled, objective)
    kinds = np.asarray(compiled["col_kind"], dtype=np.uint8)
    n, m = kinds.size, len(compiled["row_lower"])
    nnz = len(compiled["row_column"])
    if max(n, m, nnz) >= 2**31 - 1:
        raise ValueError(f"the model is too large for HiGHS ({n} columns, {m} rows, {nnz} coefficients)")
    lp = module.HighsLp()
    lp.num_col_, lp.num_row_ = n, m
    lp.col_cost_ = objective["linear"]
    lp.col_lower_ = np.asarray(compiled["col_lower"], dtype=np.float64)
    lp.col_upper_ = np.asarray(compiled["col_upper"], dtype=np.float64)
    lp.row_lower_ = np.asarray(compiled["row_lower"], dtype=np.float64)
    lp.row_upper_ = np.asarray(compiled["row_upper"], dtype=np.float64)
    lp.offset_ = objective["constant"]
    lp.sense_ = module.ObjSense.kMaximize if compiled["sense"] == "maximize" else module.ObjSense.kMinimize
    matrix = lp.a_matrix_
    matrix.format_ = module.MatrixFormat.kRowwise
    matrix.num_col_, matrix.num_row_ = n, m
    matrix.start_ = np.asarray(compiled["row_start"], dtype=np.int32)
    matrix.index_ = np.asarray(compiled["row_column"], dtype=np.int32)
    matrix.value_ = np.asarray(compiled["row_value"], dtype=np.float64)
    if (kinds != CONTINUOUS).any():
        types = module.HighsVarType
        table = [types.kInteger, types.kInteger, types.kContinuous, types.kSemiContinuous, types.kSemiInteger]
        lp.integrality_ = [table[k] for k in kinds]
    if names:
        lp.col_names_ = column_names(compiled)
        lp.row_names_ = row_names(compiled)
    solver = new_solver(module)
    if solver.passModel(lp) != module.HighsStatus.kOk:
        raise ValueError("HiGHS refused the model (a coefficient or bound that is NaN or out of its range?)")
    if objective["quad_row"].size:
        hessian = module.HighsHessian()
        hessian.dim_ = n
        hessian.format_ = module.HessianFormat.kTriangular
        # HiGHS minimizes c'x + x'Qx/2 with the lower triangle of Q given column by column:
        # a term q x_r x_c (r < c) is Q[c, r] = q, and q x_r^2 is Q[r, r] = 2q.
        rows, cols, vals = objective["quad_row"], objective["quad_column"], objective["quad_value"]
        order = np.lexsort((cols, rows))
        rows, cols, vals = rows[order], cols[order], np.where(rows == cols, 2.0, 1.0)[order] * vals[order]
        hessian.start_ = np.searchsorted(rows, np.arange(n + 1)).astype(np.int32)
        hessian.index_ = cols.astype(np.int32)
        hessian.value_ = vals
        if solver.passHessian(hessian) != module.HighsStatus.kOk:
            raise ValueError("HiGHS refused the quadratic objective")
    return solver


def file_name(text):
    """A name the file formats take: letters, digits, "_" and "." kept, anything else "_"."""
    return "".join(ch if ch.isascii() and (ch.isalnum() or ch in "_.") else "_" for ch in text)


def column_names(compiled):
    """x, x_0, x_1_2, ...: the variable and the entry's index, as file names."""
    out = []
    for name, _kind, shape, _first in compiled["variables"]:
        base = file_name(name)
        if not shape:
            out.append(base)
        else:
            out.extend(base + "".join(f"_{i}" for i in index) for index in np.ndindex(*shape))
    return out


def row_names(compiled):
    """cap_0, cap_1, ...: the constraint and the row's position among its rows."""
    names = [file_name(name) for name in compiled["constraint_names"]]
    seen = {}
    out = []
    for c in compiled["row_constraint"]:
        k = seen.get(c, 0)
        seen[c] = k + 1
        out.append(f"{names[c]}_{k}")
    return out


def set_options(module, solver, time_limit, options):
    if time_limit is not None:
        solver.setOptionValue("time_limit", time_limit)
    for key, value in options.items():
        try:
            status = solver.setOptionValue(key, value)
        except (TypeError, ValueError):
            status = None
        if status != module.HighsStatus.kOk:
            raise ValueError(f"HiGHS has no option {key!r} taking the value {value!r}")


def run(compiled, objective, weight, time_limit, options):
    module = highspy()
    solver = build(module, compiled, objective)
    set_options(module, solver, time_limit, options)
    start = time.perf_counter()
    run_status = solver.run()
    elapsed = time.perf_counter() - start
    model_status = solver.getModelStatus()
    status = solver.modelStatusToString(model_status)
    if run_status == module.HighsStatus.kError:
        raise RuntimeError(f"HiGHS failed on the model (status: {status})")
    info = solver.getInfo()
    n = len(compiled["col_kind"])
    has_sample = info.primal_solution_status == 2 and status not in NO_SOLUTION
    samples = np.zeros((0, n))
    if has_sample:
        x = np.array(solver.getSolution().col_value, dtype=np.float64)
        integral = np.isin(np.asarray(compiled["col_kind"]), (0, 1, 4))
        x[integral] = np.round(x[integral])
        samples = (x + 0.0).reshape(1, n)  # + 0.0 turns -0.0 into 0.0
    is_mip = bool((np.asarray(compiled["col_kind"]) != CONTINUOUS).any())
    objective_value = float(info.objective_function_value) if has_sample else None
    if is_mip:
        bound, gap = float(info.mip_dual_bound), float(info.mip_gap)
    else:
        bound, gap = (objective_value, 0.0) if status == "Optimal" else (None, None)
    return {
        "samples": samples,
        "counts": [1] * samples.shape[0],
        "status": status,
        "solve_time": elapsed,
        "metadata": {"objective_value": objective_value, "objective_bound": finite(bound), "gap": finite(gap)},
    }


def finite(value):
    return value if value is not None and np.isfinite(value) else None


def write(compiled, objective, path):
    module = highspy()
    solver = build(module, compiled, objective, names=True)
    if solver.writeModel(path) == module.HighsStatus.kError:
        raise OSError(f"HiGHS could not write the model to {path!r}")
