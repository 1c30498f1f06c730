"""Writes the seed corpus of fuzz_protobuf: one message of every body kind, with every node
kind among them. Run from the repository root with the module installed:
    python tests/fuzz/make_protobuf_corpus.py
"""
import pathlib

import tarvex as tx


def seeds():
    N = tx.Placeholder("N")
    a = tx.Placeholder("a", ndim=2)
    i = tx.Element("i", belong_to=N)
    j = tx.Element("j", belong_to=a[i])
    k = tx.Element("k", belong_to=(1, N))
    x = tx.IntegerVar("x", shape=(N, a.len_at(1)), lower_bound=0, upper_bound=a)
    y = tx.SemiContinuousVar("y", lower_bound=-1.5, upper_bound=N)
    b = tx.BinaryVar("b", shape=(N,))
    cond = (i != 2) & (a[i, 0] >= 1) | (N < 3) ^ (N > 1)
    e = tx.sum((i, cond), tx.sum(j, x[i, j] * a[i, j])) + y ** 2 - tx.min(tx.ceil(N), N % 3, tx.floor(2.5))
    c = tx.Constraint("c", tx.sum(j, x[i, j]) <= a[i, 0], forall=[i])
    t = tx.CustomPenaltyTerm("t", (b[k] - k) ** 2, forall=[(k, k < N)])
    p = tx.Problem("p", sense=tx.ProblemSense.MAXIMIZE)
    p += e
    p += c
    p += t
    p += tx.Constraint("d", tx.max(tx.abs(N), tx.ln(N), tx.log2(N), tx.log10(N)) * b[0] == 1)
    return {"problem": p, "constraint": c, "penalty": t, "expression": e, "condition": cond,
            "product": tx.prod(k, tx.abs(k) / N), "literal": tx.NumberLit(-1)}


def main():
    out = pathlib.Path(__file__).parent / "corpus" / "protobuf"
    out.mkdir(parents=True, exist_ok=True)
    for name, obj in seeds().items():
        (out / f"{name}.bin").write_bytes(tx.to_protobuf(obj))


if __name__ == "__main__":
    main()
