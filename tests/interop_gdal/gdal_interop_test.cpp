// Interoperability with GDAL: files GDAL writes read alike in both, files we change stay
// readable by GDAL, and a file opened and saved without changes keeps every byte.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/design.h"
#include "host/dgn/image.h"
#include "host/element.h"
#include "host/types.h"
#include "support/scan.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";

struct CommandResult {
  int status = -1;
  std::string output;  // standard output and standard error
};

CommandResult runCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int raw = pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

std::string quoted(const std::string& s) {
  return "'" + s + "'";
}

std::string kelvaraBinary() {
  if (const char* bin = std::getenv("KELVARA_BIN"); bin != nullptr && bin[0] != '\0') return bin;
  return std::string(KELVARA_BINARY_DIR) + "/app/kelvara";
}

std::string scriptPath() {
  return std::string(KELVARA_SOURCE_DIR) + "/tests/interop/gdal_interop.py";
}

// The script's drawings written by ogr2ogr with the origin at 0 (nothing is clamped).
std::string ogrCase(bool is3d) {
  return is3d ? "ogr2ogr_3d" : "ogr2ogr_2d";
}

std::vector<char> readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class GdalInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (runCommand(std::string(kPython) + " -c 'import osgeo.ogr'").status != 0) {
      GTEST_SKIP() << kPython << " has no osgeo bindings (install python3-gdal)";
    }
    dir_ = fs::temp_directory_path() /
           ("kelvara-gdal-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    resetDesignState();
  }
  void TearDown() override {
    resetDesignState();
    if (!HasFailure() && !dir_.empty()) fs::remove_all(dir_);
  }

  // Writes the script's drawing of `gdalCase` (ogr2ogr, origin at 0, 100 UOR per master unit)
  // and returns its path.
  fs::path writeWithOgr2ogr(const std::string& name, const std::string& gdalCase) {
    const fs::path dgn = dir_ / (name + ".dgn");
    const CommandResult r = runScript("--write " + quoted(dgn) + " --case " + gdalCase);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(fs::exists(dgn)) << r.output;
    return dgn;
  }

  static CommandResult runScript(const std::string& arguments) {
    return runCommand(std::string(kPython) + " " + quoted(scriptPath()) + " --kelvara " +
                      quoted(kelvaraBinary()) + " " + arguments);
  }

  // The number of features ogrinfo lists for the file, -1 when it fails or reports an error.
  static long ogrFeatureCount(const fs::path& dgn) {
    const CommandResult r = runCommand("ogrinfo -q -al " + quoted(dgn));
    if (r.status != 0 || r.output.find("ERROR") != std::string::npos) {
      ADD_FAILURE() << "ogrinfo failed on " << dgn << ":\n" << r.output;
      return -1;
    }
    long count = 0;
    for (size_t at = 0; (at = r.output.find("OGRFeature(", at)) != std::string::npos; ++at) ++count;
    return count;
  }

  // Top-level file positions of the active model with their types, deleted ones included.
  static std::vector<std::pair<uint32_t, int>> topLevelElements(ModelRef model) {
    std::vector<std::pair<uint32_t, int>> out;
    for (const auto& e : test::scanModel(model, true, false)) {
      EXPECT_TRUE(e.descriptor) << e.position;
      if (e.descriptor) out.emplace_back(e.position, mdlElement_getType(*e.descriptor));
    }
    return out;
  }

  fs::path dir_;
};

TEST_F(GdalInterop, FilesWrittenByGdalDumpAsGdalReadsThem) {
  const CommandResult r = runScript("--workdir " + quoted(dir_));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("gdal interop: 10 files checked, 0 failed"), std::string::npos)
      << r.output;
}

