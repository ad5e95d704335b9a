#include "frame/settings_menu.h"

#include <filesystem>
#include <utility>

#include "frame/main_dialog.h"
#include "host/file_picker.h"
#include "host/types.h"
#include "host/ui.h"
#include "report/text_report.h"
#include "settings/settings_file.h"

namespace kelvara {

namespace {

constexpr int HOOK_MENU = 340;
constexpr int HOOK_ABOUT = 341;
constexpr const char* SETTINGS_PATTERN = "*.ini";

struct MenuState {
  SettingsFileChooser chooser;
  bool promptOpen = false;  // the close prompt waits for its answer
};

MenuState& menuState() {
  static MenuState state;
  return state;
}

// "Settings File (.ini)\n*.ini\nAll Files (*.*)\n*.*"
std::string settingsFilter() {
  const std::string pattern = SETTINGS_PATTERN;
  return "Settings File (" + pattern.substr(1) + ")\n" + pattern + "\nAll Files (*.*)\n*.*";
}

// The host's file dialog, starting in the folder of `start` with its name proposed.
std::optional<std::string> hostFileDialog(const std::string& title, const std::string& filter,
                                          const std::string& start, bool create) {
  FilePickerRequest request;
  request.title = title;
  request.filter = filter;
  const std::filesystem::path path(start);
  request.startDirectory = path.parent_path().string();
  request.defaultName = path.filename().string();
  std::vector<std::string> opened;
  std::string created;
  const int status =
      create ? mdlDialog_fileCreate(&created, request) : mdlDialog_fileOpen(&opened, request);
  if (status != SUCCESS) return std::nullopt;
  if (create) return created;
  if (opened.empty()) return std::nullopt;
  return opened.front();
}

std::optional<std::string> chooseFile(const std::string& title, const std::string& filter,
                                      const std::string& start, bool create) {
  const SettingsFileChooser& chooser = menuState().chooser;
  return chooser ? chooser(title, filter, start, create)
                 : hostFileDialog(title, filter, start, create);
}

std::optional<std::string> chooseFile(const char* title, bool create) {
  return chooseFile(title, settingsFilter(), settingsFile().fileName, create);
}

// After the record was replaced: the main dialog shows the items FILE_MODE asks for and the
// values anew.
void refreshMainDialog() {
  DialogBox* db = mdlDialog_find(MAIN_DIALOG_ID);
  if (db == nullptr) return;
  showFileModeItems(db);
  syncSettingsMenu(db);
  noteDialogChange();
}

void menuHook(DialogMessage& m) {
  if (m.type != DialogMessageType::Button) return;
  switch (m.itemId) {
    case ITEM_LOAD_SETTINGS:
      (void)loadSettingsCommand();
      break;
    case ITEM_SAVE_SETTINGS:
      (void)saveSettingsCommand();
      break;
    case ITEM_SAVE_SETTINGS_AS:
      (void)saveSettingsAsCommand();
      break;
    case ITEM_FACTORY_DEFAULTS:
      (void)factoryDefaultsCommand();
      break;
    default:
      break;
  }
  syncSettingsMenu(mdlDialog_find(m.dialogId));
}

DialogItem entry(int menu, DialogItem item, int hook = 0) {
  item.menu = menu;
  item.hookId = hook;
  return item;
}

DialogItem button(int menu, int id, const char* caption, int hook) {
  return entry(menu, makeItem(id, ItemKind::PushButton, caption), hook);
}

}  // namespace

void setSettingsFileChooser(SettingsFileChooser chooser) {
  menuState().chooser = std::move(chooser);
}

std::vector<DialogItem> settingsMenuItems() {
  constexpr int S = ITEM_SETTINGS_MENU;
  DialogItem help = makeItem(ITEM_HELP, ItemKind::Link, "Kelvara Help");
  help.value = HELP_PAGE;
  return {
      makeItem(S, ItemKind::Menu, "Settings"),
      entry(S, makeItem(ITEM_SETTINGS_FILE, ItemKind::Label, settingsMenuLabel(settingsFile()))),
      button(S, ITEM_LOAD_SETTINGS, "Load Settings...", HOOK_MENU),
      button(S, ITEM_SAVE_SETTINGS, "Save Settings", HOOK_MENU),
      button(S, ITEM_SAVE_SETTINGS_AS, "Save Settings As...", HOOK_MENU),
      entry(S, makeItem(ITEM_AUTOSAVE, ItemKind::Toggle, "Save Settings on Close",
                        "s__sarnex.AUTOSAVE_SETTTINGS")),
      button(S, ITEM_FACTORY_DEFAULTS, "Factory Defaults...", HOOK_MENU),
      makeItem(ITEM_HELP_MENU, ItemKind::Menu, "Help"),
      entry(ITEM_HELP_MENU, help),
      button(ITEM_HELP_MENU, ITEM_ABOUT, "About Kelvara...", HOOK_ABOUT),
  };
}

void defineSettingsMenu() {
  (void)mdlDialog_hookPublish(HOOK_MENU, menuHook);
  (void)mdlDialog_hookPublish(HOOK_ABOUT, [](DialogMessage& m) {
    if (m.type == DialogMessageType::Button) aboutCommand();
  });
  menuState().promptOpen = false;
  // A settings file that cannot be written is offered under another name.
  settingsFile().chooseSaveAs = [](const std::string& start) {
    return chooseFile("Save settings as", SETTINGS_PATTERN, start, true);
  };
}

void syncSettingsMenu(DialogBox* db) {
  DialogItem* label = mdlDialog_itemGetById(db, ITEM_SETTINGS_FILE);
  if (label == nullptr) return;
  const std::string text = settingsMenuLabel(settingsFile());
  if (label->caption != text) {
    label->caption = text;
    noteDialogChange();
  }
  const bool free = !settingsFile().fileFixed;
  for (int id : {ITEM_LOAD_SETTINGS, ITEM_SAVE_SETTINGS, ITEM_SAVE_SETTINGS_AS}) {
    (void)mdlDialog_itemSetEnabledState(db, id, free);
  }
}

bool loadSettingsCommand() {
  const std::optional<std::string> chosen = chooseFile("Load Settings", false);
  if (!chosen || chosen->empty()) return false;
  SettingsFile& file = settingsFile();
  file.fileName = *chosen;
  (void)settings_load(runSettings(), file, false, KeyWalkMode::Read);
  refreshMainDialog();
  return true;
}

bool saveSettingsCommand() {
  return settings_save(runSettings(), settingsFile()) == SUCCESS;
}

bool saveSettingsAsCommand() {
  const std::optional<std::string> chosen = chooseFile("Save Settings", true);
  if (!chosen || chosen->empty()) {
    (void)mdlOutput_printf(FIELD_MESSAGE, "%s", "Saving the settings was cancelled.");
    return false;
  }
  return settings_saveAs(runSettings(), settingsFile(), *chosen) == SUCCESS;
}

bool factoryDefaultsCommand() {
  if (mdlDialog_openMessageBox(MessageBoxButtons::OkCancel, FACTORY_DEFAULTS_QUESTION) !=
      ANSWER_OK) {
    return false;
  }
  settings_factoryDefaults(runSettings());
  refreshMainDialog();
  return true;
}

void aboutCommand() {
  mdlDialog_openInfoBox(std::string(PRODUCT_NAME) + "\nVersion " + PRODUCT_VERSION + "\n\n" +
                        ABOUT_DESCRIPTION);
}

bool settingsCloseCheck() {
  MenuState& menu = menuState();
  RunSettings& s = runSettings();
  SettingsFile& file = settingsFile();
  if (s.AUTOSAVE_SETTTINGS != 0) {
    (void)settings_save(s, file);
    return true;
  }
  if (!settings_changed(s, file)) return true;
  if (menu.promptOpen) return true;
  if (file.fileName.empty()) file.fileName = file.defaultFileName;
  const std::string text =
      std::string(SETTINGS_CHANGED_TEXT) + "\n" + SETTINGS_FILE_NAME_TEXT + " " + file.fileName;
  menu.promptOpen = true;
  const int answer = mdlDialog_openMessageBox(MessageBoxButtons::SaveChanges, text);
  menu.promptOpen = false;
  switch (answer) {
    case ANSWER_OK:
      (void)settings_save(s, file);
      return true;
    case ANSWER_CANCEL:
      return false;
    case ANSWER_YES:
      return saveSettingsAsCommand();
    default:
      return true;
  }
}

}  // namespace kelvara
