// The deletion planner: an entity goes with the objects it owns (its extension dictionary and
// what that holds, an image's reactor); every pointer at any of them from a record that stays
// is found in one scan over the drawing and either fixed up (group members, draw order entries,
// reactor lists, hatch boundary sources, ACIS data records) or the entity is refused.
#include <algorithm>
#include <cstdio>
#include <tuple>
#include <unordered_map>

#include "host/dxf/internal.h"
#include "host/dxf/write.h"

namespace kelvara::dxf {
namespace {

// A pointer found by the scan: which record holds it, at what, in which context.
struct Ref {
  uint32_t from = 0;
  uint32_t to = 0;  // the record pointed at
  int code = 0;
  bool owner = false;     // the holder's owner group (the first 330 outside 102 groups)
  std::string_view list;  // the 102 group it stands in ("" outside one)
};

// What deleting a group of records asks of one record that points into it.
struct FixUp {
  bool refuse = false;
  bool deleteFrom = false;  // the holder goes too (ACIS data)
  ValueEdit edit;           // else this removal
};

FixUp fixUpFor(const Drawing& d, const Ref& ref, uint64_t handle) {
  const std::string_view type = typeName(d, d.records[ref.from]);
  FixUp f;
  f.edit = ValueEdit{ref.from, -ref.code, handleText(handle)};
  if (ref.list == "{ACAD_REACTORS" && ref.code == 330) return f;
  if (ref.list == "{BLKREFS" && ref.code == 331) return f;
  if (!ref.list.empty()) {
    f.refuse = true;
    return f;
  }
  if (type == "GROUP" && ref.code == 340) return f;
  if (type == "SORTENTSTABLE" && ref.code == 331) return f;
  if (type == "HATCH" && ref.code == 330 && !ref.owner) return f;
  if (type == "ACDSRECORD" && ref.code == 320) {
    f.deleteFrom = true;
    return f;
  }
  f.refuse = true;
  return f;
}

// Boundary sources of a hatch (330 outside 102 groups and other than the owner).
std::vector<uint64_t> hatchSources(const Drawing& d, uint32_t record) {
  std::vector<uint64_t> out;
  bool inGroup = false, ownerSeen = false;
  forEachTag(d, d.records[record], [&](const Tag& t) {
    if (t.code == 102) inGroup = t.value.find('{') != std::string_view::npos;
    if (t.code == 1001) return false;
    if (t.code != 330 || inGroup) return true;
    uint64_t h = 0;
    if (ownerSeen && parseHandle(t.value, h)) out.push_back(h);
    ownerSeen = true;
    return true;
  });
  return out;
}

// Every pointer of the drawing at one of `targets` (handle -> slot), into inbound[slot].
void scanPointers(const Drawing& d, const std::unordered_map<uint64_t, uint32_t>& targets,
                  const std::unordered_map<uint64_t, uint32_t>& recordOfHandle,
                  std::vector<std::vector<Ref>>& inbound) {
  if (targets.empty()) return;
  uint64_t released = 0;  // a mapped drawing's bytes are released behind the scan
  for (uint32_t i = 0; i < d.records.size(); ++i) {
    const Record& rec = d.records[i];
    releaseBehind(d, released, rec.begin);
    const std::string_view sec = d.sections[rec.section].name;
    if (sec == "HEADER" || sec == "CLASSES") continue;
    if (rec.flags & OnlyOwner) {  // its owner is all the tags would give
      const auto it = rec.owner != 0 ? targets.find(rec.owner) : targets.end();
      if (it != targets.end())
        inbound[it->second].push_back({i, recordOfHandle.at(rec.owner), 330, true, {}});
      continue;
    }
    std::string_view list;
    bool ownerSeen = false, inXData = false;
    forEachTag(d, rec, [&](const Tag& t) {
      if (t.code == 0) {  // a follower starts: its own owner and groups
        ownerSeen = inXData = false;
        list = {};
        return true;
      }
      if (t.code == 1001) inXData = true;
      if (t.code == 102) {
        list = t.value.find('{') != std::string_view::npos ? t.value : std::string_view();
        return true;
      }
      if (!isPointerCode(t.code)) return true;
      const bool owner = t.code == 330 && list.empty() && !inXData && !ownerSeen;
      if (owner) ownerSeen = true;
      uint64_t h = 0;
      if (!parseHandle(t.value, h) || h == 0) return true;
      auto it = targets.find(h);
      if (it == targets.end()) return true;
      inbound[it->second].push_back({i, recordOfHandle.at(h), t.code, owner, list});
      return true;
    });
  }
  releaseBytes(d, released, d.bytes.size());
}

// A GROUP whose members all go goes too, with its entry in the group dictionary, when nothing
// else points at it (ezdxf's audit removes empty groups); else it stays, empty.
void dropEmptyGroups(const Drawing& d, Patch& patch) {
  std::unordered_map<uint32_t, std::vector<uint64_t>> removed;  // GROUP record -> members
  for (const ValueEdit& e : patch.edits) {
    uint64_t h = 0;
    if (e.code == -340 && typeName(d, d.records[e.record]) == "GROUP" && parseHandle(e.value, h))
      removed[e.record].push_back(h);
  }
  std::unordered_map<uint64_t, uint32_t> empty, recordOf;  // handle -> slot, handle -> record
  std::vector<uint32_t> slots;
  for (const auto& entry : removed) {
    const uint32_t record = entry.first;
    const auto& gone = entry.second;  // a plain reference: lambdas may capture it
    bool left = false, inGroup = false;
    forEachTag(d, d.records[record], [&](const Tag& t) {
      if (t.code == 102) inGroup = t.value.find('{') != std::string_view::npos;
      uint64_t h = 0;
      if (t.code == 340 && !inGroup && parseHandle(t.value, h))
        left |= std::find(gone.begin(), gone.end(), h) == gone.end();
      return true;
    });
    const Record& g = d.records[record];
    if (left || !(g.flags & HasHandle)) continue;
    empty.emplace(g.handle, static_cast<uint32_t>(slots.size()));
    recordOf.emplace(g.handle, record);
    slots.push_back(record);
  }
  std::vector<std::vector<Ref>> inbound(slots.size());
  scanPointers(d, empty, recordOf, inbound);
  const std::vector<uint32_t> deleted = patch.deleteRecords;
  for (uint32_t s = 0; s < slots.size(); ++s) {
    std::vector<ValueEdit> edits;
    bool keep = false;
    for (const Ref& ref : inbound[s]) {
      if (ref.from == slots[s] || std::binary_search(deleted.begin(), deleted.end(), ref.from))
        continue;
      const bool entry = typeName(d, d.records[ref.from]) == "DICTIONARY" && ref.list.empty() &&
                         (ref.code == 350 || ref.code == 360);
      const bool reactor = ref.list == "{ACAD_REACTORS" && ref.code == 330;
      keep |= !entry && !reactor;
      edits.push_back({ref.from, -ref.code, handleText(d.records[slots[s]].handle)});
    }
    if (keep) continue;
    patch.deleteRecords.push_back(slots[s]);
    patch.edits.insert(patch.edits.end(), edits.begin(), edits.end());
  }
  std::sort(patch.deleteRecords.begin(), patch.deleteRecords.end());
}

bool deletableType(std::string_view t) {
  return t != "BLOCK" && t != "ENDBLK" && t != "SEQEND" && t != "VERTEX" && t != "ATTRIB" &&
         t != "VIEWPORT";
}

}  // namespace

// The handles of the followers (VERTEX, ATTRIB, SEQEND) that a head's record holds.
std::vector<uint64_t> followerHandles(const Drawing& d, const Record& r) {
  std::vector<uint64_t> out;
  bool handleDue = false;
  forEachTag(d, r, [&](const Tag& t) {
    if (t.code == 0) handleDue = true;
    uint64_t h = 0;
    if (handleDue && t.code == 5 && parseHandle(t.value, h) && h != 0) {
      out.push_back(h);
      handleDue = false;
    }
    return true;
  });
  return out;
}

DeletionPlan planDeletion(const Drawing& d, const std::vector<uint32_t>& records) {
  DeletionPlan plan;
  const auto sectionOf = [&](const Record& r) -> std::string_view {
    return d.sections[r.section].name;
  };
  // The entities asked for, each with the group of records that goes with it.
  std::vector<uint32_t> asked(records);
  std::sort(asked.begin(), asked.end());
  asked.erase(std::unique(asked.begin(), asked.end()), asked.end());
  std::vector<std::vector<uint32_t>> groups;
  for (uint32_t r : asked) {
    if (r >= d.records.size()) {
      plan.refused.push_back({r, "no such record"});
      continue;
    }
    const Record& rec = d.records[r];
    const std::string_view sec = sectionOf(rec), type = typeName(d, rec);
    if ((sec != "ENTITIES" && sec != "BLOCKS") || !deletableType(type)) {
      plan.refused.push_back(
          {r, type == "VIEWPORT" ? "a VIEWPORT is a view of its layout, not drawing content"
                                 : std::string(type) + " is not an entity that can be deleted"});
      continue;
    }
    groups.push_back({r});
  }
  // Objects owned by a group's records go with them (recursively).
  std::unordered_multimap<uint64_t, uint32_t> ownedObjects;
  if (const Section* objects = findSection(d, "OBJECTS"))
    for (uint32_t i = objects->firstRecord; i < objects->firstRecord + objects->recordCount; ++i)
      if (d.records[i].owner != 0) ownedObjects.emplace(d.records[i].owner, i);
  std::unordered_map<uint64_t, uint32_t> groupOfHandle;   // handle -> group
  std::unordered_map<uint32_t, uint32_t> memberGroup;     // record -> group
  std::unordered_map<uint64_t, uint32_t> followerRecord;  // follower handle -> head record
  for (uint32_t g = 0; g < groups.size(); ++g) {
    for (size_t k = 0; k < groups[g].size(); ++k) {
      const Record& rec = d.records[groups[g][k]];
      memberGroup.emplace(groups[g][k], g);
      if (rec.flags & HasHandle) groupOfHandle.emplace(rec.handle, g);
      // A pointer at one of its followers points into the group too (also when the head
      // itself has no handle).
      if (hasFollowers(d, rec)) {
        for (uint64_t h : followerHandles(d, rec)) {
          groupOfHandle.emplace(h, g);
          followerRecord.emplace(h, groups[g][k]);
          auto [lo, hi] = ownedObjects.equal_range(h);  // objects the follower owns
          for (auto it = lo; it != hi; ++it)
            if (!memberGroup.count(it->second)) groups[g].push_back(it->second);
        }
      }
      if (!(rec.flags & HasHandle)) continue;
      auto [lo, hi] = ownedObjects.equal_range(rec.handle);
      for (auto it = lo; it != hi; ++it)
        if (!memberGroup.count(it->second)) groups[g].push_back(it->second);
    }
  }
  std::unordered_map<uint64_t, uint32_t> recordOfHandle(followerRecord.begin(),
                                                        followerRecord.end());
  for (const auto& members : groups)
    for (uint32_t m : members)
      if (d.records[m].flags & HasHandle) recordOfHandle.emplace(d.records[m].handle, m);

  // One scan over every record for pointers at the groups' handles.
  std::vector<std::vector<Ref>> inbound(groups.size());
  scanPointers(d, groupOfHandle, recordOfHandle, inbound);

  // Groups are refused until what points into the ones left can all be fixed up. A pointer
  // from a group that goes needs no fix-up; when that group is refused, the groups it points
  // into are checked again.
  std::vector<bool> alive(groups.size(), true);
  std::vector<std::string> why(groups.size());
  std::vector<std::vector<uint32_t>> pointedInto(groups.size());  // group -> groups
  for (uint32_t g = 0; g < groups.size(); ++g)
    for (const Ref& ref : inbound[g])
      if (auto m = memberGroup.find(ref.from); m != memberGroup.end() && m->second != g)
        pointedInto[m->second].push_back(g);
  std::vector<uint32_t> toCheck(groups.size());
  for (uint32_t g = 0; g < groups.size(); ++g) toCheck[g] = uint32_t(groups.size()) - 1 - g;
  while (!toCheck.empty()) {
    const uint32_t g = toCheck.back();
    toCheck.pop_back();
    if (!alive[g]) continue;
    for (const Ref& ref : inbound[g]) {
      auto m = memberGroup.find(ref.from);
      if (m != memberGroup.end() && alive[m->second]) continue;
      const Record& to = d.records[ref.to];
      if (!fixUpFor(d, ref, to.handle).refuse) continue;
      const Record& from = d.records[ref.from];
      why[g] = "referenced by " + std::string(typeName(d, from)) + " #" + handleText(from.handle) +
               " (group code " + std::to_string(ref.code) + ")";
      if (ref.to != groups[g][0])
        why[g] += " through its " + std::string(typeName(d, to)) + " #" + handleText(to.handle);
      alive[g] = false;
      toCheck.insert(toCheck.end(), pointedInto[g].begin(), pointedInto[g].end());
      break;
    }
  }

  // The patch of the groups that go.
  std::vector<std::pair<uint32_t, uint64_t>> removedSources;  // hatch record, source handle
  for (uint32_t g = 0; g < groups.size(); ++g) {
    if (!alive[g]) {
      plan.refused.push_back({groups[g][0], why[g]});
      continue;
    }
    for (uint32_t m : groups[g]) plan.patch.deleteRecords.push_back(m);
    for (const Ref& ref : inbound[g]) {
      auto m = memberGroup.find(ref.from);
      if (m != memberGroup.end() && alive[m->second]) continue;
      FixUp f = fixUpFor(d, ref, d.records[ref.to].handle);
      if (f.deleteFrom) {
        plan.patch.deleteRecords.push_back(ref.from);
        continue;
      }
      if (typeName(d, d.records[ref.from]) == "HATCH" && ref.list.empty())
        removedSources.emplace_back(ref.from, d.records[ref.to].handle);
      plan.patch.edits.push_back(std::move(f.edit));
    }
  }
  // A hatch that loses its last boundary source is no longer associative.
  std::sort(removedSources.begin(), removedSources.end());
  for (size_t i = 0; i < removedSources.size();) {
    const uint32_t hatch = removedSources[i].first;
    size_t j = i;
    while (j < removedSources.size() && removedSources[j].first == hatch) ++j;
    bool left = false;
    for (uint64_t s : hatchSources(d, hatch))
      left |= !std::any_of(removedSources.begin() + i, removedSources.begin() + j,
                           [s](const auto& p) { return p.second == s; });
    if (!left) plan.patch.edits.push_back({hatch, 71, "0"});
    i = j;
  }
  auto& del = plan.patch.deleteRecords;
  std::sort(del.begin(), del.end());
  del.erase(std::unique(del.begin(), del.end()), del.end());
  dropEmptyGroups(d, plan.patch);
  auto& edits = plan.patch.edits;
  std::erase_if(edits, [&](const ValueEdit& e) {
    return std::binary_search(del.begin(), del.end(), e.record);
  });
  std::stable_sort(edits.begin(), edits.end(), [](const ValueEdit& a, const ValueEdit& b) {
    return std::tie(a.record, a.code, a.value) < std::tie(b.record, b.code, b.value);
  });
  edits.erase(std::unique(edits.begin(), edits.end(),
                          [](const ValueEdit& a, const ValueEdit& b) {
                            return a.record == b.record && a.code == b.code && a.value == b.value;
                          }),
              edits.end());
  std::sort(plan.refused.begin(), plan.refused.end(),
            [](const Refusal& a, const Refusal& b) { return a.record < b.record; });
  return plan;
}

}  // namespace kelvara::dxf
