// Whether the deletion planner will let an entity go, asked while a run decides: a run deletes
// one duplicate at a time and reports it at once, while the planner works on a drawing's whole
// set of deletions at save. The gate finds the answer the save will give without planning the
// whole drawing for each entity:
// - one scan (at the first question) collects every pointer at a handle other than the
//   ownership of entities and table records, and which objects are owned by what;
// - an entity that nothing outside itself and the objects it owns points at goes;
// - an entity pointed at only from records that belong to no entity (groups, draw order tables,
//   notes of applications) gets the answer of the planner for it alone, which is the same for
//   all of them planned together (one planning for all such entities of the drawing);
// - any other entity (pointed at from another entity or what one owns) is planned together with
//   the entities deleted so far.
// Deleting more never makes the planner refuse what it let go, so the answers hold at save.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/dxf/dxf.h"

namespace kelvara::dxf {

struct DeletionGate {
  bool scanned = false, batchPlanned = false;
  std::unordered_map<uint64_t, std::vector<uint32_t>> inbound;  // handle -> records pointing at it
  std::unordered_multimap<uint64_t, uint32_t> owned;            // owner handle -> OBJECTS records
  std::unordered_map<uint64_t, uint32_t> objects;               // handle -> OBJECTS record
  std::unordered_map<uint64_t, bool> tableHandles;              // handles of TABLES records
  std::unordered_map<uint32_t, std::string> batch;    // refusals of the entities planned together
  std::unordered_map<uint32_t, std::string> refused;  // what the gate refused: record -> why
  // The scan startScan began on a thread of its own; last, so that a gate going away waits
  // for it before its maps go.
  std::future<void> scanning;
};

// Makes the pointer scan on a thread of its own, while the drawing is compared: the first
// question waits for it. Nothing else may use the gate until then.
void startScan(std::shared_ptr<const Drawing> d, DeletionGate& gate);

// "" when nothing outside the entity and the objects it owns points at them (an entity's ACIS
// data record aside); else names the first record that does ("GROUP #A1").
std::string pointedAtBy(const Drawing& d, DeletionGate& gate, uint32_t record);

// "" when the planner deletes entity record `record` together with the records deleted so far
// (`deleted` gives them, called only when the answer depends on them); else the planner's
// reason, also kept in gate.refused.
std::string deletionRefusal(const Drawing& d, DeletionGate& gate, uint32_t record,
                            const std::function<std::vector<uint32_t>()>& deleted);

}  // namespace kelvara::dxf
