// Neighbour joining (Saitou & Nei 1987) and UPGMA (Sokal & Michener 1958) as
// PHYLIP 3.697 `neighbor` computes them, in much less than its O(n^3) time.
//
// The trees are those of the straightforward algorithm to the last bit: each
// step joins the pair that the full scan of all pairs would join, with the
// same floating-point values, and computes the same branch lengths from the
// same row sums.  What changes is how the pair is found.
//
// UPGMA: every cluster keeps the clusters that existed when it was formed in
// a list sorted by distance (then by position), so the closest pair is the
// best of the lists' first entries that still exist: O(n^2 log n) in all.
//
// Neighbour joining: the pruned search of RapidNJ (Simonsen, Mailund &
// Pedersen 2008).  Each cluster's list is sorted by distance; a row's scan
// stops when (k - 2) d_ij - R_i - max R_j exceeds the best criterion found so
// far, since no later entry can do better.  Individuals of distinct
// populations differ widely in R (a population far from the others has large
// distances to all of them), and a bound with the largest R of all clusters
// lets each row's scan run through most of its own population.  So, as in
// NINJA (Wheeler 2009), the clusters are put in groups by the rank of their R
// when they are formed, each list is sorted by the other cluster's group,
// then by distance, and each group's part is scanned with the largest R in
// that group.  R drifts as clusters are joined, so a group's members need not
// stay alike, but the bound holds whatever they are; it is only looser.
// When a few clusters' R stand far above the rest, their pairs are all tried
// and the bounds are taken over the others.  `neighbor` sums R_i afresh at
// every step in increasing order of position, and rounding makes that sum
// differ from any running total, so the search works on running totals with
// a proven bound on how far they can be from the fresh sums (Higham 2002,
// ch. 4: |error| <= (k - 1) u sum |d_ij| for a sum of k terms, u = 2^-53).
// Every pair whose criterion is within that bound of the best is a candidate;
// only the candidates' rows are summed afresh, and their criteria, computed
// exactly as the full scan computes them, decide the pair, ties going to the
// first pair in scan order.
#include "tree/distance_trees.hpp"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <utility>

namespace bandscape {
namespace {

constexpr double kRoundoff = 0x1p-53;  // unit roundoff of a double
// Below this many clusters the full scan is as fast as the lists.
constexpr int kFullScanBelow = 48;
// Neighbour joining: the clusters of the largest totals whose pairs are all
// tried at each step.
constexpr std::size_t kTriedInFull = 8;
// Neighbour joining: the groups of clusters by their row totals when formed.
constexpr int kGroups = 16;

// The distances between the clusters left, in the lower triangle of a square
// matrix over slots: cells(p, q), q < p.  A cluster keeps the slot of the taxon
// it started from, or of the first part it was joined from, so slots are in
// the order of the positions `neighbor` gives the clusters.  When half the
// slots are free the triangle is packed to the clusters left, order kept.
class Triangle {
 public:
  explicit Triangle(const DistanceMatrix& d) : cells_(start(d.n) + 1) {
    for (int p = 1; p < d.n; ++p) {
      double* row = cells_.data() + start(p);
      for (int q = 0; q < p; ++q) row[q] = d.at(q, p);
    }
  }
  double at(int p, int q) const { return p > q ? cells_[start(p) + q] : cells_[start(q) + p]; }
  void set(int p, int q, double value) { (p > q ? cells_[start(p) + q] : cells_[start(q) + p]) = value; }
  const double* row(int p) const { return cells_.data() + start(p); }

  // Keeps the slots `keep` (increasing) as slots 0, 1, ...  Each cell moves
  // to a place at or before its own, in the order they are read: in place.
  void pack(const std::vector<int>& keep) {
    const int k = static_cast<int>(keep.size());
    for (int p = 1; p < k; ++p) {
      const double* from = cells_.data() + start(keep[p]);
      double* to = cells_.data() + start(p);
      for (int q = 0; q < p; ++q) to[q] = from[keep[q]];
    }
    cells_.resize(start(k) + 1);
    cells_.shrink_to_fit();
  }

