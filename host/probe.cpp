// The traceless append probe.
#include "host/probe.h"

#include <algorithm>

#include "host/design.h"
#include "host/dgn/image.h"

namespace kelvara {

ProbeMark markBeforeAppend(ModelRef model) {
  ProbeMark mark;
  const DesignFile* f = designFileOf(model);
  if (!f) return mark;
  const dgn::DesignImage& img = f->image;
  mark.model = model;
  mark.endOfDesign = img.endOfDesign;
  mark.hasEndMarker = img.hasEndMarker;
  mark.dirty = img.dirty;
  mark.edits = img.edits;
  mark.byteCount = img.bytes.size();
  mark.slotCount = img.slots.size();
  mark.topLevelCount = img.topLevel.size();
  const size_t from = std::min<size_t>(img.endOfDesign, img.bytes.size());
  const size_t to = std::min(img.bytes.size(), from + kProbeTailBytes);
  mark.tail.assign(img.bytes.begin() + static_cast<std::ptrdiff_t>(from),
                   img.bytes.begin() + static_cast<std::ptrdiff_t>(to));
  mark.valid = true;
  return mark;
}

int undoAppend(const ProbeMark& mark, uint32_t filePos) {
  DesignFile* f = designFileOf(mark.model);
  if (!mark.valid || !f) return ERROR;
  dgn::DesignImage& img = f->image;
  // Only the one element appended after the mark may be taken back.
  if (filePos != mark.endOfDesign || img.slots.size() <= mark.slotCount ||
      img.topLevel.size() != mark.topLevelCount + 1 ||
      img.slots[mark.slotCount].offset != filePos ||
      img.endOfDesign - filePos > kProbeTailBytes - 2) {
    return ERROR;
  }
  img.slots.resize(mark.slotCount);
  img.topLevel.resize(mark.topLevelCount);
  img.bytes.resize(std::max(mark.byteCount, img.bytes.size()));
  std::copy(mark.tail.begin(), mark.tail.end(),
            img.bytes.begin() + static_cast<std::ptrdiff_t>(mark.endOfDesign));
  img.bytes.resize(mark.byteCount);
  img.endOfDesign = mark.endOfDesign;
  img.hasEndMarker = mark.hasEndMarker;
  img.dirty = mark.dirty;
  img.edits = mark.edits;
  img.lookupHint = 0;
  return SUCCESS;
}

bool probeAppend(ModelRef model) {
  const ProbeMark mark = markBeforeAppend(model);
  if (!mark.valid) return false;
  const DPoint3d origin[2] = {};
  const std::vector<uint8_t> line = mdlLine_create(origin, mdlModelRef_is3D(model));
  const uint32_t pos = mdlElement_add(line, model);
  if (pos == 0) return false;
  // The append changed nothing else, so taking it back cannot fail; if it ever did, the probe
  // is at least not left standing as a live element.
  if (undoAppend(mark, pos) != SUCCESS) (void)mdlElement_undoableDelete(pos, model);
  return true;
}

}  // namespace kelvara
