// Shared between the DXF reader's files.
#pragma once

#include <array>

#include "host/dxf/dxf.h"

namespace kelvara::dxf {

// Reads the tables, blocks and layouts of an indexed drawing.
bool readTables(Drawing& d, DxfError& error);
// Sets `error` to name the tag's line, value and group code as not a number; false.
bool notANumber(const Drawing& d, const Tag& t, DxfError& error);
// The tag's value as a number into `out`; false with `error` set when it is not one.
bool readInt(const Drawing& d, const Tag& t, int& out, DxfError& error);
bool readReal(const Drawing& d, const Tag& t, double& out, DxfError& error);
// Sets `error` to say that `type` declares `said` items of `what` (on the line of the count's
// value) but holds `has`; false.
bool countMismatch(const Drawing& d, const Tag& count, std::string_view type, std::string_view what,
                   int64_t said, size_t has, DxfError& error);

// Decoder of ELLIPSE, SPLINE, MTEXT, DIMENSION, MLINE, HATCH, SOLID, TRACE, 3DFACE and a lone
// ATTDEF or ATTRIB: it gets every tag of the head after the common properties.
struct MoreDecoder {
  enum class Kind { None, Ellipse, Spline, Mtext, Dimension, Mline, Hatch, Solid, Face, Attdef };
  static Kind kindOf(std::string_view type);

  const Drawing& d;
  Entity& e;
  DxfError& error;
  Kind kind;
  std::string_view subclass;       // the last 100 marker
  std::array<Point3, 7> points{};  // 10 to 16
  std::array<bool, 7> seen{};
  std::string raw;  // text as stored: MTEXT's chunks, TEXT-like 1
  // A count tag and the items it announces, checked when the items are complete.
  struct Count {
    Tag tag;
    int64_t said = -1;
  };
  Count knots, controls, fits;          // SPLINE 72, 73, 74
  Count mlineVertices, elements, list;  // MLINE 72, 73, the open 74/75 list
  std::vector<double>* open = nullptr;  // MLINE: the 74/75 list being filled
  // HATCH
  int phase = 0;  // 0 head, 1 boundary loops, 2 after them
  Count loops, items, sources, edgeKnots, edgeControls, fitCount;
  bool inSources = false, edgeFitSeen = false;
  double elevation = 0;

  MoreDecoder(const Drawing& dr, Entity& en, DxfError& er, Kind k)
      : d(dr), e(en), error(er), kind(k) {}
  bool bad(const Tag& t) { return notANumber(d, t, error); }
  bool real(const Tag& t, double& out) { return readReal(d, t, out, error); }
  bool integer(const Tag& t, int& out) { return readInt(d, t, out, error); }
  bool count(const Tag& t, Count& c);
  // Sets `error` to say the tag cannot stand where it is; false.
  bool misplaced(const Tag& t);
  bool check(const Count& c, std::string_view what, size_t has) {
    return c.said < 0 || c.said == static_cast<int64_t>(has) ||
           countMismatch(d, c.tag, e.type, what, c.said, has, error);
  }
  // 10/20/30 style coordinate into the point list `points`: x starts a new point.
  bool listed(const Tag& t, std::vector<Point3>& list);

  bool tag(const Tag& t);
  bool finish();
  bool hatchTag(const Tag& t);
  bool hatchFinish();
  bool hatchCloseLoop();  // checks the last loop's counts
  bool hatchCloseEdge();  // checks the last edge's spline counts
  bool mlineTag(const Tag& t);
};

// A spline of the same fit points (and end tangents, when both are given) with the control
// points and clamped knots of an interpolating curve of the spline's degree (at most the
// number of points less one); false when the points do not make a curve or would need more
// than `maxControl` control points.
bool interpolateSpline(const Spline& in, size_t maxControl, Spline& out);

// The coordinate of a point (Point3, Vertex) that a group code names: x for 1n, y for 2n, z for
// 3n (10 to 39 and 210 to 239 alike).
template <typename P>
double& coordinateOf(P& p, int code) {
  const int axis = code / 10 % 10;
  return axis == 1 ? p.x : axis == 2 ? p.y : p.z;
}

// Calls f(tag) for every tag of the record after its code-0 tag.
template <typename F>
bool forEachTag(const Drawing& d, const Record& r, F&& f) {
  TagReader t(recordText(d, r));
  t.line = r.line;
  Tag tag;
  if (!t.next(tag)) return false;
  while (t.next(tag))
    if (!f(tag)) return false;
  return true;
}

// Group codes whose value is a handle pointing at another record (soft and hard pointers and
// owners, and the handles in extended data).
inline bool isPointerCode(int c) {
  return (c >= 320 && c <= 369) || (c >= 390 && c <= 399) || c == 480 || c == 481 || c == 1005;
}

// Whether a record holds followers: an INSERT with ATTRIBs (66 1), or a POLYLINE with its
// VERTEXes; and the handles of the followers (VERTEX, ATTRIB, SEQEND) it holds.
inline bool hasFollowers(const Drawing& d, const Record& r) {
  return (r.flags & Followers) || typeName(d, r) == "POLYLINE";
}
std::vector<uint64_t> followerHandles(const Drawing& d, const Record& r);

}  // namespace kelvara::dxf
