// Evaluation of selection sets against elements, and selection of the admitted elements.
#include "selection/admit.h"

#include <bitset>
#include <map>
#include <memory>
#include <optional>
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

// A list text parsed once and kept while the text stays the same: evaluation parses each
// colour, weight, style and level list of a set once per run list, not once per element.
struct ParsedText {
  bool valid = false;
  std::string source;
  std::unique_ptr<ValueList> list;
};

const ValueList* parsed(ParsedText& memo, const std::string& text, uint32_t flags) {
  if (!memo.valid || memo.source != text) {
    memo.list.reset();
    (void)valueList_parse(&memo.list, text, flags, false);  // items that parse are used
    memo.source = text;
    memo.valid = true;
  }
  return memo.list.get();
}

struct SetMemo {
  ParsedText colors, weights, styles, levels;
};

// Which sets of a list a names text picks, in the order they are tested; kept while the
// names, the list and its set names stay the same.
struct NamesMemo {
  const SelectionSetList* list = nullptr;
  std::string names;
  std::vector<std::string> setNames;
  std::vector<size_t> picked;
  std::vector<SetMemo> sets;  // by set index
};

struct RunListState {
  SelectionSetList list;
  bool loaded = false;
  std::set<std::string> warnedRanges;  // coordinate ranges already reported as unreadable
  std::map<ModelRef, WorkingUnits> units;
  NamesMemo names;
  SetMemo scratch;  // for passes() called on its own
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
  state().names = NamesMemo{};
}

NamesMemo& resolveNames(const SelectionSetList& list, std::string_view names) {
  NamesMemo& m = state().names;
  bool same = m.list == &list && m.names == names && m.setNames.size() == list.sets.size();
  for (size_t i = 0; same && i < list.sets.size(); ++i) same = m.setNames[i] == list.sets[i].name;
  if (same) return m;
  m = NamesMemo{};
  m.list = &list;
  m.names = names;
  for (const SelectionSet& set : list.sets) m.setNames.push_back(set.name);
  m.sets.resize(list.sets.size());
  while (!names.empty()) {
    const size_t comma = names.find(',');
    const std::string_view name = names.substr(0, comma);
    names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
    if (name.empty()) continue;
    for (size_t i = 0; i < list.sets.size(); ++i) {
      if (sameSetName(list.sets[i].name, name)) m.picked.push_back(i);
    }
  }
  return m;
}

bool symbologyPasses(const MSElementDescr& el, const SelectionSet& set, int type, SetMemo& memo) {
  if (set.colors.empty() && set.weights.empty() && set.styles.empty()) return true;
  uint32_t colour = 0, weight = 0;
  int32_t style = 0;
  const bool known = mdlElement_getSymbology(&colour, &weight, &style, el) == SUCCESS;
  auto byLevelAware = [](uint32_t v) { return v == 0xFFFFFFFFu ? -1.0 : double(v); };
  if (!set.colors.empty()) {
    if (refusedBySymbologyLists(type) || !known) return false;
    const ValueList* colors = parsed(memo.colors, set.colors, VL_COLOR_FLAGS);
    if (!valueList_matchList(colors, byLevelAware(colour), nullptr)) {
      return false;
    }
  }
  if (!set.weights.empty()) {
    if (refusedBySymbologyLists(type) || !known) return false;
    const ValueList* weights = parsed(memo.weights, set.weights, VL_WEIGHT_FLAGS);
    if (!valueList_matchList(weights, byLevelAware(weight), nullptr)) {
      return false;
    }
  }
  if (!set.styles.empty()) {
    if (refusedBySymbologyLists(type)) return false;
    const ValueList* styles = parsed(memo.styles, set.styles, VL_STYLE_FLAGS);
    std::string name;
    if (mdlElement_getLineStyle(&name, el) == SUCCESS) {
      if (!valueList_matchList(styles, -1.0, &name)) return false;
    } else if (!known || !valueList_matchList(styles, style, nullptr)) {
      return false;
    }
  }
  return true;
}

bool levelPasses(const MSElementDescr& el, const ValueList* levels) {
  ElementProperties p;
  (void)mdlElement_getProperties(&p, el);
  std::string name;
  const bool named = mdlLevel_getName(&name, el.modelRef, p.level) == SUCCESS;
  return valueList_matchList(levels, p.level, named ? &name : nullptr);
}

