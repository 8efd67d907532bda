// The spatial analyses against R: vegan::mantel (vegan 2.6-4) for the Mantel
// tests, geosphere::distGeo for geodesic distances, and a direct
// transcription of the autocorrelation, kinship and Sp formulas.  The values
// and the data sets (40 individuals, 60 loci, planar coordinates in km) are in
// tests/data/spatial/spatial_reference.txt, made once by
// tests/data/spatial/spatial_reference.R beside it.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "spatial/autocorrelation.hpp"
#include "spatial/geographic_distances.hpp"
#include "spatial/kinship.hpp"
#include "spatial/mantel.hpp"

namespace bandscape {
namespace {

struct ReferenceSet {
  std::string name;
  int n = 0, loci = 0;
  std::vector<std::string> scores;
  std::vector<Location> xy;  // north = y, east = x
  std::vector<double> mantel_km, mantel_ln, limits;
  std::vector<std::vector<double>> autocorrelation, equal_classes, kinship_classes;
  double fis = 0;
  std::vector<double> kinship, sp;
};

struct Reference {
  std::vector<ReferenceSet> sets;
  std::vector<std::vector<double>> geodesic;  // lat1 lon1 lat2 lon2 km
};

std::vector<double> numbers(std::istringstream& in) {
  std::vector<double> v;
  double x;
  while (in >> x) v.push_back(x);
  return v;
}

const Reference& reference() {
  static const Reference ref = [] {
    Reference r;
    std::ifstream file(std::string(BANDSCAPE_TEST_DATA) + "/spatial/spatial_reference.txt");
    EXPECT_TRUE(file.good());
    std::string line;
    auto block = [&](std::size_t count) {
      std::vector<std::vector<double>> rows;
      for (std::size_t k = 0; k < count && std::getline(file, line); ++k) {
        std::istringstream in(line);
        rows.push_back(numbers(in));
      }
      return rows;
    };
    while (std::getline(file, line)) {
      std::istringstream in(line);
      std::string key;
      in >> key;
      if (key == "geodesic") {
        r.geodesic.push_back(numbers(in));
        continue;
      }
      if (key == "dataset") {
        r.sets.emplace_back();
        in >> r.sets.back().name;
        continue;
      }
      if (r.sets.empty()) continue;
      ReferenceSet& s = r.sets.back();
      if (key == "n") in >> s.n;
      if (key == "loci") in >> s.loci;
      if (key == "scores") {
        for (int i = 0; i < s.n && std::getline(file, line); ++i) s.scores.push_back(line);
      }
      if (key == "xy") {
        for (const auto& row : block(static_cast<std::size_t>(s.n))) s.xy.push_back({row[1], row[0]});
      }
      if (key == "mantel_km") s.mantel_km = numbers(in);
      if (key == "mantel_ln") s.mantel_ln = numbers(in);
      if (key == "limits") s.limits = numbers(in);
      std::size_t count = 0;
      if (key == "autocorrelation" && in >> count) s.autocorrelation = block(count);
      if (key == "equal_classes" && in >> count) s.equal_classes = block(count);
      if (key == "kinship_classes" && in >> count) s.kinship_classes = block(count);
      if (key == "fis") in >> s.fis;
      if (key == "kinship") s.kinship = numbers(in);
      if (key == "sp") s.sp = numbers(in);
    }
    return r;
  }();
  return ref;
}

ScoreMatrix scores_of(const ReferenceSet& s) {
  ScoreMatrix m = score_matrix(0, s.n - 1, 0, s.loci - 1);
  for (int i = 0; i < s.n; ++i) {
    for (int l = 0; l < s.loci; ++l) m[i][l] = static_cast<std::uint8_t>(s.scores[static_cast<std::size_t>(i)][l] - '0');
  }
  return m;
}

// The band differences as the R script counts them: missing scores as absent
// bands (the squared Euclidean distance of the 0/1 profiles).
PackedDistances differences_of(const ReferenceSet& s) {
  PackedDistances d(s.n);
  for (int i = 0; i < s.n; ++i) {
    for (int j = i + 1; j < s.n; ++j) {
      int count = 0;
      for (int l = 0; l < s.loci; ++l) {
        const char a = s.scores[static_cast<std::size_t>(i)][l], b = s.scores[static_cast<std::size_t>(j)][l];
        count += (a == '1') != (b == '1');
      }
      d.upper(i, j) = count;
    }
  }
  return d;
}

std::vector<int> all_loci(int m) {
  std::vector<int> l(static_cast<std::size_t>(m));
  for (int k = 0; k < m; ++k) l[static_cast<std::size_t>(k)] = k;
  return l;
}

TEST(SpatialReference, FileHoldsThreeDataSets) {
  ASSERT_EQ(reference().sets.size(), 3u);
  for (const ReferenceSet& s : reference().sets) {
    EXPECT_EQ(static_cast<int>(s.scores.size()), 40);
    EXPECT_EQ(s.kinship.size(), 780u);
    EXPECT_EQ(s.sp.size(), 4u);
  }
}

TEST(SpatialReference, MantelMatchesVegan) {
  SpatialSettings settings;
  settings.permutations = 9999;
  settings.seed = 26;
  settings.threads = 2;
  for (const ReferenceSet& s : reference().sets) {
    SCOPED_TRACE(s.name);
    const PackedDistances d = differences_of(s);
    const PackedDistances km = geographic_distances(s.xy, CoordinateKind::planar);
    const IsolationByDistance ibd = isolation_by_distance({&d}, km, settings);
    ASSERT_EQ(ibd.tests.size(), 2u);
    const MantelTest& t = ibd.tests[0];
    EXPECT_EQ(t.pairs, 780u);
    EXPECT_NEAR(t.r, s.mantel_km[0], 1e-12);
    EXPECT_NEAR(t.slope, s.mantel_km[1], 1e-12);
    EXPECT_NEAR(t.intercept, s.mantel_km[2], 1e-10);
    // Other permutations than vegan's: within three binomial standard errors.
    const double p = s.mantel_km[3];
    EXPECT_NEAR(t.p_value, p, 3 * std::sqrt(p * (1 - p) / 9999) + 1e-4);
    EXPECT_EQ(t.permutations, 9999);
    // ln km: the 5 pairs at 0 km are left out, with one warning.
    const MantelTest& ln = ibd.tests[1];
    EXPECT_EQ(ln.pairs, static_cast<std::size_t>(s.mantel_ln[0]));
    EXPECT_NEAR(ln.r, s.mantel_ln[1], 1e-12);
    EXPECT_NEAR(ln.slope, s.mantel_ln[2], 1e-12);
    EXPECT_NEAR(ln.intercept, s.mantel_ln[3], 1e-10);
    EXPECT_EQ(ibd.warnings, (std::vector<std::string>{"\n5 pairs at 0 km are left out of the Mantel tests against ln(km)"}));
  }
}

TEST(SpatialReference, AutocorrelationMatchesTheFormula) {
  SpatialSettings settings;
  settings.permutations = 0;
  settings.bootstraps = 0;
  for (const ReferenceSet& s : reference().sets) {
    SCOPED_TRACE(s.name);
    const PackedDistances d = differences_of(s);
    const PackedDistances km = geographic_distances(s.xy, CoordinateKind::planar);
    const Autocorrelation given = spatial_autocorrelation(d, distance_classes(km, s.limits), settings);
    ASSERT_EQ(given.classes.size(), s.autocorrelation.size());
    for (std::size_t h = 0; h < s.autocorrelation.size(); ++h) {
      EXPECT_EQ(given.classes[h].pairs, static_cast<std::size_t>(s.autocorrelation[h][0]));
      EXPECT_NEAR(given.classes[h].r, s.autocorrelation[h][1], 1e-10);
    }
    const Autocorrelation equal = spatial_autocorrelation(d, equal_count_classes(km), settings);
    ASSERT_EQ(equal.classes.size(), s.equal_classes.size());
    for (std::size_t h = 0; h < s.equal_classes.size(); ++h) {
      EXPECT_DOUBLE_EQ(equal.classes[h].lower_km, s.equal_classes[h][0]);
      EXPECT_DOUBLE_EQ(equal.classes[h].upper_km, s.equal_classes[h][1]);
      EXPECT_EQ(equal.classes[h].pairs, static_cast<std::size_t>(s.equal_classes[h][2]));
      EXPECT_NEAR(equal.classes[h].r, s.equal_classes[h][3], 1e-10);
    }
  }
}

TEST(SpatialReference, KinshipAndSpMatchTheFormula) {
  SpatialSettings settings;
  settings.permutations = 0;
  for (const ReferenceSet& s : reference().sets) {
    SCOPED_TRACE(s.name);
    const ScoreMatrix scores = scores_of(s);
    const DominantKinship k = dominant_kinship(scores, s.n, all_loci(s.loci), s.fis, 2);
    EXPECT_EQ(k.undefined_pairs, 0u);
    ASSERT_EQ(k.kinship.values().size(), s.kinship.size());
    for (std::size_t p = 0; p < s.kinship.size(); ++p) EXPECT_NEAR(k.kinship.values()[p], s.kinship[p], 1e-10) << p;
    const PackedDistances km = geographic_distances(s.xy, CoordinateKind::planar);
    const KinshipDistance kd = kinship_distance(k, scores, km, distance_classes(km, s.limits), settings);
    ASSERT_EQ(kd.classes.size(), s.kinship_classes.size());
    for (std::size_t h = 0; h < kd.classes.size(); ++h) {
      EXPECT_EQ(kd.classes[h].pairs, static_cast<std::size_t>(s.kinship_classes[h][0]));
      EXPECT_NEAR(kd.classes[h].mean_kinship, s.kinship_classes[h][1], 1e-10);
    }
    EXPECT_NEAR(kd.b, s.sp[0], 1e-10);
    EXPECT_NEAR(kd.f1, s.sp[1], 1e-10);
    EXPECT_NEAR(kd.sp, s.sp[2], 1e-10);
    EXPECT_NEAR(kd.se_sp, s.sp[3], 1e-10);
    EXPECT_EQ(kd.regression_pairs, 775u);
    EXPECT_EQ(kd.warnings,
              (std::vector<std::string>{"\n5 pairs at 0 km are left out of the regression of kinship on ln(distance)"}));
  }
}

TEST(SpatialReference, GeodesicDistancesMatchGeosphere) {
  ASSERT_EQ(reference().geodesic.size(), 7u);
  for (const auto& g : reference().geodesic) {
    EXPECT_NEAR(geodesic_km({g[0], g[1]}, {g[2], g[3]}), g[4], 1e-9) << g[0] << " " << g[1];
  }
  // The same through the matrix of all pairs.
  const std::vector<Location> points{{40.6, -73.8}, {51.6, -0.5}, {0, 0}};
  const PackedDistances d = geographic_distances(points, CoordinateKind::geographic, 2);
  EXPECT_NEAR(d(0, 1), reference().geodesic[0][4], 1e-9);
  EXPECT_DOUBLE_EQ(d(0, 1), geodesic_km(points[0], points[1]));
}

}  // namespace
}  // namespace bandscape
