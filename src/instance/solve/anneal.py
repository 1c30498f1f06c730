"""Simulated annealing: an all-binary compiled model as a binary quadratic model, sampled by
dwave-samplers' SimulatedAnnealingSampler, identical samples merged.

Embedded into the module at build time and called through glue.py.
"""
import time

import numpy as np

INSTALL_HINT = "pip install tarvex[solve]"


def sampler_class():
    try:
        import dimod
        from dwave.samplers import SimulatedAnnealingSampler
    except ImportError as e:
        raise ImportError(f"solving by simulated annealing needs the dwave-samplers package: {INSTALL_HINT}") from e
    return dimod, SimulatedAnnealingSampler


def energy_terms(compiled, objective, weight):
    """What the annealer minimizes, over binary columns: the objective (negated when
    maximizing, its weighted penalties already in) plus weight * (a.x - b)^2 for each equality
    row. Returns (linear float64[n], rows, columns, values with rows < columns, offset), pairs
    merged and x^2 = x folded into the linear part."""
    for name, kind, _shape, _first in compiled["variables"]:
        if kind != "binary":
            raise ValueError(f"the annealer takes binary variables only: '{name}' is {kind}")
    for name, sense in zip(compiled["constraint_names"], compiled["constraint_senses"]):
        if sense != "==":
            raise ValueError(f"the annealer takes equality constraints only (each becomes a squared "
                             f"penalty): '{name}' is {sense}")
    n = len(compiled["col_kind"])
    sign = -1.0 if compiled["sense"] == "maximize" else 1.0
    linear = sign * np.asarray(objective["linear"], dtype=np.float64)
    offset = sign * objective["constant"]
    rows = [np.asarray(objective["quad_row"], dtype=np.int64)]
    cols = [np.asarray(objective["quad_column"], dtype=np.int64)]
    vals = [sign * np.asarray(objective["quad_value"], dtype=np.float64)]
    start = np.asarray(compiled["row_start"], dtype=np.int64)
    column = np.asarray(compiled["row_column"], dtype=np.int64)
    value = np.asarray(compiled["row_value"], dtype=np.float64)
    for k, b in enumerate(np.asarray(compiled["row_lower"], dtype=np.float64)):
        a_col, a_val = column[start[k]:start[k + 1]], value[start[k]:start[k + 1]]
        # (a.x - b)^2 = sum a_i^2 x_i + 2 sum_{i<j} a_i a_j x_i x_j - 2b sum a_i x_i + b^2
        np.add.at(linear, a_col, weight * (a_val * a_val - 2.0 * b * a_val))
        offset += weight * b * b
        i, j = np.triu_indices(a_col.size, 1)
        rows.append(a_col[i])
        cols.append(a_col[j])
        vals.append(2.0 * weight * a_val[i] * a_val[j])
    r, c, v = np.concatenate(rows), np.concatenate(cols), np.concatenate(vals)
    diagonal = r == c
    np.add.at(linear, r[diagonal], v[diagonal])
    r, c, v = r[~diagonal], c[~diagonal], v[~diagonal]
    keys = np.minimum(r, c) * max(n, 1) + np.maximum(r, c)
    unique, inverse = np.unique(keys, return_inverse=True)
    sums = np.bincount(inverse, weights=v, minlength=unique.size)
    keep = sums != 0
    return linear, unique[keep] // max(n, 1), unique[keep] % max(n, 1), sums[keep], float(offset)


def merge_samples(samples, occurrences, energies):
    """Identical rows merged, their occurrences added up; ordered by energy, then by first
    appearance. Returns (samples, counts, energies)."""
    if samples.shape[0] == 0:
        return samples, np.zeros(0, dtype=np.int64), energies
    unique, first, inverse = np.unique(samples, axis=0, return_index=True, return_inverse=True)
    counts = np.bincount(inverse.reshape(-1), weights=occurrences, minlength=unique.shape[0])
    energy = energies[first]
    order = np.lexsort((first, energy))
    return unique[order], counts[order].astype(np.int64), energy[order]


def run(compiled, objective, weight, time_limit, options):
    dimod, Sampler = sampler_class()
    options = dict(options)
    linear, qr, qc, qv, offset = energy_terms(compiled, objective, weight)
    sampler = Sampler()
    unknown = sorted(set(options) - set(sampler.parameters))
    if unknown:
        accepted = ", ".join(sorted(sampler.parameters))
        raise ValueError(f"the annealer has no option {unknown[0]!r} (it takes {accepted})")
    stopped = []
    if time_limit is not None:
        if "interrupt_function" in options:
            raise ValueError("time_limit and interrupt_function cannot be given together")
        deadline = time.perf_counter() + time_limit

        def interrupt():
            if time.perf_counter() > deadline:
                stopped.append(True)
                return True
            return False

        options["interrupt_function"] = interrupt
    n = linear.size
    bqm = dimod.BinaryQuadraticModel.from_numpy_vectors(linear, (qr, qc, qv), offset, dimod.BINARY)
    start = time.perf_counter()
    result = sampler.sample(bqm, **options)
    elapsed = time.perf_counter() - start
    record = result.record
    samples = np.zeros((len(record), n))
    if n:
        samples[:, np.asarray(list(result.variables), dtype=np.int64)] = record.sample
    samples, counts, energies = merge_samples(samples, np.asarray(record.num_occurrences, dtype=np.float64),
                                              np.asarray(record.energy, dtype=np.float64))
    return {
        "samples": samples,
        "counts": counts.tolist(),
        "status": "time limit reached" if stopped else "completed",
        "solve_time": elapsed,
        "metadata": {"num_reads": int(counts.sum()),
                     "lowest_energy": float(energies[0]) if energies.size else None},
    }
