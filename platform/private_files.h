// Directories and files that hold one user's data (logs): created readable
// by the user only, exclusively, and never reached through a symbolic link.
#pragma once

#include <string>

namespace platform {

// Paths are UTF-8 on Windows and the file system's own bytes elsewhere.

// Makes `path` a directory only its owner may enter (mode 0700): creates it
// when missing, tightens an existing one of ours (or the one a link there
// leads to). Refuses an entry that is not a directory and a directory of
// another user. On failure returns false and sets *why.
bool os_prepare_private_directory(const std::string& path, std::string* why);

// The same, creating the missing folders above it first (mode 0700); the
// ones that exist are left as they are.
bool os_prepare_private_directory_with_parents(const std::string& path, std::string* why);

// Opens `path` for appending: created new with mode 0600, or an existing
// regular file of ours (tightened to 0600). Never follows a symbolic link at
// the last component and never blocks on a FIFO. A descriptor, or -1 with
// *why set.
int os_open_private_file_for_append(const std::string& path, std::string* why);

// Writes all of `bytes` to a descriptor from os_open_private_file_for_append
// and makes them durable, then closes it; false when a write failed.
bool os_append_and_close(int fd, const std::string& bytes);

}  // namespace platform
