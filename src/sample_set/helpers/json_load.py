"""SampleSet.from_json: the text read by orjson into dicts and lists."""
import orjson


def load(obj):
    return orjson.loads(obj)
