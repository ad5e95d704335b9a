// The wrapped writer of the text report: every multi-word line of a report goes through it.
//
// A text is laid out word by word. The first line starts with `firstIndent` blanks, every
// continuation line with `nextIndent` blanks; a word that would carry the line past the wrap
// column starts a new line instead (unless it is the line's first word: a word longer than the
// line is written whole). Line breaks at the start of the text become empty lines; a line
// break inside the text ends the line there. Words are written as they stand: a `%` is text.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace kelvara {

// Wrap column used when word wrap is off: in practice a line is never broken.
inline constexpr int WRAP_OFF_COLUMN = 4096;
// A word longer than this is cut; the rest continues as the next word.
inline constexpr int MAX_WRAP_WORD = 120;

// The wrap column for the report settings: `column` when wrapping is on, else WRAP_OFF_COLUMN.
// A column below 1 counts as 1.
int wrapColumnFor(bool wordWrap, int column);

// The laid-out text, ending with a line break.
std::string wrapText(std::string_view text, int firstIndent, int nextIndent, int wrapColumn);

// Writes wrapText(...) to out; does nothing when out is null. Write errors are ignored.
void writeWrapped(std::FILE* out, std::string_view text, int firstIndent, int nextIndent,
                  int wrapColumn);

}  // namespace kelvara
