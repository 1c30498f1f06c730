"""LaTeX rendering: node forms, reductions, forall clauses, documents, set_latex.

Every string rendered here goes through `latex()`, which records it; when the
module's tests are done, all of them are rendered once more by KaTeX and any
string it rejects fails the run.
"""
import pytest

import tarvex as tx
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


def lines(*parts):
    return "\n".join(parts)


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


def el(name, belong_to):
    return tx.Element(name, belong_to=belong_to)


# --- the checker itself ---------------------------------------------------------------


def test_katex_check_rejects_malformed_latex():
    bad = [r"\frac{1", r"\left( x", r"\text{a_b}", r"x^^2"]
    good = [r"\displaystyle x^{2}", array(r" & \text{c} & x & \\")]
    found = katex_errors(bad + good)
    assert [s for s, _ in found] == bad
    assert all("KaTeX parse error" in err for _, err in found)


# --- nodes ----------------------------------------------------------------------------


@pytest.mark.parametrize(
    "obj, body",
    [
        (N, "N"),
        (tx.Placeholder("p", latex=r"\pi"), r"\pi"),
        (i, "i"),
        (tau, r"\tau"),
        (x, "x"),
        (tx.BinaryVar("x", latex=r"\xi"), r"\xi"),
        (tx.IntegerVar("n", lower_bound=0, upper_bound=5), "n"),
        (tx.SemiContinuousVar("z", lower_bound=0, upper_bound=5, latex=r"\zeta"), r"\zeta"),
    ],
    ids=["placeholder", "placeholder-latex", "element", "element-latex", "var", "var-latex",
         "integer-var", "semi-continuous-var-latex"],
)
def test_leaves(obj, body):
    assert latex(obj) == dm(body)


@pytest.mark.parametrize(
    "obj, body",
    [
        (a[i], "a_{i}"),
        (A[i, j], "A_{i, j}"),
        (A[i][j], "A_{i, j}"),
        (y[i, j], "y_{i, j}"),
        (x[0], "x_{0}"),
        (p_pi[i], "p_{i}"),
        (tx.BinaryVar("x", shape=[N], latex=r"\xi")[i], "x_{i}"),
        (a[tau], r"a_{\tau}"),
        (a[i + 1], "a_{i + 1}"),
        (A[i, N - 1], "A_{i, N - 1}"),
        (a[a[i]], "a_{a_{i}}"),
        (e[0], "e_{0}"),
        (eps[1], r"\epsilon_{1}"),
        (a[N ** 2], "a_{N^{2}}"),
    ],
    ids=["placeholder", "two-indices", "chained", "var", "literal", "array-latex-ignored",
         "var-latex-ignored", "index-latex", "index-sum", "index-difference", "nested",
         "element", "element-latex", "index-power"],
)
def test_subscripts(obj, body):
    assert latex(obj) == dm(body)


@pytest.mark.parametrize(
    "obj, body",
    [
        (a.len_at(0), r"\mathrm{len}\left(a, 0\right)"),
        (A.len_at(1), r"\mathrm{len}\left(A, 1\right)"),
        (tx.ArrayLength(A, 1), r"\mathrm{len}\left(A, 1\right)"),
        (e.len_at(0), r"\mathrm{len}\left(e, 0\right)"),
        (A[i].len_at(0), r"\mathrm{len}\left(A_{i}, 0\right)"),
        (eps.len_at(0), r"\mathrm{len}\left(\epsilon, 0\right)"),
        (p_pi.len_at(0), r"\mathrm{len}\left(p, 0\right)"),
        (a.len_at(0, latex="L"), "L"),
        (a.len_at(0) - 1, r"\mathrm{len}\left(a, 0\right) - 1"),
    ],
    ids=["placeholder", "axis", "constructor", "element", "subscript", "element-latex",
         "placeholder-latex-ignored",
         "custom", "in-sum"],
)
def test_array_lengths(obj, body):
    assert latex(obj) == dm(body)


@pytest.mark.parametrize(
    "obj, body",
    [
        (tx.abs(N), r"\left| N \right|"),
        (tx.ceil(N), r"\left\lceil N \right\rceil"),
        (tx.floor(N), r"\left\lfloor N \right\rfloor"),
        (tx.ln(N), r"\ln N"),
        (tx.log10(N), r"\log_{10} N"),
        (tx.log2(N), r"\log_{2} N"),
        (tx.abs(N + 1), r"\left| N + 1 \right|"),
        (tx.ceil(N ** 2), r"\left\lceil N^{2} \right\rceil"),
        (tx.floor(N / 2), r"\left\lfloor N \cdot 2^{(-1)} \right\rfloor"),
        (tx.ln(N + 1), r"\ln \left(N + 1\right)"),
        (tx.log2(2 * N), r"\log_{2} \left(2 \cdot N\right)"),
        (tx.log10(N ** 2), r"\log_{10} \left(N^{2}\right)"),
        (tx.ln(N % 2), r"\ln \left(N \bmod 2\right)"),
        (tx.ln(tx.sum(i, a[i])), rf"\ln \left({SUM_A}\right)"),
        (tx.log2(tx.prod(i, a[i])), r"\log_{2} \left(\prod_{i = 0}^{N - 1} a_{i}\right)"),
        (tx.ln(tx.min(N, M)), r"\ln \min\left(N, M\right)"),
        (tx.ln(tx.abs(N)), r"\ln \left| N \right|"),
        (tx.ln(tx.ln(N)), r"\ln \ln N"),
        (tx.abs(tx.abs(N)), r"\left| \left| N \right| \right|"),
    ],
    ids=["abs", "ceil", "floor", "ln", "log10", "log2", "abs-sum", "ceil-power", "floor-quotient",
         "ln-sum", "log2-product", "log10-power", "ln-mod", "ln-reduction", "log2-reduction",
         "ln-min", "ln-abs", "ln-ln", "abs-abs"],
)
def test_unary_operators(obj, body):
    assert latex(obj) == dm(body)


