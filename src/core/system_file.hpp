// The few file operations whose system calls differ between POSIX systems and
// Windows, behind one interface.
//
// Every file is opened in binary mode (Windows would otherwise turn "\n" into
// "\r\n" when writing and drop "\r" when reading) and is not inherited by a
// child process.  A symbolic link is refused on POSIX systems by O_NOFOLLOW;
// Windows has no such flag, and a name that is a reparse point (a symbolic
// link or a junction) is refused before the open instead.
#pragma once

#include <string>

namespace bandscape {

// open(2) of `name` with `flags` (O_RDONLY, O_WRONLY, O_CREAT, O_APPEND,
// O_TRUNC) plus binary mode and close-on-exec, mode 0666 less the umask when
// created, retried when interrupted by a signal.  With `refuse_links` a
// symbolic link is not followed: the call fails with errno ELOOP.  Returns
// the descriptor, or -1 with errno set.
int open_file(const std::string& name, int flags, bool refuse_links);

// Whether `name` itself (not what it points to) is a symbolic link (on
// Windows: any reparse point).
bool is_symbolic_link(const std::string& name);

// Whether `a` and `b` are both existing files and the same one (the same
// device and file number; on Windows the same volume and file index).  Sets
// `known` to false when either cannot be examined.
bool same_existing_file(const std::string& a, const std::string& b, bool& known);

// The machine's physical memory in bytes; 0 when the system does not say.
unsigned long long physical_memory_bytes();

}  // namespace bandscape
