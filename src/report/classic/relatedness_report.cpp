#include "report/classic/relatedness_report.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "core/fixed_format.hpp"
#include "core/output_file.hpp"
#include "core/write_guard.hpp"

namespace bandscape {

namespace {

// One report file opened in append mode and written through a large buffer;
// the whole table is one write for the write lock.  finish() writes what is
// left and closes the file, both checked.
class ReportWriter {
 public:
  explicit ReportWriter(const std::string& name) : buffer_(kCapacity) {
    open_ = file_.open(name, OpenMode::kAppend, Links::kFollow);
  }
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  void finish() {
    flush();
    file_.close();
  }

  bool ok() const { return open_; }

  // Room for at least n more characters.
  char* reserve(std::size_t n) {
    if (used_ + n > buffer_.size()) {
      flush();
      if (n > buffer_.size()) buffer_.resize(n);
    }
    return buffer_.data() + used_;
  }
  void commit(std::size_t n) { used_ += n; }

  void put(const char* text, std::size_t n) {
    std::memcpy(reserve(n), text, n);
    used_ += n;
  }
  void put(const std::string& text) { put(text.data(), text.size()); }
  void put(char c) {
    *reserve(1) = c;
    ++used_;
  }
  // "%.<decimals>f", right-aligned in `width` characters.
  void put_fixed(double v, int decimals, int width) {
    char tmp[kFixedTextMax];
    const int n = format_fixed(tmp, v, decimals);
    char* p = reserve(static_cast<std::size_t>(n > width ? n : width));
    int pad = width - n;
    for (int i = 0; i < pad; ++i) p[i] = ' ';
    if (pad < 0) pad = 0;
    std::memcpy(p + pad, tmp, static_cast<std::size_t>(n));
    used_ += static_cast<std::size_t>(pad + n);
  }

 private:
  static constexpr std::size_t kCapacity = std::size_t{1} << 20;

  void flush() {
    if (used_ > 0) file_.write(buffer_.data(), used_);
    used_ = 0;
  }

  WriteGuard guard_;  // first member: held from before the open until after the close
  OutputFile file_;
  bool open_ = false;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

// One Phylip block: ntot, then one row per individual labelled "ind<x+1>"
// (left-aligned, cut to 10 characters), each cell "%10.4f" of the diagonal
// value or of the pair's value (or of 1 - value), 999 shown as "undefined".
void write_phylip_block(ReportWriter& out, const char* title, int ntot, const RelatednessTriangle& rel,
                        double diagonal, bool distance) {
  out.put(title, std::strlen(title));
  out.put('\n');
  char num[12];
  out.put(num, static_cast<std::size_t>(format_int(num, ntot)));
  for (int x = 0; x < ntot; ++x) {
    char label[16] = {'i', 'n', 'd'};
    const int n = 3 + format_int(label + 3, x + 1);
    char* p = out.reserve(11);
    p[0] = '\n';
    for (int i = 0; i < 10; ++i) p[1 + i] = i < n ? label[i] : ' ';
    out.commit(11);
    for (int y = 0; y < ntot; ++y) {
      if (y == x) {
        out.put_fixed(diagonal, 4, 10);
        continue;
      }
      const float v = rel.value(x, y);
      if (v == kRelatednessUndefined) {
        out.put(" undefined", 10);
      } else {
        out.put_fixed(distance ? 1.0 - static_cast<double>(v) : static_cast<double>(v), 4, 10);
      }
    }
  }
}

}  // namespace

int write_relatedness_matrices(const std::string& report, int ntot, const RelatednessTriangle& rel) {
  ReportWriter out(report);
  if (!out.ok()) return -999;
  write_phylip_block(out,
                     "\n\nRelatedness between pairs of individuals after Lynch and Milligan - 1994 (Phylip format)",
                     ntot, rel, 1.0, false);
  write_phylip_block(out, "\n\n1-r distance between pairs of individuals  (Phylip format)", ntot, rel, 0.0, true);
  out.finish();
  return 0;
}

int write_relatedness_table(const std::string& report, int ntot, const RelatednessTriangle& rel, int r,
                            const NameList& names, const IVector& bounds) {
  ReportWriter out(report);
  if (!out.ok()) return -999;
  static constexpr char kTitle[] =
      "\n\nTable 6. Relatedness between an individual and all other individuals grouped by population"
      "\npop_a\ta\tpop_b\tb\trab\t1-rab";
  out.put(kTitle, sizeof kTitle - 1);
  // "<population name>\t<number>" of every individual, numbered 1..ntot
  // across the whole sample.
  std::vector<std::string> label(static_cast<std::size_t>(ntot > 0 ? ntot : 0));
  for (int x = 0; x < ntot; ++x) {
    char num[12];
    const int n = format_int(num, x + 1);
    std::string& s = label[static_cast<std::size_t>(x)];
    s = names[population_of_individual(x, bounds, r) + 1];
    s += '\t';
    s.append(num, static_cast<std::size_t>(n));
  }
  for (int x = 0; x < ntot; ++x) {
    const std::string& a = label[static_cast<std::size_t>(x)];
    for (int y = 0; y < ntot; ++y) {
      if (y == x) continue;
      const std::string& b = label[static_cast<std::size_t>(y)];
      const double v = rel.value(x, y);
      char* p = out.reserve(a.size() + b.size() + 4 + 2 * kFixedTextMax);
      char* q = p;
      *q++ = '\n';
      std::memcpy(q, a.data(), a.size());
      q += a.size();
      *q++ = '\t';
      std::memcpy(q, b.data(), b.size());
      q += b.size();
      *q++ = '\t';
      q += format_fixed(q, v, 6);
      *q++ = '\t';
      q += format_fixed(q, 1.0 - v, 6);
      out.commit(static_cast<std::size_t>(q - p));
    }
  }
  out.finish();
  return 0;
}

}  // namespace bandscape
