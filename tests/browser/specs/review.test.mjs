// The interactive review of the sample's duplicates: the view goes to each one, the user
// deletes, restores, keeps and finally lets the rest be reported, and the text report and
// the drawing say what was decided.
import assert from 'node:assert/strict';
import { readFile } from 'node:fs/promises';
import { join } from 'node:path';
import { test } from 'node:test';
import {
  BOX,
  MAIN,
  button,
  closeApp,
  dialog,
  liveByType,
  openApp,
  serverState,
  waitUntil,
} from '../support/app.mjs';

const REVIEW = 200007;

// True when every point of the highlighted element lies inside view 1's area.
function highlightInView(view) {
  const [x, y, dx, dy] = view.area;
  const points = view.highlight.flat();
  if (points.length === 0) return false;
  for (let i = 0; i < points.length; i += 2) {
    const [px, py] = [points[i], points[i + 1]];
    if (px < x || px > x + dx || py < y || py > y + dy) return false;
  }
  return true;
}

// Figure, printed and not judged: a review button's round trip, from the click on Zoom in or
// Zoom out until the view has moved and the next frame is drawn.
async function zoomRoundTrips(page) {
  const times = await page.evaluate(async (reviewId) => {
    const buttons = [...document.querySelectorAll(`section.dialog[data-id="${reviewId}"] button`)];
    const zoom = ['Zoom in', 'Zoom out'].map((t) => buttons.find((b) => b.textContent === t));
    const frame = () => new Promise((done) => requestAnimationFrame(done));
    const where = () => JSON.stringify(window.kelvaraView.toScreen(1e7, 1e7));
    const out = [];
    for (let n = 0; n < 11; ++n) {
      const before = where();
      const start = performance.now();
      zoom[n % 2].click();
      while (where() === before) await frame();
      await new Promise((done) => requestAnimationFrame(() => setTimeout(done, 0)));
      out.push(performance.now() - start);
    }
    return out;
  }, REVIEW);
  const sorted = [...times].sort((a, b) => a - b);
  return `review button round trip (zoom, until the view moved and a frame drawn) over 11: ` +
    `median ${sorted[5].toFixed(1)} ms, max ${sorted[10].toFixed(1)} ms`;
}

test('a review deletes, restores, keeps and reports the rest, and the report says so', async (t) => {
  const app = await openApp();
  try {
    const { page } = app;
    const review = dialog(page, REVIEW);
    const lines = review.locator('select');
    const pressReview = (caption) => button(page, REVIEW, caption).click();
    const before = await liveByType(app);
    await button(page, MAIN, 'Start').click();

    // The first duplicate, the line: shown in the view, highlighted with its partner.
    await assert.doesNotReject(review.waitFor());
    assert.equal(await dialog(page, MAIN).count(), 0, 'the main dialog waits out the review');
    let state = await serverState(app);
    assert.ok(highlightInView(state.view), JSON.stringify(state.view.area));
    assert.notEqual(state.view.partner.length, 0);
    assert.match(await lines.locator('option').last().textContent(), /type 3 \(line\) element is duplicate/);

    await pressReview('Delete');
    await assert.doesNotReject(button(page, REVIEW, 'Undelete').waitFor());
    await pressReview('Undelete');
    await assert.doesNotReject(button(page, REVIEW, 'Delete').waitFor());
    await pressReview('Delete and Continue');

    // The ellipse is kept; its partner then waits as a duplicate of the kept one.
    await waitUntil(async () => (await lines.locator('option').count()) === 2);
    assert.match(await lines.locator('option').last().textContent(), /type 15 \(ellipse\)/);
    state = await serverState(app);
    assert.ok(highlightInView(state.view));
    t.diagnostic(await zoomRoundTrips(page));
    await pressReview('Next duplicate');
    await waitUntil(async () => (await lines.locator('option').count()) === 3);
    await pressReview('Report the rest of the model only');

    await button(page, BOX, 'OK').click({ timeout: 30000 });
    await assert.doesNotReject(dialog(page, MAIN).waitFor());
    assert.equal(await review.count(), 0);

    const report = await readFile(join(app.dir, 'kelvara.trf'), 'latin1');
    assert.match(report, /type 3 \(line\) element was duplicate\. Deleted\./);
    assert.equal(report.match(/type 15 \(ellipse\) element is duplicate/g)?.length, 2, report);
    assert.doesNotMatch(report, /\(ellipse\) element was duplicate/);
    // The rest of the model was reported, nothing of it deleted.
    assert.match(report, /type 12 \(connected string \(complex\)\) element is duplicate/);
    assert.equal(report.match(/Deleted\./g)?.length, 1);

    // The drawing, written when the program ends, lost one line and nothing else.
    assert.equal(await closeApp(app), 0);
    assert.deepEqual(await liveByType(app), { ...before, 3: before[3] - 1 });
  } finally {
    await app.close();
  }
});
