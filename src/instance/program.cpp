// Flattening a problem into the operation table: an iterative post-order walk over distinct
// nodes, each node turned into one operation once all the nodes it refers to are.
#include "instance/program.hpp"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "lib/interrupt.hpp"

namespace tarvex {
namespace {

struct Item {
  const Expression* e = nullptr;
  const Condition* c = nullptr;
  bool expanded = false;
  const void* id() const { return e ? e->identity() : c->identity(); }
};

// The operand and subscripts of an array operand, nested subscripts combined.
struct ArrayChain {
  const Expression* base = nullptr;
  std::vector<const Expression*> subscripts;
};

ArrayChain chain_of(const Expression& a) {
  ArrayChain out;
  std::vector<const Subscript*> levels;
  const Expression* p = &a;
  while (const auto* s = p->get_if<Subscript>()) {
    levels.push_back(s);
    p = &s->variable;
  }
  out.base = p;
  for (auto it = levels.rbegin(); it != levels.rend(); ++it)
    for (const Expression& i : (*it)->subscripts) out.subscripts.push_back(&i);
  return out;
}

// The divisor b of a term `b ** -1`, or nullptr.
const Expression* divisor_of(const Expression& t) {
  const auto* b = t.get_if<BinaryOp>();
  if (!b || b->kind != BinaryKind::Pow || !b->right) return nullptr;
  const auto* n = b->right.get_if<NumberLit>();
  return n && n->is_integer() && n->int_value() == -1 ? &b->left : nullptr;
}

class Builder {
 public:
  Result<Program> run(const Problem& p) {
    prog_.sense = p.sense();
    if (p.objective()) {
      TX_TRY(prog_.objective, expr(p.objective()));
    } else {
      prog_.objective = constant(0);
    }
    for (const auto& [name, c] : p.constraints()) {
      ConstraintSpec s{name, c.sense, 0, 0, {}};
      TX_TRY(s.forall, forall(c.forall));
      TX_TRY(s.left, expr(c.left));
      TX_TRY(s.right, expr(c.right));
      prog_.constraints.push_back(std::move(s));
    }
    for (const auto& [name, t] : p.custom_penalty_terms()) {
      PenaltySpec s{name, 0, {}};
      TX_TRY(s.forall, forall(t.forall));
      TX_TRY(s.expression, expr(t.expression));
      prog_.penalties.push_back(std::move(s));
    }
    // Variables met along the way, including those met in other variables' shapes.
    for (std::size_t v = 0; v < var_nodes_.size(); ++v) TX_CHECK(variable(v));
    finish();
    return std::move(prog_);
  }

 private:
  std::uint32_t constant(double v) {
    Op op;
    op.kind = OpKind::Const;
    op.value = v;
    return add_op(op, {});
  }

  Result<std::uint32_t> expr(const Expression& e) {
    TX_CHECK(build(Item{&e, nullptr, false}));
    return index_.at(e.identity());
  }
  Result<std::uint32_t> cond(const Condition& c) {
    TX_CHECK(build(Item{nullptr, &c, false}));
    return index_.at(c.identity());
  }

  Result<std::vector<ForallSpec>> forall(const ForallList& f) {
    std::vector<ForallSpec> out;
    for (const ForallItem& item : f) {
      ForallSpec s;
      TX_TRY(s.set, set_of(item.element));
      if (item.condition) {
        TX_TRY(const std::uint32_t c, cond(item.condition));
        s.cond = std::int32_t(c);
        ++parents_[c];
      }
      out.push_back(std::move(s));
    }
    return out;
  }

  Status variable(std::size_t v) {
    const DecisionVar& d = var_nodes_[v]->as<DecisionVar>();
    VariableSpec s{d.name, d.kind, {}, {}, {}};
    for (const Expression& e : d.shape) {
      TX_TRY(const std::uint32_t i, expr(e));
      ++parents_[i];
      s.shape.push_back(i);
    }
    TX_TRY(s.lower, bound(d.lower_bound));
    TX_TRY(s.upper, bound(d.upper_bound));
    vars_[v] = std::move(s);
    return Ok{};
  }

