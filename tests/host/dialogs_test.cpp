// The dialog manager: bound fields, hooks and their messages, item states, close requests.
#include "host/dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/types.h"
#include "host/ui.h"

namespace kelvara {
namespace {

struct Record {
  int32_t flag = 0;
  int32_t count = 7;
  char name[8] = "abc";
};

constexpr int kDialog = 500;
constexpr int kDialogHook = 50;
constexpr int kButtonHook = 51;
enum Items { kFlag = 1, kCount, kName, kChoice, kApply, kClose, kOwn };

// A dialog over one published record whose hooks log every message they get.
struct DialogsTest : ::testing::Test {
  Record record;
  std::vector<std::string> log;
  bool refuseClose = false;

  void SetUp() override {
    resetDialogManager();
    ASSERT_EQ(mdlDialog_publishComplexVariable(
                  "t_rec", "s__rec",
                  {intField("flag", &record.flag), intField("count", &record.count),
                   textField("name", record.name, sizeof record.name)}),
              SUCCESS);
    auto logger = [this](const char* who) {
      return [this, who](DialogMessage& m) {
        log.push_back(std::string(who) + " " + dialogMessageName(m.type) +
                      (m.itemId ? " " + std::to_string(m.itemId) : ""));
        if (m.type == DialogMessageType::CloseRequest) m.refuse = refuseClose;
      };
    };
    ASSERT_EQ(mdlDialog_hookPublish(kDialogHook, logger("dialog")), SUCCESS);
    ASSERT_EQ(mdlDialog_hookPublish(kButtonHook, logger("button")), SUCCESS);
    DialogResource r;
    r.id = kDialog;
    r.title = "Test";
    r.hookId = kDialogHook;
    r.items = {makeItem(kFlag, ItemKind::Toggle, "Flag", "s__rec.flag"),
               makeItem(kCount, ItemKind::Number, "Count", "s__rec.count"),
               makeItem(kName, ItemKind::Text, "Name", "s__rec.name"),
               makeItem(kChoice, ItemKind::Option, "Choice", "s__rec.count"),
               makeItem(kApply, ItemKind::PushButton, "Apply"),
               makeItem(kClose, ItemKind::PushButton, "Close"),
               makeItem(kOwn, ItemKind::Text, "Own")};
    r.items[3].choices = {"a", "b", "c", "d", "e", "f", "g", "h"};
    r.items[4].hookId = kButtonHook;
    r.items[6].value = "start";
    defineDialogResource(r);
  }
  void TearDown() override { resetDialogManager(); }

  std::string value(int item) {
    std::string v;
    EXPECT_EQ(mdlDialog_itemGetValue(mdlDialog_find(kDialog), item, &v), SUCCESS);
    return v;
  }
  EventResult change(int item, const std::string& v) {
    return dialogs_handleEvent({kDialog, item, DialogEventKind::Change, v});
  }
};

TEST_F(DialogsTest, OpeningSendsCreateInitFocusAndClosingSendsDestroy) {
  const uint64_t before = dialogChangeCount();
  DialogBox* db = mdlDialog_open(kDialog);
  ASSERT_NE(db, nullptr);
  EXPECT_GT(dialogChangeCount(), before);
  EXPECT_EQ(mdlDialog_open(kDialog), db);  // already open: brought forward only
  EXPECT_EQ(mdlDialog_closeCommandQueue(db), SUCCESS);
  EXPECT_EQ(mdlDialog_find(kDialog), nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"dialog create", "dialog init", "dialog focus in",
                                           "dialog focus in", "dialog destroy"}));
  EXPECT_EQ(mdlDialog_open(999), nullptr);
}

TEST_F(DialogsTest, ItemsReadAndWriteTheirBoundFields) {
  ASSERT_NE(mdlDialog_open(kDialog), nullptr);
  EXPECT_EQ(value(kCount), "7");
  EXPECT_EQ(value(kName), "abc");
  record.flag = 1;  // the dialog shows the record as it is
  EXPECT_EQ(value(kFlag), "1");

  EXPECT_EQ(change(kFlag, "0"), EventResult::Done);
  EXPECT_EQ(record.flag, 0);
  EXPECT_EQ(change(kCount, "42"), EventResult::Done);
  EXPECT_EQ(record.count, 42);
  EXPECT_EQ(change(kName, "longer than eight"), EventResult::Done);
  EXPECT_STREQ(record.name, "longer ");  // cut to the field's capacity
  EXPECT_EQ(change(kOwn, "typed"), EventResult::Done);
  EXPECT_EQ(value(kOwn), "typed");
  EXPECT_EQ(log.back(), "dialog item changed 7");

  ASSERT_EQ(mdlDialog_itemSetValue(mdlDialog_find(kDialog), kCount, "5"), SUCCESS);
  EXPECT_EQ(record.count, 5);
  EXPECT_EQ(log.back(), "dialog item changed 7");  // no message for the application's change
}

