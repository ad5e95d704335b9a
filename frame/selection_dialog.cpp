// The Element Selection dialog: the working copy, the set list and the criteria items.
#include "frame/selection_dialog.h"

#include <cstdio>
#include <cstring>

#include "frame/constraint_dialogs.h"
#include "frame/linkage_dialogs.h"
#include "frame/picker_dialogs.h"
#include "frame/selection_dialog_state.h"
#include "host/dialogs.h"
#include "host/selection.h"
#include "host/types.h"
#include "host/ui.h"
#include "selection/admit.h"
#include "selection/criteria.h"
#include "valuelist/valuelist.h"

namespace kelvara {

namespace {

constexpr int HOOK_SELECTION = 430;

const char* const CLASS_LABELS[7] = {"Primary",          "Pattern component", "Construction",
                                     "Dimension",        "Primary rule",      "Linear patterned",
                                     "Construction rule"};
const char* const PROPERTY_LABELS[16] = {"Locked",
                                         "Not locked",
                                         "New",
                                         "Not new",
                                         "Modified",
                                         "Not modified",
                                         "With attributes",
                                         "Without attributes",
                                         "Relative",
                                         "Not relative",
                                         "Non-planar",
                                         "Planar",
                                         "Snappable",
                                         "Not snappable",
                                         "Solid",
                                         "Hole"};

// The checks of the list fields: label, value-list flags (0: integer list), bounds.
struct FieldCheck {
  int item;
  const char* label;
  uint32_t flags;
  double lower, upper;
};
const FieldCheck FIELD_CHECKS[] = {
    {SEL_COLORS, "Colors", VL_COLOR_FLAGS, 0, 255},
    {SEL_WEIGHTS, "Weights", VL_WEIGHT_FLAGS, 0, 31},
    {SEL_LEVELS, "Levels", VL_LEVEL_FLAGS, 0, 1e300},
    {SEL_GROUPS, "Graphic groups", 0, 0, 65535},
    {SEL_STYLES, "Styles", VL_STYLE_FLAGS, 0, 7},
};

// "" when the text passes the field's check, else the check's message.
std::string checkField(const FieldCheck& check, std::string text) {
  if (check.flags == 0) {
    std::string error;
    return checkIntegerList(&text, static_cast<int64_t>(check.lower),
                            static_cast<int64_t>(check.upper), &error) == SUCCESS
               ? ""
               : error;
  }
  return valueList_validate(text, check.flags, check.lower, check.upper) == SUCCESS
             ? ""
             : valueList_lastError();
}

std::string validationMessage(const char* label, const std::string& why) {
  return std::string("An error was detected in the text item \"") + label + "\":\n" + why;
}

std::string joinRows(const std::vector<int>& rows) {
  std::string out;
  for (int row : rows) out += (out.empty() ? "" : ",") + std::to_string(row);
  return out;
}

std::vector<int> rowsOf(DialogBox* db, int itemId) {
  const DialogItem* item = mdlDialog_itemGetById(db, itemId);
  std::string value;
  if (item == nullptr || mdlDialog_itemGetValue(db, itemId, &value) != SUCCESS) return {};
  return listBoxSelection(*item, value);
}

void enable(DialogBox* db, int itemId, bool on) {
  const DialogItem* item = mdlDialog_itemGetById(db, itemId);
  if (item != nullptr && item->enabled != on) (void)mdlDialog_itemSetEnabledState(db, itemId, on);
}

std::vector<std::string> typeNames() {
  std::vector<std::string> names;
  for (const ElementTypeEntry& entry : elementTypeTable()) names.push_back(entry.name);
  return names;
}

void showLinkageButtons(DialogBox* db);

// The type list, classes and properties as the working copy holds them.
void showWorkingLists(DialogBox* db) {
  const SelectionSet& w = selDialog().working;
  std::vector<std::string> rows;
  std::vector<int> types, classes, properties;
  for (size_t i = 0; i < w.typeToggles.size(); ++i) {
    rows.push_back(std::string(elementTypeTable()[i].name) + (w.typeToggles[i].more ? "  >" : ""));
    if (w.typeToggles[i].selected > 0 && (w.typeToggles[i].selected & 1)) {
      types.push_back(static_cast<int>(i));
    }
  }
  for (int n = 0; n < 7; ++n) {
    if ((w.classes >> n) & 1u) classes.push_back(n);
  }
  for (int r = 0; r < 16; ++r) {
    if ((w.properties >> r) & 1u) properties.push_back(r);
  }
  const DialogItem* typeItem = mdlDialog_itemGetById(db, SEL_TYPES);
  if (typeItem != nullptr && typeItem->choices != rows) {
    (void)mdlDialog_itemSetChoices(db, SEL_TYPES, rows);
  }
  (void)mdlDialog_itemSetValue(db, SEL_TYPES, joinRows(types));
  (void)mdlDialog_itemSetValue(db, SEL_CLASSES, joinRows(classes));
  (void)mdlDialog_itemSetValue(db, SEL_PROPERTIES, joinRows(properties));
  showLinkageButtons(db);
}

void setCaption(DialogBox* db, int itemId, const std::string& caption) {
  DialogItem* item = mdlDialog_itemGetById(db, itemId);
  if (item == nullptr || item->caption == caption) return;
  item->caption = caption;
  noteDialogChange();
}

// The user data and database buttons carry an asterisk while their criteria hold something.
void showLinkageButtons(DialogBox* db) {
  const SelectionSet& w = selDialog().working;
  const DatabaseCriteria& d = w.database;
  bool database = (d.toggles & 0xFFF) != 0;
  for (const std::string* t : {&d.linkageClass, &d.linkageWords, &d.linkageWord3, &d.linkageKey,
                               &d.dmrsClass, &d.dmrsEntity, &d.dmrsWord1, &d.dmrsKey}) {
    database = database || !t->empty();
  }
  bool userData = (w.userData.toggles & 0xF) != 0;
  for (const std::string& t : w.userData.texts) userData = userData || !t.empty();
  setCaption(db, SEL_USER_DATA, userData ? "* User data..." : "User data...");
  setCaption(db, SEL_DATABASE, database ? "* Database..." : "Database...");
}

void showTypeButton(DialogBox* db) {
  DialogItem* item = mdlDialog_itemGetById(db, SEL_TYPE_BUTTON);
  if (item == nullptr) return;
  item->caption = selDialog().allTypes ? "Clear All Types" : "Select All Types";
  noteDialogChange();
}

// Validates the working copy in the order the checks are listed; shows the first failure.
bool workingCopyValid() {
  const SelectionSet& w = selDialog().working;
  const std::string* texts[] = {&w.colors, &w.weights, &w.levels, &w.graphicGroups, &w.styles};
  for (size_t i = 0; i < std::size(FIELD_CHECKS); ++i) {
    const std::string why = checkField(FIELD_CHECKS[i], *texts[i]);
    if (!why.empty()) {
      (void)mdlDialog_openInfoBox(validationMessage(FIELD_CHECKS[i].label, why));
      return false;
    }
  }
  return true;
}

void highlightRow(DialogBox* db, int row) {
  SelectionDialogState& st = selDialog();
  st.highlighted = row;
  (void)mdlDialog_itemSetValue(db, SEL_SETS, row < 0 ? "" : std::to_string(row));
  if (row >= 0 && highlightSet(st.list, static_cast<size_t>(row), st.working)) {
    recordFromWorking();
    showWorkingLists(db);
    if (st.opener.highlight) st.opener.highlight(st.working, typeNames());
  }
  enable(db, SEL_ACTIVATE, row >= 0);
  enable(db, SEL_UPDATE, row >= 0);
  enable(db, SEL_REMOVE, row >= 0);
}

void addOrUpdate(DialogBox* db, bool update) {
  SelectionDialogState& st = selDialog();
  workingFromRecord();
  if (!workingCopyValid()) return;
  if (update) {
    if (!updateSet(st.list, static_cast<size_t>(st.highlighted), st.working)) return;
  } else {
    addSet(st.list, st.working);
  }
  selDialog().saved = false;
  refillSetList(db);
  highlightRow(db, update ? st.highlighted : static_cast<int>(st.list.sets.size()) - 1);
}

void removeHighlighted(DialogBox* db) {
  SelectionDialogState& st = selDialog();
  if (st.highlighted < 0 || st.highlighted >= static_cast<int>(st.list.sets.size())) return;
  (void)removeSet(st.list, st.list.sets[static_cast<size_t>(st.highlighted)].name);
  selDialog().saved = false;
  refillSetList(db);
  highlightRow(db, st.list.sets.empty() ? -1 : 0);
}

// Selects the elements the highlighted sets admit; the count goes to the message field.
void activate(DialogBox* db) {
  SelectionDialogState& st = selDialog();
  std::string names;
  for (int row : rowsOf(db, SEL_SETS)) {
    names += (names.empty() ? "" : ",") + st.list.sets[static_cast<size_t>(row)].name;
  }
  (void)mdlSelect_freeAll();
  ParseError error;
  if (selectAdmitted(names, &st.list, &error) != SUCCESS) {
    (void)mdlOutput_error(error.text);
    return;
  }
  (void)mdlOutput_printf(FIELD_MESSAGE, "%zu elements selected", mdlSelect_count());
}

void clearWorking(DialogBox* db) {
  SelectionDialogState& st = selDialog();
  clearSelectionSet(st.working);
  recordFromWorking();
  showWorkingLists(db);
  st.allTypes = true;
  showTypeButton(db);
  selDialog().saved = false;
}

void typeButton(DialogBox* db) {
  SelectionDialogState& st = selDialog();
  if (st.allTypes) {
    for (TypeToggle& t : st.working.typeToggles) t.selected &= ~1;
  } else {
    selectAllTypes(st.working);
  }
  st.allTypes = !st.allTypes;
  st.modified = true;
  showWorkingLists(db);
  showTypeButton(db);
}

void openConstraints(DialogBox* db) {
  std::string value;
  (void)mdlDialog_itemGetValue(db, SEL_CONSTRAINT_TYPE, &value);
  const int row = std::atoi(value.c_str());
  if (row < 0 || row >= SEL_TYPE_COUNT) return;
  const int type = elementTypeTable()[static_cast<size_t>(row)].type;
  (void)openConstraintDialog(type, &selDialog().working, [](bool changed) {
    workingFromRecord();  // the cell dialog edits the cell-components flag of the record
    if (changed) selDialog().modified = true;
    if (DialogBox* sel = mdlDialog_find(SELECTION_DIALOG_ID)) showWorkingLists(sel);
  });
}

void openPicker(int fieldItem) {
  const PickerTarget target{SELECTION_DIALOG_ID, fieldItem, [] {
                              workingFromRecord();
                              selDialog().modified = true;
                            }};
  switch (fieldItem) {
    case SEL_LEVELS:
      (void)openLevelPicker(target);
      break;
    case SEL_COLORS:
      (void)openNumberPicker(NumberPickerKind::Color, target, false);
      break;
    case SEL_WEIGHTS:
      (void)openNumberPicker(NumberPickerKind::Weight, target, false);
      break;
    default:
      (void)openNumberPicker(NumberPickerKind::Style, target, false);
      break;
  }
}

void listChanged(DialogBox* db, int itemId) {
  SelectionDialogState& st = selDialog();
  const std::vector<int> rows = rowsOf(db, itemId);
  if (itemId == SEL_SETS) {
    if (rows.size() == 1) return highlightRow(db, rows.front());
    st.highlighted = -1;
    enable(db, SEL_ACTIVATE, !rows.empty());
    enable(db, SEL_UPDATE, false);
    enable(db, SEL_REMOVE, false);
    return;
  }
  if (itemId == SEL_TYPES) {
    for (TypeToggle& t : st.working.typeToggles) t.selected &= ~1;
    for (int row : rows) st.working.typeToggles[static_cast<size_t>(row)].selected |= 1;
  } else {
    uint32_t bits = 0;
    for (int row : rows) bits |= 1u << row;
    (itemId == SEL_CLASSES ? st.working.classes : st.working.properties) = bits;
  }
  st.modified = true;
}

void fieldChanged(DialogBox* db, int itemId) {
  SelectionDialogState& st = selDialog();
  if (itemId == SEL_NAME) {
    std::string name = st.record.name;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name.empty()) name = "DEFAULT";
    (void)mdlDialog_itemSetValue(db, SEL_NAME, name);
  } else if (itemId == SEL_GROUPS) {
    std::string text = st.record.graphicGroups, error;
    if (checkIntegerList(&text, 0, 65535, &error) == SUCCESS) {
      (void)mdlDialog_itemSetValue(db, SEL_GROUPS, text);
    }
  }
  workingFromRecord();
  st.modified = true;
}

void selectionHook(DialogMessage& m) {
  DialogBox* db = mdlDialog_find(m.dialogId);
  switch (m.type) {
    case DialogMessageType::Create:
      selectionDialogCreated(db);
      break;
    case DialogMessageType::ItemChanged:
      if (m.itemId == SEL_SETS || m.itemId == SEL_TYPES || m.itemId == SEL_CLASSES ||
          m.itemId == SEL_PROPERTIES) {
        listChanged(db, m.itemId);
      } else {
        fieldChanged(db, m.itemId);
      }
      break;
    case DialogMessageType::Button:
      switch (m.itemId) {
        case SEL_ADD:
          return addOrUpdate(db, false);
        case SEL_UPDATE:
          return addOrUpdate(db, true);
        case SEL_REMOVE:
          return removeHighlighted(db);
        case SEL_ACTIVATE:
          return activate(db);
        case SEL_CLEAR:
          return clearWorking(db);
        case SEL_TYPE_BUTTON:
          return typeButton(db);
        case SEL_CONSTRAINTS:
          return openConstraints(db);
        case SEL_USER_DATA:
        case SEL_DATABASE: {
          auto closed = [] {
            selDialog().modified = true;
            if (DialogBox* sel = mdlDialog_find(SELECTION_DIALOG_ID)) showLinkageButtons(sel);
          };
          (void)(m.itemId == SEL_DATABASE ? openDatabaseDialog(&selDialog().working, closed)
                                          : openUserDataDialog(&selDialog().working, closed));
          return;
        }
        case SEL_LEVELS + 1:
        case SEL_COLORS + 1:
        case SEL_WEIGHTS + 1:
        case SEL_STYLES + 1:
          return openPicker(m.itemId - 1);
        default:
          return selectionFileCommand(db, m.itemId);
      }
    case DialogMessageType::CloseRequest:  // the window's close is a cancel
      selectionFileCommand(db, SEL_CANCEL);
      break;
    case DialogMessageType::Init:
    case DialogMessageType::FocusIn:
    case DialogMessageType::Destroy:
      break;
  }
}

DialogItem item(int id, ItemKind kind, const char* caption, const char* field = nullptr) {
  return makeItem(id, kind, caption, field ? std::string("s__select.") + field : "");
}

DialogItem listBox(int id, const char* caption, std::vector<std::string> rows) {
  DialogItem it = item(id, ItemKind::ListBox, caption);
  it.multiSelect = true;
  it.choices = std::move(rows);
  return it;
}

// A text item bound to the record, checked as it is edited.
DialogItem checkedField(const FieldCheck& check, const char* caption, const char* field) {
  DialogItem it = item(check.item, ItemKind::Text, caption, field);
  it.check = [check](std::string_view value) {
    const std::string why = checkField(check, std::string(value));
    return why.empty() ? why : validationMessage(check.label, why);
  };
  return it;
}

}  // namespace

