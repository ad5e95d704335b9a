// The host's design files and models: open files, the active file, work files and saving.
#include "host/design.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/dgn/build.h"

namespace kelvara {

namespace fs = std::filesystem;

namespace {

int fail(const std::string& message) {
  designState().lastError = message;
  return ERROR;
}

std::string canonicalPath(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
  return ec ? path : p.string();
}

bool samePath(const std::string& a, const std::string& b) {
  return a == b || canonicalPath(a) == canonicalPath(b);
}

// Open file of path that is not a reference attachment, or null.
DesignFile* findOpen(const std::string& path) {
  for (auto& f : designState().files)
    if (f->parent == 0 && samePath(f->path, path)) return f.get();
  return nullptr;
}

void loadLevelNames(DesignFile& f) {
  const dgn::DesignImage& img = f.image;
  for (uint32_t slot : img.topLevel) {
    const dgn::Bytes e = dgn::slotBytes(img, slot);
    if (!dgn::isDeletedBit(e.data())) dgn::readLevelNameElement(e, f.levelNames);
  }
}

DesignFile* openDesign(const std::string& path, bool isWork, bool readOnly, ModelRef parent) {
  auto f = std::make_unique<DesignFile>();
  std::string error;
  if (dgn::openImage(path, f->image, &error) != SUCCESS) {
    fail(error);
    return nullptr;
  }
  f->path = path;
  f->readOnly = readOnly || dgn::isReadOnlyPath(path);
  f->isWorkFile = isWork;
  f->parent = parent;
  f->model = designState().nextHandle++;
  loadLevelNames(*f);
  designState().files.push_back(std::move(f));
  return designState().files.back().get();
}

int saveFile(DesignFile& f) {
  if (!f.image.dirty) return SUCCESS;
  if (f.readOnly || f.parent != 0) return fail(f.path + ": file is read-only, not written");
  std::string error;
  if (dgn::saveImage(f.image, &error) != SUCCESS) return fail(error);
  return SUCCESS;
}

// Saves and removes f from the open files.
int closeFile(DesignFile* f) {
  const int rc = saveFile(*f);
  auto& files = designState().files;
  // References attached to f go with it.
  const ModelRef model = f->model;
  std::erase_if(files, [&](const std::unique_ptr<DesignFile>& p) {
    return p.get() == f || p->parent == model;
  });
  if (designState().active == model) designState().active = 0;
  return rc;
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

bool readFile(const std::string& path, std::vector<uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
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
    if ((type == 5 && dgn::levelOf(p) == 9) || (type == 66 && dgn::levelOf(p) == 5)) continue;
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
    if (f->parent == 0 && saveFile(*f) != SUCCESS) rc = ERROR;
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
  if (attributes) *attributes = dgn::isReadOnlyPath(path) ? FILE_ATTR_READONLY : 0;
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
  if (modelName != DEFAULT_MODEL_NAME) return fail(path + ": no model named " + modelName);
  DesignFile* f = findOpen(path);
  if (!f) f = openDesign(path, false, false, 0);
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
  if (!designFileOf(model)) return fail("unknown model");
  if (name) *name = DEFAULT_MODEL_NAME;
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
  if (dgn::writeFileAtomically(dest, bytes, &error) != SUCCESS) return fail(error);
  return SUCCESS;
}

int createDesignFileFromSeed(const std::string& path, ModelRef seed) {
  DesignFile* s = designFileOf(seed);
  if (!s) return fail("unknown seed model");
  std::string error;
  if (dgn::writeFileAtomically(path, seedHeader(s->image), &error) != SUCCESS) return fail(error);
  return SUCCESS;
}

int createDesignFile(const std::string& path, bool is3d) {
  std::string error;
  if (dgn::writeFileAtomically(path, dgn::makeEmptyDesign(is3d, {}), &error) != SUCCESS)
    return fail(error);
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
  std::string error;
  if (dgn::writeFileAtomically(path, bytes, &error) != SUCCESS) return fail(error);
  return mdlWorkDgn_openFile(out, path, false);
}

int mdlWorkDgn_openFile(ModelRef* out, const std::string& path, bool readOnly) {
  if (!out) return ERROR;
  *out = 0;
  DesignFile* f = openDesign(path, true, readOnly, 0);
  if (!f) return ERROR;
  *out = f->model;
  return SUCCESS;
}

int mdlWorkDgn_saveChanges(ModelRef workFile) {
  DesignFile* f = designFileOf(workFile);
  return f ? saveFile(*f) : fail("unknown work file");
}

int mdlWorkDgn_closeFile(ModelRef workFile) {
  DesignFile* f = designFileOf(workFile);
  if (!f || !f->isWorkFile) return fail("unknown work file");
  return closeFile(f);
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

int mdlElmdscr_undoableDelete(const MSElementDescr& dscr, ModelRef model) {
  return mdlElement_undoableDelete(dscr.filePosition, model);
}

int mdlElement_undoableDelete(uint32_t filePos, ModelRef model) {
  DesignFile* f = writableFile(model);
  if (!f) return ERROR;
  if (dgn::deleteElement(f->image, filePos) != SUCCESS)
    return fail(f->path + ": no element at byte " + std::to_string(filePos));
  return SUCCESS;
}

uint32_t mdlElmdscr_add(MSElementDescr* dscr, ModelRef model) {
  DesignFile* f = writableFile(model);
  if (!f || !dscr || dscr->is3d != f->image.is3d) return 0;
  const std::vector<uint8_t> run = elementRun(*dscr);
  const uint32_t pos = dgn::appendElement(f->image, run);
  if (pos != 0) setPositions(*dscr, pos, model, false);
  return pos;
}

uint32_t mdlElement_add(dgn::Bytes element, ModelRef model) {
  DesignFile* f = writableFile(model);
  return f ? dgn::appendElement(f->image, element) : 0;
}

uint32_t mdlElmdscr_rewrite(MSElementDescr* dscr, uint32_t oldPos, ModelRef model) {
  DesignFile* f = writableFile(model);
  if (!f || !dscr || dscr->is3d != f->image.is3d) return 0;
  const uint32_t pos = dgn::replaceElement(f->image, oldPos, elementRun(*dscr));
  if (pos != 0) setPositions(*dscr, pos, model, false);
  return pos;
}

uint32_t mdlElmdscr_copy(const MSElementDescr& dscr, ModelRef dest) {
  DesignFile* f = writableFile(dest);
  if (!f || dscr.is3d != f->image.is3d) return 0;
  return dgn::appendElement(f->image, elementRun(dscr));
}

int mdlLevel_getName(std::string* name, ModelRef model, int level) {
  DesignFile* f = designFileOf(model);
  if (!f || level < 1 || level > MAX_LEVEL || f->levelNames[level].empty()) return ERROR;
  if (name) *name = f->levelNames[level];
  return SUCCESS;
}

int mdlLevel_getIdFromName(int* level, ModelRef model, const std::string& name) {
  DesignFile* f = designFileOf(model);
  if (!f || name.empty()) return ERROR;
  for (int l = 1; l <= MAX_LEVEL; ++l) {
    if (f->levelNames[l] == name) {
      if (level) *level = l;
      return SUCCESS;
    }
  }
  return ERROR;
}

int mdlLevel_create(int* level, ModelRef model, const std::string& name) {
  DesignFile* f = designFileOf(model);
  if (!f || name.empty() || name.size() > 255 ||
      mdlLevel_getIdFromName(nullptr, model, name) == SUCCESS)
    return ERROR;
  for (int l = 1; l <= MAX_LEVEL; ++l) {
    if (f->levelNames[l].empty()) {
      f->levelNames[l] = name;
      if (level) *level = l;
      return SUCCESS;
    }
  }
  return fail(f->path + ": every level has a name");
}

int mdlLevelTable_rewrite(ModelRef model) {
  DesignFile* f = writableFile(model);
  if (!f) return ERROR;
  dgn::DesignImage& img = f->image;
  std::array<std::string, MAX_LEVEL + 1> scratch;
  std::vector<uint32_t> old;
  for (uint32_t slot : img.topLevel) {
    const dgn::Bytes e = dgn::slotBytes(img, slot);
    if (!dgn::isDeletedBit(e.data()) && dgn::readLevelNameElement(e, scratch))
      old.push_back(img.slots[slot].offset);
  }
  for (uint32_t pos : old) (void)dgn::deleteElement(img, pos);
  for (const auto& e : dgn::makeLevelNameElements(f->levelNames))
    if (dgn::appendElement(img, e) == 0) return fail(f->path + ": cannot write level names");
  return SUCCESS;
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
