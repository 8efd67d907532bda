#include "report/classic/bootstrap_files.hpp"

#include <array>
#include <string>

#include "core/output_file.hpp"
#include "report/classic/phylip_blocks.hpp"
#include "stats/distances.hpp"

namespace bandscape {

namespace {

// The messages name the files as the program has always named them, in
// whichever folder they are.
constexpr std::array<const char*, 3> kOpenFailures = {
    "\nError in bootstrap_distance: cannot open file aflp_nei.txt",
    "\nError in bootstrap_distance: cannot open file aflp_fst.txt",
    "\nError in bootstrap_distance: cannot open file aflp_reyn.txt"};

void open_side_file(OutputFile& out, const RunFiles& files, std::size_t k, OpenMode mode, MessageLog& log) {
  if (!out.open(files.bootstrap[k], mode, Links::kRefuse)) fatal_error(log, kOpenFailures[k]);
}

}  // namespace

BootstrapFiles::BootstrapFiles(const RunFiles& files, const NameList& names, int r, MessageLog& log)
    : files_(files), names_(names), r_(r), log_(log) {
  for (std::size_t k = 0; k < files.bootstrap.size(); ++k) {
    OutputFile out;
    open_side_file(out, files, k, OpenMode::kTruncate, log);
    out.close();
  }
}

void BootstrapFiles::add(const FMatrix& nei, const FMatrix& fst) {
  std::array<std::string, 3> blocks;
  append_phylip_block(blocks[0], names_, r_, nei, DistanceCell::kDistance, "\n\n");
  append_phylip_block(blocks[1], names_, r_, fst, DistanceCell::kDistance, "\n\n");
  append_phylip_block(blocks[2], names_, r_, fst, DistanceCell::kReynolds, "\n\n");
  for (std::size_t k = 0; k < blocks.size(); ++k) {
    OutputFile out;
    open_side_file(out, files_, k, OpenMode::kAppend, log_);
    out.write(blocks[k]);
    out.close();
  }
}

}  // namespace bandscape
