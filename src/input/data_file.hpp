// The AFLP data file: header line, first pass (populations and counts) and
// second pass (band scores), with the line and field helpers shared with the
// subset file reader.
//
// File layout: tab-separated text.  Line 1 holds R (populations), m (loci) and
// the m locus names; every further line is one individual: population label,
// individual name (skipped), m band scores (1 present, 0 absent, 9 missing).
// Consecutive lines with the same label (first 20 characters) form one
// population; a line whose first word is "END" closes the data.
//
// Fields are parsed in place with the conventions of C formatted input: an
// integer skips leading white space (tabs and line breaks included) and stops
// at the first character that is not a digit; a word is the first run of
// non-space characters, cut to 20.  Lines may be up to kLongestLine characters
// long; a "\r" before the line break and a UTF-8 byte-order mark at the start of
// a file are dropped.  The file is read once (TextLines): the first pass reads
// the lines, keeps each line's scores one byte each (ScannedScores) and
// forgets the text behind it; the second pass takes those scores.
//
// Every failure is fatal through fatal_error(log, ...): the message names the
// line last read and the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/message_log.hpp"
#include "core/progress.hpp"
#include "numeric/array.hpp"

namespace bandscape {

// Names and labels are significant to this many characters.
inline constexpr std::size_t kNameLength = 20;

struct SubsetSelection;

// The longest line a data or subset file may hold (its line break not
// counted): a file without line breaks, such as /dev/zero, ends there instead
// of filling the memory.
inline constexpr std::size_t kLongestLine = 268435456;

// A text file read once, line by line, into memory.  Lines are read from the
// file when first asked for and kept, so every later reading of a line (the
// second pass over the data lines) works on the same copy: a pipe, a FIFO or a
// process substitution is read only once, and reading ends where the readers
// stop asking (normally at the END line).  A reader that will not come back to
// the lines before line n says so (forget_before), and their memory is used
// again: a pass that keeps what it needs holds only the line it reads.  The lines lie one after another in
// one buffer, each NUL-terminated with its line break kept; a "\r" before the
// line break and a UTF-8 byte-order mark at the start of line 1 are dropped.
class TextLines {
 public:
  explicit TextLines(std::string file_name, std::size_t longest_line = kLongestLine);
  // Lines held in memory from the start (a data file converted from another
  // format), read exactly as the same bytes read from a file named
  // `file_name` would be.
  TextLines(std::string file_name, std::vector<char> text);
  // The same for a text made piece by piece as it is read: `next_piece`
  // replaces the content of its argument with the next piece of text, and
  // returns false when there is none.
  using TextSource = std::function<bool(std::vector<char>&)>;
  TextLines(std::string file_name, TextSource next_piece);
  ~TextLines();
  TextLines(const TextLines&) = delete;
  TextLines& operator=(const TextLines&) = delete;

  // Whether the file could be opened for reading.
  bool is_open() const { return fd_ >= 0 || !starts_.empty() || in_memory_; }
  const std::string& file_name() const { return name_; }

  // Line n (from 1), read from the file first when it is not held yet.  The
  // text stays valid until a later call reads another line.  Fatal when the
  // file ends before line n ("End of file encountered before END message"),
  // on a read error, or when line n is longer than the longest line allowed.
  const char* line(int n, MessageLog& log);

  // Whether the file has a line n (from 1), reading it first when it is not
  // held yet.  A read error or an overlong line is fatal as in line().
  bool has_line(int n, MessageLog& log);

  // Whether the file holds at least `bytes` bytes.  A regular file answers by
  // its size; a pipe or device by reading lines ahead until that many bytes
  // came or the file ended.  A read error or an overlong line met on the way
  // is fatal as in line().
  bool holds_at_least(long long bytes, MessageLog& log);

  // Lines before line n will not be asked for again (asking is then a
  // logic_error).  Texts returned earlier may move.
  void forget_before(int n);

  // Lets the memory go and closes the file; no line can be asked for after.
  void release();

