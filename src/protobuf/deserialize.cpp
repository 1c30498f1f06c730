// The deserializer. Each node array is rebuilt in two passes: a descending pass marks the
// nodes reachable from the roots (a node may only refer to smaller ids, so one pass in
// descending order finds them all), and an ascending pass builds each marked node once,
// from children that are already built. Nothing recurses on the depth of the input.
#include "protobuf/deserialize.hpp"

#include <algorithm>
#include <bit>
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "model/expression/operand/array_length.hpp"
#include "model/expression/operand/decision_var/decision_var.hpp"
#include "model/expression/operand/element/element.hpp"
#include "model/expression/operand/subscript.hpp"
#include "model/expression/operator/arithmetic.hpp"
#include "model/expression/operator/comparison_op/comparison_op.hpp"
#include "model/expression/operator/logical_op/logical_op.hpp"
#include "model/expression/operator/reduction_op/reduction_op.hpp"
#include <google/protobuf/stubs/logging.h>

#include "protobuf/tarvex.pb.h"

namespace tarvex {
namespace {

namespace pb = ::google::protobuf;
using Nodes = pb::RepeatedPtrField<wire::ExprNode>;

Error decode_error(std::string m) { return {ErrorKind::Deserialization, std::move(m)}; }

constexpr const char* kPrefix = "failed to decode the input buffer because ";
constexpr const char* kInvalidMessage = "failed to decode the input buffer because it did not contain valid Protobuf message";
constexpr const char* kInvalidRoot =
    "failed to decode the input buffer because it contained the invalid ID of an expression node.";
constexpr const char* kIndexId = "the Expression message does not contain the id of the index";
constexpr const char* kConditionId = "the Expression message did not contain the id of the condition";
constexpr const char* kTermId = "the Expression message does not contain the id of a term";

std::string kind_message(const char* what) {
  return std::string(kPrefix) + "it did not contain valid " + what + " Protobuf message";
}

// The expressions and conditions of one node array.
class NodeBuilder {
 public:
  explicit NodeBuilder(const Nodes& nodes)
      : nodes_(nodes), need_(std::size_t(nodes.size()), 0) {}

  std::size_t size() const { return need_.size(); }
  void need_expr(std::uint64_t id) { mark(id, kExpr); }
  void need_cond(std::uint64_t id) { mark(id, kCond); }
  // The root of an expression body: built in both roles, since it may be either.
  void need_either(std::uint64_t id) { mark(id, kExpr | kCond | kEither); }

  void build() {
    if (!any_) return;
    for (std::uint64_t id = top_ + 1; id-- > 0;)
      if (need_[id]) mark_children(id);
    exprs_.resize(top_ + 1);
    conds_.resize(top_ + 1);
    expr_err_.assign(top_ + 1, -1);
    cond_err_.assign(top_ + 1, -1);
    // Every marked node is read by the nodes that marked it, so a failure below the roots
    // fails the whole array: the building stops there, and the first failing node in id
    // order decides the message. (Going on would let a message make every one of many
    // nodes fail, each with a message of its own.)
    for (std::uint64_t id = 0; id <= top_; ++id) {
      if (need_[id] & kExpr) store(build_expr(id), exprs_[id], expr_err_[id]);
      if (need_[id] & kCond) store(build_cond(id), conds_[id], cond_err_[id]);
      if (!(need_[id] & kEither) && (expr_err_[id] >= 0 || cond_err_[id] >= 0)) {
        stopped_ = expr_err_[id] >= 0 ? expr_err_[id] : cond_err_[id];
        break;
      }
    }
    // The root of an expression body fails either way, but its own checks come first.
    if (stopped_ >= 0 && (need_[top_] & kEither)) {
      store(build_expr(top_), exprs_[top_], expr_err_[top_]);
      store(build_cond(top_), conds_[top_], cond_err_[top_]);
    }
  }

