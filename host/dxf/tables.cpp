// Tables (LAYER, LTYPE, STYLE, BLOCK_RECORD), BLOCK definitions and layouts of an indexed
// drawing, and the per-record views: the layout an entity is drawn in, 102 groups and XDATA.
#include <strings.h>

#include <algorithm>

#include "host/dxf/internal.h"

namespace kelvara::dxf {
namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

struct Reader {
  Drawing& d;
  DxfError& error;
  bool bad(const Tag& t) { return notANumber(d, t, error); }
  bool integer(const Tag& t, int& out) { return readInt(d, t, out, error); }
  bool real(const Tag& t, double& out) { return readReal(d, t, out, error); }
  bool handle(const Tag& t, uint64_t& out) { return parseHandle(t.value, out) || bad(t); }
};

bool readLayer(Reader& rd, const Record& r, Layer& l) {
  l.handle = r.handle;
  return forEachTag(rd.d, r,
                    [&](const Tag& t) {
                      int flags = 0, colour = 0, rgb = 0;
                      switch (t.code) {
                        case 2:
                          l.name = std::string(t.value);
                          break;
                        case 6:
                          l.linetype = std::string(t.value);
                          break;
                        case 62:
                          if (!rd.integer(t, colour)) return false;
                          l.on = colour >= 0;
                          l.colour = colour < 0 ? -colour : colour;
                          break;
                        case 420:
                          if (!rd.integer(t, rgb)) return false;
                          l.trueColour = static_cast<uint32_t>(rgb) & 0xFFFFFF;
                          break;
                        case 370:
                          return rd.integer(t, l.lineweight);
                        case 70:
                          if (!rd.integer(t, flags)) return false;
                          l.frozen = flags & 1;
                          l.locked = flags & 4;
                          break;
                        default:
                          break;
                      }
                      return true;
                    }) ||
         rd.error.text.empty();
}

bool readNamed(Reader& rd, const Record& r, int textCode, NamedRecord& n) {
  n.handle = r.handle;
  return forEachTag(rd.d, r, [&](const Tag& t) {
    if (t.code == 2) n.name = std::string(t.value);
    if (t.code == textCode) n.text = std::string(t.value);
    return true;
  });
}

bool readBlock(Reader& rd, const Record& r, Block& b) {
  b.handle = r.handle;
  return forEachTag(rd.d, r,
                    [&](const Tag& t) {
                      switch (t.code) {
                        case 2:
                          b.name = std::string(t.value);
                          break;
                        case 70:
                          return rd.integer(t, b.flags);
                        case 10:
                          return rd.real(t, b.base.x);
                        case 20:
                          return rd.real(t, b.base.y);
                        case 30:
                          return rd.real(t, b.base.z);
                        default:
                          break;
                      }
                      return true;
                    }) ||
         rd.error.text.empty();
}

bool readLayout(Reader& rd, const Record& r, Layout& l) {
  l.handle = r.handle;
  bool layoutPart = false, owner = false;
  return forEachTag(rd.d, r,
                    [&](const Tag& t) {
                      if (t.code == 100) layoutPart = t.value.substr(0, 11) == "AcDbLayout";
                      if (!layoutPart) return true;
                      switch (t.code) {
                        case 1:
                          l.name = std::string(t.value);
                          break;
                        case 71:
                          return rd.integer(t, l.tabOrder);
                        case 330:
                          if (owner) break;
                          owner = true;
                          return rd.handle(t, l.blockRecord);
                        default:
                          break;
                      }
                      return true;
                    }) ||
         rd.error.text.empty();
}

}  // namespace

