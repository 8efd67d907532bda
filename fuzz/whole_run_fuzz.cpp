// Fuzz target: a whole batch run on a fuzzed data file.  The first input byte
// chooses the options (method 1 to 4, Fis 0 or 0.25, 0 or 3 permutations, 0 or
// 2 bootstraps); the remaining bytes are the data file.  The seed is fixed,
// the work is sequential, and every file lands in a private folder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sstream>

#include "app/command_line.hpp"
#include "app/driver.hpp"
#include "core/message_log.hpp"
#include "app/terminal_console.hpp"
#include "fuzz_support.hpp"

using namespace bandscape;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = [] {
    fuzzing::private_folder();
    // The run echoes its messages on standard output; the fuzzer reports on
    // standard error.
    return std::freopen("/dev/null", "w", stdout) != nullptr;
  }();
  (void)quiet;
  if (size < 1) return 0;
  const unsigned choice = data[0];
  fuzzing::write_input("data.txt", data + 1, size - 1);
  std::remove("report.txt");

  CommandLine cl;
  cl.batch = true;
  cl.erase = true;
  cl.seed = 4711;
  cl.threads = 1;
  cl.input_given = cl.output_given = true;
  cl.options.input_file = "data.txt";
  cl.options.output_file = "report.txt";
  cl.method_given = cl.fis_given = cl.permutations_given = cl.bootstraps_given = true;
  cl.options.method = static_cast<int>(choice % 4) + 1;
  cl.options.fis = (choice & 4) ? 0.25f : 0.0f;
  cl.options.permutations = (choice & 8) ? 3 : 0;
  cl.options.bootstraps = (choice & 16) ? 2 : 0;

  std::istringstream in;
  std::ostringstream out;
  StreamConsole console(in, out);
  try {
    run_bandscape(console, cl, [] { return 4711L; });
  } catch (const FatalError&) {
  }
  return 0;
}
