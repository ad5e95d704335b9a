// The design report of a DXF drawing's model: the drawing as read, written through the patch
// writer with each entity of the model's layout in its look (layer 8, colour 62, lineweight 370
// and linetype 6 set; a true colour 420 or colour name 430 dropped when the colour is set) and
// the layers the looks name added to the layer table when the drawing lacks them.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "host/design_internal.h"
#include "host/dgn/build.h"
#include "host/dxf/write.h"

namespace kelvara::design_detail {

struct DxfReport {
  std::shared_ptr<const dxf::Drawing> drawing;
  int layout = 0;
  std::vector<uint32_t> records;    // the layout's entity records, ascending
  std::vector<std::string> styles;  // the model's named linetypes, by style number - 8
  std::vector<DrawingLook> looks;   // looks[0]: an entity's until it is marked
  std::vector<uint8_t> lookOf;      // per entity of `records`, its look
  // The records' sketches, made on a thread of their own while the model is compared, so that
  // the report is written without reading every record's tags then. Last: the thread goes
  // first.
  std::vector<dxf::RestyleSketch> sketches;
  std::jthread sketching;
};

namespace {

bool sameLook(const DrawingLook& a, const DrawingLook& b) {
  const SymbologyChange &x = a.change, &y = b.change;
  return a.layer == b.layer && x.colour == y.colour && x.weight == y.weight && x.style == y.style;
}

// The first value of group `code` in a record's own tags (up to its first follower).
std::string_view firstValue(const dxf::Drawing& d, const dxf::Record& r, int code) {
  dxf::TagReader t(dxf::recordText(d, r));
  t.pos = 0;
  dxf::Tag tag;
  for (bool first = true; t.next(tag); first = false) {
    if (tag.code == 0 && !first) break;
    if (tag.code == code) return tag.value;
  }
  return {};
}

// A look in the drawing's own values: "" where the look leaves a group as it is.
struct Groups {
  std::string layer, colour, lineweight, linetype;
};

// Adds the layers the report needs to the drawing's layer table: each a copy of layer 0's
// record (without its reactors, extension dictionary and extended data) under a new name and,
// when layer 0 has a handle, a handle above every handle of the drawing, $HANDSEED raised past
// it.
struct LayerMaker {
  const dxf::Drawing& d;
  dxf::Patch& patch;
  uint32_t table = 0, end = 0, zero = 0;
  bool searched = false, ready = false;
  std::string added;              // the new layers' records
  std::vector<std::string> made;  // their names
  uint64_t nextHandle = 0;

  void find() {
    const dxf::Section* s = dxf::findSection(d, "TABLES");
    bool inLayers = false, zeroFound = false;
    for (uint32_t i = s ? s->firstRecord : 0; s && i < s->firstRecord + s->recordCount; ++i) {
      const dxf::Record& r = d.records[i];
      const std::string_view type = dxf::typeName(d, r);
      if (type == "TABLE") {
        inLayers = firstValue(d, r, 2) == "LAYER";
        table = i;
      } else if (inLayers && type == "LAYER" && firstValue(d, r, 2) == "0") {
        zero = i;
        zeroFound = true;
      } else if (inLayers && type == "ENDTAB") {
        end = i;
        break;
      }
    }
    if (!zeroFound || end == 0) return;
    if (d.records[zero].flags & dxf::HasHandle) {
      nextHandle = d.handSeed;
      for (const dxf::Record& r : d.records) nextHandle = std::max(nextHandle, r.handle + 1);
    }
    ready = true;
  }

