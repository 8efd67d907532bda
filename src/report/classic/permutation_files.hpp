// The side file of the permutation test and Table 4 of the report: the
// permuted values, sorted, under the sample size and the observed value, and
// the percentile limits and one-sided P values of the observed Fst among them.
#pragma once

#include <string>

#include "core/message_log.hpp"
#include "core/run_files.hpp"
#include "numeric/array.hpp"
#include "resample/permutation_test.hpp"

namespace bandscape {

// Creates `file` anew with the sample size, the observed value and
// values[first..last], one per line.  When the file cannot be created the run
// ends with "\ncannot open file in resample_write" in the log; a symbolic link
// of that name is refused and a failed write throws OutputError.
void resample_write(const std::string& file, const FVector& values, float observed, int first, int last,
                    const std::string& name, MessageLog& log);

// Table 4 appended to files.report (fatal "\ncannot open outputfile " when it
// cannot be opened), then files.resample with the sorted permuted values.
void write_permutation_files(const RunFiles& files, int nperm, const PermutationResult& result, MessageLog& log);

}  // namespace bandscape