  Result<Expression> expr(std::uint64_t id) const {
    if (expr_err_[id] >= 0) return errors_[std::size_t(expr_err_[id])];
    if (!exprs_[id]) return not_built();
    return exprs_[id];
  }
  Result<Condition> cond(std::uint64_t id) const {
    if (cond_err_[id] >= 0) return errors_[std::size_t(cond_err_[id])];
    if (!conds_[id]) return not_built();
    return conds_[id];
  }
  bool is_element(std::uint64_t id) const { return nodes_.Get(int(id)).has_element(); }

 private:
  static constexpr std::uint8_t kExpr = 1, kCond = 2, kEither = 4;

  Error not_built() const {
    if (stopped_ >= 0) return errors_[std::size_t(stopped_)];
    return internal_error("a node was read before it was built");
  }

  void mark(std::uint64_t id, std::uint8_t role) {
    need_[id] |= role;
    if (id > top_ || !any_) top_ = id;
    any_ = true;
  }
  // Marks a child for the pass that follows; references that are not to smaller ids are
  // left alone here and reported when the node is built.
  void child(std::uint64_t self, std::uint64_t ref, std::uint8_t role) {
    if (ref < self) need_[ref] |= role;
  }

  void mark_children(std::uint64_t id) {
    const wire::ExprNode& n = nodes_.Get(int(id));
    switch (n.kind_case()) {
      case wire::ExprNode::kElement:
        if (n.element().has_range()) {
          child(id, n.element().range().start_id(), kExpr);
          child(id, n.element().range().end_id(), kExpr);
        } else if (n.element().has_bound()) {
          child(id, n.element().bound().bound_id(), kExpr);
        }
        return;
      case wire::ExprNode::kDecisionVar:
        for (std::uint64_t s : n.decision_var().shape_ids()) child(id, s, kExpr);
        if (n.decision_var().type() == 1) return;  // a binary variable has fixed bounds; any written are not read
        if (n.decision_var().has_lower_bound()) child(id, n.decision_var().lower_bound().bound_id(), kExpr);
        if (n.decision_var().has_upper_bound()) child(id, n.decision_var().upper_bound().bound_id(), kExpr);
        return;
      case wire::ExprNode::kSubscript:
        child(id, n.subscript().variable_id(), kExpr);
        for (std::uint64_t s : n.subscript().subscript_ids()) child(id, s, kExpr);
        return;
      case wire::ExprNode::kArrayLength: child(id, n.array_length().array_id(), kExpr); return;
      case wire::ExprNode::kUnaryOp: child(id, n.unary_op().operand_id(), kExpr); return;
      case wire::ExprNode::kBinaryOp:
        child(id, n.binary_op().left_id(), kExpr);
        child(id, n.binary_op().right_id(), kExpr);
        return;
      case wire::ExprNode::kCommutativeOp: {
        const int k = n.commutative_op().kind();
        const std::uint8_t role = k >= 5 && k <= 7 ? kCond : kExpr;
        for (std::uint64_t t : n.commutative_op().term_ids()) child(id, t, role);
        return;
      }
      case wire::ExprNode::kReductionOp: {
        const auto& r = n.reduction_op();
        if (r.has_index()) {
          child(id, r.index().element_id(), kExpr);
          if (r.index().has_condition_id()) child(id, r.index().condition_id(), kCond);
        }
        child(id, r.operand_id(), kExpr);
        return;
      }
      default: return;
    }
  }

  // A failed child: its error is shared by index rather than copied at every level.
  template <class T>
  void store(Result<T> r, T& out, std::int32_t& err) {
    if (r) {
      out = std::move(r).value();
    } else if (failed_child_ >= 0) {
      err = failed_child_;
    } else {
      err = std::int32_t(errors_.size());
      errors_.push_back(std::move(r).error());
    }
    failed_child_ = -1;
  }