@pytest.mark.parametrize(
    "obj, body",
    [
        (N ** 2, "N^{2}"),
        (N ** 0.5, "N^{0.5}"),
        (N ** -1, "N^{(-1)}"),
        (2 ** N, "2^{N}"),
        (tx.NumberLit(-2) ** N, "(-2)^{N}"),
        (tx.NumberLit(-2.5) ** N, "(-2.5)^{N}"),
        ((N + 1) ** 2, r"\left(N + 1\right)^{2}"),
        ((2 * N) ** 2, r"\left(2 \cdot N\right)^{2}"),
        ((N ** 2) ** 3, r"\left(N^{2}\right)^{3}"),
        ((N % 3) ** 2, r"\left(N \bmod 3\right)^{2}"),
        (tx.sum(i, a[i]) ** 2, rf"\left({SUM_A}\right)^{{2}}"),
        (N ** (N + 1), "N^{N + 1}"),
        (N ** (M ** 2), "N^{M^{2}}"),
        (N ** tx.sum(i, a[i]), rf"N^{{{SUM_A}}}"),
        (a[i] ** 2, "a_{i}^{2}"),
        (tx.min(N, M) ** 2, r"\min\left(N, M\right)^{2}"),
        (tx.ln(N) ** 2, r"\left(\ln N\right)^{2}"),
        (tx.log2(N) ** 2, r"\left(\log_{2} N\right)^{2}"),
        (tx.log10(N) ** 2, r"\left(\log_{10} N\right)^{2}"),
        (tx.abs(N) ** 2, r"\left| N \right|^{2}"),
        (tx.ceil(N) ** 2, r"\left\lceil N \right\rceil^{2}"),
        (tx.floor(N) ** 2, r"\left\lfloor N \right\rfloor^{2}"),
        (N % 3, r"N \bmod 3"),
        ((N + 1) % 3, r"\left(N + 1\right) \bmod 3"),
        (N % (M + 1), r"N \bmod \left(M + 1\right)"),
        ((N * M) % 3, r"\left(N \cdot M\right) \bmod 3"),
        ((N % 2) % 3, r"\left(N \bmod 2\right) \bmod 3"),
        (N % (M % 2), r"N \bmod \left(M \bmod 2\right)"),
        ((N ** 2) % 3, r"N^{2} \bmod 3"),
        (N % tx.sum(i, a[i]), rf"N \bmod {SUM_A}"),
    ],
    ids=["square", "float-exponent", "negative-exponent", "literal-base",
         "negative-base", "negative-float-base", "sum-base", "product-base", "power-base",
         "mod-base", "reduction-base", "sum-exponent", "power-exponent", "reduction-exponent",
         "subscript-base", "min-base", "ln-base", "log2-base", "log10-base", "abs-base",
         "ceil-base", "floor-base", "mod", "mod-sum-left", "mod-sum-right", "mod-product-left",
         "mod-mod-left", "mod-mod-right", "mod-power-left", "mod-reduction-right"],
)
def test_power_and_mod(obj, body):
    assert latex(obj) == dm(body)


@pytest.mark.parametrize(
    "obj, body",
    [
        (N + 1, "N + 1"),
        (2 + N, "N + 2"),
        (N - 1, "N - 1"),
        (N - 2.5, "N - 2.5"),
        (N + 0.5, "N + 0.5"),
        (N - M, "N - M"),
        (-N, "- N"),
        (-N + M, "- N + M"),
        (-(N * M), r"- N \cdot M"),
        (-2 * N, r"(-2) \cdot N"),
        (2 * N - 3 * M, r"2 \cdot N - 3 \cdot M"),
        (M - 2 * N - 1, r"M - 2 \cdot N - 1"),
        (N * 0.5, r"0.5 \cdot N"),
        (N * M, r"N \cdot M"),
        ((N + 1) * M, r"\left(N + 1\right) \cdot M"),
        (N * (M + 1), r"N \cdot \left(M + 1\right)"),
        (2 * (N % 3), r"2 \cdot \left(N \bmod 3\right)"),
        (N * M ** 2, r"N \cdot M^{2}"),
        (2 * tx.sum(i, a[i]), rf"2 \cdot {SUM_A}"),
        (tx.sum(i, a[i]) + 1, rf"{SUM_A} + 1"),
        (N - tx.sum(i, a[i]), rf"N - {SUM_A}"),
        (N + M ** 2, "N + M^{2}"),
        (N + M % 2, r"N + M \bmod 2"),
        (x[i] - x[j], "x_{i} - x_{j}"),
        (tx.min(N, M), r"\min\left(N, M\right)"),
        (tx.max(N, 2, a[i]), r"\max\left(N, 2, a_{i}\right)"),
        (tx.min(N + 1, M * 2), r"\min\left(N + 1, 2 \cdot M\right)"),
        (tx.max(N ** 2, N % 2), r"\max\left(N^{2}, N \bmod 2\right)"),
        (tx.min(-1, N), r"\min\left((-1), N\right)"),
        (tx.max(N), r"\max\left(N\right)"),
        (tx.min(), r"\min\left(\right)"),
    ],
    ids=["add", "add-order", "subtract", "subtract-float", "add-float", "difference",
         "negate", "negated-first-term", "negate-product", "negative-coefficient",
         "coefficients", "two-negative-terms", "float-coefficient", "product",
         "sum-factor-left", "sum-factor-right", "mod-factor", "power-factor",
         "reduction-factor", "reduction-term", "minus-reduction", "power-term", "mod-term",
         "var-difference", "min", "max", "min-of-sums", "max-of-power-mod",
         "min-negative-literal", "max-one", "min-empty"],
)
def test_sums_products_min_max(obj, body):
    assert latex(obj) == dm(body)


