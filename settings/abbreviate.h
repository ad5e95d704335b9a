// Shortening a path for display: the middle folders give way to "...", so that the start of
// the path and the file name stay readable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvara {

// `path` when it has at most `maxChars` characters; otherwise the first component, "...", and
// as many trailing components as fit ("/home/.../reports/kelvara.trf"). When even the file name
// alone does not fit, "..." and the end of the name. The result never exceeds `maxChars`
// (for maxChars >= 3).
std::string abbreviateFileName(std::string_view path, size_t maxChars);

}  // namespace kelvara
