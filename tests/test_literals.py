from fractions import Fraction

import numpy as np
import pytest

import tarvex as tx

INTEGER, FLOAT = tx.DataType.INTEGER, tx.DataType.FLOAT


class Index:
    def __init__(self, index, value=None):
        self.index, self.value = index, value

    def __index__(self):
        if isinstance(self.index, Exception):
            raise self.index
        return self.index

    def __float__(self):
        return self.value


@pytest.mark.parametrize("arg, value, dtype", [
    (123, 123, INTEGER),
    (-(2**63), -(2**63), INTEGER),
    (True, 1, INTEGER),
    (2**63, float(2**63), FLOAT),
    (2**70, float(2**70), FLOAT),
    (1.23, 1.23, FLOAT),
    (np.int8(-5), -5, INTEGER),
    (np.uint64(2**64 - 1), float(2**64 - 1), FLOAT),
    (Fraction(1, 4), 0.25, FLOAT),
    (Index(2**70, 1.5), 1.5, FLOAT),
    (Index(ValueError("no index"), 1.5), 1.5, FLOAT),
])
def test_number_lit_conversion(arg, value, dtype):
    lit = tx.NumberLit(value=arg)
    assert type(lit.value) is type(value) and lit.value == value
    assert lit.dtype == dtype
    with pytest.raises(AttributeError):
        lit.value = 1


@pytest.mark.parametrize("arg", ["1", None, 10**400])
def test_number_lit_rejects(arg):
    with pytest.raises(TypeError, match=r"^argument 'value': ") as info:
        tx.NumberLit(arg)
    assert "Integer" in str(info.value) and "Float" in str(info.value)


def test_float_literals_keep_their_values_when_made_many_times():
    z = tx.BinaryVar("z")
    values = [k / 7 for k in range(-300, 300) if k not in (0, 7)] + [1e300, -2.5e-300, float("inf")]
    for _ in range(2):  # the second round meets literals made by the first
        assert [(v * z).terms[0].value for v in values] == values


@pytest.mark.parametrize("args, kwargs, expected", [
    (("a",), {}, "Placeholder(name='a', ndim=0)"),
    ((), {"name": "N", "ndim": 3}, "Placeholder(name='N', ndim=3)"),
    (("a",), {"ndim": 2, "latex": "A", "description": "it's"},
     "Placeholder(name='a', ndim=2, latex='A', description='it's')"),
    (("",), {"latex": "", "description": ""}, "Placeholder(name='', ndim=0, latex='', description='')"),
])
def test_placeholder_attributes_and_text(args, kwargs, expected):
    p = tx.Placeholder(*args, **kwargs)
    name = kwargs.get("name", args[0] if args else None)
    assert (p.name, str(p), p.ndim, p.description, repr(p)) == (
        name, name, kwargs.get("ndim", 0), kwargs.get("description"), expected)
    with pytest.raises(AttributeError):
        p.ndim = 1


@pytest.mark.parametrize("args, kwargs, exc, match", [
    ((1,), {}, TypeError, r"^argument 'name': "),
    (("a",), {"ndim": 1.5}, TypeError, r"^argument 'ndim': "),
    (("a",), {"ndim": -1}, OverflowError, r"^argument 'ndim': "),
    (("a",), {"description": 1}, TypeError, r"^argument 'description': "),
    # The first failing argument, in the order name, ndim, latex, description.
    (("a",), {"ndim": -1, "latex": 1}, OverflowError, r"^argument 'ndim': "),
    (("a", 1), {}, TypeError, r"takes at most 1 positional argument"),
    ((), {"ndim": 1}, TypeError, r"'name'"),
])
def test_placeholder_errors(args, kwargs, exc, match):
    with pytest.raises(exc, match=match):
        tx.Placeholder(*args, **kwargs)


def test_name_that_cannot_be_encoded_keeps_the_encoding_error():
    with pytest.raises(UnicodeEncodeError, match="^'utf-8' codec can't encode"):
        tx.Placeholder("\udcff")


def test_shape_of_an_absurd_number_of_axes_is_refused_not_built():
    with pytest.raises(ValueError, match="cannot list the lengths of 1000000000000 axes"):
        tx.Placeholder("a", ndim=10**12).shape
