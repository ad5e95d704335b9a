// The main dialog's settings menu, About and Help, and the check that offers to save changed
// settings when the main dialog closes.
//
// The main dialog's menu bar has two menus. Settings: a label naming the settings file, Load
// Settings, Save Settings, Save Settings As, the auto-save switch (bound to
// AUTOSAVE_SETTTINGS) and Factory Defaults; Help: About and a link to the help page the
// application serves. Load and Save As ask for a file through the settings file chooser; while
// the settings file is fixed they are disabled, as is Save.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/dialogs.h"

namespace kelvara {

// Items of the settings menu in the main dialog.
inline constexpr int ITEM_SETTINGS_MENU = 200180;
inline constexpr int ITEM_SETTINGS_FILE = 200181;  // "Settings File: ..."
inline constexpr int ITEM_LOAD_SETTINGS = 200182;
inline constexpr int ITEM_SAVE_SETTINGS = 200183;
inline constexpr int ITEM_SAVE_SETTINGS_AS = 200184;
inline constexpr int ITEM_AUTOSAVE = 200185;
inline constexpr int ITEM_FACTORY_DEFAULTS = 200186;
inline constexpr int ITEM_ABOUT = 200187;
inline constexpr int ITEM_HELP = 200188;
inline constexpr int ITEM_HELP_MENU = 200189;

// The address of the help page, relative to the page of the dialogs.
inline constexpr const char* HELP_PAGE = "help";

// The close prompt's texts.
inline constexpr const char* SETTINGS_CHANGED_TEXT = "Kelvara settings have changed.";
inline constexpr const char* SETTINGS_FILE_NAME_TEXT = "Settings file name:";
inline constexpr const char* FACTORY_DEFAULTS_QUESTION =
    "Are you sure you want to reload the factory defaults? \nNote: This will clear all your "
    "changes to the settings.";
inline constexpr const char* ABOUT_DESCRIPTION =
    "Remove duplicate and near-duplicate MicroStation elements automatically!";

// Asks the user for a file: the dialog's title, the filter text ("label\npattern\n..."), the
// path to start from, and whether the file is to be created (else opened). The chosen path, or
// nothing when the user cancels.
using SettingsFileChooser = std::function<std::optional<std::string>(
    const std::string& title, const std::string& filter, const std::string& start, bool create)>;

// Replaces the chooser the menu uses (an empty one: the host's file dialog).
void setSettingsFileChooser(SettingsFileChooser chooser);

// The menus and their entries, to be placed first in the main dialog's resource.
std::vector<DialogItem> settingsMenuItems();

// Publishes the menu's hooks.
void defineSettingsMenu();

// Brings the menu's label and enabled states in line with the settings file.
void syncSettingsMenu(DialogBox* mainDialog);

// The commands. Load and Save As return false when the user cancelled the chooser (nothing
// loaded or saved); Save returns false when no file was written; Factory Defaults returns
// whether the user confirmed.
bool loadSettingsCommand();
bool saveSettingsCommand();
bool saveSettingsAsCommand();
bool factoryDefaultsCommand();
void aboutCommand();

// The close check of the main dialog: true when it may close. With auto-save on the settings
// are saved; otherwise, when they differ from the settings file, the user is asked whether to
// save them (Save, Save As, Don't Save, or Cancel, which keeps the dialog open).
bool settingsCloseCheck();

}  // namespace kelvara
