// Drawings made once per test program by a script of this folder (ezdxf), in a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "support/scratch.h"

namespace kelvara::dxf::test_fixtures {

// Standard output and error of `cmd`; a failure when it cannot run or exits other than 0.
inline std::string run(const std::string& cmd) {
  FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
  std::string out;
  char buf[4096];
  for (size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  if (!p || ::pclose(p) != 0)
    ADD_FAILURE() << cmd << " failed (python3-ezdxf installed?):\n" << out;
  return out;
}

// The folder `script` (make_drawings.py, make_deletions.py) wrote its drawings into, at the
// first call.
inline const test::ScratchDir& madeBy(const std::string& script) {
  static std::map<std::string, test::ScratchDir> made;
  const auto [at, fresh] = made.try_emplace(script);
  if (fresh)
    run("/usr/bin/python3 " KELVARA_SOURCE_DIR "/tests/host_dxf/" + script + " " +
        at->second.path());
  return at->second;
}

}  // namespace kelvara::dxf::test_fixtures
