"""Tables of records, evaluations and sample sets."""
import pandas


def frame(columns):
    return pandas.DataFrame.from_dict(columns)


def concat(left, right):
    return pandas.concat([left, right], axis=1)
