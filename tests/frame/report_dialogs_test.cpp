// The report dialogs through the dialog manager: the report settings choices and what they do
// to the dependent settings and items, and the report list of a run that wrote several reports.
#include "frame/report_dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "frame/main_dialog_host.h"
#include "frame/messages.h"
#include "frame/settings_dialog.h"
#include "host/documents.h"
#include "host/file_picker.h"
#include "host/state.h"
#include "host/ui.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

struct ReportDialogsTest : ::testing::Test {
  ScopedScriptedUi ui;
  test::ScratchDir dir;

  void SetUp() override {
    test::resetMainDialogHost();
    resetDocuments();
    for (const char* name : {"a.dgn", "b.dgn", "a0.drf", "b1.drf"}) {
      ASSERT_TRUE(test::DesignBuilder{}.write(dir.file(name)));
    }
    ASSERT_EQ(mdlSystem_newDesignFile(dir.file("a.dgn")), SUCCESS);
    ASSERT_NE(test::openMainDialog(), nullptr);
    defineSettingsDialog();
    defineReportDialogs();
  }
  void TearDown() override {
    test::resetMainDialogHost();
    resetDocuments();
  }

  static const DialogItem* mainItem(int id) { return test::itemOf(MAIN_DIALOG_ID, id); }
  static std::string active() {
    std::string path;
    (void)mdlModelRef_getFileName(mdlModelRef_getActive(), &path);
    return path;
  }
};

// One choice of the report settings dialog: the settings before, the item changed and its new
// value, the fields afterwards ("{dir}" stands for the active design file's folder), and items
// that must be enabled and disabled afterwards.
struct Choice {
  const char* what;
  void (*before)(RunSettings&);
  int item;
  const char* value;
  std::vector<std::pair<const char*, const char*>> after;
  std::vector<int> enabled, disabled;
};

void perEntryReports(RunSettings& s) {
  s.ONE_TEXT_REPORT = 0;
  s.ONE_TEXT_EACH_REPORT = 1;
  s.SAME_DIR_TEXT_REPORT = 1;
  s.TEXT_APPEND_EXT = 1;
  s.TEXT_REPORT_FILE_NAME.clear();
}

