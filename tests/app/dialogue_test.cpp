// The setup dialogue, driven through a StreamConsole with scripted keys; the
// whole console text is compared.  The expected texts are the program's
// prompts and messages written out by hand, and the answers they lead to were
// worked out by hand from the question rules (Return takes the default, the
// method read as "%i" reads it, Fis and the counts only as a number standing
// alone, the Fis ranges of each method).
#include "app/dialogue.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "app/command_line.hpp"
#include "core/message_log.hpp"
#include "app/terminal_console.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

const std::string kInputPrompt =
    "\nEnter input file name (with ext) or press return for the default file aflpdata.txt\nInput file: ";
const std::string kOutputPrompt =
    "\nEnter output file name (with ext) or press return for the default file aflpout.txt\nOutput file: ";
const std::string kSubsetPrompt =
    "\nEnter subset file name (with ext) or press return if all populations have to be processed\nSubset file: ";
const std::string kNoSubset = "No subsetfile: all populations will be processed";

std::string exists_warning(const std::string& name) {
  return "\n\nWarning: output file \"" + name +
         "\" already exists.\n"
         "  Enter 'a' or press Return to add the new results to the end of the file\n"
         "  Enter 'e' to erase the present content of the file\n"
         "  Otherwise, enter a new name for the output file\n->";
}
std::string input_warning(const std::string& name) {
  return "\n\nWarning: cannot open input file \"" + name +
         "\"\n"
         "  If it is being used by another application, close it first, then press Return\n"
         "  Otherwise enter a new name for the input file\n"
         "  Press ctrl+c twice if you wish to stop the program now\n";
}
std::string subset_warning(const std::string& name) {
  return "\n\nWarning: cannot open subset file \"" + name +
         "\"\n"
         "  If it is being used by another application, close it first, then press Return\n"
         "  Otherwise enter a new name for the subset file\n"
         "  Press ctrl+c twice if you wish to stop the program now\n";
}

const std::string kMenu =
    "\n\n\n\nChoose a method of computation of allelic frequencies and press 'Return':"
    "\n Fragment frequencies (assuming fixed homozygosity).............1"
    "\n Square root method.............................................2"
    "\n Bayesian method with uniform prior distribution................3"
    "\n Bayesian method with non-uniform prior distribution............4  (default)\n->";
const std::string kFisQuestion =
    "\n\nIf you assume Hardy-Weinberg genotypic proportions, press 'Return'"
    "\nIf you assume deviation from Hardy-Weinberg genotypic proportions, enter Fis value and press 'Return' \n->";
const std::string kHardyWeinberg = "Hardy & Weinberg genotypic proportions assumed";
const std::string kPermQuestion =
    "\n\nEnter the number of permutations for test on Fst and press 'Return'"
    "\nIf you want to skip the test just press 'Return' \n->";
const std::string kNoPerm = "No permutations will be performed for test on Fst";
const std::string kBootQuestion =
    "\n\nEnter the number of bootstraps for genetic distances and press 'Return'"
    "\nIf you want to skip the bootstraps just press 'Return' \n->";
const std::string kNoBoot = "No bootstraps will be performed on genetic distances\n";

struct Outcome {
  std::string console;
  RunOptions options;
  bool fatal = false;
  int status = 0;
};

Outcome names(const std::string& keys, const CommandLine& cl = {}) {
  std::istringstream in(keys);
  std::ostringstream out;
  StreamConsole console(in, out);
  Outcome o;
  try {
    ask_file_names(console, cl, o.options);
  } catch (const FatalError& e) {
    o.fatal = true;
    o.status = e.status();
  }
  o.console = out.str();
  return o;
}

Outcome options(const std::string& keys, const CommandLine& cl = {}) {
  std::istringstream in(keys);
  std::ostringstream out;
  StreamConsole console(in, out);
  Outcome o;
  try {
    ask_options(console, cl, o.options);
  } catch (const FatalError& e) {
    o.fatal = true;
    o.status = e.status();
  }
  o.console = out.str();
  return o;
}

CommandLine parsed(std::vector<const char*> args) {
  args.insert(args.begin(), "bandscape");
  ParseResult r = parse_command_line(static_cast<int>(args.size()), args.data());
  EXPECT_EQ(r.kind, ParseResult::kRun) << r.text;
  return r.command_line;
}

// ------------------------------------------------------------------ names