 private:
  enum class Stop { none, end_of_file, read_error, too_long };
  bool read_line();
  bool fill_chunk();
  void reserve(std::size_t needed, std::size_t line_start);
  [[noreturn]] void fail(int n, MessageLog& log) const;

  std::string name_;
  std::size_t longest_;
  int fd_ = -1;
  char* data_ = nullptr;  // owned (malloc), holds the lines
  std::size_t size_ = 0, capacity_ = 0;
  std::vector<std::size_t> starts_;  // where each line begins in data_
  int first_kept_ = 1;               // lines before it are forgotten
  std::vector<char> chunk_;          // bytes read from the file, not yet in a line
  std::size_t chunk_at_ = 0, chunk_end_ = 0;
  long long bytes_read_ = 0;
  Stop stop_ = Stop::none;
  bool in_memory_ = false;
  TextSource source_;
};

// ---- line and field helpers ------------------------------------------------

// Adds 1 to line_number and returns that line of `text` (see TextLines::line).
const char* read_next_line(TextLines& text, int& line_number, MessageLog& log);

// The position just after the next tab of `text`.  Fatal when there is no tab,
// or when the character after it is another tab (an empty field).
const char* next_field(const char* text, const std::string& file_name, int line_number, MessageLog& log);
// The same without the empty-field test.
const char* skip_field(const char* text, const std::string& file_name, int line_number, MessageLog& log);

// The first white-space-delimited word of `text`, cut to max_length
// characters.  Fatal when the text holds no word.
void read_word(const char* text, std::string& destination, std::size_t max_length, const std::string& file_name,
               int line_number, MessageLog& log);

// The integer at the start of `text` (after white space; what follows the
// digits is ignored).  Fatal when there is no integer, or when it is not one of
// the scores 0, 1, 9.
void read_score(const char* text, int& value, const std::string& file_name, int line_number, MessageLog& log);

// Reads a decimal integer the way "%d" does: skips white space, takes an
// optional sign and at least one digit, and advances `text` past them.  A
// number beyond the int range is clamped to INT_MIN or INT_MAX (as strtol
// clamps to the range of its type).  Returns false, `text` and `value`
// unchanged, when no integer is there.
bool scan_int(const char*& text, int& value);

// Whether two names agree in their first 20 characters.
bool same_name(const std::string& a, const std::string& b);

// ---- the data file -----------------------------------------------------------

// What the first pass found in the lines of the processed populations that
// is read without a fatal error but may not be what the file meant.  Line
// numbers are 0 while nothing of the kind was found.
struct DataLineFindings {
  int lines_with_extra_fields = 0;  // non-blank text after the tab ending the m-th score
  int first_extra_fields_line = 0;
  long long odd_scores = 0;  // score fields not written exactly 0, 1 or 9 ("1x", " 1", "01")
  std::string first_odd_score;  // as written, cut to 20 characters
  int first_odd_score_line = 0;
  int first_odd_score_value = 0;  // the score it was read as
  int line_after_declared = 0;    // the line after the R-th population, when not the end line
  std::string repeated_name;      // the first population named like an earlier one
  int repeated_name_line = 0;     // its first line
  int earlier_name_line = 0;      // the first line of the earlier one
  std::string spaced_name_field;  // the first population field holding white space, in full
  std::string spaced_name_word;   // the word of it read as the population's name
  int spaced_name_line = 0;       // its line
};

// Reads line 1: R, m and the locus names.  LocusNames is allocated here, 1..m.
// Fatal "cannot open inputfile" when `data` could not be opened.
void read_header_line(TextLines& data, int& R, int& m, NameList& LocusNames, MessageLog& log,
                      std::vector<std::string>* FullLocusNames = nullptr);

// The band scores of the processed populations as the first pass reads them:
// one row of m bytes per individual, in the order of the lines, held in blocks
// so that the store grows without copying; also the individual names and
// the population names in full (the whole field of each population's first
// line, where PopulationNames holds its 20-character key) when they are
// wanted.  read_band_scores moves them into the score matrix.
class ScannedScores {
 public:
  explicit ScannedScores(bool keep_names = false) : keep_names_(keep_names) {}
  // Room for the scores of the next individual (m bytes).
  std::uint8_t* new_row(int m);
  bool keeps_names() const { return keep_names_; }
  void add_name(std::string name) { names_.push_back(std::move(name)); }
  int rows() const { return rows_; }

