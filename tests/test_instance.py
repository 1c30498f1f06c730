"""tarvex.instance: data bound to a problem, and solutions evaluated locally. Every evaluation is
compared with the same numbers computed here by plain Python loops: by hand for the models
(knapsack, assignment, jagged rows, facility location), and by a small tree interpreter over the
public getters for random expressions of every operator kind."""
import math
import subprocess
import sys
import textwrap

import numpy as np
import pytest
from hypothesis import given, reject
from hypothesis import strategies as st

import tarvex as tx
from conftest import MAX, MODELS, NAN, assignment, check, knapsack, problem, record, same, samples_of
from tarvex.instance import Instance

INF = math.inf


# --- construction: what an instance knows ------------------------------------------------------


@pytest.mark.parametrize("name", MODELS)
def test_variables_and_repr(name):
    p, data, shapes, _ = MODELS[name]()
    inst = Instance(p, data)
    assert inst.variables == shapes and list(inst.variables) == sorted(shapes)
    assert inst.num_variables == sum(math.prod(s) for s in shapes.values())
    assert inst.problem.name == p.name
    assert repr(inst) == f"Instance(problem='{p.name}', variables={len(shapes)}, num_variables={inst.num_variables})"
    import tarvex.instance
    assert tarvex.instance.Instance is Instance and "instance" not in tx.__all__


@pytest.mark.parametrize("dtype", [np.int8, np.uint16, np.int64, np.float32, np.float64])
def test_any_real_dtype(dtype):
    p, data, _, ref = knapsack()
    data["w"] = np.array([5, 6, 3, 4], dtype=dtype)
    sample = {"x": np.array([1.0, 0.0, 1.0, 1.0])}
    check(Instance(p, data).evaluate(sample), [ref(sample)], maximize=True)


# --- evaluation of the models ------------------------------------------------------------------


@pytest.mark.parametrize("name", MODELS)
@pytest.mark.parametrize("form", ["dense", "sparse", "dict"])
def test_models_against_plain_loops(name, form):
    p, data, shapes, ref = MODELS[name]()
    values = (0.0, 0.5, 1.0, 2.0) if name in ("jagged", "facility") else (0.0, 1.0)
    samples = samples_of(shapes, 1 if form == "dict" else 12, values)
    solution = {"dense": record, "sparse": lambda s: record(s).to_sparse(), "dict": lambda s: s[0]}[form](samples)
    result = Instance(p, data).evaluate(solution)
    check(result, [ref(s) for s in samples], maximize=p.sense == MAX)
    if form == "dict":
        assert result.record.num_occurrences == [1] and result.record.is_dense()
        assert all(np.array_equal(result.record.solution[k][0], samples[0][k]) for k in shapes)
    else:
        assert result.record == solution
    assert result.measuring_time == tx.MeasuringTime() and result.metadata == {}
    assert tx.SampleSet.from_json(result.to_json()) == result and len(result.to_pandas()) == len(samples)


@pytest.mark.parametrize("sense", [tx.ProblemSense.MINIMIZE, MAX])
def test_energy_and_lowest(sense):
    """lowest() picks the smallest objective, which for a maximization is the worst sample; the
    energy is what a solver minimizes."""
    p, data, _, _ = knapsack()
    p.sense = sense
    picks = [[1.0, 1.0, 0.0, 0.0], [0.0, 1.0, 1.0, 0.0], [1.0, 0.0, 0.0, 0.0], [1.0, 1.0, 1.0, 1.0]]
    result = Instance(p, data).evaluate(tx.Record({"x": [np.array(s) for s in picks]}, [1, 1, 1, 1]))
    sign = -1 if sense == MAX else 1
    assert result.evaluation.objective.tolist() == [23.0, 20.0, 10.0, 38.5]
    assert result.evaluation.energy.tolist() == [sign * o for o in (23.0, 20.0, 10.0, 38.5)]
    assert result.feasible().evaluation.objective.tolist() == [20.0, 10.0]
    assert result.feasible().lowest().record.solution["x"][0].tolist() == picks[2]
    assert "energy" in Instance.evaluate.__doc__