@pytest.mark.parametrize(
    "obj, body",
    [
        (tx.sum(i, a[i]), SUM_A),
        (tx.prod(i, a[i]), r"\prod_{i = 0}^{N - 1} a_{i}"),
        (tx.sum(k, a[k]), r"\sum_{k = 0}^{9} a_{k}"),
        (tx.sum(m, a[m]), r"\sum_{m = 1}^{N} a_{m}"),
        (tx.sum(el("r", (2, 5)), a[N]), r"\sum_{r = 2}^{4} a_{N}"),
        (tx.sum(el("r", 1), a[N]), r"\sum_{r = 0}^{0} a_{N}"),
        (tx.sum(el("r", (0, 2.5)), a[N]), r"\sum_{r = 0}^{1.5} a_{N}"),
        (tx.sum(el("r", (0, N - 1)), a[N]), r"\sum_{r = 0}^{N - 2} a_{N}"),
        (tx.sum(el("r", (0, 2 * N)), a[N]), r"\sum_{r = 0}^{2 \cdot N - 1} a_{N}"),
        (tx.sum(el("r", (0, N ** 2)), a[N]), r"\sum_{r = 0}^{N^{2} - 1} a_{N}"),
        (tx.sum(el("r", (0, a.len_at(0))), a[N]),
         r"\sum_{r = 0}^{\mathrm{len}\left(a, 0\right) - 1} a_{N}"),
        (tx.sum(el("r", (-1, N)), a[N]), r"\sum_{r = (-1)}^{N - 1} a_{N}"),
        (tx.sum(el("r", (M, N)), a[N]), r"\sum_{r = M}^{N - 1} a_{N}"),
        (tx.sum(el("r", (M + 1, N)), a[N]), r"\sum_{r = \left(M + 1\right)}^{N - 1} a_{N}"),
        (tx.sum(tau, a[tau]), r"\sum_{\tau = 0}^{N - 1} a_{\tau}"),
        (tx.sum((i, i != j), y[i, j]), r"\sum_{\substack{i = 0\\i \neq j}}^{N - 1} y_{i, j}"),
        (tx.prod((k, k >= 2), a[k]), r"\prod_{\substack{k = 0\\k \geq 2}}^{9} a_{k}"),
        (tx.sum((i, (i != j) & (i > 0)), y[i, j]),
         r"\sum_{\substack{i = 0\\i \neq j \land i > 0}}^{N - 1} y_{i, j}"),
        (tx.sum((tau, tau <= N - 2), a[tau]),
         r"\sum_{\substack{\tau = 0\\\tau \leq \left(N - 2\right)}}^{N - 1} a_{\tau}"),
        (tx.prod(e, e[0]), r"\prod_{e \in E} e_{0}"),
        (tx.prod(e_cal, e_cal[0]), r"\prod_{e \in E} e_{0}"),
        (tx.sum(eps, eps[0]), r"\sum_{\epsilon \in E} \epsilon_{0}"),
        (tx.sum((e, e[0] > 1), e[1]), r"\sum_{\substack{e \in E\\e_{0} > 1}} e_{1}"),
        (tx.sum(f, f), r"\sum_{f \in e} f"),
        (tx.sum((f, f != 0), f), r"\sum_{\substack{f \in e\\f \neq 0}} f"),
        (tx.sum(g, g), r"\sum_{g \in A_{i}} g"),
        (tx.sum(g_bold, g_bold), r"\sum_{g \in A_{i}} g"),
        (tx.sum((g, g < N), g), r"\sum_{\substack{g \in A_{i}\\g < N}} g"),
        (tx.sum([i, j], y[i, j]), r"\sum_{i = 0}^{N - 1} \sum_{j = 0}^{N - 1} y_{i, j}"),
        (tx.prod([i, (j, j != i)], y[i, j]),
         r"\prod_{i = 0}^{N - 1} \prod_{\substack{j = 0\\j \neq i}}^{N - 1} y_{i, j}"),
        (x[:].sum(), r"\sum_{\ast_{0} = 0}^{N - 1} x_{\ast_{0}}"),
        (y[:, 1:3].prod(),
         r"\prod_{\ast_{0} = 0}^{N - 1} \prod_{\ast_{1} = 1}^{2} y_{\ast_{0}, \ast_{1}}"),
        (tx.sum(i, a[i] + 1), r"\sum_{i = 0}^{N - 1} \left(a_{i} + 1\right)"),
        (tx.sum(i, 2 * a[i]), r"\sum_{i = 0}^{N - 1} 2 \cdot a_{i}"),
        (tx.sum(i, a[i] ** 2), r"\sum_{i = 0}^{N - 1} \left(a_{i}^{2}\right)"),
        (tx.prod(i, a[i] % 2), r"\prod_{i = 0}^{N - 1} \left(a_{i} \bmod 2\right)"),
        (tx.prod(i, tx.ln(a[i])), r"\prod_{i = 0}^{N - 1} \ln a_{i}"),
        (tx.sum(i, tx.max(a[i], 0)), r"\sum_{i = 0}^{N - 1} \max\left(a_{i}, 0\right)"),
        (tx.sum(i, tx.prod(j, A[i, j])),
         r"\sum_{i = 0}^{N - 1} \prod_{j = 0}^{N - 1} A_{i, j}"),
        (tx.sum(i, 1), r"\sum_{i = 0}^{N - 1} 1"),
    ],
    ids=["sum", "prod", "literal-end", "end-plus-one", "literal-start", "single",
         "float-end", "end-minus-one", "product-end", "power-end", "length-end",
         "negative-start", "placeholder-start", "sum-start", "index-latex", "condition",
         "prod-condition", "logical-condition", "index-latex-condition", "placeholder-set",
         "placeholder-set-latex-ignored", "placeholder-set-index-latex",
         "placeholder-set-condition", "element-set", "element-set-condition",
         "subscript-set", "subscript-set-latex-ignored", "subscript-set-condition",
         "nested", "nested-condition", "slice", "slices", "sum-operand", "product-operand",
         "power-operand", "mod-operand", "ln-operand", "max-operand", "reduction-operand",
         "literal-operand"],
)
def test_reductions(obj, body):
    assert latex(obj) == dm(body)


CONDITION_CASES = [
    (tx.EqualOp, N == 1, "N = 1"),
    (tx.NotEqualOp, N != 1, r"N \neq 1"),
    (tx.LessThanOp, N < 1, "N < 1"),
    (tx.LessThanEqualOp, N <= 1, r"N \leq 1"),
    (tx.GreaterThanOp, N > 1, "N > 1"),
    (tx.GreaterThanEqualOp, N >= 1, r"N \geq 1"),
    (tx.AndOp, (N == 1) & (M > 2), r"N = 1 \land M > 2"),
    (tx.OrOp, (N == 1) | (M > 2), r"N = 1 \lor M > 2"),
    (tx.XorOp, (N == 1) ^ (M > 2), r"N = 1 \oplus M > 2"),
    (tx.AndOp, ((N == 1) | (M > 2)) & (N < M), r"N = 1 \lor M > 2 \land N < M"),
    (tx.XorOp, (N == 1) ^ ((M > 2) & (N != M)), r"N = 1 \oplus M > 2 \land N \neq M"),
    (tx.GreaterThanEqualOp, 1 <= x[i], r"x_{i} \geq 1"),
    (tx.LessThanEqualOp, x[i] + 1 <= a[i], r"x_{i} + 1 \leq a_{i}"),
    (tx.EqualOp, tx.sum(i, x[i]) == 1, r"\sum_{i = 0}^{N - 1} x_{i} = 1"),
    (tx.LessThanOp, N ** 2 < M % 3, r"N^{2} < M \bmod 3"),
    (tx.NotEqualOp, N - 1 != -M, r"N - 1 \neq - M"),
    (tx.LessThanEqualOp, tx.NumberLit(2) <= 3, "2 \\leq 3"),
    (tx.EqualOp, tx.NumberLit(-2) == N, "(-2) = N"),
]


@pytest.mark.parametrize("cls, cond, body", CONDITION_CASES,
                         ids=[f"{c.__name__}-{n}" for n, (c, _, _) in enumerate(CONDITION_CASES)])
def test_conditions(cls, cond, body):
    assert type(cond) is cls
    assert latex(cond) == dm(body)


