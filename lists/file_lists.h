// Design file lists as a run builds them: wildcard expansion of file names, adding matching
// design files to the run's list, and reading a comparison list file.
//
// A file specification is a path whose file part may hold `*` and `?`; the directory part is
// taken literally. Matching is case-sensitive, as file names are on this platform. Every
// problem with a name is shown in an information box and the name adds nothing.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/strings.h"

namespace kelvara {

// The directory part of a specification with its trailing separator ("" when it has none).
std::string directoryPart(const std::string& spec);

// The names (without directory) of the regular files matching the pattern, sorted.
std::vector<std::string> findFiles(const std::string& spec);

// True when at least one file matches the pattern.
bool anyFileMatches(const std::string& spec);

// The files a list holds, by identity (device and inode, symbolic links followed), so that
// one file named several ways (a.dgn, ./a.dgn, its absolute path, a link) is one entry.
using FileIdentities = std::set<std::pair<uint64_t, uint64_t>>;

// Appends every design file that matches `spec` and is not yet in `list`: neither by its name
// nor by its identity. `seen` holds the identities of the list's files and is kept up to date;
// without it they are taken from the list's names on every call. Shows "No files found
// matching \"%s\"." and returns ERROR when nothing matches; shows "\"%s\" is not a design
// file." for each match that is not one. SUCCESS otherwise.
[[nodiscard]] int addMatchingFiles(StringList* list, const std::string& spec,
                                   FileIdentities* seen = nullptr);

// The names a comparison list line stands for: the line itself, or, for a line of the pair
// form "newer|older" that the comparison-list editor writes, each side on its own (blank
// sides dropped). Trailing carriage returns and line feeds are removed first.
std::vector<std::string> comparisonListLineNames(std::string line);

// Reads the comparison list at `path` into `list` (each name through addMatchingFiles; names
// that are not absolute are taken relative to the current folder, not to the list's). Shows
// "Unable to open %s." when the file cannot be opened and "No valid files found in the
// comparison list..." when the list stays empty, then returns ERROR; SUCCESS otherwise.
[[nodiscard]] int readComparisonList(StringList* list, const std::string& path,
                                     FileIdentities* seen = nullptr);

// True when the text from the name's last '.' on is ".lst" ignoring case.
bool hasListExtension(const std::string& name);

}  // namespace kelvara