TEST(FileNameDialogue, ReturnEverywhereTakesTheDefaultsAndCreatesTheReport) {
  TempDir dir;
  write_file("aflpdata.txt", "data");
  const Outcome o = names("\n\n\n");
  EXPECT_EQ(o.console, kInputPrompt + "aflpdata.txt" + kOutputPrompt + "aflpout.txt" + kSubsetPrompt + kNoSubset);
  EXPECT_EQ(o.options.input_file, "aflpdata.txt");
  EXPECT_EQ(o.options.output_file, "aflpout.txt");
  EXPECT_FALSE(o.options.use_subset);
  EXPECT_TRUE(std::filesystem::exists("aflpout.txt"));  // opened for appending
  EXPECT_EQ(read_file("aflpout.txt"), "");
}

TEST(FileNameDialogue, TypedNamesAreEchoedAndUsed) {
  TempDir dir;
  write_file("mydata.txt", "data");
  write_file("groups.txt", "subset");
  const Outcome o = names("mydata.txt\nreport.txt extra words\r\n  groups.txt\r");
  EXPECT_EQ(o.console, kInputPrompt + "mydata.txt\n" + kOutputPrompt + "report.txt extra words\n" + kSubsetPrompt +
                           "  groups.txt\n");
  EXPECT_EQ(o.options.input_file, "mydata.txt");
  EXPECT_EQ(o.options.output_file, "report.txt");
  EXPECT_EQ(o.options.subset_file, "groups.txt");
  EXPECT_TRUE(o.options.use_subset);
}

TEST(FileNameDialogue, ExistingReportAppendEraseOrNewName) {
  TempDir dir;
  write_file("aflpdata.txt", "data");
  const std::string head = kInputPrompt + "aflpdata.txt" + kOutputPrompt + "aflpout.txt" + kSubsetPrompt + kNoSubset;
  {
    write_file("aflpout.txt", "old results");
    const Outcome o = names("\n\n\na\n");
    EXPECT_EQ(o.console, head + exists_warning("aflpout.txt") + "a\n");
    EXPECT_EQ(read_file("aflpout.txt"), "old results");
  }
  {
    const Outcome o = names("\n\n\n\n");  // Return appends, and says so
    EXPECT_EQ(o.console, head + exists_warning("aflpout.txt") + "results will be appended to file aflpout.txt");
    EXPECT_EQ(read_file("aflpout.txt"), "old results");
  }
  {
    const Outcome o = names("\n\n\nE\n");
    EXPECT_EQ(o.console, head + exists_warning("aflpout.txt") + "E\nfile aflpout.txt erased");
    EXPECT_EQ(read_file("aflpout.txt"), "");
  }
  {
    // A new name that exists too is warned about again; "append" only begins
    // with 'a', so it is a name of its own (a new file).
    write_file("aflpout.txt", "old results");
    write_file("other.txt", "other results");
    const Outcome o = names("\n\n\nother.txt\nappend\n");
    EXPECT_EQ(o.console, head + exists_warning("aflpout.txt") + "other.txt\nresults will be appended to file other.txt" +
                             exists_warning("other.txt") + "append\nresults will be appended to file append");
    EXPECT_EQ(o.options.output_file, "append");
    EXPECT_EQ(read_file("other.txt"), "other results");
    EXPECT_EQ(read_file("append"), "");
  }
}

TEST(FileNameDialogue, MissingInputIsAskedAgainUntilItOpens) {
  TempDir dir;
  write_file("good.txt", "data");
  // Return retries the same name (warned again), then a name that opens.
  const Outcome o = names("nothere.txt\n\n\n\rgood.txt\n");
  EXPECT_EQ(o.console, kInputPrompt + "nothere.txt\n" + kOutputPrompt + "aflpout.txt" + kSubsetPrompt + kNoSubset +
                           input_warning("nothere.txt") + input_warning("nothere.txt") + "good.txt\n");
  EXPECT_EQ(o.options.input_file, "good.txt");
  EXPECT_FALSE(o.fatal);
}

TEST(FileNameDialogue, ThreeCommandLineNamesAskNothing) {
  TempDir dir;
  write_file("in.txt", "data");
  write_file("sub.txt", "subset");
  const Outcome o = names("", parsed({"in.txt", "out.txt", "sub.txt"}));
  // The subset line follows the output line without a line break.
  EXPECT_EQ(o.console, "\nInput file: in.txt\nOutput file: out.txtSubset file: sub.txt");
  EXPECT_EQ(o.options.subset_file, "sub.txt");
  EXPECT_TRUE(o.options.use_subset);
  EXPECT_TRUE(std::filesystem::exists("out.txt"));
}

