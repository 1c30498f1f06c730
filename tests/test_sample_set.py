"""SampleSet: metadata identity, the feasibility test, selections, concatenate, dict and JSON
forms, tables and backend times."""
import copy
import gc
import math
import pathlib
import re
import subprocess
import sys
import weakref

import numpy as np
import pytest

import tarvex as tx

HELPERS = pathlib.Path(__file__).resolve().parents[1] / "src" / "sample_set" / "helpers"


def coo(i, n=3):
    return ([i],), [1.0], (n,)


def make(violations=None, objective=None, metadata=None, dense=False, penalty=None):
    """A sample set of samples of one variable x; violations maps names to lists."""
    violations = violations or {}
    n = len(next(iter(violations.values()), objective or []))
    objective = objective if objective is not None else [float(i) for i in range(n)]
    sol = {"x": [np.eye(3)[i % 3] for i in range(n)]} if dense else {"x": [coo(i % 3) for i in range(n)]}
    evaluation = tx.Evaluation(energy=objective, objective=objective, constraint_violations=violations,
                               constraint_forall={name: [[0]] for name in violations},
                               constraint_values=[{name: [1.0] for name in violations}] * n,
                               penalty=penalty if penalty is not None else {})
    return tx.SampleSet(tx.Record(sol, list(range(1, n + 1))), evaluation, tx.MeasuringTime(total=1.0), metadata)


# --- construction and metadata identity ---------------------------------------------------


def test_metadata_is_the_same_dict_everywhere():
    md = {"solver": "x"}
    s = make({"c": [0.0, 1.0]}, metadata=md)
    assert s.metadata is md
    for derived in (s.feasible(), s.infeasible(), s.lowest(), s.to_dense(), tx.concatenate([s, make({"c": [0.0]})]),
                    tx.SampleSet.from_dict(s.to_dict())):
        assert derived.metadata is md
    assert s.to_dict()["metadata"] is md
    md["later"] = 1
    assert s.feasible().metadata["later"] == 1
    assert tx.SampleSet(s.record, s.evaluation, s.measuring_time).metadata == {}
    assert tx.SampleSet.from_dict({**s.to_dict(), "metadata": None} | {"metadata": {}}).metadata == {}


# --- feasibility --------------------------------------------------------------------------

INF = math.inf


@pytest.mark.parametrize("violations, tolerances, feasible", [
    ({"c": [0.0, 1e-9, 1e-3]}, {}, [0, 1]), ({"c": [math.nan, 0.0]}, {}, [1]),
    ({"a": [1e-9], "b": [9e-9]}, {}, [0]),  # total 1e-8 passes
    ({"a": [6e-9], "b": [6e-9]}, {}, []),  # total 1.2e-8 fails though each alone passes
    ({"a": [1.0], "b": [-1.0]}, {}, [0]),  # opposite signs cancel
    ({"c": [INF, -INF]}, {"rtol": 1.0}, []),  # inf <= atol + rtol * inf would hold
    ({"a": [INF], "b": [-INF]}, {"rtol": 1.0}, []),  # NaN total
    ({"c": [0.5]}, {"rtol": 0, "atol": 1}, [0]),  # ints accepted
    ({"c": [0.5]}, {"rtol": 0.0, "atol": 0.5}, [0]), ({"c": [0.5]}, {"rtol": 0.0, "atol": 0.4999}, []),
    ({"c": [-1e-9]}, {"rtol": 0.0, "atol": 0.0}, []), ({"c": [0.0, -0.0]}, {"rtol": 0.0, "atol": 0.0}, [0, 1]),
])
def test_feasibility_tolerances(violations, tolerances, feasible):
    s = make(violations)
    n = len(next(iter(violations.values())))
    assert s.feasible(**tolerances).record.num_occurrences == [p + 1 for p in feasible]
    assert s.infeasible(**tolerances).record.num_occurrences == [p + 1 for p in range(n) if p not in feasible]


