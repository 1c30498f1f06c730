"""Solving locally: a facility location model bound to its data, solved by HiGHS and, as an
assignment without capacities, by simulated annealing; the results as tables.

Needs the solve extra: pip install "tarvex[solve]" (highspy and dwave-samplers).
"""
import numpy as np

import tarvex as tx
from tarvex.instance import Instance

# Facilities j may be opened at a fixed cost; every customer i is served by one open facility.
f = tx.Placeholder("f", ndim=1, description="cost of opening facility j")
c = tx.Placeholder("c", ndim=2, description="cost of serving customer i from facility j")
M, K = f.len_at(0), c.len_at(0)
y = tx.BinaryVar("y", shape=(M,), description="1 when facility j is open")
x = tx.BinaryVar("x", shape=(K, M), description="1 when customer i is served by facility j")
i, j = tx.Element("i", belong_to=(0, K)), tx.Element("j", belong_to=(0, M))

problem = tx.Problem("facility location")
problem += tx.sum(j, f[j] * y[j]) + tx.sum([i, j], c[i, j] * x[i, j])
problem += tx.Constraint("served once", tx.sum(j, x[i, j]) == 1, forall=i)
problem += tx.Constraint("only if open", x[i, j] <= y[j], forall=[i, j])
# Each open facility needs staff: a soft cost, weighted when solving.
problem += tx.CustomPenaltyTerm("open facilities", tx.sum(j, y[j]))

rng = np.random.default_rng(1)
data = {"f": rng.integers(5, 15, size=4), "c": rng.integers(1, 10, size=(6, 4))}
instance = Instance(problem, data)
print(instance)

result = instance.solve("highs", penalty_weight=2.0, time_limit=10)
print("status:", result.metadata["status"], "| bound:", result.metadata["objective_bound"],
      "| gap:", result.metadata["gap"])
print("open:", result.record.solution["y"][0])
print("objective:", result.evaluation.objective[0], "| penalty:", result.evaluation.penalty["open facilities"][0])
print(result.to_pandas().T.to_string(max_colwidth=70))

# The same model as a file that any other solver reads.
import tempfile  # noqa: E402

with tempfile.TemporaryDirectory() as folder:
    instance.write(f"{folder}/facility.mps", penalty_weight=2.0)
    print("MPS lines:", sum(1 for _ in open(f"{folder}/facility.mps")))

# The annealer takes all-binary models with equality constraints only: serve every customer
# from exactly one facility, every facility open (no fixed costs), costs c.
assign = tx.Problem("assign")
z = tx.BinaryVar("x", shape=(K, M))
assign += tx.sum([i, j], c[i, j] * z[i, j])
assign += tx.Constraint("served once", tx.sum(j, z[i, j]) == 1, forall=i)
sampled = Instance(assign, data).solve("anneal", num_reads=100, seed=7, penalty_weight=20)
print("distinct samples:", len(sampled.record.num_occurrences), "of", sum(sampled.record.num_occurrences), "reads")
best = sampled.feasible().lowest()
print("best objective:", best.evaluation.objective[0], "| optimum:", data["c"].min(axis=1).sum())
print(best.to_pandas().to_string())
