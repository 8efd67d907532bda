// The build needs only a compiler and CMake: without GoogleTest the configure
// step still succeeds, says why there are no tests, and keeps the program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::read_file;

TEST(Configure, WithoutGoogleTestTheProgramStillConfigures) {
  testing::TempDir dir;
  const std::string command = std::string("cmake -S '") + BANDSCAPE_SOURCE_DIR +
                              "' -B build -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON > configure.txt 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << read_file("configure.txt");
  EXPECT_NE(read_file("configure.txt").find("GoogleTest not found: the tests are not built"), std::string::npos);
  const std::string makefile = read_file("build/Makefile");
  EXPECT_NE(makefile.find("\nbandscape:"), std::string::npos);
  EXPECT_EQ(makefile.find("bandscape_tests"), std::string::npos);
}

}  // namespace
}  // namespace bandscape
