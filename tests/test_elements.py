import math

import pytest

import tarvex as tx
from conftest import raises

N = tx.Placeholder("N")
E = tx.Placeholder("E", ndim=2)
E3 = tx.Placeholder("E", ndim=3)
a1 = tx.Placeholder("a", ndim=1)
x = tx.BinaryVar("x")
x1 = tx.BinaryVar("x", shape=[3])
x2 = tx.BinaryVar("x", shape=[2, 3])
P_N = "Placeholder(name='N', ndim=0)"
P_E = "Placeholder(name='E', ndim=2)"
I_SCALAR = tx.Element("i", N)
E_VEC = tx.Element("e", E)


@pytest.mark.parametrize("belong_to, text, start_repr, end_repr", [
    ((0, N), "[0..N)", "NumberLit(value=0)", P_N), (N, "[0..N)", "NumberLit(value=0)", P_N),
    (5, "[0..5)", "NumberLit(value=0)", "NumberLit(value=5)"),
    ((0, 2.5), "[0..2.5)", "NumberLit(value=0)", "NumberLit(value=2.5)"),
    ((N - 1, N), "[N - 1..N)", f"{P_N} + NumberLit(value=-1)", P_N),
    ((0, a1.len_at(0)), "[0..len(a, 0))", "NumberLit(value=0)",
     "ArrayLength(array=Placeholder(name='a', ndim=1), axis=0)"),
    (a1[0], "[0..a[0])", "NumberLit(value=0)", "Placeholder(name='a', ndim=1)[NumberLit(value=0)]"),
    (I_SCALAR, "[0..i)", "NumberLit(value=0)", repr(I_SCALAR)),
])
def test_range_sets(belong_to, text, start_repr, end_repr):
    i = tx.Element("i", belong_to=belong_to)
    r = i.belong_to
    assert type(r) is tx.Range and (i.ndim, i.shape, str(i)) == (0, (), "i")
    assert (str(r), repr(r), repr(r.start), repr(r.end)) == (text, f"({start_repr}, {end_repr})", start_repr, end_repr)
    assert repr(i) == f"Element(name='i', belong_to=({start_repr}, {end_repr}))"


@pytest.mark.parametrize("belong_to, exc, message", [
    (0, ValueError, "`Range.start` (= 0) is equal to `Range.end` (= 0)"),
    (-3, ValueError, "`Range.start` (= 0) is larger than `Range.end` (= -3)"),
    ((3, 1), ValueError, "`Range.start` (= 3) is larger than `Range.end` (= 1)"),
    ((2.0, 2), ValueError, "`Range.start` (= 2) is equal to `Range.end` (= 2)"),
    ((0.5, 0), ValueError, "`Range.start` (= 0.5) is larger than `Range.end` (= 0)"),
    ((math.nan, 1), ValueError, "`Range.start` (= NaN) is larger than `Range.end` (= 1)"),
    ((0, x), tx.ModelingError, "the upper bound contains a decision variable"),
    ((x, x + 1), tx.ModelingError, "the lower bound contains a decision variable"),
    (x1[0], tx.ModelingError, "the upper bound contains a decision variable"),
])
def test_range_checks(belong_to, exc, message):
    with raises(exc, message):
        tx.Element("i", belong_to=belong_to)


@pytest.mark.parametrize("belong_to", [2.0, [0, 3], (0, 1, 2), (0, a1), N - 1, a1.len_at(0), x1,
                                       tx.Element("i", 3).belong_to])
def test_not_a_set(belong_to):
    with pytest.raises(TypeError) as info:
        tx.Element("i", belong_to)
    assert str(info.value).endswith("failed to convert into a set")


def test_elements_of_arrays():
    e = tx.Element("e", belong_to=E, latex="e_1", description="edge")
    assert (e.ndim, e.description) == (1, "edge")
    assert type(e.belong_to) is tx.Placeholder and repr(e.belong_to) == P_E
    assert repr(e) == f"Element(name='e', belong_to={P_E}, latex='e_1', description='edge')"
    assert [str(s) for s in e.shape] == ["len(e, 0)"]
    assert type(e[0]) is tx.Subscript and e[0].ndim == 0 and str(e[0]) == "e[0]"
    f = tx.Element("f", e)
    assert f.ndim == 0 and type(f.belong_to) is tx.Element and repr(f) == f"Element(name='f', belong_to={repr(e)})"
    assert tx.Element("v", a1).ndim == 0
    k = tx.Element("k", E3[0])
    assert k.ndim == 1 and type(k.belong_to) is tx.Subscript and str(k.belong_to) == "E[0]"


