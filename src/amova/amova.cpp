// AMOVA tables, their permutation tests and pairwise PhiPT.
//
// Every permutation only reassigns individuals (or populations) to fixed
// slots, so the sums of squares are recomputed from blocks of the stored
// triangle of distances: a block of n slots costs n(n - 1)/2 additions, and a
// permutation costs sum_p N_p^2 / 2 rather than N^2 / 2.
#include "amova/amova.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>

#include "numeric/keyed_random.hpp"
#include "numeric/parallel.hpp"

namespace bandscape {
namespace {

constexpr double kNaN = kAmovaUndefined;
constexpr double kRelativeTolerance = 1e-10;
// Permutations handed to a worker at a time.
constexpr int kChunk = 16;
// The most individuals whose distances are copied into a square block (8 MB).
constexpr int kLargestBlock = 1024;

double ratio(double a, double b) { return b == 0.0 ? kNaN : a / b; }

// The stored triangle read by row: d(x, y) for x < y is values[start[x] + y].
// The AMOVA's permutations read the distances in place rather than from a
// square copy, so the n x n matrix is held once (a square copy of 5,000
// individuals is 200 MB and took longer to fill than ten permutations take to
// sum).  A partner is an individual with its row's start, looked up once for
// the four rows summed beside it.
struct TriangleRows {
  struct Partner {
    int x;
    std::ptrdiff_t start;
  };
  const double* values = nullptr;
  std::vector<std::ptrdiff_t> start;
  explicit TriangleRows(const PackedDistances& d)
      : values(d.values().data()), start(static_cast<std::size_t>(d.size())) {
    // Row x begins at x(2n - x - 1)/2 and holds the columns from x + 1.
    const auto n = static_cast<std::ptrdiff_t>(d.size());
    for (std::ptrdiff_t x = 0; x < n; ++x) start[static_cast<std::size_t>(x)] = x * (2 * n - x - 1) / 2 - x - 1;
  }
  Partner partner(int x) const { return {x, start[static_cast<std::size_t>(x)]}; }
  using Row = Partner;
  Row row(int x) const { return partner(x); }
  // d(r, p) for two different individuals (never the same one: the diagonal
  // is not stored): the lower one's row holds it.
  double at(const Row& r, const Partner& p) const { return values[p.x > r.x ? r.start + p.x : p.start + r.x]; }
};

// A square copy of the distances among a few individuals (`members`, in
// increasing order), indexed by their position in that list: a small sample,
// or the two populations of a pairwise PhiPT, whose block, unlike the
// triangle's scattered cells, stays in the cache through a run of
// permutations.
struct SquareBlock {
  using Partner = int;
  using Row = const double*;
  int n = 0;
  std::vector<double> cells;
  SquareBlock() = default;
  SquareBlock(const TriangleRows& d, const std::vector<int>& members) : n(static_cast<int>(members.size())) {
    cells.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 0.0);
    for (int i = 0; i < n; ++i) {
      const std::ptrdiff_t row = d.start[static_cast<std::size_t>(members[i])];
      for (int j = i + 1; j < n; ++j) {
        const double v = d.values[row + members[j]];
        cells[static_cast<std::size_t>(i) * n + j] = v;
        cells[static_cast<std::size_t>(j) * n + i] = v;
      }
    }
  }
  Partner partner(int s) const { return s; }
  Row row(int s) const { return cells.data() + static_cast<std::size_t>(s) * n; }
  double at(Row r, Partner p) const { return r[p]; }
};

// Sum over a < b < count of d(ind[a], ind[b]), in that order: each row a's
// partial sum over b = a+1..count-1, the partial sums added to the total in
// order of a.  Four rows are summed side by side, each in its own order, so
// that four chains of additions overlap instead of one waiting on the last;
// the result is the same, bit for bit, as one row after the other, and the
// same for either form of the distances.
template <class Distances>
double block_sum(const Distances& d, const int* ind, int count) {
  double total = 0.0;
  int a = 0;
  for (; a + 4 < count; a += 4) {
    const auto r0 = d.row(ind[a]), r1 = d.row(ind[a + 1]), r2 = d.row(ind[a + 2]), r3 = d.row(ind[a + 3]);
    const auto p1 = d.partner(ind[a + 1]), p2 = d.partner(ind[a + 2]), p3 = d.partner(ind[a + 3]);
    // The triangle's corner: row a + i starts at column a + i + 1.
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    s0 += d.at(r0, p1);
    s0 += d.at(r0, p2);
    s1 += d.at(r1, p2);
    s0 += d.at(r0, p3);
    s1 += d.at(r1, p3);
    s2 += d.at(r2, p3);
    for (int b = a + 4; b < count; ++b) {
      const auto p = d.partner(ind[b]);
      s0 += d.at(r0, p);
      s1 += d.at(r1, p);
      s2 += d.at(r2, p);
      s3 += d.at(r3, p);
    }
    total += s0;
    total += s1;
    total += s2;
    total += s3;
  }
  for (; a + 1 < count; ++a) {
    const auto r = d.row(ind[a]);
    double s = 0.0;
    for (int b = a + 1; b < count; ++b) s += d.at(r, d.partner(ind[b]));
    total += s;
  }
  return total;
}

// The counts that fix the degrees of freedom and the coefficients.
struct Shape {
  int N = 0, P = 0, G = 0;
  double sum_np2 = 0.0;     // sum_p N_p^2
  double sum_np2_ng = 0.0;  // sum_g sum_{p in g} N_p^2 / N_g
  double sum_ng2 = 0.0;     // sum_g N_g^2
};

void set_component(AmovaComponent& c, int df, double ss) {
  c.df = df;
  c.ss = ss;
  c.ms = ratio(ss, df);
}

AmovaTable table_from_sums(double ss_total, double ss_within_groups, double ss_within_pops, const Shape& s,
                           bool three_levels) {
  AmovaTable t;
  t.three_levels = three_levels;
  const double N = s.N;
  set_component(t.total, s.N - 1, ss_total);
  set_component(t.within_populations, s.N - s.P, ss_within_pops);
  const double c = t.within_populations.ms;
  t.within_populations.sigma2 = c;
  if (!three_levels) {
    set_component(t.among_populations, s.P - 1, ss_total - ss_within_pops);
    t.n = ratio(N - s.sum_np2 / N, s.P - 1);
    const double a = ratio(t.among_populations.ms - c, t.n);
    t.among_populations.sigma2 = a;
    t.total.sigma2 = a + c;
    t.phi_pt = a / (a + c);
  } else {
    set_component(t.among_groups, s.G - 1, ss_total - ss_within_groups);
    set_component(t.among_populations, s.P - s.G, ss_within_groups - ss_within_pops);
    t.n = ratio(N - s.sum_np2_ng, s.P - s.G);
    t.n_prime = ratio(s.sum_np2_ng - s.sum_np2 / N, s.G - 1);
    t.n_second = ratio(N - s.sum_ng2 / N, s.G - 1);
    const double b = ratio(t.among_populations.ms - c, t.n);
    const double a = ratio(t.among_groups.ms - c - t.n_prime * b, t.n_second);
    t.among_groups.sigma2 = a;
    t.among_populations.sigma2 = b;
    const double total = a + b + c;
    t.total.sigma2 = total;
    t.phi_rt = a / total;
    t.phi_pr = b / (b + c);
    t.phi_pt = (a + b) / total;
    t.among_groups.percent = 100.0 * a / total;
  }
  t.among_populations.percent = 100.0 * t.among_populations.sigma2 / t.total.sigma2;
  t.within_populations.percent = 100.0 * c / t.total.sigma2;
  // 100% of an undefined total is undefined too (0/0 components).
  t.total.percent = std::isfinite(t.total.sigma2) && t.total.sigma2 != 0.0 ? 100.0 : kNaN;
  return t;
}

// The individuals dealt to slots group after group and, within a group,
// population after population.  Block k of slots is the k-th population in
// that order; the observed design is the arrangement `individuals`.
struct Arrangement {
  bool three_levels = false;
  int N = 0, P = 0, G = 0;
  std::vector<int> individuals;  // slot -> individual
  std::vector<int> block_begin;  // P + 1 slot boundaries of the population blocks
  std::vector<int> block_population;
  std::vector<int> group_block_begin;  // G + 1 block boundaries of the groups
  std::vector<int> group_begin;        // G + 1 slot boundaries of the groups
  std::vector<int> population_begin;   // P: first individual of each population

