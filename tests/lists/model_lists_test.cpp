// Model lists: the models of design files by model type and name filter, their records, the
// table's limit, and the run's entry list.
#include "lists/model_lists.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "host/design.h"
#include "host/state.h"
#include "lists/model_directory.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

using test::FakeModel;

ModelItem model(std::string name, bool isDefault = false, bool isSheet = false, bool isCell = false,
                double time = 1000) {
  return {std::move(name), isDefault, isSheet, isCell, time};
}

class ModelLists : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHostState();
    resetDesignState();
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
  void TearDown() override { resetDesignState(); }
  // A design file whose models the fake directory gives as `models`.
  std::string multiModelFile(const std::string& name, std::vector<FakeModel> models) {
    const std::string path = dir.file(name);
    EXPECT_EQ(createDesignFile(path, false), SUCCESS);
    test::fakeModels()[name] = std::move(models);
    return path;
  }
  std::string planWithSheets() {
    return multiModelFile("plan.dgn", {{model("Default", true), {{100}}},
                                       {model("Sheet A", false, true), {{40}}},
                                       {model("Plan 2"), {}},
                                       {model("Door", false, false, true), {{8}}},
                                       {model("SHEET b", false, true), {}}});
  }
  static std::vector<std::string> names(const ModelTable& table) {
    std::vector<std::string> out;
    for (const ModelRecord& r : table) out.push_back(r.modelName);
    return out;
  }
  test::ScratchDir dir;
  test::ScopedFakeModels fake;
};

TEST_F(ModelLists, TypesAndNameFilterChooseTheModels) {
  const std::string plan = planWithSheets();
  struct Case {
    const char* filter;
    int32_t types;
    std::vector<std::string> listed;  // cell models are never listed
  };
  const std::vector<std::string> all = {"Default", "Sheet A", "Plan 2", "SHEET b"};
  const Case cases[] = {
      {"", MODEL_TYPES_ALL, all},
      {"*", MODEL_TYPES_ALL, all},
      {"sheet*", MODEL_TYPES_ALL, {"Sheet A", "SHEET b"}},
      {"SHEET?A", MODEL_TYPES_ALL, {"Sheet A"}},
      {"*2", MODEL_TYPES_ALL, {"Plan 2"}},
      {"plan", MODEL_TYPES_ALL, {}},  // the whole name must match
      {"", MODEL_TYPES_DEFAULT, {"Default"}},
      {"", MODEL_TYPES_NOT_SHEETS, {"Default", "Plan 2"}},
      {"", MODEL_TYPES_SHEETS, {"Sheet A", "SHEET b"}},
      {"", MODEL_TYPES_ACTIVE, {"Default"}},
      {"p*", MODEL_TYPES_SHEETS, {}},
      {"*", 9, all},  // a type it does not know lists every model
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.filter) + " / " + std::to_string(c.types));
    ModelTable table;
    const int last = listFileModels(plan, c.filter, c.types, table);
    EXPECT_EQ(names(table), c.listed);
    EXPECT_EQ(last, static_cast<int>(c.listed.size()) - 1);
  }
}

TEST_F(ModelLists, RecordHoldsNamesSizesAndTheLatestTime) {
  const std::string plan = multiModelFile(
      "plan.dgn", {{model("Default", true, false, false, 1700000000),
                    {{100}, {36, true, 1700000500}, {12, true, 1600000000}}},
                   {model("Empty", false, false, false, 1700000000), {}},
                   {model("Untimed", false, false, false, 1700000000), {{10}, {20}}}});
  ModelTable table;
  ASSERT_EQ(listFileModels(plan, "", MODEL_TYPES_ALL, table), 2);
  const ModelRecord& timed = table[0];
  EXPECT_EQ(timed.fileName, plan);
  EXPECT_EQ(timed.shortName, "plan.dgn");
  EXPECT_EQ(timed.elementBytes, 148);
  EXPECT_TRUE(timed.hasElementTimes);
  EXPECT_EQ(timed.modifiedTime, 1700000500);
  EXPECT_EQ(timed.modifiedText, "Tue Nov 14 22:21:40 2023");
  EXPECT_EQ(table[1].elementBytes, 0);
  EXPECT_FALSE(table[1].hasElementTimes);
  EXPECT_EQ(table[2].elementBytes, 30);
  EXPECT_FALSE(table[2].hasElementTimes);
  EXPECT_EQ(table[2].modifiedTime, 1700000000);
  EXPECT_EQ(table[2].modifiedText, "Tue Nov 14 22:13:20 2023");
}

