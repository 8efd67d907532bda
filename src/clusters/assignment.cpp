// Assignment test: band counts per population, leave-one-out log-likelihood
// tables, and the assignment of every individual.
#include "clusters/assignment.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "numeric/parallel.hpp"

namespace bandscape {

double corrected_band_frequency(int present, int scored) {
  if (present <= 0 || present >= scored) return (present + 1.0) / (scored + 2.0);
  return static_cast<double>(present) / scored;
}

AssignmentTest assignment_test(const BandProfiles& profiles, const std::vector<int>& population_sizes, int threads) {
  const int n = profiles.individuals, m = profiles.loci, r = static_cast<int>(population_sizes.size());
  long long total = 0;
  for (const int s : population_sizes) {
    if (s < 1) throw std::invalid_argument("assignment: a population without individuals");
    total += s;
  }
  if (total != n) throw std::invalid_argument("assignment: population sizes do not add up to the individuals");

  AssignmentTest out;
  out.individuals = n;
  out.populations = r;
  out.population.reserve(n);
  for (int p = 0; p < r; ++p) out.population.insert(out.population.end(), population_sizes[p], p);

  // Band and scored counts per population and locus.
  std::vector<int> present(static_cast<std::size_t>(r) * m, 0), scored(static_cast<std::size_t>(r) * m, 0);
  for (int i = 0; i < n; ++i) {
    const std::size_t base = static_cast<std::size_t>(out.population[i]) * m;
    const std::uint8_t* row = profiles.row(i);
    for (int l = 0; l < m; ++l) {
      if (row[l] == kMissingScore) continue;
      if (row[l] > 1) throw std::invalid_argument("assignment: a score other than 0, 1 or 9");
      ++scored[base + l];
      present[base + l] += row[l];
    }
  }
  // ln f and ln(1 - f) from the whole population, and in the own population
  // without an individual with (`_with`) or without (`_without`) the band.
  const std::size_t cells = static_cast<std::size_t>(r) * m;
  std::vector<double> ln_f(cells), ln_g(cells), ln_f_with(cells), ln_g_without(cells);
  for (std::size_t c = 0; c < cells; ++c) {
    const double f = corrected_band_frequency(present[c], scored[c]);
    ln_f[c] = std::log(f);
    ln_g[c] = std::log1p(-f);
    // Left out: an individual with the band leaves b - 1 of n - 1, one
    // without it b of n - 1.  Only the case that occurs is ever read.
    ln_f_with[c] = present[c] > 0 ? std::log(corrected_band_frequency(present[c] - 1, scored[c] - 1)) : 0.0;
    ln_g_without[c] =
        scored[c] > present[c] ? std::log1p(-corrected_band_frequency(present[c], scored[c] - 1)) : 0.0;
  }

  out.log_likelihood.assign(static_cast<std::size_t>(n) * r, 0.0);
  out.assigned.assign(n, 0);
  out.difference.assign(n, std::numeric_limits<double>::quiet_NaN());
  parallel_chunks(n, 64, threads, [&](int begin, int end) {
    for (int i = begin; i < end; ++i) {
      const std::uint8_t* row = profiles.row(i);
      const int own = out.population[i];
      double* li = &out.log_likelihood[static_cast<std::size_t>(i) * r];
      for (int p = 0; p < r; ++p) {
        const std::size_t base = static_cast<std::size_t>(p) * m;
        double sum = 0.0;
        for (int l = 0; l < m; ++l) {
          const std::uint8_t s = row[l];
          if (s == kMissingScore) continue;
          if (p == own) {
            sum += s ? ln_f_with[base + l] : ln_g_without[base + l];
          } else {
            sum += s ? ln_f[base + l] : ln_g[base + l];
          }
        }
        li[p] = sum;
      }
      int best = 0;
      for (int p = 1; p < r; ++p) {
        if (li[p] > li[best]) best = p;
      }
      out.assigned[i] = best;
      if (r > 1) {
        double second = -std::numeric_limits<double>::infinity();
        for (int p = 0; p < r; ++p) {
          if (p != best) second = std::max(second, li[p]);
        }
        out.difference[i] = li[best] - second;
      }
    }
  });

  out.rates.assign(r, PopulationAssignment{});
  for (int i = 0; i < n; ++i) {
    PopulationAssignment& a = out.rates[out.population[i]];
    ++a.individuals;
    if (out.assigned[i] == out.population[i]) {
      ++a.correct;
      ++out.correct;
    }
  }
  int singles = 0;
  for (PopulationAssignment& a : out.rates) {
    a.rate = static_cast<double>(a.correct) / a.individuals;
    singles += a.individuals == 1;
  }
  if (singles > 0) {
    out.warnings.push_back(std::to_string(singles) +
                           " populations of one individual: left out, it leaves no frequencies (1/2 at every locus)");
  }
  if (r < 2) out.warnings.push_back("one population: nothing to assign to but itself");
  return out;
}

}  // namespace bandscape
