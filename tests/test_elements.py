import math

import numpy as np
import pytest

import tarvex as tx

N = tx.Placeholder("N")
E = tx.Placeholder("E", ndim=2)
E3 = tx.Placeholder("E", ndim=3)
a1 = tx.Placeholder("a", ndim=1)
x = tx.BinaryVar("x")
x1 = tx.BinaryVar("x", shape=[3])
x2 = tx.BinaryVar("x", shape=[2, 3])
P_N = "Placeholder(name='N', ndim=0)"
P_E = "Placeholder(name='E', ndim=2)"
SET_ERROR = "failed to convert into a set"


# ---------------------------------------------------------------- ranges


@pytest.mark.parametrize(
    "belong_to, text, start_repr, end_repr",
    [
        ((0, N), "[0..N)", "NumberLit(value=0)", P_N),
        (N, "[0..N)", "NumberLit(value=0)", P_N),
        (5, "[0..5)", "NumberLit(value=0)", "NumberLit(value=5)"),
        (True, "[0..1)", "NumberLit(value=0)", "NumberLit(value=1)"),
        (np.int64(3), "[0..3)", "NumberLit(value=0)", "NumberLit(value=3)"),
        ((0, 2.5), "[0..2.5)", "NumberLit(value=0)", "NumberLit(value=2.5)"),
        ((-1.5, -1), "[-1.5..-1)", "NumberLit(value=-1.5)", "NumberLit(value=-1)"),
        ((0, math.inf), "[0..inf)", "NumberLit(value=0)", "NumberLit(value=inf)"),
        ((1, 2**70), "[1..1180591620717411300000)", "NumberLit(value=1)",
         "NumberLit(value=1180591620717411300000)"),
        ((N - 1, N), "[N - 1..N)", f"{P_N} + NumberLit(value=-1)", P_N),
        ((5, N), "[5..N)", "NumberLit(value=5)", P_N),
        ((0, a1.len_at(0)), "[0..len(a, 0))", "NumberLit(value=0)",
         "ArrayLength(array=Placeholder(name='a', ndim=1), axis=0)"),
        ((0, a1[0]), "[0..a[0])", "NumberLit(value=0)", "Placeholder(name='a', ndim=1)[NumberLit(value=0)]"),
        (a1[0], "[0..a[0])", "NumberLit(value=0)", "Placeholder(name='a', ndim=1)[NumberLit(value=0)]"),
    ],
)
def test_range_sets(belong_to, text, start_repr, end_repr):
    i = tx.Element("i", belong_to=belong_to)
    r = i.belong_to
    assert type(r) is tx.Range
    assert (i.ndim, i.shape, str(i)) == (0, (), "i")
    assert (str(r), repr(r)) == (text, f"({start_repr}, {end_repr})")
    assert (repr(r.start), repr(r.end)) == (start_repr, end_repr)
    assert repr(i) == f"Element(name='i', belong_to=({start_repr}, {end_repr}))"


def test_range_of_scalar_element():
    i = tx.Element("i", N)
    j = tx.Element("j", i)
    assert j.ndim == 0 and str(j.belong_to) == "[0..i)" and type(j.belong_to.end) is tx.Element
    assert repr(j) == f"Element(name='j', belong_to=(NumberLit(value=0), {repr(i)}))"


def test_range_getters_types():
    r = tx.Element("i", (1, 2.5)).belong_to
    assert type(r.start.value) is int and type(r.end.value) is float


@pytest.mark.parametrize(
    "belong_to, exc, message",
    [
        (0, ValueError, "`Range.start` (= 0) is equal to `Range.end` (= 0)"),
        (False, ValueError, "`Range.start` (= 0) is equal to `Range.end` (= 0)"),
        (-3, ValueError, "`Range.start` (= 0) is larger than `Range.end` (= -3)"),
        ((3, 1), ValueError, "`Range.start` (= 3) is larger than `Range.end` (= 1)"),
        ((2.0, 2), ValueError, "`Range.start` (= 2) is equal to `Range.end` (= 2)"),
        ((2, 2.0), ValueError, "`Range.start` (= 2) is equal to `Range.end` (= 2)"),
        ((0.5, 0), ValueError, "`Range.start` (= 0.5) is larger than `Range.end` (= 0)"),
        ((1e21, 1), ValueError, "`Range.start` (= 1000000000000000000000) is larger than `Range.end` (= 1)"),
        ((math.nan, 1), ValueError, "`Range.start` (= NaN) is larger than `Range.end` (= 1)"),
        ((2**63 - 1, 2**63 - 2), ValueError,
         "`Range.start` (= 9223372036854775807) is larger than `Range.end` (= 9223372036854775806)"),
        ((0, x), tx.ModelingError, "the upper bound contains a decision variable"),
        ((x, 5), tx.ModelingError, "the lower bound contains a decision variable"),
        ((x, x + 1), tx.ModelingError, "the lower bound contains a decision variable"),
        ((N, x1[0] * 2), tx.ModelingError, "the upper bound contains a decision variable"),
        (x1[0], tx.ModelingError, "the upper bound contains a decision variable"),
    ],
)
def test_range_checks(belong_to, exc, message):
    with pytest.raises(exc) as info:
        tx.Element("i", belong_to=belong_to)
    assert type(info.value) is exc and str(info.value) == message


