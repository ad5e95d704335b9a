// Plain records decoded from DGN V7 element bodies, one per element kind, and the decoder that
// fills them.
//
// Points are in units of resolution (UOR) as doubles, angles in radians, rotations as
// RotMatrix (rows are the rotated x, y, z axes applied as v' = M v). In 2D files z is 0 and the
// rotation is about z. Decoding reads only the element's own bytes; a body that is too short
// for its type fails with a reason instead of reading past the end.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "host/dgn/codec.h"
#include "host/types.h"

namespace kelvara::dgn {

// Scalings of the format.
inline constexpr double ANGLE_UNITS_PER_DEGREE = 360000.0;  // 2D rotations, arc start/sweep
inline constexpr double CELL_MATRIX_ONE = 214748.0;         // cell transform entries
inline constexpr double UNIT_SCALE_ONE = 2147483647.0;      // knots, weights, UV, quaternions
inline constexpr double TEXT_SIZE_FACTOR = 6.0 / 1000.0;    // multiplier -> UOR

// Types 3 line, 4 line string, 6 shape, 11 curve, 21 B-spline poles, 22 point string.
struct LinearRecord {
  std::vector<DPoint3d> points;
};

// Types 15 ellipse and 16 arc. An ellipse is a full sweep starting at angle 0.
struct ArcRecord {
  bool isEllipse = false;
  double primary = 0;    // primary axis radius (UOR)
  double secondary = 0;  // secondary axis radius (UOR)
  double rotation = 0;   // 2D rotation about z (radians); 3D: angle of the matrix about z
  RotMatrix rotMatrix;   // full orientation (from the angle in 2D, the quaternion in 3D)
  DPoint3d centre;
  double start = 0;  // start angle (radians)
  double sweep = 0;  // signed sweep (radians); a stored 0 means a full turn
};

// Type 2 cell header.
struct CellRecord {
  std::string name;  // Radix-50, trailing spaces removed; empty for unnamed groups
  uint16_t totalLength = 0;
  uint16_t classMap = 0;
  uint64_t levels = 0;           // bit L-1 set when level L is used by the components
  DPoint3d rangeLow, rangeHigh;  // in the cell's own coordinates
  RotMatrix transform;           // rotation times scale, entries as stored / 214748
  DPoint3d origin;
};

// One enter-data field of a text element.
struct EnterDataField {
  int start = 0;  // 1-based character position
  int length = 0;
  int justification = 0;  // -1 left, 0 centre, +1 right
};

// Type 17 text.
struct TextRecord {
  int font = 0;
  int justification = 0;
  double lengthMult = 0;  // as stored (negative when mirrored)
  double heightMult = 0;
  double width = 0;     // character width in UOR
  double height = 0;    // character height in UOR
  double rotation = 0;  // radians
  RotMatrix rotMatrix;
  DPoint3d origin;         // lower left of the text
  std::string chars;       // raw 8-bit characters (16-bit text keeps its raw bytes)
  bool wideChars = false;  // starts with 0xFF 0xFD
  std::vector<EnterDataField> fields;
};

// Type 7 text node header.
struct TextNodeRecord {
  uint16_t totalWords = 0;
  int numStrings = 0;
  int nodeNumber = 0;
  int maxLength = 0;
  int maxUsed = 0;
  int font = 0;
  int justification = 0;
  double lineSpacing = 0;  // UOR
  double lengthMult = 0;
  double heightMult = 0;
  double width = 0;
  double height = 0;
  double rotation = 0;
  RotMatrix rotMatrix;
  DPoint3d origin;  // user origin
};

// Types 12 complex chain and 14 complex shape.
struct ComplexRecord {
  uint16_t totalLength = 0;
  int numElements = 0;
};

// Types 18 surface and 19 solid headers.
struct SurfaceRecord {
  uint16_t totalLength = 0;
  int numElements = 0;
  int surfaceType = 0;
  int boundaryElements = 0;  // stored value + 1
};

// Type 23 cone (3D).
struct ConeRecord {
  int coneType = 0;        // subtype 0-6
  bool isSurface = false;  // bit 15 of the cone-type word
  RotMatrix rotMatrix;
  DPoint3d centre1;
  double radius1 = 0;
  DPoint3d centre2;
  double radius2 = 0;
};

// Type 27 B-spline curve header.
struct BsplineCurveRecord {
  int32_t descriptionWords = 0;
  int order = 0;
  bool showCurve = false, showPolygon = false, rational = false, closed = false;
  int curveType = 0;
  int numPoles = 0;
  int numKnots = 0;
};

// Type 24 B-spline surface header.
struct BsplineSurfaceRecord {
  int32_t descriptionWords = 0;
  int uOrder = 0, vOrder = 0;
  bool uClosed = false, vClosed = false, rational = false, arcSpacing = false;
  int surfaceType = 0;
  int uPoles = 0, uKnots = 0, uRules = 0;
  int vPoles = 0, vKnots = 0, vRules = 0;
  int numBoundaries = 0;
};

// Type 25 B-spline boundary (UV points, z = 0).
struct BoundaryRecord {
  int number = 0;
  std::vector<DPoint3d> uv;
};

// Types 26 knots and 28 weights: every int32 of the body, scaled to 1.0.
struct ScalarsRecord {
  std::vector<double> values;
};

// Type 37 tag value.
struct TagValueRecord {
  uint32_t target = 0;  // association id of the tagged element
  uint16_t version = 0;
  uint16_t flags = 0;
  uint32_t tagSetId = 0;
  int tagIndex = 0;
  int valueType = 0;  // 1 string, 3 int32, 4 double, 5 binary
  std::string text;   // string values
  int32_t integer = 0;
  double real = 0;
  std::vector<uint8_t> binary;
};

// Type 66 level 24 tag-set definition.
struct TagDefinition {
  std::string name;
  int id = 0;
  std::string prompt;
  int type = 0;
  std::string defaultText;
  int32_t defaultInteger = 0;
  double defaultReal = 0;
};
struct TagSetRecord {
  int setNumber = 0;  // from the 0x7D2F linkage; 0 when absent
  std::string name;
  std::vector<TagDefinition> tags;
};

// Types 33 dimension, 34 shared cell definition, 35 shared cell instance, 36 multiline and
// every type without a decoder: the body bytes (after the 36-byte header, up to the
// linkages). totalLength is the word at 36 for 34 (the complex length).
struct RawRecord {
  std::vector<uint8_t> body;
  uint16_t totalLength = 0;
};

// Type 5 level 1 colour table: entry 0-254 are element colours, 255 the background
// (256 entries once decoded; kept out of line so that every record stays small).
struct ColourTableRecord {
  int screen = 0;
  std::vector<std::array<uint8_t, 3>> rgb;
};

// Type 9 design file header fields the host uses.
struct TcbRecord {
  int32_t subPerMaster = 0;
  int32_t uorPerSub = 0;
  std::string masterName;  // up to 2 characters, NULs removed
  std::string subName;
  DPoint3d globalOrigin;  // UOR
  bool is3d = false;
  double uorPerMaster() const { return double(subPerMaster) * double(uorPerSub); }
};

// Type 5 level 9 and type 66 level 5 reference file attachments.
struct ReferenceRecord {
  std::string fileSpec;
  int fileNumber = 0;
  uint16_t builderOptions = 0;  // b1 1:1, b2 slot in use, b7 missing file, ...
  uint16_t displayOptions = 0;  // b1 display
  std::string logicalName;
  std::string description;
};

// The decoded body of any element.
using ElementRecord =
    std::variant<std::monostate, LinearRecord, ArcRecord, CellRecord, TextRecord, TextNodeRecord,
                 ComplexRecord, SurfaceRecord, ConeRecord, BsplineCurveRecord, BsplineSurfaceRecord,
                 BoundaryRecord, ScalarsRecord, TagValueRecord, TagSetRecord, RawRecord,
                 ColourTableRecord, TcbRecord, ReferenceRecord>;

// Decodes e (a whole element, header included) of a 2D or 3D file into out. Types without a
// decoder give RawRecord. Returns false with a reason (byte offset inside the element) when
// the body is too short or its counts exceed the element; out is then left as monostate.
bool decodeRecord(Bytes e, bool is3d, ElementRecord& out, std::string* why = nullptr);

// Per-kind decoders used by decodeRecord (same contract).
bool decodeLinear(Bytes e, bool is3d, LinearRecord& out, std::string* why = nullptr);
bool decodeArc(Bytes e, bool is3d, ArcRecord& out, std::string* why = nullptr);
bool decodeCell(Bytes e, bool is3d, CellRecord& out, std::string* why = nullptr);
bool decodeText(Bytes e, bool is3d, TextRecord& out, std::string* why = nullptr);
bool decodeTextNode(Bytes e, bool is3d, TextNodeRecord& out, std::string* why = nullptr);
bool decodeTcb(Bytes e, TcbRecord& out, std::string* why = nullptr);
bool decodeReference(Bytes e, ReferenceRecord& out, std::string* why = nullptr);

// Rotation helpers. Quaternion (w, x, y, z) as stored (1.0 = 2^31 - 1) to matrix and back;
// a 2D angle (radians) to a rotation about z.
RotMatrix quaternionToMatrix(const double q[4]);
void matrixToQuaternion(const RotMatrix& m, double q[4]);
RotMatrix rotationAboutZ(double radians);

}  // namespace kelvara::dgn
