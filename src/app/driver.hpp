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
// console), reading, statistics, report and side files, and the final wait
// (skipped in batch mode).  Throws FatalError when the run must stop.
void run_bandscape(Console& console, const CommandLine& command_line, const SeedSource& seed_source);

}  // namespace bandscape
