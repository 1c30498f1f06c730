"""Construction and repr of leaves against an equivalent small pure-Python class."""
import tarvex as tx


class PyNumberLit:
    __slots__ = ("value",)

    def __init__(self, value):
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            value = int(value) if hasattr(value, "__index__") else float(value)
        self.value = value

    def __repr__(self):
        return f"NumberLit(value={self.value!r})"


class PyPlaceholder:
    __slots__ = ("name", "ndim", "latex", "description")

    def __init__(self, name, *, ndim=0, latex=None, description=None):
        if not isinstance(name, str):
            raise TypeError("argument 'name': expected str")
        self.name, self.ndim, self.latex, self.description = name, int(ndim), latex, description

    def __repr__(self):
        text = f"Placeholder(name='{self.name}', ndim={self.ndim}"
        if self.latex is not None:
            text += f", latex='{self.latex}'"
        if self.description is not None:
            text += f", description='{self.description}'"
        return text + ")"


def cases():
    yield "NumberLit(1) construction", lambda: tx.NumberLit(1), lambda: PyNumberLit(1)
    yield "Placeholder('a') construction", lambda: tx.Placeholder("a"), lambda: PyPlaceholder("a")
    n, pn = tx.NumberLit(1.5), PyNumberLit(1.5)
    yield "repr(NumberLit(1.5))", lambda: repr(n), lambda: repr(pn)
    a, pa = tx.Placeholder("a", ndim=2), PyPlaceholder("a", ndim=2)
    yield "repr(Placeholder('a', ndim=2))", lambda: repr(a), lambda: repr(pa)
