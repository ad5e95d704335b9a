// The dialog manager: resources, hooks, open dialogs, events and the snapshot.
#include "host/dialogs.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <map>
#include <memory>

#include "host/types.h"
#include "host/ui.h"

namespace kelvara {

void resetPublishedRecords();  // host/published.cpp

namespace {

struct DialogManager {
  std::map<int, DialogResource> resources;
  std::map<int, DialogHook> hooks;
  std::vector<std::unique_ptr<DialogBox>> open;
  uint64_t changes = 0;
  // The error a refused value put in the error field, and the item it belongs to.
  int errorDialogId = 0;
  int errorItemId = 0;
  std::string errorText;
};

DialogManager& manager() {
  static DialogManager m;
  return m;
}

void changed() {
  ++manager().changes;
}

bool isOpen(const DialogBox* db) {
  for (const auto& box : manager().open) {
    if (box.get() == db) return true;
  }
  return false;
}

// Sends a message to the hook with this id (a copy of it: the hook may republish itself).
void sendTo(int hookId, DialogMessage& message) {
  auto it = manager().hooks.find(hookId);
  if (hookId == 0 || it == manager().hooks.end()) return;
  DialogHook hook = it->second;
  hook(message);
}

DialogMessage message(DialogMessageType type, int dialogId, int itemId = 0) {
  DialogMessage m;
  m.type = type;
  m.dialogId = dialogId;
  m.itemId = itemId;
  return m;
}

std::string itemValue(const DialogItem& item) {
  return item.binding.empty() ? item.value : readBoundValue(item.binding);
}

bool isWholeNumber(std::string_view text) {
  long value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return !text.empty() && ec == std::errc() && ptr == end;
}

bool isNumber(std::string_view text) {
  if (text.empty() || text.size() > 64) return false;
  const std::string copy(text);
  char* end = nullptr;
  (void)std::strtod(copy.c_str(), &end);
  return end == copy.c_str() + copy.size() && copy.find_first_of("xXnN") == std::string::npos;
}

// Whether an item of this kind takes `value`.
bool acceptsValue(const DialogItem& item, std::string_view value) {
  switch (item.kind) {
    case ItemKind::Toggle:
      return value == "0" || value == "1";
    case ItemKind::Grid:
      return value.empty() || !listBoxSelection(item, value).empty();
    case ItemKind::ListBox:
      if (item.multiSelect) {
        return value.empty() || !listBoxSelection(item, value).empty();
      }
      [[fallthrough]];
    case ItemKind::Option: {
      if (!isWholeNumber(value)) return false;
      const long index = std::strtol(std::string(value).c_str(), nullptr, 10);
      return index >= (item.kind == ItemKind::ListBox ? -1 : 0) &&
             index < static_cast<long>(item.choices.size());
    }
    case ItemKind::Number:
      return isNumber(value);
    case ItemKind::Text:
      return true;
    case ItemKind::PushButton:
    case ItemKind::Label:
    case ItemKind::Group:
    case ItemKind::Progress:
    case ItemKind::Link:
    case ItemKind::Menu:
      return false;
  }
  return false;
}

bool storeValue(DialogItem& item, std::string_view value) {
  if (item.binding.empty()) {
    item.value = std::string(value);
    return true;
  }
  return writeBoundValue(item.binding, value);
}

void closeBox(DialogBox* db) {
  DialogMessage destroy = message(DialogMessageType::Destroy, db->id);
  sendTo(db->hookId, destroy);
  auto& open = manager().open;
  open.erase(
      std::remove_if(open.begin(), open.end(), [db](const auto& b) { return b.get() == db; }),
      open.end());
  changed();
}

// The modal dialog opened last; nullptr when none is open.
const DialogBox* topModal() {
  const auto& open = manager().open;
  for (auto it = open.rbegin(); it != open.rend(); ++it) {
    if ((*it)->modal) return it->get();
  }
  return nullptr;
}

}  // namespace

const char* itemKindName(ItemKind kind) {
  switch (kind) {
    case ItemKind::Text:
      return "text";
    case ItemKind::Number:
      return "number";
    case ItemKind::Toggle:
      return "toggle";
    case ItemKind::Option:
      return "option";
    case ItemKind::ListBox:
      return "listbox";
    case ItemKind::PushButton:
      return "button";
    case ItemKind::Label:
      return "label";
    case ItemKind::Group:
      return "group";
    case ItemKind::Progress:
      return "progress";
    case ItemKind::Grid:
      return "grid";
    case ItemKind::Link:
      return "link";
    case ItemKind::Menu:
      return "menu";
  }
  return "label";
}

const char* dialogMessageName(DialogMessageType type) {
  switch (type) {
    case DialogMessageType::Create:
      return "create";
    case DialogMessageType::Init:
      return "init";
    case DialogMessageType::FocusIn:
      return "focus in";
    case DialogMessageType::Button:
      return "button";
    case DialogMessageType::ItemChanged:
      return "item changed";
    case DialogMessageType::CloseRequest:
      return "close request";
    case DialogMessageType::Destroy:
      return "destroy";
  }
  return "";
}

DialogItem makeItem(int id, ItemKind kind, std::string caption, std::string binding) {
  DialogItem item;
  item.id = id;
  item.kind = kind;
  item.caption = std::move(caption);
  item.binding = std::move(binding);
  return item;
}

void defineDialogResource(DialogResource resource) {
  const int id = resource.id;
  manager().resources[id] = std::move(resource);
}

const DialogResource* findDialogResource(int dialogId) {
  auto it = manager().resources.find(dialogId);
  return it == manager().resources.end() ? nullptr : &it->second;
}

int mdlDialog_hookPublish(int hookId, DialogHook hook) {
  if (!hook) return ERROR;
  manager().hooks[hookId] = std::move(hook);
  return SUCCESS;
}

DialogBox* mdlDialog_open(int dialogId) {
  if (DialogBox* db = mdlDialog_find(dialogId)) {
    DialogMessage focus = message(DialogMessageType::FocusIn, dialogId);
    sendTo(db->hookId, focus);
    return mdlDialog_find(dialogId);
  }
  const DialogResource* resource = findDialogResource(dialogId);
  if (resource == nullptr) return nullptr;
  auto box = std::make_unique<DialogBox>();
  box->id = resource->id;
  box->title = resource->title;
  box->hookId = resource->hookId;
  box->modal = resource->modal;
  box->items = resource->items;
  DialogBox* db = box.get();
  manager().open.push_back(std::move(box));
  changed();
  for (DialogMessageType type :
       {DialogMessageType::Create, DialogMessageType::Init, DialogMessageType::FocusIn}) {
    if (!isOpen(db)) return nullptr;  // a hook closed it
    DialogMessage m = message(type, dialogId);
    sendTo(db->hookId, m);
  }
  return isOpen(db) ? db : nullptr;
}

DialogBox* mdlDialog_find(int dialogId) {
  for (const auto& box : manager().open) {
    if (box->id == dialogId) return box.get();
  }
  return nullptr;
}

int mdlDialog_closeCommandQueue(DialogBox* db) {
  if (db == nullptr || !isOpen(db)) return ERROR;
  closeBox(db);
  return SUCCESS;
}

void mdlWindow_titleSet(DialogBox* db, std::string_view title) {
  if (db == nullptr || db->title == title) return;
  db->title = std::string(title);
  changed();
}

DialogItem* mdlDialog_itemGetById(DialogBox* db, int itemId) {
  if (db == nullptr) return nullptr;
  for (DialogItem& item : db->items) {
    if (item.id == itemId) return &item;
  }
  return nullptr;
}

int mdlDialog_itemSetEnabledState(DialogBox* db, int itemId, bool enabled) {
  DialogItem* item = mdlDialog_itemGetById(db, itemId);
  if (item == nullptr) return ERROR;
  if (item->enabled != enabled) changed();
  item->enabled = enabled;
  return SUCCESS;
}

static int setVisible(DialogBox* db, int itemId, bool visible) {
  DialogItem* item = mdlDialog_itemGetById(db, itemId);
  if (item == nullptr) return ERROR;
  if (item->visible != visible) changed();
  item->visible = visible;
  return SUCCESS;
}

int mdlDialog_itemShow(DialogBox* db, int itemId) {
  return setVisible(db, itemId, true);
}

int mdlDialog_itemHide(DialogBox* db, int itemId) {
  return setVisible(db, itemId, false);
}

int mdlDialog_itemGetValue(DialogBox* db, int itemId, std::string* value) {
  const DialogItem* item = mdlDialog_itemGetById(db, itemId);
  if (item == nullptr || value == nullptr) return ERROR;
  *value = itemValue(*item);
  return SUCCESS;
}

int mdlDialog_itemSetValue(DialogBox* db, int itemId, std::string_view value) {
  DialogItem* item = mdlDialog_itemGetById(db, itemId);
  if (item == nullptr || !storeValue(*item, value)) return ERROR;
  changed();
  return SUCCESS;
}

int mdlDialog_itemSetChoices(DialogBox* db, int itemId, std::vector<std::string> choices) {
  DialogItem* item = mdlDialog_itemGetById(db, itemId);
  if (item == nullptr) return ERROR;
  item->choices = std::move(choices);
  changed();
  return SUCCESS;
}

int mdlDialog_hide(DialogBox* db) {
  if (!isOpen(db)) return ERROR;
  if (!db->hidden) {
    db->hidden = true;
    changed();
  }
  return SUCCESS;
}

int mdlDialog_show(DialogBox* db) {
  if (!isOpen(db)) return ERROR;
  if (db->hidden) {
    db->hidden = false;
    changed();
  }
  return SUCCESS;
}

std::vector<int> listBoxSelection(const DialogItem& item, std::string_view value) {
  std::vector<int> rows;
  const bool multiple = item.multiSelect || item.kind == ItemKind::Grid;
  const long count = static_cast<long>(item.choices.size());
  while (!value.empty()) {
    const size_t comma = value.find(',');
    const std::string_view part = value.substr(0, comma);
    if (!isWholeNumber(part)) return {};
    const long row = std::strtol(std::string(part).c_str(), nullptr, 10);
    if (row == -1 && !multiple && comma == std::string_view::npos) return rows;
    if (row < 0 || row >= count || (!rows.empty() && row <= rows.back())) return {};
    rows.push_back(static_cast<int>(row));
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
    if (value.empty()) return {};  // a trailing comma
  }
  if (!multiple && rows.size() > 1) return {};
  return rows;
}

std::vector<DialogBox*> openDialogs() {
  std::vector<DialogBox*> out;
  for (const auto& box : manager().open) out.push_back(box.get());
  return out;
}

EventResult dialogs_handleEvent(const DialogEvent& event) {
  DialogBox* db = mdlDialog_find(event.dialogId);
  if (db == nullptr || db->hidden) return EventResult::UnknownDialog;
  if (const DialogBox* modal = topModal(); modal != nullptr && modal != db) {
    return EventResult::Refused;
  }
  if (event.kind == DialogEventKind::Close) {
    DialogMessage request = message(DialogMessageType::CloseRequest, db->id);
    request.closingItemId = event.itemId;
    sendTo(db->hookId, request);
    if (request.refuse) return EventResult::Refused;
    if (isOpen(db)) closeBox(db);
    return EventResult::Done;
  }
  DialogItem* item = mdlDialog_itemGetById(db, event.itemId);
  if (item == nullptr) return EventResult::UnknownItem;
  if (!item->enabled || !item->visible) return EventResult::Refused;
  const int hookId = item->hookId != 0 ? item->hookId : db->hookId;
  if (event.kind == DialogEventKind::Button) {
    if (item->kind != ItemKind::PushButton) return EventResult::BadValue;
    changed();
    DialogMessage press = message(DialogMessageType::Button, db->id, item->id);
    sendTo(hookId, press);
    return EventResult::Done;
  }
  // The item's own check comes first: it says what the user typed wrong, even when the text is
  // not a number at all.
  if (item->check) {
    const std::string why = item->check(event.value);
    if (!why.empty()) {
      DialogManager& m = manager();
      m.errorDialogId = db->id;
      m.errorItemId = item->id;
      m.errorText = item->caption + ": " + why;
      (void)mdlOutput_error(m.errorText);
      changed();
      return EventResult::BadValue;
    }
  }
  if (!acceptsValue(*item, event.value)) return EventResult::BadValue;
  if (!storeValue(*item, event.value)) return EventResult::BadValue;
  changed();
  // A value taken clears the error this item's last refused value left, unless something else
  // has been shown in the error field since.
  DialogManager& m = manager();
  if (m.errorDialogId == db->id && m.errorItemId == item->id) {
    if (messageFieldText(FIELD_ERROR) == m.errorText) (void)mdlOutput_error("");
    m.errorDialogId = m.errorItemId = 0;
    m.errorText.clear();
  }
  DialogMessage change = message(DialogMessageType::ItemChanged, db->id, item->id);
  sendTo(hookId, change);
  return EventResult::Done;
}

std::vector<DialogState> dialogSnapshot() {
  std::vector<DialogState> out;
  for (const auto& box : manager().open) {
    if (box->hidden) continue;
    DialogState state;
    state.id = box->id;
    state.title = box->title;
    state.modal = box->modal;
    for (const DialogItem& item : box->items) {
      state.items.push_back({item.id, item.kind, item.caption, itemValue(item), item.choices,
                             item.enabled, item.visible, item.isDefault, item.isCancel,
                             item.multiSelect, item.columns, item.activateItemId, item.gridColumns,
                             item.cellColors, item.menu});
    }
    out.push_back(std::move(state));
  }
  return out;
}

uint64_t dialogChangeCount() {
  return manager().changes;
}

void noteDialogChange() {
  changed();
}

void resetDialogManager() {
  DialogManager& m = manager();
  m.resources.clear();
  m.hooks.clear();
  m.open.clear();
  m.errorDialogId = m.errorItemId = 0;
  m.errorText.clear();
  ++m.changes;
  resetPublishedRecords();
}

}  // namespace kelvara
