// The serializer: node tables filled by an iterative post-order walk, memoized per node.
#include "protobuf/serialize.hpp"

#include <uuid/uuid.h>

#include <bit>
#include <cstring>
#include <cstdint>
#include <deque>
#include <string_view>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "model/expression/operator/fold.hpp"
#include "protobuf/tarvex.pb.h"

namespace tarvex {
namespace {

namespace pb = ::google::protobuf;

Error serialization_error(std::string m) { return {ErrorKind::Serialization, std::move(m)}; }

// The ids of the messages written by one call: random version-4 UUIDs in text form. The
// generator is seeded with one random UUID from libuuid per call; libuuid draws from the
// kernel and reseeds for every UUID, which costs more than encoding a whole constraint.
class IdSource {
 public:
  IdSource() {
    uuid_t seed;
    uuid_generate_random(seed);
    std::memcpy(&state_, seed, sizeof state_);
    std::memcpy(&stream_, seed + 8, sizeof stream_);
    stream_ |= 1;
  }

  std::string next() {
    uuid_t u;
    const std::uint64_t hi = draw(), lo = draw();
    std::memcpy(u, &hi, 8);
    std::memcpy(u + 8, &lo, 8);
    u[6] = std::uint8_t((u[6] & 0x0F) | 0x40);  // version 4
    u[8] = std::uint8_t((u[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[37];
    uuid_unparse_lower(u, text);
    return std::string(text, 36);
  }

 private:
  // SplitMix64 over a Weyl sequence with a random odd increment.
  std::uint64_t draw() {
    std::uint64_t z = (state_ += stream_ * 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::uint64_t state_ = 0, stream_ = 1;
};

int wire_unary(UnaryKind k) {
  switch (k) {
    case UnaryKind::Abs: return 1;
    case UnaryKind::Ceil: return 2;
    case UnaryKind::Floor: return 3;
    case UnaryKind::Log2: return 4;
    case UnaryKind::Log10: return 5;
    case UnaryKind::Ln: return 6;
  }
  return 0;
}

int wire_var(VarKind k) { return int(k) + 1; }  // Binary 1 ... SemiContinuous 5
int wire_bound(BoundKind k) { return int(k) + 1; }  // Expression 1, Placeholder 2, Subscript 3

// The sum or product `e` rebuilt from its terms: operators of its own kind are opened in
// place (to any depth), adjacent literals are folded, and the result is finished as the
// builders finish a sum (zero literals dropped) or a product. One term stands for itself.
struct Rebuilt {
  Expression expr;
  bool fresh;  // a new operator node, to be written with its terms as they are
};

Result<Rebuilt> rebuild(const Expression& e) {
  const auto& op = e.as<CommutativeOp>();
  const CommutativeKind kind = op.kind;
  std::vector<Expression> flat;
  std::vector<std::pair<const TermList*, std::size_t>> stack{{&op.terms, 0}};
  while (!stack.empty()) {
    auto& [terms, next] = stack.back();
    if (next == terms->size()) {
      stack.pop_back();
      continue;
    }
    const Expression& t = (*terms)[next++];
    const auto* inner = t.get_if<CommutativeOp>();
    if (inner && inner->kind == kind) {
      stack.emplace_back(&inner->terms, 0);
      continue;
    }
    if (flat.size() == kMaxRebuiltTerms)
      return serialization_error("failed to encode the model because a sum or product with custom LaTeX terms has more than " +
                                 std::to_string(kMaxRebuiltTerms) + " terms once opened");
    const auto* lit = t.get_if<NumberLit>();
    const auto* last = flat.empty() ? nullptr : flat.back().get_if<NumberLit>();
    if (lit && last) {
      flat.back() = make_expr(kind == CommutativeKind::Add ? fold_add(*last, *lit) : fold_mul(*last, *lit));
    } else {
      flat.push_back(t);
    }
  }
  if (kind == CommutativeKind::Add) {
    std::vector<Expression> kept;
    kept.reserve(flat.size());
    for (Expression& t : flat) {
      const auto* lit = t.get_if<NumberLit>();
      if (!lit || !lit->is_zero()) kept.push_back(std::move(t));
    }
    flat = std::move(kept);
    if (flat.empty()) return Rebuilt{make_int(0), false};
  }
  if (flat.size() == 1) return Rebuilt{flat.front(), false};
  return Rebuilt{make_expr(CommutativeOp{kind, TermList(std::move(flat)), std::nullopt}), true};
}

bool needs_rebuild(const Expression& e) {
  const auto* op = e.get_if<CommutativeOp>();
  if (!op || (op->kind != CommutativeKind::Add && op->kind != CommutativeKind::Mul)) return false;
  for (std::size_t i = 0; i < op->terms.size(); ++i)
    if (op->terms[i].latex()) return true;
  return false;
}

// Open-addressing hash table from non-zero 64-bit keys to 64-bit values. The tables of a
// walk hold one entry per distinct node; node-based maps spend most of that time allocating
// and rehashing. A key may occur more than once (the content table keys by hash and tells
// equal hashes apart by comparing bytes).
class FlatMap {
 public:
  struct Slot {
    std::uint64_t key = 0;  // 0: empty
    std::uint64_t value = 0;
  };

  FlatMap() : slots_(64) {}

  // The first slot holding `key` that `match` accepts, or the empty slot ending the run.
  template <class Match>
  Slot* find(std::uint64_t key, Match match) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = position(key) & mask;; i = (i + 1) & mask) {
      Slot& s = slots_[i];
      if (s.key == 0 || (s.key == key && match(s.value))) return &s;
    }
  }
  Slot* find(std::uint64_t key) {
    return find(key, [](std::uint64_t) { return true; });
  }
  // Fills the empty slot `s` returned by find().
  void insert(Slot* s, std::uint64_t key, std::uint64_t value) {
    *s = Slot{key, value};
    if (++size_ * 2 > slots_.size()) grow();
  }

 private:
  static std::uint64_t position(std::uint64_t key) { return (key * 0x9E3779B97F4A7C15ull) >> 20; }
  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
      if (s.key == 0) continue;
      std::size_t i = position(s.key) & mask;
      while (slots_[i].key != 0) i = (i + 1) & mask;
      slots_[i] = s;
    }
  }

  std::vector<Slot> slots_;
  std::size_t size_ = 0;
};

// One node table: the nodes of an Expr or a ForallList. Equal nodes (same encoding, child
// ids included) are stored once. The walk is an iterative post-order with a stack of child
// ids; a node held by more than one handle may be reached again through another parent, so
// its id is remembered by identity and it is walked once. The walk holds plain pointers to
// the handles inside the tree (and to the rebuilt operators it keeps), which stay put while
// the tree is alive.
class NodeTable {
 public:
  explicit NodeTable(pb::RepeatedPtrField<wire::ExprNode>* nodes) : nodes_(nodes) {}

