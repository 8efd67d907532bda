// Writing a file of the run with every step checked.
//
// A file is opened (appending or emptying it), written through a buffer and
// closed; a write, flush or close that fails throws OutputError with the
// system's reason, so a full disk or a file-size limit ends the run instead of
// leaving a short file behind.  The side files of a run have fixed names in a
// possibly shared folder; they are opened without following symbolic links,
// so that a link planted under such a name cannot redirect the run's output
// into another file.
//
// The files of the results folder are replaced whole: each is written under
// a temporary name beside its own ("<name>.partial") and renamed onto its
// name when complete, so that a run that stops (a full disk, an error, a
// signal) never leaves a cut-off file under a real name, and the name itself
// is never opened: a link or a special file found there is replaced, not
// followed.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "core/errors.hpp"
#include "core/format.hpp"

namespace bandscape {

// kReplace: written under partial_name(name), renamed onto `name` by close();
// the links argument of open() then applies to the temporary file.
enum class OpenMode { kAppend, kTruncate, kReplace };
enum class Links { kFollow, kRefuse };

class OutputFile {
 public:
  OutputFile() = default;
  // Closes without checking when close() was not reached (an error is then
  // already on its way); a file being replaced keeps its earlier content and
  // the temporary file is removed.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens `name` for writing, creating it when missing (mode 0666 less the
  // umask).  Returns false when it cannot be opened.  With Links::kRefuse a
  // symbolic link of that name throws OutputError ("cannot open file <name>:
  // it is a symbolic link").
  bool open(const std::string& name, OpenMode mode, Links links);
  bool is_open() const { return fd_ >= 0; }
  const std::string& name() const { return name_; }

  void write(std::string_view text);
  void write(const char* data, std::size_t size) { write(std::string_view(data, size)); }
  // printf-style formatted text.
  void print(const char* fmt, ...) BANDSCAPE_PRINTF(2, 3);
  // Hands the buffered text to the system.
  void flush();
  // Flushes and closes; a file being replaced is then renamed into place,
  // holding the write lock (core/write_guard.hpp), so that no file takes its
  // name after an interruption has been noted.
  void close();

 private:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 16;

  [[noreturn]] void fail(int error);
  void write_through(const char* data, std::size_t size);

  int fd_ = -1;
  std::string name_;
  std::string partial_;  // the temporary name while replacing, else empty
  std::unique_ptr<char[]> buffer_;  // kBufferSize characters once opened
  std::size_t used_ = 0;
};

// "\nerror in writing file <file>: <strerror(error)>".
OutputError write_failure(const std::string& file, int error);
// "\ncannot open file <file>: it is a symbolic link".
OutputError symbolic_link(const std::string& file);
// "\ncannot open file <file>: <strerror(error)>".
OutputError open_failure(const std::string& file, int error);

// The temporary name under which `name` is written before it is renamed.
std::string partial_name(const std::string& name);

}  // namespace bandscape
