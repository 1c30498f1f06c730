"""Record: solution conversion in both directions, dense/sparse conversion, text, equality."""
import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st
from hypothesis.extra import numpy as hnp

import tarvex as tx
from conftest import raises

SOLUTION_ERROR = (
    "Failed to extract a solution. The solution must be a dict of str to a list of numpy.ndarray or "
    "Tuple[List[List[int]], List[int|float], Tuple[int,..]]."
)
A23 = np.array([[0.0, 1.0, 0.0], [2.0, 0.0, 3.0]])
COO23 = (([0, 1, 1], [1, 0, 2]), [1.0, 2.0, 3.0], (2, 3))


# --- reading a solution -------------------------------------------------------------------


@pytest.mark.parametrize("solution, dense", [
    ({}, False), ({"x": []}, False), ({"x": [COO23]}, False),
    ({"x": [(([2],), [1], [3])]}, False),  # ints as values, a list as shape
    ({"x": [A23]}, True), ({"x": [np.array(2.5)]}, True),  # 0-dimensional
])
def test_solution_kind(solution, dense):
    r = tx.Record(solution, [1])
    assert (r.is_dense(), r.is_sparse()) == (dense, not dense)


@pytest.mark.parametrize("solution", [
    [A23], {1: [A23]}, {"x": "abc"}, {"x": [A23], "y": [COO23]},  # not a dict, key not str, str, mixed kinds
    {"x": [A23.astype(np.float32)]}, {"x": [np.arange(3)]}, {"x": [A23.astype(">f8")]},  # not native float64
    # sparse: a list for the tuple, a negative index, a str for the values, two items
    {"x": [[[0, 1], [1.0], (3,)]]}, {"x": [(([-1],), [1.0], (3,))]}, {"x": [(([0],), "a", (3,))]},
    {"x": [(([0],), [1.0])]},
])
def test_solution_refused(solution):
    with raises(TypeError, "argument 'solution': " + SOLUTION_ERROR):
        tx.Record(solution, [])
    r = tx.Record({"x": [COO23]}, [1])
    with pytest.raises(TypeError, match=r"^Failed to extract a solution\."):
        r.solution = solution
    assert r.solution == {"x": [COO23]}  # unchanged


@pytest.mark.parametrize("counts, exc", [([-1], OverflowError), ("12", TypeError), ([1.5], TypeError),
                                         (5, TypeError), ([2**64], OverflowError)])
def test_num_occurrences_refused(counts, exc):
    with pytest.raises(exc, match=r"^argument 'num_occurrences': "):
        tx.Record({}, counts)
    r = tx.Record({}, [3])
    with pytest.raises(exc):
        r.num_occurrences = counts
    assert r.num_occurrences == [3]


def unaligned():
    a = np.frombuffer(bytearray(8 * 7 + 1), dtype=np.float64, offset=1)[::2]
    a[:] = [1.5, -2.0, 3.0, 4.0]
    return a


@pytest.mark.parametrize("array", [
    np.arange(12.0).reshape(3, 4)[:, ::2], np.arange(12.0).reshape(3, 4)[::-1],
    np.asfortranarray(np.arange(24.0).reshape(2, 3, 4)), np.arange(6.0).reshape(1, 2, 1, 3), np.zeros((0, 3)),
    np.array(7.0), unaligned(),
], ids=["strided", "reversed", "fortran", "unit-axes", "empty", "0-d", "unaligned"])
def test_dense_arrays_are_copied_in_row_major_order(array):
    expected = array.copy()
    r = tx.Record({"x": [array]}, [1])
    out = r.solution["x"][0]
    assert out.dtype == np.float64 and out.shape == array.shape
    np.testing.assert_array_equal(out, expected)
    # Copies in and out: changing either side never reaches the record.
    array[...] = -1.0
    out[...] = -2.0
    np.testing.assert_array_equal(r.solution["x"][0], expected)


def test_sparse_form_in_python():
    r = tx.Record({"y": [(([2],), [1.0], (3,))], "x": [COO23, COO23]}, [1, 2])
    assert list(r.solution) == ["x", "y"]  # name order
    assert r.solution["y"] == [(([2],), [1.0], (3,))]
    assert r.to_dict() == {"solution": r.solution, "num_occurrences": [1, 2]}
    assert list(r.to_dict()) == ["solution", "num_occurrences"]
    assert tx.Record({"x": [COO23]}, [1, 2, 3]).num_occurrences == [1, 2, 3]  # lengths are not checked


# --- dense and sparse ---------------------------------------------------------------------


@pytest.mark.parametrize("array, coo", [
    (A23, COO23),
    (np.zeros((2, 2)), (([], []), [], (2, 2))),
    (np.array([0.0, -0.0, np.nan, 1.0]), (([2, 3],), [np.nan, 1.0], (4,))),
    (np.array(3.0), ((), [3.0], ())),
    (np.array(0.0), ((), [], ())),
], ids=["2x3", "all-zero", "signed-zero-and-nan", "0-d", "0-d-zero"])
def test_to_sparse_cases(array, coo):
    (got,) = tx.Record({"x": [array]}, [1]).to_sparse().solution["x"]
    assert got[0] == coo[0] and got[2] == coo[2]
    np.testing.assert_array_equal(got[1], coo[1])


