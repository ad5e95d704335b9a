// "Select" of the Element Selection dialog on a model of 10^6 elements: the highlighted set
// (lines on level 1) is evaluated over the active model and its elements put into the host's
// selection set, pressed through the dialog manager. Target: under 1 s.
//
//   bench_selection_dialog_select --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "bench/bench_drawing.h"
#include "frame/picker_dialogs.h"
#include "frame/selection_dialog.h"
#include "host/design.h"
#include "host/dialogs.h"
#include "host/selection.h"
#include "host/ui.h"

namespace kelvara {
namespace {

constexpr size_t kElements = 1000000;

struct Model {
  std::string dir;
  Model() {
    char tmpl[] = "/tmp/kelvara_bench_select_XXXXXX";
    dir = mkdtemp(tmpl);
    const std::string path = dir + "/drawing.dgn";
    bench::writeDrawing(path, bench::randomDrawing(kElements, 11));
    if (mdlSystem_newDesignFile(path) != SUCCESS) std::abort();
    definePickerDialogs();
    defineSelectionDialog();
    defaultSelectionDirectory() = dir + "/";
    if (!openSelectionDialog({})) std::abort();
    const int lineRow = typeIndex(3);
    for (const DialogEvent& e :
         {DialogEvent{SELECTION_DIALOG_ID, SEL_TYPES, DialogEventKind::Change,
                      std::to_string(lineRow)},
          DialogEvent{SELECTION_DIALOG_ID, SEL_LEVELS, DialogEventKind::Change, "1"},
          DialogEvent{SELECTION_DIALOG_ID, SEL_ADD, DialogEventKind::Button, ""}}) {
      if (dialogs_handleEvent(e) != EventResult::Done) std::abort();
    }
  }
  ~Model() { std::filesystem::remove_all(dir); }
};

void BM_SelectOnAMillionElements(benchmark::State& state) {
  static Model model;
  for (auto _ : state) {
    if (dialogs_handleEvent({SELECTION_DIALOG_ID, SEL_ACTIVATE, DialogEventKind::Button, ""}) !=
        EventResult::Done) {
      state.SkipWithError("Select refused");
    }
  }
  state.counters["selected"] = static_cast<double>(mdlSelect_count());
  state.counters["elements"] = static_cast<double>(kElements);
}
BENCHMARK(BM_SelectOnAMillionElements)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace kelvara

BENCHMARK_MAIN();
