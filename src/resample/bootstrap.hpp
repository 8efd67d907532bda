// Bootstrap of the distances between populations over loci: loci drawn with
// replacement, each bringing its estimates, variances and sample sizes, and
// Nei's distance and the pairwise Fst (hence Reynolds' distance) recomputed
// for every replicate.
#pragma once

#include <functional>

#include "core/message_log.hpp"
#include "numeric/array.hpp"
#include "numeric/random.hpp"

namespace bandscape {

// Receives each replicate's Nei distances and pairwise Fst (1..r, upper
// triangle a < b, 999 where undefined) in replicate order, on the calling
// thread.
using BootstrapSink = std::function<void(int replicate, const FMatrix& nei, const FMatrix& fst)>;

// estimates, variances: populations 0..r-1 x loci 0..m-1 (band-allele
// frequency and its sampling variance); non_missing: 1..r x 1..m.
// `threads`: 0 = all cores, 1 = sequential; the replicates handed to `sink`
// are identical whatever the number.  `defined_sink`, when given, receives
// the same replicates (after `sink`) with 999 also for the Nei distances
// whose sampling correction used a 999 mark of the replicate
// (nei_without_marked_corrections), for the results folder.
void bootstrap_distance(int nboot, int r, int m, const IMatrix& non_missing, const FMatrix& estimates,
                        const FMatrix& variances, RandomState& state, MessageLog& log, int threads,
                        const BootstrapSink& sink, const BootstrapSink& defined_sink = {});

}  // namespace bandscape
