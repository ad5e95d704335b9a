// The drawing view: view 1 of the host drawn on a canvas. The active model's drawing is fetched
// once per revision (web/drawing.h gives its format), decoded into one cached Path2D per
// symbology and tile, and drawn with the tiles outside the window left out. A new revision of
// the same drawing asks for what changed: when only elements were deleted (a run's removals),
// just their positions come, and they are taken out of the tiles they were in. View 1's area is
// the host's: a new area in the state moves the view, and the user's pan, zoom and fit go
// back to the host. Highlights and flashes are drawn in an SVG overlay.
import { decode, decodeChanges, dropElements, elementDistance } from './view_data.js';

const MIN_TEXT_PX = 2; // smaller text is not drawn
const SVG = 'http://www.w3.org/2000/svg';
const SELECTION_COLOUR = '#ffd400'; // the host's selection set, over the drawing

let canvas, ctx, overlay, status;
let onState = () => {};
let drawing = null; // the decoded drawing
let loading = null; // revision being fetched
let wanted = null; // revision the state names
let nextLoadAt = 0; // no new fetch before this time
let loadTimer = 0;
let busy = false; // a run's progress is shown: the drawing waits
let view = { cx: 0, cy: 0, s: 1 }; // centre (relative to the drawing's origin), pixels per UOR
let hostArea = null; // the host's area last applied or sent
let sending = 0; // area requests under way: host areas arriving meanwhile are older
let sendTimer = 0;
let overlayState = { highlight: [], partner: [] };
let shownOverlay = '';
let flashSeen = null;
let flashRuns = null;
let flashClass = '';
let frameRequested = false;
export const stats = {
  revision: null, // of the drawing the view holds
  elements: 0, // elements the view holds (one drawn in several symbologies counts in each)
  drawings: 0, // whole drawings fetched
  changes: 0, // change lists applied instead
  bytes: 0,
  vertices: 0,
  fetchMs: 0,
  decodeMs: 0,
  firstFrameMs: 0,
  frameMs: 0,
  frames: 0,
};

// ---- view transform ----------------------------------------------------------------------

const size = () => ({ w: canvas.clientWidth || 1, h: canvas.clientHeight || 1 });
const origin = () => (drawing ? drawing.head.origin : [0, 0]);

function toScreen(x, y) {
  const { w, h } = size();
  return [(x - view.cx) * view.s + w / 2, h / 2 - (y - view.cy) * view.s];
}
function toWorld(px, py) {
  const { w, h } = size();
  return [view.cx + (px - w / 2) / view.s, view.cy - (py - h / 2) / view.s];
}

// Shows the area (absolute UOR: x, y, dx, dy) whole and centred.
function showArea(area) {
  const [ox, oy] = origin();
  const { w, h } = size();
  view = {
    cx: area[0] + area[2] / 2 - ox,
    cy: area[1] + area[3] / 2 - oy,
    s: Math.min(w / Math.max(area[2], 1e-9), h / Math.max(area[3], 1e-9)),
  };
  requestFrame();
}

// The window as an area in absolute UOR.
function windowArea() {
  const [ox, oy] = origin();
  const { w, h } = size();
  const [xl, yh] = toWorld(0, 0);
  return [xl + ox, yh - h / view.s + oy, w / view.s, h / view.s];
}

// The user moved the view: the host's view 1 follows once the user pauses.
function viewMoved() {
  requestFrame();
  clearTimeout(sendTimer);
  ++sending;
  sendTimer = setTimeout(() => {
    hostArea = windowArea();
    post({ area: hostArea }).finally(() => --sending);
  }, 120);
}

function post(request) {
  return fetch('api/view', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(request),
  })
    .then((response) => response.json())
    .then((answer) => answer && answer.state && onState(answer.state))
    .catch(() => {});
}

export function fit() {
  if (!drawing || !drawing.head.range.length) return;
  const [xl, yl, xh, yh] = drawing.head.range;
  const [ox, oy] = origin();
  const mx = (xh - xl) * 0.05 + 1;
  const my = (yh - yl) * 0.05 + 1;
  showArea([xl - mx + ox, yl - my + oy, xh - xl + 2 * mx, yh - yl + 2 * my]);
  viewMoved();
}

// ---- drawing -----------------------------------------------------------------------------

