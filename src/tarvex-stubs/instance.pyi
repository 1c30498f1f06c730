"""Type stubs of tarvex.instance: a problem bound to the data of its placeholders, on which
solutions are evaluated locally."""
import os
from collections.abc import Mapping, Sequence
from typing import Any, Literal, SupportsFloat

import numpy as np
import numpy.typing as npt
from typing_extensions import TypeAlias, disjoint_base

from tarvex import Problem, Record, SampleSet, _Object

# The value of one placeholder: a number for a scalar; for an array a NumPy array of real
# numbers or nested sequences of numbers, rows possibly of different lengths.
_Data: TypeAlias = SupportsFloat | npt.NDArray[np.integer[Any] | np.floating[Any]] | Sequence[Any]
# One sample: variable name to its float64 array.
_Sample: TypeAlias = Mapping[str, npt.NDArray[np.float64]]

@disjoint_base
class Instance(_Object):
    def __init__(self, problem: Problem, data: Mapping[str, _Data]) -> None: ...
    @property
    def problem(self) -> Problem: ...
    @property
    def variables(self) -> dict[str, tuple[int, ...]]: ...
    @property
    def num_variables(self) -> int: ...
    def evaluate(self, solution: Record | _Sample) -> SampleSet: ...
    def solve(
        self,
        solver: Literal["highs", "anneal"] = "highs",
        *,
        time_limit: float | None = None,
        penalty_weight: float = 1.0,
        **options: Any,
    ) -> SampleSet: ...
    def write(self, path: str | os.PathLike[str], *, penalty_weight: float = 1.0) -> None: ...
