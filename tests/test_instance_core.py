"""Smoke tests of tarvex.instance: evaluation checked against plain loops, the named errors
of bad data and solutions, hostile depths, and the compiled form."""

import math

import numpy as np
import pytest

import tarvex as tx
from tarvex.instance import Instance


def assignment(n):
    c = tx.Placeholder("c", ndim=2)
    x = tx.BinaryVar("x", shape=(n, n))
    i = tx.Element("i", belong_to=n)
    j = tx.Element("j", belong_to=n)
    p = tx.Problem("assignment")
    p += tx.sum([i, j], c[i, j] * x[i, j])
    p += tx.Constraint("row", tx.sum(j, x[i, j]) == 1, forall=i)
    p += tx.Constraint("col", tx.sum(i, x[i, j]) <= 1, forall=j)
    return p


def test_assignment_against_loops():
    n = 4
    rng = np.random.default_rng(1)
    cost = rng.random((n, n))
    inst = Instance(assignment(n), {"c": cost})
    assert inst.variables == {"x": (n, n)} and inst.num_variables == n * n
    assert repr(inst) == "Instance(problem='assignment', variables=1, num_variables=16)"
    sols = [rng.integers(0, 2, (n, n)).astype(float) for _ in range(3)]
    ss = inst.evaluate(tx.Record({"x": sols}, [1, 2, 3]))
    ev = ss.evaluation
    for s, x in enumerate(sols):
        assert ev.objective[s] == pytest.approx(sum(cost[a, b] * x[a, b] for a in range(n) for b in range(n)))
        rows = [sum(x[a, b] for b in range(n)) - 1 for a in range(n)]
        cols = [sum(x[a, b] for a in range(n)) - 1 for b in range(n)]
        assert list(ev.constraint_values[s]["row"]) == pytest.approx(rows)
        assert ev.constraint_violations["row"][s] == pytest.approx(sum(abs(v) for v in rows))
        assert ev.constraint_violations["col"][s] == pytest.approx(sum(max(0, v) for v in cols))
    assert ev.constraint_forall["row"].tolist() == [[a] for a in range(n)]
    assert ss.record.num_occurrences == [1, 2, 3]


@pytest.mark.parametrize("sparse", [False, True])
def test_dict_and_sparse_solutions_agree(sparse):
    n = 3
    cost = np.arange(9.0).reshape(3, 3)
    inst = Instance(assignment(n), {"c": cost})
    x = np.eye(3)[[2, 0, 1]]
    rec = tx.Record({"x": [x]}, [1])
    one = inst.evaluate(rec.to_sparse() if sparse else rec).evaluation
    two = inst.evaluate({"x": x.tolist()}).evaluation
    assert one.objective == two.objective == [2.0 + 3.0 + 7.0]
    assert one.constraint_violations == two.constraint_violations


