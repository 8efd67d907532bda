// Layouts of the replicate error tables and of the distances between
// individuals.
#include "report/tables/quality_tables.hpp"

#include "report/tables/results_tables.hpp"
#include "report/tables/tsv.hpp"

namespace bandscape {

std::string replicates_tsv_text(const ScoreTable& table, const ReplicateErrors& errors) {
  std::string out = "individual\tsample_a\tsample_b\tcomparisons\tmismatches\terror_rate\n";
  for (const ReplicatePair& pair : errors.pairs) {
    out += tsv_text(pair.individual) + "\t" + tsv_text(table.individuals[static_cast<std::size_t>(pair.sample_a)]) +
           "\t" + tsv_text(table.individuals[static_cast<std::size_t>(pair.sample_b)]) +
           format("\t%lld\t%lld\t", pair.count.comparisons, pair.count.mismatches) +
           tsv_double(pair.count.error_rate()) + "\n";
  }
  return out;
}

std::string replicate_loci_tsv_text(const ScoreTable& table, const ReplicateErrors& errors) {
  std::string out = "locus\tcomparisons\tmismatches\terror_rate\n";
  for (std::size_t u = 0; u < errors.loci.size(); ++u) {
    const MismatchCount& locus = errors.loci[u];
    out += tsv_text(table.loci[u]) + format("\t%lld\t%lld\t", locus.comparisons, locus.mismatches) +
           tsv_double(locus.error_rate()) + "\n";
  }
  return out;
}

void write_individual_distances(const std::string& folder, const std::vector<std::string>& individuals,
                                const PackedDistances& distances) {
  TsvFile tsv(results_file(folder, "individual_distances.tsv"),
              {"index_a", "individual_a", "index_b", "individual_b", "distance"});
  const int n = distances.size();
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      tsv.integer(i + 1).text(individuals[static_cast<std::size_t>(i)]);
      tsv.integer(j + 1).text(individuals[static_cast<std::size_t>(j)]).real(distances(i, j)).end_row();
    }
  }
  tsv.close();
}

}  // namespace bandscape
