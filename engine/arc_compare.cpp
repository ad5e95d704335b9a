// Arc and ellipse comparison.
#include "engine/arc_compare.h"

#include <cmath>
#include <variant>

#include "engine/linear.h"
#include "engine/rotation.h"

namespace kelvara {

namespace {

bool radiiAgree(const ArcGeometry& a, const ArcGeometry& b) {
  return std::fabs(a.primary - b.primary) <= kRadiusTolerance &&
         std::fabs(a.secondary - b.secondary) <= kRadiusTolerance;
}

bool centresAgree(const DPoint3d& a, const DPoint3d& b, const CompareOptions& options) {
  return options.overlap ? distance(a, b) <= options.toleranceUor : pointEqualUor(a, b);
}

}  // namespace

bool arcGeometryOf(const MSElementDescr& element, ArcGeometry& out) {
  const auto* arc = std::get_if<dgn::ArcRecord>(&element.record);
  if (!arc) return false;
  out = arcGeometryOf(*arc);  // only its start, end, centre, radii and rotation are compared
  return true;
}

int arcCompare(const PairElement& first, const PairElement& second, const CompareOptions& options,
               MatchReason* reason) {
  if (!first.descriptor || !second.descriptor) return COMPARE_DIFFERENT;
  const MSElementDescr& a = *first.descriptor;
  const MSElementDescr& b = *second.descriptor;
  if (options.overlap) {
    LinearShape sa, sb;
    if (!linearShapeOf(a, sa) || !linearShapeOf(b, sb)) return COMPARE_DIFFERENT;
    if (!sampleOverlap(sa, sb, options.toleranceUor, options.allowReversed, options.allowUnderlap,
                       options.trace, reason)) {
      return COMPARE_DIFFERENT;
    }
    return attributeResult(first, second, options.ignore);
  }
  ArcGeometry ga, gb;
  if (!arcGeometryOf(a, ga) || !arcGeometryOf(b, gb)) return COMPARE_DIFFERENT;
  if (!radiiAgree(ga, gb)) return COMPARE_DIFFERENT;
  if (!pointEqualUor(arcStartPoint(ga), arcStartPoint(gb)) ||
      !pointEqualUor(arcEndPoint(ga), arcEndPoint(gb)) || !pointEqualUor(ga.centre, gb.centre)) {
    return COMPARE_DIFFERENT;
  }
  bool turned = false;
  if (!rotationMatch(ga.rotation, gb.rotation, options.allowRotation, options.rotationTolerance,
                     options.is3d, &turned)) {
    return COMPARE_ATTRIBUTES_DIFFER;
  }
  if (reason != nullptr) *reason = turned ? MatchReason::Rotated : MatchReason::Exact;
  return attributeResult(first, second, options.ignore);
}

int ellipseCompare(const PairElement& first, const PairElement& second,
                   const CompareOptions& options, MatchReason* reason) {
  if (!first.descriptor || !second.descriptor) return COMPARE_DIFFERENT;
  ArcGeometry ga, gb;
  if (!arcGeometryOf(*first.descriptor, ga) || !arcGeometryOf(*second.descriptor, gb)) {
    return COMPARE_DIFFERENT;
  }
  if (!centresAgree(ga.centre, gb.centre, options)) return COMPARE_DIFFERENT;
  if (!radiiAgree(ga, gb)) return COMPARE_DIFFERENT;
  const bool circle = std::fabs(ga.primary - ga.secondary) <= kRadiusTolerance;
  bool turned = false;
  if (!circle && !rotationMatch(ga.rotation, gb.rotation, options.allowRotation,
                                options.rotationTolerance, options.is3d, &turned)) {
    return COMPARE_ATTRIBUTES_DIFFER;
  }
  if (reason != nullptr) {
    *reason = turned                                ? MatchReason::Rotated
              : pointEqualUor(ga.centre, gb.centre) ? MatchReason::Exact
                                                    : MatchReason::WithinTolerance;
  }
  return attributeResult(first, second, options.ignore);
}

}  // namespace kelvara