@pytest.mark.parametrize("coo, exc, message", [
    ((([0, 1], [1, 5]), [1.0, 2.0], (2, 3)), IndexError,
     "Failed to get a mutable reference to the array at [1, 5]. This might be caused by the shape mismatch. "
     "shape: [2, 3]"),
    ((([0],), [1.0], (2, 3)), IndexError,
     "Failed to get a mutable reference to the array at [0]. This might be caused by the shape mismatch. "
     "shape: [2, 3]"),
    ((([0], [1]), [1.0, 2.0], (2, 3)), IndexError,
     "the index list of axis 0 has 1 entries, fewer than the 2 values"),
    ((([0],), [1.0], (2**40, 2**40)), ValueError, None),  # 2**80 elements: overflow
    ((([0],), [1.0], (2**20, 2**20, 2**10)), ValueError, None),  # too large to allocate
], ids=["outside", "too-few-axes", "short-axis-list", "overflow", "too-large"])
def test_to_dense_refuses_entries_outside_the_shape(coo, exc, message):
    r = tx.Record({"x": [coo]}, [1])
    with pytest.raises(exc) as err:
        r.to_dense()
    if message:
        assert str(err.value) == message
    assert r.solution == {"x": [coo]}


def test_to_dense_sizes_the_whole_record_first_and_later_values_overwrite():
    with pytest.raises(ValueError, match="would hold more than"):
        tx.Record({"x": [((), [], (2**27,))] * 3}, [1, 1, 1]).to_dense()
    r = tx.Record({"x": [(([1, 1],), [1.0, 2.0], (3,))]}, [1])
    np.testing.assert_array_equal(r.to_dense().solution["x"][0], [0.0, 2.0, 0.0])


arrays = hnp.arrays(np.float64, hnp.array_shapes(min_dims=0, max_dims=4, min_side=0, max_side=4),
                    elements=st.sampled_from([0.0, -0.0, 1.5, -2.0, 1e-300, np.inf, -np.inf]))


@given(arrays)
def test_dense_sparse_round_trip(a):
    r = tx.Record({"x": [a]}, [1])
    back = r.to_sparse().to_dense()
    np.testing.assert_array_equal(back.solution["x"][0], np.where(a == 0, 0.0, a))
    assert back.to_sparse() == r.to_sparse() == r.to_sparse().to_sparse() and r.to_dense() == r  # no-op conversions


# --- text and equality --------------------------------------------------------------------


@pytest.mark.parametrize("solution, counts, text", [
    ({}, [], "Record(solution={}, num_occurrences=[])"),
    ({"y": [(([2],), [1.0], (3,))]}, [1], "Record(solution={'y': [(([2],), [1.0], (3,))]}, num_occurrences=[1])"),
    ({"y": [((), [1e-5], ())]}, [1], "Record(solution={'y': [((), [1e-5], ())]}, num_occurrences=[1])"),
    ({"x": [A23, np.array(2.0)]}, [1, 2],
     "Record(solution={'x': [[[0, 1, 0],\n [2, 0, 3]], 2]}, num_occurrences=[1, 2])"),
    ({"x": [np.arange(8.0).reshape(2, 2, 2) / 2]}, [1],
     "Record(solution={'x': [[[[0, 0.5],\n  [1, 1.5]],\n\n [[2, 2.5],\n  [3, 3.5]]]]}, num_occurrences=[1])"),
    ({"x": [np.zeros((3, 0))]}, [1], "Record(solution={'x': [[[],\n [],\n []]]}, num_occurrences=[1])"),
    ({"x": [np.zeros((10**9, 0))]}, [1],  # empty, with a long axis: abbreviated
     "Record(solution={'x': [[" + "[],\n " * 5 + "...,\n " + "[],\n " * 4 + "[]]]}, num_occurrences=[1])"),
])
def test_text(solution, counts, text):
    r = tx.Record(solution, counts)
    assert repr(r) == str(r) == text


@pytest.mark.parametrize("shape, text", [
    ((499,), "[" + ", ".join(map(str, range(499))) + "]"),
    ((500,), "[0, 1, 2, 3, 4, ..., 495, 496, 497, 498, 499]"),
    ((2, 250), "[[0, 1, 2, 3, 4, ..., 245, 246, 247, 248, 249],\n"
               " [250, 251, 252, 253, 254, ..., 495, 496, 497, 498, 499]]"),
])
def test_text_abbreviation(shape, text):
    r = tx.Record({"x": [np.arange(np.prod(shape), dtype=float).reshape(shape)]}, [1])
    assert repr(r) == "Record(solution={'x': [" + text + "]}, num_occurrences=[1])"


def test_text_abbreviates_outer_axes_to_three_and_three():
    body = repr(tx.Record({"x": [np.zeros((10, 10, 5))]}, [1]))
    assert (body.count("\n\n"), body.count("...")) == (6, 1)  # 3 blocks, "...", 3 blocks


R23 = tx.Record({"x": [A23]}, [1])


@pytest.mark.parametrize("a, b, equal", [
    (R23, tx.Record({"x": [A23.copy()]}, [1]), True), (R23, tx.Record({"x": [A23]}, [2]), False),
    (R23, tx.Record({"x": [A23.reshape(3, 2)]}, [1]), False),
    (R23, tx.Record({"x": [COO23]}, [1]), False),  # dense and sparse differ
    (tx.Record({"x": [np.array([np.nan])]}, [1]), tx.Record({"x": [np.array([np.nan])]}, [1]), False),
    (tx.Record({}, []), tx.Record({"x": []}, []), False),
])
def test_equality(a, b, equal):
    assert (a == b, a != b) == (equal, not equal)
