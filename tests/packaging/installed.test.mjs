// The installed Debian packages in a real browser: Debian's /usr/bin/chromium
// (its wrapper, which loads /usr/share/chromium/extensions) or firefox-esr
// (its system extension folder), each with a new profile and nothing else:
// no extension is loaded by the test and no host is registered by it. The
// demo page installed under /usr/share/velix asks for a signature; the
// installed velixhost shows its dialog on a private Xvfb display, where
// xdotool types the passphrase, and the document is checked with OpenSSL.
//
// VELIX_BROWSER (chromium|firefox), VELIX_BUILD_DIR (velix-demo makes the key
// set and checks the signature) and VELIX_HOME (the user's home, kept across
// runs so that the upgrade test finds its settings and keys) come from
// tests/packaging/run.
import assert from 'node:assert/strict';
import { appendFileSync, existsSync, mkdtempSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';

import { Desktop, onStop, run, serve, startXvfb, stopAll, testCertificate } from '../browser/support.mjs';

// puppeteer-core as the browser test installs it (pinned by its lock file).
const require = createRequire(path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../browser/package.json'));
const puppeteer = require('puppeteer-core');

const SOURCE = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const BUILD = path.resolve(process.env.VELIX_BUILD_DIR ?? path.join(SOURCE, 'build'));
const BROWSER = process.env.VELIX_BROWSER ?? 'chromium';
const HOME = process.env.VELIX_HOME;
const PASSPHRASE = 'package-test-passphrase';
const INSTALLED_PAGES = '/usr/share/velix';
const ANSWER_WAIT_MS = 60000;

let work, env, desktop, browser, origin;

function launch() {
  // The demo is served over https with the test's own certificate, which the
  // browser is told to accept: the installed extension serves https pages only.
  const common = { headless: true, userDataDir: path.join(work, 'profile'), env, timeout: 60000, acceptInsecureCerts: true };
  if (BROWSER === 'firefox') {
    // puppeteer's own profile turns off the application and system scopes
    // (extensions.enabledScopes); this puts back Firefox's default, so the
    // profile loads what a user's new profile loads.
    return puppeteer.launch({
      ...common,
      browser: 'firefox',
      executablePath: '/usr/bin/firefox-esr',
      extraPrefsFirefox: { 'extensions.enabledScopes': 15 },
    });
  }
  // --no-sandbox: the CI machine runs as root. No --load-extension here: the
  // wrapper adds the packaged one.
  return puppeteer.launch({
    ...common,
    executablePath: '/usr/bin/chromium',
    enableExtensions: true,
    args: ['--no-sandbox'],
    protocolTimeout: 120000,
  });
}

before(async () => {
  assert.ok(HOME, 'VELIX_HOME names the user home');
  work = mkdtempSync(path.join(tmpdir(), `velix-package-${BROWSER}-`));
  onStop(() => rmSync(work, { recursive: true, force: true }));
  const display = await startXvfb();
  desktop = new Desktop(display);
  env = { ...process.env, HOME, XDG_CONFIG_HOME: path.join(HOME, '.config'), XDG_RUNTIME_DIR: work, DISPLAY: display };
  delete env.WAYLAND_DISPLAY;
  delete env.QT_QPA_PLATFORM;
  if (!existsSync(path.join(HOME, 'keys/public.pem'))) {
    await run('mkdir', ['-p', path.join(HOME, 'keys')]);
    await run(path.join(BUILD, 'bin/velix-demo'),
      ['keys', path.join(SOURCE, 'tests/fixtures/keycard.txt'), path.join(HOME, 'keys'), PASSPHRASE, 'Package key'], { env });
  }
  origin = await serve({ '/': INSTALLED_PAGES }, '127.0.0.1', await testCertificate(work, '127.0.0.1'));
  // The administrator allows the test's site (velixhost reads the policy at each request).
  appendFileSync('/etc/velix/policy.conf', `AllowedSites=${origin}\n`);
  browser = await launch();
  onStop(() => browser.close());
});

after(stopAll);

test(`${BROWSER} with a new profile signs from the installed demo page`, async () => {
  const page = await browser.newPage();
  page.setDefaultTimeout(ANSWER_WAIT_MS);
  await page.goto(`${origin}/demo/index.html`, { waitUntil: 'load' });
  // The packaged extension answers the page.
  await page.waitForFunction('window.velix !== undefined', { timeout: 20000 });
  assert.equal(await page.evaluate('velix.version()'), '1.0.0.345');
  const text = `Pay 10 to ACME from the ${BROWSER} package test`;
  await page.$eval('#text', (field, value) => { field.value = value; }, text);
  await page.evaluate('window.velixLast = undefined');
  await page.click('#sign');
  const dialog = await desktop.waitForWindow('^User authorization', 30000);
  assert.match(await desktop.title(dialog), new RegExp(`request from ${origin.replace(/\./g, '\\.')}`));
  await new Promise((resolve) => setTimeout(resolve, 500)); // the dialog builds its page once shown
  await desktop.type(dialog, PASSPHRASE);
  await desktop.press(dialog, 'Return');
  await page.waitForFunction('window.velixLast !== undefined', { timeout: ANSWER_WAIT_MS });
  const result = await page.evaluate('window.velixLast');
  assert.equal(result.ok, true, `signing failed: ${JSON.stringify(result)}`);
  assert.match(result.value, new RegExp(text));
  const report = await run(path.join(BUILD, 'bin/velix-demo'), ['verify', path.join(HOME, 'keys/public.pem')],
    { input: result.value });
  assert.match(report, /signature .*: good/);
});
