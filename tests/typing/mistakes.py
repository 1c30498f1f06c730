"""Typical mistakes: each line with an E marker comment must be flagged by the type checker."""
import tarvex as tx
from tarvex.instance import Instance

N = tx.Placeholder("N")
x = tx.BinaryVar("x", shape=(N,))
i = tx.Element("i", belong_to=(0, N))

tx.BinaryVar(3)  # E: a name is a string
tx.Placeholder("w", 1)  # E: ndim is keyword-only
tx.IntegerVar("y", shape=(N,))  # E: the bounds are required
tx.IntegerVar("y", 0, 1)  # E: the bounds are keyword-only
flag: bool = x[0] == 1  # E: a comparison builds a condition, not a bool
tx.Constraint("c", x[0] + 1)  # E: a constraint needs a condition
tx.Constraint("c", x[0] < 1)  # E: a constraint's sense is ==, <= or >=
tx.BinaryVar("x", shape=3)  # E: a shape is a sequence
problem = tx.Problem("p")
problem += "x[0]"  # E: only expressions, constraints and penalty terms are added
tx.sum("i", x[i])  # E: a reduction runs over elements
tx.to_protobuf(b"abc")  # E: only models are serialized
x.shape = (N, N)  # E: properties are read-only
count: int = len(tx.extract_variables(problem)[0].name)
tx.SampleSet.from_json({"record": {}})  # E: from_json reads text
tx.Record({"x": [1.0]}, 1)  # E: counts are a list
Instance(problem)  # E: the data are required
Instance(problem, [("N", 3)])  # E: the data are a mapping of names
Instance(problem, {"N": 3}).evaluate([1.0])  # E: a solution is a Record or a dict of arrays
Instance(problem, {"N": 3}).num_variables = 1  # E: properties are read-only
