// printf-style formatting into a std::string.  Every number the program prints
// goes through the C printf family, so field widths and rounding follow the
// C library's conversions exactly.
//
// The files must hold the same bytes on every system.  glibc and mingw-w64's
// C99 printf (__USE_MINGW_ANSI_STDIO) agree on every conversion but one: a NaN
// whose sign bit is set (what 0/0 gives on x86) prints "-nan" with glibc and
// "nan" with mingw-w64.  format_into and vformat_into give glibc's text on
// both; everything the program writes is formatted through them.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

// The printf format check of the compiler; mingw-w64 names the C99 one
// gnu_printf (plain printf there means the system's msvcrt conventions).
#ifdef __MINGW32__
#define BANDSCAPE_PRINTF(format_index, first_argument) \
  __attribute__((format(gnu_printf, format_index, first_argument)))
#else
#define BANDSCAPE_PRINTF(format_index, first_argument) __attribute__((format(printf, format_index, first_argument)))
#endif

namespace bandscape {

// printf-style formatting into a std::string (no length limit).
std::string format(const char* fmt, ...) BANDSCAPE_PRINTF(1, 2);
std::string vformat(const char* fmt, va_list args);

// vsnprintf with glibc's text for a NaN: at most size - 1 characters and a
// terminating zero into `out`; returns the length of the whole text.
int format_into(char* out, std::size_t size, const char* fmt, ...) BANDSCAPE_PRINTF(3, 4);
int vformat_into(char* out, std::size_t size, const char* fmt, va_list args);

// The text of `fmt` formatted one conversion at a time, a NaN with its sign
// bit set written "-nan" ("-NAN" for the upper-case conversions) in the field
// width, as glibc writes it.  The slow path of vformat_into where the C
// library drops that sign; every conversion of C99 printf but %n is handled.
std::string vformat_each_conversion(const char* fmt, va_list args);

// A permutation P value as figures and summary.html show it: "P = 0.001",
// with as many decimals as the smallest possible value 1 / (permutations + 1)
// needs (at least 3), and "P undefined" for a P that is not finite.
std::string p_value_text(double p, int permutations);

}  // namespace bandscape
