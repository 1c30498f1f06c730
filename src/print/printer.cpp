#include "print/printer.hpp"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <variant>
#include <vector>

#include "lib/interrupt.hpp"
#include "model/expression/operator/arithmetic.hpp"
#include "print/number_format.hpp"

namespace tarvex {
namespace {

enum class Category : std::uint8_t {
  Number,
  Placeholder,
  Element,
  DecisionVar,
  Subscript,
  ArrayLength,
  Unary,
  Binary,
  Commutative,
  Reduction,
  Comparison,
  Logical,
  Neutral,
};

struct Entry {
  Category category;
  std::uint8_t op = 0;  // the operator kind, for operator categories
};

Entry entry_of(const Expression& e) {
  const auto op = [](auto k) { return static_cast<std::uint8_t>(k); };
  switch (e.kind()) {
    case ExprKind::Number: return {Category::Number};
    case ExprKind::Placeholder: return {Category::Placeholder};
    case ExprKind::Element: return {Category::Element};
    case ExprKind::DecisionVar: return {Category::DecisionVar, op(e.as<DecisionVar>().kind)};
    case ExprKind::Subscript: return {Category::Subscript};
    case ExprKind::ArrayLength: return {Category::ArrayLength};
    case ExprKind::Unary: return {Category::Unary, op(e.as<UnaryOp>().kind)};
    case ExprKind::Binary: return {Category::Binary, op(e.as<BinaryOp>().kind)};
    case ExprKind::Commutative: return {Category::Commutative, op(e.as<CommutativeOp>().kind)};
    case ExprKind::Reduction: return {Category::Reduction, op(e.as<ReductionOp>().kind)};
  }
  return {Category::Neutral};
}

Entry entry_of(const Condition& c) {
  if (const auto* cmp = c.get_if<Comparison>())
    return {Category::Comparison, static_cast<std::uint8_t>(cmp->kind)};
  return {Category::Logical, static_cast<std::uint8_t>(c.as<Logical>().kind)};
}

bool is(const Entry& e, Category c, auto op) {
  return e.category == c && e.op == static_cast<std::uint8_t>(op);
}

bool is_log(const Entry& p) {
  return is(p, Category::Unary, UnaryKind::Ln) || is(p, Category::Unary, UnaryKind::Log10) ||
         is(p, Category::Unary, UnaryKind::Log2);
}

// Whether `child` is wrapped in parentheses under `parent`.
bool needs_parens(const Entry& child, const Entry& parent, PrintMode mode) {
  if (parent.category == Category::Unary && mode != PrintMode::Latex) return false;
  const bool latex_log = mode == PrintMode::Latex && is_log(parent);
  const bool pow = is(parent, Category::Binary, BinaryKind::Pow);
  const bool mod = is(parent, Category::Binary, BinaryKind::Mod);
  const bool mul = is(parent, Category::Commutative, CommutativeKind::Mul);
  const bool red = parent.category == Category::Reduction;
  switch (child.category) {
    case Category::Reduction: return pow || latex_log;
    case Category::Commutative:
      if (child.op == static_cast<std::uint8_t>(CommutativeKind::Add))
        return pow || mod || mul || red || latex_log;
      if (child.op == static_cast<std::uint8_t>(CommutativeKind::Mul)) return pow || mod || latex_log;
      return false;
    case Category::Binary:
      if (child.op == static_cast<std::uint8_t>(BinaryKind::Pow)) return pow || red || latex_log;
      return pow || mod || mul || red || latex_log;
    default: return false;
  }
}

// Whether a literal is written with a leading minus sign (a negative NaN is written "NaN").
bool has_minus(const NumberLit& n) {
  return n.is_negative() && (n.is_integer() || n.float_value() == n.float_value());
}

std::string number_text(const NumberLit& n) {
  return n.is_integer() ? format_int(n.int_value()) : format_double(n.float_value());
}

class Printer {
 public:
  explicit Printer(PrintMode mode) : mode_(mode), root_(this) {}
  // A printer for a part of the text that the root printer then takes over.
  Printer(PrintMode mode, Printer& root) : mode_(mode), root_(&root) {}

