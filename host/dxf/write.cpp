// The patch writer: the original bytes with deleted records left out and edited records
// rewritten tag by tag; everything else is copied as it is.
#include "host/dxf/write.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>

#include "host/batches.h"
#include "host/files.h"
#include "host/types.h"

namespace kelvara::dxf {
namespace {

// The line ending of the line that starts at `at`.
std::string_view lineEnding(std::string_view bytes, size_t at) {
  const size_t nl = bytes.find('\n', at);
  if (nl == std::string_view::npos) return "\n";
  return nl > at && bytes[nl - 1] == '\r' ? "\r\n" : "\n";
}

// Rank of a common entity group in the order producers write them after the layer's
// neighbours (AcDbEntity); -1 for other codes.
constexpr int kCommonOrder[] = {67, 410, 8,   6,   347, 62,  370, 48,
                                60, 92,  310, 420, 430, 440, 390, 284};
constexpr auto kCommonRanks = [] {
  std::array<int8_t, 441> ranks{};
  ranks.fill(-1);
  for (int i = 0; i < static_cast<int>(std::size(kCommonOrder)); ++i)
    ranks[size_t(kCommonOrder[i])] = int8_t(i);
  return ranks;
}();
int commonRank(int code) {
  return code >= 0 && code < int(kCommonRanks.size()) ? kCommonRanks[size_t(code)] : -1;
}

// One bit per group code (modulo 64): whether an edit may concern a code is asked of a word
// before the edits are searched.
uint64_t codeBit(int code) {
  return uint64_t{1} << (unsigned(code) & 63);
}

bool sameHandle(std::string_view a, std::string_view b) {
  uint64_t x = 0, y = 0;
  return parseHandle(a, x) && parseHandle(b, y) && x == y;
}

// Passes `value` to put(piece), as wide as `old` when `old` is padded with leading blanks.
template <typename Put>
void putPadded(Put& put, std::string_view old, std::string_view value) {
  size_t blanks = 0;
  while (blanks < old.size() && old[blanks] == ' ') ++blanks;
  if (blanks != 0 && value.size() < old.size())
    for (size_t n = old.size() - value.size(); n > 0;) {
      const size_t k = std::min<size_t>(n, 16);
      put(std::string_view("                ", k));
      n -= k;
    }
  put(value);
}

void appendPadded(std::string& out, std::string_view old, std::string_view value) {
  auto into = [&](std::string_view piece) { out += piece; };
  putPadded(into, old, value);
}

// Passes a group an edit adds, its code right-aligned in three columns when the record's are.
template <typename Put>
void putGroup(Put& put, const ValueEdit& e, std::string_view eol, bool pad) {
  char code[16];
  const size_t len = size_t(std::to_chars(code, code + sizeof code, e.code).ptr - code);
  put(std::string_view("   ", pad && len < 3 ? 3 - len : 0));
  put(std::string_view(code, len));
  put(eol);
  put(e.value);
  put(eol);
}

// Rewrites the head of one record (up to its first follower) with the edits applied. One editor
// serves every record of a write, so that its buffers are made once.
struct RecordEditor {
  std::string_view text;  // the record's bytes
  std::string_view type;  // the record's type name, as the index read it
  std::vector<const ValueEdit*> edits;
  std::string out;  // the head as rewritten, without the groups to insert
  // Per edit: done (a group set), and where a missing group goes (an offset in `out`).
  std::vector<uint8_t> setDone;
  // A place in the head: in `out` and in the record's own bytes.
  struct Place {
    size_t out = std::string::npos, text = std::string::npos;
    bool found() const { return out != std::string::npos; }
  };
  std::vector<Place> insertAt;
  // Per edit, where it took effect in the record's bytes: the value it replaced (and that
  // value's length) or where its group goes.
  std::vector<size_t> placed, replacedLength;
  bool removedAny = false;
  std::vector<int> insertRank, wantRank;           // of the group an edit sets (commonRank)
  std::vector<std::pair<size_t, size_t>> inserts;  // (offset in `out`, edit)
  std::string_view eol, tail;
  bool pad = false;

  void start(std::string_view recordBytes, std::string_view typeName) {
    text = recordBytes;
    type = typeName;
    edits.clear();
  }

