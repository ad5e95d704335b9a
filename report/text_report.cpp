// The text report: names, header, file blocks, duplicate lines, technical note, skips.
#include "report/text_report.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "engine/element_table.h"
#include "host/types.h"
#include "report/wrap.h"

namespace kelvara {

namespace {

char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

// A header line whose value begins in column 22.
std::string labelled(std::string_view label, std::string_view value) {
  constexpr size_t kValueColumn = 21;
  std::string line(label);
  if (line.size() < kValueColumn) line.append(kValueColumn - line.size(), ' ');
  line += value;
  line += '\n';
  return line;
}

std::string titleLines(std::string_view secondTitle, std::string_view date) {
  std::string text = std::string(PRODUCT_NAME) + " " + PRODUCT_VERSION + "\n";
  text += secondTitle;
  text += '\n';
  text += date;
  text += "\n\n";
  return text;
}

constexpr size_t kReportBufferBytes = size_t{1} << 16;

// Starts the file that becomes `name` on close (a read-only or non-regular file of that name
// is never replaced). On failure errno tells why.
bool createReportFile(TextReport& report, const std::string& name) {
  auto file = std::make_shared<StreamedFile>();
  if (beginStreamedFile(*file, name, nullptr) != SUCCESS) return false;
  std::FILE* stream = openStdioStream(file);
  if (!stream) return false;
  // Reports of large drawings run to megabytes: write them in large blocks.
  (void)std::setvbuf(stream, nullptr, _IOFBF, kReportBufferBytes);
  report.stream = stream;
  report.name = name;
  report.file = std::move(file);
  return true;
}

}  // namespace

// ---- Names -----------------------------------------------------------------------------------

PathParts parseFileName(std::string_view path) {
  PathParts parts;
  const size_t slash = path.find_last_of('/');
  std::string_view file = path;
  if (slash != std::string_view::npos) {
    parts.directory = std::string(path.substr(0, slash + 1));
    file = path.substr(slash + 1);
  }
  const size_t dot = file.find_last_of('.');
  if (dot == std::string_view::npos) {
    parts.name = std::string(file);
  } else {
    parts.name = std::string(file.substr(0, dot));
    parts.extension = std::string(file.substr(dot + 1));
  }
  return parts;
}

std::string buildFileName(const PathParts& parts) {
  std::string out = parts.device + parts.directory;
  if (!out.empty() && out.back() != '/') out += '/';
  out += parts.name;
  if (!parts.extension.empty()) {
    out += '.';
    out += parts.extension;
  }
  return out;
}

bool samePathIgnoringCase(std::string_view a, std::string_view b) {
  return equalsIgnoringCase(a, b);
}

bool sameFileName(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  if (equalsIgnoringCase(a, b)) return true;
  std::error_code ea, eb;
  const auto ca = std::filesystem::weakly_canonical(std::filesystem::path(a), ea);
  const auto cb = std::filesystem::weakly_canonical(std::filesystem::path(b), eb);
  return !ea && !eb && ca == cb;
}

std::string reportFileKey(std::string_view path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), ec);
  return (ec ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

int reportName(std::string* out, std::string_view designFile, const ReportNaming& naming,
               int entryIndex, int entryCount) {
  if (naming.fixedName) {
    *out = naming.fileName;
  } else {
    const PathParts file = parseFileName(designFile);
    PathParts report;
    report.name = file.name;
    if (entryCount >= 2) report.name += std::to_string(entryIndex);
    report.extension = naming.appendExtension && !file.extension.empty()
                           ? file.extension + "." + naming.extension
                           : naming.extension;
    report.directory = naming.sameDirectory ? file.directory : naming.directory;
    *out = buildFileName(report);
    // Two entries may give one name (`s1.dgn` as entry 1 and `s.dgn` as entry 11 both give
    // `s11`): the later one takes the first free "_n".
    const std::string base = report.name;
    for (int n = 2; naming.taken != nullptr && naming.taken->count(reportFileKey(*out)) != 0; ++n) {
      report.name = base + "_" + std::to_string(n);
      *out = buildFileName(report);
    }
  }
  return out->empty() || out->size() > MAX_REPORT_NAME ? ERROR : SUCCESS;
}

// ---- Header ----------------------------------------------------------------------------------

std::string restrictionText(const RuleGroup& g) {
  std::string words;
  if (g.useLevel && !g.level.empty()) words += ", Level";
  if (g.useColor && !g.color.empty()) words += ", Color";
  if (g.useWeight && !g.weight.empty()) words += ", Weight";
  if (g.useStyle && !g.style.empty()) words += ", Style";
  return words.empty() ? words : words.substr(2);
}

std::string runHeaderText(const RunHeader& h, const TextReportOptions& options,
                          std::string_view reportName) {
  std::string text = titleLines(h.secondTitle, h.date);
  if (!options.perEntry) text += labelled("Text Report:", reportName);
  if (h.batchMode) {
    text += "Run in batch mode.\n";
    text += labelled("Report Mode:", h.reportMessage);
  }
  std::string mode = std::string(h.reportOnly ? "Report only" : "Delete") + " - " +
                     (h.interactive ? "Interactive" : "Non-interactive");
  if (h.removeAllSelected) mode += " - Remove selected elements";
  text += labelled("Mode:", mode);
  text += labelled("Fence:", h.fence ? "ON" : "OFF");
  if (h.removeSelectedDuplicates || h.removeAllSelected)
    text += labelled("Selection Criteria:", h.criteriaName + " - " + h.criteriaDescription);
  else
    text += labelled("Selection Criteria:", "ALL ELEMENTS");
  if (!h.removeAllSelected) {
    const std::string removed = restrictionText(h.removed);
    const std::string compared = restrictionText(h.compared);
    if (!removed.empty() || !compared.empty()) {
      text += "Restrictions:\n";
      text += labelled("  Elements Removed:", removed.empty() ? "OFF" : "ON - " + removed);
      text += labelled("  Elements Compared:", compared.empty() ? "OFF" : "ON - " + compared);
    }
  }
  text += '\n';
  return text;
}

// ---- Writing ---------------------------------------------------------------------------------

void textReport_write(TextReport& report, std::string_view text) {
  if (report.stream) std::fwrite(text.data(), 1, text.size(), report.stream);
}

void textReport_writeWrapped(TextReport& report, const TextReportOptions& options,
                             std::string_view text, int firstIndent, int nextIndent) {
  writeWrapped(report.stream, text, firstIndent, nextIndent,
               wrapColumnFor(options.wordWrap, options.wrapColumn));
}

int textReport_openForEntry(TextReport& report, const TextReportOptions& options,
                            const RunHeader& header, std::string_view designFile,
                            std::string_view designReportName, int entryIndex, int entryCount,
                            ReportFailure* failure) {
  ReportFailure ignored;
  if (!failure) failure = &ignored;
  *failure = ReportFailure{};
  const bool open = report.stream != nullptr;
  std::string name = report.name;
  if (!open) {
    const ReportNaming& n = options.naming;
    if (!n.fixedName && n.sameDirectory && !n.appendExtension &&
        equalsIgnoringCase(parseFileName(designFile).extension, n.extension)) {
      *failure = {MSG_TEXT_OVERWRITES_DESIGN, std::string(designFile), {}};
      return ERROR;
    }
    if (reportName(&name, designFile, n, entryIndex, entryCount) != SUCCESS) {
      *failure = {MSG_REPORT_NAME_NOT_BUILT, name, {}};
      return ERROR;
    }
  }
  // Checked for every entry: a run-wide report must not end up over a later entry's file.
  if (sameFileName(name, designFile) || sameFileName(name, designReportName)) {
    *failure = {MSG_TEXT_OVERWRITES_DESIGN, std::string(designFile), {}};
    return ERROR;
  }
  if (open) return SUCCESS;
  // A report under a backup's extension would replace the backup of a drawing: refused like a
  // report that cannot be created.
  if (equalsIgnoringCase(parseFileName(name).extension, BACKUP_EXTENSION)) {
    *failure = {MSG_REPORT_NOT_CREATED, std::string(designFile),
                name + ": a report is never written under the backup extension"};
    return ERROR;
  }
  if (!createReportFile(report, name)) {
    *failure = {MSG_REPORT_NOT_CREATED, std::string(designFile),
                name + ": " + std::strerror(errno)};
    return ERROR;
  }
  const std::string headerText = runHeaderText(header, options, report.name);
  textReport_write(report, headerText);
  report.headerBytes = headerText.size();
  return SUCCESS;
}

bool textReport_resume(TextReport& report, const std::string& name, std::string_view text) {
  if (!createReportFile(report, name)) return false;
  textReport_write(report, text);
  report.headerBytes = text.size();
  return true;
}

void textReport_writeFileBlock(TextReport& report, const TextReportOptions& options,
                               std::string_view file, std::string_view designReportName,
                               std::string_view modelName) {
  if (!report.stream || !options.enabled) return;
  std::string text = labelled("File:", file);
  if (options.perEntry) text += labelled("Text Report:", report.name);
  text += labelled("Design Report:", designReportName);
  text += labelled("Model:", modelName);
  text += '\n';
  textReport_write(report, text);
}

void textReport_writeDuplicate(TextReport& report, const TextReportOptions& options,
                               std::string_view line) {
  if (!options.enabled) return;
  textReport_writeWrapped(report, options, line, 2, 4);
}

void textReport_writeTechnicalNote(TextReport& report, const TextReportOptions& options) {
  if (!report.stream) return;
  const std::string product = PRODUCT_NAME;
  textReport_writeWrapped(report, options, "\n\nTechnical Note (Experts Only)", 0, 0);
  textReport_writeWrapped(report, options,
                          "When \"Interactive processing\" is turned off, " + product +
                              " will report only the first element in each pair of duplicates.",
                          0, 0);
  textReport_writeWrapped(
      report, options,
      "\nWhen \"Interactive processing\" is turned on, if the user chooses to ignore the first "
      "element in a pair of duplicates, " +
          product +
          " will then report the second element in that pair as well. This may result in more "
          "duplicate elements being reported than would be reported when \"Interactive "
          "processing\" is turned off.\n",
      0, 0);
}

namespace {

void abandonReport(TextReport& report) {
  if (report.stream == nullptr) return;
  (void)std::fclose(report.stream);
  report.stream = nullptr;
  if (report.file) abandonStreamedFile(*report.file);
  report.file.reset();
}

}  // namespace

TextReport::TextReport(TextReport&& other) noexcept
    : stream(std::exchange(other.stream, nullptr)),
      name(std::move(other.name)),
      file(std::move(other.file)),
      error(std::move(other.error)),
      headerBytes(other.headerBytes) {}

TextReport& TextReport::operator=(TextReport&& other) noexcept {
  if (this == &other) return *this;
  abandonReport(*this);
  stream = std::exchange(other.stream, nullptr);
  name = std::move(other.name);
  file = std::move(other.file);
  error = std::move(other.error);
  headerBytes = other.headerBytes;
  return *this;
}

TextReport::~TextReport() {
  abandonReport(*this);
}

int textReport_close(TextReport& report) {
  if (!report.stream) return SUCCESS;
  report.error.clear();
  const bool flushed = std::fflush(report.stream) == 0 && !std::ferror(report.stream);
  std::fclose(report.stream);
  report.stream = nullptr;
  const std::shared_ptr<StreamedFile> file = std::move(report.file);
  report.file.reset();
  if (flushed && finishStreamedFile(*file, Durability::NotSynced, nullptr) == SUCCESS)
    return SUCCESS;
  // The file's own message begins with its name, which the caller names already.
  const std::string prefix = report.name + ": ";
  report.error = file->error.rfind(prefix, 0) == 0
                     ? file->error.substr(prefix.size())
                     : (file->error.empty() ? std::string("cannot write") : file->error);
  abandonStreamedFile(*file);
  return ERROR;
}

int textReport_endEntry(TextReport& report, const TextReportOptions& options) {
  if (!report.stream || !options.perEntry) return SUCCESS;
  textReport_writeTechnicalNote(report, options);
  return textReport_close(report);
}

int textReport_finish(TextReport& report, const TextReportOptions& options) {
  if (!report.stream) return SUCCESS;
  textReport_writeTechnicalNote(report, options);
  return textReport_close(report);
}

// ---- Skipped entries -------------------------------------------------------------------------

std::string skipMessage(int outcome, std::string_view file) {
  const std::string f(file);
  switch (outcome) {
    case SETUP_NOT_DESIGN_FILE:
      return f + " is not a design file and has been skipped.\n\n";
    case SETUP_READ_ONLY:
      return f + " is a read-only file and has been skipped.\n\n";
    case SETUP_DESIGN_REPORT:
      return f + " is a design report file and has been skipped.\n\n";
    case SETUP_BACKUP_FILE:
      return f + " is a backup file and has been skipped.\n\n";
    case SETUP_OPEN_FAILED:
      return "Unable to open " + f + ". File has been skipped.\n\n";
    default:
      return std::string();
  }
}

namespace {

// Opens the report a skipped or failed entry is recorded in, unless one is open.
int openForEntry(TextReport& report, const TextReportOptions& options, const RunHeader& header,
                 std::string_view entryText, std::string_view file, int entryIndex, int entryCount,
                 ReportFailure* failure) {
  ReportFailure ignored;
  if (!failure) failure = &ignored;
  *failure = ReportFailure{};
  if (!report.stream) {
    std::string name;
    if (reportName(&name, entryText, options.naming, entryIndex, entryCount) != SUCCESS) {
      *failure = {MSG_REPORT_NAME_NOT_BUILT, name, {}};
      return ERROR;
    }
    // Never write a report over the entry's own file, nor under a backup's extension.
    if (sameFileName(name, file)) {
      *failure = {MSG_REPORT_NOT_CREATED, std::string(file),
                  name + ": the report would be the file"};
      return ERROR;
    }
    if (equalsIgnoringCase(parseFileName(name).extension, BACKUP_EXTENSION)) {
      *failure = {MSG_REPORT_NOT_CREATED, std::string(file),
                  name + ": a report is never written under the backup extension"};
      return ERROR;
    }
    if (!createReportFile(report, name)) {
      *failure = {MSG_REPORT_NOT_CREATED, std::string(file), name + ": " + std::strerror(errno)};
      return ERROR;
    }
    // With text reports off, the report holds skip records only: the short form.
    const std::string headerText = options.perEntry || !options.enabled
                                       ? titleLines(header.secondTitle, header.date) +
                                             "Text report file name:" + report.name + "\n"
                                       : runHeaderText(header, options, report.name);
    textReport_write(report, headerText);
    report.headerBytes = headerText.size();
  }
  return SUCCESS;
}

}  // namespace

int textReport_recordSkip(TextReport& report, const TextReportOptions& options,
                          const RunHeader& header, std::string_view entryText,
                          std::string_view file, int outcome, int entryIndex, int entryCount,
                          ReportFailure* failure) {
  if (openForEntry(report, options, header, entryText, file, entryIndex, entryCount, failure) !=
      SUCCESS) {
    return ERROR;
  }
  textReport_write(report, skipMessage(outcome, file));
  if (options.perEntry) (void)textReport_close(report);
  return SUCCESS;
}

int textReport_recordFailedEntry(TextReport& report, const TextReportOptions& options,
                                 const RunHeader& header, std::string_view entryText,
                                 const FailedEntryLines& lines, int entryIndex, int entryCount,
                                 ReportFailure* failure) {
  if (openForEntry(report, options, header, entryText, lines.file, entryIndex, entryCount,
                   failure) != SUCCESS) {
    return ERROR;
  }
  textReport_writeFileBlock(report, options, lines.file, lines.designReportName, lines.model);
  textReport_write(report, std::string(lines.failure) + "\n\n");
  if (options.perEntry) (void)textReport_close(report);
  return SUCCESS;
}

}  // namespace kelvara
