// The drawing view's data: the drawing decoded from the wire (web/drawing.h gives the format)
// into typed arrays per symbology group, with each element's box, the elements sorted into
// tiles of the drawing's range and one Path2D per group and tile; and the distance from a
// point to an element, for picking.
const TILES = 16; // tiles per side of the drawing's range

// The bytes being decoded and the read position, kept outside any object: the decoder's hot
// loop reads them millions of times.
let wire = null;
let at = 0;

function varint() {
  let b = wire[at++];
  if (b < 128) return b;
  let value = b & 127;
  let scale = 128;
  do {
    b = wire[at++];
    value += (b & 127) * scale;
    scale *= 128;
  } while (b & 128);
  return value;
}

function signed() {
  const v = varint();
  return v % 2 ? -(v + 1) / 2 : v / 2;
}

// The drawing from the wire: per group its vertices, runs and elements (with boxes), then the
// tiles' paths.
export function decode(buffer) {
  const bytes = new Uint8Array(buffer);
  const headLength = new DataView(buffer).getUint32(4, true);
  const head = JSON.parse(new TextDecoder().decode(bytes.subarray(8, 8 + headLength)));
  wire = bytes;
  at = 8 + headLength;
  const range = head.range.length ? head.range : [-1, -1, 1, 1];
  const tileW = Math.max(range[2] - range[0], 1) / TILES;
  const tileH = Math.max(range[3] - range[1], 1) / TILES;
  const groups = head.groups.map((g) => {
    const n = g.elements;
    const group = {
      colour: g.colour,
      weight: g.weight,
      positions: new Float64Array(n),
      firstRun: new Uint32Array(n + 1),
      box: new Float32Array(4 * n),
      tileOf: new Uint16Array(n),
      runStart: new Uint32Array(g.runs + 1),
      xy: new Float32Array(2 * g.vertices),
      texts: g.texts,
      tiles: new Map(),
    };
    let x = 0;
    let y = 0;
    let pos = 0;
    let run = 0;
    let v = 0;
    let text = 0;
    for (let e = 0; e < n; ++e) {
      pos += signed();
      group.positions[e] = pos;
      const runs = varint();
      const texts = varint();
      group.firstRun[e] = run;
      let xl = Infinity;
      let yl = Infinity;
      let xh = -Infinity;
      let yh = -Infinity;
      for (let r = 0; r < runs; ++r, ++run) {
        group.runStart[run] = v;
        const count = varint();
        for (let k = 0; k < count; ++k, ++v) {
          x += signed();
          y += signed();
          group.xy[2 * v] = x;
          group.xy[2 * v + 1] = y;
          if (x < xl) xl = x;
          if (x > xh) xh = x;
          if (y < yl) yl = y;
          if (y > yh) yh = y;
        }
      }
      for (let t = 0; t < texts; ++t, ++text) {
        const [tx, ty, h, w, , s] = group.texts[text];
        const len = w * s.length;
        xl = Math.min(xl, tx - len - h);
        yl = Math.min(yl, ty - len - h);
        xh = Math.max(xh, tx + len + h);
        yh = Math.max(yh, ty + len + h);
        group.texts[text].push(e);
      }
      group.box[4 * e] = xl;
      group.box[4 * e + 1] = yl;
      group.box[4 * e + 2] = xh;
      group.box[4 * e + 3] = yh;
      const col = Math.min(TILES - 1, Math.max(0, Math.floor(((xl + xh) / 2 - range[0]) / tileW)));
      const row = Math.min(TILES - 1, Math.max(0, Math.floor(((yl + yh) / 2 - range[1]) / tileH)));
      const key = row * TILES + col;
      group.tileOf[e] = key;
      let tile = group.tiles.get(key);
      if (!tile) {
        tile = { elements: [], box: [Infinity, Infinity, -Infinity, -Infinity] };
        group.tiles.set(key, tile);
      }
      tile.elements.push(e);
      const b = tile.box;
      if (runs > 0) {
        b[0] = Math.min(b[0], xl);
        b[1] = Math.min(b[1], yl);
        b[2] = Math.max(b[2], xh);
        b[3] = Math.max(b[3], yh);
      }
    }
    group.firstRun[n] = run;
    group.runStart[run] = v;
    for (const tile of group.tiles.values()) tilePaths(group, tile);
    return group;
  });
  wire = null;
  const elements = groups.reduce((sum, g) => sum + g.positions.length, 0);
  return { head, groups, range, elements };
}

