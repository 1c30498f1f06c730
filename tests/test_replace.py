import pytest

import tarvex as tx
from conftest import raises

a, b, c, N = (tx.Placeholder(s) for s in ("a", "b", "c", "N"))
A = tx.Placeholder("A", ndim=2)
x, y = tx.BinaryVar("x"), tx.BinaryVar("y")
X2 = tx.BinaryVar("X", shape=(N, N))
i = tx.Element("i", belong_to=N)
j = tx.Element("j", belong_to=N)


def keep(node):
    return node


def same(node, other):
    """Structural equality that is False, not an error, for objects of different classes."""
    if isinstance(other, (int, float)):
        other = tx.NumberLit(other)
    return type(node) is type(other) and tx.is_same(node, other)


def swap(old, new):
    """A replacer that maps the nodes structurally equal to `old` to `new`."""
    return lambda node: new if same(node, old) else node


def subscripts_to_x(node):
    if isinstance(node, tx.Subscript) and isinstance(node.variable, tx.Placeholder):
        return XV[node.subscripts]
    return node


XV = tx.BinaryVar("x", shape=(N, N))
B2 = tx.Placeholder("B", ndim=2)
ELT = tx.Element("elt", belong_to=tx.Placeholder("E", ndim=2))


@pytest.mark.parametrize("expr, replacer, expected", [
    (a, lambda n: x if isinstance(n, tx.Placeholder) else n, x),  # a leaf
    (tx.Placeholder("ph", ndim=2)[123, 456] + ELT[123], subscripts_to_x, XV[123, 456] + ELT[123]),
    # children are replaced, but not a reduction's index or condition
    (tx.sum([(i, i != a)], X2[i, i] * a), swap(a, b), tx.sum([(i, i != a)], X2[i, i] * b)),
    (A[i, j] + A.len_at(1), swap(A, B2), B2[i, j] + B2.len_at(1)),
    (2, swap(2, a), a),  # a number is converted before the walk
    # the identity replacer gives the same expression
    *[(e, keep, e) for e in (
        tx.abs(a) * tx.floor(c) - tx.log2(b) / tx.log10(c) + (a % b) ** c + tx.max(c, N),
        tx.sum([(i, i != 0), j], X2[i, j] * A[i, j]) + tx.prod(i, A.len_at(0) * a),
        X2[:, 1].sum())],
])
def test_replace_results(expr, replacer, expected):
    assert tx.is_same(tx.replace(expr=expr, replacer=replacer), expected)


def test_walk_is_top_down_and_changed_nodes_are_not_opened():
    seen = []

    def replacer(node):
        seen.append(type(node).__name__ + ":" + str(node))
        return c if same(node, a * b) else node

    reduction = tx.sum(i, X2[i, j] * a)
    expr = a * b + reduction
    assert tx.is_same(tx.replace(expr, replacer), c + reduction)
    # The product a * b is replaced whole. The reduction offers its operand only: neither
    # its index nor its condition.
    assert seen == ["AddOp:" + str(expr), "MulOp:a * b", "SumOp:" + str(reduction), "MulOp:" + str(X2[i, j] * a),
                    "Subscript:X[i, j]", "BinaryVar:X", "Element:i", "Element:j", "Placeholder:a"]


def test_leaves_are_taken_without_comparison():
    # A leaf becomes whatever the replacer returns, even a structurally equal copy with
    # other decorations; its set is not visited.
    seen = []

    def replacer(node):
        seen.append(str(node))
        return tx.Placeholder("a", latex="L") if isinstance(node, tx.Placeholder) else node

    result = tx.replace(a + i, replacer)
    assert seen == ["a + i", "a", "i"] and "L" in result.terms[0]._repr_latex_()


def test_rebuilt_nodes_are_not_folded_and_only_unchanged_ones_keep_custom_latex():
    result = tx.replace(a + 1, swap(a, 2))
    assert type(result) is tx.AddOp and [repr(t) for t in result.terms] == ["NumberLit(value=2)", "NumberLit(value=1)"]
    assert str(tx.replace(2 * a, swap(a, 3))) == "2 * 3"
    expr = a * b + c
    expr.set_latex("S")
    assert tx.replace(expr, keep)._repr_latex_() == expr._repr_latex_()
    assert "S" not in tx.replace(expr, swap(c, N))._repr_latex_()


