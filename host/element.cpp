// Element descriptors read from design images, and the element accessors.
#include "host/element.h"

#include <algorithm>

#include "host/design.h"
#include "host/design_internal.h"
#include "host/dgn/build.h"
#include "host/dgn/image.h"

namespace kelvara {

namespace {

// Builds the descriptor of slot i of slots (offsets relative to data) and its components;
// returns the index of the first slot after its extent.
size_t buildDescriptor(MSElementDescr& d, const uint8_t* data,
                       const std::vector<dgn::ElementSlot>& slots, size_t i, bool is3d,
                       uint32_t base, ModelRef model, bool isComponent) {
  const dgn::ElementSlot& s = slots[i];
  const uint8_t* p = data + s.offset;
  const uint32_t size = dgn::sizeOf(p);
  d.bytes.assign(p, p + size);
  d.filePosition = base == UINT32_MAX ? 0 : base + s.offset;
  d.modelRef = model;
  d.is3d = is3d;
  d.isComponent = isComponent;
  (void)dgn::decodeRecord(dgn::Bytes(p, size), is3d, d.record);
  size_t k = i + 1;
  if (s.extentEnd > s.offset + size) {
    while (k < slots.size() && slots[k].offset < s.extentEnd) {
      d.components.emplace_back();
      k = buildDescriptor(d.components.back(), data, slots, k, is3d, base, model, true);
    }
  }
  return k;
}

void appendRun(const MSElementDescr& d, std::vector<uint8_t>& out) {
  out.insert(out.end(), d.bytes.begin(), d.bytes.end());
  for (const MSElementDescr& c : d.components) appendRun(c, out);
}

void markFromDxf(MSElementDescr& d) {
  d.fromDxf = true;
  for (MSElementDescr& c : d.components) markFromDxf(c);
}

uint16_t displayWord(const MSElementDescr& el, size_t offset) {
  return el.bytes.size() >= dgn::HEADER_BYTES ? dgn::readU16(el.bytes.data() + offset) : 0;
}

bool hasDisplay(const MSElementDescr& el) {
  return el.bytes.size() >= dgn::HEADER_BYTES &&
         dgn::hasDisplayHeader(dgn::typeOf(el.bytes.data()));
}

constexpr uint32_t kMaxColour = 255;
constexpr uint32_t kMaxWeight = 31;
constexpr int32_t kMaxStyle = 7;
constexpr size_t kSymbologyOffset = 34;

bool validLevel(const int* level) {
  return level == nullptr || (*level >= 0 && *level <= dgn::LEVEL_MASK);
}

// The level and symbology edits on one element's bytes (p holds size bytes).
void setLevelBytes(uint8_t* p, int level) {
  p[0] = static_cast<uint8_t>((p[0] & ~dgn::LEVEL_MASK) | (level & dgn::LEVEL_MASK));
}
bool setSymbologyBytes(uint8_t* p, size_t size, const uint32_t* colour, const uint32_t* weight,
                       const int32_t* style) {
  if (size < dgn::HEADER_BYTES || !dgn::hasDisplayHeader(dgn::typeOf(p))) return false;
  const uint16_t old = dgn::readU16(p + kSymbologyOffset);
  const int c = colour ? static_cast<int>(std::min(*colour, kMaxColour)) : dgn::colourOf(old);
  const int w = weight ? static_cast<int>(std::min(*weight, kMaxWeight)) : dgn::weightOf(old);
  const int s = style ? std::clamp(*style, 0, kMaxStyle) : dgn::styleOf(old);
  dgn::writeU16(p + kSymbologyOffset, dgn::makeSymbology(c, w, s));
  return true;
}

// Calls fn(element, size) for every element of a run (header and components in file order).
template <typename Fn>
void forEachElementOfRun(uint8_t* run, size_t length, Fn fn) {
  size_t at = 0;
  while (at + 4 <= length) {
    const size_t size = dgn::sizeOf(run + at);
    if (size < 4 || at + size > length) return;
    fn(run + at, size);
    at += size;
  }
}

}  // namespace

int mdlElmdscr_read(ElmDscrPtr* out, uint32_t filePos, ModelRef model) {
  if (!out) return ERROR;
  out->reset();
  DesignFile* file = designFileOf(model);
  if (!file) return ERROR;
  const dgn::DesignImage& img = file->image;
  const long i = dgn::findSlot(img, filePos);
  if (i < 0) return ERROR;
  auto d = std::make_unique<MSElementDescr>();
  buildDescriptor(*d, img.bytes.data(), img.slots, static_cast<size_t>(i), img.is3d, 0, model,
                  img.slots[i].parent != 0);
  if (file->dxf) markFromDxf(*d);
  *out = std::move(d);
  return SUCCESS;
}

void mdlElmdscr_freeAll(ElmDscrPtr* dscr) {
  if (dscr) dscr->reset();
}

int mdlElmdscr_new(ElmDscrPtr* out, dgn::Bytes run, bool is3d) {
  if (!out) return ERROR;
  out->reset();
  std::vector<dgn::ElementSlot> slots;
  if (dgn::indexRun(run, slots, nullptr) != SUCCESS) return ERROR;
  auto d = std::make_unique<MSElementDescr>();
  buildDescriptor(*d, run.data(), slots, 0, is3d, UINT32_MAX, 0, false);
  *out = std::move(d);
  return SUCCESS;
}

std::vector<uint8_t> elementRun(const MSElementDescr& dscr) {
  std::vector<uint8_t> out;
  appendRun(dscr, out);
  return out;
}

int mdlElement_getType(const MSElementDescr& el) {
  return el.bytes.size() >= 2 ? dgn::typeOf(el.bytes.data()) : 0;
}

int mdlElement_getProperties(ElementProperties* out, const MSElementDescr& el) {
  if (!out) return ERROR;
  *out = ElementProperties{};
  if (el.bytes.size() < 2) return ERROR;
  out->level = dgn::levelOf(el.bytes.data());
  if (el.fromDxf) {
    if (const dxf::ElementSide* side = design_detail::dxfSideOf(el)) out->level = int(side->level);
  }
  if (!hasDisplay(el)) return ERROR;
  const uint16_t p = displayWord(el, 32);
  out->graphicGroup = displayWord(el, 28);
  out->elementClass = p & dgn::PROP_CLASS_MASK;
  out->locked = p & dgn::PROP_LOCKED;
  out->isNew = p & dgn::PROP_NEW;
  out->modified = p & dgn::PROP_MODIFIED;
  out->hasAttributes = p & dgn::PROP_ATTRIBUTES;
  out->viewIndependent = p & dgn::PROP_VIEW_INDEPENDENT;
  out->nonPlanar = p & dgn::PROP_NON_PLANAR;
  out->notSnappable = p & dgn::PROP_NOT_SNAPPABLE;
  out->solidHole = p & dgn::PROP_HOLE;
  return SUCCESS;
}

int mdlElement_getSymbology(uint32_t* colour, uint32_t* weight, int32_t* style,
                            const MSElementDescr& el) {
  if (!hasDisplay(el)) return ERROR;
  if (el.fromDxf) {
    if (const dxf::ElementSide* side = design_detail::dxfSideOf(el)) {
      if (colour) *colour = dxf::colourOf(*side);
      if (weight) *weight = dxf::weightOf(*side);
      if (style) *style = side->style;
      return SUCCESS;
    }
  }
  const uint16_t s = displayWord(el, 34);
  if (colour) *colour = static_cast<uint32_t>(dgn::colourOf(s));
  if (weight) *weight = static_cast<uint32_t>(dgn::weightOf(s));
  if (style) *style = dgn::styleOf(s);
  return SUCCESS;
}

int mdlElement_getLineStyle(std::string* name, const MSElementDescr& el) {
  if (name) name->clear();
  const std::string* style = el.fromDxf ? design_detail::dxfLineStyleOf(el) : nullptr;
  if (!style) return ERROR;
  if (name) *name = *style;
  return SUCCESS;
}

bool mdlElement_isFilled(const MSElementDescr& el) {
  return hasDisplay(el) && dgn::fillColour(dgn::Bytes(el.bytes.data(), el.bytes.size()), nullptr);
}

int mdlElement_getFillColor(uint32_t* colour, const MSElementDescr& el) {
  int c = 0;
  if (!hasDisplay(el) || !dgn::fillColour(dgn::Bytes(el.bytes.data(), el.bytes.size()), &c))
    return ERROR;
  if (colour) *colour = static_cast<uint32_t>(c);
  return SUCCESS;
}

bool mdlElement_isComplexComponent(const MSElementDescr& el) {
  return el.isComponent;
}

bool refusedBySymbologyLists(int type) {
  return type == 2 || type == 35 || type == 87;
}

bool mdlElement_isDeleted(const MSElementDescr& el) {
  return el.bytes.size() >= 2 && dgn::isDeletedBit(el.bytes.data());
}

DRange3d mdlElement_getRange(const MSElementDescr& el) {
  return dgn::decodeHeader(dgn::Bytes(el.bytes.data(), el.bytes.size())).range;
}

uint64_t mdlElement_getID(const MSElementDescr& el) {
  if (el.fromDxf) {
    const uint64_t handle = design_detail::dxfHandleOf(el);
    if (handle != 0) return handle;
  }
  return el.filePosition;
}

bool mdlElement_isVisible(const MSElementDescr& el) {
  // Level 0 is not a V7 graphic level, but common writers use it: such elements still show.
  if (el.bytes.size() < dgn::HEADER_BYTES || mdlElement_isDeleted(el)) return false;
  return dgn::isGraphicType(mdlElement_getType(el));
}

int mdlElement_setSymbology(MSElementDescr* el, const uint32_t* colour, const uint32_t* weight,
                            const int32_t* style) {
  if (!el) return ERROR;
  return setSymbologyBytes(el->bytes.data(), el->bytes.size(), colour, weight, style) ? SUCCESS
                                                                                      : ERROR;
}

int mdlElement_setProperties(MSElementDescr* el, const int* level) {
  if (!el || !validLevel(level) || el->bytes.size() < 2) return ERROR;
  if (level) setLevelBytes(el->bytes.data(), *level);
  return SUCCESS;
}

int mdlElmdscr_setSymbology(MSElementDescr* dscr, const uint32_t* colour, const uint32_t* weight,
                            const int32_t* style) {
  if (!dscr) return ERROR;
  (void)mdlElement_setSymbology(dscr, colour, weight, style);
  for (MSElementDescr& c : dscr->components)
    (void)mdlElmdscr_setSymbology(&c, colour, weight, style);
  return SUCCESS;
}

int mdlElmdscr_setProperties(MSElementDescr* dscr, const int* level) {
  if (!dscr || !validLevel(level)) return ERROR;
  (void)mdlElement_setProperties(dscr, level);
  for (MSElementDescr& c : dscr->components) (void)mdlElmdscr_setProperties(&c, level);
  return SUCCESS;
}

int mdlElmdscr_duplicate(ElmDscrPtr* out, const MSElementDescr& dscr) {
  if (!out) return ERROR;
  *out = std::make_unique<MSElementDescr>(dscr);
  (*out)->filePosition = 0;
  return SUCCESS;
}

void applySymbologyChange(std::vector<uint8_t>& run, const SymbologyChange& change) {
  applySymbologyChange(run.data(), run.size(), change);
}

void applySymbologyChange(uint8_t* run, size_t length, const SymbologyChange& change) {
  const uint32_t* colour = change.colour ? &*change.colour : nullptr;
  const uint32_t* weight = change.weight ? &*change.weight : nullptr;
  const int32_t* style = change.style ? &*change.style : nullptr;
  const bool level = change.level > 0 && change.level <= dgn::LEVEL_MASK;
  forEachElementOfRun(run, length, [&](uint8_t* p, size_t size) {
    if (level) setLevelBytes(p, change.level);
    (void)setSymbologyBytes(p, size, colour, weight, style);
  });
}

std::vector<uint8_t> mdlLine_create(const DPoint3d points[2], bool is3d) {
  return dgn::makeLine(points[0], points[1], is3d);
}

}  // namespace kelvara
