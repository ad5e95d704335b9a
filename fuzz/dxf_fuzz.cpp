// Fuzz target for the DXF reader: index the input, then read every record through each view
// (layout, 102 groups, XDATA, entity decoding with texts, symbology) and check the spans stay in
// order inside the bytes. Every refusal names the file. Then delete all entities, and every
// other one, as the planner allows and check the bytes written: a valid input stays valid and
// reads back. Last, ask the deletion gate entity by entity as a run does: the planner lets go
// everything the gate let go. And restyled as the design report restyles entities, every record
// is written the same from its sketch as tag by tag.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/dxf/dxf.h"
#include "host/dxf/gate.h"
#include "host/dxf/write.h"

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
      checksum += e.vertices.size() + e.attribs.size() + static_cast<size_t>(s.weight) +
                  e.text.size() + e.formatting.size() + e.spline.knots.size() +
                  e.hatch.loops.size() + e.mline.vertices.size();
    } else if (error.text.rfind("fuzz.dxf: line ", 0) != 0) {
      __builtin_trap();
    }
  }
  // Deletion of every entity, then of every other one: planned, applied and validated.
  const bool valid = dxf::validate(d.bytes).empty();
  for (uint32_t stride : {1u, 2u}) {
    std::vector<uint32_t> asked;
    for (uint32_t i = 0; i < d.records.size(); i += stride) asked.push_back(i);
    const dxf::DeletionPlan plan = dxf::planDeletion(d, asked);
    checksum += plan.refused.size();
    const std::string out = dxf::applyPatch(d, plan.patch);
    if (!valid) continue;
    if (!dxf::validate(out).empty()) __builtin_trap();
    dxf::Drawing back;
    if (!dxf::openDrawing(out, "fuzz.dxf", back, error)) __builtin_trap();
    if (back.records.size() + plan.patch.deleteRecords.size() != d.records.size()) __builtin_trap();
  }
  dxf::DeletionGate gate;
  std::vector<uint32_t> letGo;
  for (uint32_t i = 0; i < d.records.size(); ++i) {
    const std::string& section = d.sections[d.records[i].section].name;
    if (section != "ENTITIES" && section != "BLOCKS") continue;
    if (dxf::deletionRefusal(d, gate, i, [&] { return letGo; }).empty()) letGo.push_back(i);
  }
  if (!dxf::planDeletion(d, letGo).refused.empty()) __builtin_trap();
  std::vector<uint32_t> all(d.records.size());
  for (uint32_t i = 0; i < all.size(); ++i) all[i] = i;
  std::vector<uint8_t> lookOf(all.size());
  for (size_t i = 0; i < lookOf.size(); ++i) lookOf[i] = uint8_t(i % 2);
  dxf::Patch restyled;
  restyled.restyle.records = all;
  restyled.restyle.lookOf = lookOf;
  restyled.restyle.looks = {{{0, 8, "MARKED"},
                             {0, 6, "DASHED"},
                             {0, 370, "35"},
                             {0, 62, "1"},
                             {0, -420, ""},
                             {0, -430, ""}},
                            {{0, 370, "0"}, {0, 62, "0"}, {0, -420, ""}, {0, -430, ""}}};
  const std::string byTags = dxf::applyPatch(d, restyled);
  const std::vector<dxf::RestyleSketch> sketches = dxf::sketchRestyle(d, all);
  restyled.restyle.sketches = sketches;
  if (dxf::applyPatch(d, restyled) != byTags) __builtin_trap();
  return checksum == 0xFFFFFFFF ? 1 : 0;
}