  // The text, or why it was abandoned.
  Result<std::string> finish() {
    if (error_) return *error_;
    if (out_.size() > kMaxTextBytes) return too_long();
    return std::move(out_);
  }
  std::string take() { return std::move(out_); }

  // Appends the pieces in order.
  template <class... Parts>
  void put(const Parts&... parts) {
    (out_.append(parts), ...);
  }

  void push(Entry e) { stack_.push_back(e); }
  void pop() { stack_.pop_back(); }

  // Writes a child expression: custom LaTeX, parentheses, own context entry.
  void write_expr(const Expression& e) {
    if (stopped()) return;
    if (mode_ == PrintMode::Latex && e.latex()) {
      out_ += *e.latex();
      return;
    }
    const Entry self = entry_of(e);
    const bool parens = !stack_.empty() && needs_parens(self, stack_.back(), mode_);
    if (parens) out_ += latex() ? "\\left(" : "(";
    push(self);
    write_node(e);
    pop();
    if (parens) out_ += latex() ? "\\right)" : ")";
  }

  void write_node(const Expression& e) {
    switch (e.kind()) {
      case ExprKind::Number: return write_number(e.as<NumberLit>());
      case ExprKind::Placeholder: return write_placeholder(e.as<Placeholder>());
      case ExprKind::Element: return write_element(e.as<Element>());
      case ExprKind::DecisionVar: return write_decision_var(e.as<DecisionVar>());
      case ExprKind::Subscript: return write_subscript(e.as<Subscript>());
      case ExprKind::ArrayLength: return write_array_length(e.as<ArrayLength>());
      case ExprKind::Unary: return write_unary(e.as<UnaryOp>());
      case ExprKind::Binary: return write_binary(e.as<BinaryOp>());
      case ExprKind::Commutative: return write_commutative(e.as<CommutativeOp>());
      case ExprKind::Reduction: return write_reduction(e.as<ReductionOp>());
    }
  }

  void write_condition(const Condition& c) {
    if (const auto* cmp = c.get_if<Comparison>()) {
      write_expr(cmp->left);
      out_ += comparison_operator(cmp->kind);
      write_expr(cmp->right);
      return;
    }
    const Logical& l = c.as<Logical>();
    const char* sep = logical_separator(l.kind);
    for (std::size_t i = 0; i < l.terms.size(); ++i) {
      if (i) out_ += sep;
      write_condition(l.terms[i]);
    }
  }

 private:
  bool latex() const { return mode_ == PrintMode::Latex; }
  bool repr() const { return mode_ == PrintMode::Repr; }

  void write_number(const NumberLit& n) {
    if (repr()) {
      put("NumberLit(value=", number_text(n), ")");
    } else if (latex() && has_minus(n)) {
      put("(", number_text(n), ")");
    } else {
      out_ += number_text(n);
    }
  }

  void write_suffix(const OptString& latex_string, const OptString& description) {
    if (latex_string) put(", latex='", *latex_string, "'");
    if (description) put(", description='", *description, "'");
  }

  void write_placeholder(const Placeholder& p) {
    if (!repr()) {
      out_ += p.name;
      return;
    }
    put("Placeholder(name='", p.name, "', ndim=", format_uint(p.ndim));
    write_suffix(p.latex, p.description);
    out_ += ")";
  }

  // Writes an array operand (placeholder, element, decision variable or subscript) with
  // the writer of its kind, bypassing parentheses and custom LaTeX of the operand.
  void write_array(const Expression& a) {
    switch (a.kind()) {
      case ExprKind::Placeholder: return write_placeholder(a.as<Placeholder>());
      case ExprKind::Element: return write_element(a.as<Element>());
      case ExprKind::DecisionVar: return write_decision_var(a.as<DecisionVar>());
      case ExprKind::Subscript: return write_subscript(a.as<Subscript>());
      default: return write_expr(a);
    }
  }

