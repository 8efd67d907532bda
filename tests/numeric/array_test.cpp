// Offset-indexed vectors and matrices: bounds, layout, allocation failure.
#include "numeric/array.hpp"

#include <gtest/gtest.h>

#include "core/message_log.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

TEST(OffsetArrays, VectorBoundsAreInclusive) {
  IVector one = int_vector(0, 0);
  one[0] = 7;
  EXPECT_EQ(one[0], 7);
  EXPECT_EQ(one.size(), 1);
  FVector none = float_vector(1, 0);  // no usable element
  EXPECT_EQ(none.size(), 0);
  DVector d = double_vector(-2, 2);
  for (int i = -2; i <= 2; ++i) d[i] = i * 1.5;
  EXPECT_EQ(d.begin() + 4, &d[2]);
  EXPECT_DOUBLE_EQ(d[-2], -3.0);
}

TEST(OffsetArrays, MatrixRowsAreContiguous) {
  FMatrix a = float_matrix(1, 3, 1, 4);
  EXPECT_EQ(&a[1][4] + 1, &a[2][1]);
  EXPECT_EQ(&a[3][4], a.data() + 11);
  EXPECT_EQ(a.element_count(), 12u);
  IMatrix b = int_matrix(0, 1, 0, 2);
  b[1][2] = 5;
  EXPECT_EQ(b.at(1, 2), 5);
  EXPECT_EQ(b[0][0], 0);  // elements start zeroed
}

// The allocator only names the failure; the run's top level shows it and
// appends it to "erreur" in the run's output folder.
TEST(OffsetArrays, AllocationFailureThrowsItsMessage) {
  testing::TempDir dir;
  try {
    IMatrix huge = int_matrix(0, 2000000000, 0, 2000000000);
    FAIL() << "allocation of 4e18 ints succeeded";
  } catch (const AllocationError& e) {
    EXPECT_EQ(e.status(), 1);
    EXPECT_STREQ(e.what(), "\nallocation failure 2 in imatrix()");
  }
  EXPECT_FALSE(std::filesystem::exists("erreur"));
}

TEST(OffsetArrays, SquareKeepsDoublePrecision) {
  const float x = 0.1f;
  EXPECT_EQ(square(x), static_cast<double>(x) * static_cast<double>(x));
  EXPECT_NE(square(x), static_cast<double>(x * x));
}

}  // namespace
}  // namespace bandscape
