// Fuzz target for the selection file reader: the input is a selection file's content. It is
// checked, parsed, written out again and parsed a second time; the second reading must give
// the same sets as the first (whatever the first made of the input, the writer's output must
// read back exactly). The set-name collector and the evaluation helpers for texts taken from
// the file run too.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/ui.h"
#include "selection/criteria.h"
#include "selection/file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvara;
  static const bool quiet = [] {
    (void)setUiPort(UiPort{});  // no output from the checks
    return true;
  }();
  (void)quiet;
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  SelectionFileKind kind;
  ParseError error;
  if (checkSelectionText(content, "fuzz.sel", &kind, &error) != SUCCESS) {
    // A refused file is named, with the header or version line that failed.
    if (error.code == 0 || error.file != "fuzz.sel" || error.line < 1 || error.line > 4) {
      std::abort();
    }
    return 0;
  }
  SelectionSetList list;
  parseSelectionText(content, kind, list);

  const std::string written = formatSelectionText(list);
  SelectionFileKind plain;
  if (checkSelectionText(written, "fuzz.sel", &plain, nullptr) != SUCCESS || plain.scrambled ||
      plain.oldLayout) {
    std::abort();
  }
  SelectionSetList again;
  parseSelectionText(written, plain, again);
  if (again.sets.size() != list.sets.size()) std::abort();
  for (size_t i = 0; i < list.sets.size(); ++i) {
    SelectionSet expected = list.sets[i];
    // What the file keeps of the flags: bit 0, and no More flag for toggle-only types.
    for (TypeToggle& t : expected.typeToggles) {
      t.selected &= 1;
      t.more &= 1;
    }
    for (int type : {24, 87, 19, 18}) toggleOf(expected, type)->more = 0;
    expected.dimensionTypesSelected &= 1;
    expected.dimensionTextSelected &= 1;
    expected.dimensionTypesMore &= 1;
    expected.dimensionTextMore &= 1;
    // A text cut right after a carriage return loses it: the reader takes a carriage return
    // before a line feed as part of a Windows line end.
    for (std::string* t : {&expected.colors, &expected.levels}) {
      if (!t->empty() && t->back() == '\r') t->pop_back();
    }
    const SelectionSet& back = again.sets[i];
    if (back.name != expected.name || back.colors != expected.colors ||
        back.levels != expected.levels || back.typeToggles != expected.typeToggles ||
        back.properties != expected.properties || back.classes != expected.classes) {
      std::abort();
    }
    for (const SelectionSet* s : {&expected}) {
      (void)inList(s->graphicGroups, 7);
      double box[6];
      (void)readSixNumbers(s->coordinateRange, box);
      std::string check = s->database.linkageKey;
      std::string error;
      (void)checkIntegerList(&check, 0, 4294967295LL, &error);
      for (const ConstraintList& l : s->lists) {
        if (!l) continue;
        for (const std::string& m : *l) (void)constraintHolds(3.5, m, true, WorkingUnits{});
      }
    }
  }
  char path[] = "/tmp/kelvara_sel_fuzz_XXXXXX";
  const int fd = mkstemp(path);
  if (fd >= 0) {
    const bool ok = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    char names[128];
    if (ok) (void)collectSetNames(path, names, sizeof names);
    unlink(path);
  }
  return 0;
}
