"""LaTeX rendering: node forms, reductions, forall clauses, documents, set_latex.

Every string rendered here goes through `latex()`, which records it; when the
module's tests are done, all of them are rendered once more by KaTeX and any
string it rejects fails the run.
"""
import pytest

import tarvex as tx
from conftest import custom, problem
from latex_check import assert_katex_valid, katex_errors

RENDERED = []


def latex(obj):
    text = obj._repr_latex_()
    RENDERED.append(text)
    return text


@pytest.fixture(scope="module", autouse=True)
def katex_accepts_all_rendered_latex():
    yield
    assert_katex_valid(RENDERED)


def dm(body):
    return "$$\\displaystyle " + body + "$$"


def array(*rows):
    return "\\begin{array}{cccc}\n" + "".join(rows) + "\n\\end{array}"


N, M = tx.Placeholder("N"), tx.Placeholder("M")
a = tx.Placeholder("a", ndim=1)
A = tx.Placeholder("A", ndim=2)
E = tx.Placeholder("E", ndim=2)
E_cal = tx.Placeholder("E", ndim=2, latex=r"\mathcal{E}")
A_bold = tx.Placeholder("A", ndim=2, latex=r"\mathbf{A}")
p_pi = tx.Placeholder("p", ndim=1, latex=r"\pi")
i = tx.Element("i", belong_to=N)
j = tx.Element("j", belong_to=N)
k = tx.Element("k", belong_to=10)
m = tx.Element("m", belong_to=(1, N + 1))
r_pow = tx.Element("r", belong_to=(M ** 2, N ** 2))
tau = tx.Element("t", belong_to=N, latex=r"\tau")
e = tx.Element("e", belong_to=E)
e_cal = tx.Element("e", belong_to=E_cal)
eps = tx.Element("e", belong_to=E_cal, latex=r"\epsilon")
f = tx.Element("f", belong_to=eps)
g = tx.Element("g", belong_to=A[i])
g_bold = tx.Element("g", belong_to=A_bold[i])
x = tx.BinaryVar("x", shape=[N])
y = tx.BinaryVar("y", shape=[N, N])

SUM_A = r"\sum_{i = 0}^{N - 1} a_{i}"
RANGE_I = r"\left\{0,\ldots,N - 1\right\}"


def test_katex_check_rejects_malformed_latex():
    bad = [r"\frac{1", r"\left( x", r"\text{a_b}", r"x^^2"]
    good = [r"\displaystyle x^{2}", array(r" & \text{c} & x & \\")]
    found = katex_errors(bad + good)
    assert [s for s, _ in found] == bad
    assert all("KaTeX parse error" in err for _, err in found)