  Result<BoundSpec> bound(const Bound& b) {
    BoundSpec s;
    if (!b.value) {
      s.scalar = constant(0);
      return s;
    }
    if (b.kind == BoundKind::Expression) {
      TX_TRY(s.scalar, expr(b.value));
      ++parents_[s.scalar];
      return s;
    }
    s.is_array = true;
    const ArrayChain ch = chain_of(b.value);
    for (const Expression* i : ch.subscripts) TX_CHECK(expr(*i));
    TX_TRY(s.array, array_spec(ch));
    return s;
  }

  // The set of an element; the nodes it refers to are built.
  Result<SetSpec> set_of(const Expression& element) {
    const Element& el = element.as<Element>();
    SetSpec s;
    s.slot = slot(el.name);
    if (const Range* r = std::get_if<Range>(&el.belong_to)) {
      TX_TRY(s.start, expr(r->start));
      TX_TRY(s.end, expr(r->end));
      ++parents_[s.start];
      ++parents_[s.end];
      return s;
    }
    s.is_range = false;
    const ArrayChain ch = chain_of(std::get<Expression>(el.belong_to));
    for (const Expression* i : ch.subscripts) TX_CHECK(expr(*i));
    TX_TRY(s.array, array_spec(ch));
    for (std::uint32_t i : s.array.subscripts) ++parents_[i];
    return s;
  }

  // The nodes a node refers to, which must be built before it.
  void needed(const Item& it, std::vector<Item>& out) {
    auto e = [&](const Expression& x) {
      if (x) out.push_back(Item{&x, nullptr, false});
    };
    if (it.c) {
      for_each_child(*it.c, e, [&](const Condition& x) { out.push_back(Item{nullptr, &x, false}); });
      return;
    }
    const Expression& x = *it.e;
    switch (x.kind()) {
      case ExprKind::Subscript:
      case ExprKind::ArrayLength: {
        const ArrayChain ch = chain_of(x.kind() == ExprKind::Subscript ? x : x.as<ArrayLength>().array);
        for (const Expression* i : ch.subscripts) e(*i);
        return;
      }
      case ExprKind::Commutative: {
        const TermList& t = x.as<CommutativeOp>().terms;
        const bool mul = x.as<CommutativeOp>().kind == CommutativeKind::Mul;
        for (std::size_t k = 0; k < t.size(); ++k) {
          const Expression* d = mul ? divisor_of(t[k]) : nullptr;
          e(d ? *d : t[k]);
        }
        return;
      }
      case ExprKind::Reduction: {
        const ReductionOp& r = x.as<ReductionOp>();
        const Element& el = r.index.as<Element>();
        if (const Range* rg = std::get_if<Range>(&el.belong_to)) {
          e(rg->start);
          e(rg->end);
        } else {
          for (const Expression* i : chain_of(std::get<Expression>(el.belong_to)).subscripts) e(*i);
        }
        if (r.condition) out.push_back(Item{nullptr, &r.condition, false});
        e(r.operand);
        return;
      }
      case ExprKind::Unary:
      case ExprKind::Binary: for_each_child(x, e, [](const Condition&) {}); return;
      default: return;  // literals, placeholders, elements and variables are leaves here
    }
  }

  Status build(Item root) {
    std::vector<Item> stack{root};
    std::vector<Item> kids;
    while (!stack.empty()) {
      if (poll_()) return interrupted();
      Item it = stack.back();
      stack.pop_back();
      if (index_.count(it.id())) continue;
      if (!it.expanded) {
        it.expanded = true;
        stack.push_back(it);
        kids.clear();
        needed(it, kids);
        for (auto k = kids.rbegin(); k != kids.rend(); ++k)
          if (!index_.count(k->id())) stack.push_back(*k);
        continue;
      }
      TX_TRY(const std::uint32_t i, it.e ? make(*it.e) : make(*it.c));
      index_.emplace(it.id(), i);
    }
    return Ok{};
  }

  std::uint32_t child(const Expression& e) {
    const std::uint32_t i = index_.at(e.identity());
    ++parents_[i];
    return i;
  }

  std::uint32_t slot(const std::string& name) {
    auto [it, added] = slots_.emplace(name, std::uint32_t(prog_.elements.size()));
    if (added) prog_.elements.push_back(name);
    return it->second;
  }

  Result<std::uint32_t> placeholder(const Placeholder& p) {
    auto [it, added] = ph_.emplace(p.name, std::uint32_t(phs_.size()));
    if (added) {
      phs_.push_back(PlaceholderSpec{p.name, p.ndim});
    } else if (phs_[it->second].ndim != p.ndim) {
      return value_error("placeholder '" + p.name + "' is used with " + std::to_string(phs_[it->second].ndim) +
                         " and with " + std::to_string(p.ndim) + " dimensions");
    }
    return it->second;
  }

