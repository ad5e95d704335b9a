// The host's selection set and named groups.
//
// The selection set is an ordered set of elements, each named by its model and file position.
// Named groups belong to a model, have a unique name and a description, and hold element IDs;
// selecting a group's members adds them to the selection set (an element ID is turned into a
// file position by the design-file layer's resolver; by default they are the same number).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "host/element.h"

namespace kelvara {

struct SelectedElement {
  ModelRef model = 0;
  uint32_t filePos = 0;
  friend bool operator==(const SelectedElement&, const SelectedElement&) = default;
};

struct SelectedElementHash {
  size_t operator()(const SelectedElement& e) const {
    return std::hash<uint64_t>{}(e.model * 0x9E3779B97F4A7C15ull ^ e.filePos);
  }
};

struct NamedGroup {
  ModelRef model = 0;
  std::string name;
  std::string description;
  std::vector<uint64_t> members;             // element IDs in the order added, no repeats
  std::unordered_set<uint64_t> memberIndex;  // the same IDs while a handle adds to the group
};

struct SelectionState {
  std::vector<SelectedElement> selected;
  std::unordered_set<SelectedElement, SelectedElementHash> selectedIndex;  // the same elements
  std::vector<std::unique_ptr<NamedGroup>> groups;
  // Element ID -> file position in a model; -1 when the ID is unknown. Empty: the same number.
  std::function<int64_t(ModelRef, uint64_t)> idToFilePos;
  uint64_t revision = 0;  // bumped by every change of the selection set
};

// ---- Selection set -------------------------------------------------------------------------

// Empties the selection set. Always SUCCESS.
int mdlSelect_freeAll();

// Adds an element; already selected elements are not added twice. Always SUCCESS.
[[nodiscard]] int mdlSelect_addElement(ModelRef model, uint32_t filePos);

// Removes an element. SUCCESS when it was selected, ERROR otherwise.
int mdlSelect_removeElement(ModelRef model, uint32_t filePos);

bool mdlSelect_isSelected(ModelRef model, uint32_t filePos);
size_t mdlSelect_count();

// The selected elements in the order they were added.
const std::vector<SelectedElement>& mdlSelect_members();

// File positions and models of the selected elements, in order (either out may be nullptr).
// Always SUCCESS (an empty selection gives empty lists).
int mdlSelect_returnPositions(std::vector<uint32_t>* positions, std::vector<ModelRef>* models);

// Changes whenever the selection set does (the drawing view shows it).
uint64_t selectionRevision();

// ---- Named groups --------------------------------------------------------------------------

// A name not yet used by a group of the model: `base` itself when free, else base + "1",
// base + "2", ... ERROR for an empty base.
[[nodiscard]] int mdlNamedGroup_getUniqueName(std::string* name, ModelRef model,
                                              std::string_view base);

// Creates a group in the model; *group gets its handle (owned by the host state). ERROR when
// the name is empty or already used in the model (names compare without regard to case).
[[nodiscard]] int mdlNamedGroup_create(NamedGroup** group, std::string_view name,
                                       std::string_view description, ModelRef model);

// Adds an element ID (once). ERROR for a null group.
[[nodiscard]] int mdlNamedGroup_addMember(NamedGroup* group, uint64_t elementId);

// Removes every member. ERROR for a null group.
[[nodiscard]] int mdlNamedGroup_removeAllMembers(NamedGroup* group);

// Adds every member to the selection set (IDs without a file position are passed over).
// ERROR for a null group.
[[nodiscard]] int mdlNamedGroup_selectMembers(const NamedGroup* group);

// Releases a handle; the group stays with its model. Always SUCCESS.
int mdlNamedGroup_free(NamedGroup** group);

// The group of that name in the model (without regard to case), or nullptr.
NamedGroup* findNamedGroup(ModelRef model, std::string_view name);

// The names of the model's groups in the order they were created.
std::vector<std::string> namedGroupNames(ModelRef model);

// Deletes the model's groups (when its file is closed).
void dropNamedGroups(ModelRef model);

}  // namespace kelvara
