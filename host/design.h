// The host's design files and models: the process-wide design-file state and the operations
// on it, with their mdl names.
//
// Each open design file is an in-memory image (host/dgn/image.h) with one model, "Default".
// Changes live in the image and are written when the host leaves the file (switching the
// active file, closing a work file, closeAllDesignFiles at exit) through a temporary file in
// the same folder; a read-only file is never written. Model references are integer handles
// that stay unique for the life of the process.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/dgn/image.h"
#include "host/dxf/model.h"
#include "host/element.h"

namespace kelvara {

namespace design_detail {
struct DxfReport;
}

inline constexpr const char* DEFAULT_MODEL_NAME = "Default";
inline constexpr int END_OF_DGN = 10;  // mdlScan_file: the scan has ended
inline constexpr uint32_t FILE_ATTR_READONLY = 1;
inline constexpr int MAX_LEVEL = 63;

// One open design file.
struct DesignFile {
  std::string path;
  dgn::DesignImage image;
  bool readOnly = false;    // opened from a file that may not be written
  bool isWorkFile = false;  // opened or created by mdlWorkDgn_*
  ModelRef model = 0;       // handle of its "Default" model (of a DXF drawing: of one layout)
  // A DXF drawing's model: the image holds its layout's entities as V7 elements, this the
  // drawing and the side records. Null for DGN files.
  std::shared_ptr<dxf::ModelSide> dxf;
  // A work file that is the design report of a DXF model (mdlWorkDxf_createReport); its image
  // stays empty. Null otherwise.
  std::shared_ptr<design_detail::DxfReport> dxfReport;
  ModelRef parent = 0;  // for reference attachments: the model they are attached to
  std::array<std::string, MAX_LEVEL + 1> levelNames;  // "" = no name
  dgn::ReferenceRecord attachment;             // for reference attachments: how they are attached
  Durability durability = Durability::Synced;  // how saves write it
  // A backup made as a further name of the file on disk (backupDesignFile): it shares the
  // file's bytes until the file is first saved; "" when there is none or it has its own bytes.
  std::string sharedBackup;
  // A backup asked for by registerPendingBackup and not made yet: it is made of the file as it
  // stands on disk right before the first change is written; "" when none is pending.
  std::string pendingBackup;
  // A work file that took a streamed copy (mdlWorkDgn_streamElements): the file being written,
  // the in-memory position the copy follows, and the copy's length on disk.
  StreamedFile stream;
  uint32_t streamedAt = 0;
  uint64_t streamedLength = 0;
};

// The design-file part of the host state.
struct DesignState {
  std::vector<std::unique_ptr<DesignFile>> files;  // every open file (active, work, references)
  ModelRef active = 0;                             // the active design file's model
  ModelRef nextHandle = 1;
  std::string lastError;  // message of the last failed operation
};
DesignState& designState();
// Closes every file, saving pending changes; returns ERROR when a save failed.
[[nodiscard]] int closeAllDesignFiles();
// Drops every file without saving (tests).
void resetDesignState();
// The open file a model reference belongs to, or null.
DesignFile* designFileOf(ModelRef model);
// Message of the last failed design-file operation ("" when none).
const std::string& lastDesignError();

// ---- Files and models -----------------------------------------------------------------------
ModelRef mdlModelRef_getActive();
// 0 when path is a readable design file (*is3d set), else ERROR.
[[nodiscard]] int mdlFile_checkDesignFile(const std::string& path, bool* is3d);
bool mdlFile_validDesignFile(const std::string& path);
// True when path names a DXF or DWG drawing (by its extension; under a name other than .dgn,
// such as a drawing's design report, by what the file begins with): such files are read as
// DXF, and why one is refused (binary DXF, DWG, malformed) is lastDesignError() after the check.
bool isDxfDrawingName(const std::string& path);
// 0 on success with *attributes bit 0 = read-only; ERROR when the file does not exist.
[[nodiscard]] int mdlFile_getFileAttributes(const std::string& path, uint32_t* attributes);
// Makes path the active design file: saves the pending changes of the previous active file
// first (a failed save fails the switch and keeps the previous file active), then opens path.
[[nodiscard]] int mdlSystem_newDesignFile(const std::string& path);
// Saves the active design file's pending changes.
[[nodiscard]] int mdlSystem_saveDesignFile();
// The model named modelName of the file at path (opened when needed). V7 files have one
// model, "Default"; a DXF drawing has "Model" (model space, also reached as "Default") and a
// model per paper-space layout, by the layout's name. Any other name fails.
[[nodiscard]] int mdlModelRef_createWorkingByName(ModelRef* out, const std::string& path,
                                                  const std::string& modelName);
// Makes model's file the active design file (saving the previous one) and model active.
[[nodiscard]] int mdlModelRef_activateAndDisplay(ModelRef model);
// Saves and closes a file opened by mdlModelRef_createWorkingByName that is not active.
[[nodiscard]] int mdlModelRef_freeWorking(ModelRef model);
// Model facts: file name, model name, 3D flag, units.
[[nodiscard]] int mdlModelRef_getFileName(ModelRef model, std::string* path);
[[nodiscard]] int mdlModelRef_getModelName(ModelRef model, std::string* name);
bool mdlModelRef_is3D(ModelRef model);
// Units of resolution per sub-unit and sub-units per master unit of the model's file.
[[nodiscard]] int mdlModelRef_getUnits(ModelRef model, dgn::TcbRecord* tcb);
// Copies a file (through a temporary file in the target folder). ERROR when the target is
// read-only or the copy fails.
[[nodiscard]] int mdlFile_copy(const std::string& dest, const std::string& source);
// Makes backupPath an exact copy of model's file as it stands on disk, durable when this
// returns. Where the file system allows, the backup is a further name of the file, so nothing
// is copied: every save writes a new file under the drawing's name and leaves the backup's
// bytes alone, and a file that is closed without having been saved gives its backup bytes of
// its own then (so that a program writing into the drawing later cannot change it). Otherwise
// the bytes are copied. ERROR when no backup could be made; a read-only backup is never
// replaced.
[[nodiscard]] int backupDesignFile(const std::string& backupPath, ModelRef model);
// Asks for the backup of model's file at backupPath (as backupDesignFile makes it) to be made
// only when a change of the file is about to be written: the first save makes it, of the file
// as it still stands on disk, and writes nothing when it cannot be made (the save fails). A
// file closed without a change leaves backupPath alone. ERROR for an unknown model or a
// backupPath that names the file itself.
[[nodiscard]] int registerPendingBackup(const std::string& backupPath, ModelRef model);
// Writes a new design file at path from seed: the seed's header elements (up to the first
// graphic element) and no graphic elements. ERROR when path exists and is read-only.
// With Replace::Never an existing file is kept and the call fails (the file is made
// exclusively, also against another process making it at the same time).
[[nodiscard]] int createDesignFileFromSeed(const std::string& path, ModelRef seed,
                                           Replace replace = Replace::Always);
// Writes a new empty design file with GDAL-compatible header elements (2D or 3D).
[[nodiscard]] int createDesignFile(const std::string& path, bool is3d,
                                   Replace replace = Replace::Always);

// ---- Work files -----------------------------------------------------------------------------
// Creates a work file for path from seed (the seed's header elements when is3d follows the
// seed's dimension; a different dimension uses a built-in header). The new file is written when
// first saved or closed and then replaces a file already at path (which stays as it was until
// then, and also when that write fails). ERROR, with path left alone, when path is read-only or
// not a regular file, or no file can be created in its folder.
[[nodiscard]] int mdlWorkDgn_createFile(ModelRef* out, const std::string& path, ModelRef seed,
                                        bool is3d);
[[nodiscard]] int mdlWorkDgn_openFile(ModelRef* out, const std::string& path, bool readOnly);
// How later saves of the work file write it (synced by default).
[[nodiscard]] int mdlWorkDgn_setDurability(ModelRef workFile, Durability durability);
[[nodiscard]] int mdlWorkDgn_saveChanges(ModelRef workFile);
// Saves pending changes and closes the work file.
[[nodiscard]] int mdlWorkDgn_closeFile(ModelRef workFile);
// Closes the work file without saving: changes since its last save are dropped, and a file
// created by mdlWorkDgn_createFile and never saved leaves nothing of its own on disk (an older
// file under its name stays as it was).
[[nodiscard]] int mdlWorkDgn_discardFile(ModelRef workFile);

// ---- DXF design reports ---------------------------------------------------------------------
// True when model is a model (model space or a layout) of a DXF drawing.
bool mdlModelRef_isDxf(ModelRef model);
// How a DXF design report shows an entity: the layer it moves to ("" keeps its own) and the
// colour, weight and style of `change` (its level is not used).
struct DrawingLook {
  std::string layer;
  SymbologyChange change;
};
// Creates a work file for the design report of source (a DXF model) at path: a DXF file of the
// drawing's own version, written when the work file is closed (mdlWorkDgn_closeFile; discarded,
// it leaves nothing), that holds the drawing as read with every entity of source's layout shown
// in `single` and the entities marked since in their marks' looks; the rest of the drawing
// keeps its bytes. A layer a look names that the drawing lacks is added to its layer table (made
// after layer 0, not frozen or locked); a linetype the drawing lacks is not set, nor is a
// lineweight in an R12 drawing. Refusals as for mdlWorkDgn_createFile, and ERROR when source is
// not a DXF model.
[[nodiscard]] int mdlWorkDxf_createReport(ModelRef* out, const std::string& path, ModelRef source,
                                          const DrawingLook& single);
// Shows the entity at filePos of model in `look` in the report. SUCCESS, changing nothing, for
// an element of another drawing or layout; ERROR for an unknown report.
[[nodiscard]] int mdlWorkDxf_markElement(ModelRef report, ModelRef model, uint32_t filePos,
                                         const DrawingLook& look);

// ---- Scanning -------------------------------------------------------------------------------
struct ScanCriteria {
  ModelRef model = 0;
  bool drawnOnly = false;          // only graphic element types (mdlScan_setDrawnElements)
  bool includeComponents = false;  // also return the components of complex elements
  bool includeDeleted = false;
  size_t nextTopLevel = 0;  // scan cursor (top-level element index)
  size_t nextSlot = 0;      // scan cursor with includeComponents
};
void mdlScan_initialize(ScanCriteria* sc, ModelRef model);
void mdlScan_setDrawnElements(ScanCriteria* sc, bool drawnOnly);
// Fills up to capacity file positions in file order. Returns SUCCESS while more may follow;
// END_OF_DGN when the scan reached the end (the last batch, possibly empty, is in *count);
// ERROR for an unknown model.
[[nodiscard]] int mdlScan_file(uint32_t* positions, int* count, int capacity, ScanCriteria* sc);

// ---- Changes --------------------------------------------------------------------------------
// Marks the element at dscr.filePosition of model (and its components) deleted.
[[nodiscard]] int mdlElmdscr_undoableDelete(const MSElementDescr& dscr, ModelRef model);
[[nodiscard]] int mdlElement_undoableDelete(uint32_t filePos, ModelRef model);
// True when the last deletion asked for the element at filePos of model was refused because
// the drawing cannot lose it (a DXF entity something points at that no fix-up covers); *why
// gets the reason.
bool elementDeletionRefusal(std::string* why, uint32_t filePos, ModelRef model);
// A run that may delete elements of the model says so before it compares: what deciding a
// deletion needs of the whole drawing (a DXF drawing's pointers) is then gathered on a thread
// of its own meanwhile.
void prepareDeletions(ModelRef model);
// Appends dscr (header and components) to model; returns the new file position (also stored
// in dscr->filePosition), 0 when it cannot be added (read-only file, unknown model, dimension
// mismatch, malformed element). A DXF drawing takes back only an entity deleted from it: the
// entity comes back at its own position.
uint32_t mdlElmdscr_add(MSElementDescr* dscr, ModelRef model);
// Appends one element run; returns its file position, 0 = not added.
uint32_t mdlElement_add(dgn::Bytes element, ModelRef model);
// Replaces the element at oldPos by dscr; returns the new file position, 0 on failure.
uint32_t mdlElmdscr_rewrite(MSElementDescr* dscr, uint32_t oldPos, ModelRef model);
// Copies dscr into the (work) file of dest as a new element: its deleted flags are cleared and
// a component becomes an element of its own. Returns the new file position, 0 on failure.
uint32_t mdlElmdscr_copy(const MSElementDescr& dscr, ModelRef dest);
// Adds to dest (a file made from source as seed, which holds source's header elements) a copy
// of every element of source that follows its header block and belongs to the drawing:
// deleted elements, design file headers, reference attachments, colour tables and level-name
// elements are left out. Each graphic element gets `change` (with its components) on the way.
// ERROR when dest cannot take them (read-only, other dimension); dest may then hold a part.
[[nodiscard]] int mdlModelRef_copyElements(ModelRef dest, ModelRef source,
                                           const SymbologyChange& change);
// The same copy for a work file that is written when it is closed, without holding the copy
// in memory: the work file's elements and the copy are written to its temporary file now, and
// only what is added afterwards is kept in memory, to follow the copy when the file is closed.
// Reads, scans and the file positions of the open work file see its own elements only. Once per
// work file; a work file with a streamed copy is saved only by closing it (saveChanges is
// refused) and leaves nothing when it is discarded. Refusals as for mdlModelRef_copyElements,
// and ERROR when the temporary file cannot be written (nothing is then streamed).
[[nodiscard]] int mdlWorkDgn_streamElements(ModelRef workFile, ModelRef source,
                                            const SymbologyChange& change);
// Copies the shared cell definitions of source that are not deleted into dest, in file order,
// so that shared cell instances copied from source resolve there.
[[nodiscard]] int mdlSharedCell_copyDefinitions(ModelRef dest, ModelRef source);

// ---- Colours --------------------------------------------------------------------------------
// Makes the model show the host's default colours: its colour tables are deleted.
[[nodiscard]] int mdlColor_attachDefaultColorTable(ModelRef model);

// ---- Levels ---------------------------------------------------------------------------------
// Level names are kept in the file in an application element (see design.cpp).
// ERROR ("no name") when the level has none.
[[nodiscard]] int mdlLevel_getName(std::string* name, ModelRef model, int level);
// Level number of a named level; ERROR when no level has that name.
[[nodiscard]] int mdlLevel_getIdFromName(int* level, ModelRef model, const std::string& name);
// Gives the first unnamed level (1-63) the name; ERROR when the table is full or the name is
// empty or taken.
[[nodiscard]] int mdlLevel_create(int* level, ModelRef model, const std::string& name);
// Names level (1-63); ERROR when the name is empty, too long or taken by another level.
[[nodiscard]] int mdlLevel_setName(ModelRef model, int level, const std::string& name);
// Writes the level names into the file (replacing the previous name element).
[[nodiscard]] int mdlLevelTable_rewrite(ModelRef model);

// ---- Reference attachments ------------------------------------------------------------------
// The attachments of model (type 5 level 9 and type 66 level 5 elements), in file order.
std::vector<dgn::ReferenceRecord> referenceAttachments(ModelRef model);
// Iterates the models of the attachments whose files exist (opened read-only on first use),
// depth first up to maxDepth levels (-1 = unlimited).
struct ModelRefIterator {
  std::vector<ModelRef> models;
  size_t next = 0;
};
[[nodiscard]] int mdlModelRefIterator_create(ModelRefIterator* it, ModelRef root, int kind,
                                             int maxDepth);
ModelRef mdlModelRefIterator_getNext(ModelRefIterator* it);
void mdlModelRefIterator_free(ModelRefIterator* it);
// Boolean parameter of an attachment: 1 = displayed, 3 = locatable (not locate-locked).
// ERROR for other parameters or a model that is not an attachment.
[[nodiscard]] int mdlRefFile_getBooleanParameters(bool* value, int parameter, ModelRef ref);
bool mdlModelRef_isReference(ModelRef model);

}  // namespace kelvara
