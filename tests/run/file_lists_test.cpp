// Comparison lists: their line forms, members and errors. Patterns and lists given as
// arguments are run through the executable (EndToEnd, LoadArguments, CommandLine).
#include "lists/file_lists.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "host/design.h"
#include "host/state.h"
#include "host/strings.h"
#include "host/ui.h"
#include "support/parse_errors.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;

class FileLists : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHostState();
    scripted.emplace();
    fs::create_directories(path("sub.dgn"));  // a folder: never a member
    ASSERT_EQ(createDesignFile(path("a.dgn"), false), SUCCESS);
    ASSERT_EQ(createDesignFile(path("b.dgn"), false), SUCCESS);
    ASSERT_EQ(createDesignFile(path("c.DGN"), false), SUCCESS);
    std::ofstream(path("notes.dgn")) << "not a drawing\n";
    list = StringListOwner(mdlStringList_create(0, 1));
  }
  void TearDown() override {
    scripted.reset();
    resetHostState();
  }
  std::string path(const std::string& name) const { return scratch.file(name); }
  std::vector<std::string> members() const {
    std::vector<std::string> out;
    for (long i = 0; i < mdlStringList_size(list.get()); ++i) {
      const wchar_t* text = nullptr;
      EXPECT_EQ(mdlStringList_getMember(&text, nullptr, list.get(), i), SUCCESS);
      out.push_back(toNarrow(text));
    }
    return out;
  }
  test::ScratchDir scratch;
  StringListOwner list;
  std::optional<ScopedScriptedUi> scripted;
  ScriptedUi& ui() { return scripted->script; }
};

// Each list gives its members and its errors in order, each error with the list's path and
// the line of the name; nothing is shown.
TEST_F(FileLists, ComparisonListMembersAndErrors) {
  const std::string lst = path("run.lst");
  const std::string notDesign = "\"" + path("notes.dgn") + "\" is not a design file.";
  const std::string empty = "No valid files found in the comparison list...";
  auto noMatch = [](const std::string& spec) {
    return "No files found matching \"" + spec + "\".";
  };
  struct Case {
    const char* name;
    std::optional<std::string> content;  // none: the list does not exist
    int status;
    std::vector<std::string> members;
    std::vector<ParseError> errors;
  };
  const std::vector<Case> cases = {
      {"every line form",
       path("a.dgn") + "\n" + path("*.dgn") + "\n" +  // a again (once), b, and notes named
           "\n" +                                     // blank: named, adds nothing
           path("c.DGN") + "|" + path("a.dgn") + "\n" +
           path("missing.dgn"),  // last line without a line break
       SUCCESS,
       {path("a.dgn"), path("b.dgn"), path("c.DGN")},
       {{LIST_NOT_DESIGN_FILE, notDesign, lst, 2},
        {LIST_NO_MATCH, noMatch(""), lst, 3},
        {LIST_NO_MATCH, noMatch(path("missing.dgn")), lst, 5}}},
      {"Windows line ends, a pair with one side missing",
       path("b.dgn") + "\r\n" + path("a.dgn") + "|" + path("zz.dgn") + "\r\n",
       SUCCESS,
       {path("b.dgn"), path("a.dgn")},
       {{LIST_NO_MATCH, noMatch(path("zz.dgn")), lst, 2}}},
      {"the list does not exist",
       std::nullopt,
       ERROR,
       {},
       {{LIST_UNREADABLE, "Unable to open " + lst + ".", lst, 0}, {LIST_EMPTY, empty, lst, 0}}},
      {"no design file in the list",
       "\n" + path("notes.dgn") + "\n",
       ERROR,
       {},
       {{LIST_NO_MATCH, noMatch(""), lst, 1},
        {LIST_NOT_DESIGN_FILE, notDesign, lst, 2},
        {LIST_EMPTY, empty, lst, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(lst);
    if (c.content) std::ofstream(lst, std::ios::binary) << *c.content;
    list = StringListOwner(mdlStringList_create(0, 1));
    std::vector<ParseError> errors;
    EXPECT_EQ(readComparisonList(list.get(), lst, errors), c.status);
    EXPECT_EQ(members(), c.members);
    EXPECT_EQ(errors, c.errors);
  }
  EXPECT_TRUE(ui().events.empty());
  EXPECT_EQ(findFiles(path("?.DGN")), (std::vector<std::string>{"c.DGN"}));  // case counts
  EXPECT_TRUE(hasListExtension("x.LST"));
  EXPECT_FALSE(hasListExtension("x.lst.txt"));
}

}  // namespace
}  // namespace kelvara
