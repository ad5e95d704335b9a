#include "settings/abbreviate.h"

namespace kelvara {

std::string abbreviateFileName(std::string_view path, size_t maxChars) {
  if (path.size() <= maxChars) return std::string(path);
  constexpr std::string_view kDots = "...";
  if (maxChars <= kDots.size()) return std::string(kDots.substr(0, maxChars));
  // The head: everything up to and including the first separator after the first component.
  size_t headEnd = path.find_first_of("/\\", path.find_first_not_of("/\\"));
  std::string_view head =
      headEnd == std::string_view::npos ? std::string_view{} : path.substr(0, headEnd + 1);
  // Try tails that start at each later separator, longest first.
  for (size_t sep = path.find_first_of("/\\", head.size()); sep != std::string_view::npos;
       sep = path.find_first_of("/\\", sep + 1)) {
    const std::string_view tail = path.substr(sep);  // starts with the separator
    if (head.size() + kDots.size() + tail.size() <= maxChars) {
      return std::string(head) + std::string(kDots) + std::string(tail);
    }
  }
  // The name alone does not fit after the head: keep its end.
  const size_t keep = maxChars - kDots.size();
  return std::string(kDots) + std::string(path.substr(path.size() - keep));
}

}  // namespace kelvara
