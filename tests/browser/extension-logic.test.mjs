// The extension's decisions without a browser: which senders it serves (the
// sender records are the shapes Chromium 156 and Firefox ESR 153 report for
// a top page, an iframe, a sandboxed iframe and a CSP-sandboxed page), and
// the per-tab limits on dialogs.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { test } from 'node:test';

import { developmentHosts, senderOrigin } from '../../browser/extension/sender.js';
import { TabGuard } from '../../browser/extension/tab_guard.js';

const tab = { id: 7, url: 'https://bank.example/pay' };
const page = (fields) => ({ tab, frameId: 0, url: 'https://bank.example/pay', ...fields });

test('only a tab\'s top-level page on https, with an origin the browser reported, is served', () => {
  const cases = [
    ['top-level https page', page({ origin: 'https://bank.example' }), 'https://bank.example'],
    ['https with a port', page({ origin: 'https://bank.example:8443' }), 'https://bank.example:8443'],
    ['punycode host', page({ origin: 'https://xn--80ak6aa92e.example' }), 'https://xn--80ak6aa92e.example'],
    ['same-origin iframe', page({ origin: 'https://bank.example', frameId: 5 }), null],
    ['Firefox iframe id', page({ origin: 'https://ads.example', frameId: 12884901889 }), null],
    ['sandboxed iframe', page({ origin: 'null', frameId: 6 }), null],
    ['CSP-sandboxed top page: its URL is the bank\'s, its origin is opaque', page({ origin: 'null' }), null],
    ['no origin reported: the URL does not stand in', page({ origin: undefined }), null],
    ['empty origin', page({ origin: '' }), null],
    ['not from a tab', { frameId: 0, origin: 'https://bank.example' }, null],
    ['no frame id', { tab, origin: 'https://bank.example' }, null],
    ['plain http', page({ origin: 'http://bank.example' }), null],
    ['http on this computer, installed extension', page({ origin: 'http://127.0.0.1:8000' }), null],
    ['another scheme', page({ origin: 'chrome-extension://abcdefgh' }), null],
    ['file page', page({ origin: 'file://' }), null],
    ['not an origin: a path', page({ origin: 'https://bank.example/pay' }), null],
    ['not an origin: user info', page({ origin: 'https://bank.example@evil.example' }), null],
    ['not a URL', page({ origin: 'bank.example' }), null],
  ];
  for (const [name, sender, expected] of cases) {
    const checked = senderOrigin(sender);
    assert.equal(checked.origin ?? null, expected, name);
    if (expected === null) assert.match(checked.refused, /velix/, name);
  }
});

test('http on this computer is served only by a copy whose manifest runs the content script there', () => {
  const installed = JSON.parse(readFileSync(new URL('../../browser/extension/manifest.json', import.meta.url)));
  assert.deepEqual(developmentHosts(installed), []);
  const development = { content_scripts: [{ matches: ['https://*/*', 'http://localhost/*', 'http://127.0.0.1/*'] }] };
  const hosts = developmentHosts(development);
  assert.deepEqual(hosts, ['localhost', '127.0.0.1']);
  assert.equal(senderOrigin(page({ origin: 'http://127.0.0.1:8000' }), hosts).origin, 'http://127.0.0.1:8000');
  assert.equal(senderOrigin(page({ origin: 'http://localhost:3000' }), hosts).origin, 'http://localhost:3000');
  assert.equal(senderOrigin(page({ origin: 'http://127.0.0.2:8000' }), hosts).origin, undefined);
  assert.equal(senderOrigin(page({ origin: 'http://localhost.evil.example' }), hosts).origin, undefined);
  assert.equal(senderOrigin(page({ origin: 'http://127.0.0.1:8000', frameId: 3 }), hosts).origin, undefined);
});

test('one dialog at a time per tab; each cancel doubles the wait up to a minute; an answer ends it', () => {
  let now = 1000;
  const guard = new TabGuard({ now: () => now });
  assert.equal(guard.claimDialog(1), true);
  assert.equal(guard.claimDialog(1), false, 'a second request of the same tab');
  assert.equal(guard.claimDialog(2), true, 'another tab has a place of its own');
  guard.releaseDialog(2, 'ok');

  const waits = [];
  for (let i = 0; i < 7; ++i) {
    guard.releaseDialog(1, 'cancelled');
    waits.push(guard.waitLeftMs(1));
    assert.equal(guard.claimDialog(1), true);
  }
  assert.deepEqual(waits, [2000, 4000, 8000, 16000, 32000, 60000, 60000]);
  now += 59000;
  assert.equal(guard.waitLeftMs(1), 1000, 'the wait runs with the clock');
  guard.releaseDialog(1, undefined); // the page went away: the wait stays as it was
  assert.equal(guard.waitLeftMs(1), 1000);
  assert.equal(guard.claimDialog(1), true);
  guard.releaseDialog(1, 'origin-refused'); // the user refused the site: a refusal too
  assert.equal(guard.waitLeftMs(1), 60000);
  assert.equal(guard.claimDialog(1), true);
  guard.releaseDialog(1, 'wrong-passphrase'); // a dialog that ended otherwise starts afresh
  assert.equal(guard.waitLeftMs(1), 0);
  guard.releaseDialog(1, 'cancelled');
  assert.equal(guard.waitLeftMs(1), 2000);
});

test('the waits survive a restart of the background, and a closed tab forgets them', () => {
  let now = 5000;
  const before = new TabGuard({ now: () => now });
  before.claimDialog(3);
  before.releaseDialog(3, 'cancelled');
  before.claimDialog(3);
  before.releaseDialog(3, 'cancelled');
  const saved = JSON.parse(JSON.stringify(before.snapshot()));
  now += 1000;
  const after = new TabGuard({ now: () => now, saved: { ...saved, junk: { waitMs: 'x' } } });
  assert.equal(after.waitLeftMs(3), 3000);
  after.claimDialog(3);
  after.releaseDialog(3, 'cancelled');
  assert.equal(after.waitLeftMs(3), 8000, 'the doubling goes on after the restart');
  after.forget(3);
  assert.equal(after.waitLeftMs(3), 0);
  assert.deepEqual(after.snapshot(), {});
});

test('a tab runs a few requests without a dialog at once, beside its one dialog', () => {
  const guard = new TabGuard();
  const taken = Array.from({ length: 10 }, () => guard.claimOther(4));
  assert.deepEqual(taken, [true, true, true, true, true, true, true, true, false, false]);
  assert.equal(guard.claimOther(5), true, 'another tab counts on its own');
  assert.equal(guard.claimDialog(4), true, 'a dialog request has its own place');
  guard.releaseOther(4);
  assert.equal(guard.claimOther(4), true);
  assert.equal(guard.claimOther(4), false);
  guard.forget(4);
  assert.equal(guard.claimOther(4), true);
});
