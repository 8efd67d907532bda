// Helpers shared by the tests: a temporary working folder and file reading.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "core/message_log.hpp"
#include "core/run_files.hpp"
#include "numeric/array.hpp"
#include "numeric/parallel.hpp"

namespace bandscape::testing {

// Creates a fresh temporary folder and makes it the working directory for the
// lifetime of the object (the program writes error.txt and side files there).
class TempDir {
 public:
  TempDir() {
    // A name nobody holds yet (create_directory says whether it made it).
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = std::filesystem::temp_directory_path() / ("bandscape_test_" + std::to_string(entropy()));
      std::error_code ec;
      if (std::filesystem::create_directory(path_, ec)) break;
    }
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path old_;
};

// A MessageLog that keeps what was written: every text in order with its kind
// ("E:" echoed to the console and logged, "A:" logged only, "C:" shown on the
// console only), and the echoed and appended texts each joined into one string.
class RecordingLog : public MessageLog {
 public:
  void echo(const std::string& text) override {
    entries.push_back("E:" + text);
    echoed += text;
  }
  void append(const std::string& text) override {
    entries.push_back("A:" + text);
    appended += text;
  }
  void console(const std::string& text) override { entries.push_back("C:" + text); }
  std::vector<std::string> entries;
  std::string echoed;
  std::string appended;
};

// Starts `allowed` threads, counted in `started`, then throws what std::thread
// throws when the system has no thread left.
inline ThreadStarter refusing_thread_starter(int allowed, std::atomic<int>& started) {
  return [allowed, &started](std::function<void()> body) {
    if (started.load() >= allowed) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    ++started;
    return std::thread(std::move(body));
  };
}

// The files of a run in the working folder, with `report` as its report.
inline RunFiles files_with_report(const std::string& report) {
  RunFiles files = run_files("");
  files.report = report;
  return files;
}

// Makes `link`, a symbolic link to `target`; false where the system makes
// none (the C++ library of mingw-w64 has no create_symlink, and wine accepts
// CreateSymbolicLink without making a link), and the test is then skipped.
inline bool make_symlink(const std::string& target, const std::string& link) {
#ifdef _WIN32
  CreateSymbolicLinkA(link.c_str(), target.c_str(), 0x2 /* SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE */);
  const DWORD attributes = GetFileAttributesA(link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
  std::filesystem::create_symlink(target, link);
  return true;
#endif
}

inline std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void write_file(const std::filesystem::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

// Band scores score_matrix(0, rows - 1, 0, m - 1) from one string per individual
// Runs PHYLIP's `program` (through the `phylip` command) in the current
// folder on `input`, written to `input_file`, with the menu answers
// `answers`; returns its outtree, or "" when it failed.
inline std::string run_phylip(const std::string& program, const std::string& input_file, const std::string& input,
                              const std::string& answers) {
  std::filesystem::remove("outfile");
  std::filesystem::remove("outtree");
  write_file(input_file, input);
  write_file("answers", answers);
  return std::system(("phylip " + program + " < answers > screen 2>&1").c_str()) == 0 ? read_file("outtree") : "";
}

// ("1091" = scores 1, 0, 9, 1), and population bounds int_vector(0, r).
inline ScoreMatrix scores_from(const std::vector<std::string>& rows) {
  ScoreMatrix s = score_matrix(0, static_cast<int>(rows.size()) - 1, 0, static_cast<int>(rows.front().size()) - 1);
  for (int k = 0; k < s.rows(); ++k) {
    for (int i = 0; i < s.cols(); ++i) s[k][i] = rows[k][i] - '0';
  }
  return s;
}
inline IVector bounds_of(const std::vector<int>& b) {
  IVector v = int_vector(0, static_cast<int>(b.size()) - 1);
  for (int k = 0; k < v.size(); ++k) v[k] = b[k];
  return v;
}

}  // namespace bandscape::testing
