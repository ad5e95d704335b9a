#include "frame/review_dialog.h"

#include <string>
#include <vector>

#include "engine/pass.h"
#include "frame/main_dialog.h"
#include "frame/messages.h"
#include "frame/models_dialog.h"
#include "host/dialogs.h"
#include "host/types.h"
#include "host/ui.h"
#include "host/view.h"
#include "host/view_display.h"
#include "report/description.h"
#include "run/driver.h"
#include "run/stepper.h"
#include "settings/run_settings.h"

namespace kelvara {

namespace {

constexpr int HOOK_REVIEW = 4;
constexpr int HOOK_REVIEW_BUTTONS = 305;
constexpr int HOOK_REVIEW_LIMIT = 307;
constexpr int LABEL_DELETE = 2, LABEL_UNDELETE = 4;
constexpr int LABEL_DELETE_GO_ON = 6, LABEL_UNDELETE_GO_ON = 8;
constexpr double ZOOM_AT_PAUSE = 2.5, ZOOM_IN = 0.75, ZOOM_OUT = 1.25;
constexpr double MIN_AREA_UOR = 1000.0;  // the area around an element without extent

// The entry the pass waits at; nullptr when there is none.
const ElementEntry* currentEntry() {
  Engine& e = engine();
  if (e.step.current == kNoNode) return nullptr;
  return &entryOf(e.table, e.step.current);
}

DPoint3d centreOf(const ElementEntry& entry) {
  return {entry.xLow + (entry.xHigh - entry.xLow) * 0.5,
          entry.yLow + (entry.yHigh - entry.yLow) * 0.5,
          entry.zLow + (entry.zHigh - entry.zLow) * 0.5};
}

// Zooms view 1 about `centre` by `factor` (above 1 shows more) and redraws it.
void zoomView(const DPoint3d& centre, double factor) {
  (void)mdlView_zoom(0, 0, &centre, factor);
  (void)mdlView_updateSingle(0);
}

// Sets view 1's area to the element's range, keeping the view's rotation; a range without
// width or height (a point, a line along an axis) gets a square area.
void setAreaAround(const ElementEntry& entry) {
  const DRange3d range{entry.xLow, entry.yLow, entry.zLow, entry.xHigh, entry.yHigh, entry.zHigh};
  (void)viewAreaAroundRange(0, range, MIN_AREA_UOR);
}

// Shows the reviewed element (and the element it matched, in the partner's style) highlighted
// in view 1.
void flashReviewElements(const ElementEntry& entry, const ElementEntry* partner) {
  highlightElements(entry.filePosition, partner ? partner->filePosition : 0, entry.modelRef);
  (void)flashElement(entry.filePosition, entry.modelRef);
}

void flashCurrent() {
  const Engine& e = engine();
  const ElementEntry* entry = currentEntry();
  if (entry == nullptr) return;
  const ElementEntry* partner =
      e.matchedCandidate == kNoNode ? nullptr : &entryOf(e.table, e.matchedCandidate);
  flashReviewElements(*entry, partner);
}

std::string plainLabel(int number) {
  std::string label = buttonLabel(number);
  std::erase(label, '~');
  return label;
}

// Labels and enabled states of the two delete buttons for an entry just deleted or not.
void relabel(DialogBox* db, bool deleted) {
  const ElementEntry* entry = currentEntry();
  const bool component = entry != nullptr && entry->isComplexComponent != 0;
  const bool enabled = runSettings().REPORT_ONLY == 0 && (deleted || !component);
  const int labels[2][2] = {{LABEL_DELETE, LABEL_DELETE_GO_ON},
                            {LABEL_UNDELETE, LABEL_UNDELETE_GO_ON}};
  const int items[2] = {RITEM_DELETE, RITEM_DELETE_CONTINUE};
  for (int i = 0; i < 2; ++i) {
    if (DialogItem* item = mdlDialog_itemGetById(db, items[i])) {
      item->caption = plainLabel(labels[deleted ? 1 : 0][i]);
      noteDialogChange();
    }
    (void)mdlDialog_itemSetEnabledState(db, items[i], enabled);
  }
}

// Deletes the reviewed element, or restores it when the review deleted it. True on success.
bool toggleDeleted(DialogBox* db) {
  Engine& e = engine();
  const bool deleted = e.step.deletedFlag != 0;
  if ((deleted ? restoreCurrent(e) : deleteCurrent(e)) != SUCCESS) {
    (void)mdlOutput_error(deleted ? "The element could not be restored."
                                  : "The element cannot be deleted here: the run is report "
                                    "only, the file is read-only, or the element lies in a "
                                    "reference or a complex element.");
    return false;
  }
  e.step.deletedFlag = deleted ? 0 : 1;
  relabel(db, !deleted);
  if (const ElementEntry* entry = currentEntry()) flashReviewElements(*entry, nullptr);
  return true;
}

// Asks the cancel question; confirmed, the run ends without a summary (Finish closes this
// dialog). True when confirmed.
bool askToStop() {
  if (mdlDialog_openAlert(CANCEL_QUESTION) != ANSWER_OK) return false;
  if (!cancelStepper()) cancelRun();
  return true;
}

void reviewHook(DialogMessage& m) {
  if (m.type == DialogMessageType::FocusIn) showProductFields();
  // Closing the window would leave the pass waiting with nothing to resume it: it stops the
  // run instead, once the user confirms.
  if (m.type == DialogMessageType::CloseRequest && duplicateRun().running) m.refuse = !askToStop();
}

void reviewButtons(DialogMessage& m) {
  if (m.type != DialogMessageType::Button) return;
  DialogBox* db = mdlDialog_find(m.dialogId);
  if (m.itemId == RITEM_STOP) {
    (void)askToStop();
    return;
  }
  if (stepperTimerArmed() || db == nullptr) return;  // the pass runs: only stop works
  const ElementEntry* entry = currentEntry();
  switch (m.itemId) {
    case RITEM_FLASH:
      flashCurrent();
      break;
    case RITEM_REPORT_REST:
    case RITEM_NEXT:
      resumeComparison(m.itemId == RITEM_REPORT_REST);
      break;
    case RITEM_RAISE_LIMIT:
      if (engine().step.reviewLimit < REVIEW_LIMIT_RAISED) {
        engine().step.reviewLimit = REVIEW_LIMIT_RAISED;
      }
      (void)mdlDialog_open(REVIEW_LIMIT_DIALOG_ID);
      break;
    case RITEM_CLOSE: {
      DialogEvent close;
      close.dialogId = REVIEW_DIALOG_ID;
      close.kind = DialogEventKind::Close;
      (void)dialogs_handleEvent(close);
      break;
    }
    case RITEM_DELETE:
      (void)toggleDeleted(db);
      break;
    case RITEM_DELETE_CONTINUE:
      if (toggleDeleted(db)) resumeComparison(false);
      break;
    case RITEM_ZOOM_IN:
    case RITEM_ZOOM_OUT:
      if (entry != nullptr)
        zoomView(centreOf(*entry), m.itemId == RITEM_ZOOM_IN ? ZOOM_IN : ZOOM_OUT);
      break;
    default:
      break;
  }
}

void reviewLimitHook(DialogMessage& m) {
  if (m.type == DialogMessageType::Button) {
    (void)mdlDialog_closeCommandQueue(mdlDialog_find(REVIEW_LIMIT_DIALOG_ID));
  }
}

DialogItem button(int id, const char* caption) {
  DialogItem item = makeItem(id, ItemKind::PushButton, caption);
  item.hookId = HOOK_REVIEW_BUTTONS;
  return item;
}

// Finish: the review dialogs close and the "Input Files and Models" dialog, when open, or else
// the main dialog comes back.
void reviewRunFinished() {
  for (int id : {REVIEW_LIMIT_DIALOG_ID, REVIEW_DIALOG_ID}) {
    if (DialogBox* db = mdlDialog_find(id)) (void)mdlDialog_closeCommandQueue(db);
  }
  if (showModelsDialogAtFinish()) return;
  if (DialogBox* main = mdlDialog_find(MAIN_DIALOG_ID)) (void)mdlDialog_show(main);
  clearHighlight();
}

}  // namespace

void defineReviewDialog() {
  (void)mdlDialog_hookPublish(HOOK_REVIEW, reviewHook);
  (void)mdlDialog_hookPublish(HOOK_REVIEW_BUTTONS, reviewButtons);
  (void)mdlDialog_hookPublish(HOOK_REVIEW_LIMIT, reviewLimitHook);
  DialogResource review;
  review.id = REVIEW_DIALOG_ID;
  review.title = "Review Duplicates";
  review.hookId = HOOK_REVIEW;
  DialogItem lines = makeItem(RITEM_LINES, ItemKind::ListBox, "Reviewed elements");
  lines.value = "-1";
  DialogItem next = button(RITEM_NEXT, "Next duplicate");
  next.isDefault = true;
  DialogItem stop = button(RITEM_STOP, "Stop the run...");
  stop.isCancel = true;
  review.items = {lines,
                  button(RITEM_DELETE, "Delete"),
                  button(RITEM_DELETE_CONTINUE, "Delete and Continue"),
                  next,
                  button(RITEM_REPORT_REST, "Report the rest of the model only"),
                  button(RITEM_FLASH, "Flash"),
                  button(RITEM_ZOOM_IN, "Zoom in"),
                  button(RITEM_ZOOM_OUT, "Zoom out"),
                  button(RITEM_RAISE_LIMIT, "Review no more in this model"),
                  stop,
                  button(RITEM_CLOSE, "Close")};
  defineDialogResource(review);

  DialogResource limit;
  limit.id = REVIEW_LIMIT_DIALOG_ID;
  limit.title = "Review Limit";
  limit.hookId = HOOK_REVIEW_LIMIT;
  DialogItem ok = makeItem(1, ItemKind::PushButton, "OK");
  ok.isDefault = ok.isCancel = true;
  limit.items = {makeItem(2, ItemKind::Label,
                          "The review stops asking in this model: every further duplicate "
                          "(up to file position 4000000) is reported without a pause and "
                          "stays in the drawing. The next model is reviewed again."),
                 ok};
  defineDialogResource(limit);

  runSession().reviewPause = reviewPause;
  runSession().runFinished = reviewRunFinished;
}

void openReviewDialogHidden() {
  DialogBox* db = mdlDialog_open(REVIEW_DIALOG_ID);
  if (db == nullptr) return;
  (void)mdlDialog_itemSetChoices(db, RITEM_LINES, {});
  (void)mdlDialog_hide(db);
}

void reviewPause() {
  DialogBox* db = mdlDialog_open(REVIEW_DIALOG_ID);
  if (db == nullptr) return;
  (void)mdlDialog_show(db);
  const ElementEntry* entry = currentEntry();
  if (entry != nullptr) {
    (void)mdlView_turnOn(0);
    setAreaAround(*entry);
    zoomView(centreOf(*entry), ZOOM_AT_PAUSE);
    flashCurrent();
    std::string line;
    if (describeEntry(&line, *entry, false, entry->isComplexComponent != 0,
                      runSettings().FILEPOS_IN_REPORT != 0) != SUCCESS) {
      line = "Element at file position " + std::to_string(entry->filePosition) + " cannot be read.";
    }
    if (line.size() > 511) line.resize(511);
    if (DialogItem* lines = mdlDialog_itemGetById(db, RITEM_LINES)) {
      std::vector<std::string> rows = lines->choices;
      rows.push_back(line);
      (void)mdlDialog_itemSetChoices(db, RITEM_LINES, std::move(rows));
      (void)mdlDialog_itemSetValue(db, RITEM_LINES, std::to_string(lines->choices.size() - 1));
    }
  }
  engine().step.deletedFlag = 0;
  relabel(db, false);
  (void)mdlOutput_prompt("");
}

}  // namespace kelvara
