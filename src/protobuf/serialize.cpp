// The serializer: node tables filled by an iterative post-order walk, memoized per node,
// written straight to the wire format (each node is encoded once, and its encoding is also
// the key under which equal nodes are found).
#include "protobuf/serialize.hpp"

#include <uuid/uuid.h>

#include <algorithm>
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
#include "protobuf/wire_writer.hpp"

namespace tarvex {
namespace {

namespace ww = wire_writer;

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
  return Rebuilt{make_commutative(kind, TermList(std::move(flat))), true};
}

bool needs_rebuild(const Expression& e) {
  const auto* op = e.get_if<CommutativeOp>();
  if (!op || (op->kind != CommutativeKind::Add && op->kind != CommutativeKind::Mul)) return false;
  for (std::size_t i = 0; i < op->terms.size(); ++i)
    if (op->terms[i].latex()) return true;
  return false;
}

// Open-addressing hash table from non-zero keys to values. The tables of a walk hold one
// entry per distinct node; node-based maps spend most of that time allocating and
// rehashing. A key may occur more than once (the content table keys by a hash and tells
// equal hashes apart by comparing bytes).
template <class Key, class Value>
class FlatMap {
 public:
  struct Slot {
    Key key = 0;  // 0: empty
    Value value = 0;
  };

  FlatMap() : slots_(64), mask_(63) {}

  // The first slot holding `key` that `match` accepts, or the empty slot ending the run.
  template <class Match>
  Slot* find(Key key, Match match) {
    for (std::size_t i = position(key) & mask_;; i = (i + 1) & mask_) {
      Slot& s = slots_[i];
      if (s.key == 0 || (s.key == key && match(s.value))) return &s;
    }
  }
  Slot* find(Key key) {
    return find(key, [](Value) { return true; });
  }
  // Fills the empty slot `s` returned by find().
  void insert(Slot* s, Key key, Value value) {
    *s = Slot{key, value};
    if (++size_ * 2 > mask_ + 1) grow();
  }

 private:
  static std::size_t position(Key key) { return std::size_t((std::uint64_t(key) * 0x9E3779B97F4A7C15ull) >> 24); }

  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    for (const Slot& s : old) {
      if (s.key == 0) continue;
      std::size_t i = position(s.key) & mask_;
      while (slots_[i].key != 0) i = (i + 1) & mask_;
      slots_[i] = s;
    }
  }

  std::vector<Slot> slots_;
  std::size_t mask_;
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
  Result<std::uint64_t> insert(const Expression& e) { return walk(Frame{&e, nullptr}); }
  Result<std::uint64_t> insert(const Condition& c) { return walk(Frame{nullptr, &c}); }

  // The nodes, in id order, as the repeated ExprNode field `field`.
  void write_nodes(std::string& out, std::uint32_t field) const {
    for (std::size_t i = 0; i < offsets_.size(); ++i) {
      const std::size_t end = i + 1 < offsets_.size() ? offsets_[i + 1] : bytes_.size();
      ww::message_field(out, field, std::string_view(bytes_).substr(offsets_[i], end - offsets_[i]));
    }
  }

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
  static bool shared(const NodeBase* n) { return n->refs > 1; }
  static std::uint64_t key_of(const NodeBase* n) { return std::uint64_t(reinterpret_cast<std::uintptr_t>(n)); }

