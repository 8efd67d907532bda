// Reading speed of the data file: both passes over a generated file of 2,000
// individuals by 5,000 loci (about 20 MB, 2% of the scores missing), and the
// export of the scores.  Reported as bytes of data file per second.  The first
// pass includes reading the file into memory; the second pass reads the copy.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "input/data_file.hpp"
#include "report/classic/structure_export.hpp"
#include "input/subset_file.hpp"

namespace {

using namespace bandscape;

constexpr int kPopulations = 20;
constexpr int kIndividuals = 2000;
constexpr int kLoci = 5000;

struct GeneratedFile {
  std::string name;
  std::uintmax_t bytes = 0;

  GeneratedFile() {
    name = (std::filesystem::temp_directory_path() / "bandscape_input_bench.txt").string();
    std::FILE* f = std::fopen(name.c_str(), "w");
    std::fprintf(f, "%d\t%d", kPopulations, kLoci);
    for (int j = 1; j <= kLoci; ++j) std::fprintf(f, "\t%d", 50 + j % 450);
    std::fputc('\n', f);
    std::uint32_t state = 12345u;
    const int per_population = kIndividuals / kPopulations;
    for (int p = 1; p <= kPopulations; ++p) {
      for (int i = 1; i <= per_population; ++i) {
        std::fprintf(f, "pop%d\tind%d_%d", p, p, i);
        for (int j = 0; j < kLoci; ++j) {
          state = state * 1664525u + 1013904223u;
          const unsigned u = state >> 24;  // 0..255
          const char* score = u < 5 ? "9" : (u & 1) ? "1" : "0";  // ~2% missing
          std::fputc('\t', f);
          std::fputs(score, f);
        }
        std::fputc('\n', f);
      }
    }
    std::fputs("END\n", f);
    std::fclose(f);
    bytes = std::filesystem::file_size(name);
  }
  ~GeneratedFile() { std::filesystem::remove(name); }
};

const GeneratedFile& data_file() {
  static const GeneratedFile file;
  return file;
}

void BM_FirstPass(benchmark::State& state) {
  const GeneratedFile& gen = data_file();
  BufferedLog log;
  int R = 0, m = 0;
  NameList loci;
  {
    TextLines text(gen.name);
    read_header_line(text, R, m, loci, log);
  }
  SubsetSelection none;
  NameList names = name_list(1, R);
  IMatrix counts = int_matrix(1, R, 1, m);
  IVector selected = int_vector(1, R), groups = int_vector(1, R), sizes = int_vector(1, R);
  DataLineFindings findings;
  for (auto _ : state) {
    TextLines text(gen.name);
    int ntot = 0;
    scan_populations(text, R, R, false, none, m, names, counts, selected, groups, sizes, ntot, findings, log);
    benchmark::DoNotOptimize(ntot);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(gen.bytes));
}
BENCHMARK(BM_FirstPass)->Unit(benchmark::kMillisecond);

// The band scores of a data file, read as a run reads them: the header line,
// the first pass keeping the scores, the second taking them.
struct LoadedScores {
  int R = 0, m = 0, ntot = 0;
  ScoreMatrix scores;
  IVector bounds;
};

LoadedScores load_scores(const GeneratedFile& gen, BufferedLog& log) {
  LoadedScores d;
  NameList loci;
  TextLines text(gen.name);
  read_header_line(text, d.R, d.m, loci, log);
  SubsetSelection none;
  NameList names = name_list(1, d.R);
  IMatrix counts = int_matrix(1, d.R, 1, d.m);
  IVector selected = int_vector(1, d.R), groups = int_vector(1, d.R), sizes = int_vector(1, d.R);
  DataLineFindings findings;
  ScannedScores scanned;
  scan_populations(text, d.R, d.R, false, none, d.m, names, counts, selected, groups, sizes, d.ntot, findings, log,
                   &scanned);
  d.scores = score_matrix(0, d.ntot - 1, 0, d.m - 1);
  d.bounds = int_vector(0, d.R);
  read_band_scores(scanned, d.R, false, d.m, selected, sizes, d.ntot, d.scores, d.bounds, log);
  return d;
}

void BM_BothPasses(benchmark::State& state) {
  const GeneratedFile& gen = data_file();
  BufferedLog log;
  for (auto _ : state) {
    const LoadedScores d = load_scores(gen, log);
    benchmark::DoNotOptimize(d.scores[d.ntot - 1][d.m - 1]);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(gen.bytes));
}
BENCHMARK(BM_BothPasses)->Unit(benchmark::kMillisecond);

void BM_StructureExport(benchmark::State& state) {
  const GeneratedFile& gen = data_file();
  BufferedLog log;
  const LoadedScores d = load_scores(gen, log);
  const int R = d.R, m = d.m;
  const ScoreMatrix& scores = d.scores;
  const IVector& bounds = d.bounds;
  const std::string out = (std::filesystem::temp_directory_path() / "bandscape_structure_bench.txt").string();
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(out);
    state.ResumeTiming();
    write_structure_file(out, R, m, scores, bounds, log);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(out)));
  std::filesystem::remove(out);
}
BENCHMARK(BM_StructureExport)->Unit(benchmark::kMillisecond);

}  // namespace