function requestFrame() {
  if (frameRequested) return;
  frameRequested = true;
  requestAnimationFrame(() => {
    frameRequested = false;
    draw();
  });
}

function draw() {
  const start = performance.now();
  const dpr = window.devicePixelRatio || 1;
  const { w, h } = size();
  if (canvas.width !== Math.round(w * dpr) || canvas.height !== Math.round(h * dpr)) {
    canvas.width = Math.round(w * dpr);
    canvas.height = Math.round(h * dpr);
  }
  ctx.setTransform(1, 0, 0, 1, 0, 0);
  ctx.fillStyle = '#101418';
  ctx.fillRect(0, 0, canvas.width, canvas.height);
  if (drawing) {
    const s = view.s * dpr;
    const [wx0, wy1] = toWorld(0, 0);
    const [wx1, wy0] = toWorld(w, h);
    const tx = (w / 2 - view.cx * view.s) * dpr;
    const ty = (h / 2 + view.cy * view.s) * dpr;
    ctx.setTransform(s, 0, 0, -s, tx, ty);
    ctx.lineCap = 'round';
    ctx.lineJoin = 'round';
    for (const g of drawing.groups) {
      ctx.strokeStyle = g.colour;
      // Just under a pixel for weight 0: the renderer then draws hairlines, many times faster.
      ctx.lineWidth = (g.weight ? 1 + g.weight : 0.99) / view.s;
      const visible = [...g.tiles.values()].filter(({ box: b }) => {
        return b[0] <= wx1 && b[2] >= wx0 && b[1] <= wy1 && b[3] >= wy0;
      });
      for (const tile of visible) ctx.stroke(tile.path);
      drawPoints(g, visible, (2 + g.weight) / view.s);
    }
    drawTexts(wx0, wy0, wx1, wy1, dpr);
    ctx.setTransform(s, 0, 0, -s, tx, ty);
    drawSelection();
  }
  drawOverlay();
  stats.frameMs = performance.now() - start;
  ++stats.frames;
}

// The points of the tiles as squares of `side` (UOR) about them.
function drawPoints(g, tiles, side) {
  const dots = new Path2D();
  let any = false;
  for (const tile of tiles) {
    for (const v of tile.points) {
      dots.rect(g.xy[2 * v] - side / 2, g.xy[2 * v + 1] - side / 2, side, side);
      any = true;
    }
  }
  if (!any) return;
  ctx.fillStyle = g.colour;
  ctx.fill(dots);
}

function drawTexts(wx0, wy0, wx1, wy1, dpr) {
  ctx.textBaseline = 'alphabetic';
  for (const g of drawing.groups) {
    ctx.fillStyle = g.colour;
    for (const [x, y, height, width, angle, text] of g.texts) {
      const px = height * view.s;
      if (px < MIN_TEXT_PX) continue;
      const len = width * text.length;
      if (x - len > wx1 || x + len < wx0 || y - len > wy1 || y + len < wy0) continue;
      const [sx, sy] = toScreen(x, y);
      ctx.setTransform(dpr, 0, 0, dpr, sx * dpr, sy * dpr);
      ctx.rotate(-angle);
      ctx.font = `${px}px monospace`;
      const measured = ctx.measureText(text).width || 1;
      ctx.scale((len * view.s) / measured, 1);
      ctx.fillText(text, 0, 0);
    }
  }
}

function polylines(svgClass, runs) {
  const [ox, oy] = origin();
  return runs.map((run) => {
    const line = document.createElementNS(SVG, 'polyline');
    line.setAttribute('class', svgClass);
    const points = [];
    for (let i = 0; i + 1 < run.length; i += 2) points.push(toScreen(run[i] - ox, run[i + 1] - oy));
    if (points.length === 1) points.push(points[0]);
    line.setAttribute('points', points.map((p) => p.join(',')).join(' '));
    return line;
  });
}

// The host's selection set: the file positions of the active model's selected elements, and
// a path of their runs made once per drawing and selection.
let selectionRevision = null;
let selected = new Set();
let selectionPath = null;

async function loadSelection() {
  try {
    const buffer = await (await fetch('api/selection')).arrayBuffer();
    selected = new Set(new Uint32Array(buffer.slice(0, buffer.byteLength & ~3)));
  } catch {
    return;
  }
  selectionPath = null;
  requestFrame();
}

