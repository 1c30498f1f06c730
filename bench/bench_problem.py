"""Adding constraints to a problem with `+=`: the duplicated-name check must stay cheap.

Per-constraint time at 100 and 1,000 constraints (flat when adding n constraints is linear),
against building the same constraints without adding them.
"""
import tarvex as tx


def setup(n):
    N = tx.Placeholder("N")
    a = tx.Placeholder("a", ndim=2)
    b = tx.Placeholder("b", ndim=1)
    x = tx.IntegerVar("x", shape=(n, N), lower_bound=0, upper_bound=10)
    j = tx.Element("j", belong_to=N)
    return [tx.Constraint(f"c{k:05d}", tx.sum(j, a[k, j] * x[k, j]) <= b[k]) for k in range(n)]


def make(n):
    constraints = setup(n)

    def add_all():
        p = tx.Problem("p")
        for c in constraints:
            p += c
        return p

    def baseline():
        # The same loop storing the constraints in a dict by name.
        d = {}
        for c in constraints:
            d[c.name] = c
        return d

    return add_all, baseline


def cases():
    for n in (100, 1000):
        ours, base = make(n)
        yield f"Problem += {n} constraints", ours, base


def summary(results):
    per = {n: results[f"Problem += {n} constraints"][0] / n for n in (100, 1000)
           if f"Problem += {n} constraints" in results}
    if len(per) == 2:
        print(f"          per constraint: {per[100] * 1e6:.2f} us at 100, {per[1000] * 1e6:.2f} us at 1000 "
              f"(ratio {per[1000] / per[100]:.2f}; 1.0 is linear)")
