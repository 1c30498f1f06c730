// Solution records: conversions between the dense and sparse forms, text and JSON forms.
#include "sample_set/record.hpp"

#include <algorithm>

#include "print/number_format.hpp"
#include "sample_set/json.hpp"

namespace tarvex {
namespace {

Error index_error(std::string m) { return {ErrorKind::Index, std::move(m)}; }

std::string bracket_list(const std::vector<std::uint64_t>& v) {
  std::string out = "[";
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i) out += ", ";
    out += format_uint(v[i]);
  }
  return out + "]";
}

// Nested bracket lists; axes longer than their limit are cut to their ends around "..."
// when the whole array has 500 elements or more.
class DenseTextWriter {
 public:
  explicit DenseTextWriter(const DenseArray& a) : a_(a), strides_(a.shape.size(), 1) {
    for (std::size_t i = a.shape.size(); i-- > 1;) strides_[i - 1] = strides_[i] * a.shape[i];
    // Elements, or for an array without elements the bracket pairs that would be written
    // (the axes before the first zero extent): a shape such as (2^35, 0) must not print
    // 2^35 pairs of brackets.
    std::uint64_t items = 1;
    for (std::uint64_t extent : a.shape) {
      if (extent == 0) break;
      if (__builtin_mul_overflow(items, extent, &items)) items = UINT64_MAX;
    }
    abbreviate_ = items >= 500;
  }

  std::string write() {
    if (a_.shape.empty()) return a_.data.empty() ? std::string() : format_double(a_.data[0]);
    axis(0, 0);
    return std::move(out_);
  }

 private:
  // Recursion depth is the number of axes, at most kMaxDims.
  void axis(std::size_t ax, std::uint64_t offset) {
    const std::size_t nd = a_.shape.size();
    const std::size_t k = nd - ax;
    const std::uint64_t n = a_.shape[ax];
    std::string sep = ",";
    if (k == 1) {
      sep += ' ';
    } else {
      sep.append(k - 1, '\n');
      sep.append(ax + 1, ' ');
    }
    const auto item = [&](std::uint64_t i) {
      if (k == 1) {
        out_ += format_double(a_.data[offset + i]);
      } else {
        axis(ax + 1, offset + i * strides_[ax]);
      }
    };
    const std::uint64_t limit = ax + 2 >= nd ? 11 : 6;
    out_ += '[';
    if (abbreviate_ && n > limit) {
      const std::uint64_t half = limit / 2;
      for (std::uint64_t i = 0; i < half; ++i) {
        item(i);
        out_ += sep;
      }
      out_ += "...";
      for (std::uint64_t i = n - half; i < n; ++i) {
        out_ += sep;
        item(i);
      }
    } else {
      for (std::uint64_t i = 0; i < n; ++i) {
        if (i) out_ += sep;
        item(i);
      }
    }
    out_ += ']';
  }

  const DenseArray& a_;
  std::vector<std::uint64_t> strides_;
  bool abbreviate_ = false;
  std::string out_;
};

std::string sparse_text(const CooFormat& c) {
  std::string out = "((";
  for (std::size_t a = 0; a < c.non_zero_indices.size(); ++a) {
    if (a) out += ", ";
    out += bracket_list(c.non_zero_indices[a]);
  }
  if (c.non_zero_indices.size() == 1) out += ',';
  out += "), [";
  for (std::size_t i = 0; i < c.non_zero_values.size(); ++i) {
    if (i) out += ", ";
    out += format_float(c.non_zero_values[i]);
  }
  out += "], (";
  for (std::size_t i = 0; i < c.shape.size(); ++i) {
    if (i) out += ", ";
    out += format_uint(c.shape[i]);
  }
  if (c.shape.size() == 1) out += ',';
  return out + "))";
}

template <class Map, class Item>
void solution_text(std::string& out, const Map& map, Item item) {
  out += '{';
  bool first = true;
  for (const auto& [name, list] : map) {
    if (!first) out += ", ";
    first = false;
    out += '\'' + name + "': [";
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (i) out += ", ";
      out += item(list[i]);
    }
    out += ']';
  }
  out += '}';
}

void write_coo(std::string& out, const CooFormat& c) {
  json::write_key(out, "non_zero_indices", true);
  out += '[';
  for (std::size_t a = 0; a < c.non_zero_indices.size(); ++a) {
    if (a) out += ',';
    json::write_uints(out, c.non_zero_indices[a]);
  }
  out += ']';
  json::write_key(out, "non_zero_values");
  json::write_doubles(out, c.non_zero_values);
  json::write_key(out, "shape");
  json::write_uints(out, c.shape);
}

void write_dense(std::string& out, const DenseArray& a) {
  out += "\"v\":1";
  json::write_key(out, "dim");
  json::write_uints(out, a.shape);
  json::write_key(out, "data");
  json::write_doubles(out, a.data);
}

