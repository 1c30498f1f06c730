import math
from decimal import Decimal

import pytest
from hypothesis import example, given
from hypothesis import strategies as st

import tarvex as tx


def shortest_positional(d):
    """Shortest round-trip digits of a finite double, written without exponent."""
    return format(Decimal(repr(d)).normalize(), "f")


@pytest.mark.parametrize(
    "value, text",
    [
        (0, "0"),
        (7, "7"),
        (-5, "-5"),
        (2**63 - 1, "9223372036854775807"),
        (-(2**63), "-9223372036854775808"),
        (2.0, "2"),
        (-3.0, "-3"),
        (0.0, "0"),
        (-0.0, "-0"),
        (0.5, "0.5"),
        (-0.25, "-0.25"),
        (0.1, "0.1"),
        (123.456, "123.456"),
        (1 / 3, "0.3333333333333333"),
        (1e-7, "0.0000001"),
        (1.5e-5, "0.000015"),
        (1e16, "10000000000000000"),
        (1e21, "1000000000000000000000"),
        (5e-324, "0." + "0" * 323 + "5"),
        (2.2250738585072014e-308, "0." + "0" * 307 + "22250738585072014"),
        (math.inf, "inf"),
        (-math.inf, "-inf"),
        (math.nan, "NaN"),
        (-math.nan, "NaN"),
    ],
)
def test_number_text(value, text):
    lit = tx.NumberLit(value)
    assert str(lit) == text
    assert repr(lit) == f"NumberLit(value={text})"


@pytest.mark.parametrize(
    "value, text",
    [
        # Shortest digits padded with zeros, not the exact binary value.
        (2**70, "1180591620717411300000"),
        (1e23, "1" + "0" * 23),
        (1.7976931348623157e308, "17976931348623157" + "0" * 292),
    ],
)
def test_large_float_text_uses_shortest_digits(value, text):
    assert str(tx.NumberLit(value)) == text


def test_special_values_are_kept():
    assert math.copysign(1.0, tx.NumberLit(-0.0).value) == -1.0
    assert math.isnan(tx.NumberLit(math.nan).value)
    assert tx.NumberLit(-math.inf).value == -math.inf


@given(st.floats(allow_nan=False, allow_infinity=False))
@example(5e-324)
@example(-1.7976931348623157e308)
def test_float_text_round_trips(d):
    text = str(tx.NumberLit(d))
    assert "e" not in text.lower()
    assert float(text) == d and math.copysign(1.0, float(text)) == math.copysign(1.0, d)
    assert text == shortest_positional(d)


@given(st.integers(min_value=-(2**63), max_value=2**63 - 1))
def test_integer_text(i):
    lit = tx.NumberLit(i)
    assert (str(lit), repr(lit)) == (str(i), f"NumberLit(value={i})")
