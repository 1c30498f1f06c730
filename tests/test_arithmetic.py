import operator

import pytest
from hypothesis import given
from hypothesis import strategies as st

import tarvex as tx
from conftest import DV_KINDS, UNARY, arithmetic_operands, custom, raises

a, b, c, d, n, m = (tx.Placeholder(s) for s in "abcdnm")
x, y = tx.BinaryVar("x"), tx.BinaryVar("y")
z = tx.BinaryVar("z", shape=[3])
A = tx.Placeholder("A", ndim=2)
MODELING = tx.ModelingError


def children(e):
    """The text of the direct children of an operator node, in order."""
    if isinstance(e, (tx.AddOp, tx.MulOp, tx.MinOp, tx.MaxOp)):
        return [str(t) for t in e.terms]
    if isinstance(e, tx.PowOp):
        return [str(e.base), str(e.exponent)]
    if isinstance(e, tx.ModOp):
        return [str(e.left), str(e.right)]
    return [str(e.operand)]


@pytest.mark.parametrize("build, expected", [
    (lambda: tx.NumberLit(2) + tx.NumberLit(-7), -5), (lambda: 2.5 + tx.NumberLit(2), 4.5),
    (lambda: tx.NumberLit(2**62) + 2**62, 9.223372036854776e18),  # overflow gives a float
    (lambda: 5 - tx.NumberLit(7.5), -2.5), (lambda: tx.NumberLit(0.0) - 0.0, 0),  # two zeros give the integer 0
    (lambda: tx.NumberLit(0.0) - 5, -5), (lambda: tx.NumberLit(5) - 0.0, 5), (lambda: tx.NumberLit(0) * 2.5, 0.0),
    (lambda: x * 0, 0), (lambda: a * -0.0, 0),  # a product with zero is the integer zero
    (lambda: -tx.NumberLit(-(2**63)), float(2**63)), (lambda: -tx.NumberLit(1.5), -1.5),
    (lambda: -tx.NumberLit(0.0), -0.0),  # the sign of a float zero is kept
])
def test_literal_folding(build, expected):
    result = build()
    assert type(result) is tx.NumberLit
    assert type(result.value) is type(expected) and repr(result.value) == repr(expected)


INTS = st.one_of(st.integers(-1000, 1000), st.integers(-(2**63), 2**63 - 1))


@given(INTS, INTS, st.sampled_from([operator.add, operator.sub, operator.mul, lambda p, q: -p]))
def test_integer_folding_property(p, q, op):
    """Integers stay integers while the exact result fits in 64 bits, and become floats beyond."""
    value = op(tx.NumberLit(p), q).value
    exact = op(p, q)
    if -(2**63) <= exact < 2**63:
        assert type(value) is int and value == exact
    else:
        assert type(value) is float and value == op(float(p), float(q))


