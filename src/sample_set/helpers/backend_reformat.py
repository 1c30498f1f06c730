"""Replaces every leaf span by its duration, in place."""


def reformat(obj):
    for k, v in obj.items():
        if isinstance(v, dict):
            if "time" in v:
                obj[k] = v["time"]
            else:
                obj[k] = reformat(v)
    return obj
