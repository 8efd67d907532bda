#include "report/page/summary_results.hpp"

#include <algorithm>
#include <filesystem>
#include <span>
#include <system_error>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_file.hpp"
#include "core/version.hpp"
#include "freq/frequency_method.hpp"
#include "report/figures/figures.hpp"
#include "report/tables/results_tables.hpp"

namespace bandscape {

namespace {

// What a file of the results folder holds, from its name or its kind.
std::string describe(const std::string& file) {
  if (file == "individuals.tsv") return "individuals with their index and population";
  if (file == "run.json") return "the run's details and options, machine-readable";
  if (file == "permutation_fst.svg") return "figure: permuted Fst against the observed value";
  if (file == "relatedness.svg") return "figure: relatedness heat map";
  if (file == "amova_phipt.svg") return "figure: permuted PhiPT against the observed value";
  if (file.starts_with("pcoa_") && file.ends_with(".svg")) return "figure: principal coordinates, axes 1 and 2";
  if (file.starts_with("tree_") && file.ends_with(".svg")) return "figure: neighbour-joining tree";
  if (file.starts_with("ibd_")) return "figure: genetic against geographic distance between populations";
  if (file == "autocorrelation.svg") return "figure: spatial autocorrelation of individuals (correlogram)";
  if (file == "kinship.svg") return "figure: mean kinship per distance class";
  if (file == "clusters_bic.svg") return "figure: BIC per number of genetic clusters";
  if (file == "dapc_scatter.svg") return "figure: individuals on the discriminant functions of the populations";
  if (file == "dapc_clusters_scatter.svg") return "figure: individuals on the discriminant functions of the clusters";
  if (file == "membership.svg") return "figure: membership probabilities of each individual (DAPC)";
  if (file == "assignment.svg") return "figure: log-likelihood differences of the assignment test";
  const std::string ext = std::filesystem::path(file).extension().string();
  if (ext == ".tsv") return "table, tab-separated";
  if (ext == ".nwk") return "tree, Newick format";
  if (ext == ".svg") return "figure, SVG";
  if (ext == ".json") return "record, JSON";
  return {};
}

// The files of the folder the page links to, by name.
std::vector<std::string> linked_files(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (!entry.is_regular_file(ec)) continue;
    const std::string name = entry.path().filename().string();
    const std::string ext = entry.path().extension().string();
    if (ext == ".tsv" || ext == ".nwk" || ext == ".svg" || ext == ".json") files.push_back(name);
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

std::vector<SummaryDetail> run_details(const RunDescription& run) {
  std::vector<SummaryDetail> d;
  d.push_back({"Program", kProgramVersion});
  d.push_back({"Data file", run.data_file});
  d.push_back({"Report", run.report_file});
  d.push_back({"Populations", format("%d", run.populations)});
  d.push_back({"Loci", format("%d", run.loci)});
  d.push_back({"Individuals", format("%d", run.individuals)});
  d.push_back({"Allele frequencies", method_names(run.method).title});
  if (run.method != kFragmentFrequencies) d.push_back({"Fis", format("%5.3f", static_cast<double>(run.fis))});
  d.push_back({"Permutations", format("%d", run.permutations)});
  d.push_back({"Bootstraps", format("%d", run.bootstraps)});
  d.push_back({"Seed", format("%ld", run.seed)});
  d.push_back({"Threads", run.threads == 0 ? std::string("one per core") : format("%d", run.threads)});
  return d;
}

std::vector<SummaryDetail> subset_details(const std::string& subset_file, const std::vector<std::string>& names,
                                          const std::vector<int>& groups) {
  std::vector<SummaryDetail> d{{"Subset file", subset_file}};
  const bool grouped = !groups.empty() && std::all_of(groups.begin(), groups.end(), [](int g) { return g > 0; });
  if (!grouped) return d;
  const int count = *std::max_element(groups.begin(), groups.end());
  std::string text;
  for (int g = 1; g <= count; ++g) {
    text += (g > 1 ? "; " : "") + format("%d: ", g);
    bool first = true;
    for (std::size_t p = 0; p < names.size() && p < groups.size(); ++p) {
      if (groups[p] != g) continue;
      text += (first ? "" : ", ") + names[p];
      first = false;
    }
  }
  d.push_back({format("Groups (%d)", count), text});
  return d;
}

std::vector<WarningList> warning_lists(const std::vector<WarningGroup>& groups,
                                       const std::vector<std::string>& population_names, int permutations,
                                       int bootstraps) {
  std::vector<WarningList> lists;
  for (const WarningGroup& g : groups) {
    WarningList list;
    int replicates = 0;
    const char* unit = "";
    switch (g.source) {
      case WarningSource::kData: list.heading = "The data as read"; break;
      case WarningSource::kAnalysis: list.heading = "The analysis of the observed data"; break;
      case WarningSource::kPermutations:
        list.heading = format("The permuted data sets of the test on Fst (%d permutations)", permutations);
        replicates = permutations;
        unit = "permutations";
        break;
      case WarningSource::kBootstraps:
        list.heading = format("The bootstrap replicates of the distances (%d replicates)", bootstraps);
        replicates = bootstraps;
        unit = "bootstrap replicates";
        break;
      case WarningSource::kAmova: list.heading = "AMOVA and principal coordinates"; break;
      case WarningSource::kTrees: list.heading = "Trees"; break;
      case WarningSource::kSpace: list.heading = "Genetic structure in space"; break;
      case WarningSource::kClusters: list.heading = "Clusters and assignment"; break;
    }
    for (const WarningCount& w : g.messages) {
      std::string item = w.text;
      if (w.population >= 1 && static_cast<std::size_t>(w.population) <= population_names.size()) {
        item += format(" (population %d: ", w.population) + population_names[static_cast<std::size_t>(w.population - 1)] +
                ")";
      }
      if (replicates > 0) {
        item += format(": in %d of %d %s", w.times, replicates, unit);
      } else if (w.times > 1) {
        item += format(" (written %d times)", w.times);
      }
      list.items.push_back(std::move(item));
    }
    lists.push_back(std::move(list));
  }
  return lists;
}

SummaryPage results_summary_page(const ResultsSummary& s, const std::vector<SummaryFigure>& figures,
                                 const std::vector<std::string>& files) {
  SummaryPage page;
  page.title = "BANDSCAPE: " + std::filesystem::path(s.run.data_file).filename().string();
  page.details = run_details(s.run);
  page.details.insert(page.details.end(), s.more_details.begin(), s.more_details.end());
  page.warnings = warning_lists(s.warnings, s.population_names, s.run.permutations, s.run.bootstraps);
  if (!s.populations.empty()) page.tables.push_back(population_html_table(s.population_names, s.populations));
  if (s.structure) {
    page.tables.push_back(within_diversity_html_table(*s.structure));
    page.tables.push_back(structure_html_table(*s.structure));
  }
  if (s.permutation) {
    page.tables.push_back(permutation_html_table(s.run.permutations, s.permutation->observed, s.permutation->summary));
  }
  page.tables.insert(page.tables.end(), s.more_tables.begin(), s.more_tables.end());
  page.figures = figures;
  page.figures.insert(page.figures.end(), s.more_figures.begin(), s.more_figures.end());
  page.sections = s.sections;
  for (const std::string& f : files) page.links.push_back({f, describe(f)});
  return page;
}

void write_results_summary(const std::string& folder, const ResultsSummary& s) {
  std::vector<SummaryFigure> figures;
  if (s.permutation && !s.permutation->permuted.empty()) {
    SummaryFigure f{"Permutation test of Fst: the permuted values and the observed one (orange line)",
                    permutation_histogram(std::span<const float>(s.permutation->permuted), s.permutation->observed,
                                          permutation_p(s.permutation->summary.at_least, s.permutation->summary.permutations), "Fst")};
    write_results_text(folder, "permutation_fst.svg", f.svg);
    figures.push_back(std::move(f));
  }
  if (s.relatedness != nullptr && s.relatedness->individuals() >= 2 &&
      s.relatedness->individuals() <= kMaxRelatednessFigureIndividuals) {
    SummaryFigure f{"Relatedness between individuals (Lynch & Milligan 1994), ordered by population",
                    relatedness_heatmap(*s.relatedness, s.population_bounds, s.population_names)};
    write_results_text(folder, "relatedness.svg", f.svg);
    figures.push_back(std::move(f));
  }
  SummaryPage page = results_summary_page(s, figures, linked_files(folder));
  // A heat map of more individuals would hold cells too small to see: the
  // page says why it has none.
  if (s.relatedness != nullptr && s.relatedness->individuals() > kMaxRelatednessFigureIndividuals) {
    page.details.push_back({"Relatedness heat map", format("not drawn for more than %d individuals (%d here)",
                                                           kMaxRelatednessFigureIndividuals,
                                                           s.relatedness->individuals())});
  }
  write_results_text(folder, "summary.html", summary_html(page));
}

}  // namespace bandscape
