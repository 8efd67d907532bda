// DArT presence/absence data (SilicoDArT): the marker report and the file that
// assigns each sample to a population, turned into the text of the equivalent
// native data file, so that the run reads it through the same two passes and
// gives the same results as for that file.  The report is read once, its
// scores kept one byte each; the native text is made from them line by line
// as the passes ask for it, never whole.
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

#include <cstdint>
#include <string>
#include <vector>

#include "core/message_log.hpp"
#include "input/data_file.hpp"

namespace bandscape {

// Rows starting with "*" allowed above the header row.
inline constexpr int kDartMaxStarRows = 20;

// The text of the native data file equivalent to a report and its
// populations file: line 1 "R\tm\t" and the CloneIDs, one line
// "pop\tid\tscores" per individual (9 for missing), then "END".
class NativeText {
 public:
  NativeText(std::string first_line, std::vector<std::string> line_starts, ScannedScores markers);
  // The next line of the text into `text` (replacing what it held); false,
  // `text` empty, after the last line.
  bool next_line(std::vector<char>& text);
  // The whole text from where it stands.
  std::vector<char> rest();

 private:
  std::string first_line_;
  std::vector<std::string> line_starts_;  // "pop\tid" of each individual
  ScannedScores markers_;                 // per marker, the score characters of the individuals
  std::vector<const std::uint8_t*> marker_rows_;
  std::size_t next_ = 0;  // 0 the first line, then 1 + individual, then END
};

NativeText silicodart_as_native_text(const std::string& data_file, const std::string& populations_file,
                                     MessageLog& log);

// The Reproducibility column of a report (see above), one value per marker
// row in the order of the rows, for the --min-reproducibility filter.  A cell
// that is not a number from 0 to 1 is fatal, naming its row and column.
std::vector<double> silicodart_reproducibility(const std::string& data_file, MessageLog& log);

// The cells of one line separated by `separator` (a comma, a tab or a
// semicolon; its line break, if any, not part of the last cell), unquoted,
// white space around each removed.
std::vector<std::string> split_csv_line(const char* line, char separator = ',');

}  // namespace bandscape
