// Which elements of a drawing a run marked deleted, read back from the file it saved.
#pragma once

#include <string>
#include <vector>

#include "host/dgn/image.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"

namespace kelvara::test {

// The deleted flag of each element `drawing` added, as the file at `path` holds it; empty when
// the file is not a design file.
inline std::vector<bool> deletedFlags(const DesignBuilder& drawing, const std::string& path) {
  const std::string text = readText(path);
  dgn::DesignImage img;
  std::string error;
  if (dgn::parseImage(std::vector<uint8_t>(text.begin(), text.end()), path, img, &error) != 0)
    return {};
  std::vector<bool> deleted;
  for (size_t i = 0; i < drawing.elements.size(); ++i) {
    const dgn::Bytes el = dgn::elementAt(img, drawing.positionOf(i));
    deleted.push_back(!el.empty() && dgn::isDeletedBit(el.data()));
  }
  return deleted;
}

}  // namespace kelvara::test
