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
#include <vector>

#include "host/dgn/codec.h"
#include "host/dgn/records.h"

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
  bool dirty = false;             // changed since read or last save
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

// True when path exists and may not be written (no write permission bit, or no access).
bool isReadOnlyPath(const std::string& path);

// Whether a write waits until the bytes are on disk before the file takes its name. Files that
// can be made again (reports) need not wait; a user's drawing and its backup always do.
enum class Durability { Synced, NotSynced };

// Writes data to target through a temporary file in target's folder that then replaces it.
// A read-only target is refused; on any failure the target is left as it was. Whatever the
// durability, no half-written file ever stands under target's name.
[[nodiscard]] int writeFileAtomically(const std::string& target, Bytes data, std::string* error,
                                      Durability durability = Durability::Synced);

// A file written front to back into a hidden temporary file in its target's folder, which
// takes the target's name only when finished; until then the target is left as it was. A
// file dropped unfinished (abandoned, or destroyed) leaves nothing behind. Errors are
// "<target>: <what failed>".
struct StreamedFile {
  int fd = -1;         // the temporary file while it is being written, else -1
  std::string temp;    // its name
  std::string target;  // the name it takes when finished
  uint64_t size = 0;   // bytes written so far
  unsigned mode = 0644;

  StreamedFile() = default;
  StreamedFile(const StreamedFile&) = delete;
  StreamedFile& operator=(const StreamedFile&) = delete;
  ~StreamedFile();
};
// Creates the temporary file for target (refused for a read-only target). The finished file
// takes the mode of the file it replaces, or 0644.
[[nodiscard]] int beginStreamedFile(StreamedFile& file, const std::string& target,
                                    std::string* error);
// Appends data at the end of what is written.
[[nodiscard]] int appendToStreamedFile(StreamedFile& file, Bytes data, std::string* error);
// Writes data over bytes already written, from offset (offset + data.size() <= file.size).
[[nodiscard]] int overwriteInStreamedFile(StreamedFile& file, uint64_t offset, Bytes data,
                                          std::string* error);
// Gives the file its mode, waits for the disk when durability asks it, and moves it to its
// target's name. On failure the file is abandoned and the target left as it was.
[[nodiscard]] int finishStreamedFile(StreamedFile& file, Durability durability, std::string* error);
// Removes the temporary file of an unfinished file; nothing when none is open.
void abandonStreamedFile(StreamedFile& file);
// The rename used by the atomic write; tests substitute a failing one (null restores it).
using RenameFn = int (*)(const char* from, const char* to);
void setRenameForTesting(RenameFn fn);

// Gives the file at source (symbolic links followed) the further name target: a hard link made
// under a temporary name in target's folder that then replaces target, made durable with its
// folder. No byte is copied, so target stays an exact copy only as long as nobody writes into
// source's file in place (every save here writes a new file). ERROR with a reason when no link
// can be made (another file system, no permission, a read-only target); target is then left as
// it was and the caller copies instead.
[[nodiscard]] int linkFileAtomically(const std::string& target, const std::string& source,
                                     std::string* error);
// The link call used by linkFileAtomically; tests substitute a failing one (null restores it).
using LinkFn = int (*)(const char* from, const char* to);
void setLinkForTesting(LinkFn fn);

// Writes the image to path (default: img.path) through a temporary file in the same folder
// that then replaces the target; a read-only target is never written. Clears dirty.
[[nodiscard]] int saveImage(DesignImage& img, std::string* error,
                            const std::string& path = std::string(),
                            Durability durability = Durability::Synced);

}  // namespace kelvara::dgn
