#include "host/drawing.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <variant>

#include "host/bspline_element.h"
#include "host/design.h"
#include "host/geometry.h"
#include "host/view.h"

namespace kelvara {

namespace {

// Stroking for the screen: chords stray at most this fraction of the radius (about 40 points
// on a circle), and a B-spline curve gets this many points per knot span.
constexpr double kScreenChordFraction = 0.003;
constexpr std::size_t kScreenPointsPerSpan = 8;
constexpr std::size_t kMaxScreenPoints = 2000;

struct Painter {
  Drawing& out;
  ColorTable table;
  int view = -1;                       // levels are checked for view >= 0
  std::map<uint32_t, size_t> groupOf;  // colour index << 8 | weight -> group
  DrawingGroup* group = nullptr;       // the group of the element being added
  uint32_t position = 0;
};

bool levelShown(const Painter& p, const MSElementDescr& e) {
  if (p.view < 0) return true;
  ElementProperties props;
  (void)mdlElement_getProperties(&props, e);
  const auto level = static_cast<uint32_t>(props.level);
  return mdlView_isLevelDisplayed(p.view, level) && modelLevelDisplayed(level);
}

// Makes the group of e's colour and weight current, with an element entry for the position.
void useGroupOf(Painter& p, const MSElementDescr& e) {
  uint32_t colour = 0, weight = 0;
  int32_t style = 0;
  (void)mdlElement_getSymbology(&colour, &weight, &style, e);
  colour &= 0xFF;
  const uint32_t key = colour << 8 | (weight & 0xFF);
  auto [it, added] = p.groupOf.try_emplace(key, p.out.groups.size());
  if (added) {
    DrawingGroup g;
    g.colourIndex = static_cast<uint8_t>(colour);
    g.colour = p.table[colour];
    g.weight = weight;
    p.out.groups.push_back(std::move(g));
  }
  p.group = &p.out.groups[it->second];
  DrawingGroup& g = *p.group;
  if (g.positions.empty() || g.positions.back() != p.position) {
    g.positions.push_back(p.position);
    g.runCounts.push_back(0);
    g.textCounts.push_back(0);
  }
}

void extend(Drawing& d, double x, double y) {
  if (d.empty) {
    d.xLow = d.xHigh = x, d.yLow = d.yHigh = y;
    d.empty = false;
    return;
  }
  d.xLow = std::min(d.xLow, x), d.xHigh = std::max(d.xHigh, x);
  d.yLow = std::min(d.yLow, y), d.yHigh = std::max(d.yHigh, y);
}

template <typename Points>
void addRun(Painter& p, const Points& points, size_t first = 0, size_t end = SIZE_MAX) {
  end = std::min(end, points.size());
  if (first >= end) return;
  DrawingGroup& g = *p.group;
  for (size_t i = first; i < end; ++i) {
    g.xy.push_back(points[i].x);
    g.xy.push_back(points[i].y);
    extend(p.out, points[i].x, points[i].y);
  }
  g.runSizes.push_back(static_cast<uint32_t>(end - first));
  ++g.runCounts.back();
  p.out.vertexCount += end - first;
}

std::string utf8(const std::string& raw, bool wide) {
  std::string out;
  auto put = [&out](uint32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6), out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | c >> 12), out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  };
  if (!wide) {
    for (unsigned char c : raw) put(c);
    return out;
  }
  for (size_t i = 2; i + 1 < raw.size(); i += 2) {  // after the 0xFF 0xFD mark
    const uint32_t c = static_cast<unsigned char>(raw[i]) | static_cast<unsigned char>(raw[i + 1])
                                                                << 8;
    if (c != 0 && (c < 0xD800 || c > 0xDFFF)) put(c);
  }
  return out;
}

void addText(Painter& p, const dgn::TextRecord& t) {
  DrawingText text{t.origin.x, t.origin.y, t.height,
                   t.width,    t.rotation, utf8(t.chars, t.wideChars)};
  if (text.text.empty()) return;
  extend(p.out, text.x, text.y);
  p.group->texts.push_back(std::move(text));
  ++p.group->textCounts.back();
}

void addArc(Painter& p, const dgn::ArcRecord& r) {
  const ArcGeometry arc = arcGeometryOf(r);
  const double radius = std::max(std::abs(r.primary), std::abs(r.secondary));
  std::vector<DPoint3d> points;
  (void)strokeArc(arc, std::max(1.0, radius * kScreenChordFraction), kMaxScreenPoints, points);
  addRun(p, points);
}

