// Whether two path names name one file.
//
// Paths are case-sensitive here: `A.dgn` and `a.dgn` are two files. One file may still go by
// several names (`a.dgn`, `./a.dgn`, its absolute path, a symbolic link to it); those are told
// apart by the identity of the file they name on disk (device and inode).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace kelvara {

// The identity of the file a path names (device, inode; symbolic links followed); nothing when
// it cannot be examined.
using FileIdentity = std::pair<uint64_t, uint64_t>;
std::optional<FileIdentity> fileIdentity(std::string_view path);

// True when `a` and `b` are the same name, or both name an existing file with the same device
// and inode. False when either is empty.
bool sameFile(std::string_view a, std::string_view b);

}  // namespace kelvara
