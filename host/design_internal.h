// The design-file layer's own helpers, shared by its source files (design.cpp: files, work
// files, scanning and references; design_edit.cpp: changes, copies, colours and levels). Not
// for other modules: they use host/design.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/design.h"

namespace kelvara::design_detail {

inline constexpr int kSharedCellDefinitionType = 34;

// Records message as the last design-file error; returns ERROR.
int fail(const std::string& message);
// The open file of model when it may be written (not read-only, not a reference attachment);
// else null, with the error recorded.
DesignFile* writableFile(ModelRef model);
// Gives d and its components their file positions from pos on, in model.
void setPositions(MSElementDescr& d, uint32_t pos, ModelRef model, bool component);
bool isReferenceAttachment(const uint8_t* p);
bool isColourTable(const uint8_t* p);
// Non-graphic elements after the header block that a copy of the drawing carries (shared cell
// definitions, tag sets, application data): not reference attachments, colour tables, design
// file headers or the file's own level-name elements.
bool belongsToDrawing(const uint8_t* p, size_t size);

// Refuses (ERROR, recorded) a work file at path that would replace a read-only file or what is
// not a regular file, or whose folder takes no new file.
int checkWorkTarget(const std::string& path);

// ---- DXF drawings (design_dxf.cpp) ----------------------------------------------------------
// True when path names a DXF (or DWG) drawing: by its extension, or, for a name that is not
// a .dgn, by what the file begins with.
bool isDxfPath(const std::string& path);
// 0 when path is a readable ASCII DXF drawing (*is3d: whether its model is placed in 3D).
int checkDxf(const std::string& path, bool* is3d);
// Reads the DXF drawing at path into f (image, side records, path): the layout named
// modelName ("" or "Default" for model space). ERROR with the reason recorded.
int openDxf(DesignFile& f, const std::string& path, const std::string& modelName);
// Writes a DXF file's deletions through the patch writer (the backup rules as for DGN are the
// caller's). ERROR with the reason recorded.
int saveDxf(DesignFile& f);
// SUCCESS when the entity at filePos of a DXF model can be deleted (the deletions of the
// drawing's open models so far included); else ERROR with the reason recorded and kept for
// dxfDeletionRefusal. SUCCESS for a position that is no entity's. An ATTRIB's tag element goes
// only with its INSERT: SUCCESS once the INSERT's element is deleted, ERROR before.
int dxfCheckDeletion(DesignFile& f, uint32_t filePos);
// Starts the deletion gate's scan of the drawing on a thread of its own.
void dxfPrepareDeletions(DesignFile& f);
// Why the deletion of the entity at filePos was refused; null when it was not.
const std::string* dxfDeletionRefusal(const DesignFile& f, uint32_t filePos);
// Marks the tag elements of the INSERT at filePos deleted with it: its ATTRIBs go with it.
void dxfDeleteAttribs(DesignFile& f, uint32_t filePos);
// Takes back the deletion of the entity that `element` was read from (its ATTRIBs' tags with
// it): a DXF drawing gains no entities of its own, so an element added back is its entity
// undeleted. Returns its file position; 0 (recorded) when `element` is not an entity of f that
// was deleted.
uint32_t dxfRestore(DesignFile& f, const MSElementDescr& element);
// The name of f's model (its layout's name).
std::string dxfModelName(const DesignFile& f);
// Side facts of an element read from a DXF model; null / 0 when there is none.
const dxf::ElementSide* dxfSideOf(const MSElementDescr& el);
const std::string* dxfLineStyleOf(const MSElementDescr& el);
uint64_t dxfHandleOf(const MSElementDescr& el);
// Writes the design report of a DXF model (design_dxf_report.cpp). ERROR with the reason
// recorded.
int saveDxfReport(DesignFile& f);

}  // namespace kelvara::design_detail
