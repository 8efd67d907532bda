// The AFLP data file reader: header line, the two passes over the data lines,
// and the line and field helpers.
#include "input/data_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <stdexcept>
#include <utility>

#include "core/system_file.hpp"
#include "input/subset_file.hpp"

namespace bandscape {

namespace {

// White space as the C locale's isspace() sees it.
inline bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Bytes asked of the file at a time.
constexpr std::size_t kChunk = std::size_t{1} << 18;

[[noreturn]] void fail_at(MessageLog& log, const char* what, int line_number, const std::string& file_name) {
  fatal_input_error(log, format("\n%s on line %d from file %s", what, line_number, file_name.c_str()), file_name,
                    line_number);
}

}  // namespace

TextLines::TextLines(std::string file_name, std::size_t longest_line)
    : name_(std::move(file_name)), longest_(longest_line) {
  fd_ = open_file(name_, O_RDONLY, false);
  if (fd_ < 0) stop_ = Stop::end_of_file;
}

TextLines::TextLines(std::string file_name, std::vector<char> text)
    : name_(std::move(file_name)), longest_(kLongestLine), in_memory_(true) {
  // The whole text is the one chunk the lines are cut from; the "file" ends
  // after it (fill_chunk reads nothing without a descriptor).
  chunk_ = std::move(text);
  chunk_end_ = chunk_.size();
  bytes_read_ = static_cast<long long>(chunk_end_);
}

TextLines::TextLines(std::string file_name, TextSource next_piece)
    : name_(std::move(file_name)), longest_(kLongestLine), in_memory_(true), source_(std::move(next_piece)) {}

TextLines::~TextLines() { release(); }

void TextLines::release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  std::free(data_);
  data_ = nullptr;
  size_ = capacity_ = 0;
  starts_ = {};
  chunk_ = {};
  chunk_at_ = chunk_end_ = 0;
  source_ = nullptr;
  if (stop_ == Stop::none) stop_ = Stop::end_of_file;
}

bool TextLines::fill_chunk() {
  if (source_) {
    while (source_(chunk_)) {
      if (chunk_.empty()) continue;
      chunk_at_ = 0;
      chunk_end_ = chunk_.size();
      bytes_read_ += static_cast<long long>(chunk_end_);
      return true;
    }
    source_ = nullptr;
  }
  if (in_memory_) {
    stop_ = Stop::end_of_file;
    chunk_ = {};
    chunk_at_ = chunk_end_ = 0;
    return false;
  }
  if (chunk_.empty()) chunk_.resize(kChunk);
  for (;;) {
    const ssize_t n = ::read(fd_, chunk_.data(), chunk_.size());
    if (n > 0) {
      chunk_at_ = 0;
      chunk_end_ = static_cast<std::size_t>(n);
      bytes_read_ += n;
      return true;
    }
    if (n == 0) {
      stop_ = Stop::end_of_file;
      return false;
    }
    if (errno != EINTR) {
      stop_ = Stop::read_error;
      return false;
    }
  }
}

void TextLines::reserve(std::size_t needed, std::size_t line_start) {
  if (needed <= capacity_) return;
  // Doubling, but never beyond what the longest allowed line needs: a file
  // without line breaks stops at kLongestLine, not at twice that.
  std::size_t grown = std::max({needed, 2 * capacity_, kChunk});
  grown = std::max(needed, std::min(grown, line_start + longest_ + 2));
  char* moved = static_cast<char*>(std::realloc(data_, grown));
  if (!moved) throw std::bad_alloc();
  data_ = moved;
  capacity_ = grown;
}

