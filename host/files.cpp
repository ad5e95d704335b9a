// Writing files through a temporary file beside the target, and the table of system calls.
#include "host/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "host/types.h"

namespace kelvara {

namespace fs = std::filesystem;

namespace {

int linkFollowingSymlinks(const char* from, const char* to) {
  return ::linkat(AT_FDCWD, from, AT_FDCWD, to, AT_SYMLINK_FOLLOW);
}

int openFile(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}

FileSystem& calls() {
  static FileSystem record = systemFileSystem();
  return record;
}

// Longest chain of symbolic links followed to the file a write replaces (as the system's own).
constexpr int kMaxLinkHops = 40;

// Mode of a new file: 0666 less the umask (read once; reading it means setting it).
mode_t newFileMode() {
  static const mode_t mode = [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

// The folder of a path ("." for a bare name) and the hidden temporary name pattern beside it.
fs::path folderOf(const fs::path& p) {
  return p.has_parent_path() ? p.parent_path() : fs::path(".");
}
std::string temporaryPattern(const fs::path& target) {
  return (folderOf(target) / ("." + target.filename().string() + ".kvtmp.XXXXXX")).string();
}

// Makes the names in a folder durable (the entries that rename and link changed). A file system
// that cannot sync folders (EINVAL) has nothing more to do.
bool syncFolder(const fs::path& dir) {
  const FileSystem& sys = calls();
  const int fd = sys.open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool synced = sys.fsync(fd) == 0 || errno == EINVAL;
  const int syncErrno = errno;
  const bool closed = sys.close(fd) == 0;
  if (!synced) errno = syncErrno;
  return synced && closed;
}

// Writes in blocks of 4 MB, so that the system can start writing a large file out while the
// rest is still being handed over.
bool writeAll(int fd, const uint8_t* p, size_t n) {
  constexpr size_t kBlock = size_t{1} << 22;
  while (n > 0) {
    const ssize_t w = calls().write(fd, p, std::min(n, kBlock));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      if (w == 0) errno = EIO;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

int failWith(std::string* error, const std::string& target, const std::string& what) {
  if (error) *error = target + ": " + what;
  return ERROR;
}

// Records the first failure of a streamed file, abandons it and passes ERROR on.
int failStreamed(StreamedFile& file, std::string* error, const std::string& what, int err) {
  const std::string message = file.target + ": " + what + std::strerror(err);
  if (file.error.empty()) file.error = message;
  if (error) *error = message;
  abandonStreamedFile(file);
  return ERROR;
}

// Gives the finished temporary file the name of the file it replaces; with `replace` false an
// existing file is kept (the temporary file takes the name by a hard link, which fails when
// the name is taken; where hard links are not offered the name is claimed with an exclusive
// create first).
bool moveIntoPlace(const StreamedFile& file, bool replace) {
  const FileSystem& sys = calls();
  if (replace) return sys.rename(file.temp.c_str(), file.file.c_str()) == 0;
  if (sys.link(file.temp.c_str(), file.file.c_str()) == 0) {
    (void)sys.unlink(file.temp.c_str());
    return true;
  }
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return false;
  const int claim = sys.open(file.file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (claim < 0) return false;
  (void)sys.close(claim);
  return sys.rename(file.temp.c_str(), file.file.c_str()) == 0;
}

int finish(StreamedFile& file, Durability durability, bool replace, std::string* error) {
  if (file.fd < 0) return failWith(error, file.target, "the file is not being written");
  const FileSystem& sys = calls();
  const bool synced = durability == Durability::Synced;
  int err = 0;
  if (sys.fchmod(file.fd, static_cast<mode_t>(file.mode)) != 0 ||
      (synced && sys.fsync(file.fd) != 0))
    err = errno;
  if (sys.close(file.fd) != 0 && err == 0) err = errno;
  file.fd = -1;
  if (err != 0) {
    (void)sys.unlink(file.temp.c_str());
    return failStreamed(file, error, "cannot write: ", err);
  }
  if (!moveIntoPlace(file, replace)) {
    err = errno;
    (void)sys.unlink(file.temp.c_str());
    return failStreamed(file, error,
                        err == EEXIST ? "not replaced: " : "cannot replace the file: ", err);
  }
  if (synced && !syncFolder(folderOf(file.file)))
    return failStreamed(file, error, "cannot make the new name durable: ", errno);
  return SUCCESS;
}

}  // namespace

FileSystem systemFileSystem() {
  FileSystem s;
  s.mkstemp = &::mkstemp;
  s.write = &::write;
  s.pwrite = &::pwrite;
  s.fchmod = &::fchmod;
  s.fsync = &::fsync;
  s.close = &::close;
  s.rename = &::rename;
  s.link = &linkFollowingSymlinks;
  s.unlink = &::unlink;
  s.open = &openFile;
  return s;
}

const FileSystem& fileSystem() {
  return calls();
}

void setFileSystem(const FileSystem& record) {
  calls() = record;
}

bool isReadOnlyPath(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
  return ::access(path.c_str(), W_OK) != 0;
}

std::string writeTargetOf(const std::string& path) {
  fs::path p(path);
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p.string();
    std::error_code ec;
    const fs::path to = fs::read_symlink(p, ec);
    if (ec) return path;
    p = to.is_absolute() ? to : folderOf(p) / to;
  }
  return path;
}

int writeFileAtomically(const std::string& target, FileBytes data, std::string* error,
                        Durability durability, Replace replace) {
  StreamedFile file;
  if (beginStreamedFile(file, target, error) != SUCCESS) return ERROR;
  if (replace == Replace::Never && ::access(file.file.c_str(), F_OK) == 0) {
    abandonStreamedFile(file);
    errno = EEXIST;
    return failWith(error, target, std::string("not replaced: ") + std::strerror(EEXIST));
  }
  if (appendToStreamedFile(file, data, error) != SUCCESS) return ERROR;
  return finish(file, durability, replace == Replace::Always, error);
}

StreamedFile::~StreamedFile() {
  abandonStreamedFile(*this);
}

int beginStreamedFile(StreamedFile& file, const std::string& target, std::string* error) {
  abandonStreamedFile(file);
  file.error.clear();
  file.target = target;
  file.file = writeTargetOf(target);
  // Refusals leave errno telling why, for callers that show the system's words.
  auto refuse = [&](const std::string& what, int err) {
    file.error = target + ": " + what;
    if (error) *error = file.error;
    errno = err;
    return ERROR;
  };
  struct stat st {};
  const bool exists = ::stat(file.file.c_str(), &st) == 0;
  if (!exists && errno != ENOENT)
    return refuse(std::string("cannot use: ") + std::strerror(errno), errno);
  if (exists && !S_ISREG(st.st_mode))
    return refuse("not a regular file, not written", S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  if (isReadOnlyPath(file.file)) return refuse("file is read-only, not written", EACCES);
  std::string pattern = temporaryPattern(fs::path(file.file));
  const int fd = calls().mkstemp(pattern.data());
  if (fd < 0)
    return refuse(std::string("cannot create a temporary file: ") + std::strerror(errno), errno);
  file.fd = fd;
  file.temp = pattern;
  file.size = 0;
  file.mode = exists ? (st.st_mode & 07777) : newFileMode();
  return SUCCESS;
}

void abandonStreamedFile(StreamedFile& file) {
  if (file.fd < 0) return;
  const int saved = errno;
  (void)calls().close(file.fd);
  (void)calls().unlink(file.temp.c_str());
  file.fd = -1;
  file.size = 0;
  errno = saved;
}

int appendToStreamedFile(StreamedFile& file, FileBytes data, std::string* error) {
  if (file.fd < 0) return failWith(error, file.target, "the file is not being written");
  if (!writeAll(file.fd, data.data(), data.size()))
    return failStreamed(file, error, "cannot write: ", errno);
  file.size += data.size();
  return SUCCESS;
}

int overwriteInStreamedFile(StreamedFile& file, uint64_t offset, FileBytes data,
                            std::string* error) {
  if (file.fd < 0 || offset > file.size || data.size() > file.size - offset)
    return failWith(error, file.target, "no such bytes written to overwrite");
  for (size_t done = 0; done < data.size();) {
    const ssize_t w = calls().pwrite(file.fd, data.data() + done, data.size() - done,
                                     static_cast<off_t>(offset + done));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return failStreamed(file, error, "cannot write: ", w < 0 ? errno : EIO);
    done += static_cast<size_t>(w);
  }
  return SUCCESS;
}

int finishStreamedFile(StreamedFile& file, Durability durability, std::string* error) {
  return finish(file, durability, true, error);
}

namespace {

ssize_t streamWrite(void* cookie, const char* data, size_t size) {
  StreamedFile* file = static_cast<std::shared_ptr<StreamedFile>*>(cookie)->get();
  if (appendToStreamedFile(*file, {reinterpret_cast<const uint8_t*>(data), size}, nullptr) !=
      SUCCESS) {
    errno = EIO;
    return -1;
  }
  return static_cast<ssize_t>(size);
}

int streamClose(void* cookie) {
  delete static_cast<std::shared_ptr<StreamedFile>*>(cookie);
  return 0;
}

}  // namespace

std::FILE* openStdioStream(const std::shared_ptr<StreamedFile>& file) {
  cookie_io_functions_t functions{};
  functions.write = &streamWrite;
  functions.close = &streamClose;
  auto* shared = new std::shared_ptr<StreamedFile>(file);
  std::FILE* stream = ::fopencookie(shared, "w", functions);
  if (stream == nullptr) delete shared;
  return stream;
}

int linkFileAtomically(const std::string& target, const std::string& source, std::string* error) {
  const fs::path t(writeTargetOf(target));
  if (isReadOnlyPath(t.string())) return failWith(error, target, "file is read-only, not replaced");
  const FileSystem& sys = calls();
  // A fresh temporary name: mkstemp finds one, the link takes its place.
  std::string temp;
  for (int attempt = 0; temp.empty(); ++attempt) {
    std::string candidate = temporaryPattern(t);
    const int fd = sys.mkstemp(candidate.data());
    if (fd < 0)
      return failWith(error, target,
                      std::string("cannot create a temporary name: ") + std::strerror(errno));
    (void)sys.close(fd);
    (void)sys.unlink(candidate.c_str());
    if (sys.link(source.c_str(), candidate.c_str()) == 0) {
      temp = candidate;
    } else if (errno != EEXIST || attempt >= 8) {
      return failWith(error, target, "cannot link " + source + ": " + std::strerror(errno));
    }
  }
  if (sys.rename(temp.c_str(), t.c_str()) != 0) {
    const int e = errno;
    (void)sys.unlink(temp.c_str());
    return failWith(error, target, std::string("cannot replace the file: ") + std::strerror(e));
  }
  // When target already was a name of the same file the rename changes nothing and the
  // temporary name is still there.
  (void)sys.unlink(temp.c_str());
  if (!syncFolder(folderOf(t)))
    return failWith(error, target,
                    std::string("cannot make the new name durable: ") + std::strerror(errno));
  return SUCCESS;
}

int appendToFile(const std::string& path, std::string_view text) {
  const FileSystem& sys = calls();
  const int fd = sys.open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return ERROR;
  const bool written = writeAll(fd, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  const bool closed = sys.close(fd) == 0;
  return written && closed ? SUCCESS : ERROR;
}

}  // namespace kelvara
