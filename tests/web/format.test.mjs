// Numbers and times (src/web/logic/format.js): the poll pace, the retry
// delay, a code's lifetime and times in words.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { L, NOW } from './console-driver.mjs';

test('the pace stays between 5 and 60 s whatever the tool says', () => {
  const intervals = [
    [undefined, 5], [0, 5], [-3, 5], ['x', 5], [null, 5], [1, 5], [5, 5], [7, 7], [12.5, 12.5], [60, 60],
    [61, 60], [2147484, 60], [Infinity, 60], ['9', 9],
  ];
  for (const [v, want] of intervals) assert.equal(L.saneInterval(v), want, String(v));
  const delays = [
    [{ interval: 5, extraSec: 0 }, 5000],
    [{ interval: 12, extraSec: 5 }, 17000],
    [{ interval: 60, extraSec: 5 }, 60000],
    [{ interval: 5, extraSec: 100 }, 60000],
  ];
  for (const [flow, want] of delays) assert.equal(L.pollDelayMs(flow), want, JSON.stringify(flow));
  const retries = [[1, 2000], [2, 4000], [3, 8000], [4, 16000], [5, 32000], [6, 60000], [50, 60000]];
  for (const [n, want] of retries) assert.equal(L.retryDelayMs(n), want, `retry ${n}`);
});

test('a code\'s lifetime is shown only between 1 s and 24 h', () => {
  const cases = [
    [900, NOW + 900_000], [1, NOW + 1000], [86400, NOW + 86_400_000],
    [86401, 0], [0, 0], [0.5, 0], [-5, 0], [9223372036854775807, 0], ['900', 0], [undefined, 0], [NaN, 0],
  ];
  for (const [v, want] of cases) assert.equal(L.expiryFrom(v, NOW), want, String(v));
});

test('times in words: the Token row, time left, time since', () => {
  const expiry = [
    [45, '45s'], [60, '1 min'], [3599, '59 min'], [3600, '1 h 0 min'], [7200, '2 h 0 min'],
    [48 * 3600 - 1, '47 h 59 min'], [172800, '2 days'], [0, 'unknown'], [undefined, 'unknown'], [-600, 'unknown'],
  ];
  for (const [v, want] of expiry) assert.equal(L.fmtExpiry(v), want, String(v));
  const left = [[0, '0:00'], [9, '0:09'], [60, '1:00'], [899, '14:59']];
  for (const [v, want] of left) assert.equal(L.fmtLeft(v), want, String(v));
  const ago = [[30, '30 s'], [600, '10 min'], [7300, '2 h'], [47 * 3600, '47 h'], [3 * 86400, '3 days']];
  for (const [v, want] of ago) assert.equal(L.fmtAgo(v), want, String(v));
  assert.equal(L.expiredNote(-7300), 'Expired 2 h ago. Try Refresh Token Now; if that fails, re-login.');
  assert.equal(L.expiredNote(0), 'Expired. Try Refresh Token Now; if that fails, re-login.');
});
