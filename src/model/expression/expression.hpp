// The two trees of a model: Expression (numeric) and Condition (truth-valued).
//
// Trees are immutable values. A node never changes after it is built, so subtrees are
// shared between trees: copying an Expression is a reference-count increment. Every
// operation builds new nodes and leaves its operands untouched. Each node caches a few
// facts computed once from its children (number of dimensions, height, number of paths,
// whether it contains a decision variable or a shared term buffer) so that the checks of
// the builders never walk a tree.
//
// Adding a node kind, in order: its struct and its place in ExprVariant (and ExprKind, same
// order); its children in for_each_child below (every walk that enters all children uses
// it) and in Facts (expression.cpp); the walks that take a subset of children on purpose
// (degree, replace, the forall element analysis); structural equality (replace/equality.cpp);
// the printer's three modes; its Python class (ClassId, class_of, registration order in
// src/lib/module_py.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "lib/result.hpp"

namespace tarvex {

// An optional text (custom LaTeX, description) in one pointer: nodes carry several and
// usually none is set, so this keeps every node small.
class OptString {
 public:
  OptString() = default;
  OptString(std::nullopt_t) {}
  OptString(std::string s) : p_(std::make_unique<std::string>(std::move(s))) {}
  OptString(const char* s) : p_(std::make_unique<std::string>(s)) {}
  OptString(const std::optional<std::string>& s) {
    if (s) p_ = std::make_unique<std::string>(*s);
  }
  OptString(const OptString& o) : p_(o.p_ ? std::make_unique<std::string>(*o.p_) : nullptr) {}
  OptString(OptString&&) noexcept = default;
  OptString& operator=(const OptString& o) {
    if (this != &o) p_ = o.p_ ? std::make_unique<std::string>(*o.p_) : nullptr;
    return *this;
  }
  OptString& operator=(OptString&&) noexcept = default;

  explicit operator bool() const { return p_ != nullptr; }
  bool has_value() const { return p_ != nullptr; }
  const std::string& operator*() const { return *p_; }
  const std::string* operator->() const { return p_.get(); }
  void reset() { p_.reset(); }

  friend bool operator==(const OptString& a, const OptString& b) {
    return a.p_ && b.p_ ? *a.p_ == *b.p_ : a.p_ == b.p_;
  }

 private:
  std::unique_ptr<std::string> p_;
};

// ---------------------------------------------------------------------------------------
// Shared, reference-counted node storage.

// The header of every node, 8 bytes, with the facts that both trees cache.
//
// The reference count is a plain integer, not an atomic one: trees are built, shared and
// freed only by one thread at a time (in the module, always under the interpreter lock; the
// core starts no threads), so lock-prefixed updates would cost much and protect nothing. It
// saturates: a node that once had 2^32 - 1 references is never freed (it cannot be reached
// in practice, each reference being a handle of 8 bytes). No virtual destructor: `is_cond`
// says which kind of node to delete.
struct NodeBase {
  static constexpr std::uint32_t kPinned = UINT32_MAX;

  // Heights stop at 2^29 - 1 (a taller tree would need half a billion nodes).
  static constexpr std::uint32_t kMaxHeight = (1u << 29) - 1;
  // A count of paths of 2^32 - 1 or more is stored as this: the count is unknown past it.
  static constexpr std::uint32_t kManyPaths = UINT32_MAX;

  explicit NodeBase(bool cond) : is_cond(cond) {}
  NodeBase(const NodeBase&) = delete;
  NodeBase& operator=(const NodeBase&) = delete;

  // Nodes of both kinds are 64-byte blocks, and freed blocks are kept for reuse (see
  // expression.cpp).
  static void* operator new(std::size_t size);
  static void operator delete(void* p, std::size_t size) noexcept;

