#include "settings/run_settings.h"

#include <cctype>

#include "host/config.h"
#include "host/design.h"
#include "host/strings.h"
#include "settings/abbreviate.h"

namespace kelvara {

namespace {

constexpr size_t kReportMessageWidth = 56;  // TEXT_REPORT_FILE_NAME as the main dialog shows it

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string activeDesignFileName() {
  const ModelRef active = mdlModelRef_getActive();
  std::string path;
  if (active == 0 || mdlModelRef_getFileName(active, &path) != SUCCESS) return {};
  return path;
}

void setReportSymbology(ReportSymbology& r, const char* level, int color, int weight) {
  r.useLevel = 1;
  r.useColor = 1;
  r.useWeight = 1;
  r.useStyle = 0;
  r.levelValue.assign(level);
  r.colorValue = color;
  r.weightValue = weight;
  r.styleValue = 0;
}

}  // namespace

void assignCut(char* buffer, size_t capacity, std::string_view text) {
  (void)copyCut(buffer, capacity, text);
}

RunSettings& runSettings() {
  static RunSettings settings;
  return settings;
}

std::string activeFileDirectory() {
  const std::string name = activeDesignFileName();
  const size_t sep = name.find_last_of("/\\");
  if (sep == std::string::npos) return {};
  return name.substr(0, sep + 1);
}

std::string defaultTextReportName(std::string_view extension) {
  std::string name = activeFileDirectory() + "kelvara.";
  name.append(extension);
  return name;
}

std::string reportMessageText(const RunSettings& s) {
  if (s.TEXT_REPORT__) {
    std::string text = abbreviateFileName(s.TEXT_REPORT_FILE_NAME.view(), kReportMessageWidth);
    if (s.SAME_DIR_TEXT_REPORT) {
      text = "Text reports will be generated in directories with corresponding design files.";
    }
    if (s.DIFF_DIR_TEXT_REPORT) {
      text = "Directory for text reports: " + s.TEXT_REPORT_DIR_NAME.str() + ".";
    }
    return text;
  }
  if (s.DESIGN_REPORT__) {
    std::string text;
    if (s.SAME_DIR_DESIGN_REPORT) {
      text = "<Design report files placed in same directory as design files.>";
    }
    if (s.DIFF_DIR_DESIGN_REPORT) {
      text = "<Design report files placed in " + s.DESIGN_REPORT_DIR_NAME.str() + ".>";
    }
    return text;
  }
  return "<No report mode specified.>";
}

void settings_rebuildReportMessage(RunSettings& s) {
  s.TEXT_REPORT_MESSAGE.assign(reportMessageText(s));
}

void settings_resetToFactory(RunSettings& s, bool fromHost) {
  // 1. What survives the reset.
  const FixedText<256> editor = s.TEXT_REPORT_EDITOR_NAME;
  const int32_t fileMode = s.FILE_MODE;
  const FixedText<256> batchFile = s.BATCH_FILE;
  const FixedText<512> activeName = s.activeFileName;

  // 2. Everything back to zero.
  s = RunSettings{};

  // 3. Factory values.
  s.INC_REF_FILES = 3;
  s.mainChoice[0] = 1;
  s.REMOVE_ALL_DUP = 1;
  s.INTERACTIVE = 1;
  s.BACKUP = 1;
  s.modelSaveMissingSide = 1;
  const int32_t rowDisplay[5] = {4, 0, 8, 9, 12};
  for (int i = 0; i < 5; ++i) s.modelRowDisplay[i] = rowDisplay[i];
  s.TOLERANCE.assign("1.0");
  s.ROT_TOLERANCE.assign("1.0");
  s.attributeOptions[1] = 2;
  setReportSymbology(s.reportSymbology[REPORT_SINGLE], "Kelvara Non-Duplicate", 0, 0);
  setReportSymbology(s.reportSymbology[REPORT_DUPLICATE], "Kelvara Duplicate", 2, 3);
  setReportSymbology(s.reportSymbology[REPORT_MATCHED], "Kelvara Selected", 4, 2);
  setReportSymbology(s.reportSymbology[REPORT_FOURTH], "", 3, 3);
  s.TEXT_REPORT__ = 1;
  s.TEXT_EXTENSION.assign("trf");
  s.ONE_TEXT_REPORT = 1;
  s.USE_WORD_WRAP_TEXT_REPORT = 0;
  s.WORP_WRAP_POS_TEXT_REPORT = 80;
  s.TEXT_REPORT_FILE_NAME.assign(defaultTextReportName(s.TEXT_EXTENSION.view()));
  s.DESIGN_REPORT__ = 1;
  s.DESIGN_EXTENSION.assign("drf");
  s.SAME_DIR_DESIGN_REPORT = 1;

  // 4. The report description.
  settings_rebuildReportMessage(s);

  // 5. The active file: from the host, or as it was.
  if (fromHost) {
    s.activeFileName.assign(lowerAscii(activeDesignFileName()));
  } else {
    s.FILE_MODE = fileMode;
    s.BATCH_FILE = batchFile;
    s.activeFileName = activeName;
  }

  // 6. The report viewer: kept, else the system's notepad.
  if (!editor.empty()) {
    s.TEXT_REPORT_EDITOR_NAME = editor;
  } else {
    std::string windir;
    if (mdlSystem_getCfgVar(&windir, "windir") == SUCCESS) {
      s.TEXT_REPORT_EDITOR_NAME.assign(windir + "/notepad.exe");
    } else {
      s.TEXT_REPORT_EDITOR_NAME.assign("c:\\windows\\notepad.exe");
    }
  }
}

}  // namespace kelvara