  // The name the drawing knows the layer by, the layer added when it has none; "" when it
  // cannot be added.
  std::string layer(const std::string& name) {
    for (const dxf::Layer& l : d.layers)
      if (strcasecmp(l.name.c_str(), name.c_str()) == 0) return l.name;
    for (const std::string& m : made)
      if (strcasecmp(m.c_str(), name.c_str()) == 0) return m;
    if (name.empty() || name.find_first_of("<>/\\\":;?*|=`") != std::string::npos) return {};
    if (!searched) find();
    searched = true;
    if (!ready) return {};
    dxf::TagReader t(dxf::recordText(d, d.records[zero]));
    t.pos = 0;
    dxf::Tag tag;
    bool inGroup = false;
    for (bool first = true; t.next(tag); first = false) {
      if ((tag.code == 0 && !first) || tag.code == 1001) break;
      if (tag.code == 102) inGroup = tag.value.find('{') != std::string_view::npos;
      if (tag.code == 102 || inGroup) continue;
      std::string value(tag.value);
      if (tag.code == 2) value = name;
      if (tag.code == 5) value = dxf::handleText(nextHandle++);
      if (tag.code == 70) value = dxf::padded(tag.value, "0");
      if (tag.code == 62 && !value.empty()) value.erase(0, value.find_first_not_of(" -"));
      if (tag.code == 62) value = dxf::padded(tag.value, value);
      const std::string_view text = t.bytes;
      const size_t valueAt = size_t(tag.value.data() - text.data());
      added.append(text.substr(tag.offset, valueAt - tag.offset));
      added += value;
      added.append(text.substr(valueAt + tag.value.size(), t.pos - valueAt - tag.value.size()));
    }
    made.push_back(name);
    return name;
  }

  void finish() {
    if (made.empty()) return;
    patch.insertions.push_back({end, added});
    int64_t entries = 0;
    if (dxf::parseInt(firstValue(d, d.records[table], 70), entries))
      patch.edits.push_back({table, 70, std::to_string(entries + int64_t(made.size()))});
    if (nextHandle != 0) patch.header.push_back({"$HANDSEED", dxf::handleText(nextHandle)});
  }
};

// The groups of a look in drawing d.
Groups groupsOf(const DxfReport& r, const DrawingLook& look, LayerMaker& layers) {
  const dxf::Drawing& d = *r.drawing;
  Groups g;
  if (!look.layer.empty()) g.layer = layers.layer(look.layer);
  const SymbologyChange& c = look.change;
  if (c.colour) g.colour = std::to_string(std::min<uint32_t>(*c.colour, 255));
  if (c.weight && !d.r12()) g.lineweight = std::to_string(dxf::lineweightOf(int(*c.weight)));
  if (c.style) {
    const int32_t s = *c.style;
    std::string name =
        s == 0                    ? "CONTINUOUS"
        : s == dxf::STYLE_BYLEVEL ? "BYLAYER"
        : s == dxf::STYLE_BYCELL  ? "BYBLOCK"
        : s >= dxf::STYLE_NAMED_FIRST && size_t(s - dxf::STYLE_NAMED_FIRST) < r.styles.size()
            ? r.styles[size_t(s - dxf::STYLE_NAMED_FIRST)]
            : "";
    for (const dxf::NamedRecord& l : d.linetypes)
      if (!name.empty() && strcasecmp(l.name.c_str(), name.c_str()) == 0) g.linetype = l.name;
    if (g.linetype.empty() && (s == dxf::STYLE_BYLEVEL || s == dxf::STYLE_BYCELL))
      g.linetype = name;
  }
  return g;
}

// A look's edits: its groups set, and a true colour (420) or colour name (430) dropped when it
// sets the colour.
std::vector<dxf::ValueEdit> editsOf(const Groups& g) {
  std::vector<dxf::ValueEdit> edits;
  if (!g.layer.empty()) edits.push_back({0, 8, g.layer});
  if (!g.linetype.empty()) edits.push_back({0, 6, g.linetype});
  if (!g.lineweight.empty()) edits.push_back({0, 370, g.lineweight});
  if (g.colour.empty()) return edits;
  edits.push_back({0, 62, g.colour});
  for (const int code : {420, 430}) edits.push_back({0, -code, ""});
  return edits;
}

DxfReport* reportOf(ModelRef model) {
  DesignFile* f = designFileOf(model);
  return f && f->isWorkFile ? f->dxfReport.get() : nullptr;
}

}  // namespace

int saveDxfReport(DesignFile& f) {
  DxfReport& r = *f.dxfReport;
  if (r.sketching.joinable()) r.sketching.join();
  const dxf::Drawing& d = *r.drawing;
  dxf::Patch patch;
  LayerMaker layers{d, patch, 0, 0, 0, false, false, {}, {}, 0};
  for (const DrawingLook& look : r.looks)
    patch.restyle.looks.push_back(editsOf(groupsOf(r, look, layers)));
  layers.finish();
  patch.restyle.records = r.records;
  patch.restyle.lookOf = r.lookOf;
  patch.restyle.sketches = r.sketches;
  std::string error;
  if (!dxf::writePatched(d, patch, f.path, error, Durability::NotSynced)) return fail(error);
  f.image.dirty = false;
  return SUCCESS;
}

}  // namespace kelvara::design_detail

