// The AFLP data file reader: header line, the two passes over the data lines,
// and the line and field helpers.
#include "input/data_file.hpp"

#include <sys/types.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "input/subset_file.hpp"

namespace bandscape {

namespace {

// White space as the C locale's isspace() sees it.
inline bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

constexpr std::size_t kReadBuffer = std::size_t{1} << 18;

[[noreturn]] void fail_at(MessageLog& log, const char* what, int line_number, const std::string& file_name) {
  fatal_error(log, format("\n%s on line %d from file %s", what, line_number, file_name.c_str()));
}

}  // namespace

InputFile::InputFile(const std::string& name) {
  file_ = std::fopen(name.c_str(), "r");
  if (file_) {
    buffer_.resize(kReadBuffer);
    std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
  }
}

InputFile::~InputFile() {
  if (file_) std::fclose(file_);
}

LineBuffer::~LineBuffer() { std::free(data_); }

void read_next_line(InputFile& file, LineBuffer& line, const std::string& file_name, int& line_number,
                    MessageLog& log) {
  ++line_number;
  const ssize_t n = ::getline(&line.data_, &line.capacity_, file.get());
  if (n < 0) {
    if (std::ferror(file.get())) {
      fatal_error(log, format("\ncannot read line %d from file %s", line_number, file_name.c_str()));
    }
    fail_at(log, "End of file encountered before END message", line_number, file_name);
  }
  std::size_t len = static_cast<std::size_t>(n);
  char* d = line.data_;
  // A Windows line end reads as a Unix one: drop the "\r" before the line break
  // (or at the very end of a last line without a break).
  if (len >= 2 && d[len - 1] == '\n' && d[len - 2] == '\r') {
    d[len - 2] = '\n';
    d[len - 1] = '\0';
    --len;
  } else if (len >= 1 && d[len - 1] == '\r') {
    d[len - 1] = '\0';
    --len;
  }
  line.start_ = 0;
  if (line_number == 1 && len >= 3 && static_cast<unsigned char>(d[0]) == 0xEF &&
      static_cast<unsigned char>(d[1]) == 0xBB && static_cast<unsigned char>(d[2]) == 0xBF) {
    line.start_ = 3;  // UTF-8 byte-order mark
    len -= 3;
  }
  line.length_ = len;
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
    fatal_error(log, format("\ncannot read string from %s on line %d from file %s", text, line_number,
                            file_name.c_str()));
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
    fatal_error(log, format("\ncannot read int from %s on line %d from file %s", text, line_number,
                            file_name.c_str()));
  }
  if (v != 0 && v != 1 && v != 9) {
    fatal_error(log, format("\nAn incorrect value of %d was found on line %d from file %s", v, line_number,
                            file_name.c_str()));
  }
  value = v;
}

bool same_name(const std::string& a, const std::string& b) {
  return std::strncmp(a.c_str(), b.c_str(), kNameLength) == 0;
}

void read_header_line(const std::string& input_file, int& R, int& m, NameList& LocusNames, MessageLog& log) {
  InputFile file(input_file);
  if (!file.is_open()) fatal_error(log, format("\ncannot open inputfile %s", input_file.c_str()));
  LineBuffer line;
  int line_number = 0;
  read_next_line(file, line, input_file, line_number, log);
  const char* p = line.text();
  if (!scan_int(p, R) || !scan_int(p, m)) fail_at(log, "cannot read r and m", line_number, input_file);
  if (m <= 0) {
    fatal_error(log, format("\nnumber of loci %d on line %d from file %s is not a positive count", m, line_number,
                            input_file.c_str()));
  }
  if (R <= 0) {
    fatal_error(log, format("\nnumber of populations %d on line %d from file %s is not a positive count", R,
                            line_number, input_file.c_str()));
  }
  // The names are collected before LocusNames is allocated, so a count far
  // beyond what line 1 holds ends with "tab not found" instead of allocating
  // for it.
  std::vector<std::string> names;
  p = next_field(line.text(), input_file, line_number, log);
  for (int k = 1; k <= m; ++k) {
    p = next_field(p, input_file, line_number, log);
    names.emplace_back();
    read_word(p, names.back(), kNameLength, input_file, line_number, log);
  }
  // Every population of the file owns at least one data line, and such a line
  // holds at least two characters per locus (a tab and a score).  A declared
  // R x m beyond the size of the whole file cannot be right, and the arrays
  // sized from it (R names, r x m counts) are not allocated then.
  if (std::fseek(file.get(), 0, SEEK_END) == 0) {
    const long long file_size = std::ftell(file.get());
    if (file_size >= 0 && static_cast<long long>(R) * m > file_size) {
      fatal_error(log, format("\nnumber of populations %d on line %d from file %s is more than the file holds", R,
                              line_number, input_file.c_str()));
    }
  }
  LocusNames = name_list(1, m);
  for (int k = 1; k <= m; ++k) LocusNames[k] = std::move(names[static_cast<std::size_t>(k - 1)]);
}

