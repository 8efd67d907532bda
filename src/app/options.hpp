// The answers that set up one run: file names, method, Fis and resampling counts.
// Filled by the console dialogue or by the command line; the run itself does not
// know where its answers came from.
#pragma once

#include <string>

#include "freq/frequency_method.hpp"

namespace bandscape {

struct RunOptions {
  std::string input_file = "aflpdata.txt";
  std::string output_file = "aflpout.txt";
  std::string subset_file;
  bool use_subset = false;
  // With a SilicoDArT data file: the file giving each sample's population;
  // empty for the native data file.
  std::string populations_file;
  // The data file is a GenAlEx sheet saved as text (input/genalex_file.hpp).
  bool genalex = false;
  // Where the populations or individuals were sampled (input/coordinates_file.hpp);
  // empty: no spatial analyses.
  std::string coordinates_file;
  // Which samples are replicate profiles of one individual (input/replicates_file.hpp); empty: none.
  std::string replicates_file;
  int method = kBayesNonUniform;
  float fis = 0.0f;  // 9.0 with method 1 (not asked)
  int permutations = 0;
  int bootstraps = 0;
};

}  // namespace bandscape
