// Shared between the DXF reader's files.
#pragma once

#include "host/dxf/dxf.h"

namespace kelvara::dxf {

// Reads the tables, blocks and layouts of an indexed drawing.
bool readTables(Drawing& d, DxfError& error);
// Sets `error` to name the tag's line, value and group code as not a number; false.
bool notANumber(const Drawing& d, const Tag& t, DxfError& error);
// The tag's value as a number into `out`; false with `error` set when it is not one.
bool readInt(const Drawing& d, const Tag& t, int& out, DxfError& error);
bool readReal(const Drawing& d, const Tag& t, double& out, DxfError& error);
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
