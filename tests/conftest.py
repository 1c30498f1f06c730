import contextlib
import faulthandler
import math
import os

import numpy as np

import pytest
from hypothesis import settings

import tarvex as tx

# `make sanitize` runs the suite against the instrumented build: make sure it is the one
# imported, not the one installed in the environment.
if os.environ.get("TARVEX_SANITIZED"):
    assert tx.__file__.startswith(os.environ["TARVEX_SANITIZED"]), tx.__file__

# The first call into the extension may be slow (type objects are created on
# first use); a per-example deadline would make the property tests flaky.
settings.register_profile("tarvex", deadline=None)
settings.load_profile("tarvex")


# Hostile inputs (shared sub-trees of 2^100 paths, million-node chains) must never hang: a
# test still running after this long prints every thread's stack and ends the run, instead
# of waiting for the CI's time limit. It is a guard against hangs, not a speed goal.
HANG_SECONDS = 300


@pytest.fixture(autouse=True)
def hang_guard():
    faulthandler.dump_traceback_later(HANG_SECONDS, exit=True)
    yield
    faulthandler.cancel_dump_traceback_later()


@contextlib.contextmanager
def raises(exc, message):
    """The block raises `exc` itself, not a subclass, with exactly `message`."""
    with pytest.raises(exc) as info:
        yield info
    assert type(info.value) is exc and str(info.value) == message


def problem(name, *parts, **kwargs):
    """A problem with the objective, constraints and penalty terms `parts` added in order."""
    p = tx.Problem(name, **kwargs)
    for part in parts:
        p += part
    return p


def custom(obj, latex):
    """`obj` with its custom LaTeX set."""
    obj.set_latex(latex)
    return obj


# Every decision variable kind: the class, its word in messages, and bounds that make it valid.
DV_KINDS = [
    (tx.BinaryVar, "Binary", {}),
    (tx.IntegerVar, "Integer", {"lower_bound": 0, "upper_bound": 5}),
    (tx.ContinuousVar, "Continuous", {"lower_bound": 0, "upper_bound": 5}),
    (tx.SemiIntegerVar, "SemiInteger", {"lower_bound": 0, "upper_bound": 5}),
    (tx.SemiContinuousVar, "SemiContinuous", {"lower_bound": 0, "upper_bound": 5}),
]
UNARY = [(tx.abs, tx.AbsOp, "|a|"), (tx.ceil, tx.CeilOp, "ceil(a)"), (tx.floor, tx.FloorOp, "floor(a)"),
         (tx.ln, tx.LnOp, "ln(a)"), (tx.log2, tx.Log2Op, "log2(a)"), (tx.log10, tx.Log10Op, "log10(a)")]


def arithmetic_operands():
    """One object of each of the 24 arithmetic classes, and whether it holds a decision variable."""
    a, b = tx.Placeholder("a"), tx.Placeholder("b")
    i, p1, z = tx.Element("i", 3), tx.Placeholder("p", ndim=1), tx.BinaryVar("z", shape=[3])
    objs = [(tx.NumberLit(5), False), (a, False), (i, False), (p1[i], False), (p1.len_at(0), False)]
    objs += [(cls("v", **bounds), True) for cls, _, bounds in DV_KINDS]
    objs += [(a + b, False), (a * b, False), (a % b, False), (a**b, False), (tx.min(a, b), False),
             (tx.max(a, b), False)]
    objs += [(func(a), False) for func, _, _ in UNARY]
    return objs + [(z[:].sum(), True), (z[:].prod(), True)]


# --- Models with their data and a plain-Python computation of their evaluation --------------
# Each builder returns (problem, data, {variable: shape}, ref), ref(sample) giving the sample's
# (objective, {constraint: (sense, [(index list, left - right)])}, {penalty term: value})
# computed by hand with loops; `check` compares a sample set's evaluation with those numbers.

MAX = tx.ProblemSense.MAXIMIZE
NAN = math.nan
RNG = np.random.default_rng(7)


def same(got, want):
    """Float equality where NaN equals NaN and round-off of a different summation order passes."""
    got, want = float(got), float(want)
    return (math.isnan(got) and math.isnan(want)) or got == want or math.isclose(got, want, rel_tol=1e-12)


def violation(sense, value):
    if math.isnan(value):
        return NAN
    return {"==": abs(value), "<=": max(0.0, value), ">=": max(0.0, -value)}[sense]


