#include "report/tables/spatial_results.hpp"

#include <cmath>

#include "core/format.hpp"
#include "report/figures/spatial_figures.hpp"
#include "report/tables/results_tables.hpp"
#include "report/tables/tsv.hpp"

namespace bandscape {

namespace {

const char* genetic_title(const std::string& key) {
  if (key == "nei") return "Nei's distance";
  if (key == "fst_linearised") return "Fst / (1 - Fst)";
  if (key == "reynolds") return "Reynolds' distance";
  if (key == "phipt_linearised") return "PhiPT / (1 - PhiPT)";
  if (key == "band_differences") return "band differences";
  return "kinship";
}

// A number of a page table: "undefined" when it is not one.
std::string cell(const char* fmt, double v) { return std::isfinite(v) ? format(fmt, v) : "undefined"; }

void write_geographic_distances(const std::string& folder, const SpatialAnalysis& a,
                                const std::vector<std::string>& populations,
                                const std::vector<std::string>& individuals) {
  TsvFile tsv(results_file(folder, "geographic_distances.tsv"), {"level", "name_a", "name_b", "km"});
  const auto pairs = [&tsv](const char* level, const PackedDistances& km, const std::vector<std::string>& names) {
    for (int i = 0; i < km.size(); ++i) {
      for (int j = i + 1; j < km.size(); ++j) {
        tsv.text(level).text(names[static_cast<std::size_t>(i)]).text(names[static_cast<std::size_t>(j)]);
        tsv.real(km(i, j)).end_row();
      }
    }
  };
  pairs("populations", a.population_km, populations);
  if (a.individual_km) pairs("individuals", *a.individual_km, individuals);
  tsv.close();
}

HtmlTable write_mantel(const std::string& folder, const SpatialAnalysis& a) {
  TsvFile tsv(results_file(folder, "mantel.tsv"), {"level", "genetic", "geographic", "pairs", "r", "slope",
                                                   "intercept", "p_value", "permutations"});
  HtmlTable t;
  t.caption = "Mantel tests of isolation by distance";
  t.columns = {"Level", "Genetic distance", "Geographic", "Pairs", "r", "Slope", "P", "Permutations"};
  for (const MantelRow& row : a.mantel) {
    const MantelTest& m = row.test;
    tsv.text(row.level).text(row.genetic).text(row.geographic).integer(static_cast<long long>(m.pairs));
    tsv.real(m.r).real(m.slope).real(m.intercept).real(m.p_value).integer(m.permutations).end_row();
    t.rows.push_back({row.level, genetic_title(row.genetic), row.geographic == "km" ? "km" : "ln(km)",
                      format("%zu", m.pairs), cell("%.4f", m.r), cell("%.4g", m.slope), cell("%.4f", m.p_value),
                      format("%d", m.permutations)});
  }
  tsv.close();
  t.note = "Pearson's r between genetic and geographic distance over the pairs; P one-sided, (k + 1) / (n + 1) "
           "of the permutations of the genetic matrix with r at least the observed one (for kinship: at most, "
           "a decrease of kinship with distance).";
  return t;
}

// The isolation-by-distance scatter of each Mantel test of the populations.
void mantel_figures(const std::string& folder, const SpatialAnalysis& a, PageSection& section) {
  for (const MantelRow& row : a.mantel) {
    if (row.level != "populations") continue;
    const GeneticMatrix* matrix = nullptr;
    for (const GeneticMatrix& m : a.population_matrices) {
      if (m.key == row.genetic) matrix = &m;
    }
    if (matrix == nullptr) continue;
    const bool ln = row.geographic == "ln_km";
    std::vector<double> x = a.population_km.values();
    if (ln) {
      for (double& v : x) v = v > 0.0 ? std::log(v) : std::nan("");
    }
    const MantelTest& m = row.test;
    const std::string title = format("%s against %s: r = %s, %s", genetic_title(row.genetic), ln ? "ln(km)" : "km",
                                     cell("%.3f", m.r).c_str(), p_value_text(m.p_value, m.permutations).c_str());
    const std::string svg = ibd_scatter(x, matrix->values.values(), m.slope, m.intercept, title,
                                        ln ? "ln(geographic distance, km)" : "Geographic distance (km)",
                                        genetic_title(row.genetic));
    const std::string file = "ibd_" + row.genetic + "_" + row.geographic + ".svg";
    write_results_text(folder, file.c_str(), svg);
    section.figures.push_back({"Isolation by distance between populations: " + title, svg});
  }
}

std::vector<double> class_middles(const std::vector<double>& lower, const std::vector<double>& upper) {
  std::vector<double> x;
  for (std::size_t h = 0; h < lower.size(); ++h) x.push_back((lower[h] + upper[h]) / 2);
  return x;
}

void write_autocorrelation(const std::string& folder, const Autocorrelation& a, PageSection& section) {
  TsvFile tsv(results_file(folder, "autocorrelation.tsv"), {"class", "lower_km", "upper_km", "pairs", "r",
                                                            "null_lower", "null_upper", "boot_lower", "boot_upper",
                                                            "p_value"});
  HtmlTable t;
  t.caption = "Spatial autocorrelation of individuals (Smouse & Peakall 1999)";
  t.columns = {"Class", "km", "Pairs", "r", "Null 95%", "Bootstrap 95%", "P"};
  ClassCurve curve;
  std::vector<double> lower, upper;
  for (std::size_t h = 0; h < a.classes.size(); ++h) {
    const AutocorrelationClass& c = a.classes[h];
    tsv.integer(static_cast<long long>(h) + 1).real(c.lower_km).real(c.upper_km).integer(static_cast<long long>(c.pairs));
    tsv.real(c.r).real(c.null_lower).real(c.null_upper).real(c.boot_lower).real(c.boot_upper).real(c.p_value);
    tsv.end_row();
    t.rows.push_back({format("%zu", h + 1), format("%.4g-%.4g", c.lower_km, c.upper_km), format("%zu", c.pairs),
                      cell("%.4f", c.r), cell("%.4f", c.null_lower) + " to " + cell("%.4f", c.null_upper),
                      cell("%.4f", c.boot_lower) + " to " + cell("%.4f", c.boot_upper), cell("%.4f", c.p_value)});
    lower.push_back(c.lower_km), upper.push_back(c.upper_km);
    curve.y.push_back(c.r);
    curve.band_lo.push_back(c.null_lower), curve.band_hi.push_back(c.null_upper);
    curve.bar_lo.push_back(c.boot_lower), curve.bar_hi.push_back(c.boot_upper);
  }
  tsv.close();
  t.note = format("Null 95%%: r under %d permutations of the individuals among the locations; bootstrap 95%%: %d "
                  "resamplings of the pairs of each class; P one-sided in the direction of r.",
                  a.permutations, a.bootstraps);
  section.tables.push_back(std::move(t));
  curve.x = class_middles(lower, upper);
  const std::string svg = class_curve_figure(curve, "Spatial autocorrelation of individuals",
                                             "Distance class (km, middle)", "r");
  write_results_text(folder, "autocorrelation.svg", svg);
  section.figures.push_back({"Correlogram: r per distance class, the 95% interval under the null hypothesis "
                             "(grey band) and the bootstrap 95% interval (bars)",
                             svg});
}

void write_kinship(const std::string& folder, const KinshipDistance& k, PageSection& section) {
  TsvFile classes(results_file(folder, "kinship_classes.tsv"), {"class", "lower_km", "upper_km", "pairs",
                                                                "mean_kinship"});
  ClassCurve curve;
  std::vector<double> lower, upper;
  for (std::size_t h = 0; h < k.classes.size(); ++h) {
    const KinshipClass& c = k.classes[h];
    classes.integer(static_cast<long long>(h) + 1).real(c.lower_km).real(c.upper_km);
    classes.integer(static_cast<long long>(c.pairs)).real(c.mean_kinship).end_row();
    lower.push_back(c.lower_km), upper.push_back(c.upper_km);
    curve.y.push_back(c.mean_kinship);
  }
  classes.close();
  TsvFile sp(results_file(folder, "kinship_sp.tsv"), {"statistic", "value"});
  const std::pair<const char*, double> rows[] = {
      {"b", k.b}, {"F1", k.f1}, {"Sp", k.sp}, {"se_Sp", k.se_sp}, {"p_value", k.p_value}};
  HtmlTable t;
  t.caption = "Kinship and distance (Hardy 2003; Sp of Vekemans & Hardy 2004)";
  t.columns = {"Statistic", "Value"};
  for (const auto& [name, value] : rows) {
    sp.text(name).real(value).end_row();
    t.rows.push_back({name, cell("%.5g", value)});
  }
  sp.close();
  t.note = format("b: slope of kinship on ln(distance) over %zu pairs; F1: mean kinship of the first class; Sp = "
                  "-b / (1 - F1), its S.E. by jackknife over loci; P of b one-sided for a decrease, %d permutations.",
                  k.regression_pairs, k.permutations);
  section.tables.push_back(std::move(t));
  curve.x = class_middles(lower, upper);
  const std::string svg =
      class_curve_figure(curve, "Kinship and distance", "Distance class (km, middle)", "Mean kinship");
  write_results_text(folder, "kinship.svg", svg);
  section.figures.push_back({"Mean kinship per distance class", svg});
}

}  // namespace

PageSection write_spatial_results(const std::string& folder, const SpatialAnalysis& analysis,
                                  const std::vector<std::string>& population_names,
                                  const std::vector<std::string>& individual_names) {
  PageSection section;
  section.id = "space";
  section.heading = "Genetic structure in space";
  write_geographic_distances(folder, analysis, population_names, individual_names);
  section.tables.push_back(write_mantel(folder, analysis));
  mantel_figures(folder, analysis, section);
  if (analysis.autocorrelation) write_autocorrelation(folder, *analysis.autocorrelation, section);
  if (analysis.kinship) write_kinship(folder, *analysis.kinship, section);
  if (analysis.locations_are_means) {
    section.notes.push_back("The location of each population is the mean of its individuals' coordinates.");
  }
  return section;
}

}  // namespace bandscape
