// The host's design files and models: open files, the active file, work files, saving, scanning
// and reference attachments. Changes to files are in design_edit.cpp.
#include "host/design.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/design_internal.h"
#include "host/dgn/build.h"

namespace kelvara {

namespace fs = std::filesystem;
using namespace design_detail;

namespace design_detail {

int fail(const std::string& message) {
  designState().lastError = message;
  return ERROR;
}

DesignFile* writableFile(ModelRef model) {
  DesignFile* f = designFileOf(model);
  if (!f) {
    fail("unknown model");
    return nullptr;
  }
  if (f->readOnly || f->parent != 0) {
    fail(f->path + ": file is read-only");
    return nullptr;
  }
  return f;
}

void setPositions(MSElementDescr& d, uint32_t pos, ModelRef model, bool component) {
  d.filePosition = pos;
  d.modelRef = model;
  d.isComponent = component;
  pos += static_cast<uint32_t>(d.bytes.size());
  for (MSElementDescr& c : d.components) {
    setPositions(c, pos, model, true);
    pos += static_cast<uint32_t>(elementRun(c).size());
  }
}

bool isReferenceAttachment(const uint8_t* p) {
  const int type = dgn::typeOf(p);
  const int level = dgn::levelOf(p);
  return (type == 5 && level == 9) || (type == 66 && level == 5);
}

bool isColourTable(const uint8_t* p) {
  return dgn::typeOf(p) == 5 && dgn::levelOf(p) == 1;
}

bool belongsToDrawing(const uint8_t* p, size_t size) {
  const int type = dgn::typeOf(p);
  if (isReferenceAttachment(p) || isColourTable(p)) return false;
  if (type == 8 || type == 9 || type == 10) return false;
  std::array<std::string, MAX_LEVEL + 1> names;
  return !dgn::readLevelNameElement(dgn::Bytes(p, size), names);
}

}  // namespace design_detail

namespace {

std::string canonicalPath(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
  return ec ? path : p.string();
}

bool samePath(const std::string& a, const std::string& b) {
  return a == b || canonicalPath(a) == canonicalPath(b);
}

// The name a model is looked for by: "" for the default model.
std::string modelKey(const DesignFile& f) {
  if (!f.dxf || f.dxf->layout == 0) return {};
  return dxfModelName(f);
}

// Open file of path (its model modelName, "" for the default one) that is not a reference
// attachment, or null.
DesignFile* findOpen(const std::string& path, const std::string& modelName = {}) {
  for (auto& f : designState().files)
    if (f->parent == 0 && samePath(f->path, path) && modelKey(*f) == modelName) return f.get();
  return nullptr;
}

void loadLevelNames(DesignFile& f) {
  const dgn::DesignImage& img = f.image;
  for (uint32_t slot : img.topLevel) {
    const dgn::Bytes e = dgn::slotBytes(img, slot);
    if (!dgn::isDeletedBit(e.data())) dgn::readLevelNameElement(e, f.levelNames);
  }
}

// Gives f (its image already in place) a model handle and adds it to the open files.
DesignFile* addOpenFile(std::unique_ptr<DesignFile> f, bool isWork, ModelRef parent) {
  f->isWorkFile = isWork;
  f->parent = parent;
  f->model = designState().nextHandle++;
  loadLevelNames(*f);
  designState().files.push_back(std::move(f));
  return designState().files.back().get();
}

DesignFile* openDesign(const std::string& path, bool isWork, bool readOnly, ModelRef parent,
                       const std::string& modelName = {}) {
  auto f = std::make_unique<DesignFile>();
  std::string error;
  if (isDxfPath(path)) {
    if (openDxf(*f, path, modelName) != SUCCESS) return nullptr;
    f->readOnly = readOnly || isReadOnlyPath(path);
    return addOpenFile(std::move(f), isWork, parent);
  }
  if (dgn::openImage(path, f->image, &error) != SUCCESS) {
    fail(error);
    return nullptr;
  }
  f->path = path;
  f->readOnly = readOnly || isReadOnlyPath(path);
  return addOpenFile(std::move(f), isWork, parent);
}

// Writes what a work file with a streamed copy holds in memory around the copy, and gives the
// file its name: its own elements (changed in place, perhaps, since they were streamed) before
// the copy, and what was added since after it.
int finishStream(DesignFile& f) {
  const dgn::DesignImage& img = f.image;
  const size_t tail = img.bytes.size() - f.streamedAt;
  if (f.stream.size + tail > dgn::MAX_FILE_BYTES) {
    abandonStreamedFile(f.stream);
    return fail(f.path + ": file too large for a design file");
  }
  std::string error;
  if (overwriteInStreamedFile(f.stream, 0, dgn::Bytes(img.bytes.data(), f.streamedAt), &error) !=
          SUCCESS ||
      appendToStreamedFile(f.stream, dgn::Bytes(img.bytes.data() + f.streamedAt, tail), &error) !=
          SUCCESS ||
      finishStreamedFile(f.stream, f.durability, &error) != SUCCESS)
    return fail(error);
  f.image.dirty = false;
  return SUCCESS;
}

int saveFile(DesignFile& f) {
  if (f.dxfReport) return saveDxfReport(f);
  if (f.stream.fd >= 0) return finishStream(f);
  if (!f.image.dirty) return SUCCESS;
  if (f.readOnly || f.parent != 0) return fail(f.path + ": file is read-only, not written");
  if (!f.pendingBackup.empty()) {
    if (backupDesignFile(f.pendingBackup, f.model) != SUCCESS)
      return fail(f.path + ": not written, as its backup " + f.pendingBackup +
                  " could not be made (" + lastDesignError() + ")");
    f.pendingBackup.clear();
  }
  std::string error;
  if (f.dxf) {
    if (saveDxf(f) != SUCCESS) return ERROR;
  } else if (dgn::saveImage(f.image, &error, std::string(), f.durability) != SUCCESS) {
    return fail(error);
  }
  // A new file now stands under the name: a backup that shared the old one keeps it alone.
  f.sharedBackup.clear();
  return SUCCESS;
}

// A backup that still shares the file's bytes gets bytes of its own.
int separateBackup(DesignFile& f) {
  if (f.sharedBackup.empty()) return SUCCESS;
  const std::string backup = f.sharedBackup;
  f.sharedBackup.clear();
  if (mdlFile_copy(backup, f.path) != SUCCESS)
    return fail(backup + ": the backup still shares its bytes with " + f.path + " (" +
                lastDesignError() + ")");
  return SUCCESS;
}

// Saves f (or gives its backup bytes of its own) before it is closed.
int releaseFile(DesignFile& f) {
  int rc = saveFile(f);
  if (separateBackup(f) != SUCCESS) rc = ERROR;
  return rc;
}

// Removes f (and the references attached to it) from the open files without saving; passes rc.
int dropFile(DesignFile* f, int rc) {
  auto& files = designState().files;
  const ModelRef model = f->model;
  std::erase_if(files, [&](const std::unique_ptr<DesignFile>& p) {
    return p.get() == f || p->parent == model;
  });
  if (designState().active == model) designState().active = 0;
  return rc;
}

// Saves and removes f from the open files.
int closeFile(DesignFile* f) {
  const int rc = releaseFile(*f);
  return dropFile(f, rc);
}

bool readFile(const std::string& path, std::vector<uint8_t>* bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  struct stat st {};
  bool ok = ::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode);
  if (ok) {
    bytes->resize(static_cast<size_t>(st.st_size));
    ok = bytes->empty() || std::fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
    // A file that grew meanwhile: take the rest too.
    for (char extra[4096]; ok;) {
      const size_t n = std::fread(extra, 1, sizeof extra, f);
      if (n == 0) break;
      bytes->insert(bytes->end(), extra, extra + n);
    }
    ok = ok && std::ferror(f) == 0;
  }
  std::fclose(f);
  return ok;
}

// The setup elements of seed (every element before the first graphic one, without deleted
// elements and reference attachments), followed by the end-of-design word.
std::vector<uint8_t> seedHeader(const dgn::DesignImage& img) {
  std::vector<uint8_t> out;
  for (uint32_t slot : img.topLevel) {
    const dgn::ElementSlot& s = img.slots[slot];
    const uint8_t* p = img.bytes.data() + s.offset;
    const int type = dgn::typeOf(p);
    if (dgn::isGraphicType(type)) break;
    if (dgn::isDeletedBit(p)) continue;
    if (isReferenceAttachment(p)) continue;
    out.insert(out.end(), p, img.bytes.data() + s.extentEnd);
  }
  out.push_back(0xFF);
  out.push_back(0xFF);
  return out;
}

}  // namespace

