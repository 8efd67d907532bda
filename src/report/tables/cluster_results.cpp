#include "report/tables/cluster_results.hpp"

#include <cmath>

#include "core/format.hpp"
#include "report/figures/cluster_figures.hpp"
#include "report/figures/spatial_figures.hpp"
#include "report/tables/results_tables.hpp"
#include "report/tables/tsv.hpp"

namespace bandscape {

namespace {

std::string cell(const char* fmt, double v) { return std::isfinite(v) ? format(fmt, v) : "undefined"; }

// What the page and the files need to know of the individuals.
struct Labels {
  const std::vector<std::string>& populations;
  const std::vector<std::string>& individuals;
  const std::vector<std::string>& loci;
  const std::vector<int>& population_of;
  const std::string& population(int i) const {
    return populations[static_cast<std::size_t>(population_of[static_cast<std::size_t>(i)])];
  }
};

void write_clusters(const std::string& folder, const ClusterAnalysis& a, const Labels& labels, PageSection& section) {
  const ClusterResult& c = a.clusters;
  TsvFile bic(results_file(folder, "clusters_bic.tsv"), {"K", "WSS", "BIC"});
  HtmlTable t;
  t.caption = format("Genetic clusters: BIC per number of clusters K (K = %d, %s)", c.chosen,
                     c.given > 0 ? "given by --clusters-k" : "chosen by the lowest BIC");
  t.columns = {"K", "WSS", "BIC"};
  ClassCurve curve;
  for (const ClusterSolution& s : c.solutions) {
    bic.integer(s.k).real(s.wss).real(s.bic).end_row();
    const char* mark = s.k == c.chosen ? (c.given > 0 ? " (given)" : " (chosen)")
                       : s.k == c.lowest_bic ? " (lowest BIC)"
                                             : "";
    t.rows.push_back({format("%d%s", s.k, mark), cell("%.4g", s.wss), cell("%.2f", s.bic)});
    curve.x.push_back(s.k);
    curve.y.push_back(s.bic);
  }
  bic.close();
  t.note = format("K-means or Ward on %d principal components (%.1f%% of the variance%s); BIC = N ln(WSS/N) + K ln N.",
                  a.components.components, 100.0 * a.components.retained_share(),
                  a.components.by_variance_share ? ", the fewest explaining 90%" : "");
  section.tables.push_back(std::move(t));
  const std::string svg = class_curve_figure(curve, "BIC of the genetic clusters", "Number of clusters K", "BIC");
  write_results_text(folder, "clusters_bic.svg", svg);
  std::string caption = "BIC per number of clusters: the lowest gives the number of genetic clusters";
  if (c.given > 0) {
    caption = format("BIC per number of clusters: K = %d was given", c.chosen) +
              (c.lowest_bic > 0 ? format(", the lowest BIC is at K = %d", c.lowest_bic) : std::string());
  }
  section.figures.push_back({caption, svg});
  if (c.chosen < 1) return;

  const ClusterSolution& chosen = c.chosen_solution();
  TsvFile members(results_file(folder, "clusters.tsv"), {"individual", "population", "cluster"});
  std::vector<std::vector<int>> counts(labels.populations.size(), std::vector<int>(static_cast<std::size_t>(chosen.k)));
  for (int i = 0; i < c.individuals; ++i) {
    const int k = chosen.cluster[static_cast<std::size_t>(i)];
    members.text(labels.individuals[static_cast<std::size_t>(i)]).text(labels.population(i)).integer(k + 1).end_row();
    ++counts[static_cast<std::size_t>(labels.population_of[static_cast<std::size_t>(i)])][static_cast<std::size_t>(k)];
  }
  members.close();
  HtmlTable table;
  table.caption = format("Individuals of each population in each of the %d clusters", chosen.k);
  table.columns = {"Population"};
  for (int k = 1; k <= chosen.k; ++k) table.columns.push_back(format("Cluster %d", k));
  for (std::size_t p = 0; p < counts.size(); ++p) {
    std::vector<std::string> row = {labels.populations[p]};
    for (int n : counts[p]) row.push_back(format("%d", n));
    table.rows.push_back(std::move(row));
  }
  section.tables.push_back(std::move(table));
}

void write_dapc(const std::string& folder, const Dapc& d, const Labels& labels) {
  TsvFile eigen(results_file(folder, "dapc_eigenvalues.tsv"), {"function", "eigenvalue", "share"});
  for (int f = 0; f < d.functions; ++f) {
    eigen.integer(f + 1).real(d.eigenvalues[static_cast<std::size_t>(f)]).real(d.shares[static_cast<std::size_t>(f)]);
    eigen.end_row();
  }
  eigen.close();
  std::string header = "index\tindividual\tpopulation";
  for (int f = 1; f <= d.functions; ++f) header += format("\tLD%d", f);
  for (const std::string& p : labels.populations) header += "\tposterior_" + tsv_text(p);
  header += "\tassigned\n";
  std::string text = header;
  for (int i = 0; i < d.individuals; ++i) {
    text += format("%d\t", i + 1) + tsv_text(labels.individuals[static_cast<std::size_t>(i)]) + "\t" +
            tsv_text(labels.population(i));
    for (int f = 0; f < d.functions; ++f) text += "\t" + tsv_double(d.coordinate(i, f));
    for (int k = 0; k < d.groups; ++k) text += "\t" + tsv_double(d.posterior_of(i, k));
    text += "\t" + tsv_text(labels.populations[static_cast<std::size_t>(d.assigned[static_cast<std::size_t>(i)])]) + "\n";
  }
  write_results_text(folder, "dapc_individuals.tsv", text);
  std::string loadings = "locus";
  for (int f = 1; f <= d.functions; ++f) loadings += format("\tLD%d", f);
  loadings += "\n";
  for (int l = 0; l < d.loci; ++l) {
    loadings += tsv_text(labels.loci[static_cast<std::size_t>(l)]);
    for (int f = 0; f < d.functions; ++f) {
      loadings += "\t" + tsv_double(d.contributions[static_cast<std::size_t>(l) * d.functions + f]);
    }
    loadings += "\n";
  }
  write_results_text(folder, "dapc_loadings.tsv", loadings);
}

void write_assignment(const std::string& folder, const AssignmentTest& a, const Labels& labels, PageSection& section) {
  std::string text = "index\tindividual\tpopulation\tassigned\tlog_likelihood_difference";
  for (const std::string& p : labels.populations) text += "\tlog_likelihood_" + tsv_text(p);
  text += "\n";
  for (int i = 0; i < a.individuals; ++i) {
    text += format("%d\t", i + 1) + tsv_text(labels.individuals[static_cast<std::size_t>(i)]) + "\t" +
            tsv_text(labels.population(i)) + "\t" +
            tsv_text(labels.populations[static_cast<std::size_t>(a.assigned[static_cast<std::size_t>(i)])]) + "\t" +
            tsv_double(a.difference[static_cast<std::size_t>(i)]);
    for (int p = 0; p < a.populations; ++p) text += "\t" + tsv_double(a.log_likelihood_of(i, p));
    text += "\n";
  }
  write_results_text(folder, "assignment.tsv", text);
  TsvFile rates(results_file(folder, "assignment_rates.tsv"), {"population", "individuals", "correct", "rate"});
  HtmlTable t;
  t.caption = format("Assignment test: %d of %d individuals assigned to the population they were sampled from",
                     a.correct, a.individuals);
  t.columns = {"Population", "Individuals", "Assigned to it", "Rate"};
  for (std::size_t p = 0; p < a.rates.size(); ++p) {
    const PopulationAssignment& r = a.rates[p];
    rates.text(labels.populations[p]).integer(r.individuals).integer(r.correct).real(r.rate).end_row();
    t.rows.push_back({labels.populations[p], format("%d", r.individuals), format("%d", r.correct), cell("%.3f", r.rate)});
  }
  rates.close();
  t.note = "Each individual's band profile is most likely in the population assigned, with frequencies computed "
           "without the individual itself; frequencies of 0 or 1 are taken as (b + 1) / (n + 2).";
  section.tables.push_back(std::move(t));
}

std::vector<std::string> cluster_names(int k) {
  std::vector<std::string> names;
  for (int c = 1; c <= k; ++c) names.push_back(format("Cluster %d", c));
  return names;
}

std::string on_functions(const Dapc& d) {
  return d.functions >= 2 ? "on the first two discriminant functions" : "on LD1, the only discriminant function";
}

// The individuals on the discriminant functions of each DAPC, the membership
// bar plot of their posteriors and the assignment test's differences.
void write_cluster_figures(const std::string& folder, const ClusterAnalysis& a, const Labels& labels,
                           PageSection& section) {
  const auto add = [&](const char* file, std::string caption, const std::string& svg) {
    write_results_text(folder, file, svg);
    section.figures.push_back({std::move(caption), svg});
  };
  const Dapc& populations = a.populations_dapc;
  const bool by_clusters = a.clusters_dapc.has_value() && a.clusters_dapc->done;
  const std::vector<std::string> clusters = cluster_names(by_clusters ? a.clusters_dapc->groups : 0);
  if (populations.done) {
    add("dapc_scatter.svg", "DAPC on the populations: the individuals " + on_functions(populations),
        dapc_scatter(populations, labels.population_of, labels.populations, "DAPC on the populations"));
  }
  if (by_clusters) {
    const std::string title = format("DAPC on the %d genetic clusters", a.clusters_dapc->groups);
    add("dapc_clusters_scatter.svg", title + ": the individuals " + on_functions(*a.clusters_dapc),
        dapc_scatter(*a.clusters_dapc, a.clusters.chosen_solution().cluster, clusters, title));
  }
  std::vector<MembershipPanel> panels;
  if (populations.done) panels.push_back({populations, labels.populations, "Posterior membership of the populations"});
  if (by_clusters) {
    panels.push_back({*a.clusters_dapc, clusters,
                      format("Posterior membership of the %d genetic clusters", a.clusters_dapc->groups)});
  }
  if (!panels.empty()) {
    add("membership.svg",
        "Membership: each individual's bar, in population order, split by its DAPC posterior probabilities of the "
        "groups",
        membership_figure(panels, labels.population_of, labels.populations, "Membership probabilities (DAPC)"));
  }
  add("assignment.svg",
      "Assignment test: each individual's log-likelihood difference between its most likely and second most likely "
      "population, green when the most likely is its own",
      assignment_figure(a.assignment, labels.populations, "Assignment test"));
}

}  // namespace

PageSection write_cluster_results(const std::string& folder, const ClusterAnalysis& analysis,
                                  const std::vector<std::string>& population_names,
                                  const std::vector<std::string>& individual_names,
                                  const std::vector<std::string>& locus_names, const std::vector<int>& population_of) {
  const Labels labels{population_names, individual_names, locus_names, population_of};
  PageSection section;
  section.id = "clusters";
  section.heading = "Clusters and assignment";
  write_clusters(folder, analysis, labels, section);
  if (analysis.populations_dapc.done) write_dapc(folder, analysis.populations_dapc, labels);
  write_assignment(folder, analysis.assignment, labels, section);
  write_cluster_figures(folder, analysis, labels, section);
  return section;
}

}  // namespace bandscape
