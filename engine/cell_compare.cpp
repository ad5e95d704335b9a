// Cell and shared cell comparison.
#include "engine/cell_compare.h"

#include <algorithm>
#include <cctype>
#include <variant>

#include "engine/linear.h"
#include "engine/opaque_body.h"
#include "engine/rotation.h"
#include "host/geometry.h"

namespace kelvara {

namespace {

constexpr std::size_t kNestedNameMax = 511;
constexpr std::size_t kSignatureNodeTextMax = 512;

uint32_t weightedSum(const std::string& s, std::size_t limit) {
  uint32_t sum = 0;
  const std::size_t n = std::min(s.size(), limit);
  for (std::size_t i = 0; i < n; ++i) {
    sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(s[i])) *
                                 static_cast<int32_t>(i));
  }
  return sum;
}

uint32_t pointCount(const MSElementDescr& e) {
  const auto* l = std::get_if<dgn::LinearRecord>(&e.record);
  return l ? static_cast<uint32_t>(l->points.size()) : 0;
}

uint32_t signatureOf(const MSElementDescr& e, bool nested) {
  const uint32_t type = static_cast<uint32_t>(mdlElement_getType(e));
  uint32_t sum = type * type + 11u * pointCount(e);
  if (type == 2 && nested) {
    if (const auto* c = std::get_if<dgn::CellRecord>(&e.record)) {
      sum += 10u * weightedSum(c->name, kNestedNameMax);
    }
  } else if (type == 7) {
    sum += weightedSum(nodeText(e), kSignatureNodeTextMax);
  } else if (type == 17) {
    if (const auto* t = std::get_if<dgn::TextRecord>(&e.record)) sum += weightedSum(t->chars, 255);
  }
  for (const MSElementDescr& c : e.components) sum += signatureOf(c, true);
  return sum;
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

LinearShape outlineShape(const DPoint3d corners[4]) {
  LinearShape s;
  s.type = 4;
  PathPiece piece;
  piece.points.assign(corners, corners + 4);
  s.path.pieces.push_back(std::move(piece));
  s.pieceTypes.push_back(4);
  return s;
}

// The outlines of the two range blocks agree (the linear comparison's geometry test, with
// neither reversal nor underlap).
bool outlinesAgree(const MSElementDescr& a, const MSElementDescr& b, const CompareOptions& options,
                   MatchReason* how) {
  DPoint3d ca[4], cb[4];
  if (!cellOutline(a, ca) || !cellOutline(b, cb)) return true;  // no outline: not compared
  const LinearShape sa = outlineShape(ca), sb = outlineShape(cb);
  return options.overlap
             ? sampleOverlap(sa, sb, options.toleranceUor, false, false, options.trace, how)
             : identicalLinear(sa, sb, false, false, how);
}

bool scalesAgree(const DPoint3d& a, const DPoint3d& b, const CompareOptions& options) {
  return distance(a, b) <= (options.allowRotation ? options.rotationTolerance : kScaleTolerance);
}

}  // namespace

uint32_t cellSignature(const MSElementDescr& cell) {
  if (cell.components.empty()) return 0;
  return signatureOf(cell, false);
}

bool cellOutline(const MSElementDescr& cell, DPoint3d corners[4]) {
  const auto* c = std::get_if<dgn::CellRecord>(&cell.record);
  if (!c) return false;
  const DPoint3d& lo = c->rangeLow;
  const DPoint3d& hi = c->rangeHigh;
  const DPoint3d local[4] = {
      {lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}};
  for (int i = 0; i < 4; ++i) {
    const DPoint3d p = rotate(c->transform, local[i]);
    corners[i] = {c->origin.x + p.x, c->origin.y + p.y, c->origin.z + p.z};
  }
  return true;
}

int cellCompare(const PairElement& first, const PairElement& second, const CompareOptions& options,
                MatchReason* reason) {
  if (!first.descriptor || !second.descriptor) return COMPARE_DIFFERENT;
  const MSElementDescr& a = *first.descriptor;
  const MSElementDescr& b = *second.descriptor;
  const auto* ca = std::get_if<dgn::CellRecord>(&a.record);
  const auto* cb = std::get_if<dgn::CellRecord>(&b.record);
  if (!ca || !cb) return COMPARE_DIFFERENT;
  const bool originsAgree = options.overlap
                                ? distance(ca->origin, cb->origin) <= options.toleranceUor
                                : pointEqualUor(ca->origin, cb->origin);
  if (!originsAgree) return COMPARE_DIFFERENT;
  if (!equalIgnoringCase(ca->name, cb->name)) return COMPARE_DIFFERENT;
  if (cellSignature(a) != cellSignature(b)) return COMPARE_DIFFERENT;
  if (!outlinesAgree(a, b, options, nullptr)) return COMPARE_DIFFERENT;
  RotMatrix ra, rb;
  DPoint3d sa, sb;
  splitTransform(ca->transform, ra, sa);
  splitTransform(cb->transform, rb, sb);
  bool turned = false;
  if (!rotationMatch(ra, rb, options.allowRotation, options.rotationTolerance, options.is3d,
                     &turned)) {
    return COMPARE_ATTRIBUTES_DIFFER;
  }
  if (reason != nullptr) {
    *reason = turned                                  ? MatchReason::Rotated
              : pointEqualUor(ca->origin, cb->origin) ? MatchReason::Exact
                                                      : MatchReason::WithinTolerance;
  }
  // A cell's symbology and properties (its header's and its components') are not compared: a
  // cell placed twice and recoloured afterwards is still a duplicate.
  return scalesAgree(sa, sb, options) ? COMPARE_DUPLICATE : COMPARE_ATTRIBUTES_DIFFER;
}

int sharedCellCompare(const PairElement& first, const PairElement& second,
                      const CompareOptions& options) {
  if (!first.descriptor || !second.descriptor) return COMPARE_DIFFERENT;
  if (!opaqueBodiesEqual(*first.descriptor, *second.descriptor)) return COMPARE_DIFFERENT;
  return attributeResult(first, second, options.ignore);
}

}  // namespace kelvara