// clang-format off
const Choice kChoices[] = {
    {"text reports off", [](RunSettings& s) { s.USE_WORD_WRAP_TEXT_REPORT = 1; },
     RITEM_TEXT_REPORT, "0",
     {{"ONE_TEXT_REPORT", "0"}, {"TEXT_REPORT_FILE_NAME", ""}, {"USE_WORD_WRAP_TEXT_REPORT", "0"}},
     {RITEM_DESIGN_EXTENSION},
     {RITEM_TEXT_EXTENSION, RITEM_REPORT_FILE, RITEM_ONE_REPORT, RITEM_WRAP_COLUMN}},
    {"text reports on",
     [](RunSettings& s) {
       perEntryReports(s);
       s.TEXT_REPORT__ = 0;
       s.TEXT_EXTENSION.assign("log");
       s.TEXT_REPORT_DIR_NAME.assign("/old/");
     },
     RITEM_TEXT_REPORT, "1",
     {{"TEXT_EXTENSION", "trf"}, {"ONE_TEXT_REPORT", "1"},
      {"TEXT_REPORT_FILE_NAME", "{dir}kelvara.trf"}, {"ONE_TEXT_EACH_REPORT", "0"},
      {"SAME_DIR_TEXT_REPORT", "0"}, {"TEXT_APPEND_EXT", "0"}, {"TEXT_REPORT_DIR_NAME", ""}},
     {RITEM_TEXT_EXTENSION, RITEM_REPORT_FILE, RITEM_PICK_REPORT_FILE},
     {RITEM_TEXT_SAME_DIR, RITEM_TEXT_DIR, RITEM_WRAP_COLUMN}},
    {"one report off", nullptr, RITEM_ONE_REPORT, "0",
     {{"TEXT_REPORT_FILE_NAME", ""}, {"SAME_DIR_TEXT_REPORT", "1"}, {"DIFF_DIR_TEXT_REPORT", "0"},
      {"ONE_TEXT_EACH_REPORT", "1"}},
     {RITEM_TEXT_SAME_DIR, RITEM_TEXT_DIFF_DIR, RITEM_TEXT_APPEND_EXT},
     {RITEM_REPORT_FILE, RITEM_PICK_REPORT_FILE, RITEM_TEXT_DIR, RITEM_PICK_TEXT_DIR}},
    {"one report per entry on", nullptr, RITEM_ONE_EACH, "1",
     {{"TEXT_REPORT_FILE_NAME", ""}, {"SAME_DIR_TEXT_REPORT", "1"}, {"ONE_TEXT_REPORT", "0"}},
     {RITEM_TEXT_SAME_DIR}, {RITEM_REPORT_FILE}},
    {"one report per entry off", perEntryReports, RITEM_ONE_EACH, "0",
     {{"TEXT_REPORT_FILE_NAME", "{dir}kelvara.trf"}, {"TEXT_APPEND_EXT", "0"},
      {"SAME_DIR_TEXT_REPORT", "0"}, {"ONE_TEXT_REPORT", "1"}},
     {RITEM_REPORT_FILE}, {RITEM_TEXT_SAME_DIR}},
    {"text reports in one folder", perEntryReports, RITEM_TEXT_DIFF_DIR, "1",
     {{"TEXT_REPORT_DIR_NAME", "{dir}"}, {"SAME_DIR_TEXT_REPORT", "0"}},
     {RITEM_TEXT_DIR, RITEM_PICK_TEXT_DIR}, {}},
    {"text reports not beside the design file", perEntryReports, RITEM_TEXT_SAME_DIR, "0",
     {{"TEXT_REPORT_DIR_NAME", "{dir}"}, {"DIFF_DIR_TEXT_REPORT", "1"}}, {RITEM_TEXT_DIR}, {}},
    {"text extension not alphanumeric", nullptr, RITEM_TEXT_EXTENSION, ".txt",
     {{"TEXT_EXTENSION", "trf"}, {"TEXT_REPORT_FILE_NAME", "{dir}kelvara.trf"}}, {}, {}},
    {"text extension renames the one report", nullptr, RITEM_TEXT_EXTENSION, "log",
     {{"TEXT_EXTENSION", "log"}, {"TEXT_REPORT_FILE_NAME", "{dir}kelvara.log"}}, {}, {}},
    {"design reports off", nullptr, RITEM_DESIGN_REPORT, "0",
     {{"SAME_DIR_DESIGN_REPORT", "0"}, {"DIFF_DIR_DESIGN_REPORT", "0"}}, {RITEM_TEXT_EXTENSION},
     {RITEM_DESIGN_EXTENSION, RITEM_DESIGN_SAME_DIR, RITEM_CATEGORY, RITEM_SYMBOLOGY_FIRST}},
    {"design reports on",
     [](RunSettings& s) {
       s.DESIGN_REPORT__ = 0;
       s.SAME_DIR_DESIGN_REPORT = 0;
       s.DESIGN_APPEND_EXT = 1;
       s.DESIGN_EXTENSION.assign("dgr");
     },
     RITEM_DESIGN_REPORT, "1",
     {{"DESIGN_EXTENSION", "drf"}, {"SAME_DIR_DESIGN_REPORT", "1"}, {"DESIGN_APPEND_EXT", "0"}},
     {RITEM_DESIGN_EXTENSION, RITEM_DESIGN_SAME_DIR, RITEM_CATEGORY}, {RITEM_DESIGN_DIR}},
    {"design reports beside the design file again",
     [](RunSettings& s) {
       s.SAME_DIR_DESIGN_REPORT = 0;
       s.DIFF_DIR_DESIGN_REPORT = 1;
       s.DESIGN_REPORT_DIR_NAME.assign("/old/");
     },
     RITEM_DESIGN_SAME_DIR, "1",
     {{"DESIGN_REPORT_DIR_NAME", ""}, {"DIFF_DIR_DESIGN_REPORT", "0"}}, {},
     {RITEM_DESIGN_DIR, RITEM_PICK_DESIGN_DIR}},
    {"design extension not alphanumeric", nullptr, RITEM_DESIGN_EXTENSION, "-x",
     {{"DESIGN_EXTENSION", "drf"}}, {}, {}},
    {"category of the fourth record",
     [](RunSettings& s) { s.reportSymbology[REPORT_FOURTH].useColor = 0; },
     RITEM_CATEGORY, "1", {{"currentReportCategory", "4"}},
     {RITEM_SYMBOLOGY_FIRST + 2}, {RITEM_SYMBOLOGY_FIRST + 3}},
};
// clang-format on

