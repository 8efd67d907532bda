#include "report/classic/permutation_files.hpp"

#include "core/output_file.hpp"
#include "core/write_guard.hpp"

namespace bandscape {

namespace {

void write_table4(const std::string& report, int nperm, float observed, const ResampleSummary& s, MessageLog& log) {
  const WriteGuard guard;
  OutputFile f;
  if (!f.open(report, OpenMode::kAppend, Links::kFollow)) fatal_error(log, "\ncannot open outputfile ");
  f.write("\n\nTable 4: Permutation test for genetic differentiation among populations");
  f.write("\n");
  f.print("\nResampling statistics based on %ld random permutations of individuals among populations",
          static_cast<long>(nperm));
  f.write("\n (individual estimates of FST for each permutation are written to file 'resample.txt')");
  f.print("\n\n%-25s%9s", "statistic", "Fst");
  f.print("\n%-30s%9.4f", "observed", static_cast<double>(observed));
  f.print("\n%-30s%9.4f", "lower 95% limit", static_cast<double>(s.lower95));
  f.print("\n%-30s%9.4f", "upper 95% limit", static_cast<double>(s.upper95));
  f.print("\n%-30s%9.4f", "lower 99% limit", static_cast<double>(s.lower99));
  f.print("\n%-30s%9.4f", "upper 99% limit", static_cast<double>(s.upper99));
  f.print("\n%-30s%9.4f", "P value (low)", static_cast<double>(s.p_low));
  f.print("\n%-30s%9.4f", "P value (high)", static_cast<double>(s.p_high));
  f.close();
}

}  // namespace

void resample_write(const std::string& file, const FVector& values, float observed, int first, int last,
                    const std::string& name, MessageLog& log) {
  OutputFile out;
  if (!out.open(file, OpenMode::kTruncate, Links::kRefuse)) fatal_error(log, "\ncannot open file in resample_write");
  out.print("Resampled statistics with samplesize : %ld", static_cast<long>(last) - first + 1);
  out.print("\nActual value of %s:\t%8.4f", name.c_str(), static_cast<double>(observed));
  out.print("\n%s", name.c_str());
  for (int i = first; i <= last; ++i) out.print("\n%11.7f", static_cast<double>(values[i]));
  out.close();
}

void write_permutation_files(const RunFiles& files, int nperm, const PermutationResult& result, MessageLog& log) {
  write_table4(files.report, nperm, result.observed, result.summary, log);
  resample_write(files.resample, result.sorted, result.observed, 0, nperm - 1, "FST", log);
}

}  // namespace bandscape
