// The results folder (--results): its tables hold what the report holds, and
// asking for it changes no byte of the classic files, whatever the threads.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/run_program.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;

const fs::path kData = fs::path(BANDSCAPE_TEST_DATA) / "e2e";

const std::vector<std::string> kClassicFiles = {"report.txt",   "error.txt",    "structure.txt", "resample.txt",
                                                "aflp_nei.txt", "aflp_fst.txt", "aflp_reyn.txt"};

// The classic files of one batch run in `folder`, read back in kClassicFiles order.
std::vector<std::string> classic_run(const fs::path& folder, const std::string& options) {
  if (!fs::exists("data.txt")) fs::copy_file(kData / "four_pops.txt", "data.txt");
  const auto out = testing::run_program("--batch --seed 4711 -p 60 -b 6 --outdir '" + folder.string() + "' " +
                                        options + " data.txt report.txt");
  EXPECT_EQ(out.status, 0) << out.console;
  std::vector<std::string> files;
  for (const std::string& name : kClassicFiles) files.push_back(read_file(folder / name));
  return files;
}

TEST(ResultsFolder, ClassicFilesAreTheSameWithAndWithoutItForEveryThreadCount) {
  TempDir dir;
  const std::vector<std::string> reference = classic_run("plain", "--threads 1");
  for (const char* threads : {"1", "2", "7"}) {
    const std::vector<std::string> files =
        classic_run(std::string("with") + threads, std::string("--results tables --threads ") + threads);
    for (std::size_t k = 0; k < files.size(); ++k) EXPECT_TRUE(files[k] == reference[k]) << kClassicFiles[k];
    EXPECT_TRUE(fs::exists(fs::path(std::string("with") + threads) / "tables" / "individuals.tsv"));
  }
}

TEST(ResultsFolder, IndividualsKeepTheirNamesAndIndices) {
  TempDir dir;
  fs::copy_file(kData / "three_pops.txt", "data.txt");
  const auto out = testing::run_program("--batch --results out data.txt report.txt");
  ASSERT_EQ(out.status, 0) << out.console;
  // Rows in data-file order, numbered as in Table 6; the names as written in the data file.
  std::string expected = "index\tindividual\tpopulation\n";
  const int sizes[] = {7, 6, 5};
  int index = 1;
  for (int p = 0; p < 3; ++p) {
    for (int i = 0; i < sizes[p]; ++i) {
      expected += std::to_string(index++) + "\tind" + std::to_string(i) + "\tpop" + std::to_string(p + 1) + "\n";
    }
  }
  EXPECT_EQ(read_file("out/individuals.tsv"), expected);
}

}  // namespace
}  // namespace bandscape
