// The colour, weight, style and level pickers as modal dialogs of the dialog manager.
#include "frame/picker_dialogs.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/colors.h"
#include "host/design.h"
#include "host/dialogs.h"
#include "host/file_picker.h"
#include "host/fonts.h"
#include "host/types.h"
#include "host/ui.h"
#include "selection/labels.h"
#include "valuelist/level_picker.h"
#include "valuelist/list_file.h"
#include "valuelist/list_picker.h"

namespace kelvara {

namespace {

constexpr int HOOK_NUMBER_PICKER = 420;
constexpr int HOOK_LEVEL_PICKER = 421;
constexpr int HOOK_LIST_PICKER = 422;

struct PickerState {
  PickerTarget target;
  NumberPickerKind kind = NumberPickerKind::Color;
  bool offAllowed = false;
  std::vector<std::string> styleNames;
  // Level picker.
  int32_t addSelection = 0, displayRefLevels = 0, displayMasterLevels = 1;
  std::vector<LevelRow> rows;
  LevelLibraries libraries;
  // Font and text style pickers.
  ListKind listKind = ListKind::Fonts;
  size_t capacity = 0;
  std::vector<ListPickerRow> listRows;
};

PickerState& picker() {
  static PickerState state;
  return state;
}

int pickerId(NumberPickerKind kind) {
  switch (kind) {
    case NumberPickerKind::Color:
      return COLOR_PICKER_ID;
    case NumberPickerKind::Weight:
      return WEIGHT_PICKER_ID;
    case NumberPickerKind::Style:
      return STYLE_PICKER_ID;
  }
  return COLOR_PICKER_ID;
}

std::string joinRows(const std::vector<int>& rows) {
  std::string out;
  for (int row : rows) {
    if (!out.empty()) out.push_back(',');
    out += std::to_string(row);
  }
  return out;
}

std::vector<int> chosenRows(DialogBox* db, int itemId) {
  const DialogItem* item = mdlDialog_itemGetById(db, itemId);
  std::string value;
  if (item == nullptr || mdlDialog_itemGetValue(db, itemId, &value) != SUCCESS) return {};
  return listBoxSelection(*item, value);
}

bool toggleOn(DialogBox* db, int itemId) {
  std::string value;
  return mdlDialog_itemGetValue(db, itemId, &value) == SUCCESS && value == "1";
}

bool targetText(const PickerTarget& target, std::string* text) {
  return mdlDialog_itemGetValue(mdlDialog_find(target.dialogId), target.itemId, text) == SUCCESS;
}

// Writes the picker's result into its field and closes the picker.
void writeBack(DialogBox* db, const std::string& text) {
  const PickerTarget target = picker().target;
  (void)mdlDialog_closeCommandQueue(db);
  if (mdlDialog_itemSetValue(mdlDialog_find(target.dialogId), target.itemId, text) != SUCCESS) {
    return;
  }
  if (target.written) target.written();
}

std::string hexColor(const RgbColor& c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", c.red, c.green, c.blue);
  return text;
}

void numberPickerOk(DialogBox* db) {
  const PickerState& st = picker();
  NumberChoice choice;
  for (int value : chosenRows(db, NPITEM_GRID)) pickerChooseValue(&choice, value, true);
  choice.byLevel = toggleOn(db, NPITEM_BYLEVEL);
  choice.off = st.offAllowed && toggleOn(db, NPITEM_OFF);
  for (int row : chosenRows(db, NPITEM_NAMES)) choice.styleNames.push_back(st.styleNames[row]);
  std::string text, error;
  if (picker_writeNumberText(&text, &error, st.kind, choice, st.offAllowed) != SUCCESS) {
    (void)mdlDialog_openInfoBox(error);  // the picker stays open for a smaller choice
    return;
  }
  writeBack(db, text);
}

void numberPickerHook(DialogMessage& m) {
  if (m.type != DialogMessageType::Button) return;
  DialogBox* db = mdlDialog_find(m.dialogId);
  if (m.itemId == PITEM_OK) numberPickerOk(db);
  if (m.itemId == PITEM_CANCEL) (void)mdlDialog_closeCommandQueue(db);
}

std::string rowText(const LevelRow& row) {
  return row.name + "\t" + pc_levelCodeText(row.code) + "\t" + row.description + "\t" + row.library;
}

// Lists the rows the switches and libraries give, keeping the chosen rows chosen.
void refillLevelRows(DialogBox* db, const std::vector<bool>& chosenBefore) {
  PickerState& st = picker();
  std::vector<LevelRow> before = st.rows;
  LevelPickerSwitches switches;
  switches.addSelection = st.addSelection != 0;
  switches.displayRefLevels = st.displayRefLevels != 0;
  switches.displayMasterLevels = st.displayMasterLevels != 0;
  st.rows = levelPickerRows(mdlModelRef_getActive(), switches, st.libraries);
  std::vector<std::string> texts;
  std::vector<int> chosen;
  for (size_t i = 0; i < st.rows.size(); ++i) {
    texts.push_back(rowText(st.rows[i]));
    for (size_t j = 0; j < before.size(); ++j) {
      if (before[j] == st.rows[i] && j < chosenBefore.size() && chosenBefore[j]) {
        chosen.push_back(static_cast<int>(i));
      }
    }
  }
  (void)mdlDialog_itemSetChoices(db, LPITEM_LIST, std::move(texts));
  (void)mdlDialog_itemSetValue(db, LPITEM_LIST, joinRows(chosen));
}

std::vector<bool> chosenFlags(DialogBox* db) {
  std::vector<bool> flags(picker().rows.size(), false);
  for (int row : chosenRows(db, LPITEM_LIST)) flags[row] = true;
  return flags;
}

// A list longer than its field takes: asked whether it goes to a list file, which the field
// then names; any other answer closes the picker and leaves the field as it was.
void writeLongList(DialogBox* db, const std::string& text, const std::string& question,
                   const ListFileDialog& dialog, size_t capacity) {
  if (mdlDialog_openAlert(question) != ANSWER_OK) return (void)mdlDialog_closeCommandQueue(db);
  FilePickerRequest request;
  request.title = dialog.title;
  request.filter = dialog.filter;
  request.startDirectory = dialog.startFolder;
  request.defaultName = dialog.proposed;
  std::string file;
  if (mdlDialog_fileCreate(&file, request) != SUCCESS) {
    return (void)mdlDialog_closeCommandQueue(db);
  }
  std::string newField, message;
  if (picker_saveListFile(&newField, &message, text, file, capacity) != SUCCESS) {
    (void)mdlDialog_openInfoBox(message);
    return (void)mdlDialog_closeCommandQueue(db);
  }
  writeBack(db, newField);
}

void levelPickerOk(DialogBox* db) {
  PickerState& st = picker();
  std::string field;
  if (!targetText(st.target, &field)) return (void)mdlDialog_closeCommandQueue(db);
  const LevelPickerOk ok =
      picker_levelPickerOk(field, st.rows, chosenFlags(db), st.addSelection != 0);
  if (ok.fits) return writeBack(db, ok.text);
  writeLongList(db, ok.text, ok.question, ok.dialog, LEVEL_LIST_LIMIT);
}

void listPickerOk(DialogBox* db) {
  const PickerState& st = picker();
  std::string field;
  if (!targetText(st.target, &field)) return (void)mdlDialog_closeCommandQueue(db);
  std::vector<bool> chosen(st.listRows.size(), false);
  for (int row : chosenRows(db, LPITEM_LIST)) chosen[static_cast<size_t>(row)] = true;
  const std::string text = pc_listPickerText(st.listKind, st.listRows, chosen);
  if (text.size() <= st.capacity) return writeBack(db, text);
  writeLongList(db, text, pc_listTooLongQuestion(st.listKind, st.capacity),
                listFileDialog(st.listKind, pc_namedListFile(field)), st.capacity);
}

void listPickerHook(DialogMessage& m) {
  if (m.type != DialogMessageType::Button) return;
  DialogBox* db = mdlDialog_find(m.dialogId);
  if (m.itemId == PITEM_OK) listPickerOk(db);
  if (m.itemId == PITEM_CANCEL) (void)mdlDialog_closeCommandQueue(db);
}

void attachLibrary(DialogBox* db) {
  FilePickerRequest request;
  request.title = "Select Level Library";
  request.filter = "*.dgnlib";
  request.startDirectory = pc_levelLibraryStartFolder();
  std::vector<std::string> files;
  if (mdlDialog_fileOpen(&files, request) != SUCCESS || files.empty()) return;
  const std::vector<bool> chosen = chosenFlags(db);
  std::string message;
  if (picker_attachLevelLibrary(&picker().libraries, files.front(), &message) != SUCCESS) {
    (void)mdlDialog_openInfoBox(message);
    return;
  }
  refillLevelRows(db, chosen);
}

// Detaches the libraries of the chosen rows.
void detachLibraries(DialogBox* db) {
  PickerState& st = picker();
  const std::vector<bool> chosen = chosenFlags(db);
  for (size_t i = 0; i < st.rows.size(); ++i) {
    if (!chosen[i] || st.rows[i].library.empty()) continue;
    for (const LevelLibrary& lib : st.libraries.attached) {
      if (lib.name == st.rows[i].library) {
        (void)picker_detachLevelLibrary(&st.libraries, lib.path);
        break;
      }
    }
  }
  refillLevelRows(db, chosen);
}

void levelPickerHook(DialogMessage& m) {
  DialogBox* db = mdlDialog_find(m.dialogId);
  if (m.type == DialogMessageType::ItemChanged &&
      (m.itemId == LPITEM_REFS || m.itemId == LPITEM_MASTER)) {
    const std::vector<bool> chosen(chosenFlags(db));
    refillLevelRows(db, chosen);
  }
  if (m.type != DialogMessageType::Button) return;
  switch (m.itemId) {
    case PITEM_OK:
      return levelPickerOk(db);
    case PITEM_CANCEL:
      return (void)mdlDialog_closeCommandQueue(db);
    case LPITEM_ATTACH:
      return attachLibrary(db);
    case LPITEM_DETACH:
      return detachLibraries(db);
    default:
      break;
  }
}

DialogItem button(int id, const char* caption, bool isDefault, bool isCancel) {
  DialogItem item = makeItem(id, ItemKind::PushButton, caption);
  item.isDefault = isDefault;
  item.isCancel = isCancel;
  return item;
}

void defineNumberPicker(NumberPickerKind kind, const char* title) {
  const NumberPickerGrid grid = numberPickerGrid(kind);
  DialogResource r;
  r.id = pickerId(kind);
  r.title = title;
  r.hookId = HOOK_NUMBER_PICKER;
  r.modal = true;
  DialogItem cells = makeItem(NPITEM_GRID, ItemKind::Grid, "");
  cells.gridColumns = grid.columns;
  for (int v = 0; v < grid.count; ++v) cells.choices.push_back(std::to_string(v));
  r.items.push_back(cells);
  DialogItem byLevel = makeItem(NPITEM_BYLEVEL, ItemKind::Toggle, PICKER_BYLEVEL);
  byLevel.value = "0";
  DialogItem off = makeItem(NPITEM_OFF, ItemKind::Toggle, PICKER_OFF);
  off.value = "0";
  r.items.push_back(byLevel);
  r.items.push_back(off);
  if (kind == NumberPickerKind::Style) {
    DialogItem names = makeItem(NPITEM_NAMES, ItemKind::ListBox, "Named line styles");
    names.multiSelect = true;
    r.items.push_back(names);
  }
  r.items.push_back(button(PITEM_OK, "OK", true, false));
  r.items.push_back(button(PITEM_CANCEL, "Cancel", false, true));
  defineDialogResource(r);
}

void defineLevelPicker() {
  DialogResource r;
  r.id = LEVEL_PICKER_ID;
  r.title = "Levels";
  r.hookId = HOOK_LEVEL_PICKER;
  r.modal = true;
  DialogItem list = makeItem(LPITEM_LIST, ItemKind::ListBox, "");
  list.multiSelect = true;
  list.columns = {"Name", "Code", "Description", "Library"};
  list.activateItemId = PITEM_OK;
  r.items.push_back(list);
  r.items.push_back(makeItem(LPITEM_ADD, ItemKind::Toggle, "Add to the levels in the field",
                             "b__addSelection.value"));
  r.items.push_back(
      makeItem(LPITEM_REFS, ItemKind::Toggle, "Levels of references", "b__displayRefLevels.value"));
  r.items.push_back(makeItem(LPITEM_MASTER, ItemKind::Toggle, "Levels of the active file",
                             "b__displayMasterLevels.value"));
  r.items.push_back(button(LPITEM_ATTACH, "Attach Level Library...", false, false));
  r.items.push_back(button(LPITEM_DETACH, "Detach the chosen rows' libraries", false, false));
  r.items.push_back(button(PITEM_OK, "OK", true, false));
  r.items.push_back(button(PITEM_CANCEL, "Cancel", false, true));
  defineDialogResource(r);
}

void defineListPicker(int id, const char* title, std::vector<std::string> columns) {
  DialogResource r;
  r.id = id;
  r.title = title;
  r.hookId = HOOK_LIST_PICKER;
  r.modal = true;
  DialogItem list = makeItem(LPITEM_LIST, ItemKind::ListBox, "");
  list.multiSelect = true;
  list.columns = std::move(columns);
  list.activateItemId = PITEM_OK;
  r.items.push_back(list);
  r.items.push_back(button(PITEM_OK, "OK", true, false));
  r.items.push_back(button(PITEM_CANCEL, "Cancel", false, true));
  defineDialogResource(r);
}

// The rows of a font or text style picker: the active file's fonts by number, or "Style
// (none)" followed by the active file's text styles.
std::vector<ListPickerRow> listPickerRows(ListKind kind, std::vector<std::string>* texts) {
  std::vector<ListPickerRow> rows;
  const ModelRef active = mdlModelRef_getActive();
  if (kind == ListKind::Fonts) {
    std::vector<FontEntry> fonts;
    (void)mdlFont_getFontList(&fonts, active);
    for (const FontEntry& font : fonts) {
      rows.push_back({font.number, font.name});
      texts->push_back(std::to_string(font.number) + "\t" + font.name);
    }
    return rows;
  }
  rows.push_back({-1, std::string(NO_TEXT_STYLE)});
  texts->push_back(std::string(NO_TEXT_STYLE) + "\tRepresents an undefined text style");
  std::vector<std::string> styles;
  (void)mdlTextStyle_getNames(&styles, active);
  for (const std::string& style : styles) {
    rows.push_back({-1, style});
    texts->push_back(style + "\t");
  }
  return rows;
}

}  // namespace

void definePickerDialogs() {
  PickerState& st = picker();
  st = {};
  (void)mdlDialog_publishComplexVariable("int", "b__addSelection",
                                         {intField("value", &st.addSelection)});
  (void)mdlDialog_publishComplexVariable("int", "b__displayRefLevels",
                                         {intField("value", &st.displayRefLevels)});
  (void)mdlDialog_publishComplexVariable("int", "b__displayMasterLevels",
                                         {intField("value", &st.displayMasterLevels)});
  (void)mdlDialog_hookPublish(HOOK_NUMBER_PICKER, numberPickerHook);
  (void)mdlDialog_hookPublish(HOOK_LEVEL_PICKER, levelPickerHook);
  defineNumberPicker(NumberPickerKind::Color, "Colors");
  defineNumberPicker(NumberPickerKind::Weight, "Line weights");
  defineNumberPicker(NumberPickerKind::Style, "Line styles");
  defineLevelPicker();
  (void)mdlDialog_hookPublish(HOOK_LIST_PICKER, listPickerHook);
  defineListPicker(FONT_PICKER_ID, "Fonts", {"Number", "Name"});
  defineListPicker(TEXT_STYLE_PICKER_ID, "Text styles", {"Name", "Description"});
}

bool openNumberPicker(NumberPickerKind kind, const PickerTarget& target, bool offAllowed) {
  std::string text;
  if (!targetText(target, &text)) return false;
  PickerState& st = picker();
  st.target = target;
  st.kind = kind;
  st.offAllowed = offAllowed;
  st.styleNames =
      kind == NumberPickerKind::Style ? pickerStyleNames({}) : std::vector<std::string>{};
  const NumberPreselection pre = picker_readNumberText(kind, text, offAllowed, st.styleNames);
  DialogBox* db = mdlDialog_open(pickerId(kind));
  if (db == nullptr) return false;
  ColorTable colors = defaultColorTable();
  if (kind == NumberPickerKind::Color)
    (void)mdlColor_getColorTable(&colors, mdlModelRef_getActive());
  std::vector<int> chosen;
  DialogItem* grid = mdlDialog_itemGetById(db, NPITEM_GRID);
  grid->cellColors.clear();
  for (const PickerCell& cell : pickerGridCells(kind, pre.choice, colors)) {
    if (kind == NumberPickerKind::Color) grid->cellColors.push_back(hexColor(cell.color));
    if (cell.chosen) chosen.push_back(cell.value);
  }
  (void)mdlDialog_itemSetValue(db, NPITEM_GRID, joinRows(chosen));
  (void)mdlDialog_itemSetValue(db, NPITEM_BYLEVEL, pre.choice.byLevel ? "1" : "0");
  (void)mdlDialog_itemSetValue(db, NPITEM_OFF, pre.choice.off ? "1" : "0");
  if (!offAllowed) (void)mdlDialog_itemHide(db, NPITEM_OFF);
  if (kind == NumberPickerKind::Style) {
    std::vector<int> named;
    for (size_t i = 0; i < st.styleNames.size(); ++i) {
      for (const std::string& name : pre.choice.styleNames) {
        if (name == st.styleNames[i]) named.push_back(static_cast<int>(i));
      }
    }
    (void)mdlDialog_itemSetChoices(db, NPITEM_NAMES, st.styleNames);
    if (st.styleNames.empty()) (void)mdlDialog_itemHide(db, NPITEM_NAMES);
    (void)mdlDialog_itemSetValue(db, NPITEM_NAMES, joinRows(named));
  }
  return true;
}

bool openLevelPicker(const PickerTarget& target) {
  std::string text;
  if (!targetText(target, &text)) return false;
  PickerState& st = picker();
  st.target = target;
  st.rows.clear();
  DialogBox* db = mdlDialog_open(LEVEL_PICKER_ID);
  if (db == nullptr) return false;
  refillLevelRows(db, {});
  const LevelPreselection pre = picker_readLevelText(st.rows, text);
  std::vector<int> chosen;
  for (size_t i = 0; i < pre.selected.size(); ++i) {
    if (pre.selected[i]) chosen.push_back(static_cast<int>(i));
  }
  (void)mdlDialog_itemSetValue(db, LPITEM_LIST, joinRows(chosen));
  return true;
}

bool openListPicker(ListKind kind, const PickerTarget& target, size_t capacity) {
  std::string text;
  if (kind == ListKind::Levels || !targetText(target, &text)) return false;
  PickerState& st = picker();
  st.target = target;
  st.listKind = kind;
  st.capacity = capacity;
  DialogBox* db = mdlDialog_open(kind == ListKind::Fonts ? FONT_PICKER_ID : TEXT_STYLE_PICKER_ID);
  if (db == nullptr) return false;
  std::vector<std::string> texts;
  st.listRows = listPickerRows(kind, &texts);
  (void)mdlDialog_itemSetChoices(db, LPITEM_LIST, std::move(texts));
  const std::vector<bool> named = picker_readListText(st.listRows, text);
  std::vector<int> chosen;
  for (size_t i = 0; i < named.size(); ++i) {
    if (named[i]) chosen.push_back(static_cast<int>(i));
  }
  (void)mdlDialog_itemSetValue(db, LPITEM_LIST, joinRows(chosen));
  return true;
}

}  // namespace kelvara
