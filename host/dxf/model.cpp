// The element image and side records of one layout of a DXF drawing.
#include "host/dxf/model.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "host/batches.h"
#include "host/dgn/build.h"
#include "host/dxf/internal.h"

namespace kelvara::dxf {

namespace {

constexpr double kLargestUor = 2147483647.0;
constexpr int kFinestScale = 9;  // 10^9 units of resolution per drawing unit at most

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Two-letter unit names of $INSUNITS.
std::string unitName(int insUnits) {
  static const char* const kNames[] = {"",   "in", "ft", "mi", "mm", "cm", "m",
                                       "km", "ui", "ml", "yd", "A",  "nm", "um",
                                       "dm", "da", "hm", "Gm", "AU", "ly", "pc"};
  return insUnits >= 0 && insUnits < int(std::size(kNames)) ? kNames[insUnits] : "";
}

bool isEntityRecord(const Drawing& d, const Record& r) {
  const std::string& section = d.sections[r.section].name;
  if (section != "ENTITIES" && section != "BLOCKS") return false;
  const std::string_view type = typeName(d, r);
  return type != "BLOCK" && type != "ENDBLK" && type != "SECTION" && type != "ENDSEC";
}

// A batch of the entities of one layout, decoded: decoding is most of a model's building and
// needs nothing the builder makes, so batches are decoded on two threads (host/batches.h).
struct DecodedBatch {
  struct Item {
    uint32_t record = 0;
    bool decoded = false;
    Entity entity;
    DxfError fault;
  };
  static constexpr size_t kRecords = 256;  // records of a batch
  std::vector<Item> items = std::vector<Item>(kRecords);
  size_t count = 0;
};

void decodeBatch(const Drawing& d, int layout, size_t batch, DecodedBatch& out) {
  out.count = 0;
  const size_t end = std::min(d.records.size(), (batch + 1) * DecodedBatch::kRecords);
  for (size_t i = batch * DecodedBatch::kRecords; i < end; ++i) {
    const Record& r = d.records[i];
    if (!isEntityRecord(d, r) || layoutOf(d, r) != layout) continue;
    if (typeName(d, r) == "VIEWPORT") continue;  // views of a layout, not its content
    DecodedBatch::Item& item = out.items[out.count++];
    item.record = uint32_t(i);
    item.fault = {};
    item.decoded = decodeEntity(d, r, item.entity, item.fault);
  }
}

// Layers by folded name, with their level codes.
struct LayerTable {
  std::unordered_map<std::string, size_t> byName;
  std::vector<uint32_t> codes;
  const Layer* find(const Drawing& d, const std::string& name, uint32_t& code) const {
    const auto it = byName.find(upper(name));
    if (it == byName.end()) {
      code = levelCode(name);
      return nullptr;
    }
    code = codes[it->second];
    return &d.layers[it->second];
  }
};

struct Builder {
  const Drawing& d;
  ModelSide& side;
  LayerTable layers;
  std::unordered_map<std::string, int32_t> styleNumbers;  // folded linetype name -> number
  TagSets tagSets;

  void addLevel(uint32_t code, const std::string& name) {
    for (const auto& [c, n] : side.levels)
      if (c == code) return;
    side.levels.emplace_back(code, name);
  }

  int32_t namedStyle(const std::string& name) {
    const std::string key = upper(name);
    const auto it = styleNumbers.find(key);
    if (it != styleNumbers.end()) return it->second;
    const int32_t n = STYLE_NAMED_FIRST + int32_t(side.styles.size());
    side.styles.push_back(name);
    styleNumbers.emplace(key, n);
    return n;
  }

