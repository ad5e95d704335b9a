// The design file image: one-pass index, edits and the atomic save.
#include "host/dgn/image.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace kelvara::dgn {

namespace {

std::string at(const std::string& name, size_t offset) {
  return name + ": byte " + std::to_string(offset) + ": ";
}

bool isEndWord(const uint8_t* data, size_t n, size_t pos) {
  return pos + 2 <= n && data[pos] == 0xFF && data[pos + 1] == 0xFF;
}

// Indexes the elements of data[0, n) from `start`. Each element becomes a slot; complex
// headers take their components (count-based or extent-based, see componentRule).
struct Indexer {
  const uint8_t* data;
  size_t n;
  const std::string& name;
  std::vector<ElementSlot>& slots;
  std::string error;

  bool fail(size_t offset, const std::string& what) {
    error = at(name, offset) + what;
    return false;
  }

  // Reads the element at pos (with its components) into slots; *next = its extent end.
  bool element(size_t pos, uint32_t parent, int depth, size_t* next) {
    if (depth > MAX_NESTING)
      return fail(pos,
                  "complex elements nested more than " + std::to_string(MAX_NESTING) + " deep");
    if (n - pos < 4) return fail(pos, "truncated element header");
    const size_t size = sizeOf(data + pos);
    if (size > n - pos)
      return fail(pos, "element of " + std::to_string(size) + " bytes runs past the end (" +
                           std::to_string(n) + " bytes)");
    const size_t index = slots.size();
    slots.push_back({static_cast<uint32_t>(pos), static_cast<uint32_t>(pos + size), parent});
    size_t cursor = pos + size;
    const int type = typeOf(data + pos);
    if (isComplexHeaderType(type) && !components(pos, size, type, index, depth, &cursor))
      return false;
    slots[index].extentEnd = static_cast<uint32_t>(cursor);
    *next = cursor;
    return true;
  }

  bool components(size_t pos, size_t size, int type, size_t index, int depth, size_t* cursor) {
    const uint8_t* h = data + pos;
    const uint32_t self = static_cast<uint32_t>(index + 1);
    const bool counted = type == 7 || type == 12 || type == 14 || type == 18 || type == 19;
    if (counted) {
      if (size < 40) return fail(pos, "complex header too short for its element count");
      const int count = readU16(h + 38);
      for (int i = 0; i < count; ++i) {
        if (*cursor >= n || isEndWord(data, n, *cursor))
          return fail(pos, "complex header claims " + std::to_string(count) + " components, only " +
                               std::to_string(i) + " follow");
        if (n - *cursor < 4) return fail(*cursor, "truncated element header");
        if (!isComplexBit(data + *cursor))
          return fail(*cursor, "component " + std::to_string(i + 1) + " of " +
                                   std::to_string(count) + " of the complex header at byte " +
                                   std::to_string(pos) + " is not marked as a component");
        if (!element(*cursor, self, depth + 1, cursor)) return false;
      }
      return true;
    }
    // Extent-based: components are the following C-flagged elements that start inside the
    // length the header gives (writers differ on whether it counts the header's linkages).
    uint64_t end;
    if (type == 2 || type == 34) {
      if (size < 38) return fail(pos, "cell header too short for its total length");
      end = pos + 38 + 2 * uint64_t(readU16(h + 36));
    } else {
      if (size < 40) return fail(pos, "complex header too short for its total length");
      const int32_t words = readInt32(h + 36);
      end = pos + 40 + 2 * uint64_t(words < 0 ? 0 : words);
    }
    while (*cursor < end) {
      if (*cursor >= n || isEndWord(data, n, *cursor))
        return fail(pos, "complex header claims " + std::to_string(end - pos) +
                             " bytes, the design ends at byte " + std::to_string(*cursor));
      if (n - *cursor < 4) return fail(*cursor, "truncated element header");
      if (!isComplexBit(data + *cursor)) break;
      if (!element(*cursor, self, depth + 1, cursor)) return false;
    }
    return true;
  }
};

}  // namespace

