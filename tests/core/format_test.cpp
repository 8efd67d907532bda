// Formatting gives glibc's text on every system.  The expected strings are what
// glibc's printf writes for these conversions (checked by hand against it);
// on Windows the same tests run against mingw-w64's C99 printf, which writes a
// NaN without its sign unless our formatting restores it.
#include "core/format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "core/output_file.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

// 0/0 as x86 computes it: the default NaN, sign bit set.
double negative_nan() { return std::copysign(std::numeric_limits<double>::quiet_NaN(), -1.0); }
double positive_nan() { return std::copysign(std::numeric_limits<double>::quiet_NaN(), 1.0); }

std::string each(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string out = vformat_each_conversion(fmt, args);
  va_end(args);
  return out;
}

TEST(Format, NegativeNanKeepsItsSignInEveryConversion) {
  const double n = negative_nan();
  EXPECT_EQ(format("%f|%e|%g|%a", n, n, n, n), "-nan|-nan|-nan|-nan");
  EXPECT_EQ(format("%F|%E|%G|%A", n, n, n, n), "-NAN|-NAN|-NAN|-NAN");
  // Padded with blanks to the width, the '0' flag notwithstanding.
  EXPECT_EQ(format("[%10.4f][%-7.2f][%08.3f][%3f]", n, n, n, n), "[      -nan][-nan   ][    -nan][-nan]");
  // A NaN without its sign bit prints as both libraries print it.
  const double p = positive_nan();
  EXPECT_EQ(format("%f|%+f|% f|%6.1f", p, p, p, p), "nan|+nan| nan|   nan");
  EXPECT_EQ(format("%f %f", -std::numeric_limits<double>::infinity(), -0.0), "-inf -0.000000");
}

TEST(Format, ConversionByConversionMatchesTheWholeFormat) {
  const double n = negative_nan();
  const char* name = "nancy";
  // Every kind of argument, '*' width and precision among them, so that each
  // argument is taken with its own type.
  const std::string expected = "nancy   42 -0000042 3.142 -nan |ab  |x 7fffffffffffffff 18446744073709551615 %";
  EXPECT_EQ(each("%s %4d %08d %*.*f %-5f|%-4.2s|%c %llx %zu %%", name, 42, -42, 5, 3, 3.14159, n, "abc", 'x',
                 static_cast<long long>(INT64_MAX), static_cast<std::size_t>(UINT64_MAX)),
            expected);
  EXPECT_EQ(format("%s %4d %08d %*.*f %-5f|%-4.2s|%c %llx %zu %%", name, 42, -42, 5, 3, 3.14159, n, "abc", 'x',
                   static_cast<long long>(INT64_MAX), static_cast<std::size_t>(UINT64_MAX)),
            expected);
  // A negative '*' width left-justifies; a negative '*' precision is none.
  EXPECT_EQ(each("[%*d][%.*f][%*f]", -4, 7, -1, 0.5, 6, n), "[7   ][0.500000][  -nan]");
  EXPECT_EQ(each("%ld %hd %Lg %e", -5L, 70000, 0.25L, 1.5e-300), "-5 4464 0.25 1.500000e-300");
}

TEST(Format, FormatIntoTruncatesLikeSnprintf) {
  const double n = negative_nan();
  char out[4];
  EXPECT_EQ(format_into(out, sizeof out, "ab%fcd", n), 8);
  EXPECT_STREQ(out, "ab-");
  char room[16];
  EXPECT_EQ(format_into(room, sizeof room, "%.2f %s", n, "x"), 6);
  EXPECT_STREQ(room, "-nan x");
}

TEST(Format, FilesGetTheSignedNanToo) {
  testing::TempDir dir;
  OutputFile out;
  ASSERT_TRUE(out.open("t.txt", OpenMode::kTruncate, Links::kFollow));
  out.print("%10.4f\n", negative_nan());
  out.close();
  EXPECT_EQ(testing::read_file("t.txt"), "      -nan\n");
}

TEST(Format, PermutationPValueText) {
  // Decimals for 1 / (n + 1), at least 3: 1/1000 needs 3, 1/10000 needs 4.
  struct Case {
    double p;
    int permutations;
    const char* text;
  };
  const Case cases[] = {{0.001, 999, "P = 0.001"},      {0.0001, 9999, "P = 0.0001"}, {0.5, 9, "P = 0.500"},
                        {0.0421, 99, "P = 0.042"},      {1.0, 0, "P = 1.000"},        {0.01, 99999, "P = 0.01000"},
                        {std::nan(""), 99, "P undefined"}};
  for (const Case& c : cases) EXPECT_EQ(p_value_text(c.p, c.permutations), c.text) << c.p;
}

}  // namespace
}  // namespace bandscape
