#include "report/tables/amova_results.hpp"

#include <limits>
#include <utility>

#include "core/format.hpp"
#include "report/figures/figures.hpp"
#include "report/tables/results_tables.hpp"
#include "report/figures/svg.hpp"
#include "report/tables/tsv.hpp"

namespace bandscape {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string axis_name(int a) { return format("axis%d", a + 1); }

// The eigenvalues of one ordination: axis 1..n, eigenvalue, share of the sum
// of the positive eigenvalues (NA for a negative one), share of the trace.
void write_eigenvalues(const std::string& folder, const std::string& name, const PrincipalCoordinates& pc) {
  TsvFile tsv(results_file(folder, (name + "_eigenvalues.tsv").c_str()),
              {"axis", "eigenvalue", "share", "share_of_trace"});
  for (int a = 0; a < pc.n; ++a) {
    const auto at = static_cast<std::size_t>(a);
    tsv.integer(a + 1).real(pc.eigenvalues[at]).real(pc.positive_shares[at]).real(pc.relative_eigenvalues[at]);
    tsv.end_row();
  }
  tsv.close();
}

// The caption's note on a matrix that is not Euclidean: the axes' shares are
// of the positive eigenvalues, and how far the negative ones reach.
std::string negative_eigenvalue_note(const PrincipalCoordinates& pc) {
  if (!pc.has_negative_eigenvalues() || !(pc.positive_sum > 0.0)) return {};
  double negative = 0.0;
  for (const double v : pc.eigenvalues) negative += v < 0.0 ? v : 0.0;
  return format(". The matrix has negative eigenvalues (their sum is %s%% of that of the positive ones): the axes' "
                "shares are of the positive eigenvalues",
                fixed_text(-100.0 * negative / pc.positive_sum, 1).c_str());
}

// A header row of leading columns followed by axis1..axisK.  TsvFile takes
// its columns as a list, so the axis names are appended to the last leading
// column's text.
std::string axis_columns(const PrincipalCoordinates& pc) {
  std::string tail;
  for (int a = 0; a < pc.axes; ++a) tail += "\t" + axis_name(a);
  return tail;
}

// Writes a figure into the folder and keeps it for summary.html.
void add_figure(const std::string& folder, const std::string& file, SummaryFigure figure,
                std::vector<SummaryFigure>& figures) {
  write_results_text(folder, file.c_str(), figure.svg);
  figures.push_back(std::move(figure));
}

void write_amova_table(const std::string& folder, const AmovaResult& result, int loci_used, int permutations) {
  const AmovaTable& t = result.table;
  TsvFile tsv(results_file(folder, "amova.tsv"),
              {"term", "df", "ss", "ms", "sigma2", "percent", "value", "p_value"});
  auto component = [&tsv](const char* name, const AmovaComponent& c, double p) {
    tsv.text(name).integer(c.df).real(c.ss).real(c.ms).real(c.sigma2).real(c.percent).real(kNaN).real(p).end_row();
  };
  auto value = [&tsv](const char* name, double v, double p) {
    tsv.text(name).text("NA").real(kNaN).real(kNaN).real(kNaN).real(kNaN).real(v).real(p).end_row();
  };
  if (t.three_levels) {
    component("among_groups", t.among_groups, kNaN);
    component("among_populations_within_groups", t.among_populations, kNaN);
  } else {
    component("among_populations", t.among_populations, kNaN);
  }
  component("within_populations", t.within_populations, result.sigma2_within.p_value);
  component("total", t.total, kNaN);
  if (t.three_levels) {
    value("PhiRT", t.phi_rt, result.phi_rt.p_value);
    value("PhiPR", t.phi_pr, result.phi_pr.p_value);
  }
  value("PhiPT", t.phi_pt, result.phi_pt.p_value);
  value("n", t.n, kNaN);
  if (t.three_levels) {
    value("n_prime", t.n_prime, kNaN);
    value("n_second", t.n_second, kNaN);
  }
  value("loci_used", loci_used, kNaN);
  value("permutations", permutations, kNaN);
  tsv.close();
}

void write_permutations(const std::string& folder, const AmovaResult& result, int permutations) {
  const bool three = result.table.three_levels;
  TsvFile tsv(results_file(folder, "amova_permutations.tsv"),
              {"permutation", three ? "PhiPT\tsigma2_within\tPhiPR\tPhiRT" : "PhiPT\tsigma2_within"});
  for (int k = 0; k < permutations; ++k) {
    const auto at = static_cast<std::size_t>(k);
    tsv.integer(k + 1).real(result.phi_pt.permuted[at]).real(result.sigma2_within.permuted[at]);
    if (three) tsv.real(result.phi_pr.permuted[at]).real(result.phi_rt.permuted[at]);
    tsv.end_row();
  }
  tsv.close();
}

void write_pairwise(const std::string& folder, const std::vector<std::string>& names, const PairwisePhiPT& pairs) {
  TsvFile tsv(results_file(folder, "phipt_pairwise.tsv"), {"population_a", "population_b", "PhiPT", "p_value"});
  const auto r = static_cast<int>(names.size());
  for (int p = 0; p < r; ++p) {
    for (int q = p + 1; q < r; ++q) {
      tsv.text(names[static_cast<std::size_t>(p)]).text(names[static_cast<std::size_t>(q)]);
      tsv.real(pairs.phi_pt(p, q)).real(pairs.p(p, q)).end_row();
    }
  }
  tsv.close();
}

// With three levels (`three_levels`) the figure shows the groups.
void write_individual_ordination(const std::string& folder, const AmovaLabels& labels, const PrincipalCoordinates& pc,
                                 const std::string& distance, bool three_levels, std::vector<SummaryFigure>& figures) {
  TsvFile tsv(results_file(folder, "pcoa_individuals.tsv"),
              {"index", "individual", "population" + axis_columns(pc)});
  for (int k = 0; k < pc.n; ++k) {
    const auto at = static_cast<std::size_t>(k);
    tsv.integer(k + 1).text((*labels.individuals)[at]);
    tsv.text((*labels.populations)[static_cast<std::size_t>(labels.population_of[at])]);
    for (int a = 0; a < pc.axes; ++a) tsv.real(pc.coordinate(k, a));
    tsv.end_row();
  }
  tsv.close();
  write_eigenvalues(folder, "pcoa_individuals", pc);

  if (!three_levels) {
    add_figure(folder, "pcoa_individuals.svg",
               {"Principal coordinates of the individuals (" + distance + "), by population" +
                    negative_eigenvalue_note(pc),
                pcoa_individuals(pc, labels.population_of, *labels.populations)},
               figures);
  } else {
    add_figure(folder, "pcoa_individuals.svg",
               {"Principal coordinates of the individuals (" + distance +
                    "), coloured by group of the subset file, marker shape by population within it" +
                    negative_eigenvalue_note(pc),
                pcoa_individuals_by_group(pc, labels.population_of, *labels.populations, labels.subset_groups)},
               figures);
  }
}

void write_population_ordination(const std::string& folder, const std::vector<std::string>& names,
                                 const PopulationOrdination& ordination, std::vector<SummaryFigure>& figures) {
  const std::string name = "pcoa_" + ordination.matrix;
  const PrincipalCoordinates& pc = ordination.coordinates;
  TsvFile tsv(results_file(folder, (name + ".tsv").c_str()), {"index", "population" + axis_columns(pc)});
  for (int p = 0; p < pc.n; ++p) {
    tsv.integer(p + 1).text(names[static_cast<std::size_t>(p)]);
    for (int a = 0; a < pc.axes; ++a) tsv.real(pc.coordinate(p, a));
    tsv.end_row();
  }
  tsv.close();
  write_eigenvalues(folder, name, pc);
  add_figure(folder, "pcoa_populations_" + ordination.matrix + ".svg",
             {"Principal coordinates of the populations from " + ordination.title + negative_eigenvalue_note(pc),
              pcoa_populations(pc, names)},
             figures);
}

}  // namespace

