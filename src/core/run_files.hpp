// Where the files of one run are: the report and the side files with fixed
// names (error log, allocation log, STRUCTURE export, permutation values,
// bootstrap matrices), all in the run's output folder.  Built once from the
// options and handed to every writer, so no writer names a file itself.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace bandscape {

struct RunFiles {
  std::string folder;          // the output folder; empty: the working folder
  std::string report;          // as settled by the dialogue (see in_folder)
  std::string error_log;       // error.txt
  std::string allocation_log;  // erreur
  std::string structure;       // structure.txt
  std::string resample;        // resample.txt
  // aflp_nei.txt, aflp_fst.txt, aflp_reyn.txt: Nei's distance, pairwise Fst,
  // Reynolds' distance of every bootstrap replicate.
  std::array<std::string, 3> bootstrap;
  // The folder of tidy tables and run.json (--results); empty: none.
  std::string results;
};

// The side files of a run writing into `folder` (empty: the working folder);
// the report's name is left for the caller to fill in.
RunFiles run_files(const std::string& folder);

// `name` in `folder`: unchanged when the folder is empty or the name absolute.
std::string in_folder(const std::string& folder, const std::string& name);

// Every file the run writes besides the report, in a fixed order.
std::vector<std::string> side_files(const RunFiles& files);

// Removes a side file left by an earlier run (a symbolic link is removed
// itself, never its target).  A name that cannot be removed is left alone:
// writing it later reports the fault.
void remove_stale_file(const std::string& name);

// Whether two names refer to one file: the same device and inode when both
// exist, otherwise the same absolute path once symbolic links, "." and ".."
// are resolved.
bool same_file(const std::string& a, const std::string& b);

}  // namespace bandscape
