// The command line as a user meets it: options and their usage errors, --help anywhere, `--`,
// arguments taken literally, one file named several ways, --settings, --dump --header and
// --version.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>

#include "e2e/harness.h"
#include "kelvara_version.h"
#include "settings/key_guide.h"
#include "settings/settings_file.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"

namespace kelvara::e2e {
namespace {

namespace fs = std::filesystem;

// Two equal lines: a run removes one of them.
void writePair(const std::string& path) {
  ASSERT_TRUE(drawingWith(0).write(path));
}

std::string settingsFilePath(const Scratch& s) {
  return s.path("appdata/Tarvo/kelvara/kelvara.ini");
}

TEST(CommandLine, UsageErrorsSayWhatIsExpectedAndTouchNothing) {
  struct Case {
    std::vector<std::string> args;
    std::string message;  // the line after "kelvara: "
  };
  const std::vector<Case> cases = {
      {{"--set", "OVERLAP=yes", "plan.dgn"}, "--set OVERLAP=yes: OVERLAP takes a switch: 0 or 1"},
      {{"--set", "ALLOW_REVERSED=2", "plan.dgn"}, "ALLOW_REVERSED takes a switch: 0 or 1"},
      {{"--set", "TOLERANCE=abc", "plan.dgn"}, "TOLERANCE takes a number that is not negative"},
      {{"--set", "TOLERANCE=0,5", "plan.dgn"},
       "written with a decimal point (e.g. 0.5), not a comma"},
      {{"--set", "TOLERANCE=-5", "plan.dgn"}, "TOLERANCE takes a number that is not negative"},
      {{"--set", "ROT_TOLERANCE=", "plan.dgn"}, "ROT_TOLERANCE takes a number"},
      {{"--set", "INC_REF_FILES=4", "plan.dgn"}, "INC_REF_FILES takes a whole number from 0 to 3"},
      {{"--set", "WORP_WRAP_POS_TEXT_REPORT=80x", "plan.dgn"},
       "takes a whole number of at least 1"},
      {{"--set", "TEXT_EXTENSION=abcdefgh", "plan.dgn"}, "takes a text of at most 7 bytes"},
      {{"--set", "DATE_CREATED=x", "plan.dgn"}, "DATE_CREATED is written by kelvara itself"},
      {{"--set", "NO_SUCH_KEY=1", "plan.dgn"}, "unknown settings key \"NO_SUCH_KEY\""},
      // The settings file's key keeps its historical spelling.
      {{"--set", "WORD_WRAP_POS_TEXT_REPORT=80", "plan.dgn"},
       "unknown settings key \"WORD_WRAP_POS_TEXT_REPORT\""},
      {{"--set", "REPORT_ONLY", "plan.dgn"}, "--set needs KEY=VALUE, got \"REPORT_ONLY\""},
      {{"plan.dgn", "--set"}, "--set needs KEY=VALUE"},
      {{"--bogus", "plan.dgn"}, "unknown option \"--bogus\""},
      {{"-x", "plan.dgn"}, "unknown option \"-x\""},
      {{}, "no design file, pattern or list given"},
      {{"--set", "REPORT_ONLY=1"}, "no design file, pattern or list given"},
      {{"--dump"}, "--dump takes exactly one design file"},
      {{"--dump", "plan.dgn", "plan.dgn"}, "--dump takes exactly one design file"},
      {{"--header", "plan.dgn"}, "--header goes with --dump"},
      {{"--version", "plan.dgn"}, "--version takes no arguments"},
      {{"--settings", "plan.dgn"}, "--settings takes only settings files (.ini)"},
      {{"--settings", "--dump", "plan.dgn"}, "cannot be combined"},
      {{"--ui", "plan.dgn", "plan.dgn"}, "--ui takes at most one design file and no --set"},
      {{"--ui", "--set", "OVERLAP=1"}, "--ui takes at most one design file and no --set"},
      {{"--ui", "--port"}, "--port needs a port number"},
      {{"--ui", "--port", "0"}, "--port needs a number from 1 to 65535"},
      {{"--ui", "--port", "65536"}, "--port needs a number from 1 to 65535"},
      {{"--ui", "--port", "80x"}, "--port needs a number from 1 to 65535"},
      {{"--no-browser", "plan.dgn"}, "--no-browser goes with --ui"},
      {{"--port", "8080", "plan.dgn"}, "--port goes with --ui"},
      {{"--ui", "--dump", "plan.dgn"}, "cannot be combined"},
      {{"--list", "found.txt", "plan.dgn"}, "the list is a .csv or a .geojson file"},
      {{"plan.dgn", "--list"}, "--list needs FILE.csv or FILE.geojson"},
      {{"--dump", "plan.dgn", "--list", "found.csv"}, "--list goes with a run"},
  };
  Scratch s("usage");
  writePair(s.path("plan.dgn"));
  const std::string original = readFile(s.path("plan.dgn"));
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& a : c.args) line += " " + a;
    SCOPED_TRACE("kelvara" + line);
    const RunResult r = runKelvara(s, c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    const std::vector<std::string> err = splitLines(r.err);
    EXPECT_EQ(r.err.rfind("kelvara: ", 0), 0u) << r.err;
    if (err.size() >= 2) {
      EXPECT_TRUE(contains(err[0], c.message)) << r.err;
      EXPECT_EQ(err[1].rfind("usage: kelvara", 0), 0u) << r.err;
    } else {
      ADD_FAILURE() << "no message and usage lines: " << r.err;
    }
    // Nothing was read or written: no settings file, no run.
    EXPECT_FALSE(fs::exists(settingsFilePath(s)));
    EXPECT_TRUE(readFile(s.path("plan.dgn")) == original);
    EXPECT_FALSE(fs::exists(s.path("plan.bak")));
  }
}

TEST(CommandLine, GoodValuesAreTakenAsTyped) {
  Scratch s("strict");
  for (const char* setting :
       {"TOLERANCE=.25", "TOLERANCE=2.", "TOLERANCE=0", "ROT_TOLERANCE=1.50", "INC_REF_FILES=0",
        "WORP_WRAP_POS_TEXT_REPORT=120", "TEXT_EXTENSION=abcdefg",
        "TEXT_REPORT_DIR_NAME=", "REMOVE_LEVEL=1-5,7", "REPORT_SYM_DUPLICATE_COLOR_VALUE=255"}) {
    SCOPED_TRACE(setting);
    const RunResult r = runKelvara(s, {"--settings", "--set", setting});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "\n" + std::string(setting) + "  (factory: ")) << r.out;
  }
  writePair(s.path("plan.dgn"));
  const RunResult r = runKelvara(s, {"--set", "TOLERANCE=.25", "--set", "OVERLAP=1", "plan.dgn"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(deletedPositions(s, s.path("plan.dgn")).size(), 1u);
}

TEST(CommandLine, HelpWinsWhereverItAppears) {
  Scratch s("help");
  writePair(s.path("plan.dgn"));
  const std::string original = readFile(s.path("plan.dgn"));
  const RunResult help = runKelvara(s, {"--help"});
  ASSERT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  const std::string parts =
      "Usage:|kelvara --ui [--port N] [--no-browser] [FILE]|--no-browser|FILE.ini|FILE.lst|"
      "PATTERN|--set KEY=VALUE|--dump|--header|--settings|--version|ALLOW_REVERSED=1|TOLERANCE=|"
      "OVERLAP=1|ALLOW_UNDERLAP=1|ALLOW_ROTATION=1|REPORT_ONLY=1|TEXT_REPORT_FILE_NAME|"
      "DESIGN_REPORT_DIR_NAME|NAME.bak|kelvara.trf|NAME.drf|Exit status:|"
      "0  every entry was processed|1  nothing could be processed|2  usage error|"
      "3  the run completed but some entries were skipped or failed";
  for (const std::string& part : test::split(parts, '|'))
    EXPECT_TRUE(contains(help.out, part)) << part;
  const std::vector<std::vector<std::string>> same = {
      {"-h"},
      {"plan.dgn", "--help"},
      {"--set", "OVERLAP=1", "plan.dgn", "-h"},
      {"--bogus", "--help"},
      {"--set", "OVERLAP=yes", "-h"},
      {"--dump", "plan.dgn", "--help"},
      {"--version", "-h"},
  };
  for (const auto& args : same) {
    SCOPED_TRACE(args.front());
    const RunResult r = runKelvara(s, args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, help.out);
    EXPECT_EQ(r.err, "");
  }
  EXPECT_TRUE(readFile(s.path("plan.dgn")) == original);
  EXPECT_FALSE(fs::exists(settingsFilePath(s)));
}

// The manual page that `cmake --install` installs carries every line of the help text.
TEST(CommandLine, ManualPageIsMadeFromTheHelp) {
  Scratch s("manual");
  const RunResult help = runKelvara(s, {"--help"});
  ASSERT_EQ(help.status, 0);
  std::string page;
  for (const std::string& line : readLines(KELVARA_BINARY_DIR "/app/kelvara.1")) {
    std::string plain;  // as man shows it: troff's escapes undone
    for (size_t i = 0; i < line.size(); ++i) {
      if (line.compare(i, 2, "\\-") == 0 || line.compare(i, 2, "\\e") == 0) {
        plain += line[i + 1] == '-' ? '-' : '\\';
        ++i;
      } else if (line.compare(i, 2, "\\&") == 0) {
        ++i;
      } else {
        plain += line[i];
      }
    }
    page += plain + "\n";
  }
  EXPECT_EQ(page.rfind(".TH KELVARA 1 \"\" \"Kelvara " KELVARA_PRODUCT_VERSION "\"", 0), 0u);
  for (const std::string& line : splitLines(help.out)) {
    if (line.empty()) continue;
    SCOPED_TRACE(line);
    if (line[0] == ' ') {
      EXPECT_TRUE(contains(page, "\n" + line + "\n"));
      continue;
    }
    std::string section = line == "Usage:" ? "SYNOPSIS" : line.substr(0, line.size() - 1);
    for (char& c : section) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(contains(page, "\n.SH " + section + "\n"));
  }
  EXPECT_TRUE(contains(page, "\n.SH EXIT STATUS\n"));
}

// Names that look like options are files after `--`, a leading "-i" is part of the name, and
// a name without an extension names the drawing with ".dgn".
TEST(CommandLine, ArgumentsAreTakenLiterally) {
  struct Case {
    std::vector<std::string> args;
    std::string cleaned;    // the file the run changes
    std::string untouched;  // a file whose name the argument resembles
  };
  const std::vector<Case> cases = {
      {{"-inlet.dgn"}, "-inlet.dgn", "nlet.dgn"},
      {{"--", "--help.dgn"}, "--help.dgn", "help.dgn"},
      {{"--", "-h"}, "-h", "h"},
      {{"--set", "REPORT_ONLY=0", "--", "-iplan.dgn"}, "-iplan.dgn", "plan.dgn"},
      {{"inlet"}, "inlet.dgn", "inlet.DGN"},  // without an extension: with ".dgn"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cleaned);
    Scratch s("literal");
    writePair(s.path(c.cleaned));
    writePair(s.path(c.untouched));
    const std::string untouched = readFile(s.path(c.untouched));
    const RunResult r = runKelvara(s, c.args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "1 model processed.")) << r.out;
    EXPECT_EQ(deletedPositions(s, s.path(c.cleaned)).size(), 1u);
    EXPECT_TRUE(readFile(s.path(c.untouched)) == untouched);
  }
}

