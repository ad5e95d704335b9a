// comparePair reaches the comparison of every family in a process that made no set-up call:
// this executable never touches anything but comparePair itself.
#include "engine/compare_pair.h"

#include <gtest/gtest.h>

#include "host/design.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

using namespace test;

const std::vector<uint8_t> kBody = {0x10, 0x00, 0x05, 0x00, 0x22, 0x01, 0x00, 0x80,
                                    0x40, 0x1F, 0x00, 0x00, 0x88, 0x13, 0x00, 0x00};

Element tag(const std::string& value) {
  return tagValue(7, 1, 1, value);
}

std::vector<Element> profile(double dx) {
  return {line({dx, 0, 0}, {1000 + dx, 0, 0}, {}, true),
          arc({500 + dx, 0, 0}, 500, 500, 0, 0, 180, {}, true)};
}

// Each case is a pair of elements, written to a drawing of its own (tags need their file's
// tag-set definitions) and read back, and the answer of comparePair both ways round.
TEST(ComparePairTest, EveryFamilyIsComparedWithoutSetUp) {
  const Element door = cell("DOOR", {0, 0, 0}, {line({0, 0, 0}, {900, 0, 0})});
  struct Case {
    const char* name;
    Element a, b;
    int expected;
    bool is3d = false;
  };
  const std::vector<Case> cases = {
      {"cell and its copy", door, door, 1},
      {"cell and one placed elsewhere", door,
       cell("DOOR", {500, 0, 0}, {line({500, 0, 0}, {1400, 0, 0})}), 3},
      {"cell and one named otherwise", door,
       cell("DOORS", {0, 0, 0}, {line({0, 0, 0}, {900, 0, 0})}), 3},
      {"shared cell instance", opaque(35, kBody), opaque(35, kBody), 1},
      {"text node", textNode({.chars = "", .origin = {0, 0, 0}}, {"A", "B"}, 1),
       textNode({.chars = "", .origin = {0, 0, 0}}, {"A", "B"}, 2), 1},
      {"text", text({.chars = "Hall", .origin = {10, 20, 0}}),
       text({.chars = "Hall", .origin = {10, 20, 0}}), 1},
      {"texts of other case", text({.chars = "Hall", .origin = {10, 20, 0}}),
       text({.chars = "HALL", .origin = {10, 20, 0}}), 3},
      {"arc", arc({0, 0, 0}, 500, 500, 0, 0, 90), arc({0, 0, 0}, 500, 500, 0, 0, 90), 1},
      {"ellipse", ellipse({0, 0, 0}, 800, 300, 15), ellipse({0, 0, 0}, 800, 300, 15), 1},
      {"multiline", opaque(36, kBody), opaque(36, kBody), 1},
      {"dimension", opaque(33, kBody), opaque(33, kBody), 1},
      {"tag", tag("10"), tag("10"), 1},
      {"tags of other values", tag("10"), tag("11"), 3},
      {"solid", surface(19, 1, profile(0)), surface(19, 1, profile(0)), 1, true},
      {"solid moved", surface(19, 1, profile(0)), surface(19, 1, profile(5)), 3, true},
      {"raster frame", opaque(94, kBody), opaque(94, kBody), 1},
      {"line", line({0, 0, 0}, {900, 0, 0}), line({900, 0, 0}, {0, 0, 0}), 3},
      {"line string", lineString({{0, 0, 0}, {900, 0, 0}, {900, 900, 0}}),
       lineString({{0, 0, 0}, {900, 0, 0}, {900, 900, 0}}), 1},
  };
  const ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DesignBuilder d;
    d.is3d = c.is3d;
    d.add(tagSet(1, "DOOR", {"NUMBER"}));
    d.add(c.a);
    d.add(c.b);
    const std::string path = dir.file("pair.dgn");
    ASSERT_TRUE(d.write(path));
    ASSERT_EQ(mdlSystem_newDesignFile(path), SUCCESS);
    const ModelRef model = mdlModelRef_getActive();
    ElmDscrPtr a, b;
    ASSERT_EQ(mdlElmdscr_read(&a, d.positionOf(1), model), SUCCESS);
    ASSERT_EQ(mdlElmdscr_read(&b, d.positionOf(2), model), SUCCESS);
    EXPECT_EQ(comparePair({a.get(), model}, {b.get(), model}, {}), c.expected) << "A against B";
    EXPECT_EQ(comparePair({b.get(), model}, {a.get(), model}, {}), c.expected) << "B against A";
    resetDesignState();
  }
}

}  // namespace
}  // namespace kelvara