#ifndef _WIN32
// FIFOs as data and subset files, with no writer yet: the names are settled
// without opening them (an opening would wait for a writer, and a second one
// by the run would find it gone), and an unreadable one is asked for again.
TEST(FileNameDialogue, FifosAreCheckedWithoutBeingOpened) {
  TempDir dir;
  ASSERT_EQ(mkfifo("in.fifo", 0600), 0);
  ASSERT_EQ(mkfifo("sub.fifo", 0600), 0);
  ASSERT_EQ(mkfifo("closed.fifo", 0200), 0);
  const Outcome o = names("", parsed({"in.fifo", "out.txt", "sub.fifo"}));
  EXPECT_FALSE(o.fatal);
  EXPECT_EQ(o.options.input_file, "in.fifo");
  EXPECT_EQ(o.options.subset_file, "sub.fifo");
  if (geteuid() != 0) {  // permissions do not bind the superuser
    const Outcome refused = names("in.fifo\n", parsed({"closed.fifo", "out.txt"}));
    EXPECT_EQ(refused.options.input_file, "in.fifo");
  }
}
#endif

TEST(FileNameDialogue, CommandLineSubsetThatCannotOpenIsAskedFor) {
  TempDir dir;
  write_file("in.txt", "data");
  write_file("sub2.txt", "subset");
  const Outcome o = names("sub2.txt\n", parsed({"in.txt", "out.txt", "sub.txt"}));
  EXPECT_EQ(o.console,
            "\nInput file: in.txt\nOutput file: out.txtSubset file: sub.txt" + subset_warning("sub.txt") + "sub2.txt\n");
  EXPECT_EQ(o.options.subset_file, "sub2.txt");
}

TEST(FileNameDialogue, PartialCommandLineAsksTheRest) {
  TempDir dir;
  write_file("in.txt", "data");
  {
    // One name: the input; output and subset are asked.
    const Outcome o = names("\n\n", parsed({"in.txt"}));
    EXPECT_EQ(o.console, "\nInput file: in.txt" + kOutputPrompt + "aflpout.txt" + kSubsetPrompt + kNoSubset);
    EXPECT_EQ(o.options.input_file, "in.txt");
  }
  {
    // --output alone: input and subset are asked.
    const Outcome o = names("in.txt\n\n", parsed({"-o", "rep.txt"}));
    EXPECT_EQ(o.console, kInputPrompt + "in.txt\n" + "\nOutput file: rep.txt" + kSubsetPrompt + kNoSubset);
    EXPECT_EQ(o.options.output_file, "rep.txt");
  }
  {
    // Input and output named: no subset question.
    const Outcome o = names("", parsed({"--output=rep2.txt", "in.txt"}));
    EXPECT_EQ(o.console, "\nInput file: in.txt\nOutput file: rep2.txt");
    EXPECT_FALSE(o.options.use_subset);
  }
  {
    // --erase answers the existing-report question.
    write_file("rep.txt", "old");
    const Outcome o = names("", parsed({"--erase", "in.txt", "rep.txt"}));
    EXPECT_EQ(o.console, "\nInput file: in.txt\nOutput file: rep.txt\nfile rep.txt erased");
    EXPECT_EQ(read_file("rep.txt"), "");
  }
}

TEST(FileNameDialogue, EndOfConsoleInput) {
  TempDir dir;
  write_file("aflpdata.txt", "data");
  {
    // Every prompt with a default takes it.
    write_file("aflpout.txt", "old");
    const Outcome o = names("");
    EXPECT_EQ(o.console, kInputPrompt + "aflpdata.txt" + kOutputPrompt + "aflpout.txt" + kSubsetPrompt + kNoSubset +
                             exists_warning("aflpout.txt") + "results will be appended to file aflpout.txt");
    EXPECT_FALSE(o.fatal);
    EXPECT_EQ(read_file("aflpout.txt"), "old");
  }
  {
    // A file that cannot be opened would be asked for for ever.
    const Outcome o = names("", parsed({"missing.txt", "out.txt"}));
    EXPECT_EQ(o.console, "\nInput file: missing.txt\nOutput file: out.txt" + input_warning("missing.txt") +
                             "\nEnd of console input: cannot go on");
    EXPECT_TRUE(o.fatal);
    EXPECT_EQ(o.status, 1);
  }
  {
    // The report cannot be created (no such folder): the key wait would loop.
    const Outcome o = names("", parsed({"aflpdata.txt", "nofolder/out.txt"}));
    EXPECT_EQ(o.console,
              "\nInput file: aflpdata.txt\nOutput file: nofolder/out.txt"
              "\nWarning: cannot open outputfile \"nofolder/out.txt\".\n"
              "If it is being used by another application, close it first. Then press Return.\n"
              "Press ctrl+c if you wish to stop the program now.\n"
              "\nEnd of console input: cannot go on");
    EXPECT_TRUE(o.fatal);
  }
  EXPECT_FALSE(std::filesystem::exists("error.txt"));  // the dialogue never logs
}

