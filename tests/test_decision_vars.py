import pytest

import tarvex as tx
from conftest import DV_KINDS, raises

BOUNDED = [
    (tx.IntegerVar, "Integer", "an integer", "an integer"),
    (tx.ContinuousVar, "Continuous", "a continuous", "a continuous"),
    (tx.SemiIntegerVar, "SemiInteger", "a semi-integer", "a semi-integer integer"),
    (tx.SemiContinuousVar, "SemiContinuous", "a semi-continuous", "a semi-continuous"),
]
N = tx.Placeholder("N")
P_N = "Placeholder(name='N', ndim=0)"
U1, U2, U3 = (tx.Placeholder("u", ndim=k) for k in (1, 2, 3))
X2 = tx.BinaryVar("x", shape=[2, 3])
NOT_A_BOUND = "the input object is not used as the bound of a decision variable"
ONLY_PLACEHOLDER = "only a subscripted placeholder can be used as the bound of a decision variable"


def test_binary_scalar():
    x = tx.BinaryVar("x")
    assert (x.name, x.description, x.ndim, x.shape, str(x)) == ("x", None, 0, (), "x") and not hasattr(x, "lower_bound")
    assert repr(x) == "BinaryVar(name='x', shape=[])"


@pytest.mark.parametrize("cls, word, _l, _u", BOUNDED)
def test_bounded_scalar_with_literal_bounds(cls, word, _l, _u):
    z = cls(name="z", lower_bound=-1, upper_bound=2.5)
    assert (z.name, z.ndim, z.shape, z.description) == ("z", 0, (), None)
    assert type(z.lower_bound) is tx.NumberLit and z.lower_bound.value == -1
    assert repr(z) == (
        f"{word}Var(name='z', shape=[], lower_bound=NumberLit(value=-1), upper_bound=NumberLit(value=2.5))")


@pytest.mark.parametrize("shape, classes, text", [
    (None, (), ""),
    ([2, 2], (tx.NumberLit, tx.NumberLit), "NumberLit(value=2), NumberLit(value=2)"),
    ([N, 2.5, True], (tx.Placeholder, tx.NumberLit, tx.NumberLit),
     f"{P_N}, NumberLit(value=2.5), NumberLit(value=1)"),
    ([U1.len_at(0)], (tx.ArrayLength,), "ArrayLength(array=Placeholder(name='u', ndim=1), axis=0)"),
])
@pytest.mark.parametrize("cls, word, bounds", DV_KINDS)
def test_shapes(cls, word, bounds, shape, classes, text):
    v = cls("v", shape=shape, **bounds)
    assert v.ndim == len(classes) and tuple(type(s) for s in v.shape) == classes
    assert repr(v).startswith(f"{word}Var(name='v', shape=[{text}]")


def test_array_bounds():
    y = tx.IntegerVar("y", shape=(N,), lower_bound=0, upper_bound=U1)
    assert type(y.upper_bound) is tx.Placeholder and y.upper_bound.ndim == 1
    assert repr(y) == (f"IntegerVar(name='y', shape=[{P_N}], lower_bound=NumberLit(value=0), "
                       "upper_bound=Placeholder(name='u', ndim=1))")
    z = tx.SemiContinuousVar("z", shape=(N,), lower_bound=U2[0], upper_bound=N)
    assert type(z.lower_bound) is tx.Subscript and z.lower_bound.ndim == 1
    assert repr(z.lower_bound) == "Placeholder(name='u', ndim=2)[NumberLit(value=0)]"
    # A scalar subscript or scalar expression is a bound of the expression kind.
    w = tx.SemiIntegerVar("w", lower_bound=U1[0], upper_bound=N * 2)
    assert type(w.lower_bound) is tx.Subscript and type(w.upper_bound) is tx.MulOp


@pytest.mark.parametrize("cls, word, bounds", DV_KINDS)
def test_latex_and_description(cls, word, bounds):
    v = cls("v", latex="V", description="a var", **bounds)
    assert v.description == "a var" and repr(v).endswith(", latex='V', description='a var')")
    v.set_latex(None)
    assert repr(v).endswith(", description='a var')") and "latex=" not in repr(v)
    with pytest.raises(AttributeError):
        v.name = "w"
    with pytest.raises(TypeError):
        cls("x", [2], **bounds)  # the arguments after the name are keyword-only


@pytest.mark.parametrize("cls, word, bounds", DV_KINDS)
@pytest.mark.parametrize("kwargs, exc, match", [
    ({"name": 1}, TypeError, r"^argument 'name': "),
    ({"shape": "ab"}, TypeError, r"^argument 'shape': Can't extract `str` to `Vec`$"),
    ({"shape": 3}, TypeError, r"^argument 'shape': "),
    ({"shape": ["a"]}, TypeError, r"^argument 'shape': "),
    ({"shape": [tx.BinaryVar("y", shape=[3])]}, tx.ModelingError,
     r"^the dimensionality of the BinaryVar \{ name: y \} must be zero, but is actually 1$"),
    ({"shape": "ab", "latex": 1}, TypeError, r"^argument 'shape': "),  # in argument order
])
def test_construction_errors(cls, word, bounds, kwargs, exc, match):
    kwargs = dict(kwargs)
    name = kwargs.pop("name", "x")
    with pytest.raises(exc, match=match):
        cls(name, **bounds, **kwargs)


@pytest.mark.parametrize("cls, word, _l, _u", BOUNDED)
@pytest.mark.parametrize("kwargs, exc, message", [
    ({"lower_bound": X2[0], "upper_bound": 1}, tx.ModelingError, ONLY_PLACEHOLDER),
    ({"lower_bound": 0, "upper_bound": X2}, tx.ModelingError, NOT_A_BOUND),
    ({"lower_bound": 0, "upper_bound": X2[:, 0]}, tx.ModelingError, NOT_A_BOUND),
    # the shape is extracted first, then the lower and upper bounds, then latex and description, and those before
    # the dimension check
    ({"shape": "ab", "lower_bound": "s", "upper_bound": "s"}, TypeError,
     "argument 'shape': Can't extract `str` to `Vec`"),
    ({"lower_bound": "s", "upper_bound": X2[0]}, tx.ModelingError, NOT_A_BOUND),
    ({"lower_bound": "s", "upper_bound": 0, "latex": 1}, tx.ModelingError, NOT_A_BOUND),
    ({"lower_bound": U2, "upper_bound": 0, "description": 1}, TypeError,
     "argument 'description': expected str or None, got int"),
])
def test_bound_conversion_errors(cls, word, _l, _u, kwargs, exc, message):
    with raises(exc, message):
        cls("x", **{"shape": [2], **kwargs})


@pytest.mark.parametrize("cls, word, lower_words, upper_words", BOUNDED)
@pytest.mark.parametrize("shape, lower, upper, which, bound_ndim, var_ndim", [
    ([N], 0, U2, "upper", 2, 1), ([N], U2, U3, "lower", 2, 1), ([], U1, 1, "lower", 1, 0),
    ([2, 2], 0, U3[0, 0], "upper", 1, 2),
])
def test_bound_dimension_mismatch(cls, word, lower_words, upper_words, shape, lower, upper, which,
                                  bound_ndim, var_ndim):
    words = lower_words if which == "lower" else upper_words
    with raises(tx.ModelingError, f"the number of dimensions of a {which} bound (= {bound_ndim}) must be equal "
                                  f"to zero or the number of {words} variable (= {var_ndim})"):
        cls("x", shape=shape, lower_bound=lower, upper_bound=upper)