  mutable std::uint32_t refs = 0;
  std::uint32_t height : 29 = 1;
  const std::uint32_t is_cond : 1;
  std::uint32_t has_dv : 1 = 0;
  // Some node of the tree, this one included, is an operator whose terms are in a shared
  // buffer: a tree without one cannot hold a buffer (see TermList::reaches).
  std::uint32_t has_buffer : 1 = 0;
};

// A count of paths as stored, and as read back (a stored kManyPaths reads as 2^64 - 1).
inline std::uint32_t stored_paths(std::uint64_t p) {
  return p >= NodeBase::kManyPaths ? NodeBase::kManyPaths : std::uint32_t(p);
}
inline std::uint64_t read_paths(std::uint32_t p) { return p == NodeBase::kManyPaths ? UINT64_MAX : p; }

namespace detail {
inline void retain(const NodeBase* n) noexcept {
  if (n->refs != NodeBase::kPinned) ++n->refs;
}
// Frees a node whose last reference is gone. Freeing is iterative, so a chain of a million
// nested nodes is released without deep recursion.
void destroy_unreferenced(const NodeBase* n) noexcept;
// Drops one reference; the last one frees the node.
inline void release(const NodeBase* n) noexcept {
  if (n->refs != NodeBase::kPinned && --n->refs == 0) destroy_unreferenced(n);
}
}  // namespace detail

template <class Node>
class Handle {
 public:
  Handle() = default;
  Handle(const Handle& o) noexcept : p_(o.p_) {
    if (p_) detail::retain(p_);
  }
  Handle(Handle&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Handle& operator=(Handle o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Handle() {
    if (p_) detail::release(p_);
  }

  explicit operator bool() const { return p_ != nullptr; }
  const Node& node() const { return *static_cast<const Node*>(p_); }
  const void* identity() const { return p_; }

 protected:
  explicit Handle(const NodeBase* adopted) noexcept : p_(adopted) {
    if (p_) detail::retain(p_);
  }

 private:
  const NodeBase* p_ = nullptr;
};

struct ExprNode;
struct CondNode;

// ---------------------------------------------------------------------------------------
// Kinds.

enum class ExprKind : std::uint8_t {
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
};

enum class VarKind : std::uint8_t { Binary, Integer, Continuous, SemiInteger, SemiContinuous };
enum class UnaryKind : std::uint8_t { Abs, Ceil, Floor, Ln, Log10, Log2 };
enum class BinaryKind : std::uint8_t { Pow, Mod };
enum class CommutativeKind : std::uint8_t { Add, Mul, Min, Max };
enum class ReductionKind : std::uint8_t { Sum, Prod };
enum class CondKind : std::uint8_t { Comparison, Logical };
enum class ComparisonKind : std::uint8_t {
  Equal,
  NotEqual,
  LessThan,
  LessThanEqual,
  GreaterThan,
  GreaterThanEqual,
};
enum class LogicalKind : std::uint8_t { And, Or, Xor };

// a + b, saturating at the largest value.
inline std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) { return a + b < a ? UINT64_MAX : a + b; }

// "Binary", "Integer", ...: the word that precedes "Var" in class names and messages.
const char* kind_word(VarKind k);

// ---------------------------------------------------------------------------------------
// Handles.

class Expression : public Handle<ExprNode> {
 public:
  Expression() = default;

  ExprKind kind() const;
  std::uint64_t ndim() const;
  std::uint32_t height() const;
  // The number of node occurrences in the tree, counting a shared subtree at every place
  // it is reached: what a walk per occurrence would visit. Counts of 2^32 - 1 and more
  // read as 2^64 - 1.
  std::uint64_t paths() const;
  bool contains_decision_var() const;
  // The custom LaTeX string; number literals never carry one.
  const OptString& latex() const;

  template <class T>
  const T* get_if() const;
  template <class T>
  const T& as() const;

  // Takes a newly allocated node.
  explicit Expression(const ExprNode* fresh);
};

class Condition : public Handle<CondNode> {
 public:
  Condition() = default;

  CondKind kind() const;
  std::uint32_t height() const;
  std::uint64_t paths() const;
  bool contains_decision_var() const;
  const OptString& latex() const;

