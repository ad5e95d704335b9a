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
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
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

// An element's outline: runs of xy vertices in master units (a run of one vertex is a point),
// as a view into the coordinates its list holds.
struct ListGeometry {
  std::span<const double> xy;  // x and y interleaved, the runs one after another
  // The vertex count of each run; empty when xy is a single run (most elements).
  std::span<const uint32_t> runSizes;
};
inline size_t runCount(const ListGeometry& g) {
  return !g.runSizes.empty() ? g.runSizes.size() : g.xy.empty() ? 0 : 1;
}
inline uint32_t runSize(const ListGeometry& g, size_t run) {
  return g.runSizes.empty() ? static_cast<uint32_t>(g.xy.size() / 2) : g.runSizes[run];
}

// The duplicates list's record of a reported element: its description fields, and its outline
// as the drawing view draws it, in master units. Texts and coordinates stay in the list
// (DuplicateRecords), so that a record holds no memory of its own: a run may add 10^5.
struct DuplicateRecord {
  int entryIndex = 0;  // the run's entry (orders the list; not written)
  // Texts of the list (DuplicateRecords::texts); 0 is "".
  uint32_t designFile = 0, model = 0;
  uint32_t levelName = 0;  // "" when the level has none
  uint32_t style = 0;      // the style number, or the name of a named style
  uint32_t filePosition = 0;
  uint64_t elementId = 0;
  int type = 0;  // written with its name (report/description.h), lower case
  int32_t level = 0;
  int64_t colour = 0;
  int64_t weight = 0;
  ListOutcome outcome = ListOutcome::ReportedOnly;
  MatchReason reason = MatchReason::None;
  bool hasPartner = false;
  uint32_t partnerPosition = 0;
  int partnerType = 0;
  // The outline: xyCount values of DuplicateRecords::xy from xyFirst, and runCount run sizes of
  // DuplicateRecords::runSizes from runFirst (none for a single run).
  uint64_t xyFirst = 0;
  uint32_t xyCount = 0;
  uint32_t runFirst = 0, runCount = 0;
};

// A list's records with the texts and coordinates they name. Each text is held once.
struct DuplicateRecords {
  // Looks texts up by std::string_view without making a string of them.
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::vector<DuplicateRecord> records;
  std::vector<std::string> texts{std::string()};
  std::unordered_map<std::string, uint32_t, TextHash, std::equal_to<>> textIndex{
      {std::string(), 0}};
  std::vector<double> xy;
  std::vector<uint32_t> runSizes;
};

// The index of the text in the list, added when new.
uint32_t listText(DuplicateRecords& list, std::string_view text);
inline const std::string& textOf(const DuplicateRecords& list, uint32_t text) {
  return list.texts[text];
}
ListGeometry geometryOf(const DuplicateRecords& list, const DuplicateRecord& record);

// Appends a record to `to` that says what `record` of `from` says (its texts and outline
// taken into `to`).
void appendRecordFrom(DuplicateRecords& to, const DuplicateRecords& from,
                      const DuplicateRecord& record);

// The list format named by the path's extension (.csv or .geojson, any case); false for any
// other.
[[nodiscard]] bool listFormatOf(const std::string& path, ListFormat* format);

// When the list is full: room for `elements` more records (one per element of the model) at
// once. Pages are touched only as records fill them, and the list is not copied to grow again
// within the model.
void makeListRoom(DuplicateRecords& list, size_t elements);

// Appends the record of a reported entry of the current run, made from its element and the
// element's description fields (report/description.h), which the run's text report also
// writes. `partner` is the entry it matched, or null.
DuplicateRecord& addDuplicateRecord(DuplicateRecords& list, const ElementEntry& entry,
                                    const MSElementDescr& el, const DescriptionFields& fields,
                                    const ElementEntry* partner, MatchReason reason,
                                    ListOutcome outcome);

// Appends the geometry as WKT: POINT, LINESTRING, POLYGON (one closed run of four or more
// vertices), MULTIPOINT, MULTILINESTRING or GEOMETRYCOLLECTION.
void appendGeometryWkt(std::string& out, const ListGeometry& geometry);

// Writes the list of the records, sorted by entry and then file position (stable otherwise),
// to path (format by its extension) atomically, without holding its whole text in memory. ERROR
// with *error when the extension is not one of a list or the file cannot be written.
[[nodiscard]] int writeDuplicatesList(const std::string& path, const DuplicateRecords& records,
                                      std::string* error);

}  // namespace kelvara
