// Texts and text nodes: placement, content, size, enter-data fields, rotation, font and
// justification.
#include <gtest/gtest.h>

#include <variant>

#include "engine/text_compare.h"
#include "family_cases.h"
#include "host/dgn/codec.h"

namespace kelvara {
namespace {

using namespace test;

TextSpec label(const std::string& chars = "Room 12") {
  return {.chars = chars, .origin = {4000, 6000, 0}, .heightMult = 2000};
}

TextSpec with(TextSpec t, void (*change)(TextSpec&)) {
  change(t);
  return t;
}

// The label text with one change.
Element labelWith(void (*change)(TextSpec&), Symb s = {}) {
  return text(with(label(), change), s);
}

TEST(TextCompareTest, Table) {
  const Element base = text(label());
  const Element centred = labelWith([](TextSpec& t) { t.justification = 7; });
  // clang-format off
  runCases(textCompare, {
      {"case differs", base, text(label("ROOM 12")), exact(), 3, 3},
      {"one character more", base, text(label("Room 12a")), exact(), 3, 3},
      {"width differs only, left-bottom", base,
       labelWith([](TextSpec& t) { t.lengthMult = 3000; }), exact(), 1, 1},
      // "Room 12": 7 characters 6 UOR wide (42 long), 12 UOR high, corner at (4000, 6000).
      {"centre-centre, same corner, widths 6 and 18: centres 42 apart", centred,
       labelWith([](TextSpec& t) { t.justification = 7; t.lengthMult = 3000; }), exact(), 3, 3},
      {"right-bottom, widths 6 and 12 ending at one point",
       labelWith([](TextSpec& t) { t.justification = 14; }),
       labelWith([](TextSpec& t) { t.justification = 14; t.lengthMult = 2000; t.origin.x -= 42; }),
       exact(), 1, 1},
      // The centre (4021, 6006); turned a quarter turn the corner lies at (4027, 5985).
      {"centre-centre, turned a quarter turn about the centre, 91 deg allowed", centred,
       labelWith([](TextSpec& t) {
         t.justification = 7;
         t.rotationDeg = 90;
         t.origin = {4027, 5985};
       }),
       rotationBy(deg(91)), 1, 1},
      {"left-bottom, same corner, turned a quarter turn, 91 deg allowed", base,
       labelWith([](TextSpec& t) { t.rotationDeg = 90; }), rotationBy(deg(91)), 1, 1},
      {"centre-centre, same corner, turned a quarter turn, 91 deg allowed", centred,
       labelWith([](TextSpec& t) { t.justification = 7; t.rotationDeg = 90; }), rotationBy(deg(91)),
       3, 3},
      {"origin three units away, overlap within 5", base,
       labelWith([](TextSpec& t) { t.origin.y += 3; }), overlapBy(5), 1, 1},
      {"an enter-data field more", base, labelWith([](TextSpec& t) { t.fields = {{1, 4, -1}}; }),
       exact(), 3, 3},
      {"rotated 30 deg", base, labelWith([](TextSpec& t) { t.rotationDeg = 30; }), exact(), 2, 2},
      {"rotated 30 deg, 31 deg allowed", base, labelWith([](TextSpec& t) { t.rotationDeg = 30; }),
       rotationBy(deg(31)), 1, 1},
      {"other font", base, labelWith([](TextSpec& t) { t.font = 3; }), exact(), 2, 2},
      {"other justification at the same point", base,
       labelWith([](TextSpec& t) { t.justification = 7; t.origin = {3979, 5994}; }), exact(), 2, 2},
      {"other justification, same corner", base, centred, exact(), 3, 3},
      {"other colour", base, text(label(), {.colour = 2}), exact(), 2, 2},
      {"view independent against not", base, text(label(), {.properties = 0x1000}), exact(), 2, 2},
  });
  // clang-format on
}

// Sizes and origins between whole units of resolution (records as the host hands them over).
TEST(TextCompareTest, SubUnitHeightsAndOrigins) {
  const ElmDscrPtr a = descriptorOf(text(label()));
  struct Case {
    const char* name;
    double dHeight;
    double dOrigin;
    CompareOptions options;
    int expected;
  };
  const std::vector<Case> cases = {
      {"heights 0.001 apart", 0.001, 0, exact(), 3},
      {"heights 0.00005 apart", 0.00005, 0, exact(), 1},
      {"origins 0.5 apart", 0, 0.5, exact(), 1},
      {"origins 0.85 apart", 0, 0.85, exact(), 1},
      {"origins 1.0 apart", 0, 1.0, exact(), 3},
      {"origins 1.0 apart, overlap within 0.5", 0, 1.0, overlapBy(0.5), 3},
      {"origins 0.5 apart, overlap within 0.5", 0, 0.5, overlapBy(0.5), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ElmDscrPtr b = descriptorOf(text(label()));
    auto& r = std::get<dgn::TextRecord>(b->record);
    r.height += c.dHeight;
    r.origin.x += c.dOrigin;
    EXPECT_EQ(textCompare({a.get(), 0}, {b.get(), 0}, c.options), c.expected);
    EXPECT_EQ(textCompare({b.get(), 0}, {a.get(), 0}, c.options), c.expected);
  }
}

// A 2D text node's line spacing (int32 @46).
Element withLineSpacing(Element node, int32_t spacing) {
  dgn::writeInt32(node.data() + 46, spacing);
  return node;
}

TEST(TextNodeCompareTest, Table) {
  const TextSpec n = label();
  const std::vector<std::string> lines = {"Kitchen", "12 m2"};
  const Element base = textNode(n, lines, 1);
  const auto nodeWith = [&](void (*f)(TextSpec&)) { return textNode(with(n, f), lines, 1); };
  // clang-format off
  runCases(textNodeCompare, {
      {"same node", base, textNode(n, lines, 1), exact(), 1, 1},
      {"other node number", base, textNode(n, lines, 7), exact(), 1, 1},
      {"other second line", base, textNode(n, {"Kitchen", "14 m2"}, 1), exact(), 3, 3},
      {"a line more", base, textNode(n, {"Kitchen", "12 m2", ""}, 1), exact(), 3, 3},
      {"origin one unit away", base, nodeWith([](TextSpec& t) { t.origin.x += 1; }), exact(), 3, 3},
      {"origin one unit away, overlap within 2", base,
       nodeWith([](TextSpec& t) { t.origin.x += 1; }), overlapBy(2), 1, 1},
      {"larger characters", base, nodeWith([](TextSpec& t) { t.heightMult = 2001; }), exact(), 3,
       3},
      {"wider characters", base, nodeWith([](TextSpec& t) { t.lengthMult = 1001; }), exact(), 3, 3},
      {"other line spacing", base, withLineSpacing(textNode(n, lines, 1), 9), exact(), 3, 3},
      {"rotated", base, nodeWith([](TextSpec& t) { t.rotationDeg = 90; }), exact(), 2, 2},
      {"other font", base, nodeWith([](TextSpec& t) { t.font = 2; }), exact(), 2, 2},
      {"other weight", base, textNode(n, lines, 1, {.weight = 3}), exact(), 2, 2},
  });
  // clang-format on
}

TEST(TextNodeCompareTest, ThreeDimensionalNodes) {
  const TextSpec n = label();
  runCases(textNodeCompare,
           {
               {"3D same", textNode(n, {"A"}, 1, {}, true), textNode(n, {"A"}, 1, {}, true),
                exact(), 1, 1},
               {"3D rotated 0.5 deg, 1 deg allowed", textNode(n, {"A"}, 1, {}, true),
                textNode(with(n, [](TextSpec& t) { t.rotationDeg = 0.5; }), {"A"}, 1, {}, true),
                rotationBy(deg(1)), 1, 1},
           },
           true);
}

}  // namespace
}  // namespace kelvara