  template <class T>
  const T* get_if() const;
  template <class T>
  const T& as() const;

  explicit Condition(const CondNode* fresh);
};

// An ordered list of terms of a commutative operator. Lists built by appending share one
// growing buffer: a list that covers the whole buffer appends in place and hands out a
// longer view, so a loop `s = s + x[k]` does not copy its n terms at every step. A view
// never sees what was appended after it was made. Access is by index only, and a reference
// to a term lasts only until the next append to its buffer: an append through another
// view may move the terms.
//
// The last term may be held apart from the buffer (the tail): a sum keeps its literal there,
// so that inserting a term before the literal or changing the literal extends or shares the
// buffer like an append (`s = 1; s = s + x[k]` stays linear).
//
// A list of one or two terms needs no buffer: its first term is held in the buffer's place
// (`head_`) and its second as the tail. Most lists are the two operands of a binary
// operator (`c[k] * x[k]`, `x[i] + y[i]`), so this saves an allocation for each of them.
class TermList {
 public:
  TermList() noexcept {}
  explicit TermList(std::vector<Expression> terms);
  // The list of one or of two terms (no buffer).
  explicit TermList(Expression first) { hold(std::move(first), Expression()); }
  TermList(Expression first, Expression second) { hold(std::move(first), std::move(second)); }
  TermList(const TermList& o) noexcept;
  // Member by member (see take), without first clearing this list.
  TermList(TermList&& o) noexcept
      : buf_(o.is_inline() ? nullptr : o.buf_),
        tail_(std::move(o.tail_)),
        paths_(o.paths_),
        n_(std::exchange(o.n_, 0)),
        bits_(o.bits_) {
    if (o.is_inline()) {
      new (&head_) Expression(std::move(o.head_));
      o.head_.~Expression();
      o.set_inline(false);
    }
    o.buf_ = nullptr;
  }
  TermList& operator=(TermList o) noexcept;
  ~TermList() {
    if (is_inline()) {
      head_.~Expression();
    } else if (buf_) {
      Buffer::release(buf_);
    }
  }

  std::size_t size() const { return n_ + (tail_ ? 1 : 0); }
  bool empty() const { return size() == 0; }
  const Expression& operator[](std::size_t i) const {
    return i < n_ ? (is_inline() ? head_ : buf_->items()[i]) : tail_;
  }
  const Expression& front() const { return (*this)[0]; }
  const Expression& back() const { return (*this)[size() - 1]; }
  std::uint32_t max_height() const { return bits_ & kHeightCap; }
  std::uint64_t paths() const { return read_paths(paths_); }  // of all terms, as a node's
  bool any_decision_var() const { return (bits_ & kAnyDv) != 0; }
  // Whether some term is a zero literal (so clean-ups need not scan long lists).
  bool any_zero_literal() const { return (bits_ & kAnyZero) != 0; }
  // Whether the list or one of its terms, at any depth, has a shared buffer.
  bool holds_buffer() const { return (bits_ & kAnyBuffer) != 0 || buffer() != nullptr; }

  // This list followed by `t`.
  TermList appended(Expression t) const;
  // Whether `t` can join the buffered terms in place with no copy and no search: the list
  // covers every item of its buffer and `t` holds no buffer (the step of a loop sum). Then
  // TermList(list, t, AtOnce()) is the list with `t` after its buffered terms and before
  // its tail, if any (appended(t) for a list without a tail, inserted_before_last(t) for
  // one with a tail), made where it is to live: an operator node's list is built in the
  // node, not moved into it.
  bool appends_at_once(const Expression& t) const;
  bool has_tail() const { return bool(tail_); }
  struct AtOnce {};
  TermList(const TermList& list, const Expression& t, AtOnce);
  // For a non-empty list whose last term is a literal: `t` inserted before that literal; the
  // list without it; the list with `lit` (a literal) in its place.
  TermList inserted_before_last(Expression t) const;
  // This list followed by `t`, held apart as its tail.
  TermList appended_apart(Expression t) const;
  TermList without_last() const;
  TermList with_last(Expression lit) const;
  std::vector<Expression> to_vector() const;