// Visits the components of a cell (nested cell headers passed over, their components
// visited): in mode 0 the first component on a selected level decides true, in mode 1 the
// first one on another level decides false. Returns 1 or 0 when decided, -1 otherwise.
int visitCellComponents(const MSElementDescr& cell, const ValueList* levels, bool allMustPass) {
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

bool levelCriterionPasses(const MSElementDescr& el, const SelectionSet& set, int type,
                          SetMemo& memo) {
  if (set.levels.empty()) return true;
  const ValueList* levels = parsed(memo.levels, set.levels, VL_LEVEL_FLAGS);
  if (type != 2) return levelPasses(el, levels);
  const bool allMustPass = set.cellElesMustBeOnSeldLevel != 0;
  const int decided = visitCellComponents(el, levels, allMustPass);
  return decided >= 0 ? decided == 1 : allMustPass;
}

bool rangePasses(const MSElementDescr& el, const SelectionSet& set, const WorkingUnits& units) {
  if (set.coordinateRange.empty()) return true;
  double box[6];
  if (!readSixNumbers(set.coordinateRange, box)) {
    // Said once per text, not once per element.
    if (state().warnedRanges.insert(set.coordinateRange).second) {
      reportParseError(
          ParseError{SEL_ERR_RANGE_NOT_SIX_NUMBERS, std::string(SEL_MSG_SIX_NUMBERS), {}, 0});
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

bool passesWith(const MSElementDescr& el, const SelectionSet& set, const WorkingUnits& units,
                SetMemo& memo) {
  const int type = mdlElement_getType(el);
  const dgn::Bytes bytes(el.bytes);
  if (!typeConstraintsPass(el, set, units)) return false;
  if (!symbologyPasses(el, set, type, memo)) return false;
  if (!levelCriterionPasses(el, set, type, memo)) return false;
  if (!rangePasses(el, set, units)) return false;
  if (!graphicGroupPasses(el, set)) return false;
  if (!classAdmitted(set.classes, bytes) || !propertiesAdmitted(set.properties, bytes)) {
    return false;
  }
  if (linkageCriteriaEmpty(set)) return true;
  return linkagesAdmitted(set, bytes);
}

}  // namespace

SelectionSetList& runList() {
  return state().list;
}
bool runListLoaded() {
  return state().loaded;
}

int loadRunList(std::string_view path, ParseError* error) {
  forgetCaches();
  const int result = readRunList(path, state().list, error);
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
  return passesWith(el, set, units, state().scratch);
}

bool admittedBy(const SelectionSetList& list, const MSElementDescr& el, std::string_view names) {
  const int index = typeIndex(mdlElement_getType(el));
  if (index < 0) return false;
  NamesMemo& memo = resolveNames(list, names);
  std::optional<WorkingUnits> units;
  for (size_t i : memo.picked) {
    const SelectionSet& set = list.sets[i];
    if (!(set.typeToggles[index].selected & 1)) continue;
    if (!units) units = unitsOf(el);
    if (passesWith(el, set, *units, memo.sets[i])) return true;
  }
  return false;
}

bool admitted(const MSElementDescr& el, std::string_view names) {
  return admittedBy(state().list, el, names);
}

int loadRunListForRun(const std::string& path, void*) {
  ParseError error;
  const int result = loadRunList(path, &error);
  if (result == SEL_READ_OK) return SUCCESS;
  // The check's own reason first, then what became of the file.
  if (result == SEL_READ_UNSUITABLE) {
    reportParseError(error);
    error.code = SEL_ERR_UNSUITABLE;
    error.text = unsuitableSelectionFileMessage(error.file);
    error.alert = false;
  }
  reportParseError(error);
  return ERROR;
}

bool admittedForRun(const MSElementDescr& element, ModelRef, const std::string& names, void*) {
  return admitted(element, names);
}

std::string missingSelectionSetMessage(std::string_view name) {
  return "The selection set \"" + std::string(name) + "\" was not found.";
}

int selectAdmitted(std::string_view names, const SelectionSetList* list, ParseError* error) {
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
      if (error) {
        *error = ParseError{SEL_ERR_SET_MISSING, missingSelectionSetMessage(name), {}, 0};
      }
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
  // One group holds what the latest selection admitted: a later one replaces its members.
  NamedGroup* group = findNamedGroup(model, ADMITTED_GROUP_NAME);
  if (group != nullptr
          ? mdlNamedGroup_removeAllMembers(group) != SUCCESS
          : mdlNamedGroup_create(&group, ADMITTED_GROUP_NAME, "Elements admitted by selection sets",
                                 model) != SUCCESS) {
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
