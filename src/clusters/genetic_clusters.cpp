// K-means with k-means++ starts and Hartigan-Wong transfers, Ward's
// agglomeration by nearest-neighbour chains, and the BIC over K.
#include "clusters/genetic_clusters.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "numeric/keyed_random.hpp"
#include "numeric/parallel.hpp"

namespace bandscape {
namespace {

constexpr std::uint64_t kKMeansStreams = 1;
constexpr int kLloydIterations = 1000;
constexpr int kTransferPasses = 1000;

struct Points {
  const double* data;
  int n, dims;
  const double* row(int i) const { return data + static_cast<std::ptrdiff_t>(i) * dims; }
};

double squared_distance(const double* a, const double* b, int dims) {
  double s = 0.0;
  for (int t = 0; t < dims; ++t) {
    const double e = a[t] - b[t];
    s += e * e;
  }
  return s;
}

// Uniform on [0, 1) with 53 random bits.
double unit_uniform(KeyedStream& stream) { return static_cast<double>(stream.next() >> 11) * 0x1.0p-53; }

// Labels renumbered in the order of their first individual.
void canonical_labels(std::vector<int>& cluster, int k) {
  std::vector<int> renamed(k, -1);
  int next = 0;
  for (int& c : cluster) {
    if (renamed[c] < 0) renamed[c] = next++;
    c = renamed[c];
  }
}

std::vector<double> cluster_means(const Points& p, const std::vector<int>& cluster, int k) {
  std::vector<double> centres(static_cast<std::size_t>(k) * p.dims, 0.0);
  std::vector<int> sizes(k, 0);
  for (int i = 0; i < p.n; ++i) {
    const int c = cluster[i];
    ++sizes[c];
    const double* x = p.row(i);
    for (int t = 0; t < p.dims; ++t) centres[static_cast<std::size_t>(c) * p.dims + t] += x[t];
  }
  for (int c = 0; c < k; ++c) {
    for (int t = 0; t < p.dims; ++t) {
      if (sizes[c] > 0) centres[static_cast<std::size_t>(c) * p.dims + t] /= sizes[c];
    }
  }
  return centres;
}

ClusterSolution solution_from_labels(const Points& p, std::vector<int> cluster, int k) {
  canonical_labels(cluster, k);
  ClusterSolution s;
  s.k = k;
  s.centres = cluster_means(p, cluster, k);
  s.wss = 0.0;
  for (int i = 0; i < p.n; ++i) s.wss += squared_distance(p.row(i), &s.centres[static_cast<std::size_t>(cluster[i]) * p.dims], p.dims);
  s.bic = cluster_bic(s.wss, k, p.n);
  s.cluster = std::move(cluster);
  return s;
}

// ---- K-means ---------------------------------------------------------------

// k-means++: the first centre uniform among the individuals, each next one
// drawn with probability proportional to the squared distance to the nearest
// centre so far (uniform when every distance is 0).
std::vector<double> kmeans_plus_plus(const Points& p, int k, KeyedStream& stream) {
  std::vector<double> centres(static_cast<std::size_t>(k) * p.dims);
  std::vector<double> nearest(p.n, std::numeric_limits<double>::infinity());
  int chosen = static_cast<int>(stream.below(static_cast<std::uint32_t>(p.n)));
  for (int c = 0;; ++c) {
    std::copy(p.row(chosen), p.row(chosen) + p.dims, centres.begin() + static_cast<std::ptrdiff_t>(c) * p.dims);
    if (c + 1 == k) break;
    double total = 0.0;
    for (int i = 0; i < p.n; ++i) {
      nearest[i] = std::min(nearest[i], squared_distance(p.row(i), p.row(chosen), p.dims));
      total += nearest[i];
    }
    if (total > 0.0) {
      const double target = unit_uniform(stream) * total;
      double running = 0.0;
      chosen = -1;
      for (int i = 0; i < p.n; ++i) {
        if (nearest[i] <= 0.0) continue;
        running += nearest[i];
        chosen = i;
        if (running > target) break;
      }
    } else {
      chosen = static_cast<int>(stream.below(static_cast<std::uint32_t>(p.n)));
    }
  }
  return centres;
}

int nearest_centre(const double* x, const std::vector<double>& centres, int k, int dims, double* distance = nullptr) {
  int best = 0;
  double best_d = std::numeric_limits<double>::infinity();
  for (int c = 0; c < k; ++c) {
    const double d = squared_distance(x, &centres[static_cast<std::size_t>(c) * dims], dims);
    if (d < best_d) {
      best_d = d;
      best = c;
    }
  }
  if (distance) *distance = best_d;
  return best;
}

// One start: k-means++ seeds, Lloyd's iterations, Hartigan-Wong transfers.
ClusterSolution kmeans_start(const Points& p, int k, KeyedStream& stream) {
  std::vector<double> centres = kmeans_plus_plus(p, k, stream);
  std::vector<int> cluster(p.n, -1), sizes(k, 0);
  for (int iteration = 0; iteration < kLloydIterations; ++iteration) {
    bool changed = false;
    std::fill(sizes.begin(), sizes.end(), 0);
    for (int i = 0; i < p.n; ++i) {
      const int c = nearest_centre(p.row(i), centres, k, p.dims);
      changed = changed || c != cluster[i];
      cluster[i] = c;
      ++sizes[c];
    }
    // An empty cluster takes the individual farthest from its centre among
    // clusters of more than one.
    for (int c = 0; c < k; ++c) {
      if (sizes[c] > 0) continue;
      int far = -1;
      double far_d = -1.0;
      for (int i = 0; i < p.n; ++i) {
        if (sizes[cluster[i]] < 2) continue;
        const double d =
            squared_distance(p.row(i), &centres[static_cast<std::size_t>(cluster[i]) * p.dims], p.dims);
        if (d > far_d) {
          far_d = d;
          far = i;
        }
      }
      if (far < 0) break;
      --sizes[cluster[far]];
      cluster[far] = c;
      sizes[c] = 1;
      changed = true;
    }
    centres = cluster_means(p, cluster, k);
    if (!changed) break;
  }

  // Hartigan-Wong transfers with running means.
  for (int pass = 0; pass < kTransferPasses; ++pass) {
    bool moved = false;
    for (int i = 0; i < p.n; ++i) {
      const int a = cluster[i];
      if (sizes[a] < 2) continue;
      const double* x = p.row(i);
      const double removal = sizes[a] / (sizes[a] - 1.0) *
                             squared_distance(x, &centres[static_cast<std::size_t>(a) * p.dims], p.dims);
      int best = -1;
      double best_cost = removal;
      for (int b = 0; b < k; ++b) {
        if (b == a) continue;
        const double cost = sizes[b] / (sizes[b] + 1.0) *
                            squared_distance(x, &centres[static_cast<std::size_t>(b) * p.dims], p.dims);
        if (cost < best_cost) {
          best_cost = cost;
          best = b;
        }
      }
      // A move must lower WSS by more than rounding, or passes could cycle.
      if (best < 0 || best_cost >= removal * (1.0 - 1e-12)) continue;
      double* ca = &centres[static_cast<std::size_t>(a) * p.dims];
      double* cb = &centres[static_cast<std::size_t>(best) * p.dims];
      for (int t = 0; t < p.dims; ++t) {
        ca[t] = (ca[t] * sizes[a] - x[t]) / (sizes[a] - 1);
        cb[t] = (cb[t] * sizes[best] + x[t]) / (sizes[best] + 1);
      }
      --sizes[a];
      ++sizes[best];
      cluster[i] = best;
      moved = true;
    }
    if (!moved) break;
    centres = cluster_means(p, cluster, k);
  }
  return solution_from_labels(p, std::move(cluster), k);
}

std::vector<ClusterSolution> kmeans_solutions(const Points& p, int kmax, const ClusterSettings& settings) {
  std::vector<ClusterSolution> out;
  out.push_back(solution_from_labels(p, std::vector<int>(p.n, 0), 1));
  if (kmax < 2) return out;
  const int starts = settings.starts;
  const int tasks = (kmax - 1) * starts;
  std::vector<ClusterSolution> runs(tasks);
  parallel_chunks(tasks, 1, settings.threads, [&](int begin, int end) {
    for (int t = begin; t < end; ++t) {
      const int k = 2 + t / starts, start = t % starts;
      KeyedStream stream(stream_key(settings.seed, kKMeansStreams, static_cast<std::uint64_t>(k),
                                    static_cast<std::uint64_t>(start)));
      runs[t] = kmeans_start(p, k, stream);
    }
  });
  for (int k = 2; k <= kmax; ++k) {
    int best = (k - 2) * starts;
    for (int t = best + 1; t < (k - 1) * starts; ++t) {
      if (runs[t].wss < runs[best].wss) best = t;
    }
    out.push_back(std::move(runs[best]));
  }
  return out;
}

// ---- Ward ------------------------------------------------------------------

struct Merge {
  int a, b;  // the two clusters merged, each named by its smallest individual
};

// The nearest-neighbour list algorithm of hclust (Murtagh 1985, as R's
// hclust.f runs it), so that equal dissimilarities are resolved as there:
// each cluster i keeps its nearest neighbour among the clusters j > i (the
// first of equal ones); the pair of least dissimilarity (the first i on a tie)
// is merged into the smaller index; lists pointing at either are redone.
std::vector<Merge> ward_merges(const Points& p, WardInput input) {
  const int n = p.n;
  const auto at = [](int i, int j) {
    if (i < j) std::swap(i, j);
    return static_cast<std::size_t>(i) * (i - 1) / 2 + j;
  };
  std::vector<double> d(static_cast<std::size_t>(n) * (n - 1) / 2);
  for (int i = 1; i < n; ++i) {
    for (int j = 0; j < i; ++j) {
      const double s = squared_distance(p.row(i), p.row(j), p.dims);
      d[at(i, j)] = input == WardInput::kAdegenet ? s * s : s;
    }
  }
  constexpr double kInf = std::numeric_limits<double>::infinity();
  std::vector<int> size(n, 1), nn(n, -1);
  std::vector<double> nn_d(n, kInf);
  std::vector<char> active(n, 1);
  const auto find_nearest = [&](int i) {
    nn_d[i] = kInf;
    nn[i] = -1;
    for (int j = i + 1; j < n; ++j) {
      if (active[j] && d[at(i, j)] < nn_d[i]) {
        nn_d[i] = d[at(i, j)];
        nn[i] = j;
      }
    }
  };
  for (int i = 0; i + 1 < n; ++i) find_nearest(i);
  std::vector<Merge> merges;
  for (int remaining = n; remaining > 1; --remaining) {
    int im = -1;
    double least = kInf;
    for (int i = 0; i + 1 < n; ++i) {
      if (active[i] && nn[i] >= 0 && nn_d[i] < least) {
        least = nn_d[i];
        im = i;
      }
    }
    const int i2 = std::min(im, nn[im]), j2 = std::max(im, nn[im]);
    merges.push_back({i2, j2});
    active[j2] = 0;
    const double xx = d[at(i2, j2)];
    double nearest = kInf;
    int nearest_k = -1;
    const double ni = size[i2], nj = size[j2];
    for (int k = 0; k < n; ++k) {
      if (!active[k] || k == i2) continue;
      const double nk = size[k];
      double& dk = d[at(i2, k)];
      dk = ((ni + nk) * dk + (nj + nk) * d[at(j2, k)] - nk * xx) / (ni + nj + nk);
      if (i2 < k) {
        if (dk < nearest) {
          nearest = dk;
          nearest_k = k;
        }
      } else if (dk < nn_d[k]) {
        nn_d[k] = dk;
        nn[k] = i2;
      }
    }
    size[i2] += size[j2];
    nn_d[i2] = nearest;
    nn[i2] = nearest_k;
    for (int i = 0; i + 1 < n; ++i) {
      if (active[i] && (nn[i] == i2 || nn[i] == j2)) find_nearest(i);
    }
  }
  return merges;
}

std::vector<ClusterSolution> ward_solutions(const Points& p, int kmax, WardInput input) {
  const std::vector<Merge> merges = ward_merges(p, input);
  std::vector<int> parent(p.n);
  std::iota(parent.begin(), parent.end(), 0);
  const auto root = [&parent](int i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
  };
  std::vector<ClusterSolution> out(kmax);
  const auto cut = [&](int k) {
    std::vector<int> label(p.n, -1), cluster(p.n);
    int next = 0;
    for (int i = 0; i < p.n; ++i) {
      const int r = root(i);
      if (label[r] < 0) label[r] = next++;
      cluster[i] = label[r];
    }
    out[k - 1] = solution_from_labels(p, std::move(cluster), k);
  };
  int clusters = p.n;
  if (clusters <= kmax) cut(clusters);
  for (const Merge& m : merges) {
    parent[root(m.a)] = root(m.b);
    --clusters;
    if (clusters <= kmax) cut(clusters);
  }
  return out;
}

}  // namespace

double cluster_bic(double wss, int k, int individuals) {
  if (!(wss > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  const double n = individuals;
  return n * std::log(wss / n) + k * std::log(n);
}

double within_sum_of_squares(const std::vector<double>& points, int dimensions, const std::vector<int>& cluster,
                             int k) {
  const Points p{points.data(), static_cast<int>(cluster.size()), dimensions};
  return solution_from_labels(p, cluster, k).wss;
}

ClusterResult find_clusters(const std::vector<double>& points, int individuals, int dimensions,
                            const ClusterSettings& settings) {
  if (individuals < 0 || dimensions < 0 ||
      points.size() != static_cast<std::size_t>(individuals) * static_cast<std::size_t>(dimensions)) {
    throw std::invalid_argument("clusters: points are not individuals x dimensions");
  }
  if (settings.max_clusters < 1) throw std::invalid_argument("clusters: at most fewer than one cluster");
  if (settings.starts < 1) throw std::invalid_argument("clusters: fewer than one start");
  if (settings.given_clusters < 0) throw std::invalid_argument("clusters: negative number of clusters");
  ClusterResult out;
  out.individuals = individuals;
  out.dimensions = dimensions;
  if (individuals == 0) {
    out.warnings.push_back("no individuals: no clusters");
    return out;
  }
  int kmax = std::max(settings.max_clusters, settings.given_clusters);
  if (kmax > individuals) {
    out.warnings.push_back("at most " + std::to_string(individuals) + " clusters of " + std::to_string(individuals) +
                           " individuals");
    kmax = individuals;
  }
  const Points p{points.data(), individuals, dimensions};
  out.solutions = settings.method == ClusterMethod::kWard ? ward_solutions(p, kmax, settings.ward_input)
                                                          : kmeans_solutions(p, kmax, settings);
  int undefined = 0, exact = 0;
  for (const ClusterSolution& s : out.solutions) {
    if (std::isnan(s.bic)) {
      ++undefined;
      if (exact == 0 && s.k < individuals) exact = s.k;
      continue;
    }
    if (out.chosen == 0 || s.bic < out.solutions[out.chosen - 1].bic) out.chosen = s.k;
  }
  if (undefined > 0) {
    out.warnings.push_back("BIC undefined for " + std::to_string(undefined) +
                           " numbers of clusters: the within sum of squares is 0");
  }
  if (exact > 0) {
    // Fewer distinct profiles than individuals, and K clusters hold them
    // exactly: BIC -infinity, the lowest.
    out.chosen = exact;
    out.warnings.push_back(std::to_string(exact) + " clusters hold the individuals exactly (within sum of squares 0): " +
                           "chosen as the lowest BIC");
  }
  out.lowest_bic = out.chosen;
  out.given = settings.given_clusters;
  if (settings.given_clusters > 0) out.chosen = std::min(settings.given_clusters, kmax);
  if (out.chosen == 0) out.chosen = 1;
  return out;
}

ClusterResult find_clusters(const PrincipalComponents& pca, const ClusterSettings& settings) {
  return find_clusters(pca.scores, pca.individuals, pca.components, settings);
}

}  // namespace bandscape
