// Content script of the velix extension: relays a page's velix requests
// (window.postMessage from velix.js) to the background part and the answers
// back. It runs in the top-level document only and leaves no trace in the
// page: it answers a request, and nothing else.
'use strict';

(() => {
  const api = globalThis.browser ?? globalThis.chrome;

  // A frame, a sandboxed document (its origin is opaque, its URL still the
  // site's) or a page that is not a secure context gets no relay at all.
  if (window.top !== window || self.origin !== location.origin || !isSecureContext) return;

  const post = (message) => window.postMessage(message, location.origin);

  window.addEventListener('message', (event) => {
    if (event.source !== window || event.origin !== location.origin) return;
    const data = event.data;
    if (data?.velix !== 'request' || typeof data.id !== 'string') return;
    const { id, action, args } = data;
    // Read now: the user's click or key press counts for a few seconds only.
    const userActivation = navigator.userActivation?.isActive === true;
    post({ velix: 'received', id });
    // One port per request: it lives as long as the request does.
    const port = api.runtime.connect({ name: 'velix' });
    let answered = false;
    port.onMessage.addListener((answer) => {
      answered = true;
      post({ velix: 'response', id, ...answer });
      port.disconnect();
    });
    port.onDisconnect.addListener(() => {
      if (answered) return;
      post({ velix: 'response', id, failure: { code: 'host-failed', message: 'the extension stopped before an answer' } });
    });
    port.postMessage({ id, action, args, userActivation });
  });
})();