def test_without_constraints():
    s = make(objective=[2.0, 1.0])
    assert s.feasible() == s
    infeasible = s.infeasible()
    assert infeasible.record.num_occurrences == [] and infeasible.evaluation.constraint_forall == {}
    assert infeasible.measuring_time == s.measuring_time
    with pytest.raises(ValueError, match=r"^constraint violation is empty$"):
        s.lowest()


def test_selection_keeps_every_per_sample_list():
    s = make({"c": [1.0, 0.0, 0.0]}, penalty={"p": [5.0, 6.0, 7.0]})
    f = s.feasible()
    assert f.record.solution == {"x": [coo(1), coo(2)]}
    assert f.evaluation.penalty["p"].tolist() == [6.0, 7.0]
    assert len(f.evaluation.constraint_values) == 2
    assert f.evaluation.constraint_forall["c"].tolist() == [[0]]


@pytest.mark.parametrize("objective, lowest, violations", [
    ([3.0, 1.0, 1.0], [1, 2], None), ([-1.0, 5.0, -1.0], [0, 2], None),
    ([0.0, -0.0, 1.0], [0, 1], None),  # -0.0 is the minimum; 0.0 compares equal to it
    ([math.nan, 2.0, 2.0], [1, 2], None), ([math.nan, math.nan, math.nan], [], None),
    ([-5.0, 2.0, 3.0], [1], [1.0, 0.0, 0.0]), ([0.0], [], [1.0]),  # only among the feasible samples
])
def test_lowest(objective, lowest, violations):
    s = make({"c": violations or [0.0] * len(objective)}, objective=objective)
    assert s.lowest().record.num_occurrences == [p + 1 for p in lowest]


@pytest.mark.parametrize("part, field, value, name", [
    ("evaluation", "constraint_violations", {"a": [0.0, 0.0], "b": [0.0]}, "'b'"),
    ("evaluation", "objective", [1.0], "objective"), ("evaluation", "energy", [1.0, 2.0, 3.0], "energy"),
    ("evaluation", "penalty", {"p": []}, "penalty['p']"), ("evaluation", "constraint_values", [], "constraint_values"),
    ("record", "solution", {"x": [coo(0)]}, "solution['x']"),
])
@pytest.mark.parametrize("method", ["feasible", "infeasible", "lowest"])
def test_unequal_lengths_refused(part, field, value, name, method):
    s = make({"a": [0.0, 0.0]})
    changed = getattr(s, part)
    setattr(changed, field, value)
    setattr(s, part, changed)
    with pytest.raises(ValueError, match=re.escape(name)):
        getattr(s, method)()


# --- concatenate --------------------------------------------------------------------------


def test_concatenate():
    a, b = make({"c": [0.0, 1.0]}, metadata={"first": 1}), make({"c": [0.5, 0.0, 0.0]}, metadata={"second": 2})
    before = (a.to_dict(), b.to_dict())
    c = tx.concatenate([a, b])
    assert c.record.num_occurrences == [1, 2, 1, 2, 3]
    assert c.evaluation.constraint_violations["c"].tolist() == [0.0, 1.0, 0.5, 0.0, 0.0]
    assert len(c.evaluation.constraint_values) == 5 and c.metadata is a.metadata
    assert c.measuring_time == a.measuring_time
    assert (a.to_dict()["record"], b.to_dict()["record"]) == (before[0]["record"], before[1]["record"])
    dense = make({"c": [0.0]}, dense=True)
    assert tx.concatenate((a,)) == a and tx.concatenate([dense]) == dense
    empty = tx.SampleSet(tx.Record({}, []), tx.Evaluation(), tx.MeasuringTime())  # may lack every name
    c = tx.concatenate([empty, make({"c": [0.0]})])
    assert c.record.num_occurrences == [1] and list(c.evaluation.constraint_violations) == ["c"]


def dense_pair(first, second, message):
    sets = [make({"c": [0.0]}, dense=first), make({"c": [0.0]}, dense=second)]
    return sets, ValueError, "^" + re.escape(f"Failed to extend the {message} solution.") + "$"


