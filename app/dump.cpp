// `kelvara --dump FILE`.
#include "app/dump.h"

#include <cinttypes>
#include <string>

#include "host/dgn/image.h"

namespace kelvara {

int dumpDesignFile(const std::string& path, bool header, FILE* out, FILE* err) {
  dgn::DesignImage img;
  std::string error;
  if (dgn::openImage(path, img, &error) != SUCCESS) {
    std::fprintf(err, "kelvara: %s\n", error.c_str());
    return 1;
  }
  if (header) {
    std::fputs(
        "position\ttype\tlevel\tcolour\tweight\tstyle\tclass\tdeleted\tcomponent\t"
        "xlow\tylow\tzlow\txhigh\tyhigh\tzhigh\n",
        out);
  }
  std::string line;
  for (const dgn::ElementSlot& slot : img.slots) {
    const dgn::ElementHeader h = dgn::decodeHeader(
        dgn::Bytes(img.bytes.data() + slot.offset, dgn::sizeOf(img.bytes.data() + slot.offset)));
    const int colour = h.hasDisplayHeader ? dgn::colourOf(h.symbology) : 0;
    const int weight = h.hasDisplayHeader ? dgn::weightOf(h.symbology) : 0;
    const int style = h.hasDisplayHeader ? dgn::styleOf(h.symbology) : 0;
    const int cls = h.hasDisplayHeader ? (h.properties & dgn::PROP_CLASS_MASK) : 0;
    std::fprintf(out,
                 "%" PRIu32 "\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%" PRId64 "\t%" PRId64 "\t%" PRId64
                 "\t%" PRId64 "\t%" PRId64 "\t%" PRId64 "\n",
                 slot.offset, h.type, h.level, colour, weight, style, cls, h.deleted ? 1 : 0,
                 slot.parent != 0 ? 1 : 0, h.range.xLow, h.range.yLow, h.range.zLow, h.range.xHigh,
                 h.range.yHigh, h.range.zHigh);
  }
  if (std::fflush(out) != 0) {
    std::fprintf(err, "kelvara: cannot write the listing\n");
    return 1;
  }
  return 0;
}

}  // namespace kelvara