template <class Map, class WriteItem>
void write_solution(std::string& out, const char* kind, const Map& map, WriteItem write_item) {
  out += "{\"";
  out += kind;
  out += "\":{";
  bool first = true;
  for (const auto& [name, list] : map) {
    json::write_key(out, name, first);
    first = false;
    out += '[';
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (i) out += ',';
      out += '{';
      write_item(out, list[i]);
      out += '}';
    }
    out += ']';
  }
  out += "}}";
}

constexpr std::array<std::string_view, 3> kCooFields = {"non_zero_indices", "non_zero_values", "shape"};
constexpr std::array<std::string_view, 3> kDenseFields = {"v", "dim", "data"};
constexpr std::array<std::string_view, 2> kRecordFields = {"solution", "num_occurrences"};

Status read_coo(json::Reader& r, json::Value& v, CooFormat& out) {
  return r.read_fields(v, kCooFields, 0b111, [&](std::size_t i, json::Value& f) -> Status {
    switch (i) {
      case 0:
        return r.read_uint_lists(f, out.non_zero_indices);
      case 1:
        return r.read_doubles(f, out.non_zero_values);
      default:
        return r.read_uints(f, out.shape);
    }
  });
}

Status read_dense(json::Reader& r, json::Value& v, DenseArray& out) {
  const char* pos = r.start_of(v);
  std::uint64_t version = 0;
  TX_CHECK(r.read_fields(v, kDenseFields, 0b111, [&](std::size_t i, json::Value& f) -> Status {
    switch (i) {
      case 0:
        return r.read_uint(f, version);
      case 1:
        return r.read_uints(f, out.shape);
      default:
        return r.read_doubles(f, out.data);
    }
  }));
  if (version != 1) return r.error_at(pos, "unknown array version: " + format_uint(version));
  auto count = element_count(out.shape);
  if (!count) return r.error_at(pos, count.error().message);
  if (out.data.size() != *count) return r.error_at(pos, "data and dimension must match in size");
  return Ok{};
}

template <class T, class ReadItem>
Status read_lists(json::Reader& r, json::Value& v, std::map<std::string, std::vector<T>>& out, ReadItem read_item) {
  return r.read_map(v, [&](std::string name, json::Value& list) -> Status {
    std::vector<T> items;
    TX_CHECK(r.read_array(list, [&](json::Value& item) -> Status {
      items.emplace_back();
      return read_item(r, item, items.back());
    }));
    out[std::move(name)] = std::move(items);
    return Ok{};
  });
}

Status read_solution(json::Reader& r, json::Value& v, Solution& out) {
  const char* pos = r.start_of(v);
  int kinds = 0;
  TX_CHECK(r.read_map(v, [&](std::string kind, json::Value& body) -> Status {
    if (++kinds > 1) return r.error_at(r.start_of(body), "a solution has exactly one kind");
    if (kind == "Sparse") {
      SparseSolution s;
      TX_CHECK(read_lists(r, body, s, read_coo));
      out = std::move(s);
    } else if (kind == "Dense") {
      DenseSolution d;
      TX_CHECK(read_lists(r, body, d, read_dense));
      out = std::move(d);
    } else {
      return r.error_at(pos, "unknown solution kind \"" + kind + "\", expected \"Sparse\" or \"Dense\"");
    }
    return Ok{};
  }));
  if (kinds == 0) return r.error_at(pos, "a solution has exactly one kind, \"Sparse\" or \"Dense\"");
  return Ok{};
}

}  // namespace

Result<std::uint64_t> element_count(const std::vector<std::uint64_t>& shape) {
  if (shape.size() > kMaxDims)
    return value_error("an array has at most " + format_uint(kMaxDims) + " dimensions, not " +
                       format_uint(shape.size()));
  if (std::find(shape.begin(), shape.end(), 0) != shape.end()) return std::uint64_t{0};
  std::uint64_t n = 1;
  for (std::uint64_t extent : shape) {
    if (__builtin_mul_overflow(n, extent, &n))
      return value_error("the size of shape " + bracket_list(shape) + " overflows");
  }
  if (n > kMaxElements)
    return value_error("shape " + bracket_list(shape) + " has " + format_uint(n) +
                       " elements, more than the limit of " + format_uint(kMaxElements));
  return n;
}

