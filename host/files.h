// Writing files: the host's one way of putting a file on disk, and the table of system calls
// it goes through.
//
// Every file the system writes (drawings and their backups, design and text reports, the
// settings file, selection files, placeholder design files) is written to a hidden temporary
// file in its target's folder that takes the target's name only when it is complete; until
// then, and after any failure, the target is left exactly as it was. A read-only target (no
// write permission bit, or no access) and a target that is not a regular file are refused. The
// finished file takes the mode of the file it replaces (a new file gets 0666 less the umask).
//
// Logs (the trace log) are appended to instead, one whole line per write (appendToFile).
//
// A target that is a symbolic link is written through it: the file the link leads to is
// replaced (in that file's folder), and the link stays as it is.
//
// All calls that change the file system go through one replaceable record of function pointers
// (FileSystem), so that tests can make any of them fail. Errors are "<target>: <what failed>:
// <system error>".
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace kelvara {

using FileBytes = std::span<const uint8_t>;

// The bytes of a text.
inline FileBytes bytesOf(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// ---- The system calls -----------------------------------------------------------------------

// The calls that create, write, sync and name files, with the POSIX contracts of their
// namesakes (-1 with errno on failure). `link` follows a symbolic link at `from`; `open` is
// used for folders (to sync them) and for files appended to (the trace log).
struct FileSystem {
  int (*mkstemp)(char* pattern);
  ssize_t (*write)(int fd, const void* data, size_t size);
  ssize_t (*pwrite)(int fd, const void* data, size_t size, off_t offset);
  int (*fchmod)(int fd, mode_t mode);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*link)(const char* from, const char* to);
  int (*unlink)(const char* path);
  int (*open)(const char* path, int flags, mode_t mode);
};

// The record in use.
const FileSystem& fileSystem();
// The record of the real system calls.
FileSystem systemFileSystem();
// Replaces the record in use (tests); setFileSystem(systemFileSystem()) restores it.
void setFileSystem(const FileSystem& calls);

// ---- Whole files ----------------------------------------------------------------------------

// Whether a write waits until the bytes and the new name are on disk before it returns. Files
// that can be made again (reports) need not wait; a user's drawing, its backup, the settings
// and selection files always do.
enum class Durability { Synced, NotSynced };

// Whether a write may replace a file that already stands under the target's name.
enum class Replace { Always, Never };

// Writes data to target atomically (see above). With Replace::Never an existing target is left
// alone and the write fails with "<target>: not replaced: File exists": the file is created
// exclusively, even against another process doing the same at the same time.
[[nodiscard]] int writeFileAtomically(const std::string& target, FileBytes data, std::string* error,
                                      Durability durability = Durability::Synced,
                                      Replace replace = Replace::Always);

// True when path exists and may not be written (no write permission bit, or no access).
bool isReadOnlyPath(const std::string& path);

// The file a write to path replaces: path itself, or, when path is a symbolic link, the file
// the chain of links leads to (relative links are read from their own folder). A chain that
// does not end (a loop) gives path itself.
std::string writeTargetOf(const std::string& path);

// ---- Files written piece by piece -----------------------------------------------------------

// A file written front to back into a hidden temporary file in its target's folder, which
// takes the target's name only when finished; until then the target is left as it was. A
// file dropped unfinished (abandoned, or destroyed) leaves nothing behind.
struct StreamedFile {
  int fd = -1;         // the temporary file while it is being written, else -1
  std::string temp;    // its name
  std::string target;  // the name it takes when finished, as the caller gave it
  std::string file;    // the file that name leads to (writeTargetOf), which is replaced
  uint64_t size = 0;   // bytes written so far
  unsigned mode = 0644;
  std::string error;  // the first failure, "" while all went well

  StreamedFile() = default;
  StreamedFile(const StreamedFile&) = delete;
  StreamedFile& operator=(const StreamedFile&) = delete;
  ~StreamedFile();
};
// Creates the temporary file for target (refused for a read-only or irregular target). On
// failure errno also tells why (EACCES for a read-only target, EISDIR for a folder).
[[nodiscard]] int beginStreamedFile(StreamedFile& file, const std::string& target,
                                    std::string* error);
// Appends data at the end of what is written. On failure the file is abandoned.
[[nodiscard]] int appendToStreamedFile(StreamedFile& file, FileBytes data, std::string* error);
// Writes data over bytes already written, from offset (offset + data.size() <= file.size).
[[nodiscard]] int overwriteInStreamedFile(StreamedFile& file, uint64_t offset, FileBytes data,
                                          std::string* error);
// Gives the file its mode, waits for the disk when durability asks it, and moves it to its
// target's name (syncing the folder when durability asks it). On a failure before the move
// the file is abandoned and the target left as it was; when only the folder sync fails the
// new file stands and the failure is still reported.
[[nodiscard]] int finishStreamedFile(StreamedFile& file, Durability durability, std::string* error);
// Removes the temporary file of an unfinished file; nothing when none is open.
void abandonStreamedFile(StreamedFile& file);
// A stdio stream that appends to file (buffered by stdio). The stream shares the file until it
// is closed, so stdio's flush of streams still open at exit never writes into a freed file.
// Closing it leaves file open, to be finished or abandoned; a failed write makes the stream's
// error indicator and file.error tell. Null when no stream can be made.
std::FILE* openStdioStream(const std::shared_ptr<StreamedFile>& file);

// ---- Further names --------------------------------------------------------------------------

// Gives the file at source (symbolic links followed) the further name target: a hard link made
// under a temporary name in target's folder that then replaces target, made durable with its
// folder. No byte is copied, so target stays an exact copy only as long as nobody writes into
// source's file in place (every save here writes a new file). ERROR with a reason when no link
// can be made (another file system, no permission, a read-only target); target is then left as
// it was and the caller copies instead.
[[nodiscard]] int linkFileAtomically(const std::string& target, const std::string& source,
                                     std::string* error);

// ---- Appending ------------------------------------------------------------------------------

// Appends text to the file at path (created when missing) in one write, so that lines that
// several processes append to one file at the same time never mix. ERROR when the file cannot
// be opened or not all was written.
[[nodiscard]] int appendToFile(const std::string& path, std::string_view text);

}  // namespace kelvara
