// Array positions, lengths and sets over the bound data.
#include "instance/scope.hpp"

#include <cmath>

#include "print/number_format.hpp"

namespace tarvex {
namespace {

Error index_error(std::string m) { return {ErrorKind::Index, std::move(m)}; }

// The subscript as an index below `len`, or IndexError naming the array.
Result<std::uint64_t> checked_index(double v, std::uint64_t len, const std::string& name, std::size_t axis) {
  if (!(v == std::floor(v)) || !std::isfinite(v))
    return index_error("index " + number_text(v) + " of " + name + " on axis " + std::to_string(axis) +
                       " is not an integer");
  if (v < 0 || v >= double(len))
    return index_error("index " + number_text(v) + " is out of range for axis " + std::to_string(axis) + " of " +
                       name + " (length " + std::to_string(len) + ")");
  return std::uint64_t(v);
}

}  // namespace

std::string number_text(double v) { return format_double(v); }

Result<Position> locate(const Env& env, const Scope& scope, const ArraySpec& a, const double* subs, std::size_t n) {
  const Program& prog = *env.prog;
  const std::string& name = prog.base_name(a);
  Position p;
  switch (a.base) {
    case ArrayBase::Data:
      p.kind = Position::DataRow;
      p.ref = a.ref;
      break;
    case ArrayBase::Elem: {
      const Binding& b = scope[a.ref];
      if (!b.bound) return value_error("the element " + name + " is used outside the sum, product or forall that binds it");
      if (!b.is_array) {
        if (n != 0) return value_error("the element " + name + " is a number and cannot be subscripted");
        p.kind = Position::Number;
        p.value = b.scalar;
        return p;
      }
      p.kind = Position::DataRow;
      p.ref = b.data;
      p.level = b.level;
      p.row = b.row;
      break;
    }
    case ArrayBase::Var:
      p.kind = Position::VarEntry;
      p.ref = a.ref;
      break;
  }
  // The axis reported is counted from the base, so that messages match the subscript text.
  std::size_t axis0 = 0;
  if (a.base == ArrayBase::Elem) axis0 = 0;
  for (std::size_t k = 0; k < n; ++k) {
    if (p.kind == Position::VarEntry) {
      const VarLayout& v = env.vars[p.ref];
      if (p.level >= v.shape.size())
        return value_error("too many subscripts for the decision variable " + name + " (" +
                           std::to_string(v.shape.size()) + " dimensions)");
      TX_TRY(const std::uint64_t i, checked_index(subs[k], v.shape[p.level], name, axis0 + k));
      p.row = p.row * v.shape[p.level] + i;
      ++p.level;
      continue;
    }
    if (p.kind == Position::Number)
      return value_error("too many subscripts for " + name);
    const JaggedArray& d = *env.data[p.ref];
    if (p.level >= d.ndim()) return value_error("too many subscripts for " + name);
    TX_TRY(const std::uint64_t i, checked_index(subs[k], d.length(p.level, p.row), name, axis0 + k));
    const std::uint64_t c = d.child(p.level, p.row, i);
    if (p.level + 1 == d.ndim()) {
      p.kind = Position::Number;
      p.value = d.values[c];
    } else {
      p.row = c;
      ++p.level;
    }
  }
  if (p.kind == Position::DataRow && p.level >= env.data[p.ref]->ndim()) {
    // A scalar placeholder used as an array: its one value.
    p.kind = Position::Number;
    p.value = env.data[p.ref]->values[0];
  }
  return p;
}

Result<std::uint64_t> length_at(const Env& env, const Position& p, std::uint64_t axis, const std::string& name) {
  if (p.kind == Position::Number) return value_error(name + " is a number and has no length");
  if (p.kind == Position::VarEntry) {
    const VarLayout& v = env.vars[p.ref];
    if (p.level + axis >= v.shape.size()) return value_error("axis " + std::to_string(axis) + " is out of bounds for " + name);
    return v.shape[p.level + axis];
  }
  const JaggedArray& d = *env.data[p.ref];
  if (p.level + axis >= d.ndim()) return value_error("axis " + std::to_string(axis) + " is out of bounds for " + name);
  std::uint64_t first = p.row, last = p.row + 1;
  for (std::uint64_t l = p.level; l < p.level + axis; ++l) {
    const std::uint64_t f = d.offsets[l][first];
    last = d.offsets[l][last];
    first = f;
  }
  const std::size_t level = std::size_t(p.level + axis);
  if (first == last) return std::uint64_t{0};
  const std::uint64_t n = d.length(level, first);
  for (std::uint64_t r = first + 1; r < last; ++r)
    if (d.length(level, r) != n)
      return value_error("the length of " + name + " along axis " + std::to_string(axis) +
                         " differs from row to row (jagged data)");
  return n;
}

Binding SetCursor::member(const Env& env, std::uint64_t k) const {
  Binding b;
  if (is_range) {
    b.scalar = start + double(k);
    return b;
  }
  const JaggedArray& d = *env.data[row.ref];
  const std::uint64_t c = d.child(row.level, row.row, k);
  if (row.level + 1 == d.ndim()) {
    b.scalar = d.values[c];
  } else {
    b.is_array = true;
    b.data = row.ref;
    b.level = row.level + 1;
    b.row = c;
  }
  return b;
}

Result<SetCursor> open_set(const Env& env, const Scope& scope, const SetSpec& s, const double* vals) {
  const Program& prog = *env.prog;
  const std::string& name = prog.elements[s.slot];
  SetCursor c;
  if (s.is_range) {
    const double start = vals[0], end = vals[1];
    c.start = start;
    if (std::isnan(start) || std::isnan(end) || !(start < end)) return c;
    if (!std::isfinite(start) || !std::isfinite(end))
      return value_error("the range of the element " + name + " [" + number_text(start) + ", " + number_text(end) +
                         ") is not finite");
    const double n = std::ceil(end - start);
    if (n > 9007199254740992.0)
      return value_error("the range of the element " + name + " has too many members");
    c.n = std::uint64_t(n);
    // Rounding of end - start: keep exactly the members below end.
    while (c.n > 0 && !(start + double(c.n - 1) < end)) --c.n;
    while (start + double(c.n) < end) ++c.n;
    return c;
  }
  if (s.array.base == ArrayBase::Var)
    return value_error("the element " + name + " runs over the decision variable " + prog.base_name(s.array) +
                       ": only data is allowed there");
  TX_TRY(const Position p, locate(env, scope, s.array, vals, s.array.subscripts.size()));
  if (p.kind != Position::DataRow)
    return value_error("the element " + name + " runs over " + prog.base_name(s.array) + ", which is a number here");
  c.is_range = false;
  c.row = p;
  c.n = env.data[p.ref]->length(p.level, p.row);
  return c;
}

}  // namespace tarvex
