// Report file and error log writers, and the fatal-error convention.
#include "core/message_log.hpp"

#include <cstdio>

#include "core/write_guard.hpp"

namespace bandscape {

void append_to_file(const std::string& file, const std::string& text) {
  const WriteGuard guard;
  std::FILE* f = std::fopen(file.c_str(), "a");
  if (!f) {
    std::printf("error in writing %s : cannot open file", text.c_str());
    std::fflush(stdout);
    throw FatalError("cannot open file " + file);
  }
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

void append_to_file_echo(const std::string& file, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  append_to_file(file, text);
}

void MessageLog::console(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

bool truncate_file(const std::string& file) {
  std::FILE* f = std::fopen(file.c_str(), "w");
  if (!f) return false;
  std::fclose(f);
  return true;
}

void fatal_error(MessageLog& log, const std::string& message, const std::vector<std::string>& details) {
  log.echo(message);
  for (const auto& line : details) log.echo(line);
  throw FatalError(message);
}

void fatal_error(const std::string& message, const std::vector<std::string>& details) {
  ErrorLogFile log;
  fatal_error(log, message, details);
}

void allocation_failure(const char* message) {
  append_to_file_echo(kAllocationLogName, message);
  throw FatalError(message);
}

void report_last_failure(const char* file, const char* message) noexcept {
  std::fputs(message, stdout);
  std::fflush(stdout);
  if (std::FILE* f = std::fopen(file, "a")) {
    std::fputs(message, f);
    std::fclose(f);
  }
}

}  // namespace bandscape