TEST(CommandLine, OneFileNamedSeveralWaysIsOneEntry) {
  Scratch s("sameFile");
  fs::create_directories(s.path("sub"));
  writePair(s.path("sub/a.dgn"));
  writePair(s.path("b.dgn"));
  fs::create_symlink("sub/a.dgn", s.path("link.dgn"));
  std::ofstream(s.path("list.lst")) << "sub/a.dgn\n" << s.path("sub/a.dgn") << "|b.dgn\n";
  const RunResult r =
      runKelvara(s, {"sub/a.dgn", "./sub/a.dgn", s.path("sub/a.dgn"), "sub/../sub/a.dgn",
                     "sub/a*.dgn", "link.dgn", "list.lst", "./b.dgn", "b.dgn"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "2 models processed.")) << r.out;
  EXPECT_TRUE(contains(r.out, "2 duplicate elements were found.")) << r.out;
  // Each file is named once in the report, by the first name given (the list comes first).
  const std::string report = readFile(s.path("kelvara.trf"));
  size_t files = 0;
  for (const std::string& line : splitLines(report)) files += line.rfind("File:", 0) == 0;
  EXPECT_EQ(files, 2u) << report;
  EXPECT_EQ(deletedPositions(s, s.path("sub/a.dgn")).size(), 1u);
  EXPECT_EQ(deletedPositions(s, s.path("b.dgn")).size(), 1u);
}

