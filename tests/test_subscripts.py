import numpy as np
import pytest

import tarvex as tx

N = tx.Placeholder("N")
i, j = tx.Element("i", N), tx.Element("j", N)
a = tx.Placeholder("a", ndim=2)
a1 = tx.Placeholder("a", ndim=1)
b = tx.Placeholder("b")
e = tx.Element("e", a)
y = tx.BinaryVar("y")
x = tx.BinaryVar("x", shape=[N])
x2 = tx.IntegerVar("x", shape=[2, 3], lower_bound=0, upper_bound=5)
DV_KINDS = [
    (tx.BinaryVar, "Binary", {}),
    (tx.IntegerVar, "Integer", {"lower_bound": 0, "upper_bound": 5}),
    (tx.ContinuousVar, "Continuous", {"lower_bound": 0, "upper_bound": 5}),
    (tx.SemiIntegerVar, "SemiInteger", {"lower_bound": 0, "upper_bound": 5}),
    (tx.SemiContinuousVar, "SemiContinuous", {"lower_bound": 0, "upper_bound": 5}),
]
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


# ---------------------------------------------------------------- building subscripts


@pytest.mark.parametrize(
    "build, text, ndim, variable_cls",
    [
        (lambda: a[i, j], "a[i, j]", 0, tx.Placeholder),
        (lambda: a[i][j], "a[i, j]", 0, tx.Placeholder),
        (lambda: a[(i, j)], "a[i, j]", 0, tx.Placeholder),
        (lambda: a[[i, j]], "a[i, j]", 0, tx.Placeholder),
        (lambda: a[i], "a[i]", 1, tx.Placeholder),
        (lambda: a[i][0], "a[i, 0]", 0, tx.Placeholder),
        (lambda: a[0], "a[0]", 1, tx.Placeholder),
        (lambda: a[1.5, True], "a[1.5, 1]", 0, tx.Placeholder),
        (lambda: a[np.int64(2)], "a[2]", 1, tx.Placeholder),
        (lambda: a[N - 1], "a[N - 1]", 1, tx.Placeholder),
        (lambda: a[a1[0]], "a[a[0]]", 1, tx.Placeholder),
        (lambda: a1[i], "a[i]", 0, tx.Placeholder),
        (lambda: e[0], "e[0]", 0, tx.Element),
        (lambda: e[i * 2], "e[2 * i]", 0, tx.Element),
        (lambda: x[i], "x[i]", 0, tx.BinaryVar),
        (lambda: x[0], "x[0]", 0, tx.BinaryVar),
        (lambda: x[1.5], "x[1.5]", 0, tx.BinaryVar),
        (lambda: x[np.int64(1)], "x[1]", 0, tx.BinaryVar),
        (lambda: x2[0], "x[0]", 1, tx.IntegerVar),
        (lambda: x2[0, 1], "x[0, 1]", 0, tx.IntegerVar),
        (lambda: x2[0][1], "x[0, 1]", 0, tx.IntegerVar),
        (lambda: x2[[0, j]], "x[0, j]", 0, tx.IntegerVar),
    ],
)
def test_subscript_forms(build, text, ndim, variable_cls):
    s = build()
    assert type(s) is tx.Subscript and str(s) == text and s.ndim == ndim
    assert type(s.variable) is variable_cls
    assert type(s.subscripts) is list and ", ".join(str(t) for t in s.subscripts) == text[2:-1]


def test_nested_subscripts_are_one_node():
    assert repr(a[i][j]) == repr(a[i, j]) == f"{P_A}[{R_I}, {R_J}]"
    assert repr(x2[0][1]) == repr(x2[0, 1])
    assert repr(x[0]) == f"{R_X}[NumberLit(value=0)]"
    assert repr(a[i][j].variable) == P_A and len(a[i][j].subscripts) == 2


def test_subscript_getters_return_copies():
    s = a[i, j]
    s.variable.set_latex("Z")
    s.subscripts[0].set_latex("Z")
    assert "latex" not in repr(s)
    assert s.ndim == 0 and not hasattr(s, "name")


