// Writing a file of the run with every step checked.
#include "core/output_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "core/format.hpp"
#include "core/system_file.hpp"
#include "core/write_guard.hpp"

namespace bandscape {

OutputError write_failure(const std::string& file, int error) {
  return OutputError(file, format("\nerror in writing file %s: %s", file.c_str(), std::strerror(error)));
}

OutputError symbolic_link(const std::string& file) {
  return OutputError(file, format("\ncannot open file %s: it is a symbolic link", file.c_str()));
}

namespace {

// A test hook: with BANDSCAPE_SLOW_WRITE naming a results file (its name
// without the folder), the run waits two seconds before that file is renamed
// into place, so that a test can interrupt the run while the file is being
// written.
void pause_for_tests(const std::string& name) {
  const char* slow = std::getenv("BANDSCAPE_SLOW_WRITE");
  if (slow == nullptr || *slow == '\0') return;
  if (std::filesystem::path(name).filename().string() != slow) return;
  std::this_thread::sleep_for(std::chrono::seconds(2));
}

}  // namespace

OutputError open_failure(const std::string& file, int error) {
  return OutputError(file, format("\ncannot open file %s: %s", file.c_str(), std::strerror(error)));
}

std::string partial_name(const std::string& name) { return name + ".partial"; }

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!partial_.empty()) ::unlink(partial_.c_str());
}

bool OutputFile::open(const std::string& name, OpenMode mode, Links links) {
  if (fd_ >= 0) close();
  int fd = -1;
  if (mode == OpenMode::kReplace) {
    // A temporary file left by a stopped run, or anything planted under its
    // name, is removed (a link itself, never its target); O_EXCL then makes
    // a file of this run's own.
    const std::string partial = partial_name(name);
    ::unlink(partial.c_str());
    fd = open_file(partial, O_WRONLY | O_CREAT | O_EXCL, true);
    if (fd < 0) return false;
    partial_ = partial;
  } else {
    const int flags = O_WRONLY | O_CREAT | (mode == OpenMode::kAppend ? O_APPEND : O_TRUNC);
    fd = open_file(name, flags, links == Links::kRefuse);
  }
  if (fd < 0) {
    // A refused link shows as ELOOP, which a looping folder path gives too.
    if (links == Links::kRefuse && errno == ELOOP && is_symbolic_link(name)) throw symbolic_link(name);
    return false;
  }
  fd_ = fd;
  name_ = name;
  if (!buffer_) buffer_.reset(new char[kBufferSize]);
  used_ = 0;
  return true;
}

void OutputFile::fail(int error) {
  // The descriptor is released; the text not yet written is dropped.
  ::close(fd_);
  fd_ = -1;
  used_ = 0;
  if (!partial_.empty()) ::unlink(partial_.c_str());
  partial_.clear();
  throw write_failure(name_, error);
}

void OutputFile::write_through(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    if (n == 0) fail(EIO);
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void OutputFile::write(std::string_view text) {
  if (used_ + text.size() > kBufferSize) {
    flush();
    if (text.size() >= kBufferSize) {
      write_through(text.data(), text.size());
      return;
    }
  }
  std::memcpy(buffer_.get() + used_, text.data(), text.size());
  used_ += text.size();
}

void OutputFile::print(const char* fmt, ...) {
  // Formatted straight into the buffer when the text fits in what is left.
  constexpr std::size_t kRoom = 512;
  if (kBufferSize - used_ < kRoom) flush();
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  const int n = vformat_into(buffer_.get() + used_, kBufferSize - used_, fmt, args);
  va_end(args);
  if (n >= 0 && static_cast<std::size_t>(n) < kBufferSize - used_) {
    used_ += static_cast<std::size_t>(n);
  } else {
    write(vformat(fmt, again));
  }
  va_end(again);
}

void OutputFile::flush() {
  const std::size_t n = used_;
  used_ = 0;
  write_through(buffer_.get(), n);
}

void OutputFile::close() {
  if (fd_ < 0) return;
  flush();
  const int fd = fd_;
  fd_ = -1;
  // After close() the descriptor is gone even when it reports an error
  // (a deferred write error of a network or full file system).
  if (::close(fd) != 0 && errno != EINTR) {
    const int error = errno;
    if (!partial_.empty()) ::unlink(partial_.c_str());
    partial_.clear();
    throw write_failure(name_, error);
  }
  if (partial_.empty()) return;
  const std::string partial = std::move(partial_);
  partial_.clear();
  pause_for_tests(name_);
  std::error_code ec;
  {
    const WriteGuard hold;
    std::filesystem::rename(partial, name_, ec);
  }
  if (ec) {
    ::unlink(partial.c_str());
    throw OutputError(name_, format("\ncannot write file %s: %s", name_.c_str(), ec.message().c_str()));
  }
}

}  // namespace bandscape
