#include "cif/cif_encoding.h"

#include <cstdint>

namespace koravel {

namespace {

void AppendUtf8(std::uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes UTF-16 code units after the byte-order mark. An unpaired surrogate
// becomes U+FFFD; an odd last byte is dropped.
void Utf16ToUtf8(std::string_view body, bool bigEndian, std::string& out) {
  out.clear();
  out.reserve(body.size() / 2);
  auto unitAt = [&](std::size_t i) -> std::uint32_t {
    auto b0 = static_cast<unsigned char>(body[i]);
    auto b1 = static_cast<unsigned char>(body[i + 1]);
    return bigEndian ? (b0 << 8u) | b1 : (b1 << 8u) | b0;
  };
  const std::size_t n = body.size() / 2 * 2;
  for (std::size_t i = 0; i < n; i += 2) {
    std::uint32_t u = unitAt(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 2 < n) {
      std::uint32_t low = unitAt(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), out);
        i += 2;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    AppendUtf8(u, out);
  }
}

bool StartsWithBytes(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool HasUtf16ByteOrderMark(std::string_view bytes) {
  using namespace std::string_view_literals;
  return StartsWithBytes(bytes, "\xFF\xFE"sv) || StartsWithBytes(bytes, "\xFE\xFF"sv);
}

std::string_view CifTextFromBytes(std::string_view bytes, std::string& storage) {
  using namespace std::string_view_literals;
  if (StartsWithBytes(bytes, "\xEF\xBB\xBF"sv)) return bytes.substr(3);
  if (StartsWithBytes(bytes, "\xFF\xFE"sv)) {
    Utf16ToUtf8(bytes.substr(2), false, storage);
    return storage;
  }
  if (StartsWithBytes(bytes, "\xFE\xFF"sv)) {
    Utf16ToUtf8(bytes.substr(2), true, storage);
    return storage;
  }
  return bytes;
}

}  // namespace koravel
