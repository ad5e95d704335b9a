// The host's changes to design files: deleting, adding and rewriting elements, copies of a
// model into a work file (held in memory or streamed to disk), colour tables and level names.
#include <strings.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/design.h"
#include "host/design_internal.h"
#include "host/dgn/build.h"

namespace kelvara {

using namespace design_detail;

int mdlElmdscr_undoableDelete(const MSElementDescr& dscr, ModelRef model) {
  return mdlElement_undoableDelete(dscr.filePosition, model);
}

int mdlElement_undoableDelete(uint32_t filePos, ModelRef model) {
  DesignFile* f = writableFile(model);
  if (!f) return ERROR;
  if (f->dxf && dxfCheckDeletion(*f, filePos) != SUCCESS) return ERROR;
  if (dgn::deleteElement(f->image, filePos) != SUCCESS)
    return fail(f->path + ": no element at byte " + std::to_string(filePos));
  if (f->dxf) dxfDeleteAttribs(*f, filePos);
  return SUCCESS;
}

bool elementDeletionRefusal(std::string* why, uint32_t filePos, ModelRef model) {
  const DesignFile* f = designFileOf(model);
  const std::string* refusal = f ? dxfDeletionRefusal(*f, filePos) : nullptr;
  if (refusal && why) *why = *refusal;
  return refusal != nullptr;
}

void prepareDeletions(ModelRef model) {
  DesignFile* f = writableFile(model);
  if (f && f->dxf) dxfPrepareDeletions(*f);
}

uint32_t mdlElmdscr_add(MSElementDescr* dscr, ModelRef model) {
  DesignFile* f = writableFile(model);
  if (!f || !dscr || dscr->is3d != f->image.is3d) return 0;
  if (f->dxf) return dxfRestore(*f, *dscr);
  const std::vector<uint8_t> run = elementRun(*dscr);
  const uint32_t pos = dgn::appendElement(f->image, run);
  if (pos != 0) setPositions(*dscr, pos, model, false);
  return pos;
}

uint32_t mdlElement_add(dgn::Bytes element, ModelRef model) {
  DesignFile* f = writableFile(model);
  return f ? dgn::appendElement(f->image, element) : 0;
}

uint32_t mdlElmdscr_rewrite(MSElementDescr* dscr, uint32_t oldPos, ModelRef model) {
  DesignFile* f = writableFile(model);
  if (!f || !dscr || dscr->is3d != f->image.is3d) return 0;
  const uint32_t pos = dgn::replaceElement(f->image, oldPos, elementRun(*dscr));
  if (pos != 0) setPositions(*dscr, pos, model, false);
  return pos;
}

uint32_t mdlElmdscr_copy(const MSElementDescr& dscr, ModelRef dest) {
  DesignFile* f = writableFile(dest);
  if (!f || dscr.is3d != f->image.is3d) return 0;
  std::vector<uint8_t> run = elementRun(dscr);
  if (run.size() < 4) return 0;
  for (size_t at = 0; at + 4 <= run.size();) {
    const size_t size = dgn::sizeOf(run.data() + at);
    if (size < 4 || at + size > run.size()) break;
    run[at + 1] &= static_cast<uint8_t>(~(dgn::DELETED_BIT >> 8));
    at += size;
  }
  if (dscr.isComponent) run[0] &= static_cast<uint8_t>(~dgn::COMPLEX_BIT);
  return dgn::appendElement(f->image, run);
}

namespace {

// Calls fn(slot, graphic) for each top-level element of img that a copy into a file seeded
// from it takes, in file order: those after the header block that are not deleted and belong
// to the drawing (graphic: the element takes the symbology change). Stops when fn is false.
template <typename Fn>
bool forEachCopiedElement(const dgn::DesignImage& img, Fn&& fn) {
  bool pastHeader = false;
  for (uint32_t slot : img.topLevel) {
    const uint8_t* p = img.bytes.data() + img.slots[slot].offset;
    const bool graphic = dgn::isGraphicType(dgn::typeOf(p));
    pastHeader = pastHeader || graphic;
    if (!pastHeader || dgn::isDeletedBit(p)) continue;
    if (!graphic && !belongsToDrawing(p, dgn::sizeOf(p))) continue;
    if (!fn(slot, graphic)) return false;
  }
  return true;
}

// The two files of a copy, checked: writable dest, open source, the same dimension.
bool copyFiles(ModelRef dest, ModelRef source, DesignFile** to, const DesignFile** from) {
  *to = writableFile(dest);
  *from = designFileOf(source);
  if (!*to || !*from) return false;
  if ((*from)->image.is3d != (*to)->image.is3d) {
    fail((*to)->path + ": other dimension than " + (*from)->path);
    return false;
  }
  return true;
}

std::string cannotAdd(const DesignFile& to, const DesignFile& from, uint32_t offset) {
  return to.path + ": cannot add the element at byte " + std::to_string(offset) + " of " +
         from.path;
}

}  // namespace

int mdlModelRef_copyElements(ModelRef dest, ModelRef source, const SymbologyChange& change) {
  DesignFile* to = nullptr;
  const DesignFile* from = nullptr;
  if (!copyFiles(dest, source, &to, &from)) return ERROR;
  const dgn::DesignImage& img = from->image;
  dgn::DesignImage& out = to->image;
  // Room for the copy and as much again for what is added later (reported elements), so that
  // the image is not moved while it grows; room that is never written costs nothing.
  dgn::reserveImageBytes(out.bytes, out.bytes.size() + 2 * (size_t{img.endOfDesign} + 2));
  dgn::reserveImageSlots(out, out.slots.size() + 2 * img.slots.size());
  uint32_t failedAt = 0;
  const bool ok = forEachCopiedElement(img, [&](uint32_t slot, bool graphic) {
    const dgn::ElementSlot& s = img.slots[slot];
    const uint32_t pos = dgn::appendCopy(out, img, slot);
    if (pos == 0) {
      failedAt = s.offset;
      return false;
    }
    if (graphic) applySymbologyChange(out.bytes.data() + pos, s.extentEnd - s.offset, change);
    return true;
  });
  return ok ? SUCCESS : fail(cannotAdd(*to, *from, failedAt));
}

int mdlWorkDgn_streamElements(ModelRef workFile, ModelRef source, const SymbologyChange& change) {
  DesignFile* to = nullptr;
  const DesignFile* from = nullptr;
  if (!copyFiles(workFile, source, &to, &from)) return ERROR;
  if (!to->isWorkFile) return fail(to->path + ": not a work file");
  if (to->stream.fd >= 0 || to->streamedLength != 0)
    return fail(to->path + ": already holds a streamed copy");
  const dgn::DesignImage& img = from->image;
  const dgn::DesignImage& out = to->image;
  std::string error;
  const uint32_t at = out.endOfDesign;
  if (beginStreamedFile(to->stream, to->path, &error) != SUCCESS ||
      appendToStreamedFile(to->stream, dgn::Bytes(out.bytes.data(), at), &error) != SUCCESS)
    return fail(error);
  // The copies go out in blocks of about a megabyte, each element changed in the block.
  constexpr size_t kBlock = size_t{1} << 20;
  std::vector<uint8_t> block;
  block.reserve(kBlock + dgn::MAX_ELEMENT_BYTES);
  auto flush = [&] {
    const bool written =
        appendToStreamedFile(to->stream, dgn::Bytes(block.data(), block.size()), &error) == SUCCESS;
    block.clear();
    return written;
  };
  uint32_t failedAt = 0;
  const bool ok = forEachCopiedElement(img, [&](uint32_t slot, bool graphic) {
    const dgn::ElementSlot& s = img.slots[slot];
    failedAt = s.offset;
    // The checks of appendCopy: no element of the run over 768 words, the file within its size.
    for (size_t k = slot; k < img.slots.size() && img.slots[k].offset < s.extentEnd; ++k)
      if (dgn::sizeOf(img.bytes.data() + img.slots[k].offset) > dgn::MAX_ELEMENT_BYTES)
        return false;
    const uint32_t length = s.extentEnd - s.offset;
    if (to->stream.size + block.size() + length + 2 > dgn::MAX_FILE_BYTES) return false;
    const size_t base = block.size();
    block.insert(block.end(), img.bytes.data() + s.offset, img.bytes.data() + s.extentEnd);
    if (graphic) applySymbologyChange(block.data() + base, length, change);
    if (block.size() >= kBlock && !flush()) {
      failedAt = UINT32_MAX;
      return false;
    }
    return true;
  });
  if (!ok || (!block.empty() && !flush())) {
    abandonStreamedFile(to->stream);
    return fail(ok || failedAt == UINT32_MAX ? error : cannotAdd(*to, *from, failedAt));
  }
  to->streamedAt = at;
  to->streamedLength = to->stream.size - at;
  to->image.dirty = true;
  ++to->image.edits;
  return SUCCESS;
}

int mdlSharedCell_copyDefinitions(ModelRef dest, ModelRef source) {
  DesignFile* to = writableFile(dest);
  const DesignFile* from = designFileOf(source);
  if (!to || !from) return ERROR;
  const dgn::DesignImage& img = from->image;
  for (uint32_t slot : img.topLevel) {
    const dgn::ElementSlot& s = img.slots[slot];
    const uint8_t* p = img.bytes.data() + s.offset;
    if (dgn::typeOf(p) != kSharedCellDefinitionType || dgn::isDeletedBit(p)) continue;
    const dgn::Bytes run(p, s.extentEnd - s.offset);
    if (dgn::appendElement(to->image, run) == 0)
      return fail(to->path + ": cannot add the shared cell definition at byte " +
                  std::to_string(s.offset) + " of " + from->path);
  }
  return SUCCESS;
}

int mdlColor_attachDefaultColorTable(ModelRef model) {
  DesignFile* f = writableFile(model);
  if (!f) return ERROR;
  dgn::DesignImage& img = f->image;
  std::vector<uint32_t> tables;
  for (uint32_t slot : img.topLevel) {
    const uint8_t* p = img.bytes.data() + img.slots[slot].offset;
    if (isColourTable(p) && !dgn::isDeletedBit(p)) tables.push_back(img.slots[slot].offset);
  }
  for (uint32_t pos : tables)
    if (dgn::deleteElement(img, pos) != SUCCESS) return ERROR;
  return SUCCESS;
}

int mdlLevel_getName(std::string* name, ModelRef model, int level) {
  DesignFile* f = designFileOf(model);
  if (f && f->dxf) {
    const std::string* layer = level < 0 ? nullptr : dxf::levelName(*f->dxf, uint32_t(level));
    if (!layer) return ERROR;
    if (name) *name = *layer;
    return SUCCESS;
  }
  if (!f || level < 1 || level > MAX_LEVEL || f->levelNames[level].empty()) return ERROR;
  if (name) *name = f->levelNames[level];
  return SUCCESS;
}

int mdlLevel_getIdFromName(int* level, ModelRef model, const std::string& name) {
  DesignFile* f = designFileOf(model);
  if (!f || name.empty()) return ERROR;
  if (f->dxf) {  // layer names are case-insensitive
    for (const auto& [code, layer] : f->dxf->levels) {
      if (strcasecmp(layer.c_str(), name.c_str()) != 0) continue;
      if (level) *level = int(code);
      return SUCCESS;
    }
    return ERROR;
  }
  for (int l = 1; l <= MAX_LEVEL; ++l) {
    if (f->levelNames[l] == name) {
      if (level) *level = l;
      return SUCCESS;
    }
  }
  return ERROR;
}

int mdlLevel_create(int* level, ModelRef model, const std::string& name) {
  DesignFile* f = designFileOf(model);
  if (!f || name.empty() || name.size() > 255 ||
      mdlLevel_getIdFromName(nullptr, model, name) == SUCCESS)
    return ERROR;
  for (int l = 1; l <= MAX_LEVEL; ++l) {
    if (f->levelNames[l].empty()) {
      f->levelNames[l] = name;
      if (level) *level = l;
      return SUCCESS;
    }
  }
  return fail(f->path + ": every level has a name");
}

int mdlLevel_setName(ModelRef model, int level, const std::string& name) {
  DesignFile* f = designFileOf(model);
  if (!f || level < 1 || level > MAX_LEVEL || name.empty() || name.size() > 255) return ERROR;
  int holder = 0;
  if (mdlLevel_getIdFromName(&holder, model, name) == SUCCESS && holder != level) return ERROR;
  f->levelNames[level] = name;
  return SUCCESS;
}

int mdlLevelTable_rewrite(ModelRef model) {
  DesignFile* f = writableFile(model);
  if (!f) return ERROR;
  dgn::DesignImage& img = f->image;
  std::array<std::string, MAX_LEVEL + 1> scratch;
  std::vector<uint32_t> old;
  for (uint32_t slot : img.topLevel) {
    const dgn::Bytes e = dgn::slotBytes(img, slot);
    if (!dgn::isDeletedBit(e.data()) && dgn::readLevelNameElement(e, scratch))
      old.push_back(img.slots[slot].offset);
  }
  for (uint32_t pos : old) (void)dgn::deleteElement(img, pos);
  for (const auto& e : dgn::makeLevelNameElements(f->levelNames))
    if (dgn::appendElement(img, e) == 0) return fail(f->path + ": cannot write level names");
  return SUCCESS;
}

}  // namespace kelvara