  // The head is copied from the record in runs: `out` holds the record's bytes before `copied`
  // as rewritten, and the bytes from `copied` on are added when something changes after them.
  void run() {
    TagReader reader(text);
    reader.pos = 0;  // a record never starts with a byte order mark
    eol = lineEnding(text, 0);
    pad = !text.empty() && text[0] == ' ';
    out.clear();
    size_t copied = 0, covered = 0;  // `covered`: the end of the last tag read of the head
    auto at = [&](size_t textAt) { return Place{out.size() + (textAt - copied), textAt}; };
    auto copyTo = [&](size_t textAt) {
      out.append(text.substr(copied, textAt - copied));
      copied = textAt;
    };
    Tag tag;
    setDone.assign(edits.size(), 0);
    placed.assign(edits.size(), std::string::npos);
    replacedLength.assign(edits.size(), 0);
    removedAny = false;
    uint64_t removing = 0, setting = 0;
    for (const ValueEdit* e : edits)
      (e->code < 0 ? removing : setting) |= codeBit(std::abs(e->code));
    bool inGroup = false, inXData = false, ownerSeen = false, dropNext5 = false;
    bool sawSubclass = false, inEntityClass = false;
    // The paired groups go by the record's type, as the planner and the validator judge them,
    // not by its subclass markers (which a damaged file may misspell).
    const bool dictionary = type == "DICTIONARY" || type == "ACDBDICTIONARYWDFLT";
    const bool sortents = type == "SORTENTSTABLE", hatch = type == "HATCH";
    size_t last97At = std::string::npos, last97Len = 0;
    int lastCode = -1;  // the last tag written, and where it starts in `out`
    size_t lastAt = 0;
    insertAt.assign(edits.size(), Place{});
    insertRank.assign(edits.size(), -2);
    wantRank.resize(edits.size());
    for (size_t i = 0; i < edits.size(); ++i) wantRank[i] = commonRank(edits[i]->code);
    Place commonStart, ownEnd;
    size_t headEnd = text.size();
    bool first = true;
    while (reader.next(tag)) {
      const size_t codeAt = tag.offset;
      const size_t valueAt = static_cast<size_t>(tag.value.data() - text.data());
      const size_t valueEnd = valueAt + tag.value.size();
      const size_t lineEnd = reader.pos;
      if (tag.code == 0 && !first) {
        headEnd = codeAt;
        break;
      }
      covered = lineEnd;
      const int c = tag.code;
      if (c == 1001 && !inXData) {
        inXData = true;
        ownEnd = at(codeAt);
      }
      auto drop = [&] {
        copyTo(codeAt);
        copied = lineEnd;
      };
      if (c == 5 && dropNext5) {
        dropNext5 = false;
        drop();
        continue;
      }
      dropNext5 = false;
      // Removals.
      bool removed = false;
      if (removing & codeBit(c))
        for (const ValueEdit* e : edits)
          if (e->code < 0 && -e->code == c &&
              (e->value.empty() ? !inGroup && !inXData
                                : tag.value == e->value || sameHandle(tag.value, e->value)))
            removed = true;
      const bool isOwner = c == 330 && !inGroup && !inXData && !ownerSeen;
      if (removed) {
        removedAny = true;
        drop();
        if (c == 331 && !inGroup && sortents) dropNext5 = true;
        if ((c == 350 || c == 360) && !inGroup && dictionary && lastCode == 3)
          out.resize(lastAt), lastCode = -1;
        if (c == 330 && !inGroup && !isOwner && hatch && last97At != std::string::npos) {
          int64_t n = 0;
          if (parseInt(std::string_view(out).substr(last97At, last97Len), n) && n > 0) {
            const std::string v =
                padded(std::string_view(out).substr(last97At, last97Len), std::to_string(n - 1));
            out.replace(last97At, last97Len, v);
            last97Len = v.size();
          }
        }
        continue;
      }
      if (isOwner) ownerSeen = true;
      if (c == 102) {
        const std::string_view v = tag.value;
        inGroup = !v.empty() && v.find('{') != std::string_view::npos;
      }
      lastCode = c;
      lastAt = at(codeAt).out;
      // Set edits: the first group of the code outside 102 groups and XDATA.
      bool replaced = false;
      if (!inGroup && !inXData && c != 102 && (setting & codeBit(c)))
        for (size_t i = 0; i < edits.size(); ++i)
          if (edits[i]->code == c && !setDone[i] && !replaced) {
            setDone[i] = 1;
            replaced = true;
            placed[i] = valueAt;
            replacedLength[i] = tag.value.size();
            copyTo(valueAt);
            appendPadded(out, tag.value, edits[i]->value);
            copied = valueEnd;
          }
      if (!replaced && c == 97 && hatch) {
        last97At = at(valueAt).out;
        last97Len = tag.value.size();
      }
      first = false;
      // Track where the common entity groups stand.
      if (c == 100) {
        sawSubclass = true;
        inEntityClass = tag.value == "AcDbEntity";
        if (inEntityClass) commonStart = at(lineEnd);
        continue;
      }
      if (inGroup || inXData) continue;
      const int rank = commonRank(c);
      const bool common = sawSubclass ? inEntityClass : (c == 5 || rank >= 0);
      if (!sawSubclass && c == 5) commonStart = at(lineEnd);
      if (!commonStart.found() && !sawSubclass && c == 0) commonStart = at(lineEnd);
      if (!common || rank < 0) continue;
      for (size_t i = 0; i < edits.size(); ++i) {
        const int want = wantRank[i];
        if (want >= 0 && rank < want && rank >= insertRank[i]) {
          insertRank[i] = rank;
          insertAt[i] = at(lineEnd);
        }
      }
    }
    copyTo(covered);
    if (!ownEnd.found()) ownEnd = Place{out.size(), covered};
    // Missing groups: where each goes; of two at one place, the later edit comes first.
    inserts.clear();
    for (size_t i = 0; i < edits.size(); ++i) {
      if (edits[i]->code < 0 || setDone[i]) continue;
      Place where = ownEnd;
      if (wantRank[i] >= 0)
        where = insertAt[i].found() ? insertAt[i] : commonStart.found() ? commonStart : ownEnd;
      inserts.emplace_back(where.out, i);
      placed[i] = where.text;
    }
    std::sort(inserts.begin(), inserts.end(), [](const auto& a, const auto& b) {
      return a.first != b.first ? a.first < b.first : a.second > b.second;
    });
    tail = text.substr(headEnd);
  }