  std::uint32_t var(const Expression& e) {
    const std::string& name = e.as<DecisionVar>().name;
    auto [it, added] = var_ids_.emplace(name, std::uint32_t(var_nodes_.size()));
    if (added) {
      var_nodes_.push_back(&e);
      vars_.emplace_back();
    }
    return it->second;
  }

  Result<ArraySpec> array_spec(const ArrayChain& ch) {
    ArraySpec a;
    const Expression& b = *ch.base;
    switch (b.kind()) {
      case ExprKind::Placeholder: {
        a.base = ArrayBase::Data;
        TX_TRY(a.ref, placeholder(b.as<Placeholder>()));
        break;
      }
      case ExprKind::Element:
        a.base = ArrayBase::Elem;
        a.ref = slot(b.as<Element>().name);
        break;
      case ExprKind::DecisionVar:
        a.base = ArrayBase::Var;
        a.ref = var(b);
        break;
      default: return value_error("an array operand must be a placeholder, an element or a decision variable");
    }
    for (const Expression* i : ch.subscripts) a.subscripts.push_back(index_.at(i->identity()));
    return a;
  }

  Result<std::uint32_t> make(const Expression& x) {
    Op op;
    std::vector<std::uint32_t> kids;
    std::vector<std::uint8_t> flags;
    switch (x.kind()) {
      case ExprKind::Number:
        op.kind = OpKind::Const;
        op.value = x.as<NumberLit>().as_double();
        break;
      case ExprKind::Placeholder: {
        op.kind = OpKind::Data;
        TX_TRY(op.ref, placeholder(x.as<Placeholder>()));
        break;
      }
      case ExprKind::Element: op.kind = OpKind::Elem; op.ref = slot(x.as<Element>().name); break;
      case ExprKind::DecisionVar: op.kind = OpKind::Var; op.ref = var(x); break;
      case ExprKind::Subscript:
      case ExprKind::ArrayLength: {
        const bool sub = x.kind() == ExprKind::Subscript;
        op.kind = sub ? OpKind::Sub : OpKind::Len;
        if (!sub) op.aux = std::uint32_t(std::min<std::uint64_t>(x.as<ArrayLength>().axis, UINT32_MAX));
        TX_TRY(ArraySpec a, array_spec(chain_of(sub ? x : x.as<ArrayLength>().array)));
        for (std::uint32_t i : a.subscripts) ++parents_[i];
        kids = a.subscripts;
        op.array = std::uint32_t(prog_.arrays.size());
        prog_.arrays.push_back(std::move(a));
        break;
      }
      case ExprKind::Unary:
        op.kind = OpKind::Unary;
        op.aux = std::uint32_t(x.as<UnaryOp>().kind);
        kids.push_back(child(x.as<UnaryOp>().operand));
        break;
      case ExprKind::Binary: {
        const BinaryOp& b = x.as<BinaryOp>();
        op.kind = b.kind == BinaryKind::Pow ? OpKind::Pow : OpKind::Mod;
        kids.push_back(child(b.left));
        kids.push_back(child(b.right));
        break;
      }
      case ExprKind::Commutative: {
        const CommutativeOp& c = x.as<CommutativeOp>();
        static constexpr OpKind kinds[] = {OpKind::Add, OpKind::Mul, OpKind::Min, OpKind::Max};
        op.kind = kinds[int(c.kind)];
        for (std::size_t k = 0; k < c.terms.size(); ++k) {
          const Expression* d = op.kind == OpKind::Mul ? divisor_of(c.terms[k]) : nullptr;
          kids.push_back(child(d ? *d : c.terms[k]));
          flags.push_back(d != nullptr);
        }
        break;
      }
      case ExprKind::Reduction: {
        const ReductionOp& r = x.as<ReductionOp>();
        op.kind = r.kind == ReductionKind::Sum ? OpKind::Sum : OpKind::Prod;
        TX_TRY(SetSpec s, set_of(r.index));
        op.ref = s.slot;
        op.aux = std::uint32_t(prog_.sets.size());
        prog_.sets.push_back(std::move(s));
        if (r.condition) op.cond = std::int32_t(child_cond(r.condition));
        kids.push_back(child(r.operand));
        break;
      }
    }
    return add_op(op, kids, flags);
  }

