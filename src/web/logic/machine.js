/* The console's state machine: the model, the one function that takes
   it from one phase to the next (`transition`), and the effects that
   console.js carries out. Loaded after answers.js.

   The model is one value: `phase`, the data of the flow this page follows,
   and a few flags that hold in any phase (refreshing: a refresh is out;
   pollInFlight / pollSlow: a poll is out, and for long; trouble: the last
   check of the followed flow failed; hidden: the tab is out of view;
   refused: the node refused this page's status request). Only `transition` makes a new model,
   and never changes the one it is given.

   Phases (P):
     LOADING      before the first status answer; actions held back
     IDLE         signed out, no login followed
     ENDED        signed out, the login this page followed has ended
                  (failed, expired, replaced, cancelled elsewhere)
     SIGNED_IN    signed in, no login followed
     UNREACHABLE  the node gave no status; its state is unknown (retried
                  by itself, unless the node refused the page)
     STARTING     a start request is out
     CONFIRMING   the operator is asked before a pending login whose code
                  this page does not know is replaced
     FOLLOWING    a pending login is polled (its code shown when known)
     CANCELLING   a cancel request is out; the code stays shown
   The first four and UNREACHABLE are the phases at rest (no request of
   the operator's is out, no flow is followed).

   Events (each with `now`): {type: 'press', what}, {type: 'answer', tag,
   gen, result, stored}, {type: 'timer', name}, {type: 'visible'},
   {type: 'hidden'}, {type: 'online'}, {type: 'copied', ok, opened}. What
   each phase accepts ("-": nothing happens; an answer whose `gen` is not
   the model's belongs to a flow that has ended, and changes only the
   flags):

   event          | LOADING      | IDLE ENDED      | SIGNED_IN   | UNREACHABLE
   ---------------+--------------+-----------------+-------------+--------------
   press start    | -            | STARTING, or    | -           | -
                  |              | CONFIRMING      |             |
   press relogin  | -            | -               | as start    | -
   press refresh  | -            | refreshing      | refreshing  | -
   answer status  | rest phase or FOLLOWING (a pending login), recheck
                  | timer; no status document: UNREACHABLE, retry timer
                  | (none after a 401: asked again only when the operator acts)
   timer retry    | -            | -               | -           | status call
   timer recheck  | -            | status call     | status call | -
                  |              | (not while hidden)            |
   visible/online | -            | status call     | status call | status call
                  |              |                 |             | (not refused)
   hidden         | stops the recheck timer (any phase)
   answer refresh | clears refreshing; a status document counts as status;
                  | no answer at rest: UNREACHABLE, retry timer
   answer expire  | a status document counts as status, else a status call

   event          | STARTING     | CONFIRMING      | FOLLOWING        | CANCELLING
   ---------------+--------------+-----------------+------------------+-----------
   press start/   | -            | -               | relogin: STARTING| -
     relogin      |              |                 | (no confirm)     |
   press replace  | -            | STARTING        | -                | -
   press keep     | -            | back            | -                | -
   press cancel   | -            | -               | CANCELLING       | -
   press refresh  | refreshing   | refreshing      | refreshing       | refreshing
   press copy     | -            | -               | copy (code known)| copy
   answer start   | FOLLOWING,   | -               | -                | -
                  | rest phase,  |                 |                  |
                  | or UNREACHABLE (no answer)     |                  |
   answer status  | -            | -               | replaced, done,  | -
                  |              |                 | gone: rest phase |
   answer poll    | -            | -               | next poll or end | -
   answer cancel  | -            | -               | -                | rest phase,
                  |              |                 |                  | or FOLLOWING
   timer poll     | -            | -               | poll call        | -
   timer slow     | -            | -               | pollSlow         | -
   timer tick     | -            | -               | expire or tick   | tick
   visible/online | -            | -               | expire or poll   | -
   copied         | -            | -               | flow note        | flow note

   A new event is a handler in ON_EVENT and a row above; a new phase is a
   name in P, a column above, and the handlers that enter and leave it.

   Effects, built only by the constructors in EFFECT: call (a plugin
   action; its answer comes back as an 'answer' event with the tag),
   timer (after ms, a 'timer' event), stop (a timer), store / forget (the
   stored flow), focus, scroll, copy (the code to the clipboard and the
   address opened; a 'copied' event follows). */