function drawSelection() {
  if (selected.size === 0 || !drawing) return;
  if (!selectionPath || selectionPath.drawing !== drawing) {
    const path = new Path2D();
    for (const g of drawing.groups) {
      for (let e = 0; e < g.positions.length; ++e) {
        if (!selected.has(g.positions[e])) continue;
        for (let r = g.firstRun[e]; r < g.firstRun[e + 1]; ++r) {
          const [from, to] = [g.runStart[r], g.runStart[r + 1]];
          path.moveTo(g.xy[2 * from], g.xy[2 * from + 1]);
          for (let v = from + 1; v < to; ++v) path.lineTo(g.xy[2 * v], g.xy[2 * v + 1]);
          if (to - from === 1) path.lineTo(g.xy[2 * from], g.xy[2 * from + 1]);
        }
      }
    }
    selectionPath = { drawing, path };
  }
  ctx.strokeStyle = SELECTION_COLOUR;
  ctx.lineWidth = 3 / view.s;
  ctx.stroke(selectionPath.path);
}

function drawOverlay() {
  overlay.replaceChildren(
    ...polylines('partner', overlayState.partner),
    ...polylines('highlight', overlayState.highlight),
    ...(flashRuns ? polylines(flashClass, flashRuns) : [])
  );
}

// Shown, then shown highlighted, each for the host's pause, then gone.
function playFlash(flash) {
  flashRuns = flash.runs;
  flashClass = 'flash';
  drawOverlay();
  setTimeout(() => {
    flashClass = 'flash highlighted';
    drawOverlay();
    setTimeout(() => {
      flashRuns = null;
      drawOverlay();
    }, flash.pauseMs);
  }, flash.pauseMs);
}

async function load(revision) {
  loading = revision;
  const asked = performance.now();
  const since = drawing ? `?since=${drawing.head.revision}&edits=${drawing.head.edits}` : '';
  let buffer;
  try {
    buffer = await (await fetch('api/drawing' + since)).arrayBuffer();
  } catch {
    loading = null;
    return;
  }
  const arrived = performance.now();
  stats.fetchMs = arrived - asked;
  stats.bytes = buffer.byteLength;
  const changes = drawing && decodeChanges(buffer);
  if (changes) {
    dropElements(drawing, changes.deleted);
    drawing.head.revision = changes.head.revision;
    drawing.head.edits = changes.head.edits;
    selectionPath = null;
    ++stats.changes;
  } else {
    const previousModel = drawing && drawing.head.model;
    drawing = decode(buffer);
    ++stats.drawings;
    if (drawing.head.model !== previousModel && drawing.head.range.length) fit();
    else if (hostArea) showArea(hostArea);
  }
  stats.elements = drawing.elements;
  stats.revision = drawing.head.revision;
  stats.vertices = drawing.head.vertices;
  stats.decodeMs = performance.now() - arrived;
  draw();
  ctx.getImageData(0, 0, 1, 1); // the frame is rendered, not only recorded
  stats.firstFrameMs = performance.now() - arrived;
  loading = null;
  // While a run changes the drawing, it is fetched again only now and then, so that building
  // it takes little of the host's time from the run.
  nextLoadAt = performance.now() + Math.max(500, 8 * (performance.now() - asked));
  loadWhenDue();
}

function loadWhenDue() {
  if (loading !== null || loadTimer || (drawing && drawing.head.revision === wanted)) return;
  // While a comparison runs (its progress shown) the drawing is not fetched: building it would
  // take the host's time from the run. It is fetched when the progress closes.
  if (busy && drawing) return;
  const wait = nextLoadAt - performance.now();
  if (wait <= 0) {
    load(wanted);
    return;
  }
  loadTimer = setTimeout(() => {
    loadTimer = 0;
    loadWhenDue();
  }, wait);
}

// ---- the state and the user --------------------------------------------------------------

const sameArea = (a, b) =>
  a && b && a.every((v, i) => Math.abs(v - b[i]) <= 1e-6 * Math.abs(b[i]) + 1e-6);

