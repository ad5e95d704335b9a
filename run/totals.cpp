#include "run/totals.h"

#include <cstdarg>

#include "run/trace_hook.h"

namespace kelvara {

namespace {

constexpr double kPerSixty = 0.016666666666666666;

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
  char small[512];
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, fmt, args);
  va_end(args);
  std::string out;
  if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
    out.assign(small, static_cast<size_t>(n));
  } else if (n >= 0) {
    out.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), fmt, copy);
    out.resize(static_cast<size_t>(n));
  }
  va_end(copy);
  return out;
}

}  // namespace

int j_getTotals(const ElementTable* table, uint32_t status) {
  runTrace("......j_getTotals started for %d\n", static_cast<int>(status));
  if (table == nullptr || table->head == kNoNode) return 0;
  int count = 0;
  for (NodeId n = table->head; n != kNoNode; n = nextNode(*table, n, LoadOrder)) {
    if (status == TOTALS_ALL_ENTRIES || entryOf(*table, n).status == status) ++count;
  }
  return count;
}

std::string elapsedText(int64_t seconds) {
  const double s = static_cast<double>(seconds);
  if (s < 60.0) return format("%.0f seconds", s);
  const double minutes = s * kPerSixty;
  if (minutes < 60.0) return format("%.1f minutes", minutes);
  const double hours = minutes * kPerSixty;
  if (hours > 500.0) return "";
  return format("%.1f hours", hours);
}

std::string perFileResultText(int modelDuplicates, int notDeleted) {
  std::string out = modelDuplicates > 0 ? "\n" : "";
  out += format("%s found %d duplicate %s in this file.\n", PRODUCT_NAME, modelDuplicates,
                modelDuplicates == 1 ? "element" : "elements");
  if (notDeleted > 0) out += format("%d of them could not be deleted.\n", notDeleted);
  return out;
}

std::string elapsedLineText(int modelElements, int64_t seconds) {
  if (modelElements == 0) return "";
  const std::string time = elapsedText(seconds);
  if (time.empty()) return "";
  return format(
      modelElements == 1 ? "%d element processed in %s.\n\n" : "%d elements processed in %s.\n\n",
      modelElements, time.c_str());
}

std::string runTotalText(int totalDuplicates, int models) {
  return format("\n%s found a total of %d duplicate %s in %d %s.\n", PRODUCT_NAME, totalDuplicates,
                totalDuplicates == 1 ? "element" : "elements", models,
                models == 1 ? "model" : "models");
}

std::string readOnlySentence(const std::string& file) {
  return format("File %s is read-only. No changes were made to this file.", file.c_str());
}

namespace {

std::string models(int n) {
  return n == 1 ? "model" : "models";
}

// "Label: path\n" for one path; "Labels:\n  path\n..." for several.
std::string pathList(const char* one, const char* many, const std::vector<std::string>& paths) {
  if (paths.size() == 1) return format("%s: %s\n", one, paths[0].c_str());
  std::string out = format("%s:\n", many);
  for (const std::string& p : paths) out += format("  %s\n", p.c_str());
  return out;
}

}  // namespace

std::string summaryText(const SummaryInputs& in) {
  std::string out = "Processing complete.\n\n";
  out += format("%d %s processed.\n", in.processed, models(in.processed).c_str());
  if (in.failed > 0) {
    out += format("%d %s could not be processed.\n", in.failed, models(in.failed).c_str());
  }
  out += format("%d duplicate %s found.\n", in.totalDuplicates,
                in.totalDuplicates == 1 ? "element was" : "elements were");
  if (in.notDeleted > 0) {
    out += format("%d duplicate %s not be deleted (see the text report).\n", in.notDeleted,
                  in.notDeleted == 1 ? "element could" : "elements could");
  }
  if (in.readOnlyFiles == 1 && in.models == 1) {
    out += in.readOnlySkipped > 0
               ? "File was read-only and has been skipped. Nothing was reported or removed.\n"
               : "File was read-only. Duplicate elements have been reported but not removed.\n";
  } else if (in.models > 1) {
    out += format("%d read-only %s encountered.\n", in.readOnlyFiles,
                  in.readOnlyFiles == 1 ? "file was" : "files were");
  }
  if (!in.unattended) {
    out += "\nClick the <View Text Report> button for details.\n";
    return out;
  }
  if (in.textReports.empty() && in.designReports.empty() && in.backups.empty() &&
      in.duplicatesList.empty()) {
    return out;
  }
  out += '\n';
  if (in.textReports.size() == 1) {
    out += format("See \"%s\" text report file for details.\n", in.textReports[0].c_str());
  } else if (!in.textReports.empty()) {
    out += pathList("", "See the text report files for details", in.textReports);
  }
  if (!in.designReports.empty())
    out += pathList("Design report", "Design reports", in.designReports);
  if (!in.backups.empty()) out += pathList("Backup", "Backups", in.backups);
  if (!in.duplicatesList.empty()) out += format("Duplicates list: %s\n", in.duplicatesList.c_str());
  return out;
}

std::string entryFailureLine(const std::string& file, const std::string& reason,
                             const std::string& detail) {
  std::string line = reason.find(file) == std::string::npos ? file + ": " + reason : reason;
  if (!detail.empty()) line += " (" + detail + ")";
  return line;
}

}  // namespace kelvara
