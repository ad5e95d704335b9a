#include "host/colors.h"

#include <cmath>

#include "host/design.h"
#include "host/dgn/records.h"

namespace kelvara {

namespace {

// A colour of hue (degrees), saturation and value (0-1), rounded to bytes.
RgbColor fromHsv(double hue, double saturation, double value) {
  const double c = value * saturation;
  const double h = std::fmod(hue, 360.0) / 60.0;
  const double x = c * (1.0 - std::fabs(std::fmod(h, 2.0) - 1.0));
  double r = 0, g = 0, b = 0;
  if (h < 1) {
    r = c, g = x;
  } else if (h < 2) {
    r = x, g = c;
  } else if (h < 3) {
    g = c, b = x;
  } else if (h < 4) {
    g = x, b = c;
  } else if (h < 5) {
    r = x, b = c;
  } else {
    r = c, b = x;
  }
  const double m = value - c;
  auto byte = [m](double v) { return static_cast<uint8_t>(std::lround((v + m) * 255.0)); };
  return {byte(r), byte(g), byte(b)};
}

ColorTable makeDefaultTable() {
  ColorTable t{};
  const RgbColor basic[8] = {{255, 255, 255}, {0, 0, 255},   {0, 255, 0},   {255, 0, 0},
                             {255, 255, 0},   {255, 0, 255}, {255, 127, 0}, {0, 255, 255}};
  for (int i = 0; i < 8; ++i) t[i] = basic[i];
  // Colours 8-254: bands of 24 hues, 15 degrees apart; each band darker or paler than the last.
  constexpr int kHues = 24;
  for (int i = 8; i < 255; ++i) {
    const int k = i - 8;
    const int band = k / kHues;  // 0-10
    const double hue = (k % kHues) * (360.0 / kHues);
    const double value = 1.0 - 0.07 * band;
    const double saturation = band % 2 == 0 ? 1.0 : 0.55;
    t[i] = fromHsv(hue, saturation, value);
  }
  t[255] = {0, 0, 0};
  return t;
}

}  // namespace

const ColorTable& defaultColorTable() {
  static const ColorTable table = makeDefaultTable();
  return table;
}

int mdlColor_getColorTable(ColorTable* table, ModelRef model) {
  *table = defaultColorTable();
  const DesignFile* f = designFileOf(model);
  if (!f) return ERROR;
  const dgn::DesignImage& img = f->image;
  for (uint32_t slot : img.topLevel) {
    const uint32_t offset = img.slots[slot].offset;
    const uint8_t* p = img.bytes.data() + offset;
    if (dgn::typeOf(p) != 5 || dgn::levelOf(p) != 1 || dgn::isDeletedBit(p)) continue;
    const uint32_t size = img.slots[slot].extentEnd - offset;
    dgn::ElementRecord record;
    if (!dgn::decodeRecord(dgn::Bytes(p, size), img.is3d, record)) continue;
    const auto* colours = std::get_if<dgn::ColourTableRecord>(&record);
    if (!colours || colours->rgb.size() != table->size()) continue;
    for (size_t i = 0; i < table->size(); ++i)
      (*table)[i] = {colours->rgb[i][0], colours->rgb[i][1], colours->rgb[i][2]};
  }
  return SUCCESS;
}

}  // namespace kelvara