DesignState& designState() {
  static DesignState state;
  return state;
}

int closeAllDesignFiles() {
  int rc = SUCCESS;
  auto& files = designState().files;
  for (auto& f : files)
    if (f->parent == 0 && releaseFile(*f) != SUCCESS) rc = ERROR;
  files.clear();
  designState().active = 0;
  return rc;
}

void resetDesignState() {
  designState().files.clear();
  designState().active = 0;
  designState().lastError.clear();
}

DesignFile* designFileOf(ModelRef model) {
  if (model == 0) return nullptr;
  for (auto& f : designState().files)
    if (f->model == model) return f.get();
  return nullptr;
}

const std::string& lastDesignError() {
  return designState().lastError;
}

ModelRef mdlModelRef_getActive() {
  return designState().active;
}

int mdlFile_checkDesignFile(const std::string& path, bool* is3d) {
  if (isDxfPath(path)) return checkDxf(path, is3d);
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail(path + ": cannot open");
  std::vector<uint8_t> head(dgn::TCB_BYTES);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  if (!dgn::looksLikeDesignFile(head)) return fail(path + ": not a design file");
  dgn::TcbRecord tcb;
  if (!dgn::decodeTcb(head, tcb)) return fail(path + ": design file header is truncated");
  if (is3d) *is3d = tcb.is3d;
  return SUCCESS;
}

