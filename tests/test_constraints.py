import pytest

import tarvex as tx

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
FORALL_TYPE = "failed to create a forall list object"


def both(expr, forall):
    """Builders of a constraint and of a penalty term over the same expression and forall."""
    return (lambda: tx.Constraint("c", expr == 1, forall=forall),
            lambda: tx.CustomPenaltyTerm("p", expr, forall=forall))


def invalid_forall_names(message):
    """Split an "Invalid forall:" message into its (free, extra) name sets."""
    assert message.startswith("Invalid forall:")
    free, extra = set(), set()
    for line in message.split("\n")[1:]:
        for prefix, names in ((FREE[1:], free), (EXTRA[1:], extra)):
            if line.startswith(prefix):
                names.update(line[len(prefix):].split(", "))
                break
        else:
            raise AssertionError(f"unexpected line {line!r}")
    return free, extra


@pytest.mark.parametrize(
    "sense, name, value",
    [(S.EQUAL, "EQUAL", 0), (S.LESS_THAN_EQUAL, "LESS_THAN_EQUAL", 1),
     (S.GREATER_THAN_EQUAL, "GREATER_THAN_EQUAL", 2)],
)
def test_constraint_sense(sense, name, value):
    assert repr(sense) == str(sense) == f"ConstraintSense.{name}"
    assert int(sense) == value and sense == value and not (sense != value)
    assert sense == getattr(S, name) and sense != value + 1
    assert [sense == other for other in (S.EQUAL, S.LESS_THAN_EQUAL, S.GREATER_THAN_EQUAL)] == [
        n == value for n in range(3)]
    assert sense != "EQUAL" and sense != tx.ProblemSense.MINIMIZE
    with pytest.raises(TypeError):
        sense < S.GREATER_THAN_EQUAL


@pytest.mark.parametrize(
    "build, sense, left, right",
    [
        (lambda: y == 1, S.EQUAL, "y", "1"),
        (lambda: y + a <= 2, S.LESS_THAN_EQUAL, "y + a", "2"),
        (lambda: y >= a, S.GREATER_THAN_EQUAL, "y", "a"),
        (lambda: 1 >= y, S.LESS_THAN_EQUAL, "y", "1"),
        (lambda: 1 <= y, S.GREATER_THAN_EQUAL, "y", "1"),
        (lambda: a == 2 * y, S.EQUAL, "a", "2 * y"),
        (lambda: tx.sum(i, w[i]) == 1, S.EQUAL, "sum(i in [0..N), w[i])", "1"),
        (lambda: y - y <= 0, S.LESS_THAN_EQUAL, "y - y", "0"),
    ],
)
def test_constraint_sides_and_sense(build, sense, left, right):
    cond = build()
    c = tx.Constraint("c", cond)
    assert c.name == "c" and c.sense == sense and c.forall == []
    assert str(c.left) == left and str(c.right) == right
    assert type(c.expression) is type(cond) and repr(c.expression) == repr(cond)
    assert c.is_equality() is (sense == S.EQUAL)
    assert c.is_inequality() is (sense != S.EQUAL)


def test_constraint_with_forall_item():
    c = tx.Constraint("c", w[i] <= 1, forall=i)
    assert c.sense == S.LESS_THAN_EQUAL and type(c.left) is tx.Subscript
    assert repr(c.left) == repr(w[i]) and type(c.right) is tx.NumberLit and c.right.value == 1
    assert len(c.forall) == 1 and type(c.forall[0]) is tx.Element and repr(c.forall[0]) == repr(i)


@pytest.mark.parametrize(
    "expr, forall, shape",
    [
        (y, None, []),
        (y, [], []),
        (w[i], (i, i != 2), [("i", "i != 2")]),
        (w[i], [(i, i != 2)], [("i", "i != 2")]),
        (w[i], (i,), ["i"]),
        (w[k], [k, i], ["k", "i"]),
        (w[k], (i, k), ["i", "k"]),
        (w[k], [i, (k, (k != i) & (k > 0))], ["i", ("k", "k != i and k > 0")]),
        (w[k], [(i, i >= 1), (k, k != i)], [("i", "i >= 1"), ("k", "k != i")]),
    ],
)
def test_forall_forms(expr, forall, shape):
    for build in both(expr, forall):
        got = build().forall
        assert type(got) is list
        assert all(type(t) is tx.Element or (len(t) == 2 and type(t[0]) is tx.Element) for t in got)
        assert [(t[0].name, str(t[1])) if type(t) is tuple else t.name for t in got] == shape


