// The load arguments in-process: settings files, comparison lists, --set overrides and a start
// outside a batch. Design file names, patterns and invalid arguments are run through the
// executable (CommandLine.ArgumentsAreTakenLiterally, EndToEnd.NothingMatchedEndsWithStatusOne).
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>

#include "frame/startup.h"
#include "host/config.h"
#include "host/design.h"
#include "host/state.h"
#include "host/strings.h"
#include "host/timers.h"
#include "host/ui.h"
#include "run/driver.h"
#include "settings/run_settings.h"
#include "settings/settings_file.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;

class LoadArguments : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHostState();
    resetDesignState();
    scripted.emplace();
    fs::create_directories(path("tmp"));
    ASSERT_EQ(mdlSystem_defineCfgVar("TEMP", path("tmp")), SUCCESS);
    settings_resetToFactory(runSettings(), false);
    runSettings().TEXT_REPORT_FILE_NAME.assign(path("run.trf"));
    settingsFile() = SettingsFile{};
    duplicateRun() = DuplicateRun{};
    runSession() = RunSession{};
    runSession().showSummary = [this](const std::string& text) { summary = text; };
    test::DesignBuilder d;
    d.add(test::line({0, 0}, {1000, 0}));
    d.add(test::line({0, 0}, {1000, 0}));
    ASSERT_TRUE(d.write(path("plan.dgn")));
    ASSERT_TRUE(d.write(path("other.dgn")));
  }
  void TearDown() override {
    (void)closeAllDesignFiles();
    scripted.reset();
    resetHostState();
  }
  std::string path(const std::string& name) const { return scratch.file(name); }
  StartResult start(std::vector<std::string> args, std::vector<SettingOverride> overrides = {},
                    bool batch = true) {
    std::vector<std::wstring> wide = {L"kelvara", batch ? L"MS_INITAPPS" : L"other", L"third"};
    if (!batch) wide.pop_back();
    for (const std::string& a : args) wide.push_back(toWide(a));
    const StartResult r = handleLoadArguments(wide, overrides);
    (void)runEventLoop();
    return r;
  }
  std::vector<std::string> entries() {
    std::vector<std::string> out;
    for (long i = 0; i < mdlStringList_size(duplicateRun().entryList.get()); ++i) {
      out.push_back(listMember(duplicateRun().entryList.get(), i));
    }
    return out;
  }
  std::vector<std::string> infoBoxes() { return scripted->script.texts(UiEventKind::InfoBox); }
  bool changed(const std::string& name) {
    std::ifstream a(path(name), std::ios::binary), b(path("reference.dgn"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(a), {}) !=
           std::string(std::istreambuf_iterator<char>(b), {});
  }
  test::ScratchDir scratch;
  std::optional<ScopedScriptedUi> scripted;
  std::string summary;
};

TEST_F(LoadArguments, SettingsFileFirstThenOverrides) {
  // Loading a settings file resets the report name to its default for the active file; name
  // it here so the report stays in the scratch folder.
  std::ofstream(path("ro.ini")) << "REPORT_ONLY=1\nBACKUP=0\nTEXT_REPORT_FILE_NAME="
                                << path("ro.trf") << "\n";
  fs::copy_file(path("plan.dgn"), path("reference.dgn"));
  // The settings file comes after the design file and still governs the run.
  EXPECT_EQ(start({path("plan.dgn"), path("ro.ini")}), StartResult::RunStarted);
  EXPECT_FALSE(changed("plan.dgn"));
  EXPECT_FALSE(fs::exists(path("plan.bak")));
  EXPECT_EQ(runSettings().REPORT_ONLY, 1);
  // An override given with --set wins over the settings file.
  duplicateRun() = DuplicateRun{};
  runSession().showSummary = [this](const std::string& text) { summary = text; };
  EXPECT_EQ(start({path("plan.dgn"), path("ro.ini")}, {{"REPORT_ONLY", "0"}}),
            StartResult::RunStarted);
  EXPECT_TRUE(changed("plan.dgn"));
}

// A settings file named as an argument is loaded as at start-up: keys it lacks take their
// factory values (not the values loaded before it) and the active file name is taken anew. A
// settings file that does not exist is refused.
TEST_F(LoadArguments, SettingsFileArgumentStartsFromTheFactoryValues) {
  RunSettings& s = runSettings();
  s.FILE_MODE = 1;
  s.BATCH_FILE.assign("earlier.lst");
  s.activeFileName.assign("earlier.dgn");
  ASSERT_EQ(mdlSystem_newDesignFile(path("other.dgn")), SUCCESS);
  std::ofstream(path("short.ini"))
      << "REPORT_ONLY=1\nTEXT_REPORT_FILE_NAME=" << path("s.trf") << "\n";
  EXPECT_EQ(start({path("plan.dgn"), path("short.ini"), path("missing.ini")}),
            StartResult::RunStarted);
  EXPECT_EQ(s.REPORT_ONLY, 1);
  EXPECT_EQ(s.FILE_MODE, 0);
  EXPECT_EQ(s.BATCH_FILE.str(), "");
  std::string active = path("other.dgn");
  for (char& c : active) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(s.activeFileName.str(), active);
  EXPECT_EQ(infoBoxes(),
            (std::vector<std::string>{"Argument \"" + path("missing.ini") + "\" not valid."}));
}

TEST_F(LoadArguments, ComparisonListTheLastOneWins) {
  std::ofstream(path("first.lst")) << path("plan.dgn") << "\n";
  std::ofstream(path("second.lst")) << path("other.dgn") << "\n";
  EXPECT_EQ(start({path("first.lst"), path("second.lst")}), StartResult::RunStarted);
  EXPECT_EQ(entries(), (std::vector<std::string>{path("other.dgn") + ",Default"}));
}

// Nothing matched in a batch: EndToEnd.NothingMatchedEndsWithStatusOne. Without arguments
// outside a batch, start-up goes on quietly.
TEST_F(LoadArguments, NoArgumentsOutsideABatch) {
  EXPECT_EQ(start({}, {}, false), StartResult::NoArguments);
  EXPECT_TRUE(infoBoxes().empty());
  EXPECT_FALSE(duplicateRun().hostExitRequested);
}

}  // namespace
}  // namespace kelvara
