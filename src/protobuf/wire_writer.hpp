// Appending protobuf wire-format fields to a byte string: varints, tags, scalar fields
// (left out when they hold their default), packed repeated fields and nested messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex::wire_writer {

enum WireType : std::uint32_t { kVarint = 0, kLengthDelimited = 2 };

inline void varint(std::string& out, std::uint64_t v) {
  char buf[10];
  int n = 0;
  while (v >= 0x80) {
    buf[n++] = char(std::uint8_t(v) | 0x80);
    v >>= 7;
  }
  buf[n++] = char(v);
  out.append(buf, std::size_t(n));
}

inline std::size_t varint_size(std::uint64_t v) {
  std::size_t n = 1;
  while (v >= 0x80) {
    v >>= 7;
    ++n;
  }
  return n;
}

inline void tag(std::string& out, std::uint32_t field, WireType type) { varint(out, (field << 3) | type); }

// A uint64, or an enum (int32 on the wire, here never negative); 0 is not written.
inline void uint_field(std::string& out, std::uint32_t field, std::uint64_t v) {
  if (v == 0) return;
  tag(out, field, kVarint);
  varint(out, v);
}

// A field with explicit presence: written whenever present, 0 included.
inline void present_uint_field(std::string& out, std::uint32_t field, std::uint64_t v) {
  tag(out, field, kVarint);
  varint(out, v);
}

// A string or nested message whose encoding is `bytes`. An empty string is not written; a
// nested message is written whenever present, so pass `always` for those.
inline void bytes_field(std::string& out, std::uint32_t field, std::string_view bytes, bool always = false) {
  if (bytes.empty() && !always) return;
  tag(out, field, kLengthDelimited);
  varint(out, bytes.size());
  out.append(bytes);
}

inline void message_field(std::string& out, std::uint32_t field, std::string_view bytes) {
  bytes_field(out, field, bytes, true);
}

// A packed repeated uint64 field of `n` values produced by `at(i)`; nothing when empty.
template <class At>
void packed_field(std::string& out, std::uint32_t field, std::size_t n, At at) {
  if (n == 0) return;
  std::size_t size = 0;
  for (std::size_t i = 0; i < n; ++i) size += varint_size(at(i));
  tag(out, field, kLengthDelimited);
  varint(out, size);
  out.reserve(out.size() + size);
  for (std::size_t i = 0; i < n; ++i) varint(out, at(i));
}

}  // namespace tarvex::wire_writer