  std::uint32_t child_cond(const Condition& c) {
    const std::uint32_t i = index_.at(c.identity());
    ++parents_[i];
    return i;
  }

  Result<std::uint32_t> make(const Condition& c) {
    Op op;
    std::vector<std::uint32_t> kids;
    if (const auto* cmp = c.get_if<Comparison>()) {
      op.kind = OpKind::Cmp;
      op.aux = std::uint32_t(cmp->kind);
      kids.push_back(child(cmp->left));
      kids.push_back(child(cmp->right));
    } else {
      const Logical& l = c.as<Logical>();
      static constexpr OpKind kinds[] = {OpKind::And, OpKind::Or, OpKind::Xor};
      op.kind = kinds[int(l.kind)];
      for (const Condition& t : l.terms) kids.push_back(child_cond(t));
    }
    return add_op(op, kids);
  }

  std::uint32_t add_op(Op op, const std::vector<std::uint32_t>& kids, const std::vector<std::uint8_t>& flags = {}) {
    op.first = std::uint32_t(prog_.children.size());
    op.count = std::uint32_t(kids.size());
    for (std::size_t k = 0; k < kids.size(); ++k) {
      prog_.children.push_back(kids[k]);
      prog_.divides.push_back(k < flags.size() ? flags[k] : 0);
    }
    const std::uint32_t i = std::uint32_t(prog_.ops.size());
    prog_.ops.push_back(op);
    parents_.push_back(0);
    return i;
  }

  // Free elements and the dependence on the solution, bottom-up (children come first in
  // the table); memo flags; variables and placeholders renumbered in name order.
  void finish() {
    std::vector<std::uint32_t> var_order(vars_.size()), ph_order(phs_.size());
    {
      std::uint32_t k = 0;
      for (const auto& [name, id] : var_ids_) var_order[id] = k++;
      k = 0;
      for (const auto& [name, id] : ph_) ph_order[id] = k++;
      prog_.variables.resize(vars_.size());
      for (std::size_t v = 0; v < vars_.size(); ++v) prog_.variables[var_order[v]] = std::move(vars_[v]);
      prog_.placeholders.resize(phs_.size());
      for (std::size_t p = 0; p < phs_.size(); ++p) prog_.placeholders[ph_order[p]] = std::move(phs_[p]);
    }
    auto renumber = [&](ArraySpec& a) {
      if (a.base == ArrayBase::Var) a.ref = var_order[a.ref];
      if (a.base == ArrayBase::Data) a.ref = ph_order[a.ref];
    };
    for (ArraySpec& a : prog_.arrays) renumber(a);
    for (SetSpec& s : prog_.sets)
      if (!s.is_range) renumber(s.array);
    for (ConstraintSpec& c : prog_.constraints)
      for (ForallSpec& f : c.forall)
        if (!f.set.is_range) renumber(f.set.array);
    for (PenaltySpec& c : prog_.penalties)
      for (ForallSpec& f : c.forall)
        if (!f.set.is_range) renumber(f.set.array);
    for (VariableSpec& v : prog_.variables) {
      if (v.lower.is_array) renumber(v.lower.array);
      if (v.upper.is_array) renumber(v.upper.array);
    }

    constexpr std::uint32_t kOverflow = UINT32_MAX;
    std::vector<std::uint32_t> acc;
    for (std::size_t i = 0; i < prog_.ops.size(); ++i) {
      Op& op = prog_.ops[i];
      if (op.kind == OpKind::Var) op.ref = var_order[op.ref];
      if (op.kind == OpKind::Data) op.ref = ph_order[op.ref];
      acc.clear();
      bool overflow = false;
      auto merge = [&](std::uint32_t c) {
        const Op& k = prog_.ops[c];
        op.has_dv = op.has_dv || k.has_dv;
        if (k.deps_count == kOverflow) {
          overflow = true;
          return;
        }
        acc.insert(acc.end(), prog_.deps.begin() + k.deps_first, prog_.deps.begin() + k.deps_first + k.deps_count);
      };
      for (std::uint32_t k = 0; k < op.count; ++k) merge(prog_.children[op.first + k]);
      if (op.cond >= 0) merge(std::uint32_t(op.cond));
      std::int64_t bound_slot = -1;
      switch (op.kind) {
        case OpKind::Var: op.has_dv = true; break;
        case OpKind::Elem: acc.push_back(op.ref); break;
        case OpKind::Sub:
        case OpKind::Len: {
          const ArraySpec& a = prog_.arrays[op.array];
          if (a.base == ArrayBase::Elem) acc.push_back(a.ref);
          if (a.base == ArrayBase::Var) op.has_dv = true;
          break;
        }
        case OpKind::Sum:
        case OpKind::Prod: bound_slot = op.ref; break;
        default: break;
      }
      std::sort(acc.begin(), acc.end());
      acc.erase(std::unique(acc.begin(), acc.end()), acc.end());
      if (bound_slot >= 0) {
        acc.erase(std::remove(acc.begin(), acc.end(), std::uint32_t(bound_slot)), acc.end());
        // The set is evaluated outside the element's scope.
        const SetSpec& s = prog_.sets[op.aux];
        std::vector<std::uint32_t> set_ops;
        if (s.is_range) {
          set_ops = {s.start, s.end};
        } else {
          set_ops = s.array.subscripts;
          if (s.array.base == ArrayBase::Elem) acc.push_back(s.array.ref);
          if (s.array.base == ArrayBase::Var) op.has_dv = true;
        }
        for (std::uint32_t c : set_ops) merge(c);
        std::sort(acc.begin(), acc.end());
        acc.erase(std::unique(acc.begin(), acc.end()), acc.end());
      }
      if (overflow || acc.size() > kMaxMemoDeps) {
        op.deps_count = kOverflow;
      } else {
        op.deps_first = std::uint32_t(prog_.deps.size());
        op.deps_count = std::uint32_t(acc.size());
        prog_.deps.insert(prog_.deps.end(), acc.begin(), acc.end());
      }
      op.memo = parents_[i] >= 2 && op.deps_count != kOverflow && op.kind != OpKind::Const;
    }
    for (Op& op : prog_.ops)
      if (op.deps_count == kOverflow) op.deps_count = 0;
  }

