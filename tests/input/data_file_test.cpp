// The data file reader: the worked five-line example, field parsing, labels
// and populations, every fatal message with its line number and file name,
// Windows line ends and byte-order marks, fragment sizes.
//
// Unless a test says otherwise, expected values are worked by hand from the
// file text written in the test: line numbers count from 1 at the header, and
// a message names the line last read.
#include "input/data_file.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>

#include "app/dialogue.hpp"
#include "input/input_test_util.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::fatal_log;
using testing::ints_of;
using testing::load;
using testing::load_failure;
using testing::Loaded;
using testing::names_of;
using testing::RecordingLog;
using testing::rows_of;
using testing::TempDir;
using testing::write_file;
using Rows = std::vector<std::vector<int>>;
using Texts = std::vector<std::string>;

// The five-line example: two populations, three loci named by fragment size.
const char* const kExample =
    "2\t3\t100\t152.5\t210\n"
    "popA\tind1\t1\t0\t9\n"
    "popA\tind2\t1\t1\t0\n"
    "popB\tind3\t0\t0\t1\n"
    "END\t\t\t\t\n";

class RecordingConsole : public Console {
 public:
  void print(const std::string& text) override { printed += text; }
  Answer read_answer() override { return {}; }
  void wait_for_key() override {}
  std::string printed;
};

void expect_example(const Loaded& d) {
  EXPECT_EQ(d.R, 2);
  EXPECT_EQ(d.m, 3);
  EXPECT_EQ(names_of(d.loci), (Texts{"100", "152.5", "210"}));
  EXPECT_EQ(names_of(d.populations), (Texts{"popA", "popB"}));
  EXPECT_EQ(rows_of(d.counts), (Rows{{2, 2, 1}, {1, 1, 1}}));
  EXPECT_EQ(ints_of(d.file_sizes, 1, 2), (std::vector<int>{2, 1}));
  EXPECT_EQ(d.ntot, 3);
  EXPECT_EQ(rows_of(d.scores), (Rows{{1, 0, 9}, {1, 1, 0}, {0, 0, 1}}));
  EXPECT_EQ(ints_of(d.bounds, 0, 2), (std::vector<int>{0, 2, 3}));
}

TEST(DataFileExample, ReadsEveryResult) {
  TempDir dir;
  write_file("example.txt", kExample);
  RecordingLog log;
  Loaded d;
  load(d, "example.txt", "", log);
  expect_example(d);
  EXPECT_TRUE(log.entries.empty());

  int available = -1;
  FVector sizes = float_vector(1, 3);
  locus_names_to_sizes(available, d.m, d.loci, sizes, log);
  EXPECT_EQ(available, 1);
  EXPECT_EQ(sizes[1], 100.0f);
  EXPECT_EQ(sizes[2], 152.5f);
  EXPECT_EQ(sizes[3], 210.0f);

  RecordingConsole console;
  echo_loaded_data(console, "example.txt", "out.txt", d.r, d.m, d.populations);
  EXPECT_EQ(console.printed,
            "\n\nThe following information have been successfully loaded from \"example.txt\""
            "\n\tnumber of populations: 2\n\tname of populations: popA popB\n\tnumber of loci: 3"
            "\n\nResults will be written to file \"out.txt\"\n");
}

TEST(DataFileExample, WindowsLineEndsAndByteOrderMarkReadTheSame) {
  TempDir dir;
  std::string crlf;
  for (const char* c = kExample; *c; ++c) crlf += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
  write_file("crlf.txt", crlf);
  write_file("bom.txt", "\xEF\xBB\xBF" + std::string(kExample));
  write_file("both.txt", "\xEF\xBB\xBF" + crlf);
  for (const char* name : {"crlf.txt", "bom.txt", "both.txt"}) {
    SCOPED_TRACE(name);
    RecordingLog log;
    Loaded d;
    load(d, name, "", log);
    expect_example(d);
  }
  // The carriage return is not part of the rest of the line in a message.
  write_file("crlf_empty.txt", "1\t2\tA\tB\r\npopA\ti1\t1\t\r\nEND\r\n");
  EXPECT_EQ(load_failure("crlf_empty.txt"),
            (Texts{"E:\ncannot read int from \n on line 2 from file crlf_empty.txt"}));
}

