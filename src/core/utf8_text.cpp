// Names from the input files as UTF-8 (see utf8_text.hpp).
#include "core/utf8_text.hpp"

#include <cstdint>

namespace bandscape {
namespace {

// The Unicode code points of Windows-1252 bytes 0x80..0x9F.
constexpr char32_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::size_t utf8_length(std::string_view s, std::size_t at, bool& partial) {
  partial = false;
  const auto b = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
  const std::uint8_t lead = b(at);
  if (lead < 0x80) return 1;
  std::size_t n = 0;
  std::uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  for (std::size_t k = 1; k < n; ++k) {
    if (at + k >= s.size()) {
      partial = true;
      return 0;
    }
    const std::uint8_t c = b(at + k);
    if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return 0;
  }
  return n;
}

std::string utf8_text(std::string_view bytes, bool& converted, std::size_t cut_length) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    bool partial = false;
    const std::size_t n = utf8_length(bytes, at, partial);
    if (n > 0) {
      out.append(bytes.substr(at, n));
      at += n;
      continue;
    }
    if (partial && cut_length > 0 && bytes.size() == cut_length) break;
    const auto byte = static_cast<std::uint8_t>(bytes[at]);
    append_utf8(out, byte >= 0x80 && byte <= 0x9F ? kWindows1252[byte - 0x80] : char32_t{byte});
    converted = true;
    ++at;
  }
  return out;
}

}  // namespace bandscape