bool mdlFile_validDesignFile(const std::string& path) {
  return mdlFile_checkDesignFile(path, nullptr) == SUCCESS;
}

int mdlFile_getFileAttributes(const std::string& path, uint32_t* attributes) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return fail(path + ": no such file");
  if (attributes) *attributes = isReadOnlyPath(path) ? FILE_ATTR_READONLY : 0;
  return SUCCESS;
}

int mdlSystem_newDesignFile(const std::string& path) {
  DesignState& st = designState();
  DesignFile* current = designFileOf(st.active);
  if (current && saveFile(*current) != SUCCESS) return ERROR;
  if (current && samePath(current->path, path)) return SUCCESS;
  DesignFile* next = findOpen(path);
  if (!next) next = openDesign(path, false, false, 0);
  if (!next) return ERROR;
  if (current && !current->isWorkFile) (void)closeFile(current);  // saved above
  st.active = next->model;
  return SUCCESS;
}

int mdlSystem_saveDesignFile() {
  DesignFile* f = designFileOf(designState().active);
  return f ? saveFile(*f) : fail("no active design file");
}

int mdlModelRef_createWorkingByName(ModelRef* out, const std::string& path,
                                    const std::string& modelName) {
  if (!out) return ERROR;
  *out = 0;
  std::string key;  // "" for the default model
  if (isDxfPath(path)) {
    if (modelName != DEFAULT_MODEL_NAME && strcasecmp(modelName.c_str(), "Model") != 0)
      key = modelName;
  } else if (modelName != DEFAULT_MODEL_NAME) {
    return fail(path + ": no model named " + modelName);
  }
  DesignFile* f = findOpen(path, key);
  if (!f) f = openDesign(path, false, false, 0, key);
  if (!f) return ERROR;
  *out = f->model;
  return SUCCESS;
}

int mdlModelRef_activateAndDisplay(ModelRef model) {
  DesignState& st = designState();
  DesignFile* f = designFileOf(model);
  if (!f || f->parent != 0) return fail("unknown model");
  if (st.active == model) return SUCCESS;
  DesignFile* current = designFileOf(st.active);
  if (current && saveFile(*current) != SUCCESS) return ERROR;
  if (current && !current->isWorkFile) (void)closeFile(current);
  st.active = model;
  return SUCCESS;
}