@pytest.mark.parametrize(
    "forall", ["i", 5, 2.5, True, y, N, w[i], i + 1, i.belong_to, [i, 5], [i, "j"], (i, 5), [(i, 5)],
               [(i, i != 2, 3)], (i, y <= 1, 3), {"i": i}, (e for e in [i])],
    ids=lambda v: type(v).__name__,
)
def test_forall_conversion_error(forall):
    for build in both(w[i], forall):
        with pytest.raises(TypeError) as info:
            build()
        assert str(info.value).endswith(FORALL_TYPE) and "'forall'" in str(info.value)


@pytest.mark.parametrize(
    "forall, message",
    [
        ([i, i], "forall has duplicated indices"),
        ([i, j, (i, i != 2)], "forall has duplicated indices"),
        ([(i, i != j), j], "forall scope error"),
        ([i, (j, j != k)], "forall scope error"),
        ([(i, (i != 2) | (j > 1)), j], "forall scope error"),
        ([(i, i != j), i], "forall scope error"),  # the scope of an item is checked before later items
        ([i, (i, i != j)], "forall has duplicated indices"),
    ],
)
def test_forall_list_invariants(forall, message):
    for build in both(x[i, j], forall):
        with pytest.raises(tx.ModelingError) as info:
            build()
        assert str(info.value) == message


@pytest.mark.parametrize(
    "expr, forall",
    [
        (x[i, j], [j, (i, i != j)]),
        (x[i, j], [i, (j, j != i)]),
        (x[i, j], [(i, i != 2), (j, (j != i) & (j != 3))]),
        (w[k], [i, k]),
        (tx.sum(k, w[k]), i),
        (tx.sum((j, j != i), w[j]), i),
        (tx.sum(j, x[i, j]), [(i, i != 0)]),
        (tx.sum([i, j], x[i, j]), None),
    ],
)
def test_valid_forall_against_expression(expr, forall):
    c, p = (build() for build in both(expr, forall))
    assert [str(t) for t in c.forall] == [str(t) for t in p.forall]


@pytest.mark.parametrize(
    "expr, forall, free, extra",
    [
        (w[i], None, {"i"}, set()),
        (x[i, j], None, {"i", "j"}, set()),
        (x[i, j], [i], {"j"}, set()),
        (w[i], [i, j], set(), {"j"}),
        (w[i], j, {"i"}, {"j"}),
        (w[k], k, {"i"}, set()),
        (tx.sum(k, w[k]), None, {"i"}, set()),
        (tx.sum((j, j != i), w[j]), None, {"i"}, set()),
        (w[i], [i, tx.Element("i", belong_to=5)], set(), {"i"}),
        (y, [i], set(), {"i"}),
    ],
)
def test_invalid_forall(expr, forall, free, extra):
    for build in both(expr, forall):
        with pytest.raises(tx.ModelingError) as info:
            build()
        assert invalid_forall_names(str(info.value)) == (free, extra)
        assert (FREE in str(info.value)) == bool(free) and (EXTRA in str(info.value)) == bool(extra)


@pytest.mark.parametrize(
    "expr, forall, names",
    [
        (tx.sum(i, w[i]), i, {"i"}),
        (tx.sum([i, j], x[i, j]), [i, j], {"i", "j"}),
        (tx.sum(j, x[j, i]) + w[j], [i, j], {"j"}),
    ],
)
def test_forall_element_bound_by_reduction(expr, forall, names):
    for build in both(expr, forall):
        with pytest.raises(tx.ModelingError) as info:
            build()
        message = str(info.value)
        assert message.startswith(BOUND) and set(message[len(BOUND):].split(", ")) == names


@pytest.mark.parametrize(
    "build",
    [lambda: y < 1, lambda: y > 1, lambda: y != 1, lambda: (y <= 1) & (y >= 0),
     lambda: (y <= 1) | (y >= 0), lambda: (y == 1) ^ (y == 0)],
)
def test_constraint_rejects_other_conditions(build):
    with pytest.raises(tx.ModelingError) as info:
        tx.Constraint("c", build())
    assert str(info.value) == NOT_A_SENSE


NO_VAR = "expression does not contain a decision variable"
NO_VAR_TERM = "the custom penalty term does not contain a decision variable"


