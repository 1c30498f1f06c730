"""The solver glue (src/instance/solve/*.py, embedded into the module) on compiled models
written by hand: the annealer's energy against brute force, HiGHS's quadratic objective against
the closed-form optimum, statuses, merging of samples, refusals and missing packages."""
import importlib.util
import itertools
import pathlib
import sys

import numpy as np
import pytest

GLUE = pathlib.Path(__file__).resolve().parents[1] / "src" / "instance" / "solve"


def load(stem):
    spec = importlib.util.spec_from_file_location(f"solve_glue_{stem}", GLUE / f"{stem}.py")
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


glue, highs, anneal = load("glue"), load("highs"), load("anneal")
KINDS = ("binary", "integer", "continuous", "semi_continuous", "semi_integer")


def poly(linear=(), quad=(), constant=0.0):
    return {"constant": constant,
            "linear_column": np.array([c for c, _ in linear], dtype=np.int64),
            "linear_value": np.array([v for _, v in linear], dtype=np.float64),
            "quad_row": np.array([r for r, _, _ in quad], dtype=np.int64),
            "quad_column": np.array([c for _, c, _ in quad], dtype=np.int64),
            "quad_value": np.array([v for _, _, v in quad], dtype=np.float64)}


def compiled(kind, n, objective, rows=(), sense="minimize", penalties=(), lower=None, upper=None):
    """One variable `x` of n entries; rows are (coefficients, lower, upper, constraint, sense)."""
    binary = kind == "binary"
    names = sorted({r[3] for r in rows})
    starts, cols, vals = [0], [], []
    for coeffs, *_ in rows:
        cols += [c for c, _ in coeffs]
        vals += [v for _, v in coeffs]
        starts.append(len(cols))
    return {"variables": [("x", kind, (n,), 0)],
            "col_lower": np.zeros(n) if lower is None else np.array(lower, dtype=np.float64),
            "col_upper": np.ones(n) if binary else np.full(n, np.inf) if upper is None else np.array(upper, float),
            "col_kind": np.full(n, KINDS.index(kind), dtype=np.uint8),
            "sense": sense, "objective": objective, "penalties": list(penalties),
            "row_start": np.array(starts, dtype=np.int64), "row_column": np.array(cols, dtype=np.int64),
            "row_value": np.array(vals, dtype=np.float64),
            "row_lower": np.array([r[1] for r in rows], dtype=np.float64),
            "row_upper": np.array([r[2] for r in rows], dtype=np.float64),
            "row_constraint": np.array([names.index(r[3]) for r in rows], dtype=np.int64),
            "constraint_names": names,
            "constraint_senses": [next(r[4] for r in rows if r[3] == name) for name in names]}


def value(p, x):
    return (p["constant"] + sum(v * x[c] for c, v in zip(p["linear_column"], p["linear_value"]))
            + sum(v * x[r] * x[c] for r, c, v in zip(p["quad_row"], p["quad_column"], p["quad_value"])))


BINARY_OBJECTIVE = poly([(0, 3.0), (1, -2.0), (3, 1.5)], [(0, 1, 4.0), (2, 2, -1.0), (3, 1, 2.5), (0, 1, -1.0)], 0.5)
PENALTY = ("spread", poly([(2, 1.0)], [(1, 3, 2.0)]))
EQUALITIES = [([(0, 1.0), (1, 2.0), (2, 1.0)], 2.0, 2.0, "pick", "=="), ([(1, 1.0), (3, -1.0)], 0.0, 0.0, "link", "==")]


@pytest.mark.parametrize("sense", ["minimize", "maximize"])
@pytest.mark.parametrize("weight", [0.0, 1.0, 7.5])
def test_annealer_energy_is_objective_penalties_and_squared_equalities(sense, weight):
    c = compiled("binary", 4, BINARY_OBJECTIVE, EQUALITIES, sense, [PENALTY])
    linear, qr, qc, qv, offset = anneal.energy_terms(c, glue.objective_with_penalties(c, weight), weight)
    assert (qr < qc).all() and len(set(zip(qr, qc))) == qr.size
    sign = -1.0 if sense == "maximize" else 1.0
    for x in itertools.product((0.0, 1.0), repeat=4):
        x = np.array(x)
        bqm = offset + linear @ x + (qv * x[qr] * x[qc]).sum()
        squares = sum((sum(v * x[k] for k, v in coeffs) - b) ** 2 for coeffs, b, *_ in EQUALITIES)
        direct = sign * value(BINARY_OBJECTIVE, x) + weight * value(PENALTY[1], x) + weight * squares
        assert bqm == pytest.approx(direct), x


