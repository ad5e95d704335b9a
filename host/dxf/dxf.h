// ASCII DXF drawings (R12 and R2000 to R2018): the tag reader, the record index with byte spans,
// the header, the tables and layouts, entity decoding on demand and the symbology rules that map
// layers, colours, linetypes and lineweights to levels, colours, styles and weights.
//
// The index keeps the file's bytes and, per record, only its span, handle, owner and type, so a
// drawing of millions of entities opens in one pass; entities are decoded when asked for.
// Numbers are read with std::from_chars (no locale) and are never printed back: a writer copies
// the original spans. Binary DXF and DWG files are recognised and refused.
#pragma once

#include <cstdint>
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
  std::string bytes;
  std::vector<std::string> typeNames;  // record type names, by Record::type
  std::vector<Section> sections;
  std::vector<Record> records;
  std::string version;                // $ACADVER, "AC1009" when absent
  int insUnits = 0, measurement = 0;  // $INSUNITS, $MEASUREMENT
  uint64_t handSeed = 0;
  std::optional<Point3> extMin, extMax;
  std::vector<Layer> layers;
  std::vector<NamedRecord> linetypes, styles, blockRecords;
  std::vector<Layout> layouts;  // model first, then paper space by tab order
  std::vector<Block> blocks;
  bool r12() const { return version <= "AC1009"; }
};

struct DxfError {
  std::string text;  // names the file and the line
  uint32_t line = 0;
};

// Indexes `bytes` (taken over by the drawing). False with `error` set on malformed input.
bool openDrawing(std::string bytes, const std::string& file, Drawing& d, DxfError& error);
bool readDrawing(const std::string& path, Drawing& d, DxfError& error);

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

struct Attrib {
  std::string tag, value;
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
  std::vector<Vertex> vertices;  // LINE 2, POINT 1, polylines n, TEXT/INSERT/CIRCLE/ARC 1
  double radius = 0, startAngle = 0, endAngle = 0;  // CIRCLE, ARC (degrees)
  double height = 0, rotation = 0;                  // TEXT, INSERT (degrees)
  Point3 scale{1, 1, 1};                            // INSERT
  std::string text, style, block;                   // TEXT 1/7, INSERT 2
  std::vector<Attrib> attribs;                      // INSERT followers
};

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
// `defaultLineweight` resolves -3 (the file's $LWDEFAULT, normally 25).
Symbology symbology(const Entity& e, int defaultLineweight = 25);

}  // namespace kelvara::dxf
