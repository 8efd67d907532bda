// printf-style formatting into a std::string.
#include "core/format.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace bandscape {
namespace {

// Whether the C library writes a NaN without its sign: decided once by
// formatting one (mingw-w64 does, glibc does not).
bool library_drops_nan_sign() {
  static const bool drops = [] {
    volatile double zero = 0.0;
    const double negative_nan = std::copysign(zero / zero, -1.0);
    char text[16];
    std::snprintf(text, sizeof text, "%f", negative_nan);
    return text[0] != '-';
  }();
  return drops;
}

bool mentions_nan(const char* text, std::size_t n) {
  for (std::size_t i = 0; i + 3 <= n; ++i) {
    if ((text[i] == 'n' || text[i] == 'N') && (text[i + 1] == 'a' || text[i + 1] == 'A') &&
        (text[i + 2] == 'n' || text[i + 2] == 'N')) {
      return true;
    }
  }
  return false;
}

// One conversion `directive` (its '*' already replaced by numbers) applied to
// `value`.
template <typename T>
void append_one(std::string& out, const std::string& directive, T value) {
  char small[128];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int n = std::snprintf(small, sizeof small, directive.c_str(), value);
  if (n < 0) return;
  if (static_cast<std::size_t>(n) < sizeof small) {
    out.append(small, static_cast<std::size_t>(n));
    return;
  }
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), directive.c_str(), value);
#pragma GCC diagnostic pop
  out.append(big.data(), static_cast<std::size_t>(n));
}

}  // namespace

std::string vformat_each_conversion(const char* fmt, va_list args) {
  std::string out;
  const char* p = fmt;
  while (*p != '\0') {
    if (*p != '%') {
      const char* next = std::strchr(p, '%');
      if (next == nullptr) next = p + std::strlen(p);
      out.append(p, static_cast<std::size_t>(next - p));
      p = next;
      continue;
    }
    ++p;
    if (*p == '%') {
      out += '%';
      ++p;
      continue;
    }
    std::string flags;
    while (*p != '\0' && std::strchr("-+ #0'", *p) != nullptr) flags += *p++;
    int width = -1;
    if (*p == '*') {
      width = va_arg(args, int);
      ++p;
      if (width < 0) {  // a negative width argument means the '-' flag
        flags += '-';
        width = -width;
      }
    } else if (*p >= '0' && *p <= '9') {
      width = 0;
      while (*p >= '0' && *p <= '9') width = 10 * width + (*p++ - '0');
    }
    int precision = -1;
    if (*p == '.') {
      ++p;
      precision = 0;
      if (*p == '*') {
        precision = va_arg(args, int);  // negative: as if none was given
        ++p;
      } else {
        while (*p >= '0' && *p <= '9') precision = 10 * precision + (*p++ - '0');
      }
    }
    std::string length;
    while (*p != '\0' && std::strchr("hlLqjzt", *p) != nullptr) length += *p++;
    const char conversion = *p;
    if (conversion == '\0') break;
    ++p;
    std::string directive = "%" + flags;
    if (width >= 0) directive += std::to_string(width);
    if (precision >= 0) directive += "." + std::to_string(precision);
    directive += length;
    directive += conversion;
    const bool left = flags.find('-') != std::string::npos;

    switch (conversion) {
      case 'd': case 'i': case 'o': case 'u': case 'x': case 'X':
        if (length == "ll" || length == "q") append_one(out, directive, va_arg(args, long long));
        else if (length == "l") append_one(out, directive, va_arg(args, long));
        else if (length == "j") append_one(out, directive, va_arg(args, std::intmax_t));
        else if (length == "z") append_one(out, directive, va_arg(args, std::size_t));
        else if (length == "t") append_one(out, directive, va_arg(args, std::ptrdiff_t));
        else append_one(out, directive, va_arg(args, int));  // hh, h and none: promoted to int
        break;
      case 'c':
        if (length == "l") append_one(out, directive, static_cast<std::wint_t>(va_arg(args, int)));
        else append_one(out, directive, va_arg(args, int));
        break;
      case 's':
        if (length == "l") append_one(out, directive, va_arg(args, const wchar_t*));
        else append_one(out, directive, va_arg(args, const char*));
        break;
      case 'p':
        append_one(out, directive, va_arg(args, void*));
        break;
      case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': {
        const long double value = length == "L" ? va_arg(args, long double) : va_arg(args, double);
        if (std::isnan(value) && std::signbit(value)) {
          const bool upper = conversion == 'F' || conversion == 'E' || conversion == 'G' || conversion == 'A';
          const std::string text = upper ? "-NAN" : "-nan";
          const std::size_t pad = width > 4 ? static_cast<std::size_t>(width) - 4 : 0;
          if (!left) out.append(pad, ' ');  // a NaN is padded with blanks even with the '0' flag
          out += text;
          if (left) out.append(pad, ' ');
        } else if (length == "L") {
          append_one(out, directive, value);
        } else {
          append_one(out, directive, static_cast<double>(value));
        }
        break;
      }
      case 'n':  // nothing is written; the count is not stored
        (void)va_arg(args, void*);
        break;
      default:  // not a conversion: written as it stands
        out += directive;
        break;
    }
  }
  return out;
}

int vformat_into(char* out, std::size_t size, const char* fmt, va_list args) {
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(out, size, fmt, args);
  if (n < 0 || !library_drops_nan_sign()) {
    va_end(again);
    return n;
  }
  // A NaN can only be among the conversions when "nan" is in the text.
  const bool whole = static_cast<std::size_t>(n) < size;
  if (whole && !mentions_nan(out, static_cast<std::size_t>(n))) {
    va_end(again);
    return n;
  }
  const std::string text = vformat_each_conversion(fmt, again);
  va_end(again);
  if (size > 0) {
    const std::size_t kept = text.size() < size ? text.size() : size - 1;
    std::memcpy(out, text.data(), kept);
    out[kept] = '\0';
  }
  return static_cast<int>(text.size());
}

int format_into(char* out, std::size_t size, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const int n = vformat_into(out, size, fmt, args);
  va_end(args);
  return n;
}

std::string vformat(const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[512];
  const int n = vformat_into(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');
  vformat_into(out.data(), out.size(), fmt, args);
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string out = vformat(fmt, args);
  va_end(args);
  return out;
}

std::string p_value_text(double p, int permutations) {
  if (!std::isfinite(p)) return "P undefined";
  const int decimals = std::max(3, static_cast<int>(std::ceil(std::log10(std::max(permutations, 1) + 1.0) - 1e-9)));
  return format("P = %.*f", decimals, p);
}

}  // namespace bandscape
