// The one printer behind str(), repr() and LaTeX. Three modes share one tree walk and one
// parenthesization rule; a context stack records which node is written around the current
// position.
#pragma once

#include <cstdint>
#include <string>

#include "lib/result.hpp"
#include "model/expression/expression.hpp"

namespace tarvex {

enum class PrintMode : std::uint8_t { Text, Repr, Latex };

// Trees higher than this are refused by the printer (its walk is recursive).
inline constexpr std::uint32_t kMaxPrintHeight = 2500;
// Texts longer than this are refused (MemoryError): a shared subtree is written at every
// occurrence, so a tree of a few hundred nodes can have a text of 2^60 characters.
inline constexpr std::size_t kMaxTextBytes = std::size_t(1) << 30;

// Node entry: the node's own writer, the root never parenthesized (Python str/repr).
Result<std::string> render_node(PrintMode mode, const Expression& e);
// Generic entry: the root is compared with itself, so a root power or modulo is wrapped.
Result<std::string> render_expression(PrintMode mode, const Expression& e);
// Condition entry.
Result<std::string> render_condition(PrintMode mode, const Condition& c);

// A range as Python shows it: str "[start..end)", repr "(start, end)", each end through
// the generic entry of the mode.
Result<std::string> render_range(PrintMode mode, const Range& r);

// Text forms for messages. A tree too high to print shows as "...".
std::string text_of(const Expression& e);
std::string text_of(const Condition& c);

}  // namespace tarvex
