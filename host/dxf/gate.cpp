// The deletion gate: which entities the planner lets go, answered one entity at a time.
#include "host/dxf/gate.h"

#include <algorithm>
#include <cstdio>
#include <future>

#include "host/dxf/internal.h"
#include "host/dxf/write.h"

namespace kelvara::dxf {
namespace {

bool isEntitySection(const Drawing& d, const Record& r) {
  const std::string& s = d.sections[r.section].name;
  return s == "ENTITIES" || s == "BLOCKS";
}

// Collects the pointers of every record. The owner of an entity that is a block record is left
// out (every entity has one), and an object's owner is kept as ownership; the owner of a table
// record counts as a pointer, since a damaged drawing may give it an entity as its owner.
void scan(const Drawing& d, DeletionGate& g) {
  std::unordered_map<uint64_t, bool> blockRecords;
  for (const NamedRecord& b : d.blockRecords) blockRecords.emplace(b.handle, true);
  uint64_t released = 0;  // a mapped drawing's bytes are released behind the scan
  for (uint32_t i = 0; i < d.records.size(); ++i) {
    const Record& rec = d.records[i];
    releaseBehind(d, released, rec.begin);
    const std::string& sec = d.sections[rec.section].name;
    if (sec == "HEADER" || sec == "CLASSES") continue;
    if (sec == "OBJECTS" && (rec.flags & HasHandle)) {
      g.objects.emplace(rec.handle, i);
      if (rec.owner != 0) g.owned.emplace(rec.owner, i);
    }
    if (sec == "TABLES" && (rec.flags & HasHandle)) g.tableHandles.emplace(rec.handle, true);
    if (rec.flags & OnlyOwner) {  // its owner is all the tags would give
      const uint64_t h = rec.owner;
      if (h != 0 && sec != "OBJECTS" && !blockRecords.count(h)) {
        auto& from = g.inbound[h];
        if (from.empty() || from.back() != i) from.push_back(i);
      }
      continue;
    }
    bool inList = false, ownerSeen = false, inXData = false;
    (void)forEachTag(d, rec, [&](const Tag& t) {
      if (t.code == 0) {  // a follower starts: its own owner and groups
        inList = ownerSeen = inXData = false;
        return true;
      }
      if (t.code == 1001) inXData = true;
      if (t.code == 102) {
        inList = t.value.find('{') != std::string_view::npos;
        return true;
      }
      if (!isPointerCode(t.code)) return true;
      const bool owner = t.code == 330 && !inList && !inXData && !ownerSeen;
      ownerSeen |= owner;
      uint64_t h = 0;
      if (!parseHandle(t.value, h) || h == 0) return true;
      if (owner && (sec == "OBJECTS" || blockRecords.count(h))) return true;
      auto& from = g.inbound[h];
      if (from.empty() || from.back() != i) from.push_back(i);
      return true;
    });
  }
  releaseBytes(d, released, d.bytes.size());
  g.scanned = true;
}

// The scan, made here or on the thread startScan began.
void awaitScan(const Drawing& d, DeletionGate& g) {
  if (g.scanning.valid()) g.scanning.get();
  if (!g.scanned) scan(d, g);
}

// An entity's record and the objects it owns, recursively, with the handles they answer to (an
// entity's followers' handles among them).
struct Members {
  std::vector<uint32_t> records;
  std::vector<uint64_t> handles;
};

Members membersOf(const Drawing& d, const DeletionGate& g, uint32_t record) {
  Members m{{record}, {}};
  for (size_t k = 0; k < m.records.size() && k < 4096; ++k) {
    const Record& r = d.records[m.records[k]];
    const size_t first = m.handles.size();
    if (r.flags & HasHandle) m.handles.push_back(r.handle);
    if (k == 0 && hasFollowers(d, r))
      for (uint64_t h : followerHandles(d, r)) m.handles.push_back(h);
    for (size_t i = first; i < m.handles.size(); ++i) {
      auto [lo, hi] = g.owned.equal_range(m.handles[i]);
      for (auto it = lo; it != hi; ++it)
        if (std::find(m.records.begin(), m.records.end(), it->second) == m.records.end())
          m.records.push_back(it->second);
    }
  }
  return m;
}

// The records outside the entity's members that point at one of them.
std::vector<uint32_t> externalPointers(const Drawing& d, const DeletionGate& g, uint32_t record) {
  const Members members = membersOf(d, g, record);
  std::vector<uint32_t> out;
  for (const uint64_t h : members.handles) {
    const auto it = g.inbound.find(h);
    if (it == g.inbound.end()) continue;
    for (uint32_t from : it->second)
      if (std::find(members.records.begin(), members.records.end(), from) == members.records.end())
        out.push_back(from);
  }
  return out;
}

// Whether a record is an entity or an object some entity owns (through other objects).
bool belongsToEntity(const Drawing& d, const DeletionGate& g, uint32_t record) {
  const Record* r = &d.records[record];
  if (isEntitySection(d, *r)) return true;
  for (int depth = 0; depth < 64 && d.sections[r->section].name == "OBJECTS"; ++depth) {
    const uint64_t owner = r->owner;
    if (owner == 0 || g.tableHandles.count(owner)) return false;
    const auto it = g.objects.find(owner);
    if (it == g.objects.end()) return true;  // owned by what is neither object nor table
    r = &d.records[it->second];
  }
  return true;  // when in doubt the entity is planned with the others
}

bool onlyFromOutsideEntities(const Drawing& d, const DeletionGate& g, uint32_t record) {
  for (uint32_t from : externalPointers(d, g, record))
    if (belongsToEntity(d, g, from)) return false;
  return true;
}

// Plans every entity that is pointed at only from outside entities, together.
void planBatch(const Drawing& d, DeletionGate& g) {
  std::vector<uint32_t> records;
  for (uint32_t i = 0; i < d.records.size(); ++i) {
    const Record& r = d.records[i];
    if (!isEntitySection(d, r) || !(r.flags & HasHandle)) continue;
    if (!externalPointers(d, g, i).empty() && onlyFromOutsideEntities(d, g, i))
      records.push_back(i);
  }
  for (const Refusal& r : planDeletion(d, records).refused) g.batch.emplace(r.record, r.why);
  g.batchPlanned = true;
}

}  // namespace

void startScan(std::shared_ptr<const Drawing> d, DeletionGate& g) {
  if (g.scanned || g.scanning.valid()) return;
  g.scanning = std::async(std::launch::async, [d = std::move(d), &g] { scan(*d, g); });
}

std::string pointedAtBy(const Drawing& d, DeletionGate& g, uint32_t record) {
  if (record >= d.records.size()) return "";
  awaitScan(d, g);
  for (uint32_t from : externalPointers(d, g, record)) {
    const Record& r = d.records[from];
    if (typeName(d, r) == "ACDSRECORD") continue;
    return std::string(typeName(d, r)) + " #" + handleText(r.handle);
  }
  return "";
}

std::string deletionRefusal(const Drawing& d, DeletionGate& g, uint32_t record,
                            const std::function<std::vector<uint32_t>()>& deleted) {
  if (record >= d.records.size()) return "no such record";
  awaitScan(d, g);
  std::string why;
  if (externalPointers(d, g, record).empty()) {
    // Nothing to fix up: the planner's other reasons concern the kind of record.
    const std::string_view type = typeName(d, d.records[record]);
    if (!isEntitySection(d, d.records[record]) || type == "VIEWPORT" || type == "BLOCK" ||
        type == "ENDBLK" || type == "SEQEND" || type == "VERTEX" || type == "ATTRIB")
      for (const Refusal& r : planDeletion(d, {record}).refused) why = r.why;
  } else if (onlyFromOutsideEntities(d, g, record)) {
    if (!g.batchPlanned) planBatch(d, g);
    const auto it = g.batch.find(record);
    if (it != g.batch.end()) why = it->second;
  } else {
    std::vector<uint32_t> together = deleted();
    together.push_back(record);
    for (const Refusal& r : planDeletion(d, together).refused)
      if (r.record == record) why = r.why;
  }
  if (!why.empty()) g.refused[record] = why;
  return why;
}

}  // namespace kelvara::dxf
