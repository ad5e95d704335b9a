// The patch writer: the original bytes with deleted records left out and edited records
// rewritten tag by tag; everything else is copied as it is.
#include "host/dxf/write.h"

#include <algorithm>
#include <cstdio>

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
int commonRank(int code) {
  static constexpr int order[] = {67, 410, 8,   6,   347, 62,  370, 48,
                                  60, 92,  310, 420, 430, 440, 390, 284};
  for (int i = 0; i < static_cast<int>(std::size(order)); ++i)
    if (order[i] == code) return i;
  return -1;
}

bool sameHandle(std::string_view a, std::string_view b) {
  uint64_t x = 0, y = 0;
  return parseHandle(a, x) && parseHandle(b, y) && x == y;
}

// A value of the same width as `old` when `old` is padded with leading blanks.
std::string padded(std::string_view old, const std::string& value) {
  size_t blanks = 0;
  while (blanks < old.size() && old[blanks] == ' ') ++blanks;
  if (blanks == 0 || value.size() >= old.size()) return value;
  return std::string(old.size() - value.size(), ' ') + value;
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
  std::vector<size_t> insertAt;
  std::vector<int> insertRank;
  std::vector<std::pair<size_t, size_t>> inserts;  // (offset in `out`, edit)
  std::string_view eol, tail;
  bool pad = false;

  void start(std::string_view recordBytes, std::string_view typeName) {
    text = recordBytes;
    type = typeName;
    edits.clear();
  }

  void run() {
    TagReader reader(text);
    reader.pos = 0;  // a record never starts with a byte order mark
    eol = lineEnding(text, 0);
    pad = !text.empty() && text[0] == ' ';
    out.clear();
    Tag tag;
    setDone.assign(edits.size(), 0);
    bool inGroup = false, inXData = false, ownerSeen = false, dropNext5 = false;
    bool sawSubclass = false, inEntityClass = false;
    // The paired groups go by the record's type, as the planner and the validator judge them,
    // not by its subclass markers (which a damaged file may misspell).
    const bool dictionary = type == "DICTIONARY" || type == "ACDBDICTIONARYWDFLT";
    const bool sortents = type == "SORTENTSTABLE", hatch = type == "HATCH";
    size_t last97At = std::string::npos, last97Len = 0;
    int lastCode = -1;  // the last tag written, and where it starts in `out`
    size_t lastAt = 0;
    insertAt.assign(edits.size(), std::string::npos);
    insertRank.assign(edits.size(), -2);
    size_t commonStart = std::string::npos, ownEnd = std::string::npos;
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
      const int c = tag.code;
      if (c == 1001 && !inXData) {
        inXData = true;
        ownEnd = out.size();
      }
      if (c == 5 && dropNext5) {
        dropNext5 = false;
        continue;
      }
      dropNext5 = false;
      // Removals.
      bool removed = false;
      for (const ValueEdit* e : edits)
        if (e->code < 0 && -e->code == c &&
            (e->value.empty() ? !inGroup && !inXData
                              : tag.value == e->value || sameHandle(tag.value, e->value)))
          removed = true;
      const bool isOwner = c == 330 && !inGroup && !inXData && !ownerSeen;
      if (removed) {
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
      lastAt = out.size();
      // Set edits: the first group of the code outside 102 groups and XDATA.
      bool replaced = false;
      if (!inGroup && !inXData && c != 102)
        for (size_t i = 0; i < edits.size(); ++i)
          if (edits[i]->code == c && !setDone[i] && !replaced) {
            setDone[i] = 1;
            replaced = true;
            out.append(text.substr(codeAt, valueAt - codeAt));
            appendPadded(tag.value, edits[i]->value);
            out.append(text.substr(valueEnd, lineEnd - valueEnd));
          }
      if (!replaced) {
        if (c == 97 && hatch) {
          last97At = out.size() + (valueAt - codeAt);
          last97Len = tag.value.size();
        }
        out.append(text.substr(codeAt, lineEnd - codeAt));
      }
      first = false;
      // Track where the common entity groups stand.
      if (c == 100) {
        sawSubclass = true;
        inEntityClass = tag.value == "AcDbEntity";
        if (inEntityClass) commonStart = out.size();
        continue;
      }
      if (inGroup || inXData) continue;
      const bool common = sawSubclass ? inEntityClass : (c == 5 || commonRank(c) >= 0);
      if (!sawSubclass && c == 5) commonStart = out.size();
      if (commonStart == std::string::npos && !sawSubclass && c == 0) commonStart = out.size();
      if (!common) continue;
      const int rank = commonRank(c);
      for (size_t i = 0; i < edits.size(); ++i) {
        const int want = commonRank(edits[i]->code);
        if (want >= 0 && rank >= 0 && rank < want && rank >= insertRank[i]) {
          insertRank[i] = rank;
          insertAt[i] = out.size();
        }
      }
    }
    if (ownEnd == std::string::npos) ownEnd = out.size();
    // Missing groups: where each goes; of two at one place, the later edit comes first.
    inserts.clear();
    for (size_t i = 0; i < edits.size(); ++i) {
      if (edits[i]->code < 0 || setDone[i]) continue;
      size_t at = ownEnd;
      if (commonRank(edits[i]->code) >= 0)
        at = insertAt[i] != std::string::npos   ? insertAt[i]
             : commonStart != std::string::npos ? commonStart
                                                : ownEnd;
      inserts.emplace_back(at, i);
    }
    std::sort(inserts.begin(), inserts.end(), [](const auto& a, const auto& b) {
      return a.first != b.first ? a.first < b.first : a.second > b.second;
    });
    tail = text.substr(headEnd);
  }

  // `value` as wide as `old` when `old` is padded with leading blanks, appended to `out`.
  void appendPadded(std::string_view old, const std::string& value) {
    size_t blanks = 0;
    while (blanks < old.size() && old[blanks] == ' ') ++blanks;
    if (blanks != 0 && value.size() < old.size()) out.append(old.size() - value.size(), ' ');
    out += value;
  }

  // Passes the rewritten record to put(piece): the head with the missing groups inserted, then
  // the record's followers as they are.
  template <typename Put>
  void emit(Put& put) const {
    size_t from = 0;
    for (const auto& [at, i] : inserts) {
      put(std::string_view(out).substr(from, at - from));
      char code[16];
      const int len = std::snprintf(code, sizeof code, pad ? "%3d" : "%d", edits[i]->code);
      put(std::string_view(code, size_t(len)));
      put(eol);
      put(edits[i]->value);
      put(eol);
      from = at;
    }
    put(std::string_view(out).substr(from));
    put(tail);
  }
};

