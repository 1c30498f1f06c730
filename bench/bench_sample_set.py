"""Sample sets: feasible/infeasible/lowest on 10^6 samples with 10 constraints against the
same computation on NumPy arrays; concatenate of many sample sets, with its growth."""
import numpy as np

import tarvex as tx

N, K = 1_000_000, 10
RTOL, ATOL = 1e-5, 1e-8


def selection_cases():
    rng = np.random.default_rng(0)
    # About half of the samples feasible: some constraints violated by a small amount.
    violations = [np.where(rng.random(N) < 0.07, rng.random(N), 0.0) for _ in range(K)]
    objective = rng.integers(0, 1000, N).astype(np.float64)
    occurrences = np.ones(N, dtype=np.uint64)
    names = [f"c{k}" for k in range(K)]
    s = tx.SampleSet(
        tx.Record({}, occurrences),
        tx.Evaluation(energy=objective, objective=objective,
                      constraint_violations=dict(zip(names, violations)),
                      constraint_forall={n: [[0]] for n in names}, constraint_values=[{}] * N),
        tx.MeasuringTime())

    def mask():
        total = violations[0].copy()
        for v in violations[1:]:
            total += v
        return np.isfinite(total) & (np.abs(0.0 - total) <= ATOL + RTOL * np.abs(total))

    def select(idx):
        return (occurrences[idx], objective[idx], objective[idx], [v[idx] for v in violations])

    def np_feasible():
        return select(np.nonzero(mask())[0])

    def np_infeasible():
        return select(np.nonzero(~mask())[0])

    def np_lowest():
        idx = np.nonzero(mask())[0]
        feasible = objective[idx]
        lowest = np.nanmin(feasible) if len(feasible) else np.inf
        return select(idx[feasible == lowest])

    yield "SampleSet.feasible 10^6 x 10 constraints vs NumPy", s.feasible, np_feasible
    yield "SampleSet.infeasible 10^6 x 10 constraints vs NumPy", s.infeasible, np_infeasible
    yield "SampleSet.lowest 10^6 x 10 constraints vs NumPy", s.lowest, np_lowest


def concatenate_cases():
    rng = np.random.default_rng(1)
    n = 10_000

    def one():
        return tx.SampleSet(
            tx.Record({"x": [(([int(i)],), [1.0], (8,)) for i in rng.integers(0, 8, n)]}, [1] * n),
            tx.Evaluation(energy=rng.random(n), objective=rng.random(n), constraint_violations={"c": rng.random(n)}),
            tx.MeasuringTime())

    sets = [one() for _ in range(100)]
    arrays = [s.evaluation.objective for s in sets]
    for count in (10, 100):
        yield (f"concatenate {count} sample sets of 10^4 samples vs np.concatenate of their objectives",
               lambda count=count: tx.concatenate(sets[:count]),
               lambda count=count: np.concatenate(arrays[:count]))


def cases():
    yield from selection_cases()
    yield from concatenate_cases()


def summary(results):
    times = {int(name.split()[1]): ours for name, (ours, _) in results.items() if name.startswith("concatenate")}
    if 10 in times and 100 in times:
        print(f"          concatenate growth: 100 sets take {times[100] / times[10]:.1f}x the time of 10 sets "
              f"({times[100] / 1e6 * 1e9:.0f} ns per sample)")
