#include "report/description.h"

#include <charconv>

#include "host/design.h"
#include "host/types.h"

namespace kelvara {

namespace {

constexpr int32_t kStyleByLevel = 2147483647;
constexpr int32_t kColourByLevel = -1;  // all 32 bits set
constexpr size_t kMaxLevelName = 512;

struct TypeName {
  int type;
  const char* name;
};

constexpr TypeName kTypeNames[] = {
    {2, "Cell (complex)"},
    {3, "Line"},
    {4, "Line String"},
    {5, "Group Data"},
    {6, "Shape"},
    {7, "Text Node (complex)"},
    {8, "Digitizer Setup Data"},
    {9, "Design File Header"},
    {10, "Level Symbology"},
    {11, "Curve"},
    {12, "Connected String (complex)"},
    {14, "Complex Shape (complex)"},
    {15, "Ellipse"},
    {16, "Arc"},
    {17, "Text"},
    {18, "Surface (complex)"},
    {19, "Solid (complex)"},
    {21, "B-Spline Pole"},
    {22, "Point String"},
    {23, "Circular Truncated Cone"},
    {24, "B-Spline Surface (complex)"},
    {25, "B-Spline Surface Boundary"},
    {26, "B-Spline Knot Element"},
    {27, "B-Spline Curve (complex)"},
    {28, "B-Spline Weight Factor"},
    {33, "Dimension Element"},
    {34, "Shared Cell Definition"},
    {35, "Shared Cell Element"},
    {36, "Multiline Element"},
    {37, "Attribute Element"},
    {66, "MicroStation Application"},
    {87, "Raster Header"},
    {90, "Raster Reference Attachment"},
    {91, "Raster Refererence Component"},
    {92, "Raster Hierarchy Element (complex)"},
    {93, "Raster Hierarchy Component"},
    {94, "Raster Frame Element"},
};

std::string lowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

int elementTypeName(std::string* name, int type) {
  for (const TypeName& t : kTypeNames) {
    if (t.type == type) {
      *name = t.name;
      return 1;
    }
  }
  name->clear();
  return 0;
}

const char* statusWord(uint32_t status) {
  if (status == STATUS_REMOVED_ALL) return "in selection set";
  if (status == STATUS_DUPLICATE) return "duplicate";
  return "";
}

DescriptionFields descriptionFields(const MSElementDescr& el, ModelRef modelRef,
                                    uint32_t filePosition, uint32_t status) {
  DescriptionFields f;
  f.type = mdlElement_getType(el);
  ElementProperties props;
  (void)mdlElement_getProperties(&props, el);
  f.level = props.level;
  std::string name;
  if (mdlLevel_getName(&name, modelRef, props.level) == SUCCESS) {
    if (name.size() > kMaxLevelName) name.resize(kMaxLevelName);
    f.levelName = name;
  }
  (void)mdlElement_getSymbology(&f.colour, &f.weight, &f.style, el);
  if (f.style != kStyleByLevel && mdlElement_getLineStyle(&name, el) == SUCCESS) {
    f.styleName = name;
  }
  f.filePosition = filePosition;
  f.id = mdlElement_getID(el);
  f.status = status;
  return f;
}

std::string formatDescription(const DescriptionFields& f, bool deleted, bool component,
                              bool withFilePosition) {
  // One string, appended in place: the report writes one such line per duplicate.
  std::string line;
  line.reserve(160);
  auto append = [&line](long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    line.append(digits, end);
  };
  // Colour and weight: by level when all 32 bits are set, else the signed value.
  auto appendSymbology = [&](uint32_t value) {
    if (static_cast<int32_t>(value) == kColourByLevel) {
      line += "ByLevel";
    } else {
      append(static_cast<int32_t>(value));
    }
  };
  if (withFilePosition) {
    append(f.filePosition);
    line += ", ID=";
    append(static_cast<uint32_t>(f.id));
    line += " -- ";
  }
  line += "Lv ";
  if (f.levelName) {
    line += *f.levelName;
  } else {
    append(f.level);
  }
  line += ", Co ";
  appendSymbology(f.colour);
  line += ", Wt ";
  appendSymbology(f.weight);
  line += ", St ";
  if (f.style == kStyleByLevel) {
    line += "ByLevel";
  } else if (f.styleName) {
    line += *f.styleName;
  } else {
    append(f.style);
  }
  line += ", type ";
  append(f.type);
  line += " (";
  std::string typeName;
  (void)elementTypeName(&typeName, f.type);
  line += lowerAscii(std::move(typeName));
  line += ") element ";
  line += deleted ? "was " : "is ";
  line += statusWord(f.status);
  line += deleted ? ". Deleted." : ".";
  if (component) line += " (part of complex element)";
  return line;
}

const MSElementDescr* entryElement(const ElementEntry& entry, ElmDscrPtr* holder) {
  if (entry.descriptor) return entry.descriptor.get();
  if (mdlElmdscr_read(holder, entry.filePosition, entry.modelRef) != SUCCESS) return nullptr;
  return holder->get();
}

int describeEntry(std::string* line, const ElementEntry& entry, bool deleted, bool component,
                  bool withFilePosition) {
  line->clear();
  ElmDscrPtr read;
  const MSElementDescr* el = entryElement(entry, &read);
  if (el == nullptr) return ERROR;
  const DescriptionFields f =
      descriptionFields(*el, entry.modelRef, entry.filePosition, entry.status);
  *line = formatDescription(f, deleted, component, withFilePosition);
  return SUCCESS;
}

}  // namespace kelvara
