#include "print/latex.hpp"

#include <algorithm>
#include <array>

#include "analysis/extract.hpp"
#include "model/expression/operator/arithmetic.hpp"
#include "print/number_format.hpp"
#include "print/printer.hpp"

namespace tarvex {
namespace {

const char* kBegin = "\\begin{array}{cccc}\n";
const char* kEnd = "\n\\end{array}";

// The LaTeX of an element, placeholder or other named operand: its custom string or name.
std::string name_latex(const Expression& e) {
  if (e.latex()) return *e.latex();
  if (const auto* p = e.get_if<Placeholder>()) return p->name;
  if (const auto* el = e.get_if<Element>()) return el->name;
  if (const auto* v = e.get_if<DecisionVar>()) return v->name;
  return text_of(e);
}

// The last value of a range: end minus one by the subtraction rule (literal ends fold).
Result<std::string> last_of(const Expression& end) {
  TX_TRY(Expression last, subtract(end, make_int(1)));
  return latex_of(last);
}

Result<std::string> set_latex_of(const ElementSet& s) {
  if (const Range* r = std::get_if<Range>(&s)) {
    TX_TRY(std::string start, latex_of(r->start));
    TX_TRY(std::string last, last_of(r->end));
    return "\\left\\{" + start + ",\\ldots," + last + "\\right\\}";
  }
  const Expression& a = std::get<Expression>(s);
  if (a.kind() == ExprKind::Subscript) return latex_of(a);
  return name_latex(a);
}

Result<std::string> bound_latex(const Bound& b) {
  if (b.kind == BoundKind::Placeholder) return b.value.as<Placeholder>().name;
  return latex_of(b.value);
}

const char* kind_text(VarKind k) {
  switch (k) {
    case VarKind::Binary: return "binary";
    case VarKind::Integer: return "integer";
    case VarKind::Continuous: return "continuous";
    case VarKind::SemiInteger: return "semi-integer";
    case VarKind::SemiContinuous: return "semi-continuous";
  }
  return "";
}

Result<std::string> variable_row(const DecisionVar& v) {
  std::string row = "& " + v.name + " & " + std::to_string(v.shape.size()) + "\\text{-dim " + kind_text(v.kind) +
                    " variable}";
  if (v.description) row += "& \\text{" + *v.description + "}";
  if (v.kind != VarKind::Binary) {
    TX_TRY(std::string lower, bound_latex(v.lower_bound));
    TX_TRY(std::string upper, bound_latex(v.upper_bound));
    row += "\\\\ & & \\text{lower bound: }" + lower + " & \\\\ & & \\text{upper bound: }" + upper + " & ";
  }
  return row + "\\\\";
}

}  // namespace

Result<std::string> latex_of(const Expression& e) {
  if (e.latex()) return *e.latex();
  return render_expression(PrintMode::Latex, e);
}

Result<std::string> latex_of(const Condition& c) {
  if (c.latex()) return *c.latex();
  return render_condition(PrintMode::Latex, c);
}

Result<std::string> notebook_latex(const Expression& e) {
  if (e.kind() == ExprKind::Number) return render_node(PrintMode::Latex, e);
  if (e.latex()) return "$$\\displaystyle " + *e.latex() + "$$";
  TX_TRY(std::string body, render_node(PrintMode::Latex, e));
  return "$$\\displaystyle " + body + "$$";
}

Result<std::string> notebook_latex(const Condition& c) {
  TX_TRY(std::string body, latex_of(c));
  return "$$\\displaystyle " + body + "$$";
}

std::string escape_text(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char ch : s) {
    switch (ch) {
      case '#': out += "\\#"; break;
      case '$': out += "\\$"; break;
      case '%': out += "\\%"; break;
      case '&': out += "\\&"; break;
      case '_': out += "\\_"; break;
      case '{': out += "\\{"; break;
      case '}': out += "\\}"; break;
      case '\\': out += "\\textbackslash{}"; break;
      case '^': out += "\\textasciicircum{}"; break;
      case '~': out += "\\textasciitilde{}"; break;
      default: out += ch;
    }
  }
  return out;
}

