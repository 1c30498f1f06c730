// The JSON writer and reader of the sample-set value classes.
#include "sample_set/json.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "print/number_format.hpp"

namespace tarvex::json {

void write_string(std::string& out, std::string_view s) {
  static const char* const kHex = "0123456789abcdef";
  out += '"';
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      switch (c) {
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        case '\b':
          out += "\\b";
          break;
        case '\f':
          out += "\\f";
          break;
        default:
          out += "\\u00";
          out += kHex[u >> 4];
          out += kHex[u & 15];
      }
    } else {
      out += c;
    }
  }
  out += '"';
}

void write_double(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += "null";
    return;
  }
  char buf[kFloatBufferSize];
  out.append(buf, write_float(buf, v));
}

void write_optional(std::string& out, const std::optional<double>& v) {
  if (v) {
    write_double(out, *v);
  } else {
    out += "null";
  }
}

void write_uint(std::string& out, std::uint64_t v) {
  char buf[24];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

void write_doubles(std::string& out, const std::vector<double>& v) {
  // Room for the longest number and its comma per item, then trimmed once.
  std::size_t at = out.size();
  out.resize(at + 2 + v.size() * (kFloatBufferSize + 1));
  char* p = out.data() + at;
  *p++ = '[';
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i) *p++ = ',';
    if (std::isfinite(v[i])) {
      p = write_float(p, v[i]);
    } else {
      p = std::copy_n("null", 4, p);
    }
  }
  *p++ = ']';
  out.resize(std::size_t(p - out.data()));
}

void write_uints(std::string& out, const std::vector<std::uint64_t>& v) {
  out += '[';
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i) out += ',';
    write_uint(out, v[i]);
  }
  out += ']';
}

void write_key(std::string& out, std::string_view key, bool first) {
  if (!first) out += ',';
  write_string(out, key);
  out += ':';
}

Reader::Reader(std::string_view text) : text_(text.data(), text.size()) {
  load_error_ = parser_.iterate(text_).get(doc_);
}

Error Reader::error_at(const char* pos, const std::string& what) const {
  const char* begin = text_.data();
  const char* end = begin + text_.size();
  if (!pos || pos < begin || pos > end) pos = end;
  std::size_t line = 1;
  const char* line_start = begin;
  for (const char* p = begin; p < pos; ++p) {
    if (*p == '\n') {
      ++line;
      line_start = p + 1;
    }
  }
  const std::size_t column = std::size_t(pos - line_start) + 1;
  return value_error(what + " at line " + std::to_string(line) + ", column " + std::to_string(column));
}

Error Reader::fail(simdjson::error_code e, const char* pos) const {
  std::string what = simdjson::error_message(e);
  // simdjson's texts end with a full stop; the position follows it.
  while (!what.empty() && (what.back() == '.' || what.back() == ' ')) what.pop_back();
  if (!pos) pos = const_cast<Reader*>(this)->location();
  return error_at(pos, what);
}

const char* Reader::location() {
  const char* p = nullptr;
  if (load_error_) return text_.data();
  if (doc_.current_location().get(p)) return text_.data() + text_.size();
  return p;
}

const char* Reader::start_of(Value& v) const { return v.raw_json_token().data(); }

Status Reader::read_double(Value& v, double& out) {
  const char* pos = start_of(v);
  auto e = v.get_double().get(out);
  if (e == simdjson::INCORRECT_TYPE) {
    bool null = false;
    if (!v.is_null().get(null) && null) {
      out = std::nan("");
      return Ok{};
    }
    return error_at(pos, "expected a number");
  }
  if (e) return fail(e, pos);
  return Ok{};
}

Status Reader::read_optional(Value& v, std::optional<double>& out) {
  const char* pos = start_of(v);
  double d = 0;
  auto e = v.get_double().get(d);
  if (e == simdjson::INCORRECT_TYPE) {
    bool null = false;
    if (!v.is_null().get(null) && null) {
      out.reset();
      return Ok{};
    }
    return error_at(pos, "expected a number or null");
  }
  if (e) return fail(e, pos);
  out = d;
  return Ok{};
}

Status Reader::read_uint(Value& v, std::uint64_t& out) {
  const char* pos = start_of(v);
  auto e = v.get_uint64().get(out);
  if (e == simdjson::INCORRECT_TYPE) return error_at(pos, "expected a non-negative integer");
  if (e) return fail(e, pos);
  return Ok{};
}

Status Reader::read_doubles(Value& v, std::vector<double>& out) {
  out.clear();
  return read_array(v, [&](Value& item) -> Status {
    double d = 0;
    TX_CHECK(read_double(item, d));
    out.push_back(d);
    return Ok{};
  });
}

Status Reader::read_uints(Value& v, std::vector<std::uint64_t>& out) {
  out.clear();
  return read_array(v, [&](Value& item) -> Status {
    std::uint64_t u = 0;
    TX_CHECK(read_uint(item, u));
    out.push_back(u);
    return Ok{};
  });
}

Status Reader::read_uint_lists(Value& v, std::vector<std::vector<std::uint64_t>>& out) {
  out.clear();
  return read_array(v, [&](Value& item) -> Status {
    out.emplace_back();
    return read_uints(item, out.back());
  });
}

Status Reader::skip(Value& v, int depth) {
  const char* pos = start_of(v);
  if (depth > kMaxDepth) return error_at(pos, "nesting deeper than " + std::to_string(kMaxDepth) + " levels");
  simdjson::ondemand::json_type type;
  if (auto e = v.type().get(type)) return fail(e, pos);
  switch (type) {
    case simdjson::ondemand::json_type::array:
      return read_array(v, [&](Value& item) { return skip(item, depth + 1); });
    case simdjson::ondemand::json_type::object:
      return read_map(v, [&](std::string, Value& item) { return skip(item, depth + 1); });
    case simdjson::ondemand::json_type::number: {
      simdjson::ondemand::number n;
      if (auto e = v.get_number().get(n)) return fail(e, pos);
      return Ok{};
    }
    case simdjson::ondemand::json_type::string: {
      std::string_view s;
      if (auto e = v.get_string().get(s)) return fail(e, pos);
      return Ok{};
    }
    case simdjson::ondemand::json_type::boolean: {
      bool b = false;
      if (auto e = v.get_bool().get(b)) return fail(e, pos);
      return Ok{};
    }
    case simdjson::ondemand::json_type::null: {
      bool null = false;
      if (auto e = v.is_null().get(null)) return fail(e, pos);
      if (!null) return error_at(pos, "invalid literal");
      return Ok{};
    }
  }
  return error_at(pos, "invalid value");
}

Status Reader::check_unique(std::vector<std::string>& names, const char* pos) const {
  std::sort(names.begin(), names.end());
  const auto dup = std::adjacent_find(names.begin(), names.end());
  if (dup != names.end()) return error_at(pos, "duplicate key \"" + *dup + "\"");
  return Ok{};
}

}  // namespace tarvex::json
