import pytest

import tarvex as tx
from conftest import problem, raises

N = tx.Placeholder("N")
i = tx.Element("i", belong_to=N)
x, y = tx.BinaryVar("x"), tx.BinaryVar("y")
w = tx.BinaryVar("w", shape=[N])
PX = tx.Placeholder("x")
MIN, MAX = tx.ProblemSense.MINIMIZE, tx.ProblemSense.MAXIMIZE
DUPLICATED = "Duplicated name -- different variables share the same name(s): "


def state(p):
    """Everything a failed += must leave untouched."""
    return (repr(p.objective), p.sense, {k: repr(c) for k, c in p.constraints.items()},
            {k: repr(t) for k, t in p.custom_penalty_terms.items()})


def test_new_problem():
    p = tx.Problem("p")
    assert p.name == "p" and p.sense == MIN
    assert (type(p.objective), type(p.objective.value), repr(p.objective)) == (tx.NumberLit, int, "NumberLit(value=0)")
    assert p.constraints == {} and p.custom_penalty_terms == {}
    assert repr(p).startswith("<tarvex.Problem object at ")
    assert tx.Problem(name="q", sense=MAX).sense == MAX
    with pytest.raises(TypeError):
        tx.Problem("p", MAX)  # sense is keyword-only
    p.sense = MAX
    with pytest.raises(TypeError):
        p.sense = 1
    with raises(AttributeError, "can't delete attribute"):
        del p.sense
    assert p.sense == MAX
    with pytest.raises(AttributeError):
        p.objective = x


@pytest.mark.parametrize("obj, text", [(3, "NumberLit(value=3)"), (y, None), (tx.sum(i, w[i]), None)])
def test_objective_is_replaced(obj, text):
    p = q = problem("p", tx.Constraint("c", y <= 1), x + y)
    p += obj
    assert p is q
    assert repr(p.objective) == (text or repr(obj))
    assert list(p.constraints) == ["c"]


@pytest.mark.parametrize("other", [{}, x <= 1, MAX])
def test_unsupported_operand(other):
    p = problem("p", x)
    before = state(p)
    with raises(TypeError, "unsupported operand type(s) for +="):
        p += other
    assert state(p) == before


@pytest.mark.parametrize("names, ordered",
                         [(["b", "a"], ["a", "b"]), (["a9", "a10", "B", "é", "a"], ["B", "a", "a10", "a9", "é"])])
def test_entries_are_ordered_by_name(names, ordered):
    p = tx.Problem("p")
    for n in names:
        p += tx.Constraint(n, x <= 1)
        p += tx.CustomPenaltyTerm(n, y)
    assert list(p.constraints) == list(p.custom_penalty_terms) == ordered
    assert all(type(c) is tx.Constraint and c.name == n for n, c in p.constraints.items())
    p.constraints.clear()  # the dicts returned are copies
    assert list(p.constraints) == ordered


def test_same_name_replaces_entry_and_releases_its_variables():
    p = problem("p", x, tx.Constraint("c", x <= 1), tx.Constraint("c", y >= 0), tx.CustomPenaltyTerm("c", x),
                tx.CustomPenaltyTerm("c", 2 * y), y)
    assert len(p.constraints) == 1 and str(p.constraints["c"]) == 'Constraint(name="c", expression=y >= 0)'
    assert len(p.custom_penalty_terms) == 1 and str(p.custom_penalty_terms["c"].expression) == "2 * y"
    p += PX  # no entry holds the variable x any more
    assert repr(p.objective) == repr(PX)


# each case: objects added first, then the one whose addition must fail, and the duplicated names
@pytest.mark.parametrize("first, other, names", [
    ([tx.Constraint("c", x <= 1)], PX, {"x"}),
    ([x], tx.CustomPenaltyTerm("t", y * PX), {"x"}),
    ([x], tx.Constraint("c", tx.IntegerVar("x", lower_bound=0, upper_bound=2) >= 0), {"x"}),
    ([w[0]], tx.Constraint("c", tx.BinaryVar("w", shape=[3])[0] <= 1), {"w"}),
    ([tx.Placeholder("a") * x], tx.Constraint("c", tx.Placeholder("a", ndim=1)[0] * x <= 1), {"a"}),
    ([tx.sum(i, w[i])], tx.Constraint("c", y + tx.Element("i", 5) <= 1, forall=tx.Element("i", 5)), {"i"}),
    ([x, tx.CustomPenaltyTerm("t", y)], tx.Constraint("c", PX * tx.Placeholder("y") * w[0] <= 1),
     {"x", "y"}),
])
def test_duplicated_names_are_rejected(first, other, names):
    p = problem("p", *first, sense=MAX)
    before = state(p)
    with pytest.raises(tx.ModelingError) as info:
        p += other
    message = str(info.value)
    assert message.startswith(DUPLICATED) and set(message[len(DUPLICATED):].split(", ")) == names
    assert state(p) == before


@pytest.mark.parametrize("objs", [
    [tx.sum(i, w[i]), tx.Constraint("c", w[i] <= N, forall=i), tx.CustomPenaltyTerm("t", w[i], forall=i)],
    [tx.Placeholder("a", latex="A") * x, tx.Constraint("c", tx.Placeholder("a") * x <= 1),
     tx.CustomPenaltyTerm("t", tx.Placeholder("a", description="the a") * tx.BinaryVar("x", latex="X"))],
], ids=["same-variable", "latex-and-description-ignored"])
def test_same_variable_in_many_places_is_accepted(objs):
    assert repr(problem("p", *objs).objective) == repr(objs[0])


def test_deep_trees():
    # Rendering refuses a tree deeper than the interpreter allows; building, storing, walking,
    # rewriting and comparing do not.
    e = tx.Placeholder("a")
    for _ in range(100_000):
        e = tx.abs(e)
    cond = e + x <= 1
    for render in (lambda: str(e), lambda: repr(e), lambda: str(cond)):
        with pytest.raises(RecursionError):
            render()
    c = tx.Constraint("c", cond)
    p = problem("p", c, e * y)
    assert list(p.constraints) == ["c"]
    assert [str(v) for v in tx.extract_variables(e)] == ["a"]
    assert len(tx.extract_nodes(e, tx.AbsOp)) == 100_000
    assert tx.is_same(tx.replace(e, lambda n: n), e)
    renamed = tx.replace(e, lambda n: tx.Placeholder("b") if type(n) is tx.Placeholder else n)
    assert not tx.is_same(renamed, e) and tx.extract_nodes(renamed, tx.Placeholder)[0].name == "b"
    del e, cond, c, p, renamed

    e1, e2 = x, tx.BinaryVar("x", latex="other")
    for _ in range(100_000):
        e1, e2 = e1**1, e2**1
    assert tx.is_linear(e1) and not tx.is_dynamic_degree(e1)
    assert tx.is_same(e1, e2) and not tx.is_same(e1, e2**1)
    del e1, e2

    e = x
    for _ in range(2_000):
        e = e**2
    assert str(e) == "(" * 1999 + "x" + " ** 2)" * 1999 + " ** 2"
