// Content script of the velix extension: relays a page's velix requests
// (window.postMessage from velix.js) to the background part and the answers
// back. It marks the page so that velix.js can tell the extension is there.
'use strict';

(() => {
  const api = globalThis.browser ?? globalThis.chrome;
  const VERSION = api.runtime.getManifest().version;

  if (document.documentElement) document.documentElement.dataset.velixExtension = VERSION;
  window.postMessage({ velix: 'ready', version: VERSION }, window.location.origin);

  window.addEventListener('message', (event) => {
    if (event.source !== window || event.data?.velix !== 'request') return;
    const { id, action, args } = event.data;
    // One port per request: it lives as long as the request does.
    const port = api.runtime.connect({ name: 'velix' });
    let answered = false;
    port.onMessage.addListener((answer) => {
      answered = true;
      window.postMessage({ velix: 'response', id, ...answer }, window.location.origin);
      port.disconnect();
    });
    port.onDisconnect.addListener(() => {
      if (answered) return;
      window.postMessage(
        { velix: 'response', id, failure: { code: 'host-failed', message: 'the extension stopped before an answer' } },
        window.location.origin,
      );
    });
    port.postMessage({ id, action, args });
  });
})();
