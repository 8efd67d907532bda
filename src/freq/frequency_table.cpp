// Table 5: fragment and allelic frequencies in each population.
#include "freq/frequency_table.hpp"

#include <cstdio>
#include <vector>

#include "core/write_guard.hpp"

namespace bandscape {

int write_frequency_table(const std::string& report, int r, int m, const NameList& population_names,
                          const NameList& locus_names, const IMatrix& non_missing, const FVector& pooled,
                          const FMatrix& fragment, const FMatrix& P, const FMatrix& V) {
  const WriteGuard guard;
  std::FILE* f = std::fopen(report.c_str(), "a");
  if (!f) return -999;
  std::vector<char> buffer(std::size_t{1} << 16);
  std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());

  std::fputs("\n\nTable 5: Fragment and allelic frequencies in each population (to paste in Excel)", f);
  // Each population name heads a group of five columns.
  std::fprintf(f, "\n\n%s\t%s", "population", "Total");
  for (int j = 1; j <= r; ++j) std::fprintf(f, "\t%s\t\t\t\t", population_names[j].c_str());
  std::fprintf(f, "\n%s\t%s", "locus", "freq_frag");
  for (int j = 1; j <= r; ++j) {
    std::fprintf(f, "\t%s\t%s\t%s\t%s\t%s", "N", "freq_frag", "freq_+all", "freq_-all", "var_-all");
  }
  std::fputs("\n", f);
  for (int i = 0; i < m; ++i) {
    std::fprintf(f, "\n%s\t%.5f", locus_names[i + 1].c_str(), static_cast<double>(pooled[i]));
    for (int j = 0; j < r; ++j) {
      const int n = non_missing[j + 1][i + 1];
      if (n == 0) {
        // Whatever the estimator left there, an unscored cell stays empty.
        std::fputs("\t0\t\t\t\t", f);
        continue;
      }
      const double p = P[j][i];
      std::fprintf(f, "\t%i\t%.5f\t%.5f\t%.5f\t%.5f", n, static_cast<double>(fragment[j][i]), p, 1.0 - p,
                   static_cast<double>(V[j][i]));
    }
  }
  std::fputs("\n\n", f);
  std::fclose(f);
  return 0;
}

}  // namespace bandscape
