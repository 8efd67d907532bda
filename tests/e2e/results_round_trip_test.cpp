// The tidy tables read back: every number, formatted with the report's own
// printf format, gives what the report, resample.txt and the bootstrap files
// print.  The expected texts are the program's own classic outputs, which the
// end-to-end golden files pin; this test pins that the tables carry the same
// stored values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/run_program.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;

const fs::path kData = fs::path(BANDSCAPE_TEST_DATA) / "e2e";

// A table read back: its header and rows of cells, addressed by column name.
struct Table {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::string at(std::size_t row, const std::string& column) const {
    for (std::size_t k = 0; k < header.size(); ++k) {
      if (header[k] == column) return rows.at(row).at(k);
    }
    ADD_FAILURE() << "no column " << column;
    return "";
  }
  // NA reads as `na`; single-precision columns are read back into a float first.
  double real(std::size_t row, const std::string& column, double na = std::nan("")) const {
    const std::string cell = at(row, column);
    return cell == "NA" ? na : std::strtod(cell.c_str(), nullptr);
  }
  double single(std::size_t row, const std::string& column, double na = std::nan("")) const {
    const std::string cell = at(row, column);
    return cell == "NA" ? na : static_cast<double>(std::strtof(cell.c_str(), nullptr));
  }
  int integer(std::size_t row, const std::string& column) const { return std::atoi(at(row, column).c_str()); }
};

