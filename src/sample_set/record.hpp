// Solution records: the dense and sparse solutions of every sample per variable name, their
// numbers of occurrences, the conversions between the two forms, the text and JSON forms.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "lib/result.hpp"

namespace tarvex {

// An owned n-dimensional float64 array: its shape and its elements in row-major order.
struct DenseArray {
  std::vector<std::uint64_t> shape;
  std::vector<double> data;
  bool operator==(const DenseArray&) const = default;
};

// Coordinate form of one array: one index list per axis, the values, the full shape.
struct CooFormat {
  std::vector<std::vector<std::uint64_t>> non_zero_indices;
  std::vector<double> non_zero_values;
  std::vector<std::uint64_t> shape;
  bool operator==(const CooFormat&) const = default;
};

// Name-ordered lists, one entry per sample. The variant index is the kind tag: 0 sparse,
// 1 dense.
using SparseSolution = std::map<std::string, std::vector<CooFormat>>;
using DenseSolution = std::map<std::string, std::vector<DenseArray>>;
using Solution = std::variant<SparseSolution, DenseSolution>;

struct Record {
  Solution solution;
  std::vector<std::uint64_t> num_occurrences;
  bool is_dense() const { return solution.index() == 1; }
  bool operator==(const Record&) const = default;
};

// Largest number of axes and of elements (2 GiB of float64) of a dense array. A shape
// beyond them is refused (ValueError) before anything is allocated.
inline constexpr std::size_t kMaxDims = 64;
inline constexpr std::uint64_t kMaxElements = std::uint64_t{1} << 28;

// The number of elements of an array of this shape; ValueError when there are too many
// axes, or the product overflows 64 bits or exceeds kMaxElements.
Result<std::uint64_t> element_count(const std::vector<std::uint64_t>& shape);

// Sparse -> dense: IndexError when an index vector does not fit the shape or an axis list
// is shorter than the value list; ValueError for a shape that is too large.
Result<DenseArray> coo_to_dense(const CooFormat& coo);
// Dense -> sparse: the elements that do not compare equal to 0.0, in row-major order.
CooFormat dense_to_coo(const DenseArray& a);

// ValueError, before anything is allocated, when all arrays together would exceed
// kMaxElements.
Result<Record> to_dense(const Record& r);
Record to_sparse(const Record& r);

// "Record(solution={...}, num_occurrences=[...])".
std::string record_text(const Record& r);
// The text of one dense array: nested brackets, abbreviated from 500 elements on.
std::string dense_text(const DenseArray& a);

std::string record_to_json(const Record& r);
Result<Record> record_from_json(std::string_view text);

}  // namespace tarvex