// A pick button: the file dialog it opens (its title, the name it proposes, its first filter
// choice), what the user types there ("@": the scratch folder; "" cancels) and the field then.
struct Pick {
  int button;
  const char* title;
  const char* proposed;
  const char* filter;
  const char* typed;
  const char* field;
  const char* value;
};

const Pick kPicks[] = {
    {RITEM_PICK_DESIGN_DIR, "Select design report directory", "", "All files (*.*)", "sub",
     "DESIGN_REPORT_DIR_NAME", "@/sub/"},
    {RITEM_PICK_TEXT_DIR, "Select text report directory", "", "All files (*.*)", "",
     "TEXT_REPORT_DIR_NAME", "/old/"},
    {RITEM_PICK_VIEWER, "Select text file viewer", "", "Text File Viewer", "@/sub/view.exe",
     "TEXT_REPORT_EDITOR_NAME", "@/sub/view.exe"},
    {RITEM_PICK_REPORT_FILE, "Name text report", "run.log", "Text Report File", "@/sub/run",
     "TEXT_REPORT_FILE_NAME", "@/sub/run.log"},
};

TEST_F(ReportDialogsTest, PickButtonsFillTheirFieldsThroughTheFileDialog) {
  std::filesystem::create_directory(dir.file("sub"));
  std::ofstream(dir.file("sub/view.exe")) << "";
  const auto at = [this](std::string text) { return test::replaceAll(text, "@", dir.path()); };
  for (const Pick& p : kPicks) {
    SCOPED_TRACE(p.title);
    settings_resetToFactory(runSettings(), true);
    RunSettings& s = runSettings();
    s.ONE_TEXT_REPORT = p.button == RITEM_PICK_TEXT_DIR ? 0 : 1;  // else the folder is off
    s.ONE_TEXT_EACH_REPORT = 1 - s.ONE_TEXT_REPORT;
    s.DIFF_DIR_TEXT_REPORT = s.DIFF_DIR_DESIGN_REPORT = 1;
    s.TEXT_EXTENSION.assign("log");
    s.TEXT_REPORT_FILE_NAME.assign(dir.file("run.trf"));
    s.TEXT_REPORT_DIR_NAME.assign("/old/");
    ASSERT_EQ(test::press(MAIN_DIALOG_ID, ITEM_REPORT_SETTINGS), EventResult::Done);
    std::string title, proposed, filter;
    postHostTask([&] {
      DialogBox* picker = mdlDialog_find(FILE_PICKER_DIALOG_ID);
      title = picker->title;
      (void)mdlDialog_itemGetValue(picker, PICKER_NAME, &proposed);
      filter = mdlDialog_itemGetById(picker, PICKER_TYPE)->choices.front();
      const bool folder = mdlDialog_itemGetById(picker, PICKER_USE_FOLDER) != nullptr;
      if (*p.typed) (void)test::change(FILE_PICKER_DIALOG_ID, PICKER_NAME, at(p.typed));
      (void)test::press(FILE_PICKER_DIALOG_ID, !*p.typed ? PICKER_CANCEL
                                               : folder  ? PICKER_USE_FOLDER
                                                         : PICKER_OK);
    });
    EXPECT_EQ(test::press(REPORT_SETTINGS_DIALOG_ID, p.button), EventResult::Done);
    EXPECT_EQ(title, p.title);
    EXPECT_EQ(proposed, p.proposed);
    EXPECT_EQ(filter, p.filter);
    EXPECT_EQ(readBoundValue(std::string("s__sarnex.") + p.field), at(p.value));
    resetHostLoop();
    ASSERT_EQ(test::press(REPORT_SETTINGS_DIALOG_ID, RITEM_OK), EventResult::Done);
  }
}

