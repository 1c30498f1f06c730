"""Expression building against its baselines, every case measured in the same run.

Usage: python bench/table.py [ops] [sums] [memory] [model] [evaluate]   (default: all five tables)

- ops: one operation against the floor (a minimal C type whose add slot allocates an
  object, compiled here from bench/floor.c) and against a pure-Python class building the
  same tuples. Goals: at most 4x the floor, at most 0.6x the pure-Python class.
- sums: loop-built and bulk sums of 10^3 to 10^6 terms against the two reference modeling
  libraries of the `bench` extra (the second one's `s = s + ...` is quadratic: it stops at
  10^4). Goal: at least 3x faster than the first reference in every row, linear growth.
- memory: bytes per term of the sum alone (variables and their subscripts built before),
  from the peak RSS of a fresh process per case (Linux), for a sum of n terms and for the
  terms added from n to 2n (n = 5,000 for the second reference's quadratic `s = s + ...`).
  Goal: at most the first reference.
- model: a 100x100 assignment model built with loops.
- evaluate: 1,000 samples of a 100x100 assignment model evaluated by tarvex.instance, against
  the same numbers computed with NumPy by hand (goal: within 3x) and against the first reference
  library setting the variable values and calling value() on the objective and every
  constraint, run once over all samples (goal: at least 20x faster).

Times are the best of several rounds; ratios are ours / baseline (below 1 is faster).
"""
import ctypes
import gc
import importlib.util
import json
import os
import pathlib
import subprocess
import sys
import sysconfig
import tempfile
import timeit

HERE = pathlib.Path(__file__).parent


def calibrate(fn, min_total):
    """The number of calls that takes at least min_total seconds, and the time they took."""
    number = 1
    while True:
        t = timeit.timeit(fn, number=number)
        if t >= min_total or number >= 1 << 24:
            return number, t
        number *= 4


def best_time(fn, min_total=0.2, repeat=5):
    number, t = calibrate(fn, min_total / repeat)
    if number == 1 and t > 1.0:
        repeat = 2  # long runs: two more rounds are enough for a minimum
    return min([t] + timeit.repeat(fn, number=number, repeat=repeat)) / number


def interleaved_best(fns, rounds=9, min_total=0.03):
    """The best time per call of each function, the functions measured in turn in every round,
    so that a burst of outside load falls on all of them rather than on one."""
    calibrated = [calibrate(fn, min_total) for fn in fns]
    best = [t / number for number, t in calibrated]
    for r in range(rounds):
        for j, (fn, (number, t)) in enumerate(zip(fns, calibrated)):
            if r == 0 or t < 1.0:  # calls of a second or more: one more round is enough
                best[j] = min(best[j], timeit.timeit(fn, number=number) / number)
    return best


