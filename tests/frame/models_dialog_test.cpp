// The "Input Files and Models" dialog through the dialog manager, as one user's story: files
// with several models on both sides, the modes and their titles, the model filters, tagging,
// saving the tagged rows, loading a models list, the run's entries and the minimised form. The
// main dialog giving way to it and coming back on Close: the browser's models story.
#include "frame/models_dialog.h"

#include <gtest/gtest.h>

#include "frame/main_dialog.h"
#include "host/file_picker.h"
#include "host/state.h"
#include "host/ui.h"
#include "lists/model_directory.h"
#include "run/driver.h"
#include "settings/run_settings.h"
#include "support/dialog_host.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

// One step: what the user does, the rows then shown ("*" for a tag; "file,model;file,model"
// each, rows joined by " | "; nullptr: not looked at), the boxes it raised, and what it wrote
// (the saved file, the run's entries or whether the dialog shows).
struct Step {
  const char* action;  // right FILES, mode N, types N, filter TEXT, tag ROWS, incomplete 0|1,
                       // save NAME, load NAME, entries, window ARG, restore, finish
  const char* rows;
  std::vector<std::string> boxes;  // scratch folder as "@"
  const char* result = "";
};

const char* const kMode1 =
    "<Active File>,<Active Model>;b.dgn,Default | <Active File>,Sheet A;b.dgn,Layout 1 | "
    ",;c.dgn,Default";
const char* const kMode1Tagged =
    "*<Active File>,<Active Model>;b.dgn,Default | <Active File>,Sheet A;b.dgn,Layout 1 | "
    "*,;c.dgn,Default";

const char* const kTitles[] = {
    "Kelvara - Compare Active Model with Models from Selected Files",
    "Kelvara - Compare Models of Selected Files",
    "Kelvara - Compare Active File Models with Models from Selected Files",
    "Kelvara - Compare Models Listed in a Text File"};

// clang-format off
const std::vector<Step> kStory = {
    {"right b.dgn c.dgn", kMode1, {}},
    {"mode 0", "<Active File>,<Active Model>;b.dgn,Default | "
               "<Active File>,<Active Model>;b.dgn,Layout 1 | "
               "<Active File>,<Active Model>;c.dgn,Default", {}},
    {"mode 3", "", {}},
    {"mode 2", kMode1, {}},
    {"types 3", "<Active File>,Sheet A;b.dgn,Layout 1", {}},
    {"types 0", kMode1, {}},
    {"filter s*", "<Active File>,Sheet A;,", {}},
    {"filter *", kMode1, {}},
    {"save none.txt", kMode1, {"Make sure that you have tagged at least one component."}},
    {"tag 0,2", kMode1Tagged, {}},
    {"tag 0,1", "*<Active File>,<Active Model>;b.dgn,Default | *<Active File>,Sheet A;b.dgn,"
                "Layout 1 | *,;c.dgn,Default", {}},
    {"tag 1", kMode1Tagged, {}},
    {"entries", nullptr, {}, "@/active.dgn,Default @/b.dgn,Default @/c.dgn,Default"},
    {"save all.txt", kMode1Tagged, {"File \"@/all.txt\" was successfully created."},
     "@/active.dgn,Default;@/b.dgn,Default\n,;@/c.dgn,Default\n"},
    {"incomplete 0", kMode1Tagged, {}},
    {"save complete.txt", kMode1Tagged, {"File \"@/complete.txt\" was successfully created."},
     "@/active.dgn,Default;@/b.dgn,Default\n"},
    {"load list.txt", "<Active File>,Sheet A;c.dgn,Default",
     {"Models list was successfully loaded from file \"@/list.txt\"."}},
    {"entries", nullptr, {}, "@/active.dgn,Sheet A @/c.dgn,Default"},
    {"load bad.txt", "",
     {"Failed to read information about at least single valid files pair from \"@/bad.txt\" "
      "file."}},
    {"window MIN", nullptr, {}, "minimised"},
    {"window any", nullptr, {}, "shown"},
    {"window any", nullptr, {}, "minimised"},
    {"restore", nullptr, {}, "shown"},
    {"window MIN", nullptr, {}, "minimised"},
    {"finish", nullptr, {}, "shown"},
};
// clang-format on

test::FakeModel fake(const char* name, bool isDefault, bool isSheet, bool isCell = false) {
  return {{name, isDefault, isSheet, isCell, 1000.0}, {{64, true, 2000.0}}};
}

// The rows as shown, without their time cells.
std::string shownRows(DialogBox* db, const std::string& dir) {
  std::string out;
  for (const std::string& row : mdlDialog_itemGetById(db, MITEM_ROWS)->choices) {
    const std::vector<std::string> c = test::split(row + "\t", '\t');
    const std::string tag = c[0].empty() ? "" : "*";
    out += (out.empty() ? "" : " | ") + tag + c[1] + "," + c[2] + ";" + c[4] + "," + c[5];
  }
  return test::replaceAll(out, dir, "@");
}

// Answers the next file dialog with `names` typed into its field.
void answerPicker(const std::string& names) {
  postHostTask([names] {
    (void)test::change(FILE_PICKER_DIALOG_ID, PICKER_NAME, names);
    (void)test::press(FILE_PICKER_DIALOG_ID, PICKER_OK);
  });
}