// read_score and scan_int follow "%d": white space (tabs and line breaks too)
// is skipped, trailing characters are ignored, overflow clamps to the int range.
TEST(DataFileFields, ScoresReadLikeDecimalConversion) {
  RecordingLog log;
  auto score = [&](const char* text) {
    int v = -7;
    read_score(text, v, "f.txt", 4, log);
    return v;
  };
  EXPECT_EQ(score("1"), 1);
  EXPECT_EQ(score(" 1\t0\n"), 1);
  EXPECT_EQ(score("1x"), 1);
  EXPECT_EQ(score("+0"), 0);
  EXPECT_EQ(score("09"), 9);
  EXPECT_EQ(score(" \t9\n"), 9);  // a blank field reads the next field's number
  EXPECT_TRUE(log.entries.empty());

  auto failure = [](const char* text) {
    return fatal_log([&](MessageLog& l) {
      int v = 0;
      read_score(text, v, "f.txt", 4, l);
    });
  };
  EXPECT_EQ(failure("2\t1\n"), (Texts{"E:\nAn incorrect value of 2 was found on line 4 from file f.txt"}));
  EXPECT_EQ(failure("-1"), (Texts{"E:\nAn incorrect value of -1 was found on line 4 from file f.txt"}));
  EXPECT_EQ(failure("10"), (Texts{"E:\nAn incorrect value of 10 was found on line 4 from file f.txt"}));
  EXPECT_EQ(failure("99999999999"),
            (Texts{"E:\nAn incorrect value of 2147483647 was found on line 4 from file f.txt"}));
  EXPECT_EQ(failure("ab\t1\n"), (Texts{"E:\ncannot read int from ab\t1\n on line 4 from file f.txt"}));
  EXPECT_EQ(failure("-x"), (Texts{"E:\ncannot read int from -x on line 4 from file f.txt"}));
  EXPECT_EQ(failure("\n"), (Texts{"E:\ncannot read int from \n on line 4 from file f.txt"}));

  // Limits: INT_MAX and INT_MIN exactly, one beyond each clamps.
  const char* texts[] = {"2147483647", "2147483648", "-2147483648", "-2147483649", "-0", "12ab"};
  const int expected[] = {INT_MAX, INT_MAX, INT_MIN, INT_MIN, 0, 12};
  for (int k = 0; k < 6; ++k) {
    const char* p = texts[k];
    int v = 0;
    ASSERT_TRUE(scan_int(p, v)) << texts[k];
    EXPECT_EQ(v, expected[k]) << texts[k];
  }
  const char* p = "12ab";
  int v = 0;
  scan_int(p, v);
  EXPECT_STREQ(p, "ab");  // stops at the first non-digit
}

TEST(DataFileFields, WordsAndTabs) {
  RecordingLog log;
  std::string word;
  read_word("  abc def\n", word, 20, "f.txt", 2, log);
  EXPECT_EQ(word, "abc");
  read_word("abcdefghijklmnopqrstuvwxyz\t1", word, 20, "f.txt", 2, log);
  EXPECT_EQ(word, "abcdefghijklmnopqrst");
  EXPECT_STREQ(next_field("a\tb\tc", "f.txt", 2, log), "b\tc");
  EXPECT_STREQ(next_field("a\t\n", "f.txt", 2, log), "\n");  // an empty last field passes here
  EXPECT_STREQ(skip_field("\t\tx", "f.txt", 2, log), "\tx");  // no empty-field test
  EXPECT_TRUE(log.entries.empty());

  EXPECT_EQ(fatal_log([](MessageLog& l) {
              std::string w;
              read_word(" \t\n", w, 20, "f.txt", 2, l);
            }),
            (Texts{"E:\ncannot read string from  \t\n on line 2 from file f.txt"}));
  EXPECT_EQ(fatal_log([](MessageLog& l) { next_field("a\t\tb", "f.txt", 2, l); }),
            (Texts{"E:\ntwo consecutive tabs on line 2 from file f.txt"}));
  EXPECT_EQ(fatal_log([](MessageLog& l) { skip_field("abc\n", "f.txt", 2, l); }),
            (Texts{"E:\ntab not found one column missing on line 2 from file f.txt"}));
}

