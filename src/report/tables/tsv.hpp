// Tidy tab-separated tables for R, Python and spreadsheets: UTF-8, one header
// row, one observation per row, `NA` for a value that is undefined or not
// finite.  Numbers carry enough digits to read back the value the program
// holds: 9 significant digits for single precision, 17 for double.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "core/output_file.hpp"

namespace bandscape {

// "%.9g" of a single-precision value; "NA" when it is not finite.
std::string tsv_single(float value);
// "%.17g" of a double-precision value; "NA" when it is not finite.
std::string tsv_double(double value);
// A name as a cell, in full: one holding a double quote, a tab or a line end
// is put between double quotes with each inner quote doubled (RFC 4180), as
// R's read.delim and pandas' read_csv read it by default.
std::string tsv_text(std::string_view value);

// One table written as it is built: the file is created anew with its header
// row, rows are streamed through a buffer, close() checks the last write.
class TsvFile {
 public:
  TsvFile(const std::string& name, std::initializer_list<std::string_view> columns);

  TsvFile& text(std::string_view value);
  TsvFile& integer(long long value);
  // Cells formed by the caller (several joined by tabs, names through
  // tsv_text), written as given.
  TsvFile& raw(std::string_view cells) { return cell(cells); }
  TsvFile& single(float value);  // as tsv_single
  TsvFile& real(double value);    // as tsv_double
  // Ends the current row.
  void end_row();
  void close() { out_.close(); }

 private:
  TsvFile& cell(std::string_view value);
  OutputFile out_;
  bool row_started_ = false;
};

}  // namespace bandscape
