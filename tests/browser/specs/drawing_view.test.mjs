// The drawing view on the sample: the circle is drawn in its colour at its place and nothing
// at its centre; the wheel zooms about the cursor and a drag pans, and both become the host's
// view 1 area; a click on the circle shows its description in the message field.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { colourNear, field, openApp, serverState, toScreen, waitUntil } from '../support/app.mjs';

const M = 1000; // UOR per master unit of the sample
const ORANGE = [255, 127, 0]; // colour 6 of the default table: the circle of the sample

const hostArea = async (app) => (await serverState(app)).view.area;

// Waits until the host's area is no longer `before`; the new one.
async function areaAfter(app, before) {
  let area = before;
  await waitUntil(async () => (area = await hostArea(app)).some((v, i) => v !== before[i]));
  return area;
}

test('the drawing view draws the model, follows the mouse into view 1 and identifies', async () => {
  const app = await openApp();
  const { page } = app;
  try {
    await page.setViewportSize({ width: 1280, height: 800 });
    await waitUntil(() => page.evaluate(() => window.kelvaraView.stats.bytes > 0));
    // Fit: the host's area becomes the whole drawing in the window's proportions.
    const canvasBox = await page.locator('#view-canvas').boundingBox();
    await page.locator('#view-fit').click();
    await waitUntil(async () => {
      const [, , dx, dy] = await hostArea(app);
      return dx > 50 * M && Math.abs(dx / dy - canvasBox.width / canvasBox.height) < 1e-3;
    });
    await page.evaluate(() => window.kelvaraView.redraw());

    // The circle (centre 50,10, radius 3) in its colour, its centre dark.
    const onCircle = await toScreen(page, 53 * M, 10 * M);
    const centre = await toScreen(page, 50 * M, 10 * M);
    assert.ok(await colourNear(page, onCircle, ORANGE), 'the circle is drawn in its colour');
    assert.ok(!(await colourNear(page, centre, ORANGE)), 'nothing is drawn at its centre');

    // Wheel: zooms in about the cursor; the host's area shrinks by the same factor and keeps
    // the point under the cursor in place.
    const before = await hostArea(app);
    const worldAt = (area, [x, y]) => [
      area[0] + ((x - canvasBox.x) / canvasBox.width) * area[2],
      area[1] + (1 - (y - canvasBox.y) / canvasBox.height) * area[3],
    ];
    await page.mouse.move(...centre);
    await page.mouse.wheel(0, -240);
    const zoomed = await areaAfter(app, before);
    assert.ok(Math.abs(before[2] / zoomed[2] - Math.exp(0.36)) < 0.01, `zoom ${before} ${zoomed}`);
    const [bx, by] = worldAt(before, centre);
    const [zx, zy] = worldAt(zoomed, centre);
    assert.ok(Math.hypot(bx - zx, by - zy) < zoomed[2] / 500, 'the point under the cursor stays');

    // Drag: the area moves against the mouse by the distance in UOR.
    await page.mouse.down();
    await page.mouse.move(centre[0] + 100, centre[1] + 50, { steps: 5 });
    await page.mouse.up();
    const panned = await areaAfter(app, zoomed);
    const uorPerPixel = zoomed[2] / canvasBox.width;
    assert.ok(Math.abs(panned[0] - (zoomed[0] - 100 * uorPerPixel)) < uorPerPixel);
    assert.ok(Math.abs(panned[1] - (zoomed[1] + 50 * uorPerPixel)) < uorPerPixel);
    assert.equal(panned[2], zoomed[2]);

    // A click on the circle identifies it.
    await page.mouse.click(...(await toScreen(page, 53 * M, 10 * M)));
    const message = field(page, 'message');
    await waitUntil(async () => /type 15 \(ellipse\)/.test(await message.textContent()));
    assert.match(await message.textContent(), /Lv 6, Co 6, Wt 0, St 0, type 15/);
  } finally {
    await app.close();
  }
});
