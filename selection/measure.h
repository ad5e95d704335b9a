// The values that selection criteria measure on an element: lengths, vertex counts, axes,
// sweep, cone sizes, cell and text parameters, tag names and values.
//
// Everything is read from the host's element descriptors and decoded records and measured
// with the host's geometry, in units of resolution. A value the host cannot give for an
// element (dimensions, multilines and shared cell instances keep their layouts to
// themselves in V7 files) is absent, and a criterion that needs it does not hold.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/element.h"

namespace kelvara {

// Length of a line, line string, curve, multiline or complex string; perimeter of a shape or
// complex shape. Curves are measured along their displayed points (the first two and last two
// points only set the end tangents).
std::optional<double> elementLength(const MSElementDescr& el);

// Vertex count of a line string, shape, point string or multiline; for a curve its stored
// count less 4.
std::optional<double> vertexCount(const MSElementDescr& el);

// Absolute sweep of an arc in degrees, rounded to six decimals.
std::optional<double> arcSweepDegrees(const MSElementDescr& el);

// Primary (the larger) and secondary axis radius of an arc or ellipse.
bool ellipseAxes(const MSElementDescr& el, double* primary, double* secondary);

// Height (distance between the base centres), top radius and bottom radius of a cone.
bool coneSizes(const MSElementDescr& el, double* height, double* top, double* bottom);

// Cell header facts.
struct CellFacts {
  std::string name;
  bool pointCell = false;      // the header's not-snappable bit marks a point cell
  double rotationDegrees = 0;  // [0, 360), to 0.001 degrees
  double xScale = 1, yScale = 1;
};
std::optional<CellFacts> cellFacts(const MSElementDescr& el);

// Text and text node facts. Heights and widths are absolute, in UOR.
struct TextFacts {
  int font = 0;
  int justification = 0;
  double height = 0, width = 0;
  double lineSpacing = 0;            // text nodes
  double lineLength = 0;             // text nodes: the maximum line length the node stores
  double nodeNumber = 0;             // text nodes
  std::vector<std::string> strings;  // a text's string; a node's component strings
};
std::optional<TextFacts> textFacts(const MSElementDescr& el);

// Tag value facts.
struct TagFacts {
  std::optional<std::string> setName;  // from the tag set definition in the tag's model
  std::optional<std::string> tagName;
  int valueType = 0;      // 1 character, 3 integer, 4 real, others
  std::string valueText;  // character: the text; integer: decimal; real: six decimals
};
std::optional<TagFacts> tagFacts(const MSElementDescr& el);

// Forgets the tag set definitions read from models (the next tag reads them again).
void clearTagSetCache();

}  // namespace kelvara
