// Configuration variables: application definitions over the environment, and the APPDATA rule.
#include "host/config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "host/types.h"
#include "support/fresh_host.h"

namespace kelvara {
namespace {

// Sets (or unsets, for nullopt) environment variables for one test and restores them after.
class ScopedEnv {
 public:
  void set(const char* name, std::optional<std::string> value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    for (auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

struct Config : test::FreshHost {
  ScopedEnv env;
};

std::optional<std::string> cfg(std::string_view name) {
  std::string value = "stale";
  if (mdlSystem_getCfgVar(&value, name) != SUCCESS) {
    EXPECT_EQ(value, "") << "undefined variable must leave an empty value";
    return std::nullopt;
  }
  return value;
}

TEST_F(Config, EnvironmentAndDefinitions) {
  env.set("KELVARA_T_ENV", "from-env");
  env.set("KELVARA_T_EMPTY", "");
  env.set("KELVARA_T_UNSET", std::nullopt);
  EXPECT_EQ(cfg("KELVARA_T_ENV"), "from-env");
  EXPECT_EQ(cfg("KELVARA_T_EMPTY"), "");  // empty but defined
  EXPECT_EQ(cfg("KELVARA_T_UNSET"), std::nullopt);
  EXPECT_EQ(cfg("kelvara_t_env"), std::nullopt);  // names are case-sensitive
  EXPECT_EQ(cfg(""), std::nullopt);

  ASSERT_EQ(mdlSystem_defineCfgVar("KELVARA_T_ENV", "defined"), SUCCESS);
  ASSERT_EQ(mdlSystem_defineCfgVar("KELVARA_T_UNSET", "new"), SUCCESS);
  EXPECT_EQ(cfg("KELVARA_T_ENV"), "defined");
  EXPECT_EQ(cfg("KELVARA_T_UNSET"), "new");
  EXPECT_EQ(std::getenv("KELVARA_T_UNSET"), nullptr) << "definitions stay out of the environment";

  EXPECT_EQ(mdlSystem_undefineCfgVar("KELVARA_T_ENV"), SUCCESS);
  EXPECT_EQ(cfg("KELVARA_T_ENV"), "from-env");
  EXPECT_EQ(mdlSystem_undefineCfgVar("KELVARA_T_ENV"), ERROR);
  EXPECT_TRUE(cfgVarDefined("KELVARA_T_UNSET"));
}

TEST_F(Config, RefusesBadNames) {
  EXPECT_EQ(mdlSystem_defineCfgVar("", "x"), ERROR);
  EXPECT_EQ(mdlSystem_defineCfgVar("A=B", "x"), ERROR);
  EXPECT_EQ(mdlSystem_defineCfgVar(std::string_view("A\0B", 3), "x"), ERROR);
  EXPECT_EQ(cfg("A"), std::nullopt);
}

TEST_F(Config, FixedBufferIsCutAndTerminated) {
  ASSERT_EQ(mdlSystem_defineCfgVar("KELVARA_T_LONG", "abcdefgh"), SUCCESS);
  char buffer[6] = "XXXXX";
  EXPECT_EQ(mdlSystem_getCfgVar(buffer, "KELVARA_T_LONG", 4), SUCCESS);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(buffer[4], 'X');
  EXPECT_EQ(mdlSystem_getCfgVar(buffer, "KELVARA_T_NEVER_DEFINED", sizeof buffer), ERROR);
  EXPECT_STREQ(buffer, "");
}

TEST_F(Config, AppDataFallsBackToXdgThenHome) {
  struct Case {
    const char* what;
    std::optional<std::string> appdata, xdg, home;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"APPDATA wins", "/win/appdata", "/xdg", "/home/u", "/win/appdata"},
      {"XDG when no APPDATA", std::nullopt, "/xdg/conf", "/home/u", "/xdg/conf"},
      {"empty XDG is ignored", std::nullopt, "", "/home/u", "/home/u/.config"},
      {"relative XDG is ignored", std::nullopt, "rel/conf", "/home/u", "/home/u/.config"},
      {"HOME with slash", std::nullopt, std::nullopt, "/home/u/", "/home/u/.config"},
      {"nothing at all", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {"empty HOME", std::nullopt, std::nullopt, "", std::nullopt},
  };
  for (const Case& c : cases) {
    env.set("APPDATA", c.appdata);
    env.set("XDG_CONFIG_HOME", c.xdg);
    env.set("HOME", c.home);
    EXPECT_EQ(cfg("APPDATA"), c.expected) << c.what;
  }
  // A definition made by the application beats every fallback.
  env.set("XDG_CONFIG_HOME", "/xdg");
  ASSERT_EQ(mdlSystem_defineCfgVar("APPDATA", "/defined"), SUCCESS);
  EXPECT_EQ(cfg("APPDATA"), "/defined");
  // The fallback applies to APPDATA only.
  env.set("TEMP", std::nullopt);
  EXPECT_EQ(cfg("TEMP"), std::nullopt);
}

}  // namespace
}  // namespace kelvara