void addRangeBox(Painter& p, const MSElementDescr& e) {
  const DRange3d r = mdlElement_getRange(e);
  const auto lx = static_cast<double>(r.xLow), ly = static_cast<double>(r.yLow);
  const auto hx = static_cast<double>(r.xHigh), hy = static_cast<double>(r.yHigh);
  const std::vector<DPoint3d> box{{lx, ly, 0}, {hx, ly, 0}, {hx, hy, 0}, {lx, hy, 0}, {lx, ly, 0}};
  addRun(p, box);
}

void add(Painter& p, const MSElementDescr& e);

void addComponents(Painter& p, const MSElementDescr& e) {
  for (const MSElementDescr& c : e.components) add(p, c);
}

bool drawnType(int type) {
  switch (type) {
    case 3:
    case 4:
    case 6:
    case 11:
    case 15:
    case 16:
    case 17:
    case 22:
    case 27:
    case 35:
      return true;
    default:
      return false;
  }
}

void add(Painter& p, const MSElementDescr& e) {
  const int type = mdlElement_getType(e);
  // Cells, text nodes, complex chains and shapes, surfaces and solids show what their
  // components show, each component by its own level and symbology.
  if (type == 2 || type == 7 || type == 12 || type == 14 || type == 18 || type == 19) {
    return addComponents(p, e);
  }
  if (!drawnType(type) || !levelShown(p, e)) return;
  useGroupOf(p, e);
  const auto* linear = std::get_if<dgn::LinearRecord>(&e.record);
  switch (type) {
    case 3:
    case 4:
    case 6:
      if (linear) addRun(p, linear->points);
      return;
    case 11:  // a curve passes through its points but the first two and the last two
      if (linear) {
        const size_t n = linear->points.size();
        addRun(p, linear->points, n > 4 ? 2 : 0, n > 4 ? n - 2 : n);
      }
      return;
    case 22:  // a point string: each point on its own
      if (linear) {
        for (size_t i = 0; i < linear->points.size(); ++i) addRun(p, linear->points, i, i + 1);
      }
      return;
    case 15:
    case 16:
      if (const auto* arc = std::get_if<dgn::ArcRecord>(&e.record)) addArc(p, *arc);
      return;
    case 17:
      if (const auto* text = std::get_if<dgn::TextRecord>(&e.record)) addText(p, *text);
      return;
    case 27: {
      BsplineCurve curve;
      std::vector<DPoint3d> points;
      if (bsplineCurveOf(e, curve) &&
          strokeBspline(curve, kScreenPointsPerSpan, kMaxScreenPoints, points) > 0) {
        addRun(p, points);
      }
      return;
    }
    case 35:  // a shared cell instance: its definition's placement is not decoded
      return addRangeBox(p, e);
    default:
      return;
  }
}

void prepare(Drawing& d, ModelRef model) {
  if (d.model == model && !d.groups.empty()) return;
  d.model = model;
  dgn::TcbRecord tcb;
  if (mdlModelRef_getUnits(model, &tcb) == SUCCESS && tcb.uorPerMaster() > 0) {
    d.uorPerMaster = tcb.uorPerMaster();
    d.masterUnit = tcb.masterName;
    d.globalOrigin = tcb.globalOrigin;
  }
}

}  // namespace

int drawModel(Drawing* out, ModelRef model, int view) {
  *out = Drawing{};
  Painter p{*out, {}, view, {}, nullptr, 0};
  if (mdlColor_getColorTable(&p.table, model) != SUCCESS) return ERROR;
  prepare(*out, model);
  ScanCriteria scan;
  mdlScan_initialize(&scan, model);
  mdlScan_setDrawnElements(&scan, true);
  uint32_t positions[512];
  int status = SUCCESS;
  while (status == SUCCESS) {
    int count = 0;
    status = mdlScan_file(positions, &count, 512, &scan);
    if (status == ERROR) return ERROR;
    for (int i = 0; i < count; ++i) {
      ElmDscrPtr e;
      if (mdlElmdscr_read(&e, positions[i], model) != SUCCESS) continue;
      if (mdlElement_isDeleted(*e)) continue;
      p.position = positions[i];
      add(p, *e);
    }
  }
  return SUCCESS;
}

void drawElement(Drawing& out, const MSElementDescr& element, uint32_t position) {
  ColorTable colours;
  (void)mdlColor_getColorTable(&colours, element.modelRef);
  drawElement(out, element, position, colours);
}

void drawElement(Drawing& out, const MSElementDescr& element, uint32_t position,
                 const ColorTable& colours) {
  prepare(out, element.modelRef);
  Painter p{out, colours, -1, {}, nullptr, position};
  for (size_t i = 0; i < out.groups.size(); ++i) {
    p.groupOf[uint32_t{out.groups[i].colourIndex} << 8 | (out.groups[i].weight & 0xFF)] = i;
  }
  add(p, element);
}

}  // namespace kelvara