  ElementSide sideOf(const Entity& e, uint32_t record, ElementContext& c) {
    ElementSide s;
    s.record = record;
    const Layer* layer = layers.find(d, e.layer, s.level);
    addLevel(s.level, layer ? layer->name : e.layer);
    c.levelCode = s.level;
    c.level = v7Level(s.level);
    c.symbology = symbology(e);
    const Symbology& y = c.symbology;
    const int layerColour = layer ? std::abs(layer->colour) : 7;
    s.colour = y.colourBy == By::Value  ? uint16_t(y.colour & 0xFF)
               : y.colourBy == By::Cell ? SIDE_COLOUR_BYCELL
                                        : SIDE_COLOUR_BYLEVEL;
    c.colour = y.colourBy == By::Value ? y.colour : y.colourBy == By::Level ? layerColour : 0;
    s.weight = y.weightBy == By::Value  ? uint16_t(y.weight & 0x1F)
               : y.weightBy == By::Cell ? SIDE_WEIGHT_BYCELL
                                        : SIDE_WEIGHT_BYLEVEL;
    c.weight = y.weightBy == By::Value ? y.weight
               : y.weightBy == By::Level && layer && layer->lineweight >= 0
                   ? weightOf(layer->lineweight)
                   : 0;
    s.style = y.styleBy == By::Level  ? STYLE_BYLEVEL
              : y.styleBy == By::Cell ? STYLE_BYCELL
              : y.style.empty()       ? 0
                                      : namedStyle(y.style);
    return s;
  }