  void write_element(const Element& e) {
    if (mode_ == PrintMode::Text) {
      out_ += e.name;
      return;
    }
    if (latex()) {
      out_ += e.latex ? *e.latex : e.name;
      return;
    }
    put("Element(name='", e.name, "', belong_to=");
    if (const Range* r = std::get_if<Range>(&e.belong_to)) {
      out_ += "(";
      write_expr(r->start);
      out_ += ", ";
      write_expr(r->end);
      out_ += ")";
    } else {
      write_array(std::get<Expression>(e.belong_to));
    }
    write_suffix(e.latex, e.description);
    out_ += ")";
  }

  void write_bound(const Bound& b) {
    if (b.kind == BoundKind::Expression) {
      write_expr(b.value);
    } else {
      write_array(b.value);
    }
  }

  void write_decision_var(const DecisionVar& v) {
    if (!repr()) {
      out_ += v.name;
      return;
    }
    out_ += kind_word(v.kind);
    put("Var(name='", v.name, "', shape=[");
    for (std::size_t i = 0; i < v.shape.size(); ++i) {
      if (i) out_ += ", ";
      write_expr(v.shape[i]);
    }
    out_ += "]";
    if (v.kind != VarKind::Binary) {
      out_ += ", lower_bound=";
      write_bound(v.lower_bound);
      out_ += ", upper_bound=";
      write_bound(v.upper_bound);
    }
    write_suffix(v.latex, v.description);
    out_ += ")";
  }

  void write_subscript(const Subscript& s) {
    if (latex() && s.latex) {
      out_ += *s.latex;
      return;
    }
    write_array(s.variable);
    if (latex()) out_ += "_";
    out_ += latex() ? "{" : "[";
    for (std::size_t i = 0; i < s.subscripts.size(); ++i) {
      if (i) out_ += ", ";
      write_expr(s.subscripts[i]);
    }
    out_ += latex() ? "}" : "]";
  }

  void write_array_length(const ArrayLength& a) {
    switch (mode_) {
      case PrintMode::Text:
        out_ += "len(";
        write_array(a.array);
        put(", ", format_uint(a.axis), ")");
        break;
      case PrintMode::Repr:
        out_ += "ArrayLength(array=";
        write_array(a.array);
        put(", axis=", format_uint(a.axis));
        write_suffix(a.latex, a.description);
        out_ += ")";
        break;
      case PrintMode::Latex:
        out_ += "\\mathrm{len}\\left(";
        write_array(a.array);
        put(", ", format_uint(a.axis), "\\right)");
        break;
    }
  }

  void write_unary(const UnaryOp& u) {
    static const char* const kText[][2] = {
        {"|", "|"}, {"ceil(", ")"}, {"floor(", ")"}, {"ln(", ")"}, {"log10(", ")"}, {"log2(", ")"}};
    static const char* const kRepr[][2] = {
        {"abs(", ")"}, {"ceil(", ")"}, {"floor(", ")"}, {"ln(", ")"}, {"log10(", ")"}, {"log2(", ")"}};
    static const char* const kLatex[][2] = {{"\\left| ", " \\right|"},
                                            {"\\left\\lceil ", " \\right\\rceil"},
                                            {"\\left\\lfloor ", " \\right\\rfloor"},
                                            {"\\ln ", ""},
                                            {"\\log_{10} ", ""},
                                            {"\\log_{2} ", ""}};
    const auto& affix = latex() ? kLatex[int(u.kind)] : repr() ? kRepr[int(u.kind)] : kText[int(u.kind)];
    out_ += affix[0];
    write_expr(u.operand);
    out_ += affix[1];
  }

  void write_binary(const BinaryOp& b) {
    if (b.kind == BinaryKind::Pow) {
      write_power_base(b.left);
      if (latex()) {
        out_ += "^{";
        push({Category::Neutral});
        write_expr(b.right);
        pop();
        out_ += "}";
      } else {
        out_ += " ** ";
        write_expr(b.right);
      }
      return;
    }
    write_expr(b.left);
    out_ += latex() ? " \\bmod " : " % ";
    write_expr(b.right);
  }

