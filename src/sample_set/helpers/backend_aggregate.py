"""Nests the spans under their parents, from one root span down."""


def aggregate(obj, root_key, res=None):
    if res is None:
        root = obj.pop(root_key, None)
        if root is None:
            return {}
        res = {root_key: {"id": root["span_id"], "time": root["time"]}}
    for node in res.values():
        children = {
            k: {"id": v["span_id"], "time": v["time"]}
            for k, v in obj.items()
            if v.get("parent_id", "") == node["id"]
        }
        if children:
            del node["id"]
            del node["time"]
            node.update(aggregate(obj, root_key, children))
        else:
            del node["id"]
    return res