@pytest.mark.parametrize("array, axis, text, array_repr", [
    (E, 1, "len(E, 1)", P_E),
    (E_VEC, 0, "len(e, 0)", f"Element(name='e', belong_to={P_E})"),
    (E3[0], 1, "len(E[0], 1)", "Placeholder(name='E', ndim=3)[NumberLit(value=0)]"),
])
def test_array_length(array, axis, text, array_repr):
    for length in (tx.ArrayLength(array, axis), array.len_at(axis)):
        assert type(length) is tx.ArrayLength and str(length) == text and length.axis == axis
        assert type(length.array) is type(array) and repr(length.array) == array_repr
        assert repr(length) == f"ArrayLength(array={array_repr}, axis={axis})"
    named = array.len_at(axis, latex="n", description="count")
    assert (named.description, repr(named)) == (
        "count", f"ArrayLength(array={array_repr}, axis={axis}, latex='n', description='count')")
    assert repr(tx.ArrayLength(array=array, axis=axis, latex="n", description="count")) == repr(named)
    with pytest.raises(TypeError):
        array.len_at(axis, "n")  # latex is keyword-only


@pytest.mark.parametrize("build, exc, match", [
    (lambda: tx.Element(1, 3), TypeError, r"^argument 'name': "),
    # latex and description are extracted before the set is converted
    (lambda: tx.Element("i", "bad", latex=1), TypeError, r"^argument 'latex': "),
    (lambda: tx.Element("i", 3, "I"), TypeError, None),
    (lambda: tx.Element("i"), TypeError, "belong_to"),
    (lambda: tx.ArrayLength(3, 0), TypeError, r"unsupported type$"),
    (lambda: tx.ArrayLength(x2, 0), TypeError, r"unsupported type$"),
    (lambda: tx.ArrayLength(E, -1), OverflowError, r"^argument 'axis': "),
    (lambda: tx.ArrayLength(E, 1.0), TypeError, r"^argument 'axis': "),
])
def test_argument_errors(build, exc, match):
    with pytest.raises(exc, match=match):
        build()


@pytest.mark.parametrize("array, axis, constructor_message, len_at_message", [
    (N, 0, "the placeholder N is a scalar", None),
    (I_SCALAR, 0, "the element i is a scalar", None),
    (E, 2, "axis 2 is out of bounds for the axis of the array E", None),
    (E_VEC, 1, "axis 1 is out of bounds for the axis of the array e", None),
    (E3[0], 2, "axis 2 is out of bounds for the axis of the array E[0]", None),
    (E3[0, 0, 0], 0, "the subscripted variable E[0, 0, 0] is a scalar", "Can't get length of a scalar"),
    (x2[0], 0, "the subscripted variable x[0] is a decision variable", None),
    (x1[0], 0, "the subscripted variable x[0] is a decision variable", "Can't get length of a scalar"),
])
def test_array_operand_checks(array, axis, constructor_message, len_at_message):
    with raises(tx.ModelingError, constructor_message):
        tx.ArrayLength(array, axis)
    with raises(tx.ModelingError, len_at_message or constructor_message):
        array.len_at(axis, latex="L", description="d")


@pytest.mark.parametrize("array, texts", [
    (N, []), (E3[0, 0, 0], []), (tx.Placeholder("m", ndim=2), ["len(m, 0)", "len(m, 1)"]),
    (tx.Element("f", E3), ["len(f, 0)", "len(f, 1)"]), (E3[E_VEC[0], 1], ["len(E[e[0], 1], 0)"]),
])
def test_shape(array, texts):
    shape = array.shape
    assert type(shape) is tuple and [str(s) for s in shape] == texts
    assert [repr(s) for s in shape] == [repr(array.len_at(k)) for k in range(len(texts))]
    assert all("latex" not in repr(s) for s in shape)


def test_shape_of_decision_variable_subscript_fails():
    with pytest.raises(tx.ModelingError, match=r"^the subscripted variable x\[0\] is a decision variable$"):
        x2[0].shape