TEST(FileNameDialogue, BatchAsksNothingAndStopsOnFilesThatCannotOpen) {
  TempDir dir;
  {
    const Outcome o = names("should not be read\n", parsed({"--batch"}));
    EXPECT_EQ(o.console, "\nInput file: aflpdata.txt\nOutput file: aflpout.txt\ncannot open input file aflpdata.txt");
    EXPECT_TRUE(o.fatal);
    EXPECT_EQ(o.status, 1);
  }
  write_file("aflpdata.txt", "data");
  write_file("aflpout.txt", "old");
  {
    const Outcome o = names("", parsed({"--batch"}));
    EXPECT_EQ(o.console,
              "\nInput file: aflpdata.txt\nOutput file: aflpout.txt\nresults will be appended to file aflpout.txt");
    EXPECT_FALSE(o.fatal);
    EXPECT_EQ(read_file("aflpout.txt"), "old");
  }
  {
    const Outcome o = names("", parsed({"--batch", "-o", "nofolder/r.txt"}));
    EXPECT_EQ(o.console, "\nInput file: aflpdata.txt\nOutput file: nofolder/r.txt\ncannot open output file nofolder/r.txt");
    EXPECT_TRUE(o.fatal);
  }
  {
    const Outcome o = names("", parsed({"--batch", "--erase", "-s", "groups.txt"}));
    EXPECT_EQ(o.console,
              "\nInput file: aflpdata.txt\nOutput file: aflpout.txtSubset file: groups.txt"
              "\nfile aflpout.txt erased\ncannot open subset file groups.txt");
    EXPECT_TRUE(o.fatal);
    EXPECT_EQ(read_file("aflpout.txt"), "");
  }
}

std::string run_file_warning(const std::string& name) {
  return "\n\nWarning: output file \"" + name +
         "\" is also a file this run reads or writes\n"
         "  Enter a new name for the output file\n->";
}

// A report named like the data file, the subset file or a side file would
// destroy it: the name is refused and asked again (Return asks again too),
// the new name goes through the existing-report question, and a refused file
// is never opened for writing.
TEST(FileNameDialogue, ReportThatIsAFileOfTheRunIsAskedAgain) {
  TempDir dir;
  write_file("d.txt", "data");
  write_file("g.txt", "subset");
  write_file("old.txt", "old results");
  {
    // Typed names: the data file, Return, a side file, then an existing report.
    const Outcome o = names("d.txt\nd.txt\n\n\rstructure.txt\nold.txt\ne\n");
    EXPECT_EQ(o.console, kInputPrompt + "d.txt\n" + kOutputPrompt + "d.txt\n" + kSubsetPrompt + kNoSubset +
                             run_file_warning("d.txt") + run_file_warning("d.txt") + "structure.txt\n" +
                             run_file_warning("structure.txt") + "old.txt\n" + exists_warning("old.txt") +
                             "e\nfile old.txt erased");
    EXPECT_EQ(o.options.output_file, "old.txt");
    EXPECT_EQ(read_file("d.txt"), "data");
    EXPECT_FALSE(std::filesystem::exists("structure.txt"));
  }
  {
    // Names from the command line of an interactive run, --erase given: the
    // subset file is refused through another spelling of its path.
    const Outcome o = names("new.txt\n", parsed({"--erase", "d.txt", "./x/../g.txt", "g.txt"}));
    EXPECT_EQ(o.console, "\nInput file: d.txt\nOutput file: ./x/../g.txtSubset file: g.txt" +
                             run_file_warning("./x/../g.txt") + "new.txt\n");
    EXPECT_EQ(o.options.output_file, "new.txt");
    EXPECT_EQ(read_file("g.txt"), "subset");
  }
  {
    // A subset name typed after its file could not be opened names the
    // report: the report is asked again.
    const Outcome o = names("\nold.txt\nnew2.txt\n", parsed({"d.txt", "old.txt", "nosuch.txt"}));
    EXPECT_EQ(o.console, "\nInput file: d.txt\nOutput file: old.txtSubset file: nosuch.txt" + exists_warning("old.txt") +
                             "results will be appended to file old.txt" + subset_warning("nosuch.txt") + "old.txt\n" +
                             run_file_warning("old.txt") + "new2.txt\n");
    EXPECT_EQ(o.options.output_file, "new2.txt");
    EXPECT_EQ(o.options.subset_file, "old.txt");
  }
  {
    // No name can come any more: the run stops.
    const Outcome o = names("", parsed({"d.txt", "error.txt"}));
    EXPECT_EQ(o.console, "\nInput file: d.txt\nOutput file: error.txt" + run_file_warning("error.txt") +
                             "\nEnd of console input: cannot go on");
    EXPECT_TRUE(o.fatal);
  }
  {
    // Batch, with --erase: the run stops before any file is touched.
    const Outcome o = names("", parsed({"--batch", "--erase", "d.txt", "d.txt"}));
    EXPECT_EQ(o.console, "\nInput file: d.txt\nOutput file: d.txt\noutput file d.txt is also a file this run reads or writes");
    EXPECT_TRUE(o.fatal);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(read_file("d.txt"), "data");
  }
}

