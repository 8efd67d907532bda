#include "core/fixed_format.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "core/format.hpp"

namespace bandscape {

int format_int(char* out, int v) {
  char tmp[12];
  int n = 0;
  // Work on the negative value so that INT_MIN needs no special case.
  int neg = v < 0 ? v : -v;
  do {
    tmp[n++] = static_cast<char>('0' - neg % 10);
    neg /= 10;
  } while (neg != 0);
  int len = 0;
  if (v < 0) out[len++] = '-';
  while (n > 0) out[len++] = tmp[--n];
  return len;
}

int format_fixed(char* out, double v, int decimals) {
  static constexpr std::uint64_t kPow10[] = {1,         10,         100,         1000,         10000,
                                             100000,    1000000,    10000000,    100000000,    1000000000};
  if (decimals < 0 || decimals > 9 || !std::isfinite(v) || std::fabs(v) >= 1.0e15) {
    return format_into(out, kFixedTextMax, "%.*f", decimals, v);
  }
  // v = N 2^E exactly, N an integer below 2^53.
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t N = biased == 0 ? fraction : (fraction | (std::uint64_t{1} << 52));
  const int E = biased == 0 ? -1074 : biased - 1075;
  const std::uint64_t scale = kPow10[decimals];

  std::uint64_t whole = 0;
  std::uint64_t digits = 0;  // the decimals, as an integer below scale
  if (E >= 0) {
    whole = N << E;  // below 1e15
  } else {
    const int s = -E;
    const std::uint64_t rest = s < 64 ? (N & ((std::uint64_t{1} << s) - 1)) : N;
    whole = s < 64 ? N >> s : 0;
    // rest / 2^s times 10^decimals, rounded to nearest with ties to even.
    const unsigned __int128 prod = static_cast<unsigned __int128>(rest) * scale;  // below 2^83
    if (s < 128) {
      const unsigned __int128 q = prod >> s;
      const unsigned __int128 rem = prod & ((static_cast<unsigned __int128>(1) << s) - 1);
      const unsigned __int128 half = static_cast<unsigned __int128>(1) << (s - 1);
      digits = static_cast<std::uint64_t>(q);
      if (rem > half || (rem == half && (digits & 1) != 0)) ++digits;
    }  // else the scaled fraction is below 2^-45: rounds to 0
    if (digits == scale) {
      digits = 0;
      ++whole;
    }
  }
  int len = 0;
  if (negative) out[len++] = '-';
  char tmp[20];
  int n = 0;
  do {
    tmp[n++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  while (n > 0) out[len++] = tmp[--n];
  if (decimals > 0) {
    out[len++] = '.';
    for (int i = decimals - 1; i >= 0; --i) {
      out[len + i] = static_cast<char>('0' + digits % 10);
      digits /= 10;
    }
    len += decimals;
  }
  return len;
}

}  // namespace bandscape
