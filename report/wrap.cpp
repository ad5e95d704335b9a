// The wrapped writer of the text report.
#include "report/wrap.h"

#include <algorithm>

namespace kelvara {

int wrapColumnFor(bool wordWrap, int column) {
  if (!wordWrap) return WRAP_OFF_COLUMN;
  return std::max(column, 1);
}

namespace {

// A text of one line that fits: it is laid out as its first indent and the text without its
// outer blanks (no word is moved, blanks between words stay as they are). Most report lines
// are such; false for any other text.
bool fitsOnOneLine(std::string_view text, int firstIndent, int wrapColumn, std::string_view* laid) {
  if (text.find('\n') != std::string_view::npos) return false;
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    *laid = std::string_view();
    return true;
  }
  const size_t last = text.find_last_not_of(' ');
  *laid = text.substr(first, last + 1 - first);
  return static_cast<size_t>(std::max(firstIndent, 0)) + laid->size() <=
         static_cast<size_t>(std::max(wrapColumn, 0));
}

}  // namespace

std::string wrapText(std::string_view text, int firstIndent, int nextIndent, int wrapColumn) {
  firstIndent = std::max(firstIndent, 0);
  nextIndent = std::max(nextIndent, 0);
  std::string out;
  if (std::string_view line; fitsOnOneLine(text, firstIndent, wrapColumn, &line)) {
    if (!line.empty()) {
      out.reserve(static_cast<size_t>(firstIndent) + line.size() + 1);
      out.append(static_cast<size_t>(firstIndent), ' ');
      out += line;
    }
    out += '\n';
    return out;
  }
  out.reserve(text.size() + 16);
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && text[i] == '\n') {
    out += '\n';
    ++i;
  }
  // The indent of the current line is written with its first word, so that a line without
  // words carries no trailing blanks.
  int lineIndent = firstIndent;
  int column = firstIndent;
  bool lineHasWord = false;
  while (i < n) {
    size_t j = i;
    while (j < n && text[j] == ' ') ++j;
    const size_t blanks = j - i;
    if (j == n) break;
    if (text[j] == '\n') {
      out += '\n';
      lineIndent = nextIndent;
      column = nextIndent;
      lineHasWord = false;
      i = j + 1;
      continue;
    }
    size_t end = j;
    while (end < n && text[end] != ' ' && text[end] != '\n' &&
           end - j < static_cast<size_t>(MAX_WRAP_WORD))
      ++end;
    const std::string_view word = text.substr(j, end - j);
    const int length = static_cast<int>(word.size());
    if (!lineHasWord) {
      out.append(static_cast<size_t>(lineIndent), ' ');
      out += word;
      column = lineIndent + length;
    } else if (column + static_cast<int>(blanks) + length > wrapColumn) {
      out += '\n';
      out.append(static_cast<size_t>(nextIndent), ' ');
      out += word;
      column = nextIndent + length;
    } else {
      out.append(blanks, ' ');
      out += word;
      column += static_cast<int>(blanks) + length;
    }
    lineHasWord = true;
    i = end;
  }
  out += '\n';
  return out;
}

void writeWrapped(std::FILE* out, std::string_view text, int firstIndent, int nextIndent,
                  int wrapColumn) {
  if (!out) return;
  if (std::string_view line; fitsOnOneLine(text, firstIndent, wrapColumn, &line)) {
    if (!line.empty()) {
      for (int i = 0; i < firstIndent; ++i) std::fputc(' ', out);
      std::fwrite(line.data(), 1, line.size(), out);
    }
    std::fputc('\n', out);
    return;
  }
  const std::string laid = wrapText(text, firstIndent, nextIndent, wrapColumn);
  std::fwrite(laid.data(), 1, laid.size(), out);
}

}  // namespace kelvara