TEST_F(ReportDialogsTest, ReportSettingsChoicesAdjustTheirDependentsAndCancelUndoesThem) {
  auto expand = [this](const std::string& text) {
    return test::replaceAll(text, "{dir}", dir.path() + "/");
  };
  for (const Choice& c : kChoices) {
    SCOPED_TRACE(c.what);
    settings_resetToFactory(runSettings(), true);
    if (c.before != nullptr) c.before(runSettings());
    std::vector<std::string> was;
    for (const auto& [field, value] : c.after)
      was.push_back(readBoundValue(std::string("s__sarnex.") + field));
    ASSERT_EQ(test::press(MAIN_DIALOG_ID, ITEM_REPORT_SETTINGS), EventResult::Done);
    DialogBox* db = mdlDialog_find(REPORT_SETTINGS_DIALOG_ID);
    ASSERT_NE(db, nullptr);
    (void)mdlOutput_error("");
    EXPECT_EQ(test::change(REPORT_SETTINGS_DIALOG_ID, c.item, c.value), EventResult::Done);
    for (const auto& [field, value] : c.after) {
      EXPECT_EQ(readBoundValue(std::string("s__sarnex.") + field), expand(value)) << field;
    }
    for (int id : c.enabled) EXPECT_TRUE(mdlDialog_itemGetById(db, id)->enabled) << id;
    for (int id : c.disabled) EXPECT_FALSE(mdlDialog_itemGetById(db, id)->enabled) << id;
    const bool badExtension = std::string(c.value).find_first_of(".-") == 0;
    EXPECT_EQ(messageFieldText(FIELD_ERROR),
              badExtension ? "First character must be alpahnumeric" : "");
    ASSERT_EQ(test::press(REPORT_SETTINGS_DIALOG_ID, RITEM_CANCEL), EventResult::Done);
    EXPECT_EQ(mdlDialog_find(REPORT_SETTINGS_DIALOG_ID), nullptr);
    for (size_t i = 0; i < c.after.size(); ++i) {
      EXPECT_EQ(readBoundValue(std::string("s__sarnex.") + c.after[i].first), was[i])
          << "after Cancel: " << c.after[i].first;
    }
  }
  // OK keeps the edits, but not while both reports would take the same extension.
  ASSERT_EQ(test::press(MAIN_DIALOG_ID, ITEM_REPORT_SETTINGS), EventResult::Done);
  ASSERT_EQ(test::change(REPORT_SETTINGS_DIALOG_ID, RITEM_DESIGN_EXTENSION, "TRF"),
            EventResult::Done);
  ASSERT_EQ(test::press(REPORT_SETTINGS_DIALOG_ID, RITEM_OK), EventResult::Done);
  EXPECT_EQ(ui.script.texts(UiEventKind::MessageBox), std::vector{messageText(62)});
  ASSERT_NE(mdlDialog_find(REPORT_SETTINGS_DIALOG_ID), nullptr);
  ASSERT_EQ(test::change(REPORT_SETTINGS_DIALOG_ID, RITEM_TEXT_REPORT, "0"), EventResult::Done);
  ASSERT_EQ(test::change(REPORT_SETTINGS_DIALOG_ID, RITEM_DESIGN_EXTENSION, "dgr"),
            EventResult::Done);
  ASSERT_EQ(test::press(REPORT_SETTINGS_DIALOG_ID, RITEM_OK), EventResult::Done);
  EXPECT_EQ(mdlDialog_find(REPORT_SETTINGS_DIALOG_ID), nullptr);
  EXPECT_EQ(runSettings().DESIGN_EXTENSION.str(), "dgr");
  syncMainDialog();
  EXPECT_EQ(mainItem(ITEM_REPORT_MESSAGE)->caption,
            "Reports: <Design report files placed in same directory as design files.>");
}

