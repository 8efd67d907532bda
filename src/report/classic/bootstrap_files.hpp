// The bootstrap side files aflp_nei.txt, aflp_fst.txt and aflp_reyn.txt: one
// Phylip block per replicate (Nei's distance, pairwise Fst, Reynolds'
// distance), for tree programs that read multiple data sets.
#pragma once

#include "core/message_log.hpp"
#include "core/run_files.hpp"
#include "numeric/array.hpp"

namespace bandscape {

class BootstrapFiles {
 public:
  // Empties the three files (never through a symbolic link), so that they
  // always hold whole replicates; fatal when one cannot be opened.
  BootstrapFiles(const RunFiles& files, const NameList& names, int r, MessageLog& log);

  // Appends one replicate's three blocks, each file opened and closed for it.
  void add(const FMatrix& nei, const FMatrix& fst);

 private:
  const RunFiles& files_;
  const NameList& names_;
  int r_;
  MessageLog& log_;
};

}  // namespace bandscape
