// The main dialog's settings menu and close prompt through the dialog manager: what each
// command and each answer leaves in the settings files, the record and the dialog.
#include "frame/settings_menu.h"

#include <gtest/gtest.h>

#include <optional>

#include "frame/main_dialog_host.h"
#include "host/state.h"
#include "host/ui.h"
#include "settings/settings_file.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

constexpr int kClose = 0;  // closing the main dialog instead of a menu command

struct Case {
  const char* name;
  int command;                    // a menu item, or kClose
  std::vector<int> answers;       // to the questions asked
  const char* chosen;             // the chooser's answer: a file of the scratch folder; "": cancel
  bool autosave = false;          // AUTOSAVE_SETTTINGS before the command
  bool edited = true;             // the tolerance changed from the saved "1.0" to "2.5"
  int questions = 1;              // message boxes shown
  bool closed = false;            // the main dialog closed
  const char* tolerance;          // in the record afterwards
  const char* inA;                // TOLERANCE in a.ini afterwards ("" no such file)
  const char* inB;                // ... in b.ini
  const char* current = "a.ini";  // the settings file afterwards
};

// b.ini exists before each case with TOLERANCE=3.0 and FILE_MODE=1. Load, Save, Save As to a new
// file and Save on closing: the browser story of settings_menu.test.mjs (browser tests).
constexpr int SAVE = ITEM_SAVE_SETTINGS, SAVE_AS = ITEM_SAVE_SETTINGS_AS, CLOSE = kClose;
constexpr int LOAD = ITEM_LOAD_SETTINGS, FACTORY = ITEM_FACTORY_DEFAULTS;
// clang-format off
const Case kCases[] = {
    {"SaveAsCancelled", SAVE_AS, {}, "", false, true, 0, false, "2.5", "1.0", "3.0"},
    {"LoadCancelled", LOAD, {}, "", false, true, 0, false, "2.5", "1.0", "3.0"},
    {"FactoryConfirmed", FACTORY, {ANSWER_OK}, "", false, true, 1, false, "1.0", "1.0", "3.0"},
    {"FactoryDeclined", FACTORY, {ANSWER_CANCEL}, "", false, true, 1, false, "2.5", "1.0", "3.0"},
    {"CloseUnchanged", CLOSE, {}, "", false, false, 0, true, "1.0", "1.0", "3.0"},
    {"CloseAutosaves", CLOSE, {}, "", true, true, 0, true, "2.5", "2.5", "3.0"},
    {"CloseCancel", CLOSE, {ANSWER_CANCEL}, "", false, true, 1, false, "2.5", "1.0", "3.0"},
    {"CloseSaveAs", CLOSE, {ANSWER_YES}, "b.ini", false, true, 1, true, "2.5", "1.0", "2.5",
     "b.ini"},
    {"CloseSaveAsCancelled", CLOSE, {ANSWER_YES}, "", false, true, 1, false, "2.5", "1.0", "3.0"},
    {"CloseDontSave", CLOSE, {ANSWER_NO}, "", false, true, 1, true, "2.5", "1.0", "3.0"},
};
// clang-format on

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

std::string toleranceIn(const std::string& path) {
  std::string value;
  for (const std::string& line : test::readLines(path)) {
    if (line.rfind("TOLERANCE=", 0) == 0) value = line.substr(10);
  }
  if (!value.empty() && value.back() == '\r') value.pop_back();
  return value;
}

class SettingsMenuTest : public ::testing::TestWithParam<Case> {
 protected:
  void TearDown() override {
    setSettingsFileChooser(nullptr);
    test::resetMainDialogHost();
    settingsFile() = SettingsFile{};
  }
};

TEST_P(SettingsMenuTest, CommandsAndCloseAnswers) {
  const Case& c = GetParam();
  test::ScratchDir dir;
  ScopedScriptedUi ui;
  test::resetMainDialogHost();
  RunSettings& s = runSettings();
  SettingsFile& file = settingsFile();
  file = SettingsFile{};
  file.defaultFileName = dir.file("default.ini");
  s.FILE_MODE = 1;
  s.TOLERANCE.assign("3.0");
  ASSERT_EQ(settings_saveAs(s, file, dir.file("b.ini")), SUCCESS);
  s.FILE_MODE = 0;
  s.TOLERANCE.assign("1.0");
  s.AUTOSAVE_SETTTINGS = c.autosave ? 1 : 0;
  ASSERT_EQ(settings_saveAs(s, file, dir.file("a.ini")), SUCCESS);
  if (c.edited) s.TOLERANCE.assign("2.5");
  std::vector<std::string> titles;
  setSettingsFileChooser([&](const std::string& title, const std::string&, const std::string&,
                             bool) -> std::optional<std::string> {
    titles.push_back(title);
    if (*c.chosen == '\0') return std::nullopt;
    return dir.file(c.chosen);
  });
  ASSERT_NE(test::openMainDialog(), nullptr);
  ui.script.answers.assign(c.answers.begin(), c.answers.end());

  const EventResult result = c.command == kClose ? test::closeWindow(MAIN_DIALOG_ID)
                                                 : test::press(MAIN_DIALOG_ID, c.command);

  EXPECT_EQ(result, c.closed || c.command != kClose ? EventResult::Done : EventResult::Refused);
  EXPECT_EQ(ui.script.texts(UiEventKind::MessageBox).size(), static_cast<size_t>(c.questions));
  EXPECT_EQ(ui.script.unscriptedQuestions, 0);
  EXPECT_EQ(mdlDialog_find(MAIN_DIALOG_ID) == nullptr, c.closed);
  EXPECT_EQ(s.TOLERANCE.str(), c.tolerance);
  EXPECT_EQ(toleranceIn(dir.file("a.ini")), c.inA);
  EXPECT_EQ(toleranceIn(dir.file("b.ini")), c.inB);
  EXPECT_EQ(file.fileName, dir.file(c.current));
  if (*c.chosen != '\0') {
    EXPECT_EQ(toleranceIn(dir.file(c.chosen)), s.TOLERANCE.str());
  }
  if (DialogBox* db = mdlDialog_find(MAIN_DIALOG_ID)) {
    // The dialog shows the file and the items of the record as it is now.
    EXPECT_EQ(mdlDialog_itemGetById(db, ITEM_SETTINGS_FILE)->caption, settingsMenuLabel(file));
    EXPECT_EQ(mdlDialog_itemGetById(db, ITEM_BATCH_FILE)->visible, s.FILE_MODE != 0);
  }
  if (c.command == ITEM_LOAD_SETTINGS) {
    EXPECT_EQ(titles, std::vector<std::string>{"Load Settings"});
  }
  if (c.command == ITEM_SAVE_SETTINGS_AS) {
    EXPECT_EQ(titles, std::vector<std::string>{"Save Settings"});
  }
}

INSTANTIATE_TEST_SUITE_P(Menu, SettingsMenuTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvara
