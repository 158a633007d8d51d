/* The plugin's answers and what the page keeps: what an HTTP answer is,
   what a poll answer says, which pending login a status describes, the
   address of a call and the page's password, and the stored-flow format.
   Loaded after format.js. */
(function (root) {
  'use strict';

  var L = root.ConsoleLogic;
  var MAX_LIFETIME_SEC = L.LIMITS.MAX_LIFETIME_SEC;

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
    if (result.kind !== 'doc' || !result.doc.ok) return { kind: 'trouble', sentence: L.failureSentence(result) };
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
      return { kind: 'failed', sentence: L.errorSentence(d.error, d.detail) };
    }
    if (d.state === 'done' || (d.state !== 'pending' && d.logged_in === true)) return { kind: 'done' };
    return { kind: 'pending', still: false, interval: d.interval, id: pendingIdOf(d) };
  }

  /* A refresh refused because the login service no longer takes the
     node's refresh token: invalid_grant from the token tool (or as the
     code), or a tool's code or detail that says revoked. Gives the tool's
     own words for it (its detail, else its code), or null for any other
     refusal. */
  function revokedReason(result) {
    if (result.kind !== 'doc' || result.doc.ok) return null;
    var d = result.doc;
    var detail = typeof d.detail === 'string' && d.detail !== L.FIXED_DETAIL[d.error] ? d.detail : '';
    var tool = typeof d.tool_error === 'string' ? d.tool_error : '';
    var revoked = d.error === 'invalid_grant' || tool === 'invalid_grant' || /revoked/i.test(tool + ' ' + detail);
    if (!revoked) return null;
    return detail || tool;
  }

  /* The node's name for its pending login (pending_id: a digest of the
     pending marker's bytes, read under the node lock), or '' when a
     document gives none. Two starts have two names however close in time
     they were, where start times to the second cannot tell them apart. */
  function pendingIdOf(doc) {
    var id = doc ? doc.pending_id : null;
    return typeof id === 'string' && /^[0-9a-f]{1,64}$/.test(id) ? id : '';
  }

  /* The node's start time of its pending login, in the node's seconds, or
     0 when the document does not tell. */
  function nodeCreated(doc) {
    if (!doc || doc.pending !== true || !L.isNum(doc.now) || !L.isNum(doc.pending_age_sec) || doc.pending_age_sec < 0) return 0;
    return doc.now - doc.pending_age_sec;
  }

  function sameLogin(a, b) {
    return a > 0 && b > 0 && Math.abs(a - b) <= L.SAME_LOGIN_SLACK_SEC;
  }

  /* A login started on the node after the one this page follows replaced
     it: the node keeps one pending login. Its name tells when both sides
     have one; else its start time, later than this flow's by more than
     the slack. */
  function isReplaced(flow, doc) {
    if (flow.code === '' || !doc || doc.pending !== true) return false;
    var id = pendingIdOf(doc);
    if (flow.pendingId && id) return id !== flow.pendingId;
    var created = nodeCreated(doc);
    return flow.created > 0 && created > flow.created + L.SAME_LOGIN_SLACK_SEC;
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

  /* The password as the X-Bot-Password header carries it: as it is when
     it is printable ASCII, else percent-encoded as UTF-8, which the node
     also compares decoded. A browser sends a header's characters beyond
     ASCII as Latin-1 bytes, or refuses them, and would never match the
     node's UTF-8 password; this way no password needs pwd in an address. */
  function headerPassword(pwd) {
    return /^[\x20-\x7e]*$/.test(pwd) ? pwd : encodeURIComponent(pwd);
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
      pending_id: flow.pendingId,
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
    if (L.isNum(f.expires_at) && f.expires_at > 0) {
      if (f.expires_at <= now) expired = true;
      else if (f.expires_at - now <= MAX_LIFETIME_SEC * 1000) expiresAt = f.expires_at;
    }
    return {
      code: f.code,
      url: f.url,
      expiresAt: expiresAt,
      expired: expired,
      interval: L.saneInterval(f.interval),
      created: L.isNum(f.created) && f.created > 0 ? f.created : 0,
      pendingId: pendingIdOf(f),
    };
  }

  L.classify = classify;
  L.isStatusDoc = isStatusDoc;
  L.pollOutcome = pollOutcome;
  L.nodeCreated = nodeCreated;
  L.pendingIdOf = pendingIdOf;
  L.revokedReason = revokedReason;
  L.sameLogin = sameLogin;
  L.isReplaced = isReplaced;
  L.actionUrl = actionUrl;
  L.retryWithPwd = retryWithPwd;
  L.headerPassword = headerPassword;
  L.pagePassword = pagePassword;
  L.openableUrl = openableUrl;
  L.flowKey = flowKey;
  L.storedFlowText = storedFlowText;
  L.readStoredFlow = readStoredFlow;
})(this);
