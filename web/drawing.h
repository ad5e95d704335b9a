// The drawing view's data: the active model's drawing as the page fetches it (binary, compact),
// view 1's area and overlay as part of the page's state, and the view requests the page sends.
//
// The drawing (GET TOKEN/api/drawing) is little-endian binary:
//   "KVD1", u32 length of the head, the head (JSON, UTF-8), then one byte stream per group.
// The head: {"revision", "edits", "model", "origin":[x,y] (UOR; every coordinate below but the
// global
//   origin is relative to it), "globalOrigin":[x,y], "uorPerMaster", "masterUnit",
//   "range":[xLow,yLow,xHigh,yHigh], "vertices",
//   "groups":[{"colour":"#rrggbb","weight","elements","runs","vertices","bytes",
//              "texts":[[x,y,height,width,angle,text],...]}]}.
// A group's stream holds, per element: its file position as a zigzag varint difference from
// the group's previous element (from 0 for the first), its number of runs and of texts (varints;
// the texts are the next ones of the group's list), then per run its vertex count (varint)
// and each vertex as zigzag varint differences in whole UOR from the group's previous vertex
// (the origin for the first).
//
// Asked with ?since=REVISION&edits=EDITS (the head's of the drawing the page holds), the answer
// is, when only elements were deleted since, what went instead of the whole drawing:
//   "KVC1", u32 length of the head, the head (JSON: {"revision", "edits", "since"}), then the
//   deleted elements' file positions as u32s.
// Otherwise it is the whole drawing, as without the question. "edits" is the file's count of
// changes the drawing was made at.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "host/drawing.h"

namespace kelvara {

// The drawing in the wire format above.
std::string encodeDrawing(const Drawing& drawing, uint64_t revision, uint64_t edits);

// The answer to GET TOKEN/api/drawing with the query's since and edits ("" when not given):
// the deletions since that drawing when they are all that changed, else the whole drawing of
// the active model. Host thread.
std::string drawingAnswer(const std::string& since, const std::string& edits);

// The file positions of the selected elements of the active model (GET TOKEN/api/selection):
// little-endian u32s in the order they were selected. Host thread.
std::string encodeSelection();

// View 1 for the page's state: {"on","area":[x,y,dx,dy],"revision","highlight","partner",
// "flash":{"count","pauseMs","runs"},"selection":{"revision","count"}}, where highlight, partner
// and flash runs are polylines [x0,y0,x1,y1,...] in UOR (texts as their boxes). Host thread.
nlohmann::json viewStateJson();

// Reads a view request of the page: {"area":[x,y,dx,dy]} sets view 1's area (UOR), {"identify":
// filePosition} shows that element's description. False, with nothing changed, for anything
// else. Host thread.
bool applyViewRequest(std::string_view body);

}  // namespace kelvara
