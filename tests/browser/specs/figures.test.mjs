// Figures, printed and not judged: from starting `kelvara --ui` to the main dialog drawn, and a
// dialog event's round trip (a choice changed in the page until the page has patched the item
// it shows, and until the next frame is drawn).
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { MAIN, openApp } from '../support/app.mjs';

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

test('figures: start-up and an event round trip', async (t) => {
  const startups = [];
  let roundTrips = { patched: [], drawn: [] };
  for (let i = 0; i < 3; ++i) {
    const app = await openApp();
    try {
      startups.push(app.startupMs);
      if (i === 0) {
        // In the page: "Process" switched between its two choices, each time until the
        // comparison-list field has been shown or hidden and a frame drawn.
        roundTrips = await app.page.evaluate(async (mainId) => {
          const main = document.querySelector(`section.dialog[data-id="${mainId}"]`);
          const [process, list] = [...main.querySelectorAll('.item')].filter((row) =>
            ['Process', 'Comparison list (.lst)'].includes(
              row.querySelector('.caption')?.textContent
            )
          );
          const select = process.querySelector('select');
          const times = { patched: [], drawn: [] };
          for (let n = 0; n < 21; ++n) {
            const listShown = n % 2 === 0;
            const patched = new Promise((done) => {
              const observer = new MutationObserver(() => {
                if (list.hidden === listShown) return; // not yet
                observer.disconnect();
                done(performance.now());
              });
              observer.observe(list, { attributes: true, attributeFilter: ['hidden'] });
            });
            const start = performance.now();
            select.selectedIndex = listShown ? 1 : 0;
            select.dispatchEvent(new Event('change'));
            times.patched.push((await patched) - start);
            // Drawn: the frame after the change has been painted.
            await new Promise((done) => requestAnimationFrame(() => setTimeout(done, 0)));
            times.drawn.push(performance.now() - start);
          }
          return times;
        }, MAIN);
      }
    } finally {
      await app.close();
    }
  }
  assert.equal(roundTrips.drawn.length, 21);
  const line =
    `kelvara --ui to the main dialog drawn: median ${median(startups).toFixed(0)} ms ` +
    `(${startups.map((v) => v.toFixed(0)).join(', ')}); event round trip over 21: ` +
    `to the page patched median ${median(roundTrips.patched).toFixed(1)} ms, ` +
    `to the next frame drawn median ${median(roundTrips.drawn).toFixed(1)} ms ` +
    `(max ${Math.max(...roundTrips.drawn).toFixed(1)} ms)`;
  t.diagnostic(line);
});
