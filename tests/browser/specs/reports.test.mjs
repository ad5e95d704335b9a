// The reports after a run: the text report in a page of its own, the design report shown in
// place of the design file and left again.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import {
  BOX,
  MAIN,
  button,
  colourNear,
  dialog,
  field,
  item,
  openApp,
  toScreen,
  waitUntil,
} from '../support/app.mjs';

test('after a run the text report opens in a page and the design report is shown and left', async () => {
  const app = await openApp();
  try {
    const { page } = app;
    const main = dialog(page, MAIN);
    const start = button(page, MAIN, 'Start');
    const textButton = button(page, MAIN, 'View Text Report');
    const designButton = button(page, MAIN, 'View Design Report');
    await item(page, MAIN, 'Review each duplicate before it is removed').setChecked(false);
    await start.click();
    await button(page, BOX, 'OK').click({ timeout: 30000 });
    await assert.doesNotReject(textButton.and(page.locator(':enabled')).waitFor());

    const [report] = await Promise.all([page.context().waitForEvent('page'), textButton.click()]);
    await report.waitForLoadState();
    assert.equal(await report.evaluate(() => document.contentType), 'text/plain');
    const text = await report.locator('body').textContent();
    assert.match(text, /^Kelvara /);
    assert.match(text, /File: +\S*sample\.dgn\n/);
    assert.match(await field(page, 'message').textContent(), /^Text report: \S*kelvara\.trf$/);
    await report.close();

    await designButton.click();
    const back = button(page, MAIN, 'Return to Original File');
    await assert.doesNotReject(back.waitFor());
    assert.equal(await start.isDisabled(), true);
    await assert.doesNotReject(main.getByText(/^Design file: \S*sample\.drf$/).waitFor());
    assert.match(await field(page, 'message').textContent(), /^Design report: \S*sample\.drf$/);
    // The drawing view shows the report: the duplicate circle (centre 50,10 m, radius 3 m) in
    // the duplicates' colour 2.
    const onCircle = () => toScreen(page, 53000, 10000);
    await waitUntil(async () => colourNear(page, await onCircle(), [0, 255, 0]));

    await back.click();
    await assert.doesNotReject(designButton.waitFor());
    await assert.doesNotReject(start.and(page.locator(':enabled')).waitFor());
    await assert.doesNotReject(main.getByText(/^Design file: \S*sample\.dgn$/).waitFor());
    assert.match(await field(page, 'message').textContent(), /^Back to \S*sample\.dgn$/);
  } finally {
    await app.close();
  }
});
