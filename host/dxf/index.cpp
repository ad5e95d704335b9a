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
#include <limits>
#include <stop_token>
#include <thread>
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

struct Ahead;

// What ended a run of records.
enum class Ended { EndSec, At, Failed };
constexpr uint64_t kNowhere = std::numeric_limits<uint64_t>::max();

struct Indexer {
  Drawing& d;
  DxfError& error;
  TagReader reader;
  std::unordered_map<std::string_view, uint16_t> types;
  Tag tag;
  bool have = false;         // `tag` holds a tag not yet consumed
  int64_t complexHead = -1;  // POLYLINE or INSERT with followers still open
  std::string_view complexType;
  std::stop_token stop;  // a reader ahead gives up when asked
  // The handles of followers (VERTEX, ATTRIB, SEQEND), with their lines: they are not records
  // of their own, but their handles must not repeat either.
  std::vector<std::pair<uint64_t, uint32_t>> followerHandles;

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
  Ended records(const Section& s, uint8_t sectionIndex, uint32_t startLine, uint64_t at);
  bool take(Ahead& ahead);
  bool section();
  bool run();
};

// A large ENTITIES section is indexed from both ends at once: a second reader starts at a record
// in its middle and reads to ENDSEC, while the first reads up to that record and takes the
// second's records. Nothing is taken unless the first reader arrives at exactly that record
// with no POLYLINE or INSERT open; then both have read the same tags from there. Otherwise, or
// when the second fails (an error, another section), the first reads on itself and the second's
// work is dropped, so errors are those of one reader, with their lines.
constexpr uint64_t kSplitBytes = 1 << 20;

struct Ahead {
  Drawing part;  // the records read ahead (lines counted from `start`), their types and measures
  std::vector<std::string_view> typeNames;  // part's, as views of the file's bytes
  std::vector<std::pair<uint64_t, uint32_t>> followerHandles;  // lines counted from `start`
  DxfError error;
  uint64_t start = 0;    // the record the second reader starts at
  uint64_t endSec = 0;   // where its ENDSEC tag starts
  uint32_t endLine = 0;  // and its line, counted from `start`
  bool read = false;     // it reached ENDSEC with nothing open
  std::jthread thread;   // last: an Ahead going away stops and joins its reader first
};

