// The "Input Files and Models" dialog as a user walks it: a second drawing picked for the right
// side, a row tagged, the tagged models saved to a models list and loaded back, then a run over
// the list's models; at the end of the run the dialog is back.
import assert from 'node:assert/strict';
import { copyFile, readFile } from 'node:fs/promises';
import { join } from 'node:path';
import { test } from 'node:test';
import {
  MAIN,
  PICKER,
  answerBox,
  button,
  deletedCount,
  dialog,
  enter,
  item,
  openApp,
  row,
  waitUntil,
} from '../support/app.mjs';

const MODELS = 200012;

// The cells of the models list's rows.
const modelRows = async (page) =>
  (await item(page, MODELS, 'Models').locator('option').allTextContents()).map((t) =>
    t.split(/\u00a0+/)
  );

test('models picked, tagged, saved to a models list, loaded back and run', async () => {
  const app = await openApp({ prepare: (dir) => copyFile(join(dir, 'sample.dgn'), join(dir, 'two.dgn')) });
  try {
    const { page } = app;
    await item(page, MAIN, 'Review each duplicate before it is removed').setChecked(false);
    await button(page, MAIN, 'Input Files and Models...').click();
    const models = dialog(page, MODELS);
    await models.getByRole('heading', { name: 'Kelvara - Compare Models of Selected Files' }).waitFor();
    await dialog(page, MAIN).waitFor({ state: 'detached' });

    await button(page, MODELS, 'Right files...').click();
    await row(page, PICKER, 'Folders and files', 'two.dgn').dblclick();
    await dialog(page, PICKER).waitFor({ state: 'detached' });
    await models.getByText('two.dgn').waitFor();
    // The active drawing's model on the left, the picked one's on the right.
    const sides = (r) => [r[1], r[2], r[4], r[5]];
    const pair = ['<Active File>', '<Active Model>', 'two.dgn', 'Default'];
    assert.deepEqual((await modelRows(page)).map(sides), [pair]);
    await item(page, MODELS, 'Models').selectOption({ index: 0 });
    await button(page, MODELS, 'Tag / untag').click();
    await models.getByText('\u2713').waitFor();

    await button(page, MODELS, 'Save tagged...').click();
    await dialog(page, PICKER).getByRole('heading', { name: 'Save tagged models to list file' }).waitFor();
    await enter(page, PICKER, 'File name', 'pair');
    await button(page, PICKER, 'Save').click();
    const listFile = join(app.dir, 'pair.txt');
    await answerBox(page, `File "${listFile}" was successfully created.`);
    assert.equal(
      await readFile(listFile, 'utf8'),
      `${join(app.dir, 'sample.dgn')},Default;${join(app.dir, 'two.dgn')},Default\n`
    );

    await item(page, MODELS, 'Compare').selectOption({ index: 3 });
    await models.getByRole('heading', { name: 'Kelvara - Compare Models Listed in a Text File' }).waitFor();
    assert.deepEqual(await modelRows(page), []);
    await button(page, MODELS, 'Load list...').click();
    await dialog(page, PICKER).getByRole('heading', { name: 'Load models list from file' }).waitFor();
    await row(page, PICKER, 'Folders and files', 'pair.txt').dblclick();
    await answerBox(page, `Models list was successfully loaded from file "${listFile}".`);
    assert.deepEqual((await modelRows(page)).map(sides), [pair]);

    await button(page, MODELS, 'Start').click();
    await answerBox(page, 'duplicate elements were found.');
    await waitUntil(() => button(page, MODELS, 'Start').isEnabled());
    await button(page, MODELS, 'Close').click();
    await dialog(page, MAIN).getByRole('heading').waitFor();
    const counts = [await deletedCount(app, 'sample.dgn'), await deletedCount(app, 'two.dgn')];
    assert.ok(counts[0] > 0, String(counts));
    assert.equal(counts[1], counts[0]);
  } finally {
    await app.close();
  }
});
