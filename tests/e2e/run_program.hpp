// Runs the built program as a user would, from the current folder, and
// collects its exit status and what it printed on standard output and error.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_util.hpp"

namespace bandscape::testing {

struct Outcome {
  int status = -1;
  std::string console;  // standard output
  std::string errors;   // standard error
};

// `answers` is fed on standard input; `prefix` goes before the program on the
// command line (to drop privileges).  The answer and console files live outside
// the working folder, which may be read-only.
inline Outcome run_program(const std::string& args, const std::string& answers = "", const std::string& prefix = "") {
  const std::filesystem::path base =
      std::filesystem::temp_directory_path() / ("bandscape_run_" + std::to_string(getpid()));
  const std::string in = base.string() + ".in", out = base.string() + ".out", err = base.string() + ".err";
  write_file(in, answers);
  const std::string command =
      prefix + " '" + BANDSCAPE_EXE + "' " + args + " < '" + in + "' > '" + out + "' 2> '" + err + "'";
  const int raw = std::system(command.c_str());
  Outcome outcome;
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  outcome.console = read_file(out);
  outcome.errors = read_file(err);
  for (const std::string& name : {in, out, err}) std::filesystem::remove(name);
  return outcome;
}

}  // namespace bandscape::testing
