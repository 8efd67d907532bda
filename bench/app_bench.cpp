// Micro-benchmarks of the run's front end: command-line parsing and the
// stream console's answer reading.  Neither is on a hot path; the figures
// show they cost nothing next to the statistics.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "app/command_line.hpp"
#include "app/terminal_console.hpp"

namespace {

void BM_ParseBatchCommandLine(benchmark::State& state) {
  const char* argv[] = {"bandscape", "--batch", "--seed", "12345", "-m", "4", "-F", "0.1", "-p", "1000",
                        "-b", "100", "--erase", "data.txt", "report.txt"};
  const int argc = static_cast<int>(sizeof argv / sizeof argv[0]);
  for (auto _ : state) {
    bandscape::ParseResult r = bandscape::parse_command_line(argc, argv);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_ParseBatchCommandLine);

void BM_StreamConsoleAnswers(benchmark::State& state) {
  std::string script;
  for (int i = 0; i < 1000; ++i) script += (i % 3 == 0) ? "\r\n" : "answer_word trailing\n";
  for (auto _ : state) {
    std::istringstream in(script);
    std::ostringstream out;
    bandscape::StreamConsole console(in, out);
    int words = 0;
    while (console.read_answer().kind != bandscape::Answer::kEnd) ++words;
    benchmark::DoNotOptimize(words);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_StreamConsoleAnswers);

}  // namespace
