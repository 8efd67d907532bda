// The AMOVA, principal coordinates and band-pattern tables of --results, from
// whole runs of the program.
//
// The expected tables in tests/data/e2e/expected/results_two (no groups) and
// results_groups (tests/data/e2e/groups.txt: Alpine + Dinaric, Baltic_coast +
// Carpathians) were written by the program and checked with
// tests/e2e/amova_results_reference.R (its output is stored beside them as
// r_check.txt): every sum of squares, variance component, percentage and Phi
// against R's ade4 amova, pairwise PhiPT against ade4 on each pair, the
// individuals' and PhiPT principal coordinates against cmdscale, all within
// 1e-9; the Nei, Fst and Reynolds ordinations against cmdscale of the report's
// 4-decimal matrices (within 2e-3); the band table from its definitions.  The
// permuted values and P values come from the keyed streams, which no other
// program draws; their counting rule is tested in tests/amova.
// BANDSCAPE_UPDATE_EXPECTED=1 rewrites the expected tables (and the run's
// report.txt, which the R check reads); rerun the R check before committing them.
#include <gtest/gtest.h>

#include <cstdlib>
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
using testing::write_file;

const fs::path kData = fs::path(BANDSCAPE_TEST_DATA) / "e2e";

const std::vector<std::string> kTables = {
    "amova.tsv",          "amova_permutations.tsv",   "phipt_pairwise.tsv",           "pcoa_individuals.tsv",
    "pcoa_individuals_eigenvalues.tsv", "pcoa_nei.tsv", "pcoa_nei_eigenvalues.tsv", "pcoa_fst.tsv",
    "pcoa_fst_eigenvalues.tsv",         "pcoa_reynolds.tsv", "pcoa_reynolds_eigenvalues.tsv", "pcoa_phipt.tsv",
    "pcoa_phipt_eigenvalues.tsv",       "bands.tsv"};

// A batch run on four_pops.txt (method 1, 99 permutations) into folder/tables.
testing::Outcome results_run(const std::string& folder, const std::string& extra) {
  if (!fs::exists("data.txt")) fs::copy_file(kData / "four_pops.txt", "data.txt");
  for (const char* subset : {"groups.txt", "subset.txt"}) {
    if (!fs::exists(subset)) fs::copy_file(kData / subset, subset);
  }
  return testing::run_program("--batch --seed 4711 -m 1 --amova-permutations 99 --outdir " + folder +
                              " --results tables " + extra + " data.txt report.txt");
}

void expect_tables(const std::string& case_name, const fs::path& folder) {
  const fs::path dir = kData / "expected" / case_name;
  const bool update = std::getenv("BANDSCAPE_UPDATE_EXPECTED") != nullptr;
  for (const std::string& name : kTables) {
    const std::string actual = read_file(folder / name);
    if (update) {
      fs::create_directories(dir);
      write_file(dir / name, actual);
      continue;
    }
    EXPECT_EQ(actual, read_file(dir / name)) << case_name << ": " << name << " differs";
  }
  if (update) write_file(dir / "report.txt", read_file(folder.parent_path() / "report.txt"));
}

TEST(AmovaResults, TwoLevelsMatchTheCheckedTablesForEveryThreadCount) {
  TempDir dir;
  for (const char* threads : {"1", "3"}) {
    const std::string folder = std::string("t") + threads;
    const auto out = results_run(folder, std::string("--threads ") + threads);
    ASSERT_EQ(out.status, 0) << out.console;
    EXPECT_EQ(out.console.find("WARNING"), std::string::npos) << out.console;
    expect_tables("results_two", fs::path(folder) / "tables");
  }
}

TEST(AmovaResults, GroupsOfTheSubsetFileGiveThreeLevelsForEveryThreadCount) {
  TempDir dir;
  for (const char* threads : {"1", "3"}) {
    const std::string folder = std::string("g") + threads;
    const auto out = results_run(folder, std::string("-s groups.txt --threads ") + threads);
    ASSERT_EQ(out.status, 0) << out.console;
    expect_tables("results_groups", fs::path(folder) / "tables");
  }
}

