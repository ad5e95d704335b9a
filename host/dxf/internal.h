// Shared between the DXF reader's files.
#pragma once

#include "host/dxf/dxf.h"

namespace kelvara::dxf {

// Reads the tables, blocks and layouts of an indexed drawing.
bool readTables(Drawing& d, DxfError& error);
// Calls f(tag) for every tag of the record after its code-0 tag.
template <typename F>
bool forEachTag(const Drawing& d, const Record& r, F&& f) {
  TagReader t(recordText(d, r));
  t.line = r.line;
  Tag tag;
  if (!t.next(tag)) return false;
  while (t.next(tag))
    if (!f(tag)) return false;
  return true;
}

}  // namespace kelvara::dxf