int mdlModelRef_freeWorking(ModelRef model) {
  DesignFile* f = designFileOf(model);
  if (!f || f->parent != 0 || f->isWorkFile) return fail("unknown model");
  if (designState().active == model) return SUCCESS;
  return closeFile(f);
}

int mdlModelRef_getFileName(ModelRef model, std::string* path) {
  DesignFile* f = designFileOf(model);
  if (!f) return fail("unknown model");
  if (path) *path = f->path;
  return SUCCESS;
}

int mdlModelRef_getModelName(ModelRef model, std::string* name) {
  const DesignFile* f = designFileOf(model);
  if (!f) return fail("unknown model");
  if (name) *name = f->dxf ? dxfModelName(*f) : DEFAULT_MODEL_NAME;
  return SUCCESS;
}

bool mdlModelRef_is3D(ModelRef model) {
  DesignFile* f = designFileOf(model);
  return f && f->image.is3d;
}

int mdlModelRef_getUnits(ModelRef model, dgn::TcbRecord* tcb) {
  DesignFile* f = designFileOf(model);
  if (!f) return fail("unknown model");
  if (tcb) *tcb = f->image.tcb;
  return SUCCESS;
}

int mdlFile_copy(const std::string& dest, const std::string& source) {
  std::vector<uint8_t> bytes;
  if (!readFile(source, &bytes)) return fail(source + ": cannot read");
  std::string error;
  if (writeFileAtomically(dest, bytes, &error) != SUCCESS) return fail(error);
  return SUCCESS;
}

int backupDesignFile(const std::string& backupPath, ModelRef model) {
  DesignFile* f = designFileOf(model);
  if (!f || f->parent != 0) return fail("unknown model");
  if (samePath(backupPath, f->path)) return fail(backupPath + ": the backup would be the file");
  std::string error;
  if (linkFileAtomically(backupPath, f->path, &error) == SUCCESS) {
    f->sharedBackup = backupPath;
    return SUCCESS;
  }
  if (isReadOnlyPath(backupPath)) return fail(error);
  f->sharedBackup.clear();
  return mdlFile_copy(backupPath, f->path);
}

int registerPendingBackup(const std::string& backupPath, ModelRef model) {
  DesignFile* f = designFileOf(model);
  if (!f || f->parent != 0) return fail("unknown model");
  if (samePath(backupPath, f->path)) return fail(backupPath + ": the backup would be the file");
  f->pendingBackup = backupPath;
  return SUCCESS;
}

int createDesignFileFromSeed(const std::string& path, ModelRef seed, Replace replace) {
  DesignFile* s = designFileOf(seed);
  if (!s) return fail("unknown seed model");
  std::string error;
  if (writeFileAtomically(path, seedHeader(s->image), &error, Durability::Synced, replace) !=
      SUCCESS)
    return fail(error);
  return SUCCESS;
}

int createDesignFile(const std::string& path, bool is3d, Replace replace) {
  std::string error;
  if (writeFileAtomically(path, dgn::makeEmptyDesign(is3d, {}), &error, Durability::Synced,
                          replace) != SUCCESS)
    return fail(error);
  return SUCCESS;
}

int design_detail::checkWorkTarget(const std::string& path) {
  const std::string file = writeTargetOf(path);
  struct stat st {};
  const bool exists = ::stat(file.c_str(), &st) == 0;
  if (exists && (!S_ISREG(st.st_mode) || isReadOnlyPath(file)))
    return fail(path + ": not replaced (read-only or not a regular file)");
  // The folder must take a new file: try one, so that a failure shows now, not at the save.
  const fs::path target(file);
  std::string probe =
      ((target.has_parent_path() ? target.parent_path() : fs::path(".")) / ".kvtmp.XXXXXX")
          .string();
  const FileSystem& sys = fileSystem();
  const int fd = sys.mkstemp(probe.data());
  if (fd < 0) return fail(path + ": cannot create a file there: " + std::strerror(errno));
  (void)sys.close(fd);
  (void)sys.unlink(probe.c_str());
  return SUCCESS;
}

