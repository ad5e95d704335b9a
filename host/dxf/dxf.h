// ASCII DXF drawings (R12 and R2000 to R2018): the tag reader, the record index with byte spans,
// the header, the tables and layouts, entity decoding on demand and the symbology rules that map
// layers, colours, linetypes and lineweights to levels, colours, styles and weights.
//
// The index keeps the file's bytes and, per record, only its span, handle, owner and type, so a
// drawing of millions of entities opens in one pass; entities are decoded when asked for.
// Numbers are read with std::from_chars (no locale) and are never printed back: a writer copies
// the original spans. Binary DXF and DWG files are recognised and refused.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvara::dxf {

// ---- Tags -------------------------------------------------------------------------------------

// What a group code's value holds.
enum class ValueType : uint8_t { String, Double, Int16, Int32, Int64, Bool, Handle, Binary };
ValueType valueType(int code);

// One code/value pair: the value without its line ending, where the code line starts and its
// 1-based line number (the value is on line + 1).
struct Tag {
  int code = 0;
  std::string_view value;
  uint64_t offset = 0;
  uint32_t line = 0;
};

// Reads tags from `bytes` (a UTF-8 byte order mark at the start is skipped; LF and CR LF lines).
struct TagReader {
  std::string_view bytes;
  uint64_t pos = 0;
  uint32_t line = 1;
  std::string error;  // set when next() returns false before the end: names the line
  explicit TagReader(std::string_view b);
  // The next tag; false at the end of the bytes or on a malformed pair (then `error` is set).
  bool next(Tag& tag);
  bool atEnd() const { return pos >= bytes.size(); }
};

// Value parsers: false when the text (surrounding blanks allowed) is not a whole number of the
// kind.
bool parseDouble(std::string_view text, double& out);
bool parseInt(std::string_view text, int64_t& out);
bool parseHandle(std::string_view text, uint64_t& out);  // up to 16 hex digits
std::string handleText(uint64_t handle);                 // upper-case hex, as DXF writes them

// "" for an ASCII DXF; otherwise why the bytes cannot be read (binary DXF, DWG).
std::string refusal(std::string_view bytes, const std::string& file);

// ---- Index ------------------------------------------------------------------------------------

enum RecordFlags : uint8_t {
  HasHandle = 1,
  PaperSpace = 2,   // 67 1
  HasReactors = 4,  // 102 {ACAD_REACTORS
  HasXDict = 8,     // 102 {ACAD_XDICTIONARY
  HasXData = 16,    // 1001 and after
  Followers = 32,   // 66 1: an INSERT's ATTRIBs follow through SEQEND
  // No pointer but its owner (Record::owner): no 102 group, no XDATA, no followers, and no
  // pointer code but the one 330. The pointer scans need not read its tags.
  OnlyOwner = 64,
};

// A record: from its code-0 line up to the next code-0 line; POLYLINE and INSERT with 66 1 run
// through their followers' SEQEND.
struct Record {
  uint64_t begin = 0, end = 0;  // byte span in the file
  uint64_t handle = 0;          // 5 (105 for DIMSTYLE); 0 when absent
  uint64_t owner = 0;           // the first 330 outside a 102 group; 0 when absent
  uint32_t line = 0;            // line of the code-0 tag
  uint16_t type = 0;            // index into Drawing::typeNames
  uint8_t section = 0;          // index into Drawing::sections
  uint8_t flags = 0;            // RecordFlags
};

struct Section {
  std::string name;             // HEADER, CLASSES, TABLES, BLOCKS, ENTITIES, OBJECTS, ...
  uint64_t begin = 0, end = 0;  // "0 SECTION" through "0 ENDSEC"
  uint32_t firstRecord = 0, recordCount = 0;
};

struct Point3 {
  double x = 0, y = 0, z = 0;
  bool operator==(const Point3&) const = default;
};

struct Layer {
  std::string name, linetype;
  int colour = 7;                      // ACI; the record's negative colour means "off"
  std::optional<uint32_t> trueColour;  // 0x00RRGGBB
  int lineweight = -3;
  bool on = true, frozen = false, locked = false;
  uint64_t handle = 0;
};

struct NamedRecord {       // LTYPE, STYLE, BLOCK_RECORD
  std::string name, text;  // text: LTYPE description, STYLE font file
  uint64_t handle = 0;
};

