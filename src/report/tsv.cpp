#include "report/tsv.hpp"

#include <cmath>
#include <cstdio>

namespace bandscape {

std::string tsv_single(float value) {
  if (!std::isfinite(value)) return "NA";
  char buffer[32];
  const int n = std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
  return std::string(buffer, static_cast<std::size_t>(n));
}

std::string tsv_double(double value) {
  if (!std::isfinite(value)) return "NA";
  char buffer[40];
  const int n = std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return std::string(buffer, static_cast<std::size_t>(n));
}

std::string tsv_text(std::string_view value) {
  std::string cleaned(value);
  for (char& c : cleaned) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return cleaned;
}

TsvFile::TsvFile(const std::string& name, std::initializer_list<std::string_view> columns) {
  if (!out_.open(name, OpenMode::kTruncate, Links::kFollow)) {
    throw OutputError(name, "\ncannot open file " + name);
  }
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
  if (value.find_first_of("\t\r\n") == std::string_view::npos) return cell(value);
  return cell(tsv_text(value));
}

TsvFile& TsvFile::integer(long long value) { return cell(std::to_string(value)); }

void TsvFile::end_row() {
  out_.write("\n");
  row_started_ = false;
}

}  // namespace bandscape