// Large images are touched once, page by page: their memory asks for large pages, so that a
// drawing of 60 MB costs a few dozen page faults rather than some fifteen thousand.
void adviseLargePages(const void* data, size_t bytes) {
  constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
  const uintptr_t begin = reinterpret_cast<uintptr_t>(data);
  const uintptr_t from = (begin + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t to = (begin + bytes) & ~(kLargePage - 1);
  if (to > from) (void)::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

void reserveImageBytes(std::vector<uint8_t>& bytes, size_t capacity) {
  bytes.reserve(capacity);
  adviseLargePages(bytes.data(), bytes.capacity());
}

void reserveImageSlots(DesignImage& img, size_t slots) {
  img.slots.reserve(slots);
  adviseLargePages(img.slots.data(), img.slots.capacity() * sizeof(ElementSlot));
  img.topLevel.reserve(slots);
  adviseLargePages(img.topLevel.data(), img.topLevel.capacity() * sizeof(uint32_t));
}

bool looksLikeDesignFile(Bytes head, bool* is3d) {
  if (head.size() < 4) return false;
  if (typeOf(head.data()) != 9 || levelOf(head.data()) != 8 || isDeletedBit(head.data()))
    return false;
  if (is3d) *is3d = (head[0] & 0x40) != 0;
  return true;
}

int parseImage(std::vector<uint8_t> bytes, const std::string& name, DesignImage& out,
               std::string* error) {
  out = DesignImage{};
  out.path = name;
  auto failWith = [&](const std::string& msg) {
    if (error) *error = msg;
    out.slots.clear();
    out.topLevel.clear();
    return ERROR;
  };
  if (bytes.size() > MAX_FILE_BYTES) return failWith(name + ": file too large for a design file");
  if (!looksLikeDesignFile(bytes)) {
    if (bytes.size() >= 4 && typeOf(bytes.data()) == 5 && levelOf(bytes.data()) == 8)
      return failWith(at(name, 0) + "a cell library, not a design file");
    return failWith(at(name, 0) + "not a design file (no design file header)");
  }
  std::string why;
  const size_t tcbSize = sizeOf(bytes.data());
  if (tcbSize > bytes.size()) return failWith(at(name, 0) + "design file header is truncated");
  if (!decodeTcb(Bytes(bytes.data(), tcbSize), out.tcb, &why))
    return failWith(at(name, 0) + "design file header: " + why);
  out.is3d = out.tcb.is3d;

  out.bytes = std::move(bytes);
  const uint8_t* data = out.bytes.data();
  const size_t n = out.bytes.size();
  reserveImageSlots(out, n / 48 + 16);
  Indexer ix{data, n, name, out.slots, {}};
  size_t pos = 0;
  while (pos < n) {
    if (isEndWord(data, n, pos)) {
      out.hasEndMarker = true;
      break;
    }
    const size_t slot = out.slots.size();
    // Fast path: a plain element is one slot.
    if (n - pos >= 4 && !isComplexHeaderType(typeOf(data + pos))) {
      const size_t size = sizeOf(data + pos);
      if (size <= n - pos) {
        out.slots.push_back({static_cast<uint32_t>(pos), static_cast<uint32_t>(pos + size), 0});
        out.topLevel.push_back(static_cast<uint32_t>(slot));
        pos += size;
        continue;
      }
    }
    size_t next = pos;
    if (!ix.element(pos, 0, 0, &next)) {
      out.bytes.clear();
      return failWith(ix.error);
    }
    out.topLevel.push_back(static_cast<uint32_t>(slot));
    pos = next;
  }
  out.endOfDesign = static_cast<uint32_t>(std::min(pos, n));
  return SUCCESS;
}

int openImage(const std::string& path, DesignImage& out, std::string* error) {
  auto failWith = [&](const std::string& msg) {
    if (error) *error = msg;
    return ERROR;
  };
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return failWith(path + ": cannot open: " + std::strerror(errno));
  struct stat st {};
  if (::fstat(::fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fclose(f);
    return failWith(path + ": not a regular file");
  }
  if (static_cast<uint64_t>(st.st_size) > MAX_FILE_BYTES) {
    std::fclose(f);
    return failWith(path + ": file too large for a design file");
  }
  // Room beyond the file for what a run appends (moved elements, the writability probe), so
  // that the image is not moved for a few bytes.
  const size_t size = static_cast<size_t>(st.st_size);
  std::vector<uint8_t> bytes;
  reserveImageBytes(bytes, size + size / 8 + 4096);
  bytes.resize(size);
  const size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), f);
  const bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (readError || got != bytes.size()) return failWith(path + ": read error");
  return parseImage(std::move(bytes), path, out, error);
}

long findSlot(const DesignImage& img, uint32_t filePos) {
  const size_t n = img.slots.size();
  size_t h = img.lookupHint;
  for (size_t k = h; k < n && k < h + 3; ++k) {
    if (img.slots[k].offset == filePos) {
      img.lookupHint = k + 1;
      return static_cast<long>(k);
    }
  }
  auto it = std::lower_bound(img.slots.begin(), img.slots.end(), filePos,
                             [](const ElementSlot& s, uint32_t p) { return s.offset < p; });
  if (it == img.slots.end() || it->offset != filePos) return -1;
  const size_t k = static_cast<size_t>(it - img.slots.begin());
  img.lookupHint = k + 1;
  return static_cast<long>(k);
}

Bytes slotBytes(const DesignImage& img, size_t i) {
  const uint32_t off = img.slots[i].offset;
  return Bytes(img.bytes.data() + off, sizeOf(img.bytes.data() + off));
}

Bytes elementAt(const DesignImage& img, uint32_t filePos) {
  const long i = findSlot(img, filePos);
  return i < 0 ? Bytes() : slotBytes(img, static_cast<size_t>(i));
}

namespace {

// Sets or clears the deleted bit of the element at filePos and its components.
int markDeleted(DesignImage& img, uint32_t filePos, bool deleted) {
  const long i = findSlot(img, filePos);
  if (i < 0) return ERROR;
  const uint32_t end = img.slots[i].extentEnd;
  for (size_t k = static_cast<size_t>(i); k < img.slots.size() && img.slots[k].offset < end; ++k) {
    uint8_t& flags = img.bytes[img.slots[k].offset + 1];
    flags = deleted ? uint8_t(flags | 0x80) : uint8_t(flags & 0x7f);
  }
  img.dirty = true;
  ++img.edits;
  return SUCCESS;
}

}  // namespace

int deleteElement(DesignImage& img, uint32_t filePos) {
  if (markDeleted(img, filePos, true) != SUCCESS) return ERROR;
  img.deletions.emplace_back(img.edits, filePos);
  return SUCCESS;
}

int undeleteElement(DesignImage& img, uint32_t filePos) {
  return markDeleted(img, filePos, false);
}

int indexRun(Bytes run, std::vector<ElementSlot>& slots, std::string* error) {
  slots.clear();
  static const std::string kName = "element";
  if (run.size() < 4 || run.size() > MAX_FILE_BYTES) {
    if (error) *error = "element run of " + std::to_string(run.size()) + " bytes";
    return ERROR;
  }
  Indexer ix{run.data(), run.size(), kName, slots, {}};
  size_t next = 0;
  if (!ix.element(0, 0, 0, &next)) {
    if (error) *error = ix.error;
    return ERROR;
  }
  if (next != run.size()) {
    if (error) *error = at(kName, next) + "bytes after the element";
    return ERROR;
  }
  for (const ElementSlot& s : slots) {
    if (sizeOf(run.data() + s.offset) > MAX_ELEMENT_BYTES) {
      if (error) *error = at(kName, s.offset) + "element larger than 768 words";
      return ERROR;
    }
  }
  return SUCCESS;
}

uint32_t appendElement(DesignImage& img, Bytes element) {
  thread_local std::vector<ElementSlot> run;  // reused: appends come by the million
  if (indexRun(element, run, nullptr) != SUCCESS) return 0;
  const uint64_t pos = img.endOfDesign;
  if (pos + element.size() + 2 > MAX_FILE_BYTES) return 0;
  const size_t need = static_cast<size_t>(pos + element.size() + 2);
  if (img.bytes.size() < need) img.bytes.resize(need);
  std::memcpy(img.bytes.data() + pos, element.data(), element.size());
  img.bytes[need - 2] = 0xFF;
  img.bytes[need - 1] = 0xFF;
  const uint32_t base = static_cast<uint32_t>(img.slots.size());
  img.topLevel.push_back(base);
  for (ElementSlot s : run) {
    s.offset += static_cast<uint32_t>(pos);
    s.extentEnd += static_cast<uint32_t>(pos);
    if (s.parent) s.parent += base;
    img.slots.push_back(s);
  }
  img.endOfDesign = static_cast<uint32_t>(pos + element.size());
  img.hasEndMarker = true;
  img.dirty = true;
  ++img.edits;
  return static_cast<uint32_t>(pos);
}

uint32_t appendCopy(DesignImage& img, const DesignImage& from, size_t slot) {
  const ElementSlot& first = from.slots[slot];
  const uint32_t length = first.extentEnd - first.offset;
  size_t last = slot;
  while (last < from.slots.size() && from.slots[last].offset < first.extentEnd) {
    if (sizeOf(from.bytes.data() + from.slots[last].offset) > MAX_ELEMENT_BYTES) return 0;
    ++last;
  }
  const uint64_t pos = img.endOfDesign;
  if (pos + length + 2 > MAX_FILE_BYTES) return 0;
  const size_t need = static_cast<size_t>(pos + length + 2);
  if (img.bytes.size() < need) img.bytes.resize(need);
  std::memcpy(img.bytes.data() + pos, from.bytes.data() + first.offset, length);
  img.bytes[need - 2] = 0xFF;
  img.bytes[need - 1] = 0xFF;
  const uint32_t base = static_cast<uint32_t>(img.slots.size());
  const uint32_t shift = static_cast<uint32_t>(pos) - first.offset;  // modulo 2^32
  img.topLevel.push_back(base);
  for (size_t k = slot; k < last; ++k) {
    ElementSlot s = from.slots[k];
    s.offset += shift;
    s.extentEnd += shift;
    if (s.parent) s.parent = s.parent - static_cast<uint32_t>(slot) + base;
    img.slots.push_back(s);
  }
  img.endOfDesign = static_cast<uint32_t>(pos + length);
  img.hasEndMarker = true;
  img.dirty = true;
  ++img.edits;
  return static_cast<uint32_t>(pos);
}

uint32_t replaceElement(DesignImage& img, uint32_t filePos, Bytes newBytes) {
  const long i = findSlot(img, filePos);
  if (i < 0 || img.slots[i].parent != 0) return 0;
  std::vector<ElementSlot> run;
  if (indexRun(newBytes, run, nullptr) != SUCCESS) return 0;
  const size_t first = static_cast<size_t>(i);
  const uint32_t end = img.slots[first].extentEnd;
  size_t count = 0;
  while (first + count < img.slots.size() && img.slots[first + count].offset < end) ++count;
  bool sameLayout = count == run.size() && end - filePos == newBytes.size();
  for (size_t k = 0; sameLayout && k < count; ++k)
    sameLayout = img.slots[first + k].offset - filePos == run[k].offset &&
                 img.slots[first + k].extentEnd - filePos == run[k].extentEnd &&
                 (img.slots[first + k].parent == 0) == (run[k].parent == 0);
  if (sameLayout) {
    std::memcpy(img.bytes.data() + filePos, newBytes.data(), newBytes.size());
    img.dirty = true;
    ++img.edits;
    return filePos;
  }
  if (deleteElement(img, filePos) != SUCCESS) return 0;
  return appendElement(img, newBytes);
}

int saveImage(DesignImage& img, std::string* error, const std::string& path,
              Durability durability) {
  const std::string& target = path.empty() ? img.path : path;
  const int rc = writeFileAtomically(target, img.bytes, error, durability);
  if (rc == SUCCESS && target == img.path) img.dirty = false;
  return rc;
}

}  // namespace kelvara::dgn
