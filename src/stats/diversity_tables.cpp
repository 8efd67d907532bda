#include "stats/diversity_tables.hpp"

#include <cmath>
#include <limits>

namespace bandscape {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Table 1's numbers as the report computes them from the stored values: the
// square root of Var(Hj) whatever its sign, shares 0 of a variance 0.
PopulationValues printed_values(float Hj, float VarHj, float VarIHj, float VarLHj) {
  const double var = VarHj;
  return {Hj,
          std::sqrt(var),
          var,
          VarIHj,
          var == 0.0 ? 0.0 : 100.0 * VarIHj / var,
          VarLHj,
          var == 0.0 ? 0.0 : 100.0 * VarLHj / var};
}

// The S.E. and shares of Tables 2 and 3.  As printed: 0 for a variance not
// above 0, shares 0 of a variance 0.  As numbers: an undefined (NaN)
// variance has an undefined S.E., and shares of a variance 0 are 0/0.
StructureShares shares(const StructureStatistics& s, bool printed) {
  const auto se = [printed](float v) {
    if (!printed && !std::isfinite(v)) return kNaN;
    return v > 0.0f ? std::sqrt(static_cast<double>(v)) : 0.0;
  };
  const double var = s.VarHw;
  const auto share = [var, printed](float part) {
    return var == 0.0 ? (printed ? 0.0 : kNaN) : 100.0 * part / var;
  };
  return {se(s.VarHw), se(s.VarHb), se(s.VarFst), share(s.VarIHw), share(s.VarLHw), share(s.VarPHw)};
}

}  // namespace

std::vector<PopulationDiversity> population_diversity(int r, const StatisticsWorkspace& w, const IVector& polymorphic,
                                                      const FVector& polymorphic_percent,
                                                      const std::vector<double>& mean_scored, const IVector& bounds) {
  std::vector<PopulationDiversity> rows;
  rows.reserve(static_cast<std::size_t>(r));
  for (int j = 1; j <= r; ++j) {
    const int loci = w.L[j];
    rows.push_back({bounds[j] - bounds[j - 1], w.nbar[j], mean_scored[static_cast<std::size_t>(j - 1)], loci,
                    polymorphic[j], polymorphic_percent[j],
                    printed_values(w.Hj[j], w.VarHj[j], w.VarIHj[j], w.VarLHj[j]),
                    population_values(loci, w.Hj[j], w.VarHj[j], w.VarIHj[j], w.VarLHj[j]),
                    loci == 0 ? kNaN : static_cast<double>(polymorphic_percent[j])});
  }
  return rows;
}

StructureTable structure_table(int r, const StructureStatistics& s, const StatisticsWorkspace& w) {
  StructureTable t;
  t.populations = r;
  t.printed = s;
  t.printed_shares = shares(s, true);
  t.defined = defined_statistics(s, r, w.VarHj, w.nPair);
  t.defined_shares = shares(t.defined, false);
  return t;
}

}  // namespace bandscape
