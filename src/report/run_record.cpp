#include "report/run_record.hpp"

#include <openssl/evp.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/output_file.hpp"
#include "core/run_files.hpp"

namespace bandscape {

std::string file_sha256(const std::string& file) {
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (f == nullptr) return "";
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  bool ok = context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) == 1;
  unsigned char buffer[1 << 16];
  while (ok) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
    if (n > 0) ok = EVP_DigestUpdate(context.get(), buffer, n) == 1;
    if (n < sizeof buffer) break;
  }
  ok = ok && !std::ferror(f);
  std::fclose(f);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!ok || EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return "";
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int k = 0; k < length; ++k) {
    hex += kHex[digest[k] >> 4];
    hex += kHex[digest[k] & 15];
  }
  return hex;
}

std::string utc_timestamp(std::chrono::system_clock::time_point when) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

RunRecord::RunRecord(std::string program, std::string version)
    : start_(std::chrono::system_clock::now()), started_(std::chrono::steady_clock::now()) {
  step_started_ = started_;
  json_["program"] = std::move(program);
  json_["version"] = std::move(version);
  json_["start_time"] = utc_timestamp(start_);
}

void RunRecord::add_section(const std::string& name, Json section) { json_[name] = std::move(section); }

void RunRecord::add_warning(const std::string& text) {
  const std::size_t first = text.find_first_not_of('\n');
  warnings_.push_back(first == std::string::npos ? std::string() : text.substr(first));
}

void RunRecord::step(const std::string& name) {
  const auto now = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(now - step_started_).count();
  step_started_ = now;
  steps_[name] = steps_.value(name, 0.0) + seconds;
}

RunRecord::Json RunRecord::file_entry(const std::string& file) {
  Json entry;
  entry["name"] = file;
  entry["bytes"] = Json();
  entry["sha256"] = Json();
  // A pipe or a device was consumed when it was read: only a regular file can
  // be read again for its digest.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return entry;
  const auto size = std::filesystem::file_size(file, ec);
  if (!ec) entry["bytes"] = static_cast<unsigned long long>(size);
  const std::string digest = file_sha256(file);
  if (!digest.empty()) entry["sha256"] = digest;
  return entry;
}

std::string RunRecord::finish(int exit_status, const std::string& error) {
  Json out = json_;
  const auto now = std::chrono::steady_clock::now();
  out["end_time"] = utc_timestamp(std::chrono::system_clock::now());
  out["wall_seconds"] = std::chrono::duration<double>(now - started_).count();
  out["steps_seconds"] = steps_;
  out["warnings"] = warnings_;
  out["exit_status"] = exit_status;
  if (!error.empty()) {
    const std::size_t first = error.find_first_not_of('\n');
    out["error"] = first == std::string::npos ? std::string() : error.substr(first);
  }
  // Invalid UTF-8 in a name from the data is replaced rather than refused.
  return out.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

void RunRecord::write(int exit_status, const std::string& error) {
  if (folder_.empty()) return;
  const std::string text = finish(exit_status, error);
  const std::string name = in_folder(folder_, "run.json");
  OutputFile out;
  if (!out.open(name, OpenMode::kTruncate, Links::kFollow)) throw OutputError(name, "\ncannot open file " + name);
  out.write(text);
  out.close();
}

}  // namespace bandscape
