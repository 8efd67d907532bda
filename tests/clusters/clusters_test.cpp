// Principal components, DAPC and genetic clusters against adegenet 2.1
// (dapc, find.clusters), MASS::lda and stats::kmeans: the values stored in
// tests/data/clusters/clusters_reference.txt by clusters_reference.R (beside
// this test), on 60 individuals of three populations over 80 loci, complete
// and with 3% missing scores.  Axes are compared up to their sign.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "clusters/dapc.hpp"
#include "clusters/genetic_clusters.hpp"
#include "clusters/principal_components.hpp"
#include "clusters/reference_values.hpp"
#include "numeric/keyed_random.hpp"

namespace bandscape {
namespace {

using testing::reference;
using testing::reference_ints;
using testing::reference_scores;

constexpr int kIndividuals = 60, kLoci = 80;
const char* const kCases[] = {"complete", "missing"};

// Columns of `ours` (rows x cols) equal to those of `theirs` up to sign each.
void expect_columns_up_to_sign(const std::vector<double>& ours, const std::vector<double>& theirs, int rows, int cols,
                               double tolerance, const std::string& what) {
  ASSERT_EQ(ours.size(), static_cast<std::size_t>(rows) * cols) << what;
  ASSERT_EQ(theirs.size(), ours.size()) << what;
  for (int a = 0; a < cols; ++a) {
    double dot = 0.0;
    for (int i = 0; i < rows; ++i) dot += ours[i * cols + a] * theirs[i * cols + a];
    const double sign = dot < 0.0 ? -1.0 : 1.0;
    for (int i = 0; i < rows; ++i) {
      EXPECT_NEAR(ours[i * cols + a], sign * theirs[i * cols + a], tolerance) << what << " row " << i << " axis " << a;
    }
  }
}

PrincipalComponents reference_pca(const std::string& name, int components, int threads = 1) {
  static std::map<std::string, std::vector<std::uint8_t>> scores;
  auto& s = scores[name];
  if (s.empty()) s = reference_scores(name + ".scores");
  return principal_components(band_profiles(s, kIndividuals, kLoci), {components, 0.9, threads});
}

// Eigenvalues (every positive one: 59 of 60 individuals), scores on 10
// components and the loci's loadings equal dudi.pca's as dapc keeps them;
// the locus without bands, which df2genind drops, loads 0.  Two threads give
// the same bits as one.
TEST(PrincipalComponents, EqualToAdegenet) {
  for (const std::string name : kCases) {
    SCOPED_TRACE(name);
    const PrincipalComponents pca = reference_pca(name, 10);
    const std::vector<double>& eig = reference(name + ".pca_eig");
    ASSERT_EQ(pca.eigenvalues.size(), eig.size());
    EXPECT_TRUE(pca.all_eigenvalues);
    for (std::size_t k = 0; k < eig.size(); ++k) EXPECT_NEAR(pca.eigenvalues[k], eig[k], 1e-12);
    ASSERT_EQ(pca.components, 10);
    expect_columns_up_to_sign(pca.scores, reference(name + ".pca_scores"), kIndividuals, 10, 1e-10, "scores");

    const std::vector<int> kept = reference_ints(name + ".kept_loci");
    std::vector<double> kept_loadings;
    for (const int l : kept) {
      for (int a = 0; a < 10; ++a) kept_loadings.push_back(pca.loading(l, a));
    }
    expect_columns_up_to_sign(kept_loadings, reference(name + ".pca_loadings"), static_cast<int>(kept.size()), 10,
                              1e-10, "loadings");
    for (int a = 0; a < 10; ++a) EXPECT_EQ(pca.loading(16, a), 0.0);

    const PrincipalComponents two = reference_pca(name, 10, 2);
    EXPECT_EQ(two.scores, pca.scores);
    EXPECT_EQ(two.loadings, pca.loadings);
  }
}

// Fewer loci (30) than individuals: the decomposition works on the loci's
// cross product and gives dudi.pca's eigenvalues and scores all the same.
TEST(PrincipalComponents, FewerLociThanIndividualsEqualToAdegenet) {
  const std::vector<std::uint8_t> all = reference_scores("complete.scores");
  std::vector<std::uint8_t> few;
  for (int i = 0; i < kIndividuals; ++i) few.insert(few.end(), all.begin() + i * kLoci, all.begin() + i * kLoci + 30);
  const PrincipalComponents pca = principal_components(band_profiles(few, kIndividuals, 30), {8, 0.9, 1});
  const std::vector<double>& eig = reference("few_loci.pca_eig");
  ASSERT_EQ(pca.eigenvalues.size(), eig.size());
  for (std::size_t k = 0; k < eig.size(); ++k) EXPECT_NEAR(pca.eigenvalues[k], eig[k], 1e-12);
  expect_columns_up_to_sign(pca.scores, reference("few_loci.pca_scores"), kIndividuals, 8, 1e-10, "scores");
}

// The number of components by the variance share is the first whose
// cumulative share of adegenet's eigenvalues reaches it; the share 1 keeps
// every positive one.
TEST(PrincipalComponents, CountByVarianceShare) {
  const std::vector<double>& eig = reference("complete.pca_eig");
  double total = 0.0;
  for (const double v : eig) total += v;
  for (const double share : {0.25, 0.5, 0.9, 1.0}) {
    int expected = 0;
    for (double cumulative = 0.0; cumulative < share * total * (1 - 1e-12);) cumulative += eig[expected++];
    const std::vector<std::uint8_t> s = reference_scores("complete.scores");
    const PrincipalComponents pca = principal_components(band_profiles(s, kIndividuals, kLoci), {0, share, 1});
    EXPECT_TRUE(pca.by_variance_share);
    EXPECT_EQ(pca.components, expected) << share;
  }
}

// Above 400 individuals the leading components come from the Lanczos
// iteration; they equal those of the whole decomposition (the variance-share
// request), here on 450 generated individuals over 500 loci.
TEST(PrincipalComponents, LanczosEqualsWholeDecomposition) {
  const int n = 450, m = 500;
  std::vector<std::uint8_t> s(static_cast<std::size_t>(n) * m);
  KeyedStream stream(stream_key(5, 6, 7, 8));
  for (int i = 0; i < n; ++i) {
    for (int l = 0; l < m; ++l) {
      const std::uint32_t threshold = (i < n / 2) == (l % 3 == 0) ? 80 : 30;
      s[static_cast<std::size_t>(i) * m + l] = stream.below(100) < threshold ? 1 : 0;
      if (stream.below(100) == 0) s[static_cast<std::size_t>(i) * m + l] = kMissingScore;
    }
  }
  const PrincipalComponents few = principal_components(band_profiles(s, n, m), {5, 0.9, 2});
  const PrincipalComponents whole = principal_components(band_profiles(s, n, m), {0, 0.99, 2});
  EXPECT_FALSE(few.all_eigenvalues);
  ASSERT_TRUE(whole.all_eigenvalues);
  ASSERT_EQ(few.components, 5);
  ASSERT_GE(whole.components, 5);
  for (int a = 0; a < 5; ++a) {
    EXPECT_NEAR(few.eigenvalues[a], whole.eigenvalues[a], 1e-9);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(few.score(i, a), whole.score(i, a), 1e-7);
  }
  EXPECT_NEAR(few.total_variance, whole.total_variance, 1e-12);
}

// Edge cases: profiles that do not vary, a single locus, too many
// components asked for.
TEST(PrincipalComponents, EdgeCases) {
  const std::vector<std::uint8_t> constant = {1, 0, 9, 1, 0, 1, 1, 0, 1};
  const PrincipalComponents none = principal_components(band_profiles(constant, 3, 3), {2, 0.9, 1});
  EXPECT_EQ(none.components, 0);
  EXPECT_EQ(none.total_variance, 0.0);
  ASSERT_FALSE(none.warnings.empty());

  // One locus 1, 1, 0, 0: centred +-1/2, variance 1/4, scores +-1/2 (first positive).
  const std::vector<std::uint8_t> one = {1, 1, 0, 0};
  const PrincipalComponents single = principal_components(band_profiles(one, 4, 1), {3, 0.9, 1});
  ASSERT_EQ(single.components, 1);
  EXPECT_DOUBLE_EQ(single.eigenvalues[0], 0.25);
  EXPECT_DOUBLE_EQ(single.score(0, 0), 0.5);
  EXPECT_DOUBLE_EQ(single.score(3, 0), -0.5);
  EXPECT_DOUBLE_EQ(single.loading(0, 0), 1.0);
  EXPECT_EQ(single.warnings.size(), 1u);  // 3 asked for, 1 positive

  const std::vector<std::uint8_t> bad = {1, 2};
  EXPECT_THROW(principal_components(band_profiles(bad, 2, 1), {1, 0.9, 1}), std::invalid_argument);
  EXPECT_THROW(principal_components(band_profiles(one, 4, 1), {-1, 0.9, 1}), std::invalid_argument);
  EXPECT_THROW(principal_components(band_profiles(one, 4, 1), {0, 1.5, 1}), std::invalid_argument);
}

// dapc(genind, pop, n.pca = 10, n.da = 2) and n.da = 1: eigenvalues,
// coordinates, posteriors, locus contributions and assignments equal.
TEST(Dapc, EqualToAdegenet) {
  for (const std::string name : kCases) {
    SCOPED_TRACE(name);
    const PrincipalComponents pca = reference_pca(name, 10);
    const std::vector<int> sizes = reference_ints(name + ".sizes");
    std::vector<int> group;
    for (int p = 0; p < 3; ++p) group.insert(group.end(), sizes[p], p);
    const Dapc d = dapc(pca, group, 3, {10, 0});
    ASSERT_TRUE(d.done);
    ASSERT_EQ(d.components, 10);
    ASSERT_EQ(d.functions, 2);
    const std::vector<double>& eig = reference(name + ".dapc_eig");
    ASSERT_EQ(d.eigenvalues.size(), 2u);
    for (int a = 0; a < 2; ++a) EXPECT_NEAR(d.eigenvalues[a], eig[a], 1e-8 * eig[a]);
    EXPECT_NEAR(d.shares[0], eig[0] / (eig[0] + eig[1]), 1e-12);
    expect_columns_up_to_sign(d.coordinates, reference(name + ".dapc_coord"), kIndividuals, 2, 1e-8, "coordinates");
    const std::vector<double>& post = reference(name + ".dapc_posterior");
    for (std::size_t c = 0; c < post.size(); ++c) EXPECT_NEAR(d.posterior[c], post[c], 1e-8) << c;
    EXPECT_EQ(d.assigned, reference_ints(name + ".dapc_assign"));

    const std::vector<int> kept = reference_ints(name + ".kept_loci");
    const std::vector<double>& contr = reference(name + ".dapc_contr");
    for (std::size_t r = 0; r < kept.size(); ++r) {
      for (int a = 0; a < 2; ++a) EXPECT_NEAR(d.contributions[kept[r] * 2 + a], contr[r * 2 + a], 1e-10);
    }
    EXPECT_EQ(d.contributions[16 * 2], 0.0);

    const Dapc one = dapc(pca, group, 3, {10, 1});
    ASSERT_EQ(one.functions, 1);
    const std::vector<double>& post1 = reference(name + ".dapc1_posterior");
    for (std::size_t c = 0; c < post1.size(); ++c) EXPECT_NEAR(one.posterior[c], post1[c], 1e-8) << c;
  }
}

// Settings and data where no analysis can run, and the default number of
// components (N/3 = 20, capped by the 10 the PCA retained).
TEST(Dapc, DefaultsAndRefusals) {
  const PrincipalComponents pca = reference_pca("complete", 10);
  std::vector<int> group(kIndividuals, 0);
  for (int i = 30; i < kIndividuals; ++i) group[i] = 1;
  const Dapc d = dapc(pca, group, 2, {});
  EXPECT_EQ(default_dapc_components(kIndividuals), 20);
  EXPECT_EQ(d.components, 10);
  EXPECT_EQ(d.functions, 1);  // two groups: one function
  EXPECT_EQ(d.warnings.size(), 1u);

  const Dapc single = dapc(pca, std::vector<int>(kIndividuals, 0), 1, {5, 0});
  EXPECT_FALSE(single.done);
  EXPECT_EQ(single.functions, 0);
  EXPECT_FALSE(single.warnings.empty());
  EXPECT_THROW(dapc(pca, std::vector<int>(kIndividuals, 0), 2, {5, 0}), std::invalid_argument);  // group 1 empty
  EXPECT_THROW(dapc(pca, std::vector<int>(3, 0), 1, {5, 0}), std::invalid_argument);
}

// find.clusters(method = "ward", n.pca = 10 and 60, max.n.clust = 10): the
// BIC for K = 1..10.  Not on all components of the complete set: there the
// squared distances are the integer band differences, full of exact ties that
// rounding at 1e-13 resolves one way or the other (hclust itself gives another
// curve on the rounded distances).
TEST(GeneticClusters, WardBicEqualToAdegenet) {
  for (const std::string name : kCases) {
    for (const int pcs : {10, 60}) {
      if (name == "complete" && pcs == 60) continue;
      SCOPED_TRACE(name + " " + std::to_string(pcs));
      const PrincipalComponents pca = reference_pca(name, pcs);
      ClusterSettings settings;
      settings.method = ClusterMethod::kWard;
      const ClusterResult r = find_clusters(pca, settings);
      const std::vector<double>& bic = reference(name + ".ward" + std::to_string(pcs) + "_bic");
      ASSERT_EQ(r.solutions.size(), 10u);
      int lowest = 0;
      for (int k = 0; k < 10; ++k) {
        EXPECT_NEAR(r.solutions[k].bic, bic[k], 1e-8) << "K = " << k + 1;
        if (bic[k] < bic[lowest]) lowest = k;
      }
      EXPECT_EQ(r.chosen, lowest + 1);
    }
  }
}

// K-means on 10 components of the complete set with 500 starts per K: at every
// K no worse than the best of 500 starts of R's kmeans, R's Hartigan-Wong run
// from the chosen solution's centres does not improve it, and two threads give
// the same solutions as one.  With BANDSCAPE_WRITE_CENTRES set, the chosen
// centres are written there for clusters_reference.R.
TEST(GeneticClusters, KMeansAgainstStatsKmeans) {
  const PrincipalComponents pca = reference_pca("complete", 10);
  ClusterSettings settings;
  settings.seed = 28;
  settings.starts = 500;
  const ClusterResult r = find_clusters(pca, settings);
  ASSERT_EQ(r.solutions.size(), 10u);
  const std::vector<double>& best = reference("kmeans.best_wss");
  for (int k = 2; k <= 10; ++k) EXPECT_LE(r.solutions[k - 1].wss, best[k - 2] * (1 + 1e-9)) << "K = " << k;
  const ClusterSolution& chosen = r.chosen_solution();
  if (const char* path = std::getenv("BANDSCAPE_WRITE_CENTRES")) {
    std::ofstream out(path);
    out.precision(17);
    out << chosen.k << "\n";
    for (const double c : chosen.centres) out << c << "\n";
  }
  const std::vector<double>& from_ours = reference("kmeans.from_ours");
  EXPECT_EQ(r.chosen, static_cast<int>(from_ours[0]));
  EXPECT_NEAR(chosen.wss, from_ours[1], 1e-6);
  EXPECT_NEAR(chosen.bic, from_ours[2], 1e-6);

  settings.threads = 2;
  const ClusterResult two = find_clusters(pca, settings);
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(two.solutions[k].cluster, r.solutions[k].cluster);
    EXPECT_EQ(two.solutions[k].wss, r.solutions[k].wss);
  }
}

// By hand: four points on a line at 0, 1, 10, 11.  WSS(1) = 2 (5.5^2 + 4.5^2)
// = 101, WSS(2) = 4 * 0.25 = 1, WSS(3) = 0.5 (one pair split), WSS(4) = 0 (BIC
// undefined).  BIC(K) = 4 ln(WSS / 4) + K ln 4: 14.30, -2.77, -4.16, NaN, so
// K = 3 is the lowest.  Both
// methods find the same partitions, numbered by their first individual.
TEST(GeneticClusters, HandWorkedLine) {
  const std::vector<double> points = {0, 1, 10, 11};
  for (const ClusterMethod method : {ClusterMethod::kKMeans, ClusterMethod::kWard}) {
    for (const WardInput input : {WardInput::kAdegenet, WardInput::kSquaredEuclidean}) {
      ClusterSettings settings;
      settings.method = method;
      settings.ward_input = input;
      settings.starts = 5;
      const ClusterResult r = find_clusters(points, 4, 1, settings);
      ASSERT_EQ(r.solutions.size(), 4u);
      EXPECT_DOUBLE_EQ(r.solutions[0].wss, 101.0);
      EXPECT_DOUBLE_EQ(r.solutions[1].wss, 1.0);
      EXPECT_DOUBLE_EQ(r.solutions[2].wss, 0.5);
      EXPECT_EQ(r.solutions[3].wss, 0.0);
      EXPECT_TRUE(std::isnan(r.solutions[3].bic));
      EXPECT_DOUBLE_EQ(r.solutions[1].bic, 4 * std::log(0.25) + 2 * std::log(4.0));
      EXPECT_EQ(r.solutions[1].cluster, (std::vector<int>{0, 0, 1, 1}));
      EXPECT_EQ(r.chosen, 3);
      EXPECT_EQ(r.warnings.size(), 2u);  // Kmax 10 cut to 4, and the BIC undefined at K = 4
    }
  }
}

// Two distinct profiles, three individuals each: WSS(2) = 0, so K = 2 holds
// them exactly and is chosen although its BIC is undefined (minus infinity).
TEST(GeneticClusters, ExactClustersAreChosen) {
  const std::vector<double> points = {0, 0, 0, 5, 5, 5};
  for (const ClusterMethod method : {ClusterMethod::kKMeans, ClusterMethod::kWard}) {
    ClusterSettings settings;
    settings.method = method;
    settings.max_clusters = 4;
    settings.starts = 3;
    const ClusterResult r = find_clusters(points, 6, 1, settings);
    EXPECT_EQ(r.chosen, 2);
    EXPECT_EQ(r.chosen_solution().cluster, (std::vector<int>{0, 0, 0, 1, 1, 1}));
    EXPECT_EQ(r.warnings.back(), "2 clusters hold the individuals exactly (within sum of squares 0): chosen as the "
                                 "lowest BIC");
  }
}

// A given K is chosen whatever the BIC; Kmax is raised to it.  The K of the
// lowest BIC is kept beside it.  Bad settings
// are refused.
TEST(GeneticClusters, GivenKAndRefusals) {
  const std::vector<double> points = {0, 1, 10, 11, 20, 21};
  ClusterSettings settings;
  settings.max_clusters = 2;
  settings.given_clusters = 3;
  const ClusterResult r = find_clusters(points, 6, 1, settings);
  EXPECT_EQ(r.solutions.size(), 3u);
  EXPECT_EQ(r.chosen, 3);
  EXPECT_EQ(r.chosen_solution().cluster, (std::vector<int>{0, 0, 1, 1, 2, 2}));
  settings.max_clusters = 3;  // a given K below that of the lowest BIC: both are kept
  settings.given_clusters = 2;
  const ClusterResult two = find_clusters(points, 6, 1, settings);
  EXPECT_EQ(std::vector<int>({two.chosen, two.lowest_bic, two.given}), std::vector<int>({2, 3, 2}));
  settings.starts = 0;
  EXPECT_THROW(find_clusters(points, 6, 1, settings), std::invalid_argument);
  settings.starts = 1;
  EXPECT_THROW(find_clusters(points, 5, 1, settings), std::invalid_argument);
  EXPECT_EQ(default_max_clusters(6), 6);
  EXPECT_EQ(default_max_clusters(600), 10);
}

}  // namespace
}  // namespace bandscape