@pytest.mark.parametrize("obj, body", [
    # leaves, subscripts and array lengths
    (tau, r"\tau"), (tx.BinaryVar("x", latex=r"\xi"), r"\xi"), (A[i, j], "A_{i, j}"),
    (p_pi[a[tau]], r"p_{a_{\tau}}"), (eps[1], r"\epsilon_{1}"),
    (A[i].len_at(0), r"\mathrm{len}\left(A_{i}, 0\right)"), (eps.len_at(0), r"\mathrm{len}\left(\epsilon, 0\right)"),
    (p_pi.len_at(0), r"\mathrm{len}\left(p, 0\right)"),
    # unary operators; the logarithms wrap sums, products, powers, remainders, reductions
    (tx.abs(N + 1), r"\left| N + 1 \right|"), (tx.ceil(N), r"\left\lceil N \right\rceil"),
    (tx.floor(N), r"\left\lfloor N \right\rfloor"), (tx.ln(N + 1), r"\ln \left(N + 1\right)"),
    (tx.log2(2 * N), r"\log_{2} \left(2 \cdot N\right)"), (tx.log10(N ** 2), r"\log_{10} \left(N^{2}\right)"),
    (tx.ln(N % 2), r"\ln \left(N \bmod 2\right)"), (tx.ln(tx.sum(i, a[i])), rf"\ln \left({SUM_A}\right)"),
    (tx.ln(tx.min(N, M)), r"\ln \min\left(N, M\right)"),
    # powers and remainders; a negative base or exponent is parenthesized
    (N ** -1, "N^{(-1)}"), (tx.NumberLit(-2) ** N, "(-2)^{N}"), ((N + 1) ** 2, r"\left(N + 1\right)^{2}"),
    ((2 * N) ** (N + 1), r"\left(2 \cdot N\right)^{N + 1}"), ((N ** 2) ** 3, r"\left(N^{2}\right)^{3}"),
    ((N % 3) ** 2, r"\left(N \bmod 3\right)^{2}"), (tx.sum(i, a[i]) ** 2, rf"\left({SUM_A}\right)^{{2}}"),
    (tx.ln(N) ** 2, r"\left(\ln N\right)^{2}"), (tx.abs(N) ** 2, r"\left| N \right|^{2}"),
    ((N + 1) % 3, r"\left(N + 1\right) \bmod 3"),
    ((N * M) % (N % 2), r"\left(N \cdot M\right) \bmod \left(N \bmod 2\right)"),
    ((N ** 2) % tx.sum(i, a[i]), rf"N^{{2}} \bmod {SUM_A}"),
    # sums, products, minimum and maximum; a negative NaN keeps its plus sign
    (N - M - 1, "N - M - 1"), (-N + M, "- N + M"), (-(N * M), r"- N \cdot M"), (-2 * N, r"(-2) \cdot N"),
    (2 * N - 3 * M, r"2 \cdot N - 3 \cdot M"), (N + tx.NumberLit(-float("nan")), "N + NaN"),
    ((N + 1) * M * (N % 3), r"\left(N + 1\right) \cdot M \cdot \left(N \bmod 3\right)"),
    (N * M ** 2 * tx.sum(i, a[i]), rf"N \cdot M^{{2}} \cdot {SUM_A}"),
    (tx.min(-1, N + 1), r"\min\left((-1), N + 1\right)"), (tx.max(), r"\max\left(\right)"),
    # reductions over ranges, with conditions, over arrays and elements, nested
    (tx.prod(k, a[k]), r"\prod_{k = 0}^{9} a_{k}"), (tx.sum(m, a[m]), r"\sum_{m = 1}^{N} a_{m}"),
    (tx.sum(tx.Element("r", (0, 2.5)), a[N]), r"\sum_{r = 0}^{1.5} a_{N}"),
    (tx.sum(tx.Element("r", (-1, 2 * N)), a[N]), r"\sum_{r = (-1)}^{2 \cdot N - 1} a_{N}"),
    (tx.sum(tx.Element("r", (M + 1, N)), a[N]), r"\sum_{r = \left(M + 1\right)}^{N - 1} a_{N}"),
    (tx.sum((tau, (tau != j) & (tau > 0)), y[tau, j]),
     r"\sum_{\substack{\tau = 0\\\tau \neq j \land \tau > 0}}^{N - 1} y_{\tau, j}"),
    (tx.sum(eps, eps[0]), r"\sum_{\epsilon \in E} \epsilon_{0}"), (tx.sum(f, f), r"\sum_{f \in e} f"),
    (tx.sum((e, e[0] > 1), e[1]), r"\sum_{\substack{e \in E\\e_{0} > 1}} e_{1}"),
    (tx.sum((g_bold, g_bold < N), g_bold), r"\sum_{\substack{g \in A_{i}\\g < N}} g"),
    (tx.prod([i, (j, j != i)], y[i, j]),
     r"\prod_{i = 0}^{N - 1} \prod_{\substack{j = 0\\j \neq i}}^{N - 1} y_{i, j}"),
    (y[:, 1:3].prod(), r"\prod_{\ast_{0} = 0}^{N - 1} \prod_{\ast_{1} = 1}^{2} y_{\ast_{0}, \ast_{1}}"),
    (tx.sum(i, a[i] + 1), r"\sum_{i = 0}^{N - 1} \left(a_{i} + 1\right)"),
    (tx.sum(i, 2 * a[i]), r"\sum_{i = 0}^{N - 1} 2 \cdot a_{i}"),
    (tx.sum(i, a[i] ** 2), r"\sum_{i = 0}^{N - 1} \left(a_{i}^{2}\right)"),
    (tx.prod(i, tx.ln(a[i])), r"\prod_{i = 0}^{N - 1} \ln a_{i}"),
    # conditions
    (N == 1, "N = 1"), (N != 1, r"N \neq 1"), (N < 1, "N < 1"), (N <= 1, r"N \leq 1"), (N > 1, "N > 1"),
    (N >= 1, r"N \geq 1"), ((N == 1) | (M > 2), r"N = 1 \lor M > 2"),
    (((N == 1) ^ (M > 2)) & (N < M), r"N = 1 \oplus M > 2 \land N < M"),
    (tx.NumberLit(-2) == N - 1, "(-2) = N - 1"),
])
def test_node_latex(obj, body):
    assert latex(obj) == dm(body)


