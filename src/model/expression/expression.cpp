#include "model/expression/expression.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>
#include <variant>

#include "print/printer.hpp"

namespace tarvex {

// ---------------------------------------------------------------------------------------
// Reference counting with iterative freeing.

// Like the reference counts, the queue of nodes to free is a plain process-wide value:
// only one thread at a time works on trees (the interpreter lock's holder, in the module).
namespace detail {
namespace {

std::vector<const NodeBase*> g_pending;
bool g_draining = false;

void destroy(const NodeBase* n) noexcept {
  if (n->is_cond) {
    delete static_cast<const CondNode*>(n);
  } else {
    delete static_cast<const ExprNode*>(n);
  }
}

}  // namespace

void destroy_unreferenced(const NodeBase* n) noexcept {
  if (g_draining) {
    // A node is being freed further up the stack: queue this one instead of recursing.
    g_pending.push_back(n);
    return;
  }
  g_draining = true;
  destroy(n);
  while (!g_pending.empty()) {
    const NodeBase* m = g_pending.back();
    g_pending.pop_back();
    destroy(m);
  }
  g_draining = false;
}
}  // namespace detail

// Model building frees nodes at the pace it makes them (each step of `s = s + x[k]` drops the
// previous sum's node), so freed nodes are kept on a list for the next ones, up to a bound
// (a freed model returns its memory). Under the address sanitizer every node is a fresh
// allocation, so that a use after free is still caught.
namespace {

constexpr std::size_t kNodeBlock = 64;
constexpr std::size_t kKeptBlocks = 4096;
struct FreeBlock {
  FreeBlock* next;
};
FreeBlock* g_free_blocks = nullptr;
std::size_t g_free_count = 0;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kKeepBlocks = false;
#else
constexpr bool kKeepBlocks = true;
#endif

// Out of line: inlined into a caller, the compiler would pair this release with the
// caller's new-expression, whose allocation function is NodeBase's, and warn of a mismatch.
[[gnu::noinline]] void free_block(void* p) noexcept { ::operator delete(p); }

}  // namespace

void* NodeBase::operator new(std::size_t size) {
  static_assert(sizeof(FreeBlock) <= kNodeBlock);
  if (size > kNodeBlock) return ::operator new(size);
  if (FreeBlock* b = g_free_blocks) {
    g_free_blocks = b->next;
    --g_free_count;
    return b;
  }
  return ::operator new(kNodeBlock);
}

void NodeBase::operator delete(void* p, std::size_t size) noexcept {
  if (size <= kNodeBlock && kKeepBlocks && g_free_count < kKeptBlocks) {
    g_free_blocks = ::new (p) FreeBlock{g_free_blocks};
    ++g_free_count;
    return;
  }
  free_block(p);
}

const char* kind_word(VarKind k) {
  switch (k) {
    case VarKind::Binary: return "Binary";
    case VarKind::Integer: return "Integer";
    case VarKind::Continuous: return "Continuous";
    case VarKind::SemiInteger: return "SemiInteger";
    case VarKind::SemiContinuous: return "SemiContinuous";
  }
  return "";
}

bool NumberLit::is_negative() const {
  return is_integer() ? int_value() < 0 : std::signbit(float_value());
}

// ---------------------------------------------------------------------------------------
// Term lists.

static_assert(alignof(Expression) <= alignof(std::max_align_t));
static_assert(sizeof(void*) != 8 || sizeof(CommutativeOp) == 40, "a commutative operator outgrew its place");
static_assert(sizeof(void*) != 8 || sizeof(ExprNode) == 64, "an expression node outgrew its 64 bytes");
static_assert(sizeof(void*) != 8 || sizeof(CondNode) <= 64, "a condition node outgrew its 64 bytes");

// A handle is one pointer whose value alone matters, so handles are moved between arrays
// as bytes (no reference count changes): this lets a large buffer grow by remapping pages
// instead of copying and holding the old and the new array at once.
static_assert(sizeof(Expression) == sizeof(void*));

TermList::Buffer* TermList::Buffer::create(std::size_t capacity) {
  void* raw = ::operator new(sizeof(Buffer) + capacity * sizeof(Expression));
  Buffer* b = new (raw) Buffer{1, 0, capacity, nullptr};
  b->slots = reinterpret_cast<Expression*>(b + 1);
  return b;
}

void TermList::Buffer::grow(std::size_t new_capacity) {
  if (new_capacity > SIZE_MAX / sizeof(Expression)) throw std::bad_alloc();
  const std::size_t bytes = new_capacity * sizeof(Expression);
  void* raw;
  if (slots_inline()) {
    raw = std::malloc(bytes);
    if (raw) std::memcpy(raw, static_cast<const void*>(slots), size * sizeof(Expression));
  } else {
    raw = std::realloc(static_cast<void*>(slots), bytes);
  }
  if (!raw) throw std::bad_alloc();
  slots = static_cast<Expression*>(raw);
  capacity = new_capacity;
}

void TermList::Buffer::destroy(Buffer* b) noexcept {
  Expression* items = b->items();
  for (std::size_t i = b->size; i-- > 0;) items[i].~Expression();
  if (!b->slots_inline()) std::free(static_cast<void*>(items));
  b->~Buffer();
  ::operator delete(b);
}

namespace {
// Lists count their buffered terms in 32 bits; a buffer that large (32 GiB of handles)
// could not be allocated anyway.
std::uint32_t list_length(std::size_t n) {
  if (n >= UINT32_MAX) throw std::bad_alloc();
  return std::uint32_t(n);
}
}  // namespace

ExprList::ExprList(std::vector<Expression> v) {
  reserve(v.size());
  for (Expression& e : v) push_back(std::move(e));
}

ExprList::ExprList(const ExprList& o) {
  reserve(o.size());
  for (const Expression& e : o) push_back(e);
}

ExprList& ExprList::operator=(ExprList o) noexcept {
  clear_storage();
  meta_ = o.meta_;
  take(o);
  return *this;
}

void ExprList::grow(std::size_t n) {
  if (n > UINT32_MAX) throw std::length_error("expression list too long");
  auto* fresh = static_cast<Expression*>(::operator new(n * sizeof(Expression)));
  std::memcpy(static_cast<void*>(fresh), static_cast<const void*>(data()), size() * sizeof(Expression));
  if (on_heap()) ::operator delete(heap_);
  heap_ = fresh;
  meta_ = (std::uint64_t(n) << 32) | size();
}

TermList::TermList(std::vector<Expression> terms) {
  if (terms.size() <= 2) {
    if (!terms.empty()) hold(std::move(terms[0]), terms.size() == 2 ? std::move(terms[1]) : Expression());
    return;
  }
  n_ = list_length(terms.size());
  buf_ = Buffer::create(terms.size());
  Expression* items = buf_->items();
  for (Expression& t : terms) {
    account(t);
    new (items + buf_->size) Expression(std::move(t));
    ++buf_->size;
  }
}

void TermList::hold(Expression first, Expression second) {
  account(first);
  if (second) account(second);
  set_inline(true);
  new (&head_) Expression(std::move(first));
  n_ = 1;
  if (second) tail_ = std::move(second);
}

TermList::TermList(const TermList& o) noexcept : tail_(o.tail_), n_(o.n_) {
  set_inline(o.is_inline());
  copy_facts(o);
  if (is_inline()) {
    new (&head_) Expression(o.head_);
  } else if ((buf_ = o.buf_)) {
    ++buf_->refs;
  }
}

TermList& TermList::operator=(TermList o) noexcept {
  drop();
  take(o);
  return *this;
}

void TermList::drop() noexcept {
  if (is_inline()) {
    head_.~Expression();
    set_inline(false);
  } else {
    Buffer::release(buf_);
  }
  buf_ = nullptr;
  tail_ = Expression();
  n_ = 0;
}

void TermList::take(TermList& o) noexcept {
  tail_ = std::move(o.tail_);
  n_ = std::exchange(o.n_, 0);
  copy_facts(o);
  if (o.is_inline()) {
    new (&head_) Expression(std::move(o.head_));
    o.head_.~Expression();
    o.buf_ = nullptr;
    o.set_inline(false);
    set_inline(true);
  } else {
    buf_ = std::exchange(o.buf_, nullptr);
  }
}

void TermList::copy_facts(const TermList& o) noexcept {
  paths_ = o.paths_;
  bits_ = (o.bits_ & ~kInline) | (bits_ & kInline);
}

void TermList::account(const Expression& t) {
  const ExprNode& n = t.node();
  const std::uint32_t height = std::min<std::uint32_t>(n.height, kHeightCap);
  const bool zero = n.value.index() == 0 && std::get<0>(n.value).is_zero();
  bits_ = (bits_ & ~kHeightCap) | std::max(bits_ & kHeightCap, height) | (n.has_dv ? kAnyDv : 0) |
          (n.has_buffer ? kAnyBuffer : 0) | (zero ? kAnyZero : 0);
  paths_ = stored_paths(saturating_add(paths(), read_paths(n.paths)));
}

namespace {

enum class Reach : std::uint8_t { No, Yes, Unknown };

// A search without allocation, for the small new terms of a loop (`c[k] * x[k]`): at most
// `budget` nodes are entered; past that, or at a list whose buffer holds items past its
// view (`hidden`), the answer is Unknown.
template <class Tree>
Reach quick_reach(const Tree& n, const void* buffer_items, int& budget, bool (*hidden)(const TermList&)) {
  if (!n.node().has_buffer) return Reach::No;
  if (--budget < 0) return Reach::Unknown;
  Reach r = Reach::No;
  if constexpr (std::is_same_v<Tree, Expression>) {
    if (const auto* c = n.template get_if<CommutativeOp>()) {
      if (!c->terms.empty() && &c->terms[0] == buffer_items) return Reach::Yes;
      if (hidden(c->terms)) return Reach::Unknown;
    }
  }
  auto child = [&](const auto& k) {
    if (r != Reach::Yes) {
      const Reach got = quick_reach(k, buffer_items, budget, hidden);
      if (got != Reach::No) r = got;
    }
  };
  for_each_child(n, child, child);
  return r;
}

}  // namespace

bool TermList::reaches(const Expression& t, const Buffer* b) {
  // A node owns the whole buffer of its terms, not only its view: items appended past the
  // view by a longer list live as long as the buffer. So a list is searched through all the
  // items of its buffer (each buffer once), and no node is skipped for being older than `b`:
  // an old node may hold a list whose buffer grew, after `b` was made, by a term that holds
  // `b`. In a loop `s = s + c[k] * x[k]` the quick search visits the product's few nodes.
  if (!t.node().has_buffer) return false;  // the common case: a new term without sums
  int budget = 16;
  auto hidden = [](const TermList& l) { return l.buffer() && l.buffer()->size > l.n_; };
  const Reach quick = quick_reach(t, b->size ? static_cast<const void*>(const_cast<Buffer*>(b)->items()) : nullptr,
                                  budget, +hidden);
  if (quick != Reach::Unknown) return quick == Reach::Yes;
  std::unordered_set<const void*> seen;
  std::vector<std::variant<Expression, Condition>> todo;
  auto enter = [&](const auto& n) {
    if (seen.insert(n.identity()).second) todo.emplace_back(n);
  };
  auto open = [&](const Expression& e) {
    if (const auto* c = e.get_if<CommutativeOp>()) {
      Buffer* other = c->terms.buffer();
      if (other == b) return true;
      if (c->terms.is_inline()) enter(c->terms.head_);
      if (c->terms.tail_) enter(c->terms.tail_);
      if (other && seen.insert(other).second)
        for (std::size_t i = 0; i < other->size; ++i) enter(other->items()[i]);
      return false;
    }
    for_each_child(e, enter, enter);
    return false;
  };
  if (open(t)) return true;
  while (!todo.empty()) {
    const auto n = std::move(todo.back());
    todo.pop_back();
    if (const Expression* e = std::get_if<Expression>(&n)) {
      if (open(*e)) return true;
    } else {
      for_each_child(std::get<Condition>(n), enter, enter);
    }
  }
  return false;
}

TermList TermList::grown(Expression t, bool count) const {
  TermList out;
  Buffer* const b = buffer();
  if (b && b->refs == 1 && b->size > n_) {
    // The buffer was extended past this view by lists that are gone: no one else holds it,
    // so the items past the view are dropped and it is extended again instead of copied.
    // (A dropped item cannot free this list: anything reaching the buffer would hold it.)
    Expression* items = b->items();
    while (b->size > n_) items[--b->size].~Expression();
  }
  if (b && b->size == n_ && (!t.node().has_buffer || !reaches(t, b))) {
    // This view covers the whole buffer: extend it in place, growing it when full. Older
    // views keep seeing only their own prefix.
    if (n_ == b->capacity) b->grow(std::max<std::size_t>(4, 2 * b->capacity));
    out.buf_ = b;
    ++b->refs;
  } else {
    out.buf_ = Buffer::create(std::max<std::size_t>(4, 2 * std::size_t(n_)));
    Expression* items = out.buf_->items();
    for (std::size_t i = 0; i < n_; ++i) new (items + i) Expression((*this)[i]);
    out.buf_->size = n_;
  }
  out.copy_facts(*this);
  if (count) out.account(t);
  new (out.buf_->items() + n_) Expression(std::move(t));
  ++out.buf_->size;
  out.n_ = list_length(std::size_t(n_) + 1);
  return out;
}

TermList::TermList(const TermList& list, const Expression& t, AtOnce) {
  // What may throw comes first: nothing is held yet.
  const std::uint32_t n = list_length(std::size_t(list.n_) + 1);
  Buffer* const b = list.buf_;
  if (list.n_ == b->capacity) b->grow(std::max<std::size_t>(4, 2 * b->capacity));
  buf_ = b;
  ++b->refs;
  tail_ = list.tail_;
  copy_facts(list);
  account(t);
  new (b->items() + list.n_) Expression(t);
  ++b->size;
  n_ = n;
}

TermList TermList::appended(Expression t) const {
  if (!tail_) return grown(std::move(t), true);
  // The tail joins the buffer (it is counted already), then `t` follows.
  return grown(tail_, false).grown(std::move(t), true);
}

TermList TermList::prefix(std::size_t n, const Expression& dropped) const {
  TermList out;
  if (n > 0 && is_inline()) {
    new (&out.head_) Expression(head_);
    out.set_inline(true);
  } else if (n > 0) {
    out.buf_ = buf_;
    ++buf_->refs;
  }
  out.n_ = std::uint32_t(n);
  out.copy_facts(*this);  // the flags stay set if `dropped` set them: they may only err on the safe side
  if (paths_ != NodeBase::kManyPaths) out.paths_ = stored_paths(paths() - std::min(paths(), dropped.paths()));
  return out;
}

TermList TermList::inserted_before_last(Expression t) const {
  const Expression last = back();
  TermList out = tail_ ? grown(std::move(t), true) : prefix(n_ - 1, last).grown(std::move(t), true);
  out.tail_ = last;
  if (!tail_) out.account(last);
  return out;
}

TermList TermList::appended_apart(Expression t) const {
  TermList out = tail_ ? grown(tail_, false) : *this;
  out.account(t);
  out.tail_ = std::move(t);
  return out;
}

TermList TermList::without_last() const { return tail_ ? prefix(n_, tail_) : prefix(n_ - 1, back()); }

TermList TermList::with_last(Expression lit) const {
  TermList out = without_last();
  out.account(lit);
  out.tail_ = std::move(lit);
  return out;
}

std::vector<Expression> TermList::to_vector() const {
  std::vector<Expression> v;
  v.reserve(size());
  for (std::size_t i = 0; i < size(); ++i) v.push_back((*this)[i]);
  return v;
}

// ---------------------------------------------------------------------------------------
// Cached facts.

namespace {

const OptString kNoLatex;

std::uint32_t height_of(const Expression& e) { return e ? e.height() : 0; }

std::uint64_t array_ndim(const Expression& e) { return e ? e.ndim() : 0; }

struct Facts {
  std::uint64_t ndim = 0;
  std::uint64_t paths = 1;
  std::uint32_t below = 0;  // height of the highest child
  bool has_dv = false;
  bool has_buffer = false;

