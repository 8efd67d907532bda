// Entry point: parses the command line, runs the analysis and maps its outcome
// to the exit status (interactive runs end with 1, as the program always has;
// batch runs with 0 after a normal finish; 1 after any error; 2 for bad options).
// Whatever else escapes the run (memory exhausted, an unforeseen failure) is
// reported like a fatal error and ends with status 1 as well.
#include <cstdio>
#include <exception>
#include <new>

#include "app/command_line.hpp"
#include "app/driver.hpp"
#include "app/interrupt.hpp"
#include "core/message_log.hpp"
#include "app/terminal_console.hpp"
#include "numeric/random.hpp"

int main(int argc, char* argv[]) {
  using namespace bandscape;
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
  const CommandLine& command_line = parsed.command_line;
  SeedSource seed_source = [&command_line]() -> long {
    return command_line.seed ? *command_line.seed : seed_from_clock();
  };
  // Before any thread starts, so that every thread inherits the blocked signals.
  start_interrupt_watcher();
  try {
    auto console = make_console();
    run_bandscape(*console, command_line, seed_source);
  } catch (const FatalError& error) {
    std::fflush(stdout);
    return error.status();
  } catch (const std::bad_alloc&) {
    report_last_failure(kErrorLogName, "\nout of memory");
    return 1;
  } catch (const std::exception& error) {
    char message[512];
    std::snprintf(message, sizeof message, "\nunexpected error: %s", error.what());
    report_last_failure(kErrorLogName, message);
    return 1;
  } catch (...) {
    report_last_failure(kErrorLogName, "\nunexpected error");
    return 1;
  }
  std::fflush(stdout);
  return command_line.batch ? 0 : 1;
}
