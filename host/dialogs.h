// The host's dialog manager: dialog resources, published records, hooks and open dialogs.
//
// A dialog is a resource: an id, a title, a hook id and items. An item has an id, a kind, a
// caption and either a binding to a field of a published record ("s__sarnex.TOLERANCE") or a
// value of its own. The application publishes its records by name with their fields
// (mdlDialog_publishComplexVariable) and its hook functions by id (mdlDialog_hookPublish); the
// manager calls the dialog's hook with the dialog messages (create, init, focus in, close
// request, destroy) and an item's hook (or the dialog's when the item has none) with button
// presses and item changes. Items read and write their bound fields in place, so a dialog
// always shows the record as it is.
//
// Events from the user come in as DialogEvent (dialogs_handleEvent). The open dialogs can be
// read as a snapshot, and every change the manager makes bumps a change counter. Everything
// here runs on the host thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvara {

// ---- Published records -----------------------------------------------------------------------

enum class FieldType { Int32, Text };

// One field of a published record: a 32-bit integer, or a NUL-terminated text buffer of
// `capacity` bytes (the NUL included).
struct PublishedField {
  std::string name;
  FieldType type = FieldType::Int32;
  void* address = nullptr;
  size_t capacity = 0;
};

PublishedField intField(std::string name, int32_t* address);
PublishedField textField(std::string name, char* buffer, size_t capacity);

// Publishes a record as variable `variableName` of structure `structName` with its fields
// (publishing a name again replaces it). SUCCESS, or ERROR for an empty name.
int mdlDialog_publishComplexVariable(std::string_view structName, std::string_view variableName,
                                     std::vector<PublishedField> fields);

// The field a binding "variable.field" names; nullptr when the record or field is unknown.
const PublishedField* findPublishedField(std::string_view binding);

// Reads a bound field as text (an integer in decimal); "" when the binding is unknown.
std::string readBoundValue(std::string_view binding);

// Writes text into a bound field: an integer field takes a whole decimal number, a text
// field takes the text cut to its capacity. False when the binding is unknown or the text is
// not a number for an integer field (nothing is changed then).
bool writeBoundValue(std::string_view binding, std::string_view value);

// ---- Resources -------------------------------------------------------------------------------

// Grid: cells in rows of `gridColumns`, one per choice, each drawn in its colour from
// `cellColors` ("#rrggbb"); several cells may be chosen, the value as for a list box with
// multiSelect (indices ascending, comma-separated).
// A Link opens the page at its value (an address relative to the page of the dialogs) in a
// window of its own. A Menu is a pull-down menu of the dialog's menu bar, captioned with its
// title; its entries are the items that name it as their menu.
enum class ItemKind {
  Text,
  Number,
  Toggle,
  Option,
  ListBox,
  PushButton,
  Label,
  Group,
  Progress,
  Grid,
  Link,
  Menu
};

const char* itemKindName(ItemKind kind);

struct DialogItem {
  int id = 0;
  ItemKind kind = ItemKind::Label;
  std::string caption;
  std::string binding;               // "variable.field", or "" for an item holding `value`
  std::string value;                 // the value of an unbound item, as text
  std::vector<std::string> choices;  // option labels or list box rows
  int hookId = 0;                    // 0: the dialog's hook gets this item's messages
  // List box: several rows may be selected; the value is their indices in ascending order,
  // separated by commas ("" for none) instead of one index (-1 for none).
  bool multiSelect = false;
  // List box: column headings; each row holds its cells separated by '\t'. None: one column.
  std::vector<std::string> columns;
  // List box: the push button a double click on a row (or Enter in the list) presses; 0: none.
  int activateItemId = 0;
  // Grid: cells per row and each cell's colour.
  int gridColumns = 0;
  std::vector<std::string> cellColors;
  bool enabled = true;
  bool visible = true;
  bool isDefault = false;  // Enter presses it
  bool isCancel = false;   // Esc presses it
  int menu = 0;            // the id of the Menu item this item is an entry of; 0: none
  // The application's own check of a value the user enters: "" when it is taken, else what
  // the item expects. None: the item's kind decides alone.
  std::function<std::string(std::string_view value)> check;
};

// An item of this kind, caption and binding; the other members keep their defaults.
DialogItem makeItem(int id, ItemKind kind, std::string caption, std::string binding = "");

struct DialogResource {
  int id = 0;
  std::string title;
  int hookId = 0;
  bool modal = false;  // the user answers it before anything else
  std::vector<DialogItem> items;
};

// Adds a dialog resource (replacing one with the same id).
void defineDialogResource(DialogResource resource);

// The resource with this id; nullptr when none.
const DialogResource* findDialogResource(int dialogId);

// ---- Hooks -----------------------------------------------------------------------------------

enum class DialogMessageType { Create, Init, FocusIn, Button, ItemChanged, CloseRequest, Destroy };

const char* dialogMessageName(DialogMessageType type);

