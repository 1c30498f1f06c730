import pytest

import tarvex as tx
from conftest import raises

N, M = tx.Placeholder("N"), tx.Placeholder("M")
a = tx.Placeholder("a", ndim=1)
A = tx.Placeholder("A", ndim=2)
i, j, k = (tx.Element(s, belong_to=N) for s in "ijk")
x = tx.BinaryVar("x", shape=[N])
x2 = tx.BinaryVar("x", shape=[N, M])
y = tx.BinaryVar("y")
REDUCERS = [(tx.sum, tx.SumOp, "sum"), (tx.prod, tx.ProdOp, "prod")]


@pytest.mark.parametrize("reduce, cls, word", REDUCERS)
def test_single_and_conditional_element(reduce, cls, word):
    r = reduce(i, a[i])
    assert type(r) is cls and r.condition is None
    assert type(r.index) is tx.Element and repr(r.index) == repr(i)
    assert type(r.operand) is tx.Subscript and repr(r.operand) == repr(a[i])
    assert (str(r), repr(r)) == (f"{word}(i in [0..N), a[i])", f"{word}({i!r}, {a[i]!r})")
    r = reduce((i, i != 2), a[i])
    assert type(r.condition) is tx.NotEqualOp and str(r.condition) == "i != 2"
    assert (str(r), repr(r)) == (f"{word}(i in [0..N) s.t. i != 2, a[i])", f"{word}({i!r}, {i != 2!r}, {a[i]!r})")


@pytest.mark.parametrize("reduce, cls, word", REDUCERS)
@pytest.mark.parametrize("index, text", [
    ([i, j], "{w}(i in [0..N), {w}(j in [0..N), A[i, j]))"),
    ((i, j), "{w}(i in [0..N), {w}(j in [0..N), A[i, j]))"),
    ([i, (j, j != i)], "{w}(i in [0..N), {w}(j in [0..N) s.t. j != i, A[i, j]))"),
    ([i], "{w}(i in [0..N), A[i, j])"),
])
def test_index_sequences_nest_first_outermost(reduce, cls, word, index, text):
    r = reduce(index, A[i, j])
    assert type(r) is cls and r.index.name == "i" and str(r) == text.format(w=word)


@pytest.mark.parametrize("build, text", [
    (lambda: tx.sum(i, 1), "sum(i in [0..N), 1)"),
    (lambda: tx.sum((i, j != 2), a[k]), "sum(i in [0..N) s.t. j != 2, a[k])"),
    (lambda: tx.prod(i, x[i]), "prod(i in [0..N), x[i])"),
    (lambda: tx.sum(i, a[i] + 1), "sum(i in [0..N), (a[i] + 1))"),
    (lambda: tx.sum(tx.Element("e", belong_to=a), 1), "sum(e in a, 1)"),
    (lambda: tx.sum(index=tx.Element("e", belong_to=i), operand=a[k]), "sum(e in [0..i), a[k])"),
])
def test_reduction_contents_are_kept_as_given(build, text):
    assert str(build()) == text


@pytest.mark.parametrize("reduce", [tx.sum, tx.prod])
@pytest.mark.parametrize("index", [(i, x[i] == 1), (i, (i != 2) | ((i != 3) ^ (y >= 1))), [j, (i, y == 1)]])
def test_condition_with_decision_variable_is_rejected(reduce, index):
    with raises(tx.ModelingError, "the condition expression contains a decision variable"):
        reduce(index, a[i])


@pytest.mark.parametrize("build, exc, match", [
    (lambda: tx.sum([], a[i]), ValueError, "empty"), (lambda: tx.prod([], a[i]), ValueError, "empty"),
    *[(lambda index=index: tx.prod(index, a[i]), TypeError, "^argument 'index': failed to extract enum Index")
      for index in (5, "i", (i, 5), [i, "j"])],
    (lambda: tx.sum(i, "a"), TypeError, r"^argument 'operand': failed to convert into expression\.$"),
    (lambda: tx.sum(i, a), tx.ModelingError,
     r"^the dimensionality of the Placeholder \{ name: a \} must be zero, but is actually 1$"),
])
def test_argument_errors(build, exc, match):
    with pytest.raises(exc, match=match) as info:
        build()
    assert type(info.value) is exc


def test_arithmetic_and_comparison_on_reductions():
    s = tx.sum(i, a[i]) + tx.sum(j, a[j])
    assert type(s) is tx.AddOp and [type(t) for t in s.terms] == [tx.SumOp, tx.SumOp]
    cond = tx.prod(i, x[i]) == 1
    assert type(cond) is tx.EqualOp and type(cond.left) is tx.ProdOp


@pytest.mark.parametrize("method, reduce", [("sum", tx.sum), ("prod", tx.prod)])
@pytest.mark.parametrize("build, body", [
    (lambda: x[:], lambda d: x[d[0]]),
    (lambda: x2[:, j], lambda d: x2[d[0], j]),
    (lambda: x2[:, :], lambda d: x2[d[0], d[1]]),
])
def test_slice_reduction_equals_explicit_reduction(method, reduce, build, body):
    r = getattr(build(), method)()
    dummies = [r.index]
    if type(r.operand) is type(r):
        dummies.append(r.operand.index)
    explicit = reduce(dummies if len(dummies) > 1 else dummies[0], body(dummies))
    assert type(explicit) is type(r) and repr(r) == repr(explicit)
