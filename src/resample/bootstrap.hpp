// Bootstrap of the distances between populations over loci: loci drawn with
// replacement, each bringing its estimates, variances and sample sizes, and
// Nei's distance, pairwise Fst and Reynolds' distance written per replicate to
// aflp_nei.txt, aflp_fst.txt and aflp_reyn.txt (Phylip blocks) in the run's
// output folder.
#pragma once

#include <functional>

#include "core/message_log.hpp"
#include "core/run_files.hpp"
#include "numeric/array.hpp"
#include "numeric/random.hpp"

namespace bandscape {

// Receives each replicate's Nei distances and pairwise Fst (1..r, upper
// triangle a < b, 999 where undefined) in replicate order, on the thread that
// writes the side files.
using BootstrapSink = std::function<void(int replicate, const FMatrix& nei, const FMatrix& fst)>;

// estimates, variances: populations 0..r-1 x loci 0..m-1 (band-allele
// frequency and its sampling variance); non_missing: 1..r x 1..m.
// The three files are files.bootstrap, emptied first, never opened through a
// symbolic link.  `threads`: 0 = all cores, 1 = sequential; the files are
// identical whatever the number.
void bootstrap_distance(int nboot, int r, int m, const IMatrix& non_missing, const FMatrix& estimates,
                        const FMatrix& variances, RandomState& state, const NameList& names, const RunFiles& files,
                        MessageLog& log, int threads = 1, const BootstrapSink& sink = {});

}  // namespace bandscape