Table read_table(const fs::path& file) {
  Table t;
  std::istringstream in(read_file(file));
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (;;) {
      const std::size_t tab = line.find('\t', start);
      cells.push_back(line.substr(start, tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (first) {
      t.header = cells;
      first = false;
    } else {
      EXPECT_EQ(cells.size(), t.header.size()) << file << ": " << line;
      t.rows.push_back(cells);
    }
  }
  return t;
}

std::string fmt(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// One Phylip cell as the report prints it: undefined, negative as 0.0000.
std::string distance_cell(double value) {
  if (std::isnan(value)) return " undefined";
  return fmt("%10.4f", std::signbit(value) && value != 0.0 ? 0.0 : value);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct Case {
  const char* name;
  const char* data;
  const char* options;
};

class RoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(RoundTrip, TablesFormatToThePrintedNumbers) {
  TempDir dir;
  fs::copy_file(kData / GetParam().data, "data.txt");
  const auto out = testing::run_program(std::string("--batch --threads 2 --results res ") + GetParam().options +
                                        " data.txt report.txt");
  ASSERT_EQ(out.status, 0) << out.console;
  const std::string report = read_file("report.txt");

  // Table 1, row after row.
  const Table pops = read_table("res/populations.tsv");
  const Table individuals = read_table("res/individuals.tsv");
  std::string table1;
  int individuals_total = 0;
  for (std::size_t j = 0; j < pops.rows.size(); ++j) {
    char line[512];
    // NA where the report prints the 999 mark (a single locus with data) or a
    // value computed from it (VarL = 999 - VarI), and for a population
    // without data, whose values the report prints as 0 (n truncated there).
    const bool data = pops.integer(j, "loci") > 0;
    const double mark = data ? 999.0 : 0.0;
    const double vari = pops.single(j, "VarI_Hj", 0.0);
    const double varl = pops.single(j, "VarL_Hj", data ? static_cast<float>(999.0 - vari) : 0.0f);
    std::snprintf(line, sizeof line, "\n%10s%5i%5i  %5i  %7.1f%8.5f%10.5f%10.6f%10.6f%8.1f%10.6f%8.1f",
                  pops.at(j, "population").c_str(), pops.integer(j, "n"), pops.integer(j, "loci"),
                  pops.integer(j, "polymorphic_loci"), pops.single(j, "plp", 0.0), pops.single(j, "Hj", 0.0),
                  pops.real(j, "se_Hj", std::sqrt(mark)), pops.single(j, "VarHj", mark), vari,
                  pops.real(j, "VarI_percent", data ? 100.0 * vari / 999.0 : 0.0), varl,
                  pops.real(j, "VarL_percent", data ? 100.0 * varl / 999.0 : 0.0));
    table1 += line;
    individuals_total += pops.integer(j, "individuals");
  }
  EXPECT_TRUE(contains(report, "VarL%\n" + table1 + "\n\n")) << table1;
  EXPECT_EQ(static_cast<std::size_t>(individuals_total), individuals.rows.size());

  const std::size_t r = pops.rows.size();
  if (r > 1) {
    // Tables 2 and 3 from the statistic/value/variance rows.
    const Table div = read_table("res/diversity.tsv");
    std::map<std::string, std::size_t> row;
    for (std::size_t k = 0; k < div.rows.size(); ++k) row[div.at(k, "statistic")] = k;
    ASSERT_EQ(row.size(), 8u);
    auto value = [&](const char* s) { return div.single(row[s], "value", 999.0); };
    auto variance = [&](const char* s) { return div.single(row[s], "variance", 999.0); };
    auto se = [](double v) { return v > 0.0 ? std::sqrt(v) : 0.0; };
    const double var_hw = variance("Hw");
    char text[512];
    std::snprintf(text, sizeof text, "\n%5i%8.4f%10.5f%10.6f%10.6f%10.6f%10.6f\n%33s%10.2f%10.2f%10.2f",
                  div.integer(row["populations"], "value"), value("Hw"), se(var_hw), var_hw, value("VarI_Hw"),
                  value("VarL_Hw"), value("VarP_Hw"), "Percent of Var(Hw)",
                  var_hw == 0.0 ? 0.0 : 100.0 * value("VarI_Hw") / var_hw,
                  var_hw == 0.0 ? 0.0 : 100.0 * value("VarL_Hw") / var_hw,
                  var_hw == 0.0 ? 0.0 : 100.0 * value("VarP_Hw") / var_hw);
    EXPECT_TRUE(contains(report, text)) << text;
    std::snprintf(text, sizeof text, "\n%5i%10.4f%10.4f%10.4f%10.4f\n%5s%20.6f%10.6f%10.6f\n%5s%20.6f%10.6f%10.6f",
                  static_cast<int>(r), value("Ht"), value("Hw"), value("Hb"), value("Fst"), "S.E.", se(var_hw),
                  se(variance("Hb")), se(variance("Fst")), "Var", var_hw, variance("Hb"), variance("Fst"));
    EXPECT_TRUE(contains(report, text)) << text;
    EXPECT_TRUE(div.at(row["Ht"], "variance") == "NA" && div.at(row["VarI_Hw"], "variance") == "NA");

    // The three distance blocks, from one row per pair.
    const Table dist = read_table("res/distances.tsv");
    ASSERT_EQ(dist.rows.size(), r * (r - 1) / 2);
    std::vector<std::string> names;
    for (std::size_t j = 0; j < r; ++j) names.push_back(pops.at(j, "population"));
    auto block = [&](const Table& t, std::size_t first, const char* column) {
      // Cells of the upper triangle, row after row, as the table lists the pairs.
      std::vector<std::vector<double>> cell(r, std::vector<double>(r, 0.0));
      std::size_t k = first;
      for (std::size_t a = 0; a < r; ++a) {
        for (std::size_t b = a + 1; b < r; ++b, ++k) {
          EXPECT_EQ(t.at(k, "population_a"), names[a]);
          EXPECT_EQ(t.at(k, "population_b"), names[b]);
          cell[a][b] = cell[b][a] = t.at(k, column) == "NA" ? std::nan("") : t.real(k, column);
        }
      }
      std::string s = std::to_string(r);
      for (std::size_t a = 0; a < r; ++a) {
        char label[16];
        std::snprintf(label, sizeof label, "\n%-10.10s", names[a].c_str());
        s += label;
        for (std::size_t b = 0; b < r; ++b) s += a == b ? fmt("%10.4f", 0.0) : distance_cell(cell[a][b]);
      }
      return s;
    };
    EXPECT_TRUE(contains(report, "(Phylip format)\n" + block(dist, 0, "nei") + "\n\nPairwise Fst"));
    EXPECT_TRUE(contains(report, "(Phylip format)\n" + block(dist, 0, "fst") + "\n\nReynolds"));
    EXPECT_TRUE(contains(report, "(Phylip format)\n" + block(dist, 0, "reynolds")));
    for (std::size_t k = 0; k < dist.rows.size(); ++k) EXPECT_GT(dist.integer(k, "loci_shared"), 0);

    // The bootstrap files whole, replicate after replicate.
    if (fs::exists("aflp_nei.txt")) {
      const Table boot = read_table("res/bootstrap_distances.tsv");
      const std::size_t pairs = r * (r - 1) / 2;
      ASSERT_EQ(boot.rows.size() % pairs, 0u);
      std::string nei, fst, reyn;
      for (std::size_t first = 0; first < boot.rows.size(); first += pairs) {
        EXPECT_EQ(boot.integer(first, "replicate"), static_cast<int>(first / pairs + 1));
        nei += "\n\n" + block(boot, first, "nei");
        fst += "\n\n" + block(boot, first, "fst");
        reyn += "\n\n" + block(boot, first, "reynolds");
      }
      EXPECT_EQ(read_file("aflp_nei.txt"), nei);
      EXPECT_EQ(read_file("aflp_fst.txt"), fst);
      EXPECT_EQ(read_file("aflp_reyn.txt"), reyn);
    }

    // Table 4 and resample.txt.
    if (fs::exists("resample.txt")) {
      const Table perm = read_table("res/permutations.tsv");
      const Table sum = read_table("res/permutation_summary.tsv");
      ASSERT_EQ(sum.rows.size(), 9u);  // Table 4's seven rows and p_value
      const std::size_t n = perm.rows.size() - 1;
      EXPECT_EQ(perm.at(0, "sample"), "observed");
      EXPECT_EQ(sum.integer(0, "value"), static_cast<int>(n));
      std::string resample = "Resampled statistics with samplesize : " + std::to_string(n) +
                             fmt("\nActual value of FST:\t%8.4f", perm.single(0, "fst", 999.0)) + "\nFST";
      // resample.txt lists them ascending, the table in the order drawn.
      std::vector<double> drawn;
      for (std::size_t k = 1; k <= n; ++k) {
        EXPECT_EQ(perm.at(k, "sample"), "permuted");
        EXPECT_EQ(perm.integer(k, "permutation"), static_cast<int>(k));
        drawn.push_back(perm.single(k, "fst", 999.0));
      }
      std::vector<double> ascending = drawn;
      std::sort(ascending.begin(), ascending.end());
      EXPECT_NE(drawn, ascending);  // the draw order is kept
      for (double v : ascending) resample += fmt("\n%11.7f", v);
      EXPECT_EQ(read_file("resample.txt"), resample);
      const char* labels[] = {"observed",        "lower 95% limit", "upper 95% limit", "lower 99% limit",
                              "upper 99% limit", "P value (low)",   "P value (high)"};
      std::string table4 = "\n\nstatistic                      Fst";
      for (std::size_t k = 1; k < 8; ++k) {
        // The report shows 0 for a limit that too few permutations leave undefined.
        char line[64];
        std::snprintf(line, sizeof line, "\n%-30s%9.4f", labels[k - 1], sum.single(k, "value", 0.0));
        table4 += line;
      }
      EXPECT_TRUE(contains(report, table4)) << table4;
    }
  }

  // Table 5: the population cells of each locus row.
  const Table freq = read_table("res/frequencies.tsv");
  ASSERT_EQ(freq.rows.size() % r, 0u);
  const std::size_t m = freq.rows.size() / r;
  for (std::size_t i = 0; i < m; ++i) {
    std::string cells = freq.at(i, "locus") + "\t";
    std::string populations;
    for (std::size_t j = 0; j < r; ++j) {
      const std::size_t k = j * m + i;
      EXPECT_EQ(freq.at(k, "population"), pops.at(j, "population"));
      const int n = freq.integer(k, "n");
      if (n == 0) {
        populations += "\t0\t\t\t\t";
        continue;
      }
      const double p = freq.single(k, "allele_frequency");
      char text[128];
      std::snprintf(text, sizeof text, "\t%i\t%.5f\t%.5f\t%.5f\t%.5f", n, freq.single(k, "fragment_frequency"), p,
                    1.0 - p, freq.single(k, "variance"));
      populations += text;
    }
    EXPECT_TRUE(contains(report, populations + "\n")) << populations;
  }

  // Table 6 from one row per unordered pair: every individual against every other.
  const Table rel = read_table("res/relatedness.tsv");
  const std::size_t ntot = individuals.rows.size();
  ASSERT_EQ(rel.rows.size(), ntot * (ntot - 1) / 2);
  std::vector<std::vector<double>> value(ntot, std::vector<double>(ntot));
  for (std::size_t k = 0; k < rel.rows.size(); ++k) {
    const int a = rel.integer(k, "index_a") - 1, b = rel.integer(k, "index_b") - 1;
    EXPECT_LT(a, b);
    EXPECT_EQ(rel.at(k, "individual_a"), individuals.at(a, "individual"));
    EXPECT_EQ(rel.at(k, "population_b"), individuals.at(b, "population"));
    value[a][b] = value[b][a] = rel.single(k, "r", 999.0);
  }
  std::string table6 = "pop_a\ta\tpop_b\tb\trab\t1-rab";
  for (std::size_t x = 0; x < ntot; ++x) {
    for (std::size_t y = 0; y < ntot; ++y) {
      if (x == y) continue;
      char line[256];
      std::snprintf(line, sizeof line, "\n%s\t%zu\t%s\t%zu\t%.6f\t%.6f", individuals.at(x, "population").c_str(),
                    x + 1, individuals.at(y, "population").c_str(), y + 1, value[x][y], 1.0 - value[x][y]);
      table6 += line;
    }
  }
  EXPECT_TRUE(contains(report, table6)) << "Table 6";
}

INSTANTIATE_TEST_SUITE_P(
    DataSets, RoundTrip,
    ::testing::Values(Case{"FourPopulations", "four_pops.txt", "--seed 4711 -p 60 -b 6"},
                      Case{"SquareRootWith99PercentLimits", "four_pops.txt", "--seed 99 -m 2 -F 0.25 -p 210 -b 3"},
                      Case{"FragmentFrequencies", "three_pops.txt", "--seed 5 -m 1 -p 40 -b 2"},
                      Case{"NamedLociBayesUniform", "named_loci.txt", "--seed 7 -m 3 -F 0.2"},
                      Case{"OnePopulation", "one_pop.txt", "--seed 8"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace bandscape