TEST(AmovaResults, GroupsWithNothingBetweenTwoLevelsGiveTwoLevelsWithAWarning) {
  TempDir dir;
  // subset.txt: Dinaric and Alpine, each its own group; one_group.txt: all
  // four populations in one group.
  write_file("one_group.txt", "4\t1\nAlpine\t5\nDinaric\t5\nBaltic_coast\t5\nCarpathians\t5\n");
  const struct {
    const char* folder;
    const char* subset;
    const char* warning;
    const char* first_row;
  } cases[] = {
      {"one", "subset.txt", "every group of the subset file holds a single population", "among_populations\t1\t"},
      {"all", "one_group.txt", "the subset file puts every population in one group", "among_populations\t3\t"}};
  for (const auto& c : cases) {
    const auto out = results_run(c.folder, std::string("-s ") + c.subset);
    ASSERT_EQ(out.status, 0) << out.console;
    EXPECT_NE(out.console.find(std::string("\nWARNING! AMOVA on two levels: ") + c.warning), std::string::npos)
        << out.console;
    const std::string amova = read_file(fs::path(c.folder) / "tables" / "amova.tsv");
    EXPECT_EQ(amova.find("among_groups"), std::string::npos) << c.subset;
    EXPECT_EQ(amova.rfind(std::string("term\tdf\tss\tms\tsigma2\tpercent\tvalue\tp_value\n") + c.first_row, 0), 0u)
        << c.subset;
  }
}

TEST(AmovaResults, NoPermutationsLeaveTheValuesWithoutPValues) {
  TempDir dir;
  const auto out = results_run("none", "--amova-permutations 0");
  ASSERT_EQ(out.status, 0) << out.console;
  EXPECT_EQ(read_file("none/tables/amova_permutations.tsv"), "permutation\tPhiPT\tsigma2_within\n");
  // The same observed values as the permuted run, without P values.
  const std::string with = read_file(kData / "expected" / "results_two" / "amova.tsv");
  const std::size_t phi = with.find("PhiPT\t"), p_at = with.find("\t0.01", phi);
  EXPECT_NE(read_file("none/tables/amova.tsv").find(with.substr(phi, p_at - phi) + "\tNA\n"), std::string::npos);
}

TEST(AmovaResults, IndividualsWithoutACommonLocusStopTheAmovaWithAWarning) {
  TempDir dir;
  // 20 individuals, 2 loci: one missing score per locus is within 5%, so both
  // loci are used, but i1 is scored only at L2 and i2 only at L1.
  std::string data = "2\t2\tL1\tL2\n";
  for (int i = 0; i < 20; ++i) {
    const std::string scores = i == 0 ? "9\t1" : i == 1 ? "0\t9" : (i % 3 == 0 ? "1\t0" : "0\t1");
    data += (i < 10 ? "north\ti" : "south\ti") + std::to_string(i) + "\t" + scores + "\n";
  }
  write_file("data.txt", data + "END\n");
  const auto out = testing::run_program("--batch --seed 5 --results tables data.txt report.txt");
  ASSERT_EQ(out.status, 0) << out.console;
  EXPECT_NE(out.console.find("\nWARNING! no AMOVA, pairwise PhiPT or principal coordinates of the individuals: "
                             "individuals i0 and i1 share no scored locus among the 2 loci with at most 5% "
                             "missing scores"),
            std::string::npos)
      << out.console;
  for (const char* absent : {"amova.tsv", "amova_permutations.tsv", "phipt_pairwise.tsv", "pcoa_individuals.tsv",
                             "pcoa_phipt.tsv"}) {
    EXPECT_FALSE(fs::exists(fs::path("tables") / absent)) << absent;
  }
  // The population matrices are defined: their ordinations are written.
  EXPECT_TRUE(fs::exists("tables/pcoa_nei.tsv"));
  EXPECT_TRUE(fs::exists("tables/bands.tsv"));
}

TEST(AmovaResults, UndefinedPopulationDistancesAreNamedInsteadOfOrdinated) {
  TempDir dir;
  // A is scored only at L1, B only at L2: no locus in common for Nei and Fst,
  // and each locus misses half of the scores, so no locus is used for the AMOVA.
  write_file("data.txt", "2\t2\tL1\tL2\nA\ta1\t1\t9\nA\ta2\t0\t9\nB\tb1\t9\t1\nB\tb2\t9\t0\nEND\n");
  const auto out = testing::run_program("--batch --seed 5 --results tables data.txt report.txt");
  ASSERT_EQ(out.status, 0) << out.console;
  EXPECT_NE(out.console.find("\nWARNING! no AMOVA, pairwise PhiPT or principal coordinates of the individuals: no "
                             "locus has at most 5% missing scores\n"
                             "WARNING! no principal coordinates of nei: the distance between A and B is undefined\n"
                             "WARNING! no principal coordinates of fst: the distance between A and B is undefined\n"
                             "WARNING! no principal coordinates of reynolds: the distance between A and B is "
                             "undefined\n"),
            std::string::npos)
      << out.console;
  for (const auto& entry : fs::directory_iterator("tables")) {
    const std::string name = entry.path().filename().string();
    // No AMOVA, pairwise PhiPT or ordination file.
    EXPECT_FALSE(name.starts_with("amova") || name.starts_with("phipt") || name.starts_with("pcoa")) << name;
  }
}

}  // namespace
}  // namespace bandscape