def test_sparse_entries_absent_are_zero_and_samples_any_number():
    p, data, _, ref = assignment()
    inst = Instance(p, data)
    sparse = tx.Record({"x": [(([0, 2], [1, 3]), [1.0, 1.0], (3, 4)), (([], []), [], (3, 4))]}, [5, 2])
    dense = [{"x": np.zeros((3, 4))} for _ in range(2)]
    dense[0]["x"][0, 1] = dense[0]["x"][2, 3] = 1.0
    result = inst.evaluate(sparse)
    check(result, [ref(s) for s in dense])
    assert result.record == sparse
    empty = inst.evaluate(tx.Record({"x": []}, []))
    assert empty.evaluation.objective.tolist() == [] and empty.evaluation.constraint_values == []


def test_forall_enumeration_edges():
    """No forall: one assignment with an empty index list; an empty set: no assignment; elements
    over an array of indices give the entries, repeated ones included."""
    S, N = tx.Placeholder("S", ndim=1), tx.Placeholder("N")
    k = tx.Element("k", belong_to=S)
    x = tx.BinaryVar("x", shape=(N,))
    p = problem("edges", x[0], tx.Constraint("plain", x[0] >= 1), tx.Constraint("over S", x[k] == 1, forall=k))
    sample = {"x": np.array([1.0, 0.0, 1.0])}
    ev = Instance(p, {"S": [2, 0, 2.0], "N": 3}).evaluate(sample).evaluation
    assert ev.constraint_forall["plain"].shape == (1, 0) and ev.constraint_values[0]["plain"].tolist() == [0.0]
    assert ev.constraint_forall["over S"].tolist() == [[2], [0], [2]]
    assert ev.constraint_values[0]["over S"].tolist() == [0.0, 0.0, 0.0]
    ev = Instance(p, {"S": [], "N": 3}).evaluate(sample).evaluation
    assert ev.constraint_forall["over S"].size == 0 and ev.constraint_violations["over S"].tolist() == [0.0]
    assert ev.constraint_values[0]["over S"].tolist() == []
    bare = Instance(problem("bare", x[0] * 2), {"N": 3}).evaluate(tx.Record({"x": [sample["x"]] * 2}, [1, 1]))
    assert bare.evaluation.constraint_values == [{}, {}] and bare.evaluation.constraint_violations == {}


def test_nan_value_is_never_feasible():
    a, N = tx.Placeholder("a", ndim=1), tx.Placeholder("N")
    i = tx.Element("i", belong_to=(0, N))
    x = tx.BinaryVar("x", shape=(N,))
    p = problem("nan", tx.Constraint("log", tx.ln(a[i]) * x[i] <= 1, forall=i))
    result = Instance(p, {"a": [-1.0, 1.0], "N": 2}).evaluate({"x": np.array([1.0, 1.0])})
    values = result.evaluation.constraint_values[0]["log"]
    assert math.isnan(values[0]) and values[1] == -1.0
    assert math.isnan(result.evaluation.constraint_violations["log"][0])
    assert result.feasible().record.num_occurrences == []


# --- operator semantics ------------------------------------------------------------------------

P, Q = tx.Placeholder("p"), tx.Placeholder("q")
A = tx.Placeholder("arr", ndim=1)
I = tx.Element("i", belong_to=(0, A.len_at(0)))
E = tx.Element("e", belong_to=A)
K = tx.Element("k", belong_to=(1, 3))
Y = tx.BinaryVar("y")


def value_of(expr, p=0.0, q=0.0, a=(1.0,)):
    """The evaluated value of a data expression (plus a variable set to 0)."""
    inst = Instance(problem("v", expr + Y), {"p": p, "q": q, "arr": list(a)})
    return float(inst.evaluate({"y": np.array(0.0)}).evaluation.objective[0])


