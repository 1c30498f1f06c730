import pytest

import tarvex as tx

N = tx.Placeholder("N")
i = tx.Element("i", belong_to=N)
x, y = tx.BinaryVar("x"), tx.BinaryVar("y")
w = tx.BinaryVar("w", shape=[N])
MIN, MAX = tx.ProblemSense.MINIMIZE, tx.ProblemSense.MAXIMIZE
DUPLICATED = "Duplicated name -- different variables share the same name(s): "


def state(p):
    """Everything a failed += must leave untouched."""
    return (repr(p.objective), p.sense, {k: repr(c) for k, c in p.constraints.items()},
            {k: repr(t) for k, t in p.custom_penalty_terms.items()})


def duplicated_names(error):
    message = str(error.value)
    assert message.startswith(DUPLICATED)
    return set(message[len(DUPLICATED):].split(", "))


@pytest.mark.parametrize("sense, name, value", [(MIN, "MINIMIZE", 0), (MAX, "MAXIMIZE", 1)])
def test_problem_sense(sense, name, value):
    assert repr(sense) == str(sense) == f"ProblemSense.{name}"
    assert int(sense) == value and sense == value and sense != 1 - value
    assert sense == getattr(tx.ProblemSense, name) and sense != (MAX if value == 0 else MIN)
    same_number = [tx.ConstraintSense.EQUAL, tx.ConstraintSense.LESS_THAN_EQUAL][value]
    assert not (sense == same_number) and sense != same_number
    with pytest.raises(TypeError):
        sense <= MAX


def test_new_problem():
    p = tx.Problem("p")
    assert p.name == "p" and p.sense == MIN
    assert type(p.objective) is tx.NumberLit and repr(p.objective) == "NumberLit(value=0)"
    assert type(p.objective.value) is int
    assert p.constraints == {} and p.custom_penalty_terms == {}
    assert repr(p).startswith("<tarvex.Problem object at ") and str(p) == repr(p)
    assert tx.Problem(name="q", sense=MAX).sense == MAX


@pytest.mark.parametrize(
    "build, exc",
    [
        (lambda: tx.Problem("p", MAX), TypeError),
        (lambda: tx.Problem(1), TypeError),
        (lambda: tx.Problem("p", sense=1), TypeError),
        (lambda: tx.ProblemSense(0), TypeError),
    ],
)
def test_constructor_errors(build, exc):
    with pytest.raises(exc) as info:
        build()
    assert "argument" in str(info.value) or str(info.value) == "No constructor defined"


def test_sense_attribute():
    p = tx.Problem("p")
    p.sense = MAX
    assert p.sense == MAX
    for bad in (1, "MAXIMIZE", tx.ConstraintSense.EQUAL):
        with pytest.raises(TypeError):
            p.sense = bad
    assert p.sense == MAX
    with pytest.raises(AttributeError) as info:
        del p.sense
    assert str(info.value) == "can't delete attribute"
    for attr in ("name", "objective", "constraints", "custom_penalty_terms"):
        with pytest.raises(AttributeError):
            setattr(p, attr, None)


@pytest.mark.parametrize(
    "obj, text",
    [(3, "NumberLit(value=3)"), (2.5, "NumberLit(value=2.5)"), (True, "NumberLit(value=1)"),
     (N, "Placeholder(name='N', ndim=0)"), (x, "BinaryVar(name='x', shape=[])"),
     (tx.sum(i, w[i]), None), (2 * x + y, None), (x ** 2, None), (w[0], None)],
)
def test_objective_is_replaced(obj, text):
    p = tx.Problem("p")
    p += tx.Constraint("c", y <= 1)
    p += x + y
    p += obj
    assert repr(p.objective) == (text or repr(obj))
    assert list(p.constraints) == ["c"]


def test_iadd_returns_the_same_problem():
    p = tx.Problem("p")
    q = p
    p += x
    p += tx.Constraint("c", x <= 1)
    p += tx.CustomPenaltyTerm("t", x)
    assert p is q and p.__iadd__(y) is q
    assert str(p.objective) == "y"


@pytest.mark.parametrize("other", [{}, "x", None, [x], x <= 1, (x <= 1) & (y >= 0), i.belong_to, MAX])
def test_unsupported_operand(other):
    p = tx.Problem("p")
    p += x
    before = state(p)
    with pytest.raises(TypeError) as info:
        p += other
    assert str(info.value) == "unsupported operand type(s) for +="
    assert state(p) == before


@pytest.mark.parametrize(
    "names, ordered",
    [
        (["b", "a"], ["a", "b"]),
        (["a9", "a10", "B", "a"], ["B", "a", "a10", "a9"]),
        (["é", "z", "Z", " "], [" ", "Z", "z", "é"]),
        (["c", "c", "a", "c"], ["a", "c"]),
    ],
)
def test_entries_are_ordered_by_name(names, ordered):
    p = tx.Problem("p")
    for n in names:
        p += tx.Constraint(n, x <= 1)
        p += tx.CustomPenaltyTerm(n, y)
    assert list(p.constraints) == list(p.custom_penalty_terms) == ordered
    assert all(type(c) is tx.Constraint and c.name == n for n, c in p.constraints.items())
    assert all(type(t) is tx.CustomPenaltyTerm and t.name == n for n, t in p.custom_penalty_terms.items())