  // The reference `ref` of node `self`: out of range gives `missing`; an id that is not
  // smaller than the node's own is refused before it is followed.
  Status check_ref(std::uint64_t self, std::uint64_t ref, const std::string& missing) const {
    if (ref >= size()) return decode_error(missing);
    if (ref >= self)
      return decode_error(std::string(kPrefix) + "the node " + std::to_string(self) + " refers to the node " +
                          std::to_string(ref) + ", which does not come before it");
    return Ok{};
  }
  Error propagate(std::int32_t err) {
    failed_child_ = err;
    return Error{ErrorKind::Internal, {}};  // stands for errors_[err]; never shown
  }
  Result<Expression> child_expr(std::uint64_t self, std::uint64_t ref, const std::string& missing) {
    TX_CHECK(check_ref(self, ref, missing));
    if (expr_err_[ref] >= 0) return propagate(expr_err_[ref]);
    if (!exprs_[ref]) return stopped_ >= 0 ? propagate(stopped_) : internal_error("a child was not built");
    return exprs_[ref];
  }
  Result<Condition> child_cond(std::uint64_t self, std::uint64_t ref, const std::string& missing) {
    TX_CHECK(check_ref(self, ref, missing));
    if (cond_err_[ref] >= 0) return propagate(cond_err_[ref]);
    if (!conds_[ref]) return stopped_ >= 0 ? propagate(stopped_) : internal_error("a child was not built");
    return conds_[ref];
  }
  Result<Expression> scalar_child(std::uint64_t self, std::uint64_t ref, const std::string& missing) {
    TX_TRY(Expression e, child_expr(self, ref, missing));
    TX_CHECK(require_scalar(e));
    return e;
  }

  static bool is_subscript_of(const Expression& e, ExprKind k) {
    const auto* s = e.get_if<Subscript>();
    return s && s->variable.kind() == k;
  }

  Result<ElementSet> element_set(std::uint64_t id, const wire::Element& el) {
    if (el.has_range()) {
      TX_TRY(Expression start,
             scalar_child(id, el.range().start_id(), "the Expression message does not contain the id of the start of the range"));
      TX_TRY(Expression end,
             scalar_child(id, el.range().end_id(), "the Expression message does not contain the id of the end of the range"));
      TX_TRY(Range r, make_range(std::move(start), std::move(end)));
      return ElementSet(std::move(r));
    }
    if (!el.has_bound()) return decode_error("invalid message");
    TX_TRY(Expression set, child_expr(id, el.bound().bound_id(), "invalid message"));
    bool fits = false;
    switch (el.bound().type()) {
      case 1: fits = set.kind() == ExprKind::Placeholder; break;
      case 2: fits = set.kind() == ExprKind::Element; break;
      case 3: fits = is_subscript_of(set, ExprKind::Placeholder); break;
      case 4: fits = is_subscript_of(set, ExprKind::Element); break;
      default: break;
    }
    if (!fits) return decode_error("invalid message");
    return set_of_array(set);
  }

  Result<Bound> var_bound(std::uint64_t id, const wire::Bound& b) {
    static const std::string missing = "the DecisionVarBound message does not contain the id of the bound";
    switch (b.type()) {
      case 1: {
        TX_TRY(Expression e, scalar_child(id, b.bound_id(), missing));
        return Bound{BoundKind::Expression, std::move(e)};
      }
      case 2: {
        TX_TRY(Expression e, child_expr(id, b.bound_id(), missing));
        if (e.kind() != ExprKind::Placeholder) return decode_error("invalid message: the bound is not a placeholder");
        return Bound{BoundKind::Placeholder, std::move(e)};
      }
      case 3: {
        TX_TRY(Expression e, child_expr(id, b.bound_id(), missing));
        if (!is_subscript_of(e, ExprKind::Placeholder))
          return decode_error("invalid message: the bound is not a subscripted placeholder");
        return Bound{BoundKind::Subscript, std::move(e)};
      }
      default:
        return decode_error(std::string(kPrefix) +
                            "it did not contain a Protobuf message according to the type of a decision variable bound.");
    }
  }

