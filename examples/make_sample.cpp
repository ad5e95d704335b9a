// Writes examples/sample.dgn, the bundled sample drawing: a 2D design (1 master unit "m" =
// 10 sub-units "dm" = 1000 UOR, global origin 0) of 36 elements with duplicates of several
// kinds planted among unique elements. In order (n = element number after the header block):
//
//   n  what                                           planted duplicate
//   1  line (0,0)-(10,0), level 1 colour 1
//   2  the same line                                  exact copy of 1
//   3  line string (0,5) (5,8) (10,5), level 2
//   4  the same vertices in reverse order             reversed copy of 3
//   5  shape: square 20..30 x 0..10, level 3
//   6  the same square starting at another vertex     closed shape, other start vertex of 5
//   7  line string (0,20) .. (30,20), four vertices, level 4
//   8  line (12,20)-(18,20)                           lies on the longer line string 7
//   9  line string (0,30) (8,34) (16,30), level 5
//  10  the same shifted by (0.2,0.1) master units      copy within 0.3 master units of 9
//  11  circle centre (50,10) radius 3, level 6
//  12  the same circle with a rotation of 45 degrees  rotated, equal circle of 11
//  13  arc centre (50,30) radius 4, 0 to 90 degrees
//  14  ellipse centre (70,10) axes 5 and 2, 30 degrees
//  15  text "KELVARA" at (0,45), level 7
//  16  the same text                                  exact copy of 15
//  17  cell "BOX" at (70,30): a shape and a line
//  18  the same cell                                  exact copy of 17
//  19  complex chain: line string then arc, level 8
//  20  the same chain                                 exact copy of 19
//  21  line (0,60)-(10,60), colour 1
//  22  the same line in colour 5                      NOT a duplicate: other colour
//  23-36 unique lines, line strings, shapes and arcs on levels 9 and 10
//
// Usage: make_sample [OUTPUT]   (default examples/sample.dgn in the current folder)
#include <cmath>
#include <cstdio>
#include <string>

#include "support/dgn_builder.h"

using namespace kelvara;
using namespace kelvara::test;

namespace {

constexpr double M = 1000.0;  // UOR per master unit

DPoint3d P(double x, double y) {
  return {x * M, y * M, 0};
}

}  // namespace

int main(int argc, char** argv) {
  const std::string out = argc > 1 ? argv[1] : "examples/sample.dgn";
  DesignBuilder d;
  d.subPerMaster = 10;
  d.uorPerSub = 100;
  d.masterName = "m";
  d.subName = "dm";

  const Symb l1{.level = 1, .colour = 1};
  d.add(line(P(0, 0), P(10, 0), l1));
  d.add(line(P(0, 0), P(10, 0), l1));

  const Symb l2{.level = 2, .colour = 2};
  d.add(lineString({P(0, 5), P(5, 8), P(10, 5)}, l2));
  d.add(lineString({P(10, 5), P(5, 8), P(0, 5)}, l2));

  const Symb l3{.level = 3, .colour = 3, .weight = 2};
  d.add(shape({P(20, 0), P(30, 0), P(30, 10), P(20, 10), P(20, 0)}, l3));
  d.add(shape({P(30, 10), P(20, 10), P(20, 0), P(30, 0), P(30, 10)}, l3));

  const Symb l4{.level = 4, .colour = 4};
  d.add(lineString({P(0, 20), P(10, 20), P(20, 20), P(30, 20)}, l4));
  d.add(line(P(12, 20), P(18, 20), l4));

  const Symb l5{.level = 5, .colour = 5, .style = 2};
  d.add(lineString({P(0, 30), P(8, 34), P(16, 30)}, l5));
  d.add(lineString({P(0.2, 30.1), P(8.2, 34.1), P(16.2, 30.1)}, l5));

  const Symb l6{.level = 6, .colour = 6};
  d.add(ellipse(P(50, 10), 3 * M, 3 * M, 0, l6));
  d.add(ellipse(P(50, 10), 3 * M, 3 * M, 45, l6));
  d.add(arc(P(50, 30), 4 * M, 4 * M, 0, 0, 90, l6));
  d.add(ellipse(P(70, 10), 5 * M, 2 * M, 30, l6));

  const Symb l7{.level = 7, .colour = 7};
  const TextSpec label{
      .chars = "KELVARA", .origin = P(0, 45), .lengthMult = 100000, .heightMult = 150000};
  d.add(text(label, l7));
  d.add(text(label, l7));

  const Element box = cell("BOX", P(70, 30),
                           {shape({P(68, 28), P(72, 28), P(72, 32), P(68, 32), P(68, 28)}, l7),
                            line(P(68, 28), P(72, 32), l7)},
                           l7);
  d.add(box);
  d.add(box);

  const Symb l8{.level = 8, .colour = 8};
  const Element chain = complexChain({lineString({P(40, 45), P(50, 45), P(50, 50)}, l8),
                                      arc(P(45, 50), 5 * M, 5 * M, 0, 0, 180, l8)},
                                     l8);
  d.add(chain);
  d.add(chain);

  d.add(line(P(0, 60), P(10, 60), l1));
  d.add(line(P(0, 60), P(10, 60), {.level = 1, .colour = 5}));

  for (int i = 0; i < 4; ++i) {
    const double x = 100 + 15 * i;
    d.add(line(P(x, 0), P(x + 10, 5 + i), {.level = 9, .colour = 10 + i}));
    d.add(lineString({P(x, 20), P(x + 5, 25 + i), P(x + 10, 20)}, {.level = 9, .colour = 20 + i}));
    d.add(shape({P(x, 40), P(x + 8, 40), P(x + 8, 48 + i), P(x, 40)},
                {.level = 10, .colour = 30 + i}));
  }
  d.add(arc(P(100, 70), 3 * M, 3 * M, 0, 45, 180, {.level = 10, .colour = 40}));
  d.add(arc(P(120, 70), 3 * M, 2 * M, 20, 0, -120, {.level = 10, .colour = 41}));

  if (!d.write(out)) {
    std::fprintf(stderr, "make_sample: cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("wrote %s: %zu elements\n", out.c_str(), d.elements.size());
  return 0;
}
