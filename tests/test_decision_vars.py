import pytest

import tarvex as tx

BOUNDED = [
    (tx.IntegerVar, "Integer", "an integer", "an integer"),
    (tx.ContinuousVar, "Continuous", "a continuous", "a continuous"),
    (tx.SemiIntegerVar, "SemiInteger", "a semi-integer", "a semi-integer integer"),
    (tx.SemiContinuousVar, "SemiContinuous", "a semi-continuous", "a semi-continuous"),
]
ALL_KINDS = [(tx.BinaryVar, "Binary")] + [(cls, word) for cls, word, _, _ in BOUNDED]


def make(cls, name, **kwargs):
    """Builds a variable of any kind; bounds default to 0 and 1 for the bounded kinds."""
    if cls is not tx.BinaryVar:
        kwargs.setdefault("lower_bound", 0)
        kwargs.setdefault("upper_bound", 1)
    return cls(name, **kwargs)


N = tx.Placeholder("N")
P_N = "Placeholder(name='N', ndim=0)"


# ---------------------------------------------------------------- construction


def test_binary_scalar():
    x = tx.BinaryVar("x")
    assert (x.name, x.description, x.ndim, x.shape) == ("x", None, 0, ())
    assert (str(x), repr(x)) == ("x", "BinaryVar(name='x', shape=[])")
    assert not hasattr(x, "lower_bound") and not hasattr(x, "upper_bound")


@pytest.mark.parametrize("cls, word, _l, _u", BOUNDED)
def test_bounded_scalar_with_literal_bounds(cls, word, _l, _u):
    z = cls(name="z", lower_bound=-1, upper_bound=2.5)
    assert (z.name, z.ndim, z.shape, z.description) == ("z", 0, (), None)
    assert type(z.lower_bound) is tx.NumberLit and z.lower_bound.value == -1
    assert type(z.upper_bound.value) is float and z.upper_bound.value == 2.5
    assert str(z) == "z"
    assert repr(z) == (
        f"{word}Var(name='z', shape=[], lower_bound=NumberLit(value=-1), "
        "upper_bound=NumberLit(value=2.5))"
    )


@pytest.mark.parametrize(
    "shape, classes, text",
    [
        (None, (), ""),
        ([], (), ""),
        ((), (), ""),
        ([2, 2], (tx.NumberLit, tx.NumberLit), "NumberLit(value=2), NumberLit(value=2)"),
        ((N,), (tx.Placeholder,), P_N),
        ([N, 2.5, True], (tx.Placeholder, tx.NumberLit, tx.NumberLit),
         f"{P_N}, NumberLit(value=2.5), NumberLit(value=1)"),
        ([N - 1], (tx.AddOp,), f"{P_N} + NumberLit(value=-1)"),
        ([tx.Placeholder("a", ndim=1).len_at(0)], (tx.ArrayLength,),
         "ArrayLength(array=Placeholder(name='a', ndim=1), axis=0)"),
    ],
)
@pytest.mark.parametrize("cls, word", ALL_KINDS)
def test_shapes(cls, word, shape, classes, text):
    v = make(cls, "v", shape=shape)
    assert v.ndim == len(classes)
    assert tuple(type(s) for s in v.shape) == classes
    assert repr(v).startswith(f"{word}Var(name='v', shape=[{text}]")


