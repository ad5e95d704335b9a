// Making the host's file-system calls fail (host/files.h), for tests of every writer.
//
// A FileFault replaces the host's record of system calls while it lives: the chosen call fails
// with the chosen errno on its nth use (or on every use), every other call does what the
// system does. A failing close still closes the descriptor, as a close that reports a late
// write error does.
#pragma once

#include <cerrno>
#include <string>

namespace kelvara::test {

enum class FileCall { Mkstemp, Write, Pwrite, Fchmod, Fsync, Close, Rename, Link, Unlink, Open };

// The call's name, for messages ("fsync").
std::string fileCallName(FileCall call);

class FileFault {
 public:
  // nth: 1 = the first use fails, 2 = the second, ...; 0 = every use.
  explicit FileFault(FileCall call, int nth = 0, int err = EIO);
  ~FileFault();
  FileFault(const FileFault&) = delete;
  FileFault& operator=(const FileFault&) = delete;
  // How often the call was made, and how often it failed, while the fault was in place.
  int uses() const;
  int failures() const;
};

}  // namespace kelvara::test
