// The settings dialog in the browser: opened from the main dialog, Cancel gives a changed
// setting back, OK keeps it.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { MAIN, button, dialog, item, openApp, serverState, waitUntil } from '../support/app.mjs';

const SETTINGS = 200100;
const CAPTION = 'Rotated copies count';

// ALLOW_ROTATION as the server holds it (the main dialog's item bound to it).
async function heldRotation(app) {
  const state = await serverState(app);
  const main = state.dialogs.find((d) => d.id === MAIN);
  return main.items.find((i) => i.caption === CAPTION).value;
}

async function openSettings(page) {
  await button(page, MAIN, 'Settings...').click();
  await dialog(page, SETTINGS).waitFor();
}

test('a setting changed in the settings dialog comes back on Cancel and stays on OK', async () => {
  const app = await openApp();
  try {
    const { page } = app;
    assert.equal(await heldRotation(app), '0');
    for (const [close, held] of [
      ['Cancel', '0'],
      ['OK', '1'],
    ]) {
      await openSettings(page);
      const toggle = item(page, SETTINGS, CAPTION);
      assert.equal(await toggle.isChecked(), false);
      await toggle.setChecked(true);
      await waitUntil(async () => (await heldRotation(app)) === '1');
      await button(page, SETTINGS, close).click();
      await dialog(page, SETTINGS).waitFor({ state: 'detached' });
      await waitUntil(async () => (await heldRotation(app)) === held);
      await waitUntil(async () => (await item(page, MAIN, CAPTION).isChecked()) === (held === '1'));
    }
  } finally {
    await app.close();
  }
});
