// Bootstrap of the distances over loci: the replicate blocks of the three
// side files, their layout, progress lines and unopenable files.
#include "resample/bootstrap.hpp"
#include "report/classic/bootstrap_files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "resample/resample_data.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::read_file;
using RecordingLog = testing::ResampleLog;
using testing::TempDir;

struct Estimates {
  int r, m;
  IMatrix N;
  FMatrix p, v;
  NameList names;
};

// p = 1 - q, as the driver hands them over; rows of q, Vq, N per population.
Estimates estimates(const std::vector<std::vector<float>>& q, const std::vector<std::vector<float>>& Vq,
                    const std::vector<std::vector<int>>& N, const std::vector<std::string>& names) {
  const int r = static_cast<int>(q.size()), m = static_cast<int>(q[0].size());
  Estimates e{r,
              m,
              int_matrix(1, r, 1, m),
              float_matrix(0, r - 1, 0, m - 1),
              float_matrix(0, r - 1, 0, m - 1),
              name_list(1, r)};
  for (int j = 0; j < r; ++j) {
    e.names[j + 1] = names[j];
    for (int i = 0; i < m; ++i) {
      e.N[j + 1][i + 1] = N[j][i];
      e.p[j][i] = static_cast<float>(1.0 - static_cast<double>(q[j][i]));
      e.v[j][i] = Vq[j][i];
    }
  }
  return e;
}

Estimates three_by_four() {
  return estimates({{0.30f, 0.55f, 0.80f, 0.10f}, {0.42f, 0.61f, 0.25f, 0.05f}, {0.70f, 0.20f, 0.95f, 0.33f}},
                   {{0.0040f, 0.0050f, 0.0030f, 0.0020f},
                    {0.0060f, 0.0045f, 0.0035f, 0.0010f},
                    {0.0055f, 0.0025f, 0.0015f, 0.0042f}},
                   {{10, 12, 0, 11}, {8, 8, 8, 8}, {15, 14, 15, 13}}, {"Alpha", "Population12", "C"});
}

// The bootstrap with its side files, as a run makes them.
void run(const Estimates& e, int nboot, RandomState& state, MessageLog& log, int threads = 1) {
  const RunFiles files = testing::files_with_report("report.txt");
  BootstrapFiles out(files, e.names, e.r, log);
  bootstrap_distance(nboot, e.r, e.m, e.N, e.p, e.v, state, log, threads,
                     [&](int, const FMatrix& nei, const FMatrix& fst) { out.add(nei, fst); });
}

// Population 1 has data at locus 1 of 2 only: a replicate that draws locus 1
// once leaves it a single locus with data, Var(Hj) the mark 999, and its Nei
// distances corrected with it; twice, its Var(Hj) is 0 and they stand; never,
// they are undefined in both.  The results' replicates differ from the
// classic ones exactly there, and only in Nei.
TEST(Bootstrap, ResultsReplicatesLeaveOutNeiCorrectedWithAMark) {
  const Estimates e = estimates({{0.30f, 0.55f}, {0.42f, 0.61f}, {0.70f, 0.20f}},
                                {{0.0040f, 0.0050f}, {0.0060f, 0.0045f}, {0.0055f, 0.0025f}},
                                {{10, 0}, {8, 8}, {15, 14}}, {"A", "B", "C"});
  RandomState state = testing::seeded(-77);
  RecordingLog log;
  std::vector<std::vector<float>> classic, results;
  const auto keep = [](std::vector<std::vector<float>>& into) {
    return [&into](int, const FMatrix& nei, const FMatrix& fst) {
      into.push_back({nei[1][2], nei[1][3], nei[2][3], fst[1][2], fst[1][3], fst[2][3]});
    };
  };
  bootstrap_distance(40, e.r, e.m, e.N, e.p, e.v, state, log, 1, keep(classic), keep(results));
  ASSERT_EQ(classic.size(), 40u);
  ASSERT_EQ(results.size(), 40u);
  int marked = 0;
  for (std::size_t b = 0; b < classic.size(); ++b) {
    for (int k = 0; k < 6; ++k) {
      if (results[b][k] == classic[b][k]) continue;
      EXPECT_LT(k, 2) << "only population 1's Nei distances";
      EXPECT_EQ(results[b][k], 999.0f);
      ++marked;
    }
  }
  EXPECT_GT(marked, 0);  // P(locus 1 drawn once in 40 replicates) = 1/2 each
}

