// The table's view of an element descriptor, through the host's accessors.
#include <variant>

#include "engine/element_table.h"

namespace kelvara {

ElementSummary summarizeElement(const MSElementDescr& descriptor) {
  ElementSummary s;
  s.elementType = static_cast<uint32_t>(mdlElement_getType(descriptor));
  s.range = mdlElement_getRange(descriptor);
  s.isComplexComponent = mdlElement_isComplexComponent(descriptor);
  if (s.elementType == 2) {
    if (const auto* cell = std::get_if<dgn::CellRecord>(&descriptor.record)) {
      s.cellName = cell->name.substr(0, kCellNameMax);
    }
  }
  return s;
}

}  // namespace kelvara