  // The tag elements of the ATTRIBs of INSERT `e` (record `record`), each with the ATTRIB's own
  // level and symbology.
  void appendAttribs(const Entity& e, uint32_t record, uint32_t target, std::vector<uint8_t>& out) {
    for (size_t k = 0; k < e.attribs.size(); ++k) {
      const Entity text = attribText(e.attribs[k]);
      ElementContext c{d, side.placement, 0, {}, 0, 0, 0};
      ElementSide s = sideOf(text, record, c);
      s.attrib = static_cast<uint16_t>(std::min<size_t>(k + 1, UINT16_MAX));
      const auto [set, index] = tagSets.find(e.block, e.attribs[k].tag);
      side.positions.push_back(static_cast<uint32_t>(out.size()));
      side.elements.push_back(s);
      appendAttribTag(c, text, target, set, index, out);
    }
  }
};

}  // namespace

const ElementSide* sideOf(const ModelSide& m, uint32_t filePos) {
  const std::vector<uint32_t>& p = m.positions;
  if (p.empty() || filePos < p.front()) return nullptr;
  // Elements are of much the same size, so the position's share of the image guesses its
  // index; the search then widens from there (a few probes instead of twenty on 10^6).
  const uint64_t span = uint64_t(p.back() - p.front()) + 1;
  size_t lo =
      size_t(std::min<uint64_t>(p.size() - 1, uint64_t(filePos - p.front()) * p.size() / span));
  size_t hi = lo + 1;
  for (size_t step = 1; lo > 0 && p[lo] > filePos; step *= 2) lo = lo > step ? lo - step : 0;
  for (size_t step = 1; hi < p.size() && p[hi] <= filePos; step *= 2)
    hi = std::min(p.size(), hi + step);
  const auto it = std::upper_bound(p.begin() + lo, p.begin() + hi, filePos);
  return &m.elements[size_t(it - p.begin()) - 1];
}

uint32_t colourOf(const ElementSide& s) {
  return s.colour == SIDE_COLOUR_BYLEVEL  ? COLOUR_BYLEVEL
         : s.colour == SIDE_COLOUR_BYCELL ? COLOUR_BYCELL
                                          : s.colour;
}

uint32_t weightOf(const ElementSide& s) {
  return s.weight == SIDE_WEIGHT_BYLEVEL  ? COLOUR_BYLEVEL
         : s.weight == SIDE_WEIGHT_BYCELL ? COLOUR_BYCELL
                                          : s.weight;
}

const std::string* levelName(const ModelSide& m, uint32_t level) {
  for (const auto& [code, name] : m.levels)
    if (code == level) return &name;
  return nullptr;
}

int findLayout(const Drawing& d, const std::string& name) {
  for (size_t i = 0; i < d.layouts.size(); ++i)
    if (strcasecmp(d.layouts[i].name.c_str(), name.c_str()) == 0) return int(i);
  return -1;
}

Placement placementOf(const Drawing& d) {
  // The largest coordinate, radius or height of any entity (measured by the index), doubled
  // for what extends from it (ranges of arcs and texts, points of tilted planes).
  const double largest = d.largestCoordinate;
  Placement p;
  p.is3d = d.anyZ;
  int k = kFinestScale;
  while (k > 0 && 2 * largest * std::pow(10.0, k) > kLargestUor) --k;
  p.scale = std::pow(10.0, k);
  return p;
}

bool buildModel(std::shared_ptr<const Drawing> drawing, int layout, const Placement& placement,
                dgn::DesignImage& image, ModelSide& side, std::string& error) {
  const Drawing& d = *drawing;
  side = ModelSide{};
  side.drawing = drawing;
  side.layout = layout;
  side.placement = placement;
  Builder b{d, side, {}, {}, {}};
  b.layers.codes = levelCodes(d.layers);
  for (size_t i = 0; i < d.layers.size(); ++i) {
    b.layers.byName.emplace(upper(d.layers[i].name), i);
    b.addLevel(b.layers.codes[i], d.layers[i].name);
  }
  dgn::TcbRecord tcb;
  tcb.subPerMaster = 1;
  tcb.uorPerSub = static_cast<int32_t>(side.placement.scale);
  tcb.masterName = tcb.subName = unitName(d.insUnits);
  tcb.is3d = side.placement.is3d;
  std::vector<uint8_t> bytes = dgn::makeEmptyDesign(tcb.is3d, tcb);
  bytes.resize(bytes.size() - 2);  // the end-of-design word goes after the elements
  // Elements are rarely larger than the records they come from: room for the file's size is
  // reserved (only the pages written take memory), so the image is not copied as it grows.
  bytes.reserve(size_t(std::min<uint64_t>(d.bytes.size(), dgn::MAX_FILE_BYTES)));
  // Room for every entity of the drawing: only the part filled takes memory, and the side
  // records are never copied as they grow.
  size_t entities = 0;
  for (const Section& s : d.sections)
    if (s.name == "ENTITIES" || s.name == "BLOCKS") entities += s.recordCount;
  side.positions.reserve(entities);
  side.elements.reserve(entities);
  uint64_t released = 0;  // a mapped drawing's bytes are released behind the pass
  std::vector<DecodedBatch> slots(4);
  const bool built = processInOrder(
      (d.records.size() + DecodedBatch::kRecords - 1) / DecodedBatch::kRecords, slots,
      [&](size_t batch, DecodedBatch& slot) { decodeBatch(d, layout, batch, slot); },
      [&](size_t, DecodedBatch& slot) {
        for (size_t k = 0; k < slot.count; ++k) {
          const DecodedBatch::Item& item = slot.items[k];
          const uint32_t i = item.record;
          const Record& r = d.records[i];
          const Entity& e = item.entity;
          releaseBehind(d, released, r.begin);
          // An entity that does not decode compares by its content (with the common properties
          // it gave before the fault) and the model goes on.
          if (!item.decoded && side.undecoded++ == 0) side.firstFault = item.fault.text;
          ElementContext c{d, side.placement, 0, {}, 0, 0, 0, uint32_t(side.positions.size() + 1)};
          ElementSide s = b.sideOf(e, i, c);
          const size_t at = bytes.size();
          if (!item.decoded || !appendElementRun(c, e, bytes)) {
            bytes.resize(at);
            appendOpaqueElement(c, r, bytes);
            s.opaque = true;
          }
          side.positions.push_back(static_cast<uint32_t>(at));
          side.elements.push_back(s);
          if (!s.opaque && !e.attribs.empty()) b.appendAttribs(e, i, c.association, bytes);
          if (bytes.size() + 2 > dgn::MAX_FILE_BYTES) return false;
        }
        return true;
      });
  if (!built) {
    error = d.file + ": too many entities for one model";
    return false;
  }
  releaseBytes(d, released, d.bytes.size());
  appendTagSets(b.tagSets, bytes);
  if (bytes.size() + 2 > dgn::MAX_FILE_BYTES) {
    error = d.file + ": too many entities for one model";
    return false;
  }
  bytes.push_back(0xFF);
  bytes.push_back(0xFF);
  if (dgn::parseImage(std::move(bytes), d.file, image, &error) != SUCCESS) return false;
  image.path = d.file;
  return true;
}

}  // namespace kelvara::dxf
