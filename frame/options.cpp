#include "frame/options.h"

#include "report/duplicates_list.h"
#include "settings/key_guide.h"

namespace kelvara {

namespace {

constexpr int kMaxJobs = 64;

constexpr const char* kUsage =
    "usage: kelvara [--set KEY=VALUE]... [--jobs N] [--shard K/N]\n"
    "               [--list FILE.csv|FILE.geojson] [--] ARGUMENT...\n"
    "       kelvara --dump [--header] FILE\n"
    "       kelvara --settings [--set KEY=VALUE]... [FILE.ini]...\n"
    "       kelvara --ui [--port N] [--no-browser] [FILE]\n"
    "       kelvara --help | -h | --version\n";

constexpr const char* kHelp = R"(Usage:
  kelvara [--set KEY=VALUE]... [--jobs N] [--shard K/N]
          [--list FILE.csv|FILE.geojson] [--] ARGUMENT...
  kelvara --dump [--header] FILE
  kelvara --settings [--set KEY=VALUE]... [FILE.ini]...
  kelvara --ui [--port N] [--no-browser] [FILE]
  kelvara --help | -h | --version

Description:
  Kelvara finds the graphic elements of DGN V7 design files that duplicate
  other elements of the same model, and removes them or only reports them.
  Every run backs drawings up before it changes them and writes a text
  report and a design report.

Arguments:
  FILE.ini     a settings file: the run takes its settings from it instead of
               the usual settings file (keys it lacks take factory values)
  FILE.lst     a comparison list: one design file or pattern per line, names
               relative to the current folder
  FILE         a design file; a name without an extension also tries FILE.dgn
  'PATTERN'    the design files matching * and ? in the file part (quote it)
  Words of the form --WORD or -X are options (up to --); every other word is
  taken literally as a name: -inlet.dgn names the file -inlet.dgn.
  A file named several ways (a.dgn ./a.dgn /abs/a.dgn) is processed once.

Options:
  --set KEY=VALUE  change one settings key for this run only (repeatable);
                   the value is checked: a switch is 0 or 1, a count is a
                   whole number, a tolerance is a number that is not
                   negative, written with a decimal point (0.5, never 0,5)
  --jobs N         process the entries in N worker processes at once (1 to
                   64; default 1); the reports, summary and exit status are
                   those of a run with one process; the entries of one file
                   go to one worker
  --shard K/N      process only every N-th entry of the sorted entry list,
                   starting at entry K (K counts from 0: 0/2 and 1/2 split a
                   run in two); the run's one text report is named with the
                   shard, kelvara.trf becoming kelvara.shard-K-of-N.trf
  --list FILE      also write the duplicates list: one record per reported
                   element (design file, model, file position, element ID,
                   type, level, colour, weight, style, outcome, the test that
                   matched it, its partner's file position and type) with its
                   geometry in master units; FILE.csv (geometry as WKT) or
                   FILE.geojson; one list for the whole run
  --dump FILE      list the elements of a design file, one per line, in file
                   order, tab-separated: file position, type, level, colour,
                   weight, style, class, deleted, complex component, xlow,
                   ylow, zlow, xhigh, yhigh, zhigh
  --header         with --dump: first print a row naming the columns
  --settings       list every settings key with its value, factory value and
                   meaning, and the settings file in use
  --ui             the interactive application: dialogs in the web browser,
                   served on 127.0.0.1 under a secret address that is printed
                   on standard output; FILE becomes the active design file;
                   closing the main dialog ends it
  --port N         with --ui: listen on port N (default: any free port)
  --no-browser     with --ui: only print the address, open no browser
  --help, -h       show this text (wherever it appears)
  --version        show the product version
  --               end of options: every word after it is an argument

Most used settings keys:
  (kelvara --settings lists them all, with their values and meanings)
  ALLOW_REVERSED=1          reversed copies count as duplicates
  OVERLAP=1                 near copies and overlapping linear elements count
  TOLERANCE=1.0             distance in master units within which they match
  ALLOW_UNDERLAP=1          an element lying on a longer one counts
  ALLOW_ROTATION=1          rotated copies count (within ROT_TOLERANCE)
  REPORT_ONLY=1             report duplicates, change no drawing
  TEXT_REPORT_FILE_NAME=F   the run's one text report (default kelvara.trf)
  TEXT_REPORT__=0           no text report
  DESIGN_REPORT__=0         no design report
  A text report per drawing: ONE_TEXT_REPORT=0 ONE_TEXT_EACH_REPORT=1 and
    SAME_DIR_TEXT_REPORT=1 (beside it) or DIFF_DIR_TEXT_REPORT=1
    TEXT_REPORT_DIR_NAME=DIR (in DIR)
  Design reports in DIR: SAME_DIR_DESIGN_REPORT=0 DIFF_DIR_DESIGN_REPORT=1
    DESIGN_REPORT_DIR_NAME=DIR

Outputs:
  NAME.bak     the drawing as it was, beside it, made before the run changes
               it (BACKUP=1)
  kelvara.trf  the text report: settings in force, each duplicate found, the
               totals per drawing and for the run
  NAME.drf     the design report, beside the drawing: a DGN copy of the model
               with every element on level "Kelvara Non-Duplicate" and each
               duplicate drawn again on level "Kelvara Duplicate" in colour 2,
               weight 3 (with several drawings the entry's number follows NAME)
  FILE.csv     with --list FILE.csv or --list FILE.geojson: the duplicates
               list, one record per reported element (also why it matched,
               its partner and its geometry), written when the run ends
  The summary goes to standard output; messages, and one line for each file
  skipped or failed, go to standard error.

Settings file:
  $APPDATA/Tarvo/kelvara/kelvara.ini, where APPDATA defaults to
  $XDG_CONFIG_HOME or ~/.config; the first run creates it with the factory
  values. Edit it (KEY=VALUE lines) to change the settings of every run.

Exit status:
  0  every entry was processed (whatever was found)
  1  nothing could be processed, or the run failed (also when a run-wide
     report or the duplicates list could not be written)
  2  usage error
  3  the run completed but some entries were skipped or failed (each is named
     on standard error with the reason)
)";

bool isOption(const std::string& word) {
  if (word.size() > 2 && word.compare(0, 2, "--") == 0) return true;
  return word.size() == 2 && word[0] == '-' && word[1] != '-';  // -h, -x
}

CommandLine usageError(std::string why) {
  CommandLine line;
  line.action = CommandAction::UsageError;
  line.error = std::move(why);
  return line;
}

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A --set word: KEY=VALUE with a settings key and a value of the kind the key holds. "" when
// it is good, else what is wrong.
std::string checkSetting(const std::string& setting, SettingOverride* out) {
  const size_t eq = setting.find('=');
  if (eq == std::string::npos || eq == 0) return "--set needs KEY=VALUE, got \"" + setting + "\"";
  const std::string key = setting.substr(0, eq);
  const std::string value = setting.substr(eq + 1);
  if (!isSettingsKey(key)) {
    return "unknown settings key \"" + key + "\" (kelvara --settings lists them)";
  }
  if (settings_keyGuide(key).kind == KeyValueKind::Written) {
    return "--set " + key + ": " + key + " is written by kelvara itself and cannot be set";
  }
  const std::string expected = settings_checkStrictValue(key, value);
  if (!expected.empty()) {
    return "--set " + key + "=" + value + ": " + key + " takes " + expected;
  }
  *out = {key, value};
  return "";
}

// A --port value: a whole number 1..65535. "" when good, else what is wrong.
std::string readPort(const std::string& text, int* port) {
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > 65535) return "--port needs a number from 1 to 65535";
    value = value * 10 + (c - '0');
  }
  if (text.empty() || value < 1 || value > 65535) return "--port needs a number from 1 to 65535";
  *port = value;
  return "";
}

// A whole number from `low` to `high` in `text`; false when it is anything else.
bool readNumber(const std::string& text, int low, int high, int* out) {
  if (text.empty() || text.size() > 6) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return false;
  *out = value;
  return true;
}

// A --shard value K/N: 0 <= K < N. "" when good, else what is wrong.
std::string readShard(const std::string& text, CommandLine& line) {
  const size_t slash = text.find('/');
  int k = 0, n = 0;
  if (slash == std::string::npos || !readNumber(text.substr(0, slash), 0, 999999, &k) ||
      !readNumber(text.substr(slash + 1), 1, 999999, &n)) {
    return "--shard needs K/N, two whole numbers with N at least 1, got \"" + text + "\"";
  }
  if (k >= n) return "--shard K/N: K counts from 0 and must be below N, got \"" + text + "\"";
  line.shardIndex = k;
  line.shardCount = n;
  return "";
}

// The one mode option of the line (--dump, --settings, --version), or an error when two meet.
std::string setMode(CommandLine& line, CommandAction mode, const std::string& word) {
  if (line.action != CommandAction::Run && line.action != mode) {
    return word + " cannot be combined with the other mode given";
  }
  line.action = mode;
  return "";
}

}  // namespace

