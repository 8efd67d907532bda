// The command line: file names and options that answer the setup questions
// in advance, for scripted (batch) runs.
//
//   bandscape [options] [INPUT [OUTPUT [SUBSET]]]
//
// Positional names: one name is the input file (the other names are asked);
// two are the input and output files (no name is asked and no subset file is
// used unless -s names one); three add the subset file.  Options answer the
// other questions; a question that nothing answers is asked on the console,
// or takes its default with --batch.
//
// parse_command_line never prints and never exits: it returns what main has
// to print and the exit status to use.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/options.hpp"
#include "clusters/cluster_analysis.hpp"
#include "quality/locus_filters.hpp"
#include "stats/binary_coefficients.hpp"
#include "quality/replicates.hpp"
#include "core/version.hpp"

namespace bandscape {

struct CommandLine {
  RunOptions options;  // the values given; defaults where nothing was given
  bool input_given = false;
  bool output_given = false;
  bool subset_given = false;
  bool method_given = false;
  bool fis_given = false;
  bool permutations_given = false;
  bool bootstraps_given = false;
  bool erase = false;  // empty an existing report instead of appending to it
  bool batch = false;  // never read the console
  std::string outdir;  // folder of the report (relative name) and side files; empty: the working folder
  std::string results;  // folder of the tidy tables and run.json (relative: within outdir); empty: none
  std::optional<long> seed;  // 1..2147483646, used in place of the clock
  int threads = 0;           // 0 = all cores, 1 = sequential
  bool no_relatedness = false;  // skip the relatedness between individuals and its report blocks
  bool silicodart = false;      // INPUT is a DArT presence/absence report (options.populations_file given)
  int amova_permutations = 999;  // permutations of each AMOVA test (with --results); 0 = no test
  int amova_missing_millionths = 50000;  // --amova-max-missing, in millionths of the individuals
  int mantel_permutations = 9999;  // permutations of each Mantel test (with --coordinates); 0 = no test
  std::vector<double> distance_classes;  // upper limits (km) of the distance classes; empty: 10 of equal pairs
  ReplicateMerge replicate_merge = ReplicateMerge::consensus;  // one profile per individual (--replicates)
  LocusFilterSettings locus_filters;  // applied before every analysis; none by default
  std::optional<BinaryCoefficient> individual_distance;  // of the individuals' PCoA and trees; none: as before
  bool export_data = false;         // the analysed data as genalex.csv and scores.tsv (with --results)
  bool clusters = false;            // clusters, DAPC and the assignment test (with --results)
  ClusterOptions cluster_options;
  bool data_quality() const {
    const LocusFilterSettings& f = locus_filters;
    return !options.replicates_file.empty() || f.min_scored || f.min_band_frequency || f.lm_rule ||
           f.min_reproducibility;
  }
  std::vector<std::string> arguments;  // argv as given, the program's name first (for run.json)
};

struct ParseResult {
  enum Kind {
    kRun,      // command_line holds the run's answers
    kError,    // text: one line naming the fault, then the --help hint
    kHelp,     // text: the usage text, for stdout
    kVersion,  // text: the version line, for stdout
  };
  Kind kind = kRun;
  CommandLine command_line;
  std::string text;
  // Exit status for main when kind is not kRun: 2 for kError, 0 otherwise.
  int exit_status = 0;
};

// argv[0] is the program's own name and is not read.  Options and names may
// be mixed; "--" ends the options.  Values follow their option as the next
// argument, or attached ("-m3", "--method=3").
ParseResult parse_command_line(int argc, const char* const argv[]);

// The text of --help.
std::string usage_text();

}  // namespace bandscape
