#include "base/encoding.h"

#include <cstdint>
#include <cstring>
#include <utility>

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

// Code points from UTF-16 code units; an unpaired surrogate is U+FFFD.
template <typename Unit>
void Utf16ToUtf8(std::size_t count, Unit unitAt, std::string& out) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t u = unitAt(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
      const std::uint32_t low = unitAt(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), out);
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    AppendUtf8(u, out);
  }
}

// Decodes UTF-16 bytes after the byte-order mark; an odd last byte is dropped.
void Utf16BytesToUtf8(std::string_view body, bool bigEndian, std::string& out) {
  out.clear();
  out.reserve(body.size() / 2);
  auto unitAt = [&](std::size_t i) -> std::uint32_t {
    const auto b0 = static_cast<unsigned char>(body[2 * i]);
    const auto b1 = static_cast<unsigned char>(body[2 * i + 1]);
    return bigEndian ? (b0 << 8u) | b1 : (b1 << 8u) | b0;
  };
  Utf16ToUtf8(body.size() / 2, unitAt, out);
}

// Whether the bytes are valid UTF-8 (RFC 3629: no overlong forms, no
// surrogates, nothing beyond U+10FFFF); plain ASCII is.
bool IsUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    // ASCII eight bytes at a time: no byte has its high bit set.
    if (std::uint64_t word; i + 8 <= bytes.size()) {
      std::memcpy(&word, bytes.data() + i, 8);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    const std::size_t length = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > bytes.size()) return false;
    const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
    // The second byte's range excludes overlong forms, surrogates and code
    // points above U+10FFFF.
    const unsigned char low = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
    if (b1 < low || b1 > high) return false;
    for (std::size_t k = 2; k < length; ++k)
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

}  // namespace

std::string_view TextFromBytes(std::string_view bytes, std::string& storage) {
  using namespace std::string_view_literals;
  if (bytes.starts_with("\xEF\xBB\xBF"sv)) return bytes.substr(3);
  if (bytes.starts_with("\xFF\xFE"sv)) {
    Utf16BytesToUtf8(bytes.substr(2), false, storage);
    return storage;
  }
  if (bytes.starts_with("\xFE\xFF"sv)) {
    Utf16BytesToUtf8(bytes.substr(2), true, storage);
    return storage;
  }
  return Utf8Text(bytes, storage);
}

std::string_view Utf8Text(std::string_view bytes, std::string& storage) {
  if (IsUtf8(bytes)) return bytes;
  // Not UTF-8: an older file's 8-bit text (a label such as SiT2´ written in
  // Latin-1), taken as ISO 8859-1, every byte its own code point, so that
  // every output is UTF-8.
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) AppendUtf8(static_cast<unsigned char>(c), text);
  storage = std::move(text);
  return storage;
}

std::string Utf8FromWide(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  if constexpr (sizeof(wchar_t) == 2) {
    Utf16ToUtf8(text.size(), [&](std::size_t i) { return static_cast<std::uint32_t>(text[i]); },
                out);
  } else {
    for (wchar_t c : text) AppendUtf8(static_cast<std::uint32_t>(c), out);
  }
  return out;
}

std::wstring WideFromUtf8(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  auto put = [&out](std::uint32_t cp) {
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (cp >> 10));
      out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<wchar_t>(cp);
    }
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    std::uint32_t cp = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
    bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c >> 6) != 2) valid = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!valid) {
      put(0xFFFD);
      ++i;
      continue;
    }
    put(cp);
    i += 1 + static_cast<std::size_t>(extra);
  }
  return out;
}

}  // namespace koravel