TEST(CommandLine, SettingsListEveryKeyWithValueFactoryValueAndMeaning) {
  Scratch s("settings");
  // No settings file yet: the factory values, and listing creates none.
  RunResult r = runKelvara(s, {"--settings", "--set", "TOLERANCE=0.25"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::exists(settingsFilePath(s)));
  std::vector<std::string> lines = splitLines(r.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Settings file: " + settingsFilePath(s) +
                          " (not created yet: the first run creates it with the factory values)");
  // Every key once, at the start of a line, followed by a line with its meaning.
  for (int i = 0; i < SETTINGS_KEY_COUNT; ++i) {
    const std::string key = settings_keyName(i);
    SCOPED_TRACE(key);
    size_t found = 0;
    for (size_t n = 0; n + 1 < lines.size(); ++n) {
      if (lines[n].rfind(key + "=", 0) != 0) continue;
      ++found;
      EXPECT_GT(lines[n + 1].size(), 10u);
      EXPECT_EQ(lines[n + 1].rfind("    ", 0), 0u);
    }
    EXPECT_EQ(found, 1u);
  }
  const auto expectListed = [](const std::string& out, const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
      EXPECT_TRUE(contains(out, "\n" + line + "\n")) << line << "\n" << out;
  };
  expectListed(r.out, {"TOLERANCE=0.25  (factory: 1.0)", "OVERLAP=0  (factory: 0)",
                       "TEXT_EXTENSION=trf  (factory: trf)"});

  // After a run the file exists and its values are listed; a settings file argument wins.
  writePair(s.path("plan.dgn"));
  ASSERT_EQ(runKelvara(s, {"plan.dgn"}).status, 0);
  ASSERT_TRUE(fs::exists(settingsFilePath(s)));
  std::ofstream(settingsFilePath(s), std::ios::app) << "OVERLAP=1\n";
  r = runKelvara(s, {"--settings"});
  EXPECT_EQ(splitLines(r.out)[0], "Settings file: " + settingsFilePath(s));
  expectListed(r.out, {"OVERLAP=1  (factory: 0)"});
  // A settings file keeps its lenient reading: values --set would refuse are read as before.
  std::ofstream(s.path("mine.ini"))
      << "ALLOW_REVERSED=1\nTOLERANCE=0,5\nUSE_WORD_WRAP_TEXT_REPORT=yes\n"
         "WORP_WRAP_POS_TEXT_REPORT=72 columns\n";
  r = runKelvara(s, {"--settings", "mine.ini"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(splitLines(r.out)[0], "Settings file: mine.ini");
  expectListed(r.out, {"ALLOW_REVERSED=1  (factory: 0)", "OVERLAP=0  (factory: 0)",
                       "TOLERANCE=0,5  (factory: 1.0)", "USE_WORD_WRAP_TEXT_REPORT=0  (factory: 0)",
                       "WORP_WRAP_POS_TEXT_REPORT=72  (factory: 80)"});
  r = runKelvara(s, {"--settings", "missing.ini"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "missing.ini")) << r.err;
}

TEST(CommandLine, DumpHeaderNamesTheColumns) {
  Scratch s("dumpHeader");
  writePair(s.path("plan.dgn"));
  const RunResult plain = runKelvara(s, {"--dump", "plan.dgn"});
  const RunResult headed = runKelvara(s, {"--dump", "--header", "plan.dgn"});
  ASSERT_EQ(plain.status, 0);
  ASSERT_EQ(headed.status, 0);
  const std::vector<std::string> lines = splitLines(headed.out);
  ASSERT_EQ(lines.size(), splitLines(plain.out).size() + 1);
  EXPECT_EQ(lines[0],
            "position\ttype\tlevel\tcolour\tweight\tstyle\tclass\tdeleted\tcomponent\txlow\tylow"
            "\tzlow\txhigh\tyhigh\tzhigh");
  EXPECT_EQ(headed.out.substr(lines[0].size() + 1), plain.out);
  // The plain listing starts with an element: a number in every column.
  EXPECT_EQ(plain.out.find_first_not_of("0123456789-\t\n"), std::string::npos);
}

TEST(CommandLine, VersionIsTheOneTheReportsPrint) {
  Scratch s("version");
  writePair(s.path("plan.dgn"));
  const RunResult version = runKelvara(s, {"--version"});
  EXPECT_EQ(version.status, 0);
  ASSERT_EQ(runKelvara(s, {"plan.dgn"}).status, 0);
  const std::vector<std::string> report = readLines(s.path("kelvara.trf"));
  ASSERT_FALSE(report.empty());
  EXPECT_EQ(version.out, report[0] + "\n");
  EXPECT_EQ(version.out, "Kelvara " KELVARA_PRODUCT_VERSION "\n");
}

}  // namespace
}  // namespace kelvara::e2e