def test_same_name_replaces_entry():
    p = tx.Problem("p")
    p += tx.Constraint("c", x <= 1)
    p += tx.Constraint("c", y >= 0)
    p += tx.CustomPenaltyTerm("c", x)
    p += tx.CustomPenaltyTerm("c", 2 * y)
    assert len(p.constraints) == 1 and str(p.constraints["c"]) == 'Constraint(name="c", expression=y >= 0)'
    assert len(p.custom_penalty_terms) == 1 and str(p.custom_penalty_terms["c"].expression) == "2 * y"


def test_returned_dicts_are_copies():
    p = tx.Problem("p")
    p += tx.Constraint("c", x <= 1)
    p += tx.CustomPenaltyTerm("t", x)
    for get in (lambda: p.constraints, lambda: p.custom_penalty_terms):
        d = get()
        assert d is not get()
        d.clear()
        d["z"] = None
        assert len(get()) == 1 and "z" not in get()


PX = tx.Placeholder("x")
I5 = tx.Element("i", belong_to=5)
# each case: objects added first, then the one whose addition must fail, and the duplicated names
DUPLICATE_CASES = [
    ([tx.Constraint("c", x <= 1)], PX, {"x"}),
    ([x], tx.Constraint("c", y + PX <= 1), {"x"}),
    ([x], tx.CustomPenaltyTerm("t", y * PX), {"x"}),
    ([], x + PX, {"x"}),
    ([], tx.Constraint("c", x <= PX), {"x"}),
    ([tx.Constraint("c", x <= 1)], tx.Constraint("d", tx.IntegerVar("x", lower_bound=0, upper_bound=2) >= 0),
     {"x"}),
    ([x], tx.Constraint("c", tx.BinaryVar("x", shape=[2])[0] <= 1), {"x"}),
    ([w[0]], tx.Constraint("c", tx.BinaryVar("w", shape=[3])[0] <= 1), {"w"}),
    ([tx.Placeholder("a") * x], tx.Constraint("c", tx.Placeholder("a", ndim=1)[0] * x <= 1), {"a"}),
    ([tx.sum(i, w[i])], tx.Constraint("c", y + tx.BinaryVar("N") <= 1), {"N"}),
    ([tx.sum(i, w[i])], tx.Constraint("c", y + I5 <= 1, forall=I5), {"i"}),
    ([x, tx.CustomPenaltyTerm("t", y)], tx.Constraint("c", PX * tx.Placeholder("y") * w[0] <= 1), {"x", "y"}),
]


@pytest.mark.parametrize("first, other, names", DUPLICATE_CASES)
def test_duplicated_names_are_rejected(first, other, names):
    p = tx.Problem("p", sense=MAX)
    for obj in first:
        p += obj
    before = state(p)
    with pytest.raises(tx.ModelingError) as info:
        p += other
    assert duplicated_names(info) == names
    assert state(p) == before


@pytest.mark.parametrize(
    "objs",
    [
        [x, tx.Constraint("c", x <= 1), tx.CustomPenaltyTerm("t", x * x)],
        [tx.sum(i, w[i]), tx.Constraint("c", w[i] <= N, forall=i), tx.CustomPenaltyTerm("t", w[i], forall=i)],
        [tx.Placeholder("a", latex="A") * x, tx.Constraint("c", tx.Placeholder("a") * x <= 1),
         tx.CustomPenaltyTerm("t", tx.Placeholder("a", description="the a") * x)],
        [tx.BinaryVar("x", latex="X"), tx.Constraint("c", tx.BinaryVar("x", description="d") <= 1)],
    ],
)
def test_same_variable_in_many_places_is_accepted(objs):
    p = tx.Problem("p")
    for obj in objs:
        p += obj
    assert repr(p.objective) == repr(objs[0])


def test_replaced_entries_release_their_variables():
    p = tx.Problem("p")
    p += x
    p += y
    p += PX  # the objective x is gone
    assert repr(p.objective) == repr(PX)

    p = tx.Problem("p")
    p += tx.Constraint("c", x <= 1)
    p += tx.Constraint("c", y <= 1)
    p += PX  # the constraint on x was replaced
    p += tx.CustomPenaltyTerm("t", w[0])
    p += tx.CustomPenaltyTerm("t", y)
    p += tx.Constraint("c", PX * y <= tx.Placeholder("w"))  # neither old "c" nor old "t" remain
    assert str(p.constraints["c"]) == 'Constraint(name="c", expression=x * y <= w)'


def test_replacing_an_entry_with_a_conflicting_one_fails():
    p = tx.Problem("p")
    p += x
    p += tx.Constraint("c", y <= 1)
    before = state(p)
    with pytest.raises(tx.ModelingError) as info:
        p += tx.Constraint("c", y * PX <= 1)
    assert duplicated_names(info) == {"x"} and state(p) == before


def test_deep_trees():
    e = tx.Placeholder("a")
    for _ in range(100_000):
        e = tx.abs(e)
    for render in (str, repr):
        with pytest.raises(RecursionError):
            render(e)
    cond = e + x <= 1
    with pytest.raises(RecursionError):
        str(cond)
    c = tx.Constraint("c", cond)
    p = tx.Problem("p")
    p += c
    p += e * y
    assert list(p.constraints) == ["c"]
    del e, cond, c, p

    e = x
    for _ in range(2_000):
        e = e**2
    assert str(e) == "(" * 1999 + "x" + " ** 2)" * 1999 + " ** 2"
