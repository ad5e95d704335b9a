// The record index: sections, records with their spans, handles and owners, followers, and
// the header variables. Tables and layouts are read from the indexed records (tables.cpp).
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <unordered_map>

#include "host/dxf/dxf.h"
#include "host/dxf/internal.h"

namespace kelvara::dxf {
namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

struct Indexer {
  Drawing& d;
  DxfError& error;
  TagReader reader;
  std::unordered_map<std::string_view, uint16_t> types;
  Tag tag;
  bool have = false;  // `tag` holds a tag not yet consumed

  Indexer(Drawing& dr, DxfError& er) : d(dr), error(er), reader(dr.bytes) {}

  bool fail(uint32_t line, const std::string& text) {
    error.line = line;
    error.text = d.file + ": line " + std::to_string(line) + ": " + text;
    return false;
  }
  // Advances to the next tag; false at the end or on a reader error (then `error` is set).
  bool advance() {
    have = reader.next(tag);
    if (!have && !reader.error.empty()) {
      error.line = static_cast<uint32_t>(std::stoul(reader.error.substr(5)));
      error.text = d.file + ": " + reader.error;
    }
    return have;
  }
  bool readError() const { return !error.text.empty(); }

  uint16_t typeId(std::string_view name) {
    auto it = types.find(name);
    if (it != types.end()) return it->second;
    const auto id = static_cast<uint16_t>(d.typeNames.size());
    d.typeNames.emplace_back(name);
    types.emplace(name, id);
    return id;
  }

  bool header(Section& s);
  void measure(const Tag& t);
  bool record(Record& r, std::string_view type, bool entity);
  bool section();
  bool run();
};

bool Indexer::header(Section& s) {
  // 9 $NAME followed by its value tags, up to ENDSEC.
  std::string_view var;
  Point3 p;
  auto finishPoint = [&] {
    if (var == "$EXTMIN") d.extMin = p;
    if (var == "$EXTMAX") d.extMax = p;
  };
  while (advance()) {
    if (tag.code == 0) break;
    if (tag.code == 9) {
      finishPoint();
      var = tag.value;
      p = Point3{};
      continue;
    }
    int64_t n = 0;
    double v = 0;
    if (var == "$ACADVER" && tag.code == 1) d.version = std::string(trimmed(tag.value));
    if (var == "$DWGCODEPAGE" && tag.code == 3) d.codePage = std::string(trimmed(tag.value));
    if ((var == "$INSUNITS" || var == "$MEASUREMENT") && tag.code == 70) {
      if (!parseInt(tag.value, n))
        return fail(tag.line + 1, "not a whole number: " + std::string(tag.value));
      (var == "$INSUNITS" ? d.insUnits : d.measurement) = static_cast<int>(n);
    }
    if (var == "$HANDSEED" && tag.code == 5 && !parseHandle(tag.value, d.handSeed))
      return fail(tag.line + 1, "not a handle: " + std::string(tag.value));
    if ((var == "$EXTMIN" || var == "$EXTMAX") && tag.code >= 10 && tag.code <= 30 &&
        tag.code % 10 == 0) {
      if (!parseDouble(tag.value, v))
        return fail(tag.line + 1, "not a number: " + std::string(tag.value));
      (tag.code == 10 ? p.x : tag.code == 20 ? p.y : p.z) = v;
    }
  }
  finishPoint();
  (void)s;
  return !readError();
}

// The integer part of a plain decimal ([sign]digits[.digits], at most 18 integer digits) in
// `whole` and whether a digit other than 0 occurs in `nonZero`; false for any other form.
bool plainDecimal(std::string_view s, uint64_t& whole, bool& nonZero) {
  s = trimmed(s);
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
  whole = 0;
  nonZero = false;
  size_t i = 0, digits = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
    whole = whole * 10 + uint64_t(s[i] - '0');
    nonZero |= s[i] != '0';
  }
  if (digits > 18) return false;
  if (i < s.size() && s[i] == '.') ++i;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) nonZero |= s[i] != '0';
  return i == s.size();
}

