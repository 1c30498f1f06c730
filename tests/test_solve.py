"""Instance.solve and Instance.write at the Python surface: small models whose optimum is found
independently here (brute force over every assignment, or the written file read back by
highspy), refusals, statuses and the annealer's samples."""
import itertools
import pathlib
import re
import subprocess
import sys

import numpy as np
import pytest

import tarvex as tx
from conftest import problem
from tarvex.instance import Instance

highspy = pytest.importorskip("highspy")
pytest.importorskip("dwave.samplers")
MAX = tx.ProblemSense.MAXIMIZE


def knapsack(least=0):
    v, w, W = tx.Placeholder("v", ndim=1), tx.Placeholder("w", ndim=1), tx.Placeholder("W")
    x = tx.BinaryVar("x", shape=(v.len_at(0),))
    i = tx.Element("i", belong_to=(0, v.len_at(0)))
    p = problem("knapsack", tx.sum(i, v[i] * x[i]), tx.Constraint("capacity", tx.sum(i, w[i] * x[i]) <= W),
                tx.Constraint("least", tx.sum(i, x[i]) >= least),
                tx.CustomPenaltyTerm("few items", tx.sum(i, x[i])), sense=MAX)
    data = {"v": [10, 13, 7, 8, 4, 9, 6, 11], "w": [5, 6, 3, 4, 2, 5, 3, 6], "W": 17}
    return Instance(p, data), data


def assignment():
    c = tx.Placeholder("c", ndim=2)
    n = c.len_at(0)
    x = tx.BinaryVar("x", shape=(n, n))
    i, j = tx.Element("i", belong_to=(0, n)), tx.Element("j", belong_to=(0, n))
    p = problem("assignment", tx.sum([i, j], c[i, j] * x[i, j]),
                tx.Constraint("row", tx.sum(j, x[i, j]) == 1, forall=i),
                tx.Constraint("column", tx.sum(i, x[i, j]) == 1, forall=j))
    data = {"c": [[9, 2, 7, 8], [6, 4, 3, 7], [5, 8, 1, 8], [7, 6, 9, 4]]}
    return Instance(p, data), data


def facility():
    f, c = tx.Placeholder("f", ndim=1), tx.Placeholder("c", ndim=2)
    m, k = f.len_at(0), c.len_at(0)
    y, x = tx.BinaryVar("y", shape=(m,)), tx.BinaryVar("x", shape=(k, m))
    i, j = tx.Element("i", belong_to=(0, k)), tx.Element("j", belong_to=(0, m))
    p = problem("facility", tx.sum(j, f[j] * y[j]) + tx.sum([i, j], c[i, j] * x[i, j]),
                tx.Constraint("serve", tx.sum(j, x[i, j]) == 1, forall=i),
                tx.Constraint("open", x[i, j] - y[j] <= 0, forall=[i, j]),
                tx.CustomPenaltyTerm("opened", tx.sum(j, y[j])))
    data = {"f": [8, 6, 9, 5], "c": [[2, 7, 4, 9], [6, 3, 8, 5], [5, 8, 2, 7], [9, 4, 6, 3], [3, 6, 5, 8]]}
    return Instance(p, data), data


def units(kind):
    c, D = tx.Placeholder("c", ndim=1), tx.Placeholder("D")
    y = kind("y", shape=(c.len_at(0),), lower_bound=4, upper_bound=10)
    g = tx.Element("g", belong_to=(0, c.len_at(0)))
    p = problem("units", tx.sum(g, c[g] * y[g]), tx.Constraint("demand", tx.sum(g, y[g]) >= D))
    data = {"c": [1, 2, 3], "D": 13.5}
    return Instance(p, data), data


def tsp():
    d, S = tx.Placeholder("d", ndim=2), tx.Placeholder("S", ndim=2)
    n = d.len_at(0)
    x = tx.BinaryVar("x", shape=(n, n))
    i, j = tx.Element("i", belong_to=(0, n)), tx.Element("j", belong_to=(0, n))
    s = tx.Element("s", belong_to=(0, S.len_at(0)))
    a, b = tx.Element("a", belong_to=S[s]), tx.Element("b", belong_to=S[s])
    p = problem("tsp", tx.sum([i, j], d[i, j] * x[i, j]),
                tx.Constraint("leave", tx.sum(j, x[i, j]) == 1, forall=i),
                tx.Constraint("enter", tx.sum(i, x[i, j]) == 1, forall=j),
                tx.Constraint("no loop", x[i, i] == 0, forall=i),
                tx.Constraint("subtour", tx.sum([a, b], x[a, b]) <= S[s].len_at(0) - 1, forall=s))
    subsets = [list(q) for r in (2, 3, 4) for q in itertools.combinations(range(5), r)]
    data = {"d": [[0, 3, 9, 5, 7], [3, 0, 4, 8, 6], [9, 4, 0, 2, 7], [5, 8, 2, 0, 3], [7, 6, 7, 3, 0]], "S": subsets}
    return Instance(p, data), data


