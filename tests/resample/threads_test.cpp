// Replicates on worker threads write exactly what the sequential run writes:
// report, error log, console, resample.txt and the bootstrap files.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "numeric/special.hpp"
#include "resample/bootstrap.hpp"
#include "resample/permutation_test.hpp"
#include "report/classic/bootstrap_files.hpp"
#include "report/classic/permutation_files.hpp"
#include "resample/replicate_batches.hpp"
#include "resample/resample_data.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::read_file;
using testing::TempDir;

// Four populations (3, 3, 2, 4 individuals) at four sparsely scored loci, so
// that permuted data sets have loci never scored in a population and pairs of
// populations without a shared locus.
testing::ScoredData sparse_data() {
  return testing::scored_data({{1, 9, 9, 1}, {9, 9, 0, 9}, {9, 1, 9, 0}, {9, 9, 1, 1}, {0, 9, 9, 9}, {9, 0, 1, 9},
                               {9, 9, 9, 1}, {9, 1, 0, 0}, {9, 9, 9, 9}, {9, 9, 1, 1}, {9, 9, 9, 0}, {9, 9, 0, 1}},
                              {3, 3, 2, 4});
}

struct Outcome {
  std::string files, console;
  std::string warnings;  // what the log gave its observer, as the run keeps its warnings
  bool fatal = false;
};

// Runs the permutation test then the bootstrap on one stream, as the driver does.
Outcome run(int method, float fis, int nperm, int nboot, int threads) {
  TempDir dir;
  auto d = sparse_data();
  RandomState state = testing::seeded(-4321);
  Outcome out;
  ErrorLogFile log("error.txt", [&out](const std::string& text, int) { out.warnings += text; });
  ::testing::internal::CaptureStdout();
  try {
    if (nperm > 0) {
      const PermutationResult result =
          permutation_test_fst(nperm, method, d.r, d.m, d.ntot, d.scores, d.bounds, fis, 0.2f, state, log, threads);
      write_permutation_files(testing::files_with_report("out.txt"), nperm, result, log);
    }
    IMatrix N = int_matrix(1, d.r, 1, d.m);
    FMatrix p = float_matrix(0, d.r - 1, 0, d.m - 1), v = float_matrix(0, d.r - 1, 0, d.m - 1);
    for (int j = 1; j <= d.r; ++j)
      for (int i = 1; i <= d.m; ++i) {
        for (int k = d.bounds[j - 1]; k < d.bounds[j]; ++k) N[j][i] += d.scores[k][i - 1] < 9;
        p[j - 1][i - 1] = 0.1f * static_cast<float>(i + j);
        v[j - 1][i - 1] = 0.001f * static_cast<float>(i);
      }
    NameList names = name_list(1, d.r);
    for (int j = 1; j <= d.r; ++j) names[j] = "pop" + std::to_string(j);
    if (nboot > 0) {
      const RunFiles files = testing::files_with_report("out.txt");
      BootstrapFiles out(files, names, d.r, log);
      bootstrap_distance(nboot, d.r, d.m, N, p, v, state, log, threads,
                         [&](int, const FMatrix& nei, const FMatrix& fst) { out.add(nei, fst); });
    }
  } catch (const FatalError&) {
    out.fatal = true;
  }
  out.console = ::testing::internal::GetCapturedStdout();
  for (const char* f : {"out.txt", "error.txt", "resample.txt", "aflp_nei.txt", "aflp_fst.txt", "aflp_reyn.txt"})
    out.files += std::string("==") + f + "\n" + read_file(f);
  return out;
}

// 130 permutations and 70 bootstraps cross the batches of 64; 7 threads are
// more than the cores.  The sequential run is the reference.
TEST(ResampleThreads, SameFilesAndConsoleForOneTwoAndSevenThreads) {
  const std::pair<int, float> cases[] = {{1, 0.0f}, {2, 0.3f}, {3, 0.3f}, {4, 0.0f}, {4, 0.3f}};
  for (auto [method, fis] : cases) {
    const Outcome one = run(method, fis, 130, 70, 1);
    EXPECT_FALSE(one.fatal);
    EXPECT_NE(one.files.find("always missing in pop"), std::string::npos) << method;
    EXPECT_NE(one.files.find("\ncountpq: "), std::string::npos) << method;
    // Progress lines are logged, but they are no warnings; the warnings are.
    EXPECT_NE(one.files.find(" bootstraps done out of 70"), std::string::npos) << method;
    EXPECT_EQ(one.warnings.find("done out of"), std::string::npos) << method;
    EXPECT_NE(one.warnings.find("always missing in pop"), std::string::npos) << method;
    for (int threads : {2, 7}) {
      const Outcome many = run(method, fis, 130, 70, threads);
      EXPECT_EQ(many.files, one.files) << "method " << method << " Fis " << fis << " threads " << threads;
      EXPECT_EQ(many.console, one.console) << "method " << method << " threads " << threads;
    }
  }
}

