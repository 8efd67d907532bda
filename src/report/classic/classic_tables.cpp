#include "report/classic/classic_tables.hpp"

#include <cmath>
#include <vector>

#include "core/format.hpp"
#include "core/output_file.hpp"
#include "core/write_guard.hpp"
#include "report/classic/phylip_blocks.hpp"
#include "stats/distances.hpp"
#include "stats/diversity.hpp"

namespace bandscape {

int write_population_table(const std::string& report, const NameList& names,
                           const std::vector<PopulationDiversity>& rows) {
  const WriteGuard guard;
  OutputFile f;
  if (!f.open(report, OpenMode::kAppend, Links::kFollow)) return -999;
  f.write("\n\nTable 1: Population data [Lynch & Milligan method]\n\n");
  f.print("%10s%5s%7s%7s%7s%8s%10s%10s%10s%8s%10s%8s\n", "Population", "n", "#loc.", "#loc_P", "PLP", "Hj",
          "S.E.(Hj)", "Var(Hj)", "VarI(Hj)", "VarI%", "VarL(Hj)", "VarL%");
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const PopulationDiversity& p = rows[k];
    const PopulationValues& v = p.printed;
    f.print("\n%10s%5i", names[static_cast<int>(k) + 1].c_str(), p.nbar);
    f.print("%5i  %5i  %7.1f%8.5f%10.5f%10.6f%10.6f%8.1f%10.6f%8.1f", p.loci, p.polymorphic,
            static_cast<double>(p.polymorphic_percent), v.Hj, v.se_Hj, v.VarHj, v.VarIHj, v.VarI_percent, v.VarLHj,
            v.VarL_percent);
  }
  f.write("\n\n");
  f.close();
  return 0;
}

int write_within_diversity_table(const std::string& report, const StructureTable& table) {
  const WriteGuard guard;
  OutputFile f;
  if (!f.open(report, OpenMode::kAppend, Links::kFollow)) return -999;
  const StructureStatistics& s = table.printed;
  const StructureShares& shares = table.printed_shares;
  f.write("Table 2: Gene diversity within populations [Lynch & Milligan method]\n\n");
  f.print("%5s%8s%10s%10s%10s%10s%10s\n", "n", "Hw", "S.E.(Hw)", "Var(Hw)", "VarI(Hw)", "VarL(Hw)",
          "VarP(Hw)");
  f.print("\n%5i", table.populations);
  f.print("%8.4f%10.5f%10.6f%10.6f%10.6f%10.6f", static_cast<double>(s.Hw), shares.se_Hw, static_cast<double>(s.VarHw),
          static_cast<double>(s.VarIHw), static_cast<double>(s.VarLHw), static_cast<double>(s.VarPHw));
  f.print("\n%33s%10.2f%10.2f%10.2f", "Percent of Var(Hw)", shares.VarI_percent, shares.VarL_percent,
          shares.VarP_percent);
  f.write("\n\n");
  f.close();
  return 0;
}

int write_structure_table(const std::string& report, const StructureTable& table) {
  const WriteGuard guard;
  OutputFile f;
  if (!f.open(report, OpenMode::kAppend, Links::kFollow)) return -999;
  const StructureStatistics& s = table.printed;
  const StructureShares& shares = table.printed_shares;
  f.write("Table 3: Population genetic structure [Lynch & Milligan method]\n\n");
  f.print("%5s%10s%10s%10s%10s\n", "n", "Ht", "Hw", "Hb", "Fst");
  f.print("\n%5i", table.populations);
  f.print("%10.4f%10.4f%10.4f%10.4f", static_cast<double>(s.Ht), static_cast<double>(s.Hw),
          static_cast<double>(s.Hb), static_cast<double>(s.Fst));
  f.print("\n%5s%20.6f%10.6f%10.6f", "S.E.", shares.se_Hw, shares.se_Hb, shares.se_Fst);
  f.print("\n%5s%20.6f%10.6f%10.6f", "Var", static_cast<double>(s.VarHw), static_cast<double>(s.VarHb),
          static_cast<double>(s.VarFst));
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
