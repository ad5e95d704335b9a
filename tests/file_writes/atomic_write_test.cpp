// The atomic writer's rules for the name it is given: the mode of the file it replaces, the
// refusals, names that are symbolic links, and exclusive creation.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "host/files.h"
#include "host/types.h"
#include "support/file_faults.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;
using test::readText;
using test::ScratchDir;

unsigned modeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(AtomicWrite, KeepsTheModeAndRefusesWhatItMayNotReplace) {
  ScratchDir dir;
  std::string error;
  const std::string own = dir.file("own.txt");
  std::ofstream(own) << "old";
  ::chmod(own.c_str(), 0600);
  ASSERT_EQ(writeFileAtomically(own, bytesOf("new"), &error), SUCCESS) << error;
  EXPECT_EQ(readText(own), "new");
  EXPECT_EQ(modeOf(own), 0600u);

  const std::string readOnly = dir.file("ro.txt");
  std::ofstream(readOnly) << "old";
  ::chmod(readOnly.c_str(), 0444);
  EXPECT_EQ(writeFileAtomically(readOnly, bytesOf("new"), &error), ERROR);
  EXPECT_NE(error.find("read-only"), std::string::npos) << error;
  EXPECT_EQ(readText(readOnly), "old");

  fs::create_directory(dir.file("folder"));
  EXPECT_EQ(writeFileAtomically(dir.file("folder"), bytesOf("new"), &error), ERROR);
  EXPECT_TRUE(fs::is_directory(dir.file("folder")));

  EXPECT_EQ(writeFileAtomically(dir.file("missing/x.txt"), bytesOf("new"), &error), ERROR);
  EXPECT_NE(error.find("missing/x.txt"), std::string::npos) << error;
}

TEST(AtomicWrite, WritesThroughSymbolicLinksAndKeepsThem) {
  struct Link {
    std::string name, to;  // a link and where it leads
  };
  struct Case {
    const char* name;
    std::vector<Link> links;
    std::string written;  // the name given to the writer
    std::string target;   // the file that must hold the new bytes
    bool targetExists;    // before the write
  };
  const std::vector<Case> cases = {
      {"relative link into another folder",
       {Link{"a.txt", "store/a.txt"}},
       "a.txt",
       "store/a.txt",
       true},
      {"chain of links",
       {Link{"b.txt", "c.txt"}, Link{"c.txt", "store/b.txt"}},
       "b.txt",
       "store/b.txt",
       true},
      {"link inside a folder, read from there",
       {Link{"store/d.txt", "../store/deep/d.txt"}},
       "store/d.txt",
       "store/deep/d.txt",
       true},
      {"link to a file not made yet",
       {Link{"e.txt", "store/new.txt"}},
       "e.txt",
       "store/new.txt",
       false},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    fs::create_directories(dir.file("store/deep"));
    for (const Link& l : c.links) fs::create_symlink(l.to, dir.file(l.name));
    if (c.targetExists) std::ofstream(dir.file(c.target)) << "old";
    std::string error;
    ASSERT_EQ(writeFileAtomically(dir.file(c.written), bytesOf("new"), &error), SUCCESS)
        << c.name << ": " << error;
    EXPECT_EQ(readText(dir.file(c.target)), "new") << c.name;
    for (const Link& l : c.links) {
      EXPECT_TRUE(fs::is_symlink(dir.file(l.name))) << c.name << ": " << l.name;
      EXPECT_EQ(fs::read_symlink(dir.file(l.name)).string(), l.to) << c.name;
    }
  }
}

TEST(AtomicWrite, ExclusiveCreationLeavesAnExistingFileAlone) {
  ScratchDir dir;
  const std::string path = dir.file("made.ini");
  std::string error;
  ASSERT_EQ(writeFileAtomically(path, bytesOf("first"), &error, Durability::Synced, Replace::Never),
            SUCCESS)
      << error;
  EXPECT_EQ(
      writeFileAtomically(path, bytesOf("second"), &error, Durability::Synced, Replace::Never),
      ERROR);
  EXPECT_NE(error.find("not replaced"), std::string::npos) << error;
  EXPECT_EQ(readText(path), "first");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

// When only the folder cannot be synced, the new file already stands: the write still reports
// that it is not known to be on disk.
TEST(AtomicWrite, AFolderThatCannotBeSyncedIsReportedWithTheNewFileInPlace) {
  ScratchDir dir;
  const std::string target = dir.file("notes.txt");
  std::ofstream(target) << "old";
  std::string error;
  {
    test::FileFault fault(test::FileCall::Fsync, 2,
                          EIO);  // the file's sync works, the folder's fails
    EXPECT_EQ(writeFileAtomically(target, bytesOf("new"), &error), ERROR);
  }
  EXPECT_NE(error.find("cannot make the new name durable"), std::string::npos) << error;
  EXPECT_EQ(test::readText(target), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace kelvara