TEST(ModelsDialog, AUserListsTagsSavesLoadsAndRunsModels) {
  test::ScratchDir dir;
  const auto in = [&](const std::string& text) { return test::replaceAll(text, "@", dir.path()); };
  resetHostState();
  resetDesignState();
  resetDialogManager();
  resetHostLoop();
  settings_resetToFactory(runSettings(), true);
  test::ScopedFakeModels models;
  test::fakeModels()["active.dgn"] = {fake("Default", true, false), fake("Sheet A", false, true)};
  test::fakeModels()["b.dgn"] = {fake("Default", true, false), fake("Layout 1", false, true),
                                 fake("Cell", false, false, true)};
  for (const char* name : {"active.dgn", "b.dgn", "c.dgn"})
    ASSERT_EQ(createDesignFile(dir.file(name), false), SUCCESS);
  std::ofstream(dir.file("list.txt"))
      << in("no separator\n,;@/c.dgn,Default\n"
            "@/active.dgn,Sheet A;@/c.dgn,Default\n");
  std::ofstream(dir.file("bad.txt")) << in("@/active.dgn,Nothing;@/c.dgn,Default\n");
  ASSERT_EQ(mdlSystem_newDesignFile(dir.file("active.dgn")), SUCCESS);
  ScopedScriptedUi ui;
  publishSettingsRecord();
  defineMainDialog();
  defineModelsDialog();
  ASSERT_NE(mdlDialog_open(MAIN_DIALOG_ID), nullptr);
  DialogBox* db = openModelsDialog();
  ASSERT_NE(db, nullptr);

  for (const Step& step : kStory) {
    SCOPED_TRACE(step.action);
    const std::string action = step.action;
    const std::string verb = action.substr(0, action.find(' '));
    const std::string arg =
        action.find(' ') == std::string::npos ? "" : action.substr(verb.size() + 1);
    const size_t boxesBefore = ui.script.texts(UiEventKind::InfoBox).size();
    const auto change = [&](int item, const std::string& value) {
      EXPECT_EQ(test::change(MODELS_DIALOG_ID, item, value), EventResult::Done);
    };
    const auto press = [&](int item) {
      EXPECT_EQ(test::press(MODELS_DIALOG_ID, item), EventResult::Done);
    };
    std::string result;
    if (verb == "right") {
      answerPicker(in("\"@/" + test::replaceAll(arg, " ", "\" \"@/") + "\""));
      press(MITEM_RIGHT_FILES);
    } else if (verb == "mode") {
      change(MITEM_MODE, arg);
    } else if (verb == "types") {
      change(MITEM_MODEL_TYPES, arg);
    } else if (verb == "filter") {
      change(MITEM_NAME_FILTER, arg);
    } else if (verb == "incomplete") {
      change(MITEM_INCOMPLETE, arg);
    } else if (verb == "tag") {
      change(MITEM_ROWS, arg);
      press(MITEM_TAG);
    } else if (verb == "save" || verb == "load") {
      answerPicker(dir.file(arg));
      press(verb == "save" ? MITEM_SAVE : MITEM_LOAD);
      if (verb == "save" && test::exists(dir.file(arg))) result = test::readText(dir.file(arg));
    } else if (verb == "entries") {
      createRunLists();
      ASSERT_TRUE(appendModelsDialogEntries(duplicateRun().entryList.get()));
      for (long i = 0; i < mdlStringList_size(duplicateRun().entryList.get()); ++i)
        result += (i ? " " : "") + listMember(duplicateRun().entryList.get(), i);
    } else if (verb == "window") {
      modelListWindowCommand(arg);
    } else if (verb == "restore") {
      EXPECT_EQ(test::press(MODELS_MINIMISED_DIALOG_ID, MINI_RESTORE), EventResult::Done);
    } else if (verb == "finish") {
      EXPECT_TRUE(showModelsDialogAtFinish());
    }
    if (verb == "window" || verb == "restore" || verb == "finish") {
      const bool minimised = mdlDialog_find(MODELS_MINIMISED_DIALOG_ID) != nullptr;
      EXPECT_EQ(db->hidden, minimised);
      result = db->hidden ? "minimised" : "shown";
    }
    resetHostLoop();  // an answer no file dialog took
    if (step.rows != nullptr) {
      EXPECT_EQ(shownRows(db, dir.path()), step.rows);
    }
    const int mode = modelsDialogMode();
    ASSERT_TRUE(mode >= 0 && mode < 4);
    EXPECT_EQ(db->title, kTitles[mode]);
    if (verb == "mode") {
      EXPECT_EQ(mode, std::atoi(arg.c_str()));
    }
    if (verb == "load") {
      EXPECT_EQ(mode, MODEL_LIST_TEXT_FILE);
    }
    std::vector<std::string> boxes = ui.script.texts(UiEventKind::InfoBox);
    boxes.erase(boxes.begin(), boxes.begin() + static_cast<long>(boxesBefore));
    for (std::string& box : boxes) box = test::replaceAll(box, dir.path(), "@");
    EXPECT_EQ(boxes, step.boxes);
    EXPECT_EQ(test::replaceAll(result, dir.path(), "@"), step.result);
  }
  EXPECT_EQ(test::press(MODELS_DIALOG_ID, MITEM_CLOSE), EventResult::Done);
  EXPECT_FALSE(appendModelsDialogEntries(duplicateRun().entryList.get()));
  resetDialogManager();
  resetHostLoop();
}

}  // namespace
}  // namespace kelvara
