// File operations of POSIX systems and of Windows.
#include "core/system_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace bandscape {

#ifdef _WIN32

bool is_symbolic_link(const std::string& name) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

int open_file(const std::string& name, int flags, bool refuse_links) {
  if (refuse_links && is_symbolic_link(name)) {
    errno = ELOOP;
    return -1;
  }
  return ::_open(name.c_str(), flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

namespace {

// The volume and file index of `name`; false when it cannot be opened.
bool file_identity(const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
  // FILE_FLAG_BACKUP_SEMANTICS opens folders too.
  const HANDLE h = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  return ok;
}

}  // namespace

bool same_existing_file(const std::string& a, const std::string& b, bool& known) {
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  known = file_identity(a, ia) && file_identity(b, ib);
  return known && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
         ia.nFileIndexLow == ib.nFileIndexLow;
}

unsigned long long physical_memory_bytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

#else

bool is_symbolic_link(const std::string& name) {
  struct stat st {};
  return ::lstat(name.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int open_file(const std::string& name, int flags, bool refuse_links) {
  flags |= O_CLOEXEC | (refuse_links ? O_NOFOLLOW : 0);
  int fd;
  do {
    fd = ::open(name.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool same_existing_file(const std::string& a, const std::string& b, bool& known) {
  struct stat sa {}, sb {};
  known = ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0;
  return known && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

unsigned long long physical_memory_bytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page = ::sysconf(_SC_PAGESIZE);
  return pages > 0 && page > 0 ? static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(page) : 0;
}

#endif

}  // namespace bandscape