// Folds an entity's tag into Drawing::largestCoordinate and Drawing::anyZ. A plain decimal
// whose integer part stays below the largest so far, or that is zero, is not parsed.
void Indexer::measure(const Tag& t) {
  const int c = t.code;
  const bool coordinate = c >= 10 && c <= 38;
  if (!coordinate && c != 40 && c != 210 && c != 220) return;
  const bool zLike = (c >= 30 && c <= 38) || c == 210 || c == 220;
  uint64_t whole = 0;
  bool nonZero = false;
  if (plainDecimal(t.value, whole, nonZero)) {
    const bool mayGrow =
        (coordinate || c == 40) && double(whole) >= std::floor(d.largestCoordinate);
    if (!mayGrow && !(zLike && !d.anyZ && nonZero)) return;
  }
  double v = 0;
  if (!parseDouble(t.value, v) || !std::isfinite(v)) return;
  if (coordinate || c == 40) d.largestCoordinate = std::max(d.largestCoordinate, std::fabs(v));
  if (v != 0 && zLike) d.anyZ = true;
}

// Reads the tags of one record after its code-0 tag; stops at the next code-0 tag. The tags of
// an entity are measured.
bool Indexer::record(Record& r, std::string_view type, bool entity) {
  bool inGroup = false, inXData = false, ownerSeen = false, onlyOwner = true;
  const bool dimstyle = type == "DIMSTYLE";
  while (advance()) {
    const int c = tag.code;
    if (c == 0) break;
    if (entity) measure(tag);
    if (c >= 1000) {
      onlyOwner = false;
      if (c == 1001) {
        inXData = true;
        r.flags |= HasXData;
      }
      continue;
    }
    if (inXData) continue;  // only 1000+ codes follow XDATA; anything else is kept as is
    if (c == 102) {
      onlyOwner = false;
      const std::string_view v = trimmed(tag.value);
      if (!v.empty() && v.front() == '{') {
        if (inGroup) return fail(tag.line, "a 102 group opens inside another");
        inGroup = true;
        if (v == "{ACAD_REACTORS") r.flags |= HasReactors;
        if (v == "{ACAD_XDICTIONARY") r.flags |= HasXDict;
      } else if (v == "}") {
        if (!inGroup) return fail(tag.line, "a 102 group closes that was not opened");
        inGroup = false;
      }
      continue;
    }
    if (inGroup) continue;
    // The first 5 is the record's handle; later ones are data (SORTENTSTABLE's sort handles).
    if (((c == 5 && !dimstyle) || (c == 105 && dimstyle)) && !(r.flags & HasHandle)) {
      if (!parseHandle(tag.value, r.handle) || r.handle == 0)
        return fail(tag.line + 1, "not a handle: \"" + std::string(tag.value.substr(0, 40)) + "\"");
      r.flags |= HasHandle;
    } else if (c == 330 && !ownerSeen) {
      ownerSeen = true;
      if (!parseHandle(tag.value, r.owner))
        return fail(tag.line + 1, "not a handle: \"" + std::string(tag.value.substr(0, 40)) + "\"");
    } else if (c == 67 || c == 66) {
      int64_t n = 0;
      if (!parseInt(tag.value, n))
        return fail(tag.line + 1, "not a whole number: " + std::string(tag.value));
      if (n == 1) r.flags |= c == 67 ? PaperSpace : Followers;
    } else if (isPointerCode(c)) {
      onlyOwner = false;
    }
  }
  if (readError()) return false;
  if (inGroup) return fail(r.line, "a 102 group is not closed");
  if (onlyOwner && !(r.flags & Followers)) r.flags |= OnlyOwner;
  return true;
}

