import operator

import pytest

import tarvex as tx

N = tx.Placeholder("N")
a = tx.Placeholder("a")
v = tx.Placeholder("v", ndim=1)
i = tx.Element("i", belong_to=N)
x, y = tx.BinaryVar("x"), tx.BinaryVar("y")
z = tx.BinaryVar("z", shape=[3])
BOUNDS = {"lower_bound": 0, "upper_bound": 5}

# one builder per arithmetic class that takes part in comparisons
OPERANDS = {
    "NumberLit": lambda: tx.NumberLit(2),
    "Placeholder": lambda: a,
    "Element": lambda: i,
    "Subscript": lambda: v[i],
    "ArrayLength": lambda: v.len_at(0),
    "BinaryVar": lambda: x,
    "IntegerVar": lambda: tx.IntegerVar("w", **BOUNDS),
    "ContinuousVar": lambda: tx.ContinuousVar("w", **BOUNDS),
    "SemiIntegerVar": lambda: tx.SemiIntegerVar("w", **BOUNDS),
    "SemiContinuousVar": lambda: tx.SemiContinuousVar("w", **BOUNDS),
    "AddOp": lambda: x + y,
    "MulOp": lambda: x * y,
    "MinOp": lambda: tx.min(a, N),
    "MaxOp": lambda: tx.max(a, N),
    "PowOp": lambda: x**2,
    "ModOp": lambda: a % 3,
    "AbsOp": lambda: tx.abs(a),
    "CeilOp": lambda: tx.ceil(a),
    "FloorOp": lambda: tx.floor(a),
    "LnOp": lambda: tx.ln(a),
    "Log2Op": lambda: tx.log2(a),
    "Log10Op": lambda: tx.log10(a),
    "SumOp": lambda: tx.sum(i, v[i]),
    "ProdOp": lambda: tx.prod(i, v[i]),
}
COMPARISONS = [
    (operator.eq, tx.EqualOp, "=="),
    (operator.ne, tx.NotEqualOp, "!="),
    (operator.lt, tx.LessThanOp, "<"),
    (operator.le, tx.LessThanEqualOp, "<="),
    (operator.gt, tx.GreaterThanOp, ">"),
    (operator.ge, tx.GreaterThanEqualOp, ">="),
]
LOGICAL = [
    (operator.and_, tx.AndOp, "and", "&"),
    (operator.or_, tx.OrOp, "or", "|"),
    (operator.xor, tx.XorOp, "xor", "^"),
]
# one builder per condition class
CONDITIONS = [lambda op=op: op(x, 1) for op, _, _ in COMPARISONS] + [
    lambda op=op: op(x <= 1, y >= 0) for op, _, _, _ in LOGICAL
]


@pytest.mark.parametrize("name", OPERANDS)
@pytest.mark.parametrize("op, cls, sym", COMPARISONS)
def test_comparison_builds_condition(name, op, cls, sym):
    left = OPERANDS[name]()
    cond = op(left, 1)  # never folded, never a bool, even for two literals
    assert type(cond) is cls
    assert type(cond.left).__name__ == name and repr(cond.left) == repr(left)
    assert type(cond.right) is tx.NumberLit and cond.right.value == 1
    assert str(cond) == f"{left} {sym} 1"
    assert repr(cond) == f"{left!r} {sym} NumberLit(value=1)"


@pytest.mark.parametrize(
    "op, cls, sym",
    [
        (operator.eq, tx.EqualOp, "=="),
        (operator.ne, tx.NotEqualOp, "!="),
        (operator.lt, tx.GreaterThanOp, ">"),
        (operator.le, tx.GreaterThanEqualOp, ">="),
        (operator.gt, tx.LessThanOp, "<"),
        (operator.ge, tx.LessThanEqualOp, "<="),
    ],
)
@pytest.mark.parametrize("number, text", [(1, "1"), (2.5, "2.5"), (True, "1")])
def test_number_on_the_left_is_reflected(op, cls, sym, number, text):
    cond = op(number, x)
    assert type(cond) is cls
    assert str(cond) == f"x {sym} {text}" and repr(cond.left) == repr(x)