  // The base of a power. Two bases would read wrongly without parentheses: a negative
  // literal in text ("-2 ** a" reads as the negation of 2 ** a) and a logarithm in LaTeX
  // ("\\ln a^{2}" reads as the log of a squared).
  void write_power_base(const Expression& base) {
    bool wrap = false;
    if (mode_ == PrintMode::Text) {
      const auto* n = base.get_if<NumberLit>();
      wrap = n && has_minus(*n);
    } else if (latex() && !base.latex()) {
      const auto* u = base.get_if<UnaryOp>();
      wrap = u && (u->kind == UnaryKind::Ln || u->kind == UnaryKind::Log10 || u->kind == UnaryKind::Log2);
    }
    if (wrap) out_ += latex() ? "\\left(" : "(";
    write_expr(base);
    if (wrap) out_ += latex() ? "\\right)" : ")";
  }

  static bool is_literal(const Expression& e) { return e.kind() == ExprKind::Number; }

  // Factors [first, n) of a product joined by the multiplication sign.
  void write_factors(const TermList& f, std::size_t first) {
    for (std::size_t i = first; i < f.size(); ++i) {
      if (i > first) out_ += latex() ? " \\cdot " : " * ";
      write_expr(f[i]);
    }
  }

  void write_product(const TermList& f) {
    std::size_t first = 0;
    if (!f.empty() && is_literal(f[0]) && f[0].as<NumberLit>().is_minus_one()) {
      out_ += "- ";
      first = 1;
    }
    write_factors(f, first);
  }

  void drop_trailing_plus() {
    if (out_.size() >= 2 && out_.compare(out_.size() - 2, 2, "+ ") == 0) out_.resize(out_.size() - 2);
  }

  void write_sum_term(const Expression& t) {
    if (latex() && t.latex()) {
      write_expr(t);
      return;
    }
    if (!repr() && is_literal(t) && has_minus(t.as<NumberLit>())) {
      drop_trailing_plus();
      put("- ", number_text(t.as<NumberLit>()).substr(1));
      return;
    }
    if (const auto* m = t.get_if<CommutativeOp>(); m && m->kind == CommutativeKind::Mul &&
                                                    !m->terms.empty() && is_literal(m->terms[0])) {
      const NumberLit& c = m->terms[0].as<NumberLit>();
      const bool handled = repr() ? c.is_minus_one() : has_minus(c);
      if (handled) {
        drop_trailing_plus();
        out_ += "- ";
        if (!c.is_minus_one()) {
          out_ += number_text(c).substr(1);
          out_ += latex() ? " \\cdot " : " * ";
        }
        push(entry_of(t));
        write_factors(m->terms, 1);
        pop();
        return;
      }
    }
    write_expr(t);
  }

  void write_commutative(const CommutativeOp& c) {
    switch (c.kind) {
      case CommutativeKind::Add:
        for (std::size_t i = 0; i < c.terms.size(); ++i) {
          write_sum_term(c.terms[i]);
          if (i + 1 < c.terms.size()) out_ += " + ";
        }
        return;
      case CommutativeKind::Mul: return write_product(c.terms);
      case CommutativeKind::Min:
      case CommutativeKind::Max: {
        const bool min = c.kind == CommutativeKind::Min;
        if (latex()) {
          out_ += min ? "\\min\\left(" : "\\max\\left(";
        } else {
          out_ += min ? "min(" : "max(";
        }
        for (std::size_t i = 0; i < c.terms.size(); ++i) {
          if (i) out_ += ", ";
          write_expr(c.terms[i]);
        }
        out_ += latex() ? "\\right)" : ")";
        return;
      }
    }
  }

  // The set of a reduction's index in text mode.
  void write_set_text(const ElementSet& s) {
    if (const Range* r = std::get_if<Range>(&s)) {
      put("[", generic_text(r->start), "..", generic_text(r->end), ")");
      return;
    }
    const Expression& a = std::get<Expression>(s);
    Printer p(PrintMode::Text, *root_);
    p.write_array(a);
    out_ += p.take();
  }

  std::string generic_text(const Expression& e) {
    Printer p(PrintMode::Text, *root_);
    p.push(entry_of(e));
    p.write_expr(e);
    return p.take();
  }