def fmt(seconds):
    if seconds is None:
        return f"{'-':>11}"
    for unit, scale in (("s", 1), ("ms", 1e-3), ("us", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:8.2f} {unit:>2}"
    return f"{seconds / 1e-9:8.1f} ns"


def ratio(a, b):
    return f"{a / b:7.2f}" if a is not None and b is not None else f"{'-':>7}"


def have(module):
    return importlib.util.find_spec(module) is not None


# ---------------------------------------------------------------------------------------
# One operation.


def build_floor():
    """Compiles bench/floor.c into a temporary folder and imports it."""
    out = pathlib.Path(tempfile.mkdtemp(prefix="tarvex-floor-"))
    suffix = sysconfig.get_config_var("EXT_SUFFIX")
    target = out / f"floor{suffix}"
    include = sysconfig.get_paths()["include"]
    cc = os.environ.get("CC", "cc")
    subprocess.run([cc, "-O2", "-shared", "-fPIC", f"-I{include}", str(HERE / "floor.c"), "-o", str(target)],
                   check=True)
    sys.path.insert(0, str(out))
    import floor

    return floor.Floor


class Node(tuple):
    """A pure-Python expression node: (kind, children...)."""

    __slots__ = ()

    def __add__(self, other):
        return Node(("add", self, other))

    def __rmul__(self, other):
        return Node(("mul", other, self))

    def __pow__(self, other):
        return Node(("pow", self, other))

    def __getitem__(self, index):
        return Node(("subscript", self, index))


def ops_table():
    import tarvex as tx

    Floor = build_floor()
    f1, f2 = Floor(), Floor()
    i = tx.Element("i", belong_to=10)
    x, y = tx.BinaryVar("x", shape=(10,)), tx.BinaryVar("y", shape=(10,))
    x2 = tx.BinaryVar("x2", shape=(10, 10))
    z = tx.BinaryVar("z")
    xi, yi, x0 = x[i], y[i], x[0]
    px, py, px2, pz = Node(("x",)), Node(("y",)), Node(("x2",)), Node(("z",))
    pxi, pyi, px0 = px["i"], py["i"], px[0]
    k = 3
    cases = [
        ("x[i] + y[i]", lambda: xi + yi, lambda: pxi + pyi),
        ("2 * x", lambda: 2 * z, lambda: 2 * pz),
        ("x ** 2", lambda: z**2, lambda: pz**2),
        ("x[k]", lambda: x[k], lambda: px[k]),
        ("x[k, k]", lambda: x2[k, k], lambda: px2[k, k]),
        ("2.5 * x[0]", lambda: 2.5 * x0, lambda: 2.5 * px0),
    ]
    measured = [interleaved_best([lambda: f1 + f2, ours, python]) for _, ours, python in cases]
    floor = min(m[0] for m in measured)
    print(f"\none operation (floor: C type add slot {fmt(floor).strip()}; goals: <= 4x floor, <= 0.6x pure Python)")
    print(f"{'/floor':>7} {'/python':>7}  {'ours':>11}  {'python':>11}  case")
    for (name, _, _), (_, t, p) in zip(cases, measured):
        print(f"{ratio(t, floor)} {ratio(t, p)}  {fmt(t)}  {fmt(p)}  {name}", flush=True)


# ---------------------------------------------------------------------------------------
# Sums. Each builder takes n and returns {form: zero-argument callable}, variables and
# their subscripts made beforehand.

FORMS = ("s = s + c[k] * x[k]", "s += x[k]", "sum(c[k] * x[k])", "s = 1; s += x[k]")


def tarvex_sums(n):
    import tarvex as tx

    c = tx.Placeholder("c", ndim=1)
    x = tx.BinaryVar("x", shape=(n,))
    cs = [c[k] for k in range(n)]
    xs = [x[k] for k in range(n)]
    terms = [cs[k] * xs[k] for k in range(n)]

    def coeff():
        s = 0
        for k in range(n):
            s = s + cs[k] * xs[k]
        return s

    def iadd(start=0):
        s = start
        for k in range(n):
            s += xs[k]
        return s

    return {FORMS[0]: coeff, FORMS[1]: iadd, FORMS[2]: lambda: sum(terms), FORMS[3]: lambda: iadd(1)}


def first_reference_sums(n):
    import pyomo.environ as pe

    m = pe.ConcreteModel()
    m.K = pe.RangeSet(0, n - 1)
    m.c = pe.Param(m.K, initialize=lambda m, k: k + 1, mutable=True)
    m.x = pe.Var(m.K, domain=pe.Binary)
    cs = [m.c[k] for k in range(n)]
    xs = [m.x[k] for k in range(n)]
    terms = [cs[k] * xs[k] for k in range(n)]

    def coeff():
        s = 0
        for k in range(n):
            s = s + cs[k] * xs[k]
        return s

    def iadd(start=0):
        s = start
        for k in range(n):
            s += xs[k]
        return s

    return {FORMS[0]: coeff, FORMS[1]: iadd, FORMS[2]: lambda: pe.quicksum(terms), FORMS[3]: lambda: iadd(1)}


def second_reference_sums(n):
    import pulp

    xs = [pulp.LpVariable(f"x{k}", cat="Binary") for k in range(n)]
    cs = [float(k + 1) for k in range(n)]
    terms = [cs[k] * xs[k] for k in range(n)]

    def coeff():
        s = 0
        for k in range(n):
            s = s + cs[k] * xs[k]
        return s

    def iadd(start=0):
        s = start
        for k in range(n):
            s += xs[k]
        return s

    forms = {FORMS[1]: iadd, FORMS[2]: lambda: pulp.lpSum(terms), FORMS[3]: lambda: iadd(1)}
    if n <= 10_000:
        forms[FORMS[0]] = coeff  # quadratic in n
    return forms


SUM_SIZES = (1_000, 10_000, 100_000, 1_000_000)


def sums_table(sizes=SUM_SIZES):
    refs = [("ref1", first_reference_sums if have("pyomo") else None),
            ("ref2", second_reference_sums if have("pulp") else None)]
    print("\nsums (ref1, ref2: the reference libraries of the bench extra; goal: ours/ref1 <= 0.33, linear)")
    print(f"{'/ref1':>7} {'/ref2':>7}  {'ours':>11}  {'ref1':>11}  {'ref2':>11}  case")
    times = {}
    for n in sizes:
        ours = tarvex_sums(n)
        others = [(make(n) if make else {}) for _, make in refs]
        for form in FORMS:
            fns = [ours[form]] + [o[form] for o in others if form in o]
            best = iter(interleaved_best(fns, rounds=3, min_total=0.15))
            t = next(best)
            r = [next(best) if form in o else None for o in others]
            times[(form, n)] = (t, *r)
            print(f"{ratio(t, r[0])} {ratio(t, r[1])}  {fmt(t)}  {fmt(r[0])}  {fmt(r[1])}  {form}, n={n}", flush=True)
        del ours, others
        gc.collect()
    for form in FORMS:
        row = []
        for a, b in zip(sizes, sizes[1:]):
            if (form, a) in times and (form, b) in times:
                row.append(f"{times[(form, b)][0] / times[(form, a)][0]:.1f}x")
        print(f"  growth per decade of n, ours, {form}: {', '.join(row)}")


# ---------------------------------------------------------------------------------------
# Memory: one fresh process per library and form.

MEMORY_N = 200_000


def measure_memory(lib, form, n):
    """Run in a child process: bytes per term of building the sum `form` of n terms."""
    builders = {"ours": tarvex_sums, "ref1": first_reference_sums, "ref2": second_reference_sums}
    forms = builders[lib](n)
    gc.collect()
    # Only the sum's own growth counts: the memory that the set-up freed is handed back to the
    # system (else the sum could reuse it unseen) and the peak left by the set-up is reset.
    ctypes.CDLL(None).malloc_trim(0)
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")
    before = peak_rss()
    s = forms[form]()
    peak = peak_rss()
    del s
    return (peak - before) / n


def peak_rss():
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) * 1024
    raise RuntimeError("no VmHWM in /proc/self/status")


