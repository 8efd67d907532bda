// Export of the band scores for Bayesian clustering of individuals.
#include "input/structure_export.hpp"

#include <cstdio>
#include <memory>
#include <vector>

namespace bandscape {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

void write_structure_file(const std::string& file_name, int r, int m, const IMatrix& BandScores,
                          const IVector& PopulationBounds, MessageLog& log) {
  std::vector<char> buffer(std::size_t{1} << 20);
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(file_name.c_str(), "a"));
  if (!file) {
    fatal_error(log, format("\nError in write_structure_file: cannot open file %s", file_name.c_str()));
  }
  std::setvbuf(file.get(), buffer.data(), _IOFBF, buffer.size());

  // The second row of every individual: all loci missing.
  std::string all_missing;
  all_missing.reserve(static_cast<std::size_t>(m) * 3);
  for (int j = 0; j < m; ++j) all_missing += " -9";

  std::string row;
  row.reserve(static_cast<std::size_t>(m) * 3 + 32);
  char lead[48];
  for (int k = 1; k <= r; ++k) {
    for (int j = PopulationBounds[k - 1]; j < PopulationBounds[k]; ++j) {
      const int n = std::snprintf(lead, sizeof lead, "\n%d  %d", j + 1, k);
      row.assign(lead, static_cast<std::size_t>(n));
      const int* scores = BandScores[j];
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
      std::fwrite(row.data(), 1, row.size(), file.get());
    }
  }
}

}  // namespace bandscape
