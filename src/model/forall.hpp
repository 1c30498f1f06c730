// Forall lists: the indices that quantify a constraint or a penalty term.
#pragma once

#include <vector>

#include "model/expression/expression.hpp"

namespace tarvex {

struct ForallItem {
  Expression element;   // an element node
  Condition condition;  // empty when absent
};

using ForallList = std::vector<ForallItem>;

// Checks the items: no element twice, and each condition mentions only elements of its
// own or of earlier items.
Result<ForallList> make_forall_list(std::vector<ForallItem> items);

// Checks that the forall list quantifies exactly the elements that `e` leaves free.
Status validate_forall(const ForallList& forall, const Expression& e);
Status validate_forall(const ForallList& forall, const Condition& c);

}  // namespace tarvex
