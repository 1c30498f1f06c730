"""Runs the benchmarks: for each case our time, a baseline timed in the same run, their ratio.

Usage: python bench/run.py [substring ...]   (only cases whose name contains a substring)

Each bench_*.py module beside this file defines `cases()`, yielding
(name, ours, baseline) with two zero-argument callables doing the same work, and may define
`summary(results)`, called with {name: (ours, baseline)} in seconds, to print derived figures.
"""
import importlib.util
import pathlib
import sys
import timeit


def best_time(fn, min_total=0.2, repeat=5):
    """Best seconds per call of `fn`, over `repeat` rounds of enough calls to last min_total."""
    number = 1
    while True:
        t = timeit.timeit(fn, number=number)
        if t >= min_total / repeat or number >= 1 << 24:
            break
        number *= 4
    return min(timeit.repeat(fn, number=number, repeat=repeat)) / number


def fmt(seconds):
    for unit, scale in (("s", 1), ("ms", 1e-3), ("us", 1e-6), ("ns", 1e-9)):
        if seconds >= scale:
            return f"{seconds / scale:8.2f} {unit}"
    return f"{seconds / 1e-9:8.2f} ns"


def load_modules():
    here = pathlib.Path(__file__).parent
    for path in sorted(here.glob("bench_*.py")):
        spec = importlib.util.spec_from_file_location(path.stem, path)
        module = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(module)
        yield module


def main(filters):
    print(f"{'ratio':>8}  {'ours':>11}  {'baseline':>11}  case")
    for module in load_modules():
        results = {}
        for name, ours, baseline in module.cases():
            if filters and not any(f in name for f in filters):
                continue
            t_ours = best_time(ours)
            t_base = best_time(baseline)
            results[name] = (t_ours, t_base)
            print(f"{t_ours / t_base:8.3f}  {fmt(t_ours)}  {fmt(t_base)}  {name}", flush=True)
        if results and hasattr(module, "summary"):
            module.summary(results)


if __name__ == "__main__":
    main(sys.argv[1:])
