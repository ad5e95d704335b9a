// Byte builders for DGN V7 test drawings (layouts as documented for the format).
#include "dgn_builder.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>

#include "host/dgn/codec.h"

namespace kelvara::test {

namespace {

using dgn::writeInt32;
using dgn::writeU16;
using dgn::writeVaxD;

constexpr double kDeg = std::numbers::pi / 180.0;

int32_t i32(double v) {
  return static_cast<int32_t>(std::llround(v));
}

void put16(Element& e, size_t o, uint16_t v) {
  writeU16(e.data() + o, v);
}
void put32(Element& e, size_t o, double v) {
  writeInt32(e.data() + o, i32(v));
}
void putD(Element& e, size_t o, double v) {
  writeVaxD(e.data() + o, v);
}
void putPt(Element& e, size_t o, DPoint3d p, bool is3d) {
  put32(e, o, p.x);
  put32(e, o + 4, p.y);
  if (is3d) put32(e, o + 8, p.z);
}
void putDPt(Element& e, size_t o, DPoint3d p, bool is3d) {
  putD(e, o, p.x);
  putD(e, o + 8, p.y);
  if (is3d) putD(e, o + 16, p.z);
}

void setRange(Element& e, double xl, double yl, double zl, double xh, double yh, double zh) {
  const double v[6] = {xl, yl, zl, xh, yh, zh};
  for (int i = 0; i < 6; ++i) dgn::writeRange32(e.data() + 4 + 4 * i, i32(v[i]));
}

void rangeOfPoints(Element& e, const std::vector<DPoint3d>& pts) {
  if (pts.empty()) return setRange(e, 0, 0, 0, 0, 0, 0);
  DPoint3d lo = pts[0], hi = pts[0];
  for (const DPoint3d& p : pts) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  setRange(e, lo.x, lo.y, lo.z, hi.x, hi.y, hi.z);
}

// 36-byte header with display header; body bytes follow (zeroed) up to `size`.
Element start(int type, const Symb& s, size_t size) {
  Element e(size, 0);
  e[0] = static_cast<uint8_t>(s.level & 0x3F);
  e[1] = static_cast<uint8_t>(type);
  setRange(e, 0, 0, 0, 0, 0, 0);
  put16(e, 28, s.graphicGroup);
  put16(e, 32, s.properties);
  put16(e, 34, static_cast<uint16_t>((s.colour << 8) | (s.weight << 3) | s.style));
  return e;
}

// Sets WTF and attindx once the body is complete (pads to even size).
Element finish(Element e) {
  if (e.size() % 2) e.push_back(0);
  put16(e, 2, static_cast<uint16_t>((e.size() - 4) / 2));
  if (e.size() >= 36) put16(e, 30, static_cast<uint16_t>((e.size() - 32) / 2));
  return e;
}

Element addLinkage(Element e, const std::vector<uint8_t>& l) {
  const bool had = (dgn::readU16(e.data() + 32) & 0x0800) != 0;
  if (!had) put16(e, 30, static_cast<uint16_t>((e.size() - 32) / 2));
  put16(e, 32, dgn::readU16(e.data() + 32) | 0x0800);
  e.insert(e.end(), l.begin(), l.end());
  put16(e, 2, static_cast<uint16_t>((e.size() - 4) / 2));
  return e;
}

// Words of a run (sum of element sizes / 2).
size_t words(const std::vector<Element>& v) {
  size_t n = 0;
  for (const Element& e : v) n += e.size() / 2;
  return n;
}

void putQuaternionZ(Element& e, size_t o, double rotationDeg) {
  const double h = -rotationDeg * kDeg / 2;
  put32(e, o, std::cos(h) * 2147483647.0);
  put32(e, o + 4, 0);
  put32(e, o + 8, 0);
  put32(e, o + 12, std::sin(h) * 2147483647.0);
}

Element withComponents(Element header, const std::vector<Element>& components) {
  Element run = std::move(header);
  for (const Element& c : components) run.insert(run.end(), c.begin(), c.end());
  return run;
}

Element markComponent(Element c) {
  // Every element of the run is a component of the enclosing header.
  size_t o = 0;
  while (o + 4 <= c.size()) {
    c[o] |= 0x80;
    o += 4 + 2 * dgn::readU16(c.data() + o + 2);
  }
  return c;
}

Element complexHeader(int type, const std::vector<Element>& comps, Symb s, bool is3d) {
  Element h = start(type, s, 48);
  std::vector<Element> marked;
  std::vector<DPoint3d> corners;
  for (const Element& c : comps) {
    marked.push_back(markComponent(c));
    for (int k = 0; k < 2; ++k)
      corners.push_back({double(dgn::readRange32(c.data() + 4 + 12 * k)),
                         double(dgn::readRange32(c.data() + 8 + 12 * k)),
                         is3d ? double(dgn::readRange32(c.data() + 12 + 12 * k)) : 0.0});
  }
  rangeOfPoints(h, corners);
  h = finish(h);
  put16(h, 30, 4);  // attindx 4 as common writers leave it (the reserved words read as linkage)
  put16(h, 36, static_cast<uint16_t>(h.size() / 2 - 19 + words(marked)));
  put16(h, 38, static_cast<uint16_t>(comps.size()));
  return withComponents(h, marked);
}

}  // namespace

Element vertexElement(int type, const std::vector<DPoint3d>& pts, Symb s, bool is3d) {
  const size_t step = is3d ? 12 : 8;
  if (type == 3) {
    Element e = start(3, s, 36 + 2 * step);
    putPt(e, 36, pts.at(0), is3d);
    putPt(e, 36 + step, pts.at(1), is3d);
    rangeOfPoints(e, pts);
    return finish(e);
  }
  Element e = start(type, s, 38 + pts.size() * step);
  put16(e, 36, static_cast<uint16_t>(pts.size()));
  for (size_t i = 0; i < pts.size(); ++i) putPt(e, 38 + i * step, pts[i], is3d);
  rangeOfPoints(e, pts);
  return finish(e);
}

Element line(DPoint3d a, DPoint3d b, Symb s, bool is3d) {
  return vertexElement(3, {a, b}, s, is3d);
}
Element lineString(const std::vector<DPoint3d>& p, Symb s, bool is3d) {
  return vertexElement(4, p, s, is3d);
}
Element shape(const std::vector<DPoint3d>& p, Symb s, bool is3d) {
  return vertexElement(6, p, s, is3d);
}
Element curve(const std::vector<DPoint3d>& p, Symb s, bool is3d) {
  return vertexElement(11, p, s, is3d);
}
Element poles(const std::vector<DPoint3d>& p, Symb s, bool is3d) {
  return vertexElement(21, p, s, is3d);
}
Element pointString(const std::vector<DPoint3d>& p, Symb s, bool is3d) {
  return vertexElement(22, p, s, is3d);
}

Element ellipse(DPoint3d c, double a, double b, double rot, Symb s, bool is3d) {
  Element e = start(15, s, is3d ? 92 : 72);
  putD(e, 36, a);
  putD(e, 44, b);
  if (is3d) {
    putQuaternionZ(e, 52, rot);
    putDPt(e, 68, c, true);
  } else {
    put32(e, 52, rot * 360000.0);
    putDPt(e, 56, c, false);
  }
  const double r = std::max(a, b);
  setRange(e, c.x - r, c.y - r, is3d ? c.z - r : 0, c.x + r, c.y + r, is3d ? c.z + r : 0);
  return finish(e);
}

Element arc(DPoint3d c, double a, double b, double rot, double startDeg, double sweepDeg, Symb s,
            bool is3d) {
  Element e = start(16, s, is3d ? 100 : 80);
  put32(e, 36, startDeg * 360000.0);
  const uint32_t mag = static_cast<uint32_t>(std::llround(std::fabs(sweepDeg) * 360000.0));
  writeInt32(e.data() + 40, static_cast<int32_t>((sweepDeg < 0 ? 0x80000000u : 0u) | mag));
  putD(e, 44, a);
  putD(e, 52, b);
  if (is3d) {
    putQuaternionZ(e, 60, rot);
    putDPt(e, 76, c, true);
  } else {
    put32(e, 60, rot * 360000.0);
    putDPt(e, 64, c, false);
  }
  const double r = std::max(a, b);
  setRange(e, c.x - r, c.y - r, is3d ? c.z - r : 0, c.x + r, c.y + r, is3d ? c.z + r : 0);
  return finish(e);
}

Element text(const TextSpec& t, Symb s, bool is3d) {
  const size_t o = is3d ? 74 : 58;
  Element e = start(17, s, o + 2 + t.chars.size() + 3 * t.fields.size());
  e[36] = static_cast<uint8_t>(t.font);
  e[37] = static_cast<uint8_t>(t.justification);
  put32(e, 38, t.lengthMult);
  put32(e, 42, t.heightMult);
  if (is3d) {
    putQuaternionZ(e, 46, t.rotationDeg);
    putPt(e, 62, t.origin, true);
  } else {
    put32(e, 46, t.rotationDeg * 360000.0);
    putPt(e, 50, t.origin, false);
  }
  e[o] = static_cast<uint8_t>(t.chars.size());
  e[o + 1] = static_cast<uint8_t>(t.fields.size());
  std::copy(t.chars.begin(), t.chars.end(), e.begin() + static_cast<long>(o + 2));
  size_t f = o + 2 + t.chars.size();
  for (const auto& fd : t.fields) {
    e[f++] = static_cast<uint8_t>(fd[0]);
    e[f++] = static_cast<uint8_t>(fd[1]);
    e[f++] = static_cast<uint8_t>(static_cast<int8_t>(fd[2]));
  }
  const double w = t.lengthMult * 0.006 * double(t.chars.size()), h = t.heightMult * 0.006;
  setRange(e, t.origin.x, t.origin.y, t.origin.z, t.origin.x + w, t.origin.y + h, t.origin.z);
  return finish(e);
}

Element textNode(const TextSpec& n, const std::vector<std::string>& lines, int nodeNumber, Symb s,
                 bool is3d) {
  Element h = start(7, s, is3d ? 86 : 70);
  std::vector<Element> comps;
  for (size_t i = 0; i < lines.size(); ++i) {
    TextSpec t = n;
    t.chars = lines[i];
    t.origin.y -= double(i) * n.heightMult * 0.006 * 1.5;
    comps.push_back(markComponent(text(t, s, is3d)));
  }
  put16(h, 38, static_cast<uint16_t>(lines.size()));
  put16(h, 40, static_cast<uint16_t>(nodeNumber));
  h[42] = 255;
  h[44] = static_cast<uint8_t>(n.font);
  h[45] = static_cast<uint8_t>(n.justification);
  put32(h, 46, n.heightMult * 0.006 * 0.5);
  put32(h, 50, n.lengthMult);
  put32(h, 54, n.heightMult);
  if (is3d) {
    putQuaternionZ(h, 58, n.rotationDeg);
    putPt(h, 74, n.origin, true);
  } else {
    put32(h, 58, n.rotationDeg * 360000.0);
    putPt(h, 62, n.origin, false);
  }
  rangeOfPoints(h, {n.origin});
  h = finish(h);
  put16(h, 36, static_cast<uint16_t>(h.size() / 2 - 19 + words(comps)));
  return withComponents(h, comps);
}

Element complexChain(const std::vector<Element>& c, Symb s, bool is3d) {
  return complexHeader(12, c, s, is3d);
}
Element complexShape(const std::vector<Element>& c, Symb s, bool is3d) {
  return complexHeader(14, c, s, is3d);
}

Element cell(const std::string& name, DPoint3d origin, const std::vector<Element>& comps, Symb s,
             bool is3d, double rotationDeg, double scale) {
  Element h = start(2, s, is3d ? 124 : 92);
  dgn::radix50EncodeName(h.data() + 38, 2, name);
  uint64_t levels = 0;
  std::vector<Element> marked;
  std::vector<DPoint3d> corners;
  for (const Element& c : comps) {
    const int level = c[0] & 0x3F;
    if (level > 0) levels |= uint64_t(1) << (level - 1);
    for (int k = 0; k < 2; ++k)
      corners.push_back({double(dgn::readRange32(c.data() + 4 + 12 * k)),
                         double(dgn::readRange32(c.data() + 8 + 12 * k)),
                         double(dgn::readRange32(c.data() + 12 + 12 * k))});
    marked.push_back(markComponent(c));
  }
  for (int w = 0; w < 4; ++w) put16(h, 44 + 2 * w, static_cast<uint16_t>(levels >> (16 * w)));
  const double cs = std::cos(rotationDeg * kDeg) * scale * 214748.0;
  const double sn = std::sin(rotationDeg * kDeg) * scale * 214748.0;
  if (is3d) {
    const double m[9] = {cs, -sn, 0, sn, cs, 0, 0, 0, scale * 214748.0};
    for (int i = 0; i < 9; ++i) put32(h, 76 + 4 * i, m[i]);
    putPt(h, 112, origin, true);
  } else {
    put32(h, 68, cs);
    put32(h, 72, -sn);
    put32(h, 76, sn);
    put32(h, 80, cs);
    putPt(h, 84, origin, false);
  }
  rangeOfPoints(h, corners);
  h = finish(h);
  put16(h, 36, static_cast<uint16_t>(h.size() / 2 - 19 + words(marked)));
  return withComponents(h, marked);
}

Element surface(int type, int surfaceType, const std::vector<Element>& comps, Symb s) {
  Element h = start(type, s, 50);
  h[40] = static_cast<uint8_t>(surfaceType);
  std::vector<Element> marked;
  for (const Element& c : comps) marked.push_back(markComponent(c));
  h = finish(h);
  put16(h, 36, static_cast<uint16_t>(h.size() / 2 - 19 + words(marked)));
  put16(h, 38, static_cast<uint16_t>(comps.size()));
  return withComponents(h, marked);
}

Element cone(DPoint3d c1, double r1, DPoint3d c2, double r2, Symb s) {
  Element e = start(23, s, 118);
  putQuaternionZ(e, 38, 0);
  putDPt(e, 54, c1, true);
  putD(e, 78, r1);
  putDPt(e, 86, c2, true);
  putD(e, 110, r2);
  const double r = std::max(r1, r2);
  setRange(e, std::min(c1.x, c2.x) - r, std::min(c1.y, c2.y) - r, std::min(c1.z, c2.z) - r,
           std::max(c1.x, c2.x) + r, std::max(c1.y, c2.y) + r, std::max(c1.z, c2.z) + r);
  return finish(e);
}

namespace {
Element scalars(int type, const std::vector<double>& v, bool is3d) {
  (void)is3d;
  Element e = start(type, Symb{.level = 0}, 36 + 4 * v.size());
  for (size_t i = 0; i < v.size(); ++i) put32(e, 36 + 4 * i, v[i] * 2147483647.0);
  return finish(e);
}
}  // namespace

Element bsplineCurve(const std::vector<DPoint3d>& pls, int order, bool closed,
                     const std::vector<double>& knots, const std::vector<double>& weights, Symb s,
                     bool is3d) {
  Element h = start(27, s, 46);
  h[40] = static_cast<uint8_t>(((order - 2) & 0x0F) | 0x10 | (weights.empty() ? 0 : 0x40) |
                               (closed ? 0x80 : 0));
  put16(h, 42, static_cast<uint16_t>(pls.size()));
  put16(h, 44, static_cast<uint16_t>(knots.size()));
  rangeOfPoints(h, pls);
  h = finish(h);
  std::vector<Element> comps;
  if (!knots.empty()) comps.push_back(markComponent(scalars(26, knots, is3d)));
  comps.push_back(markComponent(poles(pls, Symb{.level = s.level}, is3d)));
  if (!weights.empty()) comps.push_back(markComponent(scalars(28, weights, is3d)));
  put32(h, 36, double(h.size() / 2 - 20 + words(comps)));
  return withComponents(h, comps);
}

Element bsplineSurfaceHeader(int uPoles, int vPoles, int uOrder, int vOrder, int boundaries, Symb s,
                             bool is3d) {
  (void)is3d;
  Element h = start(24, s, 58);
  h[40] = static_cast<uint8_t>((uOrder - 2) & 0x0F);
  put16(h, 42, static_cast<uint16_t>(uPoles));
  h[48] = static_cast<uint8_t>((vOrder - 2) & 0x0F);
  put16(h, 50, static_cast<uint16_t>(vPoles));
  put16(h, 56, static_cast<uint16_t>(boundaries));
  return finish(h);
}

Element boundary(int number, const std::vector<DPoint3d>& uv, bool is3d) {
  (void)is3d;
  Element e = start(25, Symb{.level = 0}, 40 + 8 * uv.size());
  put16(e, 36, static_cast<uint16_t>(number));
  put16(e, 38, static_cast<uint16_t>(uv.size()));
  for (size_t i = 0; i < uv.size(); ++i) {
    put32(e, 40 + 8 * i, uv[i].x * 2147483647.0);
    put32(e, 44 + 8 * i, uv[i].y * 2147483647.0);
  }
  return finish(e);
}

Element tagValue(uint32_t target, uint32_t tagSetId, int tagIndex, const std::string& value,
                 Symb s) {
  Element e = start(37, s, 154 + value.size() + 1);
  dgn::writeU32LE(e.data() + 36, target);
  put16(e, 40, 1);
  dgn::writeU32LE(e.data() + 68, tagSetId);
  put16(e, 72, static_cast<uint16_t>(tagIndex));
  put16(e, 74, 1);
  put16(e, 150, static_cast<uint16_t>(value.size() + 1));
  std::copy(value.begin(), value.end(), e.begin() + 154);
  return finish(e);
}

Element tagSet(int setNumber, const std::string& name, const std::vector<std::string>& tags) {
  Element e = start(66, Symb{.level = 24}, 48);
  e[36] = 0x01;
  e[38] = 0x81;
  e[39] = 0x0F;
  put16(e, 44, static_cast<uint16_t>(tags.size()));
  e.insert(e.end(), name.begin(), name.end());
  e.push_back(0);
  e.push_back(0);
  for (size_t i = 0; i < tags.size(); ++i) {
    e.insert(e.end(), tags[i].begin(), tags[i].end());
    e.push_back(0);
    e.push_back(static_cast<uint8_t>(i + 1));  // tag id
    e.push_back(0);
    const std::string prompt = tags[i] + "?";
    e.insert(e.end(), prompt.begin(), prompt.end());
    e.push_back(0);
    e.push_back(1);  // type 1: string
    e.push_back(0);
    e.insert(e.end(), 5, 0);
    e.push_back('-');
    e.push_back(0);
  }
  e = finish(e);
  std::vector<uint8_t> l(6, 0);
  writeU16(l.data(), 0x1002);
  writeU16(l.data() + 2, 0x7D2F);
  writeU16(l.data() + 4, static_cast<uint16_t>(setNumber));
  return addLinkage(e, l);
}

Element opaque(int type, const std::vector<uint8_t>& body, Symb s) {
  Element e = start(type, s, 36);
  e.insert(e.end(), body.begin(), body.end());
  return finish(e);
}

Element sharedCellDefinition(const std::vector<Element>& comps) {
  Element h = start(34, Symb{.level = 0}, 40);
  std::vector<Element> marked;
  for (const Element& c : comps) marked.push_back(markComponent(c));
  h = finish(h);
  put16(h, 36, static_cast<uint16_t>(h.size() / 2 - 19 + words(marked)));
  return withComponents(h, marked);
}

Element colourTable(uint8_t r, uint8_t g, uint8_t b) {
  Element e = start(5, Symb{.level = 1}, 806);
  for (int i = 0; i < 256; ++i) {
    e[38 + 3 * i] = static_cast<uint8_t>(i == 0 ? r : i - 1);
    e[39 + 3 * i] = static_cast<uint8_t>(i == 0 ? g : 255 - (i - 1));
    e[40 + 3 * i] = static_cast<uint8_t>(i == 0 ? b : (i * 7) & 0xFF);
  }
  return finish(e);
}

Element reference(const std::string& spec, const std::string& logical, bool display,
                  bool asType66) {
  Element e = start(asType66 ? 66 : 5, Symb{.level = asType66 ? 5 : 9}, 494);
  e[36] = static_cast<uint8_t>(spec.size());
  std::copy(spec.begin(), spec.begin() + static_cast<long>(std::min<size_t>(spec.size(), 65)),
            e.begin() + 38);
  e[103] = 1;
  put16(e, 104, 0x0004);
  put16(e, 106, display ? 0x0002 : 0);
  e[292] = static_cast<uint8_t>(logical.size());
  std::copy(logical.begin(), logical.end(), e.begin() + 294);
  return finish(e);
}

Element withFill(Element e, int colour) {
  std::vector<uint8_t> l(16, 0);
  writeU16(l.data(), 0x1007);
  writeU16(l.data() + 2, 0x0041);
  l[4] = 2;
  l[5] = 8;
  l[6] = 1;
  l[8] = static_cast<uint8_t>(colour);
  return addLinkage(std::move(e), l);
}

Element withOdbc(Element e, uint16_t entity, uint32_t mslink) {
  std::vector<uint8_t> l(16, 0);
  writeU16(l.data(), 0x1007);
  writeU16(l.data() + 2, 0x5E62);
  writeU16(l.data() + 4, 0x0F81);
  writeU16(l.data() + 6, entity);
  dgn::writeU32LE(l.data() + 8, mslink);
  return addLinkage(std::move(e), l);
}

Element withDmrs(Element e, uint16_t entity, uint32_t mslink) {
  std::vector<uint8_t> l(8, 0);
  writeU16(l.data() + 2, entity);
  l[4] = static_cast<uint8_t>(mslink);
  l[5] = static_cast<uint8_t>(mslink >> 8);
  l[6] = static_cast<uint8_t>(mslink >> 16);
  l[7] = 1;
  return addLinkage(std::move(e), l);
}

Element deleted(Element e) {
  size_t o = 0;
  while (o + 4 <= e.size()) {
    e[o + 1] |= 0x80;
    o += 4 + 2 * dgn::readU16(e.data() + o + 2);
  }
  return e;
}

Element withComplexBit(Element e) {
  e[0] |= 0x80;
  return e;
}

Element DesignBuilder::header() const {
  Element t(1536, 0);
  t[0] = is3d ? 0xC8 : 0x08;
  t[1] = 0x09;
  put16(t, 2, 766);
  put32(t, 1112, subPerMaster);
  put32(t, 1116, uorPerSub);
  for (size_t i = 0; i < 2; ++i) {
    t[1120 + i] = i < masterName.size() ? static_cast<uint8_t>(masterName[i]) : 0;
    t[1122 + i] = i < subName.size() ? static_cast<uint8_t>(subName[i]) : 0;
  }
  if (is3d) t[1214] = 0x40;
  putDPt(t, 1240, globalOrigin, true);
  return t;
}

std::vector<uint8_t> DesignBuilder::bytes() const {
  std::vector<uint8_t> out = header();
  for (const Element& e : elements) out.insert(out.end(), e.begin(), e.end());
  if (endMarker) {
    out.push_back(0xFF);
    out.push_back(0xFF);
  }
  if (padToSector > 0)
    while (out.size() % padToSector) out.push_back(0);
  return out;
}

uint32_t DesignBuilder::positionOf(size_t n) const {
  size_t pos = 1536;
  for (size_t i = 0; i < n && i < elements.size(); ++i) pos += elements[i].size();
  return static_cast<uint32_t>(pos);
}

bool DesignBuilder::write(const std::string& path) const {
  const std::vector<uint8_t> b = bytes();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  return static_cast<bool>(out);
}

}  // namespace kelvara::test