Result<DenseArray> coo_to_dense(const CooFormat& coo) {
  const std::size_t nv = coo.non_zero_values.size();
  for (std::size_t a = 0; a < coo.non_zero_indices.size(); ++a) {
    if (coo.non_zero_indices[a].size() < nv)
      return index_error("the index list of axis " + format_uint(a) + " has " +
                         format_uint(coo.non_zero_indices[a].size()) + " entries, fewer than the " + format_uint(nv) +
                         " values");
  }
  TX_TRY(const std::uint64_t count, element_count(coo.shape));
  const std::size_t nd = coo.shape.size();
  std::vector<std::uint64_t> strides(nd, 1);
  for (std::size_t i = nd; i-- > 1;) strides[i - 1] = strides[i] * coo.shape[i];
  DenseArray out{coo.shape, std::vector<double>(std::size_t(count), 0.0)};
  const std::size_t naxes = coo.non_zero_indices.size();
  for (std::size_t k = 0; k < nv; ++k) {
    std::uint64_t offset = 0;
    bool fits = naxes == nd;
    for (std::size_t a = 0; fits && a < nd; ++a) {
      const std::uint64_t idx = coo.non_zero_indices[a][k];
      fits = idx < coo.shape[a];
      offset += idx * strides[a];
    }
    if (!fits) {
      std::vector<std::uint64_t> index(naxes);
      for (std::size_t a = 0; a < naxes; ++a) index[a] = coo.non_zero_indices[a][k];
      return index_error("Failed to get a mutable reference to the array at " + bracket_list(index) +
                         ". This might be caused by the shape mismatch. shape: " + bracket_list(coo.shape));
    }
    out.data[offset] = coo.non_zero_values[k];
  }
  return out;
}

CooFormat dense_to_coo(const DenseArray& a) {
  const std::size_t nd = a.shape.size();
  CooFormat out{std::vector<std::vector<std::uint64_t>>(nd), {}, a.shape};
  std::vector<std::uint64_t> index(nd, 0);
  const std::size_t n = a.data.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (a.data[i] != 0.0) {
      for (std::size_t ax = 0; ax < nd; ++ax) out.non_zero_indices[ax].push_back(index[ax]);
      out.non_zero_values.push_back(a.data[i]);
    }
    // Next row-major index: the last axis runs fastest.
    for (std::size_t ax = nd; ax-- > 0;) {
      if (++index[ax] < a.shape[ax]) break;
      index[ax] = 0;
    }
  }
  return out;
}

Result<Record> to_dense(const Record& r) {
  if (r.is_dense()) return r;
  // The whole record is sized before anything is allocated: many entries of a large shape
  // are refused as one large array is.
  std::uint64_t total = 0;
  for (const auto& [name, list] : std::get<SparseSolution>(r.solution)) {
    for (const CooFormat& c : list) {
      auto n = element_count(c.shape);
      if (!n) continue;  // reported by the conversion of that entry, in order
      total += *n;
      if (total > kMaxElements)
        return value_error("the dense record would hold more than " + format_uint(kMaxElements) + " elements");
    }
  }
  DenseSolution out;
  for (const auto& [name, list] : std::get<SparseSolution>(r.solution)) {
    std::vector<DenseArray> arrays;
    arrays.reserve(list.size());
    for (const CooFormat& c : list) {
      TX_TRY(DenseArray a, coo_to_dense(c));
      arrays.push_back(std::move(a));
    }
    out.emplace(name, std::move(arrays));
  }
  return Record{std::move(out), r.num_occurrences};
}

Record to_sparse(const Record& r) {
  if (!r.is_dense()) return r;
  SparseSolution out;
  for (const auto& [name, list] : std::get<DenseSolution>(r.solution)) {
    std::vector<CooFormat> coos;
    coos.reserve(list.size());
    for (const DenseArray& a : list) coos.push_back(dense_to_coo(a));
    out.emplace(name, std::move(coos));
  }
  return Record{std::move(out), r.num_occurrences};
}

std::string dense_text(const DenseArray& a) { return DenseTextWriter(a).write(); }

std::string record_text(const Record& r) {
  std::string out = "Record(solution=";
  if (r.is_dense()) {
    solution_text(out, std::get<DenseSolution>(r.solution), dense_text);
  } else {
    solution_text(out, std::get<SparseSolution>(r.solution), sparse_text);
  }
  return out + ", num_occurrences=" + bracket_list(r.num_occurrences) + ")";
}

std::string record_to_json(const Record& r) {
  std::string out = "{\"solution\":";
  if (r.is_dense()) {
    write_solution(out, "Dense", std::get<DenseSolution>(r.solution), write_dense);
  } else {
    write_solution(out, "Sparse", std::get<SparseSolution>(r.solution), write_coo);
  }
  json::write_key(out, "num_occurrences");
  json::write_uints(out, r.num_occurrences);
  out += '}';
  return out;
}

Result<Record> record_from_json(std::string_view text) {
  json::Reader r(text);
  Record out;
  TX_CHECK(r.read_document([&](json::Value& root) {
    return r.read_fields(root, kRecordFields, 0b11, [&](std::size_t i, json::Value& f) -> Status {
      if (i == 0) return read_solution(r, f, out.solution);
      return r.read_uints(f, out.num_occurrences);
    });
  }));
  return out;
}

}  // namespace tarvex