const char* usageText() {
  return kUsage;
}

const char* helpText() {
  return kHelp;
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  for (const std::string& word : args) {
    if (word == "--") break;
    if (word == "--help" || word == "-h") {
      CommandLine help;
      help.action = CommandAction::Help;
      return help;
    }
  }
  CommandLine line;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (!optionsEnded && word == "--") {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded || !isOption(word)) {
      line.arguments.push_back(word);
      continue;
    }
    std::string error;
    if (word == "--set") {
      if (i + 1 >= args.size()) return usageError("--set needs KEY=VALUE");
      SettingOverride setting;
      error = checkSetting(args[++i], &setting);
      if (error.empty()) line.overrides.push_back(setting);
    } else if (word == "--list") {
      if (i + 1 >= args.size()) return usageError("--list needs FILE.csv or FILE.geojson");
      line.list = args[++i];
      ListFormat format;
      if (!listFormatOf(line.list, &format)) {
        error = "--list " + line.list + ": the list is a .csv or a .geojson file";
      }
    } else if (word == "--header") {
      line.header = true;
    } else if (word == "--dump") {
      error = setMode(line, CommandAction::Dump, word);
    } else if (word == "--settings") {
      error = setMode(line, CommandAction::Settings, word);
    } else if (word == "--ui") {
      error = setMode(line, CommandAction::Interactive, word);
    } else if (word == "--no-browser") {
      line.noBrowser = true;
    } else if (word == "--port") {
      if (i + 1 >= args.size()) return usageError("--port needs a port number");
      error = readPort(args[++i], &line.port);
    } else if (word == "--jobs") {
      if (i + 1 >= args.size() || !readNumber(args[++i], 1, kMaxJobs, &line.jobs)) {
        return usageError("--jobs needs a number of workers from 1 to " + std::to_string(kMaxJobs));
      }
    } else if (word == "--shard") {
      if (i + 1 >= args.size()) return usageError("--shard needs K/N");
      error = readShard(args[++i], line);
    } else if (word == "--version") {
      error = setMode(line, CommandAction::Version, word);
    } else {
      error = "unknown option \"" + word + "\"";
    }
    if (!error.empty()) return usageError(error);
  }

  if ((line.jobs != 1 || line.shardCount != 0) && line.action != CommandAction::Run) {
    return usageError(std::string(line.jobs != 1 ? "--jobs" : "--shard") +
                      " goes with a run over design files");
  }
  if (!line.list.empty() && line.action != CommandAction::Run) {
    return usageError("--list goes with a run over design files");
  }
  if (line.header && line.action != CommandAction::Dump) {
    return usageError("--header goes with --dump");
  }
  if ((line.noBrowser || line.port != 0) && line.action != CommandAction::Interactive) {
    return usageError(std::string(line.noBrowser ? "--no-browser" : "--port") + " goes with --ui");
  }
  switch (line.action) {
    case CommandAction::Version:
      if (!line.arguments.empty() || !line.overrides.empty()) {
        return usageError("--version takes no arguments");
      }
      break;
    case CommandAction::Dump:
      if (line.arguments.size() != 1 || !line.overrides.empty()) {
        return usageError("--dump takes exactly one design file");
      }
      break;
    case CommandAction::Settings:
      for (const std::string& arg : line.arguments) {
        if (!endsWith(arg, ".ini")) {
          return usageError("--settings takes only settings files (.ini), got \"" + arg + "\"");
        }
      }
      break;
    case CommandAction::Interactive:
      if (line.arguments.size() > 1 || !line.overrides.empty()) {
        return usageError("--ui takes at most one design file and no --set");
      }
      break;
    case CommandAction::Run:
      if (line.arguments.empty()) return usageError("no design file, pattern or list given");
      break;
    case CommandAction::Help:
    case CommandAction::UsageError:
      break;
  }
  return line;
}

}  // namespace kelvara
