"""Dict and JSON forms of Record, Evaluation and the timing records; the JSON reader on hostile text."""
import json
import math
import pathlib
import re

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st
from hypothesis.extra import numpy as hnp

import tarvex as tx

SUITE = pathlib.Path(__file__).resolve().parents[2] / "shared" / "data" / "jsontestsuite" / "test_parsing"
POSITION = re.compile(r" at line \d+, column \d+$")
VALUE_CLASSES = [tx.Record, tx.Evaluation, tx.SolvingTime, tx.SystemTime, tx.MeasuringTime]


# --- written forms ------------------------------------------------------------------------


@pytest.mark.parametrize("obj, text", [
    (tx.SolvingTime(), '{"preprocess":null,"solve":null,"postprocess":null}'),
    (tx.SolvingTime(solve=2.0), '{"preprocess":null,"solve":2.0,"postprocess":null}'),
    (tx.SolvingTime(preprocess=math.inf, solve=1e20, postprocess=1e-7),
     '{"preprocess":null,"solve":1e20,"postprocess":1e-7}'),
    (tx.MeasuringTime(total=0.5),
     '{"solve":{"preprocess":null,"solve":null,"postprocess":null},"system":{"post_problem_and_instance_data":'
     'null,"request_queue":null,"fetch_problem_and_instance_data":null,"fetch_result":null,'
     '"deserialize_solution":null},"total":0.5}'),
    (tx.Record({"y": [(([2],), [1.0], (3,))]}, [1]),
     '{"solution":{"Sparse":{"y":[{"non_zero_indices":[[2]],"non_zero_values":[1.0],"shape":[3]}]}},'
     '"num_occurrences":[1]}'),
    (tx.Record({"x": [np.array([[0.0, 1.0], [2.0, 3.0]])]}, [4]),
     '{"solution":{"Dense":{"x":[{"v":1,"dim":[2,2],"data":[0.0,1.0,2.0,3.0]}]}},"num_occurrences":[4]}'),
    (tx.Evaluation(energy=[-0.0, math.nan], constraint_forall={"a\"b": [[1]]}, constraint_values=[{}]),
     '{"energy":[-0.0,null],"objective":[],"constraint_violations":{},"constraint_forall":{"a\\"b":[[1]]},'
     '"constraint_values":[{}],"penalty":{}}'),
])
def test_json_text(obj, text):
    assert obj.to_json() == text
    json.loads(text)  # valid JSON


def test_dict_forms():
    m = tx.MeasuringTime(solve=tx.SolvingTime(solve=1.0), total=2)
    assert m.to_dict() == {"solve": {"preprocess": None, "solve": 1.0, "postprocess": None},
                           "system": dict.fromkeys(tx.SystemTime().to_dict()), "total": 2.0}
    e = tx.Evaluation(energy=[1.0])
    assert list(e.to_dict()) == ["energy", "objective", "constraint_violations", "constraint_forall",
                                 "constraint_values", "penalty"]


SET = {"record": {}, "evaluation": {}, "measuring_time": {}}


@pytest.mark.parametrize("cls, arg, exc, message", [
    (tx.Record, [], TypeError, r"^argument 'dict': "),
    (tx.Evaluation, {"energy": None}, TypeError, None),
    (tx.SolvingTime, {"solve": "1"}, TypeError, None),
    (tx.MeasuringTime, {"solve": 1}, ValueError, r"^the value of the key 'solve' is not dict$"),
    (tx.MeasuringTime, {"system": None}, ValueError, r"^the value of the key 'system' is not dict$"),
    (tx.Record, {"solution": {"x": [[1.0]]}}, TypeError, r"^Failed to extract a solution\."),
    # a sample set's keys in order; the record is read before the next key is looked for
    (tx.SampleSet, {}, ValueError, r"^the key 'record' is not included in the dict$"),
    (tx.SampleSet, {"record": 1}, TypeError, r"^the value of the key 'record' is not dict$"),
    (tx.SampleSet, {"record": {"solution": 1}}, TypeError, r"^Failed to extract a solution\."),
    (tx.SampleSet, {"record": {}}, ValueError, r"^the key 'evaluation' is not included in the dict$"),
    (tx.SampleSet, {**SET, "evaluation": []}, TypeError, r"^the value of the key 'evaluation' is not dict$"),
    (tx.SampleSet, {"record": {}, "evaluation": {}}, ValueError,
     r"^the key 'measuring_time' is not included in the dict$"),
    (tx.SampleSet, {**SET, "measuring_time": 0}, TypeError, r"^the value of the key 'measuring_time' is not dict$"),
    (tx.SampleSet, {**SET, "metadata": None}, TypeError, r"^the value of the key 'metadata' is not dict$"),
])
def test_from_dict_refused(cls, arg, exc, message):
    with pytest.raises(exc, match=message) as err:
        cls.from_dict(arg)
    assert type(err.value) is exc


# --- reading ------------------------------------------------------------------------------


