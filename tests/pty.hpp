// A pseudo-terminal for the tests of terminal reading: the test types on the
// master side and reads what the terminal shows; the slave side is the
// terminal that the program reads.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace bandscape::testing {

class Pty {
 public:
  int master = -1;
  int slave = -1;
  std::string slave_name;  // for a child process that makes it its controlling terminal
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
    const char* name = ptsname(master);
    if (!name) return;
    slave_name = name;
    slave = open(name, O_RDWR | O_NOCTTY);
  }
  ~Pty() {
    if (slave >= 0) close(slave);
    if (master >= 0) close(master);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  bool ok() const { return master >= 0 && slave >= 0; }
  bool canonical() const {
    termios t{};
    tcgetattr(slave, &t);
    return (t.c_lflag & ICANON) != 0 && (t.c_lflag & ECHO) != 0;
  }
  bool raw() const {
    termios t{};
    tcgetattr(slave, &t);
    return (t.c_lflag & (ICANON | ECHO)) == 0;
  }
  void type(const std::string& keys) const { ASSERT_EQ(write(master, keys.data(), keys.size()), (ssize_t)keys.size()); }
  // What the terminal has echoed so far.
  std::string screen() const {
    std::string s;
    pollfd p{master, POLLIN, 0};
    char buf[256];
    while (poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
      const ssize_t n = read(master, buf, sizeof buf);
      if (n <= 0) break;
      s.append(buf, static_cast<size_t>(n));
    }
    return s;
  }
};

inline bool wait_until(const std::function<bool()>& condition, int seconds = 5) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace bandscape::testing
