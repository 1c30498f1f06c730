"""The protobuf exchange against the official protobuf package on the same bytes.

to_protobuf (walk, node tables, encoding) against the package serializing the same message
already held in memory; from_protobuf (parsing, id checks, rebuilding the model with its
checks) against the package parsing alone. Cases: a problem with 1,000 constraints and sums of
10^4 and 10^5 terms (the growth between the two shows whether the cost is linear).
"""
import pathlib
import sys

import tarvex as tx

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tests"))
from wire_schema import peer  # noqa: E402


def problem(n):
    N = tx.Placeholder("N")
    a = tx.Placeholder("a", ndim=2)
    b = tx.Placeholder("b", ndim=1)
    x = tx.IntegerVar("x", shape=(n, N), lower_bound=0, upper_bound=10)
    j = tx.Element("j", belong_to=N)
    p = tx.Problem("p")
    p += tx.sum(j, x[0, j])
    for k in range(n):
        p += tx.Constraint(f"c{k:05d}", tx.sum(j, a[k, j] * x[k, j]) <= b[k])
    return p


def big_sum(n):
    x = tx.ContinuousVar("x", shape=(n,), lower_bound=0, upper_bound=1)
    c = tx.Placeholder("c", ndim=1)
    s = 0
    for k in range(n):
        s = s + c[k] * x[k]
    return s


def pair(name, obj):
    buf = tx.to_protobuf(obj)
    msg = peer.Header.FromString(buf)
    yield f"to_protobuf {name}", lambda: tx.to_protobuf(obj), msg.SerializeToString
    yield f"from_protobuf {name}", lambda: tx.from_protobuf(buf), lambda: peer.Header.FromString(buf)


def cases():
    yield from pair("problem 1000 constraints", problem(1000))
    for n in (10**4, 10**5):
        yield from pair(f"sum of {n} terms", big_sum(n))


def summary(results):
    for op in ("to_protobuf", "from_protobuf"):
        small, large = results.get(f"{op} sum of 10000 terms"), results.get(f"{op} sum of 100000 terms")
        if small and large:
            print(f"          {op}: 10^4 -> 10^5 terms took {large[0] / small[0]:.2f}x as long "
                  f"(10.0 is linear)")
