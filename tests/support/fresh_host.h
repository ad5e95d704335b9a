// Fixtures that give each test a fresh host: the host state, or the design files with a
// scratch folder for them, reset before and after the test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "host/design.h"
#include "host/state.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"

namespace kelvara::test {

struct FreshHost : ::testing::Test {
  void SetUp() override { resetHostState(); }
  void TearDown() override { resetHostState(); }
};

// No design file is open before or after the test; its drawings go to a scratch folder.
struct FreshDesigns : ::testing::Test {
  ScratchDir scratch;
  void SetUp() override { resetDesignState(); }
  void TearDown() override { resetDesignState(); }
  std::string path(const std::string& name) const { return scratch.file(name); }
  // Writes the drawing under `name` in the scratch folder and returns its path.
  std::string write(const std::string& name, const DesignBuilder& d) const {
    EXPECT_TRUE(d.write(path(name))) << name;
    return path(name);
  }
};

}  // namespace kelvara::test