 private:
  static std::size_t start(int p) { return p < 1 ? 0 : static_cast<std::size_t>(p) * (p - 1) / 2; }
  std::vector<double> cells_;
};

// What a slot holds while its cluster is left.
struct Slot {
  int node = 0;         // tree node of the cluster
  int id = 0;           // the cluster's number (taxa 0..n-1, then in order of joining)
  double offset = 0.0;  // taken off the cluster's next branch length (UPGMA: its height)
  double size = 1.0;    // taxa in the cluster
  // Neighbour joining: the running total of the row's distances and a bound
  // on its distance from their exact sum; the same for their absolute values.
  double total = 0.0, total_error = 0.0;
  double magnitude = 0.0, magnitude_error = 0.0;
  // The row sum as `neighbor` adds it, at step `summed_at`.
  double sum = 0.0;
  long summed_at = -1;
  // Neighbour joining: the smallest distance of the entries of the cluster's
  // list that may still exist, rounded down (infinite for an empty list), so
  // that rows far from the best pair are passed over without reading them.
  float first_below = std::numeric_limits<float>::infinity();
  bool leading = false;  // among the few largest totals, whose pairs are all tried
};

// The clusters left, their slots and distances, and each cluster's list of
// the clusters that existed when it was formed (taxa: the taxa before it).
// Every pair of clusters left is in exactly one list, the newer cluster's.
template <class Entry>
class Clusters {
 public:
  explicit Clusters(const DistanceMatrix& d)
      : triangle(d), slot_of_(d.n > 0 ? 2 * d.n - 1 : 0), lists_(slot_of_.size()), first_(slot_of_.size(), 0),
        alive_(slot_of_.size(), 0) {
    for (int p = 0; p < d.n; ++p) {
      live.push_back(p);
      slots.push_back(Slot{p, p});
      slot_of_[p] = p;
      alive_[p] = 1;
    }
    next_id_ = d.n;
  }

  int count() const { return static_cast<int>(live.size()); }
  double at(int p, int q) const { return triangle.at(p, q); }
  bool alive(int id) const { return alive_[static_cast<std::size_t>(id)] != 0; }
  int slot_of(int id) const { return slot_of_[static_cast<std::size_t>(id)]; }
  std::vector<Entry>& list(int id) { return lists_[static_cast<std::size_t>(id)]; }
  // The first entry of the list that may still exist (those before it are gone).
  std::size_t& first(int id) { return first_[static_cast<std::size_t>(id)]; }

  // Joins slots a < b under a new tree node with the given branch lengths;
  // the cluster takes slot a and the list `formed` (entries for the clusters
  // left but a and b).  `distances` holds its new distances to the clusters
  // left, in the order of `live` (a and b skipped).  Returns the cluster's
  // number.
  int join(int a, int b, double length_a, double length_b, Tree& tree, std::vector<Entry>&& formed,
            const std::vector<double>& distances) {
    Slot& sa = slots[static_cast<std::size_t>(a)];
    const Slot& sb = slots[static_cast<std::size_t>(b)];
    tree.nodes[sa.node].length = length_a;
    tree.nodes[sb.node].length = length_b;
    sa.node = tree.join({sa.node, sb.node});
    sa.size += sb.size;
    std::size_t next = 0;
    for (int c : live) {
      if (c != a && c != b) triangle.set(a, c, distances[next++]);
    }
    for (int id : {sa.id, sb.id}) {
      alive_[static_cast<std::size_t>(id)] = 0;
      std::vector<Entry>().swap(list(id));
    }
    const int id = next_id_++;
    sa.id = id;
    slot_of_[static_cast<std::size_t>(id)] = a;
    alive_[static_cast<std::size_t>(id)] = 1;
    list(id) = std::move(formed);
    live.erase(std::find(live.begin(), live.end(), b));
    if (2 * live.size() <= slots.size() && live.size() >= 64) pack();
    return id;
  }