@pytest.mark.parametrize(
    "belong_to",
    [2.0, "3", None, [0, 3], (0, 1, 2), (0,), (), ("a", 1), (0, a1), (0, x1), N - 1, N.__neg__(),
     a1.len_at(0), x, x1, tx.Element("i", 3).belong_to, x1[:], {0: 1}],
)
def test_not_a_set(belong_to):
    with pytest.raises(TypeError) as info:
        tx.Element("i", belong_to)
    assert str(info.value).endswith(SET_ERROR)


# ---------------------------------------------------------------- array sets


def test_element_of_placeholder():
    e = tx.Element("e", belong_to=E, latex="e_1", description="edge")
    assert (e.ndim, e.description) == (1, "edge")
    assert type(e.belong_to) is tx.Placeholder and repr(e.belong_to) == P_E
    assert repr(e) == f"Element(name='e', belong_to={P_E}, latex='e_1', description='edge')"
    assert [str(s) for s in e.shape] == ["len(e, 0)"]
    s = e[0]
    assert type(s) is tx.Subscript and s.ndim == 0 and str(s) == "e[0]"
    f = tx.Element("f", e)
    assert f.ndim == 0 and type(f.belong_to) is tx.Element and repr(f.belong_to) == repr(e)
    assert repr(f) == f"Element(name='f', belong_to={repr(e)})"


def test_element_of_subscript():
    k = tx.Element("k", E3[0])
    assert k.ndim == 1 and type(k.belong_to) is tx.Subscript and str(k.belong_to) == "E[0]"
    assert [str(s) for s in k.shape] == ["len(k, 0)"]
    assert tx.Element("l", E3[0, 1]).ndim == 0 and str(tx.Element("l", E3[0, 1]).belong_to) == "E[0, 1]"


def test_element_with_latex_and_set_latex():
    i = tx.Element("i", 3, latex="I", description="d")
    assert repr(i) == "Element(name='i', belong_to=(NumberLit(value=0), NumberLit(value=3)), latex='I', description='d')"
    i.set_latex(None)
    assert repr(i) == "Element(name='i', belong_to=(NumberLit(value=0), NumberLit(value=3)), description='d')"
    for attr in ("name", "ndim", "belong_to", "description", "shape"):
        with pytest.raises(AttributeError):
            setattr(i, attr, None)


@pytest.mark.parametrize(
    "args, kwargs, exc, match",
    [
        ((1, 3), {}, TypeError, r"^argument 'name': "),
        (("i", 3), {"latex": 1}, TypeError, r"^argument 'latex': "),
        (("i", 3), {"description": 1}, TypeError, r"^argument 'description': "),
        # name, latex and description are extracted before the set is converted
        ((1, "bad"), {}, TypeError, r"^argument 'name': "),
        (("i", "bad"), {"latex": 1}, TypeError, r"^argument 'latex': "),
        (("i", 0), {"description": 1}, TypeError, r"^argument 'description': "),
        (("i", 3, "I"), {}, TypeError, None),
        (("i",), {}, TypeError, "belong_to"),
        ((), {"name": "i", "belong_to": 0}, ValueError, "is equal to"),
    ],
)
def test_element_argument_errors(args, kwargs, exc, match):
    with pytest.raises(exc, match=match):
        tx.Element(*args, **kwargs)


# ---------------------------------------------------------------- array lengths


def test_array_length():
    length = tx.ArrayLength(E, 1)
    assert (length.axis, length.description, str(length)) == (1, None, "len(E, 1)")
    assert type(length.array) is tx.Placeholder and repr(length.array) == P_E
    assert repr(length) == f"ArrayLength(array={P_E}, axis=1)"
    named = tx.ArrayLength(array=E, axis=0, latex="n", description="count")
    assert named.description == "count"
    assert repr(named) == f"ArrayLength(array={P_E}, axis=0, latex='n', description='count')"
    named.set_latex(None)
    assert repr(named) == f"ArrayLength(array={P_E}, axis=0, description='count')"
    assert str(length - 1) == "len(E, 1) - 1" and str(2 * length) == "2 * len(E, 1)"


