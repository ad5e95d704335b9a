// Selection sets: named groups of element criteria that restrict a run to the elements they
// admit, and the lists that hold them.
//
// A `SelectionSet` says which element types take part (one `TypeToggle` per entry of the
// element type table), constrains each type through its `ConstraintList` (rows of a fixed
// width per type, see `rowWidth`), and restricts symbology, graphic groups, a coordinate box,
// classes, property flags and attribute linkages. A `SelectionSetList` holds sets in list
// order; the application keeps two: the run list (loaded from the selection file a run names)
// and the dialog list (edited by the Element Selection dialog around a working copy). The
// list operations here are plain data operations; the dialog drives them.
//
// Texts are 8-bit strings with the capacities below (the capacity counts the terminator of
// the file's fixed fields, so a text holds at most capacity - 1 bytes); an empty text sets no
// criterion. Constraint lists and the level list are optional: absent means the same as empty.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvara {

// ---- Capacities ----------------------------------------------------------------------------

inline constexpr size_t SEL_NAME_CAPACITY = 255;
inline constexpr size_t SEL_LEVELS_CAPACITY = 1024;
inline constexpr size_t SEL_TEXT_CAPACITY = 255;  // every other text field
inline constexpr size_t SEL_DIALOG_NAME_CAPACITY = 128;
inline constexpr int SEL_TYPE_COUNT = 22;

// ---- Parts of a set ------------------------------------------------------------------------

struct TypeToggle {
  int elementType = 0;  // host element type number
  int selected = 0;     // bit 0: elements of this type are admitted
  int more = 0;         // non-zero while the type's constraint list has rows
  friend bool operator==(const TypeToggle&, const TypeToggle&) = default;
};

// Criteria on database linkages. Each text is an integer list (see inList).
struct DatabaseCriteria {
  uint32_t toggles = 0;
  std::string linkageClass, linkageWords, linkageWord3, linkageKey;  // group A
  std::string dmrsClass, dmrsEntity, dmrsWord1, dmrsKey;             // group B
  friend bool operator==(const DatabaseCriteria&, const DatabaseCriteria&) = default;
};

// Criteria on user data linkages: texts[0] is udClass, [1] udWords, [2] udIdentifier,
// [3..11] udWord2..udWord10.
struct UserDataCriteria {
  uint32_t toggles = 0;
  std::array<std::string, 12> texts;
  friend bool operator==(const UserDataCriteria&, const UserDataCriteria&) = default;
};

// Members of a constraint list: row r, column i is members[r * width + i]. An empty member
// sets no constraint for its column.
using ConstraintList = std::optional<std::vector<std::string>>;

// The 19 constraint lists, in their fixed order.
enum ConstraintKind : int {
  ARC_LIST,
  BSPLINE_CURVE_LIST,
  CELL_LIST,
  COMPLEX_SHAPE_LIST,
  COMPLEX_STRING_LIST,
  CONE_LIST,
  CURVE_LIST,
  ELLIPSE_LIST,
  LINE_LIST,
  LINE_STRING_LIST,
  MULTILINE_LIST,
  POINT_STRING_LIST,
  SHAPE_LIST,
  SHARED_CELL_LIST,
  TAG_LIST,
  TEXT_LIST,
  TEXT_NODE_LIST,
  DIMENSION_TEXT_LIST,
  DIMENSION_TYPE_LIST,
  CONSTRAINT_LIST_COUNT
};

struct SelectionSet {
  std::string name;
  std::string levels;  // level list (value list, flags 7)
  std::string colors;  // colour list (flags 9)
  std::string weights;
  std::string styles;           // style list (flags 11)
  std::string graphicGroups;    // integer list
  std::string coordinateRange;  // X1,Y1,Z1,X2,Y2,Z2 in master units
  uint8_t cellElesMustBeOnSeldLevel = 0;
  int levelsMode = 0;
  uint32_t properties = 0;  // eight pairs of bits, see the property test
  uint32_t classes = 0;     // bit n admits class n; 0 admits every class
  std::array<TypeToggle, SEL_TYPE_COUNT> typeToggles{};
  int dimensionTypesSelected = 0, dimensionTextSelected = 0;
  int dimensionTypesMore = 0, dimensionTextMore = 0;
  DatabaseCriteria database;
  UserDataCriteria userData;
  std::array<ConstraintList, CONSTRAINT_LIST_COUNT> lists;
  std::optional<std::vector<std::string>> levelList;  // kept for the dialog only
  friend bool operator==(const SelectionSet&, const SelectionSet&) = default;
};

struct SelectionSetList {
  std::vector<SelectionSet> sets;  // in list order; no fixed maximum
};

// ---- Tables --------------------------------------------------------------------------------

struct ElementTypeEntry {
  const char* name;
  int type;
};
// The element types a set knows, in the type list's order (sorted by these names).
const std::array<ElementTypeEntry, SEL_TYPE_COUNT>& elementTypeTable();
// Index of a host type number in the element type table, or -1.
int typeIndex(int elementType);

// Host dimension type numbers by index (22 entries).
const std::array<int, 22>& dimensionTypeTable();

// Row width of a constraint list (dimension type list: 1, one member in all).
int rowWidth(ConstraintKind kind);
// The constraint list a host type number uses, or CONSTRAINT_LIST_COUNT for types without one.
ConstraintKind constraintKindOf(int elementType);

// ---- Set and list operations ---------------------------------------------------------------

// A set with every type toggle entry filled from the type table, nothing selected.
SelectionSet emptySelectionSet(std::string name = {});

// Resets a working copy as the Clear button does: the name stays, every text empty, every list
// absent, flags and masks 0, every type selected, every `more` 0.
void clearSelectionSet(SelectionSet& set);

// Sets bit 0 of `selected` of every type whose `selected` is not negative.
void selectAllTypes(SelectionSet& set);

// The toggle of a host type number, or nullptr when the type is not in the table.
TypeToggle* toggleOf(SelectionSet& set, int elementType);
const TypeToggle* toggleOf(const SelectionSet& set, int elementType);

// Appends a copy of the working copy.
void addSet(SelectionSetList& list, const SelectionSet& working);
// Overwrites the set at `index` with the working copy; false when there is no such set.
bool updateSet(SelectionSetList& list, size_t index, const SelectionSet& working);
// Removes the first set whose name equals `name` exactly; false when none does.
bool removeSet(SelectionSetList& list, const std::string& name);
// Copies the set at `index` into the working copy; false when there is no such set.
bool highlightSet(const SelectionSetList& list, size_t index, SelectionSet& working);
// Destroys every set; the count becomes 0.
void freeSets(SelectionSetList& list);

// Case-insensitive (ASCII) equality of two set names.
bool sameSetName(std::string_view a, std::string_view b);

}  // namespace kelvara