int mdlWorkDgn_createFile(ModelRef* out, const std::string& path, ModelRef seed, bool is3d) {
  if (!out) return ERROR;
  *out = 0;
  DesignFile* s = designFileOf(seed);
  std::vector<uint8_t> bytes;
  if (s && s->image.is3d == is3d) {
    bytes = seedHeader(s->image);
  } else {
    bytes = dgn::makeEmptyDesign(is3d, s ? s->image.tcb : dgn::TcbRecord{});
  }
  if (checkWorkTarget(path) != SUCCESS) return ERROR;
  auto f = std::make_unique<DesignFile>();
  std::string error;
  if (dgn::parseImage(std::move(bytes), path, f->image, &error) != SUCCESS) return fail(error);
  f->path = path;
  f->image.dirty = true;  // written at its first save
  ++f->image.edits;
  *out = addOpenFile(std::move(f), true, 0)->model;
  return SUCCESS;
}

int mdlWorkDgn_openFile(ModelRef* out, const std::string& path, bool readOnly) {
  if (!out) return ERROR;
  *out = 0;
  DesignFile* f = openDesign(path, true, readOnly, 0);
  if (!f) return ERROR;
  *out = f->model;
  return SUCCESS;
}

int mdlWorkDgn_setDurability(ModelRef workFile, Durability durability) {
  DesignFile* f = designFileOf(workFile);
  if (!f || !f->isWorkFile) return fail("unknown work file");
  f->durability = durability;
  return SUCCESS;
}

int mdlWorkDgn_saveChanges(ModelRef workFile) {
  DesignFile* f = designFileOf(workFile);
  if (!f) return fail("unknown work file");
  if (f->stream.fd >= 0) return fail(f->path + ": a streamed copy is written when it is closed");
  return saveFile(*f);
}

int mdlWorkDgn_closeFile(ModelRef workFile) {
  DesignFile* f = designFileOf(workFile);
  if (!f || !f->isWorkFile) return fail("unknown work file");
  return closeFile(f);
}

int mdlWorkDgn_discardFile(ModelRef workFile) {
  DesignFile* f = designFileOf(workFile);
  if (!f || !f->isWorkFile) return fail("unknown work file");
  const int rc = separateBackup(*f);
  return dropFile(f, rc);
}

void mdlScan_initialize(ScanCriteria* sc, ModelRef model) {
  *sc = ScanCriteria{};
  sc->model = model;
}

void mdlScan_setDrawnElements(ScanCriteria* sc, bool drawnOnly) {
  sc->drawnOnly = drawnOnly;
}

int mdlScan_file(uint32_t* positions, int* count, int capacity, ScanCriteria* sc) {
  *count = 0;
  DesignFile* f = designFileOf(sc->model);
  if (!f) return fail("unknown model");
  const dgn::DesignImage& img = f->image;
  const uint8_t* data = img.bytes.data();
  auto admit = [&](uint32_t offset) {
    const uint8_t* p = data + offset;
    if (!sc->includeDeleted && dgn::isDeletedBit(p)) return false;
    return !sc->drawnOnly || dgn::isGraphicType(dgn::typeOf(p));
  };
  if (sc->includeComponents) {
    while (*count < capacity && sc->nextSlot < img.slots.size()) {
      const uint32_t offset = img.slots[sc->nextSlot++].offset;
      if (admit(offset)) positions[(*count)++] = offset;
    }
    return sc->nextSlot < img.slots.size() ? SUCCESS : END_OF_DGN;
  }
  while (*count < capacity && sc->nextTopLevel < img.topLevel.size()) {
    const uint32_t offset = img.slots[img.topLevel[sc->nextTopLevel++]].offset;
    if (admit(offset)) positions[(*count)++] = offset;
  }
  return sc->nextTopLevel < img.topLevel.size() ? SUCCESS : END_OF_DGN;
}

