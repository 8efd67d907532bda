// Fuzz target: the data-file reader over its whole read sequence (header line,
// first pass, second pass, fragment sizes) on arbitrary bytes.  A fatal error
// is an expected answer to a malformed file; anything else that goes wrong
// (a crash, an out-of-bounds access, a leak, a hang) is a finding.
#include <cstddef>
#include <cstdint>

#include "app/error_log.hpp"
#include "fuzz_support.hpp"
#include "input/data_file.hpp"
#include "input/subset_file.hpp"
#include "numeric/array.hpp"

using namespace bandscape;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::private_folder();
  fuzzing::write_input("data.txt", data, size);
  fuzzing::DiscardLog log;
  try {
    int R = 0, m = 0;
    NameList loci;
    read_header_line("data.txt", R, m, loci, log);
    const int r = R;
    SubsetSelection none;
    NameList populations = name_list(1, r);
    IMatrix counts = imatrix(1, r, 1, m);
    IVector selected = ivector(1, r), groups = ivector(1, r), file_sizes = ivector(1, R);
    int ntot = 0;
    readsecondinfo("data.txt", R, r, false, none, m, populations, counts, selected, groups, file_sizes, ntot, log);
    IMatrix scores = imatrix(0, ntot - 1, 0, m - 1);
    IVector bounds = ivector(0, r);
    readfrequall("data.txt", r, false, m, selected, file_sizes, ntot, scores, bounds, log);
    int available = 0;
    FVector sizes = vector(1, m);
    locus_names_to_sizes(available, m, loci, sizes, log);
    // What the later steps rely on: scores are 0, 1 or 9 and the bounds
    // partition the ntot rows in order.
    for (int i = 0; i < ntot; ++i)
      for (int j = 0; j < m; ++j)
        if (scores[i][j] != 0 && scores[i][j] != 1 && scores[i][j] != 9) __builtin_trap();
    if (bounds[0] != 0 || bounds[r] != ntot) __builtin_trap();
    for (int k = 1; k <= r; ++k)
      if (bounds[k] <= bounds[k - 1]) __builtin_trap();
  } catch (const FatalError&) {
  }
  return 0;
}