@pytest.mark.parametrize("expr, p, q, a, want", [
    (P % Q, 7, -3, (), -2.0), (P % Q, -7, 3, (), 2.0),  # the sign of the divisor
    (P % Q, 7.5, 2, (), 1.5), (P % Q, 1, 0, (), NAN), (P / Q, 1, 0, (), INF),
    (P ** Q, 0, -1, (), INF), (P ** Q, -8, 1 / 3, (), NAN), (tx.ln(P), 0, 0, (), -INF), (tx.log2(P), -1, 0, (), NAN),
    (tx.log10(P) + tx.log2(Q), 1000, 0.25, (), 1.0),
    (tx.ceil(P) + tx.floor(Q), -0.5, -0.5, (), -1.0),
    (tx.abs(P) * tx.min(P, Q, 3) + tx.max(Q), -2, 5, (), 1.0),
    (tx.sum(E, E) + tx.prod(E, E), 0, 0, (), 1.0),  # empty sum 0, empty product 1
    (tx.sum((I, A[I] == 0.3), 1), 0, 0, (0.1 + 0.2, 0.3), 1.0),  # comparisons are exact
    (tx.sum((K, (K == P) ^ (K <= 2) | (K == Q) & (K < 0)), K), 1, 2, (), 2.0),  # ^ is not |
    (tx.prod(I, A[I] + I) * A.len_at(0), 0, 0, (2.0, 3.0, 4.0), 144.0),
])
def test_operator_semantics(expr, p, q, a, want):
    assert same(value_of(expr, p, q, a), want)


class Undecided(Exception):
    """A case the reference leaves open: min/max of NaN, an index error inside a connective."""


def ref_value(node, data, env):
    """Plain recursive interpreter over the public getters: the value of an expression or condition."""
    kind = type(node).__name__
    ev = lambda n: ref_value(n, data, env)  # noqa: E731
    if kind == "NumberLit":
        return float(node.value)
    if kind == "Placeholder":
        return data[node.name]
    if kind == "Element":
        return env[node.name]
    if kind.endswith("Var"):  # decision variables: their values are given with the data
        return data[node.name]
    if kind == "Subscript":
        value = ev(node.variable)
        for s in node.subscripts:
            value = value[int(ev(s))]
        return value
    if kind == "ArrayLength":  # along a further axis: rectangular data here
        value = ev(node.array)
        for _ in range(node.axis):
            value = value[0]
        return float(len(value))
    if kind in ("AddOp", "MulOp"):
        total = 0.0 if kind == "AddOp" else 1.0
        for t in node.terms:
            total = total + ev(t) if kind == "AddOp" else total * ev(t)
        return total
    if kind in ("MinOp", "MaxOp"):
        values = [ev(t) for t in node.terms]
        if any(math.isnan(v) for v in values):
            raise Undecided
        return min(values) if kind == "MinOp" else max(values)
    with np.errstate(all="ignore"):
        if kind == "PowOp":
            return float(np.float64(ev(node.base)) ** np.float64(ev(node.exponent)))
        if kind == "ModOp":
            left, right = ev(node.left), ev(node.right)
            return NAN if right == 0 else left % right
        unary = {"AbsOp": np.abs, "CeilOp": np.ceil, "FloorOp": np.floor, "LnOp": np.log, "Log2Op": np.log2,
                 "Log10Op": np.log10}
        if kind in unary:
            return float(unary[kind](np.float64(ev(node.operand))))
    if kind in ("SumOp", "ProdOp"):
        index, total = node.index, 0.0 if kind == "SumOp" else 1.0
        domain = index.belong_to
        if type(domain).__name__ == "Range":
            entries = [float(k) for k in range(int(ev(domain.start)), int(ev(domain.end)))]
        else:
            entries = ev(domain)
        for entry in entries:
            inner = dict(env, **{index.name: entry})
            if node.condition is None or ref_value(node.condition, data, inner):
                value = ref_value(node.operand, data, inner)
                total = total + value if kind == "SumOp" else total * value
        return total
    ops = {"EqualOp": "__eq__", "NotEqualOp": "__ne__", "LessThanOp": "__lt__", "LessThanEqualOp": "__le__",
           "GreaterThanOp": "__gt__", "GreaterThanEqualOp": "__ge__"}
    if kind in ops:
        return getattr(float(ev(node.left)), ops[kind])(float(ev(node.right)))
    try:  # whether a connective stops at its first deciding term is left open
        truth = [bool(ev(t)) for t in node.terms]
    except IndexError:
        raise Undecided from None
    return {"AndOp": all(truth), "OrOp": any(truth), "XorOp": sum(truth) % 2 == 1}[kind]


