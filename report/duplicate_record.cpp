// The duplicates list's record of a reported element: its description fields, and its outline
// as the drawing view draws it, in master units.
#include <algorithm>
#include <charconv>
#include <variant>

#include "host/design.h"
#include "host/drawing.h"
#include "report/description.h"
#include "report/duplicates_list.h"

namespace kelvara {

namespace {

struct MasterUnits {
  double uorPerMaster = 1;
  DPoint3d origin;
};

MasterUnits masterUnitsOf(ModelRef model) {
  MasterUnits units;
  dgn::TcbRecord tcb;
  if (mdlModelRef_getUnits(model, &tcb) == SUCCESS && tcb.uorPerMaster() > 0) {
    units.uorPerMaster = tcb.uorPerMaster();
    units.origin = tcb.globalOrigin;
  }
  return units;
}

void addPoint(DuplicateRecords& g, const MasterUnits& u, double x, double y) {
  g.xy.push_back((x - u.origin.x) / u.uorPerMaster);
  g.xy.push_back((y - u.origin.y) / u.uorPerMaster);
}

// The runs the view draws for the element (all symbology groups, in order).
void addDrawnRuns(DuplicateRecords& g, DuplicateRecord& r, const MasterUnits& u,
                  const MSElementDescr& element, uint32_t position) {
  // Lines, line strings and shapes are drawn as their vertices: taken directly.
  const int type = mdlElement_getType(element);
  const auto* linear = std::get_if<dgn::LinearRecord>(&element.record);
  if ((type == 3 || type == 4 || type == 6) && linear != nullptr && !linear->points.empty()) {
    for (const DPoint3d& p : linear->points) addPoint(g, u, p.x, p.y);
    return;
  }
  // Colours play no part in the list: the default table spares a look-up in the file.
  Drawing drawing;
  drawElement(drawing, element, position, defaultColorTable());
  for (const DrawingGroup& group : drawing.groups) {
    size_t at = 0;
    for (const uint32_t size : group.runSizes) {
      g.runSizes.push_back(size);
      ++r.runCount;
      for (uint32_t i = 0; i < size; ++i, ++at) {
        addPoint(g, u, group.xy[2 * at], group.xy[2 * at + 1]);
      }
    }
  }
}

void addRangeBox(DuplicateRecords& g, const MasterUnits& u, const ElementEntry& e) {
  const double xs[5] = {double(e.xLow), double(e.xHigh), double(e.xHigh), double(e.xLow),
                        double(e.xLow)};
  const double ys[5] = {double(e.yLow), double(e.yLow), double(e.yHigh), double(e.yHigh),
                        double(e.yLow)};
  for (int i = 0; i < 5; ++i) addPoint(g, u, xs[i], ys[i]);
}

// A scratch text the model's names are read into, so that reading them allocates nothing
// once it has grown.
const std::string& scratchText(int (*read)(ModelRef, std::string*), ModelRef model) {
  static std::string text;
  text.clear();
  (void)read(model, &text);
  return text;
}

}  // namespace

uint32_t listText(DuplicateRecords& list, std::string_view text) {
  if (const auto at = list.textIndex.find(text); at != list.textIndex.end()) return at->second;
  const auto index = static_cast<uint32_t>(list.texts.size());
  list.texts.emplace_back(text);
  list.textIndex.emplace(list.texts.back(), index);
  return index;
}

ListGeometry geometryOf(const DuplicateRecords& list, const DuplicateRecord& r) {
  ListGeometry g;
  g.xy = std::span<const double>(list.xy).subspan(r.xyFirst, r.xyCount);
  g.runSizes = std::span<const uint32_t>(list.runSizes).subspan(r.runFirst, r.runCount);
  return g;
}

void appendRecordFrom(DuplicateRecords& to, const DuplicateRecords& from,
                      const DuplicateRecord& record) {
  DuplicateRecord& r = to.records.emplace_back(record);
  for (uint32_t* text : {&r.designFile, &r.model, &r.levelName, &r.style}) {
    *text = listText(to, textOf(from, *text));
  }
  const ListGeometry g = geometryOf(from, record);
  r.xyFirst = to.xy.size();
  r.runFirst = static_cast<uint32_t>(to.runSizes.size());
  to.xy.insert(to.xy.end(), g.xy.begin(), g.xy.end());
  to.runSizes.insert(to.runSizes.end(), g.runSizes.begin(), g.runSizes.end());
}

void makeListRoom(DuplicateRecords& list, size_t elements) {
  if (list.records.size() < list.records.capacity()) return;
  list.records.reserve(std::max(2 * list.records.size(), list.records.size() + elements));
  list.xy.reserve(std::max(2 * list.xy.size(), list.xy.size() + 4 * elements));
}

DuplicateRecord& addDuplicateRecord(DuplicateRecords& list, const ElementEntry& entry,
                                    const MSElementDescr& el, const DescriptionFields& f,
                                    const ElementEntry* partner, MatchReason reason,
                                    ListOutcome outcome) {
  DuplicateRecord& r = list.records.emplace_back();
  r.designFile = listText(list, scratchText(mdlModelRef_getFileName, entry.modelRef));
  r.model = listText(list, scratchText(mdlModelRef_getModelName, entry.modelRef));
  r.filePosition = entry.filePosition;
  r.elementId = f.id;
  r.type = f.type;
  r.level = f.level;
  r.levelName = f.levelName ? listText(list, *f.levelName) : 0;
  r.colour = static_cast<int32_t>(f.colour);
  r.weight = static_cast<int32_t>(f.weight);
  if (f.styleName) {
    r.style = listText(list, *f.styleName);
  } else {
    char number[16];
    const char* end = std::to_chars(number, number + sizeof number, f.style).ptr;
    r.style = listText(list, std::string_view(number, static_cast<size_t>(end - number)));
  }
  r.outcome = outcome;
  r.reason = reason;
  if (partner != nullptr) {
    r.hasPartner = true;
    r.partnerPosition = partner->filePosition;
    r.partnerType = static_cast<int>(partner->elementType);
  }
  const MasterUnits units = masterUnitsOf(entry.modelRef);
  r.xyFirst = list.xy.size();
  r.runFirst = static_cast<uint32_t>(list.runSizes.size());
  addDrawnRuns(list, r, units, el, entry.filePosition);
  if (list.xy.size() == r.xyFirst) addRangeBox(list, units, entry);
  r.xyCount = static_cast<uint32_t>(list.xy.size() - r.xyFirst);
  return r;
}

}  // namespace kelvara
