#include "report/amova_results.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "amova/amova.hpp"
#include "bands/band_patterns.hpp"
#include "core/format.hpp"
#include "numeric/distance_matrix.hpp"
#include "numeric/keyed_random.hpp"
#include "ordination/pcoa.hpp"
#include "report/figures.hpp"
#include "report/results_tables.hpp"
#include "report/svg.hpp"
#include "report/tsv.hpp"
#include "stats/band_differences.hpp"
#include "stats/distances.hpp"

namespace bandscape {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The AMOVA streams are keyed by stream_key(run seed, this tag, 0, 0), so that
// they share no key with any other analysis that draws keyed streams from the
// same run seed ("AMOVA" in ASCII).
constexpr std::uint64_t kAmovaStreamTag = 0x414D4F5641ULL;
// Axes written for each ordination (fewer when there are fewer positive ones).
constexpr int kAxes = 10;

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

// The population the individual in row k belongs to (1-based).
int population_of(const AmovaRunData& data, int k) {
  const IVector& bounds = *data.population_bounds;
  int j = 1;
  while (k >= bounds[j]) ++j;
  return j;
}

// The population names 0..r-1.
std::vector<std::string> population_name_list(const AmovaRunData& data) {
  std::vector<std::string> names;
  for (int j = 1; j <= data.r; ++j) names.push_back((*data.population_names)[j]);
  return names;
}

// Writes a figure into the folder and keeps it for summary.html.
void add_figure(const std::string& folder, const std::string& file, SummaryFigure figure,
                std::vector<SummaryFigure>& figures) {
  write_results_text(folder, file.c_str(), figure.svg);
  figures.push_back(std::move(figure));
}

std::string pair_text(const NameList& names, int a, int b) {
  return names[a] + " and " + names[b];
}

// Groups 0..G-1 of the populations for a three-level AMOVA, numbered in order
// of first appearance; empty (two levels) without groups, with a single
// group, or when every group is a single population (nothing left between
// populations within groups).
std::vector<int> amova_groups(const AmovaRunData& data, std::vector<std::string>& warnings) {
  if (data.population_groups == nullptr) return {};
  const IVector& given = *data.population_groups;
  std::vector<int> first_seen;
  std::vector<int> groups;
  for (int j = 1; j <= data.r; ++j) {
    if (given[j] <= 0) return {};
    int g = 0;
    while (g < static_cast<int>(first_seen.size()) && first_seen[static_cast<std::size_t>(g)] != given[j]) ++g;
    if (g == static_cast<int>(first_seen.size())) first_seen.push_back(given[j]);
    groups.push_back(g);
  }
  const int G = static_cast<int>(first_seen.size());
  if (G < 2) {
    warnings.push_back("AMOVA on two levels: the subset file puts every population in one group");
    return {};
  }
  if (G == data.r) {
    warnings.push_back("AMOVA on two levels: every group of the subset file holds a single population");
    return {};
  }
  return groups;
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

void write_pairwise(const std::string& folder, const AmovaRunData& data, const PairwisePhiPT& pairs) {
  TsvFile tsv(results_file(folder, "phipt_pairwise.tsv"), {"population_a", "population_b", "PhiPT", "p_value"});
  const NameList& names = *data.population_names;
  for (int p = 0; p < data.r; ++p) {
    for (int q = p + 1; q < data.r; ++q) {
      tsv.text(names[p + 1]).text(names[q + 1]).real(pairs.phi_pt(p, q)).real(pairs.p(p, q)).end_row();
    }
  }
  tsv.close();
}

// The 0-based group of each population as the subset file numbers them (the
// page lists the groups by these numbers).
std::vector<int> subset_groups(const AmovaRunData& data) {
  std::vector<int> groups;
  for (int j = 1; j <= data.r; ++j) groups.push_back((*data.population_groups)[j] - 1);
  return groups;
}

// With three levels (`groups` not empty) the figure shows the groups.
void write_individual_ordination(const std::string& folder, const AmovaRunData& data,
                                 const PackedDistances& distances, const std::vector<int>& groups,
                                 std::vector<SummaryFigure>& figures) {
  const int n = distances.size();
  DistanceMatrix d(n);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) d.at(i, j) = d.at(j, i) = std::sqrt(distances(i, j));
  }
  const PrincipalCoordinates pc = principal_coordinates(d, kAxes);
  TsvFile tsv(results_file(folder, "pcoa_individuals.tsv"),
              {"index", "individual", "population" + axis_columns(pc)});
  for (int k = 0; k < n; ++k) {
    tsv.integer(k + 1).text((*data.individual_names)[static_cast<std::size_t>(k)]);
    tsv.text((*data.population_names)[population_of(data, k)]);
    for (int a = 0; a < pc.axes; ++a) tsv.real(pc.coordinate(k, a));
    tsv.end_row();
  }
  tsv.close();
  write_eigenvalues(folder, "pcoa_individuals", pc);

