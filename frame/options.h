// The command line's options: what `kelvara ...` was asked to do, and the help text.
//
//   kelvara [--set KEY=VALUE]... [--jobs N] [--shard K/N] [--list FILE.csv|FILE.geojson]
//           [--] ARGUMENT...
//                                                     unattended run over the arguments
//   kelvara --dump [--header] FILE                    list the elements of a design file
//   kelvara --settings [--set KEY=VALUE]... [FILE.ini]...
//   kelvara --ui [--port N] [--no-browser] [FILE]     the interactive application
//   kelvara --help | -h | --version
//
// Options are the words of the form --WORD or -X (only -h is known); `--help` (or `-h`)
// anywhere before `--` asks for the help whatever else is given. Every other word is an
// argument, taken literally (a word such as "-inlet.dgn" is a file name); after `--` every
// word is an argument. A --set value is checked strictly here, before anything is read or
// written.
#pragma once

#include <string>
#include <vector>

#include "frame/startup.h"

namespace kelvara {

enum class CommandAction { Run, Help, Version, Settings, Dump, Interactive, UsageError };

struct CommandLine {
  CommandAction action = CommandAction::Run;
  std::vector<SettingOverride> overrides;  // --set, in order
  std::vector<std::string> arguments;      // the arguments, literally and in order
  std::string list;                        // --list: the duplicates list to write ("" none)
  bool header = false;                     // --dump prints a row naming its columns first
  int port = 0;                            // --ui: the port to listen on, 0 any free one
  bool noBrowser = false;                  // --ui: only print the page's address
  int jobs = 1;                            // --jobs: worker processes of the run
  int shardIndex = 0;                      // --shard K/N: K (0-based) ...
  int shardCount = 0;                      // ... and N; 0 when the run is not a shard
  std::string error;                       // for UsageError: what is wrong, in one line
};

// Reads the words that follow the program name. Never fails: a usage error comes back as
// action UsageError with its text.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The usage lines printed with a usage error.
const char* usageText();

// The text of `kelvara --help`, also made into the manual page at build time. Lines that begin
// at the margin and end with ':' head a section.
const char* helpText();

}  // namespace kelvara
