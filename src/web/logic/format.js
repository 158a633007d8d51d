/* Numbers: the limits of pace, lifetimes and retries, and how times are
   written. Loaded after texts.js. */
(function (root) {
  'use strict';

  var L = root.ConsoleLogic;
  var T = L.TEXTS;

  /* ---- Limits ---- */

  /* The pace of polling: never faster than MIN_POLL_SEC, never slower
     than MAX_POLL_SEC, whatever a document says (a tool's interval can be
     any number, and a timer far in the future fires at once); every
     slow_down answer adds SLOW_DOWN_SEC for the rest of the flow
     (RFC 8628, section 3.5). */
  var MIN_POLL_SEC = 5;
  var MAX_POLL_SEC = 60;
  var SLOW_DOWN_SEC = 5;
  /* A code said to live under 1 s or over a day gets no countdown: such a
     number is a tool's mistake, not a time to show. */
  var MIN_LIFETIME_SEC = 1;
  var MAX_LIFETIME_SEC = 24 * 3600;
  /* A node that does not answer is asked again after RETRY_FIRST_SEC,
     then twice as long each time, up to RETRY_MAX_SEC. */
  var RETRY_FIRST_SEC = 2;
  var RETRY_MAX_SEC = 60;
  /* A page at rest and in view reads the status again at least this
     often, and also at the moment the token expires. */
  var RECHECK_SEC = 60;
  /* A poll still unanswered after this long is said to be slow. */
  var SLOW_POLL_SEC = 10;
  var TICK_MS = 1000;
  /* Two readings of the start time of one pending login, each taken from a
     status document as now - pending_age_sec, differ by the time the node
     took to collect that status (it reads its clock for the age before the
     tools run and for `now` after). Readings closer than this are the same
     login. */
  var SAME_LOGIN_SLACK_SEC = 5;

  /* ---- Numbers ---- */

  function isNum(v) {
    return typeof v === 'number' && isFinite(v);
  }

  /* Seconds between polls from a tool's interval, within the limits. */
  function saneInterval(v) {
    var n = Number(v);
    if (!(n > 0)) return MIN_POLL_SEC;   /* NaN, 0, negative: no pace given */
    return Math.min(MAX_POLL_SEC, Math.max(MIN_POLL_SEC, n));
  }

  function pollDelayMs(flow) {
    return Math.min(MAX_POLL_SEC, flow.interval + flow.extraSec) * 1000;
  }

  /* The delay before the n-th retry (n >= 1) of an unanswered status. */
  function retryDelayMs(n) {
    var sec = RETRY_FIRST_SEC;
    for (var i = 1; i < n && sec < RETRY_MAX_SEC; i++) sec *= 2;
    return Math.min(RETRY_MAX_SEC, sec) * 1000;
  }

  /* The delay before the next calm re-read of the status: RECHECK_SEC,
     or less when the token expires sooner (tokenExpiresAt, page ms; 0:
     none). An expiry already past gives the calm pace: the page has said
     "expired" by its own clock by then. */
  function recheckDelayMs(tokenExpiresAt, now) {
    var calm = RECHECK_SEC * 1000;
    if (tokenExpiresAt > now && tokenExpiresAt - now < calm) return tokenExpiresAt - now;
    return calm;
  }

  /* When a code given `expiresIn` seconds to live at `now` expires, or 0
     (no countdown) when the number is out of range. */
  function expiryFrom(expiresIn, now) {
    if (!isNum(expiresIn) || expiresIn < MIN_LIFETIME_SEC || expiresIn > MAX_LIFETIME_SEC) return 0;
    return now + expiresIn * 1000;
  }

  function secondsLeft(expiresAt, now) {
    return Math.max(0, Math.ceil((expiresAt - now) / 1000));
  }

  /* Expiry wording of the Token row. */
  function fmtExpiry(sec) {
    var s = Number(sec);
    if (!(s > 0)) return T.unknownTime;
    if (s < 60) return T.seconds(s);
    var m = Math.floor(s / 60);
    if (m < 60) return T.minutes(m);
    var h = Math.floor(m / 60);
    if (h < 48) return T.hoursMinutes(h, m % 60);
    return T.days(Math.floor(h / 24));
  }

  /* How long ago, coarsely: "45 s", "12 min", "2 h", "3 days". */
  function fmtAgo(sec) {
    var s = Math.floor(sec);
    if (s < 60) return T.secondsAgo(s);
    var m = Math.floor(s / 60);
    if (m < 60) return T.minutes(m);
    var h = Math.floor(m / 60);
    if (h < 48) return T.hours(h);
    return T.days(Math.floor(h / 24));
  }

  /* Time left on a code as m:ss. */
  function fmtLeft(sec) {
    var m = Math.floor(sec / 60);
    var r = sec % 60;
    return m + ':' + (r < 10 ? '0' : '') + r;
  }

  /* How long ago a token expired, from its expires_in_sec, or '' when
     the number does not tell. */
  function expiredAgo(expiresInSec) {
    return isNum(expiresInSec) && expiresInSec < 0 ? fmtAgo(-expiresInSec) : '';
  }

  function expiredNote(expiresInSec) {
    return T.expiredNote(expiredAgo(expiresInSec));
  }

  function expiredToken(expiresInSec) {
    return T.tokenExpired(expiredAgo(expiresInSec));
  }

  L.LIMITS = {
    MIN_POLL_SEC: MIN_POLL_SEC,
    MAX_POLL_SEC: MAX_POLL_SEC,
    SLOW_DOWN_SEC: SLOW_DOWN_SEC,
    MAX_LIFETIME_SEC: MAX_LIFETIME_SEC,
    SLOW_POLL_SEC: SLOW_POLL_SEC,
    TICK_MS: TICK_MS,
    RECHECK_SEC: RECHECK_SEC,
  };
  L.recheckDelayMs = recheckDelayMs;
  L.SAME_LOGIN_SLACK_SEC = SAME_LOGIN_SLACK_SEC;
  L.isNum = isNum;
  L.saneInterval = saneInterval;
  L.pollDelayMs = pollDelayMs;
  L.retryDelayMs = retryDelayMs;
  L.expiryFrom = expiryFrom;
  L.secondsLeft = secondsLeft;
  L.fmtExpiry = fmtExpiry;
  L.fmtAgo = fmtAgo;
  L.fmtLeft = fmtLeft;
  L.expiredNote = expiredNote;
  L.expiredToken = expiredToken;
})(this);