@pytest.mark.parametrize(
    "build, text",
    [
        (lambda: x == y, "x == y"),
        (lambda: x + 1 <= 2 * y, "x + 1 <= 2 * y"),
        (lambda: tx.sum(i, v[i]) >= x, "sum(i in [0..N), v[i]) >= x"),
        (lambda: a != 2.5, "a != 2.5"),
        (lambda: x**2 < a % 2, "x ** 2 < a % 2"),
        (lambda: tx.NumberLit(1.0) > -x, "1 > - x"),
    ],
)
def test_comparison_is_not_folded_or_validated(build, text):
    assert str(build()) == text


@pytest.mark.parametrize(
    "build, exc, message",
    [
        (lambda: x == "a", TypeError, "failed to convert into expression."),
        (lambda: x <= None, TypeError, "failed to convert into expression."),
        (lambda: x < (y <= 1), TypeError, "failed to convert into expression."),
        (lambda: a >= i.belong_to, TypeError, "failed to convert into expression."),
        (lambda: x != z, tx.ModelingError,
         "the dimensionality of the BinaryVar { name: z } must be zero, but is actually 1"),
        (lambda: a == v, tx.ModelingError,
         "the dimensionality of the Placeholder { name: v } must be zero, but is actually 1"),
        (lambda: x > z[:], tx.ModelingError,
         "dummy indexed BinaryVar with name 'z' must be called the `sum` or `prod` method "
         "to be converted into an expression."),
    ],
)
def test_comparison_operand_conversion_errors(build, exc, message):
    with pytest.raises(exc) as info:
        build()
    assert str(info.value) == message


@pytest.mark.parametrize("build", CONDITIONS)
@pytest.mark.parametrize("op, cls, text_sym, repr_sym", LOGICAL)
def test_logical_operators_on_every_condition_class(build, op, cls, text_sym, repr_sym):
    first, second = build(), y == 0
    combined = op(first, second)
    assert type(combined) is cls
    terms = combined.terms
    assert len(terms) == 2 and type(terms[0]) is type(first) and type(terms[1]) is tx.EqualOp
    assert [repr(t) for t in terms] == [repr(first), repr(second)]
    assert str(combined) == f"{first} {text_sym} y == 0"
    assert repr(combined) == f"{first!r} {repr_sym} {second!r}"


@pytest.mark.parametrize("op, cls, text_sym, repr_sym", LOGICAL)
def test_logical_operators_do_not_flatten(op, cls, text_sym, repr_sym):
    inner = op(x <= 1, x >= 0)
    outer = op(inner, y == 1)
    assert type(outer) is cls and len(outer.terms) == 2
    assert type(outer.terms[0]) is cls and str(outer.terms[0]) == str(inner)
    mixed = (x <= 1) & (x >= 0) | (y == 1)
    assert type(mixed) is tx.OrOp and [type(t) for t in mixed.terms] == [tx.AndOp, tx.EqualOp]


def test_nested_logical_text_has_no_parentheses():
    cond = ((x <= 1) | (y >= 0)) & (x != y) ^ (y == 1)
    assert type(cond) is tx.XorOp and type(cond.terms[0]) is tx.AndOp
    assert str(cond) == "x <= 1 or y >= 0 and x != y xor y == 1"
    assert repr((x == 1) | (y == 0)) == (
        "BinaryVar(name='x', shape=[]) == NumberLit(value=1) | "
        "BinaryVar(name='y', shape=[]) == NumberLit(value=0)"
    )


@pytest.mark.parametrize("op", [operator.and_, operator.or_, operator.xor])
@pytest.mark.parametrize("other", [5, True, x, x + 1, "c", None])
def test_logical_operand_must_be_a_condition(op, other):
    with pytest.raises(TypeError) as info:
        op(x <= 1, other)
    assert str(info.value) == "failed to convert into a conditional expression."


@pytest.mark.parametrize("op, sym", [(operator.and_, "&"), (operator.or_, "|"), (operator.xor, "^")])
def test_foreign_left_operand_of_logical_operator(op, sym):
    with pytest.raises(TypeError) as info:
        op(5, x <= 1)
    assert str(info.value).startswith(f"unsupported operand type(s) for {sym}")


@pytest.mark.parametrize("build, attr", [(lambda: x <= 1, "left"), (lambda: x <= 1, "right"),
                                         (lambda: (x <= 1) & (y <= 1), "terms")])
def test_condition_attributes_are_read_only(build, attr):
    with pytest.raises(AttributeError):
        setattr(build(), attr, None)