struct Layout {
  std::string name;  // "Model" for model space
  int tabOrder = 0;
  uint64_t blockRecord = 0;  // the *Model_Space / *Paper_Space... BLOCK_RECORD (0 in R12)
  uint64_t handle = 0;
};

struct Block {
  std::string name;
  Point3 base;
  int flags = 0;
  uint32_t record = 0;     // the BLOCK record
  uint32_t endRecord = 0;  // the ENDBLK record
  uint64_t handle = 0;
};

struct Drawing {
  std::string file;
  // The file's bytes, held by `storage`: read into memory (openDrawing) or mapped from the file
  // (readDrawing), when `mapped` says so.
  std::string_view bytes;
  std::shared_ptr<const void> storage;
  bool mapped = false;
  std::vector<std::string> typeNames;  // record type names, by Record::type
  std::vector<Section> sections;
  std::vector<Record> records;
  std::string version;                 // $ACADVER, "AC1009" when absent
  int insUnits = 0, measurement = 0;   // $INSUNITS, $MEASUREMENT
  std::string codePage = "ANSI_1252";  // $DWGCODEPAGE: the text encoding up to R2004
  uint64_t handSeed = 0;
  std::optional<Point3> extMin, extMax;
  std::vector<Layer> layers;
  std::vector<NamedRecord> linetypes, styles, blockRecords;
  std::vector<Layout> layouts;  // model first, then paper space by tab order
  std::vector<Block> blocks;
  // Measured over the entities (of ENTITIES and BLOCKS, followers included) while indexing:
  // the largest magnitude of a coordinate (10 to 38) or of a radius or height (40), and
  // whether any has a non-zero z (30 to 38) or an extrusion off the z axis (210, 220).
  double largestCoordinate = 0;
  bool anyZ = false;
  int readers = 1;  // 2 when a large ENTITIES section was indexed from both ends at once
  bool r12() const { return version <= "AC1009"; }
};

struct DxfError {
  std::string text;  // names the file and the line
  uint32_t line = 0;
};

// Indexes `bytes` (taken over by the drawing). False with `error` set on malformed input.
bool openDrawing(std::string bytes, const std::string& file, Drawing& d, DxfError& error);
// Maps the file (reads it when it cannot be mapped) and indexes it as openDrawing does; the
// mapped bytes are released (releaseBytes) once indexed.
bool readDrawing(const std::string& path, Drawing& d, DxfError& error);
// Lets the system drop the pages of the mapped bytes [begin, end) from memory; they are read
// back from the file when next used. Nothing for bytes read into memory.
void releaseBytes(const Drawing& d, uint64_t begin, uint64_t end);
// For a pass over the drawing front to back: releases the bytes from `released` up to
// `position` once they make a step (4 MB unless said), and moves `released` there.
void releaseBehind(const Drawing& d, uint64_t& released, uint64_t position,
                   uint64_t step = uint64_t(4) << 20);
// False when the mapped file no longer has the size and modification time it had when it was
// mapped (its bytes could then no longer be trusted); true for bytes read into memory.
bool bytesUnchanged(const Drawing& d);

std::string_view recordText(const Drawing& d, const Record& r);
std::string_view typeName(const Drawing& d, const Record& r);
// The records of a section by name (empty when the section is absent).
const Section* findSection(const Drawing& d, std::string_view name);
// Index of the layout a record's entity is drawn in; -1 when it belongs to a block definition
// or is not an entity.
int layoutOf(const Drawing& d, const Record& r);

// A 102 group of a record: its name without "{" and the handles it lists.
struct Group102 {
  std::string name;
  std::vector<uint64_t> handles;
};
std::vector<Group102> groups102(const Drawing& d, const Record& r);
// The record's XDATA tags (1001 and after), in order.
std::vector<Tag> xdata(const Drawing& d, const Record& r);

// ---- Entities ---------------------------------------------------------------------------------

struct Vertex {
  double x = 0, y = 0, z = 0, bulge = 0;
};

// Text alignment and attribute details of TEXT, ATTRIB and ATTDEF.
struct TextDetails {
  int flags = 0;   // ATTRIB/ATTDEF 70: 1 invisible, 2 constant, 4 verify, 8 preset
  int halign = 0;  // 72: 0 left, 1 centre, 2 right, 3 aligned, 4 middle, 5 fit
  int valign = 0;  // TEXT 73, ATTRIB/ATTDEF 74: 0 baseline, 1 bottom, 2 middle, 3 top
};