TEST_F(DialogsTest, ValuesAnItemDoesNotTakeChangeNothing) {
  ASSERT_NE(mdlDialog_open(kDialog), nullptr);
  const size_t messages = log.size();
  struct Case {
    int item;
    const char* value;
  };
  for (const Case& c :
       {Case{kFlag, "2"}, Case{kFlag, "yes"}, Case{kCount, "1,5"}, Case{kCount, ""},
        Case{kCount, "nan"}, Case{kChoice, "8"}, Case{kChoice, "-1"}, Case{kApply, "1"}}) {
    EXPECT_EQ(change(c.item, c.value), EventResult::BadValue) << c.item << " " << c.value;
  }
  EXPECT_EQ(record.flag, 0);
  EXPECT_EQ(record.count, 7);
  EXPECT_EQ(log.size(), messages);
  EXPECT_EQ(change(kChoice, "3"), EventResult::Done);
  EXPECT_EQ(record.count, 3);
  EXPECT_EQ(dialogs_handleEvent({kDialog, 99, DialogEventKind::Change, "1"}),
            EventResult::UnknownItem);
  EXPECT_EQ(dialogs_handleEvent({kDialog + 1, kFlag, DialogEventKind::Change, "1"}),
            EventResult::UnknownDialog);
}

// A list box takes one row (or -1 for none); one with multiSelect takes ascending distinct rows.
TEST_F(DialogsTest, ListBoxesTakeOnlySelectionsOfTheirRows) {
  DialogResource r;
  r.id = kDialog + 1;
  r.items = {makeItem(1, ItemKind::ListBox, "One"), makeItem(2, ItemKind::ListBox, "Many")};
  for (DialogItem& item : r.items) item.choices = {"a", "b", "c"};
  r.items[1].multiSelect = true;
  defineDialogResource(r);
  DialogBox* db = mdlDialog_open(r.id);
  ASSERT_NE(db, nullptr);
  struct Case {
    int item;
    const char* value;
    std::vector<int> rows;  // empty: refused, unless the value is "" or "-1"
  };
  for (const Case& c :
       {Case{1, "-1", {}}, Case{1, "2", {2}}, Case{1, "3", {}}, Case{1, "0,1", {}}, Case{2, "", {}},
        Case{2, "0,2", {0, 2}}, Case{2, "2,0", {}}, Case{2, "1,1", {}}, Case{2, "0,", {}},
        Case{2, "3", {}}, Case{2, "-1", {}}}) {
    const std::string v = c.value;
    const bool none = (c.item == 1 && v == "-1") || (c.item == 2 && v.empty());
    const EventResult result = dialogs_handleEvent({r.id, c.item, DialogEventKind::Change, v});
    EXPECT_EQ(result, c.rows.empty() && !none ? EventResult::BadValue : EventResult::Done) << v;
    EXPECT_EQ(listBoxSelection(*mdlDialog_itemGetById(db, c.item), v), c.rows) << v;
  }
}