def test_bounded_shape_and_array_bounds():
    x = tx.IntegerVar("x", shape=[2, 2], lower_bound=0, upper_bound=2)
    assert x.ndim == 2 and [s.value for s in x.shape] == [2, 2]
    u = tx.Placeholder("u", ndim=1)
    y = tx.IntegerVar("y", shape=(N,), lower_bound=0, upper_bound=u)
    assert type(y.upper_bound) is tx.Placeholder and y.upper_bound.ndim == 1
    assert repr(y) == (
        f"IntegerVar(name='y', shape=[{P_N}], lower_bound=NumberLit(value=0), "
        "upper_bound=Placeholder(name='u', ndim=1))"
    )
    u2 = tx.Placeholder("u", ndim=2)
    z = tx.ContinuousVar("z", shape=(N,), lower_bound=u2[0], upper_bound=N)
    assert type(z.lower_bound) is tx.Subscript and z.lower_bound.ndim == 1
    assert type(z.upper_bound) is tx.Placeholder and z.upper_bound.ndim == 0
    assert repr(z) == (
        "ContinuousVar(name='z', shape=[" + P_N + "], "
        "lower_bound=Placeholder(name='u', ndim=2)[NumberLit(value=0)], upper_bound=" + P_N + ")"
    )
    # A scalar subscript or scalar expression is a bound of the expression kind.
    w = tx.SemiIntegerVar("w", lower_bound=u[0], upper_bound=N * 2)
    assert type(w.lower_bound) is tx.Subscript and type(w.upper_bound) is tx.MulOp


@pytest.mark.parametrize("cls, word", ALL_KINDS)
def test_latex_and_description(cls, word):
    v = make(cls, "v", latex="V", description="a var")
    assert v.description == "a var"
    assert repr(v).endswith(", latex='V', description='a var')")
    v.set_latex(None)
    assert repr(v).endswith(", description='a var')") and "latex=" not in repr(v)
    v.set_latex("W")
    assert repr(v).endswith(", latex='W', description='a var')")
    for attr in ("name", "description", "ndim", "shape"):
        with pytest.raises(AttributeError):
            setattr(v, attr, None)


def test_getters_return_copies():
    m = tx.Placeholder("M")
    v = tx.IntegerVar("v", shape=[m], lower_bound=m, upper_bound=m)
    before = repr(v)
    v.shape[0].set_latex("S")
    v.lower_bound.set_latex("L")
    m.set_latex("late")
    assert repr(v) == before
    assert "latex" not in repr(v.shape[0])


# ---------------------------------------------------------------- failures


@pytest.mark.parametrize("cls, word", ALL_KINDS)
@pytest.mark.parametrize(
    "kwargs, exc, match",
    [
        ({"name": 1}, TypeError, r"^argument 'name': "),
        ({"shape": "ab"}, TypeError, r"^argument 'shape': Can't extract `str` to `Vec`$"),
        ({"shape": 3}, TypeError, r"^argument 'shape': "),
        ({"shape": ["a"]}, TypeError, r"^argument 'shape': "),
        ({"shape": [None]}, TypeError, r"^argument 'shape': "),
        ({"latex": 1}, TypeError, r"^argument 'latex': "),
        ({"description": b"d"}, TypeError, r"^argument 'description': "),
        (
            {"shape": [tx.Placeholder("a", ndim=1)]},
            tx.ModelingError,
            r"^the dimensionality of the Placeholder \{ name: a \} must be zero, but is actually 1$",
        ),
        (
            {"shape": [tx.BinaryVar("y", shape=[3])]},
            tx.ModelingError,
            r"^the dimensionality of the BinaryVar \{ name: y \} must be zero, but is actually 1$",
        ),
        # Argument-type failures come in argument order.
        ({"name": 1, "shape": "ab", "latex": 1}, TypeError, r"^argument 'name': "),
        ({"shape": "ab", "latex": 1}, TypeError, r"^argument 'shape': "),
    ],
)
def test_construction_errors(cls, word, kwargs, exc, match):
    kwargs = dict(kwargs)
    name = kwargs.pop("name", "x")
    with pytest.raises(exc, match=match):
        make(cls, name, **kwargs)


@pytest.mark.parametrize("cls, word", ALL_KINDS)
def test_keyword_only_and_binding(cls, word):
    args = {} if cls is tx.BinaryVar else {"lower_bound": 0, "upper_bound": 1}
    with pytest.raises(TypeError):
        cls("x", [2], **args)
    with pytest.raises(TypeError):
        cls()
    if cls is tx.BinaryVar:
        with pytest.raises(TypeError):
            tx.BinaryVar("x", lower_bound=0)
    else:
        with pytest.raises(TypeError, match="upper_bound"):
            cls("x", lower_bound=0)
        with pytest.raises(TypeError, match="lower_bound"):
            cls("x", upper_bound=0)


