"""Sphinx configuration of the tarvex documentation (built by `make docs`)."""
import tarvex

project = "tarvex"
author = "the tarvex developers"
release = tarvex.__version__
version = release

extensions = ["sphinx.ext.autodoc", "sphinx.ext.napoleon"]
# The module is a single extension module: autodoc reads the docstrings of the built module,
# whose first lines are text signatures ("name(args)\n--\n").
autodoc_member_order = "bysource"
autodoc_default_options = {"undoc-members": False}
autodoc_typehints = "none"

html_theme = "furo"
html_title = f"tarvex {release}"
exclude_patterns = ["_build"]
nitpicky = False


def _plain_text_docstrings(app, what, name, obj, options, lines):
    """The module's docstrings are plain text: a `|t|` there is an absolute value, not a
    reStructuredText substitution."""
    for n, line in enumerate(lines):
        lines[n] = line.replace("|", "\\|")


def setup(app):
    app.connect("autodoc-process-docstring", _plain_text_docstrings)
