#include "host/view_display.h"

#include <algorithm>
#include <cmath>

#include "host/design.h"
#include "host/dgn/codec.h"
#include "host/state.h"
#include "host/timers.h"
#include "host/ui.h"

namespace kelvara {

namespace {

ElementDescriber& describer() {
  static ElementDescriber d;
  return d;
}

ViewOverlay& overlay() {
  return hostState().views.overlay;
}

}  // namespace

int mdlView_zoom(int outView, int inView, const DPoint3d* centre, double factor) {
  DPoint3d origin, middle, delta;
  if (!(factor > 0.0) || !std::isfinite(factor) || outView < 0 || outView >= VIEW_COUNT ||
      mdlView_getParameters(&origin, &middle, &delta, nullptr, inView) != SUCCESS) {
    return ERROR;
  }
  if (centre != nullptr) middle = *centre;
  const DPoint3d newDelta{delta.x * factor, delta.y * factor, delta.z * factor};
  const DPoint3d newOrigin{middle.x - newDelta.x / 2, middle.y - newDelta.y / 2,
                           middle.z - newDelta.z / 2};
  return mdlView_setArea(outView, newOrigin, newDelta);
}

int viewAreaAroundRange(int view, const DRange3d& r, double minimumExtent) {
  const double cx = (static_cast<double>(r.xLow) + static_cast<double>(r.xHigh)) / 2;
  const double cy = (static_cast<double>(r.yLow) + static_cast<double>(r.yHigh)) / 2;
  double dx = static_cast<double>(r.xHigh) - static_cast<double>(r.xLow);
  double dy = static_cast<double>(r.yHigh) - static_cast<double>(r.yLow);
  const double side = std::max({dx, dy, minimumExtent});
  // An extent of nothing along one axis would make the area a line: square it up.
  if (dx < side / 1000) dx = side;
  if (dy < side / 1000) dy = side;
  DPoint3d origin, delta;
  if (mdlView_getParameters(&origin, nullptr, &delta, nullptr, view) != SUCCESS) return ERROR;
  return mdlView_setArea(view, {cx - dx / 2, cy - dy / 2, origin.z}, {dx, dy, delta.z});
}

int flashElement(uint32_t filePos, ModelRef model) {
  ElmDscrPtr element;
  if (mdlElmdscr_read(&element, filePos, model) != SUCCESS) return ERROR;
  ViewOverlay& o = overlay();
  o.flashModel = model;
  o.flash = filePos;
  ++o.flashes;
  (void)mdlView_updateSingle(0);
  mdlSystem_pauseTicks(FLASH_PAUSE_TICKS);
  mdlSystem_pauseTicks(FLASH_PAUSE_TICKS);
  return SUCCESS;
}

void highlightElements(uint32_t filePos, uint32_t partnerPos, ModelRef model) {
  ViewOverlay& o = overlay();
  o.model = model;
  o.highlight = filePos;
  o.partner = partnerPos;
}

void clearHighlight() {
  ViewOverlay& o = overlay();
  o.model = 0;
  o.highlight = o.partner = 0;
}

void setElementDescriber(ElementDescriber d) {
  describer() = std::move(d);
}

int identifyElement(uint32_t filePos) {
  ElmDscrPtr element;
  if (mdlElmdscr_read(&element, filePos, mdlModelRef_getActive()) != SUCCESS) return ERROR;
  const std::string line = describer() ? describer()(*element)
                                       : "type " + std::to_string(mdlElement_getType(*element)) +
                                             " element at " + std::to_string(filePos);
  return mdlOutput_printf(FIELD_MESSAGE, "%s", line.c_str());
}

namespace {

// The revision of the active model's drawing when its file had made `edits` changes.
uint64_t revisionAt(uint64_t edits) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a over what the drawing depends on
  auto mix = [&h](uint64_t v) {
    h ^= v;
    h *= 1099511628211ull;
  };
  mix(mdlModelRef_getActive());
  mix(edits);
  for (uint32_t level : hostState().views.views[0].hiddenLevels) mix(level + 1000);
  for (uint32_t level : hostState().views.modelHiddenLevels) mix(level + 2000);
  return h & ((1ull << 53) - 1);  // exact in a JavaScript number
}

}  // namespace

uint64_t drawingEdits() {
  const DesignFile* file = designFileOf(mdlModelRef_getActive());
  return file ? file->image.edits : 0;
}

uint64_t drawingRevision() {
  return revisionAt(drawingEdits());
}

bool drawingDeletionsSince(uint64_t revision, uint64_t edits, std::vector<uint32_t>* positions) {
  positions->clear();
  const DesignFile* file = designFileOf(mdlModelRef_getActive());
  if (!file || edits > file->image.edits || revisionAt(edits) != revision) return false;
  const dgn::DesignImage& img = file->image;
  auto it = std::upper_bound(img.deletions.begin(), img.deletions.end(), edits,
                             [](uint64_t e, const auto& d) { return e < d.first; });
  // Every edit since is one of these deletions, or something else changed too.
  if (static_cast<uint64_t>(img.deletions.end() - it) != img.edits - edits) return false;
  for (; it != img.deletions.end(); ++it) {
    const long slot = dgn::findSlot(img, it->second);
    if (slot < 0 || img.slots[slot].parent != 0 ||
        !dgn::isGraphicType(dgn::typeOf(img.bytes.data() + it->second))) {
      return false;
    }
    positions->push_back(it->second);
  }
  return true;
}

}  // namespace kelvara