def check(result, refs, maximize=False):
    """`refs`: per sample (objective, {constraint: (sense, [(index list, left - right)])},
    {penalty: value}). The evaluation of `result` must hold exactly these numbers."""
    ev = result.evaluation
    assert len(ev.objective) == len(refs)
    for s, (objective, constraints, penalties) in enumerate(refs):
        assert same(ev.objective[s], objective), (s, ev.objective[s], objective)
        energy = (-objective if maximize else objective) + sum(penalties.values())
        assert same(ev.energy[s], energy), (s, ev.energy[s], energy)
        assert sorted(ev.penalty) == sorted(penalties)
        for name, value in penalties.items():
            assert same(ev.penalty[name][s], value), (s, name)
        assert list(ev.constraint_values[s]) == sorted(constraints)
        for name, (sense, rows) in constraints.items():
            assert ev.constraint_forall[name].tolist() == [list(ix) for ix, _ in rows], (s, name)
            values = ev.constraint_values[s][name]
            assert len(values) == len(rows) and all(same(v, r) for v, (_, r) in zip(values, rows)), (s, name)
            total = math.fsum(violation(sense, r) for _, r in rows)
            assert same(ev.constraint_violations[name][s], total), (s, name)


def samples_of(shapes, n, values=(0.0, 1.0)):
    return [{k: RNG.choice(values, size=shape).astype(float) for k, shape in shapes.items()} for _ in range(n)]


def record(samples):
    return tx.Record({k: [s[k] for s in samples] for k in samples[0]}, [1 + s for s in range(len(samples))])


def knapsack():
    v, w, C = tx.Placeholder("v", ndim=1), tx.Placeholder("w", ndim=1), tx.Placeholder("C")
    i = tx.Element("i", belong_to=(0, v.len_at(0)))
    x = tx.BinaryVar("x", shape=(v.len_at(0),))
    p = problem("knapsack", tx.sum(i, v[i] * x[i]), tx.Constraint("weight", tx.sum(i, w[i] * x[i]) <= C), sense=MAX)
    data = {"v": [10, 13, 7, 8.5], "w": np.array([5, 6, 3, 4]), "C": 10}

    def ref(s):
        value = weight = 0.0
        for k in range(4):
            value += data["v"][k] * s["x"][k]
            weight += float(data["w"][k]) * s["x"][k]
        return value, {"weight": ("<=", [((), weight - data["C"])])}, {}

    return p, data, {"x": (4,)}, ref


def assignment():
    """Generalized assignment: agents a, tasks t, pairs of agents on a task, agents with room."""
    cost, load, cap = tx.Placeholder("cost", ndim=2), tx.Placeholder("load", ndim=2), tx.Placeholder("cap", ndim=1)
    N, M = cost.len_at(0), cost.len_at(1)
    x = tx.BinaryVar("x", shape=(N, M))
    a, b, t = tx.Element("a", belong_to=(0, N)), tx.Element("b", belong_to=(0, N)), tx.Element("t", belong_to=(0, M))
    p = problem(
        "assignment", tx.sum([a, t], cost[a, t] * x[a, t]),
        tx.Constraint("one agent", tx.sum(a, x[a, t]) == 1, forall=t),
        tx.Constraint("capacity", tx.sum(t, load[a, t] * x[a, t]) <= cap[a], forall=a),
        tx.Constraint("pairs", x[a, t] + x[b, t] <= 1, forall=[t, a, (b, b > a)]),
        tx.Constraint("busy", tx.sum(t, x[a, t]) >= 1, forall=(a, cap[a] > 3)),
        tx.CustomPenaltyTerm("heavy", tx.sum((t, load[a, t] > cap[a] / 2), x[a, t]), forall=a))
    cost_d = [[4.0, 2.0, 5.0, 1.0], [3.0, 6.0, 1.0, 2.5], [7.0, 1.0, 1.0, 3.0]]
    load_d = [[2.0, 3.0, 2.0, 1.0], [2.0, 2.0, 3.0, 4.0], [1.0, 1.0, 5.0, 2.0]]
    cap_d = [5.0, 3.0, 6.0]
    data = {"cost": np.array(cost_d), "load": load_d, "cap": cap_d, "unused": "ignored"}

    def ref(s):
        X = s["x"]
        objective = heavy = 0.0
        for ai in range(3):
            for ti in range(4):
                objective += cost_d[ai][ti] * X[ai, ti]
                if load_d[ai][ti] > cap_d[ai] / 2:
                    heavy += X[ai, ti]
        one = [((ti,), sum(X[ai, ti] for ai in range(3)) - 1) for ti in range(4)]
        capacity = [((ai,), sum(load_d[ai][ti] * X[ai, ti] for ti in range(4)) - cap_d[ai]) for ai in range(3)]
        pairs = [((ti, ai, bi), X[ai, ti] + X[bi, ti] - 1)
                 for ti in range(4) for ai in range(3) for bi in range(3) if bi > ai]
        busy = [((ai,), sum(X[ai, ti] for ti in range(4)) - 1) for ai in range(3) if cap_d[ai] > 3]
        return objective, {"one agent": ("==", one), "capacity": ("<=", capacity), "pairs": ("<=", pairs),
                           "busy": (">=", busy)}, {"heavy": heavy}

    return p, data, {"x": (3, 4)}, ref


