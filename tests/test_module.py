import inspect
import operator

import pytest

import tarvex as tx

EXCEPTIONS = ["ModelingError", "ProtobufSerializationError", "ProtobufDeserializationError"]

# Module functions and classes, in registration order, with their text signature
# (None for classes that cannot be constructed from Python).
FUNCTIONS = {
    **dict.fromkeys(["is_linear", "is_quadratic", "is_higher_order", "is_dynamic_degree"], "(expr)"),
    "extract_nodes": "(obj, class_or_tuple)",
    "extract_variables": "(obj)",
    "is_same": "(src, dst)",
    **dict.fromkeys(["abs", "ceil", "floor", "log2", "log10", "ln"], "(operand)"),
    **dict.fromkeys(["min", "max"], "(*operands)"),
    **dict.fromkeys(["sum", "prod"], "(index, operand)"),
    "to_protobuf": "(obj)",
    "from_protobuf": "(buf)",
    "replace": "(expr, replacer)",
    "concatenate": "(sample_sets)",
}
_BOUNDED = "(name, *, shape=None, lower_bound, upper_bound, latex=None, description=None)"
CLASSES = {
    "DataType": None,
    "NumberLit": "(value)",
    "Placeholder": "(name, *, ndim=0, latex=None, description=None)",
    "Range": None,
    "Element": "(name, belong_to, *, latex=None, description=None)",
    "Subscript": None,
    "ArrayLength": "(array, axis, *, latex=None, description=None)",
    "DummyIndexedVar": None,
    "BinaryVar": "(name, *, shape=None, latex=None, description=None)",
    **dict.fromkeys(["IntegerVar", "ContinuousVar", "SemiIntegerVar", "SemiContinuousVar"], _BOUNDED),
    **dict.fromkeys(
        ["AbsOp", "CeilOp", "FloorOp", "Log2Op", "Log10Op", "LnOp", "AddOp", "MulOp", "ModOp", "MinOp",
         "MaxOp", "PowOp", "SumOp", "ProdOp", "AndOp", "OrOp", "XorOp", "EqualOp", "NotEqualOp",
         "LessThanOp", "LessThanEqualOp", "GreaterThanOp", "GreaterThanEqualOp"]),
    "Problem": "(name, *, sense=...)",
    "ProblemSense": None,
    "Constraint": "(name, expression, *, forall=None)",
    "ConstraintSense": None,
    "CustomPenaltyTerm": "(name, expression, *, forall=None)",
    "Evaluation": "(energy=None, objective=None, constraint_violations=None, "
    "constraint_forall=None, constraint_values=None, penalty=None)",
    "Record": "(solution, num_occurrences)",
    "SolvingTime": "(preprocess=None, solve=None, postprocess=None)",
    "SystemTime": "(post_problem_and_instance_data=None, request_queue=None, "
    "fetch_problem_and_instance_data=None, fetch_result=None, deserialize_solution=None)",
    "MeasuringTime": "(solve=None, system=None, total=None)",
    "SampleSet": "(record, evaluation, measuring_time, metadata=None)",
}
ALL_NAMES = ["__version__", *EXCEPTIONS, *FUNCTIONS, *CLASSES]


def _present(names):
    return [name for name in names if hasattr(tx, name)]


def test_version_and_all():
    assert len(ALL_NAMES) == 72
    assert tx.__version__ == "1.0.0-rc6"
    # The registered names, in registration order; parts not built yet are absent.
    assert tx.__all__ == _present(ALL_NAMES)
    assert tx.__all__[:4] == ["__version__", *EXCEPTIONS] and "CustomPenaltyTerm" in tx.__all__


@pytest.mark.parametrize("name", EXCEPTIONS)
def test_exception_types(name):
    exc = getattr(tx, name)
    assert (exc.__bases__, exc.__module__, exc.__name__, exc.__doc__) == ((Exception,), "tarvex", name, None)
    assert exc("some message").args == ("some message",)


@pytest.mark.parametrize("name", _present([*FUNCTIONS, *CLASSES]))
def test_registered_object(name):
    """Its names, its text signature, or for a class without one, no constructor."""
    obj, signature = getattr(tx, name), {**FUNCTIONS, **CLASSES}[name]
    assert obj.__module__ == "tarvex" and obj.__name__ == obj.__qualname__ == name
    assert name not in CLASSES or (isinstance(obj, type) and obj.__doc__)
    if signature is None:
        with pytest.raises(TypeError, match=r"^No constructor defined$"):
            obj()
    else:
        assert obj.__text_signature__ == signature
        assert str(inspect.signature(obj)) == signature.replace("...", "Ellipsis")


# Each enumeration with its member names in value order.
ENUMS = [(tx.DataType, ["FLOAT", "INTEGER"]), (tx.ProblemSense, ["MINIMIZE", "MAXIMIZE"]),
         (tx.ConstraintSense, ["EQUAL", "LESS_THAN_EQUAL", "GREATER_THAN_EQUAL"])]


@pytest.mark.parametrize("enum, names", ENUMS, ids=[e.__name__ for e, _ in ENUMS])
def test_enum_members(enum, names):
    """A member equals its value from either side and itself only, shows its name, has no order."""
    members = [getattr(enum, n) for n in names]
    values = range(len(names) + 1)
    for value, (name, member) in enumerate(zip(names, members)):
        assert repr(member) == str(member) == f"{enum.__name__}.{name}"
        assert int(member) == value and value == member
        assert [member == k for k in values] == [k == value for k in values]
        assert [member != k for k in values] == [k != value for k in values]
        fresh = [getattr(enum, n) for n in names]
        assert [member == m for m in fresh] == [not member != m for m in fresh] == [m == value for m in fresh]
        for op in (operator.lt, operator.le, operator.gt, operator.ge):
            with pytest.raises(TypeError):
                op(member, members[0])


def test_python_subclasses_of_node_classes():
    class Named(tx.Placeholder):
        def shout(self):
            return self.name.upper()

    p = Named("a", ndim=1)
    p.note = "kept"
    term = p[0] * 2
    assert (type(p), p.shout(), p.note, str(term), type(term)) == (Named, "A", "kept", "2 * a[0]", tx.MulOp)
    assert isinstance(p, tx.Placeholder) and tx.is_same(p, tx.Placeholder("a", ndim=1))
    p.self = p  # a cycle, for the collector
    del p
    import gc
    gc.collect()
