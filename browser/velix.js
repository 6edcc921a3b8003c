// velix.js: the page API of velix. An ES module with no dependencies; every
// call sends one request through the velix extension to velixhost and
// returns a promise. Failures reject with a VelixError whose `code` is one of
// ErrorCode. See README.md beside this file.

export const ErrorCode = Object.freeze({
  EXTENSION_MISSING: 'extension-missing', // the velix extension is not installed, not enabled, or does not serve this page
  HOST_NOT_INSTALLED: 'host-not-installed', // velixhost is not registered with this browser
  HOST_FAILED: 'host-failed', // velixhost crashed or ended without an answer
  REQUEST_TOO_LARGE: 'request-too-large', // the request is over MAX_REQUEST_BYTES
  ORIGIN_REFUSED: 'origin-refused', // a frame, a sandboxed page, or a site that is not served or was refused
  BUSY: 'busy', // this tab (or this user's session) already has a request with a dialog open
  USER_ACTIVATION_REQUIRED: 'user-activation-required', // signMessage and editKeys need the user's click or key press
  TIMEOUT: 'timeout', // a request that opens no dialog got no answer in time
  CANCELLED: 'cancelled', // the user closed or cancelled velixhost's dialog
  WRONG_PASSPHRASE: 'wrong-passphrase', // the passphrase (or PIN) did not open the key
  NO_KEY: 'no-key', // no key is configured for this user
  KEY_FILE_UNREADABLE: 'key-file-unreadable', // the key file is missing or cannot be read
  TOKEN_ABSENT: 'token-absent', // the key's token is not plugged in
  PIN_LOCKED: 'pin-locked', // the token's PIN is locked
  NO_DISPLAY: 'no-display', // velixhost has no display to show its dialog on
  SIGN_FAILED: 'sign-failed', // signing failed for another reason (velixhost told the user why)
  UNKNOWN_ACTION: 'unknown-action', // this velixhost does not know the action
});

export class VelixError extends Error {
  constructor(code, message, response = undefined) {
    super(message);
    this.name = 'VelixError';
    this.code = code;
    this.response = response; // the host's whole answer, when there was one
  }
}

// The browser passes at most 1 MB from the host back to the page, and the
// signed document is a little longer than the text; requests stay below that.
export const MAX_REQUEST_BYTES = 768 * 1024;
// Default time limit for requests that cannot open a dialog (settings,
// version, state, reset): time enough for velixhost to start on a busy machine.
export const DEFAULT_TIMEOUT_MS = 15000;
// How long a call waits for the extension's content script to take its
// request; without that receipt the extension is not there for this page.
const EXTENSION_WAIT_MS = 1000;

// Host reasons that mean failure (anything but "ok").
const REASON_CODES = new Set([
  ErrorCode.CANCELLED,
  ErrorCode.WRONG_PASSPHRASE,
  ErrorCode.NO_KEY,
  ErrorCode.KEY_FILE_UNREADABLE,
  ErrorCode.TOKEN_ABSENT,
  ErrorCode.PIN_LOCKED,
  ErrorCode.NO_DISPLAY,
  ErrorCode.SIGN_FAILED,
  ErrorCode.REQUEST_TOO_LARGE,
  ErrorCode.ORIGIN_REFUSED,
  ErrorCode.BUSY,
]);

const UNKNOWN_ACTION_ERROR = 1001;

// Waiters by request id. Ids are random, so that two copies of velix.js in one
// page, or a script that posts answers of its own, never take another's answer.
const pending = new Map();
let listening = false;

function listen() {
  if (listening) return;
  listening = true;
  window.addEventListener('message', (event) => {
    if (event.source !== window || event.origin !== location.origin) return;
    const { velix, id } = event.data ?? {};
    if (velix === 'received' || velix === 'response') pending.get(id)?.(event.data);
  });
}

// Why the extension will not serve this document, if it will not: it serves
// the top-level page of a tab only, on an origin of its own.
function refusalHere() {
  if (window.top !== window) return 'velix serves only the top-level page of a tab, not a frame';
  if (self.origin !== location.origin) return 'velix does not serve a sandboxed page (its origin is opaque)';
  if (!isSecureContext) return 'velix serves only secure (https) pages';
  return '';
}

function byteLength(value) {
  return new TextEncoder().encode(JSON.stringify(value)).length;
}

