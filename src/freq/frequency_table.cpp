// Table 5: fragment and allelic frequencies in each population.
#include "freq/frequency_table.hpp"

#include "core/output_file.hpp"
#include "core/write_guard.hpp"

namespace bandscape {

int write_frequency_table(const std::string& report, int r, int m, const NameList& population_names,
                          const NameList& locus_names, const IMatrix& non_missing, const FVector& pooled,
                          const FMatrix& fragment, const FMatrix& P, const FMatrix& V) {
  const WriteGuard guard;
  OutputFile f;
  if (!f.open(report, OpenMode::kAppend, Links::kFollow)) return -999;

  f.write("\n\nTable 5: Fragment and allelic frequencies in each population (to paste in Excel)");
  // Each population name heads a group of five columns.
  f.print("\n\n%s\t%s", "population", "Total");
  for (int j = 1; j <= r; ++j) f.print("\t%s\t\t\t\t", population_names[j].c_str());
  f.print("\n%s\t%s", "locus", "freq_frag");
  for (int j = 1; j <= r; ++j) {
    f.print("\t%s\t%s\t%s\t%s\t%s", "N", "freq_frag", "freq_+all", "freq_-all", "var_-all");
  }
  f.write("\n");
  for (int i = 0; i < m; ++i) {
    f.print("\n%s\t%.5f", locus_names[i + 1].c_str(), static_cast<double>(pooled[i]));
    for (int j = 0; j < r; ++j) {
      const int n = non_missing[j + 1][i + 1];
      if (n == 0) {
        // Whatever the estimator left there, an unscored cell stays empty.
        f.write("\t0\t\t\t\t");
        continue;
      }
      const double p = P[j][i];
      f.print("\t%i\t%.5f\t%.5f\t%.5f\t%.5f", n, static_cast<double>(fragment[j][i]), p, 1.0 - p,
              static_cast<double>(V[j][i]));
    }
  }
  f.write("\n\n");
  f.close();
  return 0;
}

}  // namespace bandscape
