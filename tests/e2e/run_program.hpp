// Runs the built program as a user would, from the current folder, and
// collects its exit status and what it printed on standard output and error.
#pragma once

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "test_util.hpp"

namespace bandscape::testing {

struct Outcome {
  int status = -1;
  std::string console;  // standard output
  std::string errors;   // standard error
};

// The exit status of a program run by std::system (on Windows the status of
// the command interpreter, which is the program's).
inline int exit_status(int raw) {
#ifdef _WIN32
  return raw;
#else
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
}

// `command` run by std::system with its standard streams redirected to files.
// The Windows command interpreter takes double quotes, and takes a command
// that begins with one only when the whole of it is quoted once more.
inline int run_redirected(const std::string& program, const std::string& args, const std::string& in,
                          const std::string& out, const std::string& err, const std::string& prefix = "") {
#ifdef _WIN32
  const std::string command = "\"" + prefix + " \"" + program + "\" " + args + " < \"" + in + "\" > \"" + out +
                              "\" 2> \"" + err + "\"\"";
#else
  const std::string command =
      prefix + " '" + program + "' " + args + " < '" + in + "' > '" + out + "' 2> '" + err + "'";
#endif
#ifdef _WIN32
  // -1 is the command interpreter failing to start (seen under wine on a busy
  // machine), not the program's status: the command is tried again, after a
  // pause that grows, so that a moment of load does not fail every attempt.
  int raw = std::system(command.c_str());
  for (int attempt = 1; raw == -1 && attempt < 6; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250 << attempt));
    raw = std::system(command.c_str());
  }
  return exit_status(raw);
#else
  return exit_status(std::system(command.c_str()));
#endif
}

// `answers` is fed on standard input; `prefix` goes before the program on the
// command line (to drop privileges).  The answer and console files live outside
// the working folder, which may be read-only.
inline Outcome run_program(const std::string& args, const std::string& answers = "", const std::string& prefix = "") {
  const std::filesystem::path base =
      std::filesystem::temp_directory_path() / ("bandscape_run_" + std::to_string(getpid()));
  const std::string in = base.string() + ".in", out = base.string() + ".out", err = base.string() + ".err";
  write_file(in, answers);
  Outcome outcome;
  outcome.status = run_redirected(BANDSCAPE_EXE, args, in, out, err, prefix);
  outcome.console = read_file(out);
  outcome.errors = read_file(err);
  for (const std::string& name : {in, out, err}) std::filesystem::remove(name);
  return outcome;
}

inline bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// `text` up to (not including) the first occurrence of `marker`.
inline std::string text_before(const std::string& text, const std::string& marker) {
  const size_t at = text.find(marker);
  EXPECT_NE(at, std::string::npos) << marker;
  return text.substr(0, at);
}

// A batch run that stopped with `message`: status 1, the message last on the
// console (after `before`) followed by a line end, and the message alone on
// the error stream (without its leading line breaks, ended by one).
inline void expect_fatal(const Outcome& out, const std::string& message, const std::string& before = "") {
  EXPECT_EQ(out.status, 1);
  EXPECT_TRUE(ends_with(out.console, before + message + "\n")) << out.console;
  EXPECT_EQ(out.errors, message.substr(message.find_first_not_of('\n')) + "\n");
}

}  // namespace bandscape::testing
