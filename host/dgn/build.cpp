// Encoders for the elements the host writes itself.
#include "host/dgn/build.h"

#include <algorithm>
#include <cmath>

namespace kelvara::dgn {

int32_t roundToInt32(double v) {
  if (!(v == v)) return 0;
  const double r = std::llround(std::clamp(v, -2147483648.0, 2147483647.0));
  return static_cast<int32_t>(r);
}

std::vector<uint8_t> beginElement(int type, int level) {
  std::vector<uint8_t> e(HEADER_BYTES, 0);
  e[0] = static_cast<uint8_t>(level & 0x3F);
  e[1] = static_cast<uint8_t>(type & 0x7F);
  writeRange(e.data(), DRange3d{});
  return e;
}

void finishElement(std::vector<uint8_t>& e) {
  if (e.size() % 2) e.push_back(0);
  writeU16(e.data() + 2, static_cast<uint16_t>((e.size() - 4) / 2));
  if (e.size() >= HEADER_BYTES && readU16(e.data() + 30) == 0)
    writeU16(e.data() + 30, static_cast<uint16_t>((e.size() - 32) / 2));
}

void appendLinkage(std::vector<uint8_t>& e, const std::vector<uint8_t>& linkage) {
  if (e.size() % 2) e.push_back(0);
  if ((readU16(e.data() + 32) & PROP_ATTRIBUTES) == 0 || readU16(e.data() + 30) == 0)
    writeU16(e.data() + 30, static_cast<uint16_t>((e.size() - 32) / 2));
  writeU16(e.data() + 32, readU16(e.data() + 32) | PROP_ATTRIBUTES);
  e.insert(e.end(), linkage.begin(), linkage.end());
  writeU16(e.data() + 2, static_cast<uint16_t>((e.size() - 4) / 2));
}

void putPoint(uint8_t* p, const DPoint3d& pt, bool is3d) {
  writeInt32(p, roundToInt32(pt.x));
  writeInt32(p + 4, roundToInt32(pt.y));
  if (is3d) writeInt32(p + 8, roundToInt32(pt.z));
}

std::vector<uint8_t> makeLine(const DPoint3d& a, const DPoint3d& b, bool is3d) {
  std::vector<uint8_t> e = beginElement(3, 1);
  const size_t step = is3d ? 12 : 8;
  e.resize(HEADER_BYTES + 2 * step, 0);
  putPoint(e.data() + 36, a, is3d);
  putPoint(e.data() + 36 + step, b, is3d);
  DRange3d r{roundToInt32(std::min(a.x, b.x)),
             roundToInt32(std::min(a.y, b.y)),
             is3d ? roundToInt32(std::min(a.z, b.z)) : 0,
             roundToInt32(std::max(a.x, b.x)),
             roundToInt32(std::max(a.y, b.y)),
             is3d ? roundToInt32(std::max(a.z, b.z)) : 0};
  writeRange(e.data(), r);
  finishElement(e);
  return e;
}

std::vector<std::vector<uint8_t>> makeLevelNameElements(const std::array<std::string, 64>& names) {
  std::vector<std::vector<uint8_t>> out;
  std::vector<uint8_t> e;
  int count = 0;
  auto close = [&] {
    if (count == 0) return;
    writeU16(e.data() + 40, static_cast<uint16_t>(count));
    finishElement(e);
    out.push_back(std::move(e));
    e.clear();
    count = 0;
  };
  for (int level = 1; level < 64; ++level) {
    const std::string name = names[level].substr(0, 255);
    if (name.empty()) continue;
    if (!e.empty() && e.size() + 2 + name.size() > MAX_ELEMENT_BYTES - 2) close();
    if (e.empty()) {
      e = beginElement(66, LEVEL_NAMES_LEVEL);
      e.resize(42, 0);
      writeU16(e.data() + 36, LEVEL_NAMES_SIGNATURE);
      writeU16(e.data() + 38, 1);
    }
    e.push_back(static_cast<uint8_t>(level));
    e.push_back(static_cast<uint8_t>(name.size()));
    e.insert(e.end(), name.begin(), name.end());
    ++count;
  }
  close();
  return out;
}

bool readLevelNameElement(Bytes e, std::array<std::string, 64>& names) {
  if (e.size() < 42 || typeOf(e.data()) != 66 || levelOf(e.data()) != LEVEL_NAMES_LEVEL ||
      readU16(e.data() + 36) != LEVEL_NAMES_SIGNATURE || readU16(e.data() + 38) != 1)
    return false;
  const int count = readU16(e.data() + 40);
  const size_t end = linkageStart(e);
  size_t o = 42;
  for (int i = 0; i < count && o + 2 <= end; ++i) {
    const int level = e[o];
    const size_t len = e[o + 1];
    if (o + 2 + len > end) break;
    if (level >= 1 && level < 64)
      names[level].assign(reinterpret_cast<const char*>(e.data() + o + 2), len);
    o += 2 + len;
  }
  return true;
}

namespace {

// View block of the design file header: view 1 on, every level on, identity rotation.
void putDefaultView(uint8_t* v, bool on) {
  writeU16(v, on ? 0x0080 : 0);
  for (int i = 0; i < 8; ++i) v[2 + i] = 0xFF;
  writeInt32(v + 22, 100000);
  writeInt32(v + 26, 100000);
  writeInt32(v + 30, 100000);
  for (int i = 0; i < 9; ++i) writeVaxD(v + 34 + 8 * i, (i % 4 == 0) ? 1.0 : 0.0);
  writeVaxD(v + 106, 1.0);
}

}  // namespace

std::vector<uint8_t> makeEmptyDesign(bool is3d, const TcbRecord& units) {
  std::vector<uint8_t> f(TCB_BYTES, 0);
  uint8_t* t = f.data();
  t[0] = is3d ? 0xC8 : 0x08;
  t[1] = 0x09;
  writeU16(t + 2, static_cast<uint16_t>((TCB_BYTES - 4) / 2));
  for (int v = 0; v < 8; ++v) putDefaultView(t + 46 + 118 * v, v == 0);
  const int32_t sub = units.subPerMaster > 0 ? units.subPerMaster : 1000;
  const int32_t uor = units.uorPerSub > 0 ? units.uorPerSub : 1;
  const double perMaster = double(sub) * double(uor);
  writeInt32(t + 1108, static_cast<int32_t>(static_cast<uint32_t>(4294967296.0 / perMaster)));
  writeInt32(t + 1112, sub);
  writeInt32(t + 1116, uor);
  const std::string master = units.masterName.empty() ? "m" : units.masterName;
  const std::string subName = units.subName.empty() ? "mm" : units.subName;
  for (size_t i = 0; i < 2; ++i) {
    t[1120 + i] = i < master.size() ? static_cast<uint8_t>(master[i]) : 0;
    t[1122 + i] = i < subName.size() ? static_cast<uint8_t>(subName[i]) : 0;
  }
  for (int i = 0; i < 3; ++i) writeVaxD(t + 1140 + 8 * i, 1.0);  // active scale
  if (is3d) t[1214] |= 0x40;
  writeVaxD(t + 1240, units.globalOrigin.x);
  writeVaxD(t + 1248, units.globalOrigin.y);
  writeVaxD(t + 1256, units.globalOrigin.z);

  // Level symbology (type 10): no display header, 64 symbology words.
  std::vector<uint8_t> ls(156, 0);
  ls[1] = 10;
  writeU16(ls.data() + 2, (156 - 4) / 2);
  f.insert(f.end(), ls.begin(), ls.end());
  f.push_back(0xFF);
  f.push_back(0xFF);
  return f;
}

}  // namespace kelvara::dgn
