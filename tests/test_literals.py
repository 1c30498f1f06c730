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
    (123, 123, INTEGER), (-(2**63), -(2**63), INTEGER), (True, 1, INTEGER), (np.int8(-5), -5, INTEGER),
    (2**63, float(2**63), FLOAT), (2**70, float(2**70), FLOAT), (np.uint64(2**64 - 1), float(2**64 - 1), FLOAT),
    (1.23, 1.23, FLOAT), (Fraction(1, 4), 0.25, FLOAT),
    (Index(2**70, 1.5), 1.5, FLOAT), (Index(ValueError("no index"), 1.5), 1.5, FLOAT),  # __float__ when __index__ fails
])
def test_number_lit_conversion(arg, value, dtype):
    lit = tx.NumberLit(value=arg)
    assert type(lit.value) is type(value) and lit.value == value
    assert lit.dtype == dtype
    with pytest.raises(AttributeError):
        lit.value = 1


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


NOT_A_NUMBER = "^argument 'value': '{}' object cannot be converted to either Integer or Float$"


@pytest.mark.parametrize("build, exc, match", [
    (lambda: tx.NumberLit("1"), TypeError, NOT_A_NUMBER.format("str")),
    (lambda: tx.NumberLit(None), TypeError, NOT_A_NUMBER.format("NoneType")),
    (lambda: tx.NumberLit(10**400), TypeError, NOT_A_NUMBER.format("int")),
    (lambda: tx.Placeholder(1), TypeError, r"^argument 'name': "),
    (lambda: tx.Placeholder("a", ndim=1.5), TypeError, r"^argument 'ndim': "),
    (lambda: tx.Placeholder("a", ndim=-1), OverflowError, r"^argument 'ndim': "),
    (lambda: tx.Placeholder("a", description=1), TypeError, r"^argument 'description': "),
    # The first failing argument, in the order name, ndim, latex, description.
    (lambda: tx.Placeholder("a", ndim=-1, latex=1), OverflowError, r"^argument 'ndim': "),
    (lambda: tx.Placeholder("a", 1), TypeError, r"takes at most 1 positional argument"),
    (lambda: tx.Placeholder(ndim=1), TypeError, r"'name'"),
    (lambda: tx.Placeholder("\udcff"), UnicodeEncodeError, "^'utf-8' codec can't encode"),  # the encoding error kept
    # the shape of an absurd number of axes is refused, not built
    (lambda: tx.Placeholder("a", ndim=10**12).shape, ValueError, "cannot list the lengths of 1000000000000 axes"),
])
def test_argument_errors(build, exc, match):
    with pytest.raises(exc, match=match) as info:
        build()
    assert type(info.value) is exc
