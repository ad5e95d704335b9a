// The values a dialog item takes from the page: anything else is refused and changes nothing.
// (Opening, hooks, buttons, disabled items and the error field: the frame's dialog tests and the
// browser tests.)
#include "host/dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/types.h"

namespace kelvara {
namespace {

constexpr int kDialog = 500;
enum Items { kFlag = 1, kCount, kChoice, kApply, kOne, kMany };

struct DialogValues : ::testing::Test {
  int32_t flag = 0, count = 7;
  int changes = 0;

  void SetUp() override {
    resetDialogManager();
    ASSERT_EQ(mdlDialog_publishComplexVariable(
                  "t_rec", "s__rec", {intField("flag", &flag), intField("count", &count)}),
              SUCCESS);
    ASSERT_EQ(mdlDialog_hookPublish(50,
                                    [this](DialogMessage& m) {
                                      if (m.type == DialogMessageType::ItemChanged) ++changes;
                                    }),
              SUCCESS);
    DialogResource r;
    r.id = kDialog;
    r.hookId = 50;
    r.items = {makeItem(kFlag, ItemKind::Toggle, "Flag", "s__rec.flag"),
               makeItem(kCount, ItemKind::Number, "Count", "s__rec.count"),
               makeItem(kChoice, ItemKind::Option, "Choice", "s__rec.count"),
               makeItem(kApply, ItemKind::PushButton, "Apply"),
               makeItem(kOne, ItemKind::ListBox, "One"),
               makeItem(kMany, ItemKind::ListBox, "Many")};
    r.items[2].choices = {"a", "b", "c", "d", "e", "f", "g", "h"};
    for (size_t i : {4u, 5u}) r.items[i].choices = {"a", "b", "c"};
    r.items[5].multiSelect = true;
    defineDialogResource(r);
    ASSERT_NE(mdlDialog_open(kDialog), nullptr);
  }
  void TearDown() override { resetDialogManager(); }
  EventResult change(int item, const std::string& v) {
    return dialogs_handleEvent({kDialog, item, DialogEventKind::Change, v});
  }
};

TEST_F(DialogValues, ValuesAnItemDoesNotTakeChangeNothing) {
  struct Case {
    int item;
    const char* value;
  };
  for (const Case& c :
       {Case{kFlag, "2"}, Case{kFlag, "yes"}, Case{kCount, "1,5"}, Case{kCount, ""},
        Case{kCount, "nan"}, Case{kChoice, "8"}, Case{kChoice, "-1"}, Case{kApply, "1"}}) {
    EXPECT_EQ(change(c.item, c.value), EventResult::BadValue) << c.item << " " << c.value;
  }
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(change(kChoice, "3"), EventResult::Done);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(change(99, "1"), EventResult::UnknownItem);
  EXPECT_EQ(dialogs_handleEvent({kDialog + 1, kFlag, DialogEventKind::Change, "1"}),
            EventResult::UnknownDialog);
}

// A list box takes one row (or -1 for none); one with multiSelect takes ascending distinct rows.
TEST_F(DialogValues, ListBoxesTakeOnlySelectionsOfTheirRows) {
  DialogBox* db = mdlDialog_find(kDialog);
  struct Case {
    int item;
    const char* value;
    std::vector<int> rows;  // empty: refused, unless the value is "" or "-1"
  };
  for (const Case& c : {Case{kOne, "-1", {}}, Case{kOne, "2", {2}}, Case{kOne, "3", {}},
                        Case{kOne, "0,1", {}}, Case{kMany, "", {}}, Case{kMany, "0,2", {0, 2}},
                        Case{kMany, "2,0", {}}, Case{kMany, "1,1", {}}, Case{kMany, "0,", {}},
                        Case{kMany, "3", {}}, Case{kMany, "-1", {}}}) {
    const std::string v = c.value;
    const bool none = (c.item == kOne && v == "-1") || (c.item == kMany && v.empty());
    EXPECT_EQ(change(c.item, v),
              c.rows.empty() && !none ? EventResult::BadValue : EventResult::Done)
        << v;
    EXPECT_EQ(listBoxSelection(*mdlDialog_itemGetById(db, c.item), v), c.rows) << v;
  }
}

}  // namespace
}  // namespace kelvara