// Calls put(piece) with the patched drawing's bytes, front to back, releasing the bytes passed.
template <typename Put>
void patchedPieces(const Drawing& d, const Patch& patch, Put&& put) {
  const size_t n = d.records.size();
  std::vector<uint32_t> deleted;
  deleted.reserve(patch.deleteRecords.size());
  for (uint32_t r : patch.deleteRecords)
    if (r < n) deleted.push_back(r);
  std::sort(deleted.begin(), deleted.end());
  deleted.erase(std::unique(deleted.begin(), deleted.end()), deleted.end());
  std::vector<const ValueEdit*> edits;
  for (const ValueEdit& e : patch.edits)
    if (e.record < n && !std::binary_search(deleted.begin(), deleted.end(), e.record))
      edits.push_back(&e);
  std::stable_sort(edits.begin(), edits.end(),
                   [](const ValueEdit* a, const ValueEdit* b) { return a->record < b->record; });
  std::vector<const Insertion*> insertions;
  for (const Insertion& i : patch.insertions)
    if (i.before < n) insertions.push_back(&i);
  std::stable_sort(insertions.begin(), insertions.end(),
                   [](const Insertion* a, const Insertion* b) { return a->before < b->before; });
  // The restyled records in order; one out of order, out of the drawing or without a look of
  // the patch is passed over.
  const Restyle& restyle = patch.restyle;
  const size_t restyled = std::min(restyle.records.size(), restyle.lookOf.size());
  size_t ri = 0;
  uint32_t lastRestyled = 0;
  bool anyRestyled = false;
  auto skipUnusable = [&] {
    while (ri < restyled &&
           ((anyRestyled && restyle.records[ri] <= lastRestyled) || restyle.records[ri] >= n ||
            restyle.lookOf[ri] >= restyle.looks.size()))
      ++ri;
  };
  skipUnusable();
  const std::string_view bytes = d.bytes;
  uint64_t pos = 0, released = 0;
  const Section* head = patch.header.empty() ? nullptr : findSection(d, "HEADER");
  if (head) {  // the header comes before every record
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
  }
  RecordEditor editor;
  size_t di = 0, ei = 0, ii = 0;
  while (di < deleted.size() || ei < edits.size() || ii < insertions.size() || ri < restyled) {
    uint32_t r = UINT32_MAX;
    if (di < deleted.size()) r = deleted[di];
    if (ei < edits.size()) r = std::min(r, edits[ei]->record);
    if (ii < insertions.size()) r = std::min(r, insertions[ii]->before);
    if (ri < restyled) r = std::min(r, restyle.records[ri]);
    const Record& rec = d.records[r];
    put(bytes.substr(pos, rec.begin - pos));
    pos = rec.begin;
    releaseBehind(d, released, rec.begin);
    while (ii < insertions.size() && insertions[ii]->before == r) put(insertions[ii++]->text);
    const std::vector<ValueEdit>* look = nullptr;
    if (ri < restyled && restyle.records[ri] == r) {
      look = &restyle.looks[restyle.lookOf[ri++]];
      lastRestyled = r;
      anyRestyled = true;
      skipUnusable();
    }
    if (di < deleted.size() && deleted[di] == r) {
      ++di;
      pos = rec.end;
      continue;
    }
    if ((ei == edits.size() || edits[ei]->record != r) && !look)
      continue;  // only insertions before it
    editor.start(recordText(d, rec), typeName(d, rec));
    while (ei < edits.size() && edits[ei]->record == r) editor.edits.push_back(edits[ei++]);
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
  put(bytes.substr(pos));
  releaseBytes(d, released, bytes.size());
}

}  // namespace