@pytest.mark.parametrize(
    "value, text",
    [(-2, "(-2)"), (3, "3"), (0, "0"), (2.5, "2.5"), (3.0, "3"), (-0.5, "(-0.5)"),
     (-0.0, "(-0)"), (1e21, "1000000000000000000000"), (1e-7, "0.0000001"),
     (float("inf"), "inf"), (-(2 ** 63), "(-9223372036854775808)")],
)
def test_number_literal_has_no_display_wrapper(value, text):
    lit = tx.NumberLit(value)
    assert latex(lit) == text
    assert not hasattr(lit, "set_latex")


@pytest.mark.parametrize(
    "expr, text",
    [
        (tx.NumberLit(-2) ** N, "(-2) ** N"),
        (tx.NumberLit(-2.5) ** N, "(-2.5) ** N"),
        (tx.NumberLit(-2) ** N + 1, "(-2) ** N + 1"),
        (tx.NumberLit(2) ** N, "2 ** N"),
        (N ** -2, "N ** -2"),
        (N - 2, "N - 2"),
    ],
)
def test_negative_power_base_is_parenthesized_in_text(expr, text):
    assert str(expr) == text


# --- set_latex --------------------------------------------------------------------------


def _var(cls):
    return lambda: cls("v", shape=[N], lower_bound=0, upper_bound=N)


SET_LATEX_CASES = [
    (tx.Placeholder, lambda: tx.Placeholder("p"), "p"),
    (tx.Element, lambda: tx.Element("q", belong_to=N), "q"),
    (tx.Subscript, lambda: A[i, j], "A_{i, j}"),
    (tx.ArrayLength, lambda: a.len_at(0), r"\mathrm{len}\left(a, 0\right)"),
    (tx.BinaryVar, lambda: tx.BinaryVar("v"), "v"),
    (tx.IntegerVar, _var(tx.IntegerVar), "v"),
    (tx.ContinuousVar, _var(tx.ContinuousVar), "v"),
    (tx.SemiIntegerVar, _var(tx.SemiIntegerVar), "v"),
    (tx.SemiContinuousVar, _var(tx.SemiContinuousVar), "v"),
    (tx.AddOp, lambda: N + 1, "N + 1"),
    (tx.MulOp, lambda: 2 * N, r"2 \cdot N"),
    (tx.MinOp, lambda: tx.min(N, M), r"\min\left(N, M\right)"),
    (tx.MaxOp, lambda: tx.max(N, M), r"\max\left(N, M\right)"),
    (tx.PowOp, lambda: N ** 2, "N^{2}"),
    (tx.ModOp, lambda: N % 2, r"N \bmod 2"),
    (tx.AbsOp, lambda: tx.abs(N), r"\left| N \right|"),
    (tx.CeilOp, lambda: tx.ceil(N), r"\left\lceil N \right\rceil"),
    (tx.FloorOp, lambda: tx.floor(N), r"\left\lfloor N \right\rfloor"),
    (tx.LnOp, lambda: tx.ln(N), r"\ln N"),
    (tx.Log10Op, lambda: tx.log10(N), r"\log_{10} N"),
    (tx.Log2Op, lambda: tx.log2(N), r"\log_{2} N"),
    (tx.SumOp, lambda: tx.sum(i, a[i]), SUM_A),
    (tx.ProdOp, lambda: tx.prod(i, a[i]), r"\prod_{i = 0}^{N - 1} a_{i}"),
    (tx.EqualOp, lambda: N == M, "N = M"),
    (tx.NotEqualOp, lambda: N != M, r"N \neq M"),
    (tx.LessThanOp, lambda: N < M, "N < M"),
    (tx.LessThanEqualOp, lambda: N <= M, r"N \leq M"),
    (tx.GreaterThanOp, lambda: N > M, "N > M"),
    (tx.GreaterThanEqualOp, lambda: N >= M, r"N \geq M"),
    (tx.AndOp, lambda: (N > 1) & (M > 1), r"N > 1 \land M > 1"),
    (tx.OrOp, lambda: (N > 1) | (M > 1), r"N > 1 \lor M > 1"),
    (tx.XorOp, lambda: (N > 1) ^ (M > 1), r"N > 1 \oplus M > 1"),
]


@pytest.mark.parametrize("cls, build, default", SET_LATEX_CASES,
                         ids=[c.__name__ for c, _, _ in SET_LATEX_CASES])
def test_set_latex_replaces_and_restores(cls, build, default):
    obj = build()
    assert type(obj) is cls
    assert latex(obj) == dm(default)
    assert obj.set_latex(r"\Omega") is None
    assert latex(obj) == dm(r"\Omega")
    obj.set_latex(r"\Omega_{2}")
    assert latex(obj) == dm(r"\Omega_{2}")
    assert obj.set_latex(None) is None
    assert latex(obj) == dm(default)
    obj.set_latex(latex=r"\Omega")
    assert latex(obj) == dm(r"\Omega")
    obj.set_latex(latex=None)
    assert latex(obj) == dm(default)


def test_set_latex_exists_exactly_on_the_node_classes():
    with_set_latex = {obj for obj in vars(tx).values()
                      if isinstance(obj, type) and hasattr(obj, "set_latex")}
    assert with_set_latex == {cls for cls, _, _ in SET_LATEX_CASES}
    assert len(with_set_latex) == 32


@pytest.mark.parametrize("bad", [1, 2.5, b"x", ["x"]])
@pytest.mark.parametrize("build", [lambda: N, lambda: N + 1, lambda: N == 1, lambda: x],
                         ids=["placeholder", "add", "condition", "var"])
def test_set_latex_rejects_non_strings(build, bad):
    obj = build()
    before = obj._repr_latex_()
    with pytest.raises(TypeError, match="latex"):
        obj.set_latex(bad)
    assert obj._repr_latex_() == before


def _custom(expr, text):
    expr.set_latex(text)
    return expr


