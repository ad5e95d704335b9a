// DXF drawings as design files: opening a layout as a model (its entities as V7 elements in the
// file's image, with a side record per element), the side facts the element accessors answer
// with, and saving deletions through the DXF patch writer.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string_view>

#include "host/design_internal.h"
#include "host/dxf/write.h"
#include "host/ui.h"

namespace kelvara::design_detail {

namespace {

constexpr const char* kModelSpace = "Model";

// The drawing read last, kept while its file stays the same: checking a file and opening it
// then read it once, and the layouts of one drawing share it.
struct DrawingCache {
  std::string path;
  int64_t size = -1, mtime = -1;
  std::shared_ptr<const dxf::Drawing> drawing;
  dxf::Placement placement;
};

DrawingCache& drawingCache() {
  static DrawingCache cache;
  return cache;
}

bool stamp(const std::string& path, int64_t& size, int64_t& mtime) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  size = st.st_size;
  mtime = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

// The drawing at path (from the cache when its file is unchanged) and its placement.
std::shared_ptr<const dxf::Drawing> readDrawing(const std::string& path, std::string& error,
                                                dxf::Placement* placement = nullptr) {
  DrawingCache& cache = drawingCache();
  int64_t size = -1, mtime = -1;
  if (!stamp(path, size, mtime)) {
    error = path + ": cannot open";
    return nullptr;
  }
  if (cache.drawing && cache.path == path && cache.size == size && cache.mtime == mtime) {
    if (placement) *placement = cache.placement;
    return cache.drawing;
  }
  auto d = std::make_shared<dxf::Drawing>();
  dxf::DxfError e;
  if (!dxf::readDrawing(path, *d, e)) {
    error = e.text;
    return nullptr;
  }
  cache = DrawingCache{path, size, mtime, d, dxf::placementOf(*d)};
  if (placement) *placement = cache.placement;
  return d;
}

const dxf::ModelSide* modelOf(const MSElementDescr& el) {
  const DesignFile* f = designFileOf(el.modelRef);
  return f ? f->dxf.get() : nullptr;
}

}  // namespace

namespace {

// True when the file begins as a DXF drawing does: a binary DXF's sentinel, or (after a byte
// order mark and blanks) a line holding the group code 0 or 999. A V7 design file never does.
bool startsLikeDxf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char buffer[64];
  in.read(buffer, sizeof buffer);
  std::string_view head(buffer, size_t(std::max<std::streamsize>(in.gcount(), 0)));
  if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
  if (head.starts_with("AutoCAD Binary DXF")) return true;
  const size_t eol = head.find('\n');
  if (eol == std::string_view::npos) return false;
  head = head.substr(0, eol);
  while (!head.empty() && (head.front() == ' ' || head.front() == '\t')) head.remove_prefix(1);
  while (!head.empty() && (head.back() == ' ' || head.back() == '\r')) head.remove_suffix(1);
  return head == "0" || head == "999";
}

}  // namespace

bool isDxfPath(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string ext = hasExtension ? path.substr(dot + 1) : std::string();
  if (strcasecmp(ext.c_str(), "dxf") == 0 || strcasecmp(ext.c_str(), "dwg") == 0) return true;
  // Under another name (a design report of a drawing, .drf) the content tells.
  return strcasecmp(ext.c_str(), "dgn") != 0 && startsLikeDxf(path);
}

int checkDxf(const std::string& path, bool* is3d) {
  std::string error;
  dxf::Placement placement;
  const auto d = readDrawing(path, error, &placement);
  if (!d) return fail(error);
  if (is3d) *is3d = placement.is3d;
  return SUCCESS;
}

int openDxf(DesignFile& f, const std::string& path, const std::string& modelName) {
  std::string error;
  dxf::Placement placement;
  const auto d = readDrawing(path, error, &placement);
  if (!d) return fail(error);
  int layout = 0;
  if (!modelName.empty() && modelName != DEFAULT_MODEL_NAME) {
    layout = dxf::findLayout(*d, modelName);
    if (layout < 0) return fail(path + ": no model named " + modelName);
  }
  auto side = std::make_shared<dxf::ModelSide>();
  if (!dxf::buildModel(d, layout, placement, f.image, *side, error)) return fail(error);
  for (const auto& open : designState().files)
    if (open->dxf && open->dxf->drawing == d) side->gate = open->dxf->gate;
  if (!side->gate) side->gate = std::make_shared<dxf::DeletionGate>();
  if (side->undecoded > 0)
    (void)mdlOutput_error(path + ": " + std::to_string(side->undecoded) +
                          (side->undecoded == 1 ? " entity" : " entities") +
                          " compared by content only, as not decoded (first: " + side->firstFault +
                          ")");
  f.image.path = path;
  f.path = path;
  f.dxf = std::move(side);
  return SUCCESS;
}

