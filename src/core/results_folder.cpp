// The results folder of a run: made, checked and emptied of an earlier run.
#include "core/results_folder.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_file.hpp"
#include "core/run_files.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;

OutputError refused(const std::string& folder, const std::string& why) {
  return OutputError(folder, format("\ncannot use results folder %s: %s", folder.c_str(), why.c_str()));
}

// The folder itself: made when missing; a link to nothing, or a name that is
// not a folder, is told as such rather than by the system's "File exists".
void make_folder(const std::string& folder) {
  std::error_code ec;
  const fs::file_status own = fs::symlink_status(folder, ec);
  if (fs::is_symlink(own) && !fs::exists(fs::status(folder, ec))) {
    const fs::path target = fs::read_symlink(folder, ec);
    throw OutputError(folder, format("\ncannot create folder %s: it is a symbolic link to %s, which does not exist",
                                     folder.c_str(), target.string().c_str()));
  }
  if (fs::exists(fs::status(folder, ec)) && !fs::is_directory(fs::status(folder, ec))) {
    throw OutputError(folder, format("\ncannot create folder %s: it is a file, not a folder", folder.c_str()));
  }
  fs::create_directories(folder, ec);
  if (ec) throw OutputError(folder, format("\ncannot create folder %s: %s", folder.c_str(), ec.message().c_str()));
}

std::string head_of(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string text(4096, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

}  // namespace

bool is_run_record_of(const std::string& text, const std::string& program) {
  return text.find("\"program\": \"" + program + "\"") != std::string::npos;
}

void claim_results_folder(const std::string& folder, const std::string& program,
                          const std::vector<std::string>& own_names, const std::vector<std::string>& run_files) {
  make_folder(folder);
  std::set<std::string> own;
  for (const std::string& name : own_names) {
    own.insert(name);
    own.insert(partial_name(name));
  }

  // Every entry is looked at before any is removed.
  std::vector<std::string> foreign, to_remove;
  bool earlier_record = false;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    const std::string path = in_folder(folder, name);
    if (own.count(name) == 0) {
      const bool of_this_run =
          std::any_of(run_files.begin(), run_files.end(), [&](const std::string& f) { return same_file(path, f); });
      if (!of_this_run) foreign.push_back(name);
      continue;
    }
    const fs::file_status status = entry.symlink_status(ec);
    if (fs::is_symlink(status)) throw symbolic_link(path);
    if (!fs::is_regular_file(status)) {
      throw OutputError(path, format("\ncannot open file %s: it is not a regular file", path.c_str()));
    }
    if (name == "run.json") earlier_record = is_run_record_of(head_of(entry.path()), program);
    to_remove.push_back(path);
  }
  if (ec) throw refused(folder, ec.message());
  std::sort(foreign.begin(), foreign.end());
  if (!foreign.empty()) {
    throw refused(folder, format("it holds %s%s, which no run of this program wrote; give an empty folder or one "
                                 "of an earlier run",
                                 foreign.front().c_str(),
                                 foreign.size() > 1 ? format(" and %zu more files", foreign.size() - 1).c_str() : ""));
  }
  if (!to_remove.empty() && !earlier_record) {
    std::sort(to_remove.begin(), to_remove.end());
    throw refused(folder, format("it holds %s but no run.json of an earlier run of this program; give an empty "
                                 "folder or one of an earlier run",
                                 to_remove.front().c_str()));
  }

  // A file can be made in the folder (the temporary file is removed again).
  {
    OutputFile probe;
    if (!probe.open(in_folder(folder, "run.json"), OpenMode::kReplace, Links::kRefuse)) {
      throw OutputError(folder, format("\ncannot write in folder %s: %s", folder.c_str(), std::strerror(errno)));
    }
  }
  for (const std::string& path : to_remove) {
    fs::remove(path, ec);
    if (ec) throw OutputError(path, format("\ncannot remove file %s: %s", path.c_str(), ec.message().c_str()));
  }
}

}  // namespace bandscape