@pytest.mark.parametrize(
    "build, message",
    [
        (lambda: tx.Constraint("c", a <= 1), NO_VAR),
        (lambda: tx.Constraint("c", tx.sum(i, v[i]) == N), NO_VAR),
        (lambda: tx.Constraint("c", v[i] <= 1, forall=i), NO_VAR),
        (lambda: tx.Constraint("c", v[i] <= 1), "Invalid forall:" + FREE + "i"),  # forall first
        (lambda: tx.Constraint("c", w[i] < 1), "Invalid forall:" + FREE + "i"),
        (lambda: tx.Constraint("c", a < 1), NOT_A_SENSE),  # the sense before the variables
        (lambda: tx.CustomPenaltyTerm("p", a), NO_VAR_TERM),
        (lambda: tx.CustomPenaltyTerm("p", 1), NO_VAR_TERM),
        (lambda: tx.CustomPenaltyTerm("p", tx.sum(i, v[i])), NO_VAR_TERM),
        (lambda: tx.CustomPenaltyTerm("p", v[i], forall=i), NO_VAR_TERM),
        (lambda: tx.CustomPenaltyTerm("p", v[i]), "Invalid forall:" + FREE + "i"),
    ],
)
def test_check_order(build, message):
    with pytest.raises(tx.ModelingError) as info:
        build()
    assert str(info.value) == message


@pytest.mark.parametrize(
    "build, message",
    [
        (lambda: tx.Constraint("c", y), "argument 'expression': failed to convert into a conditional expression."),
        (lambda: tx.Constraint("c", True), "argument 'expression': failed to convert into a conditional expression."),
        (lambda: tx.CustomPenaltyTerm("p", y <= 1), "argument 'expression': failed to convert into expression."),
        (lambda: tx.CustomPenaltyTerm("p", "y"), "argument 'expression': failed to convert into expression."),
        (lambda: tx.Constraint(1, y <= 1), "argument 'name': "),
        (lambda: tx.CustomPenaltyTerm(None, y), "argument 'name': "),
    ],
)
def test_argument_conversion_errors(build, message):
    with pytest.raises(TypeError) as info:
        build()
    got = str(info.value)
    assert got == message if message.endswith(".") else got.startswith(message)


@pytest.mark.parametrize(
    "build, text",
    [
        (lambda: tx.Constraint("constraint", tx.sum(i, x[i, j]) == 1, forall=j),
         'Constraint(name="constraint", expression=sum(i in [0..N), x[i, j]) == 1, forall=[j])'),
        (lambda: tx.Constraint("constraint", x[i, j] <= 2, forall=[i, (j, j != i)]),
         'Constraint(name="constraint", expression=x[i, j] <= 2, forall=[i, (j, j != i)])'),
        (lambda: tx.CustomPenaltyTerm("custom penalty term", (x[i, j] - 2) ** 2, forall=[i, (j, j != i)]),
         'CustomPenaltyTerm(name="custom penalty term", expression=((x[i, j] - 2) ** 2), '
         "forall=[i, (j, j != i)])"),
        (lambda: tx.CustomPenaltyTerm("p", (tx.sum(i, w[i]) - 1) ** 2),
         'CustomPenaltyTerm(name="p", expression=((sum(i in [0..N), w[i]) - 1) ** 2))'),
        (lambda: tx.CustomPenaltyTerm("p", y + 1), 'CustomPenaltyTerm(name="p", expression=y + 1)'),
        (lambda: tx.CustomPenaltyTerm("p", 2 * y), 'CustomPenaltyTerm(name="p", expression=2 * y)'),
        (lambda: tx.CustomPenaltyTerm("p", tx.sum(i, w[i])),
         'CustomPenaltyTerm(name="p", expression=sum(i in [0..N), w[i]))'),
        (lambda: tx.Constraint("c", y ** 2 >= 1), 'Constraint(name="c", expression=y ** 2 >= 1)'),
        (lambda: tx.Constraint("c", 1 >= y), 'Constraint(name="c", expression=y <= 1)'),
        (lambda: tx.Constraint("c", w[i] == 1, forall=[(i, (i != 0) | (i > 3))]),
         'Constraint(name="c", expression=w[i] == 1, forall=[(i, i != 0 or i > 3)])'),
    ],
)
def test_text_forms(build, text):
    obj = build()
    assert repr(obj) == str(obj) == text


@pytest.mark.parametrize("build, attrs", [
    (lambda: tx.Constraint("c", y <= 1), ["name", "sense", "left", "right", "forall", "expression"]),
    (lambda: tx.CustomPenaltyTerm("p", y), ["name", "expression", "forall"]),
])
def test_attributes_are_read_only(build, attrs):
    obj = build()
    for attr in attrs:
        with pytest.raises(AttributeError):
            setattr(obj, attr, None)


def test_constraint_keeps_its_own_copy():
    forall = [i, (j, j != i)]
    c = tx.Constraint("c", x[i, j] <= 2, forall=forall)
    forall.clear()
    got = c.forall
    got.append(j)
    assert str(c) == 'Constraint(name="c", expression=x[i, j] <= 2, forall=[i, (j, j != i)])'
    assert len(c.forall) == 2
