// What a view of a model draws: the displayable elements as polylines and texts, in the
// colour (from the file's colour table) and weight they are drawn with, grouped by that
// symbology. Arcs, ellipses, curves and B-spline curves come stroked; cells, text nodes,
// surfaces and solids through their components; a shared cell instance as its range. Points
// are the xy of the element's coordinates (a top view), in units of resolution.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/colors.h"
#include "host/element.h"

namespace kelvara {

struct DrawingText {
  double x = 0, y = 0;  // lower left corner
  double height = 0;    // character height
  double width = 0;     // character width
  double angle = 0;     // radians, counter-clockwise
  std::string text;     // UTF-8
};

// Elements of one colour and weight. Each element holds a number of runs (a polyline each; a
// run of one vertex is a point) and of texts, taken in order from the flat lists.
struct DrawingGroup {
  uint8_t colourIndex = 0;
  RgbColor colour;
  uint32_t weight = 0;
  std::vector<uint32_t> positions;   // per element: file position of its top-level element
  std::vector<uint32_t> runCounts;   // per element
  std::vector<uint32_t> textCounts;  // per element
  std::vector<uint32_t> runSizes;    // per run: its vertices
  std::vector<double> xy;            // the vertices, x and y interleaved
  std::vector<DrawingText> texts;
};

struct Drawing {
  ModelRef model = 0;
  std::vector<DrawingGroup> groups;
  bool empty = true;  // no vertex and no text yet; the range is then meaningless
  double xLow = 0, yLow = 0, xHigh = 0, yHigh = 0;
  double uorPerMaster = 1;
  std::string masterUnit;
  DPoint3d globalOrigin;  // where master unit coordinates count from
  size_t vertexCount = 0;
};

// The model's elements as view `view` shows them: elements that are deleted, and elements
// (components of cells, text nodes, surfaces and solids each by their own level) on levels
// that are off in the view or in the model are left out. ERROR for an unknown model.
[[nodiscard]] int drawModel(Drawing* out, ModelRef model, int view);

// Adds one element to the drawing whatever its level's display (a flash shows an element on a
// frozen level too). `position` is recorded as its file position.
void drawElement(Drawing& out, const MSElementDescr& element, uint32_t position);
// The same with the colours taken from `colours` instead of the file's colour table (which is
// looked up in the file on every call): for callers that draw many elements one at a time.
void drawElement(Drawing& out, const MSElementDescr& element, uint32_t position,
                 const ColorTable& colours);

}  // namespace kelvara