@pytest.mark.parametrize(
    "build, body",
    [
        (lambda: _custom(N + 1, "S") ** 2, "S^{2}"),
        (lambda: _custom(N * M, "P") ** 2, "P^{2}"),
        (lambda: _custom(N % 2, "R") ** 2, "R^{2}"),
        (lambda: _custom(tx.sum(i, a[i]), "T") ** 2, "T^{2}"),
        (lambda: _custom(N ** 2, "Q") ** 3, "Q^{3}"),
        (lambda: N ** _custom(M ** 2, "Q"), "N^{Q}"),
        (lambda: _custom(N + 1, "S") % 3, r"S \bmod 3"),
        (lambda: _custom(N + 1, "S") * M, r"S \cdot M"),
        (lambda: tx.ln(_custom(N + 1, "S")), r"\ln S"),
        (lambda: _custom(N + 1, "S") + M, "S + M"),
        (lambda: M - _custom(N + 1, "S"), "M - S"),
        (lambda: tx.sum(i, _custom(a[i] + 1, "b_{i}")), r"\sum_{i = 0}^{N - 1} b_{i}"),
        (lambda: _custom(N + 1, r"\left(N + 1\right)") ** 2, r"\left(N + 1\right)^{2}"),
        (lambda: tx.Placeholder("p", latex=r"\phi") ** 2, r"\phi^{2}"),
        (lambda: tx.Placeholder("p", latex=r"\phi") + 1, r"\phi + 1"),
        (lambda: _custom(N == 1, "C") & (M > 2), r"N = 1 \land M > 2"),
        (lambda: tx.sum((i, _custom(i != j, "C")), y[i, j]),
         r"\sum_{\substack{i = 0\\i \neq j}}^{N - 1} y_{i, j}"),
    ],
    ids=["sum-in-power", "product-in-power", "mod-in-power", "reduction-in-power",
         "power-in-power", "power-in-exponent", "sum-in-mod", "sum-in-product", "sum-in-ln",
         "sum-not-flattened", "negated", "reduction-operand", "latex-with-parentheses",
         "placeholder-in-power", "placeholder-in-sum", "nested-condition-ignored",
         "reduction-condition-ignored"],
)
def test_custom_latex_is_written_verbatim(build, body):
    assert latex(build()) == dm(body)


def test_custom_latex_removed_restores_parentheses():
    s = N + 1
    s.set_latex("S")
    assert latex(s ** 2) == dm("S^{2}")
    s.set_latex(None)
    assert latex(s ** 2) == dm(r"\left(N + 1\right)^{2}")
    assert latex(tx.ln(s)) == dm(r"\ln \left(N + 1\right)")


def test_set_latex_changes_only_the_object_it_is_called_on():
    s = N + 1
    square = s ** 2
    s.set_latex("S")
    assert latex(square) == dm(r"\left(N + 1\right)^{2}")
    q = tx.Placeholder("q")
    total = q + 1
    q.set_latex(r"\theta")
    assert latex(total) == dm("q + 1")
    assert latex(q + 1) == dm(r"\theta + 1")


# --- constraints and penalty terms --------------------------------------------------------

RANGE_I = r"\left\{0,\ldots,N - 1\right\}"


def _over(belong_to):
    r = el("r", belong_to)
    return x[r] <= 1, r


FORALL_CASES = [
    (lambda: (x[i] <= 1, i), rf"\forall i \in {RANGE_I}"),
    (lambda: (x[i] <= 1, [i]), rf"\forall i \in {RANGE_I}"),
    (lambda: (x[k] <= 1, k), r"\forall k \in \left\{0,\ldots,9\right\}"),
    (lambda: (x[m] <= 1, m), r"\forall m \in \left\{1,\ldots,N\right\}"),
    (lambda: _over((M, N)), r"\forall r \in \left\{M,\ldots,N - 1\right\}"),
    (lambda: _over((0, 2 * N)), r"\forall r \in \left\{0,\ldots,2 \cdot N - 1\right\}"),
    (lambda: _over((0, 2.5)), r"\forall r \in \left\{0,\ldots,1.5\right\}"),
    (lambda: _over((-1, N)), r"\forall r \in \left\{(-1),\ldots,N - 1\right\}"),
    (lambda: _over((M ** 2, N ** 2)),
     r"\forall r \in \left\{\left(M^{2}\right),\ldots,N^{2} - 1\right\}"),
    (lambda: (x[tau] <= 1, tau), rf"\forall \tau \in {RANGE_I}"),
    (lambda: (y[i, j] <= 1, [i, (j, j != i)]),
     rf"\forall i \in {RANGE_I} \forall j \in \left\{{j \in {RANGE_I} \mid j \neq i \right\}}"),
    (lambda: (y[i, j] <= 1, [j, (i, (i != j) & (i > 0))]),
     rf"\forall j \in {RANGE_I} \forall i \in "
     rf"\left\{{i \in {RANGE_I} \mid i \neq j \land i > 0 \right\}}"),
    (lambda: (y[i, j] <= 1, [i, (j, _custom(j != i, r"j \ne i"))]),
     rf"\forall i \in {RANGE_I} \forall j \in \left\{{j \in {RANGE_I} \mid j \ne i \right\}}"),
    (lambda: (x[tau] <= 1, (tau, tau != 0)),
     rf"\forall \tau \in \left\{{\tau \in {RANGE_I} \mid \tau \neq 0 \right\}}"),
    (lambda: (x[e[0]] <= 1, e), r"\forall e \in E"),
    (lambda: (x[e_cal[0]] <= 1, e_cal), r"\forall e \in \mathcal{E}"),
    (lambda: (x[e_cal[0]] <= 1, (e_cal, e_cal[1] > 0)),
     r"\forall e \in \left\{e \in \mathcal{E} \mid e_{1} > 0 \right\}"),
    (lambda: (x[f] <= 1, [eps, f]), r"\forall \epsilon \in \mathcal{E} \forall f \in \epsilon"),
    (lambda: (x[g] <= 1, [i, g]), rf"\forall i \in {RANGE_I} \forall g \in A_{{i}}"),
    (lambda: (x[g_bold] <= 1, [i, g_bold]), rf"\forall i \in {RANGE_I} \forall g \in A_{{i}}"),
    (lambda: (x[g] <= 1, [i, (g, g > 0)]),
     rf"\forall i \in {RANGE_I} \forall g \in \left\{{g \in A_{{i}} \mid g > 0 \right\}}"),
]
FORALL_IDS = ["element", "list", "literal-end", "end-plus-one", "placeholder-start",
              "product-end", "float-end", "negative-start", "power-bounds", "element-latex",
              "condition", "logical-condition", "condition-latex", "element-latex-condition",
              "placeholder-set", "placeholder-set-latex", "placeholder-set-condition",
              "element-set-latex", "subscript-set", "subscript-set-latex-ignored",
              "subscript-set-condition"]


@pytest.mark.parametrize("build, clause", FORALL_CASES, ids=FORALL_IDS)
def test_constraint_forall_clause(build, clause):
    cond, forall = build()
    c = tx.Constraint("c", cond, forall=forall)
    row = latex(c)
    assert row.startswith("\\begin{array}{cccc}\n & \\text{c} & \\displaystyle ")
    assert row.endswith(" & " + clause + " \\\\\n\\end{array}")
    p = tx.CustomPenaltyTerm("p", cond.left, forall=forall)
    assert latex(p).endswith(" & " + clause + " \\\\\n\\end{array}")


