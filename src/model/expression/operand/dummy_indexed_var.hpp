// A decision variable subscripted with slices: each slice becomes a generated element, and
// sum()/prod() reduce over those elements.
#pragma once

#include <variant>

#include "model/expression/expression.hpp"

namespace tarvex {

struct SliceItem {
  Expression start;  // empty when omitted
  Expression stop;   // empty when omitted
  Expression step;   // empty when omitted
};

using SubscriptItem = std::variant<Expression, SliceItem>;

struct DummyIndexedVar {
  Expression variable;
  std::vector<Expression> subscripts;  // slices replaced by their elements
  std::vector<Expression> elements;    // one per slice, in order
};

Result<DummyIndexedVar> make_dummy_indexed_var(const Expression& variable, std::vector<SubscriptItem> items);

// The subscript of the variable by the stored list, reduced over the generated elements.
Result<Expression> reduce(const DummyIndexedVar& d, ReductionKind kind);

}  // namespace tarvex
