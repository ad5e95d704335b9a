// Writing DXF drawings: a patch (records to drop, group values to set) applied to the original
// bytes, the plan that says which entities can be deleted and which references must be fixed up
// with them, and a structural validator for what is written.
//
// Every byte outside the patch is copied unchanged, so an empty patch reproduces the file.
#pragma once

#include <cstdint>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "host/dxf/dxf.h"
#include "host/files.h"

namespace kelvara::dxf {

// An edit of one record's groups:
// - code >= 0: sets the value of the record's first group `code` (outside 102 groups and XDATA),
//   or inserts the pair where it belongs when the record has none (the common entity groups
//   6, 8, 62, 370, 420 ... in their usual order after the layer; other codes at the end of the
//   record's own groups, before XDATA);
// - code < 0: removes the groups -code whose value is the handle (or the text) `value`,
//   wherever they stand (reactor lists included). A removed SORTENTSTABLE entry (331) takes its
//   sort handle (the 5 after it) along, a removed DICTIONARY entry (350, 360) its key (the 3
//   before it), and a removed HATCH boundary source (330) lowers its loop's count (97).
struct ValueEdit {
  uint32_t record = 0;
  int code = 0;
  std::string value;
};

// New records: `text` (whole tags, in the file's line endings) written right before record
// `before`.
struct Insertion {
  uint32_t before = 0;
  std::string text;
};

// A header variable's new value (of the group after `9 name`, e.g. $HANDSEED).
struct HeaderEdit {
  std::string name, value;
};

// What the writer needs to know of a record to give it a look of the design report's kind
// (layer 8, linetype 6, lineweight 370 and colour 62 set; true colour 420 and colour name 430
// dropped) without reading its tags again: where the groups it lacks go, right after its
// layer's value line. A record that must be rewritten tag by tag is not usable: one with one of
// those groups of its own, without a layer or with the groups going elsewhere, or over 64 KB.
struct RestyleSketch {
  uint16_t insertAt = 0;  // from the record's start; 0: not usable
};

// The sketches of `records` (ascending record indexes), made beside other work so that the
// writing need not read their tags; empty when `stop` is asked for before the end.
std::vector<RestyleSketch> sketchRestyle(const Drawing& d, std::span<const uint32_t> records,
                                         std::stop_token stop = {});

// One set of edits among a few given to many records, e.g. the design report's looks: record
// records[i] takes the edits looks[lookOf[i]] (their `record` unused), after its own edits of
// the patch, which win for a code both set. The records (ascending) and their looks are the
// caller's and must outlive the writing. A restyle out of order, outside the drawing or naming
// a look it has not is refused by writePatched and left out by applyPatch.
struct Restyle {
  std::span<const uint32_t> records;
  std::span<const uint8_t> lookOf;
  std::vector<std::vector<ValueEdit>> looks;
  // Optional: per record, its sketch (above), as sketchRestyle made it for these records.
  std::span<const RestyleSketch> sketches;
};

struct Patch {
  std::vector<uint32_t> deleteRecords;
  std::vector<ValueEdit> edits;
  std::vector<Insertion> insertions;
  std::vector<HeaderEdit> header;
  Restyle restyle;
};

struct Refusal {
  uint32_t record = 0;
  std::string why;
};

struct DeletionPlan {
  Patch patch;
  std::vector<Refusal> refused;
};

// Which of `records` (entity records of the index) can be removed, with the fix-ups of the
// records that point at them; the rest refused with a reason a report can print.
DeletionPlan planDeletion(const Drawing& d, const std::vector<uint32_t>& records);

// The drawing's bytes with the patch applied.
std::string applyPatch(const Drawing& d, const Patch& patch);

// Writes the drawing with the patch applied to `path` atomically (a temporary file in the same
// folder, renamed when complete); a read-only target is never touched. False with `error` set.
// A drawing is synced to the disk before it replaces the original; a report need not be
// (host/files.h).
bool writePatched(const Drawing& d, const Patch& patch, const std::string& path, std::string& error,
                  Durability durability = Durability::Synced);

// `value` as wide as `old` when `old` is right-aligned with blanks, so that a rewritten group
// keeps its column.
std::string padded(std::string_view old, std::string_view value);

// "" when the bytes are a structurally valid DXF (tags paired, sections balanced, followers
// complete through SEQEND, handles unique, no pointer to a missing handle); else what and which
// line.
std::string validate(std::string_view bytes);

}  // namespace kelvara::dxf
