// The JSON writer and reader of the sample-set value classes: compact text, the float style
// of number_format, a reader on simdjson that reports errors with their line and column.
#pragma once

#include <simdjson.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lib/result.hpp"

namespace tarvex::json {

// Writing. Non-finite numbers and absent optional numbers are written as null.
void write_string(std::string& out, std::string_view s);
void write_double(std::string& out, double v);
void write_optional(std::string& out, const std::optional<double>& v);
void write_uint(std::string& out, std::uint64_t v);
void write_doubles(std::string& out, const std::vector<double>& v);
void write_uints(std::string& out, const std::vector<std::uint64_t>& v);
// `"key":`, preceded by a comma unless `first`.
void write_key(std::string& out, std::string_view key, bool first = false);

using Value = simdjson::ondemand::value;

// Deepest nesting accepted anywhere in a document (our forms need far less).
inline constexpr int kMaxDepth = 64;

// Reads one document. Every failure is a ValueError whose message ends with the position
// " at line L, column C" (1-based; the column counts bytes).
class Reader {
 public:
  explicit Reader(std::string_view text);

  // Runs `read` on the root value (an object or an array), then checks that only
  // whitespace follows.
  template <class F>
  Status read_document(F&& read) {
    if (load_error_) return fail(load_error_, nullptr);
    Value root;
    if (auto e = doc_.get_value().get(root)) {
      if (e == simdjson::SCALAR_DOCUMENT_AS_VALUE) return error_at(text_.data(), "expected an object or an array");
      return fail(e, nullptr);
    }
    TX_CHECK(read(root));
    const char* rest = nullptr;
    if (!doc_.current_location().get(rest)) return error_at(rest, "unexpected text after the end of the document");
    return Ok{};
  }

  // ValueError "<what> at line L, column C" for a position in the text (nullptr: the
  // reader's current position).
  Error error_at(const char* pos, const std::string& what) const;
  Error fail(simdjson::error_code e, const char* pos) const;
  // Where a value starts in the text.
  const char* start_of(Value& v) const;

  // A number, or null read as NaN.
  Status read_double(Value& v, double& out);
  // A number, or null for an absent value.
  Status read_optional(Value& v, std::optional<double>& out);
  Status read_uint(Value& v, std::uint64_t& out);
  Status read_doubles(Value& v, std::vector<double>& out);
  Status read_uints(Value& v, std::vector<std::uint64_t>& out);
  Status read_uint_lists(Value& v, std::vector<std::vector<std::uint64_t>>& out);

  // Calls each(item) for every item of an array.
  template <class F>
  Status read_array(Value& v, F&& each) {
    const char* pos = start_of(v);
    simdjson::ondemand::array arr;
    if (auto e = v.get_array().get(arr)) return fail(e, pos);
    for (auto item : arr) {
      Value iv;
      if (auto e = std::move(item).get(iv)) return fail(e, nullptr);
      TX_CHECK(each(iv));
    }
    return Ok{};
  }

  // Calls each(name, value) for every entry of an object; a name given twice is an error.
  template <class F>
  Status read_map(Value& v, F&& each) {
    const char* pos = start_of(v);
    simdjson::ondemand::object obj;
    if (auto e = v.get_object().get(obj)) return fail(e, pos);
    std::vector<std::string> seen;
    for (auto field : obj) {
      simdjson::ondemand::field f;
      if (auto e = std::move(field).get(f)) return fail(e, nullptr);
      const char* key_pos = f.key().raw() - 1;
      std::string_view key;
      if (auto e = f.unescaped_key().get(key)) return fail(e, key_pos);
      std::string name(key);
      seen.push_back(name);
      Value fv = f.value();
      TX_CHECK(each(std::move(name), fv));
    }
    return check_unique(seen, pos);
  }

  // An object with the named fields in any order (unknown keys are ignored, a key given
  // twice is an error), or an array holding the values in field order. each(i, value) is
  // called for field i; a field whose bit in `required` is set must be present.
  template <std::size_t N, class F>
  Status read_fields(Value& v, const std::array<std::string_view, N>& names, std::uint32_t required, F&& each) {
    const char* pos = start_of(v);
    std::uint32_t present = 0;
    simdjson::ondemand::json_type type;
    if (auto e = v.type().get(type)) return fail(e, pos);
    if (type == simdjson::ondemand::json_type::array) {
      std::size_t i = 0;
      TX_CHECK(read_array(v, [&](Value& item) -> Status {
        if (i >= N)
          return error_at(start_of(item), "too many values for an object of " + std::to_string(N) + " fields");
        present |= 1u << i;
        return each(i++, item);
      }));
    } else if (type == simdjson::ondemand::json_type::object) {
      simdjson::ondemand::object obj;
      if (auto e = v.get_object().get(obj)) return fail(e, pos);
      for (auto field : obj) {
        simdjson::ondemand::field f;
        if (auto e = std::move(field).get(f)) return fail(e, nullptr);
        const char* key_pos = f.key().raw() - 1;
        std::string_view key;
        if (auto e = f.unescaped_key().get(key)) return fail(e, key_pos);
        Value fv = f.value();
        std::size_t i = 0;
        while (i < N && names[i] != key) ++i;
        if (i == N) {
          TX_CHECK(skip(fv, 1));
          continue;
        }
        if (present & (1u << i)) return error_at(key_pos, "duplicate key \"" + std::string(key) + "\"");
        present |= 1u << i;
        TX_CHECK(each(i, fv));
      }
    } else {
      return error_at(pos, "expected an object");
    }
    for (std::size_t i = 0; i < N; ++i)
      if ((required & (1u << i)) && !(present & (1u << i)))
        return error_at(pos, "missing key \"" + std::string(names[i]) + "\"");
    return Ok{};
  }

  // Reads and checks a value that is not used, so that malformed text is refused there too.
  Status skip(Value& v, int depth);

 private:
  const char* location();
  Status check_unique(std::vector<std::string>& names, const char* pos) const;

  simdjson::ondemand::parser parser_;
  simdjson::padded_string text_;
  simdjson::ondemand::document doc_;
  simdjson::error_code load_error_ = simdjson::SUCCESS;
};

}  // namespace tarvex::json
