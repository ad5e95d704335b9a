// A long run (10^5 crowded elements with near copies allowed) cancelled from its progress
// dialog: the run stops without a summary, and the drawing is left consistent.
import assert from 'node:assert/strict';
import { copyFile, mkdir } from 'node:fs/promises';
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
  field,
  item,
  kelvara,
  openApp,
  waitUntil,
  writeGeneratedDrawing,
} from '../support/app.mjs';

const COUNT = 100000;
const deletedFlags = async (app, file) => (await dump(app, file)).map((row) => row.deleted);

test('Cancel in the progress dialog stops a long run', async () => {
  const prepare = (dir) => writeGeneratedDrawing(dir, 'long.dgn', COUNT, 100000);
  const app = await openApp({ file: 'long.dgn', prepare });
  try {
    const { page, dir } = app;
    assert.ok((await deletedFlags(app, 'long.dgn')).every((flag) => flag === '0'));
    await item(page, MAIN, 'Review each duplicate before it is removed').setChecked(false);
    await item(page, MAIN, 'Near copies and overlapping linear elements count').setChecked(true);
    await button(page, MAIN, 'Start').click();

    // The comparison is under way: its counts and bar move.
    const progress = dialog(page, PROGRESS);
    const counter = progress.locator('.kind-label .caption');
    const done = async () => Number((await counter.textContent()).split('/')[0]);
    await assert.doesNotReject(waitUntil(async () => (await done()) > 0, 20000));
    assert.equal(await progress.getByRole('heading').textContent(), 'Comparing Elements');
    assert.match(await counter.textContent(), new RegExp(`^\\d+/${COUNT}\\b`));
    assert.ok((await progress.locator('progress').evaluate((bar) => bar.value)) < 100);

    await button(page, PROGRESS, 'Cancel').click();
    const question = dialog(page, BOX);
    const asked = question.getByText('Are you sure you wish to stop processing?');
    await assert.doesNotReject(asked.waitFor());
    await button(page, BOX, 'OK').click();
    await assert.doesNotReject(progress.waitFor({ state: 'detached' }));
    await assert.doesNotReject(
      button(page, MAIN, 'Start').and(page.locator(':enabled')).waitFor()
    );
    assert.match(await field(page, 'message').textContent(), /^Processing cancelled/);
    assert.equal(await dialog(page, BOX).count(), 0); // no summary
    assert.equal(await closeApp(app), 0);

    // Whatever the cancelled run removed, the whole run removes too.
    const cancelled = await deletedFlags(app, 'long.dgn');
    const folder = join(dir, 'whole');
    await mkdir(folder);
    await copyFile(join(dir, 'long.bak'), join(folder, 'long.dgn'));
    await kelvara(app, ['--set', 'OVERLAP=1', 'long.dgn'], folder);
    const whole = await deletedFlags(app, join(folder, 'long.dgn'));
    assert.equal(cancelled.length, whole.length);
    assert.ok(cancelled.every((flag, i) => flag === '0' || whole[i] === '1'));
    const removed = (flags) => flags.filter((flag) => flag === '1').length;
    assert.ok(removed(whole) > removed(cancelled));
  } finally {
    await app.close();
  }
});