  int block_size(int k) const { return block_begin[k + 1] - block_begin[k]; }
  int group_size(int g) const { return group_begin[g + 1] - group_begin[g]; }
};

Arrangement arrange(const AmovaDesign& design, int individuals) {
  Arrangement a;
  a.P = static_cast<int>(design.population_sizes.size());
  a.three_levels = !design.groups.empty();
  if (a.P == 0) throw std::invalid_argument("AMOVA design without populations");
  if (a.three_levels && static_cast<int>(design.groups.size()) != a.P) {
    throw std::invalid_argument("AMOVA design: one group per population needed");
  }
  a.population_begin.resize(static_cast<std::size_t>(a.P));
  for (int p = 0; p < a.P; ++p) {
    const int size = design.population_sizes[static_cast<std::size_t>(p)];
    if (size < 1) throw std::invalid_argument("AMOVA design: empty population");
    a.population_begin[static_cast<std::size_t>(p)] = a.N;
    a.N += size;
  }
  if (a.N != individuals) throw std::invalid_argument("AMOVA design and distances differ in size");
  std::vector<int> group(design.groups);
  if (!a.three_levels) group.assign(static_cast<std::size_t>(a.P), 0);
  a.G = *std::max_element(group.begin(), group.end()) + 1;
  if (*std::min_element(group.begin(), group.end()) < 0) throw std::invalid_argument("AMOVA design: bad group");
  a.block_begin.push_back(0);
  a.group_begin.push_back(0);
  a.group_block_begin.push_back(0);
  for (int g = 0; g < a.G; ++g) {
    for (int p = 0; p < a.P; ++p) {
      if (group[static_cast<std::size_t>(p)] != g) continue;
      const int first = a.population_begin[static_cast<std::size_t>(p)];
      const int size = design.population_sizes[static_cast<std::size_t>(p)];
      for (int x = first; x < first + size; ++x) a.individuals.push_back(x);
      a.block_population.push_back(p);
      a.block_begin.push_back(a.block_begin.back() + size);
    }
    if (static_cast<int>(a.block_population.size()) == a.group_block_begin.back()) {
      throw std::invalid_argument("AMOVA design: group without populations");
    }
    a.group_block_begin.push_back(static_cast<int>(a.block_population.size()));
    a.group_begin.push_back(a.block_begin.back());
  }
  return a;
}

Shape shape_of(const Arrangement& a) {
  Shape s;
  s.N = a.N;
  s.P = a.P;
  s.G = a.G;
  for (int g = 0; g < a.G; ++g) {
    const double ng = a.group_size(g);
    double np2 = 0.0;
    for (int k = a.group_block_begin[g]; k < a.group_block_begin[g + 1]; ++k) {
      np2 += static_cast<double>(a.block_size(k)) * a.block_size(k);
    }
    s.sum_np2 += np2;
    s.sum_np2_ng += np2 / ng;
    s.sum_ng2 += ng * ng;
  }
  return s;
}

template <class Distances>
double ss_within_populations(const Distances& d, const Arrangement& a, const int* slots) {
  double ss = 0.0;
  for (int k = 0; k < a.P; ++k) ss += block_sum(d, slots + a.block_begin[k], a.block_size(k)) / a.block_size(k);
  return ss;
}

template <class Distances>
double ss_within_groups(const Distances& d, const Arrangement& a, const int* slots) {
  double ss = 0.0;
  for (int g = 0; g < a.G; ++g) ss += block_sum(d, slots + a.group_begin[g], a.group_size(g)) / a.group_size(g);
  return ss;
}

double ss_total(const PackedDistances& d) {
  double sum = 0.0;
  for (double v : d.values()) sum += v;
  return d.size() == 0 ? kNaN : sum / d.size();
}

// Calls evaluate(stream, k) for permutations k = 0..count-1, spread over the
// workers; each permutation has its own stream.
template <class Evaluate>
void for_each_permutation(int count, const PermutationSettings& settings, PermutedStatistic statistic,
                          std::uint64_t subset, Evaluate&& evaluate) {
  parallel_chunks(count, kChunk, settings.threads, [&](int begin, int end) {
    for (int k = begin; k < end; ++k) {
      KeyedStream stream(
          stream_key(settings.seed, static_cast<std::uint64_t>(statistic), subset, static_cast<std::uint64_t>(k)));
      evaluate(stream, k);
    }
  });
}

bool counts_against(double v, double observed, bool lower) {
  const double tolerance = kRelativeTolerance * std::fabs(observed);
  return lower ? v <= observed + tolerance : v >= observed - tolerance;
}

void finish_test(PermutationTest& test, double observed, bool lower = false) {
  test.observed = observed;
  test.p_value = permutation_p_value(observed, test.permuted, lower);
}

// Sums over population pairs: between[p * P + q] for p < q is the sum of
// d(i, j) over i in p and j in q; between[p * P + p] the sum over the pairs
// within p.
std::vector<double> population_pair_sums(const TriangleRows& d, const Arrangement& a) {
  std::vector<double> between(static_cast<std::size_t>(a.P) * a.P, 0.0);
  for (int k = 0; k < a.P; ++k) {
    const int p = a.block_population[k];
    const int* ind = a.individuals.data() + a.block_begin[k];
    between[static_cast<std::size_t>(p) * a.P + p] = block_sum(d, ind, a.block_size(k));
  }
  for (int p = 0; p < a.P; ++p) {
    for (int q = p + 1; q < a.P; ++q) {
      double sum = 0.0;
      const int pb = a.population_begin[p], qb = a.population_begin[q];
      const int pe = p + 1 < a.P ? a.population_begin[p + 1] : a.N;
      const int qe = q + 1 < a.P ? a.population_begin[q + 1] : a.N;
      for (int i = pb; i < pe; ++i) {
        const std::ptrdiff_t row = d.start[static_cast<std::size_t>(i)];
        for (int j = qb; j < qe; ++j) sum += d.values[row + j];  // i < j
      }
      between[static_cast<std::size_t>(p) * a.P + q] = sum;
    }
  }
  return between;
}

// PhiRT with the populations order[0..P-1] dealt to the groups in turn, group
// g taking as many populations as it has in the design.
double phi_rt_of(const Arrangement& a, const std::vector<int>& sizes, const std::vector<double>& between,
                 const int* order, double ss_tot, double ss_pops) {
  Shape s;
  s.N = a.N;
  s.P = a.P;
  s.G = a.G;
  double ss_groups = 0.0;
  for (int g = 0; g < a.G; ++g) {
    const int first = a.group_block_begin[g], last = a.group_block_begin[g + 1];
    double ng = 0.0, np2 = 0.0, sum = 0.0;
    for (int u = first; u < last; ++u) {
      const double np = sizes[static_cast<std::size_t>(order[u])];
      ng += np;
      np2 += np * np;
      for (int v = u; v < last; ++v) {
        const int p = std::min(order[u], order[v]), q = std::max(order[u], order[v]);
        sum += between[static_cast<std::size_t>(p) * a.P + q];
      }
    }
    ss_groups += sum / ng;
    s.sum_np2 += np2;
    s.sum_np2_ng += np2 / ng;
    s.sum_ng2 += ng * ng;
  }
  return table_from_sums(ss_tot, ss_groups, ss_pops, s, true).phi_rt;
}

}  // namespace