std::string dxfModelName(const DesignFile& f) {
  const dxf::Drawing& d = *f.dxf->drawing;
  const int layout = f.dxf->layout;
  if (layout == 0) return kModelSpace;
  return layout < int(d.layouts.size()) ? d.layouts[size_t(layout)].name : std::string();
}

const dxf::ElementSide* dxfSideOf(const MSElementDescr& el) {
  const dxf::ModelSide* m = modelOf(el);
  return m ? dxf::sideOf(*m, el.filePosition) : nullptr;
}

const std::string* dxfLineStyleOf(const MSElementDescr& el) {
  const dxf::ModelSide* m = modelOf(el);
  const dxf::ElementSide* s = m ? dxf::sideOf(*m, el.filePosition) : nullptr;
  if (!s || s->style < dxf::STYLE_NAMED_FIRST || s->style >= dxf::STYLE_BYCELL) return nullptr;
  const size_t i = size_t(s->style - dxf::STYLE_NAMED_FIRST);
  return i < m->styles.size() ? &m->styles[i] : nullptr;
}

uint64_t dxfHandleOf(const MSElementDescr& el) {
  const dxf::ModelSide* m = modelOf(el);
  const dxf::ElementSide* s = m ? dxf::sideOf(*m, el.filePosition) : nullptr;
  if (!s) return 0;
  const dxf::Record& r = m->drawing->records[s->record];
  if (s->attrib > 0) {  // an ATTRIB's own handle is read from its INSERT
    dxf::Entity e;
    dxf::DxfError error;
    if (dxf::decodeEntity(*m->drawing, r, e, error) && s->attrib <= e.attribs.size() &&
        e.attribs[s->attrib - 1u].handle != 0)
      return e.attribs[s->attrib - 1u].handle;
  }
  return r.handle;
}

namespace {

// The elements deleted in every open model of a drawing (model, element) and their records.
void deletedOf(const std::shared_ptr<const dxf::Drawing>& drawing,
               std::vector<std::pair<DesignFile*, size_t>>& deleted,
               std::vector<uint32_t>& records) {
  for (auto& open : designState().files) {
    if (!open->dxf || open->dxf->drawing != drawing) continue;
    const dxf::ModelSide& m = *open->dxf;
    for (size_t i = 0; i < m.positions.size(); ++i) {
      if (!dgn::isDeletedBit(open->image.bytes.data() + m.positions[i])) continue;
      deleted.emplace_back(open.get(), i);
      // An ATTRIB's tag is deleted only with its INSERT, whose record is there already.
      if (m.elements[i].attrib == 0) records.push_back(m.elements[i].record);
    }
  }
}

// The record of the top-level element at filePos of a DXF model; false when there is none.
bool recordAt(const DesignFile& f, uint32_t filePos, uint32_t& record,
              uint32_t* element = nullptr) {
  const dxf::ModelSide& m = *f.dxf;
  const auto it = std::lower_bound(m.positions.begin(), m.positions.end(), filePos);
  if (it == m.positions.end() || *it != filePos) return false;
  const size_t i = size_t(it - m.positions.begin());
  record = m.elements[i].record;
  if (element) *element = uint32_t(i);
  return true;
}

const std::string kAttribRefusal = "an ATTRIB is deleted only with its INSERT";

// Whether the INSERT whose ATTRIB's tag is `element` is marked deleted.
bool attribOwnerDeleted(const DesignFile& f, size_t element) {
  const dxf::ModelSide& m = *f.dxf;
  while (element > 0 && m.elements[element].attrib > 0) --element;
  return dgn::isDeletedBit(f.image.bytes.data() + m.positions[element]);
}

}  // namespace

void dxfDeleteAttribs(DesignFile& f, uint32_t filePos) {
  uint32_t record = 0, element = 0;
  if (!recordAt(f, filePos, record, &element) || f.dxf->elements[element].attrib > 0) return;
  const dxf::ModelSide& m = *f.dxf;
  for (size_t i = element + 1; i < m.elements.size() && m.elements[i].attrib > 0; ++i)
    (void)dgn::deleteElement(f.image, m.positions[i]);
}

