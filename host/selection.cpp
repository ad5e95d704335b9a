#include "host/selection.h"

#include <algorithm>

#include "host/state.h"
#include "host/types.h"

namespace kelvara {

namespace {

SelectionState& selection() {
  return hostState().selection;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
  const auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return fold(x) == fold(y); });
}

int64_t filePosOf(ModelRef model, uint64_t id) {
  const auto& resolve = selection().idToFilePos;
  if (resolve) return resolve(model, id);
  return id > UINT32_MAX ? -1 : static_cast<int64_t>(id);
}

}  // namespace

int mdlSelect_freeAll() {
  if (!selection().selected.empty()) ++selection().revision;
  selection().selected.clear();
  selection().selectedIndex.clear();
  return SUCCESS;
}

int mdlSelect_addElement(ModelRef model, uint32_t filePos) {
  if (selection().selectedIndex.insert({model, filePos}).second) {
    selection().selected.push_back({model, filePos});
    ++selection().revision;
  }
  return SUCCESS;
}

int mdlSelect_removeElement(ModelRef model, uint32_t filePos) {
  auto& selected = selection().selected;
  if (selection().selectedIndex.erase({model, filePos}) == 0) return ERROR;
  selected.erase(std::find(selected.begin(), selected.end(), SelectedElement{model, filePos}));
  ++selection().revision;
  return SUCCESS;
}

uint64_t selectionRevision() {
  return selection().revision;
}

bool mdlSelect_isSelected(ModelRef model, uint32_t filePos) {
  return selection().selectedIndex.count({model, filePos}) != 0;
}

size_t mdlSelect_count() {
  return selection().selected.size();
}

const std::vector<SelectedElement>& mdlSelect_members() {
  return selection().selected;
}

int mdlSelect_returnPositions(std::vector<uint32_t>* positions, std::vector<ModelRef>* models) {
  if (positions) positions->clear();
  if (models) models->clear();
  for (const SelectedElement& e : selection().selected) {
    if (positions) positions->push_back(e.filePos);
    if (models) models->push_back(e.model);
  }
  return SUCCESS;
}

int mdlNamedGroup_getUniqueName(std::string* name, ModelRef model, std::string_view base) {
  if (name == nullptr || base.empty()) return ERROR;
  std::string candidate(base);
  for (long n = 1; findNamedGroup(model, candidate) != nullptr; ++n) {
    candidate = std::string(base) + std::to_string(n);
  }
  *name = std::move(candidate);
  return SUCCESS;
}

int mdlNamedGroup_create(NamedGroup** group, std::string_view name, std::string_view description,
                         ModelRef model) {
  if (group) *group = nullptr;
  if (name.empty() || findNamedGroup(model, name) != nullptr) return ERROR;
  auto created = std::make_unique<NamedGroup>();
  created->model = model;
  created->name = name;
  created->description = description;
  NamedGroup* handle = created.get();
  selection().groups.push_back(std::move(created));
  if (group) *group = handle;
  return SUCCESS;
}

int mdlNamedGroup_addMember(NamedGroup* group, uint64_t elementId) {
  if (group == nullptr) return ERROR;
  if (group->memberIndex.size() != group->members.size()) {  // dropped when the handle was freed
    group->memberIndex.insert(group->members.begin(), group->members.end());
  }
  if (group->memberIndex.insert(elementId).second) group->members.push_back(elementId);
  return SUCCESS;
}

int mdlNamedGroup_removeAllMembers(NamedGroup* group) {
  if (group == nullptr) return ERROR;
  group->members.clear();
  group->memberIndex.clear();
  return SUCCESS;
}

int mdlNamedGroup_selectMembers(const NamedGroup* group) {
  if (group == nullptr) return ERROR;
  for (uint64_t id : group->members) {
    const int64_t pos = filePosOf(group->model, id);
    if (pos >= 0 && pos <= static_cast<int64_t>(UINT32_MAX)) {
      (void)mdlSelect_addElement(group->model, static_cast<uint32_t>(pos));
    }
  }
  return SUCCESS;
}

int mdlNamedGroup_free(NamedGroup** group) {
  if (group && *group) (*group)->memberIndex = {};  // only needed while members are added
  if (group) *group = nullptr;
  return SUCCESS;
}

NamedGroup* findNamedGroup(ModelRef model, std::string_view name) {
  for (auto& g : selection().groups) {
    if (g->model == model && sameNameIgnoringCase(g->name, name)) return g.get();
  }
  return nullptr;
}

std::vector<std::string> namedGroupNames(ModelRef model) {
  std::vector<std::string> names;
  for (const auto& g : selection().groups) {
    if (g->model == model) names.push_back(g->name);
  }
  return names;
}

void dropNamedGroups(ModelRef model) {
  auto& groups = selection().groups;
  std::erase_if(groups, [model](const auto& g) { return g->model == model; });
}

}  // namespace kelvara
