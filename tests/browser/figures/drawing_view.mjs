// Figures of the drawing view, printed (not a test): for drawings of 10^5 and 10^6 elements
// (lines and line strings of 3 to 6 vertices, short, spread over a sheet of 10^7 UOR, in 8
// colours), the bytes per vertex on the wire, the time from the data's arrival to the first
// frame rendered, and the median time of a wheel zoom step and a pan step (the view moved and
// the frame rendered).
//
//   node tests/browser/figures/drawing_view.mjs [ELEMENTS...]
import { readFile, writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { openApp, waitUntil } from '../support/app.mjs';

const sizes = process.argv.slice(2).map(Number);
const SHEET = 1e7;

// Middle-endian int32 (high word first), offset binary for the range block.
function put32(bytes, at, value, offset = false) {
  const u = (offset ? value + 2 ** 31 : value >>> 0) >>> 0;
  bytes[at] = (u >>> 16) & 255;
  bytes[at + 1] = u >>> 24;
  bytes[at + 2] = u & 255;
  bytes[at + 3] = (u >>> 8) & 255;
}

function element(points, colour) {
  const isLine = points.length === 2;
  const size = 36 + (isLine ? 0 : 2) + 8 * points.length;
  const e = new Uint8Array(size);
  e[0] = 1; // level 1
  e[1] = isLine ? 3 : 4;
  e[2] = (size / 2 - 2) & 255;
  e[3] = (size / 2 - 2) >> 8;
  const xs = points.map((p) => p[0]);
  const ys = points.map((p) => p[1]);
  [Math.min(...xs), Math.min(...ys), 0, Math.max(...xs), Math.max(...ys), 0].forEach((v, i) =>
    put32(e, 4 + 4 * i, v, true)
  );
  e[30] = ((size - 32) / 2) & 255;
  e[35] = colour;
  let at = 36;
  if (!isLine) {
    e[36] = points.length;
    at = 38;
  }
  for (const [x, y] of points) {
    put32(e, at, x);
    put32(e, at + 4, y);
    at += 8;
  }
  return e;
}

async function writeDrawing(path, n) {
  const sample = await readFile(new URL('../../../examples/sample.dgn', import.meta.url));
  const parts = [sample.subarray(0, 1536)];
  let seed = 12345;
  const random = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
  for (let i = 0; i < n; ++i) {
    const count = i % 2 ? 3 + Math.floor(random() * 4) : 2;
    let x = Math.floor(random() * SHEET);
    let y = Math.floor(random() * SHEET);
    const points = [];
    for (let k = 0; k < count; ++k) {
      points.push([x, y]);
      x += Math.floor(random() * 20000) - 10000;
      y += Math.floor(random() * 20000) - 10000;
    }
    parts.push(element(points, 1 + (i % 8)));
  }
  parts.push(new Uint8Array([255, 255]));
  await writeFile(path, Buffer.concat(parts));
}

const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];

for (const n of sizes.length ? sizes : [100000, 1000000]) {
  const prepare = (dir) => writeDrawing(join(dir, 'big.dgn'), n);
  const app = await openApp({ file: 'big.dgn', prepare });
  try {
    const { page } = app;
    await page.setViewportSize({ width: 1280, height: 800 });
    await waitUntil(() => page.evaluate(() => window.kelvaraView.stats.bytes > 0), 60000);
    const figures = await page.evaluate(async () => {
      const { stats, redraw } = window.kelvaraView;
      const canvas = document.getElementById('view-canvas');
      const rendered = () => canvas.getContext('2d').getImageData(0, 0, 1, 1);
      const step = (event) => {
        const start = performance.now();
        canvas.dispatchEvent(event);
        redraw();
        rendered();
        return performance.now() - start;
      };
      const at = { clientX: 640, clientY: 400, bubbles: true, cancelable: true };
      const zoom = [];
      const pan = [];
      for (let i = 0; i < 8; ++i) zoom.push(step(new WheelEvent('wheel', { ...at, deltaY: -120 })));
      canvas.dispatchEvent(new PointerEvent('pointerdown', { ...at, pointerId: 1 }));
      for (let i = 1; i <= 8; ++i) {
        const move = { ...at, clientX: 640 + 20 * i, pointerId: 1 };
        pan.push(step(new PointerEvent('pointermove', move)));
      }
      canvas.dispatchEvent(new PointerEvent('pointerup', { ...at, pointerId: 1 }));
      for (let i = 0; i < 8; ++i) zoom.push(step(new WheelEvent('wheel', { ...at, deltaY: 120 })));
      return { ...stats, zoom, pan };
    });
    console.log(
      `${n} elements: ${figures.vertices} vertices, ${figures.bytes} bytes = ` +
        `${(figures.bytes / figures.vertices).toFixed(2)} bytes per vertex; fetch ` +
        `${figures.fetchMs.toFixed(0)} ms; from arrival to the first frame rendered ` +
        `${figures.firstFrameMs.toFixed(0)} ms (decoding ${figures.decodeMs.toFixed(0)} ms); ` +
        `zoom step median ${median(figures.zoom).toFixed(1)} ms (max ` +
        `${Math.max(...figures.zoom).toFixed(1)}), ` +
        `pan step median ${median(figures.pan).toFixed(1)} ms ` +
        `(max ${Math.max(...figures.pan).toFixed(1)})`
    );
  } finally {
    await app.close();
  }
}