std::string_view lineAt(std::string_view bytes, uint64_t at, uint64_t& next) {
  const size_t nl = bytes.find('\n', at);
  next = nl == std::string_view::npos ? bytes.size() : nl + 1;
  std::string_view line = bytes.substr(at, (nl == std::string_view::npos ? bytes.size() : nl) - at);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// The first record start from `from` on (within `reach` bytes): a code line "0" whose value is
// a name, not a follower's, ENDSEC, SECTION or EOF. In a well-formed file only a record starts
// so: read from a value line, a "0" would be followed by a code line, which is all digits.
uint64_t recordStartFrom(std::string_view bytes, uint64_t from, uint64_t reach) {
  uint64_t at = 0;
  (void)lineAt(bytes, from, at);  // the rest of the line `from` falls in
  const uint64_t limit = std::min<uint64_t>(bytes.size(), from + reach);
  while (at < limit) {
    uint64_t valueAt = 0, after = 0;
    const std::string_view code = trimmed(lineAt(bytes, at, valueAt));
    if (code == "0" && valueAt < bytes.size()) {
      const std::string_view name = trimmed(lineAt(bytes, valueAt, after));
      const bool digits =
          name.find_first_not_of("0123456789") == std::string_view::npos;  // "" included
      if (!digits && name != "VERTEX" && name != "ATTRIB" && name != "SEQEND" && name != "ENDSEC" &&
          name != "SECTION" && name != "EOF")
        return at;
    }
    at = valueAt;
  }
  return kNowhere;
}

// The second reader: from a.start to the ENTITIES section's end.
void readAhead(std::stop_token stop, Ahead& a, uint8_t sectionIndex) {
  try {
    a.part.records.reserve((a.part.bytes.size() - a.start) / 128);
    Indexer ix(a.part, a.error);
    ix.stop = stop;
    ix.reader.pos = a.start;
    ix.advance();
    Section s;
    s.name = "ENTITIES";
    if (ix.records(s, sectionIndex, 0, kNowhere) != Ended::EndSec || ix.complexHead >= 0) return;
    a.typeNames.resize(a.part.typeNames.size());
    for (const auto& [name, id] : ix.types) a.typeNames[id] = name;
    a.followerHandles = std::move(ix.followerHandles);
    a.endSec = ix.tag.offset;
    a.endLine = ix.tag.line;
    a.read = true;
  } catch (const std::exception&) {
    a.read = false;  // the first reader reads on itself
  }
}

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
  complexHead = -1;
  std::unique_ptr<Ahead> ahead;
  if (s.name == "ENTITIES" && have && d.bytes.size() - tag.offset >= 2 * kSplitBytes) {
    const uint64_t middle = tag.offset + (d.bytes.size() - tag.offset) / 2;
    const uint64_t start = recordStartFrom(d.bytes, middle, kSplitBytes);
    if (start != kNowhere) {
      ahead = std::make_unique<Ahead>();
      ahead->start = start;
      ahead->part.file = d.file;
      ahead->part.bytes = d.bytes;
      ahead->thread = std::jthread(readAhead, std::ref(*ahead), sectionIndex);
    }
  }
  Ended ended = records(s, sectionIndex, startLine, ahead ? ahead->start : kNowhere);
  if (ended == Ended::At) {
    if (tag.offset == ahead->start && complexHead < 0 && take(*ahead)) advance();
    ahead.reset();
    ended = records(s, sectionIndex, startLine, kNowhere);
  }
  ahead.reset();
  if (ended == Ended::Failed) return false;
  if (complexHead >= 0)
    return fail(d.records[complexHead].line, std::string(complexType) + " without SEQEND");
  s.end = reader.pos;
  s.recordCount = static_cast<uint32_t>(d.records.size()) - s.firstRecord;
  d.sections.push_back(std::move(s));
  advance();
  return !readError();
}