@pytest.mark.parametrize("read, arg, expected", [
    (tx.Record.from_dict, {}, tx.Record({}, [])), (tx.MeasuringTime.from_dict, {}, tx.MeasuringTime()),
    (tx.Record.from_dict, {"num_occurrences": [2], "other": 1}, tx.Record({}, [2])),
    (tx.Evaluation.from_dict, {"energy": [1]}, tx.Evaluation(energy=[1.0])),
    (tx.SolvingTime.from_dict, {"solve": 3, "preprocess": None}, tx.SolvingTime(solve=3.0)),
    (tx.MeasuringTime.from_dict, {"system": {"fetch_result": 1.0}},
     tx.MeasuringTime(system=tx.SystemTime(fetch_result=1))),
    (tx.SolvingTime.from_json, "{}", tx.SolvingTime()),
    (tx.SolvingTime.from_json, ' { "solve" : 1 , "unknown": {"a": [1, {"b": null}]} } ',
     tx.SolvingTime(solve=1.0)),
    (tx.SolvingTime.from_json, "[1, null]", tx.SolvingTime(preprocess=1.0)),  # array in field order
    (tx.SolvingTime.from_json, '{"sol\\u0076e": 2}', tx.SolvingTime(solve=2.0)),  # escaped key
    (tx.MeasuringTime.from_json, '{"total":3,"system":[],"solve":{}}', tx.MeasuringTime(total=3.0)),
    (tx.Record.from_json, '{"num_occurrences":[1],"solution":{"Dense":{"x":[{"data":[5],"dim":[],"v":1}]}}}',
     tx.Record({"x": [np.array(5.0)]}, [1])),
    (tx.Record.from_json, '[{"Sparse":{"y":[[[[2]],[1],[3]]]}},[1]]', tx.Record({"y": [(([2],), [1.0], (3,))]}, [1])),
])
def test_from_dict_and_json(read, arg, expected):
    assert read(arg) == expected


def test_null_in_number_lists_reads_as_nan():
    e = tx.Evaluation.from_json(tx.Evaluation(energy=[1.0, math.inf, math.nan]).to_json())
    assert np.isnan(e.energy[1:]).all() and e.energy[0] == 1.0
    r = tx.Record.from_json(tx.Record({"x": [np.array([np.inf, 0.0])]}, [1]).to_json())
    assert np.isnan(r.solution["x"][0][0])


@pytest.mark.parametrize("cls, text, message", [
    (tx.SolvingTime, '{"solve": 1,\n "solve": 2}', 'duplicate key "solve" at line 2, column 2'),
    (tx.SolvingTime, '{"solve": "1"}', "expected a number or null at line 1, column 11"),
    (tx.SolvingTime, "[1, 2, 3, 4]", "too many values for an object of 3 fields at line 1, column 11"),
    (tx.SolvingTime, "{} {}", "unexpected text after the end of the document at line 1, column 4"),
    (tx.SolvingTime, "1", "expected an object or an array at line 1, column 1"),
    (tx.MeasuringTime, '{"system": {}}', 'missing key "solve" at line 1, column 1'),
    (tx.Evaluation, '{"energy": []}', 'missing key "objective" at line 1, column 1'),
    (tx.Record, '{"solution": {"Both": {}}, "num_occurrences": []}', None),
    (tx.Record, '{"solution": {}, "num_occurrences": []}', None),
    (tx.Record, '{"solution": {"Sparse": {}, "Dense": {}}, "num_occurrences": []}', None),
    (tx.Record, '{"solution": {"Sparse": {"x": [], "x": []}}, "num_occurrences": []}', None),
    (tx.Record, '{"solution": {"Dense": {"x": [{"v": 2, "dim": [1], "data": [1]}]}}, "num_occurrences": []}',
     "unknown array version: 2 at line 1, column 31"),
    (tx.Record, '{"solution": {"Dense": {"x": [{"v": 1, "dim": [2], "data": [1]}]}}, "num_occurrences": []}',
     "data and dimension must match in size at line 1, column 31"),
    (tx.Record, '{"solution": {"Dense": {"x": [{"v": 1, "dim": [4294967296, 4294967296], "data": []}]}}, '
     '"num_occurrences": []}', None),
    (tx.Record, '{"solution": {"Dense": {"x": [{"v": 1, "dim": [' + "1," * 70 + '1], "data": [1]}]}}, '
     '"num_occurrences": []}', None),
    (tx.Record, '{"solution": {"Sparse": {}}, "num_occurrences": [-1]}', None),
    (tx.Record, '{"solution": {"Sparse": {}}, "num_occurrences": [1.0]}', None),
    (tx.Evaluation, '[[1], [], {}, {}, [], {}, 5]', None), (tx.Evaluation, '[[1e400], [], {}, {}, [], {}]', None),
    (tx.SolvingTime, '{"solve": 1,}', None), (tx.SolvingTime, "", None),
])
def test_from_json_refused(cls, text, message):
    with pytest.raises(ValueError) as err:
        cls.from_json(text)
    assert POSITION.search(str(err.value)), str(err.value)
    if message:
        assert str(err.value) == message


