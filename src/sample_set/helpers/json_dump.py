"""SampleSet.to_json: the dict form written by orjson, NumPy arrays as nested lists."""
import numpy as np
import orjson


def default(obj):
    if isinstance(obj, np.ndarray):
        return obj.tolist()
    return obj


def dump(obj):
    return orjson.dumps(obj, default=default, option=orjson.OPT_SERIALIZE_NUMPY).decode("utf-8")
