// Walks that list the nodes and the variables of a model.
#pragma once

#include <functional>
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
};
void walk(const Expression& e, const NodeVisitor& v);
void walk(const Condition& c, const NodeVisitor& v);
void walk(const Constraint& c, const NodeVisitor& v);         // left, right, then forall
void walk(const CustomPenaltyTerm& p, const NodeVisitor& v);  // expression, then forall
void walk(const ForallList& f, const NodeVisitor& v);         // each element, then condition
void walk(const Problem& p, const NodeVisitor& v);            // objective, constraints, penalties

// Whether a node is a variable: a placeholder, an element, an array length or a decision
// variable.
bool is_variable(const Expression& e);

// The distinct variables in order of first appearance (variables equal as is_same says are
// one). An element is followed by the variables of its set.
class VariableCollector {
 public:
  void add(const Expression& e);  // walks e
  void add(const Condition& c);
  void add(const Constraint& c);
  void add(const CustomPenaltyTerm& p);
  void add(const ForallList& f);
  void add(const Problem& p);
  const std::vector<Expression>& variables() const { return vars_; }

 private:
  void visit(const Expression& e);
  std::vector<Expression> vars_;
  std::multimap<std::string, std::size_t> by_name_;
};

template <class T>
std::vector<Expression> extract_variables(const T& x) {
  VariableCollector c;
  c.add(x);
  return c.variables();
}

// The name of a variable node ("" for other nodes and for array lengths).
const std::string& variable_name(const Expression& e);

}  // namespace tarvex