  Program prog_;
  std::unordered_map<const void*, std::uint32_t> index_;
  std::vector<std::uint32_t> parents_;
  std::map<std::string, std::uint32_t> slots_;
  std::map<std::string, std::uint32_t> ph_;
  std::vector<PlaceholderSpec> phs_;
  std::map<std::string, std::uint32_t> var_ids_;
  std::vector<const Expression*> var_nodes_;
  std::vector<VariableSpec> vars_;
  InterruptPoll poll_;
};

}  // namespace

Result<Program> build_program(const Problem& p) { return Builder().run(p); }

const std::string& Program::base_name(const ArraySpec& a) const {
  switch (a.base) {
    case ArrayBase::Data: return placeholders[a.ref].name;
    case ArrayBase::Elem: return elements[a.ref];
    case ArrayBase::Var: return variables[a.ref].name;
  }
  return elements.front();
}

std::string Program::variable_in(std::uint32_t root) const {
  // Depth first along the operands that carry the flag, each op once.
  std::vector<std::uint8_t> seen(ops.size(), 0);
  std::vector<std::uint32_t> todo{root};
  auto visit = [&](std::uint32_t c) {
    if (c < ops.size() && ops[c].has_dv && !seen[c]) todo.push_back(c);
  };
  while (!todo.empty()) {
    const std::uint32_t i = todo.back();
    todo.pop_back();
    if (seen[i]) continue;
    seen[i] = 1;
    const Op& op = ops[i];
    if (op.kind == OpKind::Var) return variables[op.ref].name;
    if ((op.kind == OpKind::Sub || op.kind == OpKind::Len) && arrays[op.array].base == ArrayBase::Var)
      return variables[arrays[op.array].ref].name;
    if (op.kind == OpKind::Sum || op.kind == OpKind::Prod) {
      const SetSpec& s = sets[op.aux];
      if (s.is_range) {
        visit(s.start);
        visit(s.end);
      } else {
        if (s.array.base == ArrayBase::Var) return variables[s.array.ref].name;
        for (std::uint32_t c : s.array.subscripts) visit(c);
      }
    }
    for (std::uint32_t k = 0; k < op.count; ++k) visit(children[op.first + k]);
    if (op.cond >= 0) visit(std::uint32_t(op.cond));
  }
  return {};
}

}  // namespace tarvex
