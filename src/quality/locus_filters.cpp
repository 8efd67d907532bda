// The locus filters: call rate, band frequency, the Lynch & Milligan (1994)
// rule, reproducibility and replicate error rate.
#include "quality/locus_filters.hpp"

#include <cmath>
#include <limits>

#include "core/format.hpp"

namespace bandscape {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

LocusSelection filter_loci(const ScoreTable& table, const LocusFilterSettings& settings,
                           const std::vector<double>& reproducibility, const std::vector<double>& locus_error) {
  const int n = table.individual_count(), m = table.locus_count();
  LocusSelection selection;
  // Values that are not one per locus cannot be matched to the loci.
  const auto per_locus = [m](const std::vector<double>& values) { return values.size() == static_cast<std::size_t>(m); };
  const bool use_reproducibility = settings.min_reproducibility.has_value() && per_locus(reproducibility);
  const bool use_error = settings.max_locus_error.has_value() && per_locus(locus_error);
  if (settings.min_reproducibility && !use_reproducibility) {
    selection.warnings.push_back("the data give no reproducibility of the loci: --min-reproducibility not applied");
  }
  if (settings.max_locus_error && !use_error) {
    selection.warnings.push_back("no replicate error rates of the loci: --max-locus-error not applied");
  }
  for (int u = 0; u < m; ++u) {
    int scored = 0, present = 0;
    for (int i = 0; i < n; ++i) {
      const std::uint8_t s = table.score(i, u);
      if (s == kMissingScore) continue;
      ++scored;
      present += s == 1;
    }
    const double fraction = n == 0 ? kNaN : static_cast<double>(scored) / n;
    const double frequency = scored == 0 ? kNaN : static_cast<double>(present) / scored;
    const double absent = scored == 0 ? kNaN : static_cast<double>(scored - present) / scored;
    std::optional<LeftOutLocus> out;
    const auto leave_out = [&](LocusFilter reason, double value, double limit) {
      if (!out) out = LeftOutLocus{u, reason, value, limit};
    };
    if (settings.min_scored && !(fraction >= *settings.min_scored)) {
      leave_out(LocusFilter::min_scored, fraction, *settings.min_scored);
    }
    if (settings.min_band_frequency && !(frequency >= *settings.min_band_frequency)) {
      leave_out(LocusFilter::band_frequency, frequency, *settings.min_band_frequency);
    }
    if (settings.max_band_frequency && !(frequency <= *settings.max_band_frequency)) {
      leave_out(LocusFilter::band_frequency, frequency, *settings.max_band_frequency);
    }
    // Fewer than 3 of the N scored individuals lack the band.
    if (settings.lm_rule && !(scored > 0 && scored - present >= 3)) {
      leave_out(LocusFilter::lm_rule, absent, scored == 0 ? kNaN : 3.0 / scored);
    }
    if (use_reproducibility && reproducibility[static_cast<std::size_t>(u)] < *settings.min_reproducibility) {
      leave_out(LocusFilter::reproducibility, reproducibility[static_cast<std::size_t>(u)],
                *settings.min_reproducibility);
    }
    if (use_error && locus_error[static_cast<std::size_t>(u)] > *settings.max_locus_error) {
      leave_out(LocusFilter::locus_error, locus_error[static_cast<std::size_t>(u)], *settings.max_locus_error);
    }
    if (out) {
      selection.left_out.push_back(*out);
    } else {
      selection.kept.push_back(u);
    }
  }
  return selection;
}

std::string left_out_reason(const LeftOutLocus& locus) {
  const auto number = [](double x) { return std::isnan(x) ? std::string("undefined") : format("%g", x); };
  switch (locus.reason) {
    case LocusFilter::min_scored:
      return format("scored in a fraction %s of the individuals, below %s (--min-scored)", number(locus.value).c_str(),
                    number(locus.limit).c_str());
    case LocusFilter::band_frequency:
      return std::isnan(locus.value)
                 ? std::string("no individual scored: band frequency undefined (--band-frequency)")
                 : format("band frequency %s outside the bounds (%s) of --band-frequency", number(locus.value).c_str(),
                          number(locus.limit).c_str());
    case LocusFilter::lm_rule:
      return std::isnan(locus.value)
                 ? std::string("no individual scored (--lm-rule)")
                 : format("band-absent phenotype frequency %s below 3/N = %s (--lm-rule, Lynch & Milligan 1994)",
                          number(locus.value).c_str(), number(locus.limit).c_str());
    case LocusFilter::reproducibility:
      return format("reproducibility %s below %s (--min-reproducibility)", number(locus.value).c_str(),
                    number(locus.limit).c_str());
    case LocusFilter::locus_error:
      return format("replicate error rate %s above %s (--max-locus-error)", number(locus.value).c_str(),
                    number(locus.limit).c_str());
  }
  return {};
}

ScoreTable keep_loci(const ScoreTable& table, const std::vector<int>& kept) {
  ScoreTable out = table;
  out.loci.clear();
  for (int u : kept) out.loci.push_back(table.loci[static_cast<std::size_t>(u)]);
  out.scores.clear();
  out.scores.reserve(static_cast<std::size_t>(table.individual_count()) * kept.size());
  for (int i = 0; i < table.individual_count(); ++i) {
    for (int u : kept) out.scores.push_back(table.score(i, u));
  }
  return out;
}

}  // namespace bandscape
