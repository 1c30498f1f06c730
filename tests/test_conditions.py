import operator

import pytest

import tarvex as tx
from conftest import arithmetic_operands, raises

x, y = tx.BinaryVar("x"), tx.BinaryVar("y")
z = tx.BinaryVar("z", shape=[3])
OPERANDS = [obj for obj, _ in arithmetic_operands()]  # one of each arithmetic class
COMPARISONS = [(operator.eq, tx.EqualOp, "=="), (operator.ne, tx.NotEqualOp, "!="), (operator.lt, tx.LessThanOp, "<"),
               (operator.le, tx.LessThanEqualOp, "<="), (operator.gt, tx.GreaterThanOp, ">"),
               (operator.ge, tx.GreaterThanEqualOp, ">=")]
LOGICAL = [(operator.and_, tx.AndOp, "and", "&"), (operator.or_, tx.OrOp, "or", "|"),
           (operator.xor, tx.XorOp, "xor", "^")]
# one builder per condition class
CONDITIONS = [lambda op=op: op(x, 1) for op, _, _ in COMPARISONS] + [
    lambda op=op: op(x <= 1, y >= 0) for op, _, _, _ in LOGICAL
]


def test_every_arithmetic_class_is_compared():
    assert len({type(obj) for obj in OPERANDS}) == len(OPERANDS) == 24


@pytest.mark.parametrize("left", OPERANDS, ids=lambda o: type(o).__name__)
@pytest.mark.parametrize("op, cls, sym", COMPARISONS)
def test_comparison_builds_condition(left, op, cls, sym):
    cond = op(left, 1)  # never folded, never a bool, even for two literals
    assert type(cond) is cls
    assert type(cond.left) is type(left) and repr(cond.left) == repr(left)
    assert type(cond.right) is tx.NumberLit and cond.right.value == 1
    assert str(cond) == f"{left} {sym} 1"
    assert repr(cond) == f"{left!r} {sym} NumberLit(value=1)"


@pytest.mark.parametrize("op, cls, sym", [
    (operator.eq, tx.EqualOp, "=="), (operator.ne, tx.NotEqualOp, "!="), (operator.lt, tx.GreaterThanOp, ">"),
    (operator.le, tx.GreaterThanEqualOp, ">="), (operator.gt, tx.LessThanOp, "<"),
    (operator.ge, tx.LessThanEqualOp, "<="),
])
def test_number_on_the_left_is_reflected(op, cls, sym):
    cond = op(2.5, x)
    assert type(cond) is cls
    assert str(cond) == f"x {sym} 2.5" and repr(cond.left) == repr(x)


@pytest.mark.parametrize("build, exc, message", [
    (lambda: x == "a", TypeError, "failed to convert into expression."),
    (lambda: x < (y <= 1), TypeError, "failed to convert into expression."),
    (lambda: x != z, tx.ModelingError,
     "the dimensionality of the BinaryVar { name: z } must be zero, but is actually 1"),
    # an operand of a logical operator must be a condition
    (lambda: (x <= 1) & 5, TypeError, "failed to convert into a conditional expression."),
    (lambda: (x <= 1) & (x + 1), TypeError, "failed to convert into a conditional expression."),
    (lambda: 5 | (x <= 1), TypeError, "unsupported operand type(s) for |: 'int' and 'LessThanEqualOp'"),
])
def test_operand_conversion_errors(build, exc, message):
    with raises(exc, message):
        build()


@pytest.mark.parametrize("build", CONDITIONS)
@pytest.mark.parametrize("op, cls, text_sym, repr_sym", LOGICAL)
def test_logical_operators_on_every_condition_class(build, op, cls, text_sym, repr_sym):
    first, second = build(), y == 0
    combined = op(first, second)
    assert type(combined) is cls
    assert [repr(t) for t in combined.terms] == [repr(first), repr(second)]
    assert str(combined) == f"{first} {text_sym} y == 0"
    assert repr(combined) == f"{first!r} {repr_sym} {second!r}"


def test_logical_operators_do_not_flatten_or_parenthesize():
    cond = ((x <= 1) | (y >= 0)) & (x != y) ^ (y == 1)
    assert type(cond) is tx.XorOp and len(cond.terms) == 2
    assert type(cond.terms[0]) is tx.AndOp and type(cond.terms[0].terms[0]) is tx.OrOp
    assert str(cond) == "x <= 1 or y >= 0 and x != y xor y == 1"