@pytest.mark.parametrize("sense", ["minimize", "maximize"])
def test_highs_quadratic_objective_reaches_the_stationary_point(sense):
    # 0.5 x'Qx + c'x with Q positive definite, written with diagonal terms, both orders of an
    # off-diagonal pair and a repeated term; the minimum is at Q x = -c.
    q = np.array([[4.0, 1.0, 0.0], [1.0, 3.0, -1.0], [0.0, -1.0, 2.0]])
    c = np.array([-1.0, 2.0, -3.0])
    terms = [(0, 0, 2.0), (1, 0, 0.5), (0, 1, 0.5), (1, 1, 1.5), (1, 2, -1.0), (2, 2, 0.5), (2, 2, 0.5)]
    s = -1.0 if sense == "maximize" else 1.0
    objective = poly([(k, s * c[k]) for k in range(3)], [(r, k, s * v) for r, k, v in terms])
    model = compiled("continuous", 3, objective, sense=sense, lower=[-100] * 3, upper=[100] * 3)
    result = highs.run(model, glue.objective_with_penalties(model, 1.0), 1.0, None, {})
    assert result["status"] == "Optimal"
    np.testing.assert_allclose(result["samples"][0], np.linalg.solve(q, -c), atol=1e-6)


LP = poly([(0, 1.0), (1, 1.0)])
STATUS_CASES = [
    ("infeasible", compiled("continuous", 2, LP, [([(0, 1.0), (1, 1.0)], 5.0, 5.0, "sum", "==")], upper=[1, 1]),
     "Infeasible", 0),
    ("unbounded", compiled("continuous", 2, LP, [([(0, 1.0)], -np.inf, 3.0, "cap", "<=")], "maximize"),
     "Unbounded", 0),
    ("integer optimum", compiled("integer", 2, LP, [([(0, 2.0), (1, 3.0)], 7.0, np.inf, "cover", ">=")], upper=[9, 9]),
     "Optimal", 1),
]


@pytest.mark.parametrize("model, status, k", [c[1:] for c in STATUS_CASES], ids=[c[0] for c in STATUS_CASES])
def test_highs_status_and_samples(model, status, k):
    result = highs.run(model, glue.objective_with_penalties(model, 1.0), 1.0, None, {})
    assert (result["status"], result["samples"].shape, len(result["counts"])) == (status, (k, 2), k)
    if k:  # 2a + 3b >= 7 over integers: a = 2, b = 1 costs 3; rounded to exact integers
        assert result["samples"][0].sum() == 3.0 and result["metadata"]["gap"] == 0.0
        assert result["metadata"]["objective_bound"] == pytest.approx(3.0)


def test_merged_samples_count_every_read_and_come_in_energy_order():
    samples = np.array([[1, 0], [0, 1], [1, 0], [1, 1], [0, 1], [1, 0]], dtype=np.float64)
    energies = np.array([2.0, -1.0, 2.0, 0.5, -1.0, 2.0])
    out, counts, energy = anneal.merge_samples(samples, np.ones(6), energies)
    assert out.tolist() == [[0, 1], [1, 1], [1, 0]] and counts.tolist() == [2, 1, 3]
    assert energy.tolist() == [-1.0, 0.5, 2.0]


@pytest.mark.parametrize("sense, terms, message", [
    ("minimize", [(0, 1, 1.0)], "HiGHS takes a convex quadratic objective only: this minimization's objective"),
    ("maximize", [(0, 0, 1.0)], "HiGHS takes a concave quadratic objective only when maximizing"),
])
def test_highs_refuses_a_quadratic_objective_of_the_wrong_curvature(sense, terms, message):
    model = compiled("continuous", 2, poly([], terms), sense=sense, upper=[3, 3])
    with pytest.raises(ValueError, match=message):
        highs.run(model, glue.objective_with_penalties(model, 1.0), 1.0, None, {})


@pytest.mark.parametrize("entry, blocked", [(highs.highspy, "highspy"), (anneal.sampler_class, "dwave.samplers")])
def test_missing_package_names_the_extra(monkeypatch, entry, blocked):
    monkeypatch.setitem(sys.modules, blocked, None)
    with pytest.raises(ImportError, match=r"pip install tarvex\[solve\]"):
        entry()


def test_embedded_python_passes_the_linter():
    ruff = pytest.importorskip("ruff")
    import subprocess

    helpers = GLUE.parents[1] / "sample_set" / "helpers"
    run = subprocess.run([ruff.find_ruff_bin(), "check", "--isolated", "--select", "E,F,W", "--line-length", "120",
                          str(GLUE), str(helpers)], capture_output=True, text=True)
    assert run.returncode == 0, run.stdout
