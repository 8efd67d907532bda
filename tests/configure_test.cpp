// The build needs only a compiler, CMake and the program's libraries: without
// GoogleTest the configure step still succeeds, says why there are no tests,
// and keeps the program; without a library it stops and names the package
// and the script that installs it.
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

TEST(Configure, AMissingLibraryNamesItsPackageAndTheInstallScript) {
  const struct {
    const char* package;
    const char* message;
  } cases[] = {
      {"Eigen3", "Eigen3 not found: install the Debian package libeigen3-dev\n"},
      {"Spectra", "Spectra not found: install the Debian package libspectra-dev\n"},
      {"nlohmann_json", "nlohmann_json not found: install the Debian package nlohmann-json3-dev\n"},
      {"OpenSSL", "OpenSSL not found: install the Debian package libssl-dev\n"},
  };
  for (const auto& c : cases) {
    testing::TempDir dir;
    const std::string command = std::string("cmake -S '") + BANDSCAPE_SOURCE_DIR + "' -B build -DCMAKE_DISABLE_FIND_PACKAGE_" +
                                c.package + "=ON > configure.txt 2>&1";
    EXPECT_NE(std::system(command.c_str()), 0) << c.package;
    const std::string text = read_file("configure.txt");
    EXPECT_NE(text.find(c.message), std::string::npos) << text;
    EXPECT_NE(text.find("or run: sh tools/install-dependencies"), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace bandscape