 private:
  // A header and `capacity` slots, the first `size` constructed. The slots follow the header
  // in its allocation until the buffer first grows; from then on they are an array of their
  // own, which grows in place when it can (the views hold the header, which never moves).
  struct Buffer {
    std::size_t refs;
    std::size_t size;
    std::size_t capacity;
    Expression* slots;
    Expression* items() { return slots; }
    static Buffer* create(std::size_t capacity);
    static void release(Buffer* b) noexcept {
      if (b && --b->refs == 0) destroy(b);
    }
    static void destroy(Buffer* b) noexcept;  // with no reference left
    void grow(std::size_t new_capacity);
    bool slots_inline() { return slots == reinterpret_cast<Expression*>(this + 1); }
  };

  // Counts `t` in the facts.
  void account(const Expression& t);
  // Releases the terms, leaving the facts; then takes the terms and facts of `o`, leaving
  // it empty. Member by member: a list may share its last bytes with the next member of
  // the operator that holds it.
  void drop() noexcept;
  void take(TermList& o) noexcept;
  // The facts of `o` (heights, paths, flags), not its terms.
  void copy_facts(const TermList& o) noexcept;
  // The shared buffer, or null for a list without one.
  Buffer* buffer() const { return is_inline() ? nullptr : buf_; }
  // For an empty list: takes `first` into the head and `second`, unless empty, as the tail.
  void hold(Expression first, Expression second);
  // The buffered terms followed by `t` (the tail is not carried over); `t` is counted in
  // the facts when `count` is set.
  TermList grown(Expression t, bool count) const;
  // A list of the first `n` buffered terms, no tail, the facts of this list less `dropped`.
  TermList prefix(std::size_t n, const Expression& dropped) const;
  // Whether `t` refers, at any depth, to a node whose terms are a view of `b`. Appending
  // such a term to `b` itself would make the buffer own a node that owns the buffer (a
  // cycle that is never freed).
  static bool reaches(const Expression& t, const Buffer* b);

  // 28 bytes of data (the last 4 of its 32 hold the operator's kind). Heights are capped at
  // 2^28 - 1 (a taller tree would need a quarter of a billion nodes).
  static constexpr std::uint32_t kHeightCap = (1u << 28) - 1;
  // The flags that share a word with the height (bits_). The word is only read and written
  // whole: a store to part of a word followed by a read of all of it stalls the pipeline,
  // and the facts are read right after they are written.
  static constexpr std::uint32_t kInline = 1u << 28;
  static constexpr std::uint32_t kAnyBuffer = 1u << 29;  // some term has_buffer
  static constexpr std::uint32_t kAnyDv = 1u << 30;
  static constexpr std::uint32_t kAnyZero = 1u << 31;
  bool is_inline() const { return (bits_ & kInline) != 0; }
  void set_inline(bool on) { bits_ = on ? bits_ | kInline : bits_ & ~kInline; }
  union {
    Buffer* buf_ = nullptr;
    Expression head_;  // when is_inline(): the one term before the tail, if n_ == 1
  };
  Expression tail_;  // the last term when held apart, else empty
  std::uint32_t paths_ = 0;  // as stored in a node
  std::uint32_t n_ = 0;  // the terms before the tail: buffered, or 0 or 1 in the head
  std::uint32_t bits_ = 0;  // the largest height of a term, and the flags above
};

// A short list of expressions: up to two held in place, more in an array of their own.
// Subscript lists are mostly one or two indices (`x[k]`, `x[i, j]`), so most need no
// allocation of their own. A contiguous range (begin and end are pointers).
class ExprList {
 public:
  ExprList() noexcept {}
  // From a built vector: its elements are moved.
  ExprList(std::vector<Expression> v);
  ExprList(const ExprList& o);
  ExprList(ExprList&& o) noexcept : meta_(o.meta_) { take(o); }
  ExprList& operator=(ExprList o) noexcept;
  ~ExprList() { clear_storage(); }

