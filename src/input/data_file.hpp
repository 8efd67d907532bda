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
// non-space characters, cut to 20.  Lines may be of any length; a "\r" before
// the line break and a UTF-8 byte-order mark at the start of a file are dropped.
//
// Every failure is fatal through fatal_error(log, ...): the message names the
// line last read and the file.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "core/message_log.hpp"
#include "numeric/array.hpp"

namespace bandscape {

// Names and labels are significant to this many characters.
inline constexpr std::size_t kNameLength = 20;

struct SubsetSelection;

// A text file opened for reading; closed when it goes out of scope, so a fatal
// error thrown while reading never leaves it open.
class InputFile {
 public:
  explicit InputFile(const std::string& name);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  bool is_open() const { return file_ != nullptr; }
  std::FILE* get() const { return file_; }

 private:
  std::vector<char> buffer_;
  std::FILE* file_ = nullptr;
};

// One line as read, NUL-terminated, its line break kept.  The storage grows to
// the longest line met and is reused from line to line.
class LineBuffer {
 public:
  LineBuffer() = default;
  ~LineBuffer();
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;
  const char* text() const { return data_ ? data_ + start_ : ""; }
  // Number of characters of text().
  std::size_t length() const { return length_; }

 private:
  friend void read_next_line(InputFile&, LineBuffer&, const std::string&, int&, MessageLog&);
  char* data_ = nullptr;  // owned; grown by getline()
  std::size_t capacity_ = 0;
  std::size_t start_ = 0;  // 3 after a byte-order mark on line 1
  std::size_t length_ = 0;
};

// ---- line and field helpers ------------------------------------------------

// Adds 1 to line_number and reads the next line.  Fatal at the end of the file
// ("End of file encountered before END message ...") or on a read error.
void read_next_line(InputFile& file, LineBuffer& line, const std::string& file_name, int& line_number,
                    MessageLog& log);

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

// Reads line 1: R, m and the locus names.  LocusNames is allocated here, 1..m.
void read_header_line(const std::string& input_file, int& R, int& m, NameList& LocusNames, MessageLog& log);

// First pass over the data lines.  The caller allocates, from r (R, or rsub
// with a subset file), m and R:
//   PopulationNames name_list(1,r), NonMissingCounts imatrix(1,r,1,m),
//   SelectedPopulationIndex ivector(1,r), PopulationGroups ivector(1,r),
//   FilePopulationSizes ivector(1,R).
// `subset` is read only when use_subset is true.  Gives ntot, the number of
// individuals of the processed populations.
void readsecondinfo(const std::string& input_file, int R, int r, bool use_subset, const SubsetSelection& subset,
                    int m, NameList& PopulationNames, IMatrix& NonMissingCounts, IVector& SelectedPopulationIndex,
                    IVector& PopulationGroups, IVector& FilePopulationSizes, int& ntot, MessageLog& log);

// Second pass: the band scores of the processed populations, using the line
// counts of the first pass.  The caller allocates BandScores
// imatrix(0,ntot-1,0,m-1) and PopulationBounds ivector(0,r).
void readfrequall(const std::string& input_file, int r, bool use_subset, int m,
                  const IVector& SelectedPopulationIndex, const IVector& FilePopulationSizes, int ntot,
                  IMatrix& BandScores, IVector& PopulationBounds, MessageLog& log);

// Fragment sizes from the locus names read as floating-point numbers.  The
// caller allocates FragmentSizes vector(1,m).  FragmentSizesAvailable is 1 when
// every name converts; otherwise 0 after two lines in the log (no echo).
void locus_names_to_sizes(int& FragmentSizesAvailable, int m, const NameList& LocusNames, FVector& FragmentSizes,
                          MessageLog& log);

}  // namespace bandscape