def test_jagged_data_and_operators():
    # Rows of different lengths; every operator kind over them.
    w = tx.Placeholder("w", ndim=2)
    r = tx.Element("r", belong_to=w)
    k = tx.Element("k", belong_to=r)
    x = tx.ContinuousVar("x", shape=(w.len_at(0),), lower_bound=-5, upper_bound=5)
    i = tx.Element("i", belong_to=(0, w.len_at(0)))
    e = tx.Element("e", belong_to=(0, w[i].len_at(0)))
    body = tx.sum(e, w[i, e] % 3 + tx.abs(w[i, e] - 2) + tx.floor(w[i, e] / 2) + tx.ceil(w[i, e] / 4))
    body = body + tx.ln(w[i, 0] + 1) + tx.log2(w[i, 0] + 1) + tx.log10(w[i, 0] + 1)
    body = body + tx.min(w[i, 0], 2) + tx.max(w[i, 0], 2) + tx.prod(e, w[i, e]) ** 0.5
    p = tx.Problem("jagged", sense=tx.ProblemSense.MAXIMIZE)
    p += tx.sum(i, body * x[i]) + tx.sum(r, tx.sum(k, k))
    p += tx.CustomPenaltyTerm("p", (x[i] - 1) ** 2, forall=(i, i != 1))
    data = [[1, 2, 3], [4], [5, 6]]
    inst = Instance(p, {"w": data})
    xs = [0.5, -2.0, 3.0]
    ev = inst.evaluate({"x": xs}).evaluation

    def expect_body(row):
        s = sum(v % 3 + abs(v - 2) + math.floor(v / 2) + math.ceil(v / 4) for v in row)
        s += math.log(row[0] + 1) + math.log2(row[0] + 1) + math.log10(row[0] + 1)
        return s + min(row[0], 2) + max(row[0], 2) + math.prod(row) ** 0.5

    obj = sum(expect_body(row) * xs[a] for a, row in enumerate(data)) + sum(map(sum, data))
    pen = sum((xs[a] - 1) ** 2 for a in range(3) if a != 1)
    assert ev.objective[0] == pytest.approx(obj)
    assert ev.penalty["p"][0] == pytest.approx(pen)
    assert ev.energy[0] == pytest.approx(-obj + pen)


def test_nan_solution_is_never_feasible():
    inst = Instance(assignment(2), {"c": np.ones((2, 2))})
    ev = inst.evaluate({"x": [[math.nan, 1.0], [0.0, 1.0]]}).evaluation
    assert math.isnan(ev.objective[0]) and math.isnan(ev.constraint_violations["row"][0])


N = tx.Placeholder("N")
W = tx.Placeholder("W", ndim=1)


def small(**kwargs):
    x = tx.IntegerVar("x", shape=(N,), **kwargs)
    i = tx.Element("i", belong_to=N)
    p = tx.Problem("small")
    p += tx.sum(i, W[i] * x[i])
    return p


@pytest.mark.parametrize(
    "data, kwargs, exc, match",
    [
        ({"W": [1, 2]}, {}, ValueError, "placeholder 'N' has no value"),
        ({"N": 2, "W": [[1], [2]]}, {}, ValueError, "placeholder 'W' has 1 dimensions.*nests deeper"),
        ({"N": 2, "W": np.zeros((2, 2))}, {}, ValueError, "placeholder 'W' has 1 dimensions, but its value has 2"),
        ({"N": 2, "W": np.array([1j, 2j])}, {}, ValueError, "placeholder 'W'.*dtype complex"),
        ({"N": 2, "W": np.array(["a", "b"])}, {}, ValueError, "placeholder 'W'.*dtype"),
        ({"N": 2, "W": np.array([1, None], dtype=object)}, {}, ValueError, "placeholder 'W'.*dtype object"),
        ({"N": 2, "W": [1, "a"]}, {}, ValueError, "placeholder 'W': an entry is str"),
        ({"N": [2], "W": [1, 2]}, {}, ValueError, "placeholder 'N' is a scalar"),
        ({"N": 1j, "W": [1, 2]}, {}, ValueError, "placeholder 'N' is a scalar"),
        ({"N": -1, "W": [1, 2]}, {}, ValueError, "decision variable 'x': the length of axis 0 is -1"),
        ({"N": 1.5, "W": [1, 2]}, {}, ValueError, "decision variable 'x'.*1.5"),
        ({"N": 2, "W": [1, 2]}, {"lower_bound": 3, "upper_bound": W}, ValueError,
         "'x': the lower bound 3 is above the upper bound 1 at index \\(0,\\)"),
        ({"N": 3, "W": [1, 2]}, {"lower_bound": 0, "upper_bound": W}, ValueError, "'x': the upper bound W does not have"),
    ],
)
def test_bad_data_is_named(data, kwargs, exc, match):
    kwargs = kwargs or {"lower_bound": 0, "upper_bound": 9}
    with pytest.raises(exc, match=match):
        Instance(small(**kwargs), data)