NUMBERS = st.sampled_from([0, 1, 2, -3, 0.5, -1.25, 10.0, 1e-3])
COMPARE = {"==": "__eq__", "!=": "__ne__", "<": "__lt__", "<=": "__le__", ">": "__gt__", ">=": "__ge__"}
BINARY = {"+": "__add__", "-": "__sub__", "*": "__mul__", "/": "__truediv__", "**": "__pow__", "%": "__mod__"}
ELEMENTS = {"i": I, "e": E, "k": K}


@st.composite
def expressions(draw, bound=(), depth=3):
    """A random data expression of every operator kind; `bound` names the elements in scope."""
    kind = draw(st.sampled_from(["leaf"] + ["binary", "unary", "min/max", "reduction"] * (depth > 0)))
    if kind == "leaf":
        leaves = [tx.NumberLit(draw(NUMBERS)), P, Q, A.len_at(0), A[draw(st.integers(0, 2))]]
        leaves += [ELEMENTS[n] for n in bound] + [A[I]] * ("i" in bound)
        return draw(st.sampled_from(leaves))
    sub = expressions(bound, depth - 1)
    if kind == "binary":
        return combine(draw(sub), draw(st.sampled_from(list(BINARY.values()))), draw(sub))
    if kind == "unary":
        return draw(st.sampled_from([tx.abs, tx.ceil, tx.floor, tx.ln, tx.log2, tx.log10]))(draw(sub))
    if kind == "min/max":
        return draw(st.sampled_from([tx.min, tx.max]))(*draw(st.lists(sub, min_size=1, max_size=3)))
    free = [n for n in ELEMENTS if n not in bound]
    if not free:
        return draw(sub)
    name = draw(st.sampled_from(free))
    inner = expressions(bound + (name,), depth - 1)
    index = (ELEMENTS[name], draw(conditions(inner))) if draw(st.booleans()) else ELEMENTS[name]
    return draw(st.sampled_from([tx.sum, tx.prod]))(index, draw(inner))


@st.composite
def conditions(draw, sides, depth=2):
    if depth == 0 or draw(st.booleans()):
        return getattr(draw(sides), draw(st.sampled_from(list(COMPARE.values()))))(draw(sides))
    connective = draw(st.sampled_from(["__and__", "__or__", "__xor__"]))
    return getattr(draw(conditions(sides, depth - 1)), connective)(draw(conditions(sides, depth - 1)))


def combine(left, method, right):
    try:
        return getattr(left, method)(right)
    except (ZeroDivisionError, tx.ModelingError):
        reject()


@given(expr=expressions(), p=NUMBERS, q=NUMBERS, a=st.lists(NUMBERS, max_size=4))
def test_random_expressions_against_the_interpreter(expr, p, q, a):
    data = {"p": float(p), "q": float(q), "arr": [float(v) for v in a], "y": 0.0}
    try:
        want = ref_value(expr, data, {})
    except Undecided:
        reject()
    except IndexError:  # a constant subscript past the end of the drawn array
        with pytest.raises(IndexError, match=r"\barr\b"):
            value_of(expr, p, q, a)
        return
    assert same(value_of(expr, p, q, a), want), (str(expr), want)


def chain(step, start, n):
    e = start
    for _ in range(n):
        e = step(e)
    return e


# --- bad data and bad solutions ----------------------------------------------------------------

