// The duplicates list's record of a reported element: its description fields, and its outline
// as the drawing view draws it, in master units.
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

void addPoint(ListGeometry& g, const MasterUnits& u, double x, double y) {
  g.xy.push_back((x - u.origin.x) / u.uorPerMaster);
  g.xy.push_back((y - u.origin.y) / u.uorPerMaster);
}

// The runs the view draws for the element (all symbology groups, in order).
void addDrawnRuns(ListGeometry& g, const MasterUnits& u, const MSElementDescr& element,
                  uint32_t position) {
  // Lines, line strings and shapes are drawn as their vertices: taken directly.
  const int type = mdlElement_getType(element);
  const auto* linear = std::get_if<dgn::LinearRecord>(&element.record);
  if ((type == 3 || type == 4 || type == 6) && linear != nullptr && !linear->points.empty()) {
    g.xy.reserve(2 * linear->points.size());
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
      for (uint32_t i = 0; i < size; ++i, ++at) {
        addPoint(g, u, group.xy[2 * at], group.xy[2 * at + 1]);
      }
    }
  }
}

void addRangeBox(ListGeometry& g, const MasterUnits& u, const ElementEntry& e) {
  const double xs[5] = {double(e.xLow), double(e.xHigh), double(e.xHigh), double(e.xLow),
                        double(e.xLow)};
  const double ys[5] = {double(e.yLow), double(e.yLow), double(e.yHigh), double(e.yHigh),
                        double(e.yLow)};
  for (int i = 0; i < 5; ++i) addPoint(g, u, xs[i], ys[i]);
}

}  // namespace

void duplicateRecordOf(DuplicateRecord* out, const ElementEntry& entry, const MSElementDescr& el,
                       const DescriptionFields& f, const ElementEntry* partner, MatchReason reason,
                       ListOutcome outcome) {
  DuplicateRecord& r = *out;
  (void)mdlModelRef_getFileName(entry.modelRef, &r.designFile);
  (void)mdlModelRef_getModelName(entry.modelRef, &r.model);
  r.filePosition = entry.filePosition;
  r.elementId = f.id;
  r.type = f.type;
  r.level = f.level;
  r.levelName = f.levelName.value_or("");
  r.colour = static_cast<int32_t>(f.colour);
  r.weight = static_cast<int32_t>(f.weight);
  r.style = f.styleName ? *f.styleName : std::to_string(f.style);
  r.outcome = outcome;
  r.reason = reason;
  if (partner != nullptr) {
    r.hasPartner = true;
    r.partnerPosition = partner->filePosition;
    r.partnerType = static_cast<int>(partner->elementType);
  }
  const MasterUnits units = masterUnitsOf(entry.modelRef);
  addDrawnRuns(r.geometry, units, el, entry.filePosition);
  if (r.geometry.xy.empty()) addRangeBox(r.geometry, units, entry);
}

}  // namespace kelvara