@pytest.mark.parametrize("cls", VALUE_CLASSES)
def test_from_json_takes_str_and_refuses_deep_nesting(cls):
    with pytest.raises(TypeError, match=r"^argument 'json': "):
        cls.from_json(b"{}")
    for depth in (100, 100_000):
        for text in ("[" * depth + "]" * depth, '{"zz": ' + "[" * depth + "]" * depth + "}", "[" * depth):
            with pytest.raises(ValueError, match=POSITION):
                cls.from_json(text)


def _suite_documents():
    return sorted(SUITE.iterdir()) if SUITE.is_dir() else []


@pytest.mark.parametrize("path", _suite_documents(), ids=lambda p: p.name)
def test_json_suite(path):
    """Each document as a whole text and as field values: a value or a ValueError with a position."""
    text = path.read_bytes().decode("utf-8", errors="replace")
    known = text if text.strip() else "1"
    placements = [
        (tx.MeasuringTime, text),
        (tx.MeasuringTime, '{"solve": {}, "system": {}, "zz": ' + text + "}"),
        (tx.MeasuringTime, '{"solve": {}, "system": {}, "total": ' + text + "}"),
        (tx.Record, '{"solution": {"Dense": {"x": [{"v": 1, "dim": [1], "data": ' + text + "}]}}, "
                    '"num_occurrences": []}'),
        (tx.Evaluation, '[[], [], {"c": ' + text + "}, {}, [], {}]"),
    ]
    outcomes = []
    for cls, doc in placements:
        try:
            cls.from_json(doc)
            outcomes.append(True)
        except ValueError as err:
            assert POSITION.search(str(err)), str(err)
            outcomes.append(False)
    # As an ignored value: accepted exactly when it is valid JSON without duplicate keys.
    if path.name.startswith("n_"):
        assert outcomes[1] is False
    elif path.name.startswith("y_") and "duplicated_key" not in path.name:
        assert outcomes[1] is True, known


# --- round trips --------------------------------------------------------------------------

names = st.text(min_size=0, max_size=4)
finite = st.floats(allow_nan=False, allow_infinity=False)
any_float = st.floats()
small_uint = st.integers(0, 2**64 - 1)
shapes = hnp.array_shapes(min_dims=0, max_dims=4, min_side=0, max_side=3)


def dense_records(elements):
    return st.builds(lambda sol, n: tx.Record(sol, n),
                     st.dictionaries(names, st.lists(hnp.arrays(np.float64, shapes, elements=elements), max_size=3),
                                     max_size=3),
                     st.lists(small_uint, max_size=3))


@st.composite
def coo(draw, values):
    shape = draw(st.lists(st.integers(0, 5), max_size=4))
    n = draw(st.integers(0, 4))
    indices = [draw(st.lists(small_uint, min_size=n, max_size=n)) for _ in shape]
    return tuple(indices), draw(st.lists(values, min_size=n, max_size=n)), tuple(shape)


def sparse_records(values):
    return st.builds(lambda sol, n: tx.Record(sol, n),
                     st.dictionaries(names, st.lists(coo(values), max_size=3), max_size=3),
                     st.lists(small_uint, max_size=3))


# Index lists of one width: the dict form holds them as 2-D arrays.
forall_lists = st.integers(0, 2).flatmap(
    lambda w: st.lists(st.lists(small_uint, min_size=w, max_size=w), max_size=3))


def evaluations(values):
    value_maps = st.dictionaries(names, st.lists(values, max_size=3), max_size=3)
    return st.builds(
        tx.Evaluation,
        energy=st.lists(values, max_size=3), objective=st.lists(values, max_size=3),
        constraint_violations=value_maps,
        constraint_forall=st.dictionaries(names, forall_lists, max_size=2),
        constraint_values=st.lists(value_maps, max_size=2), penalty=value_maps)


def timings(values):
    opt = st.none() | values
    return st.builds(tx.MeasuringTime, solve=st.builds(tx.SolvingTime, opt, opt, opt),
                     system=st.builds(tx.SystemTime, opt, opt, opt, opt, opt), total=opt)


@given(dense_records(finite) | sparse_records(finite) | evaluations(finite) | timings(finite))
def test_json_round_trip(x):
    assert type(x).from_json(x.to_json()) == x


@given(dense_records(any_float.filter(lambda v: not math.isnan(v))) | sparse_records(any_float) |
       evaluations(any_float.filter(lambda v: not math.isnan(v))) | timings(any_float.filter(lambda v: v == v)))
def test_dict_round_trip(x):
    back = type(x).from_dict(x.to_dict())
    if isinstance(x, tx.Record) and x.is_sparse():
        assert repr(back) == repr(x)  # NaN values of sparse entries compare unequal
    else:
        assert back == x


@given(dense_records(any_float) | sparse_records(any_float) | evaluations(any_float) | timings(any_float))
def test_json_never_fails_on_held_data(x):
    back = type(x).from_json(x.to_json())
    assert back.to_json() == x.to_json()
