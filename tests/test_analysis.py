import pytest

import tarvex as tx
from conftest import problem, raises

a, b, n = tx.Placeholder("a"), tx.Placeholder("b"), tx.Placeholder("n")
N = tx.Placeholder("N")
A = tx.Placeholder("A", ndim=2)
x, y, z = tx.BinaryVar("x"), tx.BinaryVar("y"), tx.BinaryVar("z")
xs = tx.BinaryVar("xs", shape=(N,))
X2 = tx.BinaryVar("X", shape=(N, N))
i = tx.Element("i", belong_to=N)
j = tx.Element("j", belong_to=N)
r3 = tx.Element("r", belong_to=(0, 3))
rN = tx.Element("r", belong_to=(0, N))
e1 = tx.Element("e", belong_to=tx.Placeholder("E", ndim=1))

DEGREE_FUNCTIONS = [tx.is_linear, tx.is_quadratic, tx.is_higher_order, tx.is_dynamic_degree]


def same_nodes(got, expected):
    """Element-wise structural equality, with the classes compared exactly."""
    return len(got) == len(expected) and all(
        type(g) is type(e) and tx.is_same(g, e) for g, e in zip(got, expected)
    )


@pytest.mark.parametrize("build, degree", [
    (lambda: 1, None), (lambda: a * b + tx.abs(n), None), (lambda: x**1.5, None),
    (lambda: x + y, "linear"), (lambda: x / a, "linear"), (lambda: xs[i] + A.len_at(0) * x, "linear"),
    (lambda: tx.sum(i, xs[i]), "linear"), (lambda: tx.abs(a) * x + a % n, "linear"),
    (lambda: x * y, "quadratic"), (lambda: x**2, "quadratic"), (lambda: (x**2) ** 0.5, "quadratic"),
    (lambda: x * y * z, "higher"), (lambda: tx.prod(r3, xs[r3]), "higher"),
    (lambda: tx.prod(i, xs[i]), "dynamic"), (lambda: tx.prod(e1, xs[e1]), "dynamic"), (lambda: a**n, "dynamic"),
    (lambda: x * y + tx.prod(rN, a), "dynamic"),
])
def test_degree_classification(build, degree):
    """At most one of the four holds (none for data alone, or for x ** 1.5)."""
    got = [fn(build()) for fn in DEGREE_FUNCTIONS]
    assert all(type(v) is bool for v in got)
    assert got == [d == degree for d in ("linear", "quadratic", "higher", "dynamic")]


@pytest.mark.parametrize("fn", DEGREE_FUNCTIONS)
def test_degree_function_arguments(fn):
    assert fn(expr=x) is (fn is tx.is_linear)
    with pytest.raises(TypeError, match=r"^argument 'expr': failed to convert into expression\.$"):
        fn(x == 1)


def test_extract_nodes_documented_example():
    got = tx.extract_nodes(a * x + b * y + 123, (tx.BinaryVar, tx.Placeholder))
    assert same_nodes(got, [a, x, b, y])


def test_extract_nodes_is_pre_order_with_sets_and_conditions():
    cond = (i != 0) & (j < n)
    e = tx.sum([(i, cond)], X2[i, j] + tx.abs(a))
    classes = (tx.SumOp, tx.Element, tx.Placeholder, tx.AndOp, tx.NotEqualOp, tx.LessThanOp, tx.AddOp,
               tx.Subscript, tx.BinaryVar, tx.AbsOp, tx.NumberLit)
    got = [type(node).__name__ + ":" + str(node) for node in tx.extract_nodes(e, classes)]
    assert got == [
        "SumOp:" + str(e),
        "Element:i", "NumberLit:0", "Placeholder:N",          # the index and its range
        "AndOp:" + str(cond),
        "NotEqualOp:i != 0", "Element:i", "NumberLit:0", "Placeholder:N", "NumberLit:0",
        "LessThanOp:j < n", "Element:j", "NumberLit:0", "Placeholder:N", "Placeholder:n",
        "AddOp:X[i, j] + |a|",
        "Subscript:X[i, j]", "BinaryVar:X", "Element:i", "NumberLit:0", "Placeholder:N",
        "Element:j", "NumberLit:0", "Placeholder:N",
        "AbsOp:|a|", "Placeholder:a",
    ]


