// What one walk over the operation table sees: the bound data, the layout of the decision
// variables, the values bound to elements, and the array positions and sets of the data.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "instance/jagged_array.hpp"
#include "instance/program.hpp"

namespace tarvex {

// The columns of one decision variable: its shape, its number of entries and its first
// column (variables in name order, entries row-major).
struct VarLayout {
  std::vector<std::uint64_t> shape;
  std::uint64_t size = 0;
  std::uint64_t first = 0;
};

struct Env {
  const Program* prog = nullptr;
  std::vector<const JaggedArray*> data;  // by placeholder
  std::vector<VarLayout> vars;           // by variable; filled once shapes are known
};

// A value an element is bound to: a number, or a row of a placeholder's data (the part of
// the array below that row). `serial` is unique per binding, increasing.
struct Binding {
  bool bound = false;
  bool is_array = false;
  double scalar = 0;
  std::uint32_t data = 0;   // placeholder
  std::uint32_t level = 0;  // the row's level
  std::uint64_t row = 0;
  std::uint64_t serial = 0;
};

// The element bindings of one evaluation, by slot.
class Scope {
 public:
  explicit Scope(std::size_t slots) : slots_(slots) {}
  const Binding& operator[](std::uint32_t slot) const { return slots_[slot]; }
  // Binds the slot and returns the previous binding, to be restored.
  Binding bind(std::uint32_t slot, Binding b) {
    b.bound = true;
    b.serial = ++serial_;
    Binding old = slots_[slot];
    slots_[slot] = b;
    return old;
  }
  void restore(std::uint32_t slot, const Binding& old) { slots_[slot] = old; }
  // The latest serial among the bindings of `slots` (0 when none is bound): unchanged
  // exactly while none of them has been bound again.
  std::uint64_t stamp(const std::uint32_t* slots, std::uint32_t n) const {
    std::uint64_t s = 0;
    for (std::uint32_t k = 0; k < n; ++k) s = std::max(s, slots_[slots[k]].serial);
    return s;
  }

 private:
  std::vector<Binding> slots_;
  std::uint64_t serial_ = 0;
};

// Where an array operand with its subscripts applied lands.
struct Position {
  enum Kind : std::uint8_t { Number, DataRow, VarEntry } kind = Number;
  double value = 0;         // Number
  std::uint32_t ref = 0;    // placeholder or variable
  std::uint32_t level = 0;  // DataRow: the level of the row; VarEntry: the axes consumed
  std::uint64_t row = 0;    // DataRow: the row; VarEntry: the flat offset so far
};

// Applies the evaluated subscripts to the array. IndexError naming the array and the index
// when a subscript is out of range or not an integer; ValueError for too many subscripts or
// an element bound to a number.
Result<Position> locate(const Env& env, const Scope& scope, const ArraySpec& a, const double* subs, std::size_t n);

// The length of a located array along an axis (jagged: every row at that depth must agree).
Result<std::uint64_t> length_at(const Env& env, const Position& p, std::uint64_t axis, const std::string& name);

// The members of a set: a range start, start + 1, ... below end, or the entries of a data
// row along its first axis.
struct SetCursor {
  bool is_range = true;
  double start = 0;
  std::uint64_t n = 0;
  Position row;  // DataRow when !is_range
  Binding member(const Env& env, std::uint64_t k) const;
};

// ValueError when the set is a decision variable or its range is not finite.
Result<SetCursor> open_set(const Env& env, const Scope& scope, const SetSpec& s, const double* vals);

// "1.5", "3", "NaN": a number in a message.
std::string number_text(double v);

}  // namespace tarvex