@pytest.mark.parametrize("value, text", [(-2, "(-2)"), (3.0, "3"), (-0.0, "(-0)")])
def test_number_literal_has_no_display_wrapper(value, text):
    assert latex(tx.NumberLit(value)) == text


SET_LATEX_CLASSES = """Placeholder Element Subscript ArrayLength BinaryVar IntegerVar ContinuousVar
    SemiIntegerVar SemiContinuousVar AddOp MulOp MinOp MaxOp PowOp ModOp AbsOp CeilOp FloorOp LnOp
    Log10Op Log2Op SumOp ProdOp EqualOp NotEqualOp LessThanOp LessThanEqualOp GreaterThanOp
    GreaterThanEqualOp AndOp OrOp XorOp""".split()


def test_set_latex_exists_exactly_on_the_node_classes():
    with_set_latex = {name for name, obj in vars(tx).items()
                      if isinstance(obj, type) and hasattr(obj, "set_latex")}
    assert with_set_latex == set(SET_LATEX_CLASSES) and len(SET_LATEX_CLASSES) == 32


@pytest.mark.parametrize("build, default", [
    (lambda: tx.Element("q", belong_to=N), "q"), (lambda: tx.Placeholder("q", ndim=1, description="d"), "q"),
    (lambda: A[i, j], "A_{i, j}"), (lambda: tx.SemiIntegerVar("v", lower_bound=0, upper_bound=N), "v"),
    (lambda: N ** 2, "N^{2}"), (lambda: tx.sum(i, a[i]), SUM_A), (lambda: N >= M, r"N \geq M"),
    (lambda: (N > 1) ^ (M > 1), r"N > 1 \oplus M > 1"),
])
def test_set_latex_replaces_and_restores(build, default):
    obj = build()
    text, shown = str(obj), repr(obj)
    assert latex(obj) == dm(default)
    assert obj.set_latex(r"\Omega") is None
    obj.set_latex(latex=r"\Omega_{2}")
    assert latex(obj) == dm(r"\Omega_{2}") and str(obj) == text  # the text form ignores LaTeX
    assert obj.set_latex() is None  # removed: None is the default
    assert latex(obj) == dm(default) and repr(obj) == shown
    with pytest.raises(TypeError, match="latex"):
        obj.set_latex(1)
    assert latex(obj) == dm(default)


@pytest.mark.parametrize("build, body", [
    (lambda: custom(N + 1, "S") ** 2, "S^{2}"), (lambda: tx.ln(custom(N + 1, "S")), r"\ln S"),
    (lambda: M - custom(N + 1, "S"), "M - S"),
    (lambda: tx.sum(i, custom(a[i] + 1, "b_{i}")), r"\sum_{i = 0}^{N - 1} b_{i}"),
    (lambda: tx.Placeholder("p", latex=r"\phi") ** 2, r"\phi^{2}"),
    (lambda: custom(N == 1, "C") & (M > 2), r"N = 1 \land M > 2"),
    (lambda: tx.sum((i, custom(i != j, "C")), y[i, j]),
     r"\sum_{\substack{i = 0\\i \neq j}}^{N - 1} y_{i, j}"),
], ids=["in-power", "in-ln", "negated", "reduction-operand", "placeholder",
     "nested-condition-ignored", "reduction-condition-ignored"])
def test_custom_latex_is_written_verbatim(build, body):
    assert latex(build()) == dm(body)