// An ATTRIB of an INSERT: its own handle, layer and symbology, and its text as for TEXT.
struct Attrib {
  std::string tag, value;  // value decoded to UTF-8
  TextDetails details;
  Point3 position, alignment;  // 10, 11 in world coordinates
  Point3 extrusion{0, 0, 1};
  double height = 0, rotation = 0, widthFactor = 1;
  std::string style;
  uint64_t handle = 0;
  std::string layer = "0", linetype = "BYLAYER";
  int colour = 256;
  std::optional<uint32_t> trueColour;
  int lineweight = -1;
};

struct Spline {
  int flags = 0;   // 1 closed, 2 periodic, 4 rational, 8 planar, 16 linear
  int degree = 0;  // order = degree + 1
  std::vector<double> knots, weights;
  std::vector<Point3> control, fit;
  std::optional<Point3> startTangent, endTangent;
};

// One edge of a hatch boundary loop; points and axes in world coordinates, angles in degrees in
// the plane of the extrusion as stored (a clockwise edge stores 360 minus each angle).
struct HatchEdge {
  int type = 0;       // 1 line, 2 circular arc, 3 elliptic arc, 4 spline
  Point3 start, end;  // line: its ends; arcs: the centre in `start`, an ellipse's major axis
                      // (relative to the centre) in `end`
  double radius = 0;  // arc radius; ellipse minor/major ratio
  double startAngle = 0, endAngle = 0;
  bool ccw = true;
  Spline spline;
};

struct HatchLoop {
  int flags = 0;  // 1 external, 2 polyline, 4 derived, 8 text box, 16 outermost
  bool closed = false;
  std::vector<Vertex> vertices;   // polyline loops, world coordinates with bulges
  std::vector<HatchEdge> edges;   // edge loops
  std::vector<uint64_t> sources;  // the boundary objects of an associative hatch
};

struct Hatch {
  std::string pattern;
  bool solid = false, associative = false;
  std::vector<HatchLoop> loops;
};

struct MlineVertex {
  Point3 position, direction, miter;
  std::vector<std::vector<double>> parameters, fills;  // per line element
};

struct Mline {
  std::string style;
  double scale = 1;
  int justification = 0;  // 0 top, 1 zero, 2 bottom
  int flags = 0;          // 1 has vertices, 2 closed, 4 start caps off, 8 end caps off
  std::vector<MlineVertex> vertices;
};

struct Dimension {
  int kind = 0;                    // 70 & 7: 0 rotated, 1 aligned, 2 angular, 3 diameter, 4 radius,
                                   // 5 angular 3 points, 6 ordinate
  int flags = 0;                   // the whole 70
  std::string subclass;            // AcDbRotatedDimension, AcDbRadialDimension, ...
  std::string dimstyle;            // 3
  std::array<Point3, 7> points{};  // 10 to 16, world coordinates
  std::array<bool, 7> has{};       // which of them the record holds
  std::optional<double> measurement;  // 42 (R2000 and later)
};

