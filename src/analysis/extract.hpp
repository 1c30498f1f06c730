// Walks that list the nodes and the variables of a model.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "model/problem.hpp"

namespace tarvex {

// Every expression node in depth-first pre-order (a node before its children). Conditions
// are walked through: their expressions are visited, the condition nodes reported to
// `on_condition` when it is set. Children in stored order: operator operands; a reduction's
// index element, its condition, its operand; a subscript's variable then its subscripts;
// an element's set; an array length's array.
struct NodeVisitor {
  std::function<void(const Expression&)> on_expression;
  std::function<void(const Condition&)> on_condition;
  const bool* stop = nullptr;  // when set and true, the walk ends early
};

// Per occurrence: a shared subtree is visited each time it is reached. Per distinct node:
// once, at its first occurrence (across every walk of one Walker).
enum class Visits : bool { EachOccurrence, Distinct };

class PreOrder;
class Walker {
 public:
  Walker(const NodeVisitor& v, Visits visits);
  ~Walker();
  // Each fails only when interrupted.
  Status walk(const Expression& e);
  Status walk(const Condition& c);
  Status walk(const Constraint& c);         // left, right, then forall
  Status walk(const CustomPenaltyTerm& p);  // expression, then forall
  Status walk(const ForallList& f);         // each element, then condition
  Status walk(const Problem& p);            // objective, constraints, penalties

 private:
  std::unique_ptr<PreOrder> pre_order_;
};

// Whether a node is a variable: a placeholder, an element, an array length or a decision
// variable.
bool is_variable(const Expression& e);

// The distinct variables in order of first appearance (variables equal as is_same says are
// one). An element is followed by the variables of its set.
// Each distinct node is walked once, so the cost follows distinct nodes, not paths.
class VariableCollector {
 public:
  VariableCollector();
  VariableCollector(const VariableCollector&) = delete;
  VariableCollector& operator=(const VariableCollector&) = delete;
  // Walks x; fails only when interrupted.
  template <class T>
  Status add(const T& x) {
    return walker_.walk(x);
  }
  const std::vector<Expression>& variables() const { return vars_; }

 private:
  void visit(const Expression& e);
  std::vector<Expression> vars_;
  std::multimap<std::string, std::size_t> by_name_;
  NodeVisitor visitor_;
  Walker walker_;
};

template <class T>
Result<std::vector<Expression>> extract_variables(const T& x) {
  VariableCollector c;
  TX_CHECK(c.add(x));
  return c.variables();
}

// The name of a variable node ("" for other nodes and for array lengths).
const std::string& variable_name(const Expression& e);

}  // namespace tarvex