  std::size_t size() const { return std::uint32_t(meta_); }
  bool empty() const { return size() == 0; }
  const Expression* begin() const { return data(); }
  const Expression* end() const { return data() + size(); }
  auto rbegin() const { return std::make_reverse_iterator(end()); }
  auto rend() const { return std::make_reverse_iterator(begin()); }
  const Expression& operator[](std::size_t i) const { return data()[i]; }
  const Expression& back() const { return data()[size() - 1]; }
  void reserve(std::size_t n) {
    if (n > capacity()) grow(n);
  }
  void push_back(Expression e) {
    if (size() == capacity()) grow(capacity() * 2);
    new (data() + size()) Expression(std::move(e));
    ++meta_;
  }
  std::vector<Expression> to_vector() const { return {begin(), end()}; }

 private:
  static constexpr std::uint64_t kInline = 2;
  static constexpr std::uint64_t kEmpty = kInline << 32;
  std::size_t capacity() const { return meta_ >> 32; }
  bool on_heap() const { return capacity() > kInline; }
  Expression* data() { return on_heap() ? heap_ : std::launder(reinterpret_cast<Expression*>(local_)); }
  const Expression* data() const {
    return on_heap() ? heap_ : std::launder(reinterpret_cast<const Expression*>(local_));
  }
  // Moves the elements to an array of `n` slots (handles move as bytes).
  void grow(std::size_t n);
  // Destroys the elements and frees the array.
  void clear_storage() noexcept {
    Expression* p = data();
    for (std::size_t i = 0, n = size(); i < n; ++i) p[i].~Expression();
    if (on_heap()) ::operator delete(heap_);
    meta_ = kEmpty;
  }
  // With meta_ already copied from `o`: takes its elements, leaving it empty.
  void take(ExprList& o) noexcept {
    if (o.on_heap()) {
      heap_ = o.heap_;
    } else {
      // Word by word: the words were just stored one at a time (push_back), and one wider
      // read of them would wait for those stores to reach the cache. The empty asm keeps the
      // compiler from merging the two reads.
      static_assert(kInline == 2 && sizeof(Expression) == sizeof(std::uint64_t));
      std::uint64_t w[2];
      std::memcpy(&w[0], o.local_, 8);
#if defined(__GNUC__)
      __asm__("" : "+r"(w[0]));
#endif
      std::memcpy(&w[1], o.local_ + 8, 8);
      std::memcpy(static_cast<void*>(local_), w, sizeof(w));
    }
    o.meta_ = kEmpty;
  }

  union {
    alignas(Expression) unsigned char local_[kInline * sizeof(Expression)];
    Expression* heap_;
  };
  // The size in the low half, the capacity in the high half: one word, so that an append
  // followed by a move reads back what it stored whole.
  std::uint64_t meta_ = kEmpty;
};

// ---------------------------------------------------------------------------------------
// Expression node kinds.

struct NumberLit {
  std::variant<std::int64_t, double> value;