@pytest.mark.parametrize("build, cls, text, kids", [
    # identities of + and -
    (lambda: 0 + a, tx.Placeholder, "a", None), (lambda: a + -0.0, tx.Placeholder, "a", None),
    (lambda: x - 0, tx.BinaryVar, "x", None), (lambda: 0 - a, tx.MulOp, "- a", ["-1", "a"]),
    # sums
    (lambda: 2 + a, tx.AddOp, "a + 2", ["a", "2"]), (lambda: a + (b + c), tx.AddOp, "b + c + a", ["b", "c", "a"]),
    (lambda: (a + 1) + b, tx.AddOp, "a + b + 1", ["a", "b", "1"]),
    (lambda: 1 + (a + b), tx.AddOp, "a + b + 1", ["a", "b", "1"]),
    (lambda: (a + 1) + -1, tx.Placeholder, "a", None),
    (lambda: (a + 1) + (b + 2), tx.AddOp, "a + b + 3", ["a", "b", "3"]),
    (lambda: (a + 1) + (b - 1), tx.AddOp, "a + b", ["a", "b"]),
    (lambda: (a + 2**62) + 2**62, tx.AddOp, "a + 9223372036854776000", None),  # a float constant
    (lambda: a + 2**70, tx.AddOp, "a + 1180591620717411300000", None),
    (lambda: a + tx.NumberLit(-float("nan")), tx.AddOp, "a + NaN", ["a", "NaN"]),  # no sign, no minus
    # products
    (lambda: 1.0 * x, tx.BinaryVar, "x", None), (lambda: a * 3, tx.MulOp, "3 * a", ["3", "a"]),
    (lambda: a * (b * c), tx.MulOp, "b * c * a", ["b", "c", "a"]),
    (lambda: a * b * 2, tx.MulOp, "2 * a * b", ["2", "a", "b"]),
    (lambda: 2 * (a * 3), tx.MulOp, "6 * a", ["6", "a"]), (lambda: (a * 2) * 0.5, tx.MulOp, "1 * a", ["1", "a"]),
    (lambda: (a * b) * (3 * c), tx.MulOp, "3 * a * b * c", ["3", "a", "b", "c"]),
    (lambda: (2 * a) * (3 * b), tx.MulOp, "6 * a * b", ["6", "a", "b"]),
    (lambda: (2 * a) * (b * c), tx.MulOp, "2 * a * b * c", ["2", "a", "b", "c"]),
    (lambda: (a * b) * (c * d), tx.MulOp, "a * b * c * d", ["a", "b", "c", "d"]),
    # negation
    (lambda: -x, tx.MulOp, "- x", ["-1", "x"]), (lambda: -(2 * a), tx.MulOp, "-2 * a", ["-2", "a"]),
    (lambda: -(-a), tx.MulOp, "1 * a", ["1", "a"]), (lambda: -(a * b), tx.MulOp, "- a * b", ["-1", "a", "b"]),
    # powers, and the merging of powers of equal bases; a negative base is parenthesized
    (lambda: tx.NumberLit(2) ** 3, tx.PowOp, "2 ** 3", ["2", "3"]), (lambda: a**-2, tx.PowOp, "a ** -2", ["a", "-2"]),
    (lambda: x**0.5, tx.PowOp, "x ** 0.5", ["x", "0.5"]),
    (lambda: tx.NumberLit(-2) ** n, tx.PowOp, "(-2) ** n", ["-2", "n"]),
    (lambda: tx.NumberLit(-2.5) ** n + 1, tx.AddOp, "(-2.5) ** n + 1", ["(-2.5) ** n", "1"]),
    (lambda: pow(a, 2, 3), tx.ModOp, "a ** 2 % 3", ["a ** 2", "3"]),
    (lambda: x**2 * x**3, tx.PowOp, "x ** 5", ["x", "5"]), (lambda: a**2 / a, tx.PowOp, "a ** 1", ["a", "1"]),
    (lambda: a**n * a**m, tx.PowOp, "a ** (n + m)", ["a", "n + m"]),
    (lambda: x**2 * x, tx.MulOp, "x ** 2 * x", ["x ** 2", "x"]),
    (lambda: x**2 * y**3, tx.MulOp, "x ** 2 * y ** 3", ["x ** 2", "y ** 3"]),
    (lambda: (2 * x**2) * x**3, tx.MulOp, "2 * x ** 2 * x ** 3", ["2", "x ** 2", "x ** 3"]),
    (lambda: tx.Placeholder("a", description="d") ** 2 * a**3, tx.MulOp, "a ** 2 * a ** 3", None),
    # division and remainder are not folded
    (lambda: a / 2, tx.MulOp, "a * 2 ** -1", ["a", "2 ** -1"]),
    (lambda: a / 1, tx.MulOp, "a * 1 ** -1", ["a", "1 ** -1"]),
    (lambda: tx.NumberLit(1) / 2, tx.PowOp, "2 ** -1", ["2", "-1"]),
    (lambda: tx.NumberLit(3) / 2, tx.MulOp, "3 * 2 ** -1", ["3", "2 ** -1"]),
    (lambda: tx.NumberLit(0) / a, tx.NumberLit, "0", None),
    (lambda: tx.NumberLit(7) % 2, tx.ModOp, "7 % 2", ["7", "2"]),
    # unary functions, minimum and maximum: no folding, no flattening
    (lambda: tx.abs(tx.abs(a)), tx.AbsOp, "||a||", ["|a|"]), (lambda: tx.min(), tx.MinOp, "min()", []),
    (lambda: tx.max(tx.max(a, b), c), tx.MaxOp, "max(max(a, b), c)", ["max(a, b)", "c"]),
])
def test_tree_shape(build, cls, text, kids):
    e = build()
    assert type(e) is cls and str(e) == text
    if kids is not None:
        assert children(e) == kids


def test_repr_of_built_trees():
    assert repr(x - 1) == "BinaryVar(name='x', shape=[]) + NumberLit(value=-1)"
    assert repr(a - 2 * b) == (
        "Placeholder(name='a', ndim=0) + NumberLit(value=-2) * Placeholder(name='b', ndim=0)")
    assert repr(-x) == "- BinaryVar(name='x', shape=[])"


@pytest.mark.parametrize("func, cls, text", UNARY)
def test_unary_functions(func, cls, text):
    e = func(a)
    assert type(e) is cls and str(e) == text and repr(e.operand) == repr(a)
    for arg, value in [(True, 1), (1.5, 1.5)]:
        operand = func(arg).operand
        assert type(operand) is tx.NumberLit and type(operand.value) is type(value) and operand.value == value


S = lambda: custom(a + b, "S")  # noqa: E731
M = lambda: custom(a * b, "M")  # noqa: E731