X2 = tx.BinaryVar("x", shape=[2, 3])
E2 = tx.Element("e", tx.Placeholder("E", ndim=3))
NOT_A_BOUND = "the input object is not used as the bound of a decision variable"
ONLY_PLACEHOLDER = "only a subscripted placeholder can be used as the bound of a decision variable"


@pytest.mark.parametrize("cls, word, _l, _u", BOUNDED)
@pytest.mark.parametrize(
    "lower, upper, message",
    [
        (X2[0], 1, ONLY_PLACEHOLDER),
        (0, E2[0], ONLY_PLACEHOLDER),
        ("s", 1, NOT_A_BOUND),
        (0, None, NOT_A_BOUND),
        (0, [1, 2], NOT_A_BOUND),
        (0, X2, NOT_A_BOUND),
        (0, E2, NOT_A_BOUND),
        (tx.Element("i", 3).belong_to, 1, NOT_A_BOUND),
        (0, X2[:, 0], NOT_A_BOUND),
        # The lower bound is converted first.
        ("s", X2[0], NOT_A_BOUND),
        (X2[0], "s", ONLY_PLACEHOLDER),
    ],
)
def test_bound_conversion_errors(cls, word, _l, _u, lower, upper, message):
    with pytest.raises(tx.ModelingError) as info:
        cls("x", shape=[2], lower_bound=lower, upper_bound=upper)
    assert str(info.value) == message


U1 = tx.Placeholder("u", ndim=1)
U2 = tx.Placeholder("u", ndim=2)
U3 = tx.Placeholder("u", ndim=3)


@pytest.mark.parametrize("cls, word, lower_words, upper_words", BOUNDED)
@pytest.mark.parametrize(
    "shape, lower, upper, which, bound_ndim, var_ndim",
    [
        ([N], 0, U2, "upper", 2, 1),
        ([N], U2, 0, "lower", 2, 1),
        ([N], U2, U3, "lower", 2, 1),
        ([], U1, 1, "lower", 1, 0),
        ([2, 2], 0, U3[0, 0], "upper", 1, 2),
        ([2], U3[0], U1, "lower", 2, 1),
    ],
)
def test_bound_dimension_mismatch(
    cls, word, lower_words, upper_words, shape, lower, upper, which, bound_ndim, var_ndim
):
    words = lower_words if which == "lower" else upper_words
    expected = (
        f"the number of dimensions of a {which} bound (= {bound_ndim}) must be equal to zero "
        f"or the number of {words} variable (= {var_ndim})"
    )
    with pytest.raises(tx.ModelingError) as info:
        cls("x", shape=shape, lower_bound=lower, upper_bound=upper)
    assert str(info.value) == expected


@pytest.mark.parametrize("cls, word, _l, _u", BOUNDED)
def test_check_order(cls, word, _l, _u):
    # Bounds are converted before latex/description are extracted ...
    with pytest.raises(tx.ModelingError, match=NOT_A_BOUND):
        cls("x", lower_bound="s", upper_bound=0, latex=1)
    # ... which come before the dimension check.
    with pytest.raises(TypeError, match=r"^argument 'description': "):
        cls("x", lower_bound=U2, upper_bound=0, description=1)
    # The shape is extracted before the bounds.
    with pytest.raises(TypeError, match=r"^argument 'shape': "):
        cls("x", shape="ab", lower_bound="s", upper_bound="s")


@pytest.mark.parametrize("cls, word, _l, _u", BOUNDED)
@pytest.mark.parametrize("bound", [U1, U2[0]])
def test_matching_array_bounds_accepted(cls, word, _l, _u, bound):
    v = cls("x", shape=[N], lower_bound=bound, upper_bound=bound)
    assert v.ndim == 1 and type(v.lower_bound) is type(bound)
    assert repr(v.upper_bound) == repr(bound)
