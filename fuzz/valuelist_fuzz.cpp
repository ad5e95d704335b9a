// Fuzz target for the value-list parser and matcher. The first byte chooses the item kinds;
// with the list-file kind the rest of the input is written to a temporary file and read
// through `@file`, otherwise it is the expression itself.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "valuelist/valuelist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvara;
  if (size == 0) return 0;
  const uint32_t flags = data[0] & 0x0F;
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string listFile;
  if (flags & VL_LISTFILE) {
    char path[] = "/tmp/kelvara_vl_fuzz_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return 0;
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      close(fd);
      unlink(path);
      return 0;
    }
    close(fd);
    listFile = path;
    text = "@" + listFile;
  }
  for (bool stop : {true, false}) {
    std::unique_ptr<ValueList> list;
    const int status = valueList_parse(&list, text, flags, stop);
    if (list && list->rangeCount > VL_MAX_RANGES) std::abort();
    if (list) {
      for (int i = 0; i < list->rangeCount; ++i) {
        if (!(list->ranges[i].low <= list->ranges[i].high)) std::abort();
      }
    }
    (void)status;
  }
  const std::string name = text.substr(0, 64);
  for (double n : {-1.0, 0.0, 7.0, 2147483647.0}) {
    (void)valueList_match(text, flags, true, n, &name);
    (void)valueList_match(text, flags, false, n, nullptr);
  }
  (void)valueList_validate(text, flags, 0, 255,
                           [](const std::string&, NameKind, std::string&) { return 0; });
  valueList_clearCache();
  if (!listFile.empty()) unlink(listFile.c_str());
  return 0;
}
