// Fuzz target for the DGN V7 reader: parse an image from the input bytes, walk every element,
// decode every header, record and linkage, and read every descriptor through the host. Then
// exercise the edits on the image (delete, append a copy, replace) and parse the result again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/dgn/image.h"
#include "host/dgn/records.h"
#include "host/element.h"

using namespace kelvara;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dgn::DesignImage img;
  std::string error;
  if (dgn::parseImage(std::vector<uint8_t>(data, data + size), "fuzz.dgn", img, &error) !=
      SUCCESS) {
    if (error.rfind("fuzz.dgn", 0) != 0) __builtin_trap();  // every refusal names the file
    return 0;
  }
  size_t checksum = 0;
  for (size_t i = 0; i < img.slots.size(); ++i) {
    const dgn::ElementSlot& s = img.slots[i];
    if (s.offset >= s.extentEnd || s.extentEnd > img.bytes.size()) __builtin_trap();
    const dgn::Bytes e = dgn::slotBytes(img, i);
    const dgn::ElementHeader h = dgn::decodeHeader(e);
    checksum += static_cast<size_t>(h.type + h.level) + dgn::linkages(e).size() +
                dgn::databaseLinkages(e).size();
    int fill = 0;
    checksum += dgn::fillColour(e, &fill) ? static_cast<size_t>(fill) : 0;
    dgn::ElementRecord rec;
    std::string why;
    checksum += dgn::decodeRecord(e, img.is3d, rec, &why) ? rec.index() : why.size();
  }
  // Descriptors of every top-level element, built from the image's own slots.
  for (uint32_t top : img.topLevel) {
    const dgn::ElementSlot& s = img.slots[top];
    ElmDscrPtr d;
    const dgn::Bytes run(img.bytes.data() + s.offset, s.extentEnd - s.offset);
    if (mdlElmdscr_new(&d, run, img.is3d) == SUCCESS) {
      checksum += d->components.size() + elementRun(*d).size();
      if (elementRun(*d).size() != run.size()) __builtin_trap();
    }
  }
  // Edits keep the image readable.
  if (img.topLevel.size() > 1) {
    const dgn::ElementSlot last = img.slots[img.topLevel.back()];
    const std::vector<uint8_t> copy(img.bytes.begin() + last.offset,
                                    img.bytes.begin() + last.extentEnd);
    (void)dgn::deleteElement(img, last.offset);
    const uint32_t pos = dgn::appendElement(img, dgn::Bytes(copy.data(), copy.size()));
    if (pos != 0) (void)dgn::replaceElement(img, pos, dgn::Bytes(copy.data(), copy.size()));
    dgn::DesignImage again;
    if (dgn::parseImage(img.bytes, "again.dgn", again, &error) != SUCCESS) __builtin_trap();
  }
  return checksum == 0xFFFFFFFF ? 1 : 0;
}
