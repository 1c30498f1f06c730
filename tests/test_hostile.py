"""Hostile callers and inputs: finalizers that change an object while one of its getters
runs, trees whose shared subtrees make 2^40 paths, interrupts of long walks, argument
hooks that raise, and conditions used as truth values."""
import gc
import signal

import pytest

import tarvex as tx
from conftest import problem

N = tx.Placeholder("N")
i = tx.Element("i", belong_to=N)
a = tx.Placeholder("a", ndim=2)
x = tx.IntegerVar("x", shape=(N, N), lower_bound=0, upper_bound=N)
c = tx.Placeholder("c")


@pytest.mark.parametrize("make, getter", [
    (lambda: a[i + 1, i + 2], "subscripts"), (lambda: x[i, i] + c + 1, "terms"), (lambda: x[i, i] * c * 2, "terms"),
    (lambda: tx.min(c, a[i, i], 2), "terms"), (lambda: (c == 1) & (c == 2), "terms"),
    (lambda: tx.BinaryVar("b", shape=(N, N + 1, 3)), "shape"), (lambda: a[i], "shape"),
    (lambda: tx.IntegerVar("y", shape=(N,), lower_bound=c + 1, upper_bound=c * 2), "lower_bound"),
    (lambda: tx.Element("k", belong_to=(c + 1, c * 2)), "belong_to"),
    (lambda: tx.sum(i, x[i, i]), "operand"), (lambda: (c + 1) ** (c + 2), "exponent"),
])
def test_getter_survives_a_finalizer_that_replaces_the_node(make, getter):
    victim = [None]

    class Finalizer:
        def __del__(self):
            victim[0].set_latex("Z")

    threshold = gc.get_threshold()
    gc.set_threshold(1)
    try:
        for n in range(200):
            victim[0] = make()
            expected = repr(getattr(victim[0], getter))
            hold = [[] for _ in range(50)]
            f = Finalizer()
            f.me = f
            del f
            for _ in range(n % 3):
                [[]]
            assert repr(getattr(victim[0], getter)) == expected
            del hold
    finally:
        gc.set_threshold(*threshold)


def doubling(levels=40, leaf=None):
    e = c * tx.BinaryVar("b") if leaf is None else leaf
    for _ in range(levels):
        e = e - e
    return e


@pytest.mark.parametrize("walk, expected", [
    (tx.is_linear, True), (tx.is_quadratic, False), (tx.is_dynamic_degree, False),
    (lambda e: [v.name for v in tx.extract_variables(e)], ["c", "b"]), (lambda e: tx.is_same(e, doubling()), True),
    (lambda e: tx.is_same(e, doubling(leaf=c * tx.BinaryVar("d"))), False),
    (lambda e: tx.Constraint("k", e <= 1, forall=[]).name, "k"),
    (lambda e: tx.is_linear(tx.sum(i, doubling(leaf=x[i, i] * c))), True),
])
def test_walks_over_shared_subtrees_cost_distinct_nodes(walk, expected):
    assert walk(doubling()) == expected


def test_problem_accepts_and_checks_shared_subtrees():
    p = problem("p", doubling(), tx.Constraint("k", doubling() <= 1), tx.CustomPenaltyTerm("q", doubling()))
    with pytest.raises(tx.ModelingError, match="Duplicated name"):
        p += tx.Constraint("k2", doubling(leaf=c * tx.IntegerVar("b", lower_bound=0, upper_bound=1)) <= 1)


@pytest.mark.parametrize("show", [str, repr, lambda e: e._repr_latex_(), lambda e: str(e <= 1),
                                  lambda e: tx.Constraint("k", e <= 1)._repr_latex_()])
def test_text_of_an_astronomical_tree_is_refused(show):
    with pytest.raises(MemoryError, match="longer than 1073741824 bytes"):
        show(doubling())


def test_text_of_a_shared_but_small_tree_is_written_in_full():
    assert str(doubling(levels=2, leaf=c)) == "c - c - (c - c)"
    assert len(str(doubling(levels=20, leaf=c))) == 2**20 + 3 * (2**20 - 1) + 2 * (2**19 - 1)


class Stop(Exception):
    pass


def test_a_long_walk_stops_when_a_signal_handler_raises():
    def handler(signum, frame):
        raise Stop()

    old = signal.signal(signal.SIGALRM, handler)
    signal.setitimer(signal.ITIMER_REAL, 0.2)
    try:
        with pytest.raises(Stop):
            tx.extract_nodes(doubling(), tx.Placeholder)  # 2^40 occurrences, per occurrence
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, old)


class Hook:
    def __init__(self, exc):
        self.exc = exc

    def __index__(self):
        raise self.exc

    __float__ = __index__


class TwoArgs(Exception):
    def __init__(self, a, b):
        super().__init__(a, b)


class TwoArgsTypeError(TypeError):
    def __init__(self, a, b):
        super().__init__(a, b)


# Errors of a hook propagate unchanged, except the conversion errors, which are prefixed with the
# argument's name; one that takes no single message keeps the original as the cause.
@pytest.mark.parametrize("exc, raised, message", [
    (RuntimeError("boom"), None, None), (TwoArgs(1, 2), None, None), (KeyError("k"), None, None),
    (ZeroDivisionError(), None, None), (TypeError("no"), TypeError, "no"), (OverflowError("no"), OverflowError, "no"),
    (TwoArgsTypeError(1, 2), TypeError, "(1, 2)"),
])
def test_errors_of_argument_hooks(exc, raised, message):
    with pytest.raises(Exception) as got:
        tx.Placeholder("p", ndim=Hook(exc))
    if raised is None:
        assert got.value is exc
    else:
        assert type(got.value) is raised and str(got.value) == f"argument 'ndim': {message}"
        assert type(exc) is raised or got.value.__cause__ is exc


@pytest.mark.parametrize("use", [
    lambda: bool(x[0, 0] == 1),
    lambda: 0 <= x[0, 0] <= 1,
    lambda: x[0, 0] in [1, 2],
    lambda: [x[0, 1], x[0, 0]].index(x[0, 0]),
    lambda: not ((c == 1) | (c == 2)),
    lambda: (c >= 1) if (c <= 2) else None,
])
def test_conditions_have_no_truth_value(use):
    with pytest.raises(TypeError, match="has no truth value: combine conditions with &, \\| and \\^"):
        use()