  bool is_integer() const { return value.index() == 0; }
  std::int64_t int_value() const { return std::get<0>(value); }
  double float_value() const { return std::get<1>(value); }
  double as_double() const { return is_integer() ? double(int_value()) : float_value(); }
  bool is_zero() const { return is_integer() ? int_value() == 0 : float_value() == 0.0; }
  bool is_one() const { return is_integer() ? int_value() == 1 : float_value() == 1.0; }
  bool is_minus_one() const { return is_integer() ? int_value() == -1 : float_value() == -1.0; }
  // Below zero, or a float with its sign bit set (so -0.0 and -NaN count).
  bool is_negative() const;
};

struct Placeholder {
  std::string name;
  std::uint64_t ndim = 0;
  OptString latex;
  OptString description;
};

// The half-open interval [start, end) an element ranges over.
struct Range {
  Expression start;
  Expression end;
};

// The set of an element: a range, or an array operand of at least one dimension
// (a placeholder, an element or a subscript).
using ElementSet = std::variant<Range, Expression>;

struct Element {
  std::string name;
  ElementSet belong_to;
  OptString latex;
  OptString description;
};

enum class BoundKind : std::uint8_t { Expression, Placeholder, Subscript };

struct Bound {
  BoundKind kind = BoundKind::Expression;
  Expression value;
};

struct DecisionVar {
  VarKind kind = VarKind::Binary;
  std::string name;
  std::vector<Expression> shape;
  Bound lower_bound;
  Bound upper_bound;
  OptString latex;
  OptString description;
};

struct Subscript {
  Expression variable;
  ExprList subscripts;
  OptString latex;
};

struct ArrayLength {
  Expression array;
  std::uint64_t axis = 0;
  OptString latex;
  OptString description;
};

struct UnaryOp {
  UnaryKind kind;
  Expression operand;
  OptString latex;
};

struct BinaryOp {
  BinaryKind kind;
  Expression left;
  Expression right;
  OptString latex;
};

// The kind sits in the last bytes of the term list, so the node stays in 64 bytes.
struct CommutativeOp {
  CommutativeOp(CommutativeKind k, TermList&& t, OptString l = std::nullopt)
      : terms(std::move(t)), kind(k), latex(std::move(l)) {}
  CommutativeOp(CommutativeKind k, Expression a, Expression b) : terms(std::move(a), std::move(b)), kind(k) {}
  CommutativeOp(CommutativeKind k, const TermList& list, const Expression& t, TermList::AtOnce tag)
      : terms(list, t, tag), kind(k) {}
  [[no_unique_address]] TermList terms;
  CommutativeKind kind;
  OptString latex;
};

struct ReductionOp {
  ReductionKind kind;
  Expression index;     // an element node
  Condition condition;  // empty when the reduction has none
  Expression operand;
  OptString latex;
};

// A kind whose payload is large and rare (the operands with names and shapes) is stored
// out of line, so that a node is sized by its common kinds, the operators. Boxed<T> is made
// implicitly from a T and copies deeply; Expression::get_if and as see through it.
template <class T>
struct Boxed {
  Boxed(T v) : p(std::make_unique<T>(std::move(v))) {}
  Boxed(const Boxed& o) : p(std::make_unique<T>(*o.p)) {}
  Boxed(Boxed&&) noexcept = default;
  Boxed& operator=(const Boxed& o) {
    p = std::make_unique<T>(*o.p);
    return *this;
  }
  Boxed& operator=(Boxed&&) noexcept = default;
  std::unique_ptr<T> p;
};

using ExprVariant = std::variant<NumberLit, Boxed<Placeholder>, Boxed<Element>, Boxed<DecisionVar>, Subscript,
                                 ArrayLength, UnaryOp, BinaryOp, CommutativeOp, ReductionOp>;

// The stored alternative of each kind: T itself, or Boxed<T>.
template <class T>
struct Stored {
  using type = T;
};
template <>
struct Stored<Placeholder> {
  using type = Boxed<Placeholder>;
};
template <>
struct Stored<Element> {
  using type = Boxed<Element>;
};
template <>
struct Stored<DecisionVar> {
  using type = Boxed<DecisionVar>;
};

// The payload of a stored alternative.
template <class T>
const T& unboxed(const T& v) {
  return v;
}
template <class T>
const T& unboxed(const Boxed<T>& v) {
  return *v.p;
}
template <class T>
T& unboxed(T& v) {
  return v;
}
template <class T>
T& unboxed(Boxed<T>& v) {
  return *v.p;
}

// 64 bytes on 64-bit targets: the count of paths lives in the last bytes of the variant,
// after its index. A node is built once and never assigned to.
struct ExprNode final : NodeBase {
  explicit ExprNode(ExprVariant v) : NodeBase(false), value(std::move(v)) {}
  template <class T, class... Args>
  explicit ExprNode(std::in_place_type_t<T> t, Args&&... args)
      : NodeBase(false), value(t, std::forward<Args>(args)...) {}
  [[no_unique_address]] ExprVariant value;
  std::uint32_t paths = 1;  // as stored_paths gives it
  std::uint64_t ndim = 0;
};

// ---------------------------------------------------------------------------------------
// Condition node kinds.

struct Comparison {
  ComparisonKind kind;
  Expression left;
  Expression right;
  OptString latex;
};

struct Logical {
  LogicalKind kind;
  std::vector<Condition> terms;
  OptString latex;
};

using CondVariant = std::variant<Comparison, Logical>;

// has_dv: a side of some comparison contains a decision variable.
struct CondNode final : NodeBase {
  explicit CondNode(CondVariant v) : NodeBase(true), value(std::move(v)) {}
  [[no_unique_address]] CondVariant value;
  std::uint32_t paths = 1;  // as stored_paths gives it
};

// ---------------------------------------------------------------------------------------
// Builders of raw nodes. They compute the cached facts and nothing else: the rules of
// each kind (checks, folding, flattening) live in the operand and operator units.

Expression make_expr(ExprVariant v);
// The same for the most common kinds, built in place; and a sum or product of two terms, `a`
// then `b`, with no buffer (see TermList).
// An operator node of the given kind over the terms, without custom LaTeX.
Expression make_commutative(CommutativeKind kind, TermList terms);
// The operator over `list` followed by `t`, when list.appends_at_once(t): the list is made
// in the new node.
Expression make_commutative(CommutativeKind kind, const TermList& list, const Expression& t, TermList::AtOnce);
Expression make_expr(Subscript s);
Expression make_pair_op(CommutativeKind kind, Expression a, Expression b);
Condition make_cond(CondVariant v);

// Literals. The integers -1 to 255 are shared nodes made once (a node never changes, so
// every tree may hold the same one): `2 * x`, `x ** 2` and `x[k]` allocate no literal. The
// float literals made last are shared too, as long as they stay in a small cache.
namespace detail {
inline constexpr std::int64_t kFirstSharedInt = -1;
inline constexpr std::int64_t kLastSharedInt = 255;
inline const Expression* g_shared_ints = nullptr;  // set by the first call of make_int_slow
Expression make_int_slow(std::int64_t v);
}  // namespace detail
inline Expression make_int(std::int64_t v) {
  if (v >= detail::kFirstSharedInt && v <= detail::kLastSharedInt && detail::g_shared_ints)
    return detail::g_shared_ints[v - detail::kFirstSharedInt];
  return detail::make_int_slow(v);
}
Expression make_float(double v);

// A shallow copy of the root with another custom LaTeX string. Children stay shared.
// Number literals carry none; they are returned unchanged.
Expression with_latex(const Expression& e, OptString latex);
Condition with_latex(const Condition& c, OptString latex);

// ---------------------------------------------------------------------------------------
// Children.

// Calls `on_expr` for every expression child and `on_cond` for every condition child of a
// node, in stored order:
//   element            its set: a range's start and end, or the array
//   decision variable  its shape, then the lower and the upper bound
//   subscript          the subscripted array, then the subscripts
//   array length       the array
//   unary operator     the operand
//   binary operator    left, right
//   commutative op.    the terms
//   reduction          the index element, the condition (when there is one), the operand
//   comparison         left, right
//   logical operator   the terms
// Literals and placeholders have none. This is the one list of children: a walk that
// enters only some of them (a variable as a leaf, say) filters by kind around it.
template <class OnExpr, class OnCond>
void for_each_child(const Expression& e, OnExpr&& on_expr, OnCond&& on_cond);
template <class OnExpr, class OnCond>
void for_each_child(const Condition& c, OnExpr&& on_expr, OnCond&& on_cond);

// The number of dimensions of an element's set (0 for a range).
std::uint64_t set_ndim(const ElementSet& s);

// Fails with the dimensionality error when `e` is not a scalar. The message names the
// node as its Python class does.
Status require_scalar(const Expression& e);

// ---------------------------------------------------------------------------------------
// Inline accessors.

inline ExprKind Expression::kind() const { return ExprKind(node().value.index()); }
inline std::uint64_t Expression::ndim() const { return node().ndim; }
inline std::uint32_t Expression::height() const { return node().height; }
inline std::uint64_t Expression::paths() const { return read_paths(node().paths); }
inline bool Expression::contains_decision_var() const { return node().has_dv; }
template <class T>
const T* Expression::get_if() const {
  const auto* v = std::get_if<typename Stored<T>::type>(&node().value);
  return v ? &unboxed(*v) : nullptr;
}
template <class T>
const T& Expression::as() const {
  return unboxed(*std::get_if<typename Stored<T>::type>(&node().value));
}
inline Expression::Expression(const ExprNode* fresh) : Handle<ExprNode>(fresh) {}
inline bool TermList::appends_at_once(const Expression& t) const {
  const Buffer* b = buffer();
  return b && b->size == n_ && !t.node().has_buffer;
}
inline Condition::Condition(const CondNode* fresh) : Handle<CondNode>(fresh) {}

inline CondKind Condition::kind() const { return CondKind(node().value.index()); }
inline std::uint32_t Condition::height() const { return node().height; }
inline std::uint64_t Condition::paths() const { return read_paths(node().paths); }
inline bool Condition::contains_decision_var() const { return node().has_dv; }
template <class T>
const T* Condition::get_if() const {
  return std::get_if<T>(&node().value);
}
template <class T>
const T& Condition::as() const {
  return *std::get_if<T>(&node().value);
}

template <class OnExpr, class OnCond>
void for_each_child(const Expression& e, OnExpr&& on_expr, OnCond&& on_cond) {
  auto expr = [&](const Expression& c) {
    if (c) on_expr(c);
  };
  switch (e.kind()) {
    case ExprKind::Number:
    case ExprKind::Placeholder: return;
    case ExprKind::Element: {
      const ElementSet& set = e.as<Element>().belong_to;
      if (const Range* r = std::get_if<Range>(&set)) {
        expr(r->start);
        expr(r->end);
      } else {
        expr(std::get<Expression>(set));
      }
      return;
    }
    case ExprKind::DecisionVar: {
      const auto& v = e.as<DecisionVar>();
      for (const Expression& s : v.shape) expr(s);
      expr(v.lower_bound.value);
      expr(v.upper_bound.value);
      return;
    }
    case ExprKind::Subscript: {
      const auto& s = e.as<Subscript>();
      expr(s.variable);
      for (const Expression& i : s.subscripts) expr(i);
      return;
    }
    case ExprKind::ArrayLength: expr(e.as<ArrayLength>().array); return;
    case ExprKind::Unary: expr(e.as<UnaryOp>().operand); return;
    case ExprKind::Binary:
      expr(e.as<BinaryOp>().left);
      expr(e.as<BinaryOp>().right);
      return;
    case ExprKind::Commutative: {
      const TermList& terms = e.as<CommutativeOp>().terms;
      for (std::size_t i = 0; i < terms.size(); ++i) expr(terms[i]);
      return;
    }
    case ExprKind::Reduction: {
      const auto& r = e.as<ReductionOp>();
      expr(r.index);
      if (r.condition) on_cond(r.condition);
      expr(r.operand);
      return;
    }
  }
}

template <class OnExpr, class OnCond>
void for_each_child(const Condition& c, OnExpr&& on_expr, OnCond&& on_cond) {
  if (const auto* cmp = c.get_if<Comparison>()) {
    if (cmp->left) on_expr(cmp->left);
    if (cmp->right) on_expr(cmp->right);
    return;
  }
  for (const Condition& t : c.as<Logical>().terms)
    if (t) on_cond(t);
}

}  // namespace tarvex
