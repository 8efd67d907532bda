// Shared by the libFuzzer targets: a private working folder (the readers and
// the run write error.txt and side files into the current directory), and a
// log that keeps nothing.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/message_log.hpp"

namespace bandscape::fuzzing {

// Changes once, at the first call, into a fresh folder under the system's
// temporary directory, and returns its path.
inline const std::string& private_folder() {
  static const std::string path = [] {
    std::string templ = (std::filesystem::temp_directory_path() / "bandscape_fuzz_XXXXXX").string();
    if (!mkdtemp(templ.data()) || chdir(templ.c_str()) != 0) std::abort();
    return templ;
  }();
  return path;
}

// Writes the fuzzer's bytes to `name` as they are.
inline void write_input(const char* name, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(name, "wb");
  if (!f) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

// Warnings and fatal messages are expected outcomes: drop them.
class DiscardLog : public MessageLog {
 public:
  void echo(const std::string&) override {}
  void append(const std::string&) override {}
};

}  // namespace bandscape::fuzzing