def test_subscripts_in_arithmetic():
    assert str(a[i, j] + 1) == "a[i, j] + 1"
    assert str(2 * x[i]) == "2 * x[i]"
    with pytest.raises(tx.ModelingError) as info:
        a[i] * 2
    assert str(info.value) == "the dimensionality of the subscripted variable `a[i]` must be zero, but actually 1"


# ---------------------------------------------------------------- subscript failures


@pytest.mark.parametrize(
    "build, exc, message",
    [
        (lambda: a[i, j, 0], tx.ModelingError, too_many(3, "a", 2)),
        (lambda: a1[0, 0], tx.ModelingError, too_many(2, "a", 1)),
        (lambda: e[0, 0], tx.ModelingError, too_many(2, "e", 1)),
        (lambda: a[i][j, 0], tx.ModelingError, too_many(2, "a[i]", 1)),
        (lambda: a[()], tx.ModelingError, "the number of subscripts is zero"),
        (lambda: a[[]], tx.ModelingError, "the number of subscripts is zero"),
        (lambda: a[y], tx.ModelingError, HAS_VAR),
        (lambda: a[y + 1], tx.ModelingError, HAS_VAR),
        (lambda: a1[x[0]], tx.ModelingError, HAS_VAR),
        (lambda: e[y], tx.ModelingError, HAS_VAR),
        (lambda: a[i][y], tx.ModelingError, HAS_VAR),
        (lambda: a[y, 0], tx.ModelingError, HAS_VAR),
        (lambda: a[0, 2 * y], tx.ModelingError, HAS_VAR),
        # a sequence index is checked for decision variables before it is counted
        (lambda: a[y, 0, 0], tx.ModelingError, HAS_VAR),
        (lambda: b[0], TypeError, "ModelingError: the scalar `Placeholder { name: b }` is not subscriptable"),
        (lambda: b[()], TypeError, "ModelingError: the scalar `Placeholder { name: b }` is not subscriptable"),
        (lambda: b[y], TypeError, "ModelingError: the scalar `Placeholder { name: b }` is not subscriptable"),
        (lambda: i[0], TypeError, "ModelingError: the scalar `Element { name: i }` is not subscriptable"),
        (lambda: a[i, j][0], TypeError, "ModelingError: the scalar `a[i, j]` is not subscriptable"),
        (lambda: a[i][j][y], TypeError, "ModelingError: the scalar `a[i, j]` is not subscriptable"),
        (lambda: x[0][0], TypeError, "ModelingError: the scalar `x[0]` is not subscriptable"),
    ],
)
def test_subscript_errors(build, exc, message):
    with pytest.raises(exc) as info:
        build()
    assert type(info.value) is exc and str(info.value) == message


@pytest.mark.parametrize("index", ["s", None, object(), slice(None), slice(0, 1), [0, "s"], (i, slice(None))])
@pytest.mark.parametrize("receiver", [a, e, a[i]], ids=["placeholder", "element", "subscript"])
def test_invalid_index_objects(receiver, index):
    before = repr(receiver)
    with pytest.raises(TypeError) as info:
        receiver[index]
    if index == "s":
        assert str(info.value).endswith("Can't extract `str` to `Vec`")
    assert repr(receiver) == before


@pytest.mark.parametrize("cls, word, bounds", DV_KINDS)
def test_decision_variable_subscript_errors(cls, word, bounds):
    scalar = cls("v", **bounds)
    with pytest.raises(tx.ModelingError) as info:
        scalar[0]
    assert str(info.value) == f"the scalar `{word}Var {{ name: v }}` is not subscriptable"
    v = cls("v", shape=[2], **bounds)
    cases = [
        (lambda: v[y], HAS_VAR),
        (lambda: v[y, 0], HAS_VAR),
        (lambda: v[i, 0], too_many(2, "v", 1)),
        (lambda: v[()], "the number of subscripts is zero"),
        (lambda: v[[]], "the number of subscripts is zero"),
    ]
    for build, message in cases:
        with pytest.raises(tx.ModelingError) as info:
            build()
        assert str(info.value) == message
    assert repr(v).startswith(f"{word}Var(name='v', shape=[NumberLit(value=2)]")


