// Selection files: the `.sel` text files that keep a SelectionSetList, line by line.
//
// A file starts with the header line and three version lines (the layout version of the sets,
// the oldest program version that may read the file, the version that wrote it), then one
// block per set: "[[Name=...]]" followed by tagged sections. Reading is tolerant: sections may
// come in any order, unknown lines are ignored, a missing or malformed line ends its section.
// Files written by older versions are converted while they are read: scrambled files (every
// byte of every line stored shifted by SCRAMBLE_SHIFT) and files of the old text-row layout.
// This program always writes plain files, through a temporary file that replaces the target
// only when complete. The readers hand their problems back as a ParseError and never show
// them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/parse_error.h"
#include "selection/model.h"

namespace kelvara {

inline constexpr std::string_view SELECTION_FILE_HEADER = "[Tarvo Selection File]";
inline constexpr std::string_view SELECTION_PROGRAM_VERSION = "3:2:4:1";  // also Select/Major
inline constexpr std::string_view SELECTION_MINOR_VERSION = "3:2:1:0";
inline constexpr std::string_view SELECTION_FILE_EXTENSION = "sel";
// Scrambled files store each byte of a line's text as (byte + 5) mod 256; the line feed that
// ends the line is stored as it is.
inline constexpr uint8_t SCRAMBLE_SHIFT = 5;
// Reading buffers: a line holds at most buffer - 2 characters; longer lines are split.
inline constexpr size_t SEL_LINE_BUFFER = 600;
inline constexpr size_t SEL_LEVEL_LINE_BUFFER = 1024;

// Codes of the errors the readers hand back (the file is the selection file; the line is the
// header line or the version line that failed, 0 for an unreadable file).
enum SelectionFileError : int {
  SEL_ERR_UNREADABLE = 201,      // unreadableSelectionFileMessage
  SEL_ERR_UNSUITABLE = 202,      // unsuitableSelectionFileMessage: not the header line
  SEL_ERR_INVALID_FORMAT = 203,  // SEL_MSG_INVALID_FORMAT, an alert: a version line missing
  SEL_ERR_NEXT_VERSION = 204,    // SEL_MSG_NEXT_VERSION
  SEL_ERR_OLD_VERSION = 205,     // SEL_MSG_OLD_VERSION
};

// Results of readRunList.
inline constexpr int SEL_READ_OK = 0;
inline constexpr int SEL_READ_UNREADABLE = 2;
inline constexpr int SEL_READ_UNSUITABLE = 6;

// ---- Messages ------------------------------------------------------------------------------
inline constexpr std::string_view SEL_MSG_INVALID_FORMAT =
    "Unable to read file because of invalid file format.";
inline constexpr std::string_view SEL_MSG_NEXT_VERSION =
    "This file is not suitable for this version. It is from next version of product.";
inline constexpr std::string_view SEL_MSG_OLD_VERSION =
    "This file is not suitable for this version. It is from an old version of product.";
// The texts for an unreadable, unsuitable and unwritable selection file, with the path.
std::string unreadableSelectionFileMessage(std::string_view path);
std::string unsuitableSelectionFileMessage(std::string_view path);
std::string unwritableSelectionFileMessage(std::string_view path);

// ---- Versions ------------------------------------------------------------------------------

// Compares two versions of up to four colon-separated decimal fields (missing fields are 0,
// fields beyond the fourth are ignored): 1 when a is newer, -1 when older, 0 when equal or
// when either is missing (null).
int compareVersions(const std::string* a, const std::string* b);
int compareVersions(std::string_view a, std::string_view b);

// ---- Reading -------------------------------------------------------------------------------

// What the header check found out about a file.
struct SelectionFileKind {
  bool scrambled = false;
  bool oldLayout = false;  // text rows lack their leading text style column
};

// Checks the header and versions of the file at path. SUCCESS when it may be read (*kind
// filled), ERROR otherwise, with the reason in *error (unreadable file, unsuitable header, or
// one of the three version messages).
[[nodiscard]] int checkSelectionFile(const std::string& path, SelectionFileKind* kind,
                                     ParseError* error);

// The same check on file content already in memory, read from `path`.
[[nodiscard]] int checkSelectionText(std::string_view content, std::string_view path,
                                     SelectionFileKind* kind, ParseError* error);

// Appends the sets of a checked file's content to list.
void parseSelectionText(std::string_view content, const SelectionFileKind& kind,
                        SelectionSetList& list);

// Frees list, checks the file and reads its sets, with a progress display over the file.
// SUCCESS, or ERROR when the file cannot be read or fails the check (list left empty, the
// reason in *error).
[[nodiscard]] int readSelectionFile(const std::string& path, SelectionSetList& list,
                                    ParseError* error);

// Path rule of a run's selection file: white space trimmed at both ends, inner runs of white
// space made one blank, ".sel" appended when the file part has no extension.
std::string normalizeSelectionPath(std::string_view path);

// Reads a run's selection file into list (freed first): SEL_READ_OK, SEL_READ_UNREADABLE when
// the file cannot be opened, SEL_READ_UNSUITABLE when it fails the check; the reason in
// *error.
[[nodiscard]] int readRunList(std::string_view path, SelectionSetList& list, ParseError* error);

// ---- Writing -------------------------------------------------------------------------------

// The file content for list.
std::string formatSelectionText(const SelectionSetList& list);

// Writes list to path (plain layout) with progress per set. ERROR, after showing the message
// for a file that cannot be written (or read, when it does not exist), when the file cannot be
// written, with the system's reason in *error; the old file is then left as it was.
[[nodiscard]] int writeSelectionFile(const std::string& path, const SelectionSetList& list,
                                     std::string* error = nullptr);

// ---- Set names -----------------------------------------------------------------------------

// Joins the names of the file's sets with commas into buffer (capacity bytes with the NUL).
// 0 success; -1 no path; -2 empty path; -3 no buffer; -4 capacity below 1; -5 the file cannot
// be opened; -6 no memory; -7 the names do not fit (buffer keeps the names that did).
int collectSetNames(const char* path, char* buffer, int capacity);

}  // namespace kelvara
