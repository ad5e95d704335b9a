// The models list file: the lines saved from the dialog's rows, the lines it skips or refuses
// when loaded, and writes that fail. A list saved from the dialog and loaded back, and the
// file dialogs' titles and shown names: the browser's models story and ModelsDialog's story.
#include "lists/models_list_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "host/state.h"
#include "lists/model_directory.h"
#include "support/file_faults.h"
#include "support/parse_errors.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

ModelRecord record(const std::string& file, const std::string& model) {
  ModelRecord r;
  r.fileName = file;
  r.modelName = model;
  return r;
}

TEST(ModelsListLines, RowsGiveLinesByTagAndCompleteness) {
  ModelPairList list;
  list.left = {record("/d/a.dgn", "Default"), record("/d/b.dgn", "Sheet 1")};
  list.right = {record("/d/c.dgn", "Default")};
  list.rows = {{0, 0, true}, {1, -1, false}, {-1, 0, true}, {-1, -1, true}, {1, 0, false}};
  struct Case {
    bool taggedOnly, takeIncomplete;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {true, true, {"/d/a.dgn,Default;/d/c.dgn,Default", ",;/d/c.dgn,Default"}},
      {true, false, {"/d/a.dgn,Default;/d/c.dgn,Default"}},
      {false,
       true,
       {"/d/a.dgn,Default;/d/c.dgn,Default", "/d/b.dgn,Sheet 1;,", ",;/d/c.dgn,Default",
        "/d/b.dgn,Sheet 1;/d/c.dgn,Default"}},
      {false, false, {"/d/a.dgn,Default;/d/c.dgn,Default", "/d/b.dgn,Sheet 1;/d/c.dgn,Default"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.taggedOnly) + std::to_string(c.takeIncomplete));
    std::vector<std::string> lines;
    ParseError error;
    EXPECT_EQ(modelsListLines(list, c.taggedOnly, c.takeIncomplete, &lines, &error), SUCCESS);
    EXPECT_EQ(lines, c.lines);
  }

  std::vector<std::string> lines;
  ParseError error;
  tagAllRows(list, false);
  EXPECT_EQ(modelsListLines(list, true, true, &lines, &error), ERROR);
  EXPECT_EQ(error, (ParseError{MODELS_LIST_NOTHING_TAGGED,
                               "Make sure that you have tagged at least one component.", "", 0}));
  tagAllRows(list, true);
  list.rows.push_back({0, 1, true});  // the right table has one record
  EXPECT_EQ(modelsListLines(list, true, true, &lines, &error), ERROR);
  EXPECT_EQ(error, (ParseError{MODELS_LIST_ROW_DATA,
                               "Internal error: Failed to get row's data (5).", "", 0}));
  EXPECT_TRUE(lines.empty());

  const ModelRecord* left = nullptr;
  const ModelRecord* right = nullptr;
  EXPECT_EQ(selectedRowRecords(list, 1, &left, &right, &error), SUCCESS);
  EXPECT_EQ(left, &list.left[1]);
  EXPECT_EQ(right, nullptr);
  for (size_t row : {size_t{5}, size_t{6}}) {  // a row whose index lies outside, no such row
    EXPECT_EQ(selectedRowRecords(list, row, &left, &right, &error), ERROR);
    EXPECT_EQ(error, (ParseError{MODELS_LIST_ROW_DATA,
                                 "Internal error: Failed to get row's data (3).", "", 0}));
  }
}

TEST(ModelsListParse, OnlyLinesWithFourPartsCount) {
  const std::string longModel(1100, 'm');
  const std::string content =
      "a.dgn,Default;b.dgn,Default\n"  // 1
      "no separator,Default\n"         // 2: no ';'
      ",;b.dgn,Default\n"              // 3: a side saved without a model
      "a.dgn,Default;,\n"              // 4
      "a.dgn,;b.dgn,Default\n"         // 5: empty model
      "a.dgn,Default;b.dgn\n"          // 6: no ',' on the right
      "\n"                             // 7
      "a.dgn,Plan,1;b.dgn,x;y,z\r\n"   // 8: split at the first ',' and ';'
      "a.dgn,Default;b.dgn," +
      longModel +  // 9: cut to 1023 bytes
      "\n"
      "c.dgn,Sheet 1;d.dgn,Sheet 2";  // 10: the last line needs no line break
  const std::vector<ModelsListLine> expected = {
      {"a.dgn", "Default", "b.dgn", "Default", 1},
      {"a.dgn", "Plan,1", "b.dgn", "x;y,z", 8},
      {"a.dgn", "Default", "b.dgn", longModel.substr(0, 1023 - 20), 9},
      {"c.dgn", "Sheet 1", "d.dgn", "Sheet 2", 10},
  };
  EXPECT_EQ(parseModelsList(content), expected);
}

