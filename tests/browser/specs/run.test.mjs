// A run started from the page: its question, progress and summary, what it does to the drawing,
// and the keyboard on its boxes.
import assert from 'node:assert/strict';
import { mkdir, copyFile } from 'node:fs/promises';
import { join } from 'node:path';
import { test } from 'node:test';
import {
  BOX,
  MAIN,
  PROGRESS,
  button,
  closeApp,
  dialog,
  dump,
  item,
  kelvara,
  openApp,
  serverState,
  waitUntil,
  writeRepeatedSample,
} from '../support/app.mjs';

// Records in the page every dialog drawn (id and title) and every value its progress bars
// show, however briefly they are shown.
function recordDialogs(page) {
  return page.evaluate(() => {
    window.drawn = [];
    window.progress = [];
    new MutationObserver((records) => {
      for (const r of records) {
        for (const node of r.addedNodes) {
          if (node.matches?.('section.dialog')) {
            const title = node.querySelector('h2').textContent;
            window.drawn.push({ id: Number(node.dataset.id), title });
          }
        }
        // A dialog kept open under another title (the status while loading becomes the
        // comparison's progress) counts as drawn again with its new title.
        if (r.type === 'childList' && r.target.tagName === 'H2') {
          const id = Number(r.target.closest('section.dialog').dataset.id);
          window.drawn.push({ id, title: r.target.textContent });
        }
        if (r.type === 'attributes' && r.target.tagName === 'PROGRESS') {
          window.progress.push(r.target.value);
        }
      }
    }).observe(document.body, {
      childList: true,
      subtree: true,
      attributes: true,
      attributeFilter: ['value'],
    });
  });
}

const drawnDialogs = (page) => page.evaluate(() => window.drawn);

const viewStats = (page) => page.evaluate(() => ({ ...window.kelvaraView.stats }));

// The number of elements of the drawing as a whole fetch of it decodes now.
const wholeDrawingElements = (page) =>
  page.evaluate(async () => {
    const { decode } = await import('./view_data.js');
    return decode(await (await fetch('api/drawing')).arrayBuffer()).elements;
  });

// The deleted flag of each element of a drawing, as `kelvara --dump` lists them.
async function deletedFlags(app, file) {
  return (await dump(app, file)).map((row) => row.deleted).join('');
}

// The same drawing cleaned by an unattended run (`kelvara FILE` in a folder of its own).
async function cleanedFromCommandLine(app, file) {
  const folder = join(app.dir, 'command-line');
  await mkdir(folder);
  await copyFile(join(app.dir, file.replace(/\.dgn$/, '.bak')), join(folder, file));
  await kelvara(app, [file], folder);
  return deletedFlags(app, join(folder, file));
}

// The sample, and a drawing of its elements 4000 times over, whose run lasts long enough for the
// progress dialog to be seen (on the sample alone it is gone within a frame or two).
const drawings = [
  { file: 'sample.dgn', found: '5 duplicate elements were found.' },
  { file: 'large.dgn', repeat: 4000, found: 'duplicate elements were found.', progress: true },
];