def test_set_latex_changes_only_the_object_it_is_called_on():
    q, s = tx.Placeholder("q"), N + 1
    total = q + 1
    q.set_latex(r"\theta")
    assert (latex(total), latex(q + 1)) == (dm("q + 1"), dm(r"\theta + 1"))
    s.set_latex("S")
    assert latex(s ** 2) == dm("S^{2}")
    s.set_latex(None)  # removed: the parentheses are back
    assert latex(s ** 2) == dm(r"\left(N + 1\right)^{2}")


@pytest.mark.parametrize("build, clause", [
    (lambda: (x[i] <= 1, i), rf"\forall i \in {RANGE_I}"),
    (lambda: (x[k] <= 1, k), r"\forall k \in \left\{0,\ldots,9\right\}"),
    (lambda: (x[m] <= 1, m), r"\forall m \in \left\{1,\ldots,N\right\}"),
    (lambda: (x[r_pow] <= 1, r_pow),
     r"\forall r \in \left\{\left(M^{2}\right),\ldots,N^{2} - 1\right\}"),
    (lambda: (x[tau] <= 1, (tau, tau != 0)),
     rf"\forall \tau \in \left\{{\tau \in {RANGE_I} \mid \tau \neq 0 \right\}}"),
    (lambda: (y[i, j] <= 1, [i, (j, custom(j != i, r"j \ne i"))]),
     rf"\forall i \in {RANGE_I} \forall j \in \left\{{j \in {RANGE_I} \mid j \ne i \right\}}"),
    (lambda: (x[e_cal[0]] <= 1, (e_cal, e_cal[1] > 0)),
     r"\forall e \in \left\{e \in \mathcal{E} \mid e_{1} > 0 \right\}"),
    (lambda: (x[f] <= 1, [eps, f]), r"\forall \epsilon \in \mathcal{E} \forall f \in \epsilon"),
    (lambda: (x[g] <= 1, [i, (g, g > 0)]),
     rf"\forall i \in {RANGE_I} \forall g \in \left\{{g \in A_{{i}} \mid g > 0 \right\}}"),
], ids=["range", "literal-end", "end-plus-one", "power-bounds", "element-latex-condition",
     "condition-latex", "placeholder-set-latex", "element-set", "subscript-set"])
def test_forall_clause(build, clause):
    cond, forall = build()
    c = tx.Constraint("c", cond, forall=forall)
    row = latex(c)
    assert row.startswith("\\begin{array}{cccc}\n & \\text{c} & \\displaystyle ")
    assert row.endswith(" & " + clause + " \\\\\n\\end{array}")
    p = tx.CustomPenaltyTerm("p", cond.left, forall=forall)
    assert latex(p).endswith(" & " + clause + " \\\\\n\\end{array}")


@pytest.mark.parametrize("obj, row", [
    (tx.Constraint("c", x[0] >= 1), r" & \text{c} & \displaystyle x_{0} \geq 1 &  \\"),
    (tx.Constraint("c", x[0] ** 2 <= 1), r" & \text{c} & \displaystyle x_{0}^{2} \leq 1 &  \\"),
    (tx.CustomPenaltyTerm("one hot", (tx.sum(i, x[i]) - 1) ** 2),
     r" & \text{one hot} & \displaystyle "
     r"\left(\left(\sum_{i = 0}^{N - 1} x_{i} - 1\right)^{2}\right) &  \\"),
    (tx.CustomPenaltyTerm("p", custom(x[0] ** 2, "P")), r" & \text{p} & \displaystyle P &  \\"),
], ids=["constraint", "constraint-power-not-wrapped", "penalty-power-wrapped", "penalty-custom"])
def test_constraint_and_penalty_documents(obj, row):
    assert latex(obj) == array(row)


ESCAPES = [("#", r"\#"), ("$", r"\$"), ("%", r"\%"), ("&", r"\&"), ("_", r"\_"), ("{", r"\{"), ("}", r"\}"),
           ("\\", r"\textbackslash{}"), ("^", r"\textasciicircum{}"), ("~", r"\textasciitilde{}")]