def memory_table(n=MEMORY_N):
    # Besides the bytes per term of a sum of n terms, the bytes that each term added from n to
    # 2n terms costs: fixed costs drop out there (such as the freed blocks that the allocator
    # keeps when a growing array moves to a mapping of its own, about 128 KiB once).
    print(f"\nbytes per term of the sum alone (peak RSS of a fresh process; goal: ours <= ref1)")
    print(f"{'/ref1':>7} {'/ref2':>7}  {'ours':>9}  {'ref1':>9}  {'ref2':>9}  case")
    available = {"ours": True, "ref1": have("pyomo"), "ref2": have("pulp")}

    def run(lib, form, size):
        out = subprocess.run([sys.executable, __file__, "--memory", lib, form, str(size)],
                             check=True, capture_output=True, text=True)
        return json.loads(out.stdout) * size  # bytes of the whole sum

    for form in FORMS[:2]:
        whole, added = {}, {}
        for lib in ("ours", "ref1", "ref2"):
            size = n if not (lib == "ref2" and form == FORMS[0]) else 5_000  # quadratic
            if not available[lib]:
                whole[lib] = added[lib] = None
                continue
            one, two = run(lib, form, size), run(lib, form, 2 * size)
            whole[lib], added[lib] = one / size, (two - one) / size
        for label, got in ((f"n={n}", whole), (f"from n to 2n", added)):
            cells = "  ".join(f"{got[k]:9.1f}" if got[k] is not None else f"{'-':>9}" for k in ("ours", "ref1", "ref2"))
            print(f"{ratio(got['ours'], got['ref1'])} {ratio(got['ours'], got['ref2'])}  {cells}  {form}, {label}",
                  flush=True)


