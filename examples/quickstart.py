"""A first walk through tarvex: a generalized assignment model, built, shown and evaluated.

Tasks are assigned to agents. Each task goes to exactly one agent; each agent has a
capacity; assigning a task to an agent has a cost and uses some of the agent's capacity.
"""
import tarvex as tx

print("tarvex", tx.__version__)

# Input data: placeholders whose values come only when the model is solved.
cost = tx.Placeholder("cost", ndim=2, latex="c", description="cost of task t on agent a")
load = tx.Placeholder("load", ndim=2, latex="w", description="capacity task t uses on agent a")
capacity = tx.Placeholder("capacity", ndim=1, latex="C", description="capacity of agent a")
N = cost.len_at(0, latex="N")  # number of agents
M = cost.len_at(1, latex="M")  # number of tasks

# Decision variables and the indices that range over agents and tasks.
x = tx.BinaryVar("x", shape=(N, M), description="1 when task t goes to agent a")
a = tx.Element("a", belong_to=(0, N))
t = tx.Element("t", belong_to=(0, M))

problem = tx.Problem("generalized assignment")
problem += tx.sum([a, t], cost[a, t] * x[a, t])
problem += tx.Constraint("one agent per task", tx.sum(a, x[a, t]) == 1, forall=t)
problem += tx.Constraint("agent capacity", tx.sum(t, load[a, t] * x[a, t]) <= capacity[a], forall=a)

# A penalty for giving an agent a task whose load exceeds half the agent's capacity.
problem += tx.CustomPenaltyTerm(
    "heavy tasks", tx.sum((t, load[a, t] > capacity[a] / 2), x[a, t]), forall=a
)

print("objective:", problem.objective)
for name, constraint in problem.constraints.items():
    print(f"{name}: {constraint}")
for name, penalty in problem.custom_penalty_terms.items():
    print(f"{name}: {penalty}")

print("variables:", ", ".join(str(v) for v in tx.extract_variables(problem)))
print("linear objective:", tx.is_linear(problem.objective))

# Expressions are values: operators build new trees and never change their operands.
s = x[0, 0] + x[0, 1]
print("s =", s, "| 2 * s + 1 has the terms", [str(term) for term in (2 * s + 1).terms])

# Slices sum over a whole axis.
print("x[:, 0].sum() =", x[:, 0].sum())

# Structural comparison and rewriting.
print("is_same(s + 1, 1 + s):", tx.is_same(s + 1, 1 + s))
print(tx.replace(problem.objective, lambda n: tx.Placeholder("price", ndim=2)
                 if isinstance(n, tx.Placeholder) and n.name == "cost" else n))

# Notebooks show the model as LaTeX (problem._repr_latex_()); examples/quickstart.ipynb
# shows it rendered.
print(problem._repr_latex_())

# Models travel as protobuf bytes; what comes back prints the same.
data = tx.to_protobuf(problem)
received = tx.from_protobuf(data)
print(f"sent {len(data)} bytes; received {type(received).__name__} {received.name!r}")
print("same objective:", str(received.objective) == str(problem.objective))
for name, constraint in received.constraints.items():
    print(f"{name}: {constraint}")

# Ill-formed models are refused when they are built, with a precise message.
try:
    tx.Constraint("unbound", x[a, t] <= 1)
except tx.ModelingError as err:
    print("ModelingError:", err)

# The whole road locally: an Instance binds the model to its data, and evaluating hand-made
# solutions on it gives the sample set a solver would return: each sample's objective, the
# value and violation of every constraint at each forall index, and the penalties.
import numpy as np  # noqa: E402
from tarvex.instance import Instance  # noqa: E402

instance = Instance(problem, {
    "cost": [[4.0, 2.0, 5.0], [3.0, 6.0, 1.0]],
    "load": np.array([[2.0, 3.0, 2.0], [2.0, 2.0, 3.0]]),
    "capacity": [5.0, 5.0],
})
print(instance, "with", instance.variables)
# Agent of each task, or -1 for a task left out, in four samples found 3, 1, 2 and 1 times.
samples = [np.eye(2)[:, agents] * (np.array(agents) >= 0) for agents in
           ([1, 0, 1], [0, 0, 1], [0, 0, 0], [-1, 0, 1])]
sample_set = instance.evaluate(tx.Record({"x": samples}, [3, 1, 2, 1]).to_sparse())
print("objective:", sample_set.evaluation.objective, "energy:", sample_set.evaluation.energy)
print("feasible samples:", len(sample_set.feasible().record.num_occurrences), "of", len(samples))
best = sample_set.feasible().lowest()
print(best.record)
print("constraint values by forall index:", best.evaluation.constraint_expr_values)
print(best.to_pandas().to_string())
# Results travel as dicts and JSON text and come back equal.
assert tx.SampleSet.from_json(sample_set.to_json()) == sample_set