  std::vector<int> population(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) population[static_cast<std::size_t>(k)] = population_of(data, k) - 1;
  const std::vector<std::string> names = population_name_list(data);
  if (groups.empty()) {
    add_figure(folder, "pcoa_individuals.svg",
               {"Principal coordinates of the individuals (Euclidean distance between band profiles), by "
                "population" + negative_eigenvalue_note(pc),
                pcoa_individuals(pc, population, names)},
               figures);
  } else {
    add_figure(folder, "pcoa_individuals.svg",
               {"Principal coordinates of the individuals (Euclidean distance between band profiles), coloured by "
                "group of the subset file, marker shape by population within it" + negative_eigenvalue_note(pc),
                pcoa_individuals_by_group(pc, population, names, subset_groups(data))},
               figures);
  }
}

// The ordination of the populations from one matrix; a warning instead when a
// cell is undefined.
// `title`: the matrix as the figure's caption names it.
void write_population_ordination(const std::string& folder, const AmovaRunData& data, const char* matrix,
                                 const char* title, const DistanceMatrix& d, AmovaOutcome& outcome) {
  const std::string name = std::string("pcoa_") + matrix;
  if (const auto pair = first_undefined_distance(d)) {
    outcome.warnings.push_back(format("no principal coordinates of %s: the distance between %s is undefined", matrix,
                              pair_text(*data.population_names, pair->first + 1, pair->second + 1).c_str()));
    return;
  }
  const PrincipalCoordinates pc = principal_coordinates(d, kAxes);
  TsvFile tsv(results_file(folder, (name + ".tsv").c_str()), {"index", "population" + axis_columns(pc)});
  for (int p = 0; p < data.r; ++p) {
    tsv.integer(p + 1).text((*data.population_names)[p + 1]);
    for (int a = 0; a < pc.axes; ++a) tsv.real(pc.coordinate(p, a));
    tsv.end_row();
  }
  tsv.close();
  write_eigenvalues(folder, name, pc);
  add_figure(folder, std::string("pcoa_populations_") + matrix + ".svg",
             {std::string("Principal coordinates of the populations from ") + title + negative_eigenvalue_note(pc),
              pcoa_populations(pc, population_name_list(data))},
             outcome.figures);
}

// The population matrix of a stored 1..r upper triangle by the cell rules.
DistanceMatrix stored_matrix(int r, const FMatrix& stored, bool reynolds) {
  DistanceMatrix d(r);
  for (int a = 1; a <= r; ++a) {
    for (int b = a + 1; b <= r; ++b) d.at(a - 1, b - 1) = d.at(b - 1, a - 1) = ordination_cell(stored[a][b], reynolds);
  }
  return d;
}

}  // namespace

double ordination_cell(float stored, bool reynolds) {
  const double value = distance_value(stored);
  if (std::isnan(value)) return kNaN;
  if (value < 0.0) return 0.0;
  return reynolds ? reynolds_distance(stored) : value;
}

