// Fuzz target for the DXF reader: index the input, then read every record through each view
// (layout, 102 groups, XDATA, entity decoding, symbology) and check the spans stay in order
// inside the bytes. Every refusal names the file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/dxf/dxf.h"

using namespace kelvara;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dxf::Drawing d;
  dxf::DxfError error;
  if (!dxf::openDrawing(std::string(reinterpret_cast<const char*>(data), size), "fuzz.dxf", d,
                        error)) {
    if (error.text.rfind("fuzz.dxf: ", 0) != 0) __builtin_trap();
    return 0;
  }
  size_t checksum = dxf::levelCodes(d.layers).size();
  uint64_t at = 0;
  for (const dxf::Record& r : d.records) {
    if (r.begin < at || r.end <= r.begin || r.end > d.bytes.size()) __builtin_trap();
    at = r.end;
    checksum += static_cast<size_t>(dxf::layoutOf(d, r) + 1) + dxf::groups102(d, r).size() +
                dxf::xdata(d, r).size();
    dxf::Entity e;
    if (dxf::decodeEntity(d, r, e, error)) {
      const dxf::Symbology s = dxf::symbology(e);
      checksum += e.vertices.size() + e.attribs.size() + static_cast<size_t>(s.weight);
    } else if (error.text.rfind("fuzz.dxf: line ", 0) != 0) {
      __builtin_trap();
    }
  }
  return checksum == 0xFFFFFFFF ? 1 : 0;
}