struct DialogMessage {
  DialogMessageType type = DialogMessageType::Init;
  int dialogId = 0;
  int itemId = 0;         // for Button and ItemChanged
  bool refuse = false;    // a CloseRequest hook sets it to keep the dialog open
  int closingItemId = 0;  // CloseRequest: the close button pressed, 0 for the window's close
};

using DialogHook = std::function<void(DialogMessage& message)>;

// Publishes a hook function under an id (replacing one). SUCCESS, or ERROR for an empty hook.
int mdlDialog_hookPublish(int hookId, DialogHook hook);

// ---- Open dialogs ----------------------------------------------------------------------------

// An open dialog: its own copy of the resource's items, which the application may change.
struct DialogBox {
  int id = 0;
  std::string title;
  int hookId = 0;
  bool modal = false;
  bool hidden = false;  // open but not shown: left out of the snapshot, refuses events
  std::vector<DialogItem> items;
};

// Opens the dialog with this resource id: Create, then Init, then FocusIn to its hook. An
// already open dialog is only brought forward (FocusIn). nullptr when there is no resource.
DialogBox* mdlDialog_open(int dialogId);

// The open dialog with this id; nullptr when it is not open.
DialogBox* mdlDialog_find(int dialogId);

// Closes the dialog: Destroy to its hook, then it is gone. No close request is asked.
// SUCCESS, or ERROR when it is not open.
int mdlDialog_closeCommandQueue(DialogBox* db);

// Hides an open dialog (it stays open with its state) or shows it again. SUCCESS, or ERROR
// when it is not open.
int mdlDialog_hide(DialogBox* db);
int mdlDialog_show(DialogBox* db);

// Sets an open dialog's title.
void mdlWindow_titleSet(DialogBox* db, std::string_view title);

// The item with this id in an open dialog; nullptr when none.
DialogItem* mdlDialog_itemGetById(DialogBox* db, int itemId);

// Item state. Each returns SUCCESS, or ERROR when the item does not exist.
int mdlDialog_itemSetEnabledState(DialogBox* db, int itemId, bool enabled);
int mdlDialog_itemShow(DialogBox* db, int itemId);
int mdlDialog_itemHide(DialogBox* db, int itemId);
// An item's value as text: its bound field, or its own value.
int mdlDialog_itemGetValue(DialogBox* db, int itemId, std::string* value);
// Sets an item's value (written into its bound field); ERROR also for a value the field
// refuses. No ItemChanged message is sent: the application made the change.
int mdlDialog_itemSetValue(DialogBox* db, int itemId, std::string_view value);
// Replaces an option's or list box's choices.
int mdlDialog_itemSetChoices(DialogBox* db, int itemId, std::vector<std::string> choices);

// The rows selected in a list box, ascending (either selection form); empty for none or for
// a value that is not a selection.
std::vector<int> listBoxSelection(const DialogItem& item, std::string_view value);

// The open dialogs, oldest first. The pointers stay valid until their dialog closes.
std::vector<DialogBox*> openDialogs();

// ---- Events from the user --------------------------------------------------------------------

enum class DialogEventKind { Button, Change, Close };

struct DialogEvent {
  int dialogId = 0;
  int itemId = 0;
  DialogEventKind kind = DialogEventKind::Button;
  std::string value;  // Change: the new value as text
};

enum class EventResult { Done, UnknownDialog, UnknownItem, Refused, BadValue };

// Applies an event: Button sends Button to the item's hook; Change writes the value into the
// item (bound field or own value) and sends ItemChanged (a value the item's kind or check
// refuses is BadValue, and the check's text goes to the error field); Close sends CloseRequest to
// the dialog's hook and closes the dialog unless refused. A disabled or hidden item refuses Button
// and Change; while a modal dialog is open, every other dialog refuses events. Nothing changes
// unless the result is Done.
EventResult dialogs_handleEvent(const DialogEvent& event);

// ---- Snapshot and change counter -------------------------------------------------------------

// An item as it shows now.
struct ItemState {
  int id = 0;
  ItemKind kind = ItemKind::Label;
  std::string caption;
  std::string value;
  std::vector<std::string> choices;
  bool enabled = true;
  bool visible = true;
  bool isDefault = false;
  bool isCancel = false;
  bool multiSelect = false;
  std::vector<std::string> columns;
  int activateItemId = 0;
  int gridColumns = 0;
  std::vector<std::string> cellColors;
  int menu = 0;
};

struct DialogState {
  int id = 0;
  std::string title;
  bool modal = false;
  std::vector<ItemState> items;
};

// The open dialogs that are not hidden, as they show now, oldest first.
std::vector<DialogState> dialogSnapshot();

// Counts the manager's changes (dialogs opened or closed, items or titles changed, events
// applied). Changes made to a bound record behind the manager's back are not counted.
uint64_t dialogChangeCount();

// Bumps the change counter (for host state shown beside the dialogs, e.g. message fields).
void noteDialogChange();

// Forgets every resource, published record, hook and open dialog (no messages are sent).
void resetDialogManager();

}  // namespace kelvara