TEST(DataFileHeader, CountsAndLocusNamesByTabPosition) {
  TempDir dir;
  RecordingLog log;
  int R = 0, m = 0;
  NameList loci;
  write_file("h1.txt", "3\t5\tL1\tL2\tL3\tL4\tabcdefghijklmnopqrstuvw more\n");
  TextLines h1("h1.txt");
  read_header_line(h1, R, m, loci, log);
  EXPECT_EQ(R, 3);
  EXPECT_EQ(m, 5);
  EXPECT_EQ(names_of(loci), (Texts{"L1", "L2", "L3", "L4", "abcdefghijklmnopqrst"}));

  // R and m in one field: the names shift by one field, so L1 is lost.
  write_file("h2.txt", "3 5\tL1\tL2\tL3\tL4\tL5\tL6\n");
  TextLines h2("h2.txt");
  read_header_line(h2, R, m, loci, log);
  EXPECT_EQ(names_of(loci), (Texts{"L2", "L3", "L4", "L5", "L6"}));
  write_file("h3.txt", "3 5\tL1\tL2\tL3\tL4\tL5\n");
  EXPECT_EQ(fatal_log([](MessageLog& l) {
              int R = 0, m = 0;
              NameList loci;
              TextLines h3("h3.txt");
              read_header_line(h3, R, m, loci, l);
            }),
            (Texts{"E:\ntab not found one column missing on line 1 from file h3.txt"}));
  EXPECT_TRUE(log.entries.empty());
}

TEST(DataFileHeader, FatalMessages) {
  TempDir dir;
  auto header_failure = [](const std::string& name) {
    return fatal_log([&](MessageLog& l) {
      int R = 0, m = 0;
      NameList loci;
      TextLines text(name);
      read_header_line(text, R, m, loci, l);
    });
  };
  EXPECT_EQ(header_failure("absent.txt"), (Texts{"E:\ncannot open inputfile absent.txt"}));
  write_file("h.txt", "two\t3\tA\tB\tC\n");
  EXPECT_EQ(header_failure("h.txt"), (Texts{"E:\ncannot read r and m on line 1 from file h.txt"}));
  write_file("h.txt", "2\n");
  EXPECT_EQ(header_failure("h.txt"), (Texts{"E:\ncannot read r and m on line 1 from file h.txt"}));
  // "%d%d" skips the empty field, but field 2 may not be empty.
  write_file("h.txt", "2\t\t3\tA\tB\tC\n");
  EXPECT_EQ(header_failure("h.txt"), (Texts{"E:\ntwo consecutive tabs on line 1 from file h.txt"}));
  write_file("h.txt", "2\t3\tA\t\n");
  EXPECT_EQ(header_failure("h.txt"), (Texts{"E:\ncannot read string from \n on line 1 from file h.txt"}));
  write_file("h.txt", "");
  EXPECT_EQ(header_failure("h.txt"),
            (Texts{"E:\nEnd of file encountered before END message on line 1 from file h.txt"}));
  // A folder opens for reading but cannot be read; Windows does not open it.
  std::filesystem::create_directory("folder");
#ifdef _WIN32
  EXPECT_EQ(header_failure("folder"), (Texts{"E:\ncannot open inputfile folder"}));
#else
  EXPECT_EQ(header_failure("folder"), (Texts{"E:\ncannot read line 1 from file folder"}));
#endif
}

// Counts on line 1 that no file could satisfy end the run at line 1, before
// any array is sized from them.  Expected texts worked by hand from the files.
TEST(DataFileHeader, ImpossibleCountsAreFatalAtLineOne) {
  TempDir dir;
  auto header_failure = [](const std::string& body) {
    write_file("h.txt", body);
    return fatal_log([](MessageLog& l) {
      int R = 0, m = 0;
      NameList loci;
      TextLines text("h.txt");
      read_header_line(text, R, m, loci, l);
    });
  };
  const std::string data = "p\ti\t1\nEND\n";
  EXPECT_EQ(header_failure("1\t0\n" + data),
            (Texts{"E:\nnumber of loci 0 on line 1 from file h.txt is not a positive count"}));
  EXPECT_EQ(header_failure("1\t-3\tA\n" + data),
            (Texts{"E:\nnumber of loci -3 on line 1 from file h.txt is not a positive count"}));
  EXPECT_EQ(header_failure("0\t1\tA\n" + data),
            (Texts{"E:\nnumber of populations 0 on line 1 from file h.txt is not a positive count"}));
  // 2000000000 loci: the line runs out of tabs long before, and nothing was
  // allocated for the names.
  EXPECT_EQ(header_failure("1\t2000000000\tA\tB\n" + data),
            (Texts{"E:\ntab not found one column missing on line 1 from file h.txt"}));
  // 2000000000 populations of one locus in a file of 18 bytes: R x m > 18.
  EXPECT_EQ(header_failure("2000000000\t1\tA\n" + data),
            (Texts{"E:\nnumber of populations 2000000000 on line 1 from file h.txt is more than the file holds"}));
  // A count beyond the int range reads as INT_MAX, like strtol.
  EXPECT_EQ(header_failure("99999999999\t1\tA\n" + data),
            (Texts{"E:\nnumber of populations 2147483647 on line 1 from file h.txt is more than the file holds"}));
  // 3 populations x 2 loci = 6 <= the 20 bytes of this file: accepted here,
  // and the first pass then names the real fault.
  write_file("ok.txt", "3\t2\tA\tB\np\ti\t1\t0\nEND\n");
  EXPECT_EQ(load_failure("ok.txt"), (Texts{"E:\nEND message encountered after 1 pop on line 3 from file ok.txt",
                                           "E:\np"}));
}