  Result<Expression> build_decision_var(std::uint64_t id, const wire::DecisionVar& v) {
    if (v.type() < 1 || v.type() > 5) return decode_error(kind_message("DecisionVar"));
    const VarKind kind = VarKind(v.type() - 1);
    std::vector<Expression> shape;
    shape.reserve(std::size_t(v.shape_ids_size()));
    for (std::uint64_t s : v.shape_ids()) {
      TX_TRY(Expression d, scalar_child(id, s, "the DecisionVar message does not contain the id of a shape entry"));
      shape.push_back(std::move(d));
    }
    Bound lower, upper;
    if (kind != VarKind::Binary) {
      if (!v.has_lower_bound()) return decode_error("the DecisionVar message does not contain the lower bound");
      TX_TRY(lower, var_bound(id, v.lower_bound()));
      if (!v.has_upper_bound()) return decode_error("the DecisionVar message does not contain the upper bound");
      TX_TRY(upper, var_bound(id, v.upper_bound()));
    }
    return make_decision_var(kind, v.name(), std::move(shape), std::move(lower), std::move(upper), std::nullopt,
                             std::nullopt);
  }

  Result<Expression> build_subscript(std::uint64_t id, const wire::Subscript& s) {
    static const std::string bad_var = "Subscript message did not have a valid var id";
    TX_TRY(Expression var, child_expr(id, s.variable_id(), bad_var));
    const ExprKind k = var.kind();
    if (k != ExprKind::Placeholder && k != ExprKind::Element && k != ExprKind::DecisionVar &&
        k != ExprKind::Subscript)
      return decode_error(bad_var);
    if (const auto* inner = var.get_if<Subscript>()) {
      flatten_budget_ -= std::int64_t(inner->subscripts.size());
      if (flatten_budget_ < 0)
        return decode_error(std::string(kPrefix) + "it contained too long a chain of subscripts of subscripts");
    }
    std::vector<Expression> items;
    items.reserve(std::size_t(s.subscript_ids_size()));
    for (std::uint64_t t : s.subscript_ids()) {
      TX_TRY(Expression e, scalar_child(id, t, "the Expression message does not contain the id of a subscript"));
      items.push_back(std::move(e));
    }
    return make_subscript(var, std::move(items),
                          k == ExprKind::DecisionVar ? ItemCheck::BeforeCount : ItemCheck::AfterCount);
  }

  Result<Expression> build_reduction_node(std::uint64_t id, const wire::ReductionOp& r) {
    if (r.kind() != 1 && r.kind() != 2) return decode_error(kind_message("ReductionOp"));
    if (!r.has_index()) return decode_error(kind_message("Index"));
    const std::uint64_t eid = r.index().element_id();
    if (eid < size() && eid < id && !is_element(eid)) return decode_error(kIndexId);
    TX_TRY(Expression element, child_expr(id, eid, kIndexId));
    Condition condition;
    if (r.index().has_condition_id()) {
      TX_TRY(condition, child_cond(id, r.index().condition_id(), kConditionId));
    }
    TX_TRY(Expression operand,
           scalar_child(id, r.operand_id(), "the Expression message does not contain the id of the operand"));
    return build_reduction(r.kind() == 1 ? ReductionKind::Sum : ReductionKind::Prod, std::move(element),
                           std::move(condition), std::move(operand));
  }

