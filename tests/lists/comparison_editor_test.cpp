// The comparison-list editor's commands: the rows and fields they leave, the boxes they show
// and the list file they write. "@" stands for the scratch folder.
#include "lists/comparison_editor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <fstream>

#include "host/design.h"
#include "host/dialogs.h"
#include "host/file_picker.h"
#include "host/host_loop.h"
#include "host/state.h"
#include "host/types.h"
#include "host/ui.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

enum class Command { Add, Delete, Change, Create, CreateAs, SelectList };

// The editor's rows ("newer|older;newer|older"), its two fields ("newer|older") and BATCH_FILE.
struct State {
  std::string rows, fields, list;
};

struct Case {
  const char* name;
  Command command;
  State before;
  int selected;
  std::deque<int> answers;         // to alerts
  const char* pick;                // typed into the file dialog; "" cancels it
  std::vector<std::string> boxes;  // alerts and info boxes, in order
  State after;
  const char* written;  // "@/out.lst" or the file picked; nullptr: nothing is written
};

const std::string kAlert =
    "The file name contains a wildcard expression. Do you wish to expand this so that all file "
    "names will be displayed? Click {OK} to expand it or {Cancel} to show the wildcard "
    "expression only.";
const std::string kAB = "@/new/a.dgn|@/old/a.dgn";

// clang-format off
const std::vector<Case> kCases = {
    {"add: both names are needed", Command::Add, {"", "@/new/a.dgn|", ""}, -1, {}, "",
     {"The newer and older file names must be entered."}, {"", "@/new/a.dgn|", ""}, nullptr},
    {"add: names as typed, fields cleared", Command::Add, {"x|y", "@/new/a.dgn|old/a.dgn", ""},
     -1, {}, "", {}, {"x|y;@/new/a.dgn|old/a.dgn", "|", ""}, nullptr},
    {"add: a wildcard kept as typed", Command::Add, {"", "@/new/*.dgn|@/old/*.dgn", ""}, -1,
     {ANSWER_CANCEL}, "", {kAlert}, {"@/new/*.dgn|@/old/*.dgn", "|", ""}, nullptr},
    {"add: a wildcard expanded into pairs of the same name that are design files", Command::Add,
     {"", "@/new/*.dgn|@/old/*.dgn", ""}, -1, {ANSWER_OK}, "",
     {kAlert, "\"@/new/c.dgn\" is not a design file."},
     {kAB + ";@/new/b.dgn|@/old/b.dgn", "|", ""}, nullptr},
    {"add: one file on each side is one pair", Command::Add, {"", "@/new/a*|@/old/b.dgn", ""}, -1,
     {ANSWER_OK}, "", {kAlert}, {"@/new/a.dgn|@/old/b.dgn", "|", ""}, nullptr},
    {"add: a side matching nothing adds nothing", Command::Add, {"", "@/new/*.dgn|@/old/z*", ""},
     -1, {ANSWER_OK}, "", {kAlert, "No files found matching \"@/old/z*\"."}, {"", "|", ""},
     nullptr},
    {"delete: the selected row", Command::Delete, {"x|y;p|q", "|", ""}, 0, {}, "", {},
     {"p|q", "|", ""}, nullptr},
    {"change: only a file that exists comes back", Command::Change,
     {"@/new/a.dgn|@/old/gone.dgn", "|kept", ""}, 0, {}, "", {"Invalid fileName"},
     {"@/new/a.dgn|@/old/gone.dgn", "@/new/a.dgn|kept", ""}, nullptr},
    {"create: rows with a missing file are counted, not written", Command::Create,
     {kAB + ";@/new/a.dgn|@/old/gone.dgn", "|", "@/out.lst"}, -1, {}, "",
     {"1 pair(s) contains invalid fileNames (entries not saved)"},
     {kAB + ";@/new/a.dgn|@/old/gone.dgn", "|", "@/out.lst"}, "@/new/a.dgn|@/old/a.dgn\n"},
    {"create: without a list name the file dialog asks, and the list field takes the name",
     Command::Create, {kAB, "|", ""}, -1, {}, "made", {}, {kAB, "|", "@/made.lst"},
     "@/new/a.dgn|@/old/a.dgn\n"},
    {"create as: cancelled in the file dialog writes nothing", Command::CreateAs,
     {kAB, "|", "@/out.lst"}, -1, {}, "", {}, {kAB, "|", "@/out.lst"}, nullptr},
    {"create as: the list field keeps its name", Command::CreateAs, {"", "|", "@/out.lst"}, -1,
     {}, "other", {}, {"", "|", "@/out.lst"}, ""},
    {"create: a read-only list is not written", Command::Create, {kAB, "|", "@/ro.lst"}, -1, {},
     "", {"Unable to write to @/ro.lst."}, {kAB, "|", "@/ro.lst"}, nullptr},
    {"select: a file that is not a .lst is refused", Command::SelectList, {"", "|", "@/out.lst"},
     -1, {}, "notes.txt", {"Please select a file with .lst extension as your comparison list file"},
     {"", "|", "@/out.lst"}, nullptr},
    {"select: a .lst file becomes the list", Command::SelectList, {"", "|", ""}, -1, {}, "RO.LST",
     {}, {"", "|", "@/RO.LST"}, nullptr},
};
// clang-format on

