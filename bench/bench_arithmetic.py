"""Building expressions: long sums from Python loops, and single operations.

Sums: the same loop against a mature modeling library whose sums build in linear time
(the `bench` extra); the growth factor per decade of n shows whether building is linear.
Single operations: against a pure-Python class doing the same tuple-building work.
"""
import tarvex as tx

SIZES = (1_000, 10_000, 100_000)


def tarvex_sum_coeff(n):
    c = tx.Placeholder("c", ndim=1)
    x = tx.BinaryVar("x", shape=(n,))
    cs = [c[k] for k in range(n)]
    xs = [x[k] for k in range(n)]

    def run():
        s = 0
        for k in range(n):
            s = s + cs[k] * xs[k]
        return s

    return run


def tarvex_sum_iadd(n):
    x = tx.BinaryVar("x", shape=(n,))
    xs = [x[k] for k in range(n)]

    def run():
        s = 0
        for k in range(n):
            s += xs[k]
        return s

    return run


def reference_models(n):
    import pyomo.environ as pe

    m = pe.ConcreteModel()
    m.K = pe.RangeSet(0, n - 1)
    m.c = pe.Param(m.K, initialize=lambda m, k: k + 1, mutable=True)
    m.x = pe.Var(m.K, domain=pe.Binary)
    cs = [m.c[k] for k in range(n)]
    xs = [m.x[k] for k in range(n)]

    def coeff():
        s = 0
        for k in range(n):
            s = s + cs[k] * xs[k]
        return s

    def iadd():
        s = 0
        for k in range(n):
            s += xs[k]
        return s

    return coeff, iadd


class Node(tuple):
    """A pure-Python expression node: (kind, children...)."""

    __slots__ = ()

    def __add__(self, other):
        return Node(("add", self, other))

    def __rmul__(self, other):
        return Node(("mul", other, self))

    def __pow__(self, other):
        return Node(("pow", self, other))


def cases():
    try:
        import pyomo.environ  # noqa: F401

        have_reference = True
    except ImportError:
        have_reference = False
        print("(install the bench extra for the reference sums: pip install pyomo)")
    for n in SIZES:
        if have_reference:
            ref_coeff, ref_iadd = reference_models(n)
        else:
            ref_coeff = ref_iadd = tarvex_sum_coeff(1)
        yield f"s = s + c[k] * x[k], n={n}", tarvex_sum_coeff(n), ref_coeff
        yield f"s += x[k], n={n}", tarvex_sum_iadd(n), ref_iadd

    i = tx.Element("i", belong_to=10)
    x, y = tx.BinaryVar("x", shape=(10,)), tx.BinaryVar("y", shape=(10,))
    xi, yi, xs = x[i], y[i], tx.BinaryVar("z")
    pxi, pyi, pxs = Node(("x", "i")), Node(("y", "i")), Node(("z",))
    yield "x[i] + y[i]", lambda: xi + yi, lambda: pxi + pyi
    yield "2 * x", lambda: 2 * xs, lambda: 2 * pxs
    yield "x ** 2", lambda: xs**2, lambda: pxs**2


def summary(results):
    for form in ("s = s + c[k] * x[k]", "s += x[k]"):
        times = [results.get(f"{form}, n={n}") for n in SIZES]
        if None in times:
            continue
        growth = ", ".join(
            f"{times[k + 1][0] / times[k][0]:.1f}x (reference {times[k + 1][1] / times[k][1]:.1f}x)"
            for k in range(len(SIZES) - 1)
        )
        print(f"          growth per decade of n for {form}: {growth}")