  // The children, pushed in reverse so that they are visited (and their ids stacked) in the
  // order the node lists them; emit() reads them back in that order.
  void push(const Expression& e, bool as_is = false) { stack_.push_back(Frame{&e, nullptr, State::New, as_is}); }
  void push(const Condition& c) { stack_.push_back(Frame{nullptr, &c}); }
  // A binary variable's bounds are fixed and not written; every other child is, in the
  // order for_each_child gives.
  void push_children(const Expression& e) {
    const std::size_t mark = stack_.size();
    if (const auto* v = e.get_if<DecisionVar>(); v && v->kind == VarKind::Binary) {
      for (const Expression& s : v->shape) push(s);
    } else {
      for_each_child(e, [this](const Expression& c) { push(c); }, [this](const Condition& c) { push(c); });
    }
    std::reverse(stack_.begin() + std::ptrdiff_t(mark), stack_.end());
  }
  void push_children(const Condition& c) {
    const std::size_t mark = stack_.size();
    for_each_child(c, [this](const Expression& k) { push(k); }, [this](const Condition& k) { push(k); });
    std::reverse(stack_.begin() + std::ptrdiff_t(mark), stack_.end());
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
            const auto* known = memo_.find(key_of(n));
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

  // Stores the node encoded in node_, or finds the equal node already stored.
  std::uint64_t commit() {
    const auto tag = std::uint32_t(std::hash<std::string_view>{}(node_) >> 32) | 1u;
    auto* slot = by_content_.find(tag, [&](std::uint32_t i) {
      const std::size_t end = i + 1 < offsets_.size() ? offsets_[i + 1] : bytes_.size();
      return std::string_view(bytes_).substr(offsets_[i], end - offsets_[i]) == node_;
    });
    if (slot->key != 0) return slot->value;
    const std::uint64_t id = offsets_.size();
    offsets_.push_back(bytes_.size());
    bytes_.append(node_);
    by_content_.insert(slot, tag, std::uint32_t(id));
    return id;
  }

  // node_ = an ExprNode whose `kind` member `field` is the message in inner_.
  void wrap(std::uint32_t field) {
    node_.clear();
    ww::message_field(node_, field, inner_);
  }

  // The next `n` child ids as a packed field.
  void packed_ids(std::string& out, std::uint32_t field, std::size_t n) {
    const std::size_t from = cursor_;
    ww::packed_field(out, field, n, [&](std::size_t i) { return ids_[from + i]; });
    cursor_ += n;
  }

  // A Bound or Range: two uint64 fields, `a_value` and the next child id.
  void pair_message(std::uint32_t field, std::uint64_t a_value) {
    sub_.clear();
    ww::uint_field(sub_, 1, a_value);
    ww::uint_field(sub_, 2, next());
    ww::message_field(inner_, field, sub_);
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

  // Field numbers of the node kinds in ExprNode.
  enum : std::uint32_t {
    kNumberLit = 1, kPlaceholder, kDecisionVar, kArrayLength, kUnaryOp, kBinaryOp, kCommutativeOp, kElement,
    kSubscript, kReductionOp,
  };

  Result<std::uint64_t> emit(const Expression& e) {
    inner_.clear();
    std::uint32_t field = 0;
    switch (e.kind()) {
      case ExprKind::Number: {
        const auto& l = e.as<NumberLit>();
        field = kNumberLit;
        ww::uint_field(inner_, 1, l.is_integer() ? 2 : 1);
        ww::uint_field(inner_, 2, l.is_integer() ? std::bit_cast<std::uint64_t>(l.int_value())
                                                 : std::bit_cast<std::uint64_t>(l.float_value()));
        break;
      }
      case ExprKind::Placeholder: {
        const auto& p = e.as<Placeholder>();
        field = kPlaceholder;
        ww::bytes_field(inner_, 1, p.name);
        ww::uint_field(inner_, 2, p.ndim);
        break;
      }
      case ExprKind::Element: {
        const auto& el = e.as<Element>();
        field = kElement;
        ww::bytes_field(inner_, 1, el.name);
        ww::uint_field(inner_, 2, e.ndim());
        if (std::holds_alternative<Range>(el.belong_to)) {
          sub_.clear();
          ww::uint_field(sub_, 1, next());
          ww::uint_field(sub_, 2, next());
          ww::message_field(inner_, 4, sub_);
        } else {
          const int type = array_type(std::get<Expression>(el.belong_to));
          if (type == 0) return internal_error("SubscriptedVariable::Variable is not allowed.");
          pair_message(3, std::uint64_t(type));
        }
        break;
      }
      case ExprKind::DecisionVar: {
        const auto& v = e.as<DecisionVar>();
        field = kDecisionVar;
        ww::uint_field(inner_, 1, wire_var(v.kind));
        ww::bytes_field(inner_, 2, v.name);
        packed_ids(inner_, 3, v.shape.size());
        if (v.kind != VarKind::Binary) {
          pair_message(4, std::uint64_t(wire_bound(v.lower_bound.kind)));
          pair_message(5, std::uint64_t(wire_bound(v.upper_bound.kind)));
        }
        break;
      }
      case ExprKind::Subscript: {
        const auto& s = e.as<Subscript>();
        field = kSubscript;
        const ExprKind vk = s.variable.kind();
        ww::uint_field(inner_, 1, e.ndim());
        ww::uint_field(inner_, 2, vk == ExprKind::Placeholder ? 1 : vk == ExprKind::Element ? 2
                                  : vk == ExprKind::DecisionVar ? 3 : 0);
        ww::uint_field(inner_, 3, next());
        packed_ids(inner_, 4, s.subscripts.size());
        break;
      }
      case ExprKind::ArrayLength: {
        const auto& a = e.as<ArrayLength>();
        field = kArrayLength;
        ww::uint_field(inner_, 1, std::uint64_t(array_type(a.array)));
        ww::uint_field(inner_, 2, next());
        ww::uint_field(inner_, 3, a.axis);
        break;
      }
      case ExprKind::Unary:
        field = kUnaryOp;
        ww::uint_field(inner_, 1, std::uint64_t(wire_unary(e.as<UnaryOp>().kind)));
        ww::uint_field(inner_, 2, next());
        break;
      case ExprKind::Binary:
        field = kBinaryOp;
        ww::uint_field(inner_, 1, e.as<BinaryOp>().kind == BinaryKind::Pow ? 1 : 2);
        ww::uint_field(inner_, 2, next());
        ww::uint_field(inner_, 3, next());
        break;
      case ExprKind::Commutative: {
        const auto& c = e.as<CommutativeOp>();
        field = kCommutativeOp;
        ww::uint_field(inner_, 1, std::uint64_t(c.kind) + 1);  // Add 1, Mul 2, Min 3, Max 4
        packed_ids(inner_, 2, c.terms.size());
        break;
      }
      case ExprKind::Reduction: {
        const auto& r = e.as<ReductionOp>();
        field = kReductionOp;
        ww::uint_field(inner_, 1, r.kind == ReductionKind::Sum ? 1 : 2);
        sub_.clear();
        ww::uint_field(sub_, 1, next());
        if (r.condition) ww::present_uint_field(sub_, 2, next());
        ww::message_field(inner_, 2, sub_);
        ww::uint_field(inner_, 3, next());
        break;
      }
    }
    wrap(field);
    return commit();
  }

  std::uint64_t emit(const Condition& c) {
    inner_.clear();
    if (const auto* cmp = c.get_if<Comparison>()) {
      ww::uint_field(inner_, 1, 3 + std::uint64_t(cmp->kind));
      ww::uint_field(inner_, 2, next());
      ww::uint_field(inner_, 3, next());
      wrap(kBinaryOp);
    } else {
      const auto& l = c.as<Logical>();
      ww::uint_field(inner_, 1, 5 + std::uint64_t(l.kind));
      packed_ids(inner_, 2, l.terms.size());
      wrap(kCommutativeOp);
    }
    return commit();
  }

  std::vector<Frame> stack_;
  std::vector<std::uint64_t> ids_;  // ids of finished children, in order
  std::size_t cursor_ = 0;
  FlatMap<std::uint64_t, std::uint64_t> memo_;        // identity of a shared node -> id
  FlatMap<std::uint32_t, std::uint32_t> by_content_;  // part of the hash of the encoding -> id
  std::string bytes_;   // the encodings of the stored nodes, end to end in id order
  std::vector<std::size_t> offsets_;  // where each node starts in bytes_
  std::string node_, inner_, sub_;    // scratch for the node being encoded
  std::deque<Expression> keep_;       // rebuilt operators; their addresses must not move
};

// An Expr message with the tree at its root.
template <class Tree>
Status write_expr(IdSource& ids, std::string& out, const Tree& root) {
  NodeTable table;
  TX_TRY(std::uint64_t root_id, table.insert(root));
  ww::bytes_field(out, 1, ids.next());
  ww::uint_field(out, 2, root_id);
  table.write_nodes(out, 3);
  return Ok{};
}

// A nested message field built by `write` into its own buffer.
template <class Write>
Status nested(std::string& out, std::uint32_t field, Write write) {
  std::string body;
  TX_CHECK(write(body));
  ww::message_field(out, field, body);
  return Ok{};
}

Status write_forall(std::string& out, const ForallList& forall) {
  NodeTable table;
  std::string indices, index;
  for (const ForallItem& item : forall) {
    index.clear();
    TX_TRY(std::uint64_t element_id, table.insert(item.element));
    ww::uint_field(index, 1, element_id);
    if (item.condition) {
      TX_TRY(std::uint64_t condition_id, table.insert(item.condition));
      ww::present_uint_field(index, 2, condition_id);
    }
    ww::message_field(indices, 1, index);
  }
  out += indices;
  table.write_nodes(out, 2);
  return Ok{};
}

Status write_constraint(IdSource& ids, std::string& out, const Constraint& c) {
  ww::bytes_field(out, 1, ids.next());
  ww::bytes_field(out, 2, c.name);
  ww::uint_field(out, 3, std::uint64_t(c.sense) + 1);  // Equal 1, <= 2, >= 3
  TX_CHECK(nested(out, 4, [&](std::string& b) { return write_expr(ids, b, c.left); }));
  TX_CHECK(nested(out, 5, [&](std::string& b) { return write_expr(ids, b, c.right); }));
  return nested(out, 6, [&](std::string& b) { return write_forall(b, c.forall); });
}

Status write_penalty(IdSource& ids, std::string& out, const CustomPenaltyTerm& t) {
  ww::bytes_field(out, 1, ids.next());
  ww::bytes_field(out, 2, t.name);
  TX_CHECK(nested(out, 3, [&](std::string& b) { return write_expr(ids, b, t.expression); }));
  return nested(out, 4, [&](std::string& b) { return write_forall(b, t.forall); });
}

// A map<string, V> field: one entry message {1: key, 2: value} per item.
template <class Map, class WriteValue>
Status write_map(std::string& out, std::uint32_t field, const Map& map, WriteValue write_value) {
  for (const auto& item : map) {
    TX_CHECK(nested(out, field, [&](std::string& entry) {
      ww::bytes_field(entry, 1, item.first);
      return nested(entry, 2, [&](std::string& b) { return write_value(b, item.second); });
    }));
  }
  return Ok{};
}

Status write_problem(IdSource& ids, std::string& out, const Problem& p) {
  ww::bytes_field(out, 1, ids.next());
  ww::bytes_field(out, 2, p.name());
  ww::uint_field(out, 3, p.sense() == ProblemSense::Minimize ? 1 : 2);
  TX_CHECK(nested(out, 4, [&](std::string& b) { return write_expr(ids, b, p.objective()); }));
  TX_CHECK(write_map(out, 5, p.constraints(),
                     [&](std::string& b, const Constraint& c) { return write_constraint(ids, b, c); }));
  return write_map(out, 6, p.custom_penalty_terms(),
                   [&](std::string& b, const CustomPenaltyTerm& t) { return write_penalty(ids, b, t); });
}

// The Header with the version, a new id and the body written by `write` as field `field`.
template <class Write>
Result<std::string> encode(std::uint32_t field, Write write) {
  IdSource ids;
  std::string out;
  ww::bytes_field(out, 1, ids.next());
  ww::uint_field(out, 2, 1);
  TX_CHECK(nested(out, field, [&](std::string& body) { return write(ids, body); }));
  // Readers take at most 2 GiB - 1 bytes.
  if (out.size() > std::size_t(INT32_MAX))
    return serialization_error("failed to encode the Problem because the buffer did not have sufficient capacity.");
  return out;
}

}  // namespace

Result<std::string> serialize(const Problem& p) {
  return encode(3, [&](IdSource& ids, std::string& b) { return write_problem(ids, b, p); });
}
Result<std::string> serialize(const Constraint& c) {
  return encode(4, [&](IdSource& ids, std::string& b) { return write_constraint(ids, b, c); });
}
Result<std::string> serialize(const CustomPenaltyTerm& t) {
  return encode(5, [&](IdSource& ids, std::string& b) { return write_penalty(ids, b, t); });
}
Result<std::string> serialize(const Expression& e) {
  return encode(6, [&](IdSource& ids, std::string& b) { return write_expr(ids, b, e); });
}
Result<std::string> serialize(const Condition& c) {
  return encode(6, [&](IdSource& ids, std::string& b) { return write_expr(ids, b, c); });
}

}  // namespace tarvex