double permutation_p_value(double observed, const std::vector<double>& permuted, bool lower) {
  if (permuted.empty() || std::isnan(observed)) return kNaN;
  std::size_t count = 0;
  for (double v : permuted) count += counts_against(v, observed, lower);
  return (static_cast<double>(count) + 1.0) / (static_cast<double>(permuted.size()) + 1.0);
}

AmovaTable amova_table(const PackedDistances& d, const AmovaDesign& design) {
  return amova(d, design, PermutationSettings{0, 0, 1}).table;
}

namespace {

// The analysis and its permutations with the distances in either form.
template <class Distances>
AmovaResult amova_of(const Distances& distances, const TriangleRows& rows, const PackedDistances& d,
                     const AmovaDesign& design, const PermutationSettings& settings) {
  const Arrangement a = arrange(design, d.size());
  const Shape shape = shape_of(a);
  const double ss_tot = ss_total(d);
  const double ss_groups = a.three_levels ? ss_within_groups(distances, a, a.individuals.data()) : kNaN;
  const double ss_pops = ss_within_populations(distances, a, a.individuals.data());
  AmovaResult r;
  r.table = table_from_sums(ss_tot, ss_groups, ss_pops, shape, a.three_levels);
  const int count = std::max(settings.permutations, 0);

  r.phi_pt.permuted.assign(static_cast<std::size_t>(count), kNaN);
  r.sigma2_within.permuted.assign(static_cast<std::size_t>(count), kNaN);
  for_each_permutation(count, settings, PermutedStatistic::phi_pt, 0, [&](KeyedStream& stream, int k) {
    std::vector<int> slots(a.individuals);
    shuffle(slots.data(), a.N, stream);
    const double groups = a.three_levels ? ss_within_groups(distances, a, slots.data()) : kNaN;
    const AmovaTable t =
        table_from_sums(ss_tot, groups, ss_within_populations(distances, a, slots.data()), shape, a.three_levels);
    r.phi_pt.permuted[static_cast<std::size_t>(k)] = t.phi_pt;
    r.sigma2_within.permuted[static_cast<std::size_t>(k)] = t.within_populations.sigma2;
  });
  finish_test(r.phi_pt, r.table.phi_pt);
  finish_test(r.sigma2_within, r.table.within_populations.sigma2, true);
  if (!a.three_levels) return r;

  r.phi_pr.permuted.assign(static_cast<std::size_t>(count), kNaN);
  for_each_permutation(count, settings, PermutedStatistic::phi_pr, 0, [&](KeyedStream& stream, int k) {
    std::vector<int> slots(a.individuals);
    for (int g = 0; g < a.G; ++g) shuffle(slots.data() + a.group_begin[g], a.group_size(g), stream);
    r.phi_pr.permuted[static_cast<std::size_t>(k)] =
        table_from_sums(ss_tot, ss_groups, ss_within_populations(distances, a, slots.data()), shape, true).phi_pr;
  });
  finish_test(r.phi_pr, r.table.phi_pr);

  const std::vector<double> between = population_pair_sums(rows, a);
  r.phi_rt.permuted.assign(static_cast<std::size_t>(count), kNaN);
  for_each_permutation(count, settings, PermutedStatistic::phi_rt, 0, [&](KeyedStream& stream, int k) {
    std::vector<int> order(a.block_population);
    shuffle(order.data(), a.P, stream);
    r.phi_rt.permuted[static_cast<std::size_t>(k)] =
        phi_rt_of(a, design.population_sizes, between, order.data(), ss_tot, ss_pops);
  });
  finish_test(r.phi_rt, r.table.phi_rt);
  return r;
}

}  // namespace

