// The host selection set and named groups.
#include "host/selection.h"

#include <gtest/gtest.h>

#include "host/state.h"
#include "host/types.h"
#include "support/fresh_host.h"

namespace kelvara {
namespace {

struct Selection : test::FreshHost {};

constexpr ModelRef kModelA = 1;
constexpr ModelRef kModelB = 2;

TEST_F(Selection, AddsOncePerModelAndPositionInOrder) {
  ASSERT_EQ(mdlSelect_addElement(kModelA, 1536), SUCCESS);
  ASSERT_EQ(mdlSelect_addElement(kModelA, 1024), SUCCESS);
  ASSERT_EQ(mdlSelect_addElement(kModelA, 1536), SUCCESS);  // again: no change
  ASSERT_EQ(mdlSelect_addElement(kModelB, 1536), SUCCESS);  // same position, other model
  EXPECT_EQ(mdlSelect_count(), 3u);
  EXPECT_TRUE(mdlSelect_isSelected(kModelB, 1536));
  EXPECT_FALSE(mdlSelect_isSelected(kModelB, 1024));

  std::vector<uint32_t> positions;
  std::vector<ModelRef> models;
  ASSERT_EQ(mdlSelect_returnPositions(&positions, &models), SUCCESS);
  EXPECT_EQ(positions, (std::vector<uint32_t>{1536, 1024, 1536}));
  EXPECT_EQ(models, (std::vector<ModelRef>{kModelA, kModelA, kModelB}));

  EXPECT_EQ(mdlSelect_removeElement(kModelA, 1024), SUCCESS);
  EXPECT_EQ(mdlSelect_removeElement(kModelA, 1024), ERROR);
  EXPECT_EQ(mdlSelect_members(), (std::vector<SelectedElement>{{kModelA, 1536}, {kModelB, 1536}}));

  EXPECT_EQ(mdlSelect_freeAll(), SUCCESS);
  EXPECT_EQ(mdlSelect_count(), 0u);
  ASSERT_EQ(mdlSelect_returnPositions(&positions, &models), SUCCESS);
  EXPECT_TRUE(positions.empty());
  EXPECT_TRUE(models.empty());
}

TEST_F(Selection, GroupNamesAreUniquePerModelIgnoringCase) {
  NamedGroup* g = nullptr;
  ASSERT_EQ(mdlNamedGroup_create(&g, "Walls", "first", kModelA), SUCCESS);
  ASSERT_NE(g, nullptr);
  NamedGroup* again = reinterpret_cast<NamedGroup*>(1);
  EXPECT_EQ(mdlNamedGroup_create(&again, "WALLS", "", kModelA), ERROR);
  EXPECT_EQ(again, nullptr);
  EXPECT_EQ(mdlNamedGroup_create(nullptr, "", "", kModelA), ERROR);
  NamedGroup* other = nullptr;
  EXPECT_EQ(mdlNamedGroup_create(&other, "Walls", "", kModelB), SUCCESS);

  std::string name;
  ASSERT_EQ(mdlNamedGroup_getUniqueName(&name, kModelA, "Doors"), SUCCESS);
  EXPECT_EQ(name, "Doors");
  ASSERT_EQ(mdlNamedGroup_getUniqueName(&name, kModelA, "walls"), SUCCESS);
  EXPECT_EQ(name, "walls1");
  ASSERT_EQ(mdlNamedGroup_create(nullptr, name, "", kModelA), SUCCESS);
  ASSERT_EQ(mdlNamedGroup_getUniqueName(&name, kModelA, "Walls"), SUCCESS);
  EXPECT_EQ(name, "Walls2");
  EXPECT_EQ(mdlNamedGroup_getUniqueName(&name, kModelA, ""), ERROR);

  EXPECT_EQ(namedGroupNames(kModelA), (std::vector<std::string>{"Walls", "walls1"}));
  EXPECT_EQ(namedGroupNames(kModelB), (std::vector<std::string>{"Walls"}));
  EXPECT_EQ(findNamedGroup(kModelA, "wAlLs"), g);
  EXPECT_EQ(findNamedGroup(kModelA, "Doors"), nullptr);

  dropNamedGroups(kModelA);
  EXPECT_TRUE(namedGroupNames(kModelA).empty());
  EXPECT_EQ(findNamedGroup(kModelB, "Walls"), other);
}

TEST_F(Selection, GroupMembersAreSelectedThroughTheResolver) {
  NamedGroup* g = nullptr;
  ASSERT_EQ(mdlNamedGroup_create(&g, "admitted", "sets A,B", kModelA), SUCCESS);
  for (uint64_t id : {2048u, 1024u, 2048u, 4096u})
    ASSERT_EQ(mdlNamedGroup_addMember(g, id), SUCCESS);
  EXPECT_EQ(g->members, (std::vector<uint64_t>{2048, 1024, 4096}));
  EXPECT_EQ(mdlNamedGroup_addMember(nullptr, 1), ERROR);

  // Without a resolver an element ID is its file position.
  ASSERT_EQ(mdlSelect_addElement(kModelA, 1024), SUCCESS);
  ASSERT_EQ(mdlNamedGroup_selectMembers(g), SUCCESS);
  EXPECT_EQ(mdlSelect_members(),
            (std::vector<SelectedElement>{{kModelA, 1024}, {kModelA, 2048}, {kModelA, 4096}}));

  // A resolver that knows only some IDs: unknown ones are passed over.
  (void)mdlSelect_freeAll();
  hostState().selection.idToFilePos = [](ModelRef model, uint64_t id) -> int64_t {
    EXPECT_EQ(model, kModelA);
    return id == 4096 ? 100 : -1;
  };
  ASSERT_EQ(mdlNamedGroup_selectMembers(g), SUCCESS);
  EXPECT_EQ(mdlSelect_members(), (std::vector<SelectedElement>{{kModelA, 100}}));
  EXPECT_EQ(mdlNamedGroup_selectMembers(nullptr), ERROR);

  // Freeing the handle keeps the group with its model.
  ASSERT_EQ(mdlNamedGroup_free(&g), SUCCESS);
  EXPECT_EQ(g, nullptr);
  ASSERT_NE(findNamedGroup(kModelA, "admitted"), nullptr);
  EXPECT_EQ(findNamedGroup(kModelA, "admitted")->description, "sets A,B");
}

}  // namespace
}  // namespace kelvara