@pytest.mark.parametrize("name, escaped", [
    ("a_b", r"a\_b"), ("x " + "".join(c for c, _ in ESCAPES) + " é", "x " + "".join(s for _, s in ESCAPES) + " é"),
], ids=["a_b", "all"])
def test_names_are_escaped(name, escaped):
    c = tx.Constraint(name, x[0] <= 1)
    assert latex(c) == array(rf" & \text{{{escaped}}} & \displaystyle x_{{0}} \leq 1 &  \\")
    doc = latex(problem(name, tx.CustomPenaltyTerm(name, x[0])))
    assert doc.startswith("\\begin{array}{cccc}\n\\text{Problem:} & \\text{" + escaped + "} & & \\\\\n")
    assert "\\text{penalty terms} & & & \\\\ & \\text{" + escaped + "} & " in doc


@pytest.mark.parametrize("p, middle", [
    (problem("knapsack", tx.sum(i, tx.Placeholder("v", ndim=1)[i] * x[i]), sense=tx.ProblemSense.MAXIMIZE),
     [r"& & \max \quad \displaystyle \sum_{i = 0}^{N - 1} v_{i} \cdot x_{i} & \\",
      "",  # no constraints
      "",  # no penalty terms
      r"\text{{where}} & & & \\",
      r"& x & 1\text{-dim binary variable}\\",
      *[""] * 4]),  # no integer, continuous, semi-integer or semi-continuous variables
    (problem("empty"), [r"& & \min \quad \displaystyle 0 & \\", *[""] * 8]),
    (problem("penalized", tx.CustomPenaltyTerm("each", 2 * x[i], forall=i)),
     [r"& & \min \quad \displaystyle 0 & \\", "",
      rf"\text{{penalty terms}} & & & \\ & \text{{each}} & \displaystyle 2 \cdot x_{{i}} & \forall i \in {RANGE_I} \\",
      r"\text{{where}} & & & \\", r"& x & 1\text{-dim binary variable}\\", *[""] * 4]),
    # a power objective is wrapped, as a penalty term is; a power node alone is not
    (problem("p", tx.BinaryVar("x") ** 2), [r"& & \min \quad \displaystyle \left(x^{2}\right) & \\", "", "",
                                           r"\text{{where}} & & & \\", r"& x & 0\text{-dim binary variable}\\",
                                           *[""] * 4]),
    # an equal copy of a variable is listed once
    (problem("p", x[0], tx.CustomPenaltyTerm("q", tx.BinaryVar("x", shape=[N])[1])),
     [r"& & \min \quad \displaystyle x_{0} & \\", "",
      r"\text{penalty terms} & & & \\ & \text{q} & \displaystyle x_{1} &  \\",
      r"\text{{where}} & & & \\", r"& x & 1\text{-dim binary variable}\\", *[""] * 4]),
], ids=["no-constraints-or-penalties", "no-variables", "penalties-and-no-constraints", "power-objective", "equal-copy"])
def test_problem_documents(p, middle):
    assert latex(p) == "\n".join([r"\begin{array}{cccc}", rf"\text{{Problem:}} & \text{{{p.name}}} & & \\",
                                   *middle, r"\end{array}"])


