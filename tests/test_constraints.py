import pytest

import tarvex as tx
from conftest import raises

N = tx.Placeholder("N")
a = tx.Placeholder("a")
v = tx.Placeholder("v", ndim=1)
i, j = tx.Element("i", belong_to=N), tx.Element("j", belong_to=N)
k = tx.Element("k", belong_to=(0, i))  # its set mentions i
x = tx.BinaryVar("x", shape=[N, N])
w = tx.BinaryVar("w", shape=[N])
y = tx.BinaryVar("y")
S = tx.ConstraintSense
BOUND = "Invalid forall -- Elements in forall list are already associated with operators in the expression: "
FREE = "\nExpression contained elements not used in the forall list or any operator: "
EXTRA = "\nForall list contained elements not in expression or already associated with operators: "
NOT_A_SENSE = ("Invalid constraint -- conditional must be a valid equality or non-strict "
               "inequality (==, >=, or <= only)")
NO_VAR = "expression does not contain a decision variable"
NO_VAR_TERM = "the custom penalty term does not contain a decision variable"


def both(expr, forall):
    """Builders of a constraint and of a penalty term over the same expression and forall."""
    return (lambda: tx.Constraint("c", expr == 1, forall=forall),
            lambda: tx.CustomPenaltyTerm("p", expr, forall=forall))


@pytest.mark.parametrize("build, sense, left, right", [
    (lambda: y == 1, S.EQUAL, "y", "1"), (lambda: y + a <= 2, S.LESS_THAN_EQUAL, "y + a", "2"),
    (lambda: y >= a, S.GREATER_THAN_EQUAL, "y", "a"), (lambda: 1 >= y, S.LESS_THAN_EQUAL, "y", "1"),
])
def test_constraint_sides_and_sense(build, sense, left, right):
    cond = build()
    c = tx.Constraint("c", cond)
    assert c.name == "c" and c.sense == sense and c.forall == []
    assert (str(c.left), str(c.right)) == (left, right)
    assert (repr(c.left), repr(c.right)) == (repr(cond.left), repr(cond.right))
    assert type(c.expression) is type(cond) and repr(c.expression) == repr(cond)
    assert c.is_equality() is (sense == S.EQUAL)
    assert c.is_inequality() is (sense != S.EQUAL)
    for attr in ("name", "sense", "left", "right", "forall", "expression"):
        with pytest.raises(AttributeError):
            setattr(c, attr, None)


@pytest.mark.parametrize("expr, forall, shape", [
    (y, None, []), (w[i], i, ["i"]), (w[i], (i,), ["i"]), (w[i], (i, i != 2), [("i", "i != 2")]),
    (w[k], [k, i], ["k", "i"]),
    (w[k], [i, (k, (k != i) & (k > 0))], ["i", ("k", "k != i and k > 0")]),
])
def test_forall_forms(expr, forall, shape):
    for build in both(expr, forall):
        got = build().forall
        assert type(got) is list and all(type(t[0] if type(t) is tuple else t) is tx.Element for t in got)
        assert [(t[0].name, str(t[1])) if type(t) is tuple else t.name for t in got] == shape


@pytest.mark.parametrize("forall", ["i", 5, [i, 5], (i, y <= 1, 3)], ids=lambda v: type(v).__name__)
def test_forall_conversion_error(forall):
    for build in both(w[i], forall):
        with pytest.raises(TypeError) as info:
            build()
        assert str(info.value).endswith("failed to create a forall list object")


@pytest.mark.parametrize("expr, forall", [(x[i, j], [j, (i, i != j)]), (w[k], [i, k]), (tx.sum(k, w[k]), i),
                                          (tx.sum([i, j], x[i, j]), None)])
def test_valid_forall_against_expression(expr, forall):
    c, p = (build() for build in both(expr, forall))
    assert [str(t) for t in c.forall] == [str(t) for t in p.forall]


@pytest.mark.parametrize("expr, forall, message", [
    (x[i, j], [i, i], "forall has duplicated indices"),
    (x[i, j], [(i, i != j), j], "forall scope error"), (x[i, j], [i, (j, j != k)], "forall scope error"),
    (x[i, j], [(i, i != j), i], "forall scope error"),  # the scope of an item is checked before later items
    (w[i], None, "Invalid forall:" + FREE + "i"), (w[i], [i, j], "Invalid forall:" + EXTRA + "j"),
    (w[i], j, "Invalid forall:" + FREE + "i" + EXTRA + "j"), (w[k], k, "Invalid forall:" + FREE + "i"),
    (tx.sum(i, w[i]), i, BOUND + "i"),
])
def test_forall_against_expression(expr, forall, message):
    for build in both(expr, forall):
        with raises(tx.ModelingError, message):
            build()


def test_bound_elements_are_all_named():
    with pytest.raises(tx.ModelingError) as info:
        tx.Constraint("c", tx.sum([i, j], x[i, j]) <= 1, forall=[i, j])
    assert str(info.value).startswith(BOUND) and set(str(info.value)[len(BOUND):].split(", ")) == {"i", "j"}


@pytest.mark.parametrize("build, message", [
    *[(lambda cond=cond: tx.Constraint("c", cond), NOT_A_SENSE) for cond in (y < 1, y != 1, (y <= 1) & (y >= 0))],
    (lambda: tx.Constraint("c", a <= 1), NO_VAR),
    (lambda: tx.Constraint("c", v[i] <= 1), "Invalid forall:" + FREE + "i"),  # forall first
    (lambda: tx.Constraint("c", a < 1), NOT_A_SENSE),  # the sense before the variables
    (lambda: tx.CustomPenaltyTerm("p", a), NO_VAR_TERM),
    (lambda: tx.CustomPenaltyTerm("p", v[i]), "Invalid forall:" + FREE + "i"),
])
def test_check_order(build, message):
    with raises(tx.ModelingError, message):
        build()


@pytest.mark.parametrize("build, message", [
    (lambda: tx.Constraint("c", y), "argument 'expression': failed to convert into a conditional expression."),
    (lambda: tx.CustomPenaltyTerm("p", y <= 1), "argument 'expression': failed to convert into expression."),
    (lambda: tx.Constraint(1, y <= 1), "argument 'name': "),
])
def test_argument_conversion_errors(build, message):
    with pytest.raises(TypeError) as info:
        build()
    assert str(info.value).startswith(message)


@pytest.mark.parametrize("build, text", [
    (lambda: tx.Constraint("constraint", tx.sum(i, x[i, j]) == 1, forall=j),
     'Constraint(name="constraint", expression=sum(i in [0..N), x[i, j]) == 1, forall=[j])'),
    (lambda: tx.Constraint("constraint", x[i, j] <= 2, forall=[i, (j, j != i)]),
     'Constraint(name="constraint", expression=x[i, j] <= 2, forall=[i, (j, j != i)])'),
    (lambda: tx.CustomPenaltyTerm("custom penalty term", (x[i, j] - 2) ** 2, forall=[i, (j, j != i)]),
     'CustomPenaltyTerm(name="custom penalty term", expression=((x[i, j] - 2) ** 2), '
     "forall=[i, (j, j != i)])"),
    (lambda: tx.Constraint("c", y ** 2 >= 1), 'Constraint(name="c", expression=y ** 2 >= 1)'),
])
def test_text_forms(build, text):
    obj = build()
    assert repr(obj) == str(obj) == text
