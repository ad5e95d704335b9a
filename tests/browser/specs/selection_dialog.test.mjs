// The Element Selection dialog in the browser, opened from the settings dialog: a set built
// with a level picker choice, colour swatches and a constraint row selects its elements in the
// drawing, is saved, and comes back the same when the dialog is opened again.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import {
  BOX,
  MAIN,
  button,
  closeApp,
  colourNear,
  dialog,
  field,
  item,
  liveByType,
  openApp,
  toScreen,
  waitUntil,
} from '../support/app.mjs';

const SETTINGS = 200100;
const SELECTION = 200400;
const LEVELS = 200303;
const COLORS = 200300;
const CONSTRAINT = 200500;
const FILES = 102;

// Types a text into a field and leaves it, so that the page sends it.
async function type(locator, text) {
  await locator.fill(text);
  await locator.press('Tab');
}

// Saves the dialog's sets under `name` through the file dialog, then closes the dialog.
async function saveAndClose(page, name) {
  await button(page, SELECTION, 'Save').click();
  await dialog(page, FILES).waitFor();
  await type(item(page, FILES, 'File name'), name);
  await button(page, FILES, 'Save').click();
  await dialog(page, FILES).waitFor({ state: 'detached' });
  await button(page, SELECTION, 'Close').click();
  await dialog(page, SELECTION).waitFor({ state: 'detached' });
}

// Milliseconds from pressing `caption` in the page until dialog `id` is drawn (the next frame
// painted), then the dialog is closed with Cancel.
async function openTime(page, caption, id) {
  const ms = await page.evaluate(
    async ({ from, caption, id }) => {
      const press = [...document.querySelectorAll(`section.dialog[data-id="${from}"] button`)].find(
        (b) => b.textContent === caption
      );
      const start = performance.now();
      const shown = new Promise((done) => {
        const observer = new MutationObserver(() => {
          if (!document.querySelector(`section.dialog[data-id="${id}"]`)) return;
          observer.disconnect();
          done();
        });
        observer.observe(document.body, { childList: true, subtree: true });
      });
      press.click();
      await shown;
      await new Promise((done) => requestAnimationFrame(() => setTimeout(done, 0)));
      return performance.now() - start;
    },
    { from: SELECTION, caption, id }
  );
  await button(page, id, 'Cancel').click();
  await dialog(page, id).waitFor({ state: 'detached' });
  return ms;
}

