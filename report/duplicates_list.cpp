// Writing the duplicates list: CSV with WKT geometry, or a GeoJSON FeatureCollection.
#include "report/duplicates_list.h"

#include <algorithm>
#include <charconv>

#include "host/files.h"
#include "report/description.h"

namespace kelvara {

namespace {

// Shortest text that reads back as the same double, locale-free.
void appendNumber(std::string& out, double value) {
  char digits[32];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

template <class Integer>
void appendInteger(std::string& out, Integer value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
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
  const std::vector<uint32_t>& runs = g.runSizes;
  const bool allPoints = std::all_of(runs.begin(), runs.end(), [](uint32_t n) { return n == 1; });
  const bool noPoints = std::none_of(runs.begin(), runs.end(), [](uint32_t n) { return n == 1; });
  return allPoints ? Shape::MultiPoint : noPoints ? Shape::MultiLineString : Shape::Collection;
}

// ---- WKT ----

void appendWktRun(std::string& out, const double* xy, uint32_t size) {
  out += '(';
  for (uint32_t i = 0; i < size; ++i) {
    if (i > 0) out += ", ";
    appendNumber(out, xy[2 * i]);
    out += ' ';
    appendNumber(out, xy[2 * i + 1]);
  }
  out += ')';
}

// ---- GeoJSON ----

void appendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      static const char* hex = "0123456789abcdef";
      out += "\\u00";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  out += '"';
}

void appendJsonRun(std::string& out, const double* xy, uint32_t size, bool asPoint) {
  if (!asPoint) out += '[';
  for (uint32_t i = 0; i < size; ++i) {
    if (i > 0) out += ',';
    out += '[';
    appendNumber(out, xy[2 * i]);
    out += ',';
    appendNumber(out, xy[2 * i + 1]);
    out += ']';
  }
  if (!asPoint) out += ']';
}

void appendJsonGeometry(std::string& out, const ListGeometry& g) {
  const Shape shape = shapeOf(g);
  if (shape == Shape::Empty) {
    out += "null";
    return;
  }
  const double* xy = g.xy.data();
  auto eachRun = [&](auto&& body) {
    size_t at = 0;
    for (size_t r = 0; r < runCount(g); ++r) {
      if (r > 0) out += ',';
      body(xy + 2 * at, runSize(g, r));
      at += runSize(g, r);
    }
  };
  switch (shape) {
    case Shape::Point:
      out += R"({"type":"Point","coordinates":)";
      appendJsonRun(out, xy, 1, true);
      break;
    case Shape::LineString:
      out += R"({"type":"LineString","coordinates":)";
      appendJsonRun(out, xy, runSize(g, 0), false);
      break;
    case Shape::Polygon:
      out += R"({"type":"Polygon","coordinates":[)";
      appendJsonRun(out, xy, runSize(g, 0), false);
      out += ']';
      break;
    case Shape::MultiPoint:
      out += R"({"type":"MultiPoint","coordinates":[)";
      eachRun([&](const double* run, uint32_t) { appendJsonRun(out, run, 1, true); });
      out += ']';
      break;
    case Shape::MultiLineString:
      out += R"({"type":"MultiLineString","coordinates":[)";
      eachRun([&](const double* run, uint32_t n) { appendJsonRun(out, run, n, false); });
      out += ']';
      break;
    case Shape::Collection:
      out += R"({"type":"GeometryCollection","geometries":[)";
      eachRun([&](const double* run, uint32_t n) {
        out +=
            n == 1 ? R"({"type":"Point","coordinates":)" : R"({"type":"LineString","coordinates":)";
        appendJsonRun(out, run, n, n == 1);
        out += '}';
      });
      out += ']';
      break;
    case Shape::Empty:
      break;
  }
  out += '}';
}

// ---- CSV ----

constexpr const char* kCsvHeader =
    "design_file,model,file_position,element_id,type,type_name,level,level_name,colour,weight,"
    "style,outcome,reason,partner_position,partner_type,WKT\r\n";

// A field quoted when it holds a comma, a quote or a line break (quotes doubled).
void appendCsvField(std::string& out, const std::string& text) {
  const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
    return c == ',' || c == '"' || c == '\r' || c == '\n';
  });
  if (plain) {
    out += text;
    return;
  }
  out += '"';
  size_t from = 0;
  for (size_t quote = text.find('"'); quote != std::string::npos; quote = text.find('"', from)) {
    out.append(text, from, quote + 1 - from);
    out += '"';
    from = quote + 1;
  }
  out.append(text, from, std::string::npos);
  out += '"';
}

