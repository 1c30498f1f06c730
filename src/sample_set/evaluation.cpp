// Evaluations of samples: text and JSON forms, constraint values by forall index.
#include "sample_set/evaluation.hpp"

#include "print/number_format.hpp"
#include "sample_set/json.hpp"

namespace tarvex {
namespace {

void list_text(std::string& out, const std::vector<double>& v) {
  out += '[';
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i) out += ", ";
    out += format_float(v[i]);
  }
  out += ']';
}

void index_text(std::string& out, const std::vector<std::uint64_t>& v) {
  out += '[';
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i) out += ", ";
    out += format_uint(v[i]);
  }
  out += ']';
}

template <class Map, class Item>
void map_text(std::string& out, const Map& map, Item item) {
  out += '{';
  bool first = true;
  for (const auto& [name, value] : map) {
    if (!first) out += ", ";
    first = false;
    out += '"' + name + "\": ";
    item(out, value);
  }
  out += '}';
}

void forall_text(std::string& out, const IndexLists& lists) {
  out += '[';
  for (std::size_t i = 0; i < lists.size(); ++i) {
    if (i) out += ", ";
    index_text(out, lists[i]);
  }
  out += ']';
}

void write_values_map(std::string& out, const ValuesByName& map) {
  out += '{';
  bool first = true;
  for (const auto& [name, values] : map) {
    json::write_key(out, name, first);
    first = false;
    json::write_doubles(out, values);
  }
  out += '}';
}

Status read_values_map(json::Reader& r, json::Value& v, ValuesByName& out) {
  return r.read_map(v, [&](std::string name, json::Value& list) -> Status {
    std::vector<double> values;
    TX_CHECK(r.read_doubles(list, values));
    out[std::move(name)] = std::move(values);
    return Ok{};
  });
}

constexpr std::array<std::string_view, 6> kFields = {
    "energy", "objective", "constraint_violations", "constraint_forall", "constraint_values", "penalty"};

}  // namespace

Result<ExprValues> constraint_expr_values(const Evaluation& e) {
  ExprValues out;
  out.reserve(e.constraint_values.size());
  for (const ValuesByName& sample : e.constraint_values) {
    auto& pairs = out.emplace_back();
    for (const auto& [name, values] : sample) {
      const auto found = e.constraint_forall.find(name);
      if (found == e.constraint_forall.end())
        return Error{ErrorKind::Key,
                     "the constraint '" + name + "' of constraint_values has no constraint_forall entry"};
      const IndexLists& lists = found->second;
      const std::size_t n = std::min(lists.size(), values.size());
      for (std::size_t i = 0; i < n; ++i) pairs.emplace_back(&lists[i], values[i]);
    }
  }
  return out;
}

Result<std::size_t> index_list_width(const IndexLists& lists) {
  if (lists.empty()) return std::size_t{0};
  const std::size_t width = lists[0].size();
  for (const auto& l : lists) {
    if (l.size() != width)
      return type_error("invalid length: " + format_uint(l.size()) + ", but expected " + format_uint(width));
  }
  return width;
}

std::string evaluation_text(const Evaluation& e) {
  std::string out = "Evaluation(energy=";
  list_text(out, e.energy);
  out += ", objective=";
  list_text(out, e.objective);
  out += ", constraint_violations=";
  map_text(out, e.constraint_violations, list_text);
  out += ", constraint_forall=";
  map_text(out, e.constraint_forall, forall_text);
  out += ", constraint_values=[";
  for (std::size_t i = 0; i < e.constraint_values.size(); ++i) {
    if (i) out += ", ";
    map_text(out, e.constraint_values[i], list_text);
  }
  out += "], penalty=";
  map_text(out, e.penalty, list_text);
  return out + ")";
}

std::string evaluation_to_json(const Evaluation& e) {
  std::string out = "{";
  json::write_key(out, "energy", true);
  json::write_doubles(out, e.energy);
  json::write_key(out, "objective");
  json::write_doubles(out, e.objective);
  json::write_key(out, "constraint_violations");
  write_values_map(out, e.constraint_violations);
  json::write_key(out, "constraint_forall");
  out += '{';
  bool first = true;
  for (const auto& [name, lists] : e.constraint_forall) {
    json::write_key(out, name, first);
    first = false;
    out += '[';
    for (std::size_t i = 0; i < lists.size(); ++i) {
      if (i) out += ',';
      json::write_uints(out, lists[i]);
    }
    out += ']';
  }
  out += '}';
  json::write_key(out, "constraint_values");
  out += '[';
  for (std::size_t i = 0; i < e.constraint_values.size(); ++i) {
    if (i) out += ',';
    write_values_map(out, e.constraint_values[i]);
  }
  out += ']';
  json::write_key(out, "penalty");
  write_values_map(out, e.penalty);
  out += '}';
  return out;
}

Result<Evaluation> evaluation_from_json(std::string_view text) {
  json::Reader r(text);
  Evaluation out;
  TX_CHECK(r.read_document([&](json::Value& root) {
    return r.read_fields(root, kFields, 0b111111, [&](std::size_t i, json::Value& f) -> Status {
      switch (i) {
        case 0:
          return r.read_doubles(f, out.energy);
        case 1:
          return r.read_doubles(f, out.objective);
        case 2:
          return read_values_map(r, f, out.constraint_violations);
        case 3:
          return r.read_map(f, [&](std::string name, json::Value& lists) -> Status {
            IndexLists l;
            TX_CHECK(r.read_uint_lists(lists, l));
            out.constraint_forall[std::move(name)] = std::move(l);
            return Ok{};
          });
        case 4:
          out.constraint_values.clear();
          return r.read_array(f, [&](json::Value& item) -> Status {
            return read_values_map(r, item, out.constraint_values.emplace_back());
          });
        default:
          return read_values_map(r, f, out.penalty);
      }
    });
  }));
  return out;
}

}  // namespace tarvex