void readsecondinfo(const std::string& input_file, int R, int r, bool use_subset, const SubsetSelection& subset,
                    int m, NameList& PopulationNames, IMatrix& NonMissingCounts, IVector& SelectedPopulationIndex,
                    IVector& PopulationGroups, IVector& FilePopulationSizes, int& ntot, MessageLog& log) {
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= m; ++j) NonMissingCounts[i][j] = 0;

  InputFile file(input_file);
  if (!file.is_open()) fatal_error(log, "cannot open inputfile in readsecondinfo");
  LineBuffer line;
  int line_number = 0;
  read_next_line(file, line, input_file, line_number, log);
  read_next_line(file, line, input_file, line_number, log);
  std::string label;
  read_word(line.text(), label, kNameLength, input_file, line_number, log);

  // The populations found so far, for the messages that list them.
  auto names_found = [&](int i) {
    std::vector<std::string> lines;
    for (int k = 1; k <= i; ++k) lines.push_back("\n" + PopulationNames[k]);
    return lines;
  };

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
          fatal_error(log, format("\nMore populations of file %s match the subset file than the %d it lists, "
                                  "on line %d",
                                  input_file.c_str(), subset.rsub, line_number));
        }
        ++i;
        SelectedPopulationIndex[i] = b;
        PopulationGroups[i] = group;
      } else if (i == r) {
        return;  // every subset population read; the rest of the file is not
      } else {
        skip_population(file, line, input_file, i, PopulationNames, line_number, label, population_name, count,
                        log);
        FilePopulationSizes[b] = count;
        continue;
      }
    }
    PopulationNames[i] = label;
    int* counts = NonMissingCounts[i];
    while (same_name(label, population_name)) {
      ++count;
      ++ntot;
      const char* p = skip_field(line.text(), input_file, line_number, log);
      for (int j = 1; j <= m; ++j) {
        p = next_field(p, input_file, line_number, log);
        int score = 0;
        read_score(p, score, input_file, line_number, log);
        if (score != 9) ++counts[j];
      }
      read_next_line(file, line, input_file, line_number, log);
      read_word(line.text(), label, kNameLength, input_file, line_number, log);
      if (label == "END" && i < r) {
        fatal_error(log, format("\nEND message encountered after %d pop on line %d from file %s", i, line_number,
                                input_file.c_str()),
                    names_found(i));
      }
    }
    FilePopulationSizes[b] = count;
  }
  if (use_subset && i < r) {
    fatal_error(log, format("\nOnly %d of the %d subset populations were found in file %s", i, subset.rsub,
                            input_file.c_str()),
                names_found(i));
  }
}

void readfrequall(const std::string& input_file, int r, bool use_subset, int m,
                  const IVector& SelectedPopulationIndex, const IVector& FilePopulationSizes, int ntot,
                  IMatrix& BandScores, IVector& PopulationBounds, MessageLog& log) {
  InputFile file(input_file);
  if (!file.is_open()) fatal_error(log, "cannot open inputfile in readfrequall");
  LineBuffer line;
  int line_number = 0;
  read_next_line(file, line, input_file, line_number, log);
  int ind = 0;
  int b = 0;
  for (int k = 1; k <= r; ++k) {
    ++b;
    if (use_subset) {
      for (; b < SelectedPopulationIndex[k]; ++b) {
        for (int l = 0; l < FilePopulationSizes[b]; ++l) read_next_line(file, line, input_file, line_number, log);
      }
    }
    PopulationBounds[k - 1] = ind;
    for (int l = 0; l < FilePopulationSizes[b]; ++l) {
      read_next_line(file, line, input_file, line_number, log);
      const char* p = skip_field(line.text(), input_file, line_number, log);
      int* row = BandScores[ind];
      for (int j = 0; j < m; ++j) {
        p = next_field(p, input_file, line_number, log);
        read_score(p, row[j], input_file, line_number, log);
      }
      ++ind;
    }
  }
  if (ind != ntot) log.echo("\nError in readata: ind_tot different from ntot");
  PopulationBounds[r] = ind;
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
