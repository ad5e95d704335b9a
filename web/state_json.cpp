// The page's state as JSON, and events from JSON.
#include "web/state_json.h"

#include <nlohmann/json.hpp>

#include "host/dialogs.h"
#include "host/documents.h"
#include "host/ui.h"
#include "web/drawing.h"
#include "web/web.h"

namespace kelvara {

namespace {

using nlohmann::json;

json itemJson(const ItemState& item) {
  json j = {{"id", item.id},       {"kind", itemKindName(item.kind)}, {"caption", item.caption},
            {"value", item.value}, {"enabled", item.enabled},         {"visible", item.visible}};
  if (!item.choices.empty()) j["choices"] = item.choices;
  if (item.isDefault) j["default"] = true;
  if (item.isCancel) j["cancel"] = true;
  if (item.multiSelect) j["multiple"] = true;
  if (!item.columns.empty()) j["columns"] = item.columns;
  if (item.activateItemId != 0) j["activate"] = item.activateItemId;
  if (item.gridColumns != 0) j["gridColumns"] = item.gridColumns;
  if (!item.cellColors.empty()) j["colors"] = item.cellColors;
  if (item.menu != 0) j["menu"] = item.menu;
  return j;
}

// An integer member of an object; false when missing or not an integer.
bool intMember(const json& object, const char* name, int* out) {
  auto it = object.find(name);
  if (it == object.end() || !it->is_number_integer()) return false;
  const auto value = it->get<int64_t>();
  if (value < INT32_MIN || value > INT32_MAX) return false;
  *out = static_cast<int>(value);
  return true;
}

}  // namespace

std::string webStateJson() {
  json dialogs = json::array();
  for (const DialogState& dialog : dialogSnapshot()) {
    json items = json::array();
    for (const ItemState& item : dialog.items) items.push_back(itemJson(item));
    dialogs.push_back({{"id", dialog.id},
                       {"title", dialog.title},
                       {"modal", dialog.modal},
                       {"items", std::move(items)}});
  }
  const json fields = {{"status", messageFieldText(FIELD_STATUS)},
                       {"prompt", messageFieldText(FIELD_PROMPT)},
                       {"error", messageFieldText(FIELD_ERROR)},
                       {"message", messageFieldText(FIELD_MESSAGE)}};
  // Hidden dialogs (the main dialog while a review runs) are not shown but keep the
  // application alive: the page ends only when nothing is open at all.
  json state = {{"dialogs", std::move(dialogs)},
                {"fields", fields},
                {"open", openDialogs().size()},
                {"beeps", webBeepCount()},
                {"view", viewStateJson()}};
  // The last document the application asked the page to show, under its route.
  const ShowRequest shown = lastShowRequest();
  if (shown.serial > 0) {
    state["document"] = {{"serial", shown.serial},
                         {"href", "reports/" + std::to_string(shown.number)}};
  }
  // Texts from files need not be UTF-8: replace what is not, never throw.
  return state.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool parseDialogEvent(std::string_view body, DialogEvent* event) {
  const json j = json::parse(body.begin(), body.end(), nullptr, false);
  if (j.is_discarded() || !j.is_object()) return false;
  DialogEvent e;
  if (!intMember(j, "dialog", &e.dialogId)) return false;
  if (j.contains("item") && !intMember(j, "item", &e.itemId)) return false;
  auto kind = j.find("kind");
  if (kind == j.end() || !kind->is_string()) return false;
  const std::string& k = kind->get_ref<const std::string&>();
  if (k == "button") {
    e.kind = DialogEventKind::Button;
  } else if (k == "change") {
    e.kind = DialogEventKind::Change;
  } else if (k == "close") {
    e.kind = DialogEventKind::Close;
  } else {
    return false;
  }
  auto value = j.find("value");
  if (value != j.end()) {
    if (value->is_string()) {
      e.value = value->get<std::string>();
    } else if (value->is_boolean()) {
      e.value = std::string(1, value->get<bool>() ? '1' : '0');
    } else if (value->is_number_integer()) {
      e.value = std::to_string(value->get<int64_t>());
    } else {
      return false;
    }
  }
  if (e.kind == DialogEventKind::Change && value == j.end()) return false;
  *event = std::move(e);
  return true;
}

}  // namespace kelvara
