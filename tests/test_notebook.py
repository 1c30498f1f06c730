"""The example notebook runs and shows the LaTeX of what its cells evaluate to.

The notebook is executed in a fresh kernel of this interpreter. Its code cells
are also run here, in order, so that the value each cell ends with can be
rendered in this process and compared with what the kernel displayed.
"""
import ast
import copy
from pathlib import Path

import nbformat
import pytest
from nbclient import NotebookClient

from latex_check import assert_katex_valid

NOTEBOOK = Path(__file__).resolve().parents[1] / "examples" / "quickstart.ipynb"


def code_cells(nb):
    return [cell for cell in nb.cells if cell.cell_type == "code"]


def latex_outputs(cell):
    return [out["data"]["text/latex"] for out in cell.get("outputs", [])
            if out.get("output_type") in ("execute_result", "display_data") and "text/latex" in out.get("data", {})]


@pytest.fixture(scope="module")
def stored():
    return nbformat.read(NOTEBOOK, as_version=4)


@pytest.fixture(scope="module")
def executed(stored):
    nb = copy.deepcopy(stored)
    resources = {"metadata": {"path": str(NOTEBOOK.parent)}}
    NotebookClient(nb, kernel_name="python3", timeout=180, resources=resources).execute()
    return nb


@pytest.fixture(scope="module")
def cell_values(stored):
    """The value of each code cell's final expression (None when it ends in a statement)."""
    namespace = {"__name__": "__main__"}
    values = []
    for n, cell in enumerate(code_cells(stored)):
        tree = ast.parse(cell.source)
        last = None
        shows_value = not cell.source.rstrip().endswith(";")
        if shows_value and tree.body and isinstance(tree.body[-1], ast.Expr):
            last = ast.Expression(tree.body.pop().value)
        exec(compile(tree, f"<cell {n}>", "exec"), namespace)
        values.append(eval(compile(last, f"<cell {n}>", "eval"), namespace) if last else None)
    return values


def test_notebook_runs_cleanly(executed):
    for cell in code_cells(executed):
        bad = [out for out in cell.get("outputs", [])
               if out.get("output_type") == "error" or out.get("name") == "stderr"]
        assert not bad, cell.source


def test_displayed_latex_is_the_objects_latex(executed, cell_values):
    cells = code_cells(executed)
    assert len(cells) == len(cell_values)
    for cell, value in zip(cells, cell_values):
        latex = value._repr_latex_() if value is not None and hasattr(value, "_repr_latex_") else None
        # a pandas table has the method but shows no LaTeX
        assert latex_outputs(cell) == ([] if latex is None else [latex]), cell.source


REFRESH = ("the outputs saved in examples/quickstart.ipynb are stale; refresh them with\n"
           "  .venv/bin/python -c \"import nbformat, nbclient; p = 'examples/quickstart.ipynb'; "
           "nb = nbformat.read(p, 4); nbclient.NotebookClient(nb, kernel_name='python3', record_timing=False)"
           ".execute(); nbformat.write(nb, p)\"")


def test_stored_outputs_are_current(stored, executed):
    saved = [latex_outputs(c) for c in code_cells(stored)]
    assert saved == [latex_outputs(c) for c in code_cells(executed)], REFRESH


def test_displayed_latex_renders(executed):
    outputs = [text for cell in code_cells(executed) for text in latex_outputs(cell)]
    assert outputs
    assert_katex_valid(outputs)