void runCommand(Command command, ComparisonEditor& editor, RunSettings& s) {
  switch (command) {
    case Command::Add:
      return editor_addPair(editor, s);
    case Command::Delete:
      return editor_deletePair(editor);
    case Command::Change:
      return editor_changePair(editor, s);
    case Command::Create:
    case Command::CreateAs:
      (void)editor_createBatchFile(editor, s, command == Command::CreateAs);
      return;
    case Command::SelectList:
      (void)editor_selectListFile(s, "Choose", "");
      return;
  }
}

TEST(ComparisonEditor, CommandsLeaveRowsFieldsMessagesAndListFiles) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    test::ScratchDir dir;
    const auto in = [&](const std::string& text) {
      return test::replaceAll(text, "@", dir.path());
    };
    const auto out = [&](const std::string& text) {
      return test::replaceAll(text, dir.path(), "@");
    };
    resetHostState();
    resetDesignState();
    resetDialogManager();
    resetHostLoop();
    for (const char* sub : {"new", "old"}) std::filesystem::create_directory(dir.file(sub));
    for (const char* name : {"new/a.dgn", "new/b.dgn", "old/a.dgn", "old/b.dgn", "old/c.dgn"}) {
      ASSERT_EQ(createDesignFile(dir.file(name), false), SUCCESS);
    }
    std::ofstream(dir.file("new/c.dgn")) << "not a drawing";
    std::ofstream(dir.file("notes.txt")) << "notes";
    std::ofstream(dir.file("RO.LST")) << "x|y\n";
    std::ofstream(dir.file("ro.lst")) << "x|y\n";
    ::chmod(dir.file("ro.lst").c_str(), 0444);
    ScopedScriptedUi ui;
    ui.script.answers = c.answers;
    ComparisonEditor editor;
    for (const std::string& row : test::split(in(c.before.rows), ';')) {
      const size_t bar = row.find('|');
      editor.rows.emplace_back(row.substr(0, bar), row.substr(bar + 1));
    }
    editor.selected = c.selected;
    RunSettings s;
    const std::string fields = in(c.before.fields);
    s.newerFileName.assign(fields.substr(0, fields.find('|')));
    s.olderFileName.assign(fields.substr(fields.find('|') + 1));
    s.BATCH_FILE.assign(in(c.before.list));
    bool asked = false;
    postHostTask([&] {
      asked = true;
      const int id = FILE_PICKER_DIALOG_ID;
      if (*c.pick != '\0') {
        (void)dialogs_handleEvent({id, PICKER_NAME, DialogEventKind::Change, in("@/") + c.pick});
      }
      (void)dialogs_handleEvent(
          {id, *c.pick ? PICKER_OK : PICKER_CANCEL, DialogEventKind::Button, ""});
    });
    runCommand(c.command, editor, s);

    EXPECT_EQ(asked, c.command == Command::SelectList || c.command == Command::CreateAs ||
                         (c.command == Command::Create && c.before.list.empty()));
    std::vector<std::string> boxes;
    for (const UiEvent& e : ui.script.events) {
      if (e.kind == UiEventKind::Alert || e.kind == UiEventKind::InfoBox) {
        boxes.push_back(out(e.text));
      }
    }
    EXPECT_EQ(boxes, c.boxes);
    std::string rows;
    for (const FilePair& row : editor.rows) {
      rows += (rows.empty() ? "" : ";") + out(row.first) + "|" + out(row.second);
    }
    EXPECT_EQ(rows, c.after.rows);
    if (c.command == Command::Delete) {
      EXPECT_EQ(editor.selected, -1);
    }
    EXPECT_EQ(out(s.newerFileName.str() + "|" + s.olderFileName.str()), c.after.fields);
    EXPECT_EQ(out(s.BATCH_FILE.str()), c.after.list);
    const bool picked = *c.pick && c.command != Command::SelectList;
    const std::string target = in(picked ? std::string("@/") + c.pick + ".lst" : "@/out.lst");
    EXPECT_EQ(test::exists(target), c.written != nullptr);
    if (c.written != nullptr) {
      EXPECT_EQ(out(test::readText(target)), c.written);
    }
    EXPECT_EQ(test::readText(dir.file("ro.lst")), "x|y\n");
  }
  resetHostLoop();
}

TEST(ComparisonEditor, ListNamesTakeTheDefaultExtension) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"  plans", "plans.lst"},   {"dir/plans", "dir/plans.lst"},
      {"plans.LST", "plans.LST"}, {"plans.txt", "plans.txt"},
      {"dir/", "dir/"},           {"", ""}};
  for (const auto& [typed, stored] : cases) EXPECT_EQ(withListExtension(typed), stored) << typed;
}

}  // namespace
}  // namespace kelvara