  Result<Expression> build_expr(std::uint64_t id) {
    const wire::ExprNode& n = nodes_.Get(int(id));
    switch (n.kind_case()) {
      case wire::ExprNode::kNumberLit: {
        const auto& l = n.number_lit();
        if (l.type() == 2) return make_int(std::bit_cast<std::int64_t>(l.value()));
        if (l.type() == 1) return make_float(std::bit_cast<double>(l.value()));
        return decode_error(std::string(kPrefix) +
                            "it did not contain a Protobuf message according to the data type of a number literal.");
      }
      case wire::ExprNode::kPlaceholder:
        return make_expr(Placeholder{n.placeholder().name(), n.placeholder().ndim(), std::nullopt, std::nullopt});
      case wire::ExprNode::kElement: {
        TX_TRY(ElementSet set, element_set(id, n.element()));
        return make_element(n.element().name(), std::move(set), std::nullopt, std::nullopt);
      }
      case wire::ExprNode::kDecisionVar: return build_decision_var(id, n.decision_var());
      case wire::ExprNode::kSubscript: return build_subscript(id, n.subscript());
      case wire::ExprNode::kArrayLength: {
        static const std::string missing = "the Expression message does not contain the id of the array";
        TX_TRY(Expression array, child_expr(id, n.array_length().array_id(), missing));
        const ExprKind k = array.kind();
        if (k != ExprKind::Placeholder && k != ExprKind::Element && k != ExprKind::Subscript)
          return decode_error(missing);
        return make_array_length(std::move(array), n.array_length().axis(), std::nullopt, std::nullopt);
      }
      case wire::ExprNode::kUnaryOp: {
        static constexpr UnaryKind kinds[] = {UnaryKind::Abs, UnaryKind::Ceil, UnaryKind::Floor,
                                              UnaryKind::Log2, UnaryKind::Log10, UnaryKind::Ln};
        const int k = n.unary_op().kind();
        if (k < 1 || k > 6) return decode_error(kind_message("UnaryOp"));
        TX_TRY(Expression operand,
               scalar_child(id, n.unary_op().operand_id(), "the Expression does not contain the id of the operand"));
        return unary(kinds[k - 1], operand);
      }
      case wire::ExprNode::kBinaryOp: {
        const auto& b = n.binary_op();
        if (b.kind() != 1 && b.kind() != 2) return decode_error(kind_message("BinaryOp"));
        TX_TRY(Expression left,
               scalar_child(id, b.left_id(), "the Expression message does not contain the id of the left hand side"));
        TX_TRY(Expression right,
               scalar_child(id, b.right_id(), "the Expression message does not contain the id of the right hand side"));
        return b.kind() == 1 ? power(left, right) : remainder(left, right);
      }
      case wire::ExprNode::kCommutativeOp: {
        const auto& c = n.commutative_op();
        const int k = c.kind();
        if (k < 1 || k > 4) return decode_error(kind_message("CommutativeOp"));
        const auto kind = CommutativeKind(k - 1);
        // Sums and products are only ever built from two or more terms.
        if ((kind == CommutativeKind::Add || kind == CommutativeKind::Mul) && c.term_ids_size() < 2)
          return decode_error(kind_message("CommutativeOp"));
        std::vector<Expression> terms;
        terms.reserve(std::size_t(c.term_ids_size()));
        for (std::uint64_t t : c.term_ids()) {
          TX_TRY(Expression e, scalar_child(id, t, kTermId));
          terms.push_back(std::move(e));
        }
        if (kind == CommutativeKind::Min || kind == CommutativeKind::Max) return min_max(kind, std::move(terms));
        return make_commutative(kind, TermList(std::move(terms)));
      }
      case wire::ExprNode::kReductionOp: return build_reduction_node(id, n.reduction_op());
      default: return decode_error(kInvalidMessage);
    }
  }

  Result<Condition> build_cond(std::uint64_t id) {
    const wire::ExprNode& n = nodes_.Get(int(id));
    if (n.has_binary_op()) {
      const auto& b = n.binary_op();
      if (b.kind() < 3 || b.kind() > 8)
        return decode_error(std::string(kPrefix) +
                            "it contained an invalid op in a conditional expr (BinaryOp that is not a logical operator");
      TX_TRY(Expression left,
             scalar_child(id, b.left_id(), "the Expression message does not contain the id of the left hand side"));
      TX_TRY(Expression right,
             scalar_child(id, b.right_id(), "the Expression message does not contain the id of the right hand side"));
      return make_comparison(ComparisonKind(b.kind() - 3), std::move(left), std::move(right));
    }
    if (n.has_commutative_op()) {
      const auto& c = n.commutative_op();
      if (c.kind() < 5 || c.kind() > 7)
        return decode_error(std::string(kPrefix) +
                            "it contained an invalid op in a conditional expr (Commutative Op that is not a logical operator");
      // The connectives are only ever built from two conditions.
      if (c.term_ids_size() != 2)
        return decode_error(std::string(kPrefix) + "it contained a logical operator without exactly two operands");
      TX_TRY(Condition left, child_cond(id, c.term_ids(0), kTermId));
      TX_TRY(Condition right, child_cond(id, c.term_ids(1), kTermId));
      return make_logical(LogicalKind(c.kind() - 5), std::move(left), std::move(right));
    }
    return decode_error(kInvalidMessage);
  }

