#include "support/file_faults.h"

#include "host/files.h"

namespace kelvara::test {

namespace {

struct FaultState {
  FileCall call = FileCall::Write;
  int nth = 0;
  int err = EIO;
  int uses = 0;
  int failures = 0;
  FileSystem real;
};

FaultState& state() {
  static FaultState s;
  return s;
}

// Counts a use of `call`; true when this use is to fail (errno is then set).
bool fails(FileCall call) {
  FaultState& s = state();
  if (call != s.call) return false;
  ++s.uses;
  if (s.nth != 0 && s.uses != s.nth) return false;
  ++s.failures;
  errno = s.err;
  return true;
}

int faultyMkstemp(char* pattern) {
  return fails(FileCall::Mkstemp) ? -1 : state().real.mkstemp(pattern);
}
ssize_t faultyWrite(int fd, const void* data, size_t size) {
  return fails(FileCall::Write) ? -1 : state().real.write(fd, data, size);
}
ssize_t faultyPwrite(int fd, const void* data, size_t size, off_t offset) {
  return fails(FileCall::Pwrite) ? -1 : state().real.pwrite(fd, data, size, offset);
}
int faultyFchmod(int fd, mode_t mode) {
  return fails(FileCall::Fchmod) ? -1 : state().real.fchmod(fd, mode);
}
int faultyFsync(int fd) {
  return fails(FileCall::Fsync) ? -1 : state().real.fsync(fd);
}
int faultyClose(int fd) {
  if (!fails(FileCall::Close)) return state().real.close(fd);
  const int err = errno;
  (void)state().real.close(fd);
  errno = err;
  return -1;
}
int faultyRename(const char* from, const char* to) {
  return fails(FileCall::Rename) ? -1 : state().real.rename(from, to);
}
int faultyLink(const char* from, const char* to) {
  return fails(FileCall::Link) ? -1 : state().real.link(from, to);
}
int faultyUnlink(const char* path) {
  return fails(FileCall::Unlink) ? -1 : state().real.unlink(path);
}
int faultyOpen(const char* path, int flags, mode_t mode) {
  return fails(FileCall::Open) ? -1 : state().real.open(path, flags, mode);
}

}  // namespace

std::string fileCallName(FileCall call) {
  switch (call) {
    case FileCall::Mkstemp:
      return "mkstemp";
    case FileCall::Write:
      return "write";
    case FileCall::Pwrite:
      return "pwrite";
    case FileCall::Fchmod:
      return "fchmod";
    case FileCall::Fsync:
      return "fsync";
    case FileCall::Close:
      return "close";
    case FileCall::Rename:
      return "rename";
    case FileCall::Link:
      return "link";
    case FileCall::Unlink:
      return "unlink";
    case FileCall::Open:
      return "open";
  }
  return "?";
}

FileFault::FileFault(FileCall call, int nth, int err) {
  FaultState& s = state();
  s = FaultState{call, nth, err, 0, 0, systemFileSystem()};
  FileSystem faulty{&faultyMkstemp, &faultyWrite,  &faultyPwrite, &faultyFchmod, &faultyFsync,
                    &faultyClose,   &faultyRename, &faultyLink,   &faultyUnlink, &faultyOpen};
  setFileSystem(faulty);
}

FileFault::~FileFault() {
  setFileSystem(systemFileSystem());
}

int FileFault::uses() const {
  return state().uses;
}

int FileFault::failures() const {
  return state().failures;
}

}  // namespace kelvara::test
