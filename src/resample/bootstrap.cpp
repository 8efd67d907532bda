// Bootstrap of the distances between populations over loci: every replicate
// draws m loci with replacement (the same loci for every population), each
// drawn locus bringing its estimate, variance and sample size from the real
// data, and recomputes the Lynch & Milligan (1994) diversities, Nei's
// distance, the pairwise Fst and the Reynolds et al. (1983) distance.
#include "resample/bootstrap.hpp"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "freq/band_counts.hpp"
#include "resample/replicate_batches.hpp"
#include "stats/statistics_workspace.hpp"
#include "stats/distances.hpp"
#include "stats/structure_statistics.hpp"

namespace bandscape {
namespace {

// The working arrays of one thread, reused by every replicate it evaluates.
struct BootstrapWorkspace : StatisticsWorkspace {
  BootstrapWorkspace(int r, int m)
      : StatisticsWorkspace(r, m), Nei(float_matrix(1, r, 1, r)), Fst(float_matrix(1, r, 1, r)) {}
  FMatrix Nei, Fst;
};

// Distances of the data set made of the loci draw[0..m-1], left in w.Nei and w.Fst.
void bootstrap_replicate(int r, int m, const IMatrix& non_missing, const FMatrix& estimates,
                         const FMatrix& variances, const IVector& draw, BootstrapWorkspace& w, MessageLog& log) {
  for (int j = 1; j <= r; ++j) {
    const float* p = estimates[j - 1];
    const float* v = variances[j - 1];
    const int* n = non_missing[j];
    float* q = w.q[j];
    float* vq = w.Vq[j];
    int* ns = w.N[j];
    for (int k = 1; k <= m; ++k) {
      const int d = draw[k - 1];
      q[k] = static_cast<float>(1.0 - static_cast<double>(p[d]));
      vq[k] = v[d];
      ns[k] = n[d + 1];
    }
  }
  compute_within_population_diversity(r, m, w, log);
  compute_structure_statistics(r, m, w, log);
  compute_distances(r, w.nPair, w.Hj, w.VarHj, w.D, w.VarD, w.HbPair, w.Nei, w.Fst);
}

}  // namespace

void bootstrap_distance(int nboot, int r, int m, const IMatrix& non_missing, const FMatrix& estimates,
                        const FMatrix& variances, RandomState& state, MessageLog& log, int threads,
                        const BootstrapSink& sink, const BootstrapSink& defined_sink) {
  if (nboot <= 0) return;
  const int nthreads = replicate_workers(threads, nboot);

  WorkerWorkspaces<BootstrapWorkspace> workspaces(nthreads,
                                                  [r, m] { return std::make_unique<BootstrapWorkspace>(r, m); });
  workspaces.prepare(0);
  // One slot per replicate of a batch: its locus draw and its matrices, kept
  // until the replicate is committed.
  const int slots = nthreads > 1 ? kReplicateSlots : 1;
  std::vector<IVector> draws;
  std::vector<FMatrix> slot_nei, slot_fst, slot_defined;
  for (int s = 0; s < slots; ++s) {
    draws.push_back(int_vector(0, m - 1));
    slot_nei.push_back(float_matrix(1, r, 1, r));
    slot_fst.push_back(float_matrix(1, r, 1, r));
    if (defined_sink) slot_defined.push_back(float_matrix(1, r, 1, r));
  }

  const int step = nboot / 50;
  const float mf = static_cast<float>(m);
  run_replicates(
      nboot, nthreads, log,
      [&](int b, int slot, MessageLog& out) {
        if (step > 0 && b % step == 0) out.echo_note(format("\n%4d bootstraps done out of %d", b, nboot));
        IVector& draw = draws[slot];
        for (int k = 0; k < m; ++k) {
          draw[k] = static_cast<int>(static_cast<double>(uniform_random(state)) * static_cast<double>(mf));
        }
      },
      [&](int worker, int, int slot, MessageLog& out) {
        BootstrapWorkspace& w = workspaces[worker];
        bootstrap_replicate(r, m, non_missing, estimates, variances, draws[slot], w, out);
        std::copy_n(w.Nei.data(), w.Nei.element_count(), slot_nei[slot].data());
        std::copy_n(w.Fst.data(), w.Fst.element_count(), slot_fst[slot].data());
        if (defined_sink) {
          std::copy_n(w.Nei.data(), w.Nei.element_count(), slot_defined[slot].data());
          mark_corrections_from_marks(r, w.nPair, w.VarHj, w.VarD, slot_defined[slot]);
        }
      },
      [&](int b, int slot) {
        sink(b, slot_nei[slot], slot_fst[slot]);
        if (defined_sink) defined_sink(b, slot_defined[slot], slot_fst[slot]);
      },
      [&](int worker) { workspaces.prepare(worker); });
}

}  // namespace bandscape
