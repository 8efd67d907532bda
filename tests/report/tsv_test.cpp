// The number cells of the tidy tables: "%.9g" and "%.17g" as printf writes
// them (printf is the independent reference), NA for what is not finite.
#include "report/tables/tsv.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace bandscape {
namespace {

std::string printf_g(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

TEST(TsvNumbers, AreWhatPrintfWritesAndReadBackExactly) {
  const float singles[] = {0.0f, -0.0f, 1.0f, 0.1f, -0.00963142142f, 1e-5f, 123456789.0f, 1e16f, 3.4e38f,
                           1e-45f /* subnormal */, 0.0530896373f};
  for (float v : singles) EXPECT_EQ(tsv_single(v), printf_g("%.9g", v)) << v;
  EXPECT_EQ(tsv_single(-0.0f), "-0");
  EXPECT_EQ(tsv_single(1e-5f), "9.99999975e-06");
  std::mt19937 gen(20261208);
  for (int k = 0; k < 20000; ++k) {
    std::uint32_t bits = gen();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    if (!std::isfinite(f)) continue;
    ASSERT_EQ(tsv_single(f), printf_g("%.9g", f)) << bits;
    ASSERT_EQ(std::strtof(tsv_single(f).c_str(), nullptr), f) << bits;
    const double d = std::ldexp(static_cast<double>(gen()) + 0.5, static_cast<int>(gen() % 200) - 100);
    ASSERT_EQ(tsv_double(d), printf_g("%.17g", d));
    ASSERT_EQ(std::strtod(tsv_double(d).c_str(), nullptr), d);
  }
  EXPECT_EQ(tsv_double(-std::numeric_limits<double>::denorm_min()), "-4.9406564584124654e-324");
  for (double v : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(tsv_double(v), "NA");
    EXPECT_EQ(tsv_single(static_cast<float>(v)), "NA");
  }
}

}  // namespace
}  // namespace bandscape

namespace bandscape {
namespace {

// A cell is quoted only when it holds a double quote, a tab or a line end,
// with inner quotes doubled (RFC 4180); R's read.delim and pandas read such a
// cell back whole (checked end to end in tests/e2e/results_safety_test.cpp).
TEST(TsvText, QuotesOnlyTheCellsThatWouldSplitOrEndARow) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Alpine", "Alpine"},
      {"Val d'Hérens", "Val d'Hérens"},
      {"", ""},
      {"a\"b", "\"a\"\"b\""},
      {"\"", "\"\"\"\""},
      {"a\tb", "\"a\tb\""},
      {"line\nend", "\"line\nend\""},
      {"cr\r", "\"cr\r\""},
  };
  for (const auto& [name, cell] : cases) EXPECT_EQ(tsv_text(name), cell) << name;
}

}  // namespace
}  // namespace bandscape