def maxcut():
    E, w = tx.Placeholder("E", ndim=2), tx.Placeholder("w", ndim=1)
    x = tx.BinaryVar("x", shape=(7,))
    e = tx.Element("e", belong_to=(0, E.len_at(0)))
    u, v = x[E[e, 0]], x[E[e, 1]]
    p = problem("maxcut", tx.sum(e, w[e] * (u + v - 2 * u * v)), sense=MAX)
    data = {"E": [[0, 1], [0, 2], [1, 2], [1, 3], [2, 4], [3, 4], [3, 5], [4, 6], [5, 6], [0, 6]],
            "w": [3, 1, 2, 4, 2, 1, 3, 2, 5, 1]}
    return Instance(p, data), data


# Optima by brute force over every assignment: the objective plus the penalty terms times w,
# as a cost under the sense.
def knapsack_best(data, w):
    v, wt = np.array(data["v"]), np.array(data["w"])
    return max(v @ x - w * sum(x) for x in itertools.product((0, 1), repeat=8) if wt @ x <= data["W"])


def assignment_best(data, w):
    return min(sum(data["c"][r][q] for r, q in enumerate(perm)) for perm in itertools.permutations(range(4)))


def facility_best(data, w):
    f, c = np.array(data["f"]), np.array(data["c"])
    return min(f[list(S)].sum() + w * len(S) + c[:, list(S)].min(axis=1).sum()
               for r in range(1, 5) for S in itertools.combinations(range(4), r))


def units_best(step):
    def best(data, w):  # levels on a grid that holds every vertex of this data
        levels = [0.0] + list(np.arange(4.0, 10.0 + step / 2, step))
        return min(np.dot(data["c"], y) for y in itertools.product(levels, repeat=3) if sum(y) >= data["D"])
    return best


def tsp_best(data, w):
    d = data["d"]
    return min(sum(d[a][b] for a, b in zip((0, *p), (*p, 0))) for p in itertools.permutations(range(1, 5)))


def maxcut_best(data, w):
    return max(sum(wt * (x[a] != x[b]) for (a, b), wt in zip(data["E"], data["w"]))
               for x in itertools.product((0, 1), repeat=7))


ANNEAL = {"num_reads": 60, "seed": 11}
OPTIMA = [
    ("knapsack", knapsack, "highs", {"penalty_weight": 0}, knapsack_best),
    ("knapsack, penalty", knapsack, "highs", {"penalty_weight": 2.5}, knapsack_best),
    ("assignment", assignment, "highs", {}, assignment_best),
    ("assignment, annealed", assignment, "anneal", {**ANNEAL, "penalty_weight": 20}, assignment_best),
    ("facility location", facility, "highs", {"penalty_weight": 0}, facility_best),
    ("facility location, penalty", facility, "highs", {"penalty_weight": 3}, facility_best),
    ("semi-continuous", lambda: units(tx.SemiContinuousVar), "highs", {}, units_best(0.5)),
    ("semi-integer", lambda: units(tx.SemiIntegerVar), "highs", {}, units_best(1.0)),
    ("tsp with subtour constraints", tsp, "highs", {}, tsp_best),
    ("max-cut QUBO, annealed", maxcut, "anneal", ANNEAL, maxcut_best),
]


@pytest.mark.parametrize("build, solver, options, brute_force", [c[1:] for c in OPTIMA], ids=[c[0] for c in OPTIMA])
def test_known_optimum(build, solver, options, brute_force):
    instance, data = build()
    w = options.get("penalty_weight", 1.0)
    ss = instance.solve(solver, **options)
    assert ss.is_dense() and ss.metadata["solver"] == solver
    feasible = ss.feasible().evaluation
    penalty = sum(feasible.penalty.values(), np.zeros(len(feasible.objective)))
    expected = brute_force(data, w)
    if instance.problem.sense == MAX:
        assert (feasible.objective - w * penalty).max() == pytest.approx(expected)
    else:
        assert (feasible.objective + w * penalty).min() == pytest.approx(expected)
        if w == 0 or not feasible.penalty:
            assert ss.feasible().lowest().evaluation.objective[0] == pytest.approx(expected)


def test_annealer_merges_identical_samples_and_repeats_a_seed():
    ss = maxcut()[0].solve("anneal", num_reads=50, seed=3)
    counts = ss.record.num_occurrences
    assert sum(counts) == 50 and len({tuple(a) for a in ss.record.solution["x"]}) == len(counts)
    assert (ss.metadata["status"], ss.metadata["num_reads"]) == ("completed", 50)
    instance, _ = assignment()
    a, b, c = (instance.solve("anneal", num_reads=20, seed=s, penalty_weight=20) for s in (5, 5, 6))
    assert a.record == b.record and a.evaluation == b.evaluation and a.record != c.record


@pytest.mark.parametrize("least, status, k", [(9, "Infeasible", 0), (0, "Optimal", 1)])
def test_infeasible_gives_no_samples_and_the_status(least, status, k):
    ss = knapsack(least)[0].solve("highs")
    assert (ss.metadata["solver"], ss.metadata["status"], len(ss.record.num_occurrences)) == ("highs", status, k)
    assert ss.measuring_time.solve.solve > 0