export function showView(state, running = false) {
  if (!state || !canvas) return;
  // A run's progress has closed: what it changed is fetched at once, not after the pause the
  // last fetch asks for.
  if (busy && !running) {
    nextLoadAt = 0;
    clearTimeout(loadTimer);
    loadTimer = 0;
  }
  busy = running;
  wanted = state.revision;
  loadWhenDue();
  if (sending === 0 && !sameArea(state.area, hostArea)) {
    hostArea = state.area;
    showArea(hostArea);
  }
  overlayState = state;
  if (state.selection && state.selection.revision !== selectionRevision) {
    selectionRevision = state.selection.revision;
    loadSelection();
  }
  if (flashSeen !== null && state.flash.count > flashSeen) playFlash(state.flash);
  flashSeen = state.flash.count;
  // The canvas is drawn again only when what it shows changes: the area, the drawing and the
  // selection each ask for a frame themselves. A state that changes only the dialogs, as a
  // run's progress does many times a second, redraws at most the overlay's few lines (a frame
  // of a large drawing would take a core from the run).
  const overlayText = JSON.stringify([state.partner, state.highlight]);
  if (stats.frames === 0) requestFrame();
  else if (overlayText !== shownOverlay) drawOverlay();
  shownOverlay = overlayText;
}

function hitTest(px, py) {
  if (!drawing) return null;
  const [x, y] = toWorld(px, py);
  const tolerance = 4 / view.s;
  let best = null;
  let bestDistance = tolerance;
  for (const g of drawing.groups) {
    for (let e = 0; e < g.positions.length; ++e) {
      const b = g.box;
      if (x < b[4 * e] - tolerance || x > b[4 * e + 2] + tolerance) continue;
      if (y < b[4 * e + 1] - tolerance || y > b[4 * e + 3] + tolerance) continue;
      const d = elementDistance(g, e, x, y);
      if (d <= bestDistance) {
        bestDistance = d;
        best = g.positions[e];
      }
    }
  }
  return best;
}

function showCursor(px, py) {
  if (!drawing) return;
  const [x, y] = toWorld(px, py);
  const { origin: [ox, oy], globalOrigin: [gx, gy], uorPerMaster, masterUnit } = drawing.head;
  const unit = masterUnit ? ' ' + masterUnit : '';
  status.textContent =
    `X ${((x + ox - gx) / uorPerMaster).toFixed(4)}${unit}  ` +
    `Y ${((y + oy - gy) / uorPerMaster).toFixed(4)}${unit}`;
}

function listen() {
  let drag = null;
  canvas.addEventListener('pointerdown', (e) => {
    drag = { x: e.offsetX, y: e.offsetY, cx: view.cx, cy: view.cy, moved: false };
    canvas.setPointerCapture(e.pointerId);
  });
  canvas.addEventListener('pointermove', (e) => {
    showCursor(e.offsetX, e.offsetY);
    if (!drag) return;
    const dx = e.offsetX - drag.x;
    const dy = e.offsetY - drag.y;
    if (!drag.moved && Math.hypot(dx, dy) < 4) return;
    drag.moved = true;
    view.cx = drag.cx - dx / view.s;
    view.cy = drag.cy + dy / view.s;
    viewMoved();
  });
  canvas.addEventListener('pointerup', (e) => {
    if (drag && !drag.moved) {
      const position = hitTest(e.offsetX, e.offsetY);
      if (position !== null) post({ identify: position });
    }
    drag = null;
  });
  canvas.addEventListener(
    'wheel',
    (e) => {
      e.preventDefault();
      const [x, y] = toWorld(e.offsetX, e.offsetY);
      view.s *= Math.exp(-e.deltaY * 0.0015);
      // The point under the cursor stays there.
      const [nx, ny] = toWorld(e.offsetX, e.offsetY);
      view.cx += x - nx;
      view.cy += y - ny;
      viewMoved();
    },
    { passive: false }
  );
  document.getElementById('view-fit').addEventListener('click', fit);
  // The host's area stays in view when the window changes size.
  window.addEventListener('resize', () => (hostArea ? showArea(hostArea) : requestFrame()));
}

export function initView(stateHandler) {
  onState = stateHandler;
  canvas = document.getElementById('view-canvas');
  overlay = document.getElementById('view-overlay');
  status = document.getElementById('view-status');
  ctx = canvas.getContext('2d');
  listen();
  // For tests and figures: where a point of the drawing (absolute UOR) is in the window.
  window.kelvaraView = {
    stats,
    toScreen: (x, y) => toScreen(x - origin()[0], y - origin()[1]),
    redraw: () => draw(),
  };
}
