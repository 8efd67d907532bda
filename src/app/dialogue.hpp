// The setup dialogue: the file names at the start of a run, the method, Fis
// and resampling counts once the data have been read.
//
// Every question has a default (or, after a file that cannot be opened, a
// retry) that Return accepts; invalid answers are refused and the question is
// asked again.  Questions that the command line answers are not asked; with
// --batch nothing is asked at all.  Nothing of the dialogue goes to the error
// log.
//
// The dialogue ends the run (prints its message on the console, then throws
// FatalError with status 1) only when it could never go on: in batch mode when
// a file cannot be opened or the report is a file that the run reads or
// writes, when the output folder cannot be created, and when the console input
// has ended while a file name would be asked for again.
#pragma once

#include <string>

#include "app/command_line.hpp"
#include "app/console.hpp"
#include "app/options.hpp"
#include "numeric/array.hpp"

namespace bandscape {

// Fills options.input_file, output_file, subset_file and use_subset.  A
// relative report name is placed in the output folder (--outdir), which is
// created when missing.  On return the input (and subset) file can be opened
// for reading and the output file for appending (it exists then); the report
// is none of the data file, the subset file and the run's side files; an
// existing report has been emptied when the user chose so.
void ask_file_names(Console& console, const CommandLine& command_line, RunOptions& options);

// Console summary of what the first pass over the data file loaded.
void echo_loaded_data(Console& console, const std::string& input_file, const std::string& output_file, int r, int m,
                      const NameList& PopulationNames);

// Fills options.method, fis (9.0 with method 1), permutations and bootstraps.
void ask_options(Console& console, const CommandLine& command_line, RunOptions& options);

}  // namespace bandscape