N = tx.Placeholder("N")
c, S, T = tx.Placeholder("c", ndim=1), tx.Placeholder("S", ndim=1), tx.Placeholder("T", ndim=2)
lb, ub, thr, pen = tx.Placeholder("lb", ndim=1), tx.Placeholder("ub", ndim=1), tx.Placeholder("thr"), tx.Placeholder("pen")
ii, kk = tx.Element("i", belong_to=(0, N)), tx.Element("k", belong_to=S)
X = tx.BinaryVar("x", shape=(N,))
Z = tx.IntegerVar("z", shape=(N,), lower_bound=lb, upper_bound=ub)
CHECKED = problem("checked", tx.sum(ii, c[ii] * X[ii]) + tx.sum(ii, Z[ii]),
                  tx.Constraint("rows", tx.sum((ii, T[kk, ii] > thr), X[ii]) <= 1, forall=kk),
                  tx.CustomPenaltyTerm("pen", pen * X[0]))
CYCLE = []
CYCLE.append(CYCLE)
GOOD = {"N": 2, "c": [1.0, 2.0], "S": [0, 1], "T": [[1, 2], [3, 4]], "lb": [0, 0], "ub": [3, 3], "thr": 1.5,
        "pen": 2.0}


@pytest.mark.parametrize("change, name", [
    *[({key: None}, key) for key in GOOD],  # missing (None removes the key below)
    ({"N": [2]}, "N"), ({"c": 1.0}, "c"), ({"c": [[1.0], [2.0]]}, "c"), ({"T": [1, 2]}, "T"),
    ({"T": [[1, 2], 3]}, "T"), ({"T": np.ones((2, 2, 1))}, "T"), ({"thr": "1.5"}, "thr"), ({"pen": 1j}, "pen"),
    ({"c": ["a", "b"]}, "c"), ({"c": np.array(["1", "2"])}, "c"), ({"c": np.array([1j, 2])}, "c"),
    ({"N": -1}, "[xz]"), ({"N": 1.5}, "[xz]"), ({"N": NAN}, "[xz]"),  # shapes
    ({"lb": [0, 4]}, "z"), ({"lb": [0, NAN]}, "z"), ({"lb": [0]}, "z"),  # bounds
    ({"c": chain(lambda v: [v], [1.0], 10**5)}, "c"), ({"c": CYCLE}, "c"),  # hostile nesting
])
def test_bad_data_names_the_placeholder(change, name):
    data = {k: v for k, v in {**GOOD, **change}.items() if v is not None}
    with pytest.raises(ValueError, match=rf"\b{name}\b"):
        Instance(CHECKED, data)


def test_good_data_and_unused_names():
    result = Instance(CHECKED, {**GOOD, "junk": object()}).evaluate({"x": np.array([1.0, 1.0]), "z": np.ones(2)})
    assert result.evaluation.objective.tolist() == [5.0]
    assert result.evaluation.constraint_values[0]["rows"].tolist() == [0.0, 1.0]


V = tx.BinaryVar("v", shape=(2, 2))


@pytest.mark.parametrize("expr, name", [
    (tx.BinaryVar("w", shape=(Y,))[0], "y"),  # a shape that holds a decision variable
    (tx.IntegerVar("w", lower_bound=Y, upper_bound=1), "y"),  # a bound that holds one
    (tx.sum(tx.Element("e", belong_to=V[0]), 1), "v"),  # an element over one
])
def test_decision_variable_where_data_belongs(expr, name):
    with pytest.raises(ValueError, match=rf"\b{name}\b"):
        inst = Instance(problem("dv", expr + Y), {})
        inst.evaluate({"y": np.array(0.0), "w": np.array(0.0), "v": np.zeros((2, 2))})


def num(text):
    """A pattern of the number `text` as a message may write it (3 or 3.0)."""
    return r"(?<![\d.])" + text.replace(".", r"\.") + r"(?:\.0)?(?![\d.])"


BY_K = problem("by k", tx.Constraint("k", X[0] * kk <= 1, forall=kk))
FINE = {"x": np.zeros(2), "z": np.zeros(2)}


