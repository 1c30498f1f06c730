"""A first walk through tarvex: placeholders and number literals."""
import tarvex as tx

print("tarvex", tx.__version__)

N = tx.Placeholder("N", description="number of items")
w = tx.Placeholder("w", ndim=1, latex=r"w", description="weights")
print(repr(N))
print(repr(w))
print(tx.NumberLit(3.0), repr(tx.NumberLit(2**70)), tx.NumberLit(True).dtype)