  // Passes the rewritten record to put(piece): the head with the missing groups inserted, then
  // the record's followers as they are.
  template <typename Put>
  void emit(Put& put) const {
    size_t from = 0;
    for (const auto& [at, i] : inserts) {
      put(std::string_view(out).substr(from, at - from));
      putGroup(put, *edits[i], eol, pad);
      from = at;
    }
    put(std::string_view(out).substr(from));
    put(tail);
  }
};

// The edits a sketch stands for, in the order the editor takes them (see sketchOf).
const ValueEdit kSketched[] = {{0, 8, ""},  {0, 6, ""},    {0, 370, ""},
                               {0, 62, ""}, {0, -420, ""}, {0, -430, ""}};

RestyleSketch sketchOf(RecordEditor& editor, std::string_view text, std::string_view type) {
  editor.start(text, type);
  for (const ValueEdit& e : kSketched) editor.edits.push_back(&e);
  editor.run();
  RestyleSketch k;
  const auto& at = editor.placed;
  // Its own layer and none of the other groups (a group found stands where no group is
  // inserted), so that the groups it lacks all go to one place, right after the layer's value
  // line; nothing removed. A record's followers come after its head as they are, either way.
  if (text.size() > 0xFFFF || editor.removedAny || !editor.setDone[0] || at[2] != at[1] ||
      at[3] != at[1] || text.find('\n', at[0]) + 1 != at[1])
    return k;
  k.insertAt = uint16_t(at[1]);
  return k;
}

// A look as a sketch applies it: the layer it sets and the groups it adds, in the order the
// editor writes them at one place (the later edit first). Not `sketched` when it has an edit of
// another kind.
struct SketchedLook {
  bool sketched = false;
  const ValueEdit* layer = nullptr;
  std::vector<const ValueEdit*> added;
};

SketchedLook sketchedLook(const std::vector<ValueEdit>& look) {
  SketchedLook s;
  for (const ValueEdit& e : look) {
    const bool dropped = (e.code == -420 || e.code == -430) && e.value.empty();
    const bool added = e.code == 6 || e.code == 62 || e.code == 370;
    const bool repeated = std::count_if(look.begin(), look.end(),
                                        [&](const ValueEdit& o) { return o.code == e.code; }) > 1;
    if (repeated || (!dropped && !added && e.code != 8)) return {};
    if (e.code == 8) s.layer = &e;
    if (added) s.added.insert(s.added.begin(), &e);
  }
  s.sketched = true;
  return s;
}

// Passes a record in a look by its sketch; false (nothing passed) when the sketch does not fit
// the record.
template <typename Put>
bool putSketched(std::string_view text, const RestyleSketch& k, const SketchedLook& look,
                 Put& put) {
  // The layer's value is the line that ends at the insertion place.
  if (k.insertAt < 2 || !look.sketched || k.insertAt > text.size() || text[k.insertAt - 1] != '\n')
    return false;
  const size_t layerAt = text.rfind('\n', k.insertAt - 2) + 1;  // 0 when none
  size_t layerEnd = k.insertAt - 1;
  if (layerEnd > layerAt && text[layerEnd - 1] == '\r') --layerEnd;
  size_t from = 0;
  if (look.layer) {
    put(text.substr(0, layerAt));
    putPadded(put, text.substr(layerAt, layerEnd - layerAt), look.layer->value);
    from = layerEnd;
  }
  put(text.substr(from, k.insertAt - from));
  const std::string_view eol = lineEnding(text, 0);
  for (const ValueEdit* e : look.added) putGroup(put, *e, eol, !text.empty() && text[0] == ' ');
  put(text.substr(k.insertAt));
  return true;
}

// "" when the restyle gives records within the drawing, in ascending order, each a look of its
// own; else what is wrong.
std::string restyleProblem(const Drawing& d, const Restyle& restyle) {
  if (restyle.lookOf.size() != restyle.records.size())
    return "the patch's restyled records and their looks differ in number";
  for (size_t i = 0; i < restyle.records.size(); ++i)
    if (restyle.records[i] >= d.records.size() ||
        (i > 0 && restyle.records[i] <= restyle.records[i - 1]) ||
        restyle.lookOf[i] >= restyle.looks.size())
      return "the patch restyles record " + std::to_string(restyle.records[i]) +
             " out of order, outside the drawing or with a look it has not";
  return {};
}

// A patch's parts in record order, each within the drawing: the records to drop, the edits of
// the others, the insertions and the restyle (left out when it is not usable as a whole).
struct Streams {
  std::vector<uint32_t> deleted;
  std::vector<const ValueEdit*> edits;
  std::vector<const Insertion*> insertions;
  std::span<const uint32_t> restyled;
  std::span<const uint8_t> lookOf;
  const std::vector<std::vector<ValueEdit>>* looks = nullptr;
  std::span<const RestyleSketch> sketches;  // empty, or one per restyled record
  std::vector<SketchedLook> sketchedLooks;
};

Streams streamsOf(const Drawing& d, const Patch& patch) {
  const size_t n = d.records.size();
  Streams s;
  s.deleted.reserve(patch.deleteRecords.size());
  for (uint32_t r : patch.deleteRecords)
    if (r < n) s.deleted.push_back(r);
  std::sort(s.deleted.begin(), s.deleted.end());
  s.deleted.erase(std::unique(s.deleted.begin(), s.deleted.end()), s.deleted.end());
  for (const ValueEdit& e : patch.edits)
    if (e.record < n && !std::binary_search(s.deleted.begin(), s.deleted.end(), e.record))
      s.edits.push_back(&e);
  std::stable_sort(s.edits.begin(), s.edits.end(),
                   [](const ValueEdit* a, const ValueEdit* b) { return a->record < b->record; });
  for (const Insertion& i : patch.insertions)
    if (i.before < n) s.insertions.push_back(&i);
  std::stable_sort(s.insertions.begin(), s.insertions.end(),
                   [](const Insertion* a, const Insertion* b) { return a->before < b->before; });
  if (restyleProblem(d, patch.restyle).empty()) {
    s.restyled = patch.restyle.records;
    s.lookOf = patch.restyle.lookOf;
    s.looks = &patch.restyle.looks;
    if (patch.restyle.sketches.size() == s.restyled.size()) {
      s.sketches = patch.restyle.sketches;
      for (const std::vector<ValueEdit>& look : patch.restyle.looks)
        s.sketchedLooks.push_back(sketchedLook(look));
    }
  }
  return s;
}

// Passes the header with the patch's header edits to put(piece), up to the position returned.
// A header that does not come before every record is left as it is.
template <typename Put>
uint64_t patchedHeader(const Drawing& d, const Patch& patch, Put& put) {
  const Section* head = patch.header.empty() ? nullptr : findSection(d, "HEADER");
  if (!head || (!d.records.empty() && head->end > d.records.front().begin)) return 0;
  const std::string_view bytes = d.bytes;
  uint64_t pos = 0;
  TagReader reader(bytes.substr(0, head->end));
  reader.pos = head->begin;
  Tag tag;
  std::string_view variable;
  while (reader.next(tag)) {
    const auto edit = std::find_if(patch.header.begin(), patch.header.end(),
                                   [&](const HeaderEdit& e) { return e.name == variable; });
    variable = tag.code == 9 ? tag.value : std::string_view();
    if (edit == patch.header.end() || tag.code == 9) continue;
    const uint64_t at = static_cast<uint64_t>(tag.value.data() - bytes.data());
    put(bytes.substr(pos, at - pos));
    put(padded(tag.value, edit->value));
    pos = at + tag.value.size();
  }
  return pos;
}

// Passes the drawing's bytes from `pos` to `end` to put(piece), with the records [first, last)
// that lie between patched.
template <typename Put>
void patchedRecords(const Drawing& d, const Streams& s, uint32_t first, uint32_t last, uint64_t pos,
                    uint64_t end, RecordEditor& editor, Put& put) {
  const std::string_view bytes = d.bytes;
  size_t di =
      size_t(std::lower_bound(s.deleted.begin(), s.deleted.end(), first) - s.deleted.begin());
  size_t ei =
      size_t(std::lower_bound(s.edits.begin(), s.edits.end(), first,
                              [](const ValueEdit* e, uint32_t r) { return e->record < r; }) -
             s.edits.begin());
  size_t ii =
      size_t(std::lower_bound(s.insertions.begin(), s.insertions.end(), first,
                              [](const Insertion* i, uint32_t r) { return i->before < r; }) -
             s.insertions.begin());
  size_t ri =
      size_t(std::lower_bound(s.restyled.begin(), s.restyled.end(), first) - s.restyled.begin());
  for (;;) {
    uint32_t r = last;
    if (di < s.deleted.size()) r = std::min(r, s.deleted[di]);
    if (ei < s.edits.size()) r = std::min(r, s.edits[ei]->record);
    if (ii < s.insertions.size()) r = std::min(r, s.insertions[ii]->before);
    if (ri < s.restyled.size()) r = std::min(r, s.restyled[ri]);
    if (r >= last) break;
    const Record& rec = d.records[r];
    put(bytes.substr(pos, rec.begin - pos));
    pos = rec.begin;
    while (ii < s.insertions.size() && s.insertions[ii]->before == r) put(s.insertions[ii++]->text);
    const std::vector<ValueEdit>* look = nullptr;
    size_t restyledAt = 0;
    if (ri < s.restyled.size() && s.restyled[ri] == r) {
      restyledAt = ri++;
      look = &(*s.looks)[s.lookOf[restyledAt]];
    }
    if (di < s.deleted.size() && s.deleted[di] == r) {
      ++di;
      pos = rec.end;
      continue;
    }
    const bool ownEdits = ei < s.edits.size() && s.edits[ei]->record == r;
    if (!ownEdits && !look) continue;  // only insertions before it
    if (!ownEdits && !s.sketches.empty() &&
        putSketched(recordText(d, rec), s.sketches[restyledAt],
                    s.sketchedLooks[s.lookOf[restyledAt]], put)) {
      pos = rec.end;
      continue;
    }
    editor.start(recordText(d, rec), typeName(d, rec));
    while (ei < s.edits.size() && s.edits[ei]->record == r) editor.edits.push_back(s.edits[ei++]);
    const size_t own = editor.edits.size();
    if (look)
      for (const ValueEdit& e : *look) {
        bool ownCode = false;
        for (size_t k = 0; k < own; ++k) ownCode = ownCode || editor.edits[k]->code == e.code;
        if (!ownCode) editor.edits.push_back(&e);
      }
    editor.run();
    editor.emit(put);
    pos = rec.end;
  }
  put(bytes.substr(pos, end - pos));
}

// The patched drawing is made in chunks of records on two threads (host/batches.h) and passed on
// in order.
struct Chunk {
  static constexpr uint32_t kRecords = 2048;
  std::string bytes;
  RecordEditor editor;
};

}  // namespace

std::string padded(std::string_view old, std::string_view value) {
  std::string out;
  appendPadded(out, old, value);
  return out;
}

std::string applyPatch(const Drawing& d, const Patch& patch) {
  std::string out;
  out.reserve(d.bytes.size() + patch.edits.size() * 16);
  auto put = [&](std::string_view piece) { out += piece; };
  const Streams s = streamsOf(d, patch);
  RecordEditor editor;
  const uint64_t pos = patchedHeader(d, patch, put);
  patchedRecords(d, s, 0, uint32_t(d.records.size()), pos, d.bytes.size(), editor, put);
  releaseBytes(d, 0, d.bytes.size());
  return out;
}

std::vector<RestyleSketch> sketchRestyle(const Drawing& d, std::span<const uint32_t> records,
                                         std::stop_token stop) {
  // Filled as it goes, and the drawing's pages released behind every megabyte: the sketches
  // are made while the run holds the most memory.
  std::vector<RestyleSketch> sketches;
  sketches.reserve(records.size());
  RecordEditor editor;
  uint64_t released = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    if (i % 1024 == 0 && stop.stop_requested()) return {};
    if (records[i] >= d.records.size()) {
      sketches.emplace_back();
      continue;
    }
    const Record& r = d.records[records[i]];
    releaseBehind(d, released, r.begin, 1 << 20);
    sketches.push_back(sketchOf(editor, recordText(d, r), typeName(d, r)));
  }
  if (!records.empty() && records.back() < d.records.size())
    releaseBytes(d, released, d.records[records.back()].end);
  return sketches;
}