bool TextLines::read_line() {
  if (stop_ != Stop::none) return false;
  const std::size_t start = size_;
  std::size_t length = 0;  // characters before the line break
  bool ended = false;
  try {
    while (chunk_at_ < chunk_end_ || fill_chunk()) {
      const char* from = chunk_.data() + chunk_at_;
      const std::size_t available = chunk_end_ - chunk_at_;
      const char* line_break = static_cast<const char*>(std::memchr(from, '\n', available));
      const std::size_t piece = line_break ? static_cast<std::size_t>(line_break - from) : available;
      if (piece > longest_ - length) {
        stop_ = Stop::too_long;
        size_ = start;
        return false;
      }
      reserve(size_ + piece + 2, start);  // room for the line break and the NUL
      std::memcpy(data_ + size_, from, piece);
      size_ += piece;
      length += piece;
      chunk_at_ += piece;
      if (line_break) {
        data_[size_++] = '\n';
        ++chunk_at_;
        ended = true;
        break;
      }
    }
  } catch (const std::bad_alloc&) {
    stop_ = Stop::read_error;  // reported as a line that cannot be read
  }
  if (!ended && (stop_ == Stop::read_error || length == 0)) {
    size_ = start;
    return false;
  }
  // A Windows line end reads as a Unix one: drop the "\r" before the line break
  // (or at the very end of a last line without a break).
  char* d = data_ + start;
  std::size_t len = size_ - start;
  if (len >= 2 && d[len - 1] == '\n' && d[len - 2] == '\r') {
    d[len - 2] = '\n';
    --len;
  } else if (len >= 1 && d[len - 1] == '\r') {
    --len;
  }
  size_ = start + len;
  data_[size_++] = '\0';
  std::size_t text_start = start;
  if (starts_.empty() && len >= 3 && static_cast<unsigned char>(d[0]) == 0xEF &&
      static_cast<unsigned char>(d[1]) == 0xBB && static_cast<unsigned char>(d[2]) == 0xBF) {
    text_start += 3;  // UTF-8 byte-order mark
  }
  starts_.push_back(text_start);
  return true;
}

void TextLines::fail(int n, MessageLog& log) const {
  switch (stop_) {
    case Stop::read_error:
      fatal_input_error(log, format("\ncannot read line %d from file %s", n, name_.c_str()), name_, n);
    case Stop::too_long:
      fatal_input_error(log, format("\nline %d of file %s is longer than %zu characters", n, name_.c_str(), longest_),
                        name_, n);
    default:
      fail_at(log, "End of file encountered before END message", n, name_);
  }
}

const char* TextLines::line(int n, MessageLog& log) {
  if (n < first_kept_) throw std::logic_error("a forgotten line of " + name_ + " was asked for");
  while (starts_.size() < static_cast<std::size_t>(n)) {
    if (!read_line()) fail(n, log);
  }
  return data_ + starts_[static_cast<std::size_t>(n - 1)];
}

void TextLines::forget_before(int n) {
  if (n <= first_kept_) return;
  first_kept_ = n;
  // Bytes before line n; lines not read yet leave nothing to keep.
  const std::size_t cut = static_cast<std::size_t>(n - 1) < starts_.size() ? starts_[static_cast<std::size_t>(n - 1)]
                                                                           : size_;
  // Moved down only once the forgotten part is at least as large as the kept
  // one, so each byte is moved at most about once.
  if (cut == 0 || cut < size_ - cut) return;
  std::memmove(data_, data_ + cut, size_ - cut);
  size_ -= cut;
  for (std::size_t k = static_cast<std::size_t>(n - 1); k < starts_.size(); ++k) starts_[k] -= cut;
}

bool TextLines::has_line(int n, MessageLog& log) {
  while (starts_.size() < static_cast<std::size_t>(n)) {
    if (read_line()) continue;
    if (stop_ != Stop::end_of_file) fail(static_cast<int>(starts_.size()) + 1, log);
    return false;
  }
  return true;
}

bool TextLines::holds_at_least(long long bytes, MessageLog& log) {
  struct stat status;
  if (fd_ >= 0 && ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode)) return status.st_size >= bytes;
  while (bytes_read_ < bytes && read_line()) {
  }
  if (bytes_read_ >= bytes) return true;
  if (stop_ != Stop::end_of_file) fail(static_cast<int>(starts_.size()) + 1, log);
  return false;
}

const char* read_next_line(TextLines& text, int& line_number, MessageLog& log) {
  ++line_number;
  return text.line(line_number, log);
}

const char* skip_field(const char* text, const std::string& file_name, int line_number, MessageLog& log) {
  const char* p = text;
  while (*p != '\t' && *p != '\0') ++p;
  if (*p == '\0') fail_at(log, "tab not found one column missing", line_number, file_name);
  return p + 1;
}