def test_problem_with_everything():
    u = tx.Placeholder("u", ndim=1, latex=r"\bar{u}")
    U = tx.Placeholder("U", ndim=3)
    jm = tx.Element("j", belong_to=(0, M))
    b = tx.BinaryVar("b", shape=[N], description="chosen")
    B = tx.BinaryVar("B_1", latex=r"\beta")  # a name that is not escaped, a LaTeX that is not used
    n = tx.IntegerVar("n", shape=[N], lower_bound=0, upper_bound=u, description="count")
    w = tx.ContinuousVar("w", shape=[N, M], lower_bound=-1.5, upper_bound=U[0])
    s = tx.SemiIntegerVar("s", lower_bound=N, upper_bound=N + 5, description="batch size")
    z = tx.SemiContinuousVar("z", shape=[N], lower_bound=u, upper_bound=N ** 2,
                             description="flow")
    p = problem("full_model", tx.sum(i, b[i] + n[i]), tx.Constraint("link", n[i] <= z[i], forall=i),
                tx.Constraint("cap", tx.sum(jm, w[i, jm]) >= s, forall=[i]),
                tx.Constraint("pair", b[i] + b[jm] <= 1, forall=[i, (jm, jm != i)]),
                tx.CustomPenaltyTerm("pen", (tx.sum(i, b[i]) - 1) ** 2),
                tx.CustomPenaltyTerm("each", n[i] * 2 + B, forall=i),  # B occurs only here
                sense=tx.ProblemSense.MAXIMIZE)
    range_m = r"\left\{0,\ldots,M - 1\right\}"
    assert latex(p) == "\n".join([
        r"\begin{array}{cccc}",
        r"\text{Problem:} & \text{full\_model} & & \\",
        r"& & \max \quad \displaystyle \sum_{i = 0}^{N - 1} \left(b_{i} + n_{i}\right) & \\",
        r"\text{s.t.} & & & \\"
        rf" & \text{{cap}} & \displaystyle \sum_{{j = 0}}^{{M - 1}} w_{{i, j}} \geq s"
        rf" & \forall i \in {RANGE_I} \\"
        rf" & \text{{link}} & \displaystyle n_{{i}} \leq z_{{i}} & \forall i \in {RANGE_I} \\"
        rf" & \text{{pair}} & \displaystyle b_{{i}} + b_{{j}} \leq 1"
        rf" & \forall i \in {RANGE_I}"
        rf" \forall j \in \left\{{j \in {range_m} \mid j \neq i \right\}} \\",
        r"\text{penalty terms} & & & \\"
        rf" & \text{{each}} & \displaystyle 2 \cdot n_{{i}} + \beta & \forall i \in {RANGE_I} \\"
        r" & \text{pen} & \displaystyle"
        r" \left(\left(\sum_{i = 0}^{N - 1} b_{i} - 1\right)^{2}\right) &  \\",
        r"\text{{where}} & & & \\",
        r"& B_1 & 0\text{-dim binary variable}\\& b & 1\text{-dim binary variable}& \text{chosen}\\",
        r"& n & 1\text{-dim integer variable}& \text{count}\\"
        r" & & \text{lower bound: }0 & \\ & & \text{upper bound: }u & \\",
        r"& w & 2\text{-dim continuous variable}\\"
        r" & & \text{lower bound: }(-1.5) & \\ & & \text{upper bound: }U_{0} & \\",
        r"& s & 0\text{-dim semi-integer variable}& \text{batch size}\\"
        r" & & \text{lower bound: }N & \\ & & \text{upper bound: }N + 5 & \\",
        r"& z & 1\text{-dim semi-continuous variable}& \text{flow}\\"
        r" & & \text{lower bound: }u & \\ & & \text{upper bound: }\left(N^{2}\right) & \\",
        r"\end{array}",
    ])


def _where_block(p):
    doc = latex(p)
    head = "\\text{{where}} & & & \\\\\n"
    assert doc.count(head) == 1
    return doc.split(head)[1].removesuffix("\\end{array}").split("\n")


@pytest.mark.parametrize("lower, upper, ndim, low, up", [
    (tx.Placeholder("L", latex=r"\lambda"), N % 4, 1, r"\lambda", r"\left(N \bmod 4\right)"),
    (0, custom(N ** 2, "Q"), 1, "0", "Q"),
    (0, p_pi, 1, "0", "p"),
    (tx.Placeholder("U", ndim=3, latex=r"\mathcal{U}")[0], 1, 2, "U_{0}", "1"),
    (0, custom(tx.Placeholder("U", ndim=3)[0], r"\bar{U}"), 2, "0", r"\bar{U}"),
], ids=["expression-latex-and-mod-wrapped", "custom-expression", "placeholder-latex-ignored",
     "subscript", "subscript-latex"])
def test_variable_bounds(lower, upper, ndim, low, up):
    v = tx.IntegerVar("n", shape=[N] * ndim, lower_bound=lower, upper_bound=upper)
    assert _where_block(problem("p", v[(0,) * ndim]))[1] == (
        rf"& n & {ndim}\text{{-dim integer variable}}\\"
        rf" & & \text{{lower bound: }}{low} & \\ & & \text{{upper bound: }}{up} & \\")
