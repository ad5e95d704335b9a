// The main dialog in the browser: what it shows on opening, settings changed and refused,
// and Close ending the program.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import {
  MAIN,
  button,
  dialog,
  exitWithin,
  field,
  item,
  kelvara,
  openApp,
  serverState,
  waitUntil,
} from '../support/app.mjs';

// The value the server holds for a main dialog item (read from the settings record it is
// bound to).
async function heldValue(app, caption) {
  const state = await serverState(app);
  const main = state.dialogs.find((d) => d.id === MAIN);
  return main.items.find((i) => i.caption === caption).value;
}

test('the page opens on the main dialog, its title, the message fields, the settings', async () => {
  const app = await openApp();
  try {
    const { page } = app;
    const main = dialog(page, MAIN);
    await assert.doesNotReject(main.getByRole('heading', { name: 'Kelvara' }).waitFor());
    const version = (await kelvara(app, ['--version'])).trim();
    assert.match(version, /^Kelvara \S+$/);
    assert.equal(await field(page, 'status').textContent(), version);
    for (const name of ['prompt', 'message', 'error']) {
      assert.equal(await field(page, name).count(), 1, name);
    }
    await assert.doesNotReject(main.getByText('Design file: sample.dgn').waitFor());
    assert.equal(await item(page, MAIN, 'Tolerance (master units)').inputValue(), '1.0');
    const review = item(page, MAIN, 'Review each duplicate before it is removed');
    assert.equal(await review.isChecked(), true);
    assert.equal(await item(page, MAIN, 'Comparison list (.lst)').isVisible(), false);
    assert.equal(await button(page, MAIN, 'Start').isEnabled(), true);
  } finally {
    await app.close();
  }
});

// Each kind of item the main dialog has, changed as a user does.
const changes = [
  { caption: 'Tolerance (master units)', kind: 'number', value: '0.25' },
  { caption: 'Reversed copies count', kind: 'toggle', value: '1' },
  { caption: 'Review each duplicate before it is removed', kind: 'toggle', value: '0' },
  { caption: 'Delete mode', kind: 'option', value: '2', label: '2: confirm first' },
  { caption: 'Comparison list (.lst)', kind: 'text', value: 'plans.lst', after: ['Process', 1] },
];

test('a setting changed in the main dialog is held in the settings record', async () => {
  const app = await openApp();
  try {
    const { page } = app;
    for (const change of changes) {
      if (change.after) {
        await item(page, MAIN, change.after[0]).selectOption({ index: change.after[1] });
      }
      const input = item(page, MAIN, change.caption);
      await input.waitFor({ state: 'visible' });
      if (change.kind === 'toggle') await input.setChecked(change.value === '1');
      else if (change.kind === 'option') await input.selectOption({ label: change.label });
      else {
        await input.fill(change.value);
        await input.press('Tab');
      }
      await assert.doesNotReject(
        waitUntil(async () => (await heldValue(app, change.caption)) === change.value),
        change.caption
      );
    }
    assert.equal(await field(page, 'error').textContent(), '');
  } finally {
    await app.close();
  }
});

test('a refused value changes nothing, the error field names the setting until a value is taken', async () => {
  for (const typed of ['0,5', '-1', 'abc']) {
    const app = await openApp();
    try {
      const { page } = app;
      const tolerance = item(page, MAIN, 'Tolerance (master units)');
      await tolerance.fill(typed);
      await tolerance.press('Tab');
      await assert.doesNotReject(
        field(page, 'error').filter({ hasText: /^Tolerance \(master units\): .+/ }).waitFor(),
        `"${typed}" is not named in the error field`
      );
      assert.equal(await heldValue(app, 'Tolerance (master units)'), '1.0', typed);
      // The field shows the value held again once the refusal has come back.
      await waitUntil(async () => (await tolerance.inputValue()) === '1.0');
      // A value then taken clears the error its refusal left.
      await tolerance.fill('2.5');
      await tolerance.press('Tab');
      await waitUntil(async () => (await heldValue(app, 'Tolerance (master units)')) === '2.5');
      await waitUntil(async () => (await field(page, 'error').textContent()) === '');
    } finally {
      await app.close();
    }
  }
});

test('Close ends the program with status 0 and the page says so', async () => {
  const app = await openApp();
  try {
    const { page } = app;
    await button(page, MAIN, 'Close').click();
    // At once, not when the event stream gives up reconnecting.
    await assert.doesNotReject(page.getByText('Kelvara has ended').waitFor({ timeout: 1000 }));
    const exit = await exitWithin(app, 5000);
    assert.deepEqual(exit, { code: 0, signal: null });
    assert.equal(app.stderr(), '');
  } finally {
    await app.close();
  }
});
