// What the console's tables share: the logic scripts loaded as the page
// loads them (load-logic.mjs), the clocks the rows run on, and a console
// driven by events: status documents, a driver whose steps read like the
// rows, and check(), which compares a row's wanted phase, view and effects
// with what a step gave.
import assert from 'node:assert/strict';
import { loadLogic } from './load-logic.mjs';

export const L = loadLogic();
// Objects made in the logic's own context have that context's
// prototypes; they are compared as plain values.
export const plain = (v) => JSON.parse(JSON.stringify(v));
export const NOW = 1_700_000_000_000;          // page clock, ms
export const NODE_NOW = 1_700_000_000;         // node clock, s
export const ELLIPSIS = '\u2026';

export function statusDoc(fields = {}) {
  return {
    ok: true, provider: 'lumivane', logged_in: false, username: '', account: '', expires_in_sec: 0, expired: false,
    has_refresh: false, pending: false, profile: 'grandlumivane', profile_exists: false, cli_present: true,
    token_cli_present: true, path: '/data/auth.json', now: NODE_NOW, ...fields,
  };
}
export const pendingDoc = (age, fields = {}) => statusDoc({ pending: true, pending_age_sec: age, ...fields });
export const signedInDoc = (fields = {}) => statusDoc({ logged_in: true, account: 'org-x', username: 'org-x', expires_in_sec: 3600, has_refresh: true, ...fields });
export const asResult = (doc, http = 200) => L.classify(http, JSON.stringify(doc));
export const startDoc = (fields = {}) => ({ ok: true, flow: 'device_code', verify_url: 'http://127.0.0.1/demo/approve?code=ABCD-1234', user_code: 'ABCD-1234', expires_in: 900, interval: 5, pending: true, ...fields });

// A console driven by events; `now` moves only when a step says so.
export class Console {
  constructor(canCopy = true) {
    const b = L.boot(NOW, canCopy);
    this.model = b.model;
    this.now = NOW;
    this.effects = b.effects;
    this.stored = null;
  }
  step(ev) {
    const out = L.transition(this.model, { now: this.now, ...ev });
    this.model = out.model;
    this.effects = out.effects;
    for (const e of out.effects) {
      if (e.type === 'store') this.stored = e.text;
      if (e.type === 'forget') this.stored = null;
    }
    return this;
  }
  gen() { return this.model.gen; }
  answer(tag, result, gen = this.model.gen) { return this.step({ type: 'answer', tag, gen, result, stored: this.stored }); }
  status(doc) { return this.answer('status', asResult(doc)); }
  press(what) { return this.step({ type: 'press', what }); }
  timer(name) { return this.step({ type: 'timer', name }); }
  event(type) { return this.step({ type }); }
  after(ms) { this.now += ms; return this; }
  get view() { return plain(L.view(this.model)); }
  // The effects as short words: "call:start", "timer:poll:5000", "forget"...
  get fx() {
    return plain(this.effects).map((e) => {
      if (e.type === 'call') return `call:${e.tag === e.action ? e.action : e.action + '/' + e.tag}`;
      if (e.type === 'timer') return `timer:${e.name}:${e.ms}`;
      if (e.type === 'stop') return `stop:${e.name}`;
      if (e.type === 'focus') return `focus:${e.id}`;
      if (e.type === 'scroll') return `scroll:${e.id}`;
      return e.type;
    });
  }
}

export function signedOut() { return new Console().status(statusDoc()); }
export function following(fields = {}) {
  const c = signedOut().press('start').answer('start', asResult(startDoc(fields)));
  return c.status(pendingDoc(0));
}

// What a step shows, for the rows below to check a part of.
export function shows(c) {
  const v = c.view;
  return {
    phase: c.model.phase, pill: v.pill.text, status: v.rows.vStatus, token: v.rows.vToken,
    sessionNote: v.sessionNote.text, flowNote: v.flowNote.text, step: v.step, code: v.flow ? v.flow.code : null,
    expiry: v.flow ? v.flow.expiry : null, pollLabel: v.pollLabel, title: v.title,
    start: v.buttons.start.disabled ? 'off' : (v.buttons.start.primary ? 'primary' : 'on'),
    refresh: v.buttons.refresh.disabled ? 'off' : (v.buttons.refresh.primary ? 'primary' : 'on'),
    cancel: v.buttons.cancel.disabled ? 'off' : 'on', fx: c.fx,
    noteClass: v.sessionNote.cls, tools: v.tools && v.tools.login, idleLine: v.idleLine.join(''),
    refreshPrimary: v.buttons.refresh.primary, refreshBusy: v.buttons.refresh.busy, refreshOff: v.buttons.refresh.disabled,
    announce: v.announce,
  };
}

export function check(rows) {
  for (const row of rows) {
    const c = row.run();
    const got = shows(c);
    for (const [key, want] of Object.entries(row.want)) {
      if (key === 'fx') {
        for (const e of want) assert.ok(got.fx.includes(e), `${row.why}: effect ${e} in ${got.fx.join(', ')}`);
      } else if (key === 'noFx') {
        for (const e of want) assert.ok(!got.fx.some((f) => f.startsWith(e)), `${row.why}: no ${e} in ${got.fx.join(', ')}`);
      } else {
        assert.deepEqual(got[key], want, `${row.why}: ${key}`);
      }
    }
  }
}