  Result<std::uint64_t> insert(const Expression& e) { return walk(Frame{&e, nullptr}); }
  Result<std::uint64_t> insert(const Condition& c) { return walk(Frame{nullptr, &c}); }

 private:
  enum class State : std::uint8_t { New, Children, Alias };
  struct Frame {
    const Expression* expr;  // one of the two is set
    const Condition* cond;
    State state = State::New;
    bool as_is = false;     // a rebuilt operator: written with its terms as they are
    std::size_t base = 0;   // where the ids of its children start on the id stack
  };

  static const NodeBase* base_of(const Frame& f) {
    return static_cast<const NodeBase*>(f.expr ? f.expr->identity() : f.cond->identity());
  }
  static bool shared(const NodeBase* n) { return n->refs.load(std::memory_order_relaxed) > 1; }
  static std::uint64_t key_of(const NodeBase* n) { return std::uint64_t(reinterpret_cast<std::uintptr_t>(n)); }

  // The children, pushed in reverse so that they are visited (and their ids stacked) in the
  // order the node lists them; emit() reads them back in that order.
  void push(const Expression& e, bool as_is = false) { stack_.push_back(Frame{&e, nullptr, State::New, as_is}); }
  void push(const Condition& c) { stack_.push_back(Frame{nullptr, &c}); }
  void push_children(const Expression& e) {
    switch (e.kind()) {
      case ExprKind::Number:
      case ExprKind::Placeholder: return;
      case ExprKind::Element: {
        const ElementSet& s = e.as<Element>().belong_to;
        if (const Range* r = std::get_if<Range>(&s)) {
          push(r->end);
          push(r->start);
        } else {
          push(std::get<Expression>(s));
        }
        return;
      }
      case ExprKind::DecisionVar: {
        const auto& v = e.as<DecisionVar>();
        if (v.kind != VarKind::Binary) {
          push(v.upper_bound.value);
          push(v.lower_bound.value);
        }
        for (auto it = v.shape.rbegin(); it != v.shape.rend(); ++it) push(*it);
        return;
      }
      case ExprKind::Subscript: {
        const auto& s = e.as<Subscript>();
        for (auto it = s.subscripts.rbegin(); it != s.subscripts.rend(); ++it) push(*it);
        push(s.variable);
        return;
      }
      case ExprKind::ArrayLength: push(e.as<ArrayLength>().array); return;
      case ExprKind::Unary: push(e.as<UnaryOp>().operand); return;
      case ExprKind::Binary:
        push(e.as<BinaryOp>().right);
        push(e.as<BinaryOp>().left);
        return;
      case ExprKind::Commutative: {
        const TermList& t = e.as<CommutativeOp>().terms;
        for (std::size_t i = t.size(); i-- > 0;) push(t[i]);
        return;
      }
      case ExprKind::Reduction: {
        const auto& r = e.as<ReductionOp>();
        push(r.operand);
        if (r.condition) push(r.condition);
        push(r.index);
        return;
      }
    }
  }
  void push_children(const Condition& c) {
    if (const auto* cmp = c.get_if<Comparison>()) {
      push(cmp->right);
      push(cmp->left);
      return;
    }
    const auto& terms = c.as<Logical>().terms;
    for (auto it = terms.rbegin(); it != terms.rend(); ++it) push(*it);
  }