@pytest.mark.parametrize(
    "constraint, row",
    [
        (tx.Constraint("c", x[0] >= 1), r" & \text{c} & \displaystyle x_{0} \geq 1 &  \\"),
        (tx.Constraint("c", x[i] <= 1, forall=i),
         rf" & \text{{c}} & \displaystyle x_{{i}} \leq 1 & \forall i \in {RANGE_I} \\"),
        (tx.Constraint("one hot", tx.sum(i, x[i]) == 1),
         r" & \text{one hot} & \displaystyle \sum_{i = 0}^{N - 1} x_{i} = 1 &  \\"),
        (tx.Constraint("c", x[0] ** 2 <= 1), r" & \text{c} & \displaystyle x_{0}^{2} \leq 1 &  \\"),
        (tx.Constraint("c", 1 >= x[0]), r" & \text{c} & \displaystyle x_{0} \leq 1 &  \\"),
        (tx.Constraint("c", x[0] + x[1] - 1 == N % 2),
         r" & \text{c} & \displaystyle x_{0} + x_{1} - 1 = N \bmod 2 &  \\"),
    ],
    ids=["no-forall", "forall", "reduction", "power-not-wrapped", "swapped", "mod-not-wrapped"],
)
def test_constraint_document(constraint, row):
    assert latex(constraint) == array(row)


@pytest.mark.parametrize(
    "penalty, row",
    [
        (tx.CustomPenaltyTerm("p", 2 * x[i], forall=i),
         rf" & \text{{p}} & \displaystyle 2 \cdot x_{{i}} & \forall i \in {RANGE_I} \\"),
        (tx.CustomPenaltyTerm("one hot", (tx.sum(i, x[i]) - 1) ** 2),
         r" & \text{one hot} & \displaystyle "
         r"\left(\left(\sum_{i = 0}^{N - 1} x_{i} - 1\right)^{2}\right) &  \\"),
        (tx.CustomPenaltyTerm("p", x[0] ** 2),
         r" & \text{p} & \displaystyle \left(x_{0}^{2}\right) &  \\"),
        (tx.CustomPenaltyTerm("p", _custom(x[0] ** 2, "P")),
         r" & \text{p} & \displaystyle P &  \\"),
        (tx.CustomPenaltyTerm("p", x[0] + N % 2),
         r" & \text{p} & \displaystyle x_{0} + N \bmod 2 &  \\"),
    ],
    ids=["forall", "squared-sum", "power-wrapped", "custom", "sum"],
)
def test_penalty_document(penalty, row):
    assert latex(penalty) == array(row)


ESCAPES = [
    ("#", r"\#"), ("$", r"\$"), ("%", r"\%"), ("&", r"\&"), ("_", r"\_"), ("{", r"\{"),
    ("}", r"\}"), ("\\", r"\textbackslash{}"), ("^", r"\textasciicircum{}"),
    ("~", r"\textasciitilde{}"),
]
ALL_SPECIAL = "".join(c for c, _ in ESCAPES)
ALL_ESCAPED = "".join(s for _, s in ESCAPES)


@pytest.mark.parametrize(
    "name, escaped",
    ESCAPES + [("a_b", r"a\_b"), (ALL_SPECIAL, ALL_ESCAPED),
               ("x" + ALL_SPECIAL * 2, "x" + ALL_ESCAPED * 2),
               ("plain name: 1-2 (é)", "plain name: 1-2 (é)"), ("", "")],
    ids=[f"char-{n}" for n in range(len(ESCAPES))] + ["a_b", "all", "all-twice", "plain", "empty"],
)
def test_names_are_escaped(name, escaped):
    c = tx.Constraint(name, x[0] <= 1)
    assert latex(c) == array(rf" & \text{{{escaped}}} & \displaystyle x_{{0}} \leq 1 &  \\")
    pen = tx.CustomPenaltyTerm(name, x[0])
    assert latex(pen) == array(rf" & \text{{{escaped}}} & \displaystyle x_{{0}} &  \\")
    prob = tx.Problem(name)
    assert latex(prob).startswith(
        "\\begin{array}{cccc}\n\\text{Problem:} & \\text{" + escaped + "} & & \\\\\n")
    prob += c
    prob += pen
    doc = latex(prob)
    assert "\\text{s.t.} & & & \\\\ & \\text{" + escaped + "} & " in doc
    assert "\\text{penalty terms} & & & \\\\ & \\text{" + escaped + "} & " in doc


# --- problem documents -------------------------------------------------------------------


def test_problem_without_constraints_or_penalties():
    v = tx.Placeholder("v", ndim=1)
    p = tx.Problem("knapsack", sense=tx.ProblemSense.MAXIMIZE)
    p += tx.sum(i, v[i] * x[i])
    assert latex(p) == lines(
        r"\begin{array}{cccc}",
        r"\text{Problem:} & \text{knapsack} & & \\",
        r"& & \max \quad \displaystyle \sum_{i = 0}^{N - 1} v_{i} \cdot x_{i} & \\",
        "",
        "",
        r"\text{{where}} & & & \\",
        r"& x & 1\text{-dim binary variable}\\",
        "",
        "",
        "",
        "",
        r"\end{array}",
    )


def test_problem_with_penalties_and_no_constraints():
    p = tx.Problem("penalized")
    p += tx.sum(i, x[i])
    p += tx.CustomPenaltyTerm("one_hot", (tx.sum(i, x[i]) - 1) ** 2)
    p += tx.CustomPenaltyTerm("each", 2 * x[i], forall=i)
    assert latex(p) == lines(
        r"\begin{array}{cccc}",
        r"\text{Problem:} & \text{penalized} & & \\",
        r"& & \min \quad \displaystyle \sum_{i = 0}^{N - 1} x_{i} & \\",
        "",
        r"\text{penalty terms} & & & \\"
        r" & \text{each} & \displaystyle 2 \cdot x_{i}"
        r" & \forall i \in \left\{0,\ldots,N - 1\right\} \\"
        r" & \text{one\_hot} & \displaystyle"
        r" \left(\left(\sum_{i = 0}^{N - 1} x_{i} - 1\right)^{2}\right) &  \\",
        r"\text{{where}} & & & \\",
        r"& x & 1\text{-dim binary variable}\\",
        "",
        "",
        "",
        "",
        r"\end{array}",
    )