bool readTables(Drawing& d, DxfError& error) {
  Reader rd{d, error};
  int64_t openBlock = -1;
  for (uint32_t i = 0; i < d.records.size(); ++i) {
    const Record& r = d.records[i];
    const std::string_view type = typeName(d, r);
    const std::string& section = d.sections[r.section].name;
    bool ok = true;
    if (section == "TABLES") {
      if (type == "LAYER") {
        d.layers.emplace_back();
        ok = readLayer(rd, r, d.layers.back());
      } else if (type == "LTYPE") {
        d.linetypes.emplace_back();
        ok = readNamed(rd, r, 3, d.linetypes.back());
      } else if (type == "STYLE") {
        d.styles.emplace_back();
        ok = readNamed(rd, r, 3, d.styles.back());
      } else if (type == "BLOCK_RECORD") {
        d.blockRecords.emplace_back();
        ok = readNamed(rd, r, -1, d.blockRecords.back());
      }
    } else if (section == "BLOCKS") {
      if (type == "BLOCK") {
        if (openBlock >= 0) {
          error.line = r.line;
          error.text = d.file + ": line " + std::to_string(r.line) +
                       ": BLOCK inside the block opened at line " +
                       std::to_string(d.records[d.blocks[openBlock].record].line);
          return false;
        }
        d.blocks.emplace_back();
        d.blocks.back().record = i;
        openBlock = static_cast<int64_t>(d.blocks.size()) - 1;
        ok = readBlock(rd, r, d.blocks.back());
      } else if (type == "ENDBLK") {
        if (openBlock < 0) {
          error.line = r.line;
          error.text = d.file + ": line " + std::to_string(r.line) + ": ENDBLK without BLOCK";
          return false;
        }
        d.blocks[openBlock].endRecord = i;
        openBlock = -1;
      }
    } else if (section == "OBJECTS" && type == "LAYOUT") {
      d.layouts.emplace_back();
      ok = readLayout(rd, r, d.layouts.back());
    }
    if (!ok) return false;
  }
  if (openBlock >= 0) {
    const uint32_t line = d.records[d.blocks[openBlock].record].line;
    error.line = line;
    error.text = d.file + ": line " + std::to_string(line) + ": BLOCK without ENDBLK";
    return false;
  }
  std::stable_sort(d.layouts.begin(), d.layouts.end(),
                   [](const Layout& a, const Layout& b) { return a.tabOrder < b.tabOrder; });
  auto model = std::find_if(d.layouts.begin(), d.layouts.end(),
                            [](const Layout& l) { return l.name == "Model"; });
  if (model == d.layouts.end())
    d.layouts.insert(d.layouts.begin(), Layout{"Model", 0, 0, 0});
  else
    std::rotate(d.layouts.begin(), model, model + 1);
  if (d.r12()) d.layouts.push_back(Layout{"Layout1", 1, 0, 0});
  return true;
}

int layoutOf(const Drawing& d, const Record& r) {
  const std::string& section = d.sections[r.section].name;
  if (section != "ENTITIES" && section != "BLOCKS") return -1;
  const std::string_view type = typeName(d, r);
  if (type == "BLOCK" || type == "ENDBLK") return -1;
  if (r.owner != 0) {
    for (size_t i = 0; i < d.layouts.size(); ++i)
      if (d.layouts[i].blockRecord == r.owner) return static_cast<int>(i);
    if (section == "BLOCKS") return -1;
  }
  if (section == "BLOCKS") return -1;
  if (!(r.flags & PaperSpace)) return 0;
  if (d.r12()) return 1;
  for (const NamedRecord& br : d.blockRecords) {
    if (!equalsNoCase(br.name, "*Paper_Space")) continue;
    for (size_t i = 0; i < d.layouts.size(); ++i)
      if (d.layouts[i].blockRecord == br.handle) return static_cast<int>(i);
  }
  return -1;
}

std::vector<Group102> groups102(const Drawing& d, const Record& r) {
  std::vector<Group102> out;
  bool in = false;
  forEachTag(d, r, [&](const Tag& t) {
    if (t.code >= 1000) return false;
    if (t.code == 102) {
      in = !t.value.empty() && t.value.front() == '{';
      if (in) out.push_back(Group102{std::string(t.value.substr(1)), {}});
    } else if (in && valueType(t.code) == ValueType::Handle) {
      uint64_t h = 0;
      if (parseHandle(t.value, h)) out.back().handles.push_back(h);
    }
    return true;
  });
  return out;
}

std::vector<Tag> xdata(const Drawing& d, const Record& r) {
  std::vector<Tag> out;
  forEachTag(d, r, [&](const Tag& t) {
    if (t.code == 1001 || !out.empty()) out.push_back(t);
    return true;
  });
  return out;
}

}  // namespace kelvara::dxf