  // Records the id of the node of the finished frame.
  void done(const Frame& f, std::uint64_t id) {
    stack_.pop_back();
    ids_.push_back(id);
    const NodeBase* n = base_of(f);
    if (shared(n)) memo_.insert(memo_.find(key_of(n)), key_of(n), id);
  }

  Result<std::uint64_t> walk(Frame root) {
    stack_.assign(1, root);
    ids_.clear();
    while (!stack_.empty()) {
      Frame& f = stack_.back();
      switch (f.state) {
        case State::New: {
          const NodeBase* n = base_of(f);
          if (shared(n)) {
            const FlatMap::Slot* known = memo_.find(key_of(n));
            if (known->key != 0) {
              stack_.pop_back();
              ids_.push_back(known->value);
              continue;
            }
          }
          f.base = ids_.size();
          if (f.expr && !f.as_is && needs_rebuild(*f.expr)) {
            f.state = State::Alias;
            TX_TRY(Rebuilt r, rebuild(*f.expr));
            keep_.push_back(std::move(r.expr));
            push(keep_.back(), r.fresh);
          } else {
            f.state = State::Children;
            const Frame copy = f;
            if (copy.expr) {
              push_children(*copy.expr);
            } else {
              push_children(*copy.cond);
            }
          }
          continue;
        }
        case State::Children: {
          const Frame copy = f;
          cursor_ = copy.base;
          std::uint64_t id;
          if (copy.expr) {
            TX_TRY(id, emit(*copy.expr));
          } else {
            id = emit(*copy.cond);
          }
          ids_.resize(copy.base);
          done(copy, id);
          continue;
        }
        case State::Alias: {  // stands for its rebuilt form, whose id is on the stack
          const Frame copy = f;
          const std::uint64_t id = ids_.back();
          ids_.pop_back();
          done(copy, id);
          continue;
        }
      }
    }
    return ids_.back();
  }