@pytest.mark.parametrize("classes, expected", [
    (tx.Placeholder, ["a", "b"]), ((), []), ((tx.MulOp, tx.NumberLit), ["a * b", "2"]),
    (object, []),  # classes are matched exactly, not as subclasses
])
def test_extract_nodes_class_selection(classes, expected):
    got = tx.extract_nodes(a * b + 2, classes)
    assert [str(g) for g in got] == expected


@pytest.mark.parametrize("arg, name", [(5, "int"), ((tx.Placeholder, 5), "tuple")])
def test_extract_nodes_refuses_a_non_type(arg, name):
    with raises(TypeError, "2nd arg of extract_node() must be a type or tuple of types, but the given type is " + name):
        tx.extract_nodes(a + 1, arg)


def test_extract_nodes_of_conditions_constraints_penalties_and_forall():
    cond = (x <= 1) | (a == b)
    assert [type(g) for g in tx.extract_nodes(cond, (tx.OrOp, tx.LessThanEqualOp, tx.EqualOp))] == [
        tx.OrOp, tx.LessThanEqualOp, tx.EqualOp]
    c = tx.Constraint("c", xs[i] + a <= b, forall=[i])
    assert [str(g) for g in tx.extract_nodes(c, (tx.Placeholder, tx.Element))] == ["i", "N", "a", "b", "i", "N"]
    p = tx.CustomPenaltyTerm("p", X2[i, j] * a, forall=[i, (j, j != i)])
    assert [str(g) for g in tx.extract_nodes(p, tx.Element)] == ["i", "j", "i", "j", "j", "i"]
    assert [str(g) for g in tx.extract_nodes([i, (j, j != i)], tx.Element)] == ["i", "j", "j", "i"]


def test_extract_nodes_of_a_problem_in_name_order():
    p = problem("p", a * x, tx.Constraint("second", y <= b, forall=None), tx.Constraint("first", z >= n),
                tx.CustomPenaltyTerm("penalty", tx.Placeholder("q") * x))
    got = tx.extract_nodes(p, tx.Placeholder)
    assert [str(g) for g in got] == ["a", "n", "b", "q"]


@pytest.mark.parametrize("obj, exc, message", [
    ("a", TypeError, r"^argument 'obj': failed to convert into expression\.$"),
    ([i, i], tx.ModelingError, r"^forall has duplicated indices$"),
])
@pytest.mark.parametrize("call", [lambda o: tx.extract_nodes(o, tx.Placeholder), tx.extract_variables])
def test_extraction_refuses_other_objects(call, obj, exc, message):
    with pytest.raises(exc, match=message):
        call(obj)


def test_extract_variables_documented_example():
    n_ = tx.Placeholder("n")
    i_ = tx.Element("i", belong_to=n_)
    xv, yv, zv = (tx.BinaryVar(s, shape=(n_,)) for s in "xyz")
    got = tx.extract_variables(problem("p", tx.sum(i_, xv[i_]), tx.Constraint("c", yv[i_] <= 1, forall=i_),
                                       tx.CustomPenaltyTerm("q", zv[i_], forall=[i_])))
    assert [v.name for v in got] == ["i", "n", "x", "y", "z"]
    assert same_nodes(got, [i_, n_, xv, yv, zv])


@pytest.mark.parametrize("build, expected", [
    (lambda: a + tx.Placeholder("a", latex="A", description="d") + a, ["a"]),
    (lambda: a + tx.Placeholder("a", ndim=1)[0], ["a", "a"]), (lambda: xs[i] + xs[j], ["xs", "i", "N", "j"]),
    (lambda: A.len_at(0) + A.len_at(0, description="rows") + A.len_at(1), ["len(A, 0)", "A", "len(A, 1)"]),
    (lambda: tx.Element("k", belong_to=A[i]), ["k", "A", "i", "N"]),
    (lambda: [i, (j, j != a)], ["i", "N", "j", "a"]),
])
def test_extract_variables_distinct_in_first_appearance_order(build, expected):
    assert [str(v) for v in tx.extract_variables(build())] == expected


def test_extract_variables_keeps_the_first_occurrence():
    got = tx.extract_variables(tx.Placeholder("a", latex="first") + tx.Placeholder("a", latex="second"))
    assert len(got) == 1 and "first" in got[0]._repr_latex_()
    got = tx.extract_variables(xs[i] + A.len_at(1) + tx.IntegerVar("w", lower_bound=0, upper_bound=b))
    assert [type(v) for v in got] == [tx.BinaryVar, tx.Element, tx.Placeholder, tx.ArrayLength,
                                      tx.Placeholder, tx.IntegerVar]