const char* next_field(const char* text, const std::string& file_name, int line_number, MessageLog& log) {
  const char* p = skip_field(text, file_name, line_number, log);
  if (*p == '\t') fail_at(log, "two consecutive tabs", line_number, file_name);
  return p;
}

void read_word(const char* text, std::string& destination, std::size_t max_length, const std::string& file_name,
               int line_number, MessageLog& log) {
  const char* p = text;
  while (is_space(*p)) ++p;
  if (*p == '\0') {
    fatal_input_error(
        log, format("\ncannot read string from %s on line %d from file %s", text, line_number, file_name.c_str()),
        file_name, line_number);
  }
  const char* q = p;
  while (*q != '\0' && !is_space(*q) && static_cast<std::size_t>(q - p) < max_length) ++q;
  destination.assign(p, static_cast<std::size_t>(q - p));
}

bool scan_int(const char*& text, int& value) {
  const char* p = text;
  while (is_space(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  if (*p < '0' || *p > '9') return false;
  // Accumulate as a negative number so that INT_MIN itself is representable.
  long long acc = 0;
  bool clamped = false;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (!clamped) {
      acc = acc * 10 - (*p - '0');
      if (acc < static_cast<long long>(INT_MIN)) clamped = true;
    }
  }
  if (clamped) {
    value = negative ? INT_MIN : INT_MAX;
  } else if (negative) {
    value = static_cast<int>(acc);
  } else {
    value = acc < -static_cast<long long>(INT_MAX) ? INT_MAX : static_cast<int>(-acc);
  }
  text = p;
  return true;
}

void read_score(const char* text, int& value, const std::string& file_name, int line_number, MessageLog& log) {
  const char* p = text;
  int v = 0;
  if (!scan_int(p, v)) {
    fatal_input_error(log,
                      format("\ncannot read int from %s on line %d from file %s", text, line_number, file_name.c_str()),
                      file_name, line_number);
  }
  if (v != 0 && v != 1 && v != 9) {
    fatal_input_error(
        log, format("\nAn incorrect value of %d was found on line %d from file %s", v, line_number, file_name.c_str()),
        file_name, line_number);
  }
  value = v;
}

bool same_name(const std::string& a, const std::string& b) {
  return std::strncmp(a.c_str(), b.c_str(), kNameLength) == 0;
}

void read_header_line(TextLines& data, int& R, int& m, NameList& LocusNames, MessageLog& log,
                      std::vector<std::string>* FullLocusNames) {
  const std::string& input_file = data.file_name();
  if (!data.is_open()) fatal_input_error(log, format("\ncannot open inputfile %s", input_file.c_str()), input_file, 0);
  int line_number = 0;
  const char* line = read_next_line(data, line_number, log);
  const char* p = line;
  if (!scan_int(p, R) || !scan_int(p, m)) fail_at(log, "cannot read r and m", line_number, input_file);
  if (m <= 0) {
    fatal_input_error(log,
                      format("\nnumber of loci %d on line %d from file %s is not a positive count", m, line_number,
                             input_file.c_str()),
                      input_file, line_number);
  }
  if (R <= 0) {
    fatal_input_error(log,
                      format("\nnumber of populations %d on line %d from file %s is not a positive count", R,
                             line_number, input_file.c_str()),
                      input_file, line_number);
  }
  // The names are collected before LocusNames is allocated, so a count far
  // beyond what line 1 holds ends with "tab not found" instead of allocating
  // for it.
  std::vector<std::string> names;
  p = next_field(line, input_file, line_number, log);
  for (int k = 1; k <= m; ++k) {
    p = next_field(p, input_file, line_number, log);
    names.emplace_back();
    read_word(p, names.back(), kNameLength, input_file, line_number, log);
    // The results folder names each locus by its whole word; the report keeps
    // the 20-character key.
    if (FullLocusNames) {
      FullLocusNames->emplace_back();
      read_word(p, FullLocusNames->back(), std::string::npos, input_file, line_number, log);
    }
  }
  // Every population of the file owns at least one data line, and such a line
  // holds at least two characters per locus (a tab and a score).  A declared
  // R x m beyond the size of the whole file cannot be right, and the arrays
  // sized from it (R names, r x m counts) are not allocated then.
  if (!data.holds_at_least(static_cast<long long>(R) * m, log)) {
    fatal_input_error(log,
                      format("\nnumber of populations %d on line %d from file %s is more than the file holds", R,
                             line_number, input_file.c_str()),
                      input_file, line_number);
  }
  LocusNames = name_list(1, m);
  for (int k = 1; k <= m; ++k) LocusNames[k] = std::move(names[static_cast<std::size_t>(k - 1)]);
}

namespace {

// Where the field that starts at `field` ends: at its tab, at the line break
// or at the end of the text.
const char* field_end(const char* field) {
  while (*field != '\t' && *field != '\n' && *field != '\0') ++field;
  return field;
}

// A score field read as `value`: counted when it is written otherwise than as
// the single digit 0, 1 or 9 (" 1", "1x", "01", "1.0").
void note_score_field(const char* field, int value, int line_number, DataLineFindings& findings) {
  const char* end = field_end(field);
  if (end - field == 1 && *field == '0' + value) return;
  if (findings.odd_scores++ == 0) {
    findings.first_odd_score.assign(field, std::min<std::size_t>(static_cast<std::size_t>(end - field), kNameLength));
    findings.first_odd_score_line = line_number;
    findings.first_odd_score_value = value;
  }
}

// After the m-th score field starting at `field`: counts the line when
// anything but white space follows the tab that ends it.
void note_extra_fields(const char* field, int line_number, DataLineFindings& findings) {
  const char* p = field_end(field);
  if (*p != '\t') return;
  while (is_space(*p)) ++p;
  if (*p != '\0' && findings.lines_with_extra_fields++ == 0) findings.first_extra_fields_line = line_number;
}

// The individual's name: the field that starts at `field`, white space
// around it removed (it may be empty).
std::string individual_name(const char* field) {
  const char* first = field;
  const char* last = field;
  while (*last != '\t' && *last != '\0') ++last;
  while (first < last && is_space(*first)) ++first;
  while (last > first && is_space(last[-1])) --last;
  return std::string(first, static_cast<std::size_t>(last - first));
}

}  // namespace

std::uint8_t* ScannedScores::new_row(int m) {
  if (room_ == 0) {
    // Blocks grow from 64 KiB to 64 MiB: a small data set takes little, and
    // the large blocks of a large one are returned to the system as soon as
    // they are given up.
    const long long row_bytes = m;
    const long long first = std::max(1LL, (1LL << 16) / row_bytes);
    const long long most = std::max(1LL, (1LL << 26) / row_bytes);
    const long long rows = blocks_.empty() ? first : std::min(most, 2LL * blocks_.back().rows);
    RowBlock block;
    block.bytes.reset(allocate_block<std::uint8_t>(rows * row_bytes));
    if (!block.bytes) throw std::bad_alloc();
    block.rows = static_cast<int>(rows);
    blocks_.push_back(std::move(block));
    room_ = static_cast<int>(rows);
  }
  RowBlock& last = blocks_.back();
  std::uint8_t* row = last.bytes.get() + static_cast<std::size_t>(last.rows - room_) * static_cast<std::size_t>(m);
  --room_;
  ++rows_;
  return row;
}

std::vector<const std::uint8_t*> ScannedScores::row_addresses(int m) const {
  std::vector<const std::uint8_t*> rows;
  rows.reserve(static_cast<std::size_t>(rows_));
  for (std::size_t b = 0; b < blocks_.size(); ++b) {
    const int in_block = b + 1 < blocks_.size() ? blocks_[b].rows : blocks_[b].rows - room_;
    for (int i = 0; i < in_block; ++i) {
      rows.push_back(blocks_[b].bytes.get() + static_cast<std::size_t>(i) * static_cast<std::size_t>(m));
    }
  }
  return rows;
}

void ScannedScores::move_rows(ScoreMatrix& scores, int m, const std::function<void(int)>& row_done) {
  int k = 0;
  for (std::size_t b = 0; b < blocks_.size(); ++b) {
    const int in_block = b + 1 < blocks_.size() ? blocks_[b].rows : blocks_[b].rows - room_;
    const std::uint8_t* from = blocks_[b].bytes.get();
    for (int i = 0; i < in_block && k < scores.rows(); ++i, from += m) {
      std::memcpy(scores[k], from, static_cast<std::size_t>(m));
      ++k;
      if (row_done) row_done(k);
    }
    blocks_[b].bytes.reset();
  }
  blocks_.clear();
  room_ = 0;
  rows_ = 0;
}

void scan_populations(TextLines& data, int R, int r, bool use_subset, const SubsetSelection& subset, int m,
                      NameList& PopulationNames, IMatrix& NonMissingCounts, IVector& SelectedPopulationIndex,
                      IVector& PopulationGroups, IVector& FilePopulationSizes, int& ntot, DataLineFindings& findings,
                      MessageLog& log, ScannedScores* scores) {
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= m; ++j) NonMissingCounts[i][j] = 0;
  findings = DataLineFindings();

  const std::string& input_file = data.file_name();
  int line_number = 0;
  read_next_line(data, line_number, log);
  const char* line = read_next_line(data, line_number, log);
  std::string label;
  read_word(line, label, kNameLength, input_file, line_number, log);

  // The populations found so far, for the messages that list them.
  auto names_found = [&](int i) {
    std::vector<std::string> lines;
    for (int k = 1; k <= i; ++k) lines.push_back("\n" + PopulationNames[k]);
    return lines;
  };
  // The first line of the first processed population of each name.
  std::map<std::string, int> first_line_of;

  ntot = 0;
  int i = 0;
  std::string population_name;
  for (int b = 1; b <= R; ++b) {
    population_name = label;
    int count = 0;
    if (!use_subset) {
      i = b;
    } else {
      int group = 0;
      if (find_subset_population(label, r, subset.names, subset.groups, group)) {
        if (i == r) {
          fatal_input_error(log,
                            format("\nMore populations of file %s match the subset file than the %d it lists, "
                                   "on line %d",
                                   input_file.c_str(), subset.listed_populations, line_number),
                            input_file, line_number);
        }
        ++i;
        SelectedPopulationIndex[i] = b;
        PopulationGroups[i] = group;
      } else if (i == r) {
        return;  // every subset population read; the rest of the file is not
      } else {
        skip_population(data, i, PopulationNames, line_number, label, population_name, count, log);
        data.forget_before(line_number);
        line = data.line(line_number, log);  // the first line after the skipped population
        FilePopulationSizes[b] = count;
        continue;
      }
    }
    PopulationNames[i] = label;
    if (scores != nullptr && scores->keeps_names()) scores->add_population_name(individual_name(line));
    if (findings.spaced_name_line == 0) {
      // The name is the field's first word: a field of several words is
      // noted, as "Val Müstair" and "Val d'Hérens" would both be "Val".
      const std::string field = individual_name(line);
      if (field.find_first_of(" \t\v\f\r") != std::string::npos) {
        findings.spaced_name_field = field;
        findings.spaced_name_word = label;
        findings.spaced_name_line = line_number;
      }
    }
    if (findings.repeated_name_line == 0) {
      const auto [earlier, is_new] = first_line_of.emplace(label, line_number);
      if (!is_new) {
        findings.repeated_name = label;
        findings.repeated_name_line = line_number;
        findings.earlier_name_line = earlier->second;
      }
    }
    int* counts = NonMissingCounts[i];
    while (same_name(label, population_name)) {
      ++count;
      ++ntot;
      const char* p = skip_field(line, input_file, line_number, log);
      if (scores != nullptr && scores->keeps_names()) scores->add_name(individual_name(p));
      std::uint8_t* row = scores != nullptr ? scores->new_row(m) : nullptr;
      for (int j = 1; j <= m; ++j) {
        p = next_field(p, input_file, line_number, log);
        int score = 0;
        read_score(p, score, input_file, line_number, log);
        if (score != 9) ++counts[j];
        if (row != nullptr) row[j - 1] = static_cast<std::uint8_t>(score);
        note_score_field(p, score, line_number, findings);
      }
      note_extra_fields(p, line_number, findings);
      line = read_next_line(data, line_number, log);
      data.forget_before(line_number);
      read_word(line, label, kNameLength, input_file, line_number, log);
      if (label == "END" && i < r) {
        fatal_input_error(log,
                          format("\nEND message encountered after %d pop on line %d from file %s", i, line_number,
                                 input_file.c_str()),
                          input_file, line_number, names_found(i));
      }
    }
    FilePopulationSizes[b] = count;
  }
  if (use_subset && i < r) {
    fatal_input_error(log,
                      format("\nOnly %d of the %d subset populations were found in file %s", i,
                             subset.listed_populations, input_file.c_str()),
                      input_file, 0, names_found(i));
  }
  if (label != "END") findings.line_after_declared = line_number;
}

