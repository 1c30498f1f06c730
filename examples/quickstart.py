"""A first walk through tarvex: a generalized assignment model, built and shown.

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

# Ill-formed models are refused when they are built, with a precise message.
try:
    tx.Constraint("unbound", x[a, t] <= 1)
except tx.ModelingError as err:
    print("ModelingError:", err)

# Solver results: a record of solutions (here two samples of x, held sparse: the coordinates
# of the ones) with their counts, and their evaluation.
import numpy as np  # noqa: E402

record = tx.Record({"x": [(([0, 1], [1, 0]), [1.0, 1.0], (2, 2)),
                          (([0, 1], [0, 1]), [1.0, 1.0], (2, 2))]}, [3, 1])
print(record)
print("dense first sample:\n", record.to_dense().solution["x"][0])
evaluation = tx.Evaluation(energy=[2.0, 4.5], objective=[2.0, 4.5], constraint_violations={"assign": [0.0, 0.0]},
                           constraint_forall={"assign": [[0], [1]]},
                           constraint_values=[{"assign": [1.0, 1.0]}, {"assign": [1.0, 1.0]}])
print(evaluation)
print("constraint values by forall index:", evaluation.constraint_expr_values)
print(tx.MeasuringTime(solve=tx.SolvingTime(solve=0.012), total=0.02))
print("JSON:", record.to_json())
assert tx.Record.from_json(record.to_json()) == record and np.array_equal(record.to_dense().solution["x"][1], np.eye(2))
