// Nei's distance, pairwise Fst and Reynolds' distance between populations, and
// the Phylip-format square matrices that carry them.
#include "stats/distances.hpp"

#include <cmath>

#include "stats/diversity.hpp"

namespace bandscape {

namespace {

float finite_or_undefined(double value) {
  const float stored = static_cast<float>(value);
  return std::isfinite(stored) ? stored : kUndefined;
}

}  // namespace

void compute_distances(int r, const IMatrix& nPair, const FVector& Hj, const FVector& VarHj, const FMatrix& D,
                       const FMatrix& VarD, const FMatrix& HbPair, FMatrix& Nei, FMatrix& Fst) {
  for (int a = 1; a < r; ++a) {
    for (int b = a + 1; b <= r; ++b) {
      if (nPair[a][b] == 0) {
        Nei[a][b] = kUndefined;
        Fst[a][b] = kUndefined;
        continue;
      }
      const double ha = Hj[a], hb = Hj[b], dab = D[a][b];
      // Nei's distance -ln(J_ab / sqrt(J_a J_b)) with J = 1 - H, then the
      // Lynch & Milligan corrections for the sampling variance of D_ab and of
      // the two within-population diversities.  A distance that is exactly 0
      // before the corrections is left undefined.
      const double x = std::sqrt((1.0 - hb) * (1.0 - ha));
      double distance = x;
      if (x != 0.0) distance = -std::log((1.0 - dab) / x);
      if (distance != 0.0) distance += -0.5 * VarD[a][b] / square(static_cast<float>(1.0 - dab));
      if (distance != 0.0) distance += 0.25 * VarHj[a] / square(static_cast<float>(1.0 - ha));
      if (distance != 0.0) {
        distance += 0.25 * VarHj[b] / square(static_cast<float>(1.0 - hb));
      } else {
        distance = kUndefined;
      }
      Nei[a][b] = finite_or_undefined(distance);

      const double ht = 0.5 * (ha + hb) + HbPair[a][b];
      Fst[a][b] = ht == 0.0 ? kUndefined : finite_or_undefined(HbPair[a][b] / ht);
    }
  }
}

void mark_corrections_from_marks(int r, const IMatrix& nPair, const FVector& VarHj, const FMatrix& VarD,
                                 FMatrix& Nei) {
  for (int a = 1; a < r; ++a) {
    for (int b = a + 1; b <= r; ++b) {
      const bool marked = nPair[a][b] > 0 && (is_undefined(VarD[a][b]) || is_undefined(VarHj[a]) ||
                                              is_undefined(VarHj[b]));
      if (marked) Nei[a][b] = kUndefined;
    }
  }
}

FMatrix nei_without_marked_corrections(int r, const IMatrix& nPair, const FVector& VarHj, const FMatrix& VarD,
                                       const FMatrix& Nei) {
  FMatrix out = float_matrix(1, r, 1, r);
  out.fill(0.0f);
  for (int a = 1; a < r; ++a) {
    for (int b = a + 1; b <= r; ++b) out[a][b] = Nei[a][b];
  }
  mark_corrections_from_marks(r, nPair, VarHj, VarD, out);
  return out;
}

double distance_value(float stored) {
  return stored == kUndefined ? std::nan("") : static_cast<double>(stored);
}

double reynolds_distance(float fst) {
  if (fst == kUndefined) return std::nan("");
  const double y = 1.0 - static_cast<double>(fst);
  return y > 0.0 ? -std::log(y) : std::nan("");
}

const char* matrix_key(PopulationDistance which) {
  switch (which) {
    case PopulationDistance::kNei:
      return "nei";
    case PopulationDistance::kFst:
      return "fst";
    case PopulationDistance::kReynolds:
      break;
  }
  return "reynolds";
}

const char* matrix_title(PopulationDistance which) {
  switch (which) {
    case PopulationDistance::kNei:
      return "Nei's distance";
    case PopulationDistance::kFst:
      return "the pairwise Fst";
    case PopulationDistance::kReynolds:
      break;
  }
  return "Reynolds' distance";
}

double stored_distance(float stored, bool reynolds) {
  const double value = distance_value(stored);
  if (std::isnan(value)) return value;
  if (value < 0.0) return 0.0;
  return reynolds ? reynolds_distance(stored) : value;
}

DistanceMatrix population_distance_matrix(PopulationDistance which, int r, const FMatrix& nei, const FMatrix& fst) {
  const FMatrix& stored = which == PopulationDistance::kNei ? nei : fst;
  const bool reynolds = which == PopulationDistance::kReynolds;
  DistanceMatrix d(r);
  for (int a = 1; a <= r; ++a) {
    for (int b = a + 1; b <= r; ++b) d.at(a - 1, b - 1) = d.at(b - 1, a - 1) = stored_distance(stored[a][b], reynolds);
  }
  return d;
}

std::vector<std::string> phylip_label_warnings(const NameList& names, int r) {
  std::vector<std::string> labels;
  for (int a = 1; a <= r; ++a) labels.push_back(format("%-10.10s", names[a].c_str()));
  std::vector<std::string> warnings;
  bool pair_found = false;
  for (int a = 1; a <= r && !pair_found; ++a) {
    for (int b = a + 1; b <= r; ++b) {
      if (labels[a - 1] == labels[b - 1]) {
        warnings.push_back(format(
            "\nWARNING! populations %s and %s have the same first 10 characters: their Phylip labels are identical",
            names[a].c_str(), names[b].c_str()));
        pair_found = true;
        break;
      }
    }
  }
  for (int a = 1; a <= r; ++a) {
    if (labels[a - 1].find_first_of("():;,[]") != std::string::npos) {
      warnings.push_back(format(
          "\nWARNING! population name %s holds a character that PHYLIP does not accept in names", names[a].c_str()));
      break;
    }
  }
  return warnings;
}

}  // namespace bandscape