@pytest.mark.parametrize(
    "index, shown", [("a", "'a'"), (None, "None"), ([0, "a"], "[0, 'a']"), ((0, {}), "(0, {})")]
)
def test_decision_variable_invalid_index(index, shown):
    with pytest.raises(IndexError) as info:
        x[index]
    assert str(info.value) == "Invalid index: " + shown


def test_combined_decision_variable_subscripts():
    with pytest.raises(tx.ModelingError, match=f"^{HAS_VAR}$"):
        x2[0][y]
    with pytest.raises(tx.ModelingError) as info:
        x2[0][0, 0]
    assert str(info.value) == too_many(2, "x[0]", 1)


def test_failed_and_successful_subscripts_change_nothing():
    s = a[i]
    before = repr(s)
    for bad in (lambda: s[j, 0], lambda: s[y], lambda: s["q"], lambda: s[0:1]):
        with pytest.raises((TypeError, tx.ModelingError)):
            bad()
    assert str(s[j]) == "a[i, j]"
    assert repr(s) == before and s.ndim == 1


# ---------------------------------------------------------------- slices


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
        assert type(r.index) is tx.Element and r.index.ndim == 0
        assert repr(r.index) == dummy(0, "x", "(NumberLit(value=0), Placeholder(name='N', ndim=0))")
        assert r.index.name == "__dummy_x_0" and r.index.description == "dummy index at 0 for x"
        assert type(r.operand) is tx.Subscript and type(r.operand.variable) is tx.BinaryVar
        assert repr(r.operand) == f"{R_X}[{repr(r.index)}]"
    assert repr(d.sum()) == repr(x[:].sum())


@pytest.mark.parametrize(
    "build, text",
    [
        (lambda: x[1:], "sum(__dummy_x_0 in [1..N), x[__dummy_x_0])"),
        (lambda: x[:5], "sum(__dummy_x_0 in [0..5), x[__dummy_x_0])"),
        (lambda: x[i:N], "sum(__dummy_x_0 in [i..N), x[__dummy_x_0])"),
        (lambda: x[N - 2 :], "sum(__dummy_x_0 in [N - 2..N), x[__dummy_x_0])"),
        (lambda: x[0.5:], "sum(__dummy_x_0 in [0.5..N), x[__dummy_x_0])"),
        (lambda: x[slice(None)], "sum(__dummy_x_0 in [0..N), x[__dummy_x_0])"),
        (lambda: x2[:, 1], "sum(__dummy_x_0 in [0..2), x[__dummy_x_0, 1])"),
        (lambda: x2[(slice(None), 1)], "sum(__dummy_x_0 in [0..2), x[__dummy_x_0, 1])"),
        (lambda: x2[[slice(None), 1]], "sum(__dummy_x_0 in [0..2), x[__dummy_x_0, 1])"),
        (lambda: x2[0, :], "sum(__dummy_x_1 in [0..3), x[0, __dummy_x_1])"),
        (lambda: x2[i, 1:], "sum(__dummy_x_1 in [1..3), x[i, __dummy_x_1])"),
        (lambda: x2[:, :],
         "sum(__dummy_x_0 in [0..2), sum(__dummy_x_1 in [0..3), x[__dummy_x_0, __dummy_x_1]))"),
        (lambda: x2[1:, :2],
         "sum(__dummy_x_0 in [1..2), sum(__dummy_x_1 in [0..2), x[__dummy_x_0, __dummy_x_1]))"),
    ],
)
def test_slice_forms(build, text):
    d = build()
    assert type(d) is tx.DummyIndexedVar
    assert str(d.sum()) == text
    assert str(d.prod()) == text.replace("sum(", "prod(")


def test_second_axis_dummy_and_nesting():
    r = x2[:, :].sum()
    assert r.index.name == "__dummy_x_0" and type(r.operand) is tx.SumOp
    inner = r.operand
    assert repr(inner.index) == dummy(1, "x", "(NumberLit(value=0), NumberLit(value=3))")
    assert inner.condition is None and str(inner.operand) == "x[__dummy_x_0, __dummy_x_1]"


