"""Random programs over the whole Python surface: every call either returns an object whose
text forms work, or raises one of the module's documented exception types. Nothing crashes,
even when the program's own objects fight back: hooks that raise, finalizers that change
objects in the middle of a call, threads that share objects."""
import gc
import operator
import threading

import numpy as np
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import tarvex as tx


class Hostile(Exception):
    """Raised by the hooks of the hostile values below."""


class HostileNumber:
    """Claims to be a number, then raises from every protocol the module may probe."""

    def __index__(self):
        raise Hostile("index")

    def __float__(self):
        raise Hostile("float")

    def __eq__(self, other):
        raise Hostile("eq")

    __hash__ = object.__hash__


# NumPy scalars among the operands compute with each other and with plain numbers: their own
# warnings (division by zero, invalid values, overflow) are not the concern here.
pytestmark = [pytest.mark.filterwarnings(f"ignore:{m}:RuntimeWarning")
              for m in ("divide by zero", "invalid value", "overflow encountered")]

EXPECTED = (tx.ModelingError, TypeError, ValueError, IndexError, OverflowError, ZeroDivisionError, Hostile)


def pool():
    N = tx.Placeholder("N")
    a = tx.Placeholder("a", ndim=1)
    m = tx.Placeholder("m", ndim=2, latex="M")
    i = tx.Element("i", belong_to=N)
    e = tx.Element("e", belong_to=m)
    x = tx.BinaryVar("x", shape=(N,))
    y = tx.IntegerVar("y", lower_bound=-1, upper_bound=a, shape=[N])
    z = tx.ContinuousVar("z", lower_bound=0, upper_bound=1.5)
    return [N, a, m, i, e, x, y, z, x[i], a[i], m[i], e[0], x[:], m.len_at(1), tx.NumberLit(-2),
            0, 1, -1, 2.5, -0.0, float("nan"), 2**70, True, np.int8(3), "s", None, (0, N), [i, i],
            HostileNumber(), (HostileNumber(), N), [x[i], HostileNumber()]]


BINARY = [operator.add, operator.sub, operator.mul, operator.truediv, operator.mod, operator.pow,
          operator.eq, operator.ne, operator.lt, operator.le, operator.gt, operator.ge,
          operator.and_, operator.or_, operator.xor, operator.getitem,
          lambda p, q: tx.sum(p, q), lambda p, q: tx.prod(p, q), lambda p, q: tx.min(p, q),
          lambda p, q: tx.Constraint("c", p, forall=q), lambda p, q: tx.CustomPenaltyTerm("p", p, forall=q),
          lambda p, q: tx.Element("k", belong_to=p), lambda p, q: tx.is_same(p, q),
          lambda p, q: tx.extract_nodes(p, type(q)), lambda p, q: tx.replace(p, lambda n: q)]
UNARY = [operator.neg, tx.abs, tx.ln, tx.extract_variables, tx.is_linear, lambda p: p.sum(),
         lambda p: p.shape, lambda p: p.len_at(0), lambda p: p._repr_latex_()]


def show(obj):
    for text in (str, repr):
        text(obj)
    if hasattr(obj, "_repr_latex_"):
        obj._repr_latex_()


class Meddler:
    """Its finalizer, run by the garbage collector at any allocation, gives an object of the
    program a new custom LaTeX string (a new root node) while some call may be reading it."""

    def __init__(self, objects, k):
        self.objects, self.k, self.me = objects, k, self

    def __del__(self):
        target = self.objects[self.k % len(self.objects)]
        if hasattr(target, "set_latex") and not isinstance(target, tx.NumberLit):
            target.set_latex("M")


def run_program(steps, objects):
    problem = tx.Problem("p")
    for f, p, q in steps:
        Meddler(objects, f + p)  # a cycle: freed by the collector, at some later allocation
        left, right = objects[p % len(objects)], objects[q % len(objects)]
        if f % 3 and isinstance(left, int) and isinstance(right, int):
            continue  # Python's own arithmetic, not ours: (2**70) ** (2**70) would run for hours
        try:
            if f % 3 == 0:
                out = UNARY[f % len(UNARY)](left)
            else:
                out = BINARY[f % len(BINARY)](left, right)
        except (*EXPECTED, AttributeError):
            continue
        show(out)
        objects.append(out)
        try:
            problem += out
        except EXPECTED:
            pass
    problem._repr_latex_()


STEPS = st.lists(st.tuples(st.integers(0, 200), st.integers(0, 200), st.integers(0, 200)), max_size=12)


@settings(max_examples=300, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(STEPS)
def test_random_programs_raise_only_documented_errors(steps):
    threshold = gc.get_threshold()
    gc.set_threshold(5)
    try:
        run_program(steps, pool())
    finally:
        gc.set_threshold(*threshold)


@settings(max_examples=30, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(STEPS, STEPS)
def test_threads_sharing_objects(first, second):
    objects = pool()
    errors = []

    def run(steps):
        try:
            for _ in range(5):
                run_program(steps, objects)
        except BaseException as e:  # reported below, with the thread's own traceback
            errors.append(e)

    threads = [threading.Thread(target=run, args=(s,)) for s in (first, second)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not errors, errors
