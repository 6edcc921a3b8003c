// A content script for the browser test only: relays every velix request of
// every frame, sandboxed or not, to the extension's real background part, so
// that the background's own checks meet every kind of sender the browser
// reports. Answers go back to any origin (a sandboxed document has none).
'use strict';

(() => {
  const api = globalThis.browser ?? globalThis.chrome;
  window.addEventListener('message', (event) => {
    const data = event.data;
    if (event.source !== window || data?.velix !== 'request') return;
    const port = api.runtime.connect({ name: 'velix' });
    port.onMessage.addListener((answer) => window.postMessage({ velix: 'response', id: data.id, ...answer }, '*'));
    port.postMessage({ id: data.id, action: data.action, args: data.args, userActivation: true });
  });
})();
