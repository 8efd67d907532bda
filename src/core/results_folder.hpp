// The results folder of a run (--results) belongs to that run.
//
// Its files have fixed names, so a folder that already holds files could
// mix another run's tables, or a user's own, with this run's.  The folder is
// therefore taken only when it is empty or holds an earlier run of this
// program (its run.json says so), besides the report and side files of this
// very run; everything of the program's own names is then removed, so that
// nothing of the earlier run can pass for this one's.  A symbolic link or a
// special file (a FIFO, a device, a folder) under one of those names is
// refused as the side files refuse a link.  Everything is checked before
// anything is removed, and before the run writes any other file.
#pragma once

#include <string>
#include <vector>

namespace bandscape {

// Whether the file `text` (the start of a run.json) was written by a run of
// `program`.
bool is_run_record_of(const std::string& text, const std::string& program);

// Makes `folder` when it is missing (with its parents), checks it as above and
// that a file can be created in it, then removes every file of `own_names`
// (and the temporary files of those names) from it.  `run_files` are the
// report and side files of this run, which may lie in the folder too.
// Throws OutputError with the reason when the folder cannot be taken.
void claim_results_folder(const std::string& folder, const std::string& program,
                          const std::vector<std::string>& own_names, const std::vector<std::string>& run_files);

}  // namespace bandscape
