// A fixed list of named optional durations, shared by SolvingTime and SystemTime: equality,
// text, JSON writing and reading.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "print/number_format.hpp"
#include "sample_set/json.hpp"

namespace tarvex {

template <std::size_t N>
struct OptionalFields {
  static constexpr std::size_t size = N;
  // Absent values are empty; present values compare numerically (NaN never equal).
  std::array<std::optional<double>, N> values;
  bool operator==(const OptionalFields&) const = default;
};

// "None", or the shortest round-trip digits without a trailing ".0".
inline std::string optional_text(const std::optional<double>& v) { return v ? format_double(*v) : "None"; }

// "Class(a=..., b=...)".
template <std::size_t N>
std::string fields_text(std::string_view cls, const std::array<std::string_view, N>& names,
                        const OptionalFields<N>& f) {
  std::string out(cls);
  out += '(';
  for (std::size_t i = 0; i < N; ++i) {
    if (i) out += ", ";
    out += names[i];
    out += '=';
    out += optional_text(f.values[i]);
  }
  return out + ")";
}

template <std::size_t N>
void write_fields_json(std::string& out, const std::array<std::string_view, N>& names, const OptionalFields<N>& f) {
  out += '{';
  for (std::size_t i = 0; i < N; ++i) {
    json::write_key(out, names[i], i == 0);
    json::write_optional(out, f.values[i]);
  }
  out += '}';
}

// Every key optional, null for absent.
template <std::size_t N>
Status read_fields_json(json::Reader& r, json::Value& v, const std::array<std::string_view, N>& names,
                        OptionalFields<N>& f) {
  return r.read_fields(v, names, 0,
                       [&](std::size_t i, json::Value& item) { return r.read_optional(item, f.values[i]); });
}

}  // namespace tarvex
