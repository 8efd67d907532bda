// A MessageLog that keeps what was echoed and what was only appended, in order.
#pragma once

#include <string>

#include "app/error_log.hpp"

namespace bandscape::testing {

struct RecordingLog : MessageLog {
  std::string echoed;    // texts shown on the console and logged
  std::string appended;  // texts logged only
  void echo(const std::string& text) override { echoed += text; }
  void append(const std::string& text) override { appended += text; }
};

}  // namespace bandscape::testing