// --outdir: relative report names, typed or given, are placed in the folder,
// which is created with its parents once the names are settled; an absolute
// name stays where it is; the side files compared with the report are those
// of the folder.
TEST(FileNameDialogue, OutputFolderHoldsTheReport) {
  TempDir dir;
  write_file("d.txt", "data");
  {
    const Outcome o = names("rep.txt\n\n", parsed({"--outdir", "res/a", "d.txt"}));
    EXPECT_EQ(o.console, "\nInput file: d.txt" + kOutputPrompt + "rep.txt\n" + kSubsetPrompt + kNoSubset);
    EXPECT_EQ(o.options.output_file, "res/a/rep.txt");
    EXPECT_TRUE(std::filesystem::exists("res/a/rep.txt"));
  }
  {
    const std::string absolute = (dir.path() / "abs.txt").string();
    const Outcome o = names("", parsed({"--batch", "--outdir", "res/b", "d.txt", absolute.c_str()}));
    EXPECT_FALSE(o.fatal);
    EXPECT_EQ(o.options.output_file, absolute);
    EXPECT_TRUE(std::filesystem::exists("abs.txt"));
    EXPECT_TRUE(std::filesystem::is_directory("res/b"));
  }
  {
    // error.txt of the working folder is not the run's error log; res/c's is.
    write_file("error.txt", "");
    const Outcome o = names("", parsed({"--batch", "--outdir", "res/c", "d.txt", "../../error.txt"}));
    EXPECT_FALSE(o.fatal) << o.console;
    const Outcome p = names("", parsed({"--batch", "--outdir", "res/c", "d.txt", "error.txt"}));
    EXPECT_EQ(p.console, "\nInput file: d.txt\nOutput file: res/c/error.txt"
                         "\noutput file res/c/error.txt is also a file this run reads or writes");
  }
  {
    // A folder that cannot be made (a file is in the way): the run stops.
    write_file("taken", "");
    const Outcome o = names("", parsed({"--batch", "--outdir", "taken/x", "d.txt", "r.txt"}));
    EXPECT_EQ(o.console, "\nInput file: d.txt\nOutput file: taken/x/r.txt\ncannot create folder taken/x: Not a directory");
    EXPECT_TRUE(o.fatal);
  }
}

// ------------------------------------------------------------------ options

TEST(OptionsDialogue, ReturnOrEndOfInputTakesTheDefaults) {
  for (const char* keys : {"\n\n\n\n", ""}) {
    const Outcome o = options(keys);
    EXPECT_EQ(o.console,
              kMenu + "4" + kFisQuestion + kHardyWeinberg + kPermQuestion + kNoPerm + kBootQuestion + kNoBoot);
    EXPECT_FALSE(o.fatal);
    EXPECT_EQ(o.options.method, 4);
    EXPECT_EQ(o.options.fis, 0.0f);
    EXPECT_EQ(o.options.permutations, 0);
    EXPECT_EQ(o.options.bootstraps, 0);
  }
}