// A value the item's check refuses shows why in the error field; a value the same item then
// takes clears that error, but not one another item caused or the application showed since.
TEST_F(DialogsTest, ATakenValueClearsTheErrorItsItemCaused) {
  resetDialogManager();
  ASSERT_EQ(
      mdlDialog_publishComplexVariable(
          "t_rec", "s__rec", {intField("count", &record.count), textField("name", record.name, 8)}),
      SUCCESS);
  DialogResource r;
  r.id = kDialog;
  r.items = {makeItem(kCount, ItemKind::Number, "Count", "s__rec.count"),
             makeItem(kName, ItemKind::Text, "Name", "s__rec.name")};
  r.items[0].check = [](std::string_view v) {
    return std::stoi(std::string(v)) > 100 ? "at most 100" : "";
  };
  r.items[1].check = [](std::string_view v) { return v == "bad" ? "not bad" : ""; };
  defineDialogResource(r);
  ASSERT_NE(mdlDialog_open(kDialog), nullptr);
  (void)mdlOutput_error("");

  EXPECT_EQ(change(kCount, "500"), EventResult::BadValue);
  EXPECT_EQ(messageFieldText(FIELD_ERROR), "Count: at most 100");
  EXPECT_EQ(change(kName, "good"), EventResult::Done);  // another item: the error stays
  EXPECT_EQ(messageFieldText(FIELD_ERROR), "Count: at most 100");
  EXPECT_EQ(change(kCount, "50"), EventResult::Done);
  EXPECT_EQ(record.count, 50);
  EXPECT_EQ(messageFieldText(FIELD_ERROR), "");

  EXPECT_EQ(change(kCount, "500"), EventResult::BadValue);
  EXPECT_EQ(change(kName, "bad"), EventResult::BadValue);  // the newer error is the name's
  EXPECT_EQ(change(kCount, "60"), EventResult::Done);
  EXPECT_EQ(messageFieldText(FIELD_ERROR), "Name: not bad");
  EXPECT_EQ(change(kName, "fine"), EventResult::Done);
  EXPECT_EQ(messageFieldText(FIELD_ERROR), "");

  EXPECT_EQ(change(kCount, "500"), EventResult::BadValue);
  (void)mdlOutput_error("The application's own error");
  EXPECT_EQ(change(kCount, "70"), EventResult::Done);
  EXPECT_EQ(messageFieldText(FIELD_ERROR), "The application's own error");
}

TEST_F(DialogsTest, ButtonsGoToTheItemHookOrElseTheDialogHook) {
  ASSERT_NE(mdlDialog_open(kDialog), nullptr);
  log.clear();
  EXPECT_EQ(dialogs_handleEvent({kDialog, kApply, DialogEventKind::Button, ""}), EventResult::Done);
  EXPECT_EQ(dialogs_handleEvent({kDialog, kClose, DialogEventKind::Button, ""}), EventResult::Done);
  EXPECT_EQ(dialogs_handleEvent({kDialog, kFlag, DialogEventKind::Button, ""}),
            EventResult::BadValue);
  EXPECT_EQ(log, (std::vector<std::string>{"button button 5", "dialog button 6"}));
}

TEST_F(DialogsTest, DisabledAndHiddenItemsRefuseEvents) {
  DialogBox* db = mdlDialog_open(kDialog);
  ASSERT_NE(db, nullptr);
  ASSERT_EQ(mdlDialog_itemSetEnabledState(db, kFlag, false), SUCCESS);
  ASSERT_EQ(mdlDialog_itemHide(db, kApply), SUCCESS);
  EXPECT_EQ(change(kFlag, "1"), EventResult::Refused);
  EXPECT_EQ(record.flag, 0);
  EXPECT_EQ(dialogs_handleEvent({kDialog, kApply, DialogEventKind::Button, ""}),
            EventResult::Refused);
  const std::vector<DialogState> shown = dialogSnapshot();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_FALSE(shown[0].items[0].enabled);
  EXPECT_FALSE(shown[0].items[4].visible);
  ASSERT_EQ(mdlDialog_itemSetEnabledState(db, kFlag, true), SUCCESS);
  ASSERT_EQ(mdlDialog_itemShow(db, kApply), SUCCESS);
  EXPECT_EQ(change(kFlag, "1"), EventResult::Done);
  EXPECT_EQ(dialogs_handleEvent({kDialog, kApply, DialogEventKind::Button, ""}), EventResult::Done);
  EXPECT_EQ(mdlDialog_itemSetEnabledState(db, 99, false), ERROR);
}

TEST_F(DialogsTest, SnapshotShowsTitlesValuesAndChoices) {
  DialogBox* db = mdlDialog_open(kDialog);
  ASSERT_NE(db, nullptr);
  mdlWindow_titleSet(db, "Renamed");
  ASSERT_EQ(mdlDialog_itemSetChoices(db, kChoice, {"x", "y"}), SUCCESS);
  const std::vector<DialogState> shown = dialogSnapshot();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, "Renamed");
  EXPECT_EQ(shown[0].items[1].value, "7");
  EXPECT_EQ(shown[0].items[3].choices, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(shown[0].items[6].value, "start");
}

}  // namespace
}  // namespace kelvara
