// The files a run covers, chosen as a user does: design files picked with the file dialog, and
// a comparison list made with the editor, chosen with the file dialog, then run.
import assert from 'node:assert/strict';
import { copyFile, mkdir, readFile, writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { test } from 'node:test';
import {
  BOX,
  MAIN,
  PICKER,
  answerBox,
  button,
  closeApp,
  deletedCount,
  dialog,
  enter,
  item,
  openApp,
  row,
  serverState,
  waitUntil,
} from '../support/app.mjs';

const drawings = ['drawings/one.dgn', 'drawings/two.dgn', 'new/a.dgn', 'old/a.dgn'];

async function prepare(dir) {
  for (const sub of ['drawings', 'new', 'old']) await mkdir(join(dir, sub));
  for (const file of drawings) await copyFile(join(dir, 'sample.dgn'), join(dir, file));
  // Hidden names are not listed.
  await mkdir(join(dir, '.hidden'));
  await writeFile(join(dir, '.hidden.dgn'), 'x');
}

// Starts a run without review and closes its summary.
async function run(page) {
  await button(page, MAIN, 'Start').click();
  await answerBox(page, 'duplicate elements were found.');
}

test('picked design files run; a comparison list made with the editor is chosen and run', async () => {
  const app = await openApp({ prepare });
  try {
    const { page } = app;
    await item(page, MAIN, 'Review each duplicate before it is removed').setChecked(false);

    // The picker starts in the active file's folder; a double click opens a folder.
    await button(page, MAIN, 'Select design files...').click();
    const picker = dialog(page, PICKER);
    await picker.getByRole('heading', { name: 'Select Design Files' }).waitFor();
    const list = item(page, PICKER, 'Folders and files');
    const rows = await list.locator('option').allTextContents();
    assert.equal(rows[0], '../');
    assert.ok(rows.includes('drawings/') && !rows.includes('.hidden/'), rows.join());
    assert.deepEqual(rows.filter((r) => !r.endsWith('/')), ['sample.dgn']);
    await row(page, PICKER, 'Folders and files', 'drawings/').dblclick();
    await row(page, PICKER, 'Folders and files', 'one.dgn').waitFor();
    await list.selectOption(['one.dgn', 'two.dgn']);
    const names = item(page, PICKER, 'File name');
    await waitUntil(async () => (await names.inputValue()) === '"one.dgn" "two.dgn"');
    await button(page, PICKER, 'Open').click();
    await picker.waitFor({ state: 'detached' });
    await dialog(page, MAIN).getByText('Design files: 2 picked').waitFor();
    await run(page);

    // The editor: a wildcard pair expanded, the list written with "Create list as...",
    // chosen with "Select list..." and run.
    await item(page, MAIN, 'Process').selectOption({ index: 1 });
    await enter(page, MAIN, 'Newer file', 'new/*.dgn');
    await enter(page, MAIN, 'Older file', 'old/*.dgn');
    await button(page, MAIN, 'Add pair').click();
    await button(page, BOX, 'OK').click(); // expand the wildcard
    const pairs = item(page, MAIN, 'Pairs');
    await pairs.locator('option').first().waitFor();
    assert.deepEqual(
      (await pairs.locator('option').allTextContents()).map((t) => t.split(/\u00a0+/)),
      [['new/a.dgn', 'old/a.dgn']]
    );
    await button(page, MAIN, 'Create list as...').click();
    await picker.getByRole('heading', { name: 'Create A Batch File' }).waitFor();
    await enter(page, PICKER, 'File name', 'pairs');
    await button(page, PICKER, 'Save').click();
    await picker.waitFor({ state: 'detached' });
    // The dialog is gone as soon as the name is chosen; the list is written just after.
    const written = () => readFile(join(app.dir, 'pairs.lst'), 'utf8').catch(() => null);
    await waitUntil(async () => (await written()) !== null);
    assert.equal(await written(), 'new/a.dgn|old/a.dgn\n');
    await button(page, MAIN, 'Select list...').click();
    await row(page, PICKER, 'Folders and files', 'pairs.lst').dblclick();
    await picker.waitFor({ state: 'detached' });
    const batch = (await serverState(app)).dialogs
      .find((d) => d.id === MAIN)
      .items.find((i) => i.caption === 'Comparison list (.lst)');
    assert.equal(batch.value, join(app.dir, 'pairs.lst'));
    await run(page);

    assert.equal(await closeApp(app), 0);
    // Every drawing of both runs is cleaned alike; the active file, never picked, is not.
    const counts = await Promise.all(drawings.map((file) => deletedCount(app, file)));
    assert.ok(counts[0] > 0);
    assert.deepEqual(counts, drawings.map(() => counts[0]));
    assert.equal(await deletedCount(app, 'sample.dgn'), 0);
  } finally {
    await app.close();
  }
});