// Deletes a line string and a complex chain, appends copies of a shape, a cell and a complex
// shape through the host, and checks that GDAL reads the result as expected.
TEST_F(GdalInterop, FileChangedByTheHostStaysReadableByGdal) {
  for (bool is3d : {false, true}) {
    SCOPED_TRACE(is3d ? "3D" : "2D");
    const fs::path dgn = writeWithOgr2ogr(is3d ? "edit3d" : "edit2d", ogrCase(is3d));
    // GDAL lists 12 features: 5 line strings, a shape, the chain, the complex shape, the 3
    // shapes of the cell (not the cell), the text and the point.
    const long before = ogrFeatureCount(dgn);
    ASSERT_EQ(before, 12);

    ASSERT_EQ(mdlSystem_newDesignFile(dgn.string()), SUCCESS) << lastDesignError();
    const ModelRef model = mdlModelRef_getActive();
    const auto elements = topLevelElements(model);
    const auto firstOf = [&](int type) -> uint32_t {
      for (const auto& [pos, t] : elements) {
        if (t == type) return pos;
      }
      ADD_FAILURE() << "no element of type " << type;
      return 0;
    };
    const auto readAt = [&](uint32_t pos) {
      ElmDscrPtr d;
      EXPECT_EQ(mdlElmdscr_read(&d, pos, model), SUCCESS);
      return d;
    };

    // Deleted: one line string (1 feature) and a complex chain with its 2 components (1
    // feature: GDAL reads a chain as one).
    ElmDscrPtr lineString = readAt(firstOf(4));
    ElmDscrPtr chain = readAt(firstOf(12));
    ASSERT_TRUE(lineString && chain);
    ASSERT_EQ(chain->components.size(), 2u);
    ASSERT_EQ(mdlElmdscr_undoableDelete(*lineString, model), SUCCESS);
    ASSERT_EQ(mdlElmdscr_undoableDelete(*chain, model), SUCCESS);
    const int deleted = 1 + 1 + 2;

    // Appended: a shape (1 feature), a cell with 3 rings (GDAL reads the 3 shapes, not the
    // cell) and a complex shape (1 feature).
    for (int type : {6, 2, 14}) {
      ElmDscrPtr copy = readAt(firstOf(type));
      ASSERT_TRUE(copy);
      EXPECT_NE(mdlElmdscr_add(copy.get(), model), 0u) << "type " << type;
    }
    ASSERT_EQ(mdlSystem_saveDesignFile(), SUCCESS) << lastDesignError();
    ASSERT_EQ(closeAllDesignFiles(), SUCCESS);

    EXPECT_EQ(ogrFeatureCount(dgn), before - 2 + 1 + 3 + 1);
    const CommandResult check =
        runScript("--check " + quoted(dgn) + " --uor-per-master 100 --origin 0,0,0 --deleted " +
                  std::to_string(deleted));
    EXPECT_EQ(check.status, 0) << check.output;
  }
}

TEST_F(GdalInterop, UntouchedRoundTripKeepsEveryByte) {
  for (bool is3d : {false, true}) {
    SCOPED_TRACE(is3d ? "3D" : "2D");
    const fs::path dgn = writeWithOgr2ogr(is3d ? "trip3d" : "trip2d", ogrCase(is3d));
    const std::vector<char> original = readAll(dgn);
    ASSERT_FALSE(original.empty());

    // Through the image: read, then write to another file.
    dgn::DesignImage image;
    std::string error;
    ASSERT_EQ(dgn::openImage(dgn.string(), image, &error), SUCCESS) << error;
    const fs::path copy = dir_ / (dgn.stem().string() + "_saved.dgn");
    ASSERT_EQ(dgn::saveImage(image, &error, copy.string()), SUCCESS) << error;
    const CommandResult cmp = runCommand("cmp " + quoted(dgn) + " " + quoted(copy));
    EXPECT_EQ(cmp.status, 0) << cmp.output;

    // Through the host: open as the active design, save, switch away.
    ASSERT_EQ(mdlSystem_newDesignFile(dgn.string()), SUCCESS) << lastDesignError();
    ASSERT_EQ(mdlSystem_saveDesignFile(), SUCCESS) << lastDesignError();
    ASSERT_EQ(closeAllDesignFiles(), SUCCESS);
    EXPECT_EQ(readAll(dgn), original);
  }
}

}  // namespace
}  // namespace kelvara