// Expected blocks: tests/resample/reference_values.py, stream of seed word
// -2436 after the 40 permutations of 10 individuals (360 deviates); the
// draws are (3,3,0,0), (2,3,1,2), (3,1,3,1).  The 12-character name is cut to 10.
TEST(Bootstrap, ReplicatesMatchIndependentReference) {
  TempDir dir;
  RandomState state = testing::seeded(-2436);
  for (int k = 0; k < 360; ++k) uniform_random(state);
  RecordingLog log;
  run(three_by_four(), 3, state, log);
  EXPECT_EQ(read_file("aflp_nei.txt"),
            "\n\n3\nAlpha         0.0000    0.0029    0.1610\nPopulation    0.0029    0.0000    0.1136\nC          "
            "   0.1610    0.1136    0.0000\n\n3\nAlpha         0.0000    0.0000    0.2492\nPopulation    0.0000    "
            "0.0000    0.5326\nC             0.2492    0.5326    0.0000\n\n3\nAlpha         0.0000    0.0000    "
            "0.1380\nPopulation    0.0000    0.0000    0.1928\nC             0.1380    0.1928    0.0000");
  EXPECT_EQ(read_file("aflp_fst.txt"),
            "\n\n3\nAlpha         0.0000    0.0064    0.2089\nPopulation    0.0064    0.0000    0.1594\nC          "
            "   0.2089    0.1594    0.0000\n\n3\nAlpha         0.0000    0.0000    0.2159\nPopulation    0.0000    "
            "0.0000    0.5096\nC             0.2159    0.5096    0.0000\n\n3\nAlpha         0.0000    0.0000    "
            "0.1809\nPopulation    0.0000    0.0000    0.2566\nC             0.1809    0.2566    0.0000");
  EXPECT_EQ(read_file("aflp_reyn.txt"),
            "\n\n3\nAlpha         0.0000    0.0064    0.2343\nPopulation    0.0064    0.0000    0.1736\nC          "
            "   0.2343    0.1736    0.0000\n\n3\nAlpha         0.0000    0.0000    0.2432\nPopulation    0.0000    "
            "0.0000    0.7126\nC             0.2432    0.7126    0.0000\n\n3\nAlpha         0.0000    0.0000    "
            "0.1995\nPopulation    0.0000    0.0000    0.2966\nC             0.1995    0.2966    0.0000");
}

// One locus: every replicate is the same data set.  A and B (q 0.5, Vq 0.01)
// give a negative Fst, printed 0.0000 in both Fst files; C and D, fixed for
// different alleles, give Fst 1 (Reynolds and Nei undefined); E, never scored,
// shares no locus.  Blocks: reference_values.py ("m = 1 blocks"); layout: each
// of the nboot blocks holds r rows of 10 + 10 r characters.
TEST(Bootstrap, SingleLocusGivesIdenticalReplicatesAndTheCellRules) {
  TempDir dir;
  const Estimates e = estimates({{0.5f}, {0.5f}, {0.0f}, {1.0f}, {0.0f}}, {{0.01f}, {0.01f}, {0.0f}, {0.0f}, {0.0f}},
                                {{10}, {10}, {10}, {10}, {0}}, {"A", "B", "C", "D", "E"});
  RandomState state = testing::seeded(-3);
  RecordingLog log;
  run(e, 4, state, log);
  const std::string fst_block =
      "\n\n5\nA             0.0000    0.0000    0.4800    0.4800 undefined\nB             0.0000    0.0000    "
      "0.4800    0.4800 undefined\nC             0.4800    0.4800    0.0000    1.0000 undefined\nD             "
      "0.4800    0.4800    1.0000    0.0000 undefined\nE          undefined undefined undefined undefined    0.0000";
  const std::string reyn_block =
      "\n\n5\nA             0.0000    0.0000    0.6539    0.6539 undefined\nB             0.0000    0.0000    "
      "0.6539    0.6539 undefined\nC             0.6539    0.6539    0.0000 undefined undefined\nD             "
      "0.6539    0.6539 undefined    0.0000 undefined\nE          undefined undefined undefined undefined    0.0000";
  const std::string nei_block =
      "\n\n5\nA             0.0000  169.9277    0.0000    0.0000 undefined\nB           169.9277    0.0000    "
      "0.0000    0.0000 undefined\nC             0.0000    0.0000    0.0000 undefined undefined\nD             "
      "0.0000    0.0000 undefined    0.0000 undefined\nE          undefined undefined undefined undefined    0.0000";
  EXPECT_EQ(read_file("aflp_fst.txt"), fst_block + fst_block + fst_block + fst_block);
  EXPECT_EQ(read_file("aflp_reyn.txt"), reyn_block + reyn_block + reyn_block + reyn_block);
  EXPECT_EQ(read_file("aflp_nei.txt"), nei_block + nei_block + nei_block + nei_block);
  // Five rows of 10 + 10 x 5 characters after the count line.
  std::vector<std::size_t> widths;
  for (std::size_t at = 3; at != std::string::npos;) {
    const std::size_t next = fst_block.find('\n', at + 1);
    widths.push_back((next == std::string::npos ? fst_block.size() : next) - at - 1);
    at = next;
  }
  EXPECT_EQ(widths, std::vector<std::size_t>(5, 60));
}

