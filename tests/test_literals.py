import operator
from decimal import Decimal
from fractions import Fraction

import numpy as np
import pytest

import tarvex as tx

INTEGER, FLOAT = tx.DataType.INTEGER, tx.DataType.FLOAT


# ---------------------------------------------------------------- DataType


def test_data_type_members():
    assert repr(INTEGER) == "DataType.INTEGER"
    assert repr(FLOAT) == "DataType.FLOAT"
    assert INTEGER == INTEGER and FLOAT == FLOAT
    assert INTEGER != FLOAT and not INTEGER == FLOAT
    assert INTEGER == 1 and 1 == INTEGER and INTEGER != 0
    assert FLOAT == 0 and 0 == FLOAT and FLOAT != 1
    assert not FLOAT != 0


@pytest.mark.parametrize("op", [operator.lt, operator.le, operator.gt, operator.ge])
@pytest.mark.parametrize("other", [INTEGER, 1])
def test_data_type_refuses_ordering(op, other):
    with pytest.raises(TypeError):
        op(FLOAT, other)


# ---------------------------------------------------------------- NumberLit


class Index:
    def __init__(self, index, value=None):
        self.index, self.value = index, value

    def __index__(self):
        if isinstance(self.index, Exception):
            raise self.index
        return self.index

    def __float__(self):
        return self.value


@pytest.mark.parametrize(
    "arg, value, dtype",
    [
        (0, 0, INTEGER),
        (123, 123, INTEGER),
        (-(2**63), -(2**63), INTEGER),
        (2**63 - 1, 2**63 - 1, INTEGER),
        (True, 1, INTEGER),
        (False, 0, INTEGER),
        (2**63, float(2**63), FLOAT),
        (-(2**63) - 1, -float(2**63), FLOAT),
        (2**70, float(2**70), FLOAT),
        (1.23, 1.23, FLOAT),
        (3.0, 3.0, FLOAT),
        (np.int8(-5), -5, INTEGER),
        (np.int64(-(2**63)), -(2**63), INTEGER),
        (np.uint64(2**63 - 1), 2**63 - 1, INTEGER),
        (np.uint64(2**64 - 1), float(2**64 - 1), FLOAT),
        (np.float32(0.1), float(np.float32(0.1)), FLOAT),
        (np.float64(2.5), 2.5, FLOAT),
        (np.float64(4.0), 4.0, FLOAT),
        (Fraction(1, 4), 0.25, FLOAT),
        (Decimal("-2.5"), -2.5, FLOAT),
        (Index(7, 1.5), 7, INTEGER),
        (Index(2**70, 1.5), 1.5, FLOAT),
        (Index(ValueError("no index"), 1.5), 1.5, FLOAT),
    ],
)
def test_number_lit_conversion(arg, value, dtype):
    lit = tx.NumberLit(arg)
    assert type(lit.value) is type(value)
    assert lit.value == value
    assert lit.dtype == dtype
    assert lit.dtype == int(dtype == INTEGER)


@pytest.mark.parametrize("arg", ["1", None, [1], 1j, object(), 10**400, -(10**400)])
def test_number_lit_rejects(arg):
    with pytest.raises(TypeError, match=r"^argument 'value': ") as info:
        tx.NumberLit(arg)
    assert "Integer" in str(info.value) and "Float" in str(info.value)


@pytest.mark.parametrize(
    "args, kwargs", [((), {}), ((1, 2), {}), ((1,), {"value": 2}), ((), {"val": 1})]
)
def test_number_lit_binding_errors(args, kwargs):
    with pytest.raises(TypeError):
        tx.NumberLit(*args, **kwargs)


def test_number_lit_keyword_and_read_only():
    lit = tx.NumberLit(value=-5)
    assert (lit.value, str(lit), repr(lit)) == (-5, "-5", "NumberLit(value=-5)")
    assert not hasattr(lit, "set_latex")
    for attr in ("value", "dtype"):
        with pytest.raises(AttributeError):
            setattr(lit, attr, 1)


# ---------------------------------------------------------------- Placeholder


