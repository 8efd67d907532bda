// The setup dialogue.
#include "app/dialogue.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/message_log.hpp"
#include "core/output_file.hpp"
#include "core/results_folder.hpp"
#include "core/run_files.hpp"
#include "freq/frequency_method.hpp"
#include "report/tables/results_tables.hpp"

namespace bandscape {
namespace {

constexpr const char* kDefaultInput = "aflpdata.txt";
constexpr const char* kDefaultOutput = "aflpout.txt";

// Whether `name` opens for reading.  A directory opens too on this system but
// cannot be read as text, so it counts as a file that cannot be opened.
// A FIFO is not opened here: opening it would meet the writer, and closing it
// again would leave the writer without a reader (its data lost, the run's own
// opening waiting for ever); its read permission is asked instead.
bool can_read(const std::string& name) {
#ifdef S_ISFIFO
  struct stat named {};
  if (stat(name.c_str(), &named) == 0 && S_ISFIFO(named.st_mode)) return access(name.c_str(), R_OK) == 0;
#endif
  std::FILE* f = std::fopen(name.c_str(), "r");
  if (!f) return false;
  struct stat st {};
  const bool directory = fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode);
  std::fclose(f);
  return !directory;
}

// Whether `name` opens for appending (which creates it when it is missing).
bool can_append(const std::string& name) {
  OutputFile f;
  if (!f.open(name, OpenMode::kAppend, Links::kFollow)) return false;
  f.close();
  return true;
}

[[noreturn]] void stop(Console& console, const std::string& message) {
  console.print(message);
  throw FatalError(message, 1);
}

[[noreturn]] void end_of_input(Console& console) { stop(console, "\nEnd of console input: cannot go on"); }

// The integer at the start of `word` as "%i" reads it: a leading 0 means
// octal, 0x hexadecimal; characters after the number are ignored.
bool scan_integer_any_base(const std::string& word, long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtol(word.c_str(), &end, 0);
  return end != word.c_str() && errno != ERANGE;
}

// `typed` without the white space around it.
std::string trimmed(const std::string& typed) {
  const char* blanks = " \t\n\v\f\r";
  const size_t b = typed.find_first_not_of(blanks);
  if (b == std::string::npos) return {};
  return typed.substr(b, typed.find_last_not_of(blanks) - b + 1);
}

// A decimal integer, optionally signed, and nothing else but white space
// around it.  A number beyond the int range counts as unread.
bool read_whole_int(const std::string& typed, int& value) {
  const std::string text = trimmed(typed);
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

// A finite real number read into a float, and nothing else but white space
// around it.
bool read_whole_float(const std::string& typed, float& value) {
  const std::string text = trimmed(typed);
  char* end = nullptr;
  value = std::strtof(text.c_str(), &end);
  return !text.empty() && *end == '\0' && std::isfinite(value);
}

bool is_bayesian(int method) { return method == kBayesUniform || method == kBayesNonUniform; }

std::string bayesian_range_message(float fis) {
  return format("\nvalue of Fis = %f outside the range 0.0 to 1.0 of the Bayesian methods", fis);
}

// Repeats the warning and asks for a new name while `name` cannot be read.
// Return tries the same name again.  `what` names the file in the warning and
// in the batch message.
void check_readable(Console& console, bool batch, std::string& name, const char* what) {
  while (!can_read(name)) {
    if (batch) stop(console, format("\ncannot open %s file %s", what, name.c_str()));
    console.print(format("\n\nWarning: cannot open %s file %c%s%c\n"
                         "  If it is being used by another application, close it first, then press Return\n"
                         "  Otherwise enter a new name for the %s file\n"
                         "  Press ctrl+c twice if you wish to stop the program now\n",
                         what, '"', name.c_str(), '"', what));
    const Answer a = console.read_answer();
    if (a.kind == Answer::kEnd) end_of_input(console);
    if (a.kind == Answer::kWord) name = a.word;
  }
}

// Whether the report would be a file that the run reads (the data or subset
// file) or one of the side files it writes, in which case appending to it or
// emptying it would destroy that file.
bool is_file_of_the_run(const std::string& output, const RunOptions& options, const RunFiles& files) {
  if (same_file(output, options.input_file)) return true;
  if (options.use_subset && same_file(output, options.subset_file)) return true;
  if (!options.populations_file.empty() && same_file(output, options.populations_file)) return true;
  if (!options.coordinates_file.empty() && same_file(output, options.coordinates_file)) return true;
  if (!options.replicates_file.empty() && same_file(output, options.replicates_file)) return true;
  for (const std::string& side : side_files(files)) {
    if (same_file(output, side)) return true;
  }
  if (!files.results.empty()) {
    for (const std::string& name : results_file_names()) {
      if (same_file(output, in_folder(files.results, name))) return true;
    }
  }
  return false;
}

std::string output_clash(const std::string& output) {
  return format("\noutput file %s is also a file this run reads or writes", output.c_str());
}

// The results folder, settled before the run touches any file: no file the
// run reads (the data, subset and populations files) and no report named on
// the command line of a batch run may be one of its files (the same file or
// the same resolved name), and the folder must be this run's to take
// (core/results_folder.hpp).
void take_results_folder(Console& console, const CommandLine& cl, const RunFiles& files, const RunOptions& options) {
  const std::pair<const char*, std::string> inputs[] = {
      {"input", options.input_file},
      {"subset", options.use_subset ? options.subset_file : std::string()},
      {"populations", options.populations_file},
      {"coordinates", options.coordinates_file},
      {"replicates", options.replicates_file}};
  for (const auto& [what, input] : inputs) {
    if (input.empty()) continue;
    for (const std::string& name : results_file_names()) {
      const std::string result = in_folder(files.results, name);
      if (same_file(input, result)) {
        stop(console, format("\n%s file %s is also the results file %s", what, input.c_str(), result.c_str()));
      }
    }
  }
  if (cl.batch && is_file_of_the_run(options.output_file, options, files)) {
    stop(console, output_clash(options.output_file));
  }
  std::vector<std::string> own = side_files(files);
  own.push_back(options.output_file);
  try {
    claim_results_folder(files.results, "BANDSCAPE", results_file_names(), own);
  } catch (const OutputError& error) {
    stop(console, error.what());
  }
}

// Settles the report's name and what happens to an existing report: a name
// that is a file of the run is refused (batch: the run ends before any file
// is touched); then an existing report is appended to (Return or "a"), erased
// ("e"), or replaced by a new name, which is checked again from the start.
void settle_output(Console& console, const CommandLine& cl, const RunFiles& files, RunOptions& options) {
  std::string& output = options.output_file;
  for (;;) {
    while (is_file_of_the_run(output, options, files)) {
      if (cl.batch) stop(console, output_clash(output));
      console.print(format("\n\nWarning: output file %c%s%c is also a file this run reads or writes\n"
                           "  Enter a new name for the output file\n->",
                           '"', output.c_str(), '"'));
      const Answer a = console.read_answer();
      if (a.kind == Answer::kEnd) end_of_input(console);
      if (a.kind == Answer::kWord) output = in_folder(files.folder, a.word);
    }
    if (cl.erase) {
      if (can_read(output)) {
        truncate_file(output);
        console.print(format("\nfile %s erased", output.c_str()));
      }
      return;
    }
    if (cl.batch) {
      if (can_read(output)) console.print(format("\nresults will be appended to file %s", output.c_str()));
      return;
    }
    if (!can_read(output)) return;
    console.print(format("\n\nWarning: output file %c%s%c already exists.\n"
                         "  Enter 'a' or press Return to add the new results to the end of the file\n"
                         "  Enter 'e' to erase the present content of the file\n"
                         "  Otherwise, enter a new name for the output file\n->",
                         '"', output.c_str(), '"'));
    const Answer a = console.read_answer();
    if (a.kind != Answer::kWord) {  // Return, or the end of input taking the default
      console.print(format("results will be appended to file %s", output.c_str()));
      return;
    }
    if (a.word == "e" || a.word == "E") {
      truncate_file(output);
      console.print(format("file %s erased", output.c_str()));
      return;
    }
    if (a.word == "a" || a.word == "A") return;
    output = in_folder(files.folder, a.word);
    console.print(format("results will be appended to file %s", output.c_str()));
  }
}

// Creates the output folder, with its parents, when it is missing.
void make_output_folder(Console& console, const std::string& folder) {
  if (folder.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) stop(console, format("\ncannot create folder %s: %s", folder.c_str(), ec.message().c_str()));
}

// Waits while the report cannot be opened for appending.
void check_appendable(Console& console, bool batch, const std::string& output) {
  while (!can_append(output)) {
    if (batch) stop(console, format("\ncannot open output file %s", output.c_str()));
    console.print(format("\nWarning: cannot open outputfile %c%s%c.\n"
                         "If it is being used by another application, close it first. Then press Return.\n"
                         "Press ctrl+c if you wish to stop the program now.\n",
                         '"', output.c_str(), '"'));
    console.wait_for_key();
    if (console.input_ended()) end_of_input(console);
  }
}

// A non-negative count: Return (or the end of input) gives 0 with `none_text`;
// the answer must be the number alone.
int ask_count(Console& console, const char* question, const char* skip_hint, const char* none_text,
              const char* what) {
  for (;;) {
    console.print(question);
    console.print(skip_hint);
    const Answer a = console.read_answer();
    if (a.kind != Answer::kWord) {
      console.print(none_text);
      return 0;
    }
    int n = 0;
    if (!read_whole_int(a.typed, n)) {
      console.print(format("\nvalue of number of %s is invalid", what));
    } else if (n < 0) {
      console.print(format("\nvalue of number of %s = %d cannot be negative", what, n));
    } else {
      return n;
    }
  }
}

}  // namespace

void ask_file_names(Console& console, const CommandLine& cl, RunOptions& options) {
  RunFiles files = run_files(cl.outdir);
  if (!cl.results.empty()) files.results = in_folder(files.folder, cl.results);
  options.input_file = cl.input_given ? cl.options.input_file : kDefaultInput;
  options.output_file = in_folder(files.folder, cl.output_given ? cl.options.output_file : kDefaultOutput);
  options.subset_file = cl.subset_given ? cl.options.subset_file : std::string();
  options.use_subset = cl.subset_given;

  // Input and output named on the command line settle the names: no subset
  // file unless one is named too.
  const bool ask_input = !cl.input_given && !cl.batch;
  const bool ask_output = !cl.output_given && !cl.batch;
  const bool ask_subset = !cl.subset_given && !cl.batch && !(cl.input_given && cl.output_given);

  if (!ask_input && !ask_output && !ask_subset) {
    console.print(format("\nInput file: %s\nOutput file: %s", options.input_file.c_str(), options.output_file.c_str()));
    if (options.use_subset) console.print(format("Subset file: %s", options.subset_file.c_str()));
  } else {
    if (ask_input) {
      console.print(
          "\nEnter input file name (with ext) or press return for the default file aflpdata.txt\nInput file: ");
      const Answer a = console.read_answer();
      if (a.kind == Answer::kWord) {
        options.input_file = a.word;
      } else {
        console.print(options.input_file);
      }
    } else {
      console.print(format("\nInput file: %s", options.input_file.c_str()));
    }
    if (ask_output) {
      console.print(
          "\nEnter output file name (with ext) or press return for the default file aflpout.txt\nOutput file: ");
      const Answer a = console.read_answer();
      if (a.kind == Answer::kWord) {
        options.output_file = in_folder(files.folder, a.word);
      } else {
        console.print(options.output_file);
      }
    } else {
      console.print(format("\nOutput file: %s", options.output_file.c_str()));
    }
    if (ask_subset) {
      console.print(
          "\nEnter subset file name (with ext) or press return if all populations have to be processed\n"
          "Subset file: ");
      const Answer a = console.read_answer();
      if (a.kind == Answer::kWord) {
        options.subset_file = a.word;
        options.use_subset = true;
      } else {
        console.print("No subsetfile: all populations will be processed");
      }
    } else if (options.use_subset) {
      console.print(format("\nSubset file: %s", options.subset_file.c_str()));
    }
  }

  check_readable(console, cl.batch, options.input_file, "input");
  if (!files.results.empty()) take_results_folder(console, cl, files, options);
  settle_output(console, cl, files, options);
  make_output_folder(console, files.folder);
  check_appendable(console, cl.batch, options.output_file);
  if (options.use_subset) {
    check_readable(console, cl.batch, options.subset_file, "subset");
    // A subset name typed just now may be the report's: the report is renamed.
    while (same_file(options.subset_file, options.output_file)) {
      settle_output(console, cl, files, options);
      check_appendable(console, cl.batch, options.output_file);
    }
  }
}

namespace {

// The method of the allele frequencies: given, the default in batch mode, or
// chosen from the menu (Return: the default).
void ask_method(Console& console, const CommandLine& cl, RunOptions& options) {
  if (cl.method_given) {
    options.method = cl.options.method;
  } else if (cl.batch) {
    options.method = kBayesNonUniform;
  } else {
    for (;;) {
      console.print("\n\n\n\nChoose a method of computation of allelic frequencies and press 'Return':");
      for (int method = kFragmentFrequencies; method < kBayesNonUniform; ++method) {
        console.print("\n" + method_menu_line(method));
      }
      console.print("\n" + method_menu_line(kBayesNonUniform) + "  (default)\n->");
      const Answer a = console.read_answer();
      if (a.kind != Answer::kWord) {
        options.method = kBayesNonUniform;
        console.print("4");
        break;
      }
      long v = 0;
      if (scan_integer_any_base(a.word, v) && v >= 1 && v <= 4) {
        options.method = static_cast<int>(v);
        break;
      }
    }
  }
}

// Fis: not used by fragment frequencies, which assume fixed homozygosity;
// given (checked against a Bayesian method chosen in the dialogue), 0 in batch
// mode, or asked until valid.
void ask_fis(Console& console, const CommandLine& cl, RunOptions& options) {
  if (options.method == kFragmentFrequencies) {
    options.fis = 9.0f;
  } else {
    bool settled = false;
    if (cl.fis_given) {
      if (is_bayesian(options.method) && cl.options.fis < 0.0f) {
        // The method was chosen in the dialogue after a negative Fis was given.
        if (cl.batch) stop(console, bayesian_range_message(cl.options.fis));
        console.print(bayesian_range_message(cl.options.fis));
      } else {
        options.fis = cl.options.fis;
        settled = true;
      }
    } else if (cl.batch) {
      options.fis = 0.0f;
      settled = true;
    }
    while (!settled) {
      console.print("\n\nIf you assume Hardy-Weinberg genotypic proportions, press 'Return'");
      console.print("\nIf you assume deviation from Hardy-Weinberg genotypic proportions, enter Fis value and press "
                    "'Return' \n->");
      const Answer a = console.read_answer();
      float f = 0.0f;
      if (a.kind != Answer::kWord) {
        options.fis = 0.0f;
        console.print("Hardy & Weinberg genotypic proportions assumed");
        settled = true;
      } else if (!read_whole_float(a.typed, f)) {
        console.print("\nvalue of Fis is invalid");
      } else if (f < -1.0f || f > 1.0f) {
        console.print(format("\nvalue of Fis = %f outside the range -1.0 to 1.0", f));
      } else if (is_bayesian(options.method) && f < 0.0f) {
        console.print(bayesian_range_message(f));
      } else {
        options.fis = f;
        settled = true;
      }
    }
  }
}

}  // namespace

void ask_options(Console& console, const CommandLine& cl, RunOptions& options) {
  ask_method(console, cl, options);
  ask_fis(console, cl, options);

  if (cl.permutations_given) {
    options.permutations = cl.options.permutations;
  } else if (cl.batch) {
    options.permutations = 0;
  } else {
    options.permutations = ask_count(console, "\n\nEnter the number of permutations for test on Fst and press 'Return'",
                                     "\nIf you want to skip the test just press 'Return' \n->",
                                     "No permutations will be performed for test on Fst", "permutations");
  }

  if (cl.bootstraps_given) {
    options.bootstraps = cl.options.bootstraps;
  } else if (cl.batch) {
    options.bootstraps = 0;
  } else {
    options.bootstraps = ask_count(console, "\n\nEnter the number of bootstraps for genetic distances and press 'Return'",
                                   "\nIf you want to skip the bootstraps just press 'Return' \n->",
                                   "No bootstraps will be performed on genetic distances\n", "bootstraps");
  }
}

void echo_loaded_data(Console& console, const std::string& input_file, const std::string& output_file, int r, int m,
                      const NameList& PopulationNames) {
  std::string text = format("\n\nThe following information have been successfully loaded from \"%s\"",
                            input_file.c_str());
  text += format("\n\tnumber of populations: %i", r);
  text += "\n\tname of populations:";
  for (int i = 1; i <= r; ++i) text += " " + PopulationNames[i];
  text += format("\n\tnumber of loci: %i", m);
  text += format("\n\nResults will be written to file \"%s\"\n", output_file.c_str());
  console.print(text);
}

}  // namespace bandscape
