// Which pages the velix extension serves: the top-level document of a tab,
// on its own https origin as the browser reports it. A frame, a sandboxed
// document (opaque origin "null") or a sender whose origin the browser did not
// report is refused; the document's URL never stands in for its origin, since
// a sandboxed page keeps the URL of the site that served it.

// Plain http is served only on this computer, and only by a development copy
// of the extension whose manifest runs the content script there.
const DEVELOPMENT_HOSTS = ['localhost', '127.0.0.1'];

// The http hosts this copy of the extension serves: those of DEVELOPMENT_HOSTS
// that its manifest's content scripts match (none in the installed extension).
export function developmentHosts(manifest) {
  const matches = (manifest.content_scripts ?? []).flatMap((script) => script.matches ?? []);
  return DEVELOPMENT_HOSTS.filter((host) => matches.includes(`http://${host}/*`));
}

// The origin a request may be made for, or a refusal that says why:
// { origin } or { refused: text }.
export function senderOrigin(sender, httpHosts = []) {
  if (!sender || !sender.tab || sender.frameId !== 0)
    return { refused: 'velix serves only the top-level page of a tab, not a frame' };
  const origin = sender.origin;
  if (typeof origin !== 'string' || origin === '' || origin === 'null')
    return { refused: 'velix does not serve a page whose origin is opaque or unknown (a sandboxed page)' };
  let url;
  try {
    url = new URL(origin);
  } catch {
    return { refused: `velix does not serve pages from ${origin}` };
  }
  // An origin is exactly scheme, host and port: anything else is not one.
  if (url.origin !== origin) return { refused: `velix does not serve pages from ${origin}` };
  if (url.protocol === 'https:') return { origin };
  if (url.protocol === 'http:' && httpHosts.includes(url.hostname)) return { origin };
  return { refused: `velix does not serve pages from ${origin}` };
}
