#include "report/summary_results.hpp"

#include <filesystem>
#include <span>
#include <system_error>
#include <unordered_map>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_file.hpp"
#include "freq/frequency_method.hpp"
#include "report/figures.hpp"
#include "report/results_tables.hpp"

namespace bandscape {

namespace {

std::string method_name(int method) {
  switch (method) {
    case kFragmentFrequencies: return "Fragment frequencies (assuming fixed homozygosity)";
    case kSquareRoot: return "Square root method";
    case kBayesUniform: return "Bayesian method with uniform prior distribution";
    default: return "Bayesian method with non-uniform prior distribution";
  }
}

// What a file of the results folder holds, from its name or its kind.
std::string describe(const std::string& file) {
  if (file == "individuals.tsv") return "individuals with their index and population";
  if (file == "run.json") return "the run's details and options, machine-readable";
  if (file == "permutation_fst.svg") return "figure: permuted Fst against the observed value";
  if (file == "relatedness.svg") return "figure: relatedness heat map";
  if (file == "amova_phipt.svg") return "figure: permuted PhiPT against the observed value";
  if (file.starts_with("pcoa_") && file.ends_with(".svg")) return "figure: principal coordinates, axes 1 and 2";
  if (file.starts_with("tree_") && file.ends_with(".svg")) return "figure: neighbour-joining tree";
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
  d.push_back({"Program", "BANDSCAPE 1.0"});
  d.push_back({"Data file", run.data_file});
  d.push_back({"Report", run.report_file});
  d.push_back({"Populations", format("%d", run.populations)});
  d.push_back({"Loci", format("%d", run.loci)});
  d.push_back({"Individuals", format("%d", run.individuals)});
  d.push_back({"Allele frequencies", method_name(run.method)});
  if (run.method != kFragmentFrequencies) d.push_back({"Fis", format("%5.3f", static_cast<double>(run.fis))});
  d.push_back({"Permutations", format("%d", run.permutations)});
  d.push_back({"Bootstraps", format("%d", run.bootstraps)});
  d.push_back({"Seed", format("%ld", run.seed)});
  d.push_back({"Threads", run.threads == 0 ? std::string("one per core") : format("%d", run.threads)});
  return d;
}

std::vector<PopulationRow> population_rows(int r, const NameList& names, const IVector& nbar, const IVector& loci,
                                           const IVector& polymorphic, const FVector& percent, const FVector& Hj,
                                           const FVector& VarHj, const FVector& VarIHj, const FVector& VarLHj) {
  std::vector<PopulationRow> rows;
  for (int j = 1; j <= r; ++j) {
    rows.push_back({names[j], nbar[j], loci[j], polymorphic[j], percent[j], Hj[j], VarHj[j], VarIHj[j], VarLHj[j]});
  }
  return rows;
}

SummaryPage results_summary_page(const ResultsSummary& s, const std::vector<SummaryFigure>& figures,
                                 const std::vector<std::string>& files) {
  SummaryPage page;
  page.title = "BANDSCAPE: " + std::filesystem::path(s.run.data_file).filename().string();
  page.details = run_details(s.run);
  page.details.insert(page.details.end(), s.more_details.begin(), s.more_details.end());
  // A message repeated by the resampling (one per replicate that meets it) is
  // listed once, with the number of times it was written.
  std::vector<std::pair<std::string, int>> distinct;
  std::unordered_map<std::string, std::size_t> position;
  for (const std::string& w : s.warnings) {
    const auto [at, first] = position.try_emplace(w, distinct.size());
    if (first) {
      distinct.emplace_back(w, 1);
    } else {
      ++distinct[at->second].second;
    }
  }
  for (const auto& [text, times] : distinct) {
    page.warnings.push_back(times == 1 ? text : text + format(" (written %d times)", times));
  }
  if (!s.populations.empty()) page.tables.push_back(population_html_table(s.populations));
  if (s.within) page.tables.push_back(within_diversity_html_table(*s.within));
  if (s.structure) page.tables.push_back(structure_html_table(*s.structure));
  if (s.permutation) {
    page.tables.push_back(permutation_html_table(s.run.permutations, s.permutation->observed, s.permutation->summary));
  }
  page.tables.insert(page.tables.end(), s.more_tables.begin(), s.more_tables.end());
  page.figures = figures;
  page.figures.insert(page.figures.end(), s.more_figures.begin(), s.more_figures.end());
  for (const std::string& f : files) page.links.push_back({f, describe(f)});
  return page;
}

void write_results_summary(const std::string& folder, const ResultsSummary& s) {
  std::vector<SummaryFigure> figures;
  if (s.permutation && !s.permutation->permuted.empty()) {
    SummaryFigure f{"Permutation test of Fst: the permuted values and the observed one (orange line)",
                    permutation_histogram(std::span<const float>(s.permutation->permuted), s.permutation->observed,
                                          s.permutation->summary.p_high, "Fst")};
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
