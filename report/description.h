// The one-line description of a reported element, as the text report and the review dialog
// show it: symbology (level, colour, weight, line style), type number and name, the entry's
// status and whether it was deleted, for example
//   Lv Walls, Co 3, Wt ByLevel, St 0, type 3 (line) element was duplicate. Deleted.
// and the table of element type names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/element_table.h"
#include "host/element.h"

namespace kelvara {

// Writes the name of element type `type` into *name ("" when the type has none) and returns 1
// when the type has a name, 0 otherwise.
int elementTypeName(std::string* name, int type);

// The status word of an entry status: "in selection set" (21), "duplicate" (23), else "".
const char* statusWord(uint32_t status);

// What the line is made of, as the host gives it.
struct DescriptionFields {
  int32_t level = 0;
  std::optional<std::string> levelName;  // when the level has a name
  uint32_t colour = 0;                   // all bits set: by level
  uint32_t weight = 0;                   // all bits set: by level
  int32_t style = 0;                     // 2147483647: by level
  std::optional<std::string> styleName;  // a named line style
  int type = 0;
  uint32_t filePosition = 0;
  uint64_t id = 0;  // only its low 32 bits are printed
  uint32_t status = 0;
};

// The fields of element `el` of model `modelRef` (level name from that model).
DescriptionFields descriptionFields(const MSElementDescr& el, ModelRef modelRef,
                                    uint32_t filePosition, uint32_t status);

// The line for the fields: with `withFilePosition` it starts with the file position and the
// element ID; `deleted` gives "was ... Deleted.", otherwise "is ..."; `component` appends
// " (part of complex element)".
std::string formatDescription(const DescriptionFields& f, bool deleted, bool component,
                              bool withFilePosition);

// The element of a table entry: its loaded descriptor, or else read from the host into
// *holder. nullptr when the element cannot be read.
const MSElementDescr* entryElement(const ElementEntry& entry, ElmDscrPtr* holder);

// The line for an element table entry (its descriptor, read from the host when the entry
// holds none). ERROR, with *line empty, when the element cannot be read.
[[nodiscard]] int describeEntry(std::string* line, const ElementEntry& entry, bool deleted,
                                bool component, bool withFilePosition);

}  // namespace kelvara
