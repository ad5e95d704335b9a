// The page's files, embedded in the program at build time from web/page/.
#pragma once

#include <cstddef>
#include <string_view>

namespace kelvara {

struct PageAsset {
  const char* name;  // file name under web/page/
  const char* mimeType;
  const unsigned char* data;
  size_t size;
};

// The embedded file with this name; nullptr when there is none.
const PageAsset* findPageAsset(std::string_view name);

}  // namespace kelvara
