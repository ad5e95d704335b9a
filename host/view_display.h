// What the application shows in view 1 beyond its area: zooms, the area around an element,
// flashes and highlights, the element under the user's click, and a revision number of what
// the view draws. The drawing view of the interactive application follows all of it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/element.h"
#include "host/view.h"

namespace kelvara {

// Ticks a flash shows the element in each of its two looks, and the length of a tick.
inline constexpr long FLASH_PAUSE_TICKS = 20;
inline constexpr double MS_PER_TICK = 1000.0 / 60.0;

// Zooms view inView about centre (the view's centre when null) by factor: the area's extent is
// multiplied by it (above 1 shows more, below 1 less) and the result becomes outView's area.
// ERROR for a view index outside 0..7 or a factor that is not positive and finite.
[[nodiscard]] int mdlView_zoom(int outView, int inView, const DPoint3d* centre, double factor);

// Sets the view's area to the element range (its xy extent, kept from being empty: a line
// along an axis or a point gets a square area at least `minimumExtent` wide), keeping the
// view's rotation. ERROR as for mdlView_setArea.
[[nodiscard]] int viewAreaAroundRange(int view, const DRange3d& range, double minimumExtent);

// Flashes the element at filePos of model in view 1: shown, then shown highlighted, each for
// FLASH_PAUSE_TICKS, then drawn normally again; on a level that is off it is shown too.
// ERROR when no element starts there.
[[nodiscard]] int flashElement(uint32_t filePos, ModelRef model);

// Highlights the element at filePos of model and the element it pairs with (partnerPos, 0 for
// none) in a second style until cleared.
void highlightElements(uint32_t filePos, uint32_t partnerPos, ModelRef model);
void clearHighlight();

// The describer turns an element into the line the message field shows when the user clicks
// it (the application sets one; without one the line names the type and file position).
using ElementDescriber = std::function<std::string(const MSElementDescr&)>;
void setElementDescriber(ElementDescriber describer);

// Shows the description of the element at filePos of the active model in the message field.
// ERROR when no element starts there.
[[nodiscard]] int identifyElement(uint32_t filePos);

// Changes whenever what view 1 draws of the active model may have changed: another active
// file, an edit of it, a level switched on or off.
uint64_t drawingRevision();
// The active file's count of edits, which a drawing made of it records with its revision.
uint64_t drawingEdits();
// The elements deleted from the active model since its drawing of `revision` was made at
// `edits` (both as recorded then): their file positions, when that is all that changed since
// (the same model, levels shown, and no element added, replaced or otherwise changed, no
// element deleted that is not drawn). False when the drawing must be made again whole.
[[nodiscard]] bool drawingDeletionsSince(uint64_t revision, uint64_t edits,
                                         std::vector<uint32_t>* positions);

}  // namespace kelvara
