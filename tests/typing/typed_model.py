"""A model written with full annotations: `mypy --strict` accepts it against the stubs."""
import numpy as np

import tarvex as tx
from tarvex.instance import Instance

cost = tx.Placeholder("cost", ndim=2, latex="c")
N: tx.ArrayLength = cost.len_at(0, latex="N")
M: tx.ArrayLength = cost.len_at(1)
x: tx.BinaryVar = tx.BinaryVar("x", shape=(N, M))
y = tx.IntegerVar("y", shape=(N,), lower_bound=0, upper_bound=cost[0, 0])
a = tx.Element("a", belong_to=(0, N))
t = tx.Element("t", belong_to=(0, M))

entry: tx.Subscript = x[a, t]
column: tx.DummyIndexedVar = x[:, t]
total: tx.SumOp = tx.sum([a, t], cost[a, t] * x[a, t])
column_sum: tx.SumOp = column.sum()
one: tx.EqualOp = tx.sum(a, x[a, t]) == 1
cap: tx.LessThanEqualOp = tx.sum(t, x[a, t]) <= y[a]
both: tx.AndOp = (a != t) & (a < t)
# Arithmetic folds literals, so its result is any expression class; it still compares.
ratio_is_small: tx.LessThanOp = x[0, 0] / 2 + 0 < 1
folded: tx.NumberLit = -(tx.NumberLit(2) * 3 + 1) - tx.NumberLit(0.5)
quadratic: bool = tx.is_quadratic(x[0, 0] ** 2)
smallest: tx.MinOp = tx.min(x[0, 0], y[0], 3)
magnitude: tx.AbsOp = tx.abs(y[0] - 4)

problem = tx.Problem("assignment", sense=tx.ProblemSense.MINIMIZE)
problem += total
problem += tx.Constraint("one agent", one, forall=t)
problem += tx.Constraint("capacity", cap, forall=[a])
problem += tx.CustomPenaltyTerm("spread", tx.sum((t, cost[a, t] > 1), x[a, t]), forall=a)
constraints: dict[str, tx.Constraint] = problem.constraints
sense: tx.ConstraintSense = constraints["capacity"].sense
names: list[str] = [str(v) for v in tx.extract_variables(problem)]
linear: bool = tx.is_linear(problem.objective)
same: bool = tx.is_same(x[0, 0] + 1, 1 + x[0, 0])
data: bytes = tx.to_protobuf(problem)
back = tx.from_protobuf(data)
latex: str = problem._repr_latex_()
renamed = tx.replace(total, lambda node: node)
subs: list[tx.Subscript] = tx.extract_nodes(problem.objective, tx.Subscript)

record = tx.Record({"x": [np.zeros(4)]}, [1])
evaluation = tx.Evaluation(energy=[0.0], objective=[0.0], constraint_violations={"c": [0.0]})
sample_set = tx.SampleSet(record, evaluation, tx.MeasuringTime(total=0.1), {"k": 1})
best: tx.SampleSet = sample_set.feasible().lowest()
occurrences: list[int] = best.record.num_occurrences
as_json: str = tx.concatenate([sample_set, best]).to_json()
again: tx.SampleSet = tx.SampleSet.from_json(as_json)

instance = Instance(problem, {"cost": np.ones((2, 3)), "capacity": [5.0, 5.0]})
shapes: dict[str, tuple[int, ...]] = instance.variables
entries: int = instance.num_variables
evaluated: tx.SampleSet = instance.evaluate({"x": np.zeros((2, 3)), "y": np.zeros(2)})
lowest: tx.SampleSet = instance.evaluate(record.to_sparse()).feasible().lowest()
