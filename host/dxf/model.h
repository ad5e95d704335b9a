// A model of a DXF drawing as the host holds it: the V7 element image of one layout's entities
// (model space or a paper-space layout) and, per element, the side record of what V7 cannot
// hold: the DXF record it came from (for writing), the handle, the level code of its layer,
// by-level and by-cell symbology and the linetype name.
//
// The image has one top-level element per entity, in file order, each INSERT followed by the
// tag elements of its ATTRIBs; the tag-set definitions that name their tags come last. Coordinates
// are placed with one scale per file: the finest power of ten (1 to 10^9 units of resolution per
// drawing unit) at which every coordinate of the file's entities fits in 32 bits; the origin stays
// at the drawing's origin, so the file's master unit is the drawing unit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/dgn/image.h"
#include "host/dxf/dxf.h"
#include "host/dxf/gate.h"
#include "host/dxf/to_element.h"

namespace kelvara::dxf {

// The host's symbology values for "by level" and "by cell" (the settings and pickers read
// 0xFFFFFFFF as by level).
inline constexpr uint32_t COLOUR_BYLEVEL = 0xFFFFFFFFu;
inline constexpr uint32_t COLOUR_BYCELL = 0xFFFFFFFEu;
inline constexpr int32_t STYLE_BYLEVEL = 0x7FFFFFFF;
inline constexpr int32_t STYLE_BYCELL = 0x7FFFFFFE;
// A named linetype's style number: this plus its index in ModelSide::styles.
inline constexpr int32_t STYLE_NAMED_FIRST = 8;

// Kept small (16 bytes): a model holds one per element for the whole run. Colour and weight are
// stored as a value (ACI 0-255, weight 0-23) or as the highest (by level) or next highest (by
// cell) code of their field; colourOf and weightOf give the host's values.
inline constexpr uint16_t SIDE_COLOUR_BYLEVEL = 511, SIDE_COLOUR_BYCELL = 510;
inline constexpr uint16_t SIDE_WEIGHT_BYLEVEL = 31, SIDE_WEIGHT_BYCELL = 30;
struct ElementSide {
  uint32_t record = 0;  // index into Drawing::records
  uint32_t level = 0;   // level code of the layer
  int32_t style = STYLE_BYLEVEL;
  uint16_t colour : 9 = SIDE_COLOUR_BYLEVEL;
  uint16_t weight : 5 = SIDE_WEIGHT_BYLEVEL;
  uint16_t opaque : 1 = 0;  // no mapping (or not decoded): compared by content, and never
                            // deleted while something outside it points at it
  // An INSERT's ATTRIB as a tag element: 1 + its place among the INSERT's ATTRIBs (the record
  // is the INSERT's); 0 for an entity's own element.
  uint16_t attrib = 0;
};
static_assert(sizeof(ElementSide) == 16);

// The host's colour and weight of an element: a value, COLOUR_BYLEVEL or COLOUR_BYCELL.
uint32_t colourOf(const ElementSide& s);
uint32_t weightOf(const ElementSide& s);

struct ModelSide {
  std::shared_ptr<const Drawing> drawing;
  int layout = 0;  // index into Drawing::layouts
  Placement placement;
  std::vector<uint32_t> positions;    // file positions of the elements, ascending
  std::vector<ElementSide> elements;  // by element, as positions
  std::vector<std::pair<uint32_t, std::string>> levels;  // level code -> layer name
  std::vector<std::string> styles;                       // named linetypes, by style number - 8
  std::shared_ptr<DeletionGate> gate;                    // shared by the open models of the drawing
  size_t undecoded = 0;                                  // entities that did not decode (opaque)
  std::string firstFault;                                // why the first of them did not
};

// The side record of the element at filePos (or of the element a component at filePos belongs
// to); null when there is none.
const ElementSide* sideOf(const ModelSide& m, uint32_t filePos);
// The layer name of a level code; null when no layer has it.
const std::string* levelName(const ModelSide& m, uint32_t level);

// The placement of a drawing's coordinates (see above).
Placement placementOf(const Drawing& d);

// Builds the element image of layout `layout` (index into Drawing::layouts) and its side
// records, placed by `placement` (placementOf the drawing). The image's path is the drawing's
// file. An entity that cannot be decoded becomes an opaque element (counted in
// ModelSide::undecoded). False with `error` set when the image would exceed the size of a
// design file.
[[nodiscard]] bool buildModel(std::shared_ptr<const Drawing> drawing, int layout,
                              const Placement& placement, dgn::DesignImage& image, ModelSide& side,
                              std::string& error);

// Index of the layout named `name` (case-insensitive), -1 when there is none.
int findLayout(const Drawing& d, const std::string& name);

}  // namespace kelvara::dxf
