#include "report/tables/tsv.hpp"

#include <cerrno>
#include <cmath>
#include <charconv>
#include <cstdio>

namespace bandscape {

namespace {

// printf's "%.<digits>g" of `value` into `out` (at least 32 characters), or
// "NA"; returns the length.  std::to_chars with a precision formats exactly as
// printf does in the C locale, without its parsing of a format string.
std::size_t general(char* out, double value, int digits) {
  if (!std::isfinite(value)) {
    out[0] = 'N';
    out[1] = 'A';
    return 2;
  }
  const auto result = std::to_chars(out, out + 32, value, std::chars_format::general, digits);
  return static_cast<std::size_t>(result.ptr - out);
}

}  // namespace

std::string tsv_single(float value) {
  char buffer[32];
  return std::string(buffer, general(buffer, static_cast<double>(value), 9));
}

std::string tsv_double(double value) {
  char buffer[32];
  return std::string(buffer, general(buffer, value, 17));
}

TsvFile& TsvFile::single(float value) {
  char buffer[32];
  return cell(std::string_view(buffer, general(buffer, static_cast<double>(value), 9)));
}

TsvFile& TsvFile::real(double value) {
  char buffer[32];
  return cell(std::string_view(buffer, general(buffer, value, 17)));
}

namespace {
constexpr std::string_view kQuoted = "\"\t\r\n";
}  // namespace

std::string tsv_text(std::string_view value) {
  if (value.find_first_of(kQuoted) == std::string_view::npos) return std::string(value);
  std::string quoted = "\"";
  for (const char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

TsvFile::TsvFile(const std::string& name, std::initializer_list<std::string_view> columns) {
  if (!out_.open(name, OpenMode::kReplace, Links::kRefuse)) throw open_failure(name, errno);
  for (std::string_view column : columns) cell(column);
  end_row();
}

TsvFile& TsvFile::cell(std::string_view value) {
  if (row_started_) out_.write("\t");
  out_.write(value);
  row_started_ = true;
  return *this;
}

TsvFile& TsvFile::text(std::string_view value) {
  if (value.find_first_of(kQuoted) == std::string_view::npos) return cell(value);
  return cell(tsv_text(value));
}

TsvFile& TsvFile::integer(long long value) { return cell(std::to_string(value)); }

void TsvFile::end_row() {
  out_.write("\n");
  row_started_ = false;
}

}  // namespace bandscape
