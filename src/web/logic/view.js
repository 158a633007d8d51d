/* What the page shows for a model, as plain values: every text, which
   step of the flow card is on, which buttons are usable. console.js draws
   it and decides nothing. Loaded after machine.js. */
(function (root) {
  'use strict';

  var L = root.ConsoleLogic;
  var T = L.TEXTS;
  var P = L.P;
  var msg = L.msg;

  /* What the node's login tool is: 'absent', 'unstartable' (there, but
     the host cannot run it), 'failing' (it ran, and its status check
     answered an error) or 'ok'. */
  function toolState(s) {
    var err = typeof s.cli_error === 'string' ? s.cli_error : '';
    if (s.cli_present === false) return err === 'cli_spawn_failed' ? 'unstartable' : 'absent';
    return err ? 'failing' : 'ok';
  }

  /* Seconds since the token expired by the page's own clock, or -1 while
     it has not (or the node gave no expiry). */
  function secondsPastExpiry(m) {
    if (!m.tokenExpiresAt || m.now < m.tokenExpiresAt) return -1;
    return Math.floor((m.now - m.tokenExpiresAt) / 1000);
  }

  function pillOf(m, li, ex, signing) {
    if (m.phase === P.LOADING) return { cls: 'off', text: T.pillChecking };
    if (m.phase === P.UNREACHABLE) return { cls: 'warn', text: T.pillUnknown };
    if (li && !ex) return { cls: 'ok', text: T.pillConnected };
    if (li) return { cls: 'warn', text: T.pillExpired };
    if (signing) return { cls: 'warn', text: T.pillSigningIn };
    return { cls: 'off', text: T.pillNotConnected };
  }

  function sessionNoteOf(m, s, li, ex, signing) {
    if (m.phase === P.UNREACHABLE) return msg('err', m.reach);
    if (m.sessionMsg) return m.sessionMsg;
    if (!s) return msg('', '');
    if (li && ex) return msg('err', L.expiredNote(expiredSec(m, s)));
    var tool = toolState(s);
    if (tool === 'failing' && !signing) return msg('err', T.toolCheckFailed(L.errorSentence(s.cli_error, s.cli_detail)));
    if (li) {
      var who = s.account || s.username;
      return msg('ok', T.signedInAs(who));
    }
    if (tool === 'unstartable') return msg('err', T.toolUnstartable(typeof s.login_command === 'string' ? s.login_command : ''));
    if (tool === 'absent') return msg('err', T.toolMissing);
    if (signing) return msg('', '');
    return msg('', T.noSession);
  }

  /* The expires_in_sec to word an expired token with: the node's, or the
     page's own count once its clock passed the expiry. */
  function expiredSec(m, s) {
    var past = secondsPastExpiry(m);
    if (past > 0 && !(isFinite(s.expires_in_sec) && s.expires_in_sec < -past)) return -past;
    return s.expires_in_sec;
  }

  function pollLabelOf(m) {
    if (m.outcome === 'done') return T.pollSignedIn;
    if (m.phase === P.CANCELLING) return T.pollCancelling;
    if (!m.flow) return T.pollWaiting;
    if (m.trouble) return T.pollTrouble;
    if (m.pollSlow) return T.pollSlow;
    return m.flow.stillPending ? T.pollStillWaiting : T.pollWaiting;
  }

  /* The idle line of the flow card: [text, button name in bold, text]. */
  function idleLineOf(m, li) {
    if (m.refused) return T.idleRefused;
    if (li) return T.idleSignedIn;
    if (!L.cliPresent(m)) return toolState(m.session) === 'unstartable' ? T.idleUnstartable : T.idleNoTool;
    if (m.phase === P.ENDED) return T.idleEnded;
    return T.idle;
  }

  function tokenLeft(m, s) {
    if (!m.tokenExpiresAt) return s.expires_in_sec;
    return Math.ceil((m.tokenExpiresAt - m.now) / 1000);
  }

  /* Everything the page shows, as plain values. */
  function view(m) {
    var s = m.phase === P.UNREACHABLE ? null : m.session;
    var li = !!(s && s.logged_in === true);
    /* Never "valid" past the expiry, whatever the last status said. */
    var ex = li && (s.expired === true || secondsPastExpiry(m) >= 0);
    var following = m.phase === P.FOLLOWING || m.phase === P.CANCELLING;
    var signing = following || (m.phase === P.CONFIRMING && m.back === P.FOLLOWING);
    var held = m.phase === P.LOADING || m.phase === P.UNREACHABLE;
    var waiting = held && !m.refused;
    var busy = m.phase === P.STARTING || m.phase === P.CANCELLING || m.phase === P.CONFIRMING;
    var code = following ? m.flow.code : '';
    var cli = L.cliPresent(m);

    var step = 'idle';
    if (waiting) step = 'loading';
    else if (m.phase === P.STARTING) step = 'starting';
    else if (m.phase === P.CONFIRMING) step = 'confirm';
    else if (following) step = 'active';

    var flowNote = m.flowMsg || msg('', '');
    if (!m.flowMsg && following && code === '') flowNote = msg('warn', T.unknownCode);

    var status = T.statusChecking;
    if (m.phase === P.UNREACHABLE) status = T.statusUnknown;
    else if (s && li) status = ex ? T.statusSignedInExpired : T.statusSignedIn;
    else if (s) status = signing ? T.statusFlow : T.statusSignedOut;

    var token = T.none;
    if (s && li) token = ex ? L.expiredToken(expiredSec(m, s)) : T.tokenValid(L.fmtExpiry(tokenLeft(m, s)));
    else if (s) token = T.tokenNone;

    var label = li ? String(s.account || s.username || T.accountDefault) : '';
    return {
      title: code ? T.titleWithCode(code) : T.title,
      pill: pillOf(m, li, ex, signing),
      rows: {
        vStatus: status,
        vAccount: s ? String(s.account || s.username || T.none) : T.none,
        vToken: token,
        vRefresh: s ? (s.has_refresh ? T.refreshStored : T.refreshNotStored) : T.none,
        vProfile: s ? (s.profile_exists ? T.profileExists(s.profile || T.profileDefault) : T.profileMissing) : T.none,
        vPath: s && s.path ? String(s.path) : T.none,
      },
      tools: s ? { login: toolState(s), token: s.token_cli_present === true } : null,
      badge: li ? { label: label, av: label.charAt(0).toUpperCase() } : null,
      buttons: {
        /* Busy, not disabled, while a refresh is out: the button keeps
           the focus of the operator who pressed it. */
        refresh: { disabled: held, busy: m.refreshing, primary: li && !L.showsCode(m) },
        /* The primary action: Start when signed out, unless a code is on
           its way or shown (then Copy & Open is); Refresh when signed in. */
        start: { disabled: !L.canStart(m, false) || busy, primary: !li && !L.showsCode(m) && m.phase !== 'starting' },
        relogin: { hidden: !li, disabled: !L.canStart(m, true) || busy },
        cancel: { disabled: m.phase === P.CANCELLING },
        copy: { label: m.canCopy ? T.copyOpen : T.open },
      },
      sessionNote: sessionNoteOf(m, s, li, ex, signing || m.phase === P.STARTING),
      flowNote: flowNote,
      step: step,
      stepText: m.phase === P.LOADING ? T.loading : (m.phase === P.UNREACHABLE ? T.waitingNode : T.requesting),
      idleLine: idleLineOf(m, li),
      confirmText: T.confirm,
      busy: waiting || m.phase === P.STARTING,
      flow: following ? {
        known: code !== '',
        code: code,
        url: m.flow.url,
        openUrl: L.openableUrl(m.flow.url),
        expiry: m.flow.expiresAt ? T.codeExpiresIn(L.fmtLeft(L.secondsLeft(m.flow.expiresAt, m.now))) : '',
        cancelling: m.phase === P.CANCELLING,
      } : null,
      pollLabel: pollLabelOf(m),
      announce: code ? T.codeShown(code) : '',
      copyHint: m.canCopy ? '' : T.copyHint,
      toolMissing: !cli,
    };
  }

  L.view = view;
})(this);
