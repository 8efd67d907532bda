// Entry point: parses the command line, runs the analysis and maps its outcome
// to the exit status (interactive runs end with 1, as the program always has;
// batch runs with 0 after a normal finish; 1 after any error or a table that
// could not be written; 2 for bad options).  Whatever else escapes the run
// (memory exhausted, an unforeseen failure) is reported like a fatal error and
// ends with status 1 as well.  In batch mode every fatal message is repeated
// on the error stream, and the console output ends with a line end.
#include <csignal>
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

#include "app/command_line.hpp"
#include "app/driver.hpp"
#include "app/interrupt.hpp"
#include "app/terminal_console.hpp"
#include "core/message_log.hpp"
#include "core/run_files.hpp"
#include "numeric/random.hpp"

#ifdef _WIN32
// The standard streams carry the same bytes as on other systems: binary mode
// (no "\r" added before "\n", no Ctrl+Z taken as the end of input), except
// for a console window, which needs its "\r\n".
static void use_binary_streams() {
  DWORD mode = 0;
  _setmode(_fileno(stdin), _O_BINARY);
  if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) _setmode(_fileno(stdout), _O_BINARY);
  if (!GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode)) _setmode(_fileno(stderr), _O_BINARY);
}
#endif

int main(int argc, char* argv[]) {
  using namespace bandscape;
#ifdef _WIN32
  use_binary_streams();
#endif
  const ParseResult parsed = parse_command_line(argc, argv);
  switch (parsed.kind) {
    case ParseResult::kHelp:
    case ParseResult::kVersion:
      std::fputs(parsed.text.c_str(), stdout);
      return parsed.exit_status;
    case ParseResult::kError:
      std::fputs(parsed.text.c_str(), stderr);
      return parsed.exit_status;
    case ParseResult::kRun:
      break;
  }
  // A file-size limit then shows as a failed write, reported like a full disk,
  // instead of killing the process.
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  const CommandLine& command_line = parsed.command_line;
  SeedSource seed_source = [&command_line]() -> long {
    return command_line.seed ? *command_line.seed : fresh_seed();
  };
  // Before any thread starts, so that every thread inherits the blocked signals.
  start_interrupt_watcher();
  // Where a failure that escapes the run is logged: the run's error log.
  const std::string error_log = run_files(command_line.outdir).error_log;
  // The end of a run stopped by `message`, already shown on the console.
  auto fatal_end = [&command_line](const char* message, int status) {
    if (command_line.batch) {
      std::fputs("\n", stdout);
      while (*message == '\n') ++message;
      std::fputs(message, stderr);
      std::fputs("\n", stderr);
    }
    std::fflush(stdout);
    return status;
  };
  try {
    auto console = make_console();
    const int status = run_bandscape(*console, command_line, seed_source);
    std::fflush(stdout);
    return status;
  } catch (const FatalError& error) {
    return fatal_end(error.what(), error.status());
  } catch (const std::bad_alloc&) {
    report_last_failure(error_log.c_str(), "\nout of memory");
    return fatal_end("\nout of memory", 1);
  } catch (const std::exception& error) {
    char message[512];
    std::snprintf(message, sizeof message, "\nunexpected error: %s", error.what());
    report_last_failure(error_log.c_str(), message);
    return fatal_end(message, 1);
  } catch (...) {
    report_last_failure(error_log.c_str(), "\nunexpected error");
    return fatal_end("\nunexpected error", 1);
  }
}