class ModelsListFile : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHostState();
    resetDesignState();
    a = designFile("a.dgn");
    b = designFile("b.dgn");
    test::fakeModels()["multi.dgn"] = {
        {{"Default", true}, {}}, {{"Sheet 1", false, true}, {}}, {{"Sheet 2", false, true}, {}}};
    multi = designFile("multi.dgn");
    std::ofstream(dir.file("notes.dgn")) << "not a drawing\n";
  }
  void TearDown() override { resetDesignState(); }
  std::string designFile(const std::string& name) {
    const std::string path = dir.file(name);
    EXPECT_EQ(createDesignFile(path, false), SUCCESS);
    return path;
  }
  std::string listFile(const std::string& content) {
    const std::string path = dir.file("models.txt");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    return path;
  }
  // The rows as "left file,model;right file,model".
  static std::vector<std::string> pairs(const ModelPairList& list) {
    std::vector<std::string> out;
    for (const ModelPairRow& row : list.rows)
      out.push_back(modelsListEntry(&list.left.at(row.left)) + ";" +
                    modelsListEntry(&list.right.at(row.right)));
    return out;
  }
  test::ScratchDir dir;
  test::ScopedFakeModels fake;
  std::string a, b, multi;
};

TEST_F(ModelsListFile, LinesThatNameNoModelOrNoDesignFileAreSkipped) {
  const std::string path =
      listFile(",;" + b + ",Default\n" +  // a side saved without a model
               a + ",Default;" + dir.file("notes.dgn") + ",Default\n" +  // not a design file
               a + ",Default;" + dir.file("gone.dgn") + ",Default\n" +   // no such file
               a + ",Sheet;" + b + ",Default\n" +                        // no such model
               a + ",default;" + multi + ",SHEET*\r\n" +  // names without case, a wildcard
               a + ",Default;" + b + ",Default\n" +       // a side listed before: the same record
               b + ",Default;" + a + ",Default");
  ModelPairList list;
  std::string notice;
  ParseError error;
  ASSERT_EQ(loadModelsList(path, MODEL_TYPES_ALL, list, &notice, &error), SUCCESS);
  EXPECT_EQ(pairs(list), (std::vector<std::string>{a + ",Default;" + multi + ",Sheet 2",
                                                   a + ",Default;" + b + ",Default",
                                                   b + ",Default;" + a + ",Default"}));
  EXPECT_EQ(list.left.size(), 2u);
}

TEST_F(ModelsListFile, LoadFailuresSayWhichFile) {
  ModelPairList list;
  list.rows = {{0, 0, true}};
  list.left = {record(a, "Default")};
  list.right = {record(b, "Default")};
  const ModelPairList before = list;
  std::string notice;
  ParseError error;

  const std::string missing = dir.file("missing.txt");
  EXPECT_EQ(loadModelsList(missing, 0, list, &notice, &error), ERROR);
  EXPECT_EQ(error, (ParseError{MODELS_LIST_UNREADABLE,
                               "Failed to read from file \"" + missing + "\".", missing, 0}));
  EXPECT_EQ(loadModelsList(dir.path(), 0, list, &notice, &error), ERROR);
  EXPECT_EQ(error.code, MODELS_LIST_UNREADABLE);
  EXPECT_EQ(list.rows, before.rows);
  EXPECT_EQ(list.left, before.left);

  for (const std::string& content : {std::string(), a + ",Default;" + b + ",Sheet\n"}) {
    const std::string path = listFile(content);
    EXPECT_EQ(loadModelsList(path, 0, list, &notice, &error), ERROR);
    EXPECT_EQ(error, (ParseError{MODELS_LIST_NO_PAIR,
                                 "Failed to read information about at least single valid files "
                                 "pair from \"" +
                                     path + "\" file.",
                                 path, 0}));
    EXPECT_TRUE(list.rows.empty());
  }
}

TEST_F(ModelsListFile, AFileThatCannotBeWrittenStaysAsItWas) {
  const std::string readOnly = dir.file("locked.txt");
  std::ofstream(readOnly) << "old\n";
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  const std::string replaced = dir.file("replaced.txt");
  std::ofstream(replaced) << "old\n";
  const std::vector<std::string> lines = {a + ",Default;" + b + ",Default"};
  std::string notice;
  ParseError error;
  EXPECT_EQ(writeModelsList(readOnly, lines, &notice, &error), ERROR);
  EXPECT_EQ(error, (ParseError{MODELS_LIST_UNWRITABLE,
                               "Failed to open \"" + readOnly +
                                   "\" for writing. Make sure that the file is not read-only.",
                               readOnly, 0}));
  EXPECT_EQ(test::readText(readOnly), "old\n");
  {
    test::FileFault fault(test::FileCall::Rename);
    EXPECT_EQ(writeModelsList(replaced, lines, &notice, &error), ERROR);
  }
  EXPECT_EQ(error.code, MODELS_LIST_UNWRITABLE);
  EXPECT_EQ(test::readText(replaced), "old\n");
}

TEST(ModelsListDialogs, FilterAndStartFolder) {
  resetHostState();
  ASSERT_EQ(::setenv("_USTN_OUT", "/work/out", 1), 0);
  const ModelsListFileDialog save = saveModelsListDialog();
  const ModelsListFileDialog load = loadModelsListDialog();
  ::unsetenv("_USTN_OUT");
  EXPECT_EQ(save.filter, "*.txt");
  EXPECT_EQ(load.filter, "*.txt");
  EXPECT_EQ(save.description, "Models List File");
  EXPECT_EQ(save.folder, "/work/out/");
  EXPECT_EQ(load.folder, "/work/out/");
}

}  // namespace
}  // namespace kelvara
