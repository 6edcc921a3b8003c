// Background part of the velix extension: takes one request from a page's
// content script, checks the page's origin, starts velixhost through native
// messaging with the origin added, and hands the host's answer back. The
// same file runs as Chromium's service worker and as Firefox's background
// script.
'use strict';

const api = globalThis.browser ?? globalThis.chrome;
const HOST_NAME = 'org.velix.host';

// Pages on https: may sign; plain http: only on this computer, for development.
function originAllowed(origin) {
  let url;
  try {
    url = new URL(origin);
  } catch {
    return false;
  }
  if (url.protocol === 'https:') return true;
  return url.protocol === 'http:' && (url.hostname === 'localhost' || url.hostname === '127.0.0.1');
}

// The origin of the frame the request came from, as the browser reports it
// (never what the page claims).
function senderOrigin(sender) {
  if (sender.origin && sender.origin !== 'null') return sender.origin;
  try {
    return new URL(sender.url).origin;
  } catch {
    return '';
  }
}

// Browser error texts, Chromium's and Firefox's, for a host that is not
// registered or not allowed for this extension.
const NOT_INSTALLED = /not found|forbidden|no such native application|not allowed|manifest/i;

function failure(code, message) {
  return { failure: { code, message } };
}

// One native-messaging exchange: the port stays open (and keeps a service
// worker alive) while the host shows its dialogs, however long the user takes.
function askHost(request, reply) {
  let answered = false;
  let host;
  try {
    host = api.runtime.connectNative(HOST_NAME);
  } catch (error) {
    reply(failure('host-not-installed', String(error?.message ?? error)));
    return () => {};
  }
  host.onMessage.addListener((message) => {
    answered = true;
    reply({ response: message });
    host.disconnect();
  });
  host.onDisconnect.addListener((port) => {
    if (answered) return;
    const text = String((port && port.error && port.error.message) || api.runtime.lastError?.message || '');
    if (NOT_INSTALLED.test(text)) reply(failure('host-not-installed', text || 'velixhost is not registered'));
    else reply(failure('host-failed', text || 'velixhost ended without an answer'));
  });
  host.postMessage(request);
  return () => {
    if (!answered) host.disconnect();
  };
}

api.runtime.onConnect.addListener((page) => {
  if (page.name !== 'velix') return;
  let cancel = () => {};
  page.onMessage.addListener((message) => {
    const origin = senderOrigin(page.sender);
    const reply = (answer) => {
      try {
        page.postMessage({ id: message.id, ...answer });
      } catch {
        // The page went away; nobody waits for the answer.
      }
    };
    if (!originAllowed(origin)) {
      reply(failure('origin-refused', `velix does not serve pages from ${origin || 'this origin'}`));
      return;
    }
    cancel = askHost(
      {
        type: 'velixcom',
        uid: String(message.id),
        action: String(message.action),
        args: message.args && typeof message.args === 'object' ? message.args : {},
        origin,
      },
      reply,
    );
  });
  // A closed tab leaves no host running for nothing once it has answered.
  page.onDisconnect.addListener(() => cancel());
});
