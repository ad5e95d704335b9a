// Tags: names through the tag-set definitions, typed values, placement block, attributes.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/tag_compare.h"
#include "family_cases.h"
#include "host/design.h"
#include "host/dgn/codec.h"
#include "support/fresh_host.h"

namespace kelvara {
namespace {

using namespace test;

// A tag value of any type: the value's bytes go at 154, their count at 150.
Element tagOf(uint32_t setId, int index, int valueType, const std::vector<uint8_t>& value,
              Symb s = {}) {
  Element e = tagValue(7, setId, index, "", s);
  e.resize(154);
  e.insert(e.end(), value.begin(), value.end());
  if (e.size() % 2) e.push_back(0);
  dgn::writeU16(e.data() + 74, static_cast<uint16_t>(valueType));
  dgn::writeU16(e.data() + 150, static_cast<uint16_t>(value.size()));
  dgn::writeU16(e.data() + 2, static_cast<uint16_t>(e.size() / 2 - 2));
  dgn::writeU16(e.data() + 30, static_cast<uint16_t>((e.size() - 32) / 2));
  return e;
}

Element stringTag(uint32_t setId, int index, const std::string& v, Symb s = {}) {
  std::vector<uint8_t> bytes(v.begin(), v.end());
  bytes.push_back(0);
  return tagOf(setId, index, 1, bytes, s);
}

Element longTag(uint32_t setId, int index, int32_t v) {
  std::vector<uint8_t> bytes(4);
  dgn::writeU32LE(bytes.data(), static_cast<uint32_t>(v));
  return tagOf(setId, index, 3, bytes);
}

Element shortTag(uint32_t setId, int index, uint16_t v) {
  std::vector<uint8_t> bytes(2);
  dgn::writeU16(bytes.data(), v);
  return tagOf(setId, index, 2, bytes);
}

Element doubleTag(uint32_t setId, int index, double v) {
  std::vector<uint8_t> bytes(8);
  dgn::writeVaxD(bytes.data(), v);
  return tagOf(setId, index, 4, bytes);
}

Element binaryTag(uint32_t setId, int index, const std::vector<uint8_t>& v) {
  return tagOf(setId, index, 5, v);
}

// The same tag placed elsewhere: one byte of the placement block changed.
Element moved(Element tag) {
  tag[80] ^= 0x01;
  return tag;
}

struct TagCompareTest : FreshDesigns {};

TEST_F(TagCompareTest, Table) {
  struct Case {
    const char* name;
    Element a, b;
    int expected;  // the same both ways round
  };
  const std::vector<Case> cases = {
      {"same string", stringTag(1, 1, "10"), stringTag(1, 1, "10"), 1},
      {"strings 10 and 11", stringTag(1, 1, "10"), stringTag(1, 1, "11"), 3},
      {"long 10 against double 10", longTag(1, 1, 10), doubleTag(1, 1, 10.0), 3},
      {"long 10 against string 10", longTag(1, 1, 10), stringTag(1, 1, "10"), 3},
      {"same long", longTag(1, 1, 10), longTag(1, 1, 10), 1},
      {"longs 10 and 11", longTag(1, 1, 10), longTag(1, 1, 11), 3},
      {"same short", shortTag(1, 1, 7), shortTag(1, 1, 7), 1},
      {"shorts 7 and 8", shortTag(1, 1, 7), shortTag(1, 1, 8), 3},
      {"same double", doubleTag(1, 1, 2.5), doubleTag(1, 1, 2.5), 1},
      {"doubles 2.5 and 2.5000001", doubleTag(1, 1, 2.5), doubleTag(1, 1, 2.5000001), 3},
      {"same bytes", binaryTag(1, 1, {1, 2, 3, 4}), binaryTag(1, 1, {1, 2, 3, 4}), 1},
      {"other bytes", binaryTag(1, 1, {1, 2, 3, 4}), binaryTag(1, 1, {1, 2, 3, 5}), 3},
      {"fewer bytes", binaryTag(1, 1, {1, 2, 3, 4}), binaryTag(1, 1, {1, 2}), 3},
      {"other tag of the set", stringTag(1, 1, "10"), stringTag(1, 2, "10"), 3},
      {"same tag name in another set", stringTag(1, 1, "10"), stringTag(2, 1, "10"), 3},
      {"same names under another set number", stringTag(1, 1, "10"), stringTag(3, 1, "10"), 1},
      {"set without a definition", stringTag(1, 1, "10"), stringTag(9, 1, "10"), 3},
      {"placed elsewhere", stringTag(1, 1, "10"), moved(stringTag(1, 1, "10")), 3},
      {"other colour", stringTag(1, 1, "10"), stringTag(1, 1, "10", {.colour = 3}), 2},
      {"other class", stringTag(1, 1, "10"), stringTag(1, 1, "10", {.properties = 2}), 2},
  };
  DesignBuilder d;
  d.add(tagSet(1, "DOOR", {"NUMBER", "WIDTH"}));
  d.add(tagSet(2, "WINDOW", {"NUMBER"}));
  d.add(tagSet(3, "DOOR", {"NUMBER", "WIDTH"}));
  for (const Case& c : cases) {
    d.add(c.a);
    d.add(c.b);
  }
  ASSERT_EQ(mdlSystem_newDesignFile(write("tags.dgn", d)), SUCCESS);
  const ModelRef model = mdlModelRef_getActive();
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    ElmDscrPtr a, b;
    ASSERT_EQ(mdlElmdscr_read(&a, d.positionOf(3 + 2 * i), model), SUCCESS);
    ASSERT_EQ(mdlElmdscr_read(&b, d.positionOf(4 + 2 * i), model), SUCCESS);
    EXPECT_EQ(tagCompare({a.get(), model}, {b.get(), model}, exact()), cases[i].expected);
    EXPECT_EQ(tagCompare({b.get(), model}, {a.get(), model}, exact()), cases[i].expected);
    EXPECT_EQ(comparePair({a.get(), model}, {b.get(), model}, exact()),
              cases[i].expected == 1 ? 1 : 3);
  }