  // Where each row lies, in order (valid until the rows are moved).
  std::vector<const std::uint8_t*> row_addresses(int m) const;
  // Moves the rows, in order, into rows 0, 1, ... of `scores` (m columns,
  // enough rows), giving up each block once it is copied; row_done(k) is
  // called after the k-th row (from 1).
  void move_rows(ScoreMatrix& scores, int m, const std::function<void(int)>& row_done);
  std::vector<std::string> take_names() { return std::move(names_); }
  void add_population_name(std::string name) { population_names_.push_back(std::move(name)); }
  // The processed populations' names in full, in order (1..r as 0..r-1).
  std::vector<std::string> take_population_names() { return std::move(population_names_); }

 private:
  struct RowBlock {
    Block<std::uint8_t> bytes;
    int rows = 0;
  };
  bool keep_names_;
  std::vector<RowBlock> blocks_;
  int room_ = 0;  // rows still free in the last block
  int rows_ = 0;
  std::vector<std::string> names_;
  std::vector<std::string> population_names_;
};

// First pass over the data lines.  The caller allocates, from r (R, or listed_populations
// with a subset file), m and R:
//   PopulationNames name_list(1,r), NonMissingCounts int_matrix(1,r,1,m),
//   SelectedPopulationIndex int_vector(1,r), PopulationGroups int_vector(1,r),
//   FilePopulationSizes int_vector(1,R).
// `subset` is read only when use_subset is true.  Gives ntot, the number of
// individuals of the processed populations, and what the lines of those
// populations hold that the run should warn about.  With `scores`, the band
// scores (and names) of the processed individuals are kept there.  The lines
// read are forgotten as the pass goes on.
void scan_populations(TextLines& data, int R, int r, bool use_subset, const SubsetSelection& subset, int m,
                      NameList& PopulationNames, IMatrix& NonMissingCounts, IVector& SelectedPopulationIndex,
                      IVector& PopulationGroups, IVector& FilePopulationSizes, int& ntot, DataLineFindings& findings,
                      MessageLog& log, ScannedScores* scores = nullptr);

// Second step: the band scores of the first pass, taken population by
// population with the line counts of the first pass.  The caller allocates
// BandScores score_matrix(0,ntot-1,0,m-1) and PopulationBounds
// int_vector(0,r).  When `individual_names` is given it receives the second
// field of each line (white space around it removed; it may be empty), in the
// order of the rows; `scanned` must then have kept them.  The rows are given
// up as they are taken.  With `progress`, and more than kReadProgressScores
// scores, the individuals taken are reported in fiftieths (core/progress.hpp).
inline constexpr double kReadProgressScores = 1.0e8;
void read_band_scores(ScannedScores& scanned, int r, bool use_subset, int m, const IVector& SelectedPopulationIndex,
                      const IVector& FilePopulationSizes, int ntot, ScoreMatrix& BandScores, IVector& PopulationBounds,
                      MessageLog& log, std::vector<std::string>* individual_names = nullptr,
                      const ProgressReport& progress = {});

// The warnings for `findings` (appended with echo, each at most once, in a
// fixed order): extra fields, odd scores, lines after the R-th population, a
// population name met again.
void warn_about_data_lines(const DataLineFindings& findings, const std::string& input_file, int R, int m,
                           MessageLog& log);

// Fragment sizes from the locus names read as floating-point numbers.  The
// caller allocates FragmentSizes float_vector(1,m).  FragmentSizesAvailable is 1 when
// every name converts; otherwise 0 after two lines in the log (no echo).
void locus_names_to_sizes(int& FragmentSizesAvailable, int m, const NameList& LocusNames, FVector& FragmentSizes,
                          MessageLog& log);

}  // namespace bandscape