  const Nodes& nodes_;
  std::vector<std::uint8_t> need_;
  std::uint64_t top_ = 0;
  bool any_ = false;
  std::vector<Expression> exprs_;
  std::vector<Condition> conds_;
  std::vector<std::int32_t> expr_err_, cond_err_;
  std::vector<Error> errors_;
  std::int32_t failed_child_ = -1;
  std::int32_t stopped_ = -1;  // the error that ended the building early
  // Subscript entries copied when a subscript of a subscript is flattened: legitimate
  // messages have none, and a chain of them would copy quadratically many.
  std::int64_t flatten_budget_ = 8 * std::int64_t(nodes_.size()) + 4096;
};

// The expression at the root of an Expr.
Result<Expression> build_expr(const wire::Expr& e) {
  NodeBuilder b(e.expr_nodes());
  if (e.root_id() >= b.size()) return decode_error(kInvalidRoot);
  b.need_expr(e.root_id());
  b.build();
  return b.expr(e.root_id());
}

// The expression at the root, or failing that the condition there.
Result<std::variant<Expression, Condition>> build_expr_or_cond(const wire::Expr& e) {
  NodeBuilder b(e.expr_nodes());
  if (e.root_id() >= b.size()) return decode_error(kInvalidRoot);
  b.need_either(e.root_id());
  b.build();
  if (auto x = b.expr(e.root_id())) return std::variant<Expression, Condition>(std::move(x).value());
  TX_TRY(Condition c, b.cond(e.root_id()));
  return std::variant<Expression, Condition>(std::move(c));
}

// The checks of a forall list compare every pair of its elements; a list longer than any
// model needs is refused before they run.
constexpr int kMaxForallIndices = 1024;

Result<ForallList> build_forall(const wire::ForallList& f) {
  if (f.indices_size() > kMaxForallIndices)
    return decode_error(std::string(kPrefix) + "it contained a forall list of more than " +
                        std::to_string(kMaxForallIndices) + " indices");
  NodeBuilder b(f.expr_nodes());
  for (const wire::Index& index : f.indices()) {
    if (index.element_id() >= b.size() || !b.is_element(index.element_id())) return decode_error(kIndexId);
    b.need_expr(index.element_id());
    if (index.has_condition_id()) {
      if (index.condition_id() >= b.size()) return decode_error(kConditionId);
      b.need_cond(index.condition_id());
    }
  }
  b.build();
  std::vector<ForallItem> items;
  items.reserve(std::size_t(f.indices_size()));
  for (const wire::Index& index : f.indices()) {
    ForallItem item;
    TX_TRY(item.element, b.expr(index.element_id()));
    if (index.has_condition_id()) {
      TX_TRY(item.condition, b.cond(index.condition_id()));
    }
    items.push_back(std::move(item));
  }
  return make_forall_list(std::move(items));
}

Result<Expression> build_scalar(const wire::Expr& e) {
  TX_TRY(Expression x, build_expr(e));
  TX_CHECK(require_scalar(x));
  return x;
}

Result<Constraint> build_constraint(const wire::Constraint& c) {
  if (c.sense() < 1 || c.sense() > 3)
    return decode_error(std::string(kPrefix) + "it did not contain a Protobuf message according to a constraint equality.");
  if (!c.has_left())
    return decode_error(std::string(kPrefix) + "it did not contain the left-hand side of a constraint.");
  if (!c.has_right())
    return decode_error(std::string(kPrefix) + "it did not contain the right-hand side of a constraint.");
  TX_TRY(Expression left, build_scalar(c.left()));
  TX_TRY(Expression right, build_scalar(c.right()));
  TX_TRY(ForallList forall, build_forall(c.forall_list()));
  static constexpr ComparisonKind kinds[] = {ComparisonKind::Equal, ComparisonKind::LessThanEqual,
                                             ComparisonKind::GreaterThanEqual};
  return make_constraint(c.name(), make_comparison(kinds[c.sense() - 1], std::move(left), std::move(right)),
                         std::move(forall));
}

Result<CustomPenaltyTerm> build_penalty(const wire::CustomPenaltyTerm& t) {
  if (!t.has_term())
    return decode_error(std::string(kPrefix) + "it did not contain the term of a custom penalty term.");
  TX_TRY(Expression term, build_scalar(t.term()));
  TX_TRY(ForallList forall, build_forall(t.forall_list()));
  return make_custom_penalty_term(t.name(), std::move(term), std::move(forall));
}

// Map entries come in no fixed order; they are taken by name so that the first failing
// entry, and thus the message, does not depend on it.
template <class Map>
std::vector<const typename Map::value_type*> by_name(const Map& m) {
  std::vector<const typename Map::value_type*> v;
  v.reserve(m.size());
  for (const auto& entry : m) v.push_back(&entry);
  std::sort(v.begin(), v.end(), [](auto* a, auto* b) { return a->first < b->first; });
  return v;
}

Result<Problem> build_problem(const wire::Problem& p) {
  if (p.sense() != 1 && p.sense() != 2)
    return decode_error(std::string(kPrefix) + "it did not contain a Protobuf message according to a problem sense.");
  if (!p.has_objective_function())
    return decode_error(std::string(kPrefix) +
                        "it did not contain a Protobuf message according to an objective function.");
  TX_TRY(Expression objective, build_scalar(p.objective_function()));
  std::vector<Constraint> constraints;
  for (const auto* entry : by_name(p.constraints())) {
    TX_TRY(Constraint c, build_constraint(entry->second));
    constraints.push_back(std::move(c));
  }
  std::vector<CustomPenaltyTerm> penalties;
  for (const auto* entry : by_name(p.custom_penalty_terms())) {
    TX_TRY(CustomPenaltyTerm t, build_penalty(entry->second));
    penalties.push_back(std::move(t));
  }
  Problem problem(p.name(), p.sense() == 1 ? ProblemSense::Minimize : ProblemSense::Maximize);
  TX_CHECK(problem.set_objective(std::move(objective)));
  for (Constraint& c : constraints) TX_CHECK(problem.add_constraint(std::move(c)));
  for (CustomPenaltyTerm& t : penalties) TX_CHECK(problem.add_custom_penalty_term(std::move(t)));
  return problem;
}

}  // namespace

Result<Decoded> deserialize(const std::uint8_t* data, std::size_t size) {
  pb::Arena arena;
  auto* header = pb::Arena::CreateMessage<wire::Header>(&arena);
  bool parsed;
  {
    // The library reports some parse failures (invalid UTF-8 in a string) on stderr; the
    // failure reaches the caller as an error value, and the module logs nothing.
    pb::LogSilencer quiet;
    parsed = size <= std::size_t(INT_MAX) && header->ParseFromArray(data, int(size));
  }
  if (!parsed) return decode_error(std::string(kPrefix) + "it did not contain a valid Protobuf message.");
  const std::uint64_t version = header->version();
  if (version < 1)
    return decode_error("the input schema has an unsupported version: " + std::to_string(version) +
                        ". The minimum supported version is 1. Please update the tarvex to generate the model.");
  if (version > 1)
    return decode_error("the input schema has an unsupported version: " + std::to_string(version) +
                        ". The maximum supported version is 1. Please update the tarvex to receive the model");
  switch (header->body_case()) {
    case wire::Header::kProblem: {
      TX_TRY(Problem p, build_problem(header->problem()));
      return Decoded(std::move(p));
    }
    case wire::Header::kConstraint: {
      TX_TRY(Constraint c, build_constraint(header->constraint()));
      return Decoded(std::move(c));
    }
    case wire::Header::kCustomPenaltyTerm: {
      TX_TRY(CustomPenaltyTerm t, build_penalty(header->custom_penalty_term()));
      return Decoded(std::move(t));
    }
    case wire::Header::kExpr: {
      TX_TRY(auto tree, build_expr_or_cond(header->expr()));
      if (auto* e = std::get_if<Expression>(&tree)) return Decoded(std::move(*e));
      return Decoded(std::get<Condition>(std::move(tree)));
    }
    default:
      return decode_error(std::string(kPrefix) + "it did not contain a Problem message.");
  }
}

}  // namespace tarvex