  Triangle triangle;
  std::vector<int> live;    // slots of the clusters left, increasing
  std::vector<Slot> slots;  // by slot

 private:
  void pack() {
    triangle.pack(live);
    for (std::size_t p = 0; p < live.size(); ++p) {
      slots[p] = slots[static_cast<std::size_t>(live[p])];
      slot_of_[static_cast<std::size_t>(slots[p].id)] = static_cast<int>(p);
      live[p] = static_cast<int>(p);
    }
    slots.resize(live.size());
  }

  std::vector<int> slot_of_;  // by cluster number
  std::vector<std::vector<Entry>> lists_;
  std::vector<std::size_t> first_;
  std::vector<char> alive_;
  int next_id_ = 0;
};

// ---------------------------------------------------------------------------
// Neighbour joining.

// A list entry: the other cluster and its distance rounded towards -infinity
// to a float, enough to stop a scan (the exact distance is in the triangle).
struct NearEntry {
  float below;
  std::int32_t id;
};

float rounded_down(double d) {
  if (d >= static_cast<double>(FLT_MAX)) return FLT_MAX;
  if (d < -static_cast<double>(FLT_MAX)) return -std::numeric_limits<float>::infinity();
  float f = static_cast<float>(d);
  if (static_cast<double>(f) > d) f = std::nextafter(f, -std::numeric_limits<float>::infinity());
  return f;
}

// The bits of a float or double as an unsigned number in the same order
// (-0 as +0).
std::uint32_t sort_key(float f) {
  const auto bits = std::bit_cast<std::uint32_t>(f == 0.0f ? 0.0f : f);
  return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
}
std::uint64_t sort_key(double d) {
  const auto bits = std::bit_cast<std::uint64_t>(d == 0.0 ? 0.0 : d);
  return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

// A stable least-significant-digit radix sort of `values` by key(value), one
// byte at a time; bytes that all values share are passed over.
template <class T, class Key>
void radix_sort(std::vector<T>& values, std::vector<T>& scratch, Key key) {
  const std::size_t n = values.size();
  if (scratch.size() < n) scratch.resize(n);
  T* from = values.data();
  T* to = scratch.data();
  for (int shift = 0; shift < 8 * static_cast<int>(sizeof(key(values[0]))); shift += 8) {
    std::size_t start[257] = {};
    for (std::size_t i = 0; i < n; ++i) ++start[((key(from[i]) >> shift) & 255u) + 1];
    if (std::find(start + 1, start + 257, n) != start + 257) continue;
    for (int b = 1; b < 257; ++b) start[b] += start[b - 1];
    for (std::size_t i = 0; i < n; ++i) to[start[(key(from[i]) >> shift) & 255u]++] = from[i];
    std::swap(from, to);
  }
  if (from != values.data()) std::copy(from, from + n, values.data());
}

// Sorts by the group of the other cluster, then by distance (the order among
// equal distances does not matter).
void sort_by_group_and_distance(std::vector<NearEntry>& list, std::vector<NearEntry>& scratch,
                                const std::vector<std::uint8_t>& group) {
  const auto key = [&group](const NearEntry& e) {
    return std::uint64_t{group[static_cast<std::size_t>(e.id)]} << 32 | sort_key(e.below);
  };
  if (list.size() < 512) {
    std::sort(list.begin(), list.end(), [&key](const NearEntry& x, const NearEntry& y) { return key(x) < key(y); });
  } else {
    radix_sort(list, scratch, key);
  }
}

// x + y into `value`, with the rounding error bound added to `error`.
void add(double& value, double& error, double y) {
  value += y;
  error += kRoundoff * std::fabs(value);
}

class NeighborJoiner {
 public:
  explicit NeighborJoiner(const DistanceMatrix& d)
      : c_(d), group_(d.n > 0 ? 2 * static_cast<std::size_t>(d.n) - 1 : 0), totals_(group_.size()),
        heads_(group_.size() * kGroups) {
    for (int p = 0; p < d.n; ++p) {
      for (int q = 0; q < p; ++q) {
        const double v = c_.at(p, q);
        largest_ = std::max(largest_, std::fabs(v));
        for (int s : {p, q}) {
          Slot& slot = c_.slots[static_cast<std::size_t>(s)];
          add(slot.total, slot.total_error, v);
          add(slot.magnitude, slot.magnitude_error, std::fabs(v));
        }
      }
    }
    for (int p = 0; p < d.n; ++p) order_.push_back({c_.slots[static_cast<std::size_t>(p)].total, p});
    std::sort(order_.begin(), order_.end(), std::greater<>());
    for (std::size_t rank = 0; rank < order_.size(); ++rank) {
      const auto p = static_cast<std::size_t>(order_[rank].second);
      group_[p] = static_cast<std::uint8_t>(rank * kGroups / order_.size());
      totals_[p] = order_[rank].first;
    }
    for (int p = 1; p < d.n; ++p) {
      std::vector<NearEntry>& list = c_.list(p);
      list.reserve(static_cast<std::size_t>(p));
      const double* row = c_.triangle.row(p);
      for (int q = 0; q < p; ++q) list.push_back({rounded_down(row[q]), q});
      sort_by_group_and_distance(list, scratch_, group_);
      settle_heads(p);
    }
  }

  Clusters<NearEntry>& clusters() { return c_; }

  // One step of `neighbor` with k > 3 clusters left.
  void join_closest(Tree& tree) {
    ++step_;
    const int k = c_.count();
    const double weight = k - 2.0;
    auto [b, a] = k < kFullScanBelow ? closest_by_full_scan(weight) : closest_by_pruned_search(weight);
    const double d = c_.at(a, b);
    Slot& sa = c_.slots[static_cast<std::size_t>(a)];
    const Slot& sb = c_.slots[static_cast<std::size_t>(b)];
    const double excess_a = (row_sum(a) - d) / weight;
    const double excess_b = (row_sum(b) - d) / weight;
    double length_a = (d + excess_a - excess_b) * 0.5;
    double length_b = d - length_a;
    length_a -= sa.offset;
    length_b -= sb.offset;
    sa.offset = d * 0.5;

    // The new cluster keeps the mean of its parts' distances; the other rows'
    // totals lose the parts and gain it.
    std::vector<NearEntry> formed;
    formed.reserve(static_cast<std::size_t>(k - 2));
    distances_.clear();
    Slot joined = sa;
    joined.total = joined.total_error = joined.magnitude = joined.magnitude_error = 0.0;
    for (int p : c_.live) {
      if (p == a || p == b) continue;
      const double da = c_.at(a, p), db = c_.at(b, p);
      const double du = (da + db) * 0.5;
      Slot& s = c_.slots[static_cast<std::size_t>(p)];
      add(s.total, s.total_error, -da);
      add(s.total, s.total_error, -db);
      add(s.total, s.total_error, du);
      add(s.magnitude, s.magnitude_error, -std::fabs(da));
      add(s.magnitude, s.magnitude_error, -std::fabs(db));
      add(s.magnitude, s.magnitude_error, std::fabs(du));
      add(joined.total, joined.total_error, du);
      add(joined.magnitude, joined.magnitude_error, std::fabs(du));
      totals_[static_cast<std::size_t>(s.id)] = s.total;
      distances_.push_back(du);
      formed.push_back({rounded_down(du), s.id});
    }
    // The new cluster's group: the rank of its total among the clusters left.
    std::size_t above = 0;
    for (int p : c_.live) {
      if (p != a && p != b && c_.slots[static_cast<std::size_t>(p)].total > joined.total) ++above;
    }
    sort_by_group_and_distance(formed, scratch_, group_);
    sa.total = joined.total;
    sa.total_error = joined.total_error;
    sa.magnitude = joined.magnitude;
    sa.magnitude_error = joined.magnitude_error;
    const int id = c_.join(a, b, length_a, length_b, tree, std::move(formed), distances_);
    group_[static_cast<std::size_t>(id)] = static_cast<std::uint8_t>(above * kGroups / static_cast<std::size_t>(k - 1));
    totals_[static_cast<std::size_t>(id)] = joined.total;
    settle_heads(id);
  }

 private:
  // Where a group of a cluster's list starts and ends; `first` is the first
  // entry that may still exist, `below` its distance (infinite past the end).
  struct Head {
    std::uint32_t first, end;
    float below;
  };

  // R of the cluster at slot p as `neighbor` sums it: its distances in
  // increasing order of position, from 0.0.
  double row_sum(int p) {
    Slot& s = c_.slots[static_cast<std::size_t>(p)];
    if (s.summed_at == step_) return s.sum;
    const double* row = c_.triangle.row(p);
    double sum = 0.0;
    for (int q : c_.live) {
      if (q < p) {
        sum += row[q];
      } else if (q > p) {
        sum += c_.triangle.row(q)[p];
      }
    }
    s.sum = sum;
    s.summed_at = step_;
    return sum;
  }

  // Where each group of the list of cluster `id` starts and ends, and the
  // row's first distance.
  void settle_heads(int id) {
    const std::vector<NearEntry>& list = c_.list(id);
    Head* heads = heads_.data() + static_cast<std::size_t>(id) * kGroups;
    std::uint32_t e = 0;
    const auto size = static_cast<std::uint32_t>(list.size());
    for (int g = 0; g < kGroups; ++g) {
      const std::uint32_t begin = e;
      while (e < size && group_[static_cast<std::size_t>(list[e].id)] == g) ++e;
      heads[g] = {begin, e, begin < e ? list[begin].below : std::numeric_limits<float>::infinity()};
    }
    update_first_below(c_.slots[static_cast<std::size_t>(c_.slot_of(id))], heads);
  }
  static void update_first_below(Slot& s, const Head* heads) {
    s.first_below = std::numeric_limits<float>::infinity();
    for (int g = 0; g < kGroups; ++g) s.first_below = std::min(s.first_below, heads[g].below);
  }

  // The criterion exactly as the full scan computes it, for slots q < p.
  double criterion(double weight, int p, int q) { return weight * c_.at(p, q) - row_sum(q) - row_sum(p); }

  // Is (p, q) before (p2, q2) in the full scan (p outer, q inner)?
  static bool scanned_before(std::pair<int, int> x, std::pair<int, int> y) { return x < y; }

  // The full scan: slots (p, q), q < p, of the first pair with the smallest
  // criterion.
  std::pair<int, int> closest_by_full_scan(double weight) {
    const std::vector<int>& live = c_.live;
    double best = DBL_MAX;
    std::pair<int, int> found{live[1], live[0]};
    for (std::size_t i = 1; i < live.size(); ++i) {
      for (std::size_t j = 0; j < i; ++j) {
        const double q = criterion(weight, live[i], live[j]);
        if (q < best) {
          best = q;
          found = {live[i], live[j]};
        }
      }
    }
    return found;
  }

  struct Candidate {
    double estimate;
    int p, q;  // slots, q < p
  };

  std::pair<int, int> closest_by_pruned_search(double weight) {
    // How far the criterion from running totals can be from the full scan's:
    // both rows' sums (total error plus the error of the fresh sum) and the
    // rounding of the two subtractions in each, doubled for safety.
    const std::vector<int>& live = c_.live;
    const int k = c_.count();
    double most = -DBL_MAX, largest_total = 0.0, sum_error = 0.0;
    order_.clear();
    for (int p : live) {
      const Slot& s = c_.slots[static_cast<std::size_t>(p)];
      most = std::max(most, s.total);
      largest_total = std::max(largest_total, std::fabs(s.total));
      const double fresh = 1.01 * k * kRoundoff * (s.magnitude + s.magnitude_error);
      sum_error = std::max(sum_error, s.total_error + fresh);
      order_.push_back({s.total, p});
    }
    const double slack =
        2.0 * (2.0 * sum_error + 5.0 * kRoundoff * (weight * largest_ + 2.0 * largest_total + 2.0 * sum_error)) +
        DBL_MIN;
    if (!std::isfinite(slack) || !std::isfinite(most)) return closest_by_full_scan(weight);

    // The rows with the largest totals first: they hold the smallest
    // criteria, so the bound tightens early.  (The pair found does not depend
    // on the order.)
    const auto larger_total = [](const auto& x, const auto& y) { return x.first > y.first; };
    const std::size_t leading = std::min<std::size_t>(order_.size(), 16);
    std::nth_element(order_.begin(), order_.begin() + static_cast<std::ptrdiff_t>(leading) - 1, order_.end(),
                     larger_total);
    std::sort(order_.begin(), order_.begin() + static_cast<std::ptrdiff_t>(leading), larger_total);
    double best = DBL_MAX, limit = DBL_MAX;
    candidates_.clear();
    const auto consider = [&](int p, int q) {  // slots q < p
      const double estimate = weight * c_.at(p, q) - c_.slots[static_cast<std::size_t>(q)].total -
                              c_.slots[static_cast<std::size_t>(p)].total;
      if (estimate <= limit) {
        candidates_.push_back({estimate, p, q});
        if (estimate < best) {
          best = estimate;
          limit = best + 2.0 * slack;
        }
      }
    };
    // A few clusters far from all others can have totals well above the rest
    // and loosen the bound of every row.  When the scans grow long, their
    // pairs are all tried and the lists are searched for the other pairs with
    // the largest total left; every 16th step measures the scans without.
    const bool try_leading = try_leading_ && ++steps_trying_ % 16 != 0;
    const std::size_t tried = try_leading ? std::min<std::size_t>(kTriedInFull, leading - 1) : 0;
    for (std::size_t t = 0; t < tried; ++t) c_.slots[static_cast<std::size_t>(order_[t].second)].leading = true;
    for (std::size_t t = 0; t < tried; ++t) {
      const int i = order_[t].second;
      for (int j : c_.live) {
        if (j == i || (c_.slots[static_cast<std::size_t>(j)].leading && j > i)) continue;
        consider(std::max(i, j), std::min(i, j));
      }
    }
    most = order_[tried].first;
    double group_most[kGroups];
    std::fill(group_most, group_most + kGroups, -DBL_MAX);
    for (int p : live) {
      const Slot& s = c_.slots[static_cast<std::size_t>(p)];
      if (!s.leading) {
        double& m = group_most[group_[static_cast<std::size_t>(s.id)]];
        m = std::max(m, s.total);
      }
    }
    std::size_t scanned = 0;
    for (const auto& [total_i, i] : order_) {
      Slot& si = c_.slots[static_cast<std::size_t>(i)];
      if (si.leading) continue;
      if (weight * static_cast<double>(si.first_below) - total_i - most > limit + slack) continue;
      const std::vector<NearEntry>& list = c_.list(si.id);
      Head* heads = heads_.data() + static_cast<std::size_t>(si.id) * kGroups;
      bool moved = false;
      for (int g = 0; g < kGroups; ++g) {
        Head& h = heads[g];
        const double most_g = group_most[g];
        if (weight * static_cast<double>(h.below) - total_i - most_g > limit + slack) continue;
        for (std::uint32_t e = h.first; e < h.end; ++e) {
          const NearEntry entry = list[e];
          const double lower = weight * static_cast<double>(entry.below) - total_i;
          if (lower - most_g > limit + slack) break;
          if (!c_.alive(entry.id)) {
            if (e == h.first) {
              ++h.first;
              h.below = h.first < h.end ? list[h.first].below : std::numeric_limits<float>::infinity();
              moved = true;
            }
            continue;
          }
          ++scanned;
          if (lower - totals_[static_cast<std::size_t>(entry.id)] > limit + slack) continue;
          const int j = c_.slot_of(entry.id);
          if (c_.slots[static_cast<std::size_t>(j)].leading) continue;
          consider(std::max(i, j), std::min(i, j));
        }
      }
      if (moved) update_first_below(si, heads);
    }
    for (std::size_t t = 0; t < tried; ++t) c_.slots[static_cast<std::size_t>(order_[t].second)].leading = false;
    if (!try_leading) try_leading_ = scanned > 4 * static_cast<std::size_t>(k);

    // The candidates by the full scan's criterion; a tie goes to the pair
    // scanned first.
    double exact_best = DBL_MAX;
    std::pair<int, int> found{live[1], live[0]};
    for (const Candidate& cand : candidates_) {
      if (cand.estimate > limit) continue;
      const double value = criterion(weight, cand.p, cand.q);
      if (value < exact_best || (value == exact_best && scanned_before({cand.p, cand.q}, found))) {
        exact_best = value;
        found = {cand.p, cand.q};
      }
    }
    return found;
  }

  Clusters<NearEntry> c_;
  std::vector<std::uint8_t> group_;  // by cluster number
  std::vector<double> totals_;       // running totals by cluster number
  std::vector<Head> heads_;          // kGroups by cluster number
  double largest_ = 0.0;  // the largest |d|: joined clusters' means never exceed it
  long step_ = 0;
  bool try_leading_ = false;
  long steps_trying_ = 0;
  std::vector<std::pair<double, int>> order_;
  std::vector<Candidate> candidates_;
  std::vector<double> distances_;
  std::vector<NearEntry> scratch_;
};

// ---------------------------------------------------------------------------
// UPGMA: lists of cluster numbers sorted by (distance, slot); the first entry
// still alive is the list's closest cluster, the first in scan order among
// equals.

class Upgma {
 public:
  explicit Upgma(const DistanceMatrix& d) : c_(d), head_(c_.live.size() > 0 ? 2 * c_.live.size() - 1 : 0) {
    std::vector<std::pair<double, int>> sorted;
    for (int p = 1; p < d.n; ++p) {
      const double* row = c_.triangle.row(p);
      sorted.clear();
      for (int q = 0; q < p; ++q) sorted.push_back({row[q], q});
      settle(p, sorted);
    }
  }

  Clusters<std::int32_t>& clusters() { return c_; }

  void join_closest(Tree& tree) {
    // The first pair (p, q), q < p, in scan order with the smallest distance.
    double best = DBL_MAX;
    std::pair<int, int> found{c_.live[1], c_.live[0]};
    for (int i : c_.live) {
      const int id = c_.slots[static_cast<std::size_t>(i)].id;
      const std::vector<std::int32_t>& list = c_.list(id);
      std::size_t& first = c_.first(id);
      if (first < list.size() && !c_.alive(list[first])) {
        while (first < list.size() && !c_.alive(list[first])) ++first;
        if (first < list.size()) head_[static_cast<std::size_t>(id)] = c_.at(i, c_.slot_of(list[first]));
      }
      if (first == list.size()) continue;
      const double d = head_[static_cast<std::size_t>(id)];
      const int j = c_.slot_of(list[first]);
      const std::pair<int, int> pair{std::max(i, j), std::min(i, j)};
      if (d < best || (d == best && pair < found)) {
        best = d;
        found = pair;
      }
    }
    const auto [b, a] = found;
    Slot& sa = c_.slots[static_cast<std::size_t>(a)];
    const Slot& sb = c_.slots[static_cast<std::size_t>(b)];
    const double height = c_.at(a, b) / 2.0;
    const double length_a = height - sa.offset;
    const double length_b = height - sb.offset;
    sa.offset += length_a;
    const double wa = sa.size, wb = sb.size;
    distances_.clear();
    sorted_.clear();
    for (int p : c_.live) {
      if (p == a || p == b) continue;
      const double du = (c_.at(a, p) * wa + c_.at(b, p) * wb) / (wa + wb);
      distances_.push_back(du);
      sorted_.push_back({du, p});
    }
    std::vector<std::int32_t> formed = settle_list(sorted_);
    const double head = sorted_.empty() ? 0.0 : sorted_.front().first;
    const int id = c_.join(a, b, length_a, length_b, tree, std::move(formed), distances_);
    head_[static_cast<std::size_t>(id)] = head;
  }

 private:
  // Sorts (distance, slot) pairs, given in increasing order of slot, and
  // returns the clusters in that order.
  std::vector<std::int32_t> settle_list(std::vector<std::pair<double, int>>& sorted) {
    if (sorted.size() < 512) {
      std::sort(sorted.begin(), sorted.end());
    } else {
      radix_sort(sorted, scratch_, [](const std::pair<double, int>& e) { return sort_key(e.first); });
    }
    std::vector<std::int32_t> list;
    list.reserve(sorted.size());
    for (const auto& entry : sorted) list.push_back(c_.slots[static_cast<std::size_t>(entry.second)].id);
    return list;
  }
  void settle(int p, std::vector<std::pair<double, int>>& sorted) {
    c_.list(p) = settle_list(sorted);
    head_[static_cast<std::size_t>(p)] = sorted.front().first;
  }

  Clusters<std::int32_t> c_;
  std::vector<double> head_;  // distance to the first entry of each list
  std::vector<double> distances_;
  std::vector<std::pair<double, int>> sorted_, scratch_;
};

}  // namespace

Tree neighbor_joining(const DistanceMatrix& distances) {
  if (first_undefined_distance(distances)) throw std::invalid_argument("distance matrix with an undefined distance");
  Tree tree = tips_only(distances.n, false);
  if (distances.n < 3) {
    // One taxon is its own tree; two hang from a node halfway between them.
    if (distances.n == 2) {
      tree.root = tree.join({0, 1});
      tree.nodes[0].length = tree.nodes[1].length = distances.at(0, 1) / 2.0;
    } else if (distances.n == 1) {
      tree.root = 0;
    }
    return tree;
  }
  NeighborJoiner joiner(distances);
  while (joiner.clusters().count() > 3) joiner.join_closest(tree);
  // The last three clusters meet at one node.
  const Clusters<NearEntry>& c = joiner.clusters();
  const int s0 = c.live[0], s1 = c.live[1], s2 = c.live[2];
  const double d01 = c.at(s0, s1), d02 = c.at(s0, s2), d12 = c.at(s1, s2);
  const double l0 = (d01 + d02 - d12) * 0.5;
  const Slot &c0 = c.slots[static_cast<std::size_t>(s0)], &c1 = c.slots[static_cast<std::size_t>(s1)],
             &c2 = c.slots[static_cast<std::size_t>(s2)];
  tree.nodes[c0.node].length = l0 - c0.offset;
  tree.nodes[c1.node].length = d01 - l0 - c1.offset;
  tree.nodes[c2.node].length = d02 - l0 - c2.offset;
  tree.root = tree.join({c0.node, c1.node, c2.node});
  return tree;
}

Tree upgma(const DistanceMatrix& distances) {
  if (first_undefined_distance(distances)) throw std::invalid_argument("distance matrix with an undefined distance");
  Tree tree = tips_only(distances.n, true);
  if (distances.n == 0) return tree;
  Upgma joiner(distances);
  while (joiner.clusters().count() > 1) joiner.join_closest(tree);
  tree.root = joiner.clusters().slots[static_cast<std::size_t>(joiner.clusters().live[0])].node;
  return tree;
}

}  // namespace bandscape
