// DArT presence/absence data (SilicoDArT): the marker report and the file that
// assigns each sample to a population, turned into the text of the equivalent
// native data file, so that the run reads it through the same two passes and
// gives the same results as for that file.
//
// The report (comma-separated): at the top, up to 20 rows whose first cell is
// "*" (sample metadata, not read); then the header row: "CloneID", the marker
// metadata columns up to and including "Reproducibility", then one column per
// sample, named by its id; then one row per marker, its CloneID first and one
// score per sample: "1" band present, "0" band absent, "-" missing.
//
// The populations file (comma-separated, a header row): the columns "id" and
// "pop", any others ignored.  The individuals analysed are those it lists, in
// its order, grouped by population in the order of each population's first
// row; a population is named by its first 20 characters, as in the native
// file.  A sample of the report that it does not list is left out with one
// warning; an id that the report does not hold is fatal.
//
// Cells may be quoted ("..." with "" for a quote); white space around a cell is
// ignored; blank rows are skipped.  Every fault is fatal through
// fatal_input_error, naming the row (the line of the file, from 1), the
// column (from 1) where it applies, and the file.
#pragma once

#include <string>
#include <vector>

#include "core/message_log.hpp"

namespace bandscape {

// Rows starting with "*" allowed above the header row.
inline constexpr int kDartMaxStarRows = 20;

// The text of the native data file equivalent to `data_file` with
// `populations_file`: line 1 "R\tm\t" and the CloneIDs, one line
// "pop\tid\tscores" per individual (9 for missing), then "END".
std::vector<char> silicodart_as_native_text(const std::string& data_file, const std::string& populations_file,
                                            MessageLog& log);

// The cells of one comma-separated line (its line break, if any, not part of
// the last cell), unquoted, white space around each removed.
std::vector<std::string> split_csv_line(const char* line);

}  // namespace bandscape
