// Element measurements for the selection criteria.
#include "selection/measure.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <variant>

#include "host/design.h"
#include "host/geometry.h"

namespace kelvara {

namespace {

// The displayed points of a curve: its points without the two tangent points at each end.
std::span<const DPoint3d> curvePoints(const std::vector<DPoint3d>& points) {
  if (points.size() <= 4) return {};
  return std::span<const DPoint3d>(points).subspan(2, points.size() - 4);
}

// Length of one simple element; components of nested complex elements add up.
double pieceLength(const MSElementDescr& el) {
  const int type = mdlElement_getType(el);
  if (type == 12 || type == 14) {
    double sum = 0;
    for (const MSElementDescr& c : el.components) sum += pieceLength(c);
    return sum;
  }
  if (const auto* lin = std::get_if<dgn::LinearRecord>(&el.record)) {
    if (type == 11) return polylineLength(curvePoints(lin->points));
    return polylineLength(lin->points);
  }
  if (const auto* arc = std::get_if<dgn::ArcRecord>(&el.record)) {
    return arcLength(arcGeometryOf(*arc));
  }
  return 0;
}

}  // namespace

std::optional<double> elementLength(const MSElementDescr& el) {
  switch (mdlElement_getType(el)) {
    case 3:
    case 4:
    case 6:
    case 11:
      if (!std::holds_alternative<dgn::LinearRecord>(el.record)) return std::nullopt;
      return pieceLength(el);
    case 12:
    case 14:
      return pieceLength(el);
    default:
      return std::nullopt;
  }
}

std::optional<double> vertexCount(const MSElementDescr& el) {
  const auto* lin = std::get_if<dgn::LinearRecord>(&el.record);
  if (!lin) return std::nullopt;
  const double n = static_cast<double>(lin->points.size());
  return mdlElement_getType(el) == 11 ? n - 4 : n;
}

std::optional<double> arcSweepDegrees(const MSElementDescr& el) {
  const auto* arc = std::get_if<dgn::ArcRecord>(&el.record);
  if (!arc) return std::nullopt;
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", std::fabs(arc->sweep) * 180.0 / kPi);
  return std::strtod(text, nullptr);
}

bool ellipseAxes(const MSElementDescr& el, double* primary, double* secondary) {
  const auto* arc = std::get_if<dgn::ArcRecord>(&el.record);
  if (!arc) return false;
  const double a = std::fabs(arc->primary), b = std::fabs(arc->secondary);
  *primary = std::max(a, b);
  *secondary = std::min(a, b);
  return true;
}

bool coneSizes(const MSElementDescr& el, double* height, double* top, double* bottom) {
  const auto* cone = std::get_if<dgn::ConeRecord>(&el.record);
  if (!cone) return false;
  *height = distance(cone->centre1, cone->centre2);
  *top = cone->radius1;
  *bottom = cone->radius2;
  return true;
}

std::optional<CellFacts> cellFacts(const MSElementDescr& el) {
  const auto* cell = std::get_if<dgn::CellRecord>(&el.record);
  if (!cell) return std::nullopt;
  CellFacts f;
  f.name = cell->name;
  const uint16_t properties = dgn::decodeHeader(dgn::Bytes(el.bytes)).properties;
  f.pointCell = (properties & dgn::PROP_NOT_SNAPPABLE) != 0;
  // The transform maps cell coordinates as v' = M v: its columns are the scaled x and y axes.
  const RotMatrix& m = cell->transform;
  f.xScale = std::hypot(m.m[0][0], m.m[1][0], m.m[2][0]);
  f.yScale = std::hypot(m.m[0][1], m.m[1][1], m.m[2][1]);
  // The matrix keeps the angle to about 0.0003 degrees: it is measured to 0.001 degrees, so
  // that a cell placed at 30 degrees measures 30.
  double degrees = std::atan2(m.m[1][0], m.m[0][0]) * 180.0 / kPi;
  degrees = std::round(degrees * 1000.0) / 1000.0;
  if (degrees < 0) degrees += 360.0;
  if (degrees >= 360.0) degrees -= 360.0;
  f.rotationDegrees = degrees;
  return f;
}

std::optional<TextFacts> textFacts(const MSElementDescr& el) {
  TextFacts f;
  if (const auto* text = std::get_if<dgn::TextRecord>(&el.record)) {
    f.font = text->font;
    f.justification = text->justification;
    f.height = std::fabs(text->height);
    f.width = std::fabs(text->width);
    f.strings.push_back(text->chars);
    return f;
  }
  if (const auto* node = std::get_if<dgn::TextNodeRecord>(&el.record)) {
    f.font = node->font;
    f.justification = node->justification;
    f.height = std::fabs(node->height);
    f.width = std::fabs(node->width);
    f.lineSpacing = std::fabs(node->lineSpacing);
    f.lineLength = node->maxLength;
    f.nodeNumber = node->nodeNumber;
    for (const MSElementDescr& c : el.components) {
      if (const auto* t = std::get_if<dgn::TextRecord>(&c.record)) f.strings.push_back(t->chars);
    }
    return f;
  }
  return std::nullopt;
}

// ---- Tag sets ------------------------------------------------------------------------------

namespace {

using TagSets = std::vector<dgn::TagSetRecord>;

std::map<ModelRef, TagSets>& tagSetCache() {
  static std::map<ModelRef, TagSets> cache;
  return cache;
}

const TagSets& tagSetsOf(ModelRef model) {
  auto& cache = tagSetCache();
  if (auto it = cache.find(model); it != cache.end()) return it->second;
  TagSets& sets = cache[model];
  ScanCriteria sc;
  mdlScan_initialize(&sc, model);
  uint32_t positions[256];
  int status = SUCCESS;
  while (status == SUCCESS) {
    int count = 0;
    status = mdlScan_file(positions, &count, 256, &sc);
    for (int i = 0; i < count; ++i) {
      ElmDscrPtr d;
      if (mdlElmdscr_read(&d, positions[i], model) != SUCCESS) continue;
      if (auto* set = std::get_if<dgn::TagSetRecord>(&d->record)) sets.push_back(*set);
    }
  }
  return sets;
}

}  // namespace

void clearTagSetCache() {
  tagSetCache().clear();
}

std::optional<TagFacts> tagFacts(const MSElementDescr& el) {
  const auto* tag = std::get_if<dgn::TagValueRecord>(&el.record);
  if (!tag) return std::nullopt;
  TagFacts f;
  f.valueType = tag->valueType;
  char text[64];
  switch (tag->valueType) {
    case 1:
      f.valueText = tag->text;
      break;
    case 3:
      f.valueText = std::to_string(tag->integer);
      break;
    case 4:
      std::snprintf(text, sizeof text, "%.6f", tag->real);
      f.valueText = text;
      break;
    default:
      break;
  }
  if (el.modelRef != 0) {
    for (const dgn::TagSetRecord& set : tagSetsOf(el.modelRef)) {
      if (static_cast<uint32_t>(set.setNumber) != tag->tagSetId) continue;
      f.setName = set.name;
      for (const dgn::TagDefinition& def : set.tags) {
        if (def.id == tag->tagIndex) f.tagName = def.name;
      }
      break;
    }
  }
  return f;
}

}  // namespace kelvara
