// Cost of the cluster analyses on 2,000 individuals x 5,000 loci in 20
// populations: the principal components (100 retained), K-means for
// K = 1..10 with 10 starts, Ward's clustering, the DAPC on 100 components
// with every discriminant function, and the assignment test.  With
// BANDSCAPE_CLUSTERS_DATA naming a data file (as aflpgen writes it), that file
// is analysed instead; bench/compare_clusters.sh times adegenet on the same.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "clusters/assignment.hpp"
#include "clusters/dapc.hpp"
#include "clusters/genetic_clusters.hpp"
#include "clusters/principal_components.hpp"

namespace bandscape {
namespace {

struct Data {
  int individuals = 0, loci = 0;
  std::vector<std::uint8_t> scores;
  std::vector<int> sizes;  // consecutive populations
  std::vector<int> group;
};

// Deterministic profiles: population p has band frequency 0.2 + 0.6 * u at
// each locus, u drawn once per population and locus; 1% missing scores.
Data generated(int populations, int per_population, int loci) {
  Data d;
  d.individuals = populations * per_population;
  d.loci = loci;
  std::uint64_t s = 2028;
  const auto next = [&s] {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(s >> 11) / 9007199254740992.0;
  };
  std::vector<double> f(static_cast<std::size_t>(populations) * loci);
  for (double& x : f) x = 0.2 + 0.6 * next();
  for (int p = 0; p < populations; ++p) {
    d.sizes.push_back(per_population);
    for (int k = 0; k < per_population; ++k) {
      d.group.push_back(p);
      for (int l = 0; l < loci; ++l) {
        const double u = next();
        d.scores.push_back(u < 0.01 ? kMissingScore : next() < f[static_cast<std::size_t>(p) * loci + l] ? 1 : 0);
      }
    }
  }
  return d;
}

// A data file: line 1 "R m names...", then "population individual scores..."
// per line up to END; consecutive equal labels form a population.
Data read_file(const std::string& path) {
  Data d;
  std::ifstream in(path);
  std::string line, label, previous, name;
  int r = 0;
  std::getline(in, line);
  std::istringstream(line) >> r >> d.loci;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    if (!(fields >> label) || label == "END") break;
    fields >> name;
    if (d.sizes.empty() || label != previous) d.sizes.push_back(0);
    previous = label;
    ++d.sizes.back();
    d.group.push_back(static_cast<int>(d.sizes.size()) - 1);
    for (int l = 0, x; l < d.loci && fields >> x; ++l) d.scores.push_back(static_cast<std::uint8_t>(x));
    ++d.individuals;
  }
  return d;
}

const Data& data() {
  static const Data d = [] {
    const char* path = std::getenv("BANDSCAPE_CLUSTERS_DATA");
    return path ? read_file(path) : generated(20, 100, 5000);
  }();
  return d;
}

BandProfiles profiles() { return band_profiles(data().scores, data().individuals, data().loci); }

void BM_principal_components(benchmark::State& state) {
  for (auto _ : state) {
    const PrincipalComponents pca = principal_components(profiles(), {100, 0.9, static_cast<int>(state.range(0))});
    benchmark::DoNotOptimize(pca.scores.data());
  }
}
BENCHMARK(BM_principal_components)->ArgNames({"threads"})->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_kmeans(benchmark::State& state) {
  const PrincipalComponents pca = principal_components(profiles(), {100, 0.9, 2});
  ClusterSettings settings;
  settings.starts = 10;
  settings.seed = 28;
  settings.threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    const ClusterResult r = find_clusters(pca, settings);
    benchmark::DoNotOptimize(r.chosen);
  }
}
BENCHMARK(BM_kmeans)->ArgNames({"threads"})->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ward(benchmark::State& state) {
  const PrincipalComponents pca = principal_components(profiles(), {100, 0.9, 2});
  ClusterSettings settings;
  settings.method = ClusterMethod::kWard;
  for (auto _ : state) {
    const ClusterResult r = find_clusters(pca, settings);
    benchmark::DoNotOptimize(r.chosen);
  }
}
BENCHMARK(BM_ward)->Unit(benchmark::kMillisecond)->Iterations(1);

// What adegenet's find.clusters(n.pca = 100, max.n.clust = 10, n.start = 10)
// followed by dapc(n.pca = 100, n.da = 10) does, with one PCA shared, as a run
// would share it.
void BM_clusters_and_dapc(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  ClusterSettings settings;
  settings.starts = 10;
  settings.seed = 28;
  settings.threads = threads;
  const int groups = static_cast<int>(data().sizes.size());
  for (auto _ : state) {
    const PrincipalComponents pca = principal_components(profiles(), {100, 0.9, threads});
    const ClusterResult r = find_clusters(pca, settings);
    const Dapc d = dapc(pca, data().group, groups, {100, 10});
    benchmark::DoNotOptimize(r.chosen);
    benchmark::DoNotOptimize(d.posterior.data());
  }
}
BENCHMARK(BM_clusters_and_dapc)->ArgNames({"threads"})->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_assignment(benchmark::State& state) {
  for (auto _ : state) {
    const AssignmentTest t = assignment_test(profiles(), data().sizes, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(t.correct);
  }
}
BENCHMARK(BM_assignment)->ArgNames({"threads"})->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace bandscape
