// Element descriptors and the host's element accessors.
//
// An element descriptor is an owned tree read from a design file by file position: the header
// element's raw bytes, its decoded record, its components in order (each a descriptor of its
// own, nested for cells in cells) and the model reference it was read from. Descriptors are
// copies: editing the file while one is held never invalidates it. Accessors keep their mdl
// names; the element they look at is the descriptor's own header element.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/dgn/codec.h"
#include "host/dgn/records.h"
#include "host/types.h"

namespace kelvara {

// Handle of a model of an open design file (or of a reference attachment); 0 = none.
using ModelRef = uint64_t;

struct MSElementDescr {
  std::vector<uint8_t> bytes;              // the header element's raw bytes
  dgn::ElementRecord record;               // its decoded body
  std::vector<MSElementDescr> components;  // in file order
  uint32_t filePosition = 0;               // 0 for descriptors not (yet) in a file
  ModelRef modelRef = 0;
  bool is3d = false;
  bool isComponent = false;  // lies inside a complex element
  // Read from a model of a DXF drawing: level, symbology, line style and id come from the
  // model's side record of the element, not from the V7 header bytes.
  bool fromDxf = false;
};
using ElmDscrPtr = std::unique_ptr<MSElementDescr>;

// ---- Reading -------------------------------------------------------------------------------
// Reads the element at filePos of model (with its components) into *out. Deleted elements are
// read too. ERROR when the model is unknown or no element starts at filePos.
[[nodiscard]] int mdlElmdscr_read(ElmDscrPtr* out, uint32_t filePos, ModelRef model);
// Frees the descriptor and sets *dscr to null.
void mdlElmdscr_freeAll(ElmDscrPtr* dscr);
// Builds a descriptor from one element run (header followed by its components), not in any
// file. ERROR when the bytes are not a well-formed element run.
[[nodiscard]] int mdlElmdscr_new(ElmDscrPtr* out, dgn::Bytes run, bool is3d);
// The header and every component's bytes in file order, as one run.
std::vector<uint8_t> elementRun(const MSElementDescr& dscr);

// ---- Accessors -----------------------------------------------------------------------------
struct ElementProperties {
  int level = 0;
  int graphicGroup = 0;
  int elementClass = 0;
  bool locked = false;
  bool isNew = false;
  bool modified = false;
  bool viewIndependent = false;
  bool solidHole = false;  // H bit: hole (closed elements) / orphan cell / infinite line
  bool notSnappable = false;
  bool nonPlanar = false;
  bool hasAttributes = false;
};

int mdlElement_getType(const MSElementDescr& el);
// Level, graphic group, class and flags. ERROR for elements without a display header
// (level is still filled).
[[nodiscard]] int mdlElement_getProperties(ElementProperties* out, const MSElementDescr& el);
// Colour (0-255), weight (0-31) and numbered line style (0-7). ERROR without display header.
[[nodiscard]] int mdlElement_getSymbology(uint32_t* colour, uint32_t* weight, int32_t* style,
                                          const MSElementDescr& el);
// Name of a named line style (the linetype of a DXF entity). ERROR for numbered styles (all of
// V7's).
[[nodiscard]] int mdlElement_getLineStyle(std::string* name, const MSElementDescr& el);
// True when the element carries a shape-fill linkage.
bool mdlElement_isFilled(const MSElementDescr& el);
// Fill colour from the fill linkage; ERROR when the element is not filled.
[[nodiscard]] int mdlElement_getFillColor(uint32_t* colour, const MSElementDescr& el);
// Inside a complex element (by the file's structure; GDAL sets the C bit on some headers).
bool mdlElement_isComplexComponent(const MSElementDescr& el);
bool mdlElement_isDeleted(const MSElementDescr& el);
DRange3d mdlElement_getRange(const MSElementDescr& el);
// V7 elements have no persistent id: the file position serves as one. A DXF entity's id is its
// handle (the file position when the drawing has no handles).
uint64_t mdlElement_getID(const MSElementDescr& el);
// A drawn graphic element that is not deleted.
bool mdlElement_isVisible(const MSElementDescr& el);
// True for the types whose colour, weight and line style are those of their contents, not
// their own: cells (2), shared cell instances (35) and raster headers (87). A colour, weight or
// line style list that is not empty never admits them (selection sets and rule groups alike).
bool refusedBySymbologyLists(int type);

// ---- Changing elements ---------------------------------------------------------------------
// Colour, weight and numbered line style of the descriptor's own element (not its components);
// a null argument keeps that field. Values beyond the field's range are clamped (colour 255,
// weight 31, style 7; a negative style to 0). ERROR, element unchanged, for an element without
// display header.
[[nodiscard]] int mdlElement_setSymbology(MSElementDescr* el, const uint32_t* colour,
                                          const uint32_t* weight, const int32_t* style);
// The level (0-63) of the descriptor's own element; null keeps it. ERROR, element unchanged,
// for a level out of range or an element too short to hold one.
[[nodiscard]] int mdlElement_setProperties(MSElementDescr* el, const int* level);
// The same for the element and every component at any depth; components without display
// header keep their symbology. ERROR only for a null descriptor or a level out of range.
[[nodiscard]] int mdlElmdscr_setSymbology(MSElementDescr* dscr, const uint32_t* colour,
                                          const uint32_t* weight, const int32_t* style);
[[nodiscard]] int mdlElmdscr_setProperties(MSElementDescr* dscr, const int* level);
// A copy of dscr that belongs to no file yet (file position 0), for changing and adding.
[[nodiscard]] int mdlElmdscr_duplicate(ElmDscrPtr* out, const MSElementDescr& dscr);

// A change of level and symbology for whole elements (mdlModelRef_copyElements): a field that
// is not set keeps the element's own.
struct SymbologyChange {
  int level = 0;  // 1-63; 0 keeps
  std::optional<uint32_t> colour, weight;
  std::optional<int32_t> style;
};
// Applies a change to one element run (an element's bytes followed by its components', as
// elementRun gives them): the same rules as mdlElmdscr_setProperties / _setSymbology.
void applySymbologyChange(std::vector<uint8_t>& run, const SymbologyChange& change);
void applySymbologyChange(uint8_t* run, size_t size, const SymbologyChange& change);

// ---- Building elements ---------------------------------------------------------------------
// A line element (type 3) with the given end points (UOR, rounded), level 1, colour 0.
std::vector<uint8_t> mdlLine_create(const DPoint3d points[2], bool is3d);

}  // namespace kelvara