// With a negative Fis the uniform-prior integral is undefined at the first
// cell with X < N: the run stops inside the first replicate, after its
// progress line and warnings, whatever the number of threads.
TEST(ResampleThreads, FatalErrorInsideAReplicateLeavesTheSequentialLog) {
  const Outcome one = run(3, -0.2f, 60, 0, 1);
  ASSERT_TRUE(one.fatal);
  EXPECT_NE(one.files.find("numtemp or denomtemp undefined"), std::string::npos);
  EXPECT_EQ(run(3, -0.2f, 60, 0, 2).files, one.files);
  EXPECT_EQ(run(3, -0.2f, 60, 0, 7).files, one.files);
}

// A replicate that fails late (70 of 100, in the second batch): the messages
// of replicates 0..70 reach the log in order, nothing of later ones, and only
// 0..69 are committed.  Expected text built from that rule.
TEST(ResampleThreads, LateFailureFlushesEarlierReplicatesInOrder) {
  std::string drawn, computed;
  for (int i = 0; i <= 70; ++i) {
    drawn += format("\nd%d", i);
    computed += format("\nc%d", i);
  }
  for (int threads : {1, 2, 7}) {
    testing::ResampleLog log;
    std::string committed;
    EXPECT_THROW(run_replicates(
                     100, threads, log, [](int i, int, MessageLog& out) { out.echo(format("\nd%d", i)); },
                     [](int, int i, int, MessageLog& out) {
                       out.append(format("\nc%d", i));
                       if (i == 70) fatal_error(out, "\nfailed");
                     },
                     [&](int i, int) { committed += format("%d,", i); }),
                 FatalError);
    EXPECT_EQ(log.echoed, drawn + "\nfailed");
    EXPECT_EQ(log.appended, computed);
    EXPECT_TRUE(committed.ends_with(",68,69,"));
    EXPECT_EQ(committed.find("70,"), std::string::npos);
  }
}

// The console notes of the numerical routines travel with the replicate's
// other messages: every fifth replicate finds no root bracketed, replicate 100
// ends the run in polint.  With 1 and 7 threads the log receives, in order,
// exactly the sequence written out below from that rule.
TEST(ResampleThreads, NumericalNotesKeepTheirPlaceInReplicateOrder) {
  std::vector<std::string> expected;
  for (int i = 0; i <= 100; ++i) {
    if (i % 10 == 0) expected.push_back(format("E:\nd%d", i));
    expected.push_back(format("A:\nc%d", i));
    if (i % 5 == 0) expected.push_back("C:\nRoot must be bracketed in zbrent");
  }
  expected.push_back("C:\nerror in routine polint");
  for (int threads : {1, 7}) {
    testing::RecordingLog log;
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(run_replicates(
                     130, threads, log,
                     [](int i, int, MessageLog& out) {
                       if (i % 10 == 0) out.echo(format("\nd%d", i));
                     },
                     [](int, int i, int, MessageLog& out) {
                       out.append(format("\nc%d", i));
                       if (i % 5 == 0) zbrent([](float x) -> double { return x + 1.0; }, 0.2f, 0.4f, 1e-6f, out);
                       if (i == 100) {
                         const double xa[] = {0.0, 1.0, 1.0}, ya[] = {0.0, 1.0, 4.0};
                         float y = 0.0f, dy = 0.0f;
                         polint(xa, ya, 2, 0.5f, y, dy, out);
                       }
                     },
                     [](int, int) {}),
                 FatalError);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << threads;
    EXPECT_EQ(log.entries, expected) << threads << " threads";
  }
}

// Threads refused by the system (two start in the whole run, then the starter
// throws what std::thread throws) leave their replicates to the others: log and
// commits are those of one thread.  Arrays are prepared only for workers about
// to start: 0, the two that ran, and 3, whose thread was refused.
TEST(ResampleThreads, RefusedThreadsGiveTheSequentialOutcome) {
  std::atomic<int> started{0};
  const ThreadStarter two_then_refused = testing::refusing_thread_starter(2, started);
  std::string outcome[2];
  std::set<int> prepared;
  for (int k : {0, 1}) {
    testing::ResampleLog log;
    run_replicates(
        150, k == 0 ? 1 : 7, log, [](int i, int, MessageLog& out) { out.echo(format("\nd%d", i)); },
        [](int, int i, int, MessageLog& out) { out.append(format("\nc%d", i)); },
        [&](int i, int) { outcome[k] += format("%d,", i); }, [&](int worker) { prepared.insert(worker); },
        two_then_refused);
    outcome[k] += log.echoed + log.appended;
  }
  EXPECT_EQ(outcome[1], outcome[0]);
  EXPECT_EQ(prepared, (std::set<int>{0, 1, 2, 3}));
}

}  // namespace
}  // namespace bandscape
