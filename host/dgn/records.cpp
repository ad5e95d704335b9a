// Decoders from DGN V7 element bytes to plain records.
#include "host/dgn/records.h"

#include <cmath>
#include <numbers>

namespace kelvara::dgn {

namespace {

constexpr double kPi = std::numbers::pi;

// Bounds-checked reader over one element: every read first checks that the field fits.
struct Reader {
  Bytes e;
  std::string* why;
  bool ok = true;

  bool need(size_t offset, size_t bytes, const char* what) {
    if (ok && offset + bytes <= e.size()) [[likely]]
      return true;
    return refuse(offset, what);
  }
  [[gnu::noinline]] bool refuse(size_t offset, const char* what) {
    if (ok && why)
      *why = "element of " + std::to_string(e.size()) + " bytes is too short for its " + what +
             " at byte " + std::to_string(offset);
    ok = false;
    return false;
  }
  int32_t i32(size_t o, const char* what) { return need(o, 4, what) ? readInt32(e.data() + o) : 0; }
  uint16_t u16(size_t o, const char* what) { return need(o, 2, what) ? readU16(e.data() + o) : 0; }
  uint8_t u8(size_t o, const char* what) { return need(o, 1, what) ? e[o] : 0; }
  double vax(size_t o, const char* what) { return need(o, 8, what) ? readVaxD(e.data() + o) : 0; }
  DPoint3d ipoint(size_t o, bool is3d, const char* what) {
    DPoint3d p;
    if (!need(o, is3d ? 12 : 8, what)) return p;
    p.x = readInt32(e.data() + o);
    p.y = readInt32(e.data() + o + 4);
    if (is3d) p.z = readInt32(e.data() + o + 8);
    return p;
  }
  DPoint3d dpoint(size_t o, bool is3d, const char* what) {
    DPoint3d p;
    if (!need(o, is3d ? 24 : 16, what)) return p;
    p.x = readVaxD(e.data() + o);
    p.y = readVaxD(e.data() + o + 8);
    if (is3d) p.z = readVaxD(e.data() + o + 16);
    return p;
  }
  RotMatrix quaternion(size_t o, const char* what) {
    double q[4] = {1, 0, 0, 0};
    if (need(o, 16, what))
      for (int i = 0; i < 4; ++i) q[i] = readInt32(e.data() + o + 4 * i);
    return quaternionToMatrix(q);
  }
};

double angleFromStored(int32_t v) {
  return v / ANGLE_UNITS_PER_DEGREE * kPi / 180.0;
}

double zAngle(const RotMatrix& m) {
  return std::atan2(m.m[1][0], m.m[0][0]);
}

// Reads `n` characters (stopping at NUL) at o.
std::string chars(Reader& r, size_t o, size_t n, const char* what) {
  if (!r.need(o, n, what)) return {};
  std::string s;
  for (size_t i = 0; i < n && r.e[o + i] != 0; ++i) s += static_cast<char>(r.e[o + i]);
  return s;
}

// NUL-terminated string at *o inside [*o, end); advances past the NUL.
bool cString(Bytes e, size_t* o, size_t end, std::string* out) {
  out->clear();
  while (*o < end && e[*o] != 0) out->push_back(static_cast<char>(e[(*o)++]));
  if (*o >= end) return false;
  ++*o;
  return true;
}

bool decodeComplex(Reader& r, ComplexRecord& out) {
  out.totalLength = r.u16(36, "total length");
  out.numElements = r.u16(38, "element count");
  return r.ok;
}

bool decodeSurface(Reader& r, SurfaceRecord& out) {
  out.totalLength = r.u16(36, "total length");
  out.numElements = r.u16(38, "element count");
  out.surfaceType = r.u8(40, "surface type");
  out.boundaryElements = r.u8(41, "boundary count") + 1;
  return r.ok;
}

bool decodeCone(Reader& r, ConeRecord& out) {
  const uint16_t kind = r.u16(36, "cone type");
  out.coneType = kind & 7;
  out.isSurface = (kind & 0x8000) != 0;
  out.rotMatrix = r.quaternion(38, "cone orientation");
  out.centre1 = r.dpoint(54, true, "first centre");
  out.radius1 = r.vax(78, "first radius");
  out.centre2 = r.dpoint(86, true, "second centre");
  out.radius2 = r.vax(110, "second radius");
  return r.ok;
}

bool decodeBsplineCurve(Reader& r, BsplineCurveRecord& out) {
  out.descriptionWords = r.i32(36, "description length");
  const uint8_t flags = r.u8(40, "curve flags");
  out.order = (flags & 0x0F) + 2;
  out.showCurve = flags & 0x10;
  out.showPolygon = flags & 0x20;
  out.rational = flags & 0x40;
  out.closed = flags & 0x80;
  out.curveType = r.u8(41, "curve type");
  out.numPoles = r.u16(42, "pole count");
  out.numKnots = r.u16(44, "knot count");
  return r.ok;
}

bool decodeBsplineSurface(Reader& r, BsplineSurfaceRecord& out) {
  out.descriptionWords = r.i32(36, "description length");
  const uint8_t uFlags = r.u8(40, "U flags");
  out.uOrder = (uFlags & 0x0F) + 2;
  out.rational = uFlags & 0x40;
  out.uClosed = uFlags & 0x80;
  out.surfaceType = r.u8(41, "surface type");
  out.uPoles = r.u16(42, "U poles");
  out.uKnots = r.u16(44, "U knots");
  out.uRules = r.u16(46, "U rules");
  const uint8_t vFlags = r.u8(48, "V flags");
  out.vOrder = (vFlags & 0x0F) + 2;
  out.arcSpacing = vFlags & 0x40;
  out.vClosed = vFlags & 0x80;
  out.vPoles = r.u16(50, "V poles");
  out.vKnots = r.u16(52, "V knots");
  out.vRules = r.u16(54, "V rules");
  out.numBoundaries = r.u16(56, "boundary count");
  return r.ok;
}

bool decodeBoundary(Reader& r, BoundaryRecord& out) {
  out.number = r.u16(36, "boundary number");
  const int n = r.u16(38, "vertex count");
  if (!r.need(40, size_t(n) * 8, "boundary vertices")) return false;
  out.uv.resize(n);
  for (int i = 0; i < n; ++i) {
    out.uv[i].x = readInt32(r.e.data() + 40 + 8 * i) / UNIT_SCALE_ONE;
    out.uv[i].y = readInt32(r.e.data() + 44 + 8 * i) / UNIT_SCALE_ONE;
  }
  return true;
}

bool decodeScalars(Reader& r, ScalarsRecord& out) {
  const size_t end = linkageStart(r.e);
  if (!r.need(36, 0, "values")) return false;
  for (size_t o = 36; o + 4 <= end; o += 4)
    out.values.push_back(readInt32(r.e.data() + o) / UNIT_SCALE_ONE);
  return true;
}

bool decodeTagValue(Reader& r, TagValueRecord& out) {
  if (!r.need(36, 118, "tag header")) return false;
  const uint8_t* p = r.e.data();
  out.target = readU32LE(p + 36);
  out.version = readU16(p + 40);
  out.flags = readU16(p + 42);
  out.tagSetId = readU32LE(p + 68);
  out.tagIndex = readU16(p + 72);
  out.valueType = readU16(p + 74);
  const size_t end = linkageStart(r.e);
  switch (out.valueType) {
    case 1: {
      size_t o = 154;
      if (o > end) return r.need(154, end + 1, "tag string");
      if (!cString(r.e, &o, end, &out.text) && r.why) *r.why = "tag string has no end";
      return true;  // an unterminated string keeps what the element holds
    }
    case 3:
      if (!r.need(154, 4, "tag integer")) return false;
      out.integer = static_cast<int32_t>(readU32LE(p + 154));
      return true;
    case 4:
      out.real = r.vax(154, "tag value");
      return r.ok;
    case 5: {
      const size_t n = r.need(150, 2, "tag data size") ? readU16(p + 150) : 0;
      if (!r.need(154, n, "tag binary value")) return false;
      out.binary.assign(p + 154, p + 154 + n);
      return true;
    }
    default:
      return true;
  }
}

bool decodeTagSet(Reader& r, TagSetRecord& out) {
  if (!r.need(36, 14, "tag set header")) return false;
  const size_t end = linkageStart(r.e);
  for (const Linkage& l : linkages(r.e))
    if (!l.dmrs && l.id == LINKAGE_ID_ASSOCIATION && l.size >= 6)
      out.setNumber = readU16(r.e.data() + l.offset + 4);
  const int count = readU16(r.e.data() + 44);
  size_t o = 48;
  if (!cString(r.e, &o, end, &out.name)) return r.need(end + 1, 0, "tag set name");
  ++o;  // one extra zero byte after the set name
  for (int i = 0; i < count; ++i) {
    TagDefinition t;
    if (!cString(r.e, &o, end, &t.name) || o + 2 > end) return r.need(end + 1, 0, "tag name");
    t.id = readU16(r.e.data() + o);
    o += 2;
    if (!cString(r.e, &o, end, &t.prompt) || o + 7 > end) return r.need(end + 1, 0, "tag prompt");
    t.type = readU16(r.e.data() + o);
    o += 7;
    if (t.type == 1) {
      if (!cString(r.e, &o, end, &t.defaultText)) return r.need(end + 1, 0, "tag default");
    } else if (t.type == 3) {
      if (o + 4 > end) return r.need(end + 1, 0, "tag default");
      t.defaultInteger = static_cast<int32_t>(readU32LE(r.e.data() + o));
      o += 4;
    } else if (t.type == 4) {
      if (o + 8 > end) return r.need(end + 1, 0, "tag default");
      t.defaultReal = readVaxD(r.e.data() + o);
      o += 8;
    }
    out.tags.push_back(std::move(t));
  }
  return true;
}

bool decodeColourTable(Reader& r, ColourTableRecord& out) {
  if (!r.need(38, 768, "colour table")) return false;
  out.screen = readU16(r.e.data() + 36);
  out.rgb.assign(256, {});
  const uint8_t* p = r.e.data() + 38;
  for (int c = 0; c < 3; ++c) out.rgb[255][c] = p[c];
  for (int i = 0; i < 255; ++i)
    for (int c = 0; c < 3; ++c) out.rgb[i][c] = p[3 + 3 * i + c];
  return true;
}

RawRecord rawRecord(Bytes e) {
  RawRecord raw;
  const size_t start = hasDisplayHeader(typeOf(e.data())) ? HEADER_BYTES : RANGE_END;
  const size_t end = linkageStart(e);
  if (end > start) raw.body.assign(e.begin() + start, e.begin() + end);
  if (typeOf(e.data()) == 34 && e.size() >= 38) raw.totalLength = readU16(e.data() + 36);
  return raw;
}

template <class R, class F>
bool decodeInto(Reader& r, ElementRecord& out, F f) {
  R rec;
  if (!f(r, rec)) return false;
  out = std::move(rec);
  return true;
}

}  // namespace

RotMatrix quaternionToMatrix(const double q[4]) {
  const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  RotMatrix m;
  if (n == 0) return m;
  const double w = q[0] / n, x = q[1] / n, y = q[2] / n, z = q[3] / n;
  // The stored quaternion is that of the inverse rotation: the matrix is the transpose of the
  // usual one, so that (cos(-a/2), 0, 0, sin(-a/2)) reads as a rotation by +a about z.
  m.m[0][0] = 1 - 2 * (y * y + z * z);
  m.m[1][0] = 2 * (x * y - w * z);
  m.m[2][0] = 2 * (x * z + w * y);
  m.m[0][1] = 2 * (x * y + w * z);
  m.m[1][1] = 1 - 2 * (x * x + z * z);
  m.m[2][1] = 2 * (y * z - w * x);
  m.m[0][2] = 2 * (x * z - w * y);
  m.m[1][2] = 2 * (y * z + w * x);
  m.m[2][2] = 1 - 2 * (x * x + y * y);
  return m;
}

void matrixToQuaternion(const RotMatrix& rot, double q[4]) {
  // Quaternion of the transpose (see quaternionToMatrix), scaled to 2^31 - 1.
  double a[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) a[i][j] = rot.m[j][i];
  double w, x, y, z;
  const double tr = a[0][0] + a[1][1] + a[2][2];
  if (tr > 0) {
    const double s = std::sqrt(tr + 1.0) * 2;
    w = 0.25 * s;
    x = (a[2][1] - a[1][2]) / s;
    y = (a[0][2] - a[2][0]) / s;
    z = (a[1][0] - a[0][1]) / s;
  } else if (a[0][0] > a[1][1] && a[0][0] > a[2][2]) {
    const double s = std::sqrt(1.0 + a[0][0] - a[1][1] - a[2][2]) * 2;
    w = (a[2][1] - a[1][2]) / s;
    x = 0.25 * s;
    y = (a[0][1] + a[1][0]) / s;
    z = (a[0][2] + a[2][0]) / s;
  } else if (a[1][1] > a[2][2]) {
    const double s = std::sqrt(1.0 + a[1][1] - a[0][0] - a[2][2]) * 2;
    w = (a[0][2] - a[2][0]) / s;
    x = (a[0][1] + a[1][0]) / s;
    y = 0.25 * s;
    z = (a[1][2] + a[2][1]) / s;
  } else {
    const double s = std::sqrt(1.0 + a[2][2] - a[0][0] - a[1][1]) * 2;
    w = (a[1][0] - a[0][1]) / s;
    x = (a[0][2] + a[2][0]) / s;
    y = (a[1][2] + a[2][1]) / s;
    z = 0.25 * s;
  }
  q[0] = w * UNIT_SCALE_ONE;
  q[1] = x * UNIT_SCALE_ONE;
  q[2] = y * UNIT_SCALE_ONE;
  q[3] = z * UNIT_SCALE_ONE;
}

RotMatrix rotationAboutZ(double a) {
  RotMatrix m;
  m.m[0][0] = std::cos(a);
  m.m[0][1] = -std::sin(a);
  m.m[1][0] = std::sin(a);
  m.m[1][1] = std::cos(a);
  return m;
}

bool decodeLinear(Bytes e, bool is3d, LinearRecord& out, std::string* why) {
  Reader r{e, why};
  const size_t step = is3d ? 12 : 8;
  if (e.size() >= 2 && typeOf(e.data()) == 3) {
    out.points = {r.ipoint(36, is3d, "start point"), r.ipoint(36 + step, is3d, "end point")};
    return r.ok;
  }
  const int n = r.u16(36, "vertex count");
  if (!r.need(38, n * step, "vertices")) return false;
  out.points.resize(n);
  for (int i = 0; i < n; ++i) out.points[i] = r.ipoint(38 + i * step, is3d, "vertex");
  return r.ok;
}

bool decodeArc(Bytes e, bool is3d, ArcRecord& out, std::string* why) {
  Reader r{e, why};
  out.isEllipse = e.size() >= 2 && typeOf(e.data()) == 15;
  size_t o = 36;
  if (!out.isEllipse) {
    out.start = angleFromStored(r.i32(36, "start angle"));
    const uint32_t sweep = static_cast<uint32_t>(r.i32(40, "sweep"));
    const uint32_t mag = sweep & 0x7FFFFFFFu;
    const double deg = mag == 0 ? 360.0 : mag / ANGLE_UNITS_PER_DEGREE;
    out.sweep = (sweep & 0x80000000u ? -deg : deg) * kPi / 180.0;
    o = 44;
  } else {
    out.sweep = 2 * kPi;
  }
  out.primary = r.vax(o, "primary axis");
  out.secondary = r.vax(o + 8, "secondary axis");
  if (is3d) {
    out.rotMatrix = r.quaternion(o + 16, "orientation");
    out.rotation = zAngle(out.rotMatrix);
    out.centre = r.dpoint(o + 32, true, "centre");
  } else {
    out.rotation = angleFromStored(r.i32(o + 16, "rotation"));
    out.rotMatrix = rotationAboutZ(out.rotation);
    out.centre = r.dpoint(o + 20, false, "centre");
  }
  return r.ok;
}

bool decodeCell(Bytes e, bool is3d, CellRecord& out, std::string* why) {
  Reader r{e, why};
  out.totalLength = r.u16(36, "total length");
  if (r.need(38, 4, "name")) out.name = radix50DecodeName(e.data() + 38, 2);
  out.classMap = r.u16(42, "class map");
  for (int w = 0; w < 4; ++w) out.levels |= uint64_t(r.u16(44 + 2 * w, "level mask")) << (16 * w);
  if (is3d) {
    out.rangeLow = r.ipoint(52, true, "range low");
    out.rangeHigh = r.ipoint(64, true, "range high");
    for (int i = 0; i < 9; ++i)
      out.transform.m[i / 3][i % 3] = r.i32(76 + 4 * i, "transform") / CELL_MATRIX_ONE;
    out.origin = r.ipoint(112, true, "origin");
  } else {
    out.rangeLow = r.ipoint(52, false, "range low");
    out.rangeHigh = r.ipoint(60, false, "range high");
    for (int i = 0; i < 4; ++i)
      out.transform.m[i / 2][i % 2] = r.i32(68 + 4 * i, "transform") / CELL_MATRIX_ONE;
    out.origin = r.ipoint(84, false, "origin");
  }
  return r.ok;
}

bool decodeText(Bytes e, bool is3d, TextRecord& out, std::string* why) {
  Reader r{e, why};
  out.font = r.u8(36, "font");
  out.justification = r.u8(37, "justification");
  out.lengthMult = r.i32(38, "length multiplier");
  out.heightMult = r.i32(42, "height multiplier");
  out.width = out.lengthMult * TEXT_SIZE_FACTOR;
  out.height = out.heightMult * TEXT_SIZE_FACTOR;
  size_t o;
  if (is3d) {
    out.rotMatrix = r.quaternion(46, "orientation");
    out.rotation = zAngle(out.rotMatrix);
    out.origin = r.ipoint(62, true, "origin");
    o = 74;
  } else {
    out.rotation = angleFromStored(r.i32(46, "rotation"));
    out.rotMatrix = rotationAboutZ(out.rotation);
    out.origin = r.ipoint(50, false, "origin");
    o = 58;
  }
  const size_t n = r.u8(o, "character count");
  const size_t fields = r.u8(o + 1, "enter-data field count");
  if (!r.need(o + 2, n, "characters")) return false;
  out.chars.assign(reinterpret_cast<const char*>(e.data() + o + 2), n);
  out.wideChars = n >= 2 && e[o + 2] == 0xFF && e[o + 3] == 0xFD;
  const size_t f = o + 2 + n;
  if (!r.need(f, fields * 3, "enter-data fields")) return false;
  for (size_t i = 0; i < fields; ++i)
    out.fields.push_back({e[f + 3 * i], e[f + 3 * i + 1], static_cast<int8_t>(e[f + 3 * i + 2])});
  return true;
}

bool decodeTextNode(Bytes e, bool is3d, TextNodeRecord& out, std::string* why) {
  Reader r{e, why};
  out.totalWords = r.u16(36, "total length");
  out.numStrings = r.u16(38, "string count");
  out.nodeNumber = r.u16(40, "node number");
  out.maxLength = r.u8(42, "maximum length");
  out.maxUsed = r.u8(43, "maximum used");
  out.font = r.u8(44, "font");
  out.justification = r.u8(45, "justification");
  out.lineSpacing = r.i32(46, "line spacing");
  out.lengthMult = r.i32(50, "length multiplier");
  out.heightMult = r.i32(54, "height multiplier");
  out.width = out.lengthMult * TEXT_SIZE_FACTOR;
  out.height = out.heightMult * TEXT_SIZE_FACTOR;
  if (is3d) {
    out.rotMatrix = r.quaternion(58, "orientation");
    out.rotation = zAngle(out.rotMatrix);
    out.origin = r.ipoint(74, true, "origin");
  } else {
    out.rotation = angleFromStored(r.i32(58, "rotation"));
    out.rotMatrix = rotationAboutZ(out.rotation);
    out.origin = r.ipoint(62, false, "origin");
  }
  return r.ok;
}

bool decodeTcb(Bytes e, TcbRecord& out, std::string* why) {
  Reader r{e, why};
  if (!r.need(0, 1264, "design file header")) return false;
  const uint8_t* p = e.data();
  out.subPerMaster = readInt32(p + 1112);
  out.uorPerSub = readInt32(p + 1116);
  out.masterName = chars(r, 1120, 2, "unit name");
  out.subName = chars(r, 1122, 2, "unit name");
  out.globalOrigin = r.dpoint(1240, true, "global origin");
  out.is3d = (p[1214] & 0x40) != 0;
  return r.ok;
}

bool decodeReference(Bytes e, ReferenceRecord& out, std::string* why) {
  Reader r{e, why};
  const size_t len = r.u8(36, "file name length");
  out.fileSpec = chars(r, 38, std::min<size_t>(len, 65), "file name");
  out.fileNumber = r.u8(103, "file number");
  out.builderOptions = r.u16(104, "options");
  out.displayOptions = r.u16(106, "display options");
  if (e.size() >= 316) {
    out.logicalName = chars(r, 294, std::min<size_t>(r.u8(292, "logical name"), 22), "name");
  }
  if (e.size() >= 360) {
    out.description = chars(r, 318, std::min<size_t>(r.u8(316, "description"), 42), "text");
  }
  return r.ok;
}

bool decodeRecord(Bytes e, bool is3d, ElementRecord& out, std::string* why) {
  out = std::monostate{};
  if (e.size() < 4) {
    if (why) *why = "element shorter than its 4-byte header";
    return false;
  }
  Reader r{e, why};
  const int type = typeOf(e.data());
  const int level = levelOf(e.data());
  auto linear = [&](Reader& rr, LinearRecord& rec) { return decodeLinear(rr.e, is3d, rec, why); };
  switch (type) {
    case 3:
    case 4:
    case 6:
    case 11:
    case 21:
    case 22:
      return decodeInto<LinearRecord>(r, out, linear);
    case 15:
    case 16:
      return decodeInto<ArcRecord>(
          r, out, [&](Reader& rr, ArcRecord& rec) { return decodeArc(rr.e, is3d, rec, why); });
    case 2:
      return decodeInto<CellRecord>(
          r, out, [&](Reader& rr, CellRecord& rec) { return decodeCell(rr.e, is3d, rec, why); });
    case 17:
      return decodeInto<TextRecord>(
          r, out, [&](Reader& rr, TextRecord& rec) { return decodeText(rr.e, is3d, rec, why); });
    case 7:
      return decodeInto<TextNodeRecord>(r, out, [&](Reader& rr, TextNodeRecord& rec) {
        return decodeTextNode(rr.e, is3d, rec, why);
      });
    case 12:
    case 14:
      return decodeInto<ComplexRecord>(r, out, decodeComplex);
    case 18:
    case 19:
      return decodeInto<SurfaceRecord>(r, out, decodeSurface);
    case 23:
      if (!is3d) break;
      return decodeInto<ConeRecord>(r, out, decodeCone);
    case 27:
      return decodeInto<BsplineCurveRecord>(r, out, decodeBsplineCurve);
    case 24:
      return decodeInto<BsplineSurfaceRecord>(r, out, decodeBsplineSurface);
    case 25:
      return decodeInto<BoundaryRecord>(r, out, decodeBoundary);
    case 26:
    case 28:
      return decodeInto<ScalarsRecord>(r, out, decodeScalars);
    case 37:
      return decodeInto<TagValueRecord>(r, out, decodeTagValue);
    case 9:
      return decodeInto<TcbRecord>(
          r, out, [&](Reader& rr, TcbRecord& rec) { return decodeTcb(rr.e, rec, why); });
    case 5:
      if (level == 1) return decodeInto<ColourTableRecord>(r, out, decodeColourTable);
      if (level == 9)
        return decodeInto<ReferenceRecord>(r, out, [&](Reader& rr, ReferenceRecord& rec) {
          return decodeReference(rr.e, rec, why);
        });
      break;
    case 66:
      if (level == 24) return decodeInto<TagSetRecord>(r, out, decodeTagSet);
      if (level == 5)
        return decodeInto<ReferenceRecord>(r, out, [&](Reader& rr, ReferenceRecord& rec) {
          return decodeReference(rr.e, rec, why);
        });
      break;
    default:
      break;
  }
  out = rawRecord(e);
  return true;
}

}  // namespace kelvara::dgn