bool writePatched(const Drawing& d, const Patch& patch, const std::string& path, std::string& error,
                  Durability durability) {
  error.clear();
  for (uint32_t r : patch.deleteRecords)
    if (r >= d.records.size())
      error =
          path + ": the patch names record " + std::to_string(r) + ", which the drawing has not";
  for (const ValueEdit& e : patch.edits)
    if (e.record >= d.records.size())
      error = path + ": the patch names record " + std::to_string(e.record) +
              ", which the drawing has not";
  for (const Insertion& i : patch.insertions)
    if (i.before >= d.records.size())
      error = path + ": the patch names record " + std::to_string(i.before) +
              ", which the drawing has not";
  const std::string restyle = restyleProblem(d, patch.restyle);
  if (!restyle.empty()) error = path + ": " + restyle;
  if (!error.empty()) return false;
  if (!bytesUnchanged(d)) {
    error = d.file + ": the drawing changed on disk since it was read; it is not written";
    return false;
  }
  // The drawing is made chunk by chunk, a few chunks in memory at a time, and goes to the file
  // through a buffer (small pieces) or straight (large ones).
  StreamedFile file;
  if (beginStreamedFile(file, path, &error) != SUCCESS) return false;
  std::string buffer;
  constexpr size_t kBuffer = 1 << 20;
  buffer.reserve(kBuffer);
  bool ok = true;
  auto flush = [&] {
    if (ok && !buffer.empty()) ok = appendToStreamedFile(file, bytesOf(buffer), &error) == SUCCESS;
    buffer.clear();
  };
  auto put = [&](std::string_view piece) {
    if (buffer.size() + piece.size() > kBuffer) flush();
    if (piece.size() >= kBuffer) {
      if (ok) ok = appendToStreamedFile(file, bytesOf(piece), &error) == SUCCESS;
    } else {
      buffer += piece;
    }
  };
  const Streams s = streamsOf(d, patch);
  const uint64_t headerEnd = patchedHeader(d, patch, put);
  const size_t n = d.records.size();
  const size_t chunks = std::max<size_t>(1, (n + Chunk::kRecords - 1) / Chunk::kRecords);
  auto chunkBegin = [&](size_t c) {
    return c == 0 ? headerEnd : d.records[c * Chunk::kRecords].begin;
  };
  auto chunkEnd = [&](size_t c) {
    return c + 1 == chunks ? uint64_t(d.bytes.size()) : d.records[(c + 1) * Chunk::kRecords].begin;
  };
  std::vector<Chunk> slots(3);
  uint64_t released = 0;
  processInOrder(
      chunks, slots,
      [&](size_t c, Chunk& chunk) {
        chunk.bytes.clear();
        auto into = [&](std::string_view piece) { chunk.bytes += piece; };
        const uint32_t first = uint32_t(c * Chunk::kRecords);
        const uint32_t last = uint32_t(std::min(n, (c + 1) * Chunk::kRecords));
        patchedRecords(d, s, first, last, chunkBegin(c), chunkEnd(c), chunk.editor, into);
      },
      [&](size_t c, Chunk& chunk) {
        put(chunk.bytes);
        releaseBehind(d, released, chunkEnd(c));
        return ok;
      });
  releaseBytes(d, released, d.bytes.size());
  flush();
  return ok && finishStreamedFile(file, durability, &error) == SUCCESS;
}

}  // namespace kelvara::dxf
