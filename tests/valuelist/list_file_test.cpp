#include "valuelist/list_file.h"

#include <gtest/gtest.h>

#include <string>

#include "host/config.h"
#include "host/types.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

// The question and the file dialog of each picker whose list can overflow into a list file.
TEST(ListFile, EachListKindAsksItsQuestionAndProposesItsFile) {
  struct Case {
    ListKind kind;
    size_t capacity;
    const char* question;
    const char* title;
    const char* proposed;
  };
  const Case cases[] = {
      {ListKind::Levels, 255,
       "Sorry, a level list is limited to a maximum of 255 characters. \nYou can use wildcards "
       "to select multiple levels. For example:\n  V-FUEL*, V-RAIL*\nThis application can also "
       "read an unlimited number of levels from a file. Would you like to save your level list "
       "to a file now?",
       "Create Level List File", "MyLevels.lst"},
      {ListKind::Fonts, 128,
       "Sorry, a fonts list is limited to a maximum of 128 characters. \nYou can use wildcards "
       "to select multiple fonts. For example:\n  Arial*, *KING\nThis application can also read "
       "an unlimited number of fonts from a file. Would you like to save your fonts list to a "
       "file now?",
       "Create Font List File", "MyFonts.lst"},
      {ListKind::TextStyles, 64,
       "Sorry, a text styles list is limited to a maximum of 64 characters. \nYou can use "
       "wildcards to select multiple text styles. For example:\n  V-FUEL*, V-RAIL*\nThis "
       "application can also read an unlimited number of text styles from a file. Would you "
       "like to save your text styles list to a file now?",
       "Create Text Style List File", "MyTextStyles.lst"},
  };
  ASSERT_EQ(mdlSystem_defineCfgVar("_USTN_OUT", "/out/"), SUCCESS);
  for (const Case& c : cases) {
    EXPECT_EQ(pc_listTooLongQuestion(c.kind, c.capacity), c.question);
    ListFileDialog d = listFileDialog(c.kind, "");
    EXPECT_EQ(d.title, c.title);
    EXPECT_EQ(d.filter, "*.lst");
    EXPECT_EQ(d.proposed, c.proposed);
    EXPECT_EQ(d.startFolder, "/out/");
    EXPECT_EQ(listFileDialog(c.kind, "/lists/old.lst").proposed, "/lists/old.lst");
  }
  mdlSystem_undefineCfgVar("_USTN_OUT");
  EXPECT_EQ(listFileDialog(ListKind::Fonts, "").startFolder, "");
}

TEST(ListFile, SavedListIsNamedByTheFieldWhenTheNameFitsItsCapacity) {
  test::ScratchDir dir;
  const size_t capacity = dir.path().size() + 12;
  const std::string fits = dir.file("fonts.lst");  // path + 10 characters: "@", NUL fit
  const std::string tooLong = dir.file("fonts1.lst");
  std::string field = "1,2", message;
  EXPECT_EQ(picker_saveListFile(&field, &message, "\"Arial\",3", tooLong, capacity), ERROR);
  EXPECT_EQ(message, "Sorry, the length of output field is too small even for output file name.");
  EXPECT_EQ(field, "1,2");
  EXPECT_FALSE(test::exists(tooLong));
  ASSERT_EQ(picker_saveListFile(&field, &message, "\"Arial\",3", fits, capacity), SUCCESS);
  EXPECT_EQ(field, "@" + fits);
  EXPECT_EQ(test::readText(fits), "\"Arial\",3");
}

}  // namespace
}  // namespace kelvara
