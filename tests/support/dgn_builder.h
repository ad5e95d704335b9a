// Readable builders of DGN V7 element bytes and whole design files, for tests, fuzz seeds and
// the sample drawing. Each function writes the documented byte layout field by field, so a
// test shows the drawing it checks:
//
//   DesignBuilder d;                           // 2D, 1000 UOR per master unit
//   d.add(line({0, 0}, {1000, 0}, {.level = 3, .colour = 2}));
//   d.add(complexChain({lineString({...}), arc(...)}));
//   std::vector<uint8_t> bytes = d.bytes();
//
// Points are in UOR. Angles are in degrees. Runs of several elements (complex elements, cells)
// are returned as one byte vector, header first. No gtest dependency: the sample generator
// links this too.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/types.h"

namespace kelvara::test {

using Element = std::vector<uint8_t>;

// Header fields every builder takes.
struct Symb {
  int level = 1;
  int colour = 0;
  int weight = 0;
  int style = 0;
  uint16_t properties = 0;  // class in bits 0-3, flags above
  uint16_t graphicGroup = 0;
};

// Primitives (types 3, 4, 6, 11, 21, 22).
Element line(DPoint3d a, DPoint3d b, Symb s = {}, bool is3d = false);
Element lineString(const std::vector<DPoint3d>& pts, Symb s = {}, bool is3d = false);
Element shape(const std::vector<DPoint3d>& pts, Symb s = {}, bool is3d = false);
Element curve(const std::vector<DPoint3d>& pts, Symb s = {}, bool is3d = false);
Element poles(const std::vector<DPoint3d>& pts, Symb s = {}, bool is3d = false);
Element pointString(const std::vector<DPoint3d>& pts, Symb s = {}, bool is3d = false);
// Vertex list element of any of the types above.
Element vertexElement(int type, const std::vector<DPoint3d>& pts, Symb s, bool is3d);

// Ellipse (15) and arc (16); 3D uses a rotation about z as quaternion (GDAL convention).
Element ellipse(DPoint3d centre, double primary, double secondary, double rotationDeg, Symb s = {},
                bool is3d = false);
Element arc(DPoint3d centre, double primary, double secondary, double rotationDeg, double startDeg,
            double sweepDeg, Symb s = {}, bool is3d = false);

// Text (17): lengthMult/heightMult as stored (size in UOR = mult * 6 / 1000).
struct TextSpec {
  std::string chars;
  DPoint3d origin = {};
  double rotationDeg = 0;
  int lengthMult = 1000;
  int heightMult = 1000;
  int font = 1;
  int justification = 2;
  std::vector<std::array<int, 3>> fields = {};  // enter-data fields: start, length, justification
};
Element text(const TextSpec& t, Symb s = {}, bool is3d = false);
// Text node (7) followed by one text component per line.
Element textNode(const TextSpec& node, const std::vector<std::string>& lines, int nodeNumber,
                 Symb s = {}, bool is3d = false);

// Complex chain (12) or shape (14) with components (each gets the C bit; runs are copied).
Element complexChain(const std::vector<Element>& components, Symb s = {}, bool is3d = false);
Element complexShape(const std::vector<Element>& components, Symb s = {}, bool is3d = false);
// Cell header (2) with components. Identity transform scaled by `scale`, rotated about z.
Element cell(const std::string& name, DPoint3d origin, const std::vector<Element>& components,
             Symb s = {}, bool is3d = false, double rotationDeg = 0, double scale = 1);
// Surface (18) or solid (19) header with components (3D).
Element surface(int type, int surfaceType, const std::vector<Element>& components, Symb s = {});
// Cone (23, 3D).
Element cone(DPoint3d c1, double r1, DPoint3d c2, double r2, Symb s = {});
// B-spline curve (27 + 21 poles [+ 26 knots] [+ 28 weights]).
Element bsplineCurve(const std::vector<DPoint3d>& poles, int order, bool closed,
                     const std::vector<double>& knots = {}, const std::vector<double>& weights = {},
                     Symb s = {}, bool is3d = false);
// B-spline surface header (24) alone, boundary (25).
Element bsplineSurfaceHeader(int uPoles, int vPoles, int uOrder, int vOrder, int boundaries,
                             Symb s = {}, bool is3d = true);
Element boundary(int number, const std::vector<DPoint3d>& uv, bool is3d = true);
// Tag value (37) with a string value, and a tag-set definition (66/24).
Element tagValue(uint32_t target, uint32_t tagSetId, int tagIndex, const std::string& value,
                 Symb s = {});
Element tagSet(int setNumber, const std::string& name, const std::vector<std::string>& tagNames);
// Shared cell definition (34) with components, instance (35), dimension (33), multiline (36):
// headers with the given opaque body.
Element opaque(int type, const std::vector<uint8_t>& body, Symb s = {});
Element sharedCellDefinition(const std::vector<Element>& components);
// Colour table (5/1): background first, then colours 0-254.
Element colourTable(uint8_t r, uint8_t g, uint8_t b);
// Reference attachment (5/9, or 66/5 when asType66).
Element reference(const std::string& fileSpec, const std::string& logicalName, bool display = true,
                  bool asType66 = false);

// Decorations.
Element withFill(Element e, int colour);                        // shape-fill linkage
Element withOdbc(Element e, uint16_t entity, uint32_t mslink);  // 16-byte database linkage
Element withDmrs(Element e, uint16_t entity, uint32_t mslink);  // 8-byte DMRS linkage
Element deleted(Element e);                                     // D bit on every element of a run
Element withComplexBit(Element e);                              // C bit on the first element

// A whole design file: header block, the elements, then the end-of-design word.
struct DesignBuilder {
  bool is3d = false;
  int subPerMaster = 10;
  int uorPerSub = 100;
  std::string masterName = "m";
  std::string subName = "dm";
  DPoint3d globalOrigin;
  bool endMarker = true;
  size_t padToSector = 0;  // pad the file with zeros to a multiple of this (0 = none)
  std::vector<Element> elements;

  DesignBuilder& add(Element e) {
    elements.push_back(std::move(e));
    return *this;
  }
  // The design file header element alone (1536 bytes).
  Element header() const;
  std::vector<uint8_t> bytes() const;
  // File position the n-th added element will have.
  uint32_t positionOf(size_t n) const;
  // Writes bytes() to path; false on failure.
  bool write(const std::string& path) const;
};

}  // namespace kelvara::test