std::string applyPatch(const Drawing& d, const Patch& patch) {
  std::string out;
  out.reserve(d.bytes.size() + patch.edits.size() * 16);
  patchedPieces(d, patch, [&](std::string_view piece) { out += piece; });
  return out;
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
  const Restyle& restyle = patch.restyle;
  if (restyle.lookOf.size() != restyle.records.size())
    error = path + ": the patch's restyled records and their looks differ in number";
  for (size_t i = 0; i < restyle.records.size() && error.empty(); ++i)
    if (restyle.records[i] >= d.records.size() ||
        (i > 0 && restyle.records[i] <= restyle.records[i - 1]) ||
        restyle.lookOf[i] >= restyle.looks.size())
      error = path + ": the patch restyles record " + std::to_string(restyle.records[i]) +
              " out of order, outside the drawing or with a look it has not";
  if (!error.empty()) return false;
  if (!bytesUnchanged(d)) {
    error = d.file + ": the drawing changed on disk since it was read; it is not written";
    return false;
  }
  // The pieces go to the file through a buffer (small pieces) or straight from the drawing's
  // bytes (large ones), so that no second copy of the drawing is made.
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
  patchedPieces(d, patch, [&](std::string_view piece) {
    if (buffer.size() + piece.size() > kBuffer) flush();
    if (piece.size() >= kBuffer) {
      if (ok) ok = appendToStreamedFile(file, bytesOf(piece), &error) == SUCCESS;
    } else {
      buffer += piece;
    }
  });
  flush();
  return ok && finishStreamedFile(file, durability, &error) == SUCCESS;
}

}  // namespace kelvara::dxf