  void write_reduction(const ReductionOp& r) {
    const Element& index = r.index.as<Element>();
    const bool sum = r.kind == ReductionKind::Sum;
    if (latex()) return write_reduction_latex(r, index);
    out_ += sum ? "sum(" : "prod(";
    if (mode_ == PrintMode::Text) {
      put(index.name, " in ");
      write_set_text(index.belong_to);
      if (r.condition) {
        out_ += " s.t. ";
        write_condition(r.condition);
      }
    } else {
      write_element(index);
      if (r.condition) {
        out_ += ", ";
        write_condition(r.condition);
      }
    }
    out_ += ", ";
    write_expr(r.operand);
    out_ += ")";
  }

  void write_reduction_latex(const ReductionOp& r, const Element& index) {
    out_ += r.kind == ReductionKind::Sum ? "\\sum_{" : "\\prod_{";
    if (r.condition) out_ += "\\substack{";
    out_ += index.latex ? *index.latex : index.name;
    if (const Range* range = std::get_if<Range>(&index.belong_to)) {
      out_ += " = ";
      write_expr(range->start);
      if (r.condition) {
        out_ += "\\\\";
        write_condition(r.condition);
        out_ += "}";
      }
      out_ += "}^{";
      push({Category::Neutral});
      write_upper_bound(range->end);
      pop();
      out_ += "}";
    } else {
      out_ += " \\in ";
      const Expression& set = std::get<Expression>(index.belong_to);
      if (const auto* p = set.get_if<Placeholder>()) {
        out_ += p->name;
      } else if (const auto* e = set.get_if<Element>()) {
        out_ += e->name;
      } else {
        write_array(set);
      }
      if (r.condition) {
        out_ += "\\\\";
        write_condition(r.condition);
        out_ += "}";
      }
      out_ += "}";
    }
    out_ += " ";
    write_expr(r.operand);
  }

  // The last value of a range: its end minus one, built by the subtraction rule so that
  // literal ends fold (10 gives 9, N + 1 gives N).
  void write_upper_bound(const Expression& end) {
    auto last = subtract(end, make_int(1));
    write_expr(last ? *last : end);
  }

  const char* comparison_operator(ComparisonKind k) const {
    static const char* const kText[] = {" == ", " != ", " < ", " <= ", " > ", " >= "};
    static const char* const kLatex[] = {" = ", " \\neq ", " < ", " \\leq ", " > ", " \\geq "};
    return (latex() ? kLatex : kText)[int(k)];
  }

  const char* logical_separator(LogicalKind k) const {
    static const char* const kText[] = {" and ", " or ", " xor "};
    static const char* const kRepr[] = {" & ", " | ", " ^ "};
    static const char* const kLatex[] = {" \\land ", " \\lor ", " \\oplus "};
    return (latex() ? kLatex : repr() ? kRepr : kText)[int(k)];
  }

  // Whether the text is abandoned: it would pass kMaxTextBytes (shared subtrees are
  // written at every occurrence, so a small tree can have an astronomically long text), or
  // the walk was interrupted. Once abandoned, every writer returns at its next node.
  bool stopped() {
    Printer& r = *root_;
    if (r.error_) return true;
    if (out_.size() > kMaxTextBytes || r.out_.size() > kMaxTextBytes) {
      r.error_ = too_long();
    } else if (r.poll_()) {
      r.error_ = interrupted();
    }
    return bool(r.error_);
  }

 public:
  static Error too_long() {
    return {ErrorKind::Memory, "the text would be longer than " + std::to_string(kMaxTextBytes) + " bytes"};
  }

 private:

  PrintMode mode_;
  Printer* root_;  // the printer whose text this one contributes to (itself for the root)
  std::string out_;
  std::vector<Entry> stack_;
  std::optional<Error> error_;  // set on the root only
  InterruptPoll poll_;
};

Error too_high() {
  return {ErrorKind::Recursion, "maximum recursion depth exceeded while printing an expression"};
}

// How many node occurrences the text walks, counted once per distinct node and saturating
// at `limit`. Every occurrence adds to the text (an operator writes a separator per extra
// child, a function its name, a leaf its name or digits), so the text is at least about half
// as long as this count; variables and nodes with custom LaTeX count as leaves, which only
// lowers it.
template <class Tree>
std::uint64_t occurrences(const Tree& root, PrintMode mode, std::uint64_t limit) {
  struct Frame {
    const void* id;
    std::vector<const void*> kids;
  };
  std::unordered_map<const void*, std::uint64_t> count;
  auto leaf = [&](const Expression& e) {
    if (mode == PrintMode::Latex && e.latex()) return true;
    switch (e.kind()) {
      case ExprKind::Element:
      case ExprKind::DecisionVar:
      case ExprKind::ArrayLength: return true;
      default: return false;
    }
  };
  auto leaf_cond = [&](const Condition& c) { return mode == PrintMode::Latex && bool(c.latex()); };
  std::vector<std::variant<Expression, Condition>> todo{root};
  // Post-order without recursion: a node is counted once all its children are.
  while (!todo.empty()) {
    auto item = todo.back();
    const void* id = std::visit([](const auto& n) { return n.identity(); }, item);
    if (count.count(id)) {
      todo.pop_back();
      continue;
    }
    std::uint64_t sum = 1;
    bool ready = true;
    auto kid = [&](const auto& c) {
      auto it = count.find(c.identity());
      if (it == count.end()) {
        ready = false;
        todo.emplace_back(c);
      } else {
        sum = std::min(limit, sum + it->second);
      }
    };
    std::visit(
        [&](const auto& n) {
          using T = std::decay_t<decltype(n)>;
          if constexpr (std::is_same_v<T, Expression>) {
            if (!leaf(n)) for_each_child(n, kid, kid);
          } else {
            if (!leaf_cond(n)) for_each_child(n, kid, kid);
          }
        },
        item);
    if (ready) {
      count.emplace(id, sum);
      todo.pop_back();  // nothing was pushed when ready
    }
  }
  return count[root.identity()];
}

// Refuses at once a text that would be far past the limit.
template <class Tree>
Status check_size(const Tree& t, PrintMode mode) {
  constexpr std::uint64_t kLimit = 8 * std::uint64_t(kMaxTextBytes);
  if (t.paths() < kLimit) return Ok{};  // the cached count covers every child: no walk needed
  if (occurrences(t, mode, kLimit) >= kLimit) return Printer::too_long();
  return Ok{};
}

}  // namespace

Result<std::string> render_node(PrintMode mode, const Expression& e) {
  if (e.height() > kMaxPrintHeight) return too_high();
  TX_CHECK(check_size(e, mode));
  Printer p(mode);
  p.push(entry_of(e));
  p.write_node(e);
  return p.finish();
}

Result<std::string> render_expression(PrintMode mode, const Expression& e) {
  if (e.height() > kMaxPrintHeight) return too_high();
  TX_CHECK(check_size(e, mode));
  Printer p(mode);
  p.push(entry_of(e));
  p.write_expr(e);
  return p.finish();
}

Result<std::string> render_condition(PrintMode mode, const Condition& c) {
  if (c.height() > kMaxPrintHeight) return too_high();
  TX_CHECK(check_size(c, mode));
  Printer p(mode);
  p.push(entry_of(c));
  p.write_condition(c);
  return p.finish();
}

Result<std::string> render_range(PrintMode mode, const Range& r) {
  TX_TRY(std::string start, render_expression(mode, r.start));
  TX_TRY(std::string end, render_expression(mode, r.end));
  if (mode == PrintMode::Repr) return "(" + start + ", " + end + ")";
  return "[" + start + ".." + end + ")";
}

std::string text_of(const Expression& e) {
  auto r = render_node(PrintMode::Text, e);
  return r ? std::move(r).value() : std::string("...");
}

std::string text_of(const Condition& c) {
  auto r = render_condition(PrintMode::Text, c);
  return r ? std::move(r).value() : std::string("...");
}

}  // namespace tarvex