  ElmDscrPtr tag;
  ASSERT_EQ(mdlElmdscr_read(&tag, d.positionOf(3 + 2 * 13 + 1), model), SUCCESS);
  std::string setName, tagName;
  ASSERT_TRUE(tagNames(*tag, model, setName, tagName));
  EXPECT_EQ(setName, "DOOR");
  EXPECT_EQ(tagName, "WIDTH");
}

TEST_F(TagCompareTest, TagsOfTwoFilesCompareByName) {
  DesignBuilder one, two;
  one.add(tagSet(1, "DOOR", {"NUMBER"}));
  one.add(stringTag(1, 1, "10"));
  two.add(tagSet(5, "DOOR", {"NUMBER"}));
  two.add(tagSet(1, "WINDOW", {"NUMBER"}));
  two.add(stringTag(5, 1, "10"));
  two.add(stringTag(1, 1, "10"));
  ModelRef m1 = 0, m2 = 0;
  ASSERT_EQ(mdlModelRef_createWorkingByName(&m1, write("one.dgn", one), "Default"), SUCCESS);
  ASSERT_EQ(mdlModelRef_createWorkingByName(&m2, write("two.dgn", two), "Default"), SUCCESS);
  ElmDscrPtr a, door, window;
  ASSERT_EQ(mdlElmdscr_read(&a, one.positionOf(1), m1), SUCCESS);
  ASSERT_EQ(mdlElmdscr_read(&door, two.positionOf(2), m2), SUCCESS);
  ASSERT_EQ(mdlElmdscr_read(&window, two.positionOf(3), m2), SUCCESS);
  // Across files the set numbers mean nothing: the names decide.
  EXPECT_EQ(tagCompare({a.get(), m1}, {door.get(), m2}, exact()), 1);
  EXPECT_EQ(tagCompare({door.get(), m2}, {a.get(), m1}, exact()), 1);
  EXPECT_EQ(tagCompare({a.get(), m1}, {window.get(), m2}, exact()), 3);
  EXPECT_EQ(tagCompare({window.get(), m2}, {a.get(), m1}, exact()), 3);
}

}  // namespace
}  // namespace kelvara
