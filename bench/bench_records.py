"""Records: JSON writing and reading against orjson on the same numbers; dense/sparse
conversion of a million-element array against the same work done with NumPy."""
import numpy as np
import orjson

import tarvex as tx


def cases():
    rng = np.random.default_rng(0)
    # 100 samples of 10^4 values: random doubles (17 significant digits) and small integers.
    for label, make in [("random", lambda: rng.standard_normal(10_000)),
                        ("integral", lambda: rng.integers(0, 100, 10_000).astype(np.float64))]:
        samples = [make() for _ in range(100)]
        record = tx.Record({"x": samples}, [1] * 100)
        text = record.to_json()
        base = {"x": samples, "num_occurrences": [1] * 100}
        base_text = orjson.dumps(base, option=orjson.OPT_SERIALIZE_NUMPY)
        yield (f"Record.to_json 100x10^4 {label} vs orjson.dumps", record.to_json,
               lambda base=base: orjson.dumps(base, option=orjson.OPT_SERIALIZE_NUMPY))
        yield (f"Record.from_json 100x10^4 {label} vs orjson.loads", lambda text=text: tx.Record.from_json(text),
               lambda base_text=base_text: orjson.loads(base_text))

    # 10^6 elements, 10% of them nonzero, as a 1000x1000 array.
    a = np.where(rng.random((1000, 1000)) < 0.1, rng.standard_normal((1000, 1000)), 0.0)
    dense = tx.Record({"x": [a]}, [1])
    sparse = dense.to_sparse()
    idx = np.nonzero(a)
    vals = a[idx]

    def numpy_to_sparse():
        nz = np.nonzero(a)
        return nz, a[nz]

    def numpy_to_dense():
        out = np.zeros(a.shape)
        out[idx] = vals
        return out

    yield "Record.to_sparse 10^6 elements vs np.nonzero", dense.to_sparse, numpy_to_sparse
    yield "Record.to_dense 10^6 elements vs fancy-index assignment", sparse.to_dense, numpy_to_dense