@pytest.mark.parametrize("build, cls, kids", [
    (lambda: S() + c, tx.AddOp, ["a + b", "c"]), (lambda: 1 + S(), tx.AddOp, ["a + b", "1"]),
    (lambda: S() + 0, tx.AddOp, ["a", "b"]), (lambda: (c + 1) + S(), tx.AddOp, ["c", "a + b", "1"]),
    (lambda: S() + (c + d), tx.AddOp, ["c", "d", "a + b"]), (lambda: M() * 2, tx.MulOp, ["2", "a * b"]),
    (lambda: (2 * c) * M(), tx.MulOp, ["2", "c", "a * b"]), (lambda: M() * (c * d), tx.MulOp, ["c", "d", "a * b"]),
    (lambda: custom(a**2, "P") * a**3, tx.MulOp, ["a ** 2", "a ** 3"]),
])
def test_custom_latex_is_not_flattened(build, cls, kids):
    e = build()
    assert type(e) is cls and children(e) == kids


def test_latex_decides_merging_when_the_operands_are_built():
    s = a + b
    t = s + c
    s.set_latex("S")
    assert children(t) == ["a", "b", "c"]
    al = tx.Placeholder("a", latex="A")  # equal custom LaTeX on both bases: merged
    e = al**2 * al**3
    assert type(e) is tx.PowOp and repr(e.base) == "Placeholder(name='a', ndim=0, latex='A')"


POSITIVE = "a decision variable can be raised to only a positive power"
EXPONENT = "the exponent contains a decision variable"
MODULO = "the modulo op contains a decision variable"
UNARY_MSG = "the operand of the unary op contains a decision variable"
NEGATIVE_POWER = "zero cannot be raised to a negative power"


@pytest.mark.parametrize("build, exc, message", [
    (lambda: a / 0, ZeroDivisionError, "division by zero"), (lambda: x / -0.0, ZeroDivisionError, "division by zero"),
    (lambda: a % 0, ZeroDivisionError, "modulo by zero"), (lambda: pow(a, 2, 0), ZeroDivisionError, "modulo by zero"),
    (lambda: tx.NumberLit(0) ** -1, ZeroDivisionError, NEGATIVE_POWER),
    (lambda: tx.NumberLit(0) ** -0.0, ZeroDivisionError, NEGATIVE_POWER),
    (lambda: 2**x, MODELING, EXPONENT), (lambda: tx.NumberLit(0) ** x, MODELING, EXPONENT),
    (lambda: x**y, MODELING, EXPONENT),
    (lambda: x**0, MODELING, POSITIVE), (lambda: x**-1, MODELING, POSITIVE), (lambda: x**-0.0, MODELING, POSITIVE),
    (lambda: x**n, MODELING, POSITIVE), (lambda: a / x, MODELING, POSITIVE), (lambda: a / (x + 1), MODELING, POSITIVE),
    (lambda: a % x, MODELING, MODULO), (lambda: (x + 1) % 0, MODELING, MODULO),
    (lambda: pow(x, 2, 3), MODELING, MODULO),
    (lambda: tx.abs(x), MODELING, UNARY_MSG), (lambda: tx.ceil(z[0]), MODELING, UNARY_MSG),
    (lambda: tx.log2(z[:].sum()), MODELING, UNARY_MSG),
    (lambda: tx.min(x), MODELING, "the 0-th term contains a decision variable"),
    (lambda: tx.max(a, x), MODELING, "the 1-th term contains a decision variable"),
    (lambda: tx.max(a, 1, x + 1, y), MODELING, "the 2-th term contains a decision variable"),
    # dividing by a variable: the messages of every kind are in test_messages_per_kind
    (lambda: 2 / x, MODELING, 'Cannot use a BinaryVar named "x" as a divisor (dividend = 2).'),
])
def test_operation_errors(build, exc, message):
    with raises(exc, message):
        build()


@pytest.mark.parametrize("cls, word, bounds", DV_KINDS)
def test_messages_per_kind(cls, word, bounds):
    v = cls("v", **bounds)
    with raises(MODELING, f'Cannot divide a {word}Var named "v" by a decision variable or an expression '
                "containing a decision variable (right = 2 * y)."):
        v / (y * 2)
    with raises(MODELING, f'Cannot use a {word}Var named "v" as a divisor (dividend = a + 1).'):
        v.__rtruediv__(a + 1)
    with pytest.raises(MODELING, match=f"^{MODULO}$"):
        v % n  # the reflected remainder of the placeholder
    for bad in (lambda: v % 2, lambda: 2 % v):
        with pytest.raises(TypeError, match="unsupported operand"):
            bad()
    with raises(MODELING, f"the dimensionality of the {word}Var {{ name: y }} must be zero, but is actually 1"):
        a + cls("y", shape=[3], **bounds)