@pytest.mark.parametrize("arg, exc, pattern", [
    dense_pair(True, True, "dense solution with the dense"),
    dense_pair(True, False, "dense solution with the sparse"),
    dense_pair(False, True, "sparse solution with the dense"),
    ([make({"c": [0.0]}), make({"d": [0.0]})], ValueError, "'d'"),  # each set lacks the other's constraint
    ([make({"c": [0.0]}), make({"c": [0.0]}, penalty={"p": [1.0]})], ValueError, "'p'"),
    ([], ValueError, None), ("ab", TypeError, None), ([1], TypeError, None), (3, TypeError, None),
])
def test_concatenate_refused(arg, exc, pattern):
    with pytest.raises(exc, match=pattern):
        tx.concatenate(arg)


# --- equality -----------------------------------------------------------------------------


class Loud:
    def __eq__(self, other):
        raise RuntimeError("metadata compared")


def test_equality_compares_metadata_last():
    a, b = make({"c": [0.0]}, metadata={"k": 1}), make({"c": [0.0]}, metadata={"k": 1})
    assert a == b and a.metadata is not b.metadata
    b.metadata = {"k": 2}
    assert a != b
    a.metadata, b.metadata = {"k": Loud()}, {"k": Loud()}
    with pytest.raises(RuntimeError, match="metadata compared"):
        _ = a == b
    assert make({"c": [1.0]}, metadata={"k": Loud()}) != make({"c": [0.0]}, metadata={"k": Loud()})


# --- dict and JSON forms ------------------------------------------------------------------

@pytest.mark.parametrize("s", [
    make({"c": [0.0, 1e-9]}, metadata={"solver": "x", "n": [1, 2]}),
    make({"c": [0.0, 1.0]}, dense=True),
    tx.SampleSet(tx.Record({"x": [np.arange(6.0).reshape(2, 3), np.array(2.5)]}, [1, 1]), tx.Evaluation(),
                 tx.MeasuringTime()),
    tx.SampleSet(tx.Record({}, []), tx.Evaluation(), tx.MeasuringTime()),
    tx.SampleSet(tx.Record({"x": []}, []), tx.Evaluation(), tx.MeasuringTime()),
], ids=["sparse", "dense", "dense-0d", "empty", "no-samples"])
def test_json_round_trip(s):
    text = s.to_json()
    assert tx.SampleSet.from_json(text) == s
    # The text is what the helper source writes when run afresh.
    namespace = {}
    exec(compile((HELPERS / "json_dump.py").read_text(), "", "exec"), namespace)
    assert namespace["dump"](s.to_dict()) == text == s.to_json()


def test_json_reads_lists_back_and_refuses_what_it_cannot_hold():
    s = tx.SampleSet.from_json('{"record": {"solution": {"x": [[[[0, 1]], [1, null], [2]]]}, "num_occurrences": [1]},'
                               '"evaluation": {}, "measuring_time": {}}')
    (entry,) = s.record.solution["x"]
    assert entry[0] == ([0, 1],) and math.isnan(entry[1][1])
    with pytest.raises(TypeError, match=r"^Failed to extract a solution\."):
        tx.SampleSet.from_json('{"record": {"solution": {"x": [[[1], [2, 3]]]}}, "evaluation": {}, '
                               '"measuring_time": {}}')  # ragged
    with pytest.raises(TypeError, match=r"^argument 'dict': "):
        tx.SampleSet.from_json("[1]")
    with pytest.raises(TypeError):  # metadata that JSON cannot hold
        make({"c": [0.0]}, metadata={1: object()}).to_json()


