"""Evaluation and the timing records: arguments, getters, text, equality, constraint values; the
setters and ordering of every value class."""
import math

import numpy as np
import pytest

import tarvex as tx

FULL = dict(
    energy=[1.0, 2.5],
    objective=np.array([3.0, -1e-5]),
    constraint_violations={"c": [0.0, 1e20]},
    constraint_forall={"c": [[0, 1], [2, 3]]},
    constraint_values=[{"c": [1.0, 2.0]}, {"c": [3.0]}],
    penalty={"p": [0.5, 0.25]},
)


def test_getters_return_new_arrays():
    assert tx.Evaluation().energy.dtype == np.float64 and tx.Evaluation().energy.shape == (0,)
    e = tx.Evaluation(**FULL)
    assert e.constraint_forall["c"].dtype == np.uint64 and e.constraint_forall["c"].shape == (2, 2)
    energy = e.energy
    energy[0] = 99.0
    e.constraint_violations["c"][0] = 99.0
    np.testing.assert_array_equal(e.energy, [1.0, 2.5])
    np.testing.assert_array_equal(e.constraint_violations["c"], [0.0, 1e20])
    assert [list(d) for d in e.constraint_values] == [["c"], ["c"]]
    for forall, shape in [([[0], [1]], (2, 1)), ([], (0, 0)), ([[]], (1, 0))]:
        assert tx.Evaluation(constraint_forall={"c": forall}).constraint_forall["c"].shape == shape


def test_ragged_forall_refused_on_read():
    e = tx.Evaluation(constraint_forall={"c": [[0, 1], [2]]})
    for read in (lambda: e.constraint_forall, e.to_dict):
        with pytest.raises(TypeError, match=r"^invalid length: 1, but expected 2$"):
            read()


@pytest.mark.parametrize("kwargs, exc, arg", [
    ({"energy": "12"}, TypeError, "energy"), ({"energy": [1, "a"]}, TypeError, "energy"),
    ({"objective": 3.0}, TypeError, "objective"), ({"penalty": {"p": None}}, TypeError, "penalty"),
    ({"constraint_violations": {1: [1.0]}}, TypeError, "constraint_violations"),
    ({"constraint_violations": [1.0]}, TypeError, "constraint_violations"),
    ({"constraint_forall": {"c": [[-1]]}}, OverflowError, "constraint_forall"),
    ({"constraint_forall": {"c": [0, 1]}}, TypeError, "constraint_forall"),
    ({"constraint_values": [{"c": ["x"]}]}, TypeError, "constraint_values"),
])
def test_arguments_refused(kwargs, exc, arg):
    with pytest.raises(exc, match=rf"^argument '{arg}': "):
        tx.Evaluation(**kwargs)
    e = tx.Evaluation(**FULL)
    with pytest.raises(exc):
        setattr(e, arg, next(iter(kwargs.values())))
    assert e == tx.Evaluation(**FULL)  # unchanged


def test_constraint_expr_values():
    e = tx.Evaluation(**FULL)
    # Paired position by position, up to the shorter list.
    assert e.constraint_expr_values == [{(0, 1): 1.0, (2, 3): 2.0}, {(0, 1): 3.0}]
    with pytest.raises(KeyError, match="'d'"):
        _ = tx.Evaluation(constraint_values=[{"d": [1.0]}]).constraint_expr_values


# --- text, equality and the timing records ------------------------------------------------


@pytest.mark.parametrize("obj, text", [
    (tx.Evaluation(), "Evaluation(energy=[], objective=[], constraint_violations={}, constraint_forall={}, "
                      "constraint_values=[], penalty={})"),
    (tx.Evaluation(**FULL),
     'Evaluation(energy=[1.0, 2.5], objective=[3.0, -1e-5], constraint_violations={"c": [0.0, 1e20]}, '
     'constraint_forall={"c": [[0, 1], [2, 3]]}, constraint_values=[{"c": [1.0, 2.0]}, {"c": [3.0]}], '
     'penalty={"p": [0.5, 0.25]})'),
    (tx.SolvingTime(), "SolvingTime(preprocess=None, solve=None, postprocess=None)"),
    (tx.SolvingTime(solve=2.0), "SolvingTime(preprocess=None, solve=2, postprocess=None)"),
    (tx.SolvingTime(0.25, 1, 1e-7), "SolvingTime(preprocess=0.25, solve=1, postprocess=0.0000001)"),
    (tx.SystemTime(request_queue=3), "SystemTime(post_problem_and_instance_data=None, request_queue=3, "
     "fetch_problem_and_instance_data=None, fetch_result=None, deserialize_solution=None)"),
    (tx.MeasuringTime(total=1.5), f"MeasuringTime(solve={tx.SolvingTime()!r}, system={tx.SystemTime()!r}, total=1.5)"),
    (tx.SampleSet(tx.Record({}, []), tx.Evaluation(), tx.MeasuringTime(), {"k": [1]}),
     f"SampleSet(record={tx.Record({}, [])!r}, evaluation={tx.Evaluation()!r}, "
     f"measuring_time={tx.MeasuringTime()!r}, metadata={{'k': [1]}})"),
])
def test_text(obj, text):
    assert repr(obj) == str(obj) == text