uint32_t dxfRestore(DesignFile& f, const MSElementDescr& element) {
  const uint32_t pos = element.filePosition;
  uint32_t record = 0, index = 0;
  if (!recordAt(f, pos, record, &index) || f.dxf->elements[index].attrib > 0 ||
      !dgn::isDeletedBit(f.image.bytes.data() + pos)) {
    (void)fail(f.path + ": a DXF drawing takes back only an entity deleted from it");
    return 0;
  }
  (void)dgn::undeleteElement(f.image, pos);
  const dxf::ModelSide& m = *f.dxf;
  for (size_t i = index + 1; i < m.elements.size() && m.elements[i].attrib > 0; ++i)
    (void)dgn::undeleteElement(f.image, m.positions[i]);
  return pos;
}

void dxfPrepareDeletions(DesignFile& f) {
  if (f.dxf->gate) dxf::startScan(f.dxf->drawing, *f.dxf->gate);
}

int dxfCheckDeletion(DesignFile& f, uint32_t filePos) {
  uint32_t record = 0, element = 0;
  if (!recordAt(f, filePos, record, &element)) return SUCCESS;  // not an entity: the image decides
  if (f.dxf->elements[element].attrib > 0) {
    if (attribOwnerDeleted(f, element)) return SUCCESS;
    return fail(f.path + ": entity " + dxf::handleText(f.dxf->drawing->records[record].handle) +
                " not deleted: " + kAttribRefusal);
  }
  dxf::DeletionGate& gate = *f.dxf->gate;
  const dxf::Drawing& d = *f.dxf->drawing;
  if (f.dxf->elements[element].opaque) {
    // What the host cannot see into is not deleted while anything points at it.
    const std::string by = dxf::pointedAtBy(d, gate, record);
    if (!by.empty()) {
      gate.refused[record] = "referenced by " + by + ", and a " +
                             std::string(dxf::typeName(d, d.records[record])) +
                             " is compared by its content only";
      return fail(f.path + ": entity " + dxf::handleText(d.records[record].handle) +
                  " not deleted: " + gate.refused[record]);
    }
  }
  const std::string why = dxf::deletionRefusal(d, gate, record, [&] {
    std::vector<std::pair<DesignFile*, size_t>> deleted;
    std::vector<uint32_t> records;
    deletedOf(f.dxf->drawing, deleted, records);
    return records;
  });
  if (why.empty()) {
    gate.refused.erase(record);
    return SUCCESS;
  }
  return fail(f.path + ": entity " + dxf::handleText(f.dxf->drawing->records[record].handle) +
              " not deleted: " + why);
}

const std::string* dxfDeletionRefusal(const DesignFile& f, uint32_t filePos) {
  uint32_t record = 0, element = 0;
  if (!f.dxf || !f.dxf->gate || !recordAt(f, filePos, record, &element)) return nullptr;
  if (f.dxf->elements[element].attrib > 0)
    return attribOwnerDeleted(f, element) ? nullptr : &kAttribRefusal;
  const auto it = f.dxf->gate->refused.find(record);
  return it == f.dxf->gate->refused.end() ? nullptr : &it->second;
}

int saveDxf(DesignFile& f) {
  // The deletions of every open model of the drawing, planned together against the bytes read.
  const std::shared_ptr<const dxf::Drawing> drawing = f.dxf->drawing;
  std::vector<std::pair<DesignFile*, size_t>> deleted;  // model, element
  std::vector<uint32_t> records;
  deletedOf(drawing, deleted, records);
  const dxf::DeletionPlan plan = dxf::planDeletion(*drawing, records);
  for (const dxf::Refusal& r : plan.refused) {
    // Not deleted after all: the element comes back, and the user learns why.
    for (const auto& [open, i] : deleted) {
      if (open->dxf->elements[i].record != r.record) continue;
      std::vector<uint8_t>& bytes = open->image.bytes;
      const uint32_t pos = open->dxf->positions[i];
      const long slot = dgn::findSlot(open->image, pos);
      const uint32_t end = slot >= 0 ? open->image.slots[size_t(slot)].extentEnd : pos;
      for (uint32_t p = pos; p + 4 <= end; p += 4 + 2 * dgn::readU16(&bytes[p + 2]))
        bytes[p + 1] &= 0x7F;
    }
    (void)mdlOutput_error(f.path + ": entity " +
                          dxf::handleText(drawing->records[r.record].handle) +
                          " not deleted: " + r.why);
  }
  std::string error;
  if (!dxf::writePatched(*drawing, plan.patch, f.path, error)) return fail(error);
  for (auto& open : designState().files)
    if (open->dxf && open->dxf->drawing == drawing) open->image.dirty = false;
  return SUCCESS;
}

}  // namespace kelvara::design_detail

namespace kelvara {

bool isDxfDrawingName(const std::string& path) {
  return design_detail::isDxfPath(path);
}

}  // namespace kelvara