// Reads records from the current tag up to the section's ENDSEC, left in `tag` (EndSec), or up
// to the first record that starts at or after byte `at` (At).
Ended Indexer::records(const Section& s, uint8_t sectionIndex, uint32_t startLine, uint64_t at) {
  const bool entities = s.name == "ENTITIES" || s.name == "BLOCKS";
  while (have) {
    if (tag.offset >= at) return Ended::At;
    if (stop.stop_requested()) return Ended::Failed;
    if (tag.code != 0) {
      fail(tag.line, "group code " + std::to_string(tag.code) + " outside a record");
      return Ended::Failed;
    }
    const std::string_view type = trimmed(tag.value);
    if (type == "ENDSEC") return Ended::EndSec;
    if (type == "SECTION" || type == "EOF") {
      fail(tag.line, "section " + s.name + " opened at line " + std::to_string(startLine) +
                         " is not closed (ENDSEC)");
      return Ended::Failed;
    }
    if (d.typeNames.size() >= 0xFFFF && !types.count(type)) {
      fail(tag.line, "too many record types");
      return Ended::Failed;
    }
    Record r;
    r.begin = tag.offset;
    r.line = tag.line;
    r.section = sectionIndex;
    r.type = typeId(type);
    if (!record(r, type, entities && type != "BLOCK" && type != "ENDBLK")) return Ended::Failed;
    r.end = have ? tag.offset : reader.pos;
    if (complexHead >= 0) {
      const bool follower =
          type == "SEQEND" || type == (complexType == "POLYLINE" ? "VERTEX" : "ATTRIB");
      if (!follower) {
        fail(d.records[complexHead].line, std::string(complexType) + " without SEQEND");
        return Ended::Failed;
      }
      if (r.flags & HasHandle) followerHandles.emplace_back(r.handle, r.line);
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
  if (!readError())
    fail(reader.line, "section " + s.name + " opened at line " + std::to_string(startLine) +
                          " is not closed (ENDSEC)");
  return Ended::Failed;
}

// Takes the records read ahead, the first reader being at their first: false (nothing taken)
// when the second reader did not reach ENDSEC or the types would be too many. The reader is
// left before the ENDSEC.
bool Indexer::take(Ahead& ahead) {
  ahead.thread.join();
  if (!ahead.read) return false;
  const Drawing& part = ahead.part;
  size_t unknown = 0;
  for (const std::string_view name : ahead.typeNames) unknown += !types.count(name);
  if (d.typeNames.size() + unknown > 0xFFFF) return false;
  std::vector<uint16_t> typeOf(ahead.typeNames.size());
  for (size_t i = 0; i < ahead.typeNames.size(); ++i) typeOf[i] = typeId(ahead.typeNames[i]);
  const uint32_t lines = tag.line - 1;  // the second reader counted from 1 at its first record
  for (Record r : part.records) {
    r.type = typeOf[r.type];
    r.line += lines;
    d.records.push_back(r);
  }
  d.largestCoordinate = std::max(d.largestCoordinate, part.largestCoordinate);
  d.anyZ = d.anyZ || part.anyZ;
  for (const auto& [handle, line] : ahead.followerHandles)
    followerHandles.emplace_back(handle, line + lines);
  d.readers = 2;
  reader.pos = ahead.endSec;
  reader.line = ahead.endLine + lines;
  return true;
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

// True when the handles (of records and of followers) are certainly unique, seen on a bitmap
// when they are dense (as CAD programs hand them out: at most 64 handle values per record);
// false when one repeats or they are too sparse for a bitmap.
bool uniqueOnBitmap(const Drawing& d, const std::vector<std::pair<uint64_t, uint32_t>>& followers) {
  uint64_t largest = 0;
  for (const Record& r : d.records)
    if (r.flags & HasHandle) largest = std::max(largest, r.handle);
  for (const auto& f : followers) largest = std::max(largest, f.first);
  if (largest / 64 > d.records.size() + followers.size()) return false;
  std::vector<uint64_t> seen(size_t(largest / 64) + 1);
  auto fresh = [&](uint64_t handle) {
    uint64_t& word = seen[size_t(handle / 64)];
    const uint64_t bit = uint64_t{1} << (handle % 64);
    if (word & bit) return false;
    word |= bit;
    return true;
  };
  for (const Record& r : d.records)
    if ((r.flags & HasHandle) && !fresh(r.handle)) return false;
  for (const auto& f : followers)
    if (!fresh(f.first)) return false;
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
  // Handles are unique across the file, followers' included (found by sorting when the bitmap
  // cannot tell): the second use of the smallest handle used twice is named.
  if (uniqueOnBitmap(d, ix.followerHandles)) return readTables(d, error);
  std::vector<std::pair<uint64_t, uint32_t>> handles(std::move(ix.followerHandles));
  for (const Record& r : d.records)
    if (r.flags & HasHandle) handles.emplace_back(r.handle, r.line);
  std::sort(handles.begin(), handles.end());
  const auto twice =
      std::adjacent_find(handles.begin(), handles.end(),
                         [](const auto& a, const auto& b) { return a.first == b.first; });
  if (twice != handles.end()) {
    error.line = twice[1].second;
    error.text = file + ": line " + std::to_string(error.line) + ": handle " +
                 handleText(twice->first) + " is already used by the record at line " +
                 std::to_string(twice->second);
    return false;
  }
  return readTables(d, error);
}

}  // namespace

bool openDrawing(std::string bytes, const std::string& file, Drawing& d, DxfError& error) {
  auto held = std::make_shared<const std::string>(std::move(bytes));
  const std::string_view view = *held;
  return openHeld(view, std::move(held), false, file, d, error);
}

void releaseBehind(const Drawing& d, uint64_t& released, uint64_t position, uint64_t step) {
  if (position - released < step) return;
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
