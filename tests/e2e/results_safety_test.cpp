// The results folder (--results) kept as safe as the classic files: no file
// the run reads is ever one of its files, no link is followed and no special
// file opened under its names, the folder is taken only when empty or holding
// an earlier run (whose files are then all removed), and no file is left
// half-written under its real name after a failure or an interruption.
// Each case is refused (or survives) before any other file is touched: the
// inputs keep their bytes and no report or error.txt is made.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/system_file.hpp"
#include "core/utf8_text.hpp"
#include "e2e/run_program.hpp"
#include "pty.hpp"
#include "report/tables/results_tables.hpp"
#include "test_util.hpp"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define BANDSCAPE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define BANDSCAPE_SANITIZED 1
#endif
#endif

namespace bandscape {
namespace {

namespace fs = std::filesystem;
using testing::ends_with;
using testing::expect_fatal;
using testing::Outcome;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

const fs::path kData = fs::path(BANDSCAPE_TEST_DATA) / "e2e";
const fs::path kDart = fs::path(BANDSCAPE_TEST_DATA) / "dart";
// Every analysis that writes into the results folder.
const char* const kFull = "--batch --seed 5 -p 20 -b 5 --amova-permutations 20 ";
const char* const kShort = "--batch --seed 5 ";

Outcome run(const std::string& args, const std::string& prefix = "") { return testing::run_program(args, "", prefix); }

std::set<std::string> names_in(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

nlohmann::json record_of(const std::string& folder) { return nlohmann::json::parse(read_file(folder + "/run.json")); }

// Removes everything of the current folder but `keep`.
void clear_folder_but(const std::set<std::string>& keep) {
  for (const auto& entry : fs::directory_iterator("."))
    if (keep.count(entry.path().filename().string()) == 0) fs::remove_all(entry.path());
}

// A data, subset, populations file or report that is a file of the results
// folder, by its name, by a hard link, or through ".." and a link to the
// folder, is refused with the reason before any file is touched; the data
// keeps its bytes and run.json records nothing.
TEST(ResultsSafety, InputsAndReportNamedLikeResultsFilesAreRefused) {
  TempDir dir;
  fs::copy_file(kData / "four_pops.txt", "d.txt");
  fs::copy_file(kData / "subset.txt", "g.txt");
  const std::string data = read_file("d.txt");
  struct Case {
    std::string setup, args, message;
  };
  const std::vector<Case> cases = {
      {"individuals.tsv", "--results . individuals.tsv r.txt",
       "\ninput file individuals.tsv is also the results file ./individuals.tsv"},
      {"hard res/individuals.tsv", "--results res d.txt r.txt",
       "\ninput file d.txt is also the results file res/individuals.tsv"},
      {"link", "--results res/../lnk d.txt r.txt", "\ninput file d.txt is also the results file res/../lnk/run.json"},
      {"", "--results res d.txt res/distances.tsv",
       "\noutput file res/distances.tsv is also a file this run reads or writes"},
      {"", "--results res d.txt res/summary.html",
       "\noutput file res/summary.html is also a file this run reads or writes"},
      {"", "--results res --outdir o d.txt res/run.json",
       "\noutput file o/res/run.json is also a file this run reads or writes"},
      {"subset", "--results res d.txt r.txt res/populations.tsv",
       "\nsubset file res/populations.tsv is also the results file res/populations.tsv"},
      {"meta", "--results res --format silicodart --populations res/individuals.tsv report.csv r.txt",
       "\npopulations file res/individuals.tsv is also the results file res/individuals.tsv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    clear_folder_but({"d.txt", "g.txt"});
    if (c.setup == "individuals.tsv") fs::copy_file("d.txt", "individuals.tsv");
    if (c.setup == "hard res/individuals.tsv") {
      fs::create_directory("res");
      fs::create_hard_link("d.txt", "res/individuals.tsv");
    }
    if (c.setup == "link") {
      // lnk/run.json is d.txt: lnk is a link to the working folder, d.txt run.json's hard link.
      fs::create_directory("res");
      fs::create_directory_symlink(".", "lnk");
      fs::create_hard_link("d.txt", "run.json");
    }
    if (c.setup == "subset") {
      fs::create_directory("res");
      fs::copy_file("g.txt", "res/populations.tsv");
    }
    if (c.setup == "meta") {
      fs::create_directory("res");
      fs::copy_file(kDart / "populations.csv", "res/individuals.tsv");
      fs::copy_file(kDart / "report.csv", "report.csv");
    }
    const std::set<std::string> before = names_in(".");
    const std::string meta = c.setup == "meta" ? read_file("res/individuals.tsv") : "";
    expect_fatal(run(kShort + c.args), c.message);
    EXPECT_EQ(read_file("d.txt"), data);
    if (c.setup == "meta") {
      EXPECT_EQ(read_file("res/individuals.tsv"), meta);
    }
    EXPECT_EQ(names_in("."), before);  // no report, error.txt or side file made
    if (fs::exists("res")) {
      EXPECT_FALSE(fs::exists("res/run.json"));
    }
  }
}

// A symbolic link, a FIFO or a folder under a results file's name (or its
// temporary name) is refused with the side files' message before anything is
// written; the link's target keeps its bytes and a FIFO does not hold the run.
TEST(ResultsSafety, LinksAndSpecialFilesUnderResultsNamesAreRefused) {
  TempDir dir;
  fs::copy_file(kData / "four_pops.txt", "d.txt");
  write_file("victim.txt", "precious");
  ASSERT_EQ(run(std::string(kShort) + "--results res d.txt r.txt").status, 0);
  const std::string earlier_record = read_file("res/run.json");
  struct Case {
    std::string name, kind, message;
  };
  const std::vector<Case> cases = {
      {"tree_nei_nj.nwk", "link", "\ncannot open file res/tree_nei_nj.nwk: it is a symbolic link"},
      {"summary.html", "link", "\ncannot open file res/summary.html: it is a symbolic link"},
      {"distances.tsv.partial", "link", "\ncannot open file res/distances.tsv.partial: it is a symbolic link"},
      {"permutations.tsv", "fifo", "\ncannot open file res/permutations.tsv: it is not a regular file"},
      {"run.json.partial", "fifo", "\ncannot open file res/run.json.partial: it is not a regular file"},
      {"distances.tsv", "folder", "\ncannot open file res/distances.tsv: it is not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clear_folder_but({"d.txt", "victim.txt", "res"});
    const std::string path = "res/" + c.name;
    fs::remove_all(path);
    if (c.kind == "link") fs::create_symlink("../victim.txt", path);
    if (c.kind == "fifo") {
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    }
    if (c.kind == "folder") fs::create_directory(path);
    const Outcome out = run(std::string(kFull) + "--results res d.txt r.txt", "timeout 60");
    expect_fatal(out, c.message);
    EXPECT_EQ(read_file("victim.txt"), "precious");
    EXPECT_EQ(read_file("res/run.json"), earlier_record);
    EXPECT_FALSE(fs::exists("r.txt"));
    EXPECT_FALSE(fs::exists("error.txt"));
    fs::remove_all(path);
  }
}

// The folder belongs to the run: an earlier, fuller run's files are all gone
// after a shorter run (the folder and its page hold what a run into an empty
// folder holds); a folder holding anything else is refused with the reason
// and left as it was; the run's own report may lie in the folder.
TEST(ResultsSafety, TheFolderHoldsThisRunsFilesOnly) {
  TempDir dir;
  fs::copy_file(kData / "four_pops.txt", "d.txt");
  const std::string fewer = "--batch --seed 5 --no-relatedness --amova-permutations 0 ";
  ASSERT_EQ(run(fewer + "--results fresh d.txt r.txt").status, 0);
  const std::set<std::string> short_run = names_in("fresh");
  ASSERT_EQ(run(std::string(kFull) + "--results res d.txt r.txt").status, 0);
  const std::set<std::string> full_run = names_in("res");
  ASSERT_GT(full_run.size(), short_run.size() + 10);
  // Every file a run writes is one the next run removes.
  const std::vector<std::string>& own = results_file_names();
  for (const std::string& name : full_run) EXPECT_NE(std::find(own.begin(), own.end(), name), own.end()) << name;

  const Outcome again = run(fewer + "--results res d.txt r.txt");
  ASSERT_EQ(again.status, 0) << again.console;
  EXPECT_EQ(names_in("res"), short_run);
  const std::string page = read_file("res/summary.html");
  for (const std::string& name : full_run) {
    const bool linked = page.find("href=\"" + name + "\"") != std::string::npos;
    EXPECT_EQ(linked, short_run.count(name) == 1 && name != "summary.html") << name;
  }
  EXPECT_EQ(record_of("res")["status"], "complete");

  // The report of the run inside its own results folder, run twice.
  ASSERT_EQ(run(std::string(kShort) + "--results own d.txt own/r.txt").status, 0);
  const Outcome twice = run(std::string(kShort) + "--erase --results own d.txt own/r.txt");
  EXPECT_EQ(twice.status, 0) << twice.console;

  struct Case {
    std::string file, content, message;
  };
  const std::string earlier_record = read_file("res/run.json");
  const std::string hint = "; give an empty folder or one of an earlier run";
  const std::vector<Case> cases = {
      {"distances.tsv", "my own table\n",
       "\ncannot use results folder mine: it holds mine/distances.tsv but no run.json of an earlier run of this "
       "program" + hint},
      {"notes.txt", "field notes\n",
       "\ncannot use results folder mine: it holds notes.txt, which no run of this program wrote" + hint},
      {"run.json", "{\"program\": \"other\"}\n",
       "\ncannot use results folder mine: it holds mine/run.json but no run.json of an earlier run of this program" +
           hint},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    clear_folder_but({"d.txt"});
    fs::create_directory("mine");
    write_file("mine/" + c.file, c.content);
    if (c.file == "notes.txt") write_file("mine/run.json", earlier_record);  // an earlier run and a foreign file
    expect_fatal(run(std::string(kShort) + "--results mine d.txt r.txt"), c.message);
    EXPECT_EQ(read_file("mine/" + c.file), c.content);
    EXPECT_FALSE(fs::exists("r.txt"));
    EXPECT_FALSE(fs::exists("error.txt"));
  }
}

// A folder that cannot be taken, and a resampling count whose values would
// not fit in memory, end the run with the reason (the system's, or the
// option's); memory refused during a step names the last finished step; both
// are recorded in run.json when it exists.  A thread count beyond reason is
// lowered with one console line and gives the same files.
TEST(ResultsSafety, MessagesGiveTheReason) {
  TempDir dir;
  fs::copy_file(kData / "four_pops.txt", "d.txt");
  struct Case {
    std::string setup, args, message, prefix;
  };
  const std::vector<Case> cases = {
      {"dangling", "--results res",
       "\ncannot create folder res: it is a symbolic link to missing, which does not exist", ""},
      {"file", "--results res", "\ncannot create folder res: it is a file, not a folder", ""},
      {"file", "--results res/sub", "\ncannot create folder res/sub: " + std::string(std::strerror(ENOTDIR)), ""},
      {"", "--results res -p 2147483647", "", "\n--permutations 2147483647 would keep 25.8 GB of permuted values"},
      {"", "--results res --amova-permutations 2147483647", "",
       "\n--amova-permutations 2147483647 would keep 103.1 GB of permuted values"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    clear_folder_but({"d.txt"});
    if (c.setup == "dangling") fs::create_symlink("missing", "res");
    if (c.setup == "file") write_file("res", "a file");
    const Outcome out = run(kShort + c.args + " d.txt r.txt");
    if (!c.message.empty()) {
      expect_fatal(out, c.message);
      EXPECT_FALSE(fs::exists("r.txt"));
      continue;
    }
    if (physical_memory_bytes() > 103'000'000'000ULL) continue;  // the counts would fit
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(out.errors.rfind(c.prefix.substr(1), 0), 0u) << out.errors;
    EXPECT_EQ(record_of("res")["status"], "failed");
    EXPECT_EQ(record_of("res")["error"].get<std::string>() + "\n", out.errors);
  }

#ifndef BANDSCAPE_SANITIZED
  {
    // 100 million AMOVA permutations fit in this machine's memory but not
    // in a 1 GB address space: the run stops in the AMOVA, after Table 3.
    SCOPED_TRACE("address-space limit");
    clear_folder_but({"d.txt"});
    const Outcome out = run(std::string(kShort) + "--amova-permutations 100000000 --results res d.txt r.txt",
                            "prlimit --as=1000000000");
    expect_fatal(out, "\nout of memory after step statistics of the run");
    EXPECT_EQ(record_of("res")["status"], "failed");
    EXPECT_EQ(record_of("res")["error"], "out of memory after step statistics of the run");
    EXPECT_TRUE(ends_with(read_file("error.txt"), "\nout of memory after step statistics of the run"));
  }
#endif

  {
    SCOPED_TRACE("threads");
    clear_folder_but({"d.txt"});
    ASSERT_EQ(run(std::string(kFull) + "--threads 2 --results two d.txt two.txt").status, 0);
    const Outcome out = run(std::string(kFull) + "--threads 5000 --results many d.txt many.txt");
    ASSERT_EQ(out.status, 0) << out.console;
    const int most = std::max(8, 4 * static_cast<int>(std::thread::hardware_concurrency()));
    const std::string line = "\n5000 worker threads asked (--threads); " + std::to_string(most) +
                             " used, 4 times the hardware threads or at least 8";
    EXPECT_NE(out.console.find(line), std::string::npos) << out.console;
    EXPECT_EQ(out.console.find(line), out.console.rfind(line));
    EXPECT_EQ(read_file("many.txt"), read_file("two.txt"));
    for (const std::string& name : names_in("two")) {
      if (name != "run.json" && name != "summary.html") {
        EXPECT_EQ(read_file("many/" + name), read_file("two/" + name)) << name;
      }
    }
  }
}

// Names holding a quote, an apostrophe, markup, a Latin-1 byte, more than
// 20 bytes, and a locus name whose UTF-8 character the 20-byte key cuts:
// every file of the folder is valid UTF-8, with the population names in full;
// error.txt warns once of the conversion, and R's read.delim (defaults) reads
// every table whole: as many rows and columns as the file has lines and
// header cells, the population names as written (converted where they are
// not UTF-8); ape::read.tree reads every Newick file with each
// tip the name or its substitute in tip_names.tsv.  A native population name
// of several words is warned; SilicoDArT names that the 20-byte key would
// merge stop the run.
TEST(ResultsSafety, HostileNamesAreValidUtf8AndReadBackWhole) {
  TempDir dir;
  const std::vector<std::string> raw = {"Val_d'H\xC3\xA9rens", "Sta\"tion", "ABCDEFGHIJKLMNOPQRS\xC3\xBC_and_more",
                                        "Z\xFCrich<script>"};
  const std::vector<std::string> expected = {"Val_d'H\xC3\xA9rens", "Sta\"tion", "ABCDEFGHIJKLMNOPQRS\xC3\xBC_and_more",
                                             "Z\xC3\xBCrich<script>"};
  // The third locus name is cut by the 20-character key inside its ü; the
  // results folder names it in full.
  std::string data = "4\t4\t101\t102\tABCDEFGHIJKLMNOPQRS\xC3\xBC_long_locus\t104\n";
  for (std::size_t k = 0; k < raw.size(); ++k) {
    for (int i = 0; i < 3; ++i) {
      data += raw[k] + "\tI" + std::to_string(k) + std::to_string(i);
      for (int j = 0; j < 4; ++j) data += (j + i + k) % 3 == 0 ? "\t1" : "\t0";
      data += "\n";
    }
  }
  write_file("h.txt", data + "END\n");
  const Outcome out = run(std::string(kShort) + "--results res h.txt r.txt");
  ASSERT_EQ(out.status, 0) << out.console;
  const std::string warning = "\n\nWarning! names in file h.txt are not all UTF-8: read as Windows-1252 (Latin-1) "
                              "and written as UTF-8 in the results folder";
  const std::string log = read_file("error.txt");
  EXPECT_NE(log.find(warning), std::string::npos) << log;
  EXPECT_EQ(log.find(warning), log.rfind(warning));
  EXPECT_NE(read_file("res/frequencies.tsv").find("\tABCDEFGHIJKLMNOPQRS\xC3\xBC_long_locus\t"), std::string::npos);
  std::string tables;
  for (const std::string& name : names_in("res")) {
    bool converted = false;
    const std::string text = read_file("res/" + name);
    EXPECT_EQ(utf8_text(text, converted), text) << name;
    EXPECT_FALSE(converted) << name;
    if (!ends_with(name, ".tsv")) continue;
    // Lines and header cells: no name here holds a tab or a line end.
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    const std::string header = text.substr(0, text.find('\n'));
    tables += name + "\t" + std::to_string(lines - 1) + "\t" +
              std::to_string(std::count(header.begin(), header.end(), '\t') + 1) + "\n";
  }
  {
    // A native population field of several words is named by its first one,
    // with a warning that gives the line, the field and the word.
    SCOPED_TRACE("white space");
    std::string spaced = data;
    spaced.replace(spaced.find("Sta\"tion"), 8, "Val M\xC3\xBCstair");
    write_file("s.txt", spaced + "END\n");
    ASSERT_EQ(run(std::string(kShort) + "s.txt s_report.txt").status, 0);
    const std::string warning = "\nWARNING! the population name \"Val M\xC3\xBCstair\" on line 5 of file s.txt holds "
                                "white space: the population is named by its first word, Val";
    const std::string spaced_log = read_file("error.txt");
    EXPECT_NE(spaced_log.find(warning), std::string::npos) << spaced_log;
  }
  {
    // SilicoDArT populations whose names share their first 20 characters
    // would be one population of the native file: the run stops instead.
    SCOPED_TRACE("DArT");
    write_file("m.csv", "id,pop\nS1,Population_of_the_north_A\nS2,Population_of_the_north_B\nS3,c\nS4,c\n"
                        "S5,b\nS6,b\n");
    expect_fatal(run(std::string(kShort) + "--format silicodart --populations m.csv --results dart '" +
                     (kDart / "report.csv").string() + "' d.txt"),
                 "\npop Population_of_the_north_A in row 2 and pop Population_of_the_north_B in row 3 of file m.csv "
                 "differ only after their first 20 characters, which name a population: they would be merged");
  }
  if (std::system("Rscript --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no Rscript";
  const std::string script = std::string(BANDSCAPE_SOURCE_DIR) + "/tests/e2e/read_results_tables.R";
  ASSERT_EQ(std::system(("Rscript '" + script + "' res read.txt tips.txt > /dev/null 2>&1").c_str()), 0);
  // R sorts the file names by its locale: the tables are compared as a set.
  const auto lines_of = [](const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
      lines.push_back(text.substr(at, end - at));
    return lines;
  };
  std::vector<std::string> read = lines_of(read_file("read.txt"));
  ASSERT_GT(read.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(read.end() - static_cast<long>(expected.size()), read.end()), expected);
  read.resize(read.size() - expected.size());
  std::sort(read.begin(), read.end());
  EXPECT_EQ(read, lines_of(tables));

  // Every tip ape reads is a name as written, or its substitute mapped in
  // tip_names.tsv (the apostrophe: ape reads neither it unquoted nor a quoted name).
  EXPECT_EQ(read_file("res/tip_names.tsv"), "name\ttip\nVal_d'H\xC3\xA9rens\tVal_d_H\xC3\xA9rens\n");
  const std::set<std::string> population_tips = {"Val_d_H\xC3\xA9rens", "Sta\"tion",
                                                 "ABCDEFGHIJKLMNOPQRS\xC3\xBC_and_more", "Z\xC3\xBCrich<script>"};
  const std::vector<std::string> tips = lines_of(read_file("tips.txt"));
  EXPECT_GT(tips.size(), 20u);
  for (const std::string& line : tips) {
    const std::string file = line.substr(0, line.find('\t')), tip = line.substr(line.find('\t') + 1);
    if (file.starts_with("tree_individuals")) {
      EXPECT_EQ(tip.size(), 3u) << line;  // I<population><individual>
      EXPECT_EQ(tip[0], 'I') << line;
    } else {
      EXPECT_EQ(population_tips.count(tip), 1u) << line;
    }
  }
}

// The program started in the current folder with BANDSCAPE_SLOW_WRITE set to
// `slow` (the test hook that holds that results file two seconds before it is
// renamed into place), its streams on /dev/null and both signals unblocked.
pid_t start_slowed(const std::string& args, const std::string& slow) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int fd = open("/dev/null", O_RDWR);
  dup2(fd, 0);
  dup2(fd, 1);
  dup2(fd, 2);
  setenv("BANDSCAPE_SLOW_WRITE", slow.c_str(), 1);
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  execl("/bin/sh", "sh", "-c", ("exec '" + std::string(BANDSCAPE_EXE) + "' " + args).c_str(), nullptr);
  _exit(127);
}

// No file is left cut off under its real name.  A signal while a results file
// is being written (each step: the first table, the trees' table, the page)
// ends the run by that signal with run.json "interrupted" and no summary.html;
// a file-size limit (a full disk) at several sizes ends it with run.json
// "failed" (when it can still be written), no summary.html and no temporary
// file, and every results file present holds what a complete run wrote.
TEST(ResultsSafety, NothingIsLeftHalfWritten) {
  TempDir dir;
  fs::copy_file(kData / "four_pops.txt", "d.txt");
  const std::string args = std::string(kFull) + "--results res d.txt r.txt";
  ASSERT_EQ(run(args).status, 0);
  std::map<std::string, std::string> complete;
  for (const std::string& name : names_in("res")) complete[name] = read_file("res/" + name);

  for (const std::string slow : {"individuals.tsv", "trees.tsv", "summary.html"}) {
    for (const int sig : {SIGTERM, SIGINT}) {
      SCOPED_TRACE(slow + " " + std::to_string(sig));
      clear_folder_but({"d.txt", "res"});
      const pid_t pid = start_slowed(args, slow);
      const bool writing = testing::wait_until([&] { return fs::exists("res/" + slow + ".partial"); }, 60);
      kill(pid, sig);
      int status = 0;
      waitpid(pid, &status, 0);
      ASSERT_TRUE(writing);
      ASSERT_TRUE(WIFSIGNALED(status)) << status;
      EXPECT_EQ(WTERMSIG(status), sig);
      const nlohmann::json record = record_of("res");
      EXPECT_EQ(record["status"], "interrupted");
      EXPECT_EQ(record["signal"], sig == SIGTERM ? "SIGTERM" : "SIGINT");
      EXPECT_FALSE(record.contains("exit_status"));
      EXPECT_FALSE(fs::exists("res/" + slow));
      EXPECT_FALSE(fs::exists("res/summary.html"));
      for (const std::string& name : names_in("res")) EXPECT_FALSE(ends_with(name, ".partial")) << name;
    }
  }

  // 2000 bytes: run.json as described at the seed (2.2 kB) does not fit;
  // 12000: relatedness.tsv (15.7 kB); 50000: summary.html (59 kB), while the
  // report (48.7 kB) does.
  for (const int limit : {2000, 12000, 50000}) {
    SCOPED_TRACE(limit);
    clear_folder_but({"d.txt", "res"});
    const Outcome out = run(args, "prlimit --fsize=" + std::to_string(limit));
    EXPECT_EQ(out.status, 1) << out.console;
    EXPECT_NE(out.errors.find(std::strerror(EFBIG)), std::string::npos) << out.errors;
    EXPECT_FALSE(fs::exists("res/summary.html"));
    for (const std::string& name : names_in("res")) {
      SCOPED_TRACE(name);
      EXPECT_FALSE(ends_with(name, ".partial"));
      if (name != "run.json") {
        EXPECT_EQ(read_file("res/" + name), complete[name]);
      }
    }
    if (fs::exists("res/run.json")) {
      const nlohmann::json record = record_of("res");
      EXPECT_EQ(record["status"], "failed");
      EXPECT_EQ(record["error"], out.errors.substr(0, out.errors.size() - 1));
    }
  }
}

}  // namespace
}  // namespace bandscape
