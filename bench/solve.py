"""Handing a 100x100 assignment model to HiGHS, against the two reference modeling libraries of
the bench extra doing the same through their own HiGHS interfaces (ref1: its persistent HiGHS
interface; ref2: its highspy interface).

Usage: python bench/solve.py [n]   (default 100)

Each is timed from nothing to the model held by a highspy.Highs object, ready for its first
run: the model built, the data bound, the arrays made and passed. Ours is timed twice: the model
written once with forall constraints over data (the usual form), and built with Python loops
like the references. Then the solve itself (HiGHS's run, the same work for all) is timed once
for each. Goal: ours at least 5x faster than ref1 up to the solver's first call. Times are the
best of several rounds.
"""
import importlib.util
import pathlib
import sys
import time

import numpy as np

HERE = pathlib.Path(__file__).resolve().parent
GLUE = HERE.parent / "src" / "instance" / "solve"
ROUNDS = 5


def load(stem):
    """A glue file of the module, the same code that the module embeds."""
    spec = importlib.util.spec_from_file_location(f"glue_{stem}", GLUE / f"{stem}.py")
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def costs(n):
    return np.random.default_rng(7).integers(1, 100, size=(n, n)).astype(np.float64)


def ours_forall(n, c):
    import tarvex as tx
    from tarvex.instance import Instance

    C = tx.Placeholder("c", ndim=2)
    x = tx.BinaryVar("x", shape=(C.len_at(0), C.len_at(1)))
    i, j = tx.Element("i", belong_to=(0, C.len_at(0))), tx.Element("j", belong_to=(0, C.len_at(1)))
    p = tx.Problem("assignment")
    p += tx.sum([i, j], C[i, j] * x[i, j])
    p += tx.Constraint("row", tx.sum(j, x[i, j]) == 1, forall=i)
    p += tx.Constraint("column", tx.sum(i, x[i, j]) == 1, forall=j)
    return Instance(p, {"c": c})


def ours_loops(n, c):
    import tarvex as tx
    from tarvex.instance import Instance

    C = tx.Placeholder("c", ndim=2)
    x = tx.BinaryVar("x", shape=(n, n))
    p = tx.Problem("assignment")
    obj = 0
    for i in range(n):
        for j in range(n):
            obj += C[i, j] * x[i, j]
    p += obj
    for i in range(n):
        row = 0
        for j in range(n):
            row += x[i, j]
        p += tx.Constraint(f"row{i}", row == 1)
    for j in range(n):
        col = 0
        for i in range(n):
            col += x[i, j]
        p += tx.Constraint(f"col{j}", col == 1)
    return Instance(p, {"c": c})


def ours(make):
    glue, highs = load("glue"), load("highs")
    module = highs.highspy()

    def handoff(n, c):
        instance = make(n, c)
        compiled = instance._compile()
        return highs.build(module, compiled, glue.objective_with_penalties(compiled, 1.0))

    def solve(h):
        h.run()
        return h.getInfo().objective_function_value

    return handoff, solve


def ref1():
    import pyomo.environ as pe
    from pyomo.contrib.appsi.solvers.highs import Highs

    def handoff(n, c):
        m = pe.ConcreteModel()
        m.I = pe.RangeSet(0, n - 1)
        m.c = pe.Param(m.I, m.I, initialize=lambda m, i, j: float(c[i, j]))
        m.x = pe.Var(m.I, m.I, domain=pe.Binary)
        obj = 0
        for i in range(n):
            for j in range(n):
                obj += m.c[i, j] * m.x[i, j]
        m.obj = pe.Objective(expr=obj)
        m.cons = pe.ConstraintList()
        for i in range(n):
            m.cons.add(sum(m.x[i, j] for j in range(n)) == 1)
        for j in range(n):
            m.cons.add(sum(m.x[i, j] for i in range(n)) == 1)
        opt = Highs()
        opt.set_instance(m)
        return opt, m

    def solve(held):
        opt, m = held
        return pe.value(opt.solve(m).best_feasible_objective)

    return handoff, solve


def ref2():
    import pulp

    def handoff(n, c):
        p = pulp.LpProblem("assignment", pulp.LpMinimize)
        x = {(i, j): pulp.LpVariable(f"x_{i}_{j}", cat="Binary") for i in range(n) for j in range(n)}
        p += pulp.lpSum(float(c[i, j]) * x[i, j] for i in range(n) for j in range(n))
        for i in range(n):
            p += pulp.lpSum(x[i, j] for j in range(n)) == 1, f"row{i}"
        for j in range(n):
            p += pulp.lpSum(x[i, j] for i in range(n)) == 1, f"col{j}"
        solver = pulp.HiGHS(msg=False)
        solver.createAndConfigureSolver(p)
        solver.buildSolverModel(p)
        return solver, p

    def solve(held):
        solver, p = held
        solver.callSolver(p)
        return p.solverModel.getInfo().objective_function_value

    return handoff, solve


def best_of(fn, *args):
    best, out = None, None
    for _ in range(ROUNDS):
        start = time.perf_counter()
        out = fn(*args)
        t = time.perf_counter() - start
        best = t if best is None else min(best, t)
    return best, out


def fmt(seconds):
    return f"{seconds * 1e3:9.1f} ms"


def main(args):
    n = int(args[0]) if args else 100
    c = costs(n)
    cases = [("ours (forall over data)", lambda: ours(ours_forall)), ("ours (loops)", lambda: ours(ours_loops)),
             ("ref1", ref1), ("ref2", ref2)]
    print(f"{n}x{n} assignment handed to HiGHS: time up to the solver's first call, then its solve")
    print(f"{'/ref1':>7}  {'handoff':>12}  {'solve':>12}  {'objective':>10}  case")
    rows = []
    for name, make in cases:
        try:
            handoff, solve = make()
        except ImportError as e:
            print(f"{'-':>7}  {'-':>12}  {'-':>12}  {'-':>10}  {name} (not installed: {e.name})")
            continue
        t, held = best_of(handoff, n, c)
        start = time.perf_counter()
        objective = solve(held)
        rows.append((name, t, time.perf_counter() - start, objective))
    base = next((r[1] for r in rows if r[0] == "ref1"), None)
    for name, t, s, objective in rows:
        ratio = f"{t / base:7.3f}" if base else f"{'-':>7}"
        print(f"{ratio}  {fmt(t)}  {fmt(s)}  {objective:10.1f}  {name}", flush=True)


if __name__ == "__main__":
    main(sys.argv[1:])
