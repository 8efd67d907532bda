#include "report/classic/classic_tables.hpp"

#include <cmath>

#include "core/format.hpp"
#include "core/output_file.hpp"
#include "core/write_guard.hpp"
#include "report/classic/phylip_blocks.hpp"
#include "stats/distances.hpp"
#include "stats/diversity.hpp"

namespace bandscape {

int write_population_table(const std::string& report, int r, const NameList& names, const IVector& nbar,
                           const IVector& L, const IVector& polymorphic_loci, const FVector& polymorphic_percent,
                           const FVector& Hj, const FVector& VarHj, const FVector& VarIHj, const FVector& VarLHj) {
  const WriteGuard guard;
  OutputFile f;
  if (!f.open(report, OpenMode::kAppend, Links::kFollow)) return -999;
  f.write("\n\nTable 1: Population data [Lynch & Milligan method]\n\n");
  f.print("%10s%5s%7s%7s%7s%8s%10s%10s%10s%8s%10s%8s\n", "Population", "n", "#loc.", "#loc_P", "PLP", "Hj",
          "S.E.(Hj)", "Var(Hj)", "VarI(Hj)", "VarI%", "VarL(Hj)", "VarL%");
  for (int j = 1; j <= r; ++j) {
    const double var = VarHj[j];
    const double pct_i = var == 0.0 ? 0.0 : 100.0 * VarIHj[j] / var;
    const double pct_l = var == 0.0 ? 0.0 : 100.0 * VarLHj[j] / var;
    f.print("\n%10s%5i", names[j].c_str(), nbar[j]);
    f.print("%5i  %5i  %7.1f%8.5f%10.5f%10.6f%10.6f%8.1f%10.6f%8.1f", L[j], polymorphic_loci[j],
            static_cast<double>(polymorphic_percent[j]), static_cast<double>(Hj[j]), std::sqrt(var), var,
            static_cast<double>(VarIHj[j]), pct_i, static_cast<double>(VarLHj[j]), pct_l);
  }
  f.write("\n\n");
  f.close();
  return 0;
}

int write_within_diversity_table(const std::string& report, int r, float Hw, float VarHw, float VarIHw,
                                 float VarLHw, float VarPHw) {
  const WriteGuard guard;
  OutputFile f;
  if (!f.open(report, OpenMode::kAppend, Links::kFollow)) return -999;
  const double var = VarHw;
  const double se = var > 0.0 ? std::sqrt(var) : 0.0;
  f.write("Table 2: Gene diversity within populations [Lynch & Milligan method]\n\n");
  f.print("%5s%8s%10s%10s%10s%10s%10s\n", "n", "Hw", "S.E.(Hw)", "Var(Hw)", "VarI(Hw)", "VarL(Hw)",
          "VarP(Hw)");
  f.print("\n%5i", r);
  f.print("%8.4f%10.5f%10.6f%10.6f%10.6f%10.6f", static_cast<double>(Hw), se, var,
          static_cast<double>(VarIHw), static_cast<double>(VarLHw), static_cast<double>(VarPHw));
  const double pct_i = var == 0.0 ? 0.0 : 100.0 * VarIHw / var;
  const double pct_l = var == 0.0 ? 0.0 : 100.0 * VarLHw / var;
  const double pct_p = var == 0.0 ? 0.0 : 100.0 * VarPHw / var;
  f.print("\n%33s%10.2f%10.2f%10.2f", "Percent of Var(Hw)", pct_i, pct_l, pct_p);
  f.write("\n\n");
  f.close();
  return 0;
}

int write_structure_table(const std::string& report, int r, float Ht, float Hw, float Hb, float Fst, float VarHw,
                          float VarHb, float VarFst) {
  const WriteGuard guard;
  OutputFile f;
  if (!f.open(report, OpenMode::kAppend, Links::kFollow)) return -999;
  auto se = [](float v) { return v > 0.0f ? std::sqrt(static_cast<double>(v)) : 0.0; };
  f.write("Table 3: Population genetic structure [Lynch & Milligan method]\n\n");
  f.print("%5s%10s%10s%10s%10s\n", "n", "Ht", "Hw", "Hb", "Fst");
  f.print("\n%5i", r);
  f.print("%10.4f%10.4f%10.4f%10.4f", static_cast<double>(Ht), static_cast<double>(Hw),
          static_cast<double>(Hb), static_cast<double>(Fst));
  f.print("\n%5s%20.6f%10.6f%10.6f", "S.E.", se(VarHw), se(VarHb), se(VarFst));
  f.print("\n%5s%20.6f%10.6f%10.6f", "Var", static_cast<double>(VarHw), static_cast<double>(VarHb),
          static_cast<double>(VarFst));
  f.write("\n");
  f.close();
  return 0;
}

int write_distance_matrices(const std::string& report, const NameList& names, int r, const FMatrix& Nei,
                            const FMatrix& Fst) {
  const WriteGuard guard;
  OutputFile f;
  if (!f.open(report, OpenMode::kAppend, Links::kFollow)) return -999;
  std::string text;
  text.reserve(static_cast<std::size_t>(3 * (r + 1)) * static_cast<std::size_t>(10 * r + 12) + 200);
  text += "\n\nNei_s genetic distance after Lynch and Milligan - 1994 (Phylip format)";
  append_phylip_block(text, names, r, Nei, DistanceCell::kDistance);
  text += "\n\nPairwise Fst between populations (Phylip format)";
  append_phylip_block(text, names, r, Fst, DistanceCell::kDistance);
  text += "\n\nReynolds et al. genetic distance between populations (Phylip format)";
  append_phylip_block(text, names, r, Fst, DistanceCell::kReynolds);
  f.write(text);
  f.close();
  return 0;
}

int write_frequency_table(const std::string& report, int r, int m, const NameList& population_names,
                          const NameList& locus_names, const IMatrix& non_missing, const FVector& pooled,
                          const FMatrix& fragment, const FMatrix& P, const FMatrix& V,
                          const ProgressReport& progress) {
  ProgressSteps steps(static_cast<double>(r) * m > kTable5ProgressCells ? m : 0, progress);
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
    steps.done(i + 1);
  }
  f.write("\n\n");
  f.close();
  return 0;
}

}  // namespace bandscape