def test_parts_are_copies():
    m = tx.MeasuringTime()
    m.solve.solve = 1.0
    assert m.solve.solve is None
    m.solve = tx.SolvingTime(solve=1.0)
    m.system = None
    assert m.solve.solve == 1.0 and m.system == tx.SystemTime()
    s = tx.SolvingTime(preprocess=2.0)
    m2 = tx.MeasuringTime(solve=s)
    s.preprocess = 3.0
    assert m2.solve.preprocess == 2.0
    s = tx.SampleSet(tx.Record({}, [1]), tx.Evaluation(), tx.MeasuringTime())
    r = s.record
    r.num_occurrences = [99]
    assert s.record.num_occurrences == [1]
    s.record = r
    assert s.record.num_occurrences == [99]


@pytest.mark.parametrize("make, arg", [
    (lambda: tx.SolvingTime(solve="1"), "solve"), (lambda: tx.SystemTime(fetch_result=[1.0]), "fetch_result"),
    (lambda: tx.MeasuringTime(solve=tx.SystemTime()), "solve"), (lambda: tx.MeasuringTime(total="x"), "total"),
    (lambda: tx.SampleSet(1, tx.Evaluation(), tx.MeasuringTime()), "record"),
    (lambda: tx.SampleSet(RECORD, {}, tx.MeasuringTime()), "evaluation"),
    (lambda: tx.SampleSet(RECORD, tx.Evaluation(), None), "measuring_time"),
    (lambda: tx.SampleSet(RECORD, tx.Evaluation(), tx.MeasuringTime(), []), "metadata"),
])
def test_timing_and_sample_set_arguments_refused(make, arg):
    with pytest.raises(TypeError, match=rf"^argument '{arg}': "):
        make()


@pytest.mark.parametrize("a, b, equal", [
    (tx.Evaluation(**FULL), tx.Evaluation(**FULL), True),
    (tx.Evaluation(energy=[math.nan]), tx.Evaluation(energy=[math.nan]), False),
    (tx.Evaluation(energy=[0.0]), tx.Evaluation(energy=[-0.0]), True),
    (tx.Evaluation(penalty={"p": []}), tx.Evaluation(), False),
    (tx.Evaluation(constraint_values=[{}]), tx.Evaluation(), False),
    (tx.SolvingTime(solve=math.nan), tx.SolvingTime(solve=math.nan), False),
    (tx.SolvingTime(solve=1), tx.SolvingTime(solve=1.0), True), (tx.SolvingTime(), tx.SolvingTime(solve=0.0), False),
    (tx.SystemTime(*[1.0] * 5), tx.SystemTime(*[1.0] * 5), True),  # every field set
    (tx.MeasuringTime(system=tx.SystemTime(request_queue=math.nan)),
     tx.MeasuringTime(system=tx.SystemTime(request_queue=math.nan)), False),
    (tx.MeasuringTime(), tx.MeasuringTime(), True),
])
def test_equality(a, b, equal):
    assert (a == b, a != b) == (equal, not equal)


# --- every value class ----------------------------------------------------------------------

RECORD = tx.Record({"x": [np.eye(2)]}, [1])
SAMPLE_SET = tx.SampleSet(RECORD, tx.Evaluation(**FULL), tx.MeasuringTime(total=1.0), {"a": 1})


@pytest.mark.parametrize("make, name, bad", [
    *[(lambda: tx.Evaluation(**FULL), name, None) for name in FULL],
    (tx.SolvingTime, "solve", "x"), (tx.SystemTime, "fetch_result", "x"), (tx.MeasuringTime, "total", "x"),
    (tx.MeasuringTime, "solve", "x"),
    (lambda: tx.Record(RECORD.solution, [1]), "solution", None),
    (lambda: tx.Record(RECORD.solution, [1]), "num_occurrences", None),
    *[(lambda: tx.SampleSet.from_dict(SAMPLE_SET.to_dict()), name, bad) for name, bad in [
        ("record", None), ("evaluation", 1), ("measuring_time", None), ("metadata", None), ("metadata", [])]],
])
def test_setters_refuse_wrong_types_and_deletion(make, name, bad):
    obj = make()
    with pytest.raises(TypeError):
        setattr(obj, name, bad)
    with pytest.raises(AttributeError, match=r"^can't delete attribute$"):
        delattr(obj, name)
    assert obj == make()
    setattr(obj, name, getattr(make(), name))  # what a getter reads can be written back
    assert obj == make()


@pytest.mark.parametrize("obj", [tx.Evaluation(), tx.SolvingTime(), tx.SystemTime(), tx.MeasuringTime(), RECORD,
                                 SAMPLE_SET], ids=lambda o: type(o).__name__)
@pytest.mark.parametrize("op", ["<", "<=", ">", ">="])
def test_ordering_refused(obj, op):
    with pytest.raises(TypeError, match=rf"^Comparison '{op}' not supported for {type(obj).__name__}$"):
        eval(f"obj {op} obj")
    with pytest.raises(TypeError, match="not supported between instances"):
        eval(f"obj {op} 1")
    assert (obj == 1) is False
