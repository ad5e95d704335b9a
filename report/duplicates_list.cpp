// Writing the duplicates list: CSV with WKT geometry, or a GeoJSON FeatureCollection.
//
// Records are written straight into one reused buffer through a cursor: each record first
// makes room for the most text it can take (its strings escaped at worst, every number at its
// longest), so that the writers below never check for space byte by byte. The buffer goes to
// the file in pieces of about kPieceBytes.
#include "report/duplicates_list.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <memory>
#include <string_view>

#include "host/files.h"
#include "report/description.h"
#include "report/shortest_number.h"

namespace kelvara {

namespace {

constexpr size_t kNumberBytes = 32;    // the longest shortest form of a double, with room
constexpr size_t kRecordBytes = 1024;  // a record's fixed text and integers, with room
constexpr size_t kVertexBytes = 2 * kNumberBytes + 8;
constexpr size_t kRunBytes = 64;

void put(char*& at, std::string_view text) {
  std::memcpy(at, text.data(), text.size());
  at += text.size();
}

// Shortest text that reads back as the same double, locale-free.
void putNumber(char*& at, double value) {
  at = putShortestNumber(at, value);
}

template <class Integer>
void putInteger(char*& at, Integer value) {
  at = std::to_chars(at, at + kNumberBytes, value).ptr;
}

// The lower-case name of an element type, made once per type.
const std::string& typeNameOf(int type) {
  static std::string names[128];
  static bool made[128] = {};
  static const std::string none;
  if (type < 0 || type >= 128) return none;
  if (!made[type]) {
    (void)elementTypeName(&names[type], type);
    for (char& c : names[type]) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    made[type] = true;
  }
  return names[type];
}

bool endsWithIgnoringCase(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) return false;
  return std::equal(tail.begin(), tail.end(), text.end() - static_cast<long>(tail.size()),
                    [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

// The shape of the geometry, as both formats name it.
enum class Shape { Empty, Point, LineString, Polygon, MultiPoint, MultiLineString, Collection };

bool closedRun(const double* xy, uint32_t size) {
  return size >= 4 && xy[0] == xy[2 * (size - 1)] && xy[1] == xy[2 * (size - 1) + 1];
}

Shape shapeOf(const ListGeometry& g) {
  const size_t count = runCount(g);
  if (count == 0) return Shape::Empty;
  if (count == 1) {
    const uint32_t size = runSize(g, 0);
    if (size == 1) return Shape::Point;
    return closedRun(g.xy.data(), size) ? Shape::Polygon : Shape::LineString;
  }
  const std::span<const uint32_t> runs = g.runSizes;
  const bool allPoints = std::all_of(runs.begin(), runs.end(), [](uint32_t n) { return n == 1; });
  const bool noPoints = std::none_of(runs.begin(), runs.end(), [](uint32_t n) { return n == 1; });
  return allPoints ? Shape::MultiPoint : noPoints ? Shape::MultiLineString : Shape::Collection;
}

// The most bytes the geometry takes in either format.
size_t geometryBound(const ListGeometry& g) {
  return kRunBytes * (runCount(g) + 1) + kVertexBytes * (g.xy.size() / 2);
}

// Calls body(run's first xy, its vertex count) for each run, with `between` before all but the
// first.
template <class Body>
void eachRun(char*& at, const ListGeometry& g, std::string_view between, Body&& body) {
  size_t first = 0;
  for (size_t r = 0; r < runCount(g); ++r) {
    if (r > 0) put(at, between);
    body(g.xy.data() + 2 * first, runSize(g, r));
    first += runSize(g, r);
  }
}

// ---- WKT ----

void putWktRun(char*& at, const double* xy, uint32_t size) {
  *at++ = '(';
  for (uint32_t i = 0; i < size; ++i) {
    if (i > 0) put(at, ", ");
    putNumber(at, xy[2 * i]);
    *at++ = ' ';
    putNumber(at, xy[2 * i + 1]);
  }
  *at++ = ')';
}

void putWkt(char*& at, const ListGeometry& g) {
  const double* xy = g.xy.data();
  const auto runs = [&at](const double* run, uint32_t n) { putWktRun(at, run, n); };
  switch (shapeOf(g)) {
    case Shape::Empty:
      return put(at, "GEOMETRYCOLLECTION EMPTY");
    case Shape::Point:
      put(at, "POINT ");
      return putWktRun(at, xy, 1);
    case Shape::LineString:
      put(at, "LINESTRING ");
      return putWktRun(at, xy, runSize(g, 0));
    case Shape::Polygon:
      put(at, "POLYGON (");
      putWktRun(at, xy, runSize(g, 0));
      break;
    case Shape::MultiPoint:
      put(at, "MULTIPOINT (");
      eachRun(at, g, ", ", runs);
      break;
    case Shape::MultiLineString:
      put(at, "MULTILINESTRING (");
      eachRun(at, g, ", ", runs);
      break;
    case Shape::Collection:
      put(at, "GEOMETRYCOLLECTION (");
      eachRun(at, g, ", ", [&at](const double* run, uint32_t n) {
        put(at, n == 1 ? "POINT " : "LINESTRING ");
        putWktRun(at, run, n);
      });
      break;
  }
  *at++ = ')';
}

// ---- The fields ----

// A field's value in a record: text, an integer, or none (an empty CSV field, JSON null).
struct FieldValue {
  enum Kind : uint8_t { Text, Signed, Unsigned, Null } kind = Null;
  std::string_view text;
  int64_t number = 0;
  uint64_t unsignedNumber = 0;
};

FieldValue text(std::string_view value) {
  return {FieldValue::Text, value};
}
FieldValue integer(int64_t value) {
  return {FieldValue::Signed, {}, value};
}

// The fields of a record in the order both formats write them (the CSV's columns, the GeoJSON
// feature's properties), the geometry apart.
using List = const DuplicateRecords&;
using Record = const DuplicateRecord&;
struct ListField {
  std::string_view name;
  FieldValue (*value)(List list, Record r);
};

constexpr ListField kFields[] = {
    {"design_file", [](List l, Record r) { return text(textOf(l, r.designFile)); }},
    {"model", [](List l, Record r) { return text(textOf(l, r.model)); }},
    {"file_position", [](List, Record r) { return integer(r.filePosition); }},
    {"element_id",
     [](List, Record r) {
       return FieldValue{FieldValue::Unsigned, {}, 0, r.elementId};
     }},
    {"type", [](List, Record r) { return integer(r.type); }},
    {"type_name", [](List, Record r) { return text(typeNameOf(r.type)); }},
    {"level", [](List, Record r) { return integer(r.level); }},
    {"level_name", [](List l, Record r) { return text(textOf(l, r.levelName)); }},
    {"colour", [](List, Record r) { return integer(r.colour); }},
    {"weight", [](List, Record r) { return integer(r.weight); }},
    {"style", [](List l, Record r) { return text(textOf(l, r.style)); }},
    {"outcome", [](List, Record r) { return text(listOutcomeName(r.outcome)); }},
    {"reason", [](List, Record r) { return text(matchReasonName(r.reason)); }},
    {"partner_position",
     [](List, Record r) { return r.hasPartner ? integer(r.partnerPosition) : FieldValue{}; }},
    {"partner_type",
     [](List, Record r) { return r.hasPartner ? integer(r.partnerType) : FieldValue{}; }},
};
constexpr size_t kFieldCount = std::size(kFields);

// ---- GeoJSON ----

// The length of the well-formed UTF-8 sequence at text[i], 0 when the byte there does not
// begin one.
size_t utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  if (length == 0 || i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// A JSON string of the text: quotes, backslashes and control characters escaped, and each
// byte that is not part of well-formed UTF-8 written as U+FFFD. At most 6 bytes per byte + 2.
void putJsonString(char*& at, std::string_view text) {
  static const char* hex = "0123456789abcdef";
  // The bytes written as they are: printable ASCII but the quote and the backslash.
  static constexpr auto kPlain = [] {
    std::array<uint8_t, 256> plain{};
    for (int c = 0x20; c < 0x80; ++c) plain[c] = c != '"' && c != '\\';
    return plain;
  }();
  *at++ = '"';
  for (size_t i = 0; i < text.size(); ++i) {
    size_t end = i;
    while (end < text.size() && kPlain[static_cast<unsigned char>(text[end])]) ++end;
    put(at, text.substr(i, end - i));
    if (end == text.size()) break;
    i = end;
    const char c = text[i];
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80) {
      const size_t length = utf8Length(text, i);
      if (length == 0) {
        put(at, "\xEF\xBF\xBD");
        continue;
      }
      put(at, text.substr(i, length));
      i += length - 1;
    } else if (c == '"' || c == '\\') {
      *at++ = '\\';
      *at++ = c;
    } else {
      put(at, "\\u00");
      *at++ = hex[u >> 4];
      *at++ = hex[u & 15];
    }
  }
  *at++ = '"';
}

void putJsonRun(char*& at, const double* xy, uint32_t size, bool asPoint) {
  if (!asPoint) *at++ = '[';
  for (uint32_t i = 0; i < size; ++i) {
    if (i > 0) *at++ = ',';
    *at++ = '[';
    putNumber(at, xy[2 * i]);
    *at++ = ',';
    putNumber(at, xy[2 * i + 1]);
    *at++ = ']';
  }
  if (!asPoint) *at++ = ']';
}

void putJsonGeometry(char*& at, const ListGeometry& g) {
  const double* xy = g.xy.data();
  const auto lines = [&at](const double* run, uint32_t n) { putJsonRun(at, run, n, false); };
  const auto points = [&at](const double* run, uint32_t) { putJsonRun(at, run, 1, true); };
  switch (shapeOf(g)) {
    case Shape::Empty:
      return put(at, "null");
    case Shape::Point:
      put(at, R"({"type":"Point","coordinates":)");
      putJsonRun(at, xy, 1, true);
      break;
    case Shape::LineString:
      put(at, R"({"type":"LineString","coordinates":)");
      putJsonRun(at, xy, runSize(g, 0), false);
      break;
    case Shape::Polygon:
      put(at, R"({"type":"Polygon","coordinates":[)");
      putJsonRun(at, xy, runSize(g, 0), false);
      *at++ = ']';
      break;
    case Shape::MultiPoint:
      put(at, R"({"type":"MultiPoint","coordinates":[)");
      eachRun(at, g, ",", points);
      *at++ = ']';
      break;
    case Shape::MultiLineString:
      put(at, R"({"type":"MultiLineString","coordinates":[)");
      eachRun(at, g, ",", lines);
      *at++ = ']';
      break;
    case Shape::Collection:
      put(at, R"({"type":"GeometryCollection","geometries":[)");
      eachRun(at, g, ",", [&at](const double* run, uint32_t n) {
        put(at, n == 1 ? R"({"type":"Point","coordinates":)"
                       : R"({"type":"LineString","coordinates":)");
        putJsonRun(at, run, n, n == 1);
        *at++ = '}';
      });
      *at++ = ']';
      break;
  }
  *at++ = '}';
}

// A field's value: a text through `PutText`, a number as an integer, none as `none`.
template <void (*PutText)(char*&, std::string_view)>
void putFieldValue(char*& at, const FieldValue& v, std::string_view none) {
  switch (v.kind) {
    case FieldValue::Text:
      PutText(at, v.text);
      break;
    case FieldValue::Signed:
      putInteger(at, v.number);
      break;
    case FieldValue::Unsigned:
      putInteger(at, v.unsignedNumber);
      break;
    case FieldValue::Null:
      put(at, none);
      break;
  }
}

void putJsonFeature(char*& at, const ListGeometry& geometry, const FieldValue* values) {
  put(at, R"({"type":"Feature","properties":{)");
  for (size_t i = 0; i < kFieldCount; ++i) {
    if (i > 0) *at++ = ',';
    *at++ = '"';
    put(at, kFields[i].name);
    put(at, "\":");
    putFieldValue<putJsonString>(at, values[i], "null");
  }
  put(at, R"(},"geometry":)");
  putJsonGeometry(at, geometry);
  *at++ = '}';
}

// ---- CSV ----

// The header row: the names of the fields, then WKT.
const std::string& csvHeader() {
  static const std::string header = [] {
    std::string text;
    for (const ListField& field : kFields) (text += field.name) += ',';
    return text + "WKT\r\n";
  }();
  return header;
}

// A field quoted when it holds a comma, a quote or a line break (quotes doubled). At most 2
// bytes per byte + 2.
void putCsvField(char*& at, std::string_view text) {
  static constexpr auto kQuoted = [] {
    std::array<uint8_t, 256> quoted{};
    for (const unsigned char c : {',', '"', '\r', '\n'}) quoted[c] = 1;
    return quoted;
  }();
  unsigned quote = 0;
  for (const char c : text) quote |= kQuoted[static_cast<unsigned char>(c)];
  if (quote == 0) return put(at, text);
  *at++ = '"';
  for (const char c : text) {
    if (c == '"') *at++ = '"';
    *at++ = c;
  }
  *at++ = '"';
}

void putCsvRecord(char*& at, const ListGeometry& geometry, const FieldValue* values) {
  for (size_t i = 0; i < kFieldCount; ++i) {
    if (i > 0) *at++ = ',';
    putFieldValue<putCsvField>(at, values[i], "");
  }
  put(at, ",\"");  // WKT holds commas but never a quote or a line break
  putWkt(at, geometry);
  put(at, "\"\r\n");
}

// The record's field values into values[kFieldCount]; returns the most bytes the record takes
// in either format.
size_t fieldValuesOf(const DuplicateRecords& list, const DuplicateRecord& r, FieldValue* values) {
  size_t strings = 0;
  for (size_t i = 0; i < kFieldCount; ++i) {
    values[i] = kFields[i].value(list, r);
    strings += values[i].text.size();
  }
  return kRecordBytes + 6 * strings + geometryBound(geometryOf(list, r));
}

}  // namespace

const char* listOutcomeName(ListOutcome outcome) {
  switch (outcome) {
    case ListOutcome::Removed:
      return "removed";
    case ListOutcome::ReportedOnly:
      return "reported only";
    case ListOutcome::KeptByRule:
      return "kept by rule";
    case ListOutcome::KeptInReview:
      return "kept in review";
    case ListOutcome::NotDeleted:
      return "not deleted";
  }
  return "";
}

bool listFormatOf(const std::string& path, ListFormat* format) {
  if (endsWithIgnoringCase(path, ".csv")) {
    *format = ListFormat::Csv;
    return true;
  }
  if (endsWithIgnoringCase(path, ".geojson")) {
    *format = ListFormat::GeoJson;
    return true;
  }
  return false;
}

void appendGeometryWkt(std::string& out, const ListGeometry& geometry) {
  const size_t size = out.size();
  out.resize(size + geometryBound(geometry));
  char* at = out.data() + size;
  putWkt(at, geometry);
  out.resize(static_cast<size_t>(at - out.data()));
}

namespace {

// The records in list order (by entry, then file position; stable otherwise). The records stay
// where they are: only pointers are sorted.
std::vector<const DuplicateRecord*> listOrder(const DuplicateRecords& list) {
  std::vector<const DuplicateRecord*> order;
  order.reserve(list.records.size());
  for (const DuplicateRecord& r : list.records) order.push_back(&r);
  const auto before = [](const DuplicateRecord* a, const DuplicateRecord* b) {
    if (a->entryIndex != b->entryIndex) return a->entryIndex < b->entryIndex;
    return a->filePosition < b->filePosition;
  };
  if (!std::is_sorted(order.begin(), order.end(), before)) {
    std::stable_sort(order.begin(), order.end(), before);
  }
  return order;
}

// Hands the list's text to `put` in pieces of about kPieceBytes, so that a long list never
// stands in memory whole. Stops at the first piece `put` refuses; false then.
constexpr size_t kPieceBytes = 1 << 20;

template <class Put>
bool produceList(const DuplicateRecords& list, ListFormat format, Put&& hand) {
  const std::vector<const DuplicateRecord*> order = listOrder(list);
  size_t capacity = kPieceBytes + 64 * 1024;
  auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
  char* at = buffer.get();
  // Room for `bound` more bytes at `at`: what is written goes out first when they do not fit.
  const auto room = [&](size_t bound) {
    const auto used = static_cast<size_t>(at - buffer.get());
    if (used + bound <= capacity) return true;
    if (used > 0 && !hand(std::string_view(buffer.get(), used))) return false;
    if (bound > capacity) {
      capacity = bound;
      buffer = std::make_unique_for_overwrite<char[]>(capacity);
    }
    at = buffer.get();
    return true;
  };
  const bool csv = format == ListFormat::Csv;
  put(at, csv ? std::string_view(csvHeader()) : R"({"type":"FeatureCollection","features":[)");
  FieldValue values[kFieldCount];
  for (size_t i = 0; i < order.size(); ++i) {
    if (!room(fieldValuesOf(list, *order[i], values))) return false;
    const ListGeometry geometry = geometryOf(list, *order[i]);
    if (csv) {
      putCsvRecord(at, geometry, values);
    } else {
      put(at, i == 0 ? "\n" : ",\n");
      putJsonFeature(at, geometry, values);
    }
    if (static_cast<size_t>(at - buffer.get()) >= kPieceBytes) {
      if (!hand(std::string_view(buffer.get(), static_cast<size_t>(at - buffer.get())))) {
        return false;
      }
      at = buffer.get();
    }
  }
  if (!csv) put(at, "\n]}\n");
  return hand(std::string_view(buffer.get(), static_cast<size_t>(at - buffer.get())));
}

}  // namespace

int writeDuplicatesList(const std::string& path, const DuplicateRecords& records,
                        std::string* error) {
  ListFormat format;
  if (!listFormatOf(path, &format)) {
    *error = path + ": a duplicates list is a .csv or a .geojson file";
    return ERROR;
  }
  StreamedFile file;
  if (beginStreamedFile(file, path, error) != SUCCESS) return ERROR;
  const bool written = produceList(records, format, [&](std::string_view piece) {
    return appendToStreamedFile(file, bytesOf(piece), error) == SUCCESS;
  });
  if (!written) return ERROR;  // the file was abandoned
  return finishStreamedFile(file, Durability::NotSynced, error);
}

}  // namespace kelvara
