// Where the files of one run are.
#include "core/run_files.hpp"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "core/system_file.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;

// The absolute path that `name` stands for: the targets of symbolic links
// followed (a link whose target is missing too), then "." and ".." resolved.
fs::path resolved_path(const std::string& name) {
  std::error_code ec;
  fs::path p = fs::absolute(name, ec);
  if (ec) return fs::path(name).lexically_normal();
  for (int hops = 0; hops < 40 && fs::is_symlink(p, ec); ++hops) {
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) break;
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  const fs::path canonical = fs::weakly_canonical(p, ec);
  return ec ? p.lexically_normal() : canonical;
}

}  // namespace

std::string in_folder(const std::string& folder, const std::string& name) {
  // A name from the root (on Windows also "\\r.txt" or "D:r.txt") stays as it is.
  const fs::path path(name);
  if (folder.empty() || name.empty() || path.has_root_directory() || path.has_root_name()) return name;
  // Joined with "/" on every system (Windows takes it too), so that the
  // names the run prints are the same everywhere.
  const char last = folder.back();
#ifdef _WIN32
  if (last == '\\') return folder + name;
#endif
  return last == '/' ? folder + name : folder + "/" + name;
}

RunFiles run_files(const std::string& folder) {
  RunFiles f;
  f.folder = folder;
  f.error_log = in_folder(folder, "error.txt");
  f.allocation_log = in_folder(folder, "erreur");
  f.structure = in_folder(folder, "structure.txt");
  f.resample = in_folder(folder, "resample.txt");
  f.bootstrap = {in_folder(folder, "aflp_nei.txt"), in_folder(folder, "aflp_fst.txt"),
                 in_folder(folder, "aflp_reyn.txt")};
  return f;
}

std::vector<std::string> side_files(const RunFiles& files) {
  return {files.error_log, files.allocation_log, files.structure, files.resample,
          files.bootstrap[0], files.bootstrap[1], files.bootstrap[2]};
}

void remove_stale_file(const std::string& name) { ::unlink(name.c_str()); }

bool same_file(const std::string& a, const std::string& b) {
  bool known = false;
  const bool same = same_existing_file(a, b, known);
  return known ? same : resolved_path(a) == resolved_path(b);
}

}  // namespace bandscape