void appendCsvRecord(std::string& out, const DuplicateRecord& r) {
  appendCsvField(out, r.designFile);
  out += ',';
  appendCsvField(out, r.model);
  out += ',';
  appendInteger(out, r.filePosition);
  out += ',';
  appendInteger(out, r.elementId);
  out += ',';
  appendInteger(out, r.type);
  out += ',';
  appendCsvField(out, typeNameOf(r.type));
  out += ',';
  appendInteger(out, r.level);
  out += ',';
  appendCsvField(out, r.levelName);
  out += ',';
  appendInteger(out, r.colour);
  out += ',';
  appendInteger(out, r.weight);
  out += ',';
  appendCsvField(out, r.style);
  out += ',';
  out += listOutcomeName(r.outcome);
  out += ',';
  out += matchReasonName(r.reason);
  out += ',';
  if (r.hasPartner) appendInteger(out, r.partnerPosition);
  out += ',';
  if (r.hasPartner) appendInteger(out, r.partnerType);
  out += ",\"";  // WKT holds commas but never a quote or a line break
  appendGeometryWkt(out, r.geometry);
  out += "\"\r\n";
}

void appendJsonFeature(std::string& out, const DuplicateRecord& r) {
  out += R"({"type":"Feature","properties":{"design_file":)";
  appendJsonString(out, r.designFile);
  out += R"(,"model":)";
  appendJsonString(out, r.model);
  out += R"(,"file_position":)";
  appendInteger(out, r.filePosition);
  out += R"(,"element_id":)";
  appendInteger(out, r.elementId);
  out += R"(,"type":)";
  appendInteger(out, r.type);
  out += R"(,"type_name":)";
  appendJsonString(out, typeNameOf(r.type));
  out += R"(,"level":)";
  appendInteger(out, r.level);
  out += R"(,"level_name":)";
  appendJsonString(out, r.levelName);
  out += R"(,"colour":)";
  appendInteger(out, r.colour);
  out += R"(,"weight":)";
  appendInteger(out, r.weight);
  out += R"(,"style":)";
  appendJsonString(out, r.style);
  out += R"(,"outcome":)";
  appendJsonString(out, listOutcomeName(r.outcome));
  out += R"(,"reason":)";
  appendJsonString(out, matchReasonName(r.reason));
  out += R"(,"partner_position":)";
  r.hasPartner ? appendInteger(out, r.partnerPosition) : void(out += "null");
  out += R"(,"partner_type":)";
  r.hasPartner ? appendInteger(out, r.partnerType) : void(out += "null");
  out += R"(},"geometry":)";
  appendJsonGeometry(out, r.geometry);
  out += '}';
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

void appendGeometryWkt(std::string& out, const ListGeometry& g) {
  const Shape shape = shapeOf(g);
  const double* xy = g.xy.data();
  auto eachRun = [&](auto&& body) {
    size_t at = 0;
    for (size_t r = 0; r < runCount(g); ++r) {
      if (r > 0) out += ", ";
      body(xy + 2 * at, runSize(g, r));
      at += runSize(g, r);
    }
  };
  switch (shape) {
    case Shape::Empty:
      out += "GEOMETRYCOLLECTION EMPTY";
      return;
    case Shape::Point:
      out += "POINT ";
      appendWktRun(out, xy, 1);
      return;
    case Shape::LineString:
      out += "LINESTRING ";
      appendWktRun(out, xy, runSize(g, 0));
      return;
    case Shape::Polygon:
      out += "POLYGON (";
      appendWktRun(out, xy, runSize(g, 0));
      out += ')';
      return;
    case Shape::MultiPoint:
      out += "MULTIPOINT (";
      break;
    case Shape::MultiLineString:
      out += "MULTILINESTRING (";
      break;
    case Shape::Collection:
      out += "GEOMETRYCOLLECTION (";
      eachRun([&](const double* run, uint32_t n) {
        out += n == 1 ? "POINT " : "LINESTRING ";
        appendWktRun(out, run, n);
      });
      out += ')';
      return;
  }
  eachRun([&](const double* run, uint32_t n) { appendWktRun(out, run, n); });
  out += ')';
}

namespace {

// The records in list order (by entry, then file position; stable otherwise). The records stay
// where they are: only pointers are sorted.
std::vector<const DuplicateRecord*> listOrder(const DuplicateRecords& records) {
  std::vector<const DuplicateRecord*> order;
  order.reserve(records.size());
  for (const DuplicateRecord& r : records) order.push_back(&r);
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
bool produceList(const DuplicateRecords& records, ListFormat format, Put&& put) {
  const std::vector<const DuplicateRecord*> order = listOrder(records);
  std::string piece;
  piece.reserve(kPieceBytes + 4096);
  const bool csv = format == ListFormat::Csv;
  piece = csv ? kCsvHeader : "{\"type\":\"FeatureCollection\",\"features\":[";
  for (size_t i = 0; i < order.size(); ++i) {
    if (csv) {
      appendCsvRecord(piece, *order[i]);
    } else {
      piece += i == 0 ? "\n" : ",\n";
      appendJsonFeature(piece, *order[i]);
    }
    if (piece.size() >= kPieceBytes) {
      if (!put(piece)) return false;
      piece.clear();
    }
  }
  if (!csv) piece += "\n]}\n";
  return put(piece);
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
  const bool written = produceList(records, format, [&](const std::string& piece) {
    return appendToStreamedFile(file, bytesOf(piece), error) == SUCCESS;
  });
  if (!written) return ERROR;  // the file was abandoned
  return finishStreamedFile(file, Durability::NotSynced, error);
}

}  // namespace kelvara