# ---------------------------------------------------------------------------------------
# A 100x100 assignment model built with loops: objective sum of c[i, j] x[i, j], one
# constraint per row and per column.

def tarvex_assignment(n):
    import tarvex as tx

    def build():
        c = tx.Placeholder("c", ndim=2)
        x = tx.BinaryVar("x", shape=(n, n))
        p = tx.Problem("assignment")
        obj = 0
        for i in range(n):
            for j in range(n):
                obj += c[i, j] * x[i, j]
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
        return p

    return build


def first_reference_assignment(n):
    import pyomo.environ as pe

    def build():
        m = pe.ConcreteModel()
        m.I = pe.RangeSet(0, n - 1)
        m.c = pe.Param(m.I, m.I, initialize=lambda m, i, j: i + j + 1, mutable=True)
        m.x = pe.Var(m.I, m.I, domain=pe.Binary)
        obj = 0
        for i in range(n):
            for j in range(n):
                obj += m.c[i, j] * m.x[i, j]
        m.obj = pe.Objective(expr=obj)
        m.cons = pe.ConstraintList()
        for i in range(n):
            row = 0
            for j in range(n):
                row += m.x[i, j]
            m.cons.add(row == 1)
        for j in range(n):
            col = 0
            for i in range(n):
                col += m.x[i, j]
            m.cons.add(col == 1)
        return m

    return build


def second_reference_assignment(n):
    import pulp

    def build():
        p = pulp.LpProblem("assignment", pulp.LpMinimize)
        x = {(i, j): pulp.LpVariable(f"x_{i}_{j}", cat="Binary") for i in range(n) for j in range(n)}
        obj = 0
        for i in range(n):
            for j in range(n):
                obj += float(i + j + 1) * x[i, j]
        p += obj
        for i in range(n):
            row = 0
            for j in range(n):
                row += x[i, j]
            p += row == 1, f"row{i}"
        for j in range(n):
            col = 0
            for i in range(n):
                col += x[i, j]
            p += col == 1, f"col{j}"
        return p

    return build


def model_table(n=100):
    print(f"\n{n}x{n} assignment model built with loops")
    print(f"{'/ref1':>7} {'/ref2':>7}  {'ours':>11}  {'ref1':>11}  {'ref2':>11}")
    t = best_time(tarvex_assignment(n), min_total=0.5, repeat=3)
    r1 = best_time(first_reference_assignment(n), min_total=0.5, repeat=3) if have("pyomo") else None
    r2 = best_time(second_reference_assignment(n), min_total=0.5, repeat=3) if have("pulp") else None
    print(f"{ratio(t, r1)} {ratio(t, r2)}  {fmt(t)}  {fmt(r1)}  {fmt(r2)}", flush=True)


# ---------------------------------------------------------------------------------------
# Evaluation of samples: the model written once over a placeholder, its 1,000 samples
# permutation matrices, every other one with one extra entry set (so infeasible).


def assignment_samples(n, count, seed=1):
    import numpy as np

    rng = np.random.default_rng(seed)
    cost = np.add.outer(np.arange(n), np.arange(n)) % 17 + 1.0
    samples = []
    for s in range(count):
        x = np.zeros((n, n))
        x[np.arange(n), rng.permutation(n)] = 1.0
        if s % 2:
            x[rng.integers(n), rng.integers(n)] = 1.0
        samples.append(x)
    return cost, samples


def tarvex_evaluation(cost, samples):
    import tarvex as tx
    from tarvex.instance import Instance

    c = tx.Placeholder("c", ndim=2)
    N = c.len_at(0)
    x = tx.BinaryVar("x", shape=(N, N))
    i, j = tx.Element("i", belong_to=(0, N)), tx.Element("j", belong_to=(0, N))
    p = tx.Problem("assignment")
    p += tx.sum([i, j], c[i, j] * x[i, j])
    p += tx.Constraint("row", tx.sum(j, x[i, j]) == 1, forall=i)
    p += tx.Constraint("col", tx.sum(i, x[i, j]) == 1, forall=j)
    instance = Instance(p, {"c": cost})
    record = tx.Record({"x": samples}, [1] * len(samples))

    def run():
        ev = instance.evaluate(record).evaluation
        return ev.objective, ev.constraint_violations["row"], ev.constraint_violations["col"]

    return run