  // The id of the next child of the node being written.
  std::uint64_t next() { return ids_[cursor_++]; }

  // Appends the node, or drops it again when an equal node is already in the table. The
  // encodings of the stored nodes are kept end to end in one buffer.
  std::uint64_t commit() {
    const std::size_t start = bytes_.size();
    nodes_->Get(nodes_->size() - 1).AppendToString(&bytes_);
    const std::string_view node(bytes_.data() + start, bytes_.size() - start);
    const std::uint64_t hash = std::hash<std::string_view>{}(node) | 1;
    FlatMap::Slot* slot = by_content_.find(hash, [&](std::uint64_t entry) {
      const auto [offset, id] = entries_[entry];
      const std::size_t end = entry + 1 < entries_.size() ? entries_[entry + 1].first : start;
      return std::string_view(bytes_.data() + offset, end - offset) == node;
    });
    if (slot->key != 0) {
      bytes_.resize(start);
      nodes_->RemoveLast();
      return entries_[slot->value].second;
    }
    const std::uint64_t id = std::uint64_t(nodes_->size() - 1);
    by_content_.insert(slot, hash, entries_.size());
    entries_.emplace_back(start, id);
    return id;
  }

  static int array_type(const Expression& a) {
    switch (a.kind()) {
      case ExprKind::Placeholder: return 1;
      case ExprKind::Element: return 2;
      case ExprKind::Subscript: {
        const ExprKind v = a.as<Subscript>().variable.kind();
        return v == ExprKind::Placeholder ? 3 : v == ExprKind::Element ? 4 : 0;
      }
      default: return 0;
    }
  }