test('a selection set built in the dialog selects its elements, is saved and reopens', async (t) => {
  const app = await openApp();
  try {
    const { page } = app;
    await button(page, MAIN, 'Settings...').click();
    await item(page, SETTINGS, 'Page').selectOption('Run and scope');
    await button(page, SETTINGS, 'Element Selection...').click();
    await dialog(page, SELECTION).waitFor();

    await type(item(page, SELECTION, 'Name'), 'level nine lines');
    await waitUntil(async () => (await item(page, SELECTION, 'Name').inputValue()) === 'LEVEL NINE LINES');
    await button(page, SELECTION, 'Clear All Types').click();
    await item(page, SELECTION, 'Element types').selectOption(['Line']);

    // Level 9 from the level picker (its rows are levels 1 to 63).
    await button(page, SELECTION, 'Levels...').click();
    await dialog(page, LEVELS).waitFor();
    await dialog(page, LEVELS).locator('select').first().selectOption({ index: 8 });
    await button(page, LEVELS, 'OK').click();
    await dialog(page, LEVELS).waitFor({ state: 'detached' });
    await waitUntil(async () => (await item(page, SELECTION, 'Levels').inputValue()) === '9');

    // Colours 10 to 13 chosen as swatches collapse into a range.
    await button(page, SELECTION, 'Colors...').click();
    for (const colour of ['10', '11', '12', '13']) {
      await dialog(page, COLORS).locator(`button.cell[title="${colour}"]`).click();
    }
    await button(page, COLORS, 'OK').click();
    await waitUntil(async () => (await item(page, SELECTION, 'Colors').inputValue()) === '10:13');

    // One constraint row: lines of length 0 or more.
    await item(page, SELECTION, 'Constraints of').selectOption('Line');
    await button(page, SELECTION, 'Constraints...').click();
    await dialog(page, CONSTRAINT).waitFor();
    await item(page, CONSTRAINT, 'Length').selectOption({ index: 3 });
    await type(item(page, CONSTRAINT, 'value or LOW:HIGH'), '0');
    await button(page, CONSTRAINT, 'Add').click();
    await waitUntil(async () => (await item(page, CONSTRAINT, 'Constraints').locator('option').count()) === 1);
    await button(page, CONSTRAINT, 'OK').click();
    await dialog(page, CONSTRAINT).waitFor({ state: 'detached' });

    await button(page, SELECTION, 'Add').click();
    await waitUntil(async () => (await item(page, SELECTION, 'Selection Sets').locator('option').count()) === 1);
    // The drawing view shows the selected elements over the drawing: the middle of the first
    // level 9 line (100,0 to 110,5 m) turns to the selection's colour.
    const selectionColour = [255, 212, 0];
    const onLine = async () => colourNear(page, await toScreen(page, 105000, 2500), selectionColour);
    assert.equal(await onLine(), false);
    await button(page, SELECTION, 'Select').click();
    await waitUntil(async () => (await field(page, 'message').textContent()) === '4 elements selected');
    await waitUntil(onLine);

    const times = [];
    for (const [caption, id] of [['Colors...', COLORS], ['Levels...', LEVELS], ['Constraints...', CONSTRAINT]]) {
      times.push(`${caption} ${(await openTime(page, caption, id)).toFixed(1)} ms`);
    }
    t.diagnostic(`from the button to the dialog drawn: ${times.join(', ')}`);

    await saveAndClose(page, 'lines.sel');
    const criteria = item(page, SETTINGS, 'Selection file (.sel)');
    await waitUntil(async () => (await criteria.inputValue()).endsWith('/lines.sel'));

    await button(page, SETTINGS, 'Element Selection...').click();
    await dialog(page, SELECTION).waitFor();
    await waitUntil(async () => (await item(page, SELECTION, 'Levels').inputValue()) === '9');
    assert.equal(await item(page, SELECTION, 'Name').inputValue(), 'LEVEL NINE LINES');
    assert.equal(await item(page, SELECTION, 'Colors').inputValue(), '10:13');
    const chosen = await item(page, SELECTION, 'Element types').evaluate((s) =>
      [...s.selectedOptions].map((o) => o.textContent)
    );
    assert.deepEqual(chosen, ['Line  >']);
  } finally {
    await app.close();
  }
});

test('a run restricted to a selection set made in the dialog removes only the duplicates it admits', async () => {
  const app = await openApp();
  try {
    const { page } = app;
    const before = await liveByType(app);
    await button(page, MAIN, 'Settings...').click();
    await item(page, SETTINGS, 'Page').selectOption('Run and scope');
    await button(page, SETTINGS, 'Element Selection...').click();
    await dialog(page, SELECTION).waitFor();
    await type(item(page, SELECTION, 'Name'), 'lines');
    await button(page, SELECTION, 'Clear All Types').click();
    await item(page, SELECTION, 'Element types').selectOption(['Line']);
    await button(page, SELECTION, 'Add').click();
    await waitUntil(async () => (await item(page, SELECTION, 'Selection Sets').locator('option').count()) === 1);
    await saveAndClose(page, 'lines.sel');
    await waitUntil(async () => (await item(page, SETTINGS, 'Selection file (.sel)').inputValue()).endsWith('/lines.sel'));
    await item(page, SETTINGS, 'Scope: duplicates among the selected elements').setChecked(true);
    await button(page, SETTINGS, 'OK').click();
    await dialog(page, SETTINGS).waitFor({ state: 'detached' });

    await item(page, MAIN, 'Review each duplicate before it is removed').setChecked(false);
    await button(page, MAIN, 'Start').click();
    await button(page, BOX, 'OK').click({ timeout: 30000 });
    await assert.doesNotReject(button(page, MAIN, 'Start').and(page.locator(':enabled')).waitFor());
    // The drawing is written when the program ends: one of the two equal lines is gone, the
    // duplicate ellipse, text, cell and chain (not lines) stay.
    assert.equal(await closeApp(app), 0);
    assert.deepEqual(await liveByType(app), { ...before, 3: before[3] - 1 });
  } finally {
    await app.close();
  }
});