// The changes since the drawing the page holds (web/drawing.h): the new head's fields and the
// file positions of the elements deleted since; null when the buffer holds a whole drawing.
export function decodeChanges(buffer) {
  const bytes = new Uint8Array(buffer);
  if (String.fromCharCode(...bytes.subarray(0, 4)) !== 'KVC1') return null;
  const headLength = new DataView(buffer).getUint32(4, true);
  const head = JSON.parse(new TextDecoder().decode(bytes.subarray(8, 8 + headLength)));
  const start = 8 + headLength;
  const deleted = new Uint32Array(buffer.slice(start, start + ((buffer.byteLength - start) & ~3)));
  return { head, deleted };
}

// Takes deleted elements (file positions) out of the drawing: each loses its position and
// box (nothing picks it), its texts, and its place in its tile, whose paths are made again.
export function dropElements(drawing, deleted) {
  const gone = new Set(deleted);
  for (const group of drawing.groups) {
    const tiles = new Set();
    for (let e = 0; e < group.positions.length; ++e) {
      if (!gone.has(group.positions[e])) continue;
      group.positions[e] = -1;
      group.box.set([Infinity, Infinity, -Infinity, -Infinity], 4 * e);
      tiles.add(group.tiles.get(group.tileOf[e]));
      --drawing.elements;
    }
    if (tiles.size === 0) continue;
    group.texts = group.texts.filter((t) => group.positions[t[6]] !== -1);
    for (const tile of tiles) {
      tile.elements = tile.elements.filter((e) => group.positions[e] !== -1);
      tilePaths(group, tile);
    }
  }
}

// The tile's lines as one path; its points (runs of one vertex) as their vertex numbers, to be
// drawn as dots of a fixed size on the screen.
function tilePaths(group, tile) {
  const { xy, runStart, firstRun } = group;
  tile.path = new Path2D();
  tile.points = [];
  for (const e of tile.elements) {
    for (let r = firstRun[e]; r < firstRun[e + 1]; ++r) {
      const a = runStart[r];
      const b = runStart[r + 1];
      if (b - a === 1) tile.points.push(a);
      tile.path.moveTo(xy[2 * a], xy[2 * a + 1]);
      for (let k = a + 1; k < b; ++k) tile.path.lineTo(xy[2 * k], xy[2 * k + 1]);
    }
  }
}

// The distance from (x, y) to element e of group g: to its nearest segment, 0 inside one of
// its texts.
export function elementDistance(g, e, x, y) {
  let best = Infinity;
  for (let r = g.firstRun[e]; r < g.firstRun[e + 1]; ++r) {
    const a = g.runStart[r];
    const b = g.runStart[r + 1];
    for (let k = a; k < b; ++k) {
      const x0 = g.xy[2 * k];
      const y0 = g.xy[2 * k + 1];
      const x1 = k + 1 < b ? g.xy[2 * k + 2] : x0;
      const y1 = k + 1 < b ? g.xy[2 * k + 3] : y0;
      const dx = x1 - x0;
      const dy = y1 - y0;
      const along = dx || dy ? ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy) : 0;
      const t = Math.max(0, Math.min(1, along));
      best = Math.min(best, Math.hypot(x - x0 - t * dx, y - y0 - t * dy));
    }
  }
  // A text is hit anywhere inside its box.
  for (const [tx, ty, height, width, angle, text, owner] of g.texts) {
    if (owner !== e) continue;
    const u = (x - tx) * Math.cos(angle) + (y - ty) * Math.sin(angle);
    const v = -(x - tx) * Math.sin(angle) + (y - ty) * Math.cos(angle);
    if (u >= 0 && u <= width * text.length && v >= 0 && v <= height) return 0;
  }
  return best;
}
