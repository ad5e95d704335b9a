// Loading and saving settings through the main dialog's Settings menu and its file dialog, and
// the prompt that offers to save changed settings on close.
import assert from 'node:assert/strict';
import { readFile, writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { test } from 'node:test';
import {
  BOX,
  MAIN,
  button,
  dialog,
  exitWithin,
  item,
  menuCommand,
  openApp,
  waitUntil,
} from '../support/app.mjs';

const PICKER = 102; // the file dialog

const toleranceIn = async (path) =>
  (await readFile(path, 'latin1').catch(() => '')).match(/^TOLERANCE=(.*?)\r?$/m)?.[1];
// Resolves once the settings file at `path` holds `value` as its TOLERANCE.
const written = (path, value) => waitUntil(async () => (await toleranceIn(path)) === value);

// Picks `path` in the file dialog titled `title` by typing it and pressing `ok`.
async function pick(page, title, path, ok) {
  const picker = dialog(page, PICKER);
  assert.equal(await picker.getByRole('heading').textContent(), title);
  await item(page, PICKER, 'File name').fill(path);
  await button(page, PICKER, ok).click();
  await picker.waitFor({ state: 'detached' });
}

test('Load and save settings through the menu, and save them when closing', async () => {
  const prepare = (dir) => writeFile(join(dir, 'mine.ini'), 'TOLERANCE=0.25\r\nOVERLAP=1\r\n');
  const app = await openApp({ prepare });
  try {
    const { page, dir } = app;
    const tolerance = item(page, MAIN, 'Tolerance (master units)');
    const label = dialog(page, MAIN).locator('.menubar .kind-label');

    await menuCommand(page, MAIN, 'Settings', 'Load Settings...');
    await pick(page, 'Load Settings', join(dir, 'mine.ini'), 'Open');
    await assert.doesNotReject(waitUntil(async () => (await tolerance.inputValue()) === '0.25'));
    const overlap = item(page, MAIN, 'Near copies and overlapping linear elements count');
    assert.equal(await overlap.isChecked(), true);
    assert.match(await label.textContent(), /^Settings File: .*mine\.ini$/);

    await tolerance.fill('0.5');
    await tolerance.press('Tab');
    await menuCommand(page, MAIN, 'Settings', 'Save Settings');
    await assert.doesNotReject(written(join(dir, 'mine.ini'), '0.5'));

    // Save As: a name without extension gets .ini, and becomes the settings file.
    await menuCommand(page, MAIN, 'Settings', 'Save Settings As...');
    await pick(page, 'Save Settings', join(dir, 'copy'), 'Save');
    await assert.doesNotReject(written(join(dir, 'copy.ini'), '0.5'));
    assert.match(await label.textContent(), /copy\.ini$/);

    // Help: the link's page is served by the program; About tells the version.
    const help = dialog(page, MAIN).locator('.menubar a', { hasText: 'Kelvara Help' });
    const served = await fetch(new URL(await help.getAttribute('href'), app.url));
    assert.equal(served.status, 200);
    assert.match(await served.text(), /Usage:/);
    await menuCommand(page, MAIN, 'Help', 'About Kelvara...');
    await assert.doesNotReject(dialog(page, BOX).getByText(/^Kelvara\nVersion \d/).waitFor());
    await button(page, BOX, 'OK').click();

    // Changed and not saved: closing asks, and Save writes the current file.
    await tolerance.fill('0.75');
    await tolerance.press('Tab');
    await button(page, MAIN, 'Close').click();
    const prompt = dialog(page, BOX);
    await assert.doesNotReject(prompt.getByText('Kelvara settings have changed.').waitFor());
    assert.match(await prompt.textContent(), /Settings file name: .*copy\.ini/);
    await button(page, BOX, 'Save').click();
    assert.deepEqual(await exitWithin(app, 10000), { code: 0, signal: null });
    assert.equal(await toleranceIn(join(dir, 'copy.ini')), '0.75');
    assert.equal(await toleranceIn(join(dir, 'mine.ini')), '0.5');
  } finally {
    await app.close();
  }
});