@pytest.mark.parametrize("p, data, solution, error, pattern", [
    (CHECKED, {}, {"z": np.zeros(2)}, ValueError, r"\bx\b"),  # missing
    (CHECKED, {}, {"x": np.zeros(3), "z": np.zeros(2)}, ValueError, r"\bx\b"),  # wrong shape
    (CHECKED, {}, {"x": np.zeros((2, 1)), "z": np.zeros(2)}, ValueError, r"\bx\b"),
    (CHECKED, {}, tx.Record({"x": [(([0],), [1.0], (3,))], "z": [(([], ), [], (2,))]}, [1]), ValueError, r"\bx\b"),
    (CHECKED, {}, tx.Record({"x": [np.zeros(2)]}, [1]), ValueError, r"\bz\b"),
    (CHECKED, {}, [np.zeros(2)], TypeError, "expected Record or dict, got list"),
    # bad indices: T[k, i] past the end; forall values that are not non-negative integers
    (CHECKED, {"S": [0, 2]}, FINE, IndexError, rf"(?s)(?=.*\bT\b)(?=.*{num('2')})"),
    (BY_K, {"S": [0, 0.5]}, FINE, ValueError, num("0.5")), (BY_K, {"S": [0, -1]}, FINE, ValueError, num("-1")),
])
def test_bad_solutions_and_indices(p, data, solution, error, pattern):
    with pytest.raises(error, match=pattern):
        Instance(p, {**GOOD, **data}).evaluate(solution)


@pytest.mark.parametrize("index, shown", [(P, "1.5"), (P, "-1"), (P, "3"), (A.len_at(0), "2")])
@pytest.mark.parametrize("array", ["arr", "y"])
def test_subscripts_out_of_range_or_not_integers(index, shown, array):
    target = A[index] * Y if array == "arr" else tx.BinaryVar("y", shape=(2,))[index]
    with pytest.raises(IndexError, match=rf"(?s)(?=.*\b{array}\b)(?=.*{num(shown)})"):
        inst = Instance(problem("oob", target), {"p": float(shown), "arr": [1.0, 2.0]})
        inst.evaluate({"y": np.zeros(() if array == "arr" else (2,))})


# --- hostile shapes: deep chains and shared subtrees -------------------------------------------

DEPTH = 10**6
J = tx.Element("j", belong_to=(0, 1))


@pytest.mark.parametrize("build, want", [
    # (e + c) * 0.5, alternately nested: 10^6 levels over the variable.
    (lambda: chain(lambda e: (e + P) * 0.5, Y + 3, DEPTH // 2), 3.0),
    (lambda: chain(tx.abs, -P, DEPTH) * (Y + 1), 3.0),
    (lambda: tx.sum((K, chain(lambda cnd: cnd & (K >= 0), K > 0, DEPTH)), Y + K), 3.0),
    (lambda: chain(lambda e: tx.sum(J, e), Y + P, DEPTH), 3.0),  # sums in sums
])
def test_million_deep_expressions(build, want):
    assert value_of(build(), p=3) == want


def test_shared_subtrees_cost_distinct_nodes():
    """e - e forty times is 80 nodes but 2^40 paths: evaluation must not walk the paths."""
    code = textwrap.dedent("""
        import numpy as np, tarvex as tx
        from tarvex.instance import Instance
        c, y = tx.Placeholder("c"), tx.BinaryVar("y")
        e = c * y
        for _ in range(40):
            e = e - e
        p = tx.Problem("dag"); p += e + y
        p += tx.Constraint("k", e <= 1); p += tx.CustomPenaltyTerm("t", e)
        ev = Instance(p, {"c": 2.0}).evaluate({"y": np.array(1.0)}).evaluation
        print(ev.objective[0], ev.constraint_values[0]["k"][0], ev.penalty["t"][0])
    """)
    run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert run.returncode == 0, run.stderr
    assert run.stdout.split() == ["1.0", "-1.0", "0.0"]