@pytest.mark.parametrize(
    "solution, exc, match",
    [
        ({}, ValueError, "no value for the decision variable 'x'"),
        ({"x": [1, 2, 3]}, ValueError, "'x': the solution has shape \\(3,\\), expected \\(2,\\)"),
        ({"x": ["a", "b"]}, ValueError, "solution for 'x'"),
        (tx.Record({"x": [np.zeros(2)]}, [1, 1]), ValueError, "1 samples, but num_occurrences has 2"),
        ([0, 1], TypeError, "solution"),
    ],
)
def test_bad_solutions_are_named(solution, exc, match):
    inst = Instance(small(lower_bound=0, upper_bound=9), {"N": 2, "W": [1, 2]})
    with pytest.raises(exc, match=match):
        inst.evaluate(solution)


@pytest.mark.parametrize("index, text", [(5, "index 5 is out of range for axis 0 of W \\(length 2\\)"),
                                         (0.5, "index 0.5 of W on axis 0 is not an integer")])
def test_subscript_errors_name_array_and_index(index, text):
    x = tx.BinaryVar("x")
    p = tx.Problem("p")
    p += W[index] * x
    inst = Instance(p, {"W": [1, 2]})
    with pytest.raises(IndexError, match=text):
        inst.evaluate({"x": 1})


def test_deep_data_and_deep_expressions():
    deep = []
    for _ in range(10**6):
        deep = [deep]
    with pytest.raises(ValueError, match="placeholder 'W'"):
        Instance(small(lower_bound=0, upper_bound=1), {"N": 1, "W": deep})
    x = tx.BinaryVar("x")
    e = x
    for _ in range(10**5):
        e = e + N
    p = tx.Problem("deep")
    p += e
    assert Instance(p, {"N": 2.0}).evaluate({"x": 1}).evaluation.objective == [1 + 2.0 * 10**5]


def test_shared_subtrees_cost_per_distinct_node():
    a = tx.Placeholder("a")
    e = a
    for _ in range(80):
        e = tx.abs(e) + tx.abs(e)
    x = tx.BinaryVar("x")
    p = tx.Problem("dag")
    p += e * x
    assert Instance(p, {"a": 1.0}).evaluate({"x": 1}).evaluation.objective == [2.0**80]


def test_compile_assignment():
    n = 3
    inst = Instance(assignment(n), {"c": np.arange(1.0, 10.0).reshape(3, 3)})
    m = inst._compile()
    assert m["variables"] == [("x", "binary", (3, 3), 0)]
    assert m["objective"]["linear_column"].tolist() == list(range(9))
    assert m["constraint_names"] == ["col", "row"] and m["constraint_senses"] == ["<=", "=="]
    assert m["row_start"].tolist() == [0, 3, 6, 9, 12, 15, 18]
    assert m["row_column"][:3].tolist() == [0, 3, 6]
    assert m["row_lower"].tolist() == [-math.inf] * 3 + [1.0] * 3
    assert m["row_upper"].tolist() == [1.0] * 6


@pytest.mark.parametrize(
    "part, match",
    [
        (lambda x, y: tx.Constraint("q", x * y <= 1), "constraint 'q' is quadratic"),
        (lambda x, y: x * y * x, "objective: a product of degree above 2"),
        (lambda x, y: tx.CustomPenaltyTerm("pen", x ** 1.5), "penalty term 'pen': a power"),
    ],
)
def test_compile_refusals(part, match):
    x, y = tx.ContinuousVar("x", lower_bound=0, upper_bound=1), tx.ContinuousVar("y", lower_bound=0, upper_bound=1)
    p = tx.Problem("p")
    p += x + y
    p += part(x, y)
    inst = Instance(p, {})
    with pytest.raises(ValueError, match=match):
        inst._compile()
    assert inst.evaluate({"x": 0.5, "y": 0.25}).evaluation.objective  # evaluation still works
