#include "report/record/run_record.hpp"

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/output_file.hpp"
#include "core/run_files.hpp"

namespace bandscape {

namespace {

// An incremental SHA-256: OpenSSL's EVP interface, or the system's CNG on
// Windows.  ok() turns false at the first failure.
class Sha256 {
 public:
#ifdef _WIN32
  Sha256() {
    ok_ = BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0 &&
          BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0) == 0;
  }
  ~Sha256() {
    if (hash_ != nullptr) BCryptDestroyHash(hash_);
    if (algorithm_ != nullptr) BCryptCloseAlgorithmProvider(algorithm_, 0);
  }
  void update(const unsigned char* data, std::size_t n) {
    ok_ = ok_ && BCryptHashData(hash_, const_cast<unsigned char*>(data), static_cast<ULONG>(n), 0) == 0;
  }
  bool finish(unsigned char (&digest)[32]) { return ok_ && BCryptFinishHash(hash_, digest, 32, 0) == 0; }
#else
  Sha256() : context_(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
    ok_ = context_ && EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) == 1;
  }
  void update(const unsigned char* data, std::size_t n) {
    ok_ = ok_ && EVP_DigestUpdate(context_.get(), data, n) == 1;
  }
  bool finish(unsigned char (&digest)[32]) {
    unsigned int length = 0;
    return ok_ && EVP_DigestFinal_ex(context_.get(), digest, &length) == 1 && length == 32;
  }
#endif
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
#ifdef _WIN32
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
#else
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context_;
#endif
};

}  // namespace

std::string file_sha256(const std::string& file) {
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (f == nullptr) return "";
  Sha256 sha;
  unsigned char buffer[1 << 16];
  while (sha.ok()) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
    if (n > 0) sha.update(buffer, n);
    if (n < sizeof buffer) break;
  }
  const bool read_ok = !std::ferror(f);
  std::fclose(f);
  unsigned char digest[32];
  if (!read_ok || !sha.finish(digest)) return "";
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : digest) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 15];
  }
  return hex;
}

std::string utc_timestamp(std::chrono::system_clock::time_point when) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &t);
#else
  gmtime_r(&t, &utc);
#endif
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
  // "complete" or "failed" once written at the end; a run that is
  // interrupted is marked "interrupted" by the interruption watcher.
  json_["status"] = "running";
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
  last_step_ = name;
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
  out["status"] = error.empty() ? "complete" : "failed";
  if (!error.empty()) {
    const std::size_t first = error.find_first_not_of('\n');
    out["error"] = first == std::string::npos ? std::string() : error.substr(first);
  }
  // Invalid UTF-8 in a name from the data is replaced rather than refused.
  return out.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

void RunRecord::write(int exit_status, const std::string& error) { write_text(finish(exit_status, error)); }

void RunRecord::write_running() {
  Json out = json_;
  out["steps_seconds"] = steps_;
  out["warnings"] = warnings_;
  write_text(out.dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
}

void RunRecord::write_text(const std::string& text) {
  if (folder_.empty()) return;
  const std::string name = in_folder(folder_, "run.json");
  OutputFile out;
  if (!out.open(name, OpenMode::kReplace, Links::kRefuse)) throw open_failure(name, errno);
  out.write(text);
  out.close();
}

}  // namespace bandscape