AmovaOutcome write_amova_results(const std::string& folder, const AmovaRunData& data, int permutations, long seed,
                                 int threads) {
  AmovaOutcome outcome;
  AmovaSummary& summary = outcome.summary;
  summary.phi_pt = summary.phi_pt_p = summary.phi_pr = summary.phi_pr_p = summary.phi_rt = summary.phi_rt_p = kNaN;
  summary.permutations = permutations;

  const BandDifferences differences = band_differences(*data.band_scores, data.ntot, data.m, threads);
  summary.loci_used = differences.loci_used();

  AmovaDesign design;
  for (int j = 1; j <= data.r; ++j) {
    design.population_sizes.push_back((*data.population_bounds)[j] - (*data.population_bounds)[j - 1]);
  }
  design.groups = amova_groups(data, outcome.warnings);

  std::optional<PairwisePhiPT> pairs;
  if (summary.loci_used == 0) {
    outcome.warnings.push_back(
        "no AMOVA, pairwise PhiPT or principal coordinates of the individuals: no locus has at most 5% missing "
        "scores");
  } else if (differences.undefined_pairs > 0) {
    // The first pair without a used locus scored in both, in row order.
    const std::vector<double>& values = differences.distances.values();
    std::size_t at = 0;
    while (!std::isnan(values[at])) ++at;
    int i = 0;
    while (differences.distances.index(i, data.ntot - 1) < at) ++i;
    int j = i + 1;
    while (differences.distances.index(i, j) < at) ++j;
    const auto& names = *data.individual_names;
    outcome.warnings.push_back(format(
        "no AMOVA, pairwise PhiPT or principal coordinates of the individuals: individuals %s and %s share no "
        "scored locus among the %d loci with at most 5%% missing scores",
        names[static_cast<std::size_t>(i)].c_str(), names[static_cast<std::size_t>(j)].c_str(),
        summary.loci_used));
  } else {
    PermutationSettings settings;
    settings.permutations = permutations;
    settings.seed = stream_key(static_cast<std::uint64_t>(seed), kAmovaStreamTag, 0, 0);
    settings.threads = threads;
    const AmovaResult result = amova(differences.distances, design, settings);
    pairs = pairwise_phi_pt(differences.distances, design, settings);
    write_amova_table(folder, result, summary.loci_used, permutations);
    write_permutations(folder, result, permutations);
    write_pairwise(folder, data, *pairs);
    outcome.tables.push_back(amova_html_table(result, permutations));
    write_individual_ordination(folder, data, differences.distances, design.groups, outcome.figures);
    if (!result.phi_pt.permuted.empty()) {
      add_figure(folder, "amova_phipt.svg",
                 {"AMOVA permutation test of ΦPT: the permuted values and the observed one (orange line)",
                  permutation_histogram(result.phi_pt, "ΦPT")},
                 outcome.figures);
    }
    summary.done = true;
    summary.three_levels = result.table.three_levels;
    summary.phi_pt = result.phi_pt.observed;
    summary.phi_pt_p = result.phi_pt.p_value;
    if (summary.three_levels) {
      summary.phi_pr = result.phi_pr.observed;
      summary.phi_pr_p = result.phi_pr.p_value;
      summary.phi_rt = result.phi_rt.observed;
      summary.phi_rt_p = result.phi_rt.p_value;
    }
  }

  write_population_ordination(folder, data, "nei", "Nei's distance", stored_matrix(data.r, *data.nei, false),
                              outcome);
  write_population_ordination(folder, data, "fst", "the pairwise Fst", stored_matrix(data.r, *data.fst, false),
                              outcome);
  write_population_ordination(folder, data, "reynolds", "Reynolds' distance",
                              stored_matrix(data.r, *data.fst, true), outcome);
  if (pairs) {
    DistanceMatrix d(data.r);
    for (int p = 0; p < data.r; ++p) {
      for (int q = p + 1; q < data.r; ++q) {
        const double v = pairs->phi_pt(p, q);
        d.at(p, q) = d.at(q, p) = std::isnan(v) ? kNaN : (v < 0.0 ? 0.0 : v);
      }
    }
    write_population_ordination(folder, data, "phipt", "the pairwise ΦPT", d, outcome);
  }
  return outcome;
}

HtmlTable write_band_patterns(const std::string& folder, const AmovaRunData& data,
                              const FMatrix& fragment_frequencies, const FMatrix& estimates) {
  const std::vector<BandPattern> patterns = band_patterns(data.r, data.m, *data.band_scores, *data.population_bounds,
                                                          fragment_frequencies, estimates);
  TsvFile tsv(results_file(folder, "bands.tsv"),
              {"population", "individuals", "loci_with_data", "bands_present", "bands_common", "private_bands",
               "locally_common_25", "locally_common_50", "shannon_bands", "shannon_estimates", "down_weighted",
               "down_weighted_per_individual"});
  for (int j = 0; j < data.r; ++j) {
    const BandPattern& b = patterns[static_cast<std::size_t>(j)];
    tsv.text((*data.population_names)[j + 1]).integer(b.individuals).integer(b.loci_with_data);
    tsv.integer(b.bands_present).integer(b.bands_common).integer(b.private_bands);
    tsv.integer(b.locally_common_25).integer(b.locally_common_50);
    tsv.real(b.shannon_bands).real(b.shannon_estimates).real(b.down_weighted);
    tsv.real(b.down_weighted_per_individual).end_row();
  }
  tsv.close();
  return band_html_table(patterns, population_name_list(data));
}

}  // namespace bandscape