TEST_F(ModelLists, AModelAlreadyInTheTableIsListedOnce) {
  const std::string plan =
      multiModelFile("plan.dgn", {{model("Default", true), {}}, {model("DEFAULT"), {}}});
  ModelTable table;
  EXPECT_EQ(listFileModels(plan, "", MODEL_TYPES_ALL, table), 0);
  EXPECT_EQ(listFileModels(plan, "", MODEL_TYPES_ALL, table), -1);
  EXPECT_EQ(names(table), (std::vector<std::string>{"Default"}));
  // Under another name the file is another file.
  EXPECT_EQ(listFileModels(dir.path() + "/./plan.dgn", "", MODEL_TYPES_ALL, table), 1);
}

TEST_F(ModelLists, TheTableStopsAt4095Records) {
  std::vector<FakeModel> many;
  for (int i = 0; i < 3000; ++i) many.push_back({model("M" + std::to_string(i)), {}});
  const std::string a = multiModelFile("a.dgn", many);
  const std::string b = multiModelFile("b.dgn", many);
  const std::string c = multiModelFile("c.dgn", many);
  ModelTable table;
  EXPECT_EQ(listFileModels(a, "", MODEL_TYPES_ALL, table), 2999);
  EXPECT_EQ(listFileModels(b, "", MODEL_TYPES_ALL, table), 4094);
  EXPECT_EQ(table.size(), MAX_MODEL_RECORDS);
  EXPECT_EQ(table.back().fileName, b);
  EXPECT_EQ(table.back().modelName, "M1094");
  EXPECT_EQ(listFileModels(c, "", MODEL_TYPES_ALL, table), -1);
  EXPECT_EQ(table.size(), MAX_MODEL_RECORDS);
}

TEST_F(ModelLists, AV7FileHoldsItsDefaultModelOnly) {
  test::DesignBuilder d;
  const test::Element gone = test::deleted(test::line({0, 0}, {500, 0}));
  d.add(test::line({0, 0}, {1000, 0})).add(gone).add(test::lineString({{0, 0}, {5, 5}, {9, 0}}));
  const std::string path = dir.file("v7.dgn");
  ASSERT_TRUE(d.write(path));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);

  ModelTable table;
  ASSERT_EQ(listFileModels(path, "", MODEL_TYPES_ALL, table), 0);
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0].modelName, "Default");
  EXPECT_EQ(table[0].elementBytes, static_cast<int64_t>(d.bytes().size() - 2 - gone.size()));
  EXPECT_EQ(static_cast<time_t>(table[0].modifiedTime), st.st_mtim.tv_sec);
  EXPECT_FALSE(table[0].hasElementTimes);
  for (int32_t types : {MODEL_TYPES_DEFAULT, MODEL_TYPES_NOT_SHEETS, MODEL_TYPES_ACTIVE}) {
    ModelTable t;
    EXPECT_EQ(listFileModels(path, "DEF*", types, t), 0) << types;
  }
  ModelTable sheets;
  EXPECT_EQ(listFileModels(path, "", MODEL_TYPES_SHEETS, sheets), -1);
  EXPECT_TRUE(sheets.empty());
  // Listing reads the file and leaves no file open.
  EXPECT_TRUE(designState().files.empty());
}