TEST(OptionsDialogue, InvalidMethodsReprintTheMenuSilently) {
  // 0, 5 and a word are refused; "08" reads as octal 0 followed by junk.
  const Outcome o = options("0\n5\nword\n08\n3\n\n\n\n");
  EXPECT_EQ(o.console, kMenu + "0\n" + kMenu + "5\n" + kMenu + "word\n" + kMenu + "08\n" + kMenu + "3\n" + kFisQuestion +
                           kHardyWeinberg + kPermQuestion + kNoPerm + kBootQuestion + kNoBoot);
  EXPECT_EQ(o.options.method, 3);
}

TEST(OptionsDialogue, MethodIsReadAsCReadsAnInteger) {
  // "%i": leading 0 octal, 0x hexadecimal, trailing characters ignored.
  EXPECT_EQ(options("03\n\n\n\n").options.method, 3);
  EXPECT_EQ(options("0x3\n\n\n\n").options.method, 3);
  EXPECT_EQ(options("2abc\n\n\n\n").options.method, 2);
  EXPECT_EQ(options("+1\n\n\n").options.method, 1);
}

TEST(OptionsDialogue, FragmentFrequenciesAskNoFis) {
  const Outcome o = options("1\n\n\n");
  EXPECT_EQ(o.console, kMenu + "1\n" + kPermQuestion + kNoPerm + kBootQuestion + kNoBoot);
  EXPECT_EQ(o.options.fis, 9.0f);
}

TEST(OptionsDialogue, FisLimitsOfTheSquareRootMethod) {
  // %f of the float nearest -1.01 rounds to -1.010000.
  const Outcome o = options("2\n1.5\n-1.01\nabc\n-1.0\n\n\n");
  EXPECT_EQ(o.console, kMenu + "2\n" + kFisQuestion + "1.5\n\nvalue of Fis = 1.500000 outside the range -1.0 to 1.0" +
                           kFisQuestion + "-1.01\n\nvalue of Fis = -1.010000 outside the range -1.0 to 1.0" +
                           kFisQuestion + "abc\n\nvalue of Fis is invalid" + kFisQuestion + "-1.0\n" + kPermQuestion +
                           kNoPerm + kBootQuestion + kNoBoot);
  EXPECT_EQ(o.options.fis, -1.0f);
  EXPECT_EQ(options("2\n0\n\n\n").options.fis, 0.0f);
  EXPECT_EQ(options("2\n1.0\n\n\n").options.fis, 1.0f);
}

TEST(OptionsDialogue, BayesianMethodsRefuseNegativeFis) {
  // -0.2 as a float is -0.200000003, printed -0.200000.
  const Outcome o = options("4\n-0.2\n0.3\n\n\n");
  EXPECT_EQ(o.console, kMenu + "4\n" + kFisQuestion + "-0.2\n" +
                           "\nvalue of Fis = -0.200000 outside the range 0.0 to 1.0 of the Bayesian methods" +
                           kFisQuestion + "0.3\n" + kPermQuestion + kNoPerm + kBootQuestion + kNoBoot);
  EXPECT_EQ(o.options.fis, 0.3f);
  // Outside -1..1 the general range message comes first.
  const Outcome o3 = options("3\n-2\n\n\n\n");
  EXPECT_EQ(o3.console, kMenu + "3\n" + kFisQuestion + "-2\n\nvalue of Fis = -2.000000 outside the range -1.0 to 1.0" +
                            kFisQuestion + kHardyWeinberg + kPermQuestion + kNoPerm + kBootQuestion + kNoBoot);
}

TEST(OptionsDialogue, CountsRefuseNegativeAndNonNumericAnswers) {
  const Outcome o = options("1\n-5\nabc\n0\n-1\n99999999999\n+12\n");
  EXPECT_EQ(o.console, kMenu + "1\n" + kPermQuestion + "-5\n\nvalue of number of permutations = -5 cannot be negative" +
                           kPermQuestion + "abc\n\nvalue of number of permutations is invalid" + kPermQuestion +
                           "0\n" + kBootQuestion + "-1\n\nvalue of number of bootstraps = -1 cannot be negative" +
                           kBootQuestion + "99999999999\n\nvalue of number of bootstraps is invalid" + kBootQuestion +
                           "+12\n");
  EXPECT_EQ(o.options.permutations, 0);
  EXPECT_EQ(o.options.bootstraps, 12);
}

