// The velix demo: signs the text with velix.js and shows the document, or
// the failure's code. The browser test drives this page.
import * as velix from '../velix.js';

const $ = (id) => document.getElementById(id);

function show(status, code = '') {
  $('status').value = status;
  $('code').value = code;
}

// Runs one call and shows its outcome; the result is also kept on the page
// (window.velixLast) for scripts that drive the demo.
async function run(name, call) {
  show(`${name}…`);
  try {
    const value = await call();
    window.velixLast = { ok: true, value };
    show(`${name}: done`);
    return value;
  } catch (error) {
    window.velixLast = { ok: false, code: error.code ?? 'error', message: error.message };
    show(`${name}: ${error.message}`, error.code ?? '');
    return undefined;
  }
}

$('sign').addEventListener('click', async () => {
  $('document').textContent = '';
  const signed = await run('sign', () =>
    velix.signMessage($('text').value, {
      useUTF8: $('useUTF8').checked,
      useScreenKbd: $('useScreenKbd').checked,
      language: $('language').value,
    }),
  );
  if (signed !== undefined) {
    $('document').textContent = signed;
    await checkOnServer(signed);
  }
});

// With ?verify=URL the page posts the document to the demo's verify server
// (browser/demo/verify_server.py), which checks it the way a bank's server
// does; its answer is shown and kept on the page (window.velixVerified).
const verifyServer = new URLSearchParams(location.search).get('verify');
async function checkOnServer(signed) {
  if (!verifyServer) return;
  $('verification').textContent = 'checking…';
  try {
    const answer = await fetch(`${verifyServer}/verify`, {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ document: signed, utf8: $('useUTF8').checked }),
    });
    window.velixVerified = await answer.json();
  } catch (error) {
    window.velixVerified = { result: 'unreachable', reason: error.message };
  }
  $('verification').textContent = JSON.stringify(window.velixVerified, null, 2);
}
$('version').addEventListener('click', () => run('version', async () => {
  const value = await velix.version();
  $('document').textContent = `velixhost ${value}`;
  return value;
}));
$('state').addEventListener('click', () => run('settings', async () => {
  const value = await velix.state();
  $('document').textContent = JSON.stringify(value, null, 2);
  return value;
}));
$('editKeys').addEventListener('click', () => run('keys', () => velix.editKeys()));

window.velix = velix; // for the console and for test scripts
// The extension leaves no mark in the page: asking velixhost's version tells
// whether velix is there.
velix.version().then(
  (value) => { $('extension').textContent = `velixhost ${value} found.`; },
  (error) => { $('extension').textContent = `${error.message} (see README.md).`; },
);