void read_band_scores(ScannedScores& scanned, int r, bool use_subset, int m, const IVector& SelectedPopulationIndex,
                      const IVector& FilePopulationSizes, int ntot, ScoreMatrix& BandScores, IVector& PopulationBounds,
                      MessageLog& log, std::vector<std::string>* individual_names, const ProgressReport& progress) {
  int ind = 0;
  for (int k = 1; k <= r; ++k) {
    PopulationBounds[k - 1] = ind;
    ind += FilePopulationSizes[use_subset ? SelectedPopulationIndex[k] : k];
  }
  if (ind != ntot || scanned.rows() != ntot) log.echo("\nError in readata: ind_tot different from ntot");
  PopulationBounds[r] = ind;
  ProgressSteps steps(static_cast<double>(ntot) * m > kReadProgressScores ? ntot : 0, progress);
  if (individual_names != nullptr) *individual_names = scanned.take_names();
  scanned.move_rows(BandScores, m, [&steps](int k) { steps.done(k); });
}

void warn_about_data_lines(const DataLineFindings& findings, const std::string& input_file, int R, int m,
                           MessageLog& log) {
  const char* file = input_file.c_str();
  if (findings.lines_with_extra_fields > 0) {
    log.echo(
        format("\nWARNING! %d lines of file %s hold more than %d scores (the first is line %d): the extra "
               "fields are not read",
               findings.lines_with_extra_fields, file, m, findings.first_extra_fields_line));
  }
  if (findings.odd_scores > 0) {
    log.echo(
        format("\nWARNING! %lld scores of file %s are not written 0, 1 or 9 (the first is %c%s%c on line %d, "
               "read as %d)",
               findings.odd_scores, file, '"', findings.first_odd_score.c_str(), '"', findings.first_odd_score_line,
               findings.first_odd_score_value));
  }
  if (findings.line_after_declared > 0) {
    log.echo(
        format("\nWARNING! file %s holds data lines after its %d declared populations (from line %d on): "
               "they are not analysed",
               file, R, findings.line_after_declared));
  }
  if (findings.repeated_name_line > 0) {
    log.echo(
        format("\nWARNING! population %s of line %d of file %s has the name of an earlier population (line "
               "%d): the two are analysed as different populations",
               findings.repeated_name.c_str(), findings.repeated_name_line, file, findings.earlier_name_line));
  }
  if (findings.spaced_name_line > 0) {
    log.echo(format("\nWARNING! the population name %c%s%c on line %d of file %s holds white space: the "
                    "population is named by its first word, %s",
                    '"', findings.spaced_name_field.c_str(), '"', findings.spaced_name_line, file,
                    findings.spaced_name_word.c_str()));
  }
}

void locus_names_to_sizes(int& FragmentSizesAvailable, int m, const NameList& LocusNames, FVector& FragmentSizes,
                          MessageLog& log) {
  for (int k = 1; k <= m; ++k) {
    // A leading floating-point number, as "%f" reads it: "152.5", "210bp",
    // "1e2" and "inf" convert, "L1" does not.
    const char* name = LocusNames[k].c_str();
    char* end = nullptr;
    const float size = std::strtof(name, &end);
    if (end == name) {
      log.append(format("\n\nName of locus %d = %s could not be transformed to a floating point value", k, name));
      log.append("\nThus the correlation between fragment size and frequency could not be performed");
      FragmentSizesAvailable = 0;
      return;
    }
    FragmentSizes[k] = size;
  }
  FragmentSizesAvailable = 1;
}

}  // namespace bandscape
