// What a page may ask of the user, per tab: one request that may show a
// dialog at a time, and after the user cancels one, a wait before the next
// (2 s, doubling up to a minute while the user keeps cancelling), so that no
// page can flood the user with dialogs; and a few other requests at a time,
// so that no page can flood the computer with velixhost processes.

export const DIALOG_ACTIONS = new Set(['signMessage', 'editKeys']);
export const OTHERS_AT_ONCE = 8;
export const FIRST_WAIT_MS = 2000;
export const LONGEST_WAIT_MS = 60000;

// Host answers after which the user said no: the next dialog waits.
const REFUSALS = new Set(['cancelled', 'origin-refused']);

export class TabGuard {
  // saved: what snapshot() returned, kept across restarts of the background.
  constructor({ now = Date.now, saved = {} } = {}) {
    this.now = now;
    this.busy = new Set();
    this.others = new Map(); // tab id -> requests without a dialog under way
    this.waits = new Map(); // tab id -> { waitMs, until }
    for (const [tab, wait] of Object.entries(saved))
      if (Number.isFinite(wait?.waitMs) && Number.isFinite(wait?.until)) this.waits.set(Number(tab), wait);
  }

  // Takes the tab's one place for a dialog: false when it is taken.
  claimDialog(tab) {
    if (this.busy.has(tab)) return false;
    this.busy.add(tab);
    return true;
  }

  // Takes one of the tab's places for a request without a dialog.
  claimOther(tab) {
    const running = this.others.get(tab) ?? 0;
    if (running >= OTHERS_AT_ONCE) return false;
    this.others.set(tab, running + 1);
    return true;
  }

  releaseOther(tab) {
    const running = (this.others.get(tab) ?? 1) - 1;
    if (running > 0) this.others.set(tab, running);
    else this.others.delete(tab);
  }

  // How long the tab still has to wait before its next dialog.
  waitLeftMs(tab) {
    const wait = this.waits.get(tab);
    return wait ? Math.max(0, wait.until - this.now()) : 0;
  }

  // Gives the place back once the host answered (reason: its result's
  // reason, if any) or the request ended without an answer (undefined).
  releaseDialog(tab, reason) {
    this.busy.delete(tab);
    if (REFUSALS.has(reason)) {
      const last = this.waits.get(tab)?.waitMs ?? 0;
      const waitMs = last === 0 ? FIRST_WAIT_MS : Math.min(2 * last, LONGEST_WAIT_MS);
      this.waits.set(tab, { waitMs, until: this.now() + waitMs });
    } else if (reason !== undefined) {
      this.waits.delete(tab);
    }
  }

  forget(tab) {
    this.busy.delete(tab);
    this.others.delete(tab);
    this.waits.delete(tab);
  }

  snapshot() {
    return Object.fromEntries(this.waits);
  }
}
