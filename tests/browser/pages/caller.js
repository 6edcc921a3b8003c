// A page that calls velix as the browser test asks: buttons for calls made
// in answer to a click, "?call=ACTION" for a call made at load without one.
// Outcomes land in window.velixLast, velixAgain and velixAll.
import * as velix from '../velix.js';
import * as secondCopy from '../velix.js?second-copy';

window.velix = velix;
window.velixSecondCopy = secondCopy;

const settle = (promise) =>
  promise.then((value) => ({ ok: true, value }), (error) => ({ ok: false, code: error.code, message: error.message }));
// Without the on-screen keyboard, whatever an earlier run stored.
const sign = () => settle(velix.signMessage('Pay 10 to ACME, invoice 7', { useScreenKbd: false }));

const call = new URLSearchParams(location.search).get('call');
if (call) settle(velix[call]('Pay 10 to ACME, invoice 7')).then((outcome) => { window.velixLast = outcome; });

const $ = (id) => document.getElementById(id);
$('sign').addEventListener('click', async () => { window.velixLast = await sign(); });
$('signAgain').addEventListener('click', async () => { window.velixAgain = await sign(); });
$('sign20').addEventListener('click', async () => {
  window.velixAll = await Promise.all(Array.from({ length: 20 }, sign));
});