// Same seed, same files; progress step = nboot / 50 (none for 10, one line
// before each of 50 replicates).
TEST(Bootstrap, ReproducibleFromTheSeedWithProgressLines) {
  TempDir dir;
  const Estimates e = three_by_four();
  RecordingLog first, second;
  RandomState s1 = testing::seeded(-811), s2 = testing::seeded(-811);
  run(e, 10, s1, first);
  const std::string a = read_file("aflp_nei.txt") + read_file("aflp_fst.txt") + read_file("aflp_reyn.txt");
  run(e, 10, s2, second);
  EXPECT_EQ(read_file("aflp_nei.txt") + read_file("aflp_fst.txt") + read_file("aflp_reyn.txt"), a);
  EXPECT_EQ(testing::join_lines_containing(first.echoed, "bootstraps done"), "");

  RecordingLog fifty;
  run(e, 50, s1, fifty);
  std::string expected;
  for (int b = 0; b < 50; ++b) expected += format("\n%4d bootstraps done out of 50", b);
  EXPECT_EQ(testing::join_lines_containing(fifty.echoed, "bootstraps done"), expected);
}

// A directory in place of a side file cannot be opened for writing.
TEST(Bootstrap, UnopenableSideFileIsFatal) {
  for (const char* name : {"aflp_nei.txt", "aflp_fst.txt", "aflp_reyn.txt"}) {
    TempDir dir;
    std::filesystem::create_directory(name);
    RandomState state = testing::seeded(-1);
    RecordingLog log;
    EXPECT_THROW(run(three_by_four(), 2, state, log), FatalError);
    EXPECT_EQ(log.echoed, std::string("\nError in bootstrap_distance: cannot open file ") + name);
  }
}

// PHYLIP's neighbor reads aflp_nei.txt as 5 data sets (M) and writes one tree
// each; consense takes the 5 trees to a consensus over the three names.  Runs
// only where PHYLIP is installed.
TEST(Bootstrap, PhylipNeighborAndConsenseAcceptTheReplicates) {
#ifdef _WIN32
  GTEST_SKIP() << "PHYLIP is run through a POSIX shell";
#endif
  const std::string bin = "/usr/lib/phylip/bin/";
  if (!std::filesystem::exists(bin + "neighbor") || !std::filesystem::exists(bin + "consense"))
    GTEST_SKIP() << "PHYLIP not installed";
  TempDir dir;
  RandomState state = testing::seeded(-99);
  RecordingLog log;
  run(three_by_four(), 5, state, log);
  std::filesystem::copy_file("aflp_nei.txt", "infile");
  ASSERT_EQ(std::system(("printf 'M\\n5\\n5\\nY\\n' | " + bin + "neighbor >neighbor.log 2>&1").c_str()), 0);
  const std::string trees = read_file("outtree");
  EXPECT_EQ(std::count(trees.begin(), trees.end(), ';'), 5) << trees;
  std::filesystem::rename("outtree", "intree");
  std::filesystem::remove("outfile");
  ASSERT_EQ(std::system(("printf 'Y\\n' | " + bin + "consense >consense.log 2>&1").c_str()), 0);
  const std::string consensus = read_file("outtree");
  for (const char* name : {"Alpha", "Population", "C:"}) EXPECT_NE(consensus.find(name), std::string::npos) << consensus;
}

}  // namespace
}  // namespace bandscape