// The decoded entity: common properties plus the geometry its type uses. Types without a decoder
// keep only the common properties (opaque: compared by bytes). Vertices are in world
// coordinates; angles and rotations stay in the plane of the extrusion.
struct Entity {
  std::string type, layer = "0", linetype = "BYLAYER";
  uint64_t handle = 0;
  int colour = 256;                    // ACI; 256 by layer, 0 by block
  std::optional<uint32_t> trueColour;  // 420
  int lineweight = -1;                 // 370; -1 by layer, -2 by block, -3 default
  bool paperSpace = false, closed = false, decoded = false;
  double thickness = 0;
  Point3 extrusion{0, 0, 1};
  // LINE 2, POINT 1, polylines n, TEXT/MTEXT/ATTDEF/INSERT/CIRCLE/ARC/ELLIPSE 1 (TEXT and ATTDEF
  // a second with the alignment point), SPLINE its control points, MLINE its vertices, SOLID,
  // TRACE and 3DFACE their 3 or 4 corners in drawing order.
  std::vector<Vertex> vertices;
  double radius = 0, startAngle = 0, endAngle = 0;  // CIRCLE, ARC (degrees)
  double height = 0, rotation = 0;  // TEXT, MTEXT, ATTDEF, INSERT, DIMENSION 50 (degrees)
  double widthFactor = 1;           // TEXT 41
  int polylineFlags = 0;            // POLYLINE 70: 8 3D, 16 polygon mesh, 64 polyface mesh
  Point3 scale{1, 1, 1};            // INSERT
  // TEXT/ATTDEF 1, MTEXT and DIMENSION 1 as plain text (UTF-8); TEXT/ATTDEF 7, INSERT and
  // DIMENSION 2.
  std::string text, style, block;
  std::string formatting;       // TEXT, MTEXT, DIMENSION: the formatting codes (see plainText)
  std::vector<Attrib> attribs;  // INSERT followers
  std::string tag, prompt;      // ATTDEF
  TextDetails details;          // TEXT, ATTDEF
  Point3 majorAxis;             // ELLIPSE, relative to the centre (world)
  double ratio = 1, startParam = 0, endParam = 0;  // ELLIPSE (radians)
  Point3 direction{1, 0, 0};  // MTEXT x axis (11, or from 50) in world coordinates
  int attachment = 1;         // MTEXT 71: 1 top left ... 9 bottom right
  double boxWidth = 0;        // MTEXT 41
  int edgeFlags = 0;          // 3DFACE 70: 1, 2, 4, 8 edge 1 to 4 invisible
  Spline spline;
  Hatch hatch;
  Mline mline;
  Dimension dimension;
};

// Text of a TEXT, ATTRIB or ATTDEF (mtext false) or of an MTEXT or DIMENSION (mtext true) as
// stored in a drawing of `codePage` (ignored from R2007, `utf8`), split into its plain text and
// its formatting:
// - the bytes are decoded to UTF-8 first (invalid bytes become U+FFFD);
// - %%c %%d %%p give the diameter, degree and plus-minus signs, %%% a percent sign, %%nnn the
//   character nnn of the code page; the underline and overline toggles %%u and %%o go to the
//   formatting;
// - \U+XXXX gives that Unicode character, \M+nXXXX the double-byte character XXXX of code page
//   n (1 Japanese 932, 2 Traditional Chinese 950, 3 Korean 949, 4 Johab 1361, 5 Simplified
//   Chinese 936);
// - in MTEXT \P and \X give a line break, \~ a no-break space, \\ \{ \} the character; groups
//   { } and the codes \L \l \O \o \K \k \N and \f \F \H \W \Q \T \A \C \c \p \S (up to their
//   ";") go to the formatting; a stack \Sa^b; gives "a/b" in the plain text.
// The formatting lists each code as "@<byte offset in the plain text>" followed by the code as
// written, so two texts compare equal in plain text and formatting separately.
struct PlainText {
  std::string text, formatting;
};
PlainText plainText(std::string_view raw, std::string_view codePage, bool utf8, bool mtext);

// Converts a point of the object coordinate system of `extrusion` to world coordinates.
void toWorld(const Point3& extrusion, double& x, double& y, double& z);

// Decodes the record; false with `error` set when a value of a decoded code is not a number.
bool decodeEntity(const Drawing& d, const Record& r, Entity& e, DxfError& error);

// ---- Symbology --------------------------------------------------------------------------------

// Level code of a layer name: "0" is 0, other names a hash of the case-folded name from 64 up.
uint32_t levelCode(std::string_view layerName);
// Level codes of a file's layers in table order; names whose hashes collide take the next free
// code, in order of their folded names.
std::vector<uint32_t> levelCodes(const std::vector<Layer>& layers);

enum class By : uint8_t { Value, Level, Cell };

struct Symbology {
  By colourBy = By::Level, weightBy = By::Level, styleBy = By::Level;
  int colour = 0;                      // ACI 1-255 when colourBy is Value
  std::optional<uint32_t> trueColour;  // kept alongside
  int weight = 0;                      // 0-23 when weightBy is Value
  int lineweight = 0;                  // the raw 370 value
  std::string style;                   // "" solid (CONTINUOUS); else the linetype name
};
// Weight 0-23 of a 370 lineweight (>= 0); values between the legal ones snap to the nearest.
int weightOf(int lineweight);
// The 370 lineweight of a weight (0-23; larger weights give the largest lineweight).
int lineweightOf(int weight);
// `defaultLineweight` resolves -3 (the file's $LWDEFAULT, normally 25).
Symbology symbology(const Entity& e, int defaultLineweight = 25);

}  // namespace kelvara::dxf