def test_problem_with_constraints_and_no_penalties():
    n = tx.IntegerVar("n", shape=[N], lower_bound=0, upper_bound=M)
    t = tx.ContinuousVar("t", lower_bound=0, upper_bound=M, latex=r"\theta")
    p = tx.Problem("cover")
    p += t
    p += tx.Constraint("bound", t >= n[i], forall=i)
    assert latex(p) == lines(
        r"\begin{array}{cccc}",
        r"\text{Problem:} & \text{cover} & & \\",
        r"& & \min \quad \displaystyle \theta & \\",
        r"\text{s.t.} & & & \\"
        r" & \text{bound} & \displaystyle \theta \geq n_{i}"
        r" & \forall i \in \left\{0,\ldots,N - 1\right\} \\",
        "",
        r"\text{{where}} & & & \\",
        "",
        r"& n & 1\text{-dim integer variable}\\ & & \text{lower bound: }0 & \\"
        r" & & \text{upper bound: }M & \\",
        r"& t & 0\text{-dim continuous variable}\\ & & \text{lower bound: }0 & \\"
        r" & & \text{upper bound: }M & \\",
        "",
        "",
        r"\end{array}",
    )


def test_problem_with_everything():
    u = tx.Placeholder("u", ndim=1, latex=r"\bar{u}")
    U = tx.Placeholder("U", ndim=3)
    jm = tx.Element("j", belong_to=(0, M))
    b = tx.BinaryVar("b", shape=[N], description="chosen")
    B = tx.BinaryVar("B")
    n = tx.IntegerVar("n", shape=[N], lower_bound=0, upper_bound=u, description="count")
    w = tx.ContinuousVar("w", shape=[N, M], lower_bound=-1.5, upper_bound=U[0])
    s = tx.SemiIntegerVar("s", lower_bound=N, upper_bound=N + 5, description="batch size")
    z = tx.SemiContinuousVar("z", shape=[N], lower_bound=u, upper_bound=N ** 2,
                             description="flow")
    p = tx.Problem("full_model", sense=tx.ProblemSense.MAXIMIZE)
    p += tx.sum(i, b[i] + n[i]) + B
    p += tx.Constraint("link", n[i] <= z[i], forall=i)
    p += tx.Constraint("cap", tx.sum(jm, w[i, jm]) >= s, forall=[i])
    p += tx.Constraint("pair", b[i] + b[jm] <= 1, forall=[i, (jm, jm != i)])
    p += tx.CustomPenaltyTerm("pen", (tx.sum(i, b[i]) - 1) ** 2)
    p += tx.CustomPenaltyTerm("each", n[i] * 2, forall=i)
    range_m = r"\left\{0,\ldots,M - 1\right\}"
    assert latex(p) == lines(
        r"\begin{array}{cccc}",
        r"\text{Problem:} & \text{full\_model} & & \\",
        r"& & \max \quad \displaystyle \sum_{i = 0}^{N - 1} \left(b_{i} + n_{i}\right) + B & \\",
        r"\text{s.t.} & & & \\"
        rf" & \text{{cap}} & \displaystyle \sum_{{j = 0}}^{{M - 1}} w_{{i, j}} \geq s"
        rf" & \forall i \in {RANGE_I} \\"
        rf" & \text{{link}} & \displaystyle n_{{i}} \leq z_{{i}} & \forall i \in {RANGE_I} \\"
        rf" & \text{{pair}} & \displaystyle b_{{i}} + b_{{j}} \leq 1"
        rf" & \forall i \in {RANGE_I}"
        rf" \forall j \in \left\{{j \in {range_m} \mid j \neq i \right\}} \\",
        r"\text{penalty terms} & & & \\"
        rf" & \text{{each}} & \displaystyle 2 \cdot n_{{i}} & \forall i \in {RANGE_I} \\"
        r" & \text{pen} & \displaystyle"
        r" \left(\left(\sum_{i = 0}^{N - 1} b_{i} - 1\right)^{2}\right) &  \\",
        r"\text{{where}} & & & \\",
        r"& B & 0\text{-dim binary variable}\\& b & 1\text{-dim binary variable}& \text{chosen}\\",
        r"& n & 1\text{-dim integer variable}& \text{count}\\"
        r" & & \text{lower bound: }0 & \\ & & \text{upper bound: }u & \\",
        r"& w & 2\text{-dim continuous variable}\\"
        r" & & \text{lower bound: }(-1.5) & \\ & & \text{upper bound: }U_{0} & \\",
        r"& s & 0\text{-dim semi-integer variable}& \text{batch size}\\"
        r" & & \text{lower bound: }N & \\ & & \text{upper bound: }N + 5 & \\",
        r"& z & 1\text{-dim semi-continuous variable}& \text{flow}\\"
        r" & & \text{lower bound: }u & \\ & & \text{upper bound: }\left(N^{2}\right) & \\",
        r"\end{array}",
    )


def test_problem_without_variables():
    assert latex(tx.Problem("empty")) == lines(
        r"\begin{array}{cccc}",
        r"\text{Problem:} & \text{empty} & & \\",
        r"& & \min \quad \displaystyle 0 & \\",
        *[""] * 8,
        r"\end{array}",
    )


@pytest.mark.parametrize(
    "sense, word", [(tx.ProblemSense.MINIMIZE, r"\min"), (tx.ProblemSense.MAXIMIZE, r"\max")])
def test_problem_sense(sense, word):
    p = tx.Problem("p")
    p += x[0]
    p.sense = sense
    assert latex(p).split("\n")[2] == rf"& & {word} \quad \displaystyle x_{{0}} & \\"


def _objective_line(p):
    return latex(p).split("\n")[2]


@pytest.mark.parametrize(
    "objective, shown",
    [
        (lambda: x[0] ** 2, r"\left(x_{0}^{2}\right)"),
        (lambda: N % 3, r"\left(N \bmod 3\right)"),
        (lambda: x[0] ** 2 + 1, r"x_{0}^{2} + 1"),
        (lambda: 3 * x[0], r"3 \cdot x_{0}"),
        (lambda: tx.sum(i, x[i]), r"\sum_{i = 0}^{N - 1} x_{i}"),
        (lambda: tx.NumberLit(-2), "(-2)"),
        (lambda: _custom(x[0] ** 2, "P"), "P"),
        (lambda: tx.BinaryVar("v", latex=r"\nu"), r"\nu"),
    ],
    ids=["power-wrapped", "mod-wrapped", "sum", "product", "reduction", "negative",
         "custom", "var-latex"],
)
def test_objective_uses_the_generic_entry(objective, shown):
    p = tx.Problem("p")
    p += objective()
    assert _objective_line(p) == rf"& & \min \quad \displaystyle {shown} & \\"


def test_power_node_vs_power_objective():
    square = tx.BinaryVar("x") ** 2
    assert latex(square) == dm("x^{2}")
    p = tx.Problem("p")
    p += square
    assert _objective_line(p) == r"& & \min \quad \displaystyle \left(x^{2}\right) & \\"
    p += tx.CustomPenaltyTerm("q", square)
    assert r" & \text{q} & \displaystyle \left(x^{2}\right) &  \\" in latex(p)


