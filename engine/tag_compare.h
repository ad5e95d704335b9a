// Comparing tags (type 37, pair code 98).
//
// Two tags are the same tag when they name the same tag of the same tag set (names resolved
// through the tag-set definitions of their models; byte for byte), hold values of the same
// type and the same value, and are placed and formatted alike. The placement and text format
// of a DGN V7 tag (its origin, offset, size block, text parameters and rotation, bytes 40-67
// and 76-149) are not a published layout, so they are compared byte for byte. Then symbology
// and properties decide between 1 and 2. Returns 1, 2 or 3 (CompareResult).
#pragma once

#include <string>

#include "engine/compare_pair.h"

namespace kelvara {

// The tag set name and the tag name of a tag element, from the tag-set definition (type 66,
// level 24) of its model with the tag's set number. False when the element is not a tag or no
// definition names it.
[[nodiscard]] bool tagNames(const MSElementDescr& tag, ModelRef model, std::string& setName,
                            std::string& tagName);

[[nodiscard]] int tagCompare(const PairElement& first, const PairElement& second,
                             const CompareOptions& options);

}  // namespace kelvara