  Result<std::uint64_t> emit(const Expression& e) {
    wire::ExprNode* n = nodes_->Add();
    switch (e.kind()) {
      case ExprKind::Number: {
        const auto& l = e.as<NumberLit>();
        auto* m = n->mutable_number_lit();
        if (l.is_integer()) {
          m->set_type(wire::NUMBER_TYPE_INTEGER);
          m->set_value(std::bit_cast<std::uint64_t>(l.int_value()));
        } else {
          m->set_type(wire::NUMBER_TYPE_FLOAT);
          m->set_value(std::bit_cast<std::uint64_t>(l.float_value()));
        }
        break;
      }
      case ExprKind::Placeholder: {
        const auto& p = e.as<Placeholder>();
        auto* m = n->mutable_placeholder();
        m->set_name(p.name);
        m->set_ndim(p.ndim);
        break;
      }
      case ExprKind::Element: {
        const auto& el = e.as<Element>();
        auto* m = n->mutable_element();
        m->set_name(el.name);
        m->set_ndim(e.ndim());
        if (std::holds_alternative<Range>(el.belong_to)) {
          m->mutable_range()->set_start_id(next());
          m->mutable_range()->set_end_id(next());
        } else {
          const Expression& s = std::get<Expression>(el.belong_to);
          const int type = array_type(s);
          if (type == 0) {
            nodes_->RemoveLast();
            return internal_error("SubscriptedVariable::Variable is not allowed.");
          }
          m->mutable_bound()->set_type(type);
          m->mutable_bound()->set_bound_id(next());
        }
        break;
      }
      case ExprKind::DecisionVar: {
        const auto& v = e.as<DecisionVar>();
        auto* m = n->mutable_decision_var();
        m->set_type(wire::DecisionVarType(wire_var(v.kind)));
        m->set_name(v.name);
        for (std::size_t k = 0; k < v.shape.size(); ++k) m->add_shape_ids(next());
        if (v.kind != VarKind::Binary) {
          m->mutable_lower_bound()->set_type(wire_bound(v.lower_bound.kind));
          m->mutable_lower_bound()->set_bound_id(next());
          m->mutable_upper_bound()->set_type(wire_bound(v.upper_bound.kind));
          m->mutable_upper_bound()->set_bound_id(next());
        }
        break;
      }
      case ExprKind::Subscript: {
        const auto& s = e.as<Subscript>();
        auto* m = n->mutable_subscript();
        m->set_ndim(e.ndim());
        const ExprKind vk = s.variable.kind();
        m->set_type(wire::SubscriptedType(vk == ExprKind::Placeholder ? 1
                                          : vk == ExprKind::Element   ? 2
                                          : vk == ExprKind::DecisionVar ? 3
                                                                        : 0));
        m->set_variable_id(next());
        for (std::size_t k = 0; k < s.subscripts.size(); ++k) m->add_subscript_ids(next());
        break;
      }
      case ExprKind::ArrayLength: {
        const auto& a = e.as<ArrayLength>();
        auto* m = n->mutable_array_length();
        m->set_type(wire::ArrayType(array_type(a.array)));
        m->set_array_id(next());
        m->set_axis(a.axis);
        break;
      }
      case ExprKind::Unary: {
        const auto& u = e.as<UnaryOp>();
        auto* m = n->mutable_unary_op();
        m->set_kind(wire::UnaryKind(wire_unary(u.kind)));
        m->set_operand_id(next());
        break;
      }
      case ExprKind::Binary: {
        const auto& b = e.as<BinaryOp>();
        auto* m = n->mutable_binary_op();
        m->set_kind(b.kind == BinaryKind::Pow ? wire::BINARY_KIND_POW : wire::BINARY_KIND_MOD);
        m->set_left_id(next());
        m->set_right_id(next());
        break;
      }
      case ExprKind::Commutative: {
        const auto& c = e.as<CommutativeOp>();
        auto* m = n->mutable_commutative_op();
        m->set_kind(wire::CommutativeKind(int(c.kind) + 1));  // Add 1, Mul 2, Min 3, Max 4
        m->mutable_term_ids()->Reserve(int(c.terms.size()));
        for (std::size_t i = 0; i < c.terms.size(); ++i) m->add_term_ids(next());
        break;
      }
      case ExprKind::Reduction: {
        const auto& r = e.as<ReductionOp>();
        auto* m = n->mutable_reduction_op();
        m->set_kind(r.kind == ReductionKind::Sum ? wire::REDUCTION_KIND_SUM : wire::REDUCTION_KIND_PROD);
        m->mutable_index()->set_element_id(next());
        if (r.condition) m->mutable_index()->set_condition_id(next());
        m->set_operand_id(next());
        break;
      }
    }
    return commit();
  }

  std::uint64_t emit(const Condition& c) {
    wire::ExprNode* n = nodes_->Add();
    if (const auto* cmp = c.get_if<Comparison>()) {
      auto* m = n->mutable_binary_op();
      m->set_kind(wire::BinaryKind(3 + int(cmp->kind)));
      m->set_left_id(next());
      m->set_right_id(next());
    } else {
      const auto& l = c.as<Logical>();
      auto* m = n->mutable_commutative_op();
      m->set_kind(wire::CommutativeKind(5 + int(l.kind)));
      for (std::size_t k = 0; k < l.terms.size(); ++k) m->add_term_ids(next());
    }
    return commit();
  }

