// run.json's building blocks: the SHA-256 of a file, the UTC time stamps and
// the record's fields.
#include "report/record/run_record.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::TempDir;
using testing::write_file;

TEST(FileSha256, MatchesThePublishedTestVectors) {
  TempDir dir;
  // FIPS 180-2, appendix B: "abc", and one million "a" (more than the read
  // buffer holds); the empty message from the same standard's algorithm.
  write_file("abc", "abc");
  write_file("empty", "");
  write_file("million", std::string(1000000, 'a'));
  EXPECT_EQ(file_sha256("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(file_sha256("empty"), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(file_sha256("million"), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_EQ(file_sha256("no such file"), "");
  const auto entry = RunRecord::file_entry("abc");
  EXPECT_EQ(entry["bytes"], 3);
  EXPECT_TRUE(RunRecord::file_entry("no such file")["sha256"].is_null());
#ifndef _WIN32
  // A pipe is not read again (that would wait for a writer for ever).
  ASSERT_EQ(mkfifo("pipe", 0600), 0);
  EXPECT_TRUE(RunRecord::file_entry("pipe")["bytes"].is_null());
  EXPECT_TRUE(RunRecord::file_entry("pipe")["sha256"].is_null());
#endif
}

TEST(UtcTimestamp, IsIso8601WithSeconds) {
  using std::chrono::seconds;
  using std::chrono::system_clock;
  EXPECT_EQ(utc_timestamp(system_clock::time_point(seconds(0))), "1970-01-01T00:00:00Z");
  // 10^9 s after the epoch: 11574 days (2001-09-09) and 6400 s.
  EXPECT_EQ(utc_timestamp(system_clock::time_point(seconds(1000000000))), "2001-09-09T01:46:40Z");
}

TEST(RunRecord, HoldsSectionsWarningsStepsAndTheEnd) {
  RunRecord record("BANDSCAPE", "1.0");
  record.add_section("tree", {{"method", "UPGMA"}});
  record.add_section("tree", {{"method", "NJ"}});  // replaced, not doubled
  record.add_warning("\n\nWarning! one");
  record.add_warning("\nseed:-5");
  record.step("read");
  record.step("read");
  record.step("frequencies");
  const auto json = nlohmann::ordered_json::parse(record.finish(1, "\ncannot open file x"));
  EXPECT_EQ(json["program"], "BANDSCAPE");
  EXPECT_EQ(json["tree"]["method"], "NJ");
  EXPECT_EQ(json["warnings"], nlohmann::ordered_json({"Warning! one", "seed:-5"}));
  EXPECT_EQ(json["steps_seconds"].size(), 2u);  // "read" accumulated
  EXPECT_GE(json["steps_seconds"]["read"].get<double>(), 0.0);
  EXPECT_EQ(json["exit_status"], 1);
  EXPECT_EQ(json["error"], "cannot open file x");
  EXPECT_EQ(json["status"], "failed");
  // Fields in the order they were set, the end last.
  std::vector<std::string> keys;
  for (const auto& item : json.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"program", "version", "start_time", "status", "tree", "end_time",
                                            "wall_seconds", "steps_seconds", "warnings", "exit_status", "error"}));
  EXPECT_FALSE(nlohmann::ordered_json::parse(record.finish(0)).contains("error"));
  EXPECT_EQ(nlohmann::ordered_json::parse(record.finish(0))["status"], "complete");
}

}  // namespace
}  // namespace bandscape