def jagged():
    """Rows of different lengths: sums over each row's own length, elements over rows and entries."""
    r, K, U = tx.Placeholder("r", ndim=2), tx.Placeholder("K"), tx.Placeholder("U")
    i = tx.Element("i", belong_to=(0, r.len_at(0)))
    j = tx.Element("j", belong_to=(0, r[i].len_at(0)))
    row = tx.Element("row", belong_to=r)
    v = tx.Element("v", belong_to=row)
    e = tx.Element("e", belong_to=r[i])
    x = tx.ContinuousVar("x", shape=(r.len_at(0), K), lower_bound=0, upper_bound=U)
    p = problem(
        "jagged", tx.sum([i, j], r[i, j] * x[i, j]) + tx.sum(row, tx.sum(v, v) * row.len_at(0)),
        tx.Constraint("budget", tx.sum(j, x[i, j]) <= r[i].len_at(0) / 2, forall=i),
        tx.Constraint("tail", x[i, K - 1] == 0, forall=(i, r[i].len_at(0) < K)),
        tx.CustomPenaltyTerm("spread", tx.sum(j, (x[i, j] - r[i, j] / tx.sum(e, e)) ** 2),
                             forall=(i, r[i].len_at(0) > 0)))
    rows = [[3.0, 1.0, 4.0], [1.0, 5.0], [], [9.0, 2.0, 6.0, 5.0]]
    data = {"r": rows, "K": 4, "U": 2.0}

    def ref(s):
        X = s["x"]
        objective = spread = 0.0
        for ri, entries in enumerate(rows):
            for ji, value in enumerate(entries):
                objective += value * X[ri, ji]
        for entries in rows:
            objective += sum(entries) * len(entries)
        budget = [((ri,), sum(X[ri, ji] for ji in range(len(rows[ri]))) - len(rows[ri]) / 2) for ri in range(4)]
        tail = [((ri,), X[ri, 3]) for ri in range(4) if len(rows[ri]) < 4]
        for entries, ri in zip(rows, range(4)):
            for ji, value in enumerate(entries):
                spread += (X[ri, ji] - value / sum(entries)) ** 2
        return objective, {"budget": ("<=", budget), "tail": ("==", tail)}, {"spread": spread}

    return p, data, {"x": (4, 4)}, ref


def facility():
    """Facility location: open y[j] at cost f[j]; serve customer i from j at d[i, j]; a penalty
    for serving from beyond a radius and one for unbalanced loads."""
    f, d, R = tx.Placeholder("f", ndim=1), tx.Placeholder("d", ndim=2), tx.Placeholder("R")
    F, C = f.len_at(0), d.len_at(0)
    i, j = tx.Element("i", belong_to=(0, C)), tx.Element("j", belong_to=(0, F))
    y = tx.BinaryVar("y", shape=(F,))
    x = tx.ContinuousVar("x", shape=(C, F), lower_bound=0, upper_bound=1)
    p = problem(
        "facility", tx.sum(j, f[j] * y[j]) + tx.sum([i, j], d[i, j] * x[i, j]),
        tx.Constraint("served", tx.sum(j, x[i, j]) == 1, forall=i),
        tx.Constraint("open", x[i, j] - y[j] <= 0, forall=[i, j]),
        tx.CustomPenaltyTerm("far", 10 * tx.sum((j, d[i, j] > R), x[i, j]), forall=i),
        tx.CustomPenaltyTerm("balance", (tx.sum(i, x[i, j]) - C / F) ** 2, forall=j))
    f_d, d_d = [5.0, 3.0], [[1.0, 4.0], [2.0, 1.5], [6.0, 0.5]]
    data = {"f": np.array(f_d, dtype=np.float32), "d": d_d, "R": 3}

    def ref(s):
        X, Y = s["x"], s["y"]
        objective = sum(f_d[jj] * Y[jj] for jj in range(2))
        far = balance = 0.0
        for ii in range(3):
            for jj in range(2):
                objective += d_d[ii][jj] * X[ii, jj]
                if d_d[ii][jj] > 3:
                    far += 10 * X[ii, jj]
        for jj in range(2):
            balance += (sum(X[ii, jj] for ii in range(3)) - 3 / 2) ** 2
        served = [((ii,), sum(X[ii, jj] for jj in range(2)) - 1) for ii in range(3)]
        open_ = [((ii, jj), X[ii, jj] - Y[jj]) for ii in range(3) for jj in range(2)]
        return objective, {"served": ("==", served), "open": ("<=", open_)}, {"far": far, "balance": balance}

    return p, data, {"x": (3, 2), "y": (2,)}, ref


MODELS = {"knapsack": knapsack, "assignment": assignment, "jagged": jagged, "facility": facility}
