// A problem flattened into a table of operations: one entry per distinct node (a shared
// subtree is one entry), children by index, names replaced by numbers (placeholders,
// elements, decision variables). The evaluator walks this table instead of the trees.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/problem.hpp"

namespace tarvex {

enum class OpKind : std::uint8_t {
  Const,  // value
  Data,   // a scalar placeholder: ref = placeholder
  Elem,   // the value bound to an element: ref = element slot
  Var,    // a scalar decision variable: ref = variable
  Sub,    // an entry of an array: `array` = its array, children = the subscripts
  Len,    // the length of an array along an axis: `array`, children = its subscripts, aux = axis
  Unary,  // aux = UnaryKind
  Pow,
  Mod,
  Add,
  Mul,  // a child whose flag is set divides (a term `b ** -1` kept as the divisor b)
  Min,
  Max,
  Sum,  // ref = element slot, aux = set, children = the operand, cond = the condition or -1
  Prod,
  Cmp,  // aux = ComparisonKind
  And,
  Or,
  Xor,
};

// Where an array comes from.
enum class ArrayBase : std::uint8_t { Data, Elem, Var };

// An array operand: a placeholder, an element bound to an array or a decision variable,
// followed by subscripts (op indices), nested subscripts combined into one list.
struct ArraySpec {
  ArrayBase base = ArrayBase::Data;
  std::uint32_t ref = 0;
  std::vector<std::uint32_t> subscripts;
};

// The set an element runs over: a range [start, end) (two ops) or an array's first axis.
struct SetSpec {
  bool is_range = true;
  std::uint32_t start = 0, end = 0;
  ArraySpec array;
  std::uint32_t slot = 0;  // the element
};

struct Op {
  OpKind kind = OpKind::Const;
  bool has_dv = false;  // the value depends on the solution
  bool memo = false;    // reached from several places, with few enough elements to key a memo
  std::uint32_t ref = 0;
  std::uint32_t aux = 0;
  std::uint32_t first = 0, count = 0;  // children: Program::children[first, first + count)
  std::int32_t cond = -1;
  std::uint32_t array = 0;             // Sub, Len: index into Program::arrays
  std::uint32_t deps_first = 0, deps_count = 0;  // the free elements: Program::deps[...]
  double value = 0;
};

struct ForallSpec {
  SetSpec set;
  std::int32_t cond = -1;
};

struct BoundSpec {
  bool is_array = false;
  std::uint32_t scalar = 0;  // op of a scalar bound
  ArraySpec array;           // an array bound
};

struct VariableSpec {
  std::string name;
  VarKind kind = VarKind::Binary;
  std::vector<std::uint32_t> shape;  // ops
  BoundSpec lower, upper;
};

struct PlaceholderSpec {
  std::string name;
  std::uint64_t ndim = 0;
};

struct ConstraintSpec {
  std::string name;
  ConstraintSense sense = ConstraintSense::Equal;
  std::uint32_t left = 0, right = 0;
  std::vector<ForallSpec> forall;
};

struct PenaltySpec {
  std::string name;
  std::uint32_t expression = 0;
  std::vector<ForallSpec> forall;
};

struct Program {
  std::vector<Op> ops;
  std::vector<std::uint32_t> children;
  std::vector<std::uint8_t> divides;  // per entry of `children`: the Mul flag
  std::vector<std::uint32_t> deps;
  std::vector<ArraySpec> arrays;
  std::vector<SetSpec> sets;

  std::vector<PlaceholderSpec> placeholders;  // name order
  std::vector<std::string> elements;          // by slot
  std::vector<VariableSpec> variables;        // name order

  ProblemSense sense = ProblemSense::Minimize;
  std::uint32_t objective = 0;
  std::vector<ConstraintSpec> constraints;  // name order
  std::vector<PenaltySpec> penalties;       // name order

  // The name of an array's base, for messages.
  const std::string& base_name(const ArraySpec& a) const;
  // The name of a decision variable that op `root` depends on (its `has_dv` is set), for
  // messages; empty when there is none.
  std::string variable_in(std::uint32_t root) const;
};

// More free elements than this and a node keeps no memo (it is evaluated per occurrence).
inline constexpr std::size_t kMaxMemoDeps = 16;

// Flattens the problem. ValueError when two placeholders share a name but not a number
// of dimensions; interrupted walks fail.
Result<Program> build_program(const Problem& p);

}  // namespace tarvex