std::vector<dgn::ReferenceRecord> referenceAttachments(ModelRef model) {
  std::vector<dgn::ReferenceRecord> out;
  DesignFile* f = designFileOf(model);
  if (!f) return out;
  const dgn::DesignImage& img = f->image;
  for (uint32_t slot : img.topLevel) {
    const dgn::Bytes e = dgn::slotBytes(img, slot);
    const int type = dgn::typeOf(e.data());
    const int level = dgn::levelOf(e.data());
    if (dgn::isDeletedBit(e.data())) continue;
    if (!((type == 5 && level == 9) || (type == 66 && level == 5))) continue;
    dgn::ReferenceRecord r;
    if (dgn::decodeReference(e, r) && !r.fileSpec.empty()) out.push_back(std::move(r));
  }
  return out;
}

namespace {

// Where an attachment's file lies: its spec as written (relative to the master's folder),
// else its file name (after any '/' or '\' of a foreign path) in the master's folder.
std::string resolveAttachment(const std::string& master, const std::string& spec) {
  const fs::path dir = fs::path(master).parent_path();
  std::error_code ec;
  const fs::path direct = fs::path(spec).is_absolute() ? fs::path(spec) : dir / spec;
  if (fs::is_regular_file(direct, ec)) return direct.string();
  const size_t cut = spec.find_last_of("/\\:");
  const fs::path byName = dir / (cut == std::string::npos ? spec : spec.substr(cut + 1));
  if (fs::is_regular_file(byName, ec)) return byName.string();
  return {};
}

void collectReferences(ModelRef root, int depthLeft, std::vector<std::string>& chain,
                       std::vector<ModelRef>& out) {
  DesignFile* master = designFileOf(root);
  if (!master || depthLeft == 0) return;
  const std::string masterPath = master->path;
  for (const dgn::ReferenceRecord& r : referenceAttachments(root)) {
    const std::string path = resolveAttachment(masterPath, r.fileSpec);
    if (path.empty()) continue;
    const std::string canon = canonicalPath(path);
    if (std::find(chain.begin(), chain.end(), canon) != chain.end()) continue;  // a cycle
    DesignFile* ref = nullptr;
    for (auto& f : designState().files)
      if (f->parent == root && samePath(f->path, path) && f->attachment.fileSpec == r.fileSpec &&
          f->attachment.fileNumber == r.fileNumber)
        ref = f.get();
    if (!ref) ref = openDesign(path, false, true, root);
    if (!ref) continue;
    ref->attachment = r;
    out.push_back(ref->model);
    chain.push_back(canon);
    collectReferences(ref->model, depthLeft < 0 ? -1 : depthLeft - 1, chain, out);
    chain.pop_back();
  }
}

}  // namespace

int mdlModelRefIterator_create(ModelRefIterator* it, ModelRef root, int /*kind*/, int maxDepth) {
  if (!it) return ERROR;
  *it = ModelRefIterator{};
  DesignFile* f = designFileOf(root);
  if (!f) return fail("unknown model");
  std::vector<std::string> chain{canonicalPath(f->path)};
  collectReferences(root, maxDepth, chain, it->models);
  return SUCCESS;
}

ModelRef mdlModelRefIterator_getNext(ModelRefIterator* it) {
  return it && it->next < it->models.size() ? it->models[it->next++] : 0;
}

void mdlModelRefIterator_free(ModelRefIterator* it) {
  if (it) *it = ModelRefIterator{};
}

int mdlRefFile_getBooleanParameters(bool* value, int parameter, ModelRef ref) {
  DesignFile* f = designFileOf(ref);
  if (!f || f->parent == 0 || !value) return ERROR;
  if (parameter == 1) {
    *value = (f->attachment.displayOptions & 0x0002) != 0;
    return SUCCESS;
  }
  if (parameter == 3) {
    *value = (f->attachment.builderOptions & 0x0040) == 0;
    return SUCCESS;
  }
  return ERROR;
}

bool mdlModelRef_isReference(ModelRef model) {
  DesignFile* f = designFileOf(model);
  return f && f->parent != 0;
}

}  // namespace kelvara
