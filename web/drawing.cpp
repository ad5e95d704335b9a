#include "web/drawing.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "host/design.h"
#include "host/selection.h"
#include "host/state.h"
#include "host/view_display.h"

namespace kelvara {

namespace {

using nlohmann::json;

void putVarint(std::string& out, uint64_t v) {
  while (v >= 0x80) {
    out += static_cast<char>((v & 0x7F) | 0x80);
    v >>= 7;
  }
  out += static_cast<char>(v);
}

void putSigned(std::string& out, int64_t v) {
  putVarint(out, (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63));
}

void putU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

// The magic, the head's length and the head.
std::string withHead(const char* magic, const json& head) {
  const std::string text = head.dump(-1, ' ', false, json::error_handler_t::replace);
  std::string out = magic;
  putU32(out, static_cast<uint32_t>(text.size()));
  return out + text;
}

// A whole decimal number, all of the text.
bool number(const std::string& text, uint64_t* value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return !text.empty() && ec == std::errc() && ptr == end;
}

std::string hexColour(const RgbColor& c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", c.red, c.green, c.blue);
  return text;
}

// One group's stream; its texts go into `texts`.
std::string groupStream(const DrawingGroup& g, double ox, double oy, json& texts) {
  std::string out;
  int64_t px = 0, py = 0, position = 0;
  size_t run = 0, vertex = 0, text = 0;
  for (size_t e = 0; e < g.positions.size(); ++e) {
    putSigned(out, static_cast<int64_t>(g.positions[e]) - position);
    position = g.positions[e];
    putVarint(out, g.runCounts[e]);
    putVarint(out, g.textCounts[e]);
    for (uint32_t r = 0; r < g.runCounts[e]; ++r, ++run) {
      putVarint(out, g.runSizes[run]);
      for (uint32_t v = 0; v < g.runSizes[run]; ++v, ++vertex) {
        const auto x = std::llround(g.xy[2 * vertex] - ox);
        const auto y = std::llround(g.xy[2 * vertex + 1] - oy);
        putSigned(out, x - px);
        putSigned(out, y - py);
        px = x, py = y;
      }
    }
    for (uint32_t t = 0; t < g.textCounts[e]; ++t, ++text) {
      const DrawingText& d = g.texts[text];
      texts.push_back({d.x - ox, d.y - oy, d.height, d.width, d.angle, d.text});
    }
  }
  return out;
}

// The element's drawing as polylines in UOR: its runs, and each text as its box.
json elementRuns(uint32_t filePos, uint64_t model) {
  json runs = json::array();
  ElmDscrPtr element;
  if (filePos == 0 || mdlElmdscr_read(&element, filePos, model) != SUCCESS) return runs;
  Drawing d;
  drawElement(d, *element, filePos);
  for (const DrawingGroup& g : d.groups) {
    size_t vertex = 0;
    for (uint32_t size : g.runSizes) {
      json run = json::array();
      for (uint32_t v = 0; v < size; ++v, ++vertex) {
        run.push_back(g.xy[2 * vertex]);
        run.push_back(g.xy[2 * vertex + 1]);
      }
      runs.push_back(std::move(run));
    }
    for (const DrawingText& t : g.texts) {
      const double length = t.width * static_cast<double>(t.text.size());
      const double c = std::cos(t.angle), s = std::sin(t.angle);
      json run = json::array();
      for (const auto& [u, v] :
           {std::pair{0.0, 0.0}, {length, 0.0}, {length, t.height}, {0.0, t.height}, {0.0, 0.0}}) {
        run.push_back(t.x + u * c - v * s);
        run.push_back(t.y + u * s + v * c);
      }
      runs.push_back(std::move(run));
    }
  }
  return runs;
}

}  // namespace

std::string encodeDrawing(const Drawing& drawing, uint64_t revision, uint64_t edits) {
  const double ox = drawing.empty ? 0 : std::round((drawing.xLow + drawing.xHigh) / 2);
  const double oy = drawing.empty ? 0 : std::round((drawing.yLow + drawing.yHigh) / 2);
  json groups = json::array();
  std::string streams;
  for (const DrawingGroup& g : drawing.groups) {
    json texts = json::array();
    std::string stream = groupStream(g, ox, oy, texts);
    groups.push_back({{"colour", hexColour(g.colour)},
                      {"weight", g.weight},
                      {"elements", g.positions.size()},
                      {"runs", g.runSizes.size()},
                      {"vertices", g.xy.size() / 2},
                      {"bytes", stream.size()},
                      {"texts", std::move(texts)}});
    streams += stream;
  }
  json range = json::array();
  if (!drawing.empty) {
    range = {drawing.xLow - ox, drawing.yLow - oy, drawing.xHigh - ox, drawing.yHigh - oy};
  }
  const json head = {{"revision", revision},
                     {"edits", edits},
                     {"model", drawing.model},
                     {"origin", {ox, oy}},
                     {"globalOrigin", {drawing.globalOrigin.x, drawing.globalOrigin.y}},
                     {"uorPerMaster", drawing.uorPerMaster},
                     {"masterUnit", drawing.masterUnit},
                     {"range", std::move(range)},
                     {"vertices", drawing.vertexCount},
                     {"groups", std::move(groups)}};
  return withHead("KVD1", head) + streams;
}

std::string drawingAnswer(const std::string& since, const std::string& edits) {
  uint64_t revision = 0, at = 0;
  std::vector<uint32_t> deleted;
  if (number(since, &revision) && number(edits, &at) &&
      drawingDeletionsSince(revision, at, &deleted)) {
    std::string out = withHead(
        "KVC1", {{"revision", drawingRevision()}, {"edits", drawingEdits()}, {"since", revision}});
    for (const uint32_t position : deleted) putU32(out, position);
    return out;
  }
  Drawing drawing;
  (void)drawModel(&drawing, mdlModelRef_getActive(), 0);
  return encodeDrawing(drawing, drawingRevision(), drawingEdits());
}

std::string encodeSelection() {
  const ModelRef active = mdlModelRef_getActive();
  std::string out;
  for (const SelectedElement& e : mdlSelect_members()) {
    if (e.model == active) putU32(out, e.filePos);
  }
  return out;
}

json viewStateJson() {
  DPoint3d origin, delta;
  (void)mdlView_getParameters(&origin, nullptr, &delta, nullptr, 0);
  const ViewOverlay& o = hostState().views.overlay;
  return {{"on", mdlView_isOn(0)},
          {"area", {origin.x, origin.y, delta.x, delta.y}},
          {"revision", drawingRevision()},
          {"highlight", elementRuns(o.highlight, o.model)},
          {"partner", elementRuns(o.partner, o.model)},
          {"flash",
           {{"count", o.flashes},
            {"pauseMs", static_cast<double>(FLASH_PAUSE_TICKS) * MS_PER_TICK},
            {"runs", elementRuns(o.flash, o.flashModel)}}},
          {"selection", {{"revision", selectionRevision()}, {"count", mdlSelect_count()}}}};
}

bool applyViewRequest(std::string_view body) {
  const json j = json::parse(body.begin(), body.end(), nullptr, false);
  if (j.is_discarded() || !j.is_object() || j.size() != 1) return false;
  if (auto it = j.find("identify"); it != j.end()) {
    if (!it->is_number_unsigned() || it->get<uint64_t>() > UINT32_MAX) return false;
    return identifyElement(it->get<uint32_t>()) == SUCCESS;
  }
  auto area = j.find("area");
  if (area == j.end() || !area->is_array() || area->size() != 4) return false;
  double v[4];
  for (size_t i = 0; i < 4; ++i) {
    if (!(*area)[i].is_number()) return false;
    v[i] = (*area)[i].get<double>();
  }
  DPoint3d origin, delta;
  if (mdlView_getParameters(&origin, nullptr, &delta, nullptr, 0) != SUCCESS) return false;
  return mdlView_setArea(0, {v[0], v[1], origin.z}, {v[2], v[3], delta.z}) == SUCCESS;
}

}  // namespace kelvara