@pytest.mark.parametrize("build, exc, message", [
    (lambda: a + "a", TypeError, None), (lambda: 10**400 * a, TypeError, None),
    (lambda: a + tx.Element("i", 3).belong_to, TypeError, None),
    (lambda: -A, MODELING,
     "the dimensionality of the Placeholder { name: A } must be zero, but is actually 2"),
    (lambda: a * tx.Element("e", A), MODELING,
     "the dimensionality of the Element { name: e } must be zero, but is actually 1"),
    (lambda: tx.max(a, A[b]), MODELING,
     "the dimensionality of the subscripted variable `A[b]` must be zero, but actually 1"),
    (lambda: a + z[:], MODELING,
     "dummy indexed BinaryVar with name 'z' must be called the `sum` or `prod` method to be "
     "converted into an expression."),
])
def test_operand_conversion_errors(build, exc, message):
    with pytest.raises(exc) as info:
        build()
    if message is None:
        assert str(info.value).endswith("failed to convert into expression.")
    else:
        assert type(info.value) is exc and str(info.value) == message


@pytest.mark.parametrize("obj, has_var", arithmetic_operands(), ids=lambda o: type(o).__name__)
def test_every_expression_class_supports_arithmetic(obj, has_var):
    assert type(obj + c) is tx.AddOp and type(c - obj) is tx.AddOp
    assert type(obj * c) is tx.MulOp and type(obj / c) is tx.MulOp
    assert type(obj**2) is tx.PowOp and type(2 * obj) in (tx.MulOp, tx.NumberLit)
    assert type(-obj) is (tx.NumberLit if type(obj) is tx.NumberLit else tx.MulOp)
    if not has_var:
        assert type(obj % c) is tx.ModOp and type(c % obj) is tx.ModOp


@pytest.mark.parametrize("op", [lambda s, t: s + t, lambda s, t: t + s, lambda s, t: s * t, lambda s, t: -s,
                                lambda s, t: s**2 * s**3])
@pytest.mark.parametrize("s, t", [(a + b + 4, c + d + 2), (2 * a * b, 3 * c * d)], ids=["sums", "products"])
def test_operations_do_not_change_operands(op, s, t):
    before = repr(s), repr(t)
    op(s, t)
    assert (repr(s), repr(t)) == before


@pytest.mark.parametrize("op", [lambda s: s / 0, lambda s: (s + x) ** 0, lambda s: tx.max(s, x)])
def test_failed_operations_change_nothing(op):
    s = a + b + 1
    before = repr(s), repr(x)
    with pytest.raises((ZeroDivisionError, MODELING)):
        op(s)
    assert (repr(s), repr(x)) == before


NAMES = {s: tx.Placeholder(s) for s in "pqr"}
SUMMAND = st.one_of(
    st.sampled_from(sorted(NAMES)),
    st.integers(-4, 4),
    st.tuples(st.sampled_from(sorted(NAMES)), st.sampled_from(sorted(NAMES)), st.integers(-3, 3)),
)


@given(st.lists(st.tuples(st.booleans(), SUMMAND), max_size=8))
def test_sum_terms_property(items):
    e = tx.NumberLit(0)
    terms, constant = [], 0  # the expected non-literal terms and constant
    sub_sums = []
    for negative, item in items:
        if isinstance(item, int):
            e = e - item if negative else e + item
            constant += -item if negative else item
            continue
        if isinstance(item, str):
            operand, text = NAMES[item], item
        else:
            operand = NAMES[item[0]] + NAMES[item[1]] + item[2]
            sub_sums.append((operand, repr(operand)))
            text = "(" + str(operand) + ")"
        if negative:
            e = e - operand
            terms.append("- " + text)
        elif isinstance(item, str):
            e = e + operand
            terms.append(text)
        else:
            e = e + operand
            inner = [str(t) for t in operand.terms if type(t) is not tx.NumberLit]
            single = len(terms) == 1 and constant == 0
            terms = inner + terms if single else terms + inner
            constant += item[2]
    assert all(repr(s) == r for s, r in sub_sums)
    if not terms:
        assert type(e) is tx.NumberLit and type(e.value) is int and e.value == constant
    elif len(terms) == 1 and constant == 0:
        assert type(e) is not tx.AddOp and str(e) == terms[0]
    else:
        assert type(e) is tx.AddOp
        literals = [i for i, t in enumerate(e.terms) if type(t) is tx.NumberLit]
        assert [str(t) for t in e.terms if type(t) is not tx.NumberLit] == terms
        if constant == 0:
            assert literals == []
        else:
            assert literals == [len(e.terms) - 1]
            assert type(e.terms[-1].value) is int and e.terms[-1].value == constant
