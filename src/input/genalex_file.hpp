// GenAlEx binary (presence/absence) data saved from a spreadsheet as text:
// comma-, tab- or semicolon-separated (the separator is the one of these that
// row 1 holds most often).  Columns are counted from 1.
//
//   row 1: the number of loci m, of samples n and of populations k, then the
//          size of each population; optionally an empty cell, the number of
//          regions and the size of each region (in samples, as GenAlEx and
//          poppr's read.genalex count them; sizes adding up to k are taken
//          as populations per region);
//   row 2: a title, two cells not read, the k population names; optionally,
//          after an empty cell, the region names;
//   row 3: the sample and population headers, the m locus names; optionally
//          an empty cell and the headers of two coordinate columns (X, Y);
//   then one row per sample: its name, its population, m scores (1 band
//          present, 0 absent, -1 or an empty cell missing), and with
//          coordinates an empty cell and X, Y (decimal commas allowed in a
//          semicolon-separated file; an empty cell is unknown).
//
// The samples of a population stand in consecutive rows, the populations in
// the order of row 2; each region holds whole consecutive populations.  Blank
// rows are skipped.  A count of row 1 that the rows do not bear out is fatal,
// naming both; so is any cell that cannot be read, naming its row, column and
// the file (through fatal_input_error).  Names follow the rules of the native
// data file, as for DArT files: a population name is one word, not END; no
// name is empty or holds a tab.
#pragma once

#include <string>

#include "core/message_log.hpp"
#include "input/score_table.hpp"

namespace bandscape {

ScoreTable read_genalex_file(const std::string& file, MessageLog& log);

// The separator of a GenAlEx text: of ',', '\t' and ';', the one `first_row`
// holds most often (',' when it holds none).
char genalex_separator(const char* first_row);

}  // namespace bandscape
