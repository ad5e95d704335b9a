#include "host/file_identity.h"

#include <sys/stat.h>

#include <string>

namespace kelvara {

bool sameFile(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  if (a == b) return true;
  struct stat sa {
  }, sb{};
  if (::stat(std::string(a).c_str(), &sa) != 0 || ::stat(std::string(b).c_str(), &sb) != 0)
    return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace kelvara
