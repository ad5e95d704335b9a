// Design file lists as a run builds them: wildcard expansion of file names, adding matching
// design files to the run's list, and reading a comparison list file.
//
// A file specification is a path whose file part may hold `*` and `?`; the directory part is
// taken literally. Matching is case-sensitive, as file names are on this platform. A problem
// with a name is handed back to the caller as a ParseError (which this module never shows) and
// the name adds nothing.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/file_identity.h"
#include "host/parse_error.h"
#include "host/strings.h"

namespace kelvara {

// Codes of the errors the list readers hand back.
enum FileListError : int {
  LIST_NO_MATCH = 101,         // "No files found matching \"%s\"."
  LIST_NOT_DESIGN_FILE = 102,  // "\"%s\" is not a design file."
  LIST_UNREADABLE = 103,       // "Unable to open %s."
  LIST_EMPTY = 104,            // "No valid files found in the comparison list..."
};

// The directory part of a specification with its trailing separator ("" when it has none).
std::string directoryPart(const std::string& spec);

// The names (without directory) of the regular files matching the pattern, sorted.
std::vector<std::string> findFiles(const std::string& spec);

// True when at least one file matches the pattern.
bool anyFileMatches(const std::string& spec);

// The files a list holds, by identity (device and inode, symbolic links followed), so that
// one file named several ways (a.dgn, ./a.dgn, its absolute path, a link) is one entry.
using FileIdentities = std::set<FileIdentity>;

// Appends every design file that matches `spec` and is not yet in `list`: neither by its name
// nor by its identity. `seen` holds the identities of the list's files and is kept up to date;
// without it they are taken from the list's names on every call. Appends LIST_NO_MATCH to
// `errors` and returns ERROR when nothing matches; appends LIST_NOT_DESIGN_FILE for each match
// that is not one. SUCCESS otherwise. The errors carry no file or line: the caller knows where
// `spec` came from.
[[nodiscard]] int addMatchingFiles(StringList* list, const std::string& spec,
                                   std::vector<ParseError>& errors, FileIdentities* seen = nullptr);

// The names a comparison list line stands for: the line itself, or, for a line of the pair
// form "newer|older" that the comparison-list editor writes, each side on its own (blank
// sides dropped). Trailing carriage returns and line feeds are removed first.
std::vector<std::string> comparisonListLineNames(std::string line);

// Reads the comparison list at `path` into `list` (each name through addMatchingFiles, whose
// errors come with the list's path and the 1-based line of the name; names that are not
// absolute are taken relative to the current folder, not to the list's). Appends
// LIST_UNREADABLE when the file cannot be opened and LIST_EMPTY when the list stays empty, then
// returns ERROR; SUCCESS otherwise. The errors are in the order they were found.
[[nodiscard]] int readComparisonList(StringList* list, const std::string& path,
                                     std::vector<ParseError>& errors,
                                     FileIdentities* seen = nullptr);

// True when the text from the name's last '.' on is ".lst" ignoring case.
bool hasListExtension(const std::string& name);

}  // namespace kelvara
