// Element runs of the entity types beyond those of to_element.cpp (ELLIPSE, SPLINE, MTEXT,
// DIMENSION, MLINE, HATCH, SOLID, TRACE, 3DFACE).
//
// Not written yet: no type maps here, so these entities are opaque for now (compared by their
// content through appendOpaqueElement). Each mapping added here returns true once it has
// appended the entity's run.
#include "host/dxf/to_element.h"

namespace kelvara::dxf {

bool appendMoreElementRun(const ElementContext&, const Entity&, std::vector<uint8_t>&) {
  return false;
}

}  // namespace kelvara::dxf
