// The checked file writer and the identity of the run's files.  /dev/full
// accepts every open and fails every write with ENOSPC, as a full disk does.
#include "core/output_file.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/message_log.hpp"
#include "core/run_files.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

std::string failure_text(const std::string& file, int error) {
  return "\nerror in writing file " + file + ": " + std::strerror(error);
}

TEST(OutputFile, FullDiskFailsAtTheWriteOrAtTheClose) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  {
    // A short text stays in the buffer until the close, which fails.
    OutputFile out;
    ASSERT_TRUE(out.open("/dev/full", OpenMode::kAppend, Links::kFollow));
    out.print("%d", 42);
    try {
      out.close();
      FAIL() << "close of /dev/full succeeded";
    } catch (const OutputError& e) {
      EXPECT_EQ(e.what(), failure_text("/dev/full", ENOSPC));
      EXPECT_EQ(e.file(), "/dev/full");
    }
  }
  {
    // A text larger than the buffer goes straight to the system.
    OutputFile out;
    ASSERT_TRUE(out.open("/dev/full", OpenMode::kTruncate, Links::kFollow));
    EXPECT_THROW(out.write(std::string(1 << 17, 'x')), OutputError);
  }
  // The append operations report it the same way.
  EXPECT_THROW(append_to_file("/dev/full", "\nline"), OutputError);
}

TEST(OutputFile, AppendTruncateAndSymbolicLinks) {
  TempDir dir;
  write_file("a.txt", "old");
  {
    OutputFile out;
    ASSERT_TRUE(out.open("a.txt", OpenMode::kAppend, Links::kRefuse));
    out.print("%5.2f|%s", 1.0 / 3.0, std::string(600, 'y').c_str());  // longer than one formatting step
    out.close();
  }
  EXPECT_EQ(read_file("a.txt"), "old 0.33|" + std::string(600, 'y'));
  if (!testing::make_symlink("a.txt", "link.txt")) GTEST_SKIP() << "no symbolic link can be made here";
  {
    OutputFile out;
    try {
      out.open("link.txt", OpenMode::kTruncate, Links::kRefuse);
      FAIL() << "a link was opened";
    } catch (const OutputError& e) {
      EXPECT_STREQ(e.what(), "\ncannot open file link.txt: it is a symbolic link");
    }
    EXPECT_THROW(truncate_file("link.txt", Links::kRefuse), OutputError);
    EXPECT_EQ(read_file("a.txt"), "old 0.33|" + std::string(600, 'y'));
    // The report may be a link: it is followed.
    EXPECT_TRUE(truncate_file("link.txt", Links::kFollow));
    EXPECT_EQ(read_file("a.txt"), "");
  }
  // A folder in the way is a file that cannot be opened, not an error.
  fs::create_directory("dir.txt");
  OutputFile out;
  EXPECT_FALSE(out.open("dir.txt", OpenMode::kAppend, Links::kRefuse));
}

// Two names are one file when they reach the same inode (hard and symbolic
// links) or, when one of them is missing, the same absolute path.
TEST(RunFilePaths, SameFileByInodeOrByPath) {
  TempDir dir;
  write_file("d.txt", "data");
  fs::create_directory("sub");
  fs::create_hard_link("d.txt", "sub/hard.txt");
  write_file("other.txt", "data");
  EXPECT_TRUE(same_file("d.txt", "sub/hard.txt"));
  EXPECT_TRUE(same_file("sub/../d.txt", (dir.path() / "d.txt").string()));
  EXPECT_FALSE(same_file("d.txt", "other.txt"));  // the same bytes, another file
  EXPECT_FALSE(same_file("d.txt", "sub/d.txt"));
  EXPECT_FALSE(same_file("sub/missing.txt", "missing.txt"));
  EXPECT_TRUE(same_file("new/../missing.txt", "missing.txt"));
  if (testing::make_symlink("../d.txt", "sub/soft.txt") && testing::make_symlink("missing.txt", "dangling.txt")) {
    EXPECT_TRUE(same_file("sub/soft.txt", "d.txt"));
    EXPECT_TRUE(same_file("new/../missing.txt", "dangling.txt"));
  }

  const RunFiles files = run_files("out/a");
  EXPECT_EQ(files.error_log, "out/a/error.txt");
  EXPECT_EQ(files.allocation_log, "out/a/erreur");
  EXPECT_EQ(files.bootstrap[2], "out/a/aflp_reyn.txt");
  EXPECT_EQ(in_folder("out/a", "/tmp/r.txt"), "/tmp/r.txt");
  EXPECT_EQ(run_files("").structure, "structure.txt");
}

}  // namespace
}  // namespace bandscape