// An answer that holds more than the number (an exponent, a decimal comma,
// letters, a second number, not a number at all) is refused whole with the
// question's "invalid" message; blanks around the number are allowed.  A Fis
// written with an exponent is a number: out of range, it gets the range
// message, as on the command line.
TEST(OptionsDialogue, NumbersMustStandAlone) {
  const std::vector<std::string> not_counts = {"1e9", "1e3", "0,3", "12abc", "1 2", "nan", "inf"};
  std::string junk;  // their keys
  for (const auto& answer : not_counts) junk += answer + "\n";
  auto refused = [&](const std::string& question, const std::string& message) {
    std::string text;  // the console for them
    for (const auto& answer : not_counts) text += question + answer + "\n" + message;
    return text;
  };
  const Outcome o = options("2\n1e3\n1e-1x\n0,3\n12abc\n0.3 0.4\nnan\ninf\n \t-0.25 \n" + junk + " 12 \n" + junk +
                            "\t7 \n");
  const std::string fis_invalid = "\nvalue of Fis is invalid";
  EXPECT_EQ(o.console, kMenu + "2\n" + kFisQuestion + "1e3\n\nvalue of Fis = 1000.000000 outside the range -1.0 to 1.0" +
                           kFisQuestion + "1e-1x\n" + fis_invalid + kFisQuestion + "0,3\n" + fis_invalid +
                           kFisQuestion + "12abc\n" + fis_invalid + kFisQuestion + "0.3 0.4\n" + fis_invalid +
                           kFisQuestion + "nan\n" + fis_invalid + kFisQuestion + "inf\n" + fis_invalid +
                           kFisQuestion + " \t-0.25 \n" +
                           refused(kPermQuestion, "\nvalue of number of permutations is invalid") + kPermQuestion +
                           " 12 \n" + refused(kBootQuestion, "\nvalue of number of bootstraps is invalid") +
                           kBootQuestion + "\t7 \n");
  EXPECT_EQ(o.options.fis, -0.25f);
  EXPECT_EQ(o.options.permutations, 12);
  EXPECT_EQ(o.options.bootstraps, 7);
  // The exponent form of an accepted Fis, and the method menu's own reading.
  EXPECT_EQ(options("2\n2.5e-1\n\n\n").options.fis, 0.25f);
  EXPECT_EQ(options("03 x\n\n\n\n").options.method, 3);
}

TEST(OptionsDialogue, CommandLineAnswersAreNotAsked) {
  {
    const Outcome o = options("", parsed({"-m", "2", "-F", "-0.5", "-p", "100", "-b", "10"}));
    EXPECT_EQ(o.console, "");
    EXPECT_EQ(o.options.method, 2);
    EXPECT_EQ(o.options.fis, -0.5f);
    EXPECT_EQ(o.options.permutations, 100);
    EXPECT_EQ(o.options.bootstraps, 10);
  }
  {
    // Only the bootstraps are left to ask.
    const Outcome o = options("7\n", parsed({"-m", "3", "-F", "0.1", "-p", "5"}));
    EXPECT_EQ(o.console, kBootQuestion + "7\n");
    EXPECT_EQ(o.options.bootstraps, 7);
  }
  {
    // A negative Fis given before the method is chosen in the dialogue: the
    // Bayesian default refuses it and asks for Fis.
    const Outcome o = options("\n0.2\n\n\n", parsed({"--fis=-0.1"}));
    EXPECT_EQ(o.console, kMenu + "4" + "\nvalue of Fis = -0.100000 outside the range 0.0 to 1.0 of the Bayesian methods" +
                             kFisQuestion + "0.2\n" + kPermQuestion + kNoPerm + kBootQuestion + kNoBoot);
    EXPECT_EQ(o.options.fis, 0.2f);
  }
  {
    // Batch: defaults for everything not given, nothing printed.
    const Outcome o = options("3\n0.5\n", parsed({"--batch", "-b", "4"}));
    EXPECT_EQ(o.console, "");
    EXPECT_EQ(o.options.method, 4);
    EXPECT_EQ(o.options.fis, 0.0f);
    EXPECT_EQ(o.options.permutations, 0);
    EXPECT_EQ(o.options.bootstraps, 4);
  }
}

}  // namespace
}  // namespace bandscape