// Sends one request and resolves with the host's answer object
// ({action, error, result, type, uid}). timeoutMs 0 waits as long as it takes.
export async function request(action, args = {}, { timeoutMs = 0 } = {}) {
  if (byteLength({ action, args }) > MAX_REQUEST_BYTES)
    throw new VelixError(ErrorCode.REQUEST_TOO_LARGE, `the request is over ${MAX_REQUEST_BYTES} bytes`);
  const refusal = refusalHere();
  if (refusal) throw new VelixError(ErrorCode.ORIGIN_REFUSED, refusal);
  listen();
  const id = crypto.randomUUID();
  const answer = await new Promise((resolve, reject) => {
    const fail = (code, message) => {
      finish();
      reject(new VelixError(code, message));
    };
    const missing = setTimeout(() =>
      fail(ErrorCode.EXTENSION_MISSING, 'the velix extension is not installed in this browser or does not serve this page'),
    EXTENSION_WAIT_MS);
    const late = timeoutMs > 0
      ? setTimeout(() => fail(ErrorCode.TIMEOUT, `velixhost did not answer "${action}" in ${timeoutMs} ms`), timeoutMs)
      : undefined;
    function finish() {
      clearTimeout(missing);
      clearTimeout(late);
      pending.delete(id);
    }
    pending.set(id, (data) => {
      clearTimeout(missing);
      if (data.velix !== 'response') return;
      finish();
      resolve(data);
    });
    window.postMessage({ velix: 'request', id, action, args }, location.origin);
  });
  if (answer.failure) throw new VelixError(answer.failure.code, answer.failure.message);
  const response = answer.response;
  if (!response || typeof response !== 'object' || typeof response.result !== 'object')
    throw new VelixError(ErrorCode.HOST_FAILED, 'velixhost answered something that is not a velix answer', response);
  if (response.error === UNKNOWN_ACTION_ERROR)
    throw new VelixError(ErrorCode.UNKNOWN_ACTION, `velixhost does not know the action "${action}"`, response);
  const reason = response.result.reason;
  if (reason !== undefined && reason !== 'ok') {
    const code = REASON_CODES.has(reason) ? reason : ErrorCode.SIGN_FAILED;
    throw new VelixError(code, `velixhost: ${reason}`, response);
  }
  return response;
}

// Settings left out are sent as null: velixhost then keeps what it has (the
// stored on-screen keyboard choice, the user's language).
const SIGN_OPTIONS = ['useStoredKey', 'useUTF8', 'useScreenKbd', 'useCustomer', 'useOperator', 'session', 'language'];

// Signs `text` after the user confirms in velixhost's dialog; resolves with
// the signed document. No time limit: the user may take a while.
export async function signMessage(text, options = {}) {
  const args = { value: String(text) };
  for (const key of SIGN_OPTIONS) args[key] = options[key] === undefined ? null : options[key];
  const response = await request('signMessage', args);
  const document = response.result.value;
  if (typeof document !== 'string' || document === '')
    throw new VelixError(ErrorCode.SIGN_FAILED, 'velixhost signed nothing', response);
  return document;
}

// Forgets the open key, so the next signature asks for key and passphrase.
export async function reset({ timeoutMs = DEFAULT_TIMEOUT_MS } = {}) {
  await request('reset', {}, { timeoutMs });
}

// Opens velixhost's key management dialog; resolves when the user closes it.
export async function editKeys() {
  await request('editKeys', {});
}

export async function version({ timeoutMs = DEFAULT_TIMEOUT_MS } = {}) {
  return (await request('version', {}, { timeoutMs })).result.value;
}

// All settings at once: {version, language, session, useCustomer, useOperator,
// useScreenKbd, useUTF8}.
export async function state({ timeoutMs = DEFAULT_TIMEOUT_MS } = {}) {
  return (await request('state', {}, { timeoutMs })).result;
}

// The signer's last error code (a new velixhost starts from 0).
export async function lastError({ timeoutMs = DEFAULT_TIMEOUT_MS } = {}) {
  return (await request('error', {}, { timeoutMs })).result.error;
}

// One setting: with a value it is set, without one only read; resolves with
// the value velixhost reads back.
function setting(action) {
  return async (value = null, { timeoutMs = DEFAULT_TIMEOUT_MS } = {}) =>
    (await request(action, { value }, { timeoutMs })).result.value;
}

export const useUTF8 = setting('useUTF8');
export const useScreenKbd = setting('useScreenKbd');
export const useOperator = setting('useOperator');
export const useCustomer = setting('useCustomer');
export const session = setting('session');
export const language = setting('language');