def numpy_evaluation(cost, samples):
    """The same numbers with NumPy: the objective (also the energy: no penalty), the value of
    both constraints at each forall index of each sample, and their violations."""
    import numpy as np

    def run():
        x = np.stack(samples)
        objective = np.einsum("sij,ij->s", x, cost)
        row, col = x.sum(axis=2) - 1.0, x.sum(axis=1) - 1.0
        return objective, np.abs(row).sum(axis=1), np.abs(col).sum(axis=1)

    return run


def first_reference_evaluation(cost, samples):
    import pyomo.environ as pe

    n = len(cost)
    m = pe.ConcreteModel()
    m.I = pe.RangeSet(0, n - 1)
    m.c = pe.Param(m.I, m.I, initialize=lambda m, i, j: float(cost[i, j]))
    m.x = pe.Var(m.I, m.I, domain=pe.Binary)
    m.obj = pe.Objective(expr=pe.quicksum(m.c[i, j] * m.x[i, j] for i in m.I for j in m.I))
    m.row = pe.Constraint(m.I, rule=lambda m, i: pe.quicksum(m.x[i, j] for j in m.I) == 1)
    m.col = pe.Constraint(m.I, rule=lambda m, j: pe.quicksum(m.x[i, j] for i in m.I) == 1)
    keys = [(i, j) for i in range(n) for j in range(n)]

    def run():
        objective, rows, cols = [], [], []
        for x in samples:
            flat = x.ravel().tolist()
            for key, value in zip(keys, flat):
                m.x[key].set_value(value)
            objective.append(pe.value(m.obj))
            rows.append(sum(abs(pe.value(m.row[i].body) - 1.0) for i in range(n)))
            cols.append(sum(abs(pe.value(m.col[j].body) - 1.0) for j in range(n)))
        return objective, rows, cols

    return run


def evaluate_table(n=100, count=1000):
    import time

    import numpy as np

    cost, samples = assignment_samples(n, count)
    print(f"\n{count} samples of a {n}x{n} assignment model evaluated "
          "(goals: <= 3x NumPy by hand, >= 20x faster than ref1)")
    ours = tarvex_evaluation(cost, samples)
    by_hand = numpy_evaluation(cost, samples)
    results = [ours(), by_hand()]
    t = best_time(ours, min_total=1.0, repeat=3)
    t_np = best_time(by_hand, min_total=1.0, repeat=3)
    t_ref = None
    if have("pyomo"):
        reference = first_reference_evaluation(cost, samples)
        start = time.perf_counter()
        results.append(reference())
        t_ref = time.perf_counter() - start  # one run: it takes many seconds
    for other in results[1:]:  # every baseline computed the same numbers
        for a, b in zip(results[0], other):
            assert np.allclose(a, b), "the evaluations disagree"
    print(f"{'/numpy':>7} {'/ref1':>7}  {'ours':>11}  {'numpy':>11}  {'ref1':>11}  per sample: ours, ref1")
    per = f"{fmt(t / count)}  {fmt(t_ref / count) if t_ref else fmt(None)}"
    print(f"{ratio(t, t_np)} {ratio(t, t_ref)}  {fmt(t)}  {fmt(t_np)}  {fmt(t_ref)}  {per}", flush=True)
    if t_ref:
        print(f"  ours is {t_ref / t:.0f}x faster than ref1 and {t / t_np:.2f}x the time of NumPy by hand")


def main(args):
    if args[:1] == ["--memory"]:
        print(json.dumps(measure_memory(args[1], args[2], int(args[3]))))
        return
    tables = {"ops": ops_table, "sums": sums_table, "memory": memory_table, "model": model_table,
              "evaluate": evaluate_table}
    if not have("pyomo") or not have("pulp"):
        print("(install the bench extra for the reference libraries: pip install pyomo pulp)")
    for name in args or list(tables):
        tables[name]()


if __name__ == "__main__":
    main(sys.argv[1:])
