// Selection set records, their tables and the list operations.
#include "selection/model.h"

#include <algorithm>

namespace kelvara {

const std::array<ElementTypeEntry, SEL_TYPE_COUNT>& elementTypeTable() {
  // Listed in the order of the type list. The 3D types are named so that a plain byte-order
  // sort of the names gives this order (upper-case letters sort before lower-case ones).
  static constexpr std::array<ElementTypeEntry, SEL_TYPE_COUNT> kTable = {{
      {"Arc", 16},
      {"B-spline curve", 27},
      {"B-spline surface", 24},
      {"Cell", 2},
      {"Complex shape", 14},
      {"Complex string", 12},
      {"Cone", 23},
      {"Curve", 11},
      {"Dimension", 33},
      {"Ellipse", 15},
      {"Line", 3},
      {"Line string", 4},
      {"Multiline", 36},
      {"Point string", 22},
      {"Raster", 87},
      {"SOLID", 19},
      {"SURFACE", 18},
      {"Shape", 6},
      {"Shared cell", 35},
      {"Tag", 37},
      {"Text", 17},
      {"Text node", 7},
  }};
  return kTable;
}

int typeIndex(int elementType) {
  // Direct lookup: type numbers are small.
  static const std::array<int8_t, 128> kIndex = [] {
    std::array<int8_t, 128> index;
    index.fill(-1);
    const auto& table = elementTypeTable();
    for (int i = 0; i < SEL_TYPE_COUNT; ++i) index[table[i].type] = static_cast<int8_t>(i);
    return index;
  }();
  return elementType >= 0 && elementType < 128 ? kIndex[elementType] : -1;
}

const std::array<int, 22>& dimensionTypeTable() {
  static constexpr std::array<int, 22> kTable = {1,  2,  3,  4,  5,  6,  7,  8,  9,  11, 12,
                                                 13, 14, 15, 16, 17, 18, 19, 50, 51, 52, 53};
  return kTable;
}

int rowWidth(ConstraintKind kind) {
  static constexpr std::array<int, CONSTRAINT_LIST_COUNT> kWidths = {
      3,   // arc
      5,   // B-spline curve
      6,   // cell
      3,   // complex shape
      1,   // complex string
      3,   // cone
      2,   // curve
      4,   // ellipse
      1,   // line
      2,   // line string
      2,   // multiline
      2,   // point string
      4,   // shape
      5,   // shared cell
      9,   // tag
      7,   // text
      10,  // text node
      5,   // dimension text
      1,   // dimension type
  };
  return kind >= 0 && kind < CONSTRAINT_LIST_COUNT ? kWidths[kind] : 1;
}

ConstraintKind constraintKindOf(int elementType) {
  switch (elementType) {
    case 16:
      return ARC_LIST;
    case 27:
      return BSPLINE_CURVE_LIST;
    case 2:
      return CELL_LIST;
    case 14:
      return COMPLEX_SHAPE_LIST;
    case 12:
      return COMPLEX_STRING_LIST;
    case 23:
      return CONE_LIST;
    case 11:
      return CURVE_LIST;
    case 15:
      return ELLIPSE_LIST;
    case 3:
      return LINE_LIST;
    case 4:
      return LINE_STRING_LIST;
    case 36:
      return MULTILINE_LIST;
    case 22:
      return POINT_STRING_LIST;
    case 6:
      return SHAPE_LIST;
    case 35:
      return SHARED_CELL_LIST;
    case 37:
      return TAG_LIST;
    case 17:
      return TEXT_LIST;
    case 7:
      return TEXT_NODE_LIST;
    default:
      return CONSTRAINT_LIST_COUNT;
  }
}

SelectionSet emptySelectionSet(std::string name) {
  SelectionSet set;
  set.name = std::move(name);
  const auto& table = elementTypeTable();
  for (int i = 0; i < SEL_TYPE_COUNT; ++i) set.typeToggles[i].elementType = table[i].type;
  return set;
}

void clearSelectionSet(SelectionSet& set) {
  SelectionSet cleared = emptySelectionSet(std::move(set.name));
  set = std::move(cleared);
  for (TypeToggle& t : set.typeToggles) t.selected = 1;
}

void selectAllTypes(SelectionSet& set) {
  for (TypeToggle& t : set.typeToggles) {
    if (t.selected >= 0) t.selected |= 1;
  }
}

TypeToggle* toggleOf(SelectionSet& set, int elementType) {
  const int i = typeIndex(elementType);
  return i < 0 ? nullptr : &set.typeToggles[i];
}

const TypeToggle* toggleOf(const SelectionSet& set, int elementType) {
  const int i = typeIndex(elementType);
  return i < 0 ? nullptr : &set.typeToggles[i];
}

void addSet(SelectionSetList& list, const SelectionSet& working) {
  list.sets.push_back(working);
}

bool updateSet(SelectionSetList& list, size_t index, const SelectionSet& working) {
  if (index >= list.sets.size()) return false;
  list.sets[index] = working;
  return true;
}

bool removeSet(SelectionSetList& list, const std::string& name) {
  auto it = std::find_if(list.sets.begin(), list.sets.end(),
                         [&](const SelectionSet& s) { return s.name == name; });
  if (it == list.sets.end()) return false;
  list.sets.erase(it);
  if (list.sets.empty()) list.sets.shrink_to_fit();
  return true;
}

bool highlightSet(const SelectionSetList& list, size_t index, SelectionSet& working) {
  if (index >= list.sets.size()) return false;
  working = list.sets[index];
  return true;
}

void freeSets(SelectionSetList& list) {
  list.sets.clear();
  list.sets.shrink_to_fit();
}

bool sameSetName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace kelvara