@pytest.mark.parametrize("cls, word, bounds", DV_KINDS)
def test_slices_of_every_kind(cls, word, bounds):
    v = cls("v", shape=[3], **bounds)
    r = v[:].prod()
    assert type(r) is tx.ProdOp and type(r.operand.variable) is cls
    assert repr(r.index) == dummy(0, "v", "(NumberLit(value=0), NumberLit(value=3))")
    with pytest.raises(tx.ModelingError) as info:
        v[0:2:1]
    assert str(info.value) == (
        f"The 0-th subscript of the {word}Var named 'v' uses a slice with a step `1`. "
        "However, the slice with a step is not supported."
    )


@pytest.mark.parametrize(
    "build, exc, message",
    [
        (lambda: x2[0, ::N], tx.ModelingError,
         "The 1-th subscript of the IntegerVar named 'x' uses a slice with a step `N`. "
         "However, the slice with a step is not supported."),
        (lambda: x2[::-1], tx.ModelingError,
         "The 0-th subscript of the IntegerVar named 'x' uses a slice with a step `-1`. "
         "However, the slice with a step is not supported."),
        (lambda: x[y:3:2], tx.ModelingError,
         "The 0-th subscript of the BinaryVar named 'x' uses a slice with a step `2`. "
         "However, the slice with a step is not supported."),
        (lambda: x[:, :], tx.ModelingError, too_many(2, "x", 1)),
        (lambda: x[0, :], tx.ModelingError, too_many(2, "x", 1)),
        (lambda: x2[:, :, :], tx.ModelingError, too_many(3, "x", 2)),
        (lambda: x[3:3], ValueError, "`Range.start` (= 3) is equal to `Range.end` (= 3)"),
        (lambda: x[:0], ValueError, "`Range.start` (= 0) is equal to `Range.end` (= 0)"),
        (lambda: x[5:2], ValueError, "`Range.start` (= 5) is larger than `Range.end` (= 2)"),
        (lambda: x2[1:1, ::2], ValueError, "`Range.start` (= 1) is equal to `Range.end` (= 1)"),
        (lambda: x[y:], tx.ModelingError, "the lower bound contains a decision variable"),
        (lambda: x[:y], tx.ModelingError, "the upper bound contains a decision variable"),
        (lambda: x2[:, y], tx.ModelingError, HAS_VAR),
        (lambda: x2[y, :], tx.ModelingError, HAS_VAR),
        # a surplus slice with an explicit stop is accepted until it is summed
        (lambda: x[:, 0:2].sum(), tx.ModelingError, too_many(2, "x", 1)),
        (lambda: x[0, 0:2].prod(), tx.ModelingError, too_many(2, "x", 1)),
        (lambda: x2[:].sum(), tx.ModelingError,
         "the dimensionality of the subscripted variable `x[__dummy_x_0]` must be zero, but actually 1"),
        (lambda: x2[1:].prod(), tx.ModelingError,
         "the dimensionality of the subscripted variable `x[__dummy_x_0]` must be zero, but actually 1"),
    ],
)
def test_slice_errors(build, exc, message):
    with pytest.raises(exc) as info:
        build()
    assert type(info.value) is exc and str(info.value) == message


def test_failed_sum_leaves_dummy_indexed_var_usable():
    d = x[:, 0:2]
    for _ in range(2):
        with pytest.raises(tx.ModelingError, match="greater than the dimensionality"):
            d.sum()
    ok = x2[:, 1:3]
    assert str(ok.sum()) == str(ok.sum()) == (
        "sum(__dummy_x_0 in [0..2), sum(__dummy_x_1 in [1..3), x[__dummy_x_0, __dummy_x_1]))"
    )


@pytest.mark.parametrize(
    "build",
    [lambda d: d + 1, lambda d: 1 + d, lambda d: d * 2, lambda d: -d, lambda d: d**2, lambda d: d / 2],
)
def test_dummy_indexed_var_has_no_arithmetic(build):
    with pytest.raises(TypeError):
        build(x[:])


def test_reductions_in_arithmetic():
    r = x[:].sum()
    assert str(r + 1) == "sum(__dummy_x_0 in [0..N), x[__dummy_x_0]) + 1"
    assert str(r**2) == "(sum(__dummy_x_0 in [0..N), x[__dummy_x_0])) ** 2"
    assert str(2 * x2[:, 0].prod()) == "2 * prod(__dummy_x_0 in [0..2), x[__dummy_x_0, 0])"
