// Every element of a model as the host's scan gives it, in file order, read with its descriptor.
#pragma once

#include <cstdint>
#include <vector>

#include "host/design.h"
#include "host/element.h"

namespace kelvara::test {

struct ScannedElement {
  uint32_t position = 0;
  ElmDscrPtr descriptor;  // null when the element could not be read
};

inline std::vector<ScannedElement> scanModel(ModelRef model, bool includeDeleted,
                                             bool includeComponents) {
  ScanCriteria sc;
  mdlScan_initialize(&sc, model);
  sc.includeDeleted = includeDeleted;
  sc.includeComponents = includeComponents;
  std::vector<ScannedElement> out;
  uint32_t positions[256];
  for (int rc = SUCCESS, count = 0; rc == SUCCESS;) {
    rc = mdlScan_file(positions, &count, 256, &sc);
    for (int i = 0; i < count; ++i) {
      ScannedElement e{positions[i], nullptr};
      (void)mdlElmdscr_read(&e.descriptor, positions[i], model);
      out.push_back(std::move(e));
    }
  }
  return out;
}

}  // namespace kelvara::test