  pb::RepeatedPtrField<wire::ExprNode>* nodes_;
  std::vector<Frame> stack_;
  std::vector<std::uint64_t> ids_;  // ids of finished children, in order
  std::size_t cursor_ = 0;
  FlatMap memo_;        // identity of a shared node -> id
  FlatMap by_content_;  // hash of the encoding -> entry
  std::string bytes_;   // the encodings of the stored nodes, in id order
  std::vector<std::pair<std::size_t, std::uint64_t>> entries_;  // offset in bytes_, id
  std::deque<Expression> keep_;  // rebuilt operators; their addresses must not move
};

template <class Tree>
Status fill_expr(IdSource& ids, wire::Expr* out, const Tree& root) {
  out->set_id(ids.next());
  NodeTable table(out->mutable_expr_nodes());
  TX_TRY(std::uint64_t root_id, table.insert(root));
  out->set_root_id(root_id);
  return Ok{};
}

Status fill_forall(wire::ForallList* out, const ForallList& forall) {
  NodeTable table(out->mutable_expr_nodes());
  for (const ForallItem& item : forall) {
    wire::Index* index = out->add_indices();
    TX_TRY(std::uint64_t element_id, table.insert(item.element));
    index->set_element_id(element_id);
    if (item.condition) {
      TX_TRY(std::uint64_t condition_id, table.insert(item.condition));
      index->set_condition_id(condition_id);
    }
  }
  return Ok{};
}

int wire_sense(ConstraintSense s) { return int(s) + 1; }  // Equal 1, <= 2, >= 3

Status fill(IdSource& ids, wire::Constraint* out, const Constraint& c) {
  out->set_id(ids.next());
  out->set_name(c.name);
  out->set_sense(wire::ConstraintSense(wire_sense(c.sense)));
  TX_CHECK(fill_expr(ids, out->mutable_left(), c.left));
  TX_CHECK(fill_expr(ids, out->mutable_right(), c.right));
  return fill_forall(out->mutable_forall_list(), c.forall);
}

Status fill(IdSource& ids, wire::CustomPenaltyTerm* out, const CustomPenaltyTerm& t) {
  out->set_id(ids.next());
  out->set_name(t.name);
  TX_CHECK(fill_expr(ids, out->mutable_term(), t.expression));
  return fill_forall(out->mutable_forall_list(), t.forall);
}

Status fill(IdSource& ids, wire::Problem* out, const Problem& p) {
  out->set_id(ids.next());
  out->set_name(p.name());
  out->set_sense(p.sense() == ProblemSense::Minimize ? wire::PROBLEM_SENSE_MINIMIZE : wire::PROBLEM_SENSE_MAXIMIZE);
  TX_CHECK(fill_expr(ids, out->mutable_objective_function(), p.objective()));
  auto& constraints = *out->mutable_constraints();
  for (const auto& [name, c] : p.constraints()) TX_CHECK(fill(ids, &constraints[name], c));
  auto& penalties = *out->mutable_custom_penalty_terms();
  for (const auto& [name, t] : p.custom_penalty_terms()) TX_CHECK(fill(ids, &penalties[name], t));
  return Ok{};
}

// Builds the Header on an arena with `body` and encodes it.
template <class Body>
Result<std::string> encode(Body body) {
  pb::Arena arena;
  auto* header = pb::Arena::CreateMessage<wire::Header>(&arena);
  IdSource ids;
  header->set_id(ids.next());
  header->set_version(1);
  TX_CHECK(body(ids, header));
  std::string out;
  if (!header->SerializeToString(&out))
    return serialization_error("failed to encode the Problem because the buffer did not have sufficient capacity.");
  return out;
}

}  // namespace

Result<std::string> serialize(const Problem& p) {
  return encode([&](IdSource& ids, wire::Header* h) { return fill(ids, h->mutable_problem(), p); });
}
Result<std::string> serialize(const Constraint& c) {
  return encode([&](IdSource& ids, wire::Header* h) { return fill(ids, h->mutable_constraint(), c); });
}
Result<std::string> serialize(const CustomPenaltyTerm& t) {
  return encode([&](IdSource& ids, wire::Header* h) { return fill(ids, h->mutable_custom_penalty_term(), t); });
}
Result<std::string> serialize(const Expression& e) {
  return encode([&](IdSource& ids, wire::Header* h) { return fill_expr(ids, h->mutable_expr(), e); });
}
Result<std::string> serialize(const Condition& c) {
  return encode([&](IdSource& ids, wire::Header* h) { return fill_expr(ids, h->mutable_expr(), c); });
}

}  // namespace tarvex
