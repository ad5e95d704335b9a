// The duplicates list: one record per reported element of a run, written as CSV (geometry as
// WKT) or GeoJSON, for spreadsheets and GIS tools.
//
// A record holds where the element is (design file, model, file position, element ID), what it
// is (type, level, symbology), what the run did with it, which test of the comparison accepted
// it and the element it matched, and its geometry in the drawing's master units: the outline a
// view draws (arcs and curves stroked), or the element's range box when nothing is drawn for it.
// The run collects records as it reports elements; writeDuplicatesList writes a whole list from
// records, ordered by entry and then file position, so that records made elsewhere (in other
// processes) can be handed over and written as one list.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "engine/compare_pair.h"
#include "engine/element_table.h"
#include "report/description.h"

namespace kelvara {

enum class ListFormat { Csv, GeoJson };

// What the run did with a reported element.
enum class ListOutcome : uint8_t {
  Removed,       // deleted from the drawing
  ReportedOnly,  // reported and left (report-only run, read-only file, reference, component)
  KeptByRule,    // matched, but the "Elements Compared" group or a keep rule kept it
  KeptInReview,  // the user kept it in the review
  NotDeleted,    // the drawing refused its deletion (the text report says why)
};

// "removed", "reported only", "kept by rule", "kept in review", "not deleted".
const char* listOutcomeName(ListOutcome outcome);

// An element's outline: runs of xy vertices in master units (a run of one vertex is a point).
struct ListGeometry {
  std::vector<double> xy;  // x and y interleaved, the runs one after another
  // The vertex count of each run; empty when xy is a single run (most elements: no allocation).
  std::vector<uint32_t> runSizes;
};
inline size_t runCount(const ListGeometry& g) {
  return !g.runSizes.empty() ? g.runSizes.size() : g.xy.empty() ? 0 : 1;
}
inline uint32_t runSize(const ListGeometry& g, size_t run) {
  return g.runSizes.empty() ? static_cast<uint32_t>(g.xy.size() / 2) : g.runSizes[run];
}

struct DuplicateRecord {
  int entryIndex = 0;  // the run's entry (orders the list; not written)
  std::string designFile;
  std::string model;
  uint32_t filePosition = 0;
  uint64_t elementId = 0;
  int type = 0;  // written with its name (report/description.h), lower case
  int32_t level = 0;
  std::string levelName;  // "" when the level has none
  int64_t colour = 0;
  int64_t weight = 0;
  std::string style;  // the style number, or the name of a named style
  ListOutcome outcome = ListOutcome::ReportedOnly;
  MatchReason reason = MatchReason::None;
  bool hasPartner = false;
  uint32_t partnerPosition = 0;
  int partnerType = 0;
  ListGeometry geometry;
};

// A list's records. A deque: adding a record never moves the others (a run may add 10^5).
using DuplicateRecords = std::deque<DuplicateRecord>;

// The list format named by the path's extension (.csv or .geojson, any case); false for any
// other.
[[nodiscard]] bool listFormatOf(const std::string& path, ListFormat* format);

// Fills a fresh record for a reported entry of the current run from its element and the
// element's description fields (report/description.h), which the run's text report also
// writes. `partner` is the entry it matched, or null.
void duplicateRecordOf(DuplicateRecord* out, const ElementEntry& entry, const MSElementDescr& el,
                       const DescriptionFields& fields, const ElementEntry* partner,
                       MatchReason reason, ListOutcome outcome);

// Appends the geometry as WKT: POINT, LINESTRING, POLYGON (one closed run of four or more
// vertices), MULTIPOINT, MULTILINESTRING or GEOMETRYCOLLECTION.
void appendGeometryWkt(std::string& out, const ListGeometry& geometry);

// Writes the list of the records, sorted by entry and then file position (stable otherwise),
// to path (format by its extension) atomically, without holding its whole text in memory. ERROR
// with *error when the extension is not one of a list or the file cannot be written.
[[nodiscard]] int writeDuplicatesList(const std::string& path, const DuplicateRecords& records,
                                      std::string* error);

}  // namespace kelvara