  void child(const Expression& e) {
    below = std::max(below, height_of(e));
    if (!e) return;
    paths = saturating_add(paths, e.paths());
    has_buffer = has_buffer || e.node().has_buffer;
  }
  void child(const Condition& c) {
    if (!c) return;
    below = std::max(below, c.height());
    paths = saturating_add(paths, c.paths());
    has_buffer = has_buffer || c.node().has_buffer;
  }
  void child(const Range& r) {
    child(r.start);
    child(r.end);
  }
  void child(const ElementSet& s) {
    std::visit([this](const auto& v) { child(v); }, s);
  }
  void child(const Bound& b) { child(b.value); }

  template <class T>
  void operator()(const Boxed<T>& b) {
    (*this)(*b.p);
  }
  void operator()(const NumberLit&) {}
  void operator()(const Placeholder& p) { ndim = p.ndim; }
  void operator()(const Element& e) {
    child(e.belong_to);
    std::uint64_t d = set_ndim(e.belong_to);
    ndim = d > 0 ? d - 1 : 0;
  }
  void operator()(const DecisionVar& v) {
    for (const Expression& s : v.shape) child(s);
    child(v.lower_bound);
    child(v.upper_bound);
    ndim = v.shape.size();
    has_dv = true;
  }
  void operator()(const Subscript& s) {
    child(s.variable);
    for (const Expression& e : s.subscripts) child(e);
    std::uint64_t d = array_ndim(s.variable);
    ndim = d > s.subscripts.size() ? d - s.subscripts.size() : 0;
    has_dv = s.variable && s.variable.contains_decision_var();
  }
  void operator()(const ArrayLength& a) { child(a.array); }
  void operator()(const UnaryOp& u) { child(u.operand); }
  void operator()(const BinaryOp& b) {
    child(b.left);
    child(b.right);
    has_dv = (b.left && b.left.contains_decision_var()) ||
             (b.right && b.right.contains_decision_var());
  }
  void operator()(const CommutativeOp& c) {
    below = std::max(below, c.terms.max_height());
    paths = saturating_add(paths, c.terms.paths());
    has_dv = c.terms.any_decision_var();
    has_buffer = c.terms.holds_buffer();
  }
  void operator()(const ReductionOp& r) {
    child(r.index);
    child(r.condition);
    child(r.operand);
    has_dv = r.operand && r.operand.contains_decision_var();
  }
  void operator()(const Comparison& c) {
    child(c.left);
    child(c.right);
    has_dv = (c.left && c.left.contains_decision_var()) || (c.right && c.right.contains_decision_var());
  }
  void operator()(const Logical& l) {
    for (const Condition& c : l.terms) {
      child(c);
      has_dv = has_dv || (c && c.contains_decision_var());
    }
  }
};

std::uint32_t plus_one(std::uint32_t h) { return h >= NodeBase::kMaxHeight ? NodeBase::kMaxHeight : h + 1; }

}  // namespace

namespace {
Expression with_facts(ExprNode* n, const Facts& f) {
  n->ndim = f.ndim;
  n->paths = stored_paths(f.paths);
  n->height = plus_one(f.below);
  n->has_dv = f.has_dv;
  n->has_buffer = f.has_buffer;
  return Expression(n);
}
}  // namespace

Expression make_expr(ExprVariant v) {
  Facts f;
  std::visit(f, v);
  return with_facts(new ExprNode(std::move(v)), f);
}

Expression make_pair_op(CommutativeKind kind, Expression a, Expression b) {
  auto* n = new ExprNode(std::in_place_type<CommutativeOp>, kind, std::move(a), std::move(b));
  Facts f;
  f(std::get<CommutativeOp>(n->value));
  return with_facts(n, f);
}

Expression make_commutative(CommutativeKind kind, TermList terms) {
  auto* n = new ExprNode(std::in_place_type<CommutativeOp>, kind, std::move(terms));
  Facts f;
  f(std::get<CommutativeOp>(n->value));
  return with_facts(n, f);
}

Expression make_commutative(CommutativeKind kind, const TermList& list, const Expression& t, TermList::AtOnce tag) {
  auto* n = new ExprNode(std::in_place_type<CommutativeOp>, kind, list, t, tag);
  Facts f;
  f(std::get<CommutativeOp>(n->value));
  return with_facts(n, f);
}

Expression make_expr(Subscript s) {
  Facts f;
  f(s);
  return with_facts(new ExprNode(std::in_place_type<Subscript>, std::move(s)), f);
}

Condition make_cond(CondVariant v) {
  Facts f;
  std::visit(f, v);
  auto* n = new CondNode(std::move(v));
  n->paths = stored_paths(f.paths);
  n->height = plus_one(f.below);
  n->has_dv = f.has_dv;
  n->has_buffer = f.has_buffer;
  return Condition(n);
}

namespace {
// A literal node, built in place (the default facts are a literal's).
Expression make_literal(NumberLit lit) { return with_facts(new ExprNode(std::in_place_type<NumberLit>, lit), Facts{}); }

}  // namespace

Expression detail::make_int_slow(std::int64_t v) {
  if (v < kFirstSharedInt || v > kLastSharedInt) return make_literal(NumberLit{v});
  // Made on first use and never freed, so no tree that outlives static destruction (one
  // held by an interpreter object at exit) is left with a freed literal.
  static const Expression* const shared = [] {
    auto* table = new Expression[kLastSharedInt - kFirstSharedInt + 1];
    for (std::int64_t k = kFirstSharedInt; k <= kLastSharedInt; ++k)
      table[k - kFirstSharedInt] = make_literal(NumberLit{k});
    return table;
  }();
  g_shared_ints = shared;
  return shared[v - kFirstSharedInt];
}
Expression make_float(double v) {
  // A coefficient is often written many times over (`2.5 * x[k]` in a loop): the float
  // literals made last are kept, one per slot chosen by their bits, and shared. Never freed,
  // like the integers above.
  static constexpr int kSlotBits = 6;
  static Expression* const recent = new Expression[1u << kSlotBits];
  const auto bits = std::bit_cast<std::uint64_t>(v);
  Expression& slot = recent[(bits * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits)];
  if (!slot || std::bit_cast<std::uint64_t>(slot.as<NumberLit>().float_value()) != bits)
    slot = make_literal(NumberLit{v});
  return slot;
}

const OptString& Expression::latex() const {
  return std::visit(
      [](const auto& v) -> const OptString& {
        if constexpr (std::is_same_v<std::decay_t<decltype(v)>, NumberLit>) {
          return kNoLatex;
        } else {
          return unboxed(v).latex;
        }
      },
      node().value);
}

const OptString& Condition::latex() const {
  return std::visit([](const auto& v) -> const OptString& { return v.latex; }, node().value);
}

Expression with_latex(const Expression& e, OptString latex) {
  if (e.kind() == ExprKind::Number) return e;
  ExprVariant copy = e.node().value;
  std::visit(
      [&](auto& v) {
        if constexpr (!std::is_same_v<std::decay_t<decltype(v)>, NumberLit>) unboxed(v).latex = std::move(latex);
      },
      copy);
  auto* n = new ExprNode(std::move(copy));
  n->ndim = e.node().ndim;
  n->paths = e.node().paths;
  n->height = e.node().height;
  n->has_dv = e.node().has_dv;
  n->has_buffer = e.node().has_buffer;
  return Expression(n);
}

Condition with_latex(const Condition& c, OptString latex) {
  CondVariant copy = c.node().value;
  std::visit([&](auto& v) { v.latex = std::move(latex); }, copy);
  auto* n = new CondNode(std::move(copy));
  n->paths = c.node().paths;
  n->height = c.node().height;
  n->has_dv = c.node().has_dv;
  n->has_buffer = c.node().has_buffer;
  return Condition(n);
}

std::uint64_t set_ndim(const ElementSet& s) {
  if (const Expression* e = std::get_if<Expression>(&s)) return array_ndim(*e);
  return 0;
}

Status require_scalar(const Expression& e) {
  const std::uint64_t d = e.ndim();
  if (d == 0) return Ok{};
  const std::string n = std::to_string(d);
  switch (e.kind()) {
    case ExprKind::Placeholder:
      return modeling_error("the dimensionality of the Placeholder { name: " +
                            e.as<Placeholder>().name + " } must be zero, but is actually " + n);
    case ExprKind::Element:
      return modeling_error("the dimensionality of the Element { name: " +
                            e.as<Element>().name + " } must be zero, but is actually " + n);
    case ExprKind::DecisionVar: {
      const auto& v = e.as<DecisionVar>();
      return modeling_error(std::string("the dimensionality of the ") + kind_word(v.kind) +
                            "Var { name: " + v.name + " } must be zero, but is actually " + n);
    }
    case ExprKind::Subscript:
      return modeling_error("the dimensionality of the subscripted variable `" + text_of(e) +
                            "` must be zero, but actually " + n);
    default:
      return internal_error("an operator node with a non-zero number of dimensions");
  }
}

}  // namespace tarvex
