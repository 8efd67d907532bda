// Export of the band scores for Bayesian clustering of individuals.
#include "report/classic/structure_export.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/output_file.hpp"

namespace bandscape {

long long structure_file_individuals(const std::string& file_name) {
  std::FILE* f = std::fopen(file_name.c_str(), "rb");
  if (f == nullptr) return 0;
  std::vector<char> buffer(1 << 20);
  long long lines = 0;
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) {
    lines += std::count(buffer.data(), buffer.data() + n, '\n');
  }
  std::fclose(f);
  return lines / 2;
}

void write_structure_file(const std::string& file_name, int r, int m, const ScoreMatrix& BandScores,
                          const IVector& PopulationBounds, MessageLog& log, const ProgressReport& progress) {
  OutputFile file;
  if (!file.open(file_name, OpenMode::kAppend, Links::kRefuse)) {
    fatal_error(log, format("\nError in write_structure_file: cannot open file %s", file_name.c_str()));
  }

  // The second row of every individual: all loci missing.
  std::string all_missing;
  all_missing.reserve(static_cast<std::size_t>(m) * 3);
  for (int j = 0; j < m; ++j) all_missing += " -9";

  const int individuals = PopulationBounds[r] - PopulationBounds[0];
  ProgressSteps steps(static_cast<double>(individuals) * m > kStructureProgressScores ? individuals : 0, progress);

  std::string row;
  row.reserve(static_cast<std::size_t>(m) * 3 + 32);
  char lead[48];
  for (int k = 1; k <= r; ++k) {
    for (int j = PopulationBounds[k - 1]; j < PopulationBounds[k]; ++j) {
      const int n = std::snprintf(lead, sizeof lead, "\n%d  %d", j + 1, k);
      row.assign(lead, static_cast<std::size_t>(n));
      const std::uint8_t* scores = BandScores[j];
      for (int l = 0; l < m; ++l) {
        switch (scores[l]) {
          case 1: row += " 1"; break;
          case 0: row += " 2"; break;
          case 9: row += " -9"; break;
          default: break;  // not a score: no code
        }
      }
      row.append(lead, static_cast<std::size_t>(n));
      row += all_missing;
      file.write(row);
      steps.done(j + 1 - PopulationBounds[0]);
    }
  }
  file.close();
}

}  // namespace bandscape
