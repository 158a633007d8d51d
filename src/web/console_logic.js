/* The console's decisions, kept apart from the page: what a plugin answer
   means, what the operator is told, when to poll, when a code has expired,
   which address a request goes to, and the one function that takes the
   console from one phase to the next.

   Nothing here touches the page, the network, storage or the clock. Every
   input comes in as an argument (times as milliseconds since the epoch,
   stored texts as they were read), every output is a plain value: the next
   model, the effects that console.js carries out, and the view it draws.
   So the whole of it runs under node --test without a browser
   (tests/web/), and console.js is left with I/O and drawing.

   The model is one value: `phase` plus the data of the flow this page
   follows. Only `transition` makes a new model; `view` only reads one. */
(function (root) {
  'use strict';

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
  /* A poll still unanswered after this long is said to be slow. */
  var SLOW_POLL_SEC = 10;
  var TICK_MS = 1000;
  /* Two readings of the start time of one pending login, each taken from a
     status document as now - pending_age_sec, differ by the time the node
     took to collect that status (it reads its clock for the age before the
     tools run and for `now` after). Readings closer than this are the same
     login. */
  var SAME_LOGIN_SLACK_SEC = 5;

  var LOGIN_TOOL = 'vantorel-lumivane-login';

  /* ---- Texts ---- */

  var ELLIPSIS = '\u2026';
  var T = {
    noSession: 'No session on this node yet. Start a device login below.',
    alreadyIn: 'This node already has LumiVane credentials. Use Re-login to replace them.',
    signedInFlow: 'Signed in. The credential file has been written.',
    cancelled: 'Device flow cancelled.',
    cancelledElsewhere: 'This login was cancelled, perhaps from another window.',
    endedElsewhere: 'This login ended in another window.',
    replaced: 'This code was replaced by a login started elsewhere, and no longer works.',
    expired: 'The code has expired. Start a new login.',
    expiredRelogin: 'The code has expired. Press Re-login (replace) for a new one.',
    unknownCode: 'A login is pending on this node, but its code is not known in this browser. ' +
      'Cancel it, or start a new login.',
    confirm: 'A login is already pending on this node, started in another window or browser; ' +
      'its code is not shown here. Starting a new login replaces it, and its code stops working.',
    toolMissing: 'The login tool ' + LOGIN_TOOL + ' is not installed on this node, so no login can start. ' +
      'Install it, or set LUMIVANE_LOGIN_BIN to its path, then reload this page.',
    copied: 'Code copied. Open the link and approve.',
    copyOpened: 'Copy the code shown above, then approve on the page that opened.',
    copyNotOpened: 'Copy the code shown above, then open the address and approve.',
    copyHint: 'Copying is not available on this page: copy the code by hand before the page opens ' +
      '(one click on the code selects all of it).',
    loading: 'Checking this node' + ELLIPSIS,
    waitingNode: 'Waiting for the node to answer' + ELLIPSIS,
    requesting: 'Requesting a code' + ELLIPSIS,
  };

  /* What each error code means, in words, for every code that the plugin
     or the tools behind it send. A sentence is a clause: the caller puts
     "Start failed: " or the like before it and the plugin's detail after
     it. Codes in QUIET_DETAIL come with a detail that only repeats the
     sentence. */
  var SENTENCES = {
    /* the plugin's own */
    cli_unavailable: 'the login tool ' + LOGIN_TOOL + ' is not installed on this node',
    start_failed: 'the login tool could not start a login',
    start_incomplete: 'the login tool answered without a code or an address to approve it at',
    cross_site_request: 'the node refused a request that came from a page on another site',
    host_not_allowed: 'the node does not know the name this page was opened under; open it by the node\'s address, ' +
      'or add that name to LUMIVANE_ALLOWED_HOSTS on the node',
    poll_failed: 'the login tool could not be asked about the login',
    cancel_failed: 'the login tool did not cancel the login',
    refresh_failed: 'the token tool did not confirm a live token',
    refresh_unavailable: 'the token tool vantorel-lumivane-fetchtoken is not installed on this node',
    not_logged_in: 'there is no session to refresh, because this node is not signed in',
    unknown_action: 'the node did not understand the request; this page and the plugin may not match',
    'invalid node password': 'the node refused this page\'s password; open the console again from the node\'s own page',
    response_failed: 'the node could not put its answer together',
    /* from the login service, passed on by the login tool (RFC 8628) */
    access_denied: 'the login was denied on the approval page',
    expired_token: 'the code expired before it was approved',
    no_pending_login: 'there is no login in progress on this node',
    invalid_grant: 'the login service no longer accepts this code',
    invalid_client: 'the login service does not know this node\'s login tool',
    unauthorized_client: 'the login service does not let this node\'s login tool sign in this way',
    invalid_request: 'the login service refused the login tool\'s request',
    server_error: 'the login service had an error',
    temporarily_unavailable: 'the login service is busy; try again in a moment',
    rate_limited: 'the login service is refusing requests for a while; try again later',
    network_error: 'the login tool could not reach the login service',
    unknown_option: 'the login tool does not understand what the plugin asked of it',
    exists: 'this node already has credentials',
    already_logged_in: 'this node already has credentials',
  };
  var QUIET_DETAIL = { cli_unavailable: true, refresh_unavailable: true, unknown_action: true };

  function has(obj, key) {
    return Object.prototype.hasOwnProperty.call(obj, key);
  }

  /* The clause for an error code with the detail after it: never a bare
     code, and never nothing. */
  function errorSentence(code, detail) {
    var c = typeof code === 'string' ? code : '';
    var text;
    if (c && has(SENTENCES, c)) text = SENTENCES[c];
    else if (c) text = 'the node answered with an error this page does not know (' + c + ')';
    else text = 'the node gave no reason';
    if (typeof detail === 'string' && detail !== '' && !has(QUIET_DETAIL, c)) text += ' (' + detail + ')';
    return text;
  }

  /* The clause for any failed answer: one the plugin sent, or none. */
  function failureSentence(result) {
    if (result.kind === 'doc') return errorSentence(result.doc.error, result.doc.detail);
    return result.http ? 'can\'t reach the node (HTTP ' + result.http + ')' : 'can\'t reach the node';
  }

  function capital(text) {
    return text.charAt(0).toUpperCase() + text.slice(1);
  }

  /* The session note while the node's state is unknown. */
  function reachText(result) {
    if (result.kind === 'doc') return 'Error: ' + failureSentence(result) + '.';
    return capital(failureSentence(result)) + '. Retrying' + ELLIPSIS;
  }

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
    if (!(s > 0)) return 'unknown';
    if (s < 60) return s + 's';
    var m = Math.floor(s / 60);
    if (m < 60) return m + ' min';
    var h = Math.floor(m / 60);
    if (h < 48) return h + ' h ' + (m % 60) + ' min';
    return Math.floor(h / 24) + ' days';
  }

  /* How long ago, coarsely: "45 s", "12 min", "2 h", "3 days". */
  function fmtAgo(sec) {
    var s = Math.floor(sec);
    if (s < 60) return s + ' s';
    var m = Math.floor(s / 60);
    if (m < 60) return m + ' min';
    var h = Math.floor(m / 60);
    if (h < 48) return h + ' h';
    return Math.floor(h / 24) + ' days';
  }

  /* Time left on a code as m:ss. */
  function fmtLeft(sec) {
    var m = Math.floor(sec / 60);
    var r = sec % 60;
    return m + ':' + (r < 10 ? '0' : '') + r;
  }

  function expiredNote(expiresInSec) {
    var ago = isNum(expiresInSec) && expiresInSec < 0 ? ' ' + fmtAgo(-expiresInSec) + ' ago' : '';
    return 'Expired' + ago + '. Try Refresh Token Now; if that fails, re-login.';
  }

  function expiredToken(expiresInSec) {
    return isNum(expiresInSec) && expiresInSec < 0 ? 'expired ' + fmtAgo(-expiresInSec) + ' ago' : 'expired';
  }

  /* ---- Answers ---- */

  /* What an HTTP answer is: the plugin's document (a JSON object with a
     boolean `ok`, whatever the status), or no answer from the plugin at
     all (no response, an HTML error page of the host, anything else).
     Parser messages never leave this function. */
  function classify(http, text) {
    var doc = null;
    if (http > 0) {
      try {
        doc = JSON.parse(text);
      } catch (e) {
        doc = null;
      }
    }
    if (!doc || typeof doc !== 'object' || Array.isArray(doc) || typeof doc.ok !== 'boolean') {
      return { kind: 'unreachable', http: http > 0 ? http : 0 };
    }
    return { kind: 'doc', http: http, doc: doc };
  }

  /* A status document (status, refresh, a cancel or a done poll answer),
     as opposed to another document that only says ok. */
  function isStatusDoc(doc) {
    return doc.ok === true && typeof doc.logged_in === 'boolean' && typeof doc.cli_present === 'boolean';
  }

  /* What a poll answer says about the flow. */
  function pollOutcome(result) {
    if (result.kind !== 'doc' || !result.doc.ok) return { kind: 'trouble', sentence: failureSentence(result) };
    var d = result.doc;
    /* The state decides first: a failed re-login still reports
       logged_in true, for the credentials that were there before. */
    if (d.state === 'failed') {
      if (d.error === 'slow_down') return { kind: 'slow-down' };
      if (d.error === 'authorization_pending') return { kind: 'pending', still: true, interval: 0 };
      /* The failed document's logged_in is the node's state before the
         tool ran: true here, with no login pending, also when another
         window's poll collected this very login. */
      if (d.error === 'no_pending_login') return { kind: 'gone', signedIn: d.logged_in === true };
      return { kind: 'failed', sentence: errorSentence(d.error, d.detail) };
    }
    if (d.state === 'done' || (d.state !== 'pending' && d.logged_in === true)) return { kind: 'done' };
    return { kind: 'pending', still: false, interval: d.interval };
  }

  /* The node's start time of its pending login, in the node's seconds, or
     0 when the document does not tell. */
  function nodeCreated(doc) {
    if (!doc || doc.pending !== true || !isNum(doc.now) || !isNum(doc.pending_age_sec) || doc.pending_age_sec < 0) return 0;
    return doc.now - doc.pending_age_sec;
  }

  function sameLogin(a, b) {
    return a > 0 && b > 0 && Math.abs(a - b) <= SAME_LOGIN_SLACK_SEC;
  }

  /* A login started on the node after the one this page follows replaced
     it: the node keeps one pending login. */
  function isReplaced(flow, doc) {
    var created = nodeCreated(doc);
    return flow.code !== '' && flow.created > 0 && created > flow.created + SAME_LOGIN_SLACK_SEC;
  }

  /* ---- Addresses ---- */

  function enc(s) {
    return encodeURIComponent(s);
  }

  /* The address of one plugin call. The password goes in the
     X-Bot-Password header; `pwd` joins the address only once the host has
     been seen to drop that header (withPwd). */
  function actionUrl(where, action, extra, withPwd) {
    var url = where.hub
      ? '/plugins?plugin=' + enc(where.hub) + '&action=' + enc(action)
      : '/plugin_lumivane_login?action=' + enc(action);
    if (extra) url += '&' + extra;
    if (where.node) url += '&node=' + enc(where.node);
    if (where.sid) url += '&id=' + enc(where.sid);
    if (withPwd && where.pwd) url += '&pwd=' + enc(where.pwd);
    return url;
  }

  /* A header-only request refused with 401: the host dropped the header,
     so the call is made again, and every later one, with `pwd` as well. */
  function retryWithPwd(http, pwd, withPwd) {
    return http === 401 && pwd !== '' && !withPwd;
  }

  /* The page's password: the address's pwd, else the one stored for this
     node, else the active one. `stored(key)` reads browser storage. */
  function pagePassword(queryPwd, node, stored) {
    return queryPwd || (node ? stored('bot_pwd_' + node) : '') || stored('bot_active_pwd') || '';
  }

  /* The verification address as a URL that may be opened, or '' when it is
     not an absolute http: or https: address (javascript:, data:, relative
     texts and anything unparsable are only ever shown). */
  function openableUrl(text) {
    var u;
    try {
      u = new URL(text);
    } catch (e) {
      return '';
    }
    return u.protocol === 'http:' || u.protocol === 'https:' ? u.href : '';
  }

  /* ---- The stored flow ---- */

  /* The started flow of a node (code, address, expiry, pace, start time on
     the node) is kept in browser storage under this key, so that a reload
     or a second tab shows the code again. A user code is not a
     credential: it is short-lived and useless without an approval. */
  function flowKey(node) {
    return 'lumivane_flow_' + node;
  }

  function storedFlowText(flow) {
    return JSON.stringify({
      code: flow.code, url: flow.url, expires_at: flow.expiresAt, interval: flow.interval, created: flow.created,
    });
  }

  /* A stored flow read back, or null when it is not one. Its numbers are
     checked like a tool's: an expiry further out than any code lives, or
     none, gives no countdown; an expiry that has passed marks it expired. */
  function readStoredFlow(text, now) {
    var f;
    try {
      f = JSON.parse(text || 'null');
    } catch (e) {
      return null;
    }
    if (!f || typeof f !== 'object' || typeof f.code !== 'string' || f.code === '' || typeof f.url !== 'string') return null;
    var expiresAt = 0;
    var expired = false;
    if (isNum(f.expires_at) && f.expires_at > 0) {
      if (f.expires_at <= now) expired = true;
      else if (f.expires_at - now <= MAX_LIFETIME_SEC * 1000) expiresAt = f.expires_at;
    }
    return {
      code: f.code,
      url: f.url,
      expiresAt: expiresAt,
      expired: expired,
      interval: saneInterval(f.interval),
      created: isNum(f.created) && f.created > 0 ? f.created : 0,
    };
  }

  /* ---- The model ---- */

  /* Phases:
       loading      before the first status answer; actions held back
       idle         signed out, no login followed
       ended        signed out, the login this page followed has ended
                    (failed, expired, replaced, cancelled elsewhere)
       signed-in    signed in, no login followed
       unreachable  the node gave no status; its state is unknown
       starting     a start request is out
       confirming   the operator is asked before a pending login whose
                    code this page does not know is replaced
       following    a pending login is polled (its code shown when known)
       cancelling   a cancel request is out; the code stays shown

     The data of a flow (model.flow) while following or cancelling:
       code         the user code, '' when this page does not know it
       url          the verification address
       expiresAt    ms since the epoch; 0: no countdown
       interval     seconds between polls, within the limits
       extraSec     added by slow_down answers
       created      the node's start time of the login (its seconds), 0
                    until a status document tells
       wasSignedIn  the node was signed in when the flow began (a re-login)
       stillPending the last answer was authorization_pending */
  function initial(now, canCopy) {
    return {
      phase: 'loading',
      now: now,
      canCopy: !!canCopy,
      session: null,        /* the last status document */
      flow: null,
      gen: 0,               /* changes whenever a flow begins or ends */
      endedCreated: -1,     /* start time of the login that ended here (0: unknown, -1: none) */
      back: '',             /* the phase that "Keep It" returns to */
      startForce: false,
      pollInFlight: false,
      pollSlow: false,
      trouble: false,       /* the last check of a followed flow failed */
      refreshing: false,
      retries: 0,
      reach: '',            /* why the node's state is unknown */
      sessionMsg: null,     /* {cls, text}: the answer to the operator's last press */
      flowMsg: null,        /* {cls, text, kind} */
      outcome: '',          /* how the last flow ended */
    };
  }

  /* The first model and what to do at once. */
  function boot(now, canCopy) {
    return { model: initial(now, canCopy), effects: [call('status', '', 0)] };
  }

  function call(action, extra, gen, tag) {
    return { type: 'call', action: action, extra: extra || '', tag: tag || action, gen: gen };
  }
  function after(name, ms) {
    return { type: 'timer', name: name, ms: ms };
  }
  function stop(name) {
    return { type: 'stop', name: name };
  }
  function focus(id, force) {
    return { type: 'focus', id: id, force: !!force };
  }
  function msg(cls, text, kind) {
    return { cls: cls, text: text, kind: kind || '' };
  }

  function signedIn(m) {
    return !!(m.session && m.session.logged_in === true);
  }
  function cliPresent(m) {
    return !m.session || m.session.cli_present !== false;
  }
  function atRest(phase) {
    return phase === 'loading' || phase === 'idle' || phase === 'ended' || phase === 'signed-in' || phase === 'unreachable';
  }
  function showsCode(m) {
    return (m.phase === 'following' || m.phase === 'cancelling') && m.flow.code !== '';
  }
  /* The phase to rest in once no flow is followed. */
  function restPhase(m, ended) {
    if (signedIn(m)) return 'signed-in';
    return ended ? 'ended' : 'idle';
  }
  /* Where focus goes when a flow ends and the operator's place is gone. */
  function restFocus(m) {
    if (signedIn(m)) return 'sessionNote';
    return cliPresent(m) ? 'btnStartLogin' : 'flowTitle';
  }

  /* Start (or Re-login) would replace a pending login that this page
     neither shows nor saw end. While this page shows a code, the node's
     pending login is that code's (a newer one ends the flow at the status
     that tells it), so Re-login replaces it without asking. */
  function needsConfirm(m) {
    var s = m.session;
    if (!s || s.pending !== true || showsCode(m)) return false;
    return !sameLogin(nodeCreated(s), m.endedCreated);
  }

  /* Start is for a node that is signed out; Re-login, shown only on a
     signed-in node, may replace anything. Start also waits while this page
     shows a code (Cancel is the way out of it). */
  function canStart(m, force) {
    if (!atRest(m.phase) && m.phase !== 'following') return false;
    if (m.phase === 'loading' || m.phase === 'unreachable' || !cliPresent(m)) return false;
    if (force) return true;   /* shown only on a signed-in node */
    return !signedIn(m) && !showsCode(m);
  }

  /* Begins following a login: `f` is the flow this page knows (its code
     and pace), or null for a pending login whose code it does not know.
     The first poll comes one interval later. */
  function beginFollow(m, f, created, fx) {
    m.gen++;
    m.phase = 'following';
    m.flow = {
      code: f ? f.code : '',
      url: f ? f.url : '',
      expiresAt: f ? f.expiresAt : 0,
      interval: f ? f.interval : MIN_POLL_SEC,
      extraSec: 0,
      created: created || (f ? f.created : 0) || 0,
      wasSignedIn: signedIn(m),
      stillPending: false,
    };
    m.trouble = false;
    m.pollSlow = false;
    m.outcome = '';
    fx.push(after('poll', pollDelayMs(m.flow)));
    if (m.flow.expiresAt) fx.push(after('tick', TICK_MS));
  }

  /* Ends the followed flow for good: no timer, no stored code. `how` is
     done, failed, expired, replaced, gone or cancelled; the caller sets
     the note that tells it. */
  function endFlow(m, how, fx) {
    m.endedCreated = m.flow ? m.flow.created : 0;
    m.flow = null;
    m.gen++;
    m.trouble = false;
    m.pollSlow = false;
    m.outcome = how;
    /* Signed in: the session note says as whom, in place of an older answer. */
    if (how === 'done') m.sessionMsg = null;
    m.phase = restPhase(m, how !== 'done' && how !== 'cancelled');
    fx.push(stop('poll'), stop('tick'), stop('slow'), { type: 'forget' });
    fx.push(focus(how === 'done' ? 'sessionNote' : restFocus(m)));
  }

  function beginStart(m, force, fx) {
    if (m.flow) {
      m.gen++;
      m.flow = null;
      fx.push(stop('poll'), stop('tick'), stop('slow'));
    }
    m.phase = 'starting';
    m.startForce = force;
    m.sessionMsg = null;
    m.flowMsg = null;
    m.outcome = '';
    fx.push(call('start', force ? 'force=1' : '', m.gen));
    fx.push(focus('flowTitle'));
  }

  function sendPoll(m, fx) {
    m.pollInFlight = true;
    m.pollSlow = false;
    fx.push(stop('poll'), call('poll', '', m.gen), after('slow', SLOW_POLL_SEC * 1000));
  }

  /* The code ran out: the flow ends here and at the node, and every part
     of the page says so. */
  function expire(m, fx) {
    var relogin = m.flow.wasSignedIn;
    endFlow(m, 'expired', fx);
    m.flowMsg = msg('err', relogin ? T.expiredRelogin : T.expired);
    fx.push(call('cancel', '', m.gen, 'expire'));
  }

  /* A status document arrived (status, refresh). `current`: it was asked
     for in this flow's time, so it may end or begin one. */
  function takeStatus(m, doc, storedText, current, fx) {
    m.session = doc;
    m.retries = 0;
    m.reach = '';
    if (m.phase === 'following') {
      if (current) checkFlow(m, doc, fx);
      return;
    }
    if (!atRest(m.phase)) return;
    var wasPhase = m.phase;
    /* A status asked for before a flow began or ended describes another
       moment: it neither revives a flow nor drops a stored code. */
    if (!current) {
      m.phase = restPhase(m, m.phase === 'ended');
      return;
    }
    if (doc.pending === true) {
      var created = nodeCreated(doc);
      /* A flow can end before any status told the node's start time of
         its login (a poll answered first). The node keeps one pending
         login, so the first one read after the end is the marker that
         login left behind. */
      if (m.endedCreated === 0 && created > 0) m.endedCreated = created;
      /* A pending login that ended here is not followed again; a newer one is. */
      if (m.endedCreated < 0 || (created > 0 && !sameLogin(created, m.endedCreated))) {
        resume(m, created, readStoredFlow(storedText, m.now), fx);
        return;
      }
    } else {
      /* Nothing is left at the node of the login that ended here: any
         pending login from now on began elsewhere. */
      m.endedCreated = -1;
      fx.push({ type: 'forget' });
    }
    m.phase = restPhase(m, m.phase === 'ended');
    if (m.phase === 'signed-in' && wasPhase !== 'signed-in') fx.push(focus('sessionNote'));
  }

  /* The node has a pending login and this page follows none: show the
     stored code when it belongs to that login, else say plainly that the
     code is not known here. A stored code that ran out while no page
     showed it ends at the node. */
  function resume(m, created, stored, fx) {
    var mine = stored && (!stored.created || !created || sameLogin(stored.created, created));
    if (mine && stored.expired) {
      if (stored.created && sameLogin(stored.created, created)) {
        m.flow = { code: stored.code, created: created, wasSignedIn: signedIn(m) };
        expire(m, fx);
        return;
      }
      mine = false;
    }
    beginFollow(m, mine ? stored : null, created, fx);
    m.flowMsg = null;
    if (!mine) fx.push({ type: 'forget' });
  }

  /* A status document while a flow is followed. */
  function checkFlow(m, doc, fx) {
    var f = m.flow;
    if (doc.pending === true) {
      if (isReplaced(f, doc)) {
        endFlow(m, 'replaced', fx);
        m.flowMsg = msg('warn', T.replaced);
        return;
      }
      var created = nodeCreated(doc);
      /* The earliest reading is the closest (see SAME_LOGIN_SLACK_SEC). */
      if (f.code !== '' && created > 0 && (f.created === 0 || created < f.created)) {
        m.flow = Object.assign({}, f, { created: created });
        fx.push({ type: 'store', text: storedFlowText(m.flow) });
      }
      return;
    }
    if (doc.logged_in === true && !f.wasSignedIn) {
      endFlow(m, 'done', fx);
      m.flowMsg = msg('ok', T.signedInFlow);
      return;
    }
    var known = f.code !== '';
    endFlow(m, known ? 'gone' : 'cancelled', fx);
    m.flowMsg = known ? msg('warn', f.wasSignedIn ? T.endedElsewhere : T.cancelledElsewhere) : null;
  }

  /* ---- Transitions ---- */

  function onPress(m, what, fx) {
    switch (what) {
      case 'start':
      case 'relogin': {
        var force = what === 'relogin';
        if (!canStart(m, force)) return;
        m.sessionMsg = null;
        if (needsConfirm(m)) {
          m.back = m.phase;
          m.phase = 'confirming';
          m.startForce = force;
          fx.push(stop('poll'), focus('confirmText', true));
          return;
        }
        beginStart(m, force, fx);
        return;
      }
      case 'replace':
        if (m.phase === 'confirming') beginStart(m, m.startForce, fx);
        return;
      case 'keep':
        if (m.phase !== 'confirming') return;
        m.phase = m.back;
        if (m.phase === 'following') fx.push(after('poll', pollDelayMs(m.flow)));
        fx.push(focus(restFocus(m), true));
        return;
      case 'cancel':
        if (m.phase !== 'following') return;
        m.phase = 'cancelling';
        m.flowMsg = null;
        fx.push(stop('poll'), call('cancel', '', m.gen));
        return;
      case 'refresh':
        if (m.refreshing || m.phase === 'loading' || m.phase === 'unreachable') return;
        m.refreshing = true;
        m.sessionMsg = null;
        fx.push(call('refresh', '', m.gen));
        return;
      case 'copy':
        if (showsCode(m)) fx.push({ type: 'copy', code: m.flow.code, url: openableUrl(m.flow.url) });
        return;
    }
  }

  function onStatusAnswer(m, ev, fx) {
    var r = ev.result;
    if (r.kind === 'doc' && isStatusDoc(r.doc)) {
      takeStatus(m, r.doc, ev.stored, ev.gen === m.gen, fx);
      return;
    }
    if (m.phase === 'following') {
      if (ev.gen === m.gen) m.trouble = true;
      return;
    }
    if (!atRest(m.phase)) return;
    /* No flow is followed: the node's state is unknown, not signed out. */
    m.phase = 'unreachable';
    m.reach = reachText(r);
    m.retries++;
    fx.push(after('retry', retryDelayMs(m.retries)));
  }

  function onStartAnswer(m, ev, fx) {
    if (m.phase !== 'starting') return;
    var r = ev.result;
    var pressed = m.startForce ? 'btnRelogin' : 'btnStartLogin';
    if (r.kind === 'doc' && r.doc.ok && r.doc.already_logged_in) {
      m.phase = restPhase(m, false);
      m.sessionMsg = msg('warn', T.alreadyIn);
      fx.push(call('status', '', m.gen), focus(pressed));
      return;
    }
    if (r.kind === 'doc' && r.doc.ok) {
      var d = r.doc;
      var f = {
        code: d.user_code ? String(d.user_code) : '',
        url: d.verify_url ? String(d.verify_url) : '',
        expiresAt: expiryFrom(d.expires_in, m.now),
        interval: saneInterval(d.interval),
        created: 0,
      };
      beginFollow(m, f, 0, fx);
      if (f.code) fx.push({ type: 'store', text: storedFlowText(m.flow) });
      fx.push({ type: 'scroll', id: 'flowCard' }, focus(f.code ? 'btnCopyOpen' : 'btnCancel', true));
      /* Also tells the node's start time of this login. */
      fx.push(call('status', '', m.gen));
      return;
    }
    m.phase = restPhase(m, false);
    m.sessionMsg = msg('err', 'Start failed: ' + failureSentence(r) + '.');
    fx.push(call('status', '', m.gen), focus(pressed));
  }

  function onPollAnswer(m, ev, fx) {
    m.pollInFlight = false;
    m.pollSlow = false;
    fx.push(stop('slow'));
    if (ev.gen !== m.gen || m.phase !== 'following') return;
    var o = pollOutcome(ev.result);
    var f = m.flow;
    switch (o.kind) {
      case 'trouble':
        m.trouble = true;
        m.flowMsg = msg('err', 'Poll error: ' + o.sentence + '.', 'poll');
        fx.push(after('poll', pollDelayMs(f)));
        return;
      case 'slow-down':
        m.flow = Object.assign({}, f, { extraSec: f.extraSec + SLOW_DOWN_SEC });
        m.trouble = false;
        m.flowMsg = msg('', 'The login service asked for a slower pace: checking every ' +
          pollDelayMs(m.flow) / 1000 + ' s.', 'pace');
        fx.push(after('poll', pollDelayMs(m.flow)));
        return;
      case 'pending':
        m.flow = Object.assign({}, f, {
          stillPending: o.still,
          interval: o.still ? f.interval : saneInterval(o.interval),
        });
        m.trouble = false;
        if (m.flowMsg && m.flowMsg.kind === 'poll') m.flowMsg = null;
        /* The status tells whether a login started elsewhere replaced this one. */
        fx.push(after('poll', pollDelayMs(m.flow)), call('status', '', m.gen));
        return;
      case 'done':
        if (isStatusDoc(ev.result.doc)) m.session = ev.result.doc;
        endFlow(m, 'done', fx);
        m.flowMsg = msg('ok', T.signedInFlow);
        fx.push(call('status', '', m.gen));
        return;
      case 'gone':
        /* Signed out when it began and signed in now: the login was
           approved, and another window's poll collected it. */
        if (o.signedIn && !f.wasSignedIn) {
          m.session = Object.assign({}, m.session, { logged_in: true, pending: false });
          endFlow(m, 'done', fx);
          m.flowMsg = msg('ok', T.signedInFlow);
        } else {
          endFlow(m, 'gone', fx);
          m.flowMsg = msg('warn', T.cancelledElsewhere);
        }
        fx.push(call('status', '', m.gen));
        return;
      case 'failed':
        endFlow(m, 'failed', fx);
        m.flowMsg = msg('err', 'Login failed: ' + o.sentence + '.');
        fx.push(call('status', '', m.gen));
        return;
    }
  }

  function onCancelAnswer(m, ev, fx) {
    if (m.phase !== 'cancelling' || ev.gen !== m.gen) return;
    var r = ev.result;
    if (r.kind === 'doc' && r.doc.ok) {
      if (isStatusDoc(r.doc)) m.session = r.doc;
      endFlow(m, 'cancelled', fx);
      m.flowMsg = msg('ok', T.cancelled);
      fx.push(call('status', '', m.gen));
      return;
    }
    /* The login is still pending at the node: the code stays, and Cancel
       can be pressed again. */
    m.phase = 'following';
    m.flowMsg = msg('err', 'Cancel failed: ' + failureSentence(r) + '.');
    fx.push(after('poll', pollDelayMs(m.flow)), focus('btnCancel'));
  }

  function onRefreshAnswer(m, ev, fx) {
    m.refreshing = false;
    var r = ev.result;
    if (r.kind !== 'doc' || !r.doc.ok) {
      m.sessionMsg = msg('err', 'Refresh failed: ' + failureSentence(r) + '.');
      return;
    }
    m.sessionMsg = msg('ok', r.doc.refreshed === true ? 'Token re-read. CLI confirmed a live token.' : 'Token re-read.');
    if (isStatusDoc(r.doc)) takeStatus(m, r.doc, ev.stored, ev.gen === m.gen, fx);
  }

  function onExpireAnswer(m, ev, fx) {
    var r = ev.result;
    if (r.kind === 'doc' && isStatusDoc(r.doc)) takeStatus(m, r.doc, ev.stored, false, fx);
    else fx.push(call('status', '', m.gen));
  }

  function onTimer(m, name, fx) {
    switch (name) {
      case 'poll':
        if (m.phase !== 'following') return;
        /* One request at a time: an answer still out for an earlier flow
           makes this tick wait another interval. */
        if (m.pollInFlight) fx.push(after('poll', pollDelayMs(m.flow)));
        else sendPoll(m, fx);
        return;
      case 'slow':
        if (m.pollInFlight && m.phase === 'following') m.pollSlow = true;
        return;
      case 'tick':
        if ((m.phase !== 'following' && m.phase !== 'cancelling') || !m.flow.expiresAt) return;
        if (m.phase === 'following' && m.now >= m.flow.expiresAt) expire(m, fx);
        else fx.push(after('tick', TICK_MS));
        return;
      case 'retry':
        if (m.phase === 'unreachable') fx.push(call('status', '', m.gen));
        return;
    }
  }

  /* The tab is shown again: check at once instead of at the next timer. */
  function onVisible(m, fx) {
    if (m.phase === 'following') {
      if (m.flow.expiresAt && m.now >= m.flow.expiresAt) expire(m, fx);
      else if (!m.pollInFlight) sendPoll(m, fx);
      return;
    }
    if (m.phase === 'unreachable') fx.push(stop('retry'));
    if (atRest(m.phase) && m.phase !== 'loading') fx.push(call('status', '', m.gen));
  }

  /* The one way the model changes: the next model for an event, and the
     effects to carry out. Events: {type: 'press', what}, {type: 'answer',
     tag, gen, result, stored}, {type: 'timer', name}, {type: 'visible'},
     {type: 'copied', ok, opened}; each with `now`. The model passed in is
     not changed. */
  function transition(model, ev) {
    var m = Object.assign({}, model, { now: ev.now });
    var fx = [];
    switch (ev.type) {
      case 'press':
        onPress(m, ev.what, fx);
        break;
      case 'answer':
        if (ev.tag === 'status') onStatusAnswer(m, ev, fx);
        else if (ev.tag === 'start') onStartAnswer(m, ev, fx);
        else if (ev.tag === 'poll') onPollAnswer(m, ev, fx);
        else if (ev.tag === 'cancel') onCancelAnswer(m, ev, fx);
        else if (ev.tag === 'refresh') onRefreshAnswer(m, ev, fx);
        else if (ev.tag === 'expire') onExpireAnswer(m, ev, fx);
        break;
      case 'timer':
        onTimer(m, ev.name, fx);
        break;
      case 'visible':
        onVisible(m, fx);
        break;
      case 'copied':
        if (showsCode(m)) m.flowMsg = msg(ev.ok ? 'ok' : 'warn', ev.ok ? T.copied : (ev.opened ? T.copyOpened : T.copyNotOpened));
        break;
    }
    return { model: m, effects: fx };
  }

  /* ---- The view ---- */

  function pillOf(m, li, ex, signing) {
    if (m.phase === 'loading') return { cls: 'off', text: 'Checking' };
    if (m.phase === 'unreachable') return { cls: 'warn', text: 'Unknown' };
    if (li && !ex) return { cls: 'ok', text: 'Connected' };
    if (li) return { cls: 'warn', text: 'Expired' };
    if (signing) return { cls: 'warn', text: 'Signing in' };
    return { cls: 'off', text: 'Not Connected' };
  }

  function sessionNoteOf(m, s, li, ex, signing) {
    if (m.phase === 'unreachable') return msg('err', m.reach);
    if (m.sessionMsg) return m.sessionMsg;
    if (!s) return msg('', '');
    if (li && ex) return msg('err', expiredNote(s.expires_in_sec));
    if (li) {
      var who = s.account || s.username;
      return msg('ok', who ? 'Signed in as ' + who + '.' : 'Signed in.');
    }
    if (!cliPresent(m)) return msg('err', T.toolMissing);
    if (signing) return msg('', '');
    return msg('ok', T.noSession);
  }

  function pollLabelOf(m) {
    if (m.outcome === 'done') return 'Signed in';
    if (m.phase === 'cancelling') return 'Cancelling' + ELLIPSIS;
    if (!m.flow) return 'Waiting for approval';
    if (m.trouble) return 'Having trouble checking; retrying';
    if (m.pollSlow) return 'Still checking with the node' + ELLIPSIS;
    return m.flow.stillPending ? 'Still waiting for approval' : 'Waiting for approval';
  }

  /* The idle line of the flow card: [text, button name in bold, text]. */
  function idleLineOf(m, li) {
    if (li) return ['Signed in. ', 'Re-login (replace)', ' above starts a login that replaces this session.'];
    if (!cliPresent(m)) return ['No login can start here until the login tool is installed.', '', ''];
    if (m.phase === 'ended') return ['No login in progress. Press ', 'Start LumiVane Login', ' above for a new code.'];
    return ['No login in progress. Press ', 'Start LumiVane Login', ' above to begin.'];
  }

  /* Everything the page shows, as plain values. */
  function view(m) {
    var s = m.phase === 'unreachable' ? null : m.session;
    var li = !!(s && s.logged_in === true);
    var ex = li && s.expired === true;
    var following = m.phase === 'following' || m.phase === 'cancelling';
    var signing = following || (m.phase === 'confirming' && m.back === 'following');
    var held = m.phase === 'loading' || m.phase === 'unreachable';
    var busy = m.phase === 'starting' || m.phase === 'cancelling' || m.phase === 'confirming';
    var code = following ? m.flow.code : '';
    var cli = cliPresent(m);

    var step = 'idle';
    if (held) step = 'loading';
    else if (m.phase === 'starting') step = 'starting';
    else if (m.phase === 'confirming') step = 'confirm';
    else if (following) step = 'active';

    var flowNote = m.flowMsg || msg('', '');
    if (!m.flowMsg && following && code === '') flowNote = msg('warn', T.unknownCode);

    var status = 'Checking';
    if (m.phase === 'unreachable') status = 'Unknown';
    else if (s && li) status = ex ? 'Signed in (token expired)' : 'Signed in';
    else if (s) status = signing ? 'Device flow in progress' : 'Not signed in';

    var token = '-';
    if (s && li) token = ex ? expiredToken(s.expires_in_sec) : 'valid, expires in ' + fmtExpiry(s.expires_in_sec);
    else if (s) token = 'none';

    var label = li ? String(s.account || s.username || 'LumiVane') : '';
    return {
      title: code ? code + ' \u00b7 lumivane' : 'lumivane',
      pill: pillOf(m, li, ex, signing),
      rows: {
        vStatus: status,
        vAccount: s ? String(s.account || s.username || '-') : '-',
        vToken: token,
        vRefresh: s ? (s.has_refresh ? 'stored (presence only)' : 'not stored') : '-',
        vProfile: s ? (s.profile_exists ? (s.profile || 'grandlumivane') + ' (exists)' : 'not created') : '-',
        vPath: s && s.path ? String(s.path) : '-',
      },
      tools: s ? { login: s.cli_present !== false, token: s.token_cli_present === true } : null,
      badge: li ? { label: label, av: label.charAt(0).toUpperCase() } : null,
      buttons: {
        refresh: { disabled: held || m.refreshing, primary: li },
        /* The primary action: Start when signed out, unless a code is on
           its way or shown (then Copy & Open is); Refresh when signed in. */
        start: { disabled: !canStart(m, false) || busy, primary: !li && !showsCode(m) && m.phase !== 'starting' },
        relogin: { hidden: !li, disabled: !canStart(m, true) || busy },
        cancel: { disabled: m.phase === 'cancelling' },
        copy: { label: m.canCopy ? 'Copy Code & Open LumiVane' : 'Open LumiVane' },
      },
      sessionNote: sessionNoteOf(m, s, li, ex, signing || m.phase === 'starting'),
      flowNote: flowNote,
      step: step,
      stepText: m.phase === 'loading' ? T.loading : (m.phase === 'unreachable' ? T.waitingNode : T.requesting),
      idleLine: idleLineOf(m, li),
      confirmText: T.confirm,
      busy: held || m.phase === 'starting',
      flow: following ? {
        known: code !== '',
        code: code,
        url: m.flow.url,
        openUrl: openableUrl(m.flow.url),
        expiry: m.flow.expiresAt ? 'Code expires in ' + fmtLeft(secondsLeft(m.flow.expiresAt, m.now)) : '',
        cancelling: m.phase === 'cancelling',
      } : null,
      pollLabel: pollLabelOf(m),
      copyHint: m.canCopy ? '' : T.copyHint,
      toolMissing: !cli,
    };
  }

  root.ConsoleLogic = {
    SAME_LOGIN_SLACK_SEC: SAME_LOGIN_SLACK_SEC,
    SENTENCES: SENTENCES,
    errorSentence: errorSentence,
    failureSentence: failureSentence,
    saneInterval: saneInterval,
    pollDelayMs: pollDelayMs,
    retryDelayMs: retryDelayMs,
    expiryFrom: expiryFrom,
    fmtExpiry: fmtExpiry,
    fmtAgo: fmtAgo,
    fmtLeft: fmtLeft,
    expiredNote: expiredNote,
    classify: classify,
    pollOutcome: pollOutcome,
    nodeCreated: nodeCreated,
    isReplaced: isReplaced,
    actionUrl: actionUrl,
    retryWithPwd: retryWithPwd,
    pagePassword: pagePassword,
    openableUrl: openableUrl,
    flowKey: flowKey,
    storedFlowText: storedFlowText,
    readStoredFlow: readStoredFlow,
    boot: boot,
    transition: transition,
    view: view,
  };
})(this);