Result<std::string> forall_latex(const ForallList& f) {
  std::string out;
  for (const ForallItem& item : f) {
    if (!out.empty()) out += " ";
    const std::string e = name_latex(item.element);
    TX_TRY(std::string set, set_latex_of(item.element.as<Element>().belong_to));
    if (item.condition) {
      TX_TRY(std::string cond, latex_of(item.condition));
      out += "\\forall " + e + " \\in \\left\\{" + e + " \\in " + set + " \\mid " + cond + " \\right\\}";
    } else {
      out += "\\forall " + e + " \\in " + set;
    }
  }
  return out;
}

Result<std::string> constraint_row(const Constraint& c) {
  TX_TRY(std::string cond, latex_of(c.expression()));
  TX_TRY(std::string forall, forall_latex(c.forall));
  return " & \\text{" + escape_text(c.name) + "} & \\displaystyle " + cond + " & " + forall + " \\\\";
}

Result<std::string> penalty_row(const CustomPenaltyTerm& p) {
  TX_TRY(std::string expr, latex_of(p.expression));
  TX_TRY(std::string forall, forall_latex(p.forall));
  return " & \\text{" + escape_text(p.name) + "} & \\displaystyle " + expr + " & " + forall + " \\\\";
}

Result<std::string> constraint_document(const Constraint& c) {
  TX_TRY(std::string row, constraint_row(c));
  return kBegin + row + kEnd;
}

Result<std::string> penalty_document(const CustomPenaltyTerm& p) {
  TX_TRY(std::string row, penalty_row(p));
  return kBegin + row + kEnd;
}

Result<std::string> problem_document(const Problem& p) {
  TX_TRY(std::string objective, latex_of(p.objective()));
  std::string doc = kBegin;
  doc += "\\text{Problem:} & \\text{" + escape_text(p.name()) + "} & & \\\\\n& & ";
  doc += p.sense() == ProblemSense::Minimize ? "\\min" : "\\max";
  doc += " \\quad \\displaystyle " + objective + " & \\\\\n";

  if (!p.constraints().empty()) {
    doc += "\\text{s.t.} & & & \\\\";
    for (const auto& [name, c] : p.constraints()) {
      TX_TRY(std::string row, constraint_row(c));
      doc += row;
    }
  }
  doc += "\n";
  if (!p.custom_penalty_terms().empty()) {
    doc += "\\text{penalty terms} & & & \\\\";
    for (const auto& [name, t] : p.custom_penalty_terms()) {
      TX_TRY(std::string row, penalty_row(t));
      doc += row;
    }
  }
  doc += "\n";

  // The decision variables of the objective, the constraints' sides and the penalty
  // expressions, by kind, one per name, in name order.
  VariableCollector collect;
  TX_CHECK(collect.add(p.objective()));
  for (const auto& [name, c] : p.constraints()) {
    TX_CHECK(collect.add(c.left));
    TX_CHECK(collect.add(c.right));
  }
  for (const auto& [name, t] : p.custom_penalty_terms()) TX_CHECK(collect.add(t.expression));
  std::array<std::map<std::string, const DecisionVar*>, 5> groups;
  for (const Expression& v : collect.variables())
    if (const auto* d = v.get_if<DecisionVar>()) groups[std::size_t(d->kind)].try_emplace(d->name, d);
  const bool any = std::any_of(groups.begin(), groups.end(), [](const auto& g) { return !g.empty(); });

  if (any) doc += "\\text{{where}} & & & \\\\";
  doc += "\n";
  for (std::size_t k = 0; k < groups.size(); ++k) {
    for (const auto& [name, v] : groups[k]) {
      TX_TRY(std::string row, variable_row(*v));
      doc += row;
    }
    doc += k + 1 < groups.size() ? "\n" : kEnd;
  }
  return doc;
}

}  // namespace tarvex
