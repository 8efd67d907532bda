// The run driver in-process, for what a run of the program cannot show from
// outside: a report that cannot be opened while some tables are written.  The
// report is replaced by a folder of the same name when the seed is drawn
// (right before Table 1) and put back when the bootstrap starts, so Tables 1
// to 3 and the distance blocks cannot be written and everything else can.
#include "app/driver.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "app/command_line.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;

// Collects the console text; `on_print` sees every text before it is kept.
class HookConsole : public Console {
 public:
  std::function<void(const std::string&)> on_print = [](const std::string&) {};
  std::string text;
  void print(const std::string& t) override {
    on_print(t);
    text += t;
  }
  Answer read_answer() override {
    Answer end;
    end.kind = Answer::kEnd;
    return end;
  }
  void wait_for_key() override { text += "<key>"; }
};

CommandLine batch_run(bool batch) {
  CommandLine cl;
  cl.batch = batch;
  cl.input_given = cl.output_given = true;
  cl.options.input_file = "aflpdata.txt";
  cl.options.output_file = "aflpout.txt";
  cl.method_given = cl.fis_given = cl.permutations_given = cl.bootstraps_given = true;
  cl.options.bootstraps = 2;
  cl.threads = 1;
  return cl;
}

struct RunResult {
  int status = -1;
  std::string console;
  std::string report;
};

RunResult run(bool batch, bool hide_report) {
  TempDir dir;
  fs::copy_file(fs::path(BANDSCAPE_TEST_DATA) / "e2e" / "four_pops.txt", "aflpdata.txt");
  HookConsole console;
  console.on_print = [&](const std::string& text) {
    if (hide_report && text.find("Starting bootstraps") != std::string::npos) {
      fs::remove("aflpout.txt");
      fs::rename("kept.txt", "aflpout.txt");
    }
  };
  auto seed = [hide_report]() -> long {
    if (hide_report) {
      fs::rename("aflpout.txt", "kept.txt");
      fs::create_directory("aflpout.txt");
    }
    return 5;
  };
  RunResult out;
  ::testing::internal::CaptureStdout();
  out.status = run_bandscape(console, batch_run(batch), seed);
  ::testing::internal::GetCapturedStdout();
  out.console = console.text;
  out.report = read_file("aflpout.txt");
  return out;
}

TEST(RunDriver, TablesThatCannotBeWrittenAreCountedInTheClosingLine) {
  const RunResult full = run(true, false);
  EXPECT_EQ(full.status, 0);
  const std::string normal = "\n\nThe program has finished normally.\n";
  ASSERT_GE(full.console.size(), normal.size());
  EXPECT_EQ(full.console.substr(full.console.size() - normal.size()), normal);

  // The report lacks Tables 1, 2 and 3 and the distance blocks, and nothing else.
  const size_t from = full.report.find("\n\nTable 1");
  const size_t to = full.report.find("\n\n2 bootstrapped");
  ASSERT_NE(from, std::string::npos);
  ASSERT_NE(to, std::string::npos);
  const std::string expected = full.report.substr(0, from) + full.report.substr(to);
  const std::string closing = "\n\nThe program has finished, but 4 tables could not be written to file aflpout.txt\n";

  const RunResult batch = run(true, true);
  EXPECT_EQ(batch.status, 1);
  EXPECT_EQ(batch.report, expected);
  ASSERT_GE(batch.console.size(), closing.size());
  EXPECT_EQ(batch.console.substr(batch.console.size() - closing.size()), closing);

  // Interactive: the same line, then the usual wait for a key.
  const RunResult interactive = run(false, true);
  EXPECT_EQ(interactive.status, 1);
  EXPECT_EQ(interactive.report, expected);
  const std::string tail = closing + "Press Return to close the window.<key>";
  ASSERT_GE(interactive.console.size(), tail.size());
  EXPECT_EQ(interactive.console.substr(interactive.console.size() - tail.size()), tail);
}

}  // namespace
}  // namespace bandscape
