import pytest

import tarvex as tx

N, M = tx.Placeholder("N"), tx.Placeholder("M")
a = tx.Placeholder("a", ndim=1)
A = tx.Placeholder("A", ndim=2)
i, j, k = (tx.Element(s, belong_to=N) for s in "ijk")
x = tx.BinaryVar("x", shape=[N])
x2 = tx.BinaryVar("x", shape=[N, M])
y = tx.BinaryVar("y")
REDUCERS = [(tx.sum, tx.SumOp, "sum"), (tx.prod, tx.ProdOp, "prod")]
INDEX_ERROR = "argument 'index': failed to extract enum Index"


@pytest.mark.parametrize("reduce, cls, word", REDUCERS)
def test_single_element(reduce, cls, word):
    r = reduce(i, a[i])
    assert type(r) is cls and r.condition is None
    assert type(r.index) is tx.Element and repr(r.index) == repr(i)
    assert type(r.operand) is tx.Subscript and repr(r.operand) == repr(a[i])
    assert str(r) == f"{word}(i in [0..N), a[i])"
    assert repr(r) == f"{word}({i!r}, {a[i]!r})"
    literal = reduce(i, 1)  # a reduction of a literal is not folded
    assert type(literal) is cls and type(literal.operand) is tx.NumberLit and literal.operand.value == 1


@pytest.mark.parametrize("reduce, cls, word", REDUCERS)
def test_conditional_element(reduce, cls, word):
    r = reduce((i, i != 2), a[i])
    assert type(r) is cls and type(r.condition) is tx.NotEqualOp
    assert repr(r.condition.left) == repr(i) and r.condition.right.value == 2
    assert str(r) == f"{word}(i in [0..N) s.t. i != 2, a[i])"
    assert repr(r) == f"{word}({i!r}, {i != 2!r}, {a[i]!r})"


@pytest.mark.parametrize("reduce, cls, word", REDUCERS)
@pytest.mark.parametrize(
    "index, text",
    [
        ([i, j], "{w}(i in [0..N), {w}(j in [0..N), A[i, j]))"),
        ((i, j), "{w}(i in [0..N), {w}(j in [0..N), A[i, j]))"),
        ([i, (j, j != i)], "{w}(i in [0..N), {w}(j in [0..N) s.t. j != i, A[i, j]))"),
        (((i, i != 0), (j, (j != i) & (j > 1))),
         "{w}(i in [0..N) s.t. i != 0, {w}(j in [0..N) s.t. j != i and j > 1, A[i, j]))"),
        ([i], "{w}(i in [0..N), A[i, j])"),
        ([(i, i != 2)], "{w}(i in [0..N) s.t. i != 2, A[i, j])"),
    ],
)
def test_index_sequences_nest_first_outermost(reduce, cls, word, index, text):
    r = reduce(index, A[i, j])
    assert type(r) is cls and r.index.name == "i" and str(r) == text.format(w=word)


def test_tuple_of_elements_equals_list_of_elements():
    assert repr(tx.sum((i, j, k), A[i, j] * a[k])) == repr(tx.sum([i, j, k], A[i, j] * a[k]))
    assert repr(tx.sum([i, j], A[i, j])) == repr(tx.sum(i, tx.sum(j, A[i, j])))


@pytest.mark.parametrize(
    "build, text",
    [
        (lambda: tx.sum(i, 1), "sum(i in [0..N), 1)"),
        (lambda: tx.prod(i, 2.5), "prod(i in [0..N), 2.5)"),
        (lambda: tx.sum(i, y), "sum(i in [0..N), y)"),
        (lambda: tx.sum((i, j != 2), a[k]), "sum(i in [0..N) s.t. j != 2, a[k])"),
        (lambda: tx.prod(i, x[i]), "prod(i in [0..N), x[i])"),
        (lambda: tx.sum(i, a[i] * x[i]), "sum(i in [0..N), a[i] * x[i])"),
        (lambda: tx.sum(i, a[i] + 1), "sum(i in [0..N), (a[i] + 1))"),
        (lambda: tx.sum(i, a[i] ** 2), "sum(i in [0..N), (a[i] ** 2))"),
        (lambda: tx.sum(i, tx.sum(i, a[i])), "sum(i in [0..N), sum(i in [0..N), a[i]))"),
        (lambda: tx.sum(tx.Element("e", belong_to=a), 1), "sum(e in a, 1)"),
        (lambda: tx.sum(tx.Element("e", belong_to=i), a[k]), "sum(e in [0..i), a[k])"),
        (lambda: tx.sum(tx.Element("e", belong_to=(1, N - 1)), 1), "sum(e in [1..N - 1), 1)"),
        (lambda: tx.sum(index=i, operand=a[i]), "sum(i in [0..N), a[i])"),
    ],
)
def test_reduction_contents_are_kept_as_given(build, text):
    r = build()
    assert type(r) in (tx.SumOp, tx.ProdOp) and str(r) == text


