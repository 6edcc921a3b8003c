// velix in a real browser: Debian's Chromium (or Firefox ESR with
// VELIX_BROWSER=firefox) with the development copy of the velix extension
// (which also serves http on this computer), the demo and test pages served
// on 127.0.0.1, and the real velixhost registered for a temporary home. The
// authorization dialog opens on a private Xvfb display, where xdotool types
// the passphrase; the page posts the signed document to the demo's verify
// server, which checks it the way a bank's server does.
import assert from 'node:assert/strict';
import { copyFileSync, mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';

import { makeDevelopmentExtension } from '../../browser/development-extension.mjs';
import { Desktop, median, onStop, run, serve, startVerifyServer, startXvfb, stopAll } from './support.mjs';

const SOURCE = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const BUILD = path.resolve(process.env.VELIX_BUILD_DIR ?? path.join(SOURCE, 'build'));
const BROWSER = process.env.VELIX_BROWSER ?? 'chromium';
const PASSPHRASE = 'browser-test-passphrase';
const AUTHORIZATION = '^User authorization';
const DIALOG_WAIT_MS = 30000;
const ANSWER_WAIT_MS = 60000;

let work, extension, env, desktop, browser, origin, unservedOrigin, verifyServer, page;

async function launch(withExtension = extension, profile = path.join(work, 'profile')) {
  if (BROWSER === 'firefox') {
    const firefox = await puppeteer.launch({
      browser: 'firefox',
      executablePath: '/usr/bin/firefox-esr',
      headless: true,
      userDataDir: profile,
      env,
      timeout: 60000,
    });
    await firefox.installExtension(withExtension);
    return firefox;
  }
  return puppeteer.launch({
    executablePath: '/usr/lib/chromium/chromium',
    headless: true,
    userDataDir: profile,
    env,
    enableExtensions: true,
    args: ['--no-sandbox', `--load-extension=${withExtension}`, `--disable-extensions-except=${withExtension}`],
    timeout: 30000,
    protocolTimeout: 120000,
  });
}

function register(profile, ...extra) {
  return run(path.join(BUILD, 'bin/velix-register-host'), ['--chromium-profile', profile, ...extra], { env });
}

// A new tab with url loaded, once `ready` holds in it (velix.js is loaded).
async function openTab(url, ready = 'window.velix !== undefined') {
  const tab = await browser.newPage();
  tab.setDefaultTimeout(ANSWER_WAIT_MS);
  await tab.goto(url, { waitUntil: 'load' });
  await tab.waitForFunction(ready, { timeout: 15000 });
  return tab;
}

// The demo, posting each signed document to the verify server when one is given.
const openDemo = (at, verifyAt) =>
  openTab(`${at}/demo/index.html${verifyAt ? `?verify=${encodeURIComponent(verifyAt)}` : ''}`);

// Opens a test page, runs check(tab) and closes the tab whatever happens.
async function withTab(url, check, ready = undefined) {
  const tab = await openTab(url, ready);
  try {
    return await check(tab);
  } finally {
    await tab.close();
  }
}

// How many times velixhost has run (one log file a run).
function hostRuns() {
  try {
    return readdirSync(path.join(env.HOME, 'velixhost')).filter((name) => name.endsWith('.log')).length;
  } catch {
    return 0;
  }
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

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

// Waits for the authorization dialog and cancels it; resolves with when it
// appeared.
async function cancelDialog() {
  const dialog = await desktop.waitForWindow(AUTHORIZATION, DIALOG_WAIT_MS);
  const shownAt = Date.now();
  await sleep(500); // the dialog builds its page once shown
  await desktop.press(dialog, 'Escape');
  return shownAt;
}

async function clickSignAndWaitForDialog() {
  await page.evaluate('window.velixLast = undefined');
  await page.click('#sign');
  const dialog = await desktop.waitForWindow(AUTHORIZATION, DIALOG_WAIT_MS);
  await sleep(500); // the dialog builds its page once shown
  return dialog;
}

before(async () => {
  work = mkdtempSync(path.join(tmpdir(), `velix-${BROWSER}-`));
  onStop(() => rmSync(work, { recursive: true, force: true }));
  extension = makeDevelopmentExtension(path.join(work, 'extension'));
  const home = path.join(work, 'home');
  const display = await startXvfb();
  desktop = new Desktop(display);
  env = {
    ...process.env,
    HOME: home,
    XDG_CONFIG_HOME: path.join(home, '.config'),
    XDG_RUNTIME_DIR: work,
    XDG_STATE_HOME: path.join(home, '.local/state'),
    // The pages are served on http://127.0.0.1: the administrator's policy
    // of this run serves development origins (and not the machine's own).
    VELIX_POLICY_FILE: path.join(work, 'policy.conf'),
    DISPLAY: display,
  };
  writeFileSync(env.VELIX_POLICY_FILE, 'AllowDevelopmentOrigins=1\n');
  delete env.WAYLAND_DISPLAY;
  delete env.QT_QPA_PLATFORM;
  await run('mkdir', ['-p', path.join(home, 'keys')]);
  await run(path.join(BUILD, 'bin/velix-demo'),
    ['keys', path.join(SOURCE, 'tests/fixtures/keycard.txt'), path.join(home, 'keys'), PASSPHRASE, 'Browser key'], { env });
  await register(path.join(work, 'profile'));
  const routes = { '/': path.join(SOURCE, 'browser'), '/pages/': path.join(SOURCE, 'tests/browser/pages') };
  origin = await serve(routes, '127.0.0.1');
  unservedOrigin = await serve(routes, '127.0.0.2');
  const prefix = (await run(path.join(BUILD, 'bin/velix-demo'), ['prefix'], { env })).trim();
  verifyServer = await startVerifyServer(SOURCE, ['--cards', path.join(home, 'keys/Public.iks'), '--auth-prefix', prefix,
    '--allow-origin', origin], { env: { ...env, VELIXVERIFY_LIBRARY: path.join(BUILD, 'lib/libvelixverify.so.1') } });
  browser = await launch();
  onStop(() => browser.close());
  page = await openDemo(origin, verifyServer);
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
  // The signature left its trace in the journal, apart from the run logs.
  const journal = readFileSync(path.join(env.XDG_STATE_HOME, 'velix/journal'), 'utf8');
  assert.match(journal, new RegExp(`site=${origin.replace(/[.]/g, '\\.')} action=signMessage serial=\\d+ sha256=[0-9a-f]{64} outcome=ok`));
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

test('the extension does not run on a plain http page other than this computer\'s', async () => {
  const result = await withTab(`${unservedOrigin}/demo/index.html`, (tab) => call(tab, 'window.velix.version()'));
  assert.deepEqual([result.ok, result.code], [false, 'extension-missing'], JSON.stringify(result));
});

test('without the registration the page is told the host is not installed', async () => {
  await register(path.join(work, 'profile'), '--unregister');
  try {
    const result = await call(page, 'window.velix.version()');
    assert.deepEqual([result.ok, result.code], [false, 'host-not-installed'], JSON.stringify(result));
  } finally {
    await register(path.join(work, 'profile'));
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

// Posts a request as velix.js would, past velix.js's own checks, to the
// context's window (or its parent); resolves once 1.5 s have passed.
function postRawRequest(context, toParent = false) {
  return context.evaluate(async (parent) => {
    (parent ? window.parent : window).postMessage(
      { velix: 'request', id: crypto.randomUUID(), action: 'version', args: {} }, '*');
    await new Promise((resolve) => setTimeout(resolve, 1500));
  }, toParent);
}

// The velix messages a test page's window has seen.
const seen = (context) => context.evaluate('window.velixSeen');

test('frames, sandboxed frames and sandboxed pages are refused, and nothing reaches velixhost', async () => {
  const runs = hostRuns();
  await withTab(`${origin}/pages/frames.html`, async (tab) => {
    const frames = tab.frames().filter((frame) => frame !== tab.mainFrame());
    assert.equal(frames.length, 2);
    for (const frame of frames) {
      await frame.waitForFunction('window.velix !== undefined', { timeout: 15000 });
      const where = await frame.evaluate(() => `frame "${window.name}" (origin ${self.origin})`);
      for (const expression of ['window.velix.signMessage("x")', 'window.velix.version()']) {
        const result = await frame.evaluate(`(${expression}).then(
          (value) => ({ ok: true, value }), (error) => ({ ok: false, code: error.code }))`);
        assert.deepEqual(result, { ok: false, code: 'origin-refused' }, `${where}: ${expression}`);
      }
      // Past velix.js: nobody relays a frame's request, in the frame or in the page around it.
      await postRawRequest(frame);
      await postRawRequest(frame, true);
      assert.deepEqual(await seen(frame), ['request'], where);
    }
    assert.deepEqual(await seen(tab), ['request', 'request'], 'the page around the frames');
  }, 'window.frames.length === 2');
  await withTab(`${origin}/pages/caller.html?csp-sandbox`, async (tab) => {
    assert.equal(await tab.evaluate('self.origin'), 'null');
    const result = await call(tab, 'window.velix.version()');
    assert.deepEqual([result.ok, result.code], [false, 'origin-refused'], JSON.stringify(result));
    await postRawRequest(tab);
    assert.deepEqual(await seen(tab), ['request']);
  });
  assert.equal(hostRuns(), runs, 'velixhost ran for a refused page');
});

test('a page keeps no mark of the extension; two copies of velix.js each get their own answers', async () => {
  await withTab(`${origin}/pages/caller.html`, async (tab) => {
    await sleep(500);
    assert.deepEqual(await seen(tab), [], 'the extension announced itself');
    const dom = await tab.evaluate(async () => {
      const source = new DOMParser().parseFromString(await (await fetch(location.href)).text(), 'text/html');
      const attributes = [...document.querySelectorAll('*')].flatMap((e) => [...e.attributes].map((a) => `${a.name}=${a.value}`));
      return {
        elements: document.querySelectorAll('*').length,
        served: source.querySelectorAll('*').length,
        marks: attributes.filter((text) => /velix/i.test(text)),
        rootAttributes: [...document.documentElement.attributes].map((a) => a.name),
      };
    });
    assert.equal(dom.elements, dom.served, 'elements were added to the page');
    assert.deepEqual([dom.marks, dom.rootAttributes], [[], ['lang']]);
    // Each copy sets a session text of its own at the same time and must read its own back.
    const values = await tab.evaluate(async () => {
      const copies = [window.velix, window.velixSecondCopy];
      const calls = [];
      for (let round = 0; round < 3; ++round)
        copies.forEach((copy, index) => calls.push(copy.session(`copy${index}-round${round}`)));
      return Promise.all(calls);
    });
    assert.deepEqual(values, ['copy0-round0', 'copy1-round0', 'copy0-round1', 'copy1-round1', 'copy0-round2', 'copy1-round2']);
  });
});

test('signMessage and editKeys without a user gesture are refused before velixhost runs; with a click they are not', async () => {
  const runs = hostRuns();
  for (const action of ['signMessage', 'editKeys']) {
    const result = await withTab(`${origin}/pages/caller.html?call=${action}`, outcome);
    assert.deepEqual([result.ok, result.code], [false, 'user-activation-required'], `${action}: ${JSON.stringify(result)}`);
  }
  assert.equal(hostRuns(), runs);
  await withTab(`${origin}/pages/caller.html`, async (tab) => {
    await tab.click('#sign');
    await cancelDialog();
    assert.equal((await outcome(tab)).code, 'cancelled');
  });
});

test('20 signMessage calls at once open one dialog; the other 19 are answered "busy"', async () => {
  await withTab(`${origin}/pages/caller.html`, async (tab) => {
    await tab.click('#sign20');
    await desktop.waitForWindow(AUTHORIZATION, DIALOG_WAIT_MS);
    await sleep(1000);
    assert.equal((await desktop.windows(AUTHORIZATION)).length, 1);
    await cancelDialog();
    await tab.waitForFunction('window.velixAll !== undefined', { timeout: ANSWER_WAIT_MS });
    const codes = (await tab.evaluate('window.velixAll')).map((result) => result.code);
    assert.deepEqual(codes.filter((code) => code !== 'busy'), ['cancelled']);
    assert.equal(codes.length, 20);
  });
});

test('after a cancel the tab waits 2 s before its next dialog, then 4 s; a call meanwhile is "busy"', async () => {
  await withTab(`${origin}/pages/caller.html`, async (tab) => {
    await tab.click('#sign');
    await cancelDialog();
    for (const waitMs of [2000, 4000]) {
      await tab.waitForFunction('window.velixLast !== undefined', { timeout: ANSWER_WAIT_MS });
      assert.equal((await tab.evaluate('window.velixLast')).code, 'cancelled');
      const cancelledAt = Date.now();
      await tab.evaluate('window.velixLast = undefined; window.velixAgain = undefined');
      await tab.click('#sign');
      await tab.click('#signAgain');
      await tab.waitForFunction('window.velixAgain !== undefined');
      assert.equal((await tab.evaluate('window.velixAgain')).code, 'busy');
      const waited = (await cancelDialog()) - cancelledAt;
      assert.ok(waited >= waitMs - 300, `the dialog came ${waited} ms after the cancel, not after ${waitMs} ms`);
    }
    await tab.waitForFunction('window.velixLast !== undefined', { timeout: ANSWER_WAIT_MS });
  });
});

test('the background itself refuses frames and sandboxed documents, whatever relays them', async () => {
  // The extension with a content script that relays from every frame: only
  // the background's checks stand between these senders and velixhost.
  const relaying = path.join(work, 'relaying-extension');
  makeDevelopmentExtension(relaying);
  const manifest = JSON.parse(readFileSync(path.join(relaying, 'manifest.json'), 'utf8'));
  Object.assign(manifest.content_scripts[0], { js: ['relay-everywhere.js'], all_frames: true });
  writeFileSync(path.join(relaying, 'manifest.json'), JSON.stringify(manifest));
  copyFileSync(path.join(SOURCE, 'tests/browser/relay-everywhere.js'), path.join(relaying, 'relay-everywhere.js'));
  const profile = path.join(work, 'relaying-profile');
  await register(profile);
  const other = await launch(relaying, profile);
  // Asks in the context's window, as velix.js would, and resolves with the answer.
  const ask = (context) => context.evaluate(() => new Promise((resolve) => {
    const id = crypto.randomUUID();
    const timer = setTimeout(() => resolve('no answer'), 15000);
    addEventListener('message', (event) => {
      if (event.data?.velix !== 'response' || event.data.id !== id) return;
      clearTimeout(timer);
      resolve(event.data.failure?.code ?? event.data.response?.result?.value);
    });
    postMessage({ velix: 'request', id, action: 'version', args: {} }, '*');
  }));
  try {
    const runs = hostRuns();
    const tab = await other.newPage();
    await tab.goto(`${origin}/pages/frames.html`, { waitUntil: 'load' });
    assert.equal(await ask(tab.mainFrame()), '1.0.0.345', 'the top-level page is served');
    const frames = tab.frames().filter((frame) => frame !== tab.mainFrame());
    assert.equal(frames.length, 2);
    for (const frame of frames) assert.equal(await ask(frame), 'origin-refused', await frame.evaluate('self.origin'));
    await tab.goto(`${origin}/pages/caller.html?csp-sandbox`, { waitUntil: 'load' });
    assert.equal(await ask(tab.mainFrame()), 'origin-refused', 'a page sandboxed by its CSP');
    assert.equal(hostRuns(), runs + 1, 'velixhost ran for a refused sender');
  } finally {
    await other.close();
  }
});
