// Translating decoded DXF entities into V7 element runs, so that the host's element accessors,
// the engine's families and the reports work on DXF drawings unchanged.
//
// One call appends one entity's element run (header element followed by its components) to a
// buffer. Coordinates go through the drawing's placement: a point p in drawing units lies at
// (p - origin) * scale units of resolution. The header's level, colour, weight and style bytes
// are only what V7 can hold; the host keeps the full values (level codes from 64 up, by-level
// and by-cell symbology, linetype names, true colour) in its side record of each element.
//
// appendElementRun maps LINE, POINT, LWPOLYLINE, POLYLINE (not its polygon and polyface meshes,
// which stay opaque), ARC, CIRCLE, TEXT (its alignment as the justification, its style and
// width factor in the font) and INSERT (with
// its ATTRIBs); for every other type it hands over to appendMoreElementRun (to_element_more.cpp),
// where the remaining types of the format get their mappings. A type that neither maps is
// opaque: appendOpaqueElement gives it an element that compares by the record's content.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/dxf/dxf.h"
#include "host/types.h"

namespace kelvara::dxf {

// Where drawing coordinates lie in the element image.
struct Placement {
  double scale = 1;  // units of resolution per drawing unit (a power of ten)
  Point3 origin;     // the drawing point at UOR (0, 0, 0)
  bool is3d = false;
};

// What the header of an entity's elements gets, resolved once per entity.
struct ElementContext {
  const Drawing& drawing;
  Placement placement;
  uint32_t levelCode = 0;  // the layer's level code (levelCodes)
  Symbology symbology;     // the entity's own (by level / by cell / value)
  int level = 0;           // the V7 level byte (0-63) standing for levelCode
  int colour = 0;          // the V7 colour byte: the entity's colour, by level the layer's
  int weight = 0;          // the V7 weight (0-23)
  // The association id an INSERT's element carries when ATTRIBs follow it as tags.
  uint32_t association = 0;
};

// Where a TEXT of `chars` characters lies, in units of resolution.
struct TextPlace {
  DPoint3d origin, corner;          // the lower left corner, and the corner the range reaches
  double width = 0, height = 0;     // of a character
  int font = 0, justification = 0;  // the V7 font and justification standing for the alignment
  RotMatrix orientation;            // 3D files: the text's axes
  double angle = 0;                 // 2D files: its rotation in the plane (radians, 0 to 2 pi)
};
TextPlace placeText(const ElementContext& c, const Entity& e, size_t chars);

// ---- Attributes as tags ------------------------------------------------------------------------
// An INSERT with ATTRIBs is a shared cell instance with tags, as tags go with their element in a
// design file: the INSERT's element carries an association id (a 0x7D2F linkage) and each ATTRIB
// follows it as a tag element (type 37) whose target is that id. A tag names its tag by a set
// number and a tag index, which a tag-set definition (type 66, level 24) per block names.

// The tag sets of a model: one per block name (case-insensitive) that INSERTs with ATTRIBs use,
// numbered from 1 as met, with the tags met (case-insensitive), numbered from 1.
struct TagSets {
  struct Set {
    std::string name;
    std::vector<std::string> tags;
  };
  std::vector<Set> sets;
  std::unordered_map<std::string, int> numbers;  // folded block name -> set number
  // The set number of `block` and the index of `tag` in its set, added when new.
  std::pair<int, int> find(const std::string& block, const std::string& tag);
};

// The TEXT an ATTRIB shows (its value, placement and style), with the ATTRIB's layer, symbology
// and handle.
Entity attribText(const Attrib& a);
// Appends the tag element of an attribute (as attribText gives it) of the INSERT whose
// association id is `target`, naming tag `index` of set `set`.
void appendAttribTag(const ElementContext& c, const Entity& text, uint32_t target, int set,
                     int index, std::vector<uint8_t>& out);
// Appends a tag-set definition per set.
void appendTagSets(const TagSets& sets, std::vector<uint8_t>& out);
// A digest of everything the tags of an INSERT's ATTRIBs compare by (their names, values,
// placement, layers and symbology), for the INSERT's own element: an INSERT is the same as
// another only when its tags are the same too.
uint64_t attribsDigest(const ElementContext& c, const Entity& insert);

// The V7 level byte that stands for a level code: 0 stays 0, codes from 64 up fold into 1-63.
int v7Level(uint32_t levelCode);

// Appends the element run of `e` to `out`; false (out unchanged) when the type has no mapping
// or its geometry cannot be placed (no vertices, counts beyond what V7 holds).
[[nodiscard]] bool appendElementRun(const ElementContext& c, const Entity& e,
                                    std::vector<uint8_t>& out);
// The mappings of the types appendElementRun does not handle itself; same contract.
[[nodiscard]] bool appendMoreElementRun(const ElementContext& c, const Entity& e,
                                        std::vector<uint8_t>& out);
// An element for an entity without a mapping: a shared cell instance (type 35) whose body is
// the type name and a digest of the record's tags without its identity (handle, owner,
// reactor and dictionary groups), so that two records of equal content compare equal.
void appendOpaqueElement(const ElementContext& c, const Record& r, std::vector<uint8_t>& out);

// ---- Building blocks for mappings --------------------------------------------------------------

// FNV-1a, 64 bits, continuing from `h`.
inline uint64_t fnv64(std::string_view s, uint64_t h = 0xcbf29ce484222325ull) {
  for (unsigned char ch : s) {
    h ^= ch;
    h *= 0x100000001b3ull;
  }
  return h;
}
// A point in units of resolution.
DPoint3d toUor(const Placement& p, double x, double y, double z);
// A new element of `type` with the context's level and symbology, `bodyBytes` zero bytes after
// the 36-byte header.
std::vector<uint8_t> startElement(const ElementContext& c, int type, size_t bodyBytes);
// Sets the element's range to the box around `points` (UOR), grown by `margin`.
void setRange(std::vector<uint8_t>& e, const std::vector<DPoint3d>& points, double margin = 0);
// Pads, sets the element's word counts and appends it to out.
void appendFinished(std::vector<uint8_t>& e, std::vector<uint8_t>& out);
// Element of type 3 (two points), 4 (line string), 6 (shape) or 22 (point string); points in
// UOR, at most 101 of them.
std::vector<uint8_t> vertexElement(const ElementContext& c, int type,
                                   const std::vector<DPoint3d>& points);
// An arc (type 16) or, for a sweep of a full turn, an ellipse (type 15) of radii a and b,
// centre in UOR, oriented by `axes` (columns: the major axis, the minor axis, the normal);
// start and sweep in radians (sweep signed).
std::vector<uint8_t> arcElement(const ElementContext& c, const DPoint3d& centre, double a, double b,
                                const RotMatrix& axes, double start, double sweep, bool full);
// Appends a complex chain (12) or complex shape (14) header followed by `components` (each a
// finished element run), marking them as components.
void appendComplex(const ElementContext& c, int type,
                   const std::vector<std::vector<uint8_t>>& components, std::vector<uint8_t>& out);
// The axes of the object coordinate system of an extrusion (columns x, y, z).
RotMatrix ocsAxes(const Point3& extrusion);

}  // namespace kelvara::dxf