@pytest.mark.parametrize(
    "array, axis, text, array_repr",
    [
        (tx.Element("e", E), 0, "len(e, 0)", f"Element(name='e', belong_to={P_E})"),
        (E3[0], 1, "len(E[0], 1)", "Placeholder(name='E', ndim=3)[NumberLit(value=0)]"),
        (E3[0][1], 0, "len(E[0, 1], 0)", "Placeholder(name='E', ndim=3)[NumberLit(value=0), NumberLit(value=1)]"),
    ],
)
def test_array_length_of_element_and_subscript(array, axis, text, array_repr):
    for length in (tx.ArrayLength(array, axis), array.len_at(axis)):
        assert type(length) is tx.ArrayLength and str(length) == text
        assert type(length.array) is type(array) and repr(length.array) == array_repr
        assert repr(length) == f"ArrayLength(array={array_repr}, axis={axis})"


@pytest.mark.parametrize(
    "array, axis, exc, match",
    [
        (3, 0, TypeError, r"unsupported type$"),
        ("E", 0, TypeError, r"unsupported type$"),
        (x2, 0, TypeError, r"unsupported type$"),
        (N + 1, 0, TypeError, r"unsupported type$"),
        (tx.Element("i", 3).belong_to, 0, TypeError, r"unsupported type$"),
        (E, -1, OverflowError, r"^argument 'axis': "),
        (E, 1.0, TypeError, r"^argument 'axis': "),
        (E, "0", TypeError, r"^argument 'axis': "),
    ],
)
def test_array_length_argument_errors(array, axis, exc, match):
    with pytest.raises(exc, match=match):
        tx.ArrayLength(array, axis)


I_SCALAR = tx.Element("i", N)
E_VEC = tx.Element("e", E)


@pytest.mark.parametrize(
    "array, axis, constructor_message, len_at_message",
    [
        (N, 0, "the placeholder N is a scalar", None),
        (N, 5, "the placeholder N is a scalar", None),
        (I_SCALAR, 0, "the element i is a scalar", None),
        (E, 2, "axis 2 is out of bounds for the axis of the array E", None),
        (E_VEC, 1, "axis 1 is out of bounds for the axis of the array e", None),
        (E3[0], 2, "axis 2 is out of bounds for the axis of the array E[0]", None),
        (E3[0, E_VEC[0]], 1, "axis 1 is out of bounds for the axis of the array E[0, e[0]]", None),
        (E3[0, 0, 0], 0, "the subscripted variable E[0, 0, 0] is a scalar", "Can't get length of a scalar"),
        (x2[0], 0, "the subscripted variable x[0] is a decision variable", None),
        (x2[0], 7, "the subscripted variable x[0] is a decision variable", None),
        (x1[0], 0, "the subscripted variable x[0] is a decision variable", "Can't get length of a scalar"),
    ],
)
def test_array_operand_checks(array, axis, constructor_message, len_at_message):
    before = repr(array)
    with pytest.raises(tx.ModelingError) as info:
        tx.ArrayLength(array, axis)
    assert str(info.value) == constructor_message
    with pytest.raises(tx.ModelingError) as info:
        array.len_at(axis, latex="L", description="d")
    assert str(info.value) == (len_at_message or constructor_message)
    assert repr(array) == before


# ---------------------------------------------------------------- len_at and shape


@pytest.mark.parametrize(
    "array, texts",
    [
        (N, []),
        (tx.Placeholder("m", ndim=2), ["len(m, 0)", "len(m, 1)"]),
        (tx.Placeholder("t", ndim=3), ["len(t, 0)", "len(t, 1)", "len(t, 2)"]),
        (I_SCALAR, []),
        (E_VEC, ["len(e, 0)"]),
        (tx.Element("f", E3), ["len(f, 0)", "len(f, 1)"]),
        (E3[0], ["len(E[0], 0)", "len(E[0], 1)"]),
        (E3[E_VEC[0], 1], ["len(E[e[0], 1], 0)"]),
        (E3[0, 0, 0], []),
    ],
)
def test_shape(array, texts):
    shape = array.shape
    assert type(shape) is tuple and [str(s) for s in shape] == texts
    assert all(type(s) is tx.ArrayLength and "latex" not in repr(s) for s in shape)
    assert [s.axis for s in shape] == list(range(len(texts)))
    assert [repr(s) for s in shape] == [repr(array.len_at(k)) for k in range(len(texts))]


@pytest.mark.parametrize("array", [E, E_VEC, E3[0]])
def test_len_at_keywords(array):
    length = array.len_at(0, latex="L", description="d")
    assert repr(length).endswith(", axis=0, latex='L', description='d')")
    assert length.description == "d"
    with pytest.raises(TypeError):
        array.len_at(0, "L")
    with pytest.raises(OverflowError):
        array.len_at(-1)


def test_shape_of_decision_variable_subscript_fails():
    with pytest.raises(tx.ModelingError, match=r"^the subscripted variable x\[0\] is a decision variable$"):
        x2[0].shape
