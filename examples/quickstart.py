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

# Solver results. For the data below a solver returns samples of x with how often it found
# each; their evaluation against the model (objective, violation of each constraint per
# forall index, penalties) comes with them. Here we compute it with NumPy, as a solver would.
import numpy as np  # noqa: E402

cost_data = np.array([[4.0, 2.0, 5.0], [3.0, 6.0, 1.0]])
load_data = np.array([[2.0, 3.0, 2.0], [2.0, 2.0, 3.0]])
capacity_data = np.array([5.0, 5.0])
# Agent of each task, or -1 for a task left out, in four samples found 3, 1, 2 and 1 times.
samples = [np.eye(2)[:, agents] * (np.array(agents) >= 0) for agents in
           ([1, 0, 1], [0, 0, 1], [0, 0, 0], [-1, 0, 1])]
per_task = [np.abs(xs.sum(axis=0) - 1) for xs in samples]
per_agent = [np.maximum((load_data * xs).sum(axis=1) - capacity_data, 0) for xs in samples]
heavy = [float(((load_data > capacity_data[:, None] / 2) * xs).sum()) for xs in samples]
objective = [float((cost_data * xs).sum()) for xs in samples]
sample_set = tx.SampleSet(
    tx.Record({"x": samples}, [3, 1, 2, 1]).to_sparse(),
    tx.Evaluation(
        energy=[o + 10 * (v.sum() + w.sum()) for o, v, w in zip(objective, per_task, per_agent)],
        objective=objective,
        constraint_violations={"one agent per task": [v.sum() for v in per_task],
                               "agent capacity": [w.sum() for w in per_agent]},
        constraint_forall={"one agent per task": [[0], [1], [2]], "agent capacity": [[0], [1]]},
        constraint_values=[{"one agent per task": xs.sum(axis=0), "agent capacity": (load_data * xs).sum(axis=1)}
                           for xs in samples],
        penalty={"heavy tasks": heavy}),
    tx.MeasuringTime(solve=tx.SolvingTime(solve=0.012), total=0.02),
    {"solver": "exhaustive"})
print("feasible samples:", len(sample_set.feasible().record.num_occurrences), "of", len(samples))
best = sample_set.lowest()
print(best.record)
print("constraint values by forall index:", best.evaluation.constraint_expr_values)
print(best.to_pandas().to_string())
# Results travel as dicts and JSON text and come back equal.
assert tx.SampleSet.from_json(sample_set.to_json()) == sample_set