@pytest.mark.parametrize(
    "args, kwargs, expected",
    [
        (("a",), {}, "Placeholder(name='a', ndim=0)"),
        ((), {"name": "N", "ndim": 3}, "Placeholder(name='N', ndim=3)"),
        (("a",), {"latex": "A"}, "Placeholder(name='a', ndim=0, latex='A')"),
        (("a",), {"description": "d"}, "Placeholder(name='a', ndim=0, description='d')"),
        (
            ("a",),
            {"ndim": 2, "latex": "A", "description": "d"},
            "Placeholder(name='a', ndim=2, latex='A', description='d')",
        ),
        (
            ("a",),
            {"latex": "\\mathrm{a}", "description": "it's"},
            "Placeholder(name='a', ndim=0, latex='\\mathrm{a}', description='it's')",
        ),
        (("",), {"latex": "", "description": ""}, "Placeholder(name='', ndim=0, latex='', description='')"),
        (("α_1",), {"latex": None, "description": None}, "Placeholder(name='α_1', ndim=0)"),
    ],
)
def test_placeholder_attributes_and_text(args, kwargs, expected):
    p = tx.Placeholder(*args, **kwargs)
    name = kwargs.get("name", args[0] if args else None)
    assert p.name == name and str(p) == name
    assert type(p.ndim) is int and p.ndim == kwargs.get("ndim", 0)
    assert p.description == kwargs.get("description")
    assert repr(p) == expected


def test_placeholder_set_latex():
    p = tx.Placeholder("a", ndim=1, description="d")
    other = tx.Placeholder("a", ndim=1, description="d")
    assert p.set_latex("\\alpha") is None
    assert repr(p) == "Placeholder(name='a', ndim=1, latex='\\alpha', description='d')"
    assert repr(other) == "Placeholder(name='a', ndim=1, description='d')"
    assert str(p) == "a"
    p.set_latex(latex="B")
    assert repr(p) == "Placeholder(name='a', ndim=1, latex='B', description='d')"
    p.set_latex()
    assert repr(p) == "Placeholder(name='a', ndim=1, description='d')"
    p.set_latex("C")
    p.set_latex(None)
    assert repr(p) == "Placeholder(name='a', ndim=1, description='d')"


@pytest.mark.parametrize("latex", [1, b"x", ["x"]])
def test_placeholder_set_latex_rejects(latex):
    p = tx.Placeholder("a", latex="A")
    with pytest.raises(TypeError, match=r"^argument 'latex': "):
        p.set_latex(latex)
    assert repr(p) == "Placeholder(name='a', ndim=0, latex='A')"


def test_placeholder_read_only():
    p = tx.Placeholder("a")
    for attr in ("name", "ndim", "description"):
        with pytest.raises(AttributeError):
            setattr(p, attr, "b")


@pytest.mark.parametrize(
    "args, kwargs, exc, match",
    [
        ((1,), {}, TypeError, r"^argument 'name': "),
        ((None,), {}, TypeError, r"^argument 'name': "),
        ((b"a",), {}, TypeError, r"^argument 'name': "),
        (("a",), {"ndim": 1.5}, TypeError, r"^argument 'ndim': "),
        (("a",), {"ndim": "1"}, TypeError, r"^argument 'ndim': "),
        (("a",), {"ndim": -1}, OverflowError, r"^argument 'ndim': "),
        (("a",), {"latex": 1}, TypeError, r"^argument 'latex': "),
        (("a",), {"description": 1}, TypeError, r"^argument 'description': "),
        # The first failing argument, in the order name, ndim, latex, description.
        ((1,), {"ndim": -1, "latex": 1}, TypeError, r"^argument 'name': "),
        (("a",), {"ndim": -1, "latex": 1}, OverflowError, r"^argument 'ndim': "),
        (("a",), {"latex": 1, "description": 2}, TypeError, r"^argument 'latex': "),
        # Binding errors, in the interpreter's wording.
        (("a", 1), {}, TypeError, r"takes at most 1 positional argument"),
        ((), {}, TypeError, r"'name'"),
        ((), {"ndim": 1}, TypeError, r"'name'"),
        (("a",), {"nmdim": 1}, TypeError, r"'nmdim'"),
        (("a",), {"name": "b"}, TypeError, r"'name'"),
    ],
)
def test_placeholder_errors(args, kwargs, exc, match):
    with pytest.raises(exc, match=match):
        tx.Placeholder(*args, **kwargs)
