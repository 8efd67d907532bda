// Small data sets shared by the resampling tests.
#pragma once

#include <string>
#include <vector>

#include "core/message_log.hpp"
#include "numeric/array.hpp"
#include "numeric/random.hpp"

namespace bandscape::testing {

struct ScoredData {
  int r, m, ntot;
  ScoreMatrix scores;  // 0..ntot-1 x 0..m-1
  IVector bounds;  // 0..r
};

inline ScoredData scored_data(const std::vector<std::vector<int>>& rows, const std::vector<int>& sizes) {
  const int ntot = static_cast<int>(rows.size()), m = static_cast<int>(rows[0].size());
  const int r = static_cast<int>(sizes.size());
  ScoredData d{r, m, ntot, score_matrix(0, ntot - 1, 0, m - 1), int_vector(0, r)};
  for (int k = 0; k < ntot; ++k)
    for (int i = 0; i < m; ++i) d.scores[k][i] = rows[k][i];
  for (int j = 1; j <= r; ++j) d.bounds[j] = d.bounds[j - 1] + sizes[j - 1];
  return d;
}

// Three populations of 3, 4 and 3 individuals at five loci, a few scores
// missing (SCORES of reference_values.py).
inline ScoredData scored_three_populations() {
  return scored_data({{1, 0, 1, 9, 1}, {1, 1, 0, 0, 1}, {0, 1, 1, 1, 9},
                      {0, 0, 1, 1, 1}, {0, 1, 0, 1, 1}, {1, 0, 0, 9, 0}, {0, 0, 1, 1, 1},
                      {1, 1, 1, 0, 0}, {1, 1, 9, 0, 0}, {1, 0, 1, 0, 1}},
                     {3, 4, 3});
}

// Keeps what was echoed and what was only appended, each in order.
struct ResampleLog : MessageLog {
  std::string echoed, appended;
  void echo(const std::string& text) override { echoed += text; }
  void append(const std::string& text) override { appended += text; }
};

inline RandomState seeded(int word) {
  RandomState s;
  s.word = word;
  return s;
}

inline std::string join_lines_containing(const std::string& text, const std::string& part) {
  std::string out;
  for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos;) {
    const std::size_t end = text.find('\n', at + 1);
    const std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (line.find(part) != std::string::npos) out += line;
    at = at + 1;
  }
  return out;
}

}  // namespace bandscape::testing
