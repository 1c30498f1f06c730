"""Random programs over the whole Python surface: every call either returns an object whose
text forms work, or raises one of the module's documented exception types. Nothing crashes."""
import operator

import numpy as np
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import tarvex as tx

EXPECTED = (tx.ModelingError, TypeError, ValueError, IndexError, OverflowError, ZeroDivisionError)


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
            0, 1, -1, 2.5, -0.0, float("nan"), 2**70, True, np.int8(3), "s", None, (0, N), [i, i]]


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


@settings(max_examples=300, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(st.lists(st.tuples(st.integers(0, 200), st.integers(0, 200), st.integers(0, 200)), max_size=12))
def test_random_programs_raise_only_documented_errors(steps):
    objects = pool()
    problem = tx.Problem("p")
    for f, p, q in steps:
        left, right = objects[p % len(objects)], objects[q % len(objects)]
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