namespace kelvara {

using namespace design_detail;

bool mdlModelRef_isDxf(ModelRef model) {
  const DesignFile* f = designFileOf(model);
  return f && f->dxf;
}

int mdlWorkDxf_createReport(ModelRef* out, const std::string& path, ModelRef source,
                            const DrawingLook& single) {
  if (!out) return ERROR;
  *out = 0;
  const DesignFile* s = designFileOf(source);
  if (!s || !s->dxf) return fail("not a DXF model");
  if (checkWorkTarget(path) != SUCCESS) return ERROR;
  auto report = std::make_shared<DxfReport>();
  report->drawing = s->dxf->drawing;
  report->layout = s->dxf->layout;
  report->styles = s->dxf->styles;
  report->looks = {single};
  report->records.reserve(s->dxf->elements.size());
  for (const dxf::ElementSide& e : s->dxf->elements)
    if (e.attrib == 0) report->records.push_back(e.record);  // an ATTRIB is its INSERT's
  report->lookOf.assign(report->records.size(), 0);
  report->sketching = std::jthread([r = report.get()](std::stop_token stop) {
    r->sketches = dxf::sketchRestyle(*r->drawing, r->records, stop);
  });
  auto f = std::make_unique<DesignFile>();
  std::string error;
  if (dgn::parseImage(dgn::makeEmptyDesign(s->image.is3d, s->image.tcb), path, f->image, &error) !=
      SUCCESS)
    return fail(error);
  f->path = path;
  f->isWorkFile = true;
  f->image.dirty = true;
  f->dxfReport = std::move(report);
  f->model = designState().nextHandle++;
  *out = f->model;
  designState().files.push_back(std::move(f));
  return SUCCESS;
}

int mdlWorkDxf_markElement(ModelRef reportRef, ModelRef model, uint32_t filePos,
                           const DrawingLook& look) {
  DxfReport* r = reportOf(reportRef);
  if (!r) return fail("unknown design report");
  const DesignFile* m = designFileOf(model);
  if (!m || !m->dxf || m->dxf->drawing != r->drawing || m->dxf->layout != r->layout) return SUCCESS;
  const dxf::ElementSide* side = dxf::sideOf(*m->dxf, filePos);
  if (!side || side->attrib != 0) return SUCCESS;  // an INSERT's ATTRIBs keep their looks
  const auto at = std::lower_bound(r->records.begin(), r->records.end(), side->record);
  if (at == r->records.end() || *at != side->record) return SUCCESS;
  size_t k = 0;
  while (k < r->looks.size() && !sameLook(r->looks[k], look)) ++k;
  if (k == r->looks.size()) {
    if (k > 255) return fail("too many report looks");
    r->looks.push_back(look);
  }
  r->lookOf[size_t(at - r->records.begin())] = uint8_t(k);
  return SUCCESS;
}

}  // namespace kelvara
