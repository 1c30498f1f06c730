// LaTeX for notebooks: of single nodes, and the documents of constraints, penalty terms
// and problems.
#pragma once

#include <string>

#include "model/problem.hpp"

namespace tarvex {

// The custom LaTeX string when set, else the generic-entry rendering (a root power or
// remainder is wrapped in \left( \right)).
Result<std::string> latex_of(const Expression& e);
// The custom LaTeX string when set, else the condition rendered in LaTeX.
Result<std::string> latex_of(const Condition& c);

// What _repr_latex_ shows for an expression or condition object: "$$\displaystyle L$$",
// L the custom string or the node rendering. A number literal shows its bare rendering.
Result<std::string> notebook_latex(const Expression& e);
Result<std::string> notebook_latex(const Condition& c);

// Text placed inside \text{...}: the LaTeX special characters escaped.
std::string escape_text(const std::string& s);

Result<std::string> forall_latex(const ForallList& f);
Result<std::string> constraint_row(const Constraint& c);
Result<std::string> penalty_row(const CustomPenaltyTerm& p);

// "\begin{array}{cccc}\n" row "\n\end{array}"
Result<std::string> constraint_document(const Constraint& c);
Result<std::string> penalty_document(const CustomPenaltyTerm& p);
Result<std::string> problem_document(const Problem& p);

}  // namespace tarvex