// One section, its "0 SECTION" tag consumed.
bool Indexer::section() {
  const uint32_t startLine = tag.line;
  Section s;
  s.begin = tag.offset;
  if (!advance()) return readError() ? false : fail(startLine, "the file ends inside a section");
  if (tag.code != 2) return fail(tag.line, "SECTION without a name");
  s.name = std::string(trimmed(tag.value));
  if (d.sections.size() >= 255) return fail(startLine, "too many sections");
  // A drawing has each section once; what a second one would mean is anybody's guess, and the
  // writer must know where the records it changes belong.
  for (const Section& before : d.sections)
    if (before.name == s.name)
      return fail(startLine, "a second " + s.name + " section (each comes once in a drawing)");
  const auto sectionIndex = static_cast<uint8_t>(d.sections.size());
  s.firstRecord = static_cast<uint32_t>(d.records.size());
  if (s.name == "HEADER") {
    if (!header(s)) return false;
  } else {
    // Tags before the first record (THUMBNAILIMAGE holds only such) stay in the section's head.
    while (advance() && tag.code != 0) {
    }
    if (!have)
      return readError() ? false : fail(startLine, "section " + s.name + " is not closed (ENDSEC)");
  }
  const bool entities = s.name == "ENTITIES" || s.name == "BLOCKS";
  int64_t complexHead = -1;  // POLYLINE or INSERT with followers still open
  std::string_view complexType;
  while (have) {
    if (tag.code != 0)
      return fail(tag.line, "group code " + std::to_string(tag.code) + " outside a record");
    const std::string_view type = trimmed(tag.value);
    if (type == "ENDSEC") {
      if (complexHead >= 0)
        return fail(d.records[complexHead].line, std::string(complexType) + " without SEQEND");
      s.end = reader.pos;
      s.recordCount = static_cast<uint32_t>(d.records.size()) - s.firstRecord;
      d.sections.push_back(std::move(s));
      advance();
      return !readError();
    }
    if (type == "SECTION" || type == "EOF")
      return fail(tag.line, "section " + s.name + " opened at line " + std::to_string(startLine) +
                                " is not closed (ENDSEC)");
    if (d.typeNames.size() >= 0xFFFF && !types.count(type))
      return fail(tag.line, "too many record types");
    Record r;
    r.begin = tag.offset;
    r.line = tag.line;
    r.section = sectionIndex;
    r.type = typeId(type);
    if (!record(r, type, entities && type != "BLOCK" && type != "ENDBLK")) return false;
    r.end = have ? tag.offset : reader.pos;
    if (complexHead >= 0) {
      const bool follower =
          type == "SEQEND" || type == (complexType == "POLYLINE" ? "VERTEX" : "ATTRIB");
      if (!follower)
        return fail(d.records[complexHead].line, std::string(complexType) + " without SEQEND");
      d.records[complexHead].end = r.end;
      d.records[complexHead].flags &= uint8_t(~OnlyOwner);  // the followers' owners point back
      if (type == "SEQEND") complexHead = -1;
    } else {
      if (type == "POLYLINE" || (type == "INSERT" && (r.flags & Followers))) {
        complexHead = static_cast<int64_t>(d.records.size());
        complexType = type == "POLYLINE" ? "POLYLINE" : "INSERT";
      }
      d.records.push_back(r);
    }
    if (!have) break;
  }
  if (readError()) return false;
  return fail(reader.line, "section " + s.name + " opened at line " + std::to_string(startLine) +
                               " is not closed (ENDSEC)");
}

bool Indexer::run() {
  d.records.reserve(d.bytes.size() / 128);
  advance();
  while (have) {
    if (tag.code == 999) {
      advance();
      continue;
    }
    const std::string_view v = trimmed(tag.value);
    if (tag.code == 0 && v == "EOF") break;
    if (tag.code != 0 || v != "SECTION")
      return fail(tag.line, "SECTION or EOF expected, found \"" +
                                std::string(tag.value.substr(0, 40)) + "\"");
    if (!section()) return false;
  }
  if (readError()) return false;
  if (!have) return fail(reader.line > 1 ? reader.line - 1 : 1, "the file ends without EOF");
  return true;
}

}  // namespace

std::string_view recordText(const Drawing& d, const Record& r) {
  return d.bytes.substr(r.begin, r.end - r.begin);
}

std::string_view typeName(const Drawing& d, const Record& r) {
  return d.typeNames[r.type];
}

const Section* findSection(const Drawing& d, std::string_view name) {
  for (const Section& s : d.sections)
    if (s.name == name) return &s;
  return nullptr;
}

