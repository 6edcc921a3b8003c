// velix in a real browser: Debian's Chromium (or Firefox ESR with
// VELIX_BROWSER=firefox) with the velix extension, the demo page served on
// 127.0.0.1, and the real velixhost registered for a temporary home. The
// authorization dialog opens on a private Xvfb display, where xdotool types
// the passphrase; the page posts the signed document to the demo's verify
// server, which checks it the way a bank's server does.
import assert from 'node:assert/strict';
import { mkdtempSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';

import { Desktop, median, onStop, run, serve, startVerifyServer, startXvfb, stopAll } from './support.mjs';

const SOURCE = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const BUILD = path.resolve(process.env.VELIX_BUILD_DIR ?? path.join(SOURCE, 'build'));
const BROWSER = process.env.VELIX_BROWSER ?? 'chromium';
const EXTENSION = path.join(SOURCE, 'browser/extension');
const PASSPHRASE = 'browser-test-passphrase';
const AUTHORIZATION = '^User authorization';
const DIALOG_WAIT_MS = 30000;
const ANSWER_WAIT_MS = 60000;

let work, env, desktop, browser, origin, refusedOrigin, verifyServer, page;

async function launch() {
  if (BROWSER === 'firefox') {
    const firefox = await puppeteer.launch({
      browser: 'firefox',
      executablePath: '/usr/bin/firefox-esr',
      headless: true,
      userDataDir: path.join(work, 'profile'),
      env,
      timeout: 60000,
    });
    await firefox.installExtension(EXTENSION);
    return firefox;
  }
  return puppeteer.launch({
    executablePath: '/usr/lib/chromium/chromium',
    headless: true,
    userDataDir: path.join(work, 'profile'),
    env,
    enableExtensions: true,
    args: ['--no-sandbox', `--load-extension=${EXTENSION}`, `--disable-extensions-except=${EXTENSION}`],
    timeout: 30000,
    protocolTimeout: 120000,
  });
}

function register(...extra) {
  return run(path.join(BUILD, 'bin/velix-register-host'), ['--chromium-profile', path.join(work, 'profile'), ...extra], { env });
}

async function openDemo(at, verifyAt) {
  const tab = await browser.newPage();
  tab.setDefaultTimeout(ANSWER_WAIT_MS);
  const query = verifyAt ? `?verify=${encodeURIComponent(verifyAt)}` : '';
  await tab.goto(`${at}/demo/index.html${query}`, { waitUntil: 'load' });
  return tab;
}

// Starts a call in the page without waiting for it; the outcome lands in
// window.velixLast (as the demo's buttons keep it).
async function startCall(tab, expression) {
  await tab.evaluate(`window.velixLast = undefined; (async () => {
    try { window.velixLast = { ok: true, value: await ${expression} }; }
    catch (error) { window.velixLast = { ok: false, code: error.code, message: error.message }; }
  })(); undefined`);
}

async function outcome(tab) {
  await tab.waitForFunction('window.velixLast !== undefined', { timeout: ANSWER_WAIT_MS });
  return tab.evaluate('window.velixLast');
}

async function call(tab, expression) {
  await startCall(tab, expression);
  return outcome(tab);
}

async function clickSignAndWaitForDialog() {
  await page.evaluate('window.velixLast = undefined');
  await page.click('#sign');
  const dialog = await desktop.waitForWindow(AUTHORIZATION, DIALOG_WAIT_MS);
  await new Promise((resolve) => setTimeout(resolve, 500)); // the dialog builds its page once shown
  return dialog;
}

before(async () => {
  work = mkdtempSync(path.join(tmpdir(), `velix-${BROWSER}-`));
  onStop(() => rmSync(work, { recursive: true, force: true }));
  const home = path.join(work, 'home');
  const display = await startXvfb();
  desktop = new Desktop(display);
  env = {
    ...process.env,
    HOME: home,
    XDG_CONFIG_HOME: path.join(home, '.config'),
    XDG_RUNTIME_DIR: work,
    DISPLAY: display,
  };
  delete env.WAYLAND_DISPLAY;
  delete env.QT_QPA_PLATFORM;
  await run('mkdir', ['-p', path.join(home, 'keys')]);
  await run(path.join(BUILD, 'bin/velix-demo'),
    ['keys', path.join(SOURCE, 'tests/fixtures/keycard.txt'), path.join(home, 'keys'), PASSPHRASE, 'Browser key'], { env });
  await register();
  origin = await serve(path.join(SOURCE, 'browser'), '127.0.0.1');
  refusedOrigin = await serve(path.join(SOURCE, 'browser'), '127.0.0.2');
  const prefix = (await run(path.join(BUILD, 'bin/velix-demo'), ['prefix'], { env })).trim();
  verifyServer = await startVerifyServer(SOURCE, ['--cards', path.join(home, 'keys/Public.iks'), '--auth-prefix', prefix,
    '--allow-origin', origin], { env: { ...env, VELIXVERIFY_LIBRARY: path.join(BUILD, 'lib/libvelixverify.so.1') } });
  browser = await launch();
  onStop(() => browser.close());
  page = await openDemo(origin, verifyServer);
  await page.waitForFunction('document.documentElement.dataset.velixExtension !== undefined', { timeout: 15000 });
});

after(stopAll);

test('a signature made in the dialog reaches the page and verifies', async () => {
  await page.$eval('#text', (field) => { field.value = 'Pay 10 to ACME, invoice 7'; });
  const dialog = await clickSignAndWaitForDialog();
  // The user sees which site asks before typing the passphrase.
  assert.equal(await desktop.title(dialog), `User authorization 1.0.0.345 (request from ${origin})`);
  await desktop.type(dialog, PASSPHRASE);
  await desktop.press(dialog, 'Return');
  const result = await outcome(page);
  assert.equal(result.ok, true, `signing failed: ${JSON.stringify(result)}`);
  const document = await page.$eval('#document', (pre) => pre.textContent);
  assert.equal(document, result.value);
  // The page posted the document to the demo's server, which verified it.
  await page.waitForFunction('window.velixVerified !== undefined', { timeout: ANSWER_WAIT_MS });
  const verified = await page.evaluate('window.velixVerified');
  assert.equal(verified.result, 'good', JSON.stringify(verified));
  assert.equal(verified.key_type, 'file');
  assert.equal(verified.message, 'Pay 10 to ACME, invoice 7\r\n');
  assert.equal(verified.user_id, 'Test User');
});

test('velixhost logs the origin of the page that asks', async () => {
  const logs = path.join(env.HOME, 'velixhost');
  const text = readdirSync(logs).map((name) => readFileSync(path.join(logs, name), 'latin1')).join('\n');
  assert.ok(text.includes(`Request from "${origin}"`), `no log line names ${origin}`);
});

test('cancelling the dialog rejects with "cancelled"', async () => {
  const dialog = await clickSignAndWaitForDialog();
  await desktop.press(dialog, 'Escape');
  const result = await outcome(page);
  assert.deepEqual([result.ok, result.code], [false, 'cancelled'], JSON.stringify(result));
  assert.equal(await page.$eval('#code', (out) => out.value), 'cancelled');
});

test('a wrong passphrase rejects with "wrong-passphrase"', async () => {
  const dialog = await clickSignAndWaitForDialog();
  await desktop.type(dialog, 'not-the-passphrase');
  await desktop.press(dialog, 'Return');
  const box = await desktop.waitForWindow('^Key loading error$', DIALOG_WAIT_MS);
  await desktop.press(box, 'Return');
  const result = await outcome(page);
  assert.deepEqual([result.ok, result.code], [false, 'wrong-passphrase'], JSON.stringify(result));
});

test('settings and version answer without a dialog; 20 version calls timed', async () => {
  assert.deepEqual(await call(page, 'window.velix.language("en")'), { ok: true, value: 'en' });
  assert.deepEqual(await call(page, 'window.velix.useCustomer(true)'), { ok: true, value: 1 });
  const state = await call(page, 'window.velix.state()');
  assert.equal(state.value.version, '1.0.0.345');
  const times = await page.evaluate(async () => {
    const spent = [];
    for (let i = 0; i < 20; ++i) {
      const start = performance.now();
      if ((await window.velix.version()) !== '1.0.0.345') throw new Error('wrong version');
      spent.push(performance.now() - start);
    }
    return spent;
  });
  const ms = (value) => `${value.toFixed(1)} ms`;
  console.log(`# ${BROWSER}: version round trip from the page, 20 calls: min ${ms(Math.min(...times))}, ` +
    `median ${ms(median(times))}, max ${ms(Math.max(...times))}`);
  assert.equal(times.length, 20);
});

test('an unknown action and an oversized request are told apart', async () => {
  assert.equal((await call(page, 'window.velix.request("SignMessage")')).code, 'unknown-action');
  assert.equal((await call(page, 'window.velix.signMessage("x".repeat(800 * 1024))')).code, 'request-too-large');
});

test('a page on an origin that is neither https nor local is refused', async () => {
  const tab = await openDemo(refusedOrigin);
  try {
    await tab.waitForFunction('document.documentElement.dataset.velixExtension !== undefined', { timeout: 15000 });
    const result = await call(tab, 'window.velix.version()');
    assert.deepEqual([result.ok, result.code], [false, 'origin-refused'], JSON.stringify(result));
  } finally {
    await tab.close();
  }
});

test('without the registration the page is told the host is not installed', async () => {
  await register('--unregister');
  try {
    const result = await call(page, 'window.velix.version()');
    assert.deepEqual([result.ok, result.code], [false, 'host-not-installed'], JSON.stringify(result));
  } finally {
    await register();
  }
});

test('a page the extension does not run in is told the extension is missing', { skip: BROWSER === 'firefox' }, async () => {
  // Extensions stay out of a new (incognito-like) browser context.
  const context = await browser.createBrowserContext();
  try {
    const tab = await context.newPage();
    await tab.goto(`${origin}/demo/index.html`, { waitUntil: 'load' });
    const result = await call(tab, 'window.velix.version()');
    assert.deepEqual([result.ok, result.code], [false, 'extension-missing'], JSON.stringify(result));
  } finally {
    await context.close();
  }
});
