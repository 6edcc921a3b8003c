// Background part of the velix extension: takes one request from a page's
// content script, checks who sends it, starts velixhost through native
// messaging with the page's origin added, and hands the host's answer back.
// The same module runs as Chromium's service worker and as Firefox's
// background script.
import { developmentHosts, senderOrigin } from './sender.js';
import { DIALOG_ACTIONS, TabGuard } from './tab_guard.js';

const api = globalThis.browser ?? globalThis.chrome;
const HOST_NAME = 'org.velix.host';
const HTTP_HOSTS = developmentHosts(api.runtime.getManifest());
const SAVED_WAITS = 'tabWaits';

// Browser error texts, Chromium's and Firefox's, for a host that is not
// registered or not allowed for this extension.
const NOT_INSTALLED = /not found|forbidden|no such native application|not allowed|manifest/i;

function failure(code, message) {
  return { failure: { code, message } };
}

// The waits after a cancel outlive a restart of the background (a service
// worker stops when idle) but not the browser session.
const savedWaits = api.storage?.session;
const guardReady = (async () => {
  let saved = {};
  try {
    saved = (await savedWaits?.get(SAVED_WAITS))?.[SAVED_WAITS] ?? {};
  } catch {
    // nothing kept
  }
  return new TabGuard({ saved });
})();

function saveWaits(guard) {
  savedWaits?.set({ [SAVED_WAITS]: guard.snapshot() }).catch(() => {});
}

// One native-messaging exchange: the port stays open (and keeps a service
// worker alive) while the host shows its dialogs, however long the user takes.
// Resolves with the answer for the page; cancel() ends the exchange.
function askHost(request) {
  let host;
  let cancel = () => {};
  const answer = new Promise((resolve) => {
    try {
      host = api.runtime.connectNative(HOST_NAME);
    } catch (error) {
      resolve(failure('host-not-installed', String(error?.message ?? error)));
      return;
    }
    let answered = false;
    cancel = () => {
      if (answered) return;
      answered = true;
      host.disconnect();
      resolve(failure('host-failed', 'the page went away before velixhost answered'));
    };
    host.onMessage.addListener((message) => {
      if (answered) return;
      answered = true;
      resolve({ response: message });
      host.disconnect();
    });
    host.onDisconnect.addListener((port) => {
      if (answered) return;
      answered = true;
      const text = String((port && port.error && port.error.message) || api.runtime.lastError?.message || '');
      if (NOT_INSTALLED.test(text)) resolve(failure('host-not-installed', text || 'velixhost is not registered'));
      else resolve(failure('host-failed', text || 'velixhost ended without an answer'));
    });
    host.postMessage(request);
  });
  return { answer, cancel: () => cancel() };
}

// Keeps a service worker from being stopped while a request waits out a
// tab's pause (an extension call counts as activity).
async function pause(ms) {
  const keepAlive = setInterval(() => api.runtime.getPlatformInfo().catch(() => {}), 20000);
  try {
    await new Promise((resolve) => setTimeout(resolve, ms));
  } finally {
    clearInterval(keepAlive);
  }
}

// The answer to one page request; page.ended turns true once the page went away.
async function handle(message, sender, page) {
  const checked = senderOrigin(sender, HTTP_HOSTS);
  if (checked.refused) return failure('origin-refused', checked.refused);
  const action = String(message.action);
  const request = {
    type: 'velixcom',
    uid: String(message.id),
    action,
    args: message.args && typeof message.args === 'object' ? message.args : {},
    origin: checked.origin,
  };
  const guard = await guardReady;
  const tab = sender.tab.id;
  if (!DIALOG_ACTIONS.has(action)) {
    if (!guard.claimOther(tab)) return failure('busy', 'this page has too many velix requests under way');
    try {
      return await exchange(request, page);
    } finally {
      guard.releaseOther(tab);
    }
  }

  if (message.userActivation !== true)
    return failure('user-activation-required', `"${action}" may only be called in answer to the user's click or key press`);
  if (!guard.claimDialog(tab)) return failure('busy', 'this page already has a velix request that may show a dialog');
  let reason;
  try {
    const wait = guard.waitLeftMs(tab);
    if (wait > 0) await pause(wait);
    if (page.ended) return failure('host-failed', 'the page went away');
    const answer = await exchange(request, page);
    if (answer.response) reason = String(answer.response.result?.reason ?? 'ok');
    return answer;
  } finally {
    guard.releaseDialog(tab, reason);
    saveWaits(guard);
  }
}

function exchange(request, page) {
  const { answer, cancel } = askHost(request);
  // A closed tab leaves no host running for nothing.
  page.cancel = cancel;
  return answer;
}

api.runtime.onConnect.addListener((port) => {
  if (port.name !== 'velix') return;
  const page = { ended: false, cancel: () => {} };
  port.onDisconnect.addListener(() => {
    page.ended = true;
    page.cancel();
  });
  let taken = false;
  port.onMessage.addListener(async (message) => {
    if (taken) return; // one request a port
    taken = true;
    const answer = await handle(message, port.sender, page);
    try {
      port.postMessage({ id: message.id, ...answer });
    } catch {
      // The page went away; nobody waits for the answer.
    }
  });
});

api.tabs?.onRemoved.addListener(async (tab) => {
  const guard = await guardReady;
  guard.forget(tab);
  saveWaits(guard);
});