@pytest.mark.parametrize("expr, replacer, exc, message", [
    (tx.abs(a), lambda n: x if isinstance(n, tx.Placeholder) else n,
     tx.ModelingError, "the operand of the unary op contains a decision variable"),
    (b ** a, swap(a, x), tx.ModelingError, "the exponent contains a decision variable"),
    (a % b, swap(b, 0), ZeroDivisionError, "modulo by zero"),
    (A[a, b], swap(a, x), tx.ModelingError, "a subscript contains a decision variable"),
    (A.len_at(1), swap(A, tx.Placeholder("A", ndim=1)), tx.ModelingError,
     "axis 1 is out of bounds for the axis of the array A"),
    (tx.sum(i, a), swap(a, A), tx.ModelingError,
     "the dimensionality of the Placeholder { name: A } must be zero, but is actually 2"),
    (a + 1, swap(a, "a"), TypeError, "failed to convert into expression."),
    (a * b + 1, lambda n: None if isinstance(n, tx.MulOp) else n,
     TypeError, "failed to convert into expression."),
    (a, 5, TypeError, "argument 'replacer': replacer must be callable"),
    (a == 1, keep, TypeError, "argument 'expr': failed to convert into expression."),
])
def test_replace_errors(expr, replacer, exc, message):
    with raises(exc, message):
        tx.replace(expr, replacer)


class Refused(Exception):
    pass


@pytest.mark.parametrize("failing", [tx.AddOp, tx.MulOp, tx.SumOp, tx.Subscript, tx.Placeholder, tx.NumberLit])
def test_replacer_exceptions_propagate_from_every_node(failing):
    calls_after, raised = [], []

    def replacer(node):
        if raised:
            calls_after.append(node)
        if type(node) is failing:
            raised.append(Refused(type(node).__name__))
            raise raised[-1]
        return node

    with pytest.raises(Refused) as info:
        tx.replace(a * 2 + tx.sum(i, A[i, i]), replacer)
    assert info.value is raised[0] and calls_after == []


@pytest.mark.parametrize("src, dst, same", [
    (tx.Placeholder("a", latex="p"), tx.Placeholder("a", latex="q", description="d"), True),
    (tx.Placeholder("a"), tx.Placeholder("a", ndim=2), False),
    (x + 1, 1 + x, True), (x + y, y + x, False), (tx.NumberLit(1), tx.NumberLit(1.0), False),
    (tx.IntegerVar("v", lower_bound=0, upper_bound=3), tx.IntegerVar("v", lower_bound=0, upper_bound=4), False),
    (tx.Element("i", belong_to=N, latex="I"), tx.Element("i", belong_to=(0, N)), True),
    (tx.sum([(i, i != 0)], X2[i, i]), tx.sum(i, X2[i, i]), False),
    (i.belong_to, tx.Element("k", belong_to=a).belong_to, False), (X2[:, 0], X2[:, 1], False),
    (tx.Constraint("c", x <= 1), tx.Constraint("c", 1 >= x), True),
    (tx.Constraint("c", X2[i, j] <= 1, forall=[i, j]),
     tx.Constraint("c", X2[i, j] <= 1, forall=[j, i]), False),
    (tx.CustomPenaltyTerm("p", X2[i, i], forall=i), tx.CustomPenaltyTerm("q", X2[i, i], forall=[i]), False),
])
def test_is_same(src, dst, same):
    assert tx.is_same(src, dst) is same
    assert tx.is_same(dst, src) is same


@pytest.mark.parametrize("src, dst", [(tx.Placeholder("a"), tx.BinaryVar("a")), (tx.Placeholder("a"), "a"),
                                      (x == 1, x != 1), (tx.Problem("p"), tx.Problem("p"))])
def test_is_same_refuses_different_or_unsupported_types(src, dst):
    src_name, dst_name = type(src).__name__, type(dst).__name__
    with raises(TypeError, f"the type of src (= {src_name}) is different from the type of dst (= {dst_name}), "
                           "or one of them is unsupported type"):
        tx.is_same(src, dst)