namespace {

// The file mapped read-only, kept open with the size and modification time it had: a file
// replaced by renaming another over it (as the writer does) keeps its bytes; one written in
// place does not.
struct Mapping {
  void* at = nullptr;
  size_t size = 0;
  int fd = -1;
  int64_t mtime = 0;
  Mapping() = default;
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;
  ~Mapping() {
    if (at) ::munmap(at, size);
    if (fd >= 0) ::close(fd);
  }
};

int64_t mtimeOf(const struct stat& st) {
  return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// True when the handles are certainly unique, seen on a bitmap when they are dense (as CAD
// programs hand them out: at most 64 handle values per record); false when one repeats or they
// are too sparse for a bitmap.
bool uniqueOnBitmap(const Drawing& d) {
  uint64_t largest = 0;
  for (const Record& r : d.records)
    if (r.flags & HasHandle) largest = std::max(largest, r.handle);
  if (largest / 64 > d.records.size()) return false;
  std::vector<uint64_t> seen(size_t(largest / 64) + 1);
  for (const Record& r : d.records) {
    if (!(r.flags & HasHandle)) continue;
    uint64_t& word = seen[size_t(r.handle / 64)];
    const uint64_t bit = uint64_t{1} << (r.handle % 64);
    if (word & bit) return false;
    word |= bit;
  }
  return true;
}

// Indexes the bytes `storage` holds.
bool openHeld(std::string_view bytes, std::shared_ptr<const void> storage, bool mapped,
              const std::string& file, Drawing& d, DxfError& error) {
  d = Drawing{};
  d.file = file;
  error = DxfError{};
  if (std::string why = refusal(bytes, file); !why.empty()) {
    error.text = why;
    return false;
  }
  d.bytes = bytes;
  d.storage = std::move(storage);
  d.mapped = mapped;
  Indexer ix(d, error);
  if (!ix.run()) return false;
  if (d.version.empty()) d.version = "AC1009";
  // Handles are unique across the file (found by sorting when the bitmap cannot tell).
  if (uniqueOnBitmap(d)) return readTables(d, error);
  std::vector<uint64_t> handles;
  handles.reserve(d.records.size());
  for (const Record& r : d.records)
    if (r.flags & HasHandle) handles.push_back(r.handle);
  std::sort(handles.begin(), handles.end());
  if (auto it = std::adjacent_find(handles.begin(), handles.end()); it != handles.end()) {
    const Record* first = nullptr;
    for (const Record& r : d.records) {
      if (!(r.flags & HasHandle) || r.handle != *it) continue;
      if (first == nullptr) {
        first = &r;
        continue;
      }
      error.line = r.line;
      error.text = file + ": line " + std::to_string(r.line) + ": handle " + handleText(r.handle) +
                   " is already used by the record at line " + std::to_string(first->line);
      return false;
    }
  }
  return readTables(d, error);
}

}  // namespace

bool openDrawing(std::string bytes, const std::string& file, Drawing& d, DxfError& error) {
  auto held = std::make_shared<const std::string>(std::move(bytes));
  const std::string_view view = *held;
  return openHeld(view, std::move(held), false, file, d, error);
}

void releaseBehind(const Drawing& d, uint64_t& released, uint64_t position) {
  if (position - released < (uint64_t(4) << 20)) return;
  releaseBytes(d, released, position);
  released = position;
}

void releaseBytes(const Drawing& d, uint64_t begin, uint64_t end) {
  if (!d.mapped) return;
  const uint64_t page = uint64_t(::sysconf(_SC_PAGESIZE));
  begin = (begin + page - 1) / page * page;  // whole pages inside the range
  end = std::min<uint64_t>(end, d.bytes.size()) / page * page;
  if (begin < end) ::madvise(const_cast<char*>(d.bytes.data()) + begin, end - begin, MADV_DONTNEED);
}

bool bytesUnchanged(const Drawing& d) {
  if (!d.mapped) return true;
  const auto* m = static_cast<const Mapping*>(d.storage.get());
  struct stat st {};
  return ::fstat(m->fd, &st) == 0 && uint64_t(st.st_size) == m->size && mtimeOf(st) == m->mtime;
}

bool readDrawing(const std::string& path, Drawing& d, DxfError& error) {
  // Mapped, so that the pages indexed once leave memory until they are used again.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    auto m = std::make_shared<Mapping>();
    m->size = size_t(st.st_size);
    m->at = ::mmap(nullptr, m->size, PROT_READ, MAP_PRIVATE, fd, 0);
    m->fd = fd;
    m->mtime = mtimeOf(st);
    if (m->at == MAP_FAILED) {
      m->at = nullptr;
    } else {
      const std::string_view view(static_cast<const char*>(m->at), m->size);
      const bool ok = openHeld(view, std::move(m), true, path, d, error);
      releaseBytes(d, 0, d.bytes.size());
      return ok;
    }
  } else if (fd >= 0) {
    ::close(fd);
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = DxfError{path + ": cannot be opened", 0};
    return false;
  }
  in.seekg(0, std::ios::end);
  std::string bytes(static_cast<size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return openDrawing(std::move(bytes), path, d, error);
}

}  // namespace kelvara::dxf