AmovaPage write_amova_results(const std::string& folder, const AmovaAnalysis& analysis,
                              const Ordinations& ordinations, const AmovaLabels& labels) {
  AmovaPage page;
  if (analysis.result) {
    const AmovaResult& result = *analysis.result;
    write_amova_table(folder, result, analysis.loci_used, analysis.permutations);
    write_permutations(folder, result, analysis.permutations);
    if (analysis.pairs) write_pairwise(folder, *labels.populations, *analysis.pairs);
    page.tables.push_back(amova_html_table(result, analysis.permutations));
    page.tables.back().note += format(" The AMOVA used %d of the %d loci: those with at most %g%% of missing scores "
                                      "(--amova-max-missing).",
                                      analysis.loci_used, analysis.loci, analysis.missing_millionths / 1e4);
    if (ordinations.individuals) {
      write_individual_ordination(folder, labels, *ordinations.individuals, ordinations.individual_distance,
                                  !analysis.groups.empty(), page.figures);
    }
    if (!result.phi_pt.permuted.empty()) {
      add_figure(folder, "amova_phipt.svg",
                 {"AMOVA permutation test of ΦPT: the permuted values and the observed one (orange line)",
                  permutation_histogram(result.phi_pt, "ΦPT")},
                 page.figures);
    }
  }
  for (const PopulationOrdination& ordination : ordinations.populations) {
    write_population_ordination(folder, *labels.populations, ordination, page.figures);
  }
  return page;
}

HtmlTable write_band_patterns(const std::string& folder, const std::vector<BandPattern>& patterns,
                              const std::vector<std::string>& population_names) {
  TsvFile tsv(results_file(folder, "bands.tsv"),
              {"population", "individuals", "loci_with_data", "bands_present", "bands_common", "private_bands",
               "locally_common_25", "locally_common_50", "shannon_bands", "shannon_estimates", "down_weighted",
               "down_weighted_per_individual"});
  for (std::size_t j = 0; j < patterns.size(); ++j) {
    const BandPattern& b = patterns[j];
    tsv.text(population_names[j]).integer(b.individuals).integer(b.loci_with_data);
    tsv.integer(b.bands_present).integer(b.bands_common).integer(b.private_bands);
    tsv.integer(b.locally_common_25).integer(b.locally_common_50);
    tsv.real(b.shannon_bands).real(b.shannon_estimates).real(b.down_weighted);
    tsv.real(b.down_weighted_per_individual).end_row();
  }
  tsv.close();
  return band_html_table(patterns, population_names);
}

}  // namespace bandscape
