import pytest

import tarvex as tx
from conftest import DV_KINDS, raises

N = tx.Placeholder("N")
i, j = tx.Element("i", N), tx.Element("j", N)
a = tx.Placeholder("a", ndim=2)
b = tx.Placeholder("b")
e = tx.Element("e", a)
y = tx.BinaryVar("y")
x = tx.BinaryVar("x", shape=[N])
x2 = tx.IntegerVar("x", shape=[2, 3], lower_bound=0, upper_bound=5)
q = tx.Placeholder("q", ndim=4)
P_A = "Placeholder(name='a', ndim=2)"
R_I = "Element(name='i', belong_to=(NumberLit(value=0), Placeholder(name='N', ndim=0)))"
R_J = R_I.replace("'i'", "'j'")
R_X = "BinaryVar(name='x', shape=[Placeholder(name='N', ndim=0)])"
HAS_VAR = "a subscript contains a decision variable"


def too_many(count, var, ndim):
    return (
        f"the number of subscripts (= {count}) is greater than the dimensionality of the "
        f"variable `{var}` (= {ndim})"
    )


def step_message(k, word, name, step):
    return (f"The {k}-th subscript of the {word}Var named '{name}' uses a slice with a step `{step}`. "
            "However, the slice with a step is not supported.")


@pytest.mark.parametrize("build, text, ndim, variable_cls", [
    (lambda: a[i, j], "a[i, j]", 0, tx.Placeholder), (lambda: a[[i, j]], "a[i, j]", 0, tx.Placeholder),
    (lambda: a[i], "a[i]", 1, tx.Placeholder), (lambda: a[i][0], "a[i, 0]", 0, tx.Placeholder),
    (lambda: a[1.5, True], "a[1.5, 1]", 0, tx.Placeholder), (lambda: e[0], "e[0]", 0, tx.Element),
    (lambda: x[i], "x[i]", 0, tx.BinaryVar), (lambda: x2[0], "x[0]", 1, tx.IntegerVar),
    (lambda: x2[0][1], "x[0, 1]", 0, tx.IntegerVar), (lambda: q[i, j, 0], "q[i, j, 0]", 1, tx.Placeholder),
    (lambda: q[i][j, 0][1], "q[i, j, 0, 1]", 0, tx.Placeholder),
])
def test_subscript_forms(build, text, ndim, variable_cls):
    s = build()
    assert type(s) is tx.Subscript and str(s) == text and s.ndim == ndim
    assert type(s.variable) is variable_cls
    assert type(s.subscripts) is list and ", ".join(str(t) for t in s.subscripts) == text[2:-1]


def test_nested_subscripts_are_one_node():
    assert repr(a[i][j]) == repr(a[i, j]) == f"{P_A}[{R_I}, {R_J}]"
    assert repr(x[0]) == f"{R_X}[NumberLit(value=0)]"
    s = a[i][j]
    s.variable.set_latex("Z")  # getters return copies
    assert (repr(s.variable), len(s.subscripts)) == (P_A, 2)


@pytest.mark.parametrize("build, exc, message", [
    (lambda: a[i, j, 0], tx.ModelingError, too_many(3, "a", 2)),
    (lambda: a[i][j, 0], tx.ModelingError, too_many(2, "a[i]", 1)),
    (lambda: x2[0][0, 0], tx.ModelingError, too_many(2, "x[0]", 1)),
    (lambda: x2[i, 0, 0], tx.ModelingError, too_many(3, "x", 2)),
    (lambda: a[()], tx.ModelingError, "the number of subscripts is zero"),
    (lambda: x[()], tx.ModelingError, "the number of subscripts is zero"),
    (lambda: a[y], tx.ModelingError, HAS_VAR), (lambda: a[i][y], tx.ModelingError, HAS_VAR),
    (lambda: x[y], tx.ModelingError, HAS_VAR), (lambda: x2[0][y], tx.ModelingError, HAS_VAR),
    (lambda: a[y, 0, 0], tx.ModelingError, HAS_VAR),  # checked before the subscripts are counted
    (lambda: b[0], TypeError, "ModelingError: the scalar `Placeholder { name: b }` is not subscriptable"),
    (lambda: i[0], TypeError, "ModelingError: the scalar `Element { name: i }` is not subscriptable"),
    (lambda: x[0][0], TypeError, "ModelingError: the scalar `x[0]` is not subscriptable"),
    (lambda: x["a"], IndexError, "Invalid index: 'a'"),
    (lambda: x[[0, "a"]], IndexError, "Invalid index: [0, 'a']"),
])
def test_subscript_errors(build, exc, message):
    with raises(exc, message):
        build()


