// run.json: what a run did, for the record and for scripts.  The driver fills
// it as the run goes (options, input files, counts, the time of each step, the
// messages written to error.txt) and writes it into the results folder at the
// end, or after a fatal error with the message that ended the run.  Each
// analysis adds its own section; fields keep the order in which they were set.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace bandscape {

// The SHA-256 of a file's bytes as 64 lowercase hexadecimal digits; empty
// when the file cannot be read.
std::string file_sha256(const std::string& file);

// A point in time as UTC ISO 8601 with seconds, "2026-12-08T17:52:37Z".
std::string utc_timestamp(std::chrono::system_clock::time_point when);

class RunRecord {
 public:
  using Json = nlohmann::ordered_json;

  // Starts the clocks: the start time and the first step begin now.
  RunRecord(std::string program, std::string version);

  // A top-level section (replaced when it exists).
  void add_section(const std::string& name, Json section);
  // A message written to error.txt, kept without its leading line ends.
  void add_warning(const std::string& text);
  // Closes a step: the wall time since the previous step ended (or the run
  // began) is added to steps[name] (seconds).
  void step(const std::string& name);
  // {"name", "bytes", "sha256"} of an input file, for the "files" section;
  // bytes and sha256 are null unless it is a regular file that can be read.
  static Json file_entry(const std::string& file);

  // Where run.json goes; set once the results folder exists.
  void set_folder(std::string folder) { folder_ = std::move(folder); }
  const std::string& folder() const { return folder_; }

  // The end time, total wall time, exit status and (when not empty) the message
  // that ended the run, then the whole record, as JSON text.
  std::string finish(int exit_status, const std::string& error = "");
  // Writes finish()'s text to run.json in the folder; nothing without a folder.
  // A failed write throws OutputError.
  void write(int exit_status, const std::string& error = "");
  // Writes the record as it stands, "status": "running", without an end.
  void write_running();

  const Json& json() const { return json_; }
  // The step closed last ("start" before the first).
  const std::string& last_step() const { return last_step_; }
  // The messages of error.txt kept so far (run.json's "warnings").
  const Json& warnings() const { return warnings_; }

 private:
  void write_text(const std::string& text);
  Json json_;
  Json steps_ = Json::object();
  Json warnings_ = Json::array();
  std::string folder_;
  std::string last_step_ = "start";
  std::chrono::system_clock::time_point start_;
  std::chrono::steady_clock::time_point started_, step_started_;
};

}  // namespace bandscape
