// Fuzz target: the subset-file reader on arbitrary bytes, then the two passes
// over a fixed data file of four populations with that selection.  The first
// input byte chooses whether the selection is applied to the data file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/message_log.hpp"
#include "fuzz_support.hpp"
#include "input/data_file.hpp"
#include "input/subset_file.hpp"
#include "numeric/array.hpp"

using namespace bandscape;

namespace {

constexpr char kData[] =
    "4\t3\t100\t150\t200\n"
    "popA\ta1\t1\t0\t9\n"
    "popA\ta2\t1\t1\t0\n"
    "popB\tb1\t0\t0\t1\n"
    "popC\tc1\t1\t9\t1\n"
    "popC\tc2\t0\t1\t1\n"
    "popD\td1\t1\t1\t1\n"
    "END\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::private_folder();
  fuzzing::write_input("subset.txt", data, size);
  static const bool data_written = [] {
    fuzzing::write_input("data.txt", reinterpret_cast<const std::uint8_t*>(kData), sizeof kData - 1);
    return true;
  }();
  (void)data_written;
  fuzzing::DiscardLog log;
  try {
    SubsetSelection subset;
    read_subset_file("subset.txt", subset, log);
    for (int k = 1; k <= subset.listed_populations; ++k) {
      const int g = subset.groups[k];
      if (g < 0 || g > subset.group_count) __builtin_trap();
    }
    int R = 0, m = 0;
    NameList loci;
    TextLines text("data.txt");
    read_header_line(text, R, m, loci, log);
    const int r = subset.listed_populations;
    NameList populations = name_list(1, r);
    IMatrix counts = int_matrix(1, r, 1, m);
    IVector selected = int_vector(1, r), groups = int_vector(1, r), file_sizes = int_vector(1, R);
    int ntot = 0;
    DataLineFindings findings;
    ScannedScores scanned(true);
    scan_populations(text, R, r, true, subset, m, populations, counts, selected, groups, file_sizes, ntot, findings,
                     log, &scanned);
    ScoreMatrix scores = score_matrix(0, ntot - 1, 0, m - 1);
    IVector bounds = int_vector(0, r);
    std::vector<std::string> names;
    read_band_scores(scanned, r, true, m, selected, file_sizes, ntot, scores, bounds, log, &names);
    if (names.size() != static_cast<std::size_t>(ntot)) __builtin_trap();
    if (bounds[r] != ntot) __builtin_trap();
    for (int k = 2; k <= r; ++k)
      if (selected[k] <= selected[k - 1]) __builtin_trap();
  } catch (const FatalError&) {
  }
  return 0;
}
