#include "report/tables/results_tables.hpp"

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_file.hpp"
#include "core/run_files.hpp"
#include "report/tables/tsv.hpp"
#include "stats/distances.hpp"
#include "stats/diversity.hpp"

namespace bandscape {

std::string results_file(const std::string& folder, const char* name) { return in_folder(folder, name); }

const std::vector<std::string>& results_file_names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n = {
        "run.json", "summary.html", "individuals.tsv", "populations.tsv", "diversity.tsv", "permutations.tsv",
        "permutation_summary.tsv", "distances.tsv", "bootstrap_distances.tsv", "frequencies.tsv", "relatedness.tsv",
        "trees.tsv", "tip_names.tsv", "amova.tsv", "amova_permutations.tsv", "phipt_pairwise.tsv", "bands.tsv",
        "pcoa_individuals.tsv", "pcoa_individuals_eigenvalues.tsv", "pcoa_individuals.svg", "amova_phipt.svg",
        "permutation_fst.svg", "relatedness.svg", "tree_individuals_nj.nwk", "tree_individuals_upgma.nwk",
        "tree_individuals_nj.svg", "geographic_distances.tsv", "mantel.tsv", "autocorrelation.tsv",
        "autocorrelation.svg", "kinship_classes.tsv", "kinship_sp.tsv", "kinship.svg", "replicates.tsv",
        "replicate_loci.tsv", "clusters_bic.tsv", "clusters.tsv", "clusters_bic.svg", "dapc_eigenvalues.tsv",
        "dapc_individuals.tsv", "dapc_loadings.tsv", "assignment.tsv", "assignment_rates.tsv", "dapc_scatter.svg",
        "dapc_clusters_scatter.svg", "membership.svg", "assignment.svg", "genalex.csv", "scores.tsv",
        "individual_distances.tsv"};
    for (const std::string genetic : {"nei", "fst_linearised", "reynolds", "phipt_linearised"}) {
      for (const std::string geographic : {"km", "ln_km"}) n.push_back("ibd_" + genetic + "_" + geographic + ".svg");
    }
    for (const std::string matrix : {"nei", "fst", "reynolds", "phipt"}) {
      for (const std::string file : {"tree_M_nj.nwk", "tree_M_upgma.nwk", "consensus_M_nj.nwk", "tree_M_nj.svg",
                                     "pcoa_M.tsv", "pcoa_M_eigenvalues.tsv", "pcoa_populations_M.svg"}) {
        const std::size_t at = file.find('M');
        n.push_back(file.substr(0, at) + matrix + file.substr(at + 1));
      }
    }
    return n;
  }();
  return names;
}

void write_results_text(const std::string& folder, const char* name, const std::string& text) {
  const std::string path = results_file(folder, name);
  OutputFile out;
  if (!out.open(path, OpenMode::kReplace, Links::kRefuse)) throw open_failure(path, errno);
  out.write(text);
  out.close();
}

void write_individuals_table(const std::string& folder, const std::vector<std::string>& individual_names,
                             const std::vector<std::string>& population_names, const std::vector<int>& population_of) {
  TsvFile tsv(results_file(folder, "individuals.tsv"), {"index", "individual", "population"});
  for (std::size_t k = 0; k < population_of.size(); ++k) {
    tsv.integer(static_cast<long long>(k) + 1)
        .text(individual_names[k])
        .text(population_names[static_cast<std::size_t>(population_of[k])])
        .end_row();
  }
  tsv.close();
}

namespace {

constexpr double kNA = std::numeric_limits<double>::quiet_NaN();

// A stored statistic as a number: NaN for the 999 that marks an undefined one.
float defined(float stored) { return stored == kUndefined ? std::numeric_limits<float>::quiet_NaN() : stored; }

}  // namespace

void write_populations_table(const std::string& folder, const NameList& names,
                             const std::vector<PopulationDiversity>& rows) {
  TsvFile tsv(results_file(folder, "populations.tsv"),
              {"population", "individuals", "n", "loci", "polymorphic_loci", "plp", "Hj", "se_Hj", "VarHj",
               "VarI_Hj", "VarI_percent", "VarL_Hj", "VarL_percent"});
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const PopulationDiversity& p = rows[k];
    const PopulationValues& v = p.defined;
    tsv.text(names[static_cast<int>(k) + 1])
        .integer(p.individuals)
        .real(p.mean_scored)
        .integer(p.loci)
        .integer(p.polymorphic)
        .single(static_cast<float>(p.defined_polymorphic_percent))
        .single(static_cast<float>(v.Hj))
        .real(v.se_Hj)
        .single(static_cast<float>(v.VarHj))
        .single(static_cast<float>(v.VarIHj))
        .real(v.VarI_percent)
        .single(static_cast<float>(v.VarLHj))
        .real(v.VarL_percent)
        .end_row();
  }
  tsv.close();
}

void write_diversity_table(const std::string& folder, const StructureTable& table) {
  TsvFile tsv(results_file(folder, "diversity.tsv"), {"statistic", "value", "variance"});
  const StructureStatistics& d = table.defined;
  const float none = std::numeric_limits<float>::quiet_NaN();
  tsv.text("populations").integer(table.populations).text("NA").end_row();
  tsv.text("Hw").single(d.Hw).single(d.VarHw).end_row();
  tsv.text("VarI_Hw").single(d.VarIHw).single(none).end_row();
  tsv.text("VarL_Hw").single(d.VarLHw).single(none).end_row();
  tsv.text("VarP_Hw").single(d.VarPHw).single(none).end_row();
  tsv.text("Ht").single(d.Ht).single(none).end_row();
  tsv.text("Hb").single(d.Hb).single(d.VarHb).end_row();
  tsv.text("Fst").single(d.Fst).single(d.VarFst).end_row();
  tsv.close();
}

