#include "quality/data_quality.hpp"

#include <utility>

namespace bandscape {

DataQuality assure_quality(ScoreTable table, const QualitySettings& settings) {
  DataQuality q;
  std::vector<double> locus_error;
  if (!settings.replicates.empty()) {
    q.errors = replicate_errors(table, settings.replicates);
    for (const MismatchCount& locus : q.errors->loci) locus_error.push_back(locus.error_rate());
    table = merge_replicates(table, settings.replicates, settings.merge, q.warnings);
  }
  q.selection = filter_loci(table, settings.filters, settings.reproducibility, locus_error);
  q.warnings.insert(q.warnings.end(), q.selection.warnings.begin(), q.selection.warnings.end());
  q.locus_names = table.loci;
  q.table = q.selection.left_out.empty() ? std::move(table) : keep_loci(table, q.selection.kept);
  return q;
}

}  // namespace bandscape
