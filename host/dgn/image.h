// The in-memory image of one DGN V7 design file: the whole byte image plus an index of every
// element, and the edits the host makes to it (delete, append, replace) and the atomic save.
//
// A file position is an element's byte offset in the file. The index is built in one pass when
// the image is opened: every element of the stream in order, each with the end of its extent
// (itself plus its components), and the list of top-level elements. Elements after the
// end-of-design word are ignored; a file without one ends at its physical end. Malformed
// structure is refused with a message naming the file and the byte offset.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/dgn/codec.h"
#include "host/dgn/records.h"
#include "host/files.h"

namespace kelvara::dgn {

// Largest file the image accepts (file positions are 32-bit).
inline constexpr uint64_t MAX_FILE_BYTES = 0xFFFFFFF0ull;
// Deepest nesting of complex elements (cells in cells) the reader follows.
inline constexpr int MAX_NESTING = 32;

// One element of the stream.
struct ElementSlot {
  uint32_t offset = 0;     // file position
  uint32_t extentEnd = 0;  // byte just past the element and all its components
  uint32_t parent = 0;     // slot index + 1 of the enclosing complex header; 0 at top level
};

struct DesignImage {
  std::string path;                // file the image was read from (names errors and saves)
  std::vector<uint8_t> bytes;      // the whole file
  std::vector<ElementSlot> slots;  // every element in stream order
  std::vector<uint32_t> topLevel;  // slot indexes of top-level elements in order
  uint32_t endOfDesign = 0;        // offset of the end-of-design word (or of the physical end)
  bool hasEndMarker = false;
  bool is3d = false;
  TcbRecord tcb;
  bool dirty = false;  // changed since read or last save
  uint64_t edits = 0;  // changes made since read (never reset)
  // Each deleteElement: the value of `edits` it made and the file position it deleted, in
  // order, so that whoever drew the file can learn what went since.
  std::vector<std::pair<uint64_t, uint32_t>> deletions;
  mutable size_t lookupHint = 0;  // last slot found (scans read in order)
};

// True when the first bytes are a 2D or 3D design file header (not a cell library).
bool looksLikeDesignFile(Bytes head, bool* is3d = nullptr);

// Builds the image from bytes already in memory (name is used in messages only). Returns
// SUCCESS, or ERROR with *error = "<name>: byte <offset>: <what is wrong>".
[[nodiscard]] int parseImage(std::vector<uint8_t> bytes, const std::string& name, DesignImage& out,
                             std::string* error);
// Reads and parses a file. Same contract; also fails for unreadable or too large files.
[[nodiscard]] int openImage(const std::string& path, DesignImage& out, std::string* error);

// Makes room for capacity bytes in an image's byte vector (contents unchanged), in large
// pages where the system offers them.
void reserveImageBytes(std::vector<uint8_t>& bytes, size_t capacity);
// The same for the element index: room for `slots` elements (and as many top-level ones).
void reserveImageSlots(DesignImage& img, size_t slots);

// Asks that the whole large pages within [data, data + bytes) be backed by large pages: memory
// filled once from start to end then costs a few page faults instead of one per 4 KB.
void adviseLargePages(const void* data, size_t bytes);

// Slot index of the element that starts at filePos, or -1 when none starts there.
long findSlot(const DesignImage& img, uint32_t filePos);
// The bytes of the element in slot i (header element only, not its components).
Bytes slotBytes(const DesignImage& img, size_t i);
// The bytes of the element at filePos, empty when none starts there.
Bytes elementAt(const DesignImage& img, uint32_t filePos);

// Sets the deleted bit on the element at filePos and on every component. ERROR when no
// element starts there.
[[nodiscard]] int deleteElement(DesignImage& img, uint32_t filePos);
// Clears the deleted bit on the element at filePos and on every component (a deletion taken
// back). ERROR when no element starts there.
[[nodiscard]] int undeleteElement(DesignImage& img, uint32_t filePos);
// Appends a whole element (header followed by its components, as one byte run) before the
// end-of-design word, writing a new end-of-design word after it. Returns the new element's
// file position, or 0 when the bytes are not a well-formed element run or the file would
// exceed its size limit.
uint32_t appendElement(DesignImage& img, Bytes element);
// Appends a copy of the element in top-level slot `slot` of `from` (with its components)
// before img's end-of-design word, reusing from's index of it. Returns the new file position,
// or 0 when an element of it exceeds 768 words or the file would exceed its size limit.
uint32_t appendCopy(DesignImage& img, const DesignImage& from, size_t slot);
// Replaces the element at filePos (with its components) by newBytes: in place when every
// element of the run keeps its size, else deletes the old one and appends the new. Returns the
// file position of the new element, 0 on failure.
uint32_t replaceElement(DesignImage& img, uint32_t filePos, Bytes newBytes);

// Indexes one element run (header followed by its components, nothing after it) into slots
// with offsets relative to the run. ERROR with a reason when it is not exactly one
// well-formed element or an element exceeds 768 words.
[[nodiscard]] int indexRun(Bytes run, std::vector<ElementSlot>& slots, std::string* error);

// Writes the image to path (default: img.path) with writeFileAtomically (host/files.h): a
// read-only target is never written, a symbolic link is written through. Clears dirty.
[[nodiscard]] int saveImage(DesignImage& img, std::string* error,
                            const std::string& path = std::string(),
                            Durability durability = Durability::Synced);

}  // namespace kelvara::dgn
