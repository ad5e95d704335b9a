// The geometry test of elements whose body layout the format does not publish (dimensions,
// shared cell instances, multilines): two such elements have the same geometry when their
// ranges and their bodies are the same bytes. The deleted and complex flags, the level, the
// graphic group, the properties and symbology words and the attribute linkages are not part of
// the body: the attribute tests decide those.
#pragma once

#include "host/element.h"

namespace kelvara {

// True when a and b have the same type, range, body bytes (from byte 36 up to the linkages)
// and, component by component, the same again.
[[nodiscard]] bool opaqueBodiesEqual(const MSElementDescr& a, const MSElementDescr& b);

}  // namespace kelvara
