import math
from decimal import Decimal

import pytest
from hypothesis import example, given
from hypothesis import strategies as st

import tarvex as tx


def shortest_positional(d):
    """Shortest round-trip digits of a finite double, written without exponent."""
    return format(Decimal(repr(d)).normalize(), "f")


@pytest.mark.parametrize("value, text", [
    (-5, "-5"), (2.0, "2"), (-0.0, "-0"), (0.5, "0.5"), (1e-7, "0.0000001"), (1e21, "1000000000000000000000"),
    (2**70, "1180591620717411300000"), (1e23, "1" + "0" * 23),  # large floats: the shortest digits
    (5e-324, "0." + "0" * 323 + "5"), (math.inf, "inf"), (-math.inf, "-inf"), (-math.nan, "NaN"),
])
def test_number_text(value, text):
    lit = tx.NumberLit(value)
    assert str(lit) == text
    assert repr(lit) == f"NumberLit(value={text})"


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
