// The constraint dialog family: one dialog built from each type's row layout.
#include "frame/constraint_dialogs.h"

#include <array>
#include <cctype>
#include <cstring>

#include "frame/picker_dialogs.h"
#include "host/dialogs.h"
#include "host/types.h"
#include "host/ui.h"
#include "selection/labels.h"

namespace kelvara {

namespace {

constexpr int HOOK_CONSTRAINT = 440;
constexpr int MAX_COLUMNS = 10;
constexpr size_t INPUT_CAPACITY = 256;

enum class Col {
  Numeric,
  Choice,
  Text,
  Colors,
  Weights,
  Fonts,
  TextStyles,
  Justify,
  CellName,
  Format
};
enum class Labels { None, Fill, Display, CellKind, TagType, Format };

struct Column {
  Col kind;
  const char* caption;
  Labels labels = Labels::None;
};

struct Member {
  int type;
  ConstraintKind list;
  const char* variable;
  const char* structure;
  const char* title;
  std::vector<Column> columns;
};

const Column FILL{Col::Choice, "Fill", Labels::Fill};
const Column FILL_COLORS{Col::Colors, "Fill colors"};
const Column FORMAT{Col::Format, "Format", Labels::Format};
const Column FONTS{Col::Fonts, "Fonts"};
const Column TEXT_STYLES{Col::TextStyles, "Text styles"};
Column num(const char* caption) {
  return {Col::Numeric, caption};
}
Column text(const char* caption) {
  return {Col::Text, caption};
}

const std::vector<Member>& family() {
  static const std::vector<Member> members = {
      {16,
       ARC_LIST,
       "s__selectArcs",
       "t_select_arcs",
       "Arcs",
       {num("Sweep angle"), num("Primary axis"), num("Secondary axis")}},
      {15,
       ELLIPSE_LIST,
       "s__selectEllipse",
       "t_select_ellipse",
       "Ellipses",
       {FILL, FILL_COLORS, num("Primary axis"), num("Secondary axis")}},
      {3, LINE_LIST, "s__selectLines", "t_select_lines", "Lines", {num("Length")}},
      {36,
       MULTILINE_LIST,
       "s__selectMultiLines",
       "t_select_linestrings",
       "Multilines",
       {num("Length"), num("Number of vertices")}},
      {14,
       COMPLEX_SHAPE_LIST,
       "s__selectComplexShapes",
       "t_select_shapes",
       "Complex shapes",
       {FILL, FILL_COLORS, num("Perimeter")}},
      {12,
       COMPLEX_STRING_LIST,
       "s__selectComplexStrings",
       "t_select_linestrings",
       "Complex strings",
       {num("Length")}},
      {2,
       CELL_LIST,
       "s__selectCells",
       "t_select_cells",
       "Cells",
       {{Col::Choice, "Cell kind", Labels::CellKind},
        {Col::CellName, "Cell name"},
        FORMAT,
        num("Rotation"),
        num("X scale"),
        num("Y scale")}},
      {35,
       SHARED_CELL_LIST,
       "s__selectSharedCells",
       "t_select_cells",
       "Shared cells",
       {text("Cell name"), FORMAT, num("Rotation"), num("X scale"), num("Y scale")}},
      {23,
       CONE_LIST,
       "s__selectCones",
       "t_select_cones",
       "Cones",
       {num("Height"), num("Top radius"), num("Bottom radius")}},
      {17,
       TEXT_LIST,
       "s__selectText",
       "t_select_text",
       "Text",
       {TEXT_STYLES,
        FONTS,
        {Col::Justify, "Justifications"},
        num("Height"),
        num("Width"),
        text("Text string"),
        FORMAT}},
      {37,
       TAG_LIST,
       "s__selectTag",
       "t_select_tag",
       "Tags",
       {FONTS,
        {Col::Justify, "Justifications"},
        num("Height"),
        num("Width"),
        text("Tag set name"),
        text("Tag name"),
        {Col::Choice, "Tag type", Labels::TagType},
        text("Tag value"),
        FORMAT}},
      {7,
       TEXT_NODE_LIST,
       "s__selectTextnode",
       "t_select_textnode",
       "Text nodes",
       {TEXT_STYLES,
        FONTS,
        {Col::Justify, "Justifications"},
        num("Height"),
        num("Width"),
        num("Line spacing"),
        num("Line length"),
        num("Node number"),
        text("Text string"),
        FORMAT}},
      {11,
       CURVE_LIST,
       "s__selectCurves",
       "t_select_linestrings",
       "Curves",
       {num("Length"), num("Number of vertices")}},
      {4,
       LINE_STRING_LIST,
       "s__selectLineStrings",
       "t_select_linestrings",
       "Line strings",
       {num("Length"), num("Number of vertices")}},
      {22,
       POINT_STRING_LIST,
       "s__selectPointStrings",
       "t_select_pointstrings",
       "Point strings",
       {{Col::Choice, "Display", Labels::Display}, num("Number of vertices")}},
      {6,
       SHAPE_LIST,
       "s__selectShapes",
       "t_select_shapes",
       "Shapes",
       {FILL, FILL_COLORS, num("Perimeter"), num("Number of vertices")}},
      {33,
       DIMENSION_TEXT_LIST,
       "s__selectDimText",
       "t_select_dimtext",
       "Dimension text",
       {{Col::Colors, "Text colors"},
        {Col::Weights, "Text weights"},
        FONTS,
        num("Text width"),
        num("Text height")}},
  };
  return members;
}

std::vector<std::string> labelsOf(Labels labels) {
  auto copy = [](const auto& array) {
    return std::vector<std::string>(array.begin(), array.end());
  };
  switch (labels) {
    case Labels::Fill:
      return copy(fillLabels());
    case Labels::Display:
      return copy(displayLabels());
    case Labels::CellKind:
      return copy(cellKindLabels());
    case Labels::TagType:
      return {"Any", std::string(TAG_TYPE_CHARACTER), std::string(TAG_TYPE_INTEGER),
              std::string(TAG_TYPE_REAL)};
    case Labels::Format:
      return {std::string(FORMAT_WILDCARD), std::string(FORMAT_REGEX)};
    case Labels::None:
      break;
  }
  return {};
}

struct Inputs {
  std::array<std::array<char, INPUT_CAPACITY>, MAX_COLUMNS> texts{};
  std::array<int32_t, MAX_COLUMNS> choices{};
};

struct ConstraintDialogState {
  std::array<Inputs, CONSTRAINT_LIST_COUNT> inputs{};
  Inputs atOpening;
  const Member* member = nullptr;
  SelectionSet* working = nullptr;
  std::function<void(bool)> closedWithOk;
  std::vector<std::string> rows;  // members, row after row
  bool changed = false;
};

ConstraintDialogState& cst() {
  static ConstraintDialogState state;
  return state;
}

Inputs& currentInputs() {
  return cst().inputs[cst().member->list];
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Whether some input holds something: a text, or a label choice other than the any label.
bool inputsSet() {
  const Inputs& in = currentInputs();
  const std::vector<Column>& columns = cst().member->columns;
  for (size_t c = 0; c < columns.size(); ++c) {
    if (in.texts[c][0] != '\0') return true;
    if (columns[c].kind == Col::Choice && in.choices[c] != 0) return true;
  }
  return false;
}

bool rowListed(const std::vector<std::string>& row) {
  const std::vector<std::string>& rows = cst().rows;
  for (size_t start = 0; start + row.size() <= rows.size(); start += row.size()) {
    if (std::equal(row.begin(), row.end(), rows.begin() + static_cast<long>(start))) return true;
  }
  return false;
}

bool rowPending() {
  return inputsSet() && !rowListed(constraintInputRow());
}

std::vector<std::string> rowTexts() {
  const size_t width = cst().member->columns.size();
  std::vector<std::string> out;
  for (size_t start = 0; start + width <= cst().rows.size(); start += width) {
    std::string line;
    for (size_t c = 0; c < width; ++c) {
      const std::string& m = cst().rows[start + c];
      line += (c ? " | " : "") + (m.empty() ? std::string("-") : m);
    }
    out.push_back(line);
  }
  return out;
}

void refresh(DialogBox* db) {
  const DialogItem* list = mdlDialog_itemGetById(db, CITEM_ROWS);
  const std::vector<std::string> texts = rowTexts();
  if (list != nullptr && list->choices != texts)
    (void)mdlDialog_itemSetChoices(db, CITEM_ROWS, texts);
  const bool pending = rowPending();
  if (mdlDialog_itemGetById(db, CITEM_ADD)->enabled != pending) {
    (void)mdlDialog_itemSetEnabledState(db, CITEM_ADD, pending);
  }
}

void clearInputs() {
  currentInputs() = {};
  noteDialogChange();
}

void addRow(DialogBox* db) {
  if (!rowPending()) return;
  const std::vector<std::string> row = constraintInputRow();
  cst().rows.insert(cst().rows.end(), row.begin(), row.end());
  cst().changed = true;
  clearInputs();
  refresh(db);
  (void)mdlDialog_itemSetValue(db, CITEM_ROWS, std::to_string(rowTexts().size() - 1));
}

void removeRow(DialogBox* db) {
  std::string value;
  (void)mdlDialog_itemGetValue(db, CITEM_ROWS, &value);
  const long row = std::strtol(value.c_str(), nullptr, 10);
  const size_t width = cst().member->columns.size();
  if (value.empty() || row < 0 || static_cast<size_t>(row + 1) * width > cst().rows.size()) return;
  const auto first = cst().rows.begin() + static_cast<long>(static_cast<size_t>(row) * width);
  cst().rows.erase(first, first + static_cast<long>(width));
  cst().changed = true;
  clearInputs();
  (void)mdlDialog_itemSetValue(db, CITEM_ROWS, "-1");
  refresh(db);
}

// The names of the dimension type table's entries, by host dimension type.
std::vector<std::string> dimensionTypeNames() {
  std::vector<std::string> names;
  for (int type : dimensionTypeTable()) {
    static const char* const known[] = {"",
                                        "Size (arrows)",
                                        "Size (strokes)",
                                        "Location (single)",
                                        "Location (stacked)",
                                        "Angle size",
                                        "Arc size",
                                        "Angle location",
                                        "Arc location",
                                        "Angle between lines",
                                        "",
                                        "Radius",
                                        "Diameter",
                                        "Diameter (parallel)",
                                        "Diameter (perpendicular)",
                                        "Custom linear",
                                        "Ordinate",
                                        "Radius (extended)",
                                        "Diameter (extended)",
                                        "Centre mark"};
    names.push_back(type < 20 ? known[type] : "Dimension type " + std::to_string(type));
  }
  return names;
}

// The dimension types chosen in the list go to the type list's one member, as indices.
void takeDimensionTypes(DialogBox* db, SelectionSet& w) {
  std::string chosen;
  (void)mdlDialog_itemGetValue(db, CITEM_DIMENSION_TYPES, &chosen);
  ConstraintList& types = w.lists[DIMENSION_TYPE_LIST];
  types.reset();
  if (!chosen.empty()) types = std::vector<std::string>{chosen};
  w.dimensionTypesMore = w.dimensionTypesSelected = chosen.empty() ? 0 : 1;
  w.dimensionTextMore = w.dimensionTextSelected = cst().rows.empty() ? 0 : 1;
}

void ok(DialogBox* db) {
  ConstraintDialogState& st = cst();
  if (rowPending() &&
      mdlDialog_openMessageBox(MessageBoxButtons::YesNo,
                               "The constraint in the input fields has not been added to the "
                               "list. Close the dialog without it?") != ANSWER_YES) {
    return;
  }
  SelectionSet& w = *st.working;
  ConstraintList& list = w.lists[st.member->list];
  list.reset();
  TypeToggle* toggle = toggleOf(w, st.member->type);
  if (st.member->list == DIMENSION_TEXT_LIST) takeDimensionTypes(db, w);
  if (!st.rows.empty() || (st.member->list == DIMENSION_TEXT_LIST && w.dimensionTypesMore)) {
    if (!st.rows.empty()) list = st.rows;
    if (toggle != nullptr) toggle->more = toggle->selected = 1;
  } else if (toggle != nullptr) {
    toggle->more = 0;
  }
  const bool changed = st.changed;
  const auto callback = st.closedWithOk;
  (void)mdlDialog_closeCommandQueue(db);
  if (callback) callback(changed);
}

// The picker of a column writes into its input; the add button follows.
void openPicker(int column) {
  const PickerTarget target{CONSTRAINT_DIALOG_ID, CITEM_INPUT + column, [] {
                              if (DialogBox* d = mdlDialog_find(CONSTRAINT_DIALOG_ID)) refresh(d);
                            }};
  switch (cst().member->columns[static_cast<size_t>(column)].kind) {
    case Col::Weights:
      (void)openNumberPicker(NumberPickerKind::Weight, target, false);
      return;
    case Col::Fonts:
      (void)openListPicker(ListKind::Fonts, target, INPUT_CAPACITY - 1);
      return;
    case Col::TextStyles:
      (void)openListPicker(ListKind::TextStyles, target, INPUT_CAPACITY - 1);
      return;
    default:
      (void)openNumberPicker(NumberPickerKind::Color, target, false);
      return;
  }
}

void constraintHook(DialogMessage& m) {
  DialogBox* db = mdlDialog_find(m.dialogId);
  if (db == nullptr || cst().member == nullptr) return;
  if (m.type == DialogMessageType::ItemChanged) return refresh(db);
  if (m.type == DialogMessageType::CloseRequest) {
    currentInputs() = cst().atOpening;
    return;
  }
  if (m.type != DialogMessageType::Button) return;
  if (m.itemId >= CITEM_PICKER) return openPicker(m.itemId - CITEM_PICKER);
  switch (m.itemId) {
    case CITEM_ADD:
      return addRow(db);
    case CITEM_REMOVE:
      return removeRow(db);
    case CITEM_OK:
      return ok(db);
    case CITEM_CANCEL:
      currentInputs() = cst().atOpening;
      (void)mdlDialog_closeCommandQueue(db);
      return;
    default:
      return;
  }
}

// Publishes the member's inputs and builds its dialog.
void defineMemberDialog(const Member& member) {
  Inputs& in = cst().inputs[member.list];
  std::vector<PublishedField> fields;
  const std::string variable = member.variable;
  DialogResource r;
  r.id = CONSTRAINT_DIALOG_ID;
  r.title = std::string(member.title) + " constraints";
  r.hookId = HOOK_CONSTRAINT;
  r.modal = true;
  for (size_t c = 0; c < member.columns.size(); ++c) {
    const Column& col = member.columns[c];
    const std::string textName = "text" + std::to_string(c);
    const std::string choiceName = "choice" + std::to_string(c);
    fields.push_back(textField(textName, in.texts[c].data(), INPUT_CAPACITY));
    fields.push_back(intField(choiceName, &in.choices[c]));
    const int id = static_cast<int>(c);
    if (col.kind == Col::Numeric) {
      DialogItem op =
          makeItem(CITEM_OPERATOR + id, ItemKind::Option, col.caption, variable + "." + choiceName);
      op.choices.assign(operatorLabels().begin(), operatorLabels().end());
      r.items.push_back(op);
      r.items.push_back(makeItem(CITEM_INPUT + id, ItemKind::Text, "value or LOW:HIGH",
                                 variable + "." + textName));
    } else if (col.kind == Col::Choice || col.kind == Col::Format) {
      DialogItem choice =
          makeItem(CITEM_INPUT + id, ItemKind::Option, col.caption, variable + "." + choiceName);
      choice.choices = labelsOf(col.labels);
      r.items.push_back(choice);
    } else {
      r.items.push_back(
          makeItem(CITEM_INPUT + id, ItemKind::Text, col.caption, variable + "." + textName));
      const char* picker = col.kind == Col::Colors       ? "Colors..."
                           : col.kind == Col::Weights    ? "Weights..."
                           : col.kind == Col::Fonts      ? "Fonts..."
                           : col.kind == Col::TextStyles ? "Text styles..."
                                                         : nullptr;
      if (picker != nullptr) {
        r.items.push_back(makeItem(CITEM_PICKER + id, ItemKind::PushButton, picker));
      }
    }
  }
  (void)mdlDialog_publishComplexVariable(member.structure, member.variable, std::move(fields));
  if (member.list == CELL_LIST) {
    r.items.push_back(makeItem(CITEM_CELL_LEVELS, ItemKind::Toggle,
                               "Check if all components of cells must be on selected levels",
                               "s__select.cellElesMustBeOnSeldLevel"));
  }
  if (member.list == DIMENSION_TEXT_LIST) {
    DialogItem types = makeItem(CITEM_DIMENSION_TYPES, ItemKind::ListBox, "Dimension types");
    types.multiSelect = true;
    types.choices = dimensionTypeNames();
    r.items.insert(r.items.begin(), types);
  }
  r.items.push_back(makeItem(CITEM_ADD, ItemKind::PushButton, "Add"));
  r.items.push_back(makeItem(CITEM_ROWS, ItemKind::ListBox, "Constraints"));
  r.items.back().value = "-1";
  r.items.push_back(makeItem(CITEM_REMOVE, ItemKind::PushButton, "Remove"));
  r.items.push_back(makeItem(CITEM_OK, ItemKind::PushButton, "OK"));
  r.items.back().isDefault = true;
  r.items.push_back(makeItem(CITEM_CANCEL, ItemKind::PushButton, "Cancel"));
  r.items.back().isCancel = true;
  defineDialogResource(r);
}

}  // namespace

void defineConstraintDialogs() {
  (void)mdlDialog_hookPublish(HOOK_CONSTRAINT, constraintHook);
}

void resetConstraintInputs() {
  cst().inputs = {};
}

bool openConstraintDialog(int elementType, SelectionSet* working,
                          std::function<void(bool changed)> closedWithOk) {
  const Member* member = nullptr;
  for (const Member& m : family()) {
    if (m.type == elementType) member = &m;
  }
  if (member == nullptr) {
    if (elementType != 18) (void)mdlDialog_openInfoBox("This element type has no constraints.");
    return false;
  }
  ConstraintDialogState& st = cst();
  st.member = member;
  st.working = working;
  st.closedWithOk = std::move(closedWithOk);
  st.changed = false;
  const ConstraintList& list = working->lists[member->list];
  st.rows = list ? *list : std::vector<std::string>{};
  st.atOpening = currentInputs();
  defineMemberDialog(*member);
  DialogBox* db = mdlDialog_open(CONSTRAINT_DIALOG_ID);
  if (db == nullptr) return false;
  const ConstraintList& types = working->lists[DIMENSION_TYPE_LIST];
  if (member->list == DIMENSION_TEXT_LIST && types && !types->empty()) {
    (void)mdlDialog_itemSetValue(db, CITEM_DIMENSION_TYPES, types->front());
  }
  refresh(db);
  return true;
}

std::vector<std::string> constraintInputRow() {
  const ConstraintDialogState& st = cst();
  if (st.member == nullptr || mdlDialog_find(CONSTRAINT_DIALOG_ID) == nullptr) return {};
  const Inputs& in = st.inputs[st.member->list];
  const std::vector<Column>& columns = st.member->columns;
  std::vector<std::string> row;
  int fillChoice = 0;
  for (size_t c = 0; c < columns.size(); ++c) {
    const std::string textValue = in.texts[c].data();
    const int choice = in.choices[c];
    switch (columns[c].kind) {
      case Col::Numeric:
        row.push_back(textValue.empty() || choice < 0 || choice >= OP_COUNT
                          ? std::string()
                          : std::string(operatorLabels()[static_cast<size_t>(choice)]) + textValue);
        break;
      case Col::Choice:
      case Col::Format: {
        const std::vector<std::string> labels = labelsOf(columns[c].labels);
        row.push_back(choice >= 0 && choice < static_cast<int>(labels.size())
                          ? labels[static_cast<size_t>(choice)]
                          : labels.front());
        if (columns[c].labels == Labels::Fill) fillChoice = choice;
        break;
      }
      case Col::Colors:
        row.push_back(c > 0 && columns[c - 1].labels == Labels::Fill && fillChoice == 2
                          ? std::string()
                          : textValue);
        break;
      case Col::Justify:
        row.push_back(upper(textValue));
        break;
      case Col::CellName:
        row.push_back(textValue.empty() ? std::string(UNNAMED_CELL) : textValue);
        break;
      case Col::Text:
      case Col::Weights:
      case Col::Fonts:
      case Col::TextStyles:
        row.push_back(textValue);
        break;
    }
  }
  return row;
}

}  // namespace kelvara