TEST_F(ModelLists, ADxfDrawingListsModelSpaceAndItsPaperSpace) {
  // An R12 drawing: one line in model space, two in paper space.
  const std::string line = "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1\n21\n0\n";
  const std::string paper = "0\nLINE\n8\n0\n67\n1\n10\n0\n20\n0\n11\n1\n21\n0\n";
  const std::string path = dir.file("plan.dxf");
  std::ofstream(path) << "0\nSECTION\n2\nENTITIES\n" + line + paper + paper + "0\nENDSEC\n0\nEOF\n";
  ModelTable table;
  ASSERT_EQ(listFileModels(path, "", MODEL_TYPES_ALL, table), 1);
  EXPECT_EQ(names(table), (std::vector<std::string>{"Model", "Layout1"}));
  EXPECT_GT(table[0].elementBytes, 0);
  EXPECT_GT(table[1].elementBytes, table[0].elementBytes);  // two lines against one
  EXPECT_TRUE(designState().files.empty());
}

TEST_F(ModelLists, FilesThatCannotBeListedAddNothing) {
  const std::string plan = planWithSheets();
  std::ofstream(dir.file("notes.dgn")) << "not a drawing\n";
  const std::string none = multiModelFile("none.dgn", {});
  ModelTable table;
  EXPECT_EQ(listFileModels(dir.file("missing.dgn"), "", 0, table), -1);
  EXPECT_EQ(listFileModels(dir.file("notes.dgn"), "", 0, table), -1);
  EXPECT_EQ(listFileModels(none, "", 0, table), -1);
  EXPECT_TRUE(table.empty());
  EXPECT_EQ(
      listSelectedFileModels({dir.file("missing.dgn"), plan, none}, "", MODEL_TYPES_SHEETS, table),
      3);
  EXPECT_EQ(names(table), (std::vector<std::string>{"Sheet A", "SHEET b"}));
}

std::vector<std::string> entries(StringList* list) {
  std::vector<std::string> out;
  for (long i = 0; i < mdlStringList_size(list); ++i) {
    const wchar_t* text = nullptr;
    EXPECT_EQ(mdlStringList_getMember(&text, nullptr, list, i), SUCCESS);
    out.push_back(toNarrow(text));
  }
  return out;
}

TEST_F(ModelLists, RunEntriesNameFileAndModel) {
  const std::string plan = planWithSheets();
  const std::string v7 = dir.file("v7.dgn");
  ASSERT_EQ(createDesignFile(v7, false), SUCCESS);
  const std::vector<std::string> files = {plan, dir.file("missing.dgn"), v7, plan};
  struct Case {
    int32_t types;
    const char* filter;
    std::vector<std::string> entries;
    int result;
  };
  const Case cases[] = {
      {MODEL_TYPES_ALL,
       "",
       {plan + ",Default", plan + ",Sheet A", plan + ",Plan 2", plan + ",SHEET b", v7 + ",Default"},
       0},
      {MODEL_TYPES_SHEETS, "*", {plan + ",Sheet A", plan + ",SHEET b"}, 0},
      {MODEL_TYPES_ACTIVE, "", {plan + ",<ActiveModel>", v7 + ",<ActiveModel>"}, 0},
      {MODEL_TYPES_ALL, "nothing", {}, 1},
  };
  StringList* list = mdlStringList_create(1, 0);  // replaced by each fill
  ModelTable table;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.types) + " / " + c.filter);
    RunSettings settings;
    settings.MODEL_TYPES = c.types;
    settings.MODEL_NAMES_FILTER.assign(c.filter);
    EXPECT_EQ(b_compareFillStringLists(&list, files, settings, table), c.result);
    EXPECT_EQ(entries(list), c.entries);
    EXPECT_EQ(table.size(), c.entries.size());
  }
  RunSettings settings;
  EXPECT_EQ(b_compareFillStringLists(&list, {}, settings, table), 0);
  EXPECT_TRUE(entries(list).empty());
  (void)mdlStringList_destroy(list);
}

}  // namespace
}  // namespace kelvara