AmovaResult amova(const PackedDistances& d, const AmovaDesign& design, const PermutationSettings& settings) {
  const TriangleRows rows(d);
  // A small sample is permuted in a square copy (at most 8 MB): in the cache
  // either way, its rows are read without choosing the triangle's row for
  // each pair.
  if (d.size() > kLargestBlock) return amova_of(rows, rows, d, design, settings);
  std::vector<int> everyone(static_cast<std::size_t>(d.size()));
  std::iota(everyone.begin(), everyone.end(), 0);
  return amova_of(SquareBlock(rows, everyone), rows, d, design, settings);
}

PairwisePhiPT pairwise_phi_pt(const PackedDistances& d, const AmovaDesign& design,
                              const PermutationSettings& settings) {
  const Arrangement a = arrange(AmovaDesign{design.population_sizes, {}}, d.size());
  const TriangleRows rows(d);
  const int P = a.P;
  const int count = std::max(settings.permutations, 0);

  // Each pair's own two-level analysis of its individuals (`members`,
  // population p's first), dealt to slots 0..np+nq-1.
  struct Pair {
    int p = 0, q = 0;
    std::vector<int> members;
    Arrangement two;
    Shape shape;
    double ss_total = kNaN, phi = kNaN;
  };
  const auto phi_of = [](const Pair& pair, const auto& distances, const int* slots) {
    return table_from_sums(pair.ss_total, kNaN, ss_within_populations(distances, pair.two, slots), pair.shape, false)
        .phi_pt;
  };
  std::vector<Pair> pairs;
  for (int p = 0; p < P; ++p) {
    for (int q = p + 1; q < P; ++q) {
      Pair pair;
      pair.p = p;
      pair.q = q;
      const int np = design.population_sizes[p], nq = design.population_sizes[q];
      pair.two = arrange(AmovaDesign{{np, nq}, {}}, np + nq);
      for (int s = 0; s < np + nq; ++s) {
        pair.members.push_back(s < np ? a.population_begin[p] + s : a.population_begin[q] + s - np);
      }
      pair.shape = shape_of(pair.two);
      pair.ss_total = block_sum(rows, pair.members.data(), np + nq) / (np + nq);
      pair.phi = phi_of(pair, rows, pair.members.data());
      pairs.push_back(std::move(pair));
    }
  }

  // Tasks: blocks of kPairChunk permutations of one pair, each counting its
  // permuted values at least as large as the pair's observed one.  A pair of
  // at most kLargestBlock individuals is permuted in a square copy of its
  // block, larger ones in the triangle: a permutation shuffles slot positions,
  // so the copy's slots 0..n-1 and the triangle's members give the same sums.
  constexpr int kPairChunk = 128;
  const int blocks = (count + kPairChunk - 1) / kPairChunk;
  std::vector<int> at_least(pairs.size() * static_cast<std::size_t>(blocks), 0);
  parallel_chunks(static_cast<int>(pairs.size()) * blocks, 1, settings.threads, [&](int begin, int end) {
    for (int task = begin; task < end; ++task) {
      const std::size_t number = static_cast<std::size_t>(task / blocks);
      const Pair& pair = pairs[number];
      const int first = (task % blocks) * kPairChunk, last = std::min(count, first + kPairChunk);
      const bool copied = pair.two.N <= kLargestBlock;
      const SquareBlock block = copied ? SquareBlock(rows, pair.members) : SquareBlock();
      std::vector<int> positions(pair.members);
      if (copied) std::iota(positions.begin(), positions.end(), 0);
      for (int k = first; k < last; ++k) {
        KeyedStream stream(stream_key(settings.seed, static_cast<std::uint64_t>(PermutedStatistic::pairwise_phi_pt),
                                      number, static_cast<std::uint64_t>(k)));
        std::vector<int> slots(positions);
        shuffle(slots.data(), pair.two.N, stream);
        const double phi = copied ? phi_of(pair, block, slots.data()) : phi_of(pair, rows, slots.data());
        at_least[static_cast<std::size_t>(task)] += counts_against(phi, pair.phi, false);
      }
    }
  });

  PairwisePhiPT result;
  result.populations = P;
  result.phi.assign(static_cast<std::size_t>(P) * P, 0.0);
  result.p_value.assign(static_cast<std::size_t>(P) * P, kNaN);
  for (std::size_t number = 0; number < pairs.size(); ++number) {
    const Pair& pair = pairs[number];
    const std::size_t pq = static_cast<std::size_t>(pair.p) * P + pair.q;
    const std::size_t qp = static_cast<std::size_t>(pair.q) * P + pair.p;
    result.phi[pq] = result.phi[qp] = pair.phi;
    if (count == 0 || std::isnan(pair.phi)) continue;
    const auto counts = at_least.begin() + static_cast<std::ptrdiff_t>(number * blocks);
    const int total = std::accumulate(counts, counts + blocks, 0);
    result.p_value[pq] = result.p_value[qp] = (total + 1.0) / (count + 1.0);
  }
  return result;
}

}  // namespace bandscape