@pytest.mark.parametrize("suffix", [".lp", ".mps"])
def test_written_model_read_back_has_the_same_optimum(tmp_path, suffix):
    instance, _ = facility()
    path = tmp_path / f"facility{suffix}"
    instance.write(path, penalty_weight=3.0)
    h = highspy.Highs()
    h.setOptionValue("output_flag", False)
    assert h.readModel(str(path)) == highspy.HighsStatus.kOk and h.run() == highspy.HighsStatus.kOk
    ss = instance.solve("highs", penalty_weight=3.0)
    assert h.getInfo().objective_function_value == pytest.approx(ss.metadata["objective_value"])


def with_part(part):
    """x + y over two continuous variables in [0, 1], with `part(x, y)` added."""
    x, y = (tx.ContinuousVar(n, lower_bound=0, upper_bound=1) for n in "xy")
    return lambda: (Instance(problem("p", x + y, part(x, y)), {}), None)


def test_compiled_rows_and_columns():
    c, x = tx.Placeholder("c", ndim=2), tx.BinaryVar("x", shape=(3, 3))
    i, j = tx.Element("i", belong_to=3), tx.Element("j", belong_to=3)
    p = problem("assignment", tx.sum([i, j], c[i, j] * x[i, j]),
                tx.Constraint("row", tx.sum(j, x[i, j]) == 1, forall=i),
                tx.Constraint("col", tx.sum(i, x[i, j]) <= 1, forall=j))
    m = Instance(p, {"c": np.arange(1.0, 10.0).reshape(3, 3)})._compile()
    assert m["variables"] == [("x", "binary", (3, 3), 0)]
    assert m["objective"]["linear_value"].tolist() == list(range(1, 10))
    assert m["constraint_names"] == ["col", "row"] and m["constraint_senses"] == ["<=", "=="]
    assert m["row_start"].tolist() == [0, 3, 6, 9, 12, 15, 18]
    assert m["row_column"][:6].tolist() == [0, 3, 6, 1, 4, 7]
    assert m["row_lower"].tolist() == [-np.inf] * 3 + [1.0] * 3
    assert m["row_upper"].tolist() == [1.0] * 6


REFUSALS = [
    ("quadratic constraint", with_part(lambda x, y: tx.Constraint("q", x * y <= 1)), lambda i, _: i.solve(),
     ValueError, r"constraint 'q' is quadratic \(degree 2\)"),
    ("degree 3", with_part(lambda x, y: x * y * x), lambda i, _: i.solve(), ValueError,
     "objective: a product of degree above 2"),
    ("fractional power", with_part(lambda x, y: tx.CustomPenaltyTerm("pen", x ** 1.5)), lambda i, _: i.solve("anneal"),
     ValueError, "penalty term 'pen': a power of a decision variable with an exponent other than 1 or 2"),
    ("quadratic with binaries", maxcut, lambda i, _: i.solve("highs"), ValueError,
     "HiGHS takes a quadratic objective .* only when every variable is continuous: 'x' is binary"),
    ("inequality", knapsack, lambda i, _: i.solve("anneal"), ValueError,
     r"the annealer takes equality constraints only \(each becomes a squared penalty\): 'capacity' is <="),
    ("non-binary", lambda: units(tx.SemiContinuousVar), lambda i, _: i.solve("anneal"), ValueError,
     "the annealer takes binary variables only: 'y' is semi_continuous"),
    ("solver name", knapsack, lambda i, _: i.solve("simplex"), ValueError,
     "unknown solver 'simplex': choose 'highs' or 'anneal'"),
    ("weight", knapsack, lambda i, _: i.solve(penalty_weight=-1), ValueError,
     "penalty_weight must be finite and non-negative, not -1"),
    ("time limit", knapsack, lambda i, _: i.solve(time_limit=0), ValueError, "time_limit must be positive, not 0"),
    ("time limit type", knapsack, lambda i, _: i.solve(time_limit="1s"), TypeError,
     "time_limit must be a number of seconds or None, not str"),
    ("option", knapsack, lambda i, _: i.solve(presolv="off"), ValueError, "HiGHS has no option 'presolv'"),
    ("suffix", knapsack, lambda i, tmp: i.write(tmp / "model.txt"), ValueError,
     "write: the file name must end in .mps or .lp"),
]


@pytest.mark.parametrize("build, call, error, message", [r[1:] for r in REFUSALS], ids=[r[0] for r in REFUSALS])
def test_refusals(tmp_path, build, call, error, message):
    instance, _ = build()
    with pytest.raises(error, match=message):
        call(instance, tmp_path)


def test_example_script_solves_its_models():
    script = pathlib.Path(__file__).resolve().parents[1] / "examples" / "solve.py"
    out = subprocess.run([sys.executable, str(script)], capture_output=True, text=True, check=True).stdout
    assert "status: Optimal" in out
    best, optimum = re.search(r"best objective: (\S+) \| optimum: (\S+)", out).groups()
    assert float(best) == float(optimum)
