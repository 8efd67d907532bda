// The run driver: one run reads one data file, computes every result once and
// appends it to the report file, in a fixed order.
#pragma once

#include <functional>

#include "app/command_line.hpp"
#include "app/console.hpp"

namespace bandscape {

// Where the seed of the random stream comes from: the clock, or a given value.
using SeedSource = std::function<long()>;

// Runs the whole analysis: names and options (from the command line, then the
// console), reading, statistics, report and side files, the closing line and
// the final wait (skipped in batch mode).  Returns the exit status of a run
// that reaches its end: 0 for a batch run whose tables were all written, 1
// otherwise (an interactive run always ends with 1).  Throws FatalError when
// the run must stop; its text is the message that was shown.
int run_bandscape(Console& console, const CommandLine& command_line, const SeedSource& seed_source);

}  // namespace bandscape
