// Design file lists: wildcard expansion, adding matching design files, comparison lists.
#include "lists/file_lists.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "host/design.h"
#include "host/state.h"
#include "host/strings.h"
#include "host/ui.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;

class FileLists : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHostState();
    scripted.emplace();
    dir = fs::temp_directory_path() /
          ("kelvara_lists_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir / "sub");
    ASSERT_EQ(createDesignFile(path("a.dgn"), false), SUCCESS);
    ASSERT_EQ(createDesignFile(path("b.dgn"), false), SUCCESS);
    ASSERT_EQ(createDesignFile(path("c.DGN"), false), SUCCESS);
    std::ofstream(path("notes.dgn")) << "not a drawing\n";
    list = StringListOwner(mdlStringList_create(0, 1));
  }
  void TearDown() override {
    fs::remove_all(dir);
    scripted.reset();
    resetHostState();
  }
  std::string path(const std::string& name) const { return (dir / name).string(); }
  std::vector<std::string> members() const {
    std::vector<std::string> out;
    for (long i = 0; i < mdlStringList_size(list.get()); ++i) {
      const wchar_t* text = nullptr;
      EXPECT_EQ(mdlStringList_getMember(&text, nullptr, list.get(), i), SUCCESS);
      out.push_back(toNarrow(text));
    }
    return out;
  }
  fs::path dir;
  StringListOwner list;
  std::optional<ScopedScriptedUi> scripted;
  ScriptedUi& ui() { return scripted->script; }
};

TEST_F(FileLists, FindFilesMatchesTheFilePartOnly) {
  EXPECT_EQ(findFiles(path("*.dgn")), (std::vector<std::string>{"a.dgn", "b.dgn", "notes.dgn"}));
  EXPECT_EQ(findFiles(path("?.DGN")), (std::vector<std::string>{"c.DGN"}));
  EXPECT_EQ(findFiles(path("a.dgn")), (std::vector<std::string>{"a.dgn"}));
  EXPECT_TRUE(findFiles(path("sub")).empty());  // directories are not files
  EXPECT_TRUE(findFiles(path("zz*.dgn")).empty());
  EXPECT_TRUE(findFiles(path("nodir/*.dgn")).empty());
  EXPECT_EQ(directoryPart("/x/y/z.dgn"), "/x/y/");
  EXPECT_EQ(directoryPart("z.dgn"), "");
}

TEST_F(FileLists, AddMatchingFilesNamesNonDesignFilesAndSkipsRepeats) {
  EXPECT_EQ(addMatchingFiles(list.get(), path("*.dgn")), SUCCESS);
  EXPECT_EQ(addMatchingFiles(list.get(), path("a.dgn")), SUCCESS);  // already there
  EXPECT_EQ(members(), (std::vector<std::string>{path("a.dgn"), path("b.dgn")}));
  const auto boxes = ui().texts(UiEventKind::InfoBox);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "\"" + path("notes.dgn") + "\" is not a design file.");

  EXPECT_EQ(addMatchingFiles(list.get(), path("q*.dgn")), ERROR);
  EXPECT_EQ(ui().texts(UiEventKind::InfoBox).back(),
            "No files found matching \"" + path("q*.dgn") + "\".");
}

TEST_F(FileLists, PairLinesGiveBothNames) {
  EXPECT_EQ(comparisonListLineNames("a.dgn\r\n"), (std::vector<std::string>{"a.dgn"}));
  EXPECT_EQ(comparisonListLineNames("new.dgn|old.dgn"),
            (std::vector<std::string>{"new.dgn", "old.dgn"}));
  EXPECT_EQ(comparisonListLineNames("new.dgn|"), (std::vector<std::string>{"new.dgn"}));
  EXPECT_TRUE(comparisonListLineNames("|").empty());
  EXPECT_EQ(comparisonListLineNames(""), (std::vector<std::string>{""}));
}

TEST_F(FileLists, ComparisonListReadsEveryLineForm) {
  const std::string lst = path("run.lst");
  std::ofstream(lst) << path("a.dgn") << "\n"
                     << path("*.dgn") << "\n"  // a again (once), b, and notes named
                     << "\n"                   // blank: named, adds nothing
                     << path("c.DGN") << "|" << path("a.dgn") << "\n"
                     << path("missing.dgn");  // last line without a line break
  EXPECT_EQ(readComparisonList(list.get(), lst), SUCCESS);
  EXPECT_EQ(members(), (std::vector<std::string>{path("a.dgn"), path("b.dgn"), path("c.DGN")}));
  const auto boxes = ui().texts(UiEventKind::InfoBox);
  const std::vector<std::string> expected = {
      "\"" + path("notes.dgn") + "\" is not a design file.",
      "No files found matching \"\".",
      "No files found matching \"" + path("missing.dgn") + "\".",
  };
  EXPECT_EQ(boxes, expected);
}

TEST_F(FileLists, ComparisonListThatYieldsNothing) {
  EXPECT_EQ(readComparisonList(list.get(), path("absent.lst")), ERROR);
  EXPECT_EQ(ui().texts(UiEventKind::InfoBox),
            (std::vector<std::string>{"Unable to open " + path("absent.lst") + ".",
                                      "No valid files found in the comparison list..."}));
  const std::string lst = path("bad.lst");
  std::ofstream(lst) << path("notes.dgn") << "\n";
  ui().events.clear();
  EXPECT_EQ(readComparisonList(list.get(), lst), ERROR);
  EXPECT_EQ(ui().texts(UiEventKind::InfoBox).size(), 2u);
  EXPECT_TRUE(hasListExtension("x.LST"));
  EXPECT_FALSE(hasListExtension("x.lst.txt"));
}

}  // namespace
}  // namespace kelvara