void write_permutation_tables(const std::string& folder, float observed_fst, const std::vector<float>& permuted,
                              float lower95, float upper95, float lower99, float upper99, float p_low,
                              float p_high, double p_value) {
  TsvFile values(results_file(folder, "permutations.tsv"), {"sample", "permutation", "fst"});
  values.text("observed").text("NA").single(defined(observed_fst)).end_row();
  for (std::size_t k = 0; k < permuted.size(); ++k) {
    values.text("permuted").integer(static_cast<long long>(k) + 1).single(defined(permuted[k])).end_row();
  }
  values.close();

  // The percentile limits exist from 40 (95%) and 200 (99%) permutations on.
  const float none = std::numeric_limits<float>::quiet_NaN();
  const std::size_t n = permuted.size();
  TsvFile summary(results_file(folder, "permutation_summary.tsv"), {"statistic", "value"});
  summary.text("permutations").integer(static_cast<long long>(n)).end_row();
  summary.text("observed").single(defined(observed_fst)).end_row();
  summary.text("lower_95").single(n >= 40 ? lower95 : none).end_row();
  summary.text("upper_95").single(n >= 40 ? upper95 : none).end_row();
  summary.text("lower_99").single(n >= 200 ? lower99 : none).end_row();
  summary.text("upper_99").single(n >= 200 ? upper99 : none).end_row();
  summary.text("p_low").single(p_low).end_row();
  summary.text("p_high").single(p_high).end_row();
  summary.text("p_value").real(p_value).end_row();
  summary.close();
}

void write_distances_table(const std::string& folder, const NameList& names, int r, const FMatrix& Nei,
                           const FMatrix& Fst, const IMatrix& nPair) {
  TsvFile tsv(results_file(folder, "distances.tsv"),
              {"population_a", "population_b", "nei", "fst", "reynolds", "loci_shared"});
  for (int a = 1; a < r; ++a) {
    for (int b = a + 1; b <= r; ++b) {
      tsv.text(names[a])
          .text(names[b])
          .single(static_cast<float>(distance_value(Nei[a][b])))
          .single(static_cast<float>(distance_value(Fst[a][b])))
          .real(reynolds_distance(Fst[a][b]))
          .integer(nPair[a][b])
          .end_row();
    }
  }
  tsv.close();
}

BootstrapDistancesTable::BootstrapDistancesTable(const std::string& folder, const NameList& names, int r)
    : names_(names),
      r_(r),
      tsv_(results_file(folder, "bootstrap_distances.tsv"),
           {"replicate", "population_a", "population_b", "nei", "fst", "reynolds"}) {}

void BootstrapDistancesTable::add(int replicate, const FMatrix& nei, const FMatrix& fst) {
  for (int a = 1; a < r_; ++a) {
    for (int b = a + 1; b <= r_; ++b) {
      tsv_.integer(replicate)
          .text(names_[a])
          .text(names_[b])
          .single(static_cast<float>(distance_value(nei[a][b])))
          .single(static_cast<float>(distance_value(fst[a][b])))
          .real(reynolds_distance(fst[a][b]))
          .end_row();
    }
  }
}

void write_frequencies_table(const std::string& folder, int r, int m, const NameList& population_names,
                             const NameList& locus_names, const IMatrix& non_missing, const FMatrix& fragment,
                             const FMatrix& P, const FMatrix& V) {
  TsvFile tsv(results_file(folder, "frequencies.tsv"),
              {"population", "locus", "n", "fragment_frequency", "allele_frequency", "variance"});
  const float none = std::numeric_limits<float>::quiet_NaN();
  for (int j = 0; j < r; ++j) {
    for (int i = 0; i < m; ++i) {
      const int n = non_missing[j + 1][i + 1];
      tsv.text(population_names[j + 1]).text(locus_names[i + 1]).integer(n);
      if (n == 0) {
        // An unscored cell holds whatever the estimator left there: not a value.
        tsv.single(none).single(none).single(none);
      } else {
        tsv.single(fragment[j][i]).single(P[j][i]).single(V[j][i]);
      }
      tsv.end_row();
    }
  }
  tsv.close();
}

void write_relatedness_pairs(const std::string& folder, const RelatednessTriangle& rel,
                             const std::vector<std::string>& individual_names, const NameList& population_names,
                             int r, const IVector& population_bounds) {
  TsvFile tsv(results_file(folder, "relatedness.tsv"),
              {"index_a", "individual_a", "population_a", "index_b", "individual_b", "population_b", "r"});
  const int ntot = rel.individuals();
  // "index\tname\tpopulation" of each individual, formed once.
  std::vector<std::string> label(static_cast<std::size_t>(ntot));
  for (int x = 0; x < ntot; ++x) {
    std::string& s = label[static_cast<std::size_t>(x)];
    s = std::to_string(x + 1);
    s += '\t';
    s += tsv_text(individual_names[static_cast<std::size_t>(x)]);
    s += '\t';
    s += tsv_text(population_names[population_of_individual(x, population_bounds, r) + 1]);
  }
  for (int x = 0; x < ntot; ++x) {
    const float* row = rel.row(x);
    for (int y = x + 1; y < ntot; ++y) {
      const float v = row[y - x - 1];
      tsv.raw(label[static_cast<std::size_t>(x)])
          .raw(label[static_cast<std::size_t>(y)])
          .single(v == kRelatednessUndefined ? std::numeric_limits<float>::quiet_NaN() : v)
          .end_row();
    }
  }
  tsv.close();
}

}  // namespace bandscape
