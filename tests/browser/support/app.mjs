// Starts `kelvara --ui` on a scratch folder and opens its page in Debian's Chromium.
//
// Each test gets its own server, browser profile and scratch folder (with APPDATA, HOME and
// TEMP inside it); `close()` closes the page and the browser, then stops the server if it is
// still running, and removes the folder.
import { spawn, execFile } from 'node:child_process';
import { copyFile, mkdir, mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';
import { chromium } from 'playwright-core';

const sourceDir = resolve(dirname(fileURLToPath(import.meta.url)), '../../..');
export const kelvaraBin = process.env.KELVARA_BIN || join(sourceDir, 'build/app/kelvara');
const chromiumBin = process.env.KELVARA_CHROMIUM || '/usr/bin/chromium';
// Without these Chromium keeps calling outside hosts, which a closed network never answers.
const chromiumArgs = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

export const MAIN = 200002;
export const BOX = 100; // the first message box's dialog id
export const PROGRESS = 101; // the progress dialog's id
export const PICKER = 102; // the file dialog's id

const run = promisify(execFile);

// Runs `kelvara ARGS...` with the scratch folder's environment, in `cwd` (the scratch folder
// by default); its standard output.
export async function kelvara(app, args, cwd = app.dir) {
  const { stdout } = await run(kelvaraBin, args, { cwd, env: app.env, maxBuffer: 1 << 28 });
  return stdout;
}

// The rows of `kelvara --dump FILE` as objects keyed by the header's column names.
export async function dump(app, file) {
  const [header, ...rows] = (await kelvara(app, ['--dump', '--header', file])).trim().split('\n');
  const names = header.split('\t');
  return rows.map((row) => Object.fromEntries(row.split('\t').map((v, i) => [names[i], v])));
}

function firstLine(stream) {
  return new Promise((resolveLine, reject) => {
    const lines = createInterface({ input: stream });
    const noLine = () => reject(new Error('kelvara --ui printed no address'));
    lines.once('close', noLine);
    lines.once('line', (line) => {
      lines.off('close', noLine);
      lines.close();
      resolveLine(line);
    });
  });
}

// A fresh scratch folder holding a copy of examples/sample.dgn, and the environment that keeps
// the program's settings and temporary files inside it.
export async function makeScratch() {
  const dir = await mkdtemp(join(tmpdir(), 'kelvara-browser-'));
  const env = {
    ...process.env,
    APPDATA: join(dir, 'appdata'),
    HOME: join(dir, 'home'),
    TEMP: join(dir, 'tmp'),
    TMPDIR: join(dir, 'tmp'),
    XDG_CONFIG_HOME: join(dir, 'home/.config'),
  };
  for (const sub of ['home', 'tmp']) await mkdir(join(dir, sub));
  await copyFile(join(sourceDir, 'examples/sample.dgn'), join(dir, 'sample.dgn'));
  return { dir, env };
}

// Starts `kelvara --ui --no-browser [FILE]` in the scratch folder (no --port: the program
// takes a free port) and reads the page's address from its first line.
export async function startServer(scratch, file) {
  const args = ['--ui', '--no-browser', ...(file ? [file] : [])];
  const started = performance.now();
  const child = spawn(kelvaraBin, args, {
    cwd: scratch.dir,
    env: scratch.env,
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let stderr = '';
  child.stderr.on('data', (chunk) => (stderr += chunk));
  const exited = new Promise((done) => {
    child.once('exit', (code, signal) => done({ code, signal }));
  });
  const server = { ...scratch, child, started, exited, stderr: () => stderr };
  try {
    server.url = await firstLine(child.stdout);
  } catch (error) {
    child.kill('SIGKILL');
    await exited;
    throw new Error(`${error.message}: ${stderr}`);
  }
  return server;
}

// The exit of the server, or null when it has not ended within `ms`.
export function exitWithin(app, ms) {
  return Promise.race([app.exited, new Promise((done) => setTimeout(() => done(null), ms))]);
}

export async function launchBrowser(dir) {
  const profile = await mkdtemp(join(dir, 'profile-'));
  return chromium.launchPersistentContext(profile, {
    executablePath: chromiumBin,
    headless: true,
    args: chromiumArgs,
  });
}

// The server on a copy of the sample (`file`: the active design file, '' for none) and a page
// showing its main dialog; `startupMs` is the time from starting the program to the main
// dialog drawn. `prepare(folder)` adds files to the scratch folder before the program starts.
// `close()` leaves nothing behind.
export async function openApp({ file = 'sample.dgn', prepare = null } = {}) {
  const scratch = await makeScratch();
  if (prepare) await prepare(scratch.dir);
  let context = null;
  let app = { ...scratch, child: null };
  try {
    context = await launchBrowser(scratch.dir);
    context.setDefaultTimeout(5000); // what a user would wait for, not Playwright's 30 s
    const page = context.pages()[0] || (await context.newPage());
    app = await startServer(scratch, file);
    await page.goto(app.url);
    await dialog(page, MAIN).getByRole('heading').waitFor();
    app.startupMs = performance.now() - app.started;
    app.page = page;
  } catch (error) {
    await stop(app, context);
    throw error;
  }
  app.close = () => stop(app, context);
  return app;
}

async function stop(app, context) {
  if (context) {
    for (const page of context.pages()) await page.close();
    await context.close();
  }
  if (app.child && app.child.exitCode === null && app.child.signalCode === null) {
    app.child.kill('SIGTERM');
    if (!(await exitWithin(app, 5000))) app.child.kill('SIGKILL');
    await app.exited;
  }
  await rm(app.dir, { recursive: true, force: true });
}

// The state the server holds now, as the page fetches it.
export async function serverState(app) {
  const response = await fetch(app.url + 'api/state');
  return response.json();
}

// The elements of each type in `file` (the scratch folder's sample by default) that are not
// deleted, by type number.
export async function liveByType(app, file = 'sample.dgn') {
  const counts = {};
  for (const row of await dump(app, join(app.dir, file))) {
    if (row.deleted !== '1' && row.component !== '1') counts[row.type] = (counts[row.type] || 0) + 1;
  }
  return counts;
}

// How many elements of `file` in the scratch folder are marked deleted.
export const deletedCount = async (app, file) =>
  (await dump(app, join(app.dir, file))).filter((r) => r.deleted === '1').length;

// Locators of what the page draws.
export const dialog = (page, id) => page.locator(`section.dialog[data-id="${id}"]`);
export const field = (page, name) => page.locator(`#field-${name}`);
const exactly = (text) => new RegExp('^' + text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&') + '$');
// The input of the item with this caption (a field, toggle or choice).
export const item = (page, dialogId, caption) =>
  dialog(page, dialogId)
    .locator('.item')
    .filter({ has: page.locator('span.caption', { hasText: exactly(caption) }) })
    .locator('input, select');
// A row of the list box with this caption, by its text.
export const row = (page, dialogId, caption, text) =>
  item(page, dialogId, caption).locator('option', { hasText: exactly(text) });
// Types into the field with this caption and leaves it, as a user does.
export async function enter(page, dialogId, caption, text) {
  const input = item(page, dialogId, caption);
  await input.fill(text);
  await input.press('Tab');
}
export const button = (page, dialogId, caption) =>
  dialog(page, dialogId).getByRole('button', { name: caption, exact: true });

// Waits for a message box holding `text`, presses its OK and waits for it to go.
export async function answerBox(page, text) {
  await dialog(page, BOX).getByText(text).waitFor({ timeout: 30000 });
  await button(page, BOX, 'OK').click();
  await dialog(page, BOX).waitFor({ state: 'detached' });
}

// Resolves once `check()` is true; rejects when it has not been within `ms`.
export async function waitUntil(check, ms = 5000) {
  const end = Date.now() + ms;
  while (Date.now() < end) {
    if (await check()) return;
    await new Promise((done) => setTimeout(done, 20));
  }
  throw new Error('not seen in time');
}

// Writes `name` into `folder`: the sample's elements `times` over, a drawing large enough for
// a run to take a noticeable while.
export async function writeRepeatedSample(folder, name, times) {
  const sample = await readFile(join(sourceDir, 'examples/sample.dgn'));
  const firstElement = 1536; // after the header's control elements
  const end = sample.lastIndexOf(Buffer.from([0xff, 0xff])); // the end-of-design mark
  const elements = sample.subarray(firstElement, end);
  const parts = [sample.subarray(0, firstElement)];
  for (let i = 0; i < times; ++i) parts.push(elements);
  parts.push(sample.subarray(end));
  await writeFile(join(folder, name), Buffer.concat(parts));
}

// Closes the main dialog and waits for the program to end; its exit status. When the settings
// were changed, the close prompt that offers to save them is answered with `answer`.
export async function closeApp(app, answer = "Don't Save") {
  await button(app.page, MAIN, 'Close').click();
  const prompt = dialog(app.page, BOX).filter({ hasText: 'Kelvara settings have changed.' });
  await waitUntil(async () => app.child.exitCode !== null || (await prompt.count()) > 0, 10000);
  if (app.child.exitCode === null) await button(app.page, BOX, answer).click();
  const exit = await exitWithin(app, 10000);
  return exit ? exit.code : null;
}

// Whether the drawing view has a pixel of the colour (within 40 per channel) within two pixels
// of (x, y) in the window.
export function colourNear(page, [x, y], rgb) {
  return page.evaluate(
    ({ x, y, rgb }) => {
      const canvas = document.getElementById('view-canvas');
      const dpr = window.devicePixelRatio || 1;
      const box = canvas.getBoundingClientRect();
      const px = Math.round((x - box.left) * dpr);
      const py = Math.round((y - box.top) * dpr);
      const data = canvas.getContext('2d').getImageData(px - 2, py - 2, 5, 5).data;
      for (let i = 0; i < data.length; i += 4) {
        if (rgb.every((c, k) => Math.abs(data[i + k] - c) <= 40)) return true;
      }
      return false;
    },
    { x, y, rgb }
  );
}

// Where the point (x, y) of the drawing, in UOR, is in the window.
export const toScreen = (page, x, y) =>
  page.evaluate(([x, y]) => window.kelvaraView.toScreen(x, y), [x, y]);

// Writes a drawing of `count` generated elements into `folder` (the project's generator,
// build/examples/make_drawing): short lines and line strings on a square sheet of `side`
// units of resolution, a tenth of them copies of others.
export async function writeGeneratedDrawing(folder, name, count, side = 100000000) {
  const generator = join(dirname(kelvaraBin), '../examples/make_drawing');
  await run(generator, [String(count), join(folder, name), '1', String(side)]);
}

// Opens a menu of the dialog's menu bar and presses one of its entries.
export async function menuCommand(page, dialogId, menu, entry) {
  await dialog(page, dialogId).locator('.menubar summary', { hasText: exactly(menu) }).click();
  await button(page, dialogId, entry).click();
}