TEST_F(ReportDialogsTest, TheReportListOpensEachEntrysFilesAndReturns) {
  RunSettings& s = runSettings();
  s.ONE_TEXT_EACH_REPORT = 1;
  s.TEXT_REPORT_EDITOR_NAME.clear();  // text reports are shown in the page
  for (const char* name : {"a0.trf", "b1.trf"}) std::ofstream(dir.file(name)) << "report\n";
  createRunLists();
  DuplicateRun& run = duplicateRun();
  for (const char* entry : {"a", "b"}) {
    appendToList(run.entryList.get(), dir.file(std::string(entry) + ".dgn") + ",Default");
  }
  for (const char* name : {"a0.trf", "b1.trf"})
    appendToList(run.textReportList.get(), dir.file(name));
  for (const char* name : {"a0.drf", "b1.drf"})
    appendToList(run.designReportList.get(), dir.file(name));
  reportsRunStarted();
  EXPECT_FALSE(mainItem(ITEM_TEXT_REPORT)->enabled);
  syncMainDialog();  // the run has finished
  EXPECT_EQ(mainItem(ITEM_DESIGN_REPORT)->caption, LABEL_VIEW_DESIGN_LOG);
  EXPECT_EQ(mainItem(ITEM_TEXT_REPORT)->caption, LABEL_VIEW_TEXT_LOG);
  EXPECT_TRUE(mainItem(ITEM_TEXT_REPORT)->enabled);

  ASSERT_EQ(test::press(MAIN_DIALOG_ID, ITEM_DESIGN_REPORT), EventResult::Done);
  DialogBox* list = mdlDialog_find(REPORT_LIST_DIALOG_ID);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(mdlDialog_itemGetById(list, LITEM_ROWS)->choices.size(), 2u);
  EXPECT_FALSE(mainItem(ITEM_START)->enabled);
  ASSERT_EQ(test::change(REPORT_LIST_DIALOG_ID, LITEM_ROWS, "1"), EventResult::Done);
  struct Press {
    int item;
    std::string activeAfter;
  };
  const Press presses[] = {{LITEM_OPEN_DESIGN_REPORT, dir.file("b1.drf")},
                           {LITEM_RETURN, dir.file("a.dgn")},
                           {LITEM_OPEN_FILE, dir.file("b.dgn")},
                           {LITEM_SHOW_TEXT_REPORT, dir.file("b.dgn")},
                           {LITEM_CLOSE, dir.file("a.dgn")}};
  for (const Press& p : presses) {
    ASSERT_EQ(test::press(REPORT_LIST_DIALOG_ID, p.item), EventResult::Done);
    syncMainDialog();
    EXPECT_EQ(active(), p.activeAfter) << p.item;
    EXPECT_EQ(mainItem(ITEM_FILE_LIST)->caption, "Design file: " + p.activeAfter) << p.item;
  }
  const ShowRequest shown = lastShowRequest();
  EXPECT_EQ(shown.serial, 1u);
  EXPECT_EQ(allowedDocument(shown.number), dir.file("b1.trf"));
  EXPECT_EQ(mdlDialog_find(REPORT_LIST_DIALOG_ID), nullptr);
  EXPECT_TRUE(mainItem(ITEM_START)->enabled);

  // Another file opened behind the application's back: the buttons follow its own reports.
  ASSERT_TRUE(test::DesignBuilder{}.write(dir.file("b.drf")));
  ASSERT_EQ(mdlSystem_newDesignFile(dir.file("b.dgn")), SUCCESS);
  syncMainDialog();
  EXPECT_EQ(mainItem(ITEM_DESIGN_REPORT)->caption, LABEL_VIEW_DESIGN_REPORT);
  EXPECT_TRUE(mainItem(ITEM_DESIGN_REPORT)->enabled);
  EXPECT_FALSE(mainItem(ITEM_TEXT_REPORT)->enabled);  // b.trf was not written
}

}  // namespace
}  // namespace kelvara
