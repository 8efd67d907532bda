// Fuzz target: the data-file reader over its whole read sequence (header line,
// first pass, second pass, the warnings about the data lines, fragment sizes)
// on arbitrary bytes.  A fatal error
// is an expected answer to a malformed file; anything else that goes wrong
// (a crash, an out-of-bounds access, a leak, a hang) is a finding.
//
// Each input is read twice: as it is, and with Windows line ends and a UTF-8
// byte-order mark.  Both readings must give the same data or the same
// message; a difference is a finding too.
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

// Keeps every text written, in order.
class KeepingLog : public MessageLog {
 public:
  void echo(const std::string& text) override { kept += text; }
  void append(const std::string& text) override { kept += text; }
  std::string kept;
};

// Reads data.txt as a run does and returns everything read (or the messages
// of the fatal error) as one text.
std::string read_all() {
  KeepingLog log;
  std::string out;
  try {
    int R = 0, m = 0;
    NameList loci;
    TextLines text("data.txt");
    read_header_line(text, R, m, loci, log);
    const int r = R;
    SubsetSelection none;
    NameList populations = name_list(1, r);
    IMatrix counts = int_matrix(1, r, 1, m);
    IVector selected = int_vector(1, r), groups = int_vector(1, r), file_sizes = int_vector(1, R);
    int ntot = 0;
    DataLineFindings findings;
    ScannedScores scanned(true);
    scan_populations(text, R, r, false, none, m, populations, counts, selected, groups, file_sizes, ntot, findings,
                     log, &scanned);
    ScoreMatrix scores = score_matrix(0, ntot - 1, 0, m - 1);
    IVector bounds = int_vector(0, r);
    std::vector<std::string> names;
    read_band_scores(scanned, r, false, m, selected, file_sizes, ntot, scores, bounds, log, &names);
    if (names.size() != static_cast<std::size_t>(ntot)) __builtin_trap();
    warn_about_data_lines(findings, "data.txt", R, m, log);
    int available = 0;
    FVector sizes = float_vector(1, m);
    locus_names_to_sizes(available, m, loci, sizes, log);
    // What the later steps rely on: scores are 0, 1 or 9 and the bounds
    // partition the ntot rows in order.
    for (int i = 0; i < ntot; ++i)
      for (int j = 0; j < m; ++j)
        if (scores[i][j] != 0 && scores[i][j] != 1 && scores[i][j] != 9) __builtin_trap();
    if (bounds[0] != 0 || bounds[r] != ntot) __builtin_trap();
    for (int k = 1; k <= r; ++k)
      if (bounds[k] <= bounds[k - 1]) __builtin_trap();
    out = format("R=%d m=%d ntot=%d sizes=%d", R, m, ntot, available);
    for (int k = 1; k <= m; ++k) out += " " + loci[k];
    for (int k = 1; k <= r; ++k) out += " " + populations[k] + format(":%d", bounds[k]);
    for (int i = 0; i < ntot; ++i)
      for (int j = 0; j < m; ++j) out += static_cast<char>('0' + scores[i][j]);
  } catch (const FatalError&) {
    out = "fatal";
  }
  return out + "|" + log.kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::private_folder();
  fuzzing::write_input("data.txt", data, size);
  const std::string plain = read_all();

  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // Empty (a mark alone makes a line 1 that the empty file lacks), already
  // marked, or already holding Windows line ends (whose "\r" would then stay
  // in the text that messages quote): nothing to compare.
  if (bytes.empty() || bytes.rfind("\xEF\xBB\xBF", 0) == 0 || bytes.find("\r\n") != std::string::npos) return 0;
  std::string windows = "\xEF\xBB\xBF";
  for (char c : bytes) {
    if (c == '\n') windows += '\r';
    windows += c;
  }
  fuzzing::write_input("data.txt", reinterpret_cast<const std::uint8_t*>(windows.data()), windows.size());
  const std::string converted = read_all();
  // The file-size check sees the longer file: it may pass where the plain
  // file failed it.
  if (plain.find("is more than the file holds") != std::string::npos) return 0;
  if (plain != converted) __builtin_trap();
  return 0;
}