@pytest.mark.parametrize("index", ["s", slice(None)])
@pytest.mark.parametrize("receiver", [a, a[i]], ids=["placeholder", "subscript"])
def test_invalid_index_objects(receiver, index):
    before = repr(receiver)
    with pytest.raises(TypeError, match="Can't extract `str` to `Vec`$" if index == "s" else None):
        receiver[index]
    assert repr(receiver) == before


def dummy(k, var, belong_to):
    return (
        f"Element(name='__dummy_{var}_{k}', belong_to={belong_to}, latex='\\ast_{{{k}}}', "
        f"description='dummy index at {k} for {var}')"
    )


def test_full_slice_sum_and_prod():
    d = x[:]
    assert type(d) is tx.DummyIndexedVar
    for method, cls, word in ((d.sum, tx.SumOp, "sum"), (d.prod, tx.ProdOp, "prod")):
        r = method()
        assert type(r) is cls and r.condition is None
        assert str(r) == f"{word}(__dummy_x_0 in [0..N), x[__dummy_x_0])"
        assert repr(r.index) == dummy(0, "x", "(NumberLit(value=0), Placeholder(name='N', ndim=0))")
        assert repr(r.operand) == f"{R_X}[{repr(r.index)}]"
    inner = x2[:, :].sum().operand
    assert repr(inner.index) == dummy(1, "x", "(NumberLit(value=0), NumberLit(value=3))")
    with pytest.raises(TypeError):
        d + 1  # a dummy-indexed variable has no arithmetic


@pytest.mark.parametrize("build, text", [
    (lambda: x[i:], "sum(__dummy_x_0 in [i..N), x[__dummy_x_0])"),
    (lambda: x[:5], "sum(__dummy_x_0 in [0..5), x[__dummy_x_0])"),
    (lambda: x2[[slice(None), 1]], "sum(__dummy_x_0 in [0..2), x[__dummy_x_0, 1])"),
    (lambda: x2[i, 1:], "sum(__dummy_x_1 in [1..3), x[i, __dummy_x_1])"),
    (lambda: x2[1:, :2],
     "sum(__dummy_x_0 in [1..2), sum(__dummy_x_1 in [0..2), x[__dummy_x_0, __dummy_x_1]))"),
])
def test_slice_forms(build, text):
    d = build()
    assert type(d) is tx.DummyIndexedVar and (str(d.sum()), str(d.prod())) == (text, text.replace("sum(", "prod("))


@pytest.mark.parametrize("cls, word, bounds", DV_KINDS)
def test_every_kind(cls, word, bounds):
    with raises(tx.ModelingError, f"the scalar `{word}Var {{ name: v }}` is not subscriptable"):
        cls("v", **bounds)[0]
    v = cls("v", shape=[3], **bounds)
    assert type(v[:].prod()) is tx.ProdOp and type(v[:].prod().operand.variable) is cls
    with raises(tx.ModelingError, step_message(0, word, "v", 1)):
        v[0:2:1]


@pytest.mark.parametrize("build, exc, message", [
    (lambda: x2[0, ::N], tx.ModelingError, step_message(1, "Integer", "x", "N")),
    (lambda: x[:, :], tx.ModelingError, too_many(2, "x", 1)),
    (lambda: x[3:3], ValueError, "`Range.start` (= 3) is equal to `Range.end` (= 3)"),
    (lambda: x[5:2], ValueError, "`Range.start` (= 5) is larger than `Range.end` (= 2)"),
    (lambda: x[y:], tx.ModelingError, "the lower bound contains a decision variable"),
    (lambda: x[:y], tx.ModelingError, "the upper bound contains a decision variable"),
    (lambda: x2[:, y], tx.ModelingError, HAS_VAR),
    # a surplus slice with an explicit stop is accepted until it is summed
    (lambda: x[:, 0:2].sum(), tx.ModelingError, too_many(2, "x", 1)),
    (lambda: x2[:].sum(), tx.ModelingError,
     "the dimensionality of the subscripted variable `x[__dummy_x_0]` must be zero, but actually 1"),
])
def test_slice_errors(build, exc, message):
    with raises(exc, message):
        build()
