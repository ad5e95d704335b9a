#include "host/file_identity.h"

#include <sys/stat.h>

#include <string>

namespace kelvara {

std::optional<FileIdentity> fileIdentity(std::string_view path) {
  struct stat info {};
  if (::stat(std::string(path).c_str(), &info) != 0) return std::nullopt;
  return FileIdentity(static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino));
}

bool sameFile(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  if (a == b) return true;
  const auto ia = fileIdentity(a);
  return ia && ia == fileIdentity(b);
}

}  // namespace kelvara