def _where_block(p):
    doc = latex(p)
    head = "\\text{{where}} & & & \\\\\n"
    assert doc.count(head) == 1
    return doc.split(head)[1].removesuffix("\\end{array}").split("\n")


def test_variables_grouped_by_kind_then_name():
    def bounded(cls, name):
        return cls(name, lower_bound=0, upper_bound=1)

    names = {
        tx.BinaryVar: ["z", "b", "a2", "a", "B"],
        tx.IntegerVar: ["y", "m"],
        tx.ContinuousVar: ["x", "c"],
        tx.SemiIntegerVar: ["w", "d"],
        tx.SemiContinuousVar: ["v", "e"],
    }
    variables = [tx.BinaryVar(n) for n in names[tx.BinaryVar]]
    for cls in list(names)[1:]:
        variables += [bounded(cls, n) for n in names[cls]]
    p = tx.Problem("p")
    p += sum(reversed(variables[1:]), variables[0])
    bounds = r"\\ & & \text{lower bound: }0 & \\ & & \text{upper bound: }1 & \\"

    def rows(kind, ordered, bounded_kind=True):
        tail = bounds if bounded_kind else r"\\"
        return "".join(rf"& {n} & 0\text{{-dim {kind} variable}}{tail}" for n in ordered)

    assert _where_block(p) == [
        rows("binary", ["B", "a", "a2", "b", "z"], bounded_kind=False),
        rows("integer", ["m", "y"]),
        rows("continuous", ["c", "x"]),
        rows("semi-integer", ["d", "w"]),
        rows("semi-continuous", ["e", "v"]),
        "",
    ]


@pytest.mark.parametrize(
    "additions",
    [
        lambda: [tx.sum(i, x[i]), tx.Constraint("c", x[i] <= 1, forall=i)],
        lambda: [x[0] + x[1], tx.CustomPenaltyTerm("q", x[2] * x[3])],
        lambda: [tx.Constraint("c", x[0] <= x[1]), tx.Constraint("d", x[2] >= 0)],
        lambda: [x[0], tx.CustomPenaltyTerm("q", tx.BinaryVar("x", shape=[N])[1])],
    ],
    ids=["objective-and-constraint", "objective-and-penalty", "two-constraints", "equal-copy"],
)
def test_variable_listed_once(additions):
    p = tx.Problem("p")
    for item in additions():
        p += item
    assert _where_block(p) == [r"& x & 1\text{-dim binary variable}\\", "", "", "", "", ""]


@pytest.mark.parametrize(
    "addition",
    [
        lambda v: tx.Constraint("c", x[0] <= v),
        lambda v: tx.Constraint("c", v >= x[0]),
        lambda v: tx.CustomPenaltyTerm("q", v),
        lambda v: tx.CustomPenaltyTerm("q", tx.sum(i, v * a[i])),
        lambda v: tx.Constraint("c", tx.sum(i, x[i]) + v == 1),
    ],
    ids=["constraint-right", "constraint-left", "penalty", "penalty-reduction",
         "constraint-sum"],
)
def test_variables_found_everywhere(addition):
    p = tx.Problem("p")
    p += x[0]
    p += addition(tx.ContinuousVar("v", lower_bound=0, upper_bound=1))
    block = _where_block(p)
    assert block[0] == r"& x & 1\text{-dim binary variable}\\"
    assert block[2] == (r"& v & 0\text{-dim continuous variable}\\"
                        r" & & \text{lower bound: }0 & \\ & & \text{upper bound: }1 & \\")


def _bound_row(lower, upper, ndim):
    v = tx.IntegerVar("n", shape=[N] * ndim, lower_bound=lower, upper_bound=upper)
    p = tx.Problem("p")
    p += v if ndim == 0 else v[(0,) * ndim]
    return _where_block(p)[1]


def _sub_latex(sub, text):
    sub.set_latex(text)
    return sub


@pytest.mark.parametrize(
    "lower, upper, ndim, low, up",
    [
        (0, 10, 1, "0", "10"),
        (-1.5, 2.5, 1, "(-1.5)", "2.5"),
        (N, N + 5, 1, "N", "N + 5"),
        (tx.Placeholder("L", latex=r"\lambda"), M, 1, r"\lambda", "M"),
        (0, N ** 2, 1, "0", r"\left(N^{2}\right)"),
        (0, N % 4, 1, "0", r"\left(N \bmod 4\right)"),
        (0, _custom(N ** 2, "Q"), 1, "0", "Q"),
        (0, a.len_at(0), 1, "0", r"\mathrm{len}\left(a, 0\right)"),
        (0, p_pi, 1, "0", "p"),
        (tx.Placeholder("l", ndim=2), A, 2, "l", "A"),
        (tx.Placeholder("U", ndim=3)[0], 1, 2, "U_{0}", "1"),
        (0, tx.Placeholder("U", ndim=2)[i], 1, "0", "U_{i}"),
        (0, _sub_latex(tx.Placeholder("U", ndim=3)[0], r"\bar{U}"), 2, "0", r"\bar{U}"),
        (0, tx.Placeholder("U", ndim=3, latex=r"\mathcal{U}")[0], 2, "0", "U_{0}"),
    ],
    ids=["literals", "floats", "expressions", "scalar-placeholder-latex", "power-wrapped",
         "mod-wrapped", "custom-expression", "array-length", "placeholder-latex-ignored",
         "placeholders", "subscript", "subscript-element", "subscript-latex",
         "subscript-array-latex-ignored"],
)
def test_variable_bounds(lower, upper, ndim, low, up):
    assert _bound_row(lower, upper, ndim) == (
        rf"& n & {ndim}\text{{-dim integer variable}}\\"
        rf" & & \text{{lower bound: }}{low} & \\ & & \text{{upper bound: }}{up} & \\")


@pytest.mark.parametrize(
    "var, row",
    [
        (tx.BinaryVar("x_1"), r"& x_1 & 0\text{-dim binary variable}\\"),
        (tx.BinaryVar("x", latex=r"\xi"), r"& x & 0\text{-dim binary variable}\\"),
        (tx.BinaryVar("x", shape=[N, M, 2], description="d e"),
         r"& x & 3\text{-dim binary variable}& \text{d e}\\"),
        (tx.SemiIntegerVar("s", lower_bound=1, upper_bound=2, description="units"),
         r"& s & 0\text{-dim semi-integer variable}& \text{units}"
         r"\\ & & \text{lower bound: }1 & \\ & & \text{upper bound: }2 & \\"),
    ],
    ids=["name-not-escaped", "latex-ignored", "description", "description-and-bounds"],
)
def test_variable_rows(var, row):
    p = tx.Problem("p")
    p += var if var.ndim == 0 else var[(0,) * var.ndim]
    assert row in _where_block(p)
