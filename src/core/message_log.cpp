// Report file and error log writers, and the fatal-error convention.
#include "core/message_log.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/output_file.hpp"
#include "core/system_file.hpp"
#include "core/write_guard.hpp"

namespace bandscape {

void append_to_file(const std::string& file, const std::string& text, Links links) {
  const WriteGuard guard;
  OutputFile out;
  if (!out.open(file, OpenMode::kAppend, links)) {
    const std::string message = format("error in writing %s : cannot open file", text.c_str());
    std::fwrite(message.data(), 1, message.size(), stdout);
    std::fflush(stdout);
    throw FatalError(message);
  }
  out.write(text);
  out.close();
}

void append_to_file_echo(const std::string& file, const std::string& text, Links links) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  append_to_file(file, text, links);
}

void MessageLog::console(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

bool truncate_file(const std::string& file, Links links) {
  OutputFile out;
  if (!out.open(file, OpenMode::kTruncate, links)) return false;
  out.close();
  return true;
}

void fatal_error(MessageLog& log, const std::string& message, const std::vector<std::string>& details) {
  log.echo(message);
  std::string whole = message;
  for (const auto& line : details) {
    log.echo(line);
    whole += line;
  }
  throw FatalError(whole);
}

void fatal_input_error(MessageLog& log, const std::string& message, const std::string& file, int line,
                       const std::vector<std::string>& details) {
  log.echo(message);
  std::string whole = message;
  for (const auto& detail : details) {
    log.echo(detail);
    whole += detail;
  }
  throw InputError(whole, file, line);
}

void fatal_numerical_error(MessageLog& log, const std::string& message) {
  log.echo(message);
  throw NumericalError(message);
}

void allocation_failure(const char* message) { throw AllocationError(message); }

void report_last_failure(const char* file, const char* message) noexcept {
  std::fputs(message, stdout);
  std::fflush(stdout);
  const int fd = open_file(file, O_WRONLY | O_APPEND | O_CREAT, true);
  if (fd < 0) return;
  const ssize_t written = ::write(fd, message, std::strlen(message));
  (void)written;  // the last word: nothing is left to report a failure to
  ::close(fd);
}

}  // namespace bandscape