(function (root) {
  'use strict';

  var L = root.ConsoleLogic;
  var T = L.TEXTS;
  var LIMITS = L.LIMITS;
  var MIN_POLL_SEC = LIMITS.MIN_POLL_SEC;
  var SLOW_DOWN_SEC = LIMITS.SLOW_DOWN_SEC;
  var SLOW_POLL_SEC = LIMITS.SLOW_POLL_SEC;
  var TICK_MS = LIMITS.TICK_MS;

  var P = {
    LOADING: 'loading',
    IDLE: 'idle',
    ENDED: 'ended',
    SIGNED_IN: 'signed-in',
    UNREACHABLE: 'unreachable',
    STARTING: 'starting',
    CONFIRMING: 'confirming',
    FOLLOWING: 'following',
    CANCELLING: 'cancelling',
  };

  /* model.endedLogin: the login that ended on this page, by its start time
     on the node, which a later status compares with a pending login; or
     one of these. */
  var NO_ENDED_LOGIN = -1;        /* none: any pending login began elsewhere */
  var ENDED_LOGIN_UNKNOWN = 0;    /* one ended before a status told its start */

  var EFFECT = {
    call: function (action, extra, gen, tag) {
      return { type: 'call', action: action, extra: extra || '', tag: tag || action, gen: gen };
    },
    after: function (name, ms) { return { type: 'timer', name: name, ms: ms }; },
    stop: function (name) { return { type: 'stop', name: name }; },
    store: function (text) { return { type: 'store', text: text }; },
    forget: function () { return { type: 'forget' }; },
    focus: function (id, force) { return { type: 'focus', id: id, force: !!force }; },
    scroll: function (id) { return { type: 'scroll', id: id }; },
    copy: function (code, url) { return { type: 'copy', code: code, url: url }; },
  };
  var call = EFFECT.call;
  var after = EFFECT.after;
  var stop = EFFECT.stop;
  var store = EFFECT.store;
  var forget = EFFECT.forget;
  var focus = EFFECT.focus;
  var scroll = EFFECT.scroll;
  var copy = EFFECT.copy;

  function has(obj, key) {
    return Object.prototype.hasOwnProperty.call(obj, key);
  }

  /* The data of a flow (model.flow) while following or cancelling:
       code         the user code, '' when this page does not know it
       url          the verification address
       expiresAt    ms since the epoch; 0: no countdown
       interval     seconds between polls, within the limits
       extraSec     added by slow_down answers
       created      the node's start time of the login (its seconds), 0
                    until a status document tells
       pendingId    the node's pending_id of this login ('' until an answer
                    names it): a pending login of another name replaced it
       wasSignedIn  the node was signed in when the flow began (a re-login)
       markerSeen   a status showed the node's pending login in this flow
       stillPending the last answer was authorization_pending */
  function initial(now, canCopy) {
    return {
      phase: P.LOADING,
      now: now,
      canCopy: !!canCopy,
      session: null,        /* the last status document */
      flow: null,
      gen: 0,               /* changes whenever a flow begins or ends */
      endedLogin: NO_ENDED_LOGIN, /* the login that ended here: its start time on the node, or a named value */
      endedId: '',          /* and its pending_id, '' when not known */
      back: '',             /* the phase that "Keep It" returns to */
      startForce: false,
      pollInFlight: false,
      pollSlow: false,
      trouble: false,       /* the last check of a followed flow failed */
      refreshing: false,
      retries: 0,
      reach: '',            /* why the node's state is unknown */
      refused: false,       /* the node refused the status request (401) */
      hidden: false,
      tokenExpiresAt: 0,    /* page ms when the node's token expires; 0: none */
      sessionMsg: null,     /* {cls, text}: the answer to the operator's last press */
      flowMsg: null,        /* {cls, text, kind} */
      outcome: '',          /* how the last flow ended */
    };
  }

  /* The first model and what to do at once. */
  function boot(now, canCopy) {
    return { model: initial(now, canCopy), effects: [call('status', '', 0)] };
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
    return phase === P.LOADING || phase === P.IDLE || phase === P.ENDED || phase === P.SIGNED_IN || phase === P.UNREACHABLE;
  }
  function showsCode(m) {
    return (m.phase === P.FOLLOWING || m.phase === P.CANCELLING) && m.flow.code !== '';
  }
  /* The phase to rest in once no flow is followed. */
  function restPhase(m, ended) {
    if (signedIn(m)) return P.SIGNED_IN;
    return ended ? P.ENDED : P.IDLE;
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
    var id = L.pendingIdOf(s);
    if (m.endedId && id) return id !== m.endedId;
    return !L.sameLogin(L.nodeCreated(s), m.endedLogin);
  }

  /* Start is for a node that is signed out; Re-login, shown only on a
     signed-in node, may replace anything. Start also waits while this page
     shows a code (Cancel is the way out of it). */
  function canStart(m, force) {
    if (!atRest(m.phase) && m.phase !== P.FOLLOWING) return false;
    if (m.phase === P.LOADING || m.phase === P.UNREACHABLE || !cliPresent(m)) return false;
    if (force) return true;   /* shown only on a signed-in node */
    return !signedIn(m) && !showsCode(m);
  }

  /* Begins following a login: `f` is the flow this page knows (its code
     and pace), or null for a pending login whose code it does not know;
     `id` the node's pending_id of the login, when a status told it. The
     first poll comes one interval later. */
  function beginFollow(m, f, created, id, fx) {
    m.gen++;
    m.phase = P.FOLLOWING;
    m.flow = {
      code: f ? f.code : '',
      url: f ? f.url : '',
      expiresAt: f ? f.expiresAt : 0,
      interval: f ? f.interval : MIN_POLL_SEC,
      extraSec: 0,
      created: created || (f ? f.created : 0) || 0,
      pendingId: (f && f.pendingId) || id || '',
      wasSignedIn: signedIn(m),
      stillPending: false,
      markerSeen: !f || created > 0 || !!f.pendingId,
    };
    m.trouble = false;
    m.pollSlow = false;
    m.outcome = '';
    fx.push(after('poll', L.pollDelayMs(m.flow)));
    if (m.flow.expiresAt) fx.push(after('tick', TICK_MS));
  }

  /* Ends the followed flow for good: no timer, no stored code. `how` is
     done, failed, expired, replaced, gone or cancelled; the caller sets
     the note that tells it. */
  function endFlow(m, how, fx) {
    m.endedLogin = m.flow && m.flow.created ? m.flow.created : ENDED_LOGIN_UNKNOWN;
    m.endedId = m.flow ? m.flow.pendingId || '' : '';
    m.flow = null;
    m.gen++;
    m.trouble = false;
    m.pollSlow = false;
    m.outcome = how;
    /* Signed in: the session note says as whom, in place of an older answer. */
    if (how === 'done') m.sessionMsg = null;
    m.phase = restPhase(m, how !== 'done' && how !== 'cancelled');
    fx.push(stop('poll'), stop('tick'), stop('slow'), forget());
    fx.push(focus(how === 'done' ? 'sessionNote' : restFocus(m)));
  }

  function beginStart(m, force, fx) {
    if (m.flow) {
      m.gen++;
      m.flow = null;
      fx.push(stop('poll'), stop('tick'), stop('slow'));
    }
    m.phase = P.STARTING;
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
    m.refused = false;
    m.tokenExpiresAt = doc.logged_in === true && L.isNum(doc.expires_in_sec) && L.isNum(doc.expires_at) && doc.expires_at > 0
      ? m.now + doc.expires_in_sec * 1000 : 0;
    if (m.phase === P.FOLLOWING) {
      if (current) checkFlow(m, doc, fx);
      return;
    }
    if (!atRest(m.phase)) return;
    if (m.phase === P.UNREACHABLE) m.sessionMsg = null;
    settleStatus(m, doc, storedText, current, fx);
    if (atRest(m.phase)) fx.push(after('recheck', L.recheckDelayMs(m.tokenExpiresAt, m.now)));
  }

  function settleStatus(m, doc, storedText, current, fx) {
    /* A status asked for before a flow began or ended describes another
       moment: it neither revives a flow nor drops a stored code. */
    if (!current) {
      m.phase = restPhase(m, m.phase === P.ENDED);
      return;
    }
    if (doc.pending === true) {
      var created = L.nodeCreated(doc);
      var id = L.pendingIdOf(doc);
      /* A flow can end before any status told the node's start time of
         its login (a poll answered first). The node keeps one pending
         login, so the first one read after the end is the marker that
         login left behind. */
      if (m.endedLogin === ENDED_LOGIN_UNKNOWN && created > 0) m.endedLogin = created;
      /* A pending login that ended here is not followed again; a newer one is. */
      var newer = m.endedId && id ? id !== m.endedId : created > 0 && !L.sameLogin(created, m.endedLogin);
      if (m.endedLogin === NO_ENDED_LOGIN || newer) {
        resume(m, created, id, L.readStoredFlow(storedText, m.now), fx);
        return;
      }
    } else {
      /* Nothing is left at the node of the login that ended here: any
         pending login from now on began elsewhere. */
      m.endedLogin = NO_ENDED_LOGIN;
      m.endedId = '';
      fx.push(forget());
    }
    m.phase = restPhase(m, m.phase === P.ENDED);
  }

  /* The node has a pending login and this page follows none: show the
     stored code when it belongs to that login, else say plainly that the
     code is not known here. A stored code that ran out while no page
     showed it ends at the node. The stored code is that login's when
     their names match, or (either unnamed) when their start times do. */
  function resume(m, created, id, stored, fx) {
    var byName = !!(stored && stored.pendingId && id);
    var mine = stored && (byName ? stored.pendingId === id
      : !stored.created || !created || L.sameLogin(stored.created, created));
    if (mine && stored.expired) {
      if (byName || (stored.created && L.sameLogin(stored.created, created))) {
        m.flow = { code: stored.code, created: created, pendingId: id, wasSignedIn: signedIn(m) };
        expire(m, fx);
        return;
      }
      mine = false;
    }
    beginFollow(m, mine ? stored : null, created, id, fx);
    m.flowMsg = null;
    if (!mine) fx.push(forget());
  }

  /* A status document while a flow is followed. */
  function checkFlow(m, doc, fx) {
    var f = m.flow;
    if (doc.pending === true) {
      if (!f.markerSeen) f = m.flow = Object.assign({}, f, { markerSeen: true });
      if (L.isReplaced(f, doc)) {
        endFlow(m, 'replaced', fx);
        m.flowMsg = msg('warn', T.replaced);
        return;
      }
      var created = L.nodeCreated(doc);
      /* The earliest reading is the closest (see SAME_LOGIN_SLACK_SEC). */
      if (f.code !== '' && created > 0 && (f.created === 0 || created < f.created)) {
        m.flow = Object.assign({}, f, { created: created });
        fx.push(store(L.storedFlowText(m.flow)));
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
    m.flowMsg = known ? msg('warn', goneText(f)) : null;
  }

  /* Why a login this page showed is no longer pending at the node. A
     start whose marker no status ever showed did not end elsewhere: the
     node never showed it at all. */
  function goneText(f) {
    if (!f.markerSeen) return T.noMarker;
    return f.wasSignedIn ? T.endedElsewhere : T.cancelledElsewhere;
  }

  function onPress(m, what, fx) {
    switch (what) {
      case 'start':
      case 'relogin': {
        var force = what === 'relogin';
        if (!canStart(m, force)) return;
        m.sessionMsg = null;
        if (needsConfirm(m)) {
          m.back = m.phase;
          m.phase = P.CONFIRMING;
          m.startForce = force;
          fx.push(stop('poll'), focus('confirmText', true));
          return;
        }
        beginStart(m, force, fx);
        return;
      }
      case 'replace':
        if (m.phase === P.CONFIRMING) beginStart(m, m.startForce, fx);
        return;
      case 'keep':
        if (m.phase !== P.CONFIRMING) return;
        m.phase = m.back;
        if (m.phase === P.FOLLOWING) fx.push(after('poll', L.pollDelayMs(m.flow)));
        fx.push(focus(restFocus(m), true));
        return;
      case 'cancel':
        if (m.phase !== P.FOLLOWING) return;
        m.phase = P.CANCELLING;
        m.flowMsg = null;
        fx.push(stop('poll'), call('cancel', '', m.gen));
        return;
      case 'refresh':
        if (m.refreshing || m.phase === P.LOADING || m.phase === P.UNREACHABLE) return;
        m.refreshing = true;
        m.sessionMsg = null;
        fx.push(call('refresh', '', m.gen));
        return;
      case 'copy':
        if (showsCode(m)) fx.push(copy(m.flow.code, L.openableUrl(m.flow.url)));
        return;
    }
  }

  function onStatusAnswer(m, ev, fx) {
    var r = ev.result;
    if (r.kind === 'doc' && L.isStatusDoc(r.doc)) {
      takeStatus(m, r.doc, ev.stored, ev.gen === m.gen, fx);
      return;
    }
    if (m.phase === P.FOLLOWING) {
      if (ev.gen === m.gen) m.trouble = true;
      return;
    }
    if (!atRest(m.phase)) return;
    /* No flow is followed: the node's state is unknown, not signed out. A
       refused password stays refused: asking again only repeats the 401. */
    if (r.kind === 'doc' && r.http === 401) {
      toUnknown(m, T.reachError(L.failureSentence(r)), fx);
      m.refused = true;
      return;
    }
    toUnknown(m, L.reachText(r), fx);
    m.retries++;
    fx.push(after('retry', L.retryDelayMs(m.retries)));
  }

  /* The node's state is unknown: a note about an earlier state (an
     answer to a press) goes, and `reach` says why. */
  function toUnknown(m, reach, fx) {
    m.phase = P.UNREACHABLE;
    m.reach = reach;
    m.sessionMsg = null;
    m.refused = false;
    fx.push(stop('recheck'));
  }

  /* A press whose request got no answer from the node at all: the page
     cannot tell the node's state either, and retries like a status. */
  function actionUnanswered(m, reach, fx) {
    toUnknown(m, reach, fx);
    m.retries = 1;
    fx.push(after('retry', L.retryDelayMs(m.retries)), focus('sessionNote', true));
  }

  function onStartAnswer(m, ev, fx) {
    if (m.phase !== P.STARTING) return;
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
        expiresAt: L.expiryFrom(d.expires_in, m.now),
        interval: L.saneInterval(d.interval),
        created: 0,
        pendingId: L.pendingIdOf(d),
      };
      beginFollow(m, f, 0, '', fx);
      if (f.code) fx.push(store(L.storedFlowText(m.flow)));
      fx.push(scroll('flowCard'), focus(f.code ? 'btnCopyOpen' : 'btnCancel', true));
      /* Also tells the node's start time of this login. */
      fx.push(call('status', '', m.gen));
      return;
    }
    if (r.kind !== 'doc') {
      actionUnanswered(m, T.startUnreachable(L.failureSentence(r)), fx);
      return;
    }
    m.phase = restPhase(m, false);
    m.sessionMsg = msg('err', T.startFailed(L.failureSentence(r)));
    fx.push(call('status', '', m.gen), focus(pressed));
  }

  function onPollAnswer(m, ev, fx) {
    m.pollInFlight = false;
    m.pollSlow = false;
    fx.push(stop('slow'));
    if (ev.gen !== m.gen || m.phase !== P.FOLLOWING) return;
    var o = L.pollOutcome(ev.result);
    var f = m.flow;
    switch (o.kind) {
      case 'trouble':
        m.trouble = true;
        m.flowMsg = msg('err', T.pollError(o.sentence), 'poll');
        fx.push(after('poll', L.pollDelayMs(f)));
        return;
      case 'slow-down':
        m.flow = Object.assign({}, f, { extraSec: f.extraSec + SLOW_DOWN_SEC });
        m.trouble = false;
        m.flowMsg = msg('', T.slowerPace(L.pollDelayMs(m.flow) / 1000), 'pace');
        fx.push(after('poll', L.pollDelayMs(m.flow)));
        return;
      case 'pending':
        /* The node's pending login has another name: a start elsewhere
           replaced this one. The session takes that name, so that Start
           asks before replacing it in turn. */
        if (f.code !== '' && f.pendingId && o.id && o.id !== f.pendingId) {
          m.session = Object.assign({}, m.session, { pending: true, pending_id: o.id });
          endFlow(m, 'replaced', fx);
          m.flowMsg = msg('warn', T.replaced);
          return;
        }
        m.flow = Object.assign({}, f, {
          stillPending: o.still,
          interval: o.still ? f.interval : L.saneInterval(o.interval),
        });
        m.trouble = false;
        if (m.flowMsg && m.flowMsg.kind === 'poll') m.flowMsg = null;
        /* The status tells whether a login started elsewhere replaced this one. */
        fx.push(after('poll', L.pollDelayMs(m.flow)), call('status', '', m.gen));
        return;
      case 'done':
        if (L.isStatusDoc(ev.result.doc)) m.session = ev.result.doc;
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
          m.flowMsg = msg('warn', f.markerSeen ? T.cancelledElsewhere : T.noMarker);
        }
        fx.push(call('status', '', m.gen));
        return;
      case 'failed':
        endFlow(m, 'failed', fx);
        m.flowMsg = msg('err', T.loginFailed(o.sentence));
        fx.push(call('status', '', m.gen));
        return;
    }
  }

  function onCancelAnswer(m, ev, fx) {
    if (m.phase !== P.CANCELLING || ev.gen !== m.gen) return;
    var r = ev.result;
    if (r.kind === 'doc' && r.doc.ok) {
      if (L.isStatusDoc(r.doc)) m.session = r.doc;
      endFlow(m, 'cancelled', fx);
      m.flowMsg = msg('ok', T.cancelled);
      fx.push(call('status', '', m.gen));
      return;
    }
    /* The login is still pending at the node: the code stays, and Cancel
       can be pressed again. */
    m.phase = P.FOLLOWING;
    m.flowMsg = msg('err', T.cancelFailed(L.failureSentence(r)));
    fx.push(after('poll', L.pollDelayMs(m.flow)), focus('btnCancel'));
  }

  function onRefreshAnswer(m, ev, fx) {
    m.refreshing = false;
    var r = ev.result;
    if (r.kind !== 'doc' && atRest(m.phase) && m.phase !== P.LOADING && m.phase !== P.UNREACHABLE) {
      actionUnanswered(m, T.refreshUnreachable(L.failureSentence(r)), fx);
      return;
    }
    if (r.kind !== 'doc' || !r.doc.ok) {
      var revoked = L.revokedReason(r);
      m.sessionMsg = msg('err', revoked === null ? T.refreshFailed(L.failureSentence(r)) : T.refreshRevoked(revoked));
      return;
    }
    m.sessionMsg = msg('ok', r.doc.refreshed === true ? T.refreshedLive : T.refreshed);
    if (L.isStatusDoc(r.doc)) takeStatus(m, r.doc, ev.stored, ev.gen === m.gen, fx);
  }

  function onExpireAnswer(m, ev, fx) {
    var r = ev.result;
    if (r.kind === 'doc' && L.isStatusDoc(r.doc)) takeStatus(m, r.doc, ev.stored, false, fx);
    else fx.push(call('status', '', m.gen));
  }

  function onTimer(m, name, fx) {
    switch (name) {
      case 'poll':
        if (m.phase !== P.FOLLOWING) return;
        /* One request at a time: an answer still out for an earlier flow
           makes this tick wait another interval. */
        if (m.pollInFlight) fx.push(after('poll', L.pollDelayMs(m.flow)));
        else sendPoll(m, fx);
        return;
      case 'slow':
        if (m.pollInFlight && m.phase === P.FOLLOWING) m.pollSlow = true;
        return;
      case 'tick':
        if ((m.phase !== P.FOLLOWING && m.phase !== P.CANCELLING) || !m.flow.expiresAt) return;
        if (m.phase === P.FOLLOWING && m.now >= m.flow.expiresAt) expire(m, fx);
        else fx.push(after('tick', TICK_MS));
        return;
      case 'retry':
        if (m.phase === P.UNREACHABLE && !m.refused) fx.push(call('status', '', m.gen));
        return;
      case 'recheck':
        if (!m.hidden && (m.phase === P.IDLE || m.phase === P.ENDED || m.phase === P.SIGNED_IN)) fx.push(call('status', '', m.gen));
        return;
    }
  }

  /* The tab is shown again, or the browser is back online: check at once
     instead of at the next timer. */
  function onVisible(m, fx) {
    m.hidden = false;
    if (m.phase === P.FOLLOWING) {
      if (m.flow.expiresAt && m.now >= m.flow.expiresAt) expire(m, fx);
      else if (!m.pollInFlight) sendPoll(m, fx);
      return;
    }
    if (m.refused) return;
    if (m.phase === P.UNREACHABLE) fx.push(stop('retry'));
    if (atRest(m.phase) && m.phase !== P.LOADING) fx.push(call('status', '', m.gen));
  }

  /* The one way the model changes: the next model for an event, and the
     effects to carry out. Events: {type: 'press', what}, {type: 'answer',
     tag, gen, result, stored}, {type: 'timer', name}, {type: 'visible'},
     {type: 'hidden'}, {type: 'online'}, {type: 'copied', ok, opened};
     each with `now`. The model passed in is
     not changed. */
  /* Each answer tag and event type to its handler: a new event is one
     entry here and one row in the table above. */
  var ON_ANSWER = {
    status: onStatusAnswer,
    start: onStartAnswer,
    poll: onPollAnswer,
    cancel: onCancelAnswer,
    refresh: onRefreshAnswer,
    expire: onExpireAnswer,
  };
  var ON_EVENT = {
    press: function (m, ev, fx) { onPress(m, ev.what, fx); },
    answer: function (m, ev, fx) { if (has(ON_ANSWER, ev.tag)) ON_ANSWER[ev.tag](m, ev, fx); },
    timer: function (m, ev, fx) { onTimer(m, ev.name, fx); },
    visible: function (m, ev, fx) { onVisible(m, fx); },
    online: function (m, ev, fx) { onVisible(m, fx); },
    hidden: function (m, ev, fx) {
      m.hidden = true;
      fx.push(stop('recheck'));
    },
    copied: function (m, ev) {
      if (showsCode(m)) m.flowMsg = msg(ev.ok ? 'ok' : 'warn', ev.ok ? T.copied : (ev.opened ? T.copyOpened : T.copyNotOpened));
    },
  };

  function transition(model, ev) {
    var m = Object.assign({}, model, { now: ev.now });
    var fx = [];
    if (has(ON_EVENT, ev.type)) ON_EVENT[ev.type](m, ev, fx);
    return { model: m, effects: fx };
  }

  L.P = P;
  L.EFFECT = EFFECT;
  L.msg = msg;
  L.signedIn = signedIn;
  L.cliPresent = cliPresent;
  L.showsCode = showsCode;
  L.canStart = canStart;
  L.boot = boot;
  L.transition = transition;
})(this);