TEST(DataFileLines, ScoreFieldsAndEmptyFields) {
  TempDir dir;
  // Blank individual name, a score " 1", a score "1x", a field of one space that
  // reads the number of the field after it, extra fields ignored.
  write_file("d.txt",
             "1\t4\tA\tB\tC\tD\n"
             "p\t\t 1\t1x\t \t0\textra\t7\n"
             "END\n");
  RecordingLog log;
  Loaded d;
  load(d, "d.txt", "", log);
  EXPECT_EQ(rows_of(d.scores), (Rows{{1, 1, 0, 0}}));
  EXPECT_TRUE(log.entries.empty());

  const std::string head = "1\t2\tA\tB\n";
  write_file("d.txt", head + "p\ti\t1\t\t0\nEND\n");
  EXPECT_EQ(load_failure("d.txt"), (Texts{"E:\ntwo consecutive tabs on line 2 from file d.txt"}));
  write_file("d.txt", head + "p\ti\t1\t\nEND\n");
  EXPECT_EQ(load_failure("d.txt"), (Texts{"E:\ncannot read int from \n on line 2 from file d.txt"}));
  write_file("d.txt", head + "p\ti\t1\t0\np\ti\t1\nEND\n");
  EXPECT_EQ(load_failure("d.txt"), (Texts{"E:\ntab not found one column missing on line 3 from file d.txt"}));
  write_file("d.txt", head + "p\ti\tno\t1\nEND\n");
  EXPECT_EQ(load_failure("d.txt"), (Texts{"E:\ncannot read int from no\t1\n on line 2 from file d.txt"}));
  write_file("d.txt", head + "p\ti\t1\t2\nEND\n");
  EXPECT_EQ(load_failure("d.txt"), (Texts{"E:\nAn incorrect value of 2 was found on line 2 from file d.txt"}));
  write_file("d.txt", head + "p\ti\t1\t1\n\nEND\n");
  EXPECT_EQ(load_failure("d.txt"), (Texts{"E:\ncannot read string from \n on line 3 from file d.txt"}));
  write_file("d.txt", head);
  EXPECT_EQ(load_failure("d.txt"),
            (Texts{"E:\nEnd of file encountered before END message on line 2 from file d.txt"}));
}

TEST(DataFilePopulations, LabelsAndEndLine) {
  TempDir dir;
  // Labels of 21 characters that agree in the first 20: one population.
  write_file("long.txt",
             "1\t1\tA\n"
             "abcdefghijklmnopqrstX\ti\t1\n"
             "abcdefghijklmnopqrstY\ti\t9\n"
             "END\n");
  RecordingLog log;
  Loaded d;
  load(d, "long.txt", "", log);
  EXPECT_EQ(names_of(d.populations), (Texts{"abcdefghijklmnopqrst"}));
  EXPECT_EQ(rows_of(d.counts), (Rows{{1}}));
  EXPECT_EQ(d.ntot, 2);

  // A label met again after another population forms a third population.
  write_file("again.txt", "3\t1\tA\npopA\ti\t1\npopB\ti\t0\npopB\ti\t0\npopA\ti\t9\nEND\n");
  Loaded e;
  load(e, "again.txt", "", log);
  EXPECT_EQ(names_of(e.populations), (Texts{"popA", "popB", "popA"}));
  EXPECT_EQ(ints_of(e.file_sizes, 1, 3), (std::vector<int>{1, 2, 1}));
  EXPECT_EQ(rows_of(e.counts), (Rows{{1}, {2}, {0}}));
  EXPECT_EQ(ints_of(e.bounds, 0, 3), (std::vector<int>{0, 1, 3, 4}));

  // Lines after the R-th population are not read, whatever they hold.
  write_file("more.txt", "1\t1\tA\npopA\ti\t1\nrest\tof\tthe file\n");
  Loaded f;
  load(f, "more.txt", "", log);
  EXPECT_EQ(f.ntot, 1);
  EXPECT_TRUE(log.entries.empty());

  // END after 2 of 3 populations, on line 5: the message, then the names read.
  write_file("early.txt", "3\t1\tA\npopA\ti\t1\npopA\ti\t1\npopB\ti\t0\nEND\n");
  EXPECT_EQ(load_failure("early.txt"),
            (Texts{"E:\nEND message encountered after 2 pop on line 5 from file early.txt", "E:\npopA", "E:\npopB"}));
  // No end line after the last population: line 4 does not exist.
  write_file("noend.txt", "2\t1\tA\npopA\ti\t1\npopB\ti\t0\n");
  EXPECT_EQ(load_failure("noend.txt"),
            (Texts{"E:\nEnd of file encountered before END message on line 4 from file noend.txt"}));
}