void defineSelectionDialog() {
  selDialog() = {};
  publishSelectRecord();
  (void)mdlDialog_hookPublish(HOOK_SELECTION, selectionHook);
  defineConstraintDialogs();
  defineLinkageDialogs();
  DialogResource r;
  r.id = SELECTION_DIALOG_ID;
  r.title = SELECTION_DIALOG_TITLE;
  r.hookId = HOOK_SELECTION;
  r.items = {item(SEL_OPEN, ItemKind::PushButton, "Open..."),
             item(SEL_SAVE, ItemKind::PushButton, "Save"),
             item(SEL_SAVE_AS, ItemKind::PushButton, "Save as...")};
  DialogItem name = item(SEL_NAME, ItemKind::Text, "Name", "name");
  name.check = [](std::string_view value) -> std::string {
    const bool blanks = !value.empty() && value.find_first_not_of(" \t") == std::string::npos;
    return blanks ? "A name of blanks only is not a name." : "";
  };
  r.items.push_back(name);
  r.items.push_back(listBox(SEL_SETS, "Selection Sets", {}));
  for (auto [id, caption] : {std::pair{SEL_ADD, "Add"},
                             {SEL_UPDATE, "Update"},
                             {SEL_REMOVE, "Remove"},
                             {SEL_ACTIVATE, "Select"},
                             {SEL_CLEAR, "Clear"}}) {
    r.items.push_back(item(id, ItemKind::PushButton, caption));
  }
  r.items.push_back(listBox(SEL_TYPES, "Element types", typeNames()));
  r.items.push_back(item(SEL_TYPE_BUTTON, ItemKind::PushButton, "Select All Types"));
  DialogItem constraintType = item(SEL_CONSTRAINT_TYPE, ItemKind::Option, "Constraints of");
  constraintType.choices = typeNames();
  constraintType.value = "0";
  r.items.push_back(constraintType);
  r.items.push_back(item(SEL_CONSTRAINTS, ItemKind::PushButton, "Constraints..."));
  const char* fields[] = {"levels", "colors", "weights", "styles"};
  const char* captions[] = {"Levels", "Colors", "Weights", "Styles"};
  const char* pickers[] = {"Levels...", "Colors...", "Weights...", "Styles..."};
  const int checkIndex[] = {2, 0, 1, 4};
  for (int i = 0; i < 4; ++i) {
    r.items.push_back(checkedField(FIELD_CHECKS[checkIndex[i]], captions[i], fields[i]));
    r.items.push_back(item(SEL_LEVELS + 2 * i + 1, ItemKind::PushButton, pickers[i]));
  }
  DialogItem region =
      item(SEL_REGION, ItemKind::Text, "Region (X1,Y1,Z1,X2,Y2,Z2)", "coordinateRange");
  region.check = [](std::string_view value) -> std::string {
    double box[6];
    if (value.empty() || readSixNumbers(value, box)) return "";
    (void)mdlDialog_openInfoBox("Enter six numbers.");
    return "Enter six numbers.";
  };
  r.items.push_back(region);
  r.items.push_back(checkedField(FIELD_CHECKS[3], "Graphic groups", "graphicGroups"));
  r.items.push_back(
      listBox(SEL_CLASSES, "Classes", {std::begin(CLASS_LABELS), std::end(CLASS_LABELS)}));
  r.items.push_back(listBox(SEL_PROPERTIES, "Properties",
                            {std::begin(PROPERTY_LABELS), std::end(PROPERTY_LABELS)}));
  r.items.push_back(item(SEL_USER_DATA, ItemKind::PushButton, "User data..."));
  r.items.push_back(item(SEL_DATABASE, ItemKind::PushButton, "Database..."));
  DialogItem close = item(SEL_CLOSE, ItemKind::PushButton, "Close");
  close.isDefault = true;
  DialogItem cancel = item(SEL_CANCEL, ItemKind::PushButton, "Cancel");
  cancel.isCancel = true;
  r.items.push_back(close);
  r.items.push_back(cancel);
  r.items.push_back(item(SEL_PROCESS, ItemKind::PushButton, "Process"));
  defineDialogResource(r);
  defineUnsavedBox();
}

void refillSetList(DialogBox* db) {
  std::vector<std::string> names;
  for (const SelectionSet& set : selDialog().list.sets) names.push_back(set.name);
  (void)mdlDialog_itemSetChoices(db, SEL_SETS, std::move(names));
}

void loadFirstSet(DialogBox* db) {
  refillSetList(db);
  highlightRow(db, selDialog().list.sets.empty() ? -1 : 0);
}

void showWorkingCopy(DialogBox* db) {
  recordFromWorking();
  showWorkingLists(db);
  showTypeButton(db);
}

const SelectionSetList& selectionDialogList() {
  return selDialog().list;
}
const SelectionSet& selectionWorkingCopy() {
  return selDialog().working;
}
const std::string& selectionDialogFile() {
  return selDialog().currentFile;
}
bool selectionDialogSaved() {
  return selDialog().saved;
}

}  // namespace kelvara