for (const { file, repeat, found, progress } of drawings) {
  test(`Start runs ${file} with progress and a summary, and cleans it`, async () => {
    const prepare = repeat ? (dir) => writeRepeatedSample(dir, file, repeat) : null;
    const app = await openApp({ file, prepare });
    try {
      const { page } = app;
      const untouched = await deletedFlags(app, file);
      assert.doesNotMatch(untouched, /1/);
      // The page has drawn the drawing (on a large one that takes it a while).
      await waitUntil(async () => (await viewStats(page)).drawings === 1, 20000);
      const viewBefore = await viewStats(page);
      await item(page, MAIN, 'Review each duplicate before it is removed').setChecked(false);
      await recordDialogs(page);
      await button(page, MAIN, 'Start').click();

      const summary = dialog(page, BOX);
      await assert.doesNotReject(summary.getByText(found).waitFor({ timeout: 30000 }));
      assert.equal(await button(page, MAIN, 'Start').isDisabled(), true); // the box ends the run
      if (progress) {
        const drawn = await drawnDialogs(page);
        assert.ok(
          drawn.some((d) => d.id === PROGRESS && d.title === 'Comparing Elements'),
          JSON.stringify(drawn)
        );
        const shown = await page.evaluate(() => window.progress);
        assert.ok(shown.some((v) => v > 0 && v < 100), JSON.stringify(shown));
        // The progress changes only dialogs: the drawing is not drawn again for each step (only
        // for what the view fetched, and once or twice as dialogs come and go).
        const now = await viewStats(page);
        const fetched = now.changes + now.drawings - viewBefore.changes - viewBefore.drawings;
        const frames = now.frames - viewBefore.frames - fetched;
        assert.ok(frames <= 2, `${frames} frames for ${shown.length} progress steps`);
      }
      await button(page, BOX, 'OK').click();
      await assert.doesNotReject(summary.waitFor({ state: 'detached' }));
      // The view takes the run's deletions out of the drawing it holds, without fetching it
      // whole again: it then holds as many elements as a whole drawing fetched now.
      await waitUntil(async () => (await viewStats(page)).revision !== viewBefore.revision, 10000);
      const viewAfter = await viewStats(page);
      assert.deepEqual([viewAfter.drawings, viewAfter.changes], [1, 1], JSON.stringify(viewAfter));
      assert.ok(viewAfter.elements < viewBefore.elements, JSON.stringify([viewBefore, viewAfter]));
      assert.equal(viewAfter.elements, await wholeDrawingElements(page));
      const start = button(page, MAIN, 'Start');
      await assert.doesNotReject(start.and(page.locator(':enabled')).waitFor());
      assert.equal(await dialog(page, PROGRESS).count(), 0);

      // The drawing is written when the program ends, cleaned as an unattended run cleans it.
      assert.equal(await closeApp(app), 0);
      const cleaned = await deletedFlags(app, file);
      assert.notEqual(cleaned, untouched);
      assert.equal(cleaned, await cleanedFromCommandLine(app, file));
    } finally {
      await app.close();
    }
  });
}

// A question before deleting (delete mode 1) answered with the keyboard: Esc takes its cancel
// button, Enter its default button.
const answers = [
  { key: 'Escape', runs: false },
  { key: 'Enter', runs: true },
];

for (const { key, runs } of answers) {
  test(`${key} on the question before deleting ${runs ? 'starts' : 'cancels'} it`, async () => {
    const app = await openApp();
    try {
      const { page } = app;
      const untouched = await deletedFlags(app, 'sample.dgn');
      await item(page, MAIN, 'Review each duplicate before it is removed').setChecked(false);
      await item(page, MAIN, 'Delete mode').selectOption({ index: 1 });
      await button(page, MAIN, 'Start').click();
      const question = dialog(page, BOX);
      await question.waitFor();
      assert.equal(await button(page, BOX, 'OK').count(), 1);
      assert.equal(await button(page, BOX, 'Cancel').count(), 1);
      await page.keyboard.press(key);
      if (runs) {
        const summary = dialog(page, BOX).getByText('5 duplicate elements were found.');
        await assert.doesNotReject(summary.waitFor());
        await page.keyboard.press('Enter'); // the summary's OK
        await assert.doesNotReject(dialog(page, BOX).waitFor({ state: 'detached' }));
      } else {
        await assert.doesNotReject(question.waitFor({ state: 'detached' }));
      }
      assert.equal(await closeApp(app), 0);
      const flags = await deletedFlags(app, 'sample.dgn');
      if (runs) assert.notEqual(flags, untouched);
      else assert.equal(flags, untouched);
    } finally {
      await app.close();
    }
  });
}

test('Enter in a settings field sends the value and presses Start', async () => {
  const app = await openApp();
  try {
    const { page } = app;
    await item(page, MAIN, 'Review each duplicate before it is removed').setChecked(false);
    const tolerance = item(page, MAIN, 'Tolerance (master units)');
    await tolerance.fill('0.5');
    await tolerance.press('Enter');
    const summary = dialog(page, BOX).getByText('duplicate elements were found');
    await assert.doesNotReject(summary.waitFor());
    const main = (await serverState(app)).dialogs.find((d) => d.id === MAIN);
    assert.equal(main.items.find((i) => i.caption === 'Tolerance (master units)').value, '0.5');
  } finally {
    await app.close();
  }
});
