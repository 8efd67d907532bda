// printf-style formatting into a std::string.  Every number the program prints
// goes through the C printf family, so field widths and rounding follow the
// C library's conversions exactly.
#pragma once

#include <cstdarg>
#include <string>

namespace bandscape {

// printf-style formatting into a std::string (no length limit).
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* fmt, va_list args);

}  // namespace bandscape
