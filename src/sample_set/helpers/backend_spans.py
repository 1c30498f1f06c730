"""Durations of the timing spans that the remote solving service leaves in the metadata."""
import datetime

FORMAT = "%Y-%m-%dT%H:%M:%S.%fZ"


def timedelta(start, end):
    start = datetime.datetime.strptime(start, FORMAT)
    end = datetime.datetime.strptime(end, FORMAT)
    return (end - start).total_seconds()


def get_timedelta_by_span(obj, res=None):
    if res is None:
        res = {}
    for k, v in obj.items():
        if isinstance(v, dict):
            if "start_time" in v:
                res[k] = {
                    "time": timedelta(v["start_time"], v["end_time"]),
                    "span_id": v["context"]["span_id"],
                    "parent_id": v["parent_id"],
                }
            else:
                res[k] = get_timedelta_by_span(v, {})
    return res
