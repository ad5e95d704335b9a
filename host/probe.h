// Probing whether a model accepts changes without leaving a trace in its file.
//
// The only sure test that a design file takes a new element is to add one. An element that is
// appended and then marked deleted still stays in the file, so a probe done that way before
// every deletion grows the file by one dead element each time. Here the probe is appended and
// then taken back out of the image: the bytes, the element index, the end-of-design marker and
// the changed flag and the count of edits are put back exactly as they were, so the file saved
// later is byte for byte what it would have been without the probe, and whoever follows the
// file's edits (the drawing view) sees none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/element.h"

namespace kelvara {

// Appends a probe line (both end points at the origin, as mdlLine_create makes it) to model and
// removes it again at once. True when the append succeeded; the model's image is left exactly
// as it was in either case.
[[nodiscard]] bool probeAppend(ModelRef model);

// Takes back the last element appended to model's image at filePos (by mdlElement_add or
// mdlElmdscr_add), restoring the bytes it overwrote, the end marker, the index, the changed
// flag and the count of edits as captured by a ProbeMark taken just before the append. ERROR when
// filePos is not the last element appended after the mark.
inline constexpr std::size_t kProbeTailBytes = 256;  // more than a probe line with its marker
struct ProbeMark {
  ModelRef model = 0;
  uint32_t endOfDesign = 0;
  bool hasEndMarker = false;
  bool dirty = false;
  uint64_t edits = 0;
  size_t byteCount = 0;
  size_t slotCount = 0;
  size_t topLevelCount = 0;
  std::vector<uint8_t> tail;  // the bytes an append of up to kProbeTailBytes may overwrite
  bool valid = false;
};
[[nodiscard]] ProbeMark markBeforeAppend(ModelRef model);
[[nodiscard]] int undoAppend(const ProbeMark& mark, uint32_t filePos);

}  // namespace kelvara