@pytest.mark.parametrize("package, call", [
    ("orjson", "s.to_json()"),
    ("orjson", "tx.SampleSet.from_json('{\"record\": {}, \"evaluation\": {}, \"measuring_time\": {}}')"),
    ("pandas", "s.to_pandas()"),
    ("pandas", "tx.Record({}, []).to_pandas()"),
])
def test_missing_package_is_an_import_error(package, call):
    # refused twice (nothing half-imported stays behind), then works once the package is back
    code = (f"import sys; sys.modules[{package!r}] = None\nimport tarvex as tx\n"
            "s = tx.SampleSet(tx.Record({}, []), tx.Evaluation(), tx.MeasuringTime())\n"
            f"for _ in range(2):\n    try:\n        {call}\n    except ImportError:\n        pass\n"
            f"    else:\n        raise SystemExit('no ImportError')\ndel sys.modules[{package!r}]\n{call}\n")
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert result.returncode == 0, result.stderr


# --- tables -------------------------------------------------------------------------------


def test_tables():
    s = make({"c": [0.0, 1.0]}, penalty={"p": [1.0, 2.0]})
    table = s.to_pandas()
    assert list(table.columns) == ["solution[x]", "num_occurrences", "energy", "objective", "constraint_forall",
                                   "constraint_values", "constraint_violation[c]", "penalty[p]"]
    assert table["solution[x]"][1] == coo(1) and table["num_occurrences"].tolist() == [1, 2]
    assert table["constraint_forall"][0] == {"c": [[0]]} and table["constraint_forall"][0] is not table["constraint_forall"][1]
    empty = tx.Evaluation().to_pandas()
    assert list(empty.columns) == ["energy", "objective", "constraint_forall", "constraint_values"] and len(empty) == 0
    dense = make({"c": [0.0]}, dense=True).record.to_pandas()
    assert isinstance(dense["solution[x]"][0], np.ndarray)


# --- backend times ------------------------------------------------------------------------


def span(span_id, parent, start, end):
    return {"start_time": f"2023-01-01T00:00:{start}Z", "end_time": f"2023-01-01T00:00:{end}Z",
            "context": {"span_id": span_id}, "parent_id": parent}


@pytest.mark.parametrize("metadata, expected", [
    ({}, {}), ({"solve": span("r", None, "00.000000", "01.500000")}, {"solve": 1.5}),
    ({"solve": span("r", None, "00.000000", "01.500000"), "step": span("s", "r", "00.000000", "00.500000")},
     {"solve": {"step": 0.5}}),
    ({"solve": span("r", None, "00.000000", "09.000000"),
      "load": span("l", "r", "00.000000", "01.000000"),
      "parse": span("p", "l", "00.000000", "00.250000"),
      "check": span("k", "l", "00.250000", "00.500000"),
      "run": span("u", "r", "01.000000", "04.000000"),
      "other": 5, "empty-parent": span("e", "", "00.000000", "01.000000"), "no-parent": {"x": 1}},
     {"solve": {"load": {"parse": 0.25, "check": 0.25}, "run": 3.0}}),
    ({"a": span("1", None, "00.000000", "01.000000"), "b": span("2", None, "00.000000", "02.000000")},
     {"a": 1.0, "b": 2.0}),
], ids=["empty", "root", "child", "three-levels", "two-roots"])
def test_backend_calculation_time(metadata, expected):
    s = make({"c": [0.0]}, metadata=metadata)
    before = copy.deepcopy(metadata)
    assert s.get_backend_calculation_time() == expected
    assert s.metadata == before


@pytest.mark.parametrize("metadata, exc", [
    ({1: {"parent_id": None}}, TypeError),
    ({"solve": {k: v for k, v in span("r", None, "00.000000", "01.000000").items() if k != "end_time"}}, KeyError),
    ({"solve": {**span("r", None, "00.000000", "01.000000"), "end_time": "yesterday"}}, ValueError),
])
def test_backend_calculation_time_refused(metadata, exc):
    with pytest.raises(exc):
        make({"c": [0.0]}, metadata=metadata).get_backend_calculation_time()


def test_metadata_cycles_are_collected():
    class Marker:
        pass

    s = make({"c": [0.0]}, metadata={})
    marker = Marker()
    s.metadata["self"], s.metadata["marker"] = s, marker
    probe = weakref.ref(marker)
    del s, marker
    gc.collect()
    assert probe() is None
