"""The shortcuts of expression building give what the general paths give: tuple subscripts
read directly, sums that reuse a term buffer someone else extended, shared small literals."""
import collections
import gc

import pytest

import tarvex as tx

N = tx.Placeholder("N")
i = tx.Element("i", N)
a = tx.Placeholder("a", ndim=2)
y = tx.BinaryVar("y")
x = tx.BinaryVar("x", shape=[N])
x2 = tx.IntegerVar("x2", shape=[2, 3], lower_bound=0, upper_bound=5)
Pair = collections.namedtuple("Pair", "first second")


def outcome(build):
    """(class, text) of the result, or (exception class, message)."""
    try:
        r = build()
    except Exception as err:  # noqa: BLE001 - the exception is the outcome compared
        return type(err), str(err)
    return type(r), str(r)


@pytest.mark.parametrize("receiver", [a, a[0], x2, x2[0]], ids=["placeholder", "subscript", "decision-var",
                                                                 "var-subscript"])
@pytest.mark.parametrize("items", [(0, 1), (i, 0), (0,), (), (0, 1, 2), (y, 0), (0, "s"), (0, 1.5), (True, 2**70),
                                   (0, slice(None))], ids=repr)
def test_tuple_index_matches_the_sequence_path(receiver, items):
    # A list and a tuple subclass go through the general sequence path; an exact tuple is
    # read directly. Messages that embed the index repr are compared with it replaced.
    def normalized(index):
        kind, text = outcome(lambda: receiver[index])
        if issubclass(kind, Exception):
            text = text.replace(repr(index), "<index>")
        return kind, text

    got = normalized(tuple(items))
    assert got == normalized(list(items))
    if len(items) == 2:
        assert got == normalized(Pair(*items))


def sum_of(*terms):
    s = 0
    for t in terms:
        s = s + t
    return s


@pytest.mark.parametrize("extend", [
    "kept",  # the extension stays alive
    "dropped",  # the extension is gone before the sum is extended again
    "dropped-chain",  # a chain of extensions, all gone
    "inside-new-term",  # the dropped extension lives on inside the term being added
    "constant",  # the sum ends with a constant
])
def test_sum_extended_elsewhere_keeps_both_values(extend):
    xs = [x[k] for k in range(6)]
    s = xs[0] + xs[1]
    if extend == "constant":
        s = s + 7
    other = s + xs[2]
    expected_other = str(other)
    new_term = xs[3]
    if extend == "dropped-chain":
        other = other + xs[4]
        expected_other = str(other)
    if extend == "inside-new-term":
        new_term = other * 2
    if extend != "kept":
        del other
        gc.collect()
    before = str(s)
    u = s + new_term
    if extend == "inside-new-term":
        fresh = sum_of(x[0], x[1], (sum_of(x[0], x[1], x[2])) * 2)
    elif extend == "constant":
        fresh = sum_of(x[0], x[1], 7, x[3])
    else:
        fresh = sum_of(x[0], x[1], x[3])
    assert str(u) == str(fresh) and str(s) == before
    assert len(u.terms) == len(fresh.terms)
    if extend == "kept":
        assert str(other) == expected_other
    v = u + xs[5]  # the reused buffer grows on
    assert str(v) == str(fresh + x[5]) and str(u) == str(fresh)


@pytest.mark.parametrize("value", [-2, -1, 0, 1, 2, 255, 256, 2**40])
def test_small_integer_literals_are_plain_values(value):
    # -1 to 255 are shared nodes: every use reads the same value, and giving one tree a
    # LaTeX string leaves the others alone.
    lit = tx.NumberLit(value)
    assert lit.value == value and type(lit.value) is int
    products = [value * y for _ in range(3)]
    assert len({str(p) for p in products}) == 1
    if isinstance(products[0], tx.MulOp):
        assert products[0].terms[0].value == value
        latex = products[1]._repr_latex_()
        products[0].set_latex("P")
        assert "P" in products[0]._repr_latex_() and products[1]._repr_latex_() == latex


@pytest.mark.parametrize("build, text", [
    (lambda s: s + x[2], "x[0] + x[1] + x[2] + 1"), (lambda s: s + 4, "x[0] + x[1] + 5"),
    (lambda s: s - 1, "x[0] + x[1]"), (lambda s: s + (x[2] + 2), "x[0] + x[1] + x[2] + 3"),
    (lambda s: s + (x[2] - 1), "x[0] + x[1] + x[2]"), (lambda s: (x[2] + 2) + s, "x[2] + x[0] + x[1] + 3"),
    (lambda s: s + (x[2] + x[3]), "x[0] + x[1] + x[2] + x[3] + 1"),
    (lambda s: (s + x[2]) + 4 + x[3], "x[0] + x[1] + x[2] + x[3] + 5"),
])
def test_sum_with_constant_branches_keep_every_value(build, text):
    """A sum whose constant is held apart from its terms: results that share its terms
    leave it, and each other, as they were."""
    s = 1 + x[0] + x[1]
    first = build(s)
    second = build(s)  # from the same sum again, after the first has extended it
    grown = first + x[5]
    assert str(first) == str(second) == text and str(s) == "x[0] + x[1] + 1"
    assert [str(t) for t in first.terms] == text.split(" + ")
    assert str(grown) == str(tx.from_protobuf(tx.to_protobuf(first)) + x[5])