TEST(DataFilePasses, CountMismatch) {
  TempDir dir;
  ScoreMatrix scores = score_matrix(0, 1, 0, 0);
  IVector selected = int_vector(1, 1), sizes = int_vector(1, 1), bounds = int_vector(0, 1);
  // The second pass trusts the first pass's line counts; a different ntot is
  // reported and the run goes on.
  write_file("d.txt", "1\t1\tA\np\ti\t1\nEND\n");
  sizes[1] = 1;
  RecordingLog log;
  ScannedScores scanned;
  scanned.new_row(1)[0] = 1;
  read_band_scores(scanned, 1, false, 1, selected, sizes, 2, scores, bounds, log);
  EXPECT_EQ(log.entries, (Texts{"E:\nError in readata: ind_tot different from ntot"}));
  EXPECT_EQ(ints_of(bounds, 0, 1), (std::vector<int>{0, 1}));
}

TEST(DataFileErrorLog, FatalMessageAndNamesGoToErrorTxt) {
  TempDir dir;
  write_file("early.txt", "3\t1\tA\npopA\ti\t1\npopB\ti\t0\nEND\n");
  ErrorLogFile log("error.txt");
  Loaded d;
  // The error names the file and the line at fault, and carries the names found.
  try {
    load(d, "early.txt", "", log);
    ADD_FAILURE() << "no error";
  } catch (const InputError& error) {
    EXPECT_EQ(error.file(), "early.txt");
    EXPECT_EQ(error.line(), 4);
    EXPECT_STREQ(error.what(), "\nEND message encountered after 2 pop on line 4 from file early.txt\npopA\npopB");
  }
  EXPECT_EQ(testing::read_file("error.txt"),
            "\nEND message encountered after 2 pop on line 4 from file early.txt\npopA\npopB");
}

TEST(FragmentSizes, LeadingNumbersOfLocusNames) {
  RecordingLog log;
  NameList loci = name_list(1, 5);
  const char* given[] = {"100", "152.5", "210bp", "1e2", "inf"};
  for (int k = 1; k <= 5; ++k) loci[k] = given[k - 1];
  FVector sizes = float_vector(1, 5);
  int available = -1;
  locus_names_to_sizes(available, 5, loci, sizes, log);
  EXPECT_EQ(available, 1);
  EXPECT_EQ(sizes[1], 100.0f);
  EXPECT_EQ(sizes[2], 152.5f);
  EXPECT_EQ(sizes[3], 210.0f);
  EXPECT_EQ(sizes[4], 100.0f);
  EXPECT_TRUE(std::isinf(sizes[5]));
  EXPECT_TRUE(log.entries.empty());

  // The first name without a number stops the conversion: two log-only lines.
  loci[2] = "L1";
  loci[4] = "L2";
  sizes.fill(0.0f);
  locus_names_to_sizes(available, 5, loci, sizes, log);
  EXPECT_EQ(available, 0);
  EXPECT_EQ(sizes[1], 100.0f);
  EXPECT_EQ(log.entries,
            (Texts{"A:\n\nName of locus 2 = L1 could not be transformed to a floating point value",
                   "A:\nThus the correlation between fragment size and frequency could not be performed"}));
}

}  // namespace
}  // namespace bandscape
