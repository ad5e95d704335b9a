// Evaluation of selection sets against elements, and selection of the admitted elements.
#include "selection/admit.h"

#include <bitset>
#include <map>
#include <set>

#include "host/design.h"
#include "host/selection.h"
#include "host/ui.h"
#include "selection/file.h"
#include "selection/measure.h"
#include "selection/type_tests.h"
#include "valuelist/valuelist.h"

namespace kelvara {

namespace {

struct RunListState {
  SelectionSetList list;
  bool loaded = false;
  std::set<std::string> warnedRanges;  // coordinate ranges already reported as unreadable
  std::map<ModelRef, WorkingUnits> units;
};

RunListState& state() {
  static RunListState s;
  return s;
}

void forgetCaches() {
  valueList_clearCache();
  clearPatternCache();
  clearTagSetCache();
  state().warnedRanges.clear();
  state().units.clear();
}

bool isCellLike(int type) {
  return type == 2 || type == 35 || type == 87;
}

bool symbologyPasses(const MSElementDescr& el, const SelectionSet& set, int type) {
  if (set.colors.empty() && set.weights.empty() && set.styles.empty()) return true;
  uint32_t colour = 0, weight = 0;
  int32_t style = 0;
  const bool known = mdlElement_getSymbology(&colour, &weight, &style, el) == SUCCESS;
  auto byLevelAware = [](uint32_t v) { return v == 0xFFFFFFFFu ? -1.0 : double(v); };
  if (!set.colors.empty()) {
    if (isCellLike(type) || !known) return false;
    if (!valueList_match(set.colors, VL_COLOR_FLAGS, true, byLevelAware(colour), nullptr)) {
      return false;
    }
  }
  if (!set.weights.empty()) {
    if (!known) return false;
    if (!valueList_match(set.weights, VL_WEIGHT_FLAGS, true, byLevelAware(weight), nullptr)) {
      return false;
    }
  }
  if (!set.styles.empty()) {
    if (isCellLike(type)) return false;
    std::string name;
    if (mdlElement_getLineStyle(&name, el) == SUCCESS) {
      if (!valueList_match(set.styles, VL_STYLE_FLAGS, true, -1.0, &name)) return false;
    } else if (!known || !valueList_match(set.styles, VL_STYLE_FLAGS, true, style, nullptr)) {
      return false;
    }
  }
  return true;
}

bool levelPasses(const MSElementDescr& el, const std::string& levels) {
  ElementProperties p;
  (void)mdlElement_getProperties(&p, el);
  std::string name;
  const bool named = mdlLevel_getName(&name, el.modelRef, p.level) == SUCCESS;
  return valueList_match(levels, VL_LEVEL_FLAGS, true, p.level, named ? &name : nullptr);
}

// Visits the components of a cell (nested cell headers passed over, their components
// visited): in mode 0 the first component on a selected level decides true, in mode 1 the
// first one on another level decides false. Returns 1 or 0 when decided, -1 otherwise.
int visitCellComponents(const MSElementDescr& cell, const std::string& levels, bool allMustPass) {
  for (const MSElementDescr& c : cell.components) {
    if (mdlElement_getType(c) == 2) {
      const int decided = visitCellComponents(c, levels, allMustPass);
      if (decided >= 0) return decided;
      continue;
    }
    const bool on = levelPasses(c, levels);
    if (!allMustPass && on) return 1;
    if (allMustPass && !on) return 0;
  }
  return -1;
}

bool levelCriterionPasses(const MSElementDescr& el, const SelectionSet& set, int type) {
  if (set.levels.empty()) return true;
  if (type != 2) return levelPasses(el, set.levels);
  const bool allMustPass = set.cellElesMustBeOnSeldLevel != 0;
  const int decided = visitCellComponents(el, set.levels, allMustPass);
  return decided >= 0 ? decided == 1 : allMustPass;
}

bool rangePasses(const MSElementDescr& el, const SelectionSet& set, const WorkingUnits& units) {
  if (set.coordinateRange.empty()) return true;
  double box[6];
  if (!readSixNumbers(set.coordinateRange, box)) {
    // Said once per text, not once per element.
    if (state().warnedRanges.insert(set.coordinateRange).second) {
      (void)mdlDialog_openInfoBox(SEL_MSG_SIX_NUMBERS);
    }
    return true;
  }
  const bool is3d = el.modelRef != 0 ? mdlModelRef_is3D(el.modelRef) : el.is3d;
  return insideBox(mdlElement_getRange(el), box, units, is3d);
}

bool graphicGroupPasses(const MSElementDescr& el, const SelectionSet& set) {
  if (set.graphicGroups.empty()) return true;
  ElementProperties p;
  (void)mdlElement_getProperties(&p, el);
  return inList(set.graphicGroups, p.graphicGroup) == 1;
}

}  // namespace

SelectionSetList& runList() {
  return state().list;
}
bool runListLoaded() {
  return state().loaded;
}

int loadRunList(std::string_view path) {
  forgetCaches();
  const int result = readRunList(path, state().list);
  state().loaded = result == SEL_READ_OK;
  return result;
}

void unloadRunList() {
  freeSets(state().list);
  state().loaded = false;
  forgetCaches();
}

WorkingUnits unitsOf(const MSElementDescr& el) {
  const ModelRef model = el.modelRef != 0 ? el.modelRef : mdlModelRef_getActive();
  auto& cache = state().units;
  if (auto it = cache.find(model); it != cache.end()) return it->second;
  WorkingUnits units;
  dgn::TcbRecord tcb;
  if (model != 0 && mdlModelRef_getUnits(model, &tcb) == SUCCESS && tcb.uorPerMaster() > 0) {
    units.uorPerMaster = tcb.uorPerMaster();
    units.globalOrigin = tcb.globalOrigin;
  }
  if (model != 0) cache[model] = units;
  return units;
}

bool passes(const MSElementDescr& el, const SelectionSet& set) {
  return passes(el, set, unitsOf(el));
}

bool passes(const MSElementDescr& el, const SelectionSet& set, const WorkingUnits& units) {
  const int type = mdlElement_getType(el);
  const dgn::Bytes bytes(el.bytes);
  if (!typeConstraintsPass(el, set, units)) return false;
  if (!symbologyPasses(el, set, type)) return false;
  if (!levelCriterionPasses(el, set, type)) return false;
  if (!rangePasses(el, set, units)) return false;
  if (!graphicGroupPasses(el, set)) return false;
  if (!classAdmitted(set.classes, bytes) || !propertiesAdmitted(set.properties, bytes)) {
    return false;
  }
  if (linkageCriteriaEmpty(set)) return true;
  return linkagesAdmitted(set, bytes);
}

bool admittedBy(const SelectionSetList& list, const MSElementDescr& el, std::string_view names) {
  const int index = typeIndex(mdlElement_getType(el));
  if (index < 0) return false;
  std::optional<WorkingUnits> units;
  while (!names.empty()) {
    const size_t comma = names.find(',');
    const std::string_view name = names.substr(0, comma);
    names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
    if (name.empty()) continue;
    for (const SelectionSet& set : list.sets) {
      if (!sameSetName(set.name, name) || !(set.typeToggles[index].selected & 1)) continue;
      if (!units) units = unitsOf(el);
      if (passes(el, set, *units)) return true;
    }
  }
  return false;
}

bool admitted(const MSElementDescr& el, std::string_view names) {
  return admittedBy(state().list, el, names);
}

int loadRunListForRun(const std::string& path, void*) {
  const int result = loadRunList(path);
  if (result == SEL_READ_OK) return SUCCESS;
  const std::string file = normalizeSelectionPath(path);
  (void)mdlDialog_openInfoBox(result == SEL_READ_UNREADABLE ? unreadableSelectionFileMessage(file)
                                                            : unsuitableSelectionFileMessage(file));
  return ERROR;
}

bool admittedForRun(const MSElementDescr& element, ModelRef, const std::string& names, void*) {
  return admitted(element, names);
}

std::string missingSelectionSetMessage(std::string_view name) {
  return "The selection set \"" + std::string(name) + "\" was not found.";
}

int selectAdmitted(std::string_view names, const SelectionSetList* list) {
  if (!list) {
    if (!state().loaded) return ERROR;
    list = &state().list;
  }
  // Type numbers reach 87: one bit per type, bit t - 1 for type t.
  std::bitset<128> typeMask;
  std::string trimmedNames;  // the names as found, so that the evaluation sees them trimmed
  std::string_view rest = names;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    std::string_view name = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    if (name.empty()) continue;
    const SelectionSet* found = nullptr;
    for (const SelectionSet& set : list->sets) {
      if (sameSetName(set.name, name)) {
        found = &set;
        break;
      }
    }
    if (!found) {
      (void)mdlDialog_openInfoBox(missingSelectionSetMessage(name));
      return SEL_SELECT_NAME_MISSING;
    }
    if (!trimmedNames.empty()) trimmedNames.push_back(',');
    trimmedNames.append(name);
    for (const TypeToggle& t : found->typeToggles) {
      if ((t.selected & 1) && t.elementType >= 1 && t.elementType <= 128) {
        typeMask.set(t.elementType - 1);
      }
    }
  }
  const ModelRef model = mdlModelRef_getActive();
  std::string groupName;
  NamedGroup* group = nullptr;
  if (mdlNamedGroup_getUniqueName(&groupName, model, "Selection") != SUCCESS ||
      mdlNamedGroup_create(&group, groupName, "Elements admitted by selection sets", model) !=
          SUCCESS) {
    return SEL_SELECT_NAME_MISSING;
  }
  ScanCriteria sc;
  mdlScan_initialize(&sc, model);
  uint32_t positions[512];
  int status = SUCCESS;
  while (status == SUCCESS) {
    int count = 0;
    status = mdlScan_file(positions, &count, 512, &sc);
    for (int i = 0; i < count; ++i) {
      ElmDscrPtr el;
      if (mdlElmdscr_read(&el, positions[i], model) != SUCCESS) continue;
      const int type = mdlElement_getType(*el);
      if (mdlElement_isComplexComponent(*el) || type < 1 || !typeMask.test(type - 1)) continue;
      if (admittedBy(*list, *el, trimmedNames)) {
        (void)mdlNamedGroup_addMember(group, mdlElement_getID(*el));
      }
    }
  }
  valueList_clearCache();
  (void)mdlNamedGroup_selectMembers(group);
  (void)mdlNamedGroup_free(&group);
  return SUCCESS;
}

}  // namespace kelvara