@pytest.mark.parametrize("reduce", [tx.sum, tx.prod])
@pytest.mark.parametrize(
    "index",
    [
        (i, x[i] == 1),
        (i, (i != 2) & (y == 0)),
        (i, (i != 2) | ((i != 3) ^ (x[i] >= 1))),
        (i, tx.sum(j, x[j]) >= 1),
        (i, 1 <= y),
        [j, (i, x[i] == 1)],
        [(j, j != 0), k, (i, y != 1)],
    ],
)
def test_condition_with_decision_variable_is_rejected(reduce, index):
    with pytest.raises(tx.ModelingError) as info:
        reduce(index, a[i])
    assert str(info.value) == "the condition expression contains a decision variable"


@pytest.mark.parametrize("reduce", [tx.sum, tx.prod])
@pytest.mark.parametrize("index", [[], ()])
def test_empty_index_sequence(reduce, index):
    with pytest.raises(ValueError) as info:
        reduce(index, a[i])
    assert "empty" in str(info.value)


@pytest.mark.parametrize("reduce", [tx.sum, tx.prod])
@pytest.mark.parametrize(
    "index",
    [5, None, "i", "ij", N, a, x, i + 1, i.belong_to, [i, 5], (i, 5), (i, y), [i, (j, 5)],
     [i, "j"], (i, j, i != 2, k), {"i": i}],
    ids=lambda v: type(v).__name__,
)
def test_unconvertible_index(reduce, index):
    with pytest.raises(TypeError) as info:
        reduce(index, a[i])
    message = str(info.value)
    assert message.startswith(INDEX_ERROR) and "Sequence" in message


@pytest.mark.parametrize("reduce", [tx.sum, tx.prod])
@pytest.mark.parametrize(
    "operand, exc, message",
    [
        ("a", TypeError, "argument 'operand': failed to convert into expression."),
        (None, TypeError, "argument 'operand': failed to convert into expression."),
        (y <= 1, TypeError, "argument 'operand': failed to convert into expression."),
        (a, tx.ModelingError,
         "the dimensionality of the Placeholder { name: a } must be zero, but is actually 1"),
        (x, tx.ModelingError,
         "the dimensionality of the BinaryVar { name: x } must be zero, but is actually 1"),
        (x[:], tx.ModelingError,
         "dummy indexed BinaryVar with name 'x' must be called the `sum` or `prod` method "
         "to be converted into an expression."),
    ],
)
def test_unconvertible_operand(reduce, operand, exc, message):
    with pytest.raises(exc) as info:
        reduce(i, operand)
    assert str(info.value) == message


def test_arithmetic_and_comparison_on_reductions():
    s = tx.sum(i, a[i]) + tx.sum(j, a[j])
    assert type(s) is tx.AddOp and [type(t) for t in s.terms] == [tx.SumOp, tx.SumOp]
    assert str(s) == "sum(i in [0..N), a[i]) + sum(j in [0..N), a[j])"
    assert str(tx.sum(i, x[i]) ** 2) == "(sum(i in [0..N), x[i])) ** 2"
    cond = tx.prod(i, x[i]) == 1
    assert type(cond) is tx.EqualOp and type(cond.left) is tx.ProdOp


@pytest.mark.parametrize("method, reduce", [("sum", tx.sum), ("prod", tx.prod)])
@pytest.mark.parametrize(
    "build, body",
    [
        (lambda: x[:], lambda d: x[d[0]]),
        (lambda: x[1:], lambda d: x[d[0]]),
        (lambda: x2[:, j], lambda d: x2[d[0], j]),
        (lambda: x2[i, :2], lambda d: x2[i, d[0]]),
        (lambda: x2[:, :], lambda d: x2[d[0], d[1]]),
    ],
)
def test_slice_reduction_equals_explicit_reduction(method, reduce, build, body):
    r = getattr(build(), method)()
    dummies = [r.index]
    if type(r.operand) is type(r):
        dummies.append(r.operand.index)
    explicit = reduce(dummies if len(dummies) > 1 else dummies[0], body(dummies))
    assert type(explicit) is type(r)
    assert repr(r) == repr(explicit)
