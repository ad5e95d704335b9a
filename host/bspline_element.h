// A B-spline curve element (type 27 and its components) as a curve to evaluate or stroke.
#pragma once

#include "host/element.h"
#include "host/geometry.h"

namespace kelvara {

// The curve of a B-spline header (27) and its components: poles (21), the interior knots (26)
// when not uniform, weights (28) when rational. False when the element is no curve header or
// its poles or weights are missing.
[[nodiscard]] bool bsplineCurveOf(const MSElementDescr& e, BsplineCurve& out);

}  // namespace kelvara
